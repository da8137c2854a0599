// What the DAO object model needs from the Access database engine underneath: one open database file.
//
// The DAO objects hold a `storage` and call nothing else of the engine, so every file-format question
// (pages, indexes, collation, property blobs) stays below this line. Every refusal is raised as a
// `dao::error` or `jet::error` carrying the DAO error number of the situation; a refused operation changes
// nothing in the file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/jet/format.h"
#include "platform/jet/types.h"

namespace dao {

// The three file formats: the engine's own generations (jet3, jet4, ace).
using file_format = jet::generation;

// TableDef attribute bits as DAO reports them.
inline constexpr uint32_t table_attached = 0x40000000u;    // dbAttachedTable (linked Access table)
inline constexpr uint32_t table_attached_odbc = 0x20000000u;
inline constexpr uint32_t table_system = 0x80000002u;      // dbSystemObject

struct column_spec {
  std::wstring name;
  jet::column_type type = jet::column_type::long_integer;
  uint32_t size = 0;  // text: characters; binary: bytes; others: the fixed width (ignored on creation)
  bool required = false;
  bool allow_zero_length = false;
  bool autonumber = false;
  std::wstring default_value;  // the stored expression text; empty = no default
  // Descriptive properties; absent ones are reported as "Property not found." (3270).
  bool has_description = false;
  std::wstring description;
  bool has_format = false;
  std::wstring format;
};

struct index_spec {
  std::wstring name;
  std::vector<std::wstring> columns;  // in key order, ascending
  bool primary = false;
  bool unique = false;
  bool foreign = false;  // the hidden index of a relationship (reported, never created here)
};

// A relationship as DAO describes it: `table` is the referenced ("one") table, `foreign_table` the one
// whose fields refer to it; each field pairs a field of `table` with its `foreign_name` in `foreign_table`.
struct relation_field {
  std::wstring name;
  std::wstring foreign_name;
};
struct relation_spec {
  std::wstring name;
  std::wstring table;
  std::wstring foreign_table;
  int32_t attributes = 0;  // dbRelation* bits: 0x2 not enforced, 0x100 cascade updates, 0x1000 cascade deletes
  std::vector<relation_field> fields;
};

struct table_schema {
  std::wstring name;
  std::vector<column_spec> columns;  // in ordinal order
  std::vector<index_spec> indexes;
};

struct catalog_entry {
  std::wstring name;
  uint32_t attributes = 0;  // table_* bits
};

struct query_entry {
  std::wstring name;
  bool has_sql = false;  // the engine may be unable to rebuild a stored query's text
  std::wstring sql;
};

// One row: the values of the table's columns in schema order (jet::value null for Null).
using row = std::vector<jet::value>;

// Rows handed out one at a time, so that a reader of a large table holds one row, not the table.
class row_stream {
 public:
  virtual ~row_stream() = default;
  // The next row into `out`; false after the last.
  virtual bool next(row& out) = 0;
  // The identity of the row `next` gave last, the same however the row was found (its place in the file).
  virtual int64_t row_id() const = 0;
};

// Rows of a table looked up through one of its indexes (`index`: a position in `table_schema::indexes`):
// those whose first `equal.size()` index columns equal `equal`, and whose next column lies between `low`
// and `high` when they are given. Values are of the columns' own types. The rows found may include others
// (the caller tests its conditions on every row); none that match is left out.
struct index_probe {
  size_t index = 0;
  std::vector<jet::value> equal;
  std::optional<jet::value> low, high;
};

class storage {
 public:
  virtual ~storage() = default;

  virtual file_format format() const = 0;
  virtual bool read_only() const = 0;

  // Tables of the Tables container, in catalogue order, with their attributes; stored queries.
  virtual std::vector<catalog_entry> tables() = 0;
  virtual std::vector<query_entry> queries() = 0;

  // The definition of a table (any kind, system tables included); 3078 when there is none.
  virtual table_schema describe(const std::wstring& table) = 0;
  virtual uint32_t row_count(const std::wstring& table) = 0;
  // Every row of the table, in storage order.
  virtual std::vector<row> read_rows(const std::wstring& table) = 0;
  // The same rows one at a time (the default reads them all first).
  virtual std::unique_ptr<row_stream> scan(const std::wstring& table);
  // Rows through an index, or null when the storage cannot look them up so (the caller scans).
  virtual std::unique_ptr<row_stream> seek(const std::wstring& table, const index_probe& probe) {
    (void)table;
    (void)probe;
    return nullptr;
  }
  // The collation text is compared by in this file.
  virtual jet::sort_order_kind text_order() const { return jet::sort_order_kind::general_legacy; }

  // Creates the table atomically (3010 taken, 3125 bad name, 3190/3191 fields, 3283/3284 indexes, ...).
  virtual void create_table(const table_schema& schema) = 0;
  virtual void delete_table(const std::wstring& table) = 0;
  // Stores one row (values in schema order; a Null in an AutoNumber column gets the next number):
  // 3022 duplicate key, 3058 Null in the primary key, 3047 too large, 3001 file limit.
  virtual void append_row(const std::wstring& table, const row& values) = 0;
  // The same for a row the caller gives up: it goes down to the engine without a copy. A refused row comes back
  // with its values (coerced to their columns, perhaps).
  virtual void append_row(const std::wstring& table, row&& values) { append_row(table, std::as_const(values)); }
  // Rows are about to be appended to a stored table (an append-only recordset was opened over it): the storage
  // may start the work its first row needs. A hint: it refuses nothing and may do nothing.
  virtual void prepare_append(const std::wstring& table) { (void)table; }

  // Adds an index to a stored table, built over its rows: 3284 name taken, 3283 second primary key,
  // 3265 field missing, 3022 a unique index over equal keys, 3058 a primary key over a Null, ...
  virtual void add_index(const std::wstring& table, const index_spec& index) = 0;
  // Deletes an index of a stored table: 3265 table or index missing, 3251 an index a relationship uses.
  virtual void delete_index(const std::wstring& table, const std::wstring& index) = 0;
  // Adds a relationship between two stored tables (with its foreign-key indexes when enforced): 3012 name
  // taken, 3265 table or field missing, 3368 field types differ, 3173 no unique index on the referenced
  // fields, 3201 rows that refer to nothing.
  virtual void add_relation(const relation_spec& relation) = 0;

  // Writes everything pending; `close` ends the use of the file (idempotent).
  virtual void flush() = 0;
  virtual void close() = 0;
};

// Opens an existing Access file (3024 missing, 3343 not an Access file, 3051 locked, ...).
std::unique_ptr<storage> open_storage(const std::wstring& path, bool read_only, bool exclusive,
                                      const std::wstring& password);
// Creates a new, empty Access file in the given format (3204 exists, 3044 bad folder, ...).
std::unique_ptr<storage> create_storage(const std::wstring& path, file_format format);

}  // namespace dao
