// Rows and values read from MySQL: `sql_record` (one row of `sql_field` values) and the conversion of a cell,
// as the client library hands it over (bytes and a length, null for SQL NULL), into an `ole_variant`.
//
// How a column's cells become values is decided once per result (`sql_cell_plan`), from the column's variant
// type: NULL gives an empty value (VT_EMPTY) whatever the column; binary columns keep their bytes exactly, NUL
// bytes included; text is decoded from UTF-8 (the session's character set); BIT(1) is true when any bit is
// set and wider BIT columns give the unsigned number of their big-endian bytes; numbers, decimals and dates are
// read from the server's text by the value layer's text rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SQL/sql_client.h"
#include "UDB/udb_rec.h"

// A cell whose value cannot be held (a date before the year 100 or with a zero month or day, a negative time, a
// number beyond its type): an error of the one row that holds it (level 0). The text names the column and the
// value as the server sent it, then the reason ("cannot be stored as a date or time").
class sql_value_exception : public tk_exception {
 public:
  sql_value_exception(const std::wstring& column, const char* cell, std::size_t length, const std::string& reason);
  ~sql_value_exception() override;
};

// How the cells of one column are turned into values.
struct sql_cell_plan {
  std::wstring name;
  VARTYPE vartype = VT_BSTR;
  bool is_bit = false;  // a BIT column: the cell holds the bits as big-endian bytes
};

// The plan of a result's columns straight from their metadata (used for user queries and statements).
std::vector<sql_cell_plan> sql_plan_from_columns(const std::vector<sql_column>& columns, bool blob_to_text);

// The value of one cell; a value that cannot be held raises sql_value_exception.
ole_variant sql_cell_value(const sql_cell_plan& plan, const char* cell, std::size_t length);
// The same value taken into `out` in place, without a temporary (a binary value keeps its array's buffer).
// After a cell that raises, `out` is not to be used.
void sql_cell_assign(ole_variant& out, const sql_cell_plan& plan, const char* cell, std::size_t length);

// The value of a text as the given variant type (numbers, decimals, dates by the value layer's text rules;
// VT_BOOL true when the text is not empty up to its first NUL; an absent text gives an empty value).
ole_variant get_variant(VARTYPE vartype, const std::string* text);
ole_variant get_variant_w(VARTYPE vartype, const std::wstring* text);

class sql_field : public udb_field {
 public:
  // size: the cell's length in bytes as the client library reports it.
  sql_field(std::wstring name, uint32_t size, const ole_variant& value);
  ~sql_field() override;
};

class sql_record : public udb_record {
 public:
  // One field per column of the row, by the plan; a cell that cannot be converted raises sql_value_exception.
  sql_record(const std::vector<sql_cell_plan>& plan, const sql_row& row);
  // The first n fields of the plan, empty (to take values converted elsewhere).
  sql_record(const std::vector<sql_cell_plan>& plan, std::size_t n);
  ~sql_record() override;
  // Takes another row of the same plan into the fields this record already has. A cell that cannot be converted
  // raises sql_value_exception and leaves the record partly assigned: the caller must not hand it out.
  void assign(const std::vector<sql_cell_plan>& plan, const sql_row& row);
};
