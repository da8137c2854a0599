// Data page builder and parser.
#include "platform/jet/data_page.h"

#include <cstring>
#include <string>

#include "platform/jet/byte_order.h"
#include "platform/jet/error.h"

namespace jet {

data_page_builder::data_page_builder(const format& f, uint32_t owner) : f_(f), owner_(owner) { reset(); }

void data_page_builder::reset() {
  page_.assign(f_.page_size, 0);
  page_[0] = page_type::data;
  page_[1] = 0x01;
  put_u32(page_.data() + f_.data_owner_offset, owner_);
  count_ = 0;
  low_ = f_.page_size;
  put_u16(page_.data() + f_.data_free_space_offset, uint16_t(free_space()));
}

uint32_t data_page_builder::free_space() const { return low_ - (f_.data_row_table_offset + 2 * count_); }

bool data_page_builder::fits(uint32_t len) const {
  return count_ < f_.max_rows_per_page && cost(len) <= free_space();
}

uint8_t data_page_builder::add(std::span<const uint8_t> row) {
  uint32_t len = uint32_t(row.size());
  low_ -= len;
  if (len) std::memcpy(page_.data() + low_, row.data(), len);
  put_u16(page_.data() + f_.data_row_table_offset + 2 * count_, uint16_t(low_));
  uint8_t number = uint8_t(count_);
  ++count_;
  put_u16(page_.data() + f_.data_row_count_offset, uint16_t(count_));
  put_u16(page_.data() + f_.data_free_space_offset, uint16_t(free_space()));
  return number;
}

data_page_info read_data_page(const format& f, std::span<const uint8_t> page, uint32_t page_number) {
  auto bad = [&](const char* what) {
    throw_corrupt("page " + std::to_string(page_number) + ": " + what);
  };
  if (page.size() != f.page_size || page[0] != page_type::data) bad("not a data page");
  data_page_info info;
  info.owner = get_u32(page.data() + f.data_owner_offset);
  info.free_space = get_u16(page.data() + f.data_free_space_offset);
  uint32_t n = get_u16(page.data() + f.data_row_count_offset);
  if (f.data_row_table_offset + 2 * n > f.page_size) bad("row count beyond the page");
  uint32_t end = f.page_size;
  info.rows.reserve(n);
  for (uint32_t i = 0; i < n; ++i) {
    uint16_t raw = get_u16(page.data() + f.data_row_table_offset + 2 * i);
    row_slot s;
    s.deleted = (raw & row_slot_bits::deleted) != 0;
    s.overflow = (raw & row_slot_bits::overflow) != 0;
    s.offset = raw & row_slot_bits::offset_mask;
    if (s.offset < f.data_row_table_offset + 2 * n || s.offset > end) bad("row offset out of order");
    s.length = end - s.offset;
    end = s.offset;
    info.rows.push_back(s);
  }
  return info;
}

}  // namespace jet
