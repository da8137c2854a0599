// Packs a row of a table (Jet 4 / ACE layout; Jet 3 below):
//
//   [2]           number of columns (the table's highest column count)
//   [..]          fixed area: each fixed column at 2 + its fixed offset (null ones still take room)
//   [..]          variable data in slot order
//   [2]           end of the variable data
//   [2 × n]       start offsets of slots n−1 … 0
//   [2]           n = number of variable slots
//   [(cols+7)/8]  null mask, bit per column number, 1 = not null (yes/no: 1 = true)
// Jet 3 uses 1-byte fields instead ([1] column count, offsets modulo 256) and, in rows of 256 bytes
// or more, a jump table between the slot offsets and the slot count: one byte per 256 bytes naming
// the first offset at or beyond each 256-byte boundary (FF when none is).
// A table without variable columns has no offset table and no slot count. Offsets count from the
// row start. Memo/OLE values go inline when short enough and the row has room, otherwise to the
// column's long_value_store.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/jet/format.h"
#include "platform/jet/long_value.h"
#include "platform/jet/table_def.h"
#include "platform/jet/types.h"

namespace jet {

// Size of the fixed area of a row of `t`.
uint32_t fixed_area_size(const table_def& t);

// Buffers of build_row, kept by a caller that builds many rows so that their memory is reused.
struct row_scratch {
  std::vector<std::vector<uint8_t>> slot;  // bytes of each variable slot
  std::vector<const column_def*> slot_col;
  std::vector<uint8_t> mask;
  std::vector<uint8_t> lv_inline;
  std::vector<uint32_t> starts;
  std::vector<uint8_t> out;  // the row
};

// Builds the row. `row[i]` is the coerced value of the column numbered i. `lv_store(column)` gives
// the store of a memo/OLE column. Throws 3047 when the row is too large (before any long value is
// written).
std::vector<uint8_t> build_row(const format& f, const table_def& t, const std::vector<value>& row,
                               const std::function<long_value_store&(const column_def&)>& lv_store);
// The same, built in `scratch`; the row is `scratch.out`, valid until the next call.
const std::vector<uint8_t>& build_row(const format& f, const table_def& t, const std::vector<value>& row,
                                      const std::function<long_value_store&(const column_def&)>& lv_store,
                                      row_scratch& scratch);

// The stored bytes of a non-null text or memo value (compressed when the column allows it).
std::vector<uint8_t> stored_text(const format& f, const column_def& c, const std::wstring& s);
// The same, into `out` (its earlier content replaced).
void stored_text(const format& f, const column_def& c, const std::wstring& s, std::vector<uint8_t>& out);

}  // namespace jet
