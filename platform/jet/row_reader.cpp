// Row unpacking.
#include "platform/jet/row_reader.h"

#include <algorithm>
#include <string>

#include "platform/jet/byte_order.h"
#include "platform/jet/error.h"
#include "platform/jet/long_value.h"
#include "platform/jet/value_codec.h"

namespace jet {

namespace {

// The frame of a row: its column count and the true offsets of its variable slots.
struct row_frame {
  uint32_t ncols = 0;
  uint32_t nslots = 0;
  std::vector<uint32_t> offsets;  // slot 0 ... slot n-1, then the end of the data
  std::vector<uint8_t> jumps;     // Jet 3: the stored jump table, byte k = the k-th before the slot count
};

row_frame read_frame(const format& f, const table_def& t, std::span<const uint8_t> row) {
  auto bad = [](const std::string& what) { throw_corrupt("bad row: " + what); };
  // The column count, the variable offsets and the slot count are 2 bytes (Jet 3: 1 byte).
  const uint32_t w = f.row_count_field_size;
  auto field_at = [&](size_t at) -> uint32_t { return w == 1 ? row[at] : get_u16(row.data() + at); };
  row_frame fr;
  if (row.size() < w) bad("empty");
  fr.ncols = field_at(0);
  const uint32_t mask_size = (fr.ncols + 7) / 8;
  if (row.size() < w + mask_size) bad("shorter than its null mask");
  if (t.variable_column_count() == 0) return fr;
  // From the null mask backwards: the slot count, the jump table (Jet 3 rows of 256 bytes or more),
  // slot 0's offset ... slot n-1's offset, the end-of-data offset.
  const size_t at = row.size() - mask_size;
  if (at < w + w) bad("no slot count");
  fr.nslots = field_at(at - w);
  const size_t jumps = f.row_jump_table ? (row.size() - 1) / 256 : 0;
  if (at < w + w + jumps + w * size_t(fr.nslots) + w) bad("slot table beyond the row");
  for (size_t k = 0; k < jumps; ++k) fr.jumps.push_back(row[at - w - 1 - k]);
  const size_t slot0 = at - w - jumps - w;  // slot i sits i entries before it; the end of data at i = n
  for (uint32_t i = 0; i <= fr.nslots; ++i) {
    uint32_t off = field_at(slot0 - w * size_t(i));
    // A one-byte offset is the true offset modulo 256; jump byte k names the first entry at or beyond
    // 256 * (k + 1) (FF when only the row's trailer crosses that boundary).
    for (uint8_t j : fr.jumps)
      if (j <= i) off += 256;
    fr.offsets.push_back(off);
  }
  if (fr.offsets.back() > slot0 - w * size_t(fr.nslots)) bad("variable data beyond the offset table");
  return fr;
}

}  // namespace

std::vector<raw_row_field> split_row(const format& f, const table_def& t, std::span<const uint8_t> row) {
  auto bad = [](const std::string& what) { throw_corrupt("bad row: " + what); };
  const uint32_t w = f.row_count_field_size;
  const row_frame fr = read_frame(f, t, row);
  const uint32_t ncols = fr.ncols;
  const uint32_t nslots = fr.nslots;
  const uint8_t* mask = row.data() + row.size() - (ncols + 7) / 8;
  const std::vector<uint32_t>& starts = fr.offsets;
  const uint32_t end_of_data = fr.offsets.empty() ? 0 : fr.offsets.back();
  uint32_t max_number = 0;
  for (const auto& c : t.columns) max_number = std::max<uint32_t>(max_number, c.number + 1u);
  std::vector<raw_row_field> out(max_number);
  for (const auto& c : t.columns) {
    raw_row_field& fld = out[c.number];
    if (c.number >= ncols) continue;  // column added after this row was written
    fld.present = (mask[c.number / 8] >> (c.number % 8)) & 1;
    if (c.type == column_type::boolean) continue;
    if (c.is_fixed()) {
      // A text or binary column kept in the fixed area (Access's own MSysAccessObjects.Data of Jet 3)
      // takes its declared length there.
      uint32_t size = is_fixed_type(c.type) ? fixed_type_size(c.type) : c.length;
      if (w + c.fixed_offset + size > row.size()) bad("fixed column beyond the row");
      fld.bytes = row.subspan(w + c.fixed_offset, size);
      continue;
    }
    if (c.var_index >= nslots) { fld.present = false; continue; }
    uint32_t start = starts[c.var_index];
    uint32_t stop = starts[c.var_index + 1];  // the next slot's start, or the end of the data
    if (start > stop || stop > end_of_data) bad("slot offsets out of order");
    fld.bytes = row.subspan(start, stop - start);
  }
  return out;
}

std::string row_frame_problem(const format& f, const table_def& t, std::span<const uint8_t> row) {
  if (row.size() > f.max_row_size)
    return "row of " + std::to_string(row.size()) + " bytes, longer than " + std::to_string(f.max_row_size);
  const row_frame fr = read_frame(f, t, row);
  for (uint32_t i = 0; i < fr.nslots; ++i)
    if (fr.offsets[i] > fr.offsets[i + 1]) return "slot offsets out of order";
  for (size_t k = 0; k < fr.jumps.size(); ++k) {
    uint8_t want = 0xFF;
    for (uint32_t i = 0; i <= fr.nslots; ++i)
      if (fr.offsets[i] >= 256 * (k + 1)) {
        want = uint8_t(i);
        break;
      }
    if (fr.jumps[k] != want)
      return "jump table byte " + std::to_string(k) + " is " + std::to_string(fr.jumps[k]) + ", the offsets call for " +
             std::to_string(want);
  }
  return {};
}

std::vector<value> read_row(const format& f, const table_def& t, std::span<const uint8_t> row,
                            const std::function<std::vector<uint8_t>(uint32_t)>& read_page) {
  auto fields = split_row(f, t, row);
  std::vector<value> out(fields.size());
  for (const auto& c : t.columns) {
    const raw_row_field& fld = fields[c.number];
    if (c.type == column_type::boolean) { out[c.number] = value::boolean(fld.present); continue; }
    if (!fld.present) continue;
    if (c.is_fixed() && is_fixed_type(c.type)) { out[c.number] = decode_fixed(c, fld.bytes.data()); continue; }
    if (!c.is_fixed() && is_fixed_type(c.type)) {
      // A fixed-size type kept in the variable area (Access does this in some of its own tables).
      if (fld.bytes.size() >= fixed_type_size(c.type)) out[c.number] = decode_fixed(c, fld.bytes.data());
      continue;
    }
    // Values kept in the row are decoded where they stand; long values are gathered first.
    if (!is_long_value_type(c.type)) {
      if (is_text_type(c.type)) out[c.number] = value::text(decode_text(f, fld.bytes));
      else out[c.number] = value::binary(std::vector<uint8_t>(fld.bytes.begin(), fld.bytes.end()));
      continue;
    }
    std::vector<uint8_t> data = read_long_value(f, fld.bytes, read_page);
    if (is_text_type(c.type)) out[c.number] = value::text(decode_text(f, data));
    else out[c.number] = value::binary(std::move(data));
  }
  return out;
}

}  // namespace jet
