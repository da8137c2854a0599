// TDEF decoding.
#include "platform/jet/tdef_reader.h"

#include <algorithm>
#include <string>

#include "platform/jet/byte_order.h"
#include "platform/jet/error.h"
#include "platform/jet/value_codec.h"

namespace jet {

table_def read_tdef(const format& f, const page_source& src, uint32_t page, std::vector<uint32_t>* chain) {
  auto bad = [&](const std::string& what) { throw_corrupt("TDEF page " + std::to_string(page) + ": " + what); };
  if (page == 0 || page >= src.page_count()) bad("beyond the file");
  std::vector<uint8_t> first = src.read(page);
  if (first[0] != page_type::tdef || first[1] != 0x01) bad("not a table definition page");
  uint32_t length = get_u32(first.data() + f.tdef_length_offset);
  if (length < f.tdef_header_size) bad("definition too short");
  std::vector<uint8_t> d(first.begin(), first.begin() + std::min<size_t>(length, f.page_size));
  if (chain) chain->push_back(page);
  uint32_t next = get_u32(first.data() + f.tdef_next_page_offset);
  uint32_t guard = 0;
  while (d.size() < length) {
    if (next == 0 || next >= src.page_count() || ++guard > 1000) bad("definition chain ends early");
    auto p = src.read(next);
    if (p[0] != page_type::tdef) bad("continuation page " + std::to_string(next) + " is not a TDEF page");
    if (chain) chain->push_back(next);
    size_t take = std::min<size_t>(f.page_size - f.tdef_page_header_size, length - d.size());
    d.insert(d.end(), p.begin() + f.tdef_page_header_size, p.begin() + f.tdef_page_header_size + long(take));
    next = get_u32(p.data() + f.tdef_next_page_offset);
  }

  table_def t;
  t.tdef_page = page;
  const uint8_t* h = d.data();
  t.row_count = get_u32(h + f.tdef_row_count_offset);
  t.autonumber_last = get_u32(h + f.tdef_autonumber_offset);
  t.system = h[f.tdef_table_type_offset] == table_type::system;
  t.max_columns = get_u16(h + f.tdef_max_columns_offset);
  uint32_t ncols = get_u16(h + f.tdef_columns_offset);
  uint32_t nlogical = get_u32(h + f.tdef_logical_index_count_offset);
  uint32_t nphysical = get_u32(h + f.tdef_physical_index_count_offset);
  t.owned_map = get_u32(h + f.tdef_owned_map_offset);
  t.free_map = get_u32(h + f.tdef_free_map_offset);
  if (nlogical > 1000 || nphysical > 1000) bad("index counts out of range");

  size_t at = f.tdef_header_size;
  auto need = [&](size_t n) { if (at + n > d.size()) bad("blocks run past the definition"); };
  t.indexes.resize(nphysical);
  for (auto& ix : t.indexes) {
    need(f.index_stats_size);
    ix.entry_count = get_u32(d.data() + at);
    ix.distinct_count = get_u32(d.data() + at + 4);
    at += f.index_stats_size;
  }
  t.columns.resize(ncols);
  for (auto& c : t.columns) {
    need(f.column_block_size);
    const uint8_t* b = d.data() + at;
    c.type = column_type(b[f.column_type_offset]);
    c.number = get_u16(b + f.column_number_offset);
    c.var_index = get_u16(b + f.column_var_index_offset);
    c.ordinal = get_u16(b + f.column_ordinal_offset);
    if (c.type == column_type::decimal) {
      c.precision = b[f.column_precision_offset];
      c.scale = b[f.column_precision_offset + 1];
    } else {
      c.sort_order = get_u16(b + f.column_sort_order_offset);
      if (format::has(f.column_sort_version_offset)) c.sort_version = b[f.column_sort_version_offset];
    }
    c.flags = b[f.column_flags_offset];
    if (format::has(f.column_ext_flags_offset)) c.ext_flags = b[f.column_ext_flags_offset];
    c.fixed_offset = c.is_fixed() ? get_u16(b + f.column_fixed_offset_offset) : 0;
    c.length = get_u16(b + f.column_length_offset);
    // Rows hold one value per column number up to the larger of the two counts.
    if (c.number >= std::max<uint32_t>(t.max_columns, ncols)) bad("column number beyond the column count");
    at += f.column_block_size;
  }
  auto read_name = [&]() {
    need(f.name_length_size);
    uint32_t n = f.name_length_size == 1 ? d[at] : get_u16(d.data() + at);
    at += f.name_length_size;
    need(n);
    std::wstring name;
    if (f.unicode_text) {  // names are never compressed
      std::u16string u;
      for (uint32_t i = 0; i + 1 < n; i += 2) u.push_back(char16_t(get_u16(d.data() + at + i)));
      name = from_utf16(u);
    } else {
      name = decode_text(f, std::span<const uint8_t>(d.data() + at, n));
    }
    at += n;
    return name;
  };
  for (auto& c : t.columns) c.name = read_name();
  for (auto& ix : t.indexes) {
    need(f.physical_index_block_size);
    const uint8_t* b = d.data() + at;
    for (uint32_t s = 0; s < 10; ++s) {
      const uint8_t* slot = b + f.physical_index_columns_offset + 3 * s;
      uint16_t col = get_u16(slot);
      if (col == 0xFFFF) continue;
      ix.columns.push_back({col, slot[2] != 0});
    }
    ix.usage_map = get_u32(b + f.physical_index_map_offset);
    ix.root_page = get_u32(b + f.physical_index_root_offset);
    ix.flags = b[f.physical_index_flags_offset];
    at += f.physical_index_block_size;
  }
  t.logical_indexes.resize(nlogical);
  for (auto& li : t.logical_indexes) {
    need(f.logical_index_block_size);
    const uint8_t* b = d.data() + at;
    li.number = get_u32(b + f.logical_index_number_offset);
    li.physical = get_u32(b + f.logical_index_physical_offset);
    li.relationship_role = b[f.logical_index_role_offset];
    li.other_index = get_i32(b + f.logical_index_other_offset);
    li.other_tdef = get_u32(b + f.logical_index_other_page_offset);
    li.cascade_update = b[f.logical_index_cascade_update_offset];
    li.cascade_delete = b[f.logical_index_cascade_delete_offset];
    li.type = logical_index_type(b[f.logical_index_type_offset]);
    if (li.physical >= nphysical) bad("logical index names a missing physical index");
    at += f.logical_index_block_size;
  }
  for (auto& li : t.logical_indexes) li.name = read_name();
  std::vector<uint16_t> lv_order;
  while (at + 2 <= d.size()) {
    uint16_t col = get_u16(d.data() + at);
    at += 2;
    if (col == 0xFFFF) break;
    lv_order.push_back(col);
    need(8);
    for (auto& c : t.columns)
      if (c.number == col) {
        c.lv_owned_map = get_u32(d.data() + at);
        c.lv_free_map = get_u32(d.data() + at + 4);
      }
    at += 8;
  }
  for (const auto& ix : t.indexes)
    for (const auto& ic : ix.columns)
      if (!t.column_by_number(ic.column_number)) bad("index names a missing column");
  // A long-value map list in another order than the column blocks (the Jet 3 engine's, alphabetical)
  // is kept, so that a rewritten definition lists it as it was.
  std::vector<uint16_t> block_order;
  for (const auto& c : t.columns)
    if (is_long_value_type(c.type)) block_order.push_back(c.number);
  if (lv_order != block_order) t.lv_list_order = std::move(lv_order);
  return t;
}

}  // namespace jet
