// Names in a MySQL database that is written: which table, field and index names the server accepts, and the
// safe name that stands in for one it does not.
//
// Two families, chosen by the server's version (sql_engine::create_*_validator): servers from 4.1.0 on
// (`sql_new_*`) take any name of 1 to 64 characters of the Basic Multilingual Plane (no NUL) that neither
// starts nor ends with a blank and holds none of ` " ' ^ * \ ; + (table names neither | : < > ? /); older
// servers (`sql_old_*`) take names of letters, digits, "_" and "$" that are not digits only and not one of
// their reserved words. A safe name of the new family is the name without its outer blanks, each character
// outside the BMP made "_"; of the old family, the name with every other character made "_" (and a leading
// "_" for digits only); both then follow the base rules (lower case, numbered when taken). Two names that
// differ only in case are one name to the server: whoever writes a list of names gives the later one a safe
// name (sql_sch.h).
//
// Each constructor takes the names already in use (the fields of a record or schema, the indexes of a table,
// the table and view names of a statement batch) as existing names.
#pragma once

#include <string>

#include "UDB/udb_db.h"
#include "UDB/udb_vali.h"

class sql_new_validator : public udb_validator {
 public:
  explicit sql_new_validator(bool table_names);
  bool is_acceptable(const std::wstring& name) const override;
  std::wstring get_safe_name(const std::wstring& name) const override;
};

class sql_new_fn_validator : public sql_new_validator {
 public:
  explicit sql_new_fn_validator(const udb_record& record);
  explicit sql_new_fn_validator(const udb_schema& schema);
};

class sql_new_in_validator : public sql_new_validator {
 public:
  explicit sql_new_in_validator(const udb_indexes& indexes);
};

class sql_new_tn_validator : public sql_new_validator {
 public:
  sql_new_tn_validator(const udb_name_list& names1, const udb_name_list& names2);
};

class sql_old_validator : public udb_validator {
 public:
  sql_old_validator();
  bool is_acceptable(const std::wstring& name) const override;
  std::wstring get_safe_name(const std::wstring& name) const override;
};

class sql_old_fn_validator : public sql_old_validator {
 public:
  explicit sql_old_fn_validator(const udb_record& record);
  explicit sql_old_fn_validator(const udb_schema& schema);
};

class sql_old_in_validator : public sql_old_validator {
 public:
  explicit sql_old_in_validator(const udb_indexes& indexes);
};

class sql_old_tn_validator : public sql_old_validator {
 public:
  sql_old_tn_validator(const udb_name_list& names1, const udb_name_list& names2);
};
