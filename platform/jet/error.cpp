// DAO error texts.
#include "platform/jet/error.h"

#include <cstring>

#include "platform/system/file_copy.h"

namespace jet {

std::string error_text(int n, const std::string& name) {
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
  }
  return "Error " + std::to_string(n) + (name.empty() ? std::string() : ": " + name);
}

void throw_error(int n, const std::string& name) { throw error(n, error_text(n, name)); }

void throw_corrupt(const std::string& detail) { throw error(dao_error::corrupt, error_text(dao_error::corrupt, detail)); }

void throw_write_error(int err, const std::string& path, const char* kind) {
  const std::string what = kind + ("'" + path + "'");
  if (sys_is_disk_full(err))
    throw error(dao_error::disk_full, "Cannot write " + what + ": the disk is full (" + std::strerror(err) + ").");
  throw error(dao_error::io_error, "Disk or network error while writing " + what + ": " + std::strerror(err) + ".");
}

}  // namespace jet
