// Evaluating an Access SELECT statement over one open file.
//
// The statement is rewritten (sql_rewrite.h) and run by an in-memory SQLite connection made for it, whose
// tables are the file's tables and stored queries (sql_vtab.h), whose functions are Access's
// (sql_functions.h) and whose text collation is the file's (sql_collation.h). Nothing is written anywhere.
//
// Result columns are typed from the column they show when they show one (name, type and size of the source
// column under the result's name), as dates when they are the value of a function that gives dates, else from
// their values: whole numbers as Long (Double beyond its range),
// reals as Double, texts as Text (Memo beyond 255 characters), blobs as OLE Object; a column of Nulls is Text.
// Rows come in the order the statement's ORDER BY asks (otherwise as the evaluator reads them); TOP keeps the
// first rows and every row tied with the last one kept, as Access does, and reads no further.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/dao/storage.h"

namespace dao {

struct query_result {
  std::vector<column_spec> columns;
  std::vector<row> rows;  // empty when only the columns were asked for
  // A plain SELECT of one stored table: the table's name and, per result column, its position among the
  // table's columns (rows appended through the result go there). Empty otherwise.
  std::wstring table;
  std::vector<size_t> table_columns;
  size_t table_width = 0;  // the table's columns
  // rows_read::all_if_few: the count of rows too many to keep (`rows` is then empty).
  std::optional<size_t> counted;
};

// What of a statement's rows is read: none (only its columns are found; the table is not read when every column
// is one of a table's), the first (the statement is shown to open: its first row is evaluated, then dropped), all
// of them, all of them kept only while they are few (a few million values; past that they are counted, none
// kept), or all of them counted, none kept (the result is that of `counted_rows`).
enum class rows_read { none, first, all, all_if_few, count };

// Runs `sql`. Raises dao::error with Access's number when the statement cannot be run. `SELECT Count(*) FROM
// (<statement>)` counts the rows the statement gives, every one of them evaluated, none kept.
query_result run_query(storage& s, const std::wstring& sql, rows_read what);
query_result run_query(storage& s, const std::wstring& sql, bool read_rows);

// The result of a count: one Long column, Expr1000, of one row holding `rows`.
query_result counted_rows(size_t rows);

}  // namespace dao
