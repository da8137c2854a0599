// Long value storage.
#include "platform/jet/long_value.h"

#include <algorithm>
#include <set>
#include <string>

#include "platform/jet/byte_order.h"
#include "platform/jet/error.h"

namespace jet {

using namespace long_value_layout;

std::array<uint8_t, 12> inline_lv_header(uint32_t length) {
  std::array<uint8_t, 12> h{};
  put_u32(h.data(), length | inline_value);
  return h;
}

long_value_store::long_value_store(const format& f, page_allocator& alloc)
    : f_(f), alloc_(alloc), page_(f, lval_owner) {}

uint32_t long_value_store::add_row(std::span<const uint8_t> row) {
  if (!page_.empty() && !page_.fits(uint32_t(row.size()))) flush();
  if (page_.empty()) {
    page_number_ = alloc_.allocate();
    pages_.push_back(page_number_);
  }
  uint8_t n = page_.add(row);
  return make_row_pointer(page_number_, n);
}

void long_value_store::flush() {
  if (page_.empty()) return;
  alloc_.write(page_number_, page_.bytes());
  page_.reset();
}

uint32_t long_value_store::pages_needed(uint64_t length) const {
  if (length <= f_.lv_single_max) return 1;
  return uint32_t((length + f_.lv_chain_piece_max - 1) / f_.lv_chain_piece_max) + 1;
}

std::array<uint8_t, 12> long_value_store::store(std::span<const uint8_t> data) {
  if (data.size() > lv_max_length) throw_error(dao_error::field_too_small);
  std::array<uint8_t, 12> h{};
  uint32_t length = uint32_t(data.size());
  if (length <= f_.lv_single_max) {
    uint32_t rp = add_row(data);
    put_u32(h.data(), length | single_row);
    put_u32(h.data() + row_pointer_offset, rp);
    return h;
  }
  // A chain: written from its last piece to its first so that each row knows the pointer of the next.
  uint32_t piece = f_.lv_chain_piece_max;
  uint32_t pieces = (length + piece - 1) / piece;
  uint32_t next = 0;
  std::vector<uint8_t> row;
  for (uint32_t i = pieces; i-- > 0;) {
    uint32_t from = i * piece;
    uint32_t n = std::min(piece, length - from);
    row.assign(chain_link_size, 0);
    put_u32(row.data(), next);
    row.insert(row.end(), data.begin() + from, data.begin() + from + n);
    next = add_row(row);
  }
  put_u32(h.data(), length | chained);
  put_u32(h.data() + row_pointer_offset, next);
  return h;
}

std::vector<uint32_t> long_value_store::pages_with_room() const {
  if (page_.empty() || pages_.empty()) return {};
  return {pages_.back()};
}

std::vector<uint8_t> read_long_value(const format& f, std::span<const uint8_t> field,
                                     const std::function<std::vector<uint8_t>(uint32_t)>& read_page) {
  if (field.size() < lv_header_size) throw_corrupt("short long-value field");
  uint32_t word = get_u32(field.data());
  uint32_t length = word & lv_max_length;
  uint32_t kind = word & kind_mask;
  if (kind == inline_value) {
    if (field.size() - lv_header_size < length) throw_corrupt("inline long value longer than its field");
    return std::vector<uint8_t>(field.begin() + lv_header_size, field.begin() + lv_header_size + length);
  }
  auto fetch = [&](uint32_t rp) {
    uint32_t page = row_pointer_page(rp);
    auto bytes = read_page(page);
    auto info = read_data_page(f, bytes, page);
    uint32_t row = row_pointer_row(rp);
    if (row >= info.rows.size()) throw_corrupt("long value row " + std::to_string(row) + " missing on page " + std::to_string(page));
    const row_slot& s = info.rows[row];
    return std::vector<uint8_t>(bytes.begin() + s.offset, bytes.begin() + s.offset + s.length);
  };
  uint32_t rp = get_u32(field.data() + row_pointer_offset);
  if (kind == single_row) {
    auto row = fetch(rp);
    if (row.size() < length) throw_corrupt("long value shorter than its header says");
    row.resize(length);
    return row;
  }
  // A damaged header may claim up to 1 GB and a damaged chain may loop: the result grows only with the
  // pieces actually read, and no row is visited twice.
  std::vector<uint8_t> out;
  std::set<uint32_t> visited;
  while (out.size() < length) {
    if (rp == 0 || !visited.insert(rp).second) throw_corrupt("broken long value chain");
    auto row = fetch(rp);
    if (row.size() < chain_link_size) throw_corrupt("short long value chain row");
    rp = get_u32(row.data());
    size_t take = std::min<size_t>(row.size() - chain_link_size, length - out.size());
    out.insert(out.end(), row.begin() + chain_link_size, row.begin() + chain_link_size + long(take));
  }
  return out;
}

}  // namespace jet
