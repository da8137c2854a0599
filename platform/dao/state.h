// Internal state shared by the DAO objects of one database (not part of the interface).
//
// `database_state` is the open file: its storage and the Errors list of the engine that opened it. Every
// object made under a database holds it, so an object outlives the holder its caller released; Close ends
// the storage and marks the state closed, after which every call fails with 3420.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dao/dao.h"
#include "platform/dao/sql_query.h"
#include "platform/dao/storage.h"
#include "platform/jet/error.h"
#include "platform/jet/value_codec.h"

namespace dao {

struct database_state {
  std::wstring path;
  error_list_ptr errors;
  std::unique_ptr<storage> store;
  bool closed = false;

  // The last statement counted (`SELECT Count(*) FROM (<statement>)`): its rows, evaluated to count them, wait for
  // the recordset that opens the statement next, and its count for the count taken after that. A caller that
  // counts a statement, opens it and counts it again evaluates it once (twice when its rows were too many to keep
  // for a count alone). Anything that changes the file forgets it.
  struct counted_statement {
    std::wstring sql;
    query_result result;
    size_t count = 0;
    bool kept = false;    // `result` holds the rows
    bool opened = false;  // the recordset took them
  };
  std::optional<counted_statement> counted;

  // The storage of an open database; 3420 once it was closed.
  storage& live() {
    if (closed || !store) fail(err::object_invalid);
    return *store;
  }
  // The storage, for a change to the file.
  storage& changing() {
    counted.reset();
    return live();
  }
};

// A field's definition; also the column of a recordset row (row_cursor + column set).
struct field_state {
  column_spec spec;
  short dao_type = dbLong;
  bool appended = false;        // belongs to an appended (stored) object: its definition is fixed
  std::wstring foreign_name;    // relation fields
  std::shared_ptr<cursor> row_cursor;  // recordset fields: the cursor whose current row holds the value
  size_t column = 0;
};

struct index_state {
  std::wstring name;
  bool primary = false, unique = false, foreign = false;
  bool appended = false;
  std::vector<ref<_DAOField>> fields;
};

struct tabledef_state {
  std::wstring name;
  uint32_t attributes = 0;
  bool appended = false;  // false: made by CreateTableDef and not yet appended
  // Unappended: the definition being built. Appended: filled from the storage on first use.
  std::vector<ref<_DAOField>> fields;
  std::vector<ref<_DAOIndex>> indexes;
  bool loaded = false;
};

struct relation_state {
  std::wstring name, table, foreign_table;
  int32_t attributes = 0;
  bool appended = false;
};

// A recordset's rows and position, or (append-only) just its columns and the pending new row.
struct cursor {
  std::wstring table;              // the table rows are appended to (empty: not updatable)
  std::vector<size_t> table_columns;  // each column's position among the table's columns
  size_t table_width = 0;             // the table's columns
  std::vector<column_spec> columns;
  std::vector<row> rows;
  size_t position = 0;             // rows.size() = EOF
  bool before_first = false;       // BOF after MovePrevious from the first row
  bool append_only = false, read_only = true;
  bool closed = false;
  std::optional<row> pending;      // AddNew buffer
  // The statement whose rows are read when they are first asked for (it was shown to open without them).
  std::optional<std::wstring> unread;
  uint32_t added = 0;              // rows stored through this cursor
  size_t next_column = 0;          // where the next column lookup by name starts
  file_format format = file_format::jet4;
};

// A cursor for a SELECT statement (3078 unknown table, 3061 unknown name, ...): the statement is shown to open
// (its first row evaluated); its rows are read when first asked for (`read_rows`), never when append_only.
std::shared_ptr<cursor> open_cursor(database_state& db, const std::wstring& sql, bool append_only, bool read_only);
// Reads the rows of a cursor opened without them.
void read_rows(storage& s, cursor& c);
// The columns a statement returns, without reading its rows.
std::vector<column_spec> statement_columns(storage& s, const std::wstring& sql);

// DAO's type constant of an engine column type and the reverse mapping for new fields (3259 when unknown).
short dao_type_of(const column_spec& c);
jet::column_type column_type_of(short dao_type);
// The size DAO reports: characters for text, bytes for binary, the width of fixed types, 0 for long values.
int32_t reported_size(const column_spec& c);
// A field state describing a stored column.
std::shared_ptr<field_state> stored_field(const column_spec& c);

// The engine's description of a column, for its per-value rules (jet::check_value, jet::check_rules).
jet::column_def engine_column(const column_spec& c, const jet::format& f);
// Value conversions between VARIANTs and engine values for a column (3421, 3349 on refusal), then the column's
// per-value rules (jet::check_value: 3163; a Null Yes/No is No).
jet::value to_column_value(const VARIANT& v, const column_spec& c, file_format format);
// The VARIANT of an engine value (the caller owns and clears it).
VARIANT to_variant(const jet::value& v);
// The expression text a DefaultValue VARIANT stands for (3421 for a byte array or an object).
std::wstring default_text(const VARIANT& v);

// Argument helpers: a VARIANT's text (VT_BSTR, or numbers turned into text), integer, boolean; empty/missing
// arguments give the fallback.
std::wstring arg_text(const VARIANT& v);
int32_t arg_int(const VARIANT& v, int32_t fallback);
bool arg_bool(const VARIANT& v, bool fallback);
bool is_missing(const VARIANT& v);

// BSTR out-parameter from a text (3001-class failure when memory runs out).
BSTR make_bstr(const std::wstring& text);
VARIANT text_variant(const std::wstring& text);

}  // namespace dao
