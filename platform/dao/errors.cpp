// DAO error texts and the boundary that turns failures into HRESULTs and Errors entries.
#include "platform/dao/errors.h"

#include <new>

#include "platform/jet/error.h"
#include "platform/system/codepage.h"

namespace dao {

std::wstring error_text(int n, const std::wstring& name) {
  switch (n) {
    case err::invalid_procedure_call: return L"Invalid procedure call or argument.";
    case err::type_mismatch: return L"Type mismatch.";
    case err::no_such_interface:
      return L"Class does not support Automation or does not support expected interface.";
    case err::invalid_argument: return L"Invalid argument.";
    case err::update_without_addnew: return L"Update or CancelUpdate without AddNew or Edit.";
    case err::no_current_record: return L"No current record.";
    case err::duplicate_key:
      return L"The changes you requested to the table were not successful because they would create duplicate "
             L"values in the index, primary key, or relationship. Change the data in the field or fields that "
             L"contain duplicate data, remove the index, or redefine the index to permit duplicate entries and "
             L"try again.";
    case err::file_not_found: return L"Could not find file '" + name + L"'.";
    case err::read_only: return L"Cannot update. Database or object is read-only.";
    case err::not_valid_path:
      return L"'" + name + L"' is not a valid path. Make sure that the path name is spelled correctly and that "
             L"you are connected to the server on which the file resides.";
    case err::too_few_parameters: return L"Too few parameters. Expected " + name + L".";
    case err::syntax_in_expression:
      return L"Syntax error (missing operator) in query expression '" + name + L"'.";
    case err::ambiguous_field:
      return L"The specified field '" + name + L"' could refer to more than one table listed in the FROM clause "
             L"of your SQL statement.";
    case err::undefined_function: return L"Undefined function '" + name + L"' in expression.";
    case err::not_in_aggregate:
      return L"You tried to execute a query that does not include the specified expression '" + name +
             L"' as part of an aggregate function.";
    case err::type_mismatch_in_criteria: return L"Data type mismatch in criteria expression.";
    case err::overflow: return L"Overflow.";
    case err::division_by_zero: return L"Division by zero.";
    case err::invalid_use_of_null: return L"Invalid use of Null.";
    case err::input_table_not_found:
      return L"The Microsoft Jet database engine cannot find the input table or query '" + name +
             L"'. Make sure it exists and that its name is spelled correctly.";
    case err::syntax_expected_select:
      return L"Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.";
    case err::syntax_from: return L"Syntax error in FROM clause.";
    case err::syntax_select:
      return L"The SELECT statement includes a reserved word or an argument name that is misspelled or "
             L"missing, or the punctuation is incorrect.";
    case err::characters_after_end: return L"Characters found after end of SQL statement.";
    case err::field_too_small:
      return L"The field is too small to accept the amount of data you attempted to add. Try inserting or "
             L"pasting less data.";
    case err::invalid_operation: return L"Invalid operation.";
    case err::operation_not_supported: return L"Operation is not supported for this type of object.";
    case err::item_not_found: return L"Item not found in this collection.";
    case err::property_not_found: return L"Property not found.";
    case err::required_null:
      return L"The field '" + name + L"' cannot contain a Null value because the Required property for this "
             L"field is set to True. Enter a value in this field.";
    case err::unrecognized_format: return L"Unrecognized database format '" + name + L"'.";
    case err::numeric_overflow: return L"Numeric field overflow.";
    case err::relation_without_fields: return L"Cannot append a relation with no fields defined.";
    case err::already_in_collection:
      return L"Cannot append. An object with that name already exists in the collection.";
    case err::object_invalid: return L"Object invalid or no longer set.";
    case err::conversion_error: return L"Data type conversion error.";
  }
  std::wstring text = L"Reserved error (" + std::to_wstring(n) + L"); there is no message for this error.";
  return text;
}

namespace {
std::string narrow_for_what(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return s;
}
}  // namespace

error::error(int number, const std::wstring& name)
    : std::runtime_error(narrow_for_what(error_text(number, name))), number_(number),
      description_(error_text(number, name)) {}

error::error(int number, const std::wstring& description, bool)
    : std::runtime_error(narrow_for_what(description)), number_(number), description_(description) {}

void fail(int number, const std::wstring& name) { throw error(number, name); }

int32_t error_list::replace(int number, const std::wstring& description, const std::wstring& source) {
  entries_.clear();
  entries_.push_back(error_entry{number, description, source});
  return hresult_of(number);
}

int32_t record_current_exception(error_list& errors, const wchar_t* source) {
  try {
    throw;
  } catch (const error& e) {
    return errors.replace(e.number(), e.description(), source);
  } catch (const jet::error& e) {
    // The engine's refusals carry DAO's number and text already.
    return errors.replace(e.number(), sys_utf8_to_wide(e.what()), source);
  } catch (const std::bad_alloc&) {
    return errors.replace(3035, L"System resource exceeded.", source);
  } catch (const std::exception& e) {
    return errors.replace(err::invalid_argument, sys_utf8_to_wide(e.what()), source);
  }
}

}  // namespace dao
