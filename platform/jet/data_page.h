// Data pages: table rows, long-value rows, usage-map rows and the global map all live on them.
//
//   0   01 01
//   2   [2] free space: lowest row start − (header + 2 × row count)
//   4   [4] owner: the TDEF page, "LVAL" for long values, 0 for map rows, 1 for the global map
//   8   [4] 0
//   12  [2] number of rows
//   14  [2 × n] row offsets; 0x8000 = deleted, 0x4000 = overflow pointer, low 13 bits = offset
//   ... free space ...
//   rows from the page end downwards: row 0 ends at the page end, row k ends where row k−1 starts.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/jet/format.h"

namespace jet {

class data_page_builder {
 public:
  data_page_builder(const format& f, uint32_t owner);

  // Bytes a row of `len` bytes needs on the page (the row plus its offset entry).
  static uint32_t cost(uint32_t len) { return len + 2; }
  bool fits(uint32_t len) const;
  // Adds a row and returns its row number. The row must fit.
  uint8_t add(std::span<const uint8_t> row);
  uint32_t row_count() const { return count_; }
  uint32_t free_space() const;
  bool empty() const { return count_ == 0; }
  const std::vector<uint8_t>& bytes() const { return page_; }
  // Starts over as an empty page for the same owner.
  void reset();

 private:
  const format& f_;
  uint32_t owner_;
  std::vector<uint8_t> page_;
  uint32_t count_ = 0;
  uint32_t low_ = 0;  // start of the lowest row
};

struct row_slot {
  uint32_t offset = 0;
  uint32_t length = 0;
  bool deleted = false;
  bool overflow = false;  // the row is a 4-byte row pointer to where the row lives now
};

struct data_page_info {
  uint32_t owner = 0;
  uint32_t free_space = 0;
  std::vector<row_slot> rows;
};

// Parses the header and offset table of a data page. Throws jet::error (corrupt) when the page is
// not a data page or its offsets do not fit.
data_page_info read_data_page(const format& f, std::span<const uint8_t> page, uint32_t page_number);

}  // namespace jet
