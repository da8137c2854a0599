// Long values (memo, OLE): the 12-byte header in the row and the LVAL rows that hold the data.
//
//   header: [4] length | flags << 24   (flags 0x80 inline: data follows in the row;
//                                        0x40 one LVAL row holds exactly the data;
//                                        0x00 a chain of LVAL rows, each [4] next row pointer + piece)
//           [4] row pointer of the (first) LVAL row, 0 when inline
//           [4] 0
// LVAL pages are data pages whose owner is the ASCII bytes "LVAL". Each memo/OLE column has its own
// LVAL pages (its owned usage map); the writer fills a page before starting the next.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "platform/jet/data_page.h"
#include "platform/jet/format.h"
#include "platform/jet/page_io.h"

namespace jet {

inline constexpr uint32_t lv_header_size = 12;
inline constexpr uint32_t lv_max_length = 0x3FFFFFFF;  // 1 GiB - 1

std::array<uint8_t, 12> inline_lv_header(uint32_t length);

// Writes the LVAL rows of one memo/OLE column.
class long_value_store {
 public:
  long_value_store(const format& f, page_allocator& alloc);
  // Stores `data` out of the row and returns the header for the row.
  std::array<uint8_t, 12> store(std::span<const uint8_t> data);
  // Pages needed to store `length` bytes out of the row (an upper bound).
  uint32_t pages_needed(uint64_t length) const;
  // Writes the page being filled.
  void flush();
  // Every LVAL page written (the column's owned map) and those with room left (its free map).
  const std::vector<uint32_t>& pages() const { return pages_; }
  std::vector<uint32_t> pages_with_room() const;

 private:
  uint32_t add_row(std::span<const uint8_t> row);  // returns the row pointer
  const format& f_;
  page_allocator& alloc_;
  data_page_builder page_;
  uint32_t page_number_ = 0;
  std::vector<uint32_t> pages_;
};

// Reads a long value from its row header (+ inline data). `read_page` returns a page's bytes.
std::vector<uint8_t> read_long_value(const format& f, std::span<const uint8_t> field,
                                     const std::function<std::vector<uint8_t>(uint32_t)>& read_page);

}  // namespace jet
