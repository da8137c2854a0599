// TDEF encoding.
#include "platform/jet/tdef_builder.h"

#include <algorithm>
#include <cstring>

#include "platform/jet/byte_order.h"
#include "platform/jet/error.h"
#include "platform/jet/value_codec.h"

namespace jet {

namespace {

// Names: [2] byte length + UTF-16LE; Jet 3: [1] length + code-page bytes.
void append_name(const format& f, std::vector<uint8_t>& out, const std::wstring& name) {
  std::vector<uint8_t> b = encode_text(f, name, false);
  if (f.name_length_size == 1) {
    out.push_back(uint8_t(b.size()));
  } else {
    append_u16(out, uint16_t(b.size()));
  }
  out.insert(out.end(), b.begin(), b.end());
}

// Bytes 2-3 of every TDEF page: its free space minus 8 (Jet 4/ACE) or the letters "VC" (Jet 3).
void put_page_mark(const format& f, uint8_t* page, uint32_t free_space) {
  if (f.tdef_page_tag) {
    page[2] = uint8_t(f.tdef_page_tag[0]);
    page[3] = uint8_t(f.tdef_page_tag[1]);
  }
  if (format::has(f.tdef_free_space_offset)) put_u16(page + f.tdef_free_space_offset, uint16_t(free_space));
}

}  // namespace

std::vector<uint8_t> encode_tdef(const format& f, const table_def& t) {
  std::vector<uint8_t> out(f.tdef_header_size, 0);
  uint8_t* h = out.data();
  h[0] = page_type::tdef;
  h[1] = tdef_const::page_marker;
  // Jet 3 has neither the constants of the Jet 4 blocks nor the 01 byte of its header.
  const bool magics = f.tdef_block_magics;
  if (magics) put_u32(h + tdef_const::magic_offset, tdef_const::magic_value);
  put_u32(h + f.tdef_row_count_offset, t.row_count);
  put_u32(h + f.tdef_autonumber_offset, t.autonumber_last);
  if (magics) h[tdef_const::flag24_offset] = tdef_const::flag24_value;
  h[f.tdef_table_type_offset] = t.system ? table_type::system : table_type::user;
  put_u16(h + f.tdef_max_columns_offset, std::max<uint16_t>(t.max_columns, uint16_t(t.columns.size())));
  put_u16(h + f.tdef_var_columns_offset, t.variable_column_count());
  put_u16(h + f.tdef_columns_offset, uint16_t(t.columns.size()));
  put_u32(h + f.tdef_logical_index_count_offset, uint32_t(t.logical_indexes.size()));
  put_u32(h + f.tdef_physical_index_count_offset, uint32_t(t.indexes.size()));
  put_u32(h + f.tdef_owned_map_offset, t.owned_map);
  put_u32(h + f.tdef_free_map_offset, t.free_map);

  for (const auto& ix : t.indexes) {
    std::vector<uint8_t> b(f.index_stats_size, 0);
    put_u32(b.data() + tdef_const::index_entry_count_offset, ix.entry_count);
    put_u32(b.data() + tdef_const::index_distinct_count_offset, ix.distinct_count);
    out.insert(out.end(), b.begin(), b.end());
  }
  for (const auto& c : t.columns) {
    std::vector<uint8_t> b(f.column_block_size, 0);
    b[f.column_type_offset] = uint8_t(c.type);
    if (magics) put_u32(b.data() + tdef_const::column_magic_offset, tdef_const::magic_value);
    put_u16(b.data() + f.column_number_offset, c.number);
    put_u16(b.data() + f.column_var_index_offset, c.var_index);
    put_u16(b.data() + f.column_ordinal_offset, c.ordinal);
    if (format::has(f.column_jet3_one_offset)) put_u16(b.data() + f.column_jet3_one_offset, 1);
    if (c.type == column_type::decimal) {
      b[f.column_precision_offset] = c.precision;
      b[f.column_precision_offset + 1] = c.scale;
    } else {
      // Every column carries the sort order (and in Jet 3 the database code page), text or not.
      put_u16(b.data() + f.column_sort_order_offset, c.sort_order);
      if (format::has(f.column_sort_version_offset)) b[f.column_sort_version_offset] = c.sort_version;
      if (format::has(f.column_code_page_offset)) put_u16(b.data() + f.column_code_page_offset, f.code_page);
    }
    b[f.column_flags_offset] = c.flags;
    if (format::has(f.column_ext_flags_offset)) b[f.column_ext_flags_offset] = c.ext_flags;
    put_u16(b.data() + f.column_fixed_offset_offset, c.is_fixed() ? c.fixed_offset : 0);
    put_u16(b.data() + f.column_length_offset, c.length);
    out.insert(out.end(), b.begin(), b.end());
  }
  for (const auto& c : t.columns) append_name(f, out, c.name);
  for (const auto& ix : t.indexes) {
    std::vector<uint8_t> b(f.physical_index_block_size, 0);
    if (magics) put_u32(b.data(), tdef_const::index_magic);
    for (uint32_t s = 0; s < tdef_const::index_slots; ++s) {
      uint8_t* slot = b.data() + f.physical_index_columns_offset + tdef_const::index_slot_size * s;
      if (s < ix.columns.size()) {
        put_u16(slot, ix.columns[s].column_number);
        slot[2] = ix.columns[s].ascending ? 0x01 : 0x00;
      } else {
        put_u16(slot, tdef_const::unused_slot);
      }
    }
    put_u32(b.data() + f.physical_index_map_offset, ix.usage_map);
    put_u32(b.data() + f.physical_index_root_offset, ix.root_page);
    b[f.physical_index_flags_offset] = ix.flags;
    out.insert(out.end(), b.begin(), b.end());
  }
  for (const auto& li : t.logical_indexes) {
    std::vector<uint8_t> b(f.logical_index_block_size, 0);
    if (magics) put_u32(b.data(), tdef_const::magic_value);
    put_u32(b.data() + f.logical_index_number_offset, li.number);
    put_u32(b.data() + f.logical_index_physical_offset, li.physical);
    b[f.logical_index_role_offset] = li.relationship_role;
    put_u32(b.data() + f.logical_index_other_offset, uint32_t(li.other_index));
    put_u32(b.data() + f.logical_index_other_page_offset, li.other_tdef);
    b[f.logical_index_cascade_update_offset] = li.cascade_update;
    b[f.logical_index_cascade_delete_offset] = li.cascade_delete;
    b[f.logical_index_type_offset] = uint8_t(li.type);
    out.insert(out.end(), b.begin(), b.end());
  }
  for (const auto& li : t.logical_indexes) append_name(f, out, li.name);
  auto append_lv = [&](const column_def& c) {
    append_u16(out, c.number);
    append_u32(out, c.lv_owned_map);
    append_u32(out, c.lv_free_map);
  };
  // In `lv_list_order` when one is given (columns it leaves out follow in block order).
  std::vector<uint16_t> listed;
  for (uint16_t n : t.lv_list_order) {
    const column_def* c = t.column_by_number(n);
    if (!c || !is_long_value_type(c->type) || std::find(listed.begin(), listed.end(), n) != listed.end()) continue;
    append_lv(*c);
    listed.push_back(n);
  }
  for (const auto& c : t.columns)
    if (is_long_value_type(c.type) && std::find(listed.begin(), listed.end(), c.number) == listed.end()) append_lv(c);
  append_u16(out, tdef_const::end_marker);
  put_u32(out.data() + f.tdef_length_offset, uint32_t(out.size()));
  return out;
}

uint32_t tdef_size(const format& f, const table_def& t) { return uint32_t(encode_tdef(f, t).size()); }

std::vector<uint32_t> write_tdef(const format& f, const table_def& t, page_allocator& alloc) {
  std::vector<uint8_t> logical = encode_tdef(f, t);
  const uint32_t hdr = f.tdef_page_header_size;
  // Split: the first page takes page_size bytes (its header included), each continuation page
  // page_size − 8 bytes after its own header.
  std::vector<std::vector<uint8_t>> pages;
  size_t at = 0;
  while (at < logical.size()) {
    std::vector<uint8_t> p(f.page_size, 0);
    size_t take;
    if (pages.empty()) {
      take = std::min<size_t>(f.page_size, logical.size());
      std::memcpy(p.data(), logical.data(), take);
    } else {
      take = std::min<size_t>(f.page_size - hdr, logical.size() - at);
      std::memcpy(p.data() + hdr, logical.data() + at, take);
      p[0] = page_type::tdef;
      p[1] = tdef_const::page_marker;
    }
    at += take;
    size_t used = pages.empty() ? take : take + hdr;
    uint32_t free_space = used >= f.page_size - hdr ? 0u : uint32_t(f.page_size - used - hdr);
    put_page_mark(f, p.data(), free_space);
    put_u32(p.data() + f.tdef_next_page_offset, 0);
    pages.push_back(std::move(p));
  }
  std::vector<uint32_t> numbers = {t.tdef_page};
  for (size_t i = 1; i < pages.size(); ++i) numbers.push_back(alloc.allocate());
  for (size_t i = 0; i + 1 < pages.size(); ++i) put_u32(pages[i].data() + f.tdef_next_page_offset, numbers[i + 1]);
  for (size_t i = 0; i < pages.size(); ++i) alloc.write(numbers[i], pages[i]);
  numbers.erase(numbers.begin());
  return numbers;
}

}  // namespace jet
