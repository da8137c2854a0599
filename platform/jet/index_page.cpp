// Index page reader and builder (layout in index_page.h).
#include "platform/jet/index_page.h"

#include <algorithm>
#include <functional>
#include <string>

#include "platform/jet/byte_order.h"
#include "platform/jet/error.h"

namespace jet {

namespace {

[[noreturn]] void damaged(uint32_t page_number, const std::string& what) {
  throw_corrupt("index page " + std::to_string(page_number) + ": " + what);
}

uint32_t get_uint(const uint8_t* p, uint32_t size) {
  return size == 1 ? p[0] : size == 2 ? get_u16(p) : get_u32(p);
}

}  // namespace

size_t index_page_capacity(const format& f) {
  return std::min<size_t>(f.page_size - f.index_first_entry_offset, size_t(f.index_mask_size) * 8);
}

index_page read_index_page_entries(const format& f, std::span<const uint8_t> page, uint32_t page_number,
                                   const std::function<void(const index_entry_ref&)>& fn) {
  if (page.size() != f.page_size) damaged(page_number, "wrong page size");
  const uint8_t* p = page.data();
  if ((p[0] != page_type::index_leaf && p[0] != page_type::index_node) || p[1] != 0x01) {
    damaged(page_number, "not an index page");
  }
  index_page out;
  out.leaf = p[0] == page_type::index_leaf;
  out.stored_free_space = get_u16(p + f.index_free_space_offset);
  out.owner = get_u32(p + f.index_owner_offset);
  out.prev = get_u32(p + f.index_prev_offset);
  out.next = get_u32(p + f.index_next_offset);
  out.tail = get_u32(p + f.index_tail_offset);
  out.prefix_length = get_uint(p + f.index_prefix_offset, f.index_prefix_size);
  out.node_marker = p[f.index_node_marker_offset];

  const size_t capacity = index_page_capacity(f);
  const uint8_t* mask = p + f.index_mask_offset;
  const uint8_t* data = p + f.index_first_entry_offset;
  const size_t fixed_tail = out.leaf ? 4 : 8;  // row pointer (+ child page)
  size_t start = 0;
  bytes first;
  bytes full;  // one entry with its prefix, reused
  bool any = false;
  for (size_t i = 1; i <= size_t(f.index_mask_size) * 8 - 1; ++i) {
    if (mask[i / 8] == 0) {
      i |= 7;  // no entry ends within this mask byte
      continue;
    }
    if ((mask[i / 8] & (1u << (i % 8))) == 0) continue;
    if (i > capacity) damaged(page_number, "entry mask reaches past the end of the page");
    full.clear();
    if (any && out.prefix_length > 0) {
      if (out.prefix_length > first.size()) damaged(page_number, "prefix longer than the first entry");
      full.assign(first.begin(), first.begin() + out.prefix_length);
    }
    full.insert(full.end(), data + start, data + i);
    if (full.size() < fixed_tail) damaged(page_number, "entry shorter than its row pointer");
    if (!any) first = full;
    any = true;
    const size_t key_size = full.size() - fixed_tail;
    index_entry_ref e;
    e.key = std::span<const uint8_t>(full.data(), key_size);
    e.page = get_be24(full.data() + key_size);
    e.row = full[key_size + 3];
    if (!out.leaf) e.child = get_be32(full.data() + key_size + 4);
    fn(e);
    start = i;
  }
  if ((mask[0] & 1) != 0) damaged(page_number, "entry mask marks an empty entry");
  out.stored_entry_bytes = uint32_t(start);
  return out;
}

index_page read_index_page(const format& f, std::span<const uint8_t> page, uint32_t page_number) {
  std::vector<index_entry> entries;
  if (page.size() == f.page_size) {
    size_t marked = 0;
    for (size_t b = 0; b < f.index_mask_size; ++b) marked += size_t(__builtin_popcount(page[f.index_mask_offset + b]));
    entries.reserve(marked);
  }
  index_page out = read_index_page_entries(f, page, page_number, [&](const index_entry_ref& e) {
    entries.push_back(index_entry{bytes(e.key.begin(), e.key.end()), e.page, e.row, e.child});
  });
  out.entries = std::move(entries);
  return out;
}

namespace {

template <typename Entry>
std::vector<uint8_t> build_page(const format& f, const index_page& page, std::span<const Entry> entries) {
  size_t used = 0;
  for (const auto& e : entries) used += index_entry_size(e, page.leaf);
  if (used > index_page_capacity(f)) {
    throw error(dao_error::invalid_argument,
                "index entries of " + std::to_string(used) + " bytes do not fit on one index page");
  }
  std::vector<uint8_t> out(f.page_size, 0);
  uint8_t* p = out.data();
  p[0] = page.leaf ? page_type::index_leaf : page_type::index_node;
  p[1] = 0x01;
  put_u16(p + f.index_free_space_offset, uint16_t(f.page_size - f.index_first_entry_offset - used));
  put_u32(p + f.index_owner_offset, page.owner);
  put_u32(p + f.index_prev_offset, page.prev);
  put_u32(p + f.index_next_offset, page.next);
  put_u32(p + f.index_tail_offset, page.leaf ? 0 : page.tail);
  p[f.index_node_marker_offset] = page.leaf ? 0 : 1;
  uint8_t* mask = p + f.index_mask_offset;
  uint8_t* data = p + f.index_first_entry_offset;
  size_t pos = 0;
  for (const auto& e : entries) {
    std::copy(e.key.begin(), e.key.end(), data + pos);
    pos += e.key.size();
    put_be24(data + pos, e.page);
    data[pos + 3] = e.row;
    pos += 4;
    if (!page.leaf) {
      put_be32(data + pos, e.child);
      pos += 4;
    }
    mask[pos / 8] |= uint8_t(1u << (pos % 8));
  }
  return out;
}

}  // namespace

std::vector<uint8_t> build_index_page(const format& f, const index_page& header,
                                      std::span<const index_entry> entries) {
  return build_page(f, header, entries);
}

std::vector<uint8_t> build_index_page(const format& f, const index_page& header,
                                      std::span<const index_entry_ref> entries) {
  return build_page(f, header, entries);
}

void relocate_index_page(const format& f, std::span<uint8_t> page, std::span<const uint32_t> real,
                         uint32_t page_number) {
  if (page.size() != f.page_size) damaged(page_number, "wrong page size");
  uint8_t* p = page.data();
  if ((p[0] != page_type::index_leaf && p[0] != page_type::index_node) || p[1] != 0x01) {
    damaged(page_number, "not an index page");
  }
  auto moved = [&](uint32_t v) -> uint32_t {
    if (v == 0) return 0;
    if (v > real.size()) damaged(page_number, "page " + std::to_string(v) + " is not among the tree's pages");
    return real[v - 1];
  };
  auto relocate_u32 = [&](uint8_t* at) { put_u32(at, moved(get_u32(at))); };
  relocate_u32(p + f.index_prev_offset);
  relocate_u32(p + f.index_next_offset);
  relocate_u32(p + f.index_tail_offset);
  if (p[0] == page_type::index_leaf) return;
  // Each entry of a node page ends with its child page (big-endian), also after prefix compression.
  const size_t capacity = index_page_capacity(f);
  const uint8_t* mask = p + f.index_mask_offset;
  uint8_t* data = p + f.index_first_entry_offset;
  size_t start = 0;
  for (size_t i = 1; i <= size_t(f.index_mask_size) * 8 - 1; ++i) {
    if (mask[i / 8] == 0) {
      i |= 7;
      continue;
    }
    if ((mask[i / 8] & (1u << (i % 8))) == 0) continue;
    if (i > capacity) damaged(page_number, "entry mask reaches past the end of the page");
    if (i - start < 4) damaged(page_number, "entry shorter than its child page");
    put_be32(data + i - 4, moved(get_be32(data + i - 4)));
    start = i;
  }
}

}  // namespace jet
