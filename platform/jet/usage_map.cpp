// Usage map rows and bitmap pages.
#include "platform/jet/usage_map.h"

#include <algorithm>
#include <string>

#include "platform/jet/byte_order.h"
#include "platform/jet/error.h"

namespace jet {

namespace {

using namespace usage_map_layout;

uint32_t pages_per_bitmap_page(const format& f) { return (f.page_size - bitmap_page_header) * 8; }

// Reference maps get as many slots as the largest file needs, so they never have to grow.
uint32_t reference_slots(const format& f) {
  uint64_t max_pages = f.max_file_size / f.page_size;
  return uint32_t((max_pages + pages_per_bitmap_page(f) - 1) / pages_per_bitmap_page(f));
}

void set_bit(std::vector<uint8_t>& bits, size_t offset, uint32_t k) { bits[offset + k / 8] |= uint8_t(1u << (k % 8)); }

std::vector<uint8_t> new_bitmap_page(const format& f) {
  std::vector<uint8_t> p(f.page_size, 0);
  p[0] = page_type::usage_bitmap;
  p[1] = bitmap_page_marker;
  return p;
}

// Inline maps start at page 0 while the pages fit (as the engine writes them), otherwise at the
// first page rounded down to a multiple of 8.
uint32_t inline_start(const format& f, uint32_t lo, uint32_t hi) {
  return hi < f.usage_map_inline_bytes * 8 ? 0 : (lo & ~7u);
}

}  // namespace

uint32_t usage_map_bitmap_pages_needed(const format& f, const std::vector<uint32_t>& pages) {
  if (pages.empty()) return 0;
  auto [lo, hi] = std::minmax_element(pages.begin(), pages.end());
  uint32_t start = inline_start(f, *lo, *hi);
  if (*hi - start < f.usage_map_inline_bytes * 8) return 0;
  uint32_t per = pages_per_bitmap_page(f);
  std::vector<uint32_t> idx;
  for (uint32_t p : pages) idx.push_back(p / per);
  std::sort(idx.begin(), idx.end());
  return uint32_t(std::unique(idx.begin(), idx.end()) - idx.begin());
}

std::vector<uint8_t> build_usage_map(const format& f, std::vector<uint32_t> pages, page_allocator& alloc,
                                     std::vector<uint32_t>& bitmap_pages) {
  std::sort(pages.begin(), pages.end());
  uint32_t inline_bits = f.usage_map_inline_bytes * 8;
  uint32_t start = pages.empty() ? 0 : inline_start(f, pages.front(), pages.back());
  if (pages.empty() || pages.back() - start < inline_bits) {
    std::vector<uint8_t> row(inline_bits_offset + f.usage_map_inline_bytes, 0);
    row[0] = inline_map;
    put_u32(row.data() + start_page_offset, start);
    for (uint32_t p : pages) set_bit(row, inline_bits_offset, p - start);
    return row;
  }
  uint32_t per = pages_per_bitmap_page(f);
  uint32_t slots = reference_slots(f);
  std::vector<uint8_t> row(reference_pages_offset + 4 * slots, 0);
  row[0] = reference_map;
  size_t i = 0;
  while (i < pages.size()) {
    uint32_t slot = pages[i] / per;
    if (slot >= slots) throw_error(dao_error::invalid_argument);
    std::vector<uint8_t> bm = new_bitmap_page(f);
    for (; i < pages.size() && pages[i] / per == slot; ++i) set_bit(bm, bitmap_page_header, pages[i] - slot * per);
    uint32_t page = alloc.allocate();
    alloc.write(page, bm);
    bitmap_pages.push_back(page);
    put_u32(row.data() + reference_pages_offset + 4 * slot, page);
  }
  return row;
}

std::vector<uint32_t> read_usage_map(const format& f, std::span<const uint8_t> row, const page_source& src,
                                     std::vector<uint32_t>* bitmap_pages) {
  std::vector<uint32_t> out;
  if (row.empty()) throw_corrupt("empty usage map");
  if (row[0] == usage_map_layout::inline_map) {
    if (row.size() < usage_map_layout::inline_bits_offset) throw_corrupt("short usage map");
    uint32_t start = get_u32(row.data() + usage_map_layout::start_page_offset);
    for (size_t b = usage_map_layout::inline_bits_offset; b < row.size(); ++b)
      for (uint32_t k = 0; k < 8; ++k)
        if (row[b] & (1u << k)) out.push_back(start + uint32_t(b - usage_map_layout::inline_bits_offset) * 8 + k);
    return out;
  }
  if (row[0] != usage_map_layout::reference_map) throw_corrupt("unknown usage map type " + std::to_string(row[0]));
  uint32_t per = pages_per_bitmap_page(f);
  for (size_t s = 0; s + 4 < row.size(); s += 4) {
    uint32_t page = get_u32(row.data() + usage_map_layout::reference_pages_offset + s);
    if (page == 0) continue;
    if (bitmap_pages) bitmap_pages->push_back(page);
    auto bm = src.read(page);
    if (bm[0] != page_type::usage_bitmap) throw_corrupt("page " + std::to_string(page) + ": not a usage bitmap page");
    uint32_t base = uint32_t(s / 4) * per;
    for (uint32_t b = usage_map_layout::bitmap_page_header; b < f.page_size; ++b)
      for (uint32_t k = 0; k < 8; ++k)
        if (bm[b] & (1u << k)) out.push_back(base + (b - usage_map_layout::bitmap_page_header) * 8 + k);
  }
  return out;
}

uint32_t global_map_max_pages(const format& f) {
  // Page 1 holds row 0 and the fixed second row.
  uint32_t room = f.page_size - f.data_row_table_offset - 2 * 2 - f.global_map_row1_bytes;
  return (room - usage_map_layout::inline_bits_offset) * 8;
}

std::vector<uint8_t> build_global_map_row(const format& f, page_allocator& alloc, const page_source& file,
                                          std::vector<uint32_t>& bitmap_pages) {
  uint32_t count = file.page_count();
  if (count <= global_map_max_pages(f)) {
    // The row covers at least the usual 64 bytes and grows in steps of 32 bytes.
    uint32_t bytes = std::max<uint32_t>(f.usage_map_inline_bytes, (count + 7) / 8);
    bytes = (bytes + 31) / 32 * 32;
    if (bytes > global_map_max_pages(f) / 8) bytes = global_map_max_pages(f) / 8;
    std::vector<uint8_t> row(inline_bits_offset + bytes, 0);
    for (uint32_t k = count; k < bytes * 8; ++k) set_bit(row, inline_bits_offset, k);
    return row;
  }
  uint32_t per = pages_per_bitmap_page(f);
  uint32_t slots = reference_slots(f);
  // The bitmap pages are pages of the file too: allocate until they cover the whole file.
  uint32_t needed = (count + per - 1) / per;
  std::vector<uint32_t> pages;
  while (pages.size() < needed) {
    pages.push_back(alloc.allocate());
    needed = (file.page_count() + per - 1) / per;
  }
  if (pages.size() > slots) throw_error(dao_error::invalid_argument);
  count = file.page_count();
  std::vector<uint8_t> row(reference_pages_offset + 4 * slots, 0);
  row[0] = reference_map;
  for (uint32_t s = 0; s < pages.size(); ++s) {
    std::vector<uint8_t> bm = new_bitmap_page(f);
    for (uint32_t k = 0; k < per; ++k)
      if (s * per + k >= count) set_bit(bm, bitmap_page_header, k);
    alloc.write(pages[s], bm);
    put_u32(row.data() + reference_pages_offset + 4 * s, pages[s]);
    bitmap_pages.push_back(pages[s]);
  }
  return row;
}

}  // namespace jet
