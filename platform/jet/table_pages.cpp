// Pages of a table.
#include "platform/jet/table_pages.h"

#include <algorithm>
#include <functional>

#include "platform/jet/byte_order.h"
#include "platform/jet/data_page.h"
#include "platform/jet/error.h"
#include "platform/jet/row_reader.h"
#include "platform/jet/tdef_reader.h"
#include "platform/jet/usage_map.h"

namespace jet {

std::vector<uint8_t> row_at(const format& f, const page_source& src, uint32_t rp) {
  uint32_t page = row_pointer_page(rp);
  if (page == 0 || page >= src.page_count()) throw_corrupt("row pointer to page " + std::to_string(page));
  auto bytes = src.read(page);
  auto info = read_data_page(f, bytes, page);
  uint32_t row = row_pointer_row(rp);
  if (row >= info.rows.size() || info.rows[row].overflow)
    throw_corrupt("row " + std::to_string(row) + " missing on page " + std::to_string(page));
  const row_slot& s = info.rows[row];
  return std::vector<uint8_t>(bytes.begin() + s.offset, bytes.begin() + s.offset + s.length);
}

table_pages pages_of_table(const format& f, const page_source& src, uint32_t tdef_page) {
  table_pages out;
  table_def t = read_tdef(f, src, tdef_page, &out.definition);
  // Pages a map lists that are of the expected kind and owner (all it lists when `accept` is null).
  auto listed = [&](uint32_t rp, auto accept) {
    std::vector<uint32_t> kept;
    if (rp == 0) return kept;
    out.map_rows.push_back(rp);
    std::vector<uint32_t> bitmaps;
    std::vector<uint32_t> pages = read_usage_map(f, row_at(f, src, rp), src, &bitmaps);
    for (uint32_t b : bitmaps) out.pages.push_back(b);
    for (uint32_t p : pages) {
      if (p == 0 || p >= src.page_count()) continue;
      if (!accept) {
        kept.push_back(p);
        continue;
      }
      auto bytes = src.read(p);
      if (accept(bytes)) {
        out.pages.push_back(p);
        kept.push_back(p);
      }
    }
    return kept;
  };
  using accept_fn = std::function<bool(const std::vector<uint8_t>&)>;
  // A free-space map lists a subset of the owned pages.
  auto within = [](const std::vector<uint32_t>& listed_pages, const std::vector<uint32_t>& owned) {
    std::vector<uint32_t> out_pages;
    for (uint32_t p : listed_pages)
      if (std::binary_search(owned.begin(), owned.end(), p)) out_pages.push_back(p);
    return out_pages;
  };
  auto owner_is = [&](uint32_t offset, uint32_t owner) {
    return [offset, owner](const std::vector<uint8_t>& b) { return get_u32(b.data() + offset) == owner; };
  };
  auto data_of_table = owner_is(f.data_owner_offset, tdef_page);
  out.data = listed(t.owned_map, accept_fn([&](const std::vector<uint8_t>& b) { return b[0] == page_type::data && data_of_table(b); }));
  out.data_with_room = within(listed(t.free_map, accept_fn()), out.data);
  for (const auto& c : t.columns) {
    if (!is_long_value_type(c.type)) continue;
    auto lval = owner_is(f.data_owner_offset, lval_owner);
    auto owned = listed(c.lv_owned_map, accept_fn([&](const std::vector<uint8_t>& b) { return b[0] == page_type::data && lval(b); }));
    out.lv_with_room[c.number] = within(listed(c.lv_free_map, accept_fn()), owned);
    out.lv_owned[c.number] = std::move(owned);
  }
  auto index_of_table = owner_is(f.index_owner_offset, tdef_page);
  for (const auto& ix : t.indexes)
    out.index.push_back(listed(ix.usage_map, accept_fn([&](const std::vector<uint8_t>& b) {
      return (b[0] == page_type::index_node || b[0] == page_type::index_leaf) && index_of_table(b);
    })));
  std::sort(out.pages.begin(), out.pages.end());
  out.pages.erase(std::unique(out.pages.begin(), out.pages.end()), out.pages.end());
  // The TDEF chain is never a data or index page; keep the lists apart all the same.
  for (uint32_t p : out.definition) out.pages.erase(std::remove(out.pages.begin(), out.pages.end(), p), out.pages.end());
  std::sort(out.map_rows.begin(), out.map_rows.end());
  out.map_rows.erase(std::unique(out.map_rows.begin(), out.map_rows.end()), out.map_rows.end());
  return out;
}

std::vector<uint32_t> map_rows_of(const table_def& t) {
  std::vector<uint32_t> rows = {t.owned_map, t.free_map};
  for (const auto& c : t.columns)
    if (is_long_value_type(c.type)) rows.insert(rows.end(), {c.lv_owned_map, c.lv_free_map});
  for (const auto& ix : t.indexes) rows.push_back(ix.usage_map);
  rows.erase(std::remove(rows.begin(), rows.end(), 0u), rows.end());
  return rows;
}

}  // namespace jet
