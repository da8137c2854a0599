// Unpacks a row (the layout row_builder.h describes) into values by column number. Rows written
// before a column was added have fewer columns: the missing ones read as null.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "platform/jet/format.h"
#include "platform/jet/table_def.h"
#include "platform/jet/types.h"

namespace jet {

struct raw_row_field {
  bool present = false;  // null-mask bit
  std::span<const uint8_t> bytes;  // fixed bytes or variable slot bytes
};

// Splits a row into its fields (indexed by column number); throws jet::error (corrupt) on damage.
std::vector<raw_row_field> split_row(const format& f, const table_def& t, std::span<const uint8_t> row);

// Decodes the row. `read_page` fetches pages for out-of-row long values.
std::vector<value> read_row(const format& f, const table_def& t, std::span<const uint8_t> row,
                            const std::function<std::vector<uint8_t>(uint32_t)>& read_page);

}  // namespace jet
