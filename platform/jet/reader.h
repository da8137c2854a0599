// Reading a database file: the catalog, table definitions, properties and rows.
//
//   auto db = jet::database_reader::open("in.mdb");
//   for (const auto& name : db->table_names()) {
//     jet::table_def t = db->table(name);
//     auto cursor = db->rows(t);
//     std::vector<jet::value> row;            // values by column number
//     while (cursor.next(row)) { ... }
//   }
//
// Rows are found through the table's owned-pages map, page by page in page order, skipping deleted
// rows and following overflow pointers; data pages that carry the table's number but are not in its
// map (left behind by Access) are ignored, as Access ignores them. Errors are jet::error: 3343 for a
// file that is not a database this library reads, 3049 for damage found while reading.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/jet/data_page.h"
#include "platform/jet/format.h"
#include "platform/jet/header.h"
#include "platform/jet/page_io.h"
#include "platform/jet/properties.h"
#include "platform/jet/table_def.h"
#include "platform/jet/types.h"

namespace jet {

// MSysObjects.Flags bits that mark the engine's own objects.
namespace object_flag {
inline constexpr uint32_t system = 0x80000000u;
inline constexpr uint32_t hidden_system = 0x00000002u;
}  // namespace object_flag

// Whether a table is one of the engine's own: flagged system, or named MSys* (Access's own tables,
// such as MSysNavPaneGroups, carry no system flag). Rows are never written to them.
bool is_system_table(const std::wstring& name, uint32_t flags);

// One MSysObjects row.
struct catalog_entry {
  uint32_t id = 0;
  uint32_t parent_id = 0;
  std::wstring name;
  int16_t type = 0;
  uint32_t flags = 0;
  double date_create = 0;
  double date_update = 0;
  bytes owner;
  bytes lv_prop;
  std::wstring connect;       // linked tables: the connect string
  std::wstring foreign_name;  // linked tables: the table's name in its own database
  bool is_table() const;
  bool is_system() const { return is_system_table(name, flags); }
};

// Catalog cells as Access stores them: whole numbers of any width (some numeric columns of Access's
// own tables are bytes or binary), and text or nothing.
int64_t catalog_number(const value& v);
std::wstring catalog_text(const value& v);

class database_reader {
 public:
  static std::unique_ptr<database_reader> open(const std::string& path);
  ~database_reader();

  const format& fmt() const { return *f_; }
  const header_info& header() const { return header_; }
  const page_source& pages() const { return *src_; }
  const std::string& path() const { return path_; }

  // Every MSysObjects row, in storage order (the one reading of the catalog).
  const std::vector<catalog_entry>& objects() const { return objects_; }
  // Names of the local tables (Type 1 in the Tables container); system tables only when asked.
  std::vector<std::wstring> table_names(bool include_system = false) const;
  const catalog_entry* find_table(const std::wstring& name) const;
  // The definition of a table (3078-style jet::error 3011 when there is none).
  table_def table(const std::wstring& name) const;
  table_def table_at(uint32_t tdef_page) const;
  property_blob properties(const std::wstring& name) const;

  // The data pages of a table (its owned map, only pages that are data pages of this table).
  std::vector<uint32_t> data_pages(const table_def& t) const;

  class row_cursor {
   public:
    // Next live row as values by column number; false at the end.
    bool next(std::vector<value>& row);
    // Row pointer (page << 8 | row) of the row `next` returned last.
    uint32_t row_pointer() const { return last_; }

   private:
    friend class database_reader;
    row_cursor(const database_reader& db, table_def t);
    const database_reader& db_;
    table_def t_;
    std::vector<uint32_t> pages_;
    size_t page_index_ = 0;
    std::vector<uint8_t> page_;
    std::vector<row_slot> slots_;
    uint32_t page_number_ = 0;
    size_t row_index_ = 0;
    size_t rows_on_page_ = 0;
    uint32_t last_ = 0;
    bool loaded_ = false;
  };
  row_cursor rows(const table_def& t) const { return row_cursor(*this, t); }
  std::vector<std::vector<value>> read_all(const std::wstring& table) const;

  // The bytes of the row at a row pointer (following an overflow pointer).
  std::vector<uint8_t> row_bytes(uint32_t row_pointer) const;

 private:
  database_reader() = default;
  const format* f_ = nullptr;
  header_info header_;
  std::unique_ptr<page_source> src_;
  std::string path_;
  std::vector<catalog_entry> objects_;
};

}  // namespace jet
