// Global usage map of an existing file.
#include "platform/jet/global_map.h"

#include <algorithm>

#include "platform/jet/byte_order.h"
#include "platform/jet/data_page.h"
#include "platform/jet/error.h"
#include "platform/jet/usage_map.h"

namespace jet {

namespace {

uint32_t per_bitmap_page(const format& f) { return (f.page_size - 4) * 8; }

void set_bit(std::vector<uint8_t>& bits, size_t offset, uint32_t k) { bits[offset + k / 8] |= uint8_t(1u << (k % 8)); }

}  // namespace

global_map_state read_global_free(const format& f, const page_source& src) {
  global_map_state s;
  auto page1 = src.read(1);
  auto info = read_data_page(f, page1, 1);
  if (info.rows.empty() || info.rows[0].deleted) throw_corrupt("page 1 holds no global usage map");
  const row_slot& r = info.rows[0];
  std::vector<uint8_t> row(page1.begin() + r.offset, page1.begin() + r.offset + r.length);
  s.free.assign(src.page_count(), false);
  for (uint32_t p : read_usage_map(f, row, src, &s.bitmap_pages))
    if (p < s.free.size()) s.free[p] = true;
  return s;
}

void write_global_map(const format& f, page_allocator& alloc, const page_source& src,
                      const std::vector<uint32_t>& old_bitmap_pages, const std::function<bool(uint32_t)>& is_free) {
  auto page1 = src.read(1);
  auto info = read_data_page(f, page1, 1);
  std::vector<std::vector<uint8_t>> others;
  for (size_t i = 1; i < info.rows.size(); ++i) {
    const row_slot& r = info.rows[i];
    others.emplace_back(page1.begin() + r.offset, page1.begin() + r.offset + r.length);
  }
  uint32_t others_bytes = 0;
  for (const auto& o : others) others_bytes += data_page_builder::cost(uint32_t(o.size()));
  uint32_t room = f.page_size - f.data_row_table_offset - others_bytes - data_page_builder::cost(0);
  uint32_t inline_capacity = room > 5 ? (room - 5) * 8 : 0;

  std::vector<uint8_t> row;
  uint32_t count = src.page_count();
  if (old_bitmap_pages.empty() && count <= inline_capacity) {
    uint32_t bytes = std::max<uint32_t>(f.usage_map_inline_bytes, (count + 7) / 8);
    bytes = std::min((bytes + 31) / 32 * 32, inline_capacity / 8);
    row.assign(5 + bytes, 0);
    for (uint32_t k = 0; k < bytes * 8; ++k)
      if (k >= count || is_free(k)) set_bit(row, 5, k);
  } else {
    uint32_t per = per_bitmap_page(f);
    uint32_t slots = uint32_t((f.max_file_size / f.page_size + per - 1) / per) + 1;
    std::vector<uint32_t> pages = old_bitmap_pages;
    // New bitmap pages are pages of the file too: allocate until they cover it whole.
    while (uint64_t(pages.size()) * per < uint64_t(src.page_count())) pages.push_back(alloc.allocate());
    if (pages.size() > slots) throw_error(dao_error::invalid_argument);
    count = src.page_count();
    row.assign(1 + 4 * slots, 0);
    row[0] = 0x01;
    for (uint32_t s = 0; s < pages.size(); ++s) {
      std::vector<uint8_t> bm(f.page_size, 0);
      bm[0] = page_type::usage_bitmap;
      bm[1] = 0x01;
      for (uint32_t k = 0; k < per; ++k) {
        uint32_t p = s * per + k;
        bool is_bitmap = std::find(pages.begin(), pages.end(), p) != pages.end();
        if (p >= count || (!is_bitmap && is_free(p))) set_bit(bm, 4, k);
      }
      alloc.write(pages[s], bm);
      put_u32(row.data() + 1 + 4 * s, pages[s]);
    }
  }
  data_page_builder out(f, info.owner);
  if (!out.fits(uint32_t(row.size()))) throw_corrupt("page 1 has no room for the global usage map");
  out.add(row);
  for (const auto& o : others) {
    if (!out.fits(uint32_t(o.size()))) throw_corrupt("page 1 has no room for its rows");
    out.add(o);
  }
  alloc.write(1, out.bytes());
}

}  // namespace jet
