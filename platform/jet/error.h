// The engine's exception: a DAO error number with its text; and the one table of DAO error numbers and texts,
// which the DAO layer above uses for its own errors too.
//
// Every refusal of the engine (a duplicate key, a missing required value, a limit of the format, a
// damaged file, a failed write) is a `jet::error` carrying the number DAO reports for the same
// situation, so the DAO layer above can pass it on unchanged.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace jet {

namespace dao_error {
inline constexpr int invalid_argument = 3001;          // "Invalid argument." (file size limit)
inline constexpr int duplicate_key = 3022;
inline constexpr int file_not_found = 3024;            // "Could not find file '...'."
inline constexpr int invalid_password = 3031;          // "Not a valid password."
inline constexpr int file_in_use = 3045;               // "Could not use '...'; file already in use."
inline constexpr int cannot_open = 3051;
inline constexpr int record_too_large = 3047;
inline constexpr int not_valid_path = 3044;
inline constexpr int not_valid_file_name = 3055;
inline constexpr int index_null = 3058;
inline constexpr int table_exists = 3010;
inline constexpr int disk_full = 3035;                  // "System resource exceeded." / write failure
inline constexpr int io_error = 3043;                   // "Disk or network error."
inline constexpr int invalid_name = 3125;
inline constexpr int field_too_small = 3163;
inline constexpr int object_exists = 3012;              // "Object '...' already exists."
inline constexpr int no_unique_index = 3173;
inline constexpr int related_record_required = 3201;
inline constexpr int relationship_mismatch = 3368;
inline constexpr int too_many_fields = 3190;
inline constexpr int not_supported = 3251;              // "Operation is not supported for this type of object."
inline constexpr int duplicate_field = 3191;
inline constexpr int database_exists = 3204;
inline constexpr int field_not_found = 3265;
inline constexpr int invalid_field_type = 3259;
inline constexpr int no_fields = 3264;
inline constexpr int primary_key_exists = 3283;
inline constexpr int index_exists = 3284;
inline constexpr int too_many_indexes = 3626;
inline constexpr int too_many_index_fields = 3631;     // reported by Jet for > 10 fields in an index
inline constexpr int part_of_relationship = 3303;   // "Cannot delete this field. It is part of one or more relationships."
inline constexpr int required_null = 3314;
inline constexpr int zero_length = 3315;
inline constexpr int unrecognized_format = 3343;
inline constexpr int numeric_overflow = 3349;
inline constexpr int conversion_error = 3421;
inline constexpr int object_invalid = 3420;             // "Object invalid or no longer set."
inline constexpr int corrupt = 3049;                    // "Cannot open database ... may not be a database ..."
// The DAO layer's own (objects, recordsets, queries).
inline constexpr int operation_not_supported = not_supported;
inline constexpr int item_not_found = field_not_found;
inline constexpr int update_without_addnew = 3020;
inline constexpr int no_current_record = 3021;
inline constexpr int read_only = 3027;
inline constexpr int too_few_parameters = 3061;
inline constexpr int syntax_in_expression = 3075;
inline constexpr int input_table_not_found = 3078;
inline constexpr int ambiguous_field = 3079;
inline constexpr int undefined_function = 3085;
inline constexpr int aggregate_not_allowed = 3096;
inline constexpr int not_in_aggregate = 3122;
inline constexpr int syntax_expected_select = 3129;
inline constexpr int syntax_from = 3131;
inline constexpr int syntax_select = 3141;
inline constexpr int characters_after_end = 3142;
inline constexpr int invalid_operation = 3219;
inline constexpr int property_not_found = 3270;
inline constexpr int union_column_mismatch = 3307;
inline constexpr int relation_without_fields = 3366;
inline constexpr int already_in_collection = 3367;
inline constexpr int type_mismatch_in_criteria = 3464;
inline constexpr int order_by_conflicts_with_distinct = 3093;
inline constexpr int query_too_complex = 3360;
inline constexpr int subquery_fields = 3306;
inline constexpr int grouped_star = 3120;
inline constexpr int subquery_records = 3354;
inline constexpr int invalid_procedure_call = 5;  // "Invalid procedure call or argument." (null pointers)
inline constexpr int overflow = 6;
inline constexpr int division_by_zero = 11;
inline constexpr int type_mismatch = 13;          // DAO's "Type mismatch." for a wrong argument kind
inline constexpr int invalid_use_of_null = 94;
inline constexpr int no_such_interface = 430;     // "Class does not support Automation or does not support
                                                  //  expected interface."
}  // namespace dao_error

class error : public std::runtime_error {
 public:
  error(int dao_number, const std::string& text) : std::runtime_error(text), number_(dao_number), text_(text) {}
  int number() const { return number_; }
  const char* what() const noexcept override { return text_.c_str(); }

  // A damaged-file error (3049) naming the check the file failed ("the file is too short"). Most of the engine
  // reads bytes without knowing whose they are, or knows the file only by the name of its working copy: until a
  // caller that knows the file as the user named it passes it on (name_file), the text is the check alone.
  static error corrupt(const std::string& check);
  // Makes a damaged-file error that does not name its file yet say "Cannot open database '<path>'. It may not be
  // a database that your application recognizes, or the file may be corrupt. (<The check>.)"; any other error
  // stays as it is.
  void name_file(const std::string& path);

 private:
  int number_;
  std::string text_;
  std::string check_;  // of a damaged-file error that does not name its file yet
};

// Error texts as DAO words them; `name` fills the placeholder where the text names an object.
[[noreturn]] void throw_error(int dao_number, const std::string& name = std::string());
// Numbers the table has no text for give "Error <n>: <name>".
std::string error_text(int dao_number, const std::string& name = std::string());
// The table's text, or nothing for a number it has no text for.
std::optional<std::string> known_error_text(int dao_number, const std::string& name = std::string());

// Raises error::corrupt(check): the file is named by the caller that knows it (error::name_file).
[[noreturn]] void throw_corrupt(const std::string& check);

// A failed write (errno `err`) of the file at `path`, named as `kind` + "'path'" (kind "" or, say, "a copy of "):
// 3035 "Cannot write <name>: the disk is full (...)." when no room was found, else 3043 "Disk or network error
// while writing <name>: ...".
[[noreturn]] void throw_write_error(int err, const std::string& path, const char* kind = "");

}  // namespace jet
