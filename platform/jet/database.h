// The database writer: creates a new Access file and fills it with tables and rows, or opens an
// existing one to read it or to change it (new tables, rows appended to existing tables, deleted
// tables, relationships). Jet 4 (.mdb) and ACE (.accdb) files alike.
//
//   auto db = jet::database::create("/data/out.mdb");            // Jet 4 (Access 2000) .mdb
//   db->add_table(L"Customers",
//                 {{.name = L"Id", .type = column_type::long_integer, .autonumber = true},
//                  {.name = L"Name", .type = column_type::text, .size = 80, .required = true}},
//                 {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true}});
//   db->append_row(L"Customers", {value(), value::text(L"Ann")});  // Null AutoNumber: next number
//   db->close();                                                  // the file appears at its path
//
// Contract:
// * The file is written under a temporary name in the destination folder and renamed into place by
//   `close()`. Until then (a crash, a killed process, a full disk, `abandon()`) the destination does
//   not exist. Only `close()` writes the file: the destructor abandons a database that was not closed.
// * `add_table` is atomic: everything is validated first (3010 name taken, 3125 bad name, 3190 more
//   than 255 fields, 3191 duplicate field, 3264 no fields, 3259 bad type or index on memo/OLE,
//   3283 second primary key, 3284 duplicate index name, 3626 more than 32 indexes, 3631 more than 10
//   fields in an index, 3265 unknown index field); a refused table leaves nothing behind.
// * `append_row` takes values by column position (definition order). A refused row (3022, 3058,
//   3163, 3314, 3315, 3047, 3349, 3421, 3001) is not written and the table stays usable.
// * An AutoNumber column given Null gets the next number; an explicit value is stored and the
//   counter moves past the largest value seen.
// * Every error is a jet::error carrying the DAO error number.
//
// Existing files (`open`): changes are made on a working copy in the same folder that replaces the
// file at `close()`; `abandon()`, the destructor or a failure leaves the file exactly as it was.
// A destination that is a symbolic link stands for its target: the target is written, the link stays.
// Rows of an existing table are given by column number (`table(handle).columns[i].number`), which
// equals the position except in tables whose columns were deleted by Access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/jet/catalog_listing.h"
#include "platform/jet/format.h"
#include "platform/jet/table_def.h"
#include "platform/jet/types.h"

namespace jet {

struct column_spec {
  std::wstring name{};
  column_type type = column_type::text;
  uint32_t size = 0;               // text: characters (1-255, 0 = 255); binary: bytes (1-255, 0 = 255)
  bool required = false;
  bool allow_zero_length = false;  // text and memo
  std::wstring default_value{};      // the expression text ("0", "\"abc\"", "Now()"); empty = none
  bool autonumber = false;         // Long only
  std::wstring description{};
  std::wstring format_text{};        // the Format property; empty = none
  bool compressed_unicode = true;  // text and memo
  uint8_t precision = 18;          // decimal
  uint8_t scale = 0;               // decimal
};

struct index_field {
  std::wstring column{};
  bool ascending = true;
};

struct index_spec {
  std::wstring name{};
  std::vector<index_field> fields{};
  bool primary = false;        // implies unique and required
  bool unique = false;
  bool ignore_nulls = false;
  bool required = false;
};

// A relationship between two tables: `table`'s `columns` refer to `referenced_table`'s
// `referenced_columns` (its primary key or another unique index). `grbit` takes relationship_flag bits
// (catalog_listing.h): not_enforced, cascade_update, cascade_delete.
struct relationship_spec {
  std::wstring name{};
  std::wstring table{};
  std::vector<std::wstring> columns{};
  std::wstring referenced_table{};
  std::vector<std::wstring> referenced_columns{};
  uint32_t grbit = 0;
};

struct create_options {
  std::wstring password{};           // at most 20 characters
  std::optional<double> now{};       // creation time for the catalog (days since 1899-12-30); default: local now
  // Memory the index entries of one table may take before they are sorted out to disk beside the
  // file; 0 for the default (index_sorter.h). The file written does not depend on it.
  size_t index_memory = 0;
  // Memory the index trees of tables already left may take while they wait for close, built ahead
  // on other cores (prepared_tree.h); empty for the default, 0 to build every tree at close. The
  // file written does not depend on it.
  std::optional<size_t> tree_memory{};
};

struct open_options {
  bool read_only = false;
  bool exclusive = false;           // no other session may open the file meanwhile
  std::wstring password{};          // the database password (";pwd=..."), empty for none
};

// The interface of an Access file being written. Two implementations stand behind it: a new file
// (new_file.h: written from scratch, renamed into place at `close`) and an existing file
// (existing_file.h: read, and changed in a working copy that replaces it at `close`).
class database {
 public:
  // Refuses an existing file (3204), a missing folder (3044), a bad name (3055) and generations that
  // cannot be written (3343 naming the format).
  static std::unique_ptr<database> create(const std::string& path, generation gen = generation::jet4,
                                          const create_options& options = {});
  // Opens an existing file (see existing_file.h): 3024 missing, 3343 not an Access file or a format
  // that cannot be read (or, opened for changes, cannot be kept intact by a change), 3049 damaged,
  // 3031 wrong password, 3045 in use. Changes go to a working copy that replaces the file at `close()`.
  static std::unique_ptr<database> open(const std::string& path, const open_options& options = {});
  virtual ~database();
  database(const database&) = delete;
  database& operator=(const database&) = delete;

  virtual const format& fmt() const = 0;
  virtual const std::string& path() const = 0;
  generation gen() const { return fmt().gen; }
  uint8_t version_byte() const { return fmt().version_byte; }
  virtual bool read_only() const = 0;

  // The catalog: tables (local, linked, system) and queries; a new file lists the tables added.
  virtual std::vector<catalog_object> objects() const = 0;
  virtual std::vector<stored_query> queries() const = 0;
  virtual std::vector<relationship> relationships() const = 0;
  // The reader over an opened file (its working copy once changed); 3420 for a new file.
  virtual const database_reader& reader() const = 0;

  // Adds a table; returns its handle for append_row.
  virtual size_t add_table(const std::wstring& name, const std::vector<column_spec>& columns,
                           const std::vector<index_spec>& indexes, const std::wstring& description = std::wstring()) = 0;
  // The handle of a table (one added in this session, or of an opened file) (3265 when there is none).
  virtual size_t table_handle(const std::wstring& name) = 0;
  virtual const table_def& table(size_t handle) const = 0;
  uint32_t row_count(size_t handle) const { return table(handle).row_count; }

  // Says that rows are about to be appended to the table: an opened file may start, on another thread, the work
  // its first change needs (the working copy, reading the table's index trees), so that it overlaps whatever the
  // caller does before the first row. Nothing is changed and nothing is refused here; errors of that work are
  // reported by the first change, as they would have been without it. A hint only: it may do nothing.
  virtual void prepare_appending(size_t handle) { (void)handle; }
  virtual void append_row(size_t handle, const std::vector<value>& values) = 0;
  // The same for a row the caller gives up: the engine works on it where it is instead of copying it first (its
  // values may change: coerced to their columns, an AutoNumber filled in).
  virtual void append_row(size_t handle, std::vector<value>&& values) { append_row(handle, std::as_const(values)); }
  void append_row(const std::wstring& table, const std::vector<value>& values) { append_row(table_handle(table), values); }

  // Writes the table's index trees, maps and definition now and frees their memory; no more rows
  // can be appended to it afterwards. `close` finishes every table that is still open.
  virtual void finish_table(size_t handle) = 0;

  // Deletes a table (local or linked) of an opened file with its rows, indexes and permissions (3265
  // when there is none, 3251 for system tables). A table that a relationship names is refused with
  // 3303, naming the table and its relationships, and the file is not changed.
  virtual void delete_table(const std::wstring& name) = 0;

  // Adds a relationship between two tables of an opened file: its MSysRelationships rows and catalog
  // row and, when enforced, the foreign-key indexes of both tables (a new index over the columns in
  // `table` unless one exists). Refusals: 3012 name taken, 3265 table or field missing, 3368 field
  // counts or types differ, 3173 no unique index on the referenced fields, 3201 rows of `table`
  // refer to rows that `referenced_table` lacks.
  virtual void add_relationship(const relationship_spec& r) = 0;

  // Adds an index to a table of an opened file, built over the rows it holds. Refusals, before
  // anything is written: 3265 table or field missing, 3125 bad name, 3284 name taken, 3283 second
  // primary key, 3264 no fields, 3631 more than 10 fields, 3626 more than 32 indexes, 3191 a field
  // twice, 3259 memo/OLE field, 3022 a unique index over rows with equal keys, 3058 a required index
  // (or primary key) over a row with a Null, 3251 a system table.
  virtual void add_index(const std::wstring& table, const index_spec& index) = 0;

  // Deletes an index of a table of an opened file; its tree goes with it unless another index of the table
  // uses it. Refusals, before anything is written: 3265 table or index missing, 3251 a system table or an
  // index a relationship uses.
  virtual void delete_index(const std::wstring& table, const std::wstring& index) = 0;

  // Writes everything and renames the file into place. Idempotent.
  virtual void close() = 0;
  // Drops the file being written; the destination is left as it was.
  virtual void abandon() = 0;

  // Bytes written to the file so far.
  virtual uint64_t bytes_written() const = 0;

 protected:
  database() = default;
};


}  // namespace jet
