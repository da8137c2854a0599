// The pages a table owns, found from its definition: what rewriting or deleting the table gives
// back to the file.
//
// A table owns its TDEF chain, the data pages its owned map lists (pages of type 0x01 carrying its
// TDEF page as owner; stale pages of Access that merely carry the number are not its pages), the
// LVAL pages its memo/OLE columns' maps list, the index pages each index map lists (index pages
// carrying its TDEF page as owner) and the bitmap pages of its reference maps. The map rows
// themselves live on map pages shared with other maps; they are returned apart so that a caller can
// give back a map page once all of its rows are gone.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "platform/jet/format.h"
#include "platform/jet/page_io.h"
#include "platform/jet/table_def.h"

namespace jet {

struct table_pages {
  std::vector<uint32_t> definition;  // the TDEF chain, first page first
  std::vector<uint32_t> pages;       // data, LVAL, index and usage-bitmap pages (not the TDEF chain)
  std::vector<uint32_t> map_rows;    // row pointers of the table's usage-map rows
  // The same pages by what holds them (each list ascending):
  std::vector<uint32_t> data;            // the table's data pages
  std::vector<uint32_t> data_with_room;  // those of them its free-space map lists
  std::map<uint16_t, std::vector<uint32_t>> lv_owned;      // LVAL pages by memo/OLE column number
  std::map<uint16_t, std::vector<uint32_t>> lv_with_room;  // those of them the column's free-space map lists
  std::vector<std::vector<uint32_t>> index;                 // each index's pages
};

table_pages pages_of_table(const format& f, const page_source& src, uint32_t tdef_page);

// The row pointers of a table's usage maps (owned and free-space pages, each long-value column's, each
// index's), without reading the maps.
std::vector<uint32_t> map_rows_of(const table_def& t);

// The bytes of the row at a row pointer (no overflow pointers: map rows never move).
std::vector<uint8_t> row_at(const format& f, const page_source& src, uint32_t row_pointer);

}  // namespace jet
