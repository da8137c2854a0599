// DAO error texts.
#include "platform/jet/error.h"

#include <cstring>

#include "platform/system/file_copy.h"

namespace jet {

std::optional<std::string> known_error_text(int n, const std::string& name) {
  switch (n) {
    case dao_error::invalid_argument: return "Invalid argument.";
    case dao_error::duplicate_key:
      return "The changes you requested to the table were not successful because they would create duplicate "
             "values in the index, primary key, or relationship. Change the data in the field or fields that "
             "contain duplicate data, remove the index, or redefine the index to permit duplicate entries and "
             "try again.";
    case dao_error::file_not_found: return "Could not find file '" + name + "'.";
    case dao_error::invalid_password: return "Not a valid password.";
    case dao_error::file_in_use: return "Could not use '" + name + "'; file already in use.";
    case dao_error::cannot_open:
      return "The Microsoft Jet database engine cannot open the file '" + name +
             "'. It is already opened exclusively by another user, or you need permission to view its data.";
    case dao_error::record_too_large: return "Record is too large.";
    case dao_error::not_valid_path:
      return "'" + name + "' is not a valid path. Make sure that the path name is spelled correctly and that "
             "you are connected to the server on which the file resides.";
    case dao_error::not_valid_file_name: return "Not a valid file name.";
    case dao_error::index_null: return "Index or primary key cannot contain a Null value.";
    case dao_error::table_exists: return "Table '" + name + "' already exists.";
    case dao_error::disk_full: return "System resource exceeded.";
    case dao_error::io_error: return "Disk or network error.";
    case dao_error::invalid_name:
      return "'" + name + "' is not a valid name. Make sure that it does not include invalid characters or "
             "punctuation and that it is not too long.";
    case dao_error::field_too_small:
      return "The field is too small to accept the amount of data you attempted to add. Try inserting or "
             "pasting less data.";
    case dao_error::object_exists: return "Object '" + name + "' already exists.";
    case dao_error::no_unique_index: return "No unique index found for the referenced field of the primary table.";
    case dao_error::related_record_required:
      return "You cannot add or change a record because a related record is required in table '" + name + "'.";
    case dao_error::relationship_mismatch:
      return "Relationship must be on the same number of fields with the same data types.";
    case dao_error::not_supported: return "Operation is not supported for this type of object.";
    case dao_error::too_many_fields: return "Too many fields defined.";
    case dao_error::duplicate_field: return "Cannot define field more than once.";
    case dao_error::database_exists: return "Database already exists.";
    case dao_error::field_not_found: return "Item not found in this collection.";
    case dao_error::invalid_field_type: return "Invalid field data type.";
    case dao_error::no_fields: return "No field defined--cannot append TableDef or Index.";
    case dao_error::primary_key_exists: return "Primary key already exists.";
    case dao_error::index_exists: return "Index already exists.";
    case dao_error::too_many_indexes: return "The operation failed. There are too many indexes on table '" + name +
                                           "'. Delete some of the indexes on the table and try the operation again.";
    case dao_error::too_many_index_fields: return "Too many fields defined in index '" + name + "'.";
    case dao_error::part_of_relationship:
      return "Cannot delete this field. It is part of one or more relationships.";
    case dao_error::required_null:
      return "The field '" + name + "' cannot contain a Null value because the Required property for this field "
             "is set to True. Enter a value in this field.";
    case dao_error::zero_length: return "Field '" + name + "' cannot be a zero-length string.";
    case dao_error::unrecognized_format: return "Unrecognized database format '" + name + "'.";
    case dao_error::numeric_overflow: return "Numeric field overflow.";
    case dao_error::conversion_error: return "Data type conversion error.";
    case dao_error::object_invalid: return "Object invalid or no longer set.";
    case dao_error::corrupt:
      return "Cannot open database '" + name + "'. It may not be a database that your application recognizes, "
             "or the file may be corrupt.";
    case dao_error::invalid_procedure_call: return "Invalid procedure call or argument.";
    case dao_error::type_mismatch: return "Type mismatch.";
    case dao_error::no_such_interface:
      return "Class does not support Automation or does not support expected interface.";
    case dao_error::update_without_addnew: return "Update or CancelUpdate without AddNew or Edit.";
    case dao_error::no_current_record: return "No current record.";
    case dao_error::read_only: return "Cannot update. Database or object is read-only.";
    case dao_error::too_few_parameters: return "Too few parameters. Expected " + name + ".";
    case dao_error::syntax_in_expression: return "Syntax error (missing operator) in query expression '" + name + "'.";
    case dao_error::ambiguous_field:
      return "The specified field '" + name + "' could refer to more than one table listed in the FROM clause "
             "of your SQL statement.";
    case dao_error::undefined_function: return "Undefined function '" + name + "' in expression.";
    case dao_error::aggregate_not_allowed:
      return "You tried to use an aggregate function in a place where it is not allowed.";
    case dao_error::not_in_aggregate:
      return "You tried to execute a query that does not include the specified expression '" + name +
             "' as part of an aggregate function.";
    case dao_error::type_mismatch_in_criteria: return "Data type mismatch in criteria expression.";
    case dao_error::order_by_conflicts_with_distinct: return "ORDER BY clause (" + name + ") conflicts with DISTINCT.";
    case dao_error::query_too_complex: return "Query is too complex.";
    case dao_error::subquery_fields:
      return "You have written a subquery that can return more than one field without using the EXISTS reserved "
             "word in the main query's FROM clause. Revise the SELECT statement of the subquery to request only one "
             "field.";
    case dao_error::grouped_star: return "Cannot group on fields selected with '*'.";
    case dao_error::subquery_records: return "At most one record can be returned by this subquery.";
    case dao_error::overflow: return "Overflow.";
    case dao_error::division_by_zero: return "Division by zero.";
    case dao_error::invalid_use_of_null: return "Invalid use of Null.";
    case dao_error::input_table_not_found:
      return "The Microsoft Jet database engine cannot find the input table or query '" + name +
             "'. Make sure it exists and that its name is spelled correctly.";
    case dao_error::syntax_expected_select:
      return "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.";
    case dao_error::syntax_from: return "Syntax error in FROM clause.";
    case dao_error::syntax_select:
      return "The SELECT statement includes a reserved word or an argument name that is misspelled or "
             "missing, or the punctuation is incorrect.";
    case dao_error::characters_after_end: return "Characters found after end of SQL statement.";
    case dao_error::invalid_operation: return "Invalid operation.";
    case dao_error::property_not_found: return "Property not found.";
    case dao_error::union_column_mismatch:
      return "The number of columns in the two selected tables or queries of a union query do not match.";
    case dao_error::relation_without_fields: return "Cannot append a relation with no fields defined.";
    case dao_error::already_in_collection:
      return "Cannot append. An object with that name already exists in the collection.";
  }
  return std::nullopt;
}

std::string error_text(int n, const std::string& name) {
  if (auto text = known_error_text(n, name)) return *text;
  return "Error " + std::to_string(n) + (name.empty() ? std::string() : ": " + name);
}

void throw_error(int n, const std::string& name) { throw error(n, error_text(n, name)); }

namespace {

// The check as the sentence that ends the message: its first letter capital, a full stop after it.
std::string check_sentence(const std::string& check) {
  std::string out = check;
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = char(out[0] - 'a' + 'A');
  if (out.empty() || out.back() != '.') out += '.';
  return out;
}

}  // namespace

error error::corrupt(const std::string& check) {
  error e(dao_error::corrupt, check);
  e.check_ = check;
  return e;
}

void error::name_file(const std::string& path) {
  if (number_ != dao_error::corrupt || check_.empty()) return;
  text_ = error_text(dao_error::corrupt, path) + " (" + check_sentence(check_) + ")";
  check_.clear();
}

void throw_corrupt(const std::string& check) { throw error::corrupt(check); }

void throw_write_error(int err, const std::string& path, const char* kind) {
  const std::string what = kind + ("'" + path + "'");
  if (sys_is_disk_full(err))
    throw error(dao_error::disk_full, "Cannot write " + what + ": the disk is full (" + std::strerror(err) + ").");
  throw error(dao_error::io_error, "Disk or network error while writing " + what + ": " + std::strerror(err) + ".");
}

}  // namespace jet
