// Unpacks a row (the layout row_builder.h describes) into values by column number. Rows written
// before a column was added have fewer columns: the missing ones read as null.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
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

// What makes a row's frame unsound beyond what reading it needs, or empty: a row longer than the
// generation allows, slot offsets out of order, and in Jet 3 a jump table other than the one its true
// offsets call for. Throws like split_row when the row cannot be read at all.
std::string row_frame_problem(const format& f, const table_def& t, std::span<const uint8_t> row);

// Decodes the row. `read_page` fetches pages for out-of-row long values.
std::vector<value> read_row(const format& f, const table_def& t, std::span<const uint8_t> row,
                            const std::function<std::vector<uint8_t>(uint32_t)>& read_page);

}  // namespace jet
