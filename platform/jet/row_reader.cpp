// Row unpacking.
#include "platform/jet/row_reader.h"

#include <algorithm>
#include <string>

#include "platform/jet/byte_order.h"
#include "platform/jet/error.h"
#include "platform/jet/long_value.h"
#include "platform/jet/value_codec.h"

namespace jet {

std::vector<raw_row_field> split_row(const format& f, const table_def& t, std::span<const uint8_t> row) {
  auto bad = [](const std::string& what) { throw_corrupt("bad row: " + what); };
  // The column count, the variable offsets and the slot count are 2 bytes (Jet 3: 1 byte).
  const uint32_t w = f.row_count_field_size;
  auto field_at = [&](size_t at) -> uint32_t { return w == 1 ? row[at] : get_u16(row.data() + at); };
  if (row.size() < w) bad("empty");
  uint32_t ncols = field_at(0);
  uint32_t mask_size = (ncols + 7) / 8;
  if (row.size() < w + mask_size) bad("shorter than its null mask");
  const uint8_t* mask = row.data() + row.size() - mask_size;
  bool has_var = t.variable_column_count() > 0;
  uint32_t nslots = 0;
  std::vector<uint32_t> starts;
  uint32_t end_of_data = 0;
  if (has_var) {
    // From the null mask backwards: the slot count, the jump table (Jet 3 rows of 256 bytes or more),
    // slot 0's offset ... slot n-1's offset, the end-of-data offset.
    const size_t at = row.size() - mask_size;
    if (at < w + w) bad("no slot count");
    nslots = field_at(at - w);
    const size_t jumps = f.row_jump_table ? (row.size() - 1) / 256 : 0;
    if (at < w + w + jumps + w * size_t(nslots) + w) bad("slot table beyond the row");
    const size_t slot0 = at - w - jumps - w;  // slot i sits i entries before it; end of data at i = n
    const uint8_t* jump = row.data() + at - w - 1;  // jump byte k at jump[-k]
    auto offset_of = [&](uint32_t i) {
      uint32_t off = field_at(slot0 - w * size_t(i));
      // A one-byte offset is the true offset modulo 256; jump byte k names the first entry at or
      // beyond 256 * (k + 1) (FF when only the row's trailer crosses that boundary).
      for (size_t k = 0; k < jumps; ++k)
        if (*(jump - k) <= i) off += 256;
      return off;
    };
    starts.resize(nslots);
    for (uint32_t s = 0; s < nslots; ++s) starts[s] = offset_of(s);
    end_of_data = offset_of(nslots);
    if (end_of_data > slot0 - w * size_t(nslots)) bad("variable data beyond the offset table");
  }
  uint32_t max_number = 0;
  for (const auto& c : t.columns) max_number = std::max<uint32_t>(max_number, c.number + 1u);
  std::vector<raw_row_field> out(max_number);
  for (const auto& c : t.columns) {
    raw_row_field& fld = out[c.number];
    if (c.number >= ncols) continue;  // column added after this row was written
    fld.present = (mask[c.number / 8] >> (c.number % 8)) & 1;
    if (c.type == column_type::boolean) continue;
    if (c.is_fixed()) {
      uint32_t size = fixed_type_size(c.type);
      if (w + c.fixed_offset + size > row.size()) bad("fixed column beyond the row");
      fld.bytes = row.subspan(w + c.fixed_offset, size);
      continue;
    }
    if (c.var_index >= nslots) { fld.present = false; continue; }
    uint32_t start = starts[c.var_index];
    uint32_t stop = c.var_index + 1u < nslots ? starts[c.var_index + 1] : end_of_data;
    if (start > stop || stop > end_of_data) bad("slot offsets out of order");
    fld.bytes = row.subspan(start, stop - start);
  }
  return out;
}

std::vector<value> read_row(const format& f, const table_def& t, std::span<const uint8_t> row,
                            const std::function<std::vector<uint8_t>(uint32_t)>& read_page) {
  auto fields = split_row(f, t, row);
  std::vector<value> out(fields.size());
  for (const auto& c : t.columns) {
    const raw_row_field& fld = fields[c.number];
    if (c.type == column_type::boolean) { out[c.number] = value::boolean(fld.present); continue; }
    if (!fld.present) continue;
    if (c.is_fixed()) { out[c.number] = decode_fixed(c, fld.bytes.data()); continue; }
    if (is_fixed_type(c.type)) {
      // A fixed-size type kept in the variable area (Access does this in some of its own tables).
      if (fld.bytes.size() >= fixed_type_size(c.type)) out[c.number] = decode_fixed(c, fld.bytes.data());
      continue;
    }
    std::vector<uint8_t> data;
    if (is_long_value_type(c.type)) {
      data = read_long_value(f, fld.bytes, read_page);
    } else {
      data.assign(fld.bytes.begin(), fld.bytes.end());
    }
    if (is_text_type(c.type)) out[c.number] = value::text(decode_text(f, data));
    else out[c.number] = value::binary(std::move(data));
  }
  return out;
}

}  // namespace jet
