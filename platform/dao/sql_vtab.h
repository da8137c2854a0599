// The tables and stored queries of an Access file as tables of the evaluator (SQLite).
//
// Each table is a virtual table over the storage's rows: a scan reads them one at a time, and where the
// statement gives equalities on the leading columns of one of the table's indexes (and perhaps a range on
// the next one) the rows are looked up through that index instead. Values are handed to the evaluator typed:
// whole numbers and Yes/No (-1/0) as integers, Single, Double, Currency, Decimal and Date/Time (the date
// number) as reals, Text, Memo and GUIDs as text under the collation `access_text`, binary data as blobs.
// Each stored query is a view over its rewritten text.
//
// Objects are declared on demand: the statement is prepared, and each table the evaluator says is missing is
// declared when the file has it (`declare_object`), so a statement costs only the tables it names.
#pragma once

#include <optional>
#include <string>

#include "platform/dao/sql_rewrite.h"
#include "platform/dao/storage.h"

struct sqlite3;
struct sqlite3_value;

namespace dao {

class object_catalog;

// What the evaluator has been told about the file: the storage and each object declared so far.
class evaluator_tables : public column_kinds {
 public:
  evaluator_tables(sqlite3* db, storage& s);
  ~evaluator_tables();
  evaluator_tables(const evaluator_tables&) = delete;
  evaluator_tables& operator=(const evaluator_tables&) = delete;

  // Declares the table or stored query the evaluator knows as `name`: false when the file has none.
  bool declare_object(const std::wstring& name);

  // The column of a declared table behind a result column (the evaluator's table and column names): the
  // file's name of the table, the column's definition and its position among the table's columns.
  struct source {
    std::wstring table;
    column_spec column;
    size_t position = 0;
    size_t width = 0;  // the table's columns
  };
  std::optional<source> source_column(const std::string& table, const std::string& column) const;
  // The file's name of a declared table (not a query), else empty.
  std::wstring table_name(const std::string& table) const;

  // The columns of a table or stored query and whether they hold dates (stored queries as their rewrite types
  // them).
  const columns* columns_of(const std::wstring& object) override;

 private:
  std::unique_ptr<object_catalog> catalog_;
};

// A column value read from the evaluator, as the engine's value of the column's type (Null when it does not fit).
jet::value value_for_column(sqlite3_value* v, const column_spec& c);

}  // namespace dao
