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
  if (row.size() < f.row_count_field_size) bad("empty");
  uint32_t ncols = get_u16(row.data());
  uint32_t mask_size = (ncols + 7) / 8;
  if (row.size() < 2 + mask_size) bad("shorter than its null mask");
  const uint8_t* mask = row.data() + row.size() - mask_size;
  bool has_var = t.variable_column_count() > 0;
  uint32_t nslots = 0;
  std::vector<uint32_t> starts;
  uint32_t end_of_data = 0;
  if (has_var) {
    size_t at = row.size() - mask_size;
    if (at < 4) bad("no slot count");
    nslots = get_u16(row.data() + at - 2);
    if (at < 2 + 2 * size_t(nslots) + 2 + 2) bad("slot table beyond the row");
    size_t table = at - 2 - 2 * size_t(nslots);  // first entry = slot n-1
    starts.resize(nslots);
    for (uint32_t s = 0; s < nslots; ++s) starts[s] = get_u16(row.data() + table + 2 * (nslots - 1 - s));
    end_of_data = get_u16(row.data() + table - 2);
    if (end_of_data > table - 2) bad("variable data beyond the offset table");
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
      if (2u + c.fixed_offset + size > row.size()) bad("fixed column beyond the row");
      fld.bytes = row.subspan(2 + c.fixed_offset, size);
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
