// Row packing.
#include "platform/jet/row_builder.h"

#include <algorithm>

#include "platform/jet/byte_order.h"
#include "platform/jet/code_page.h"
#include "platform/jet/error.h"
#include "platform/jet/value_codec.h"

namespace jet {

namespace {

// Number of jump-table bytes of a Jet 3 row whose length without them is `n`: one per whole 256
// bytes of the finished row (less its last byte), which itself grows with the table.
uint32_t jet3_jump_count(uint32_t n) {
  uint32_t jumps = 0;
  while ((n + jumps - 1) / 256 > jumps) ++jumps;
  return jumps;
}

// The Jet 3 trailer after the variable data: [1] end of data, [1 × n] slot starts n−1 … 0, the jump
// table, [1] n. Offsets are stored modulo 256; jump byte k (counted back from the slot count) is the
// position (slot number, n = the end of data) of the first offset at or beyond 256·(k+1), FF when
// only the trailer reaches that far.
void append_jet3_offsets(std::vector<uint8_t>& out, const std::vector<uint32_t>& starts, uint32_t mask_size) {
  const uint32_t n = uint32_t(starts.size());
  const uint32_t end = uint32_t(out.size());
  const uint32_t jumps = jet3_jump_count(end + 1 + n + 1 + mask_size);
  out.push_back(uint8_t(end));
  for (uint32_t s = n; s-- > 0;) out.push_back(uint8_t(starts[s]));
  for (uint32_t k = jumps; k-- > 0;) {
    uint8_t entry = 0xFF;
    for (uint32_t i = 0; i <= n; ++i) {
      if ((i < n ? starts[i] : end) >= 256 * (k + 1)) {
        entry = uint8_t(i);
        break;
      }
    }
    out.push_back(entry);
  }
  out.push_back(uint8_t(n));
}

}  // namespace

uint32_t fixed_area_size(const table_def& t) {
  uint32_t size = 0;
  for (const auto& c : t.columns)
    if (c.is_fixed()) size = std::max<uint32_t>(size, c.fixed_offset + fixed_type_size(c.type));
  return size;
}

std::vector<uint8_t> stored_text(const format& f, const column_def& c, const std::wstring& s) {
  std::vector<uint8_t> out;
  stored_text(f, c, s, out);
  return out;
}

void stored_text(const format& f, const column_def& c, const std::wstring& s, std::vector<uint8_t>& out) {
  if (!f.unicode_text) {  // Jet 3: a byte per character of the code page, never compressed
    encode_code_page(f.code_page, s, out);
    return;
  }
  bool compress = (c.ext_flags & column_ext_flag::compressed_unicode) != 0;
  // Memo values are compressed only while short, as Access does.
  if (c.type == column_type::memo && s.size() > 1024) compress = false;
  // Most text has only characters U+0001..U+00FF: its bytes are written here in one pass, the same bytes
  // encode_text gives (one byte a character after the FF FE mark when compressed, which is shorter from three
  // characters on; else UTF-16LE).
  if (std::all_of(s.begin(), s.end(), [](wchar_t ch) { return ch >= 1 && ch <= 0xFF; })) {
    out.clear();
    if (compress && s.size() > 2) {
      out.resize(s.size() + 2);
      out[0] = 0xFF;
      out[1] = 0xFE;
      for (size_t i = 0; i < s.size(); ++i) out[2 + i] = uint8_t(s[i]);
    } else {
      out.resize(s.size() * 2, 0);
      for (size_t i = 0; i < s.size(); ++i) out[2 * i] = uint8_t(s[i]);
    }
    return;
  }
  out = encode_text(f, s, compress);
}

std::vector<uint8_t> build_row(const format& f, const table_def& t, const std::vector<value>& row,
                               const std::function<long_value_store&(const column_def&)>& lv_store) {
  row_scratch scratch;
  build_row(f, t, row, lv_store, scratch);
  return std::move(scratch.out);
}

const std::vector<uint8_t>& build_row(const format& f, const table_def& t, const std::vector<value>& row,
                                      const std::function<long_value_store&(const column_def&)>& lv_store,
                                      row_scratch& scratch) {
  uint32_t ncols = std::max<uint32_t>(t.max_columns, uint32_t(t.columns.size()));
  uint32_t fixed_size = fixed_area_size(t);
  uint32_t mask_size = (ncols + 7) / 8;

  // Variable slots: bytes of each (long values: data still to be placed).
  uint32_t nslots = 0;
  for (const auto& c : t.columns)
    if (!c.is_fixed()) nslots = std::max<uint32_t>(nslots, c.var_index + 1u);
  auto& slot = scratch.slot;
  if (slot.size() < nslots) slot.resize(nslots);
  for (uint32_t s = 0; s < nslots; ++s) slot[s].clear();
  auto& slot_col = scratch.slot_col;
  slot_col.assign(nslots, nullptr);
  auto& mask = scratch.mask;
  mask.assign(mask_size, 0);
  auto get = [&](const column_def& c) -> const value& {
    static const value null_value;
    return c.number < row.size() ? row[c.number] : null_value;
  };

  std::vector<uint8_t>& out = scratch.out;
  out.assign(f.row_count_field_size + fixed_size, 0);
  if (f.row_count_field_size == 1) {
    out[0] = uint8_t(ncols);
  } else {
    put_u16(out.data(), uint16_t(ncols));
  }
  for (const auto& c : t.columns) {
    const value& v = get(c);
    if (c.type == column_type::boolean) {
      if (!v.is_null() && v.as_bool()) mask[c.number / 8] |= uint8_t(1u << (c.number % 8));
      continue;
    }
    if (v.is_null()) continue;
    mask[c.number / 8] |= uint8_t(1u << (c.number % 8));
    if (c.is_fixed()) {
      encode_fixed(c, v, out.data() + f.row_count_field_size + c.fixed_offset);
      continue;
    }
    slot_col[c.var_index] = &c;
    if (is_text_type(c.type)) {
      stored_text(f, c, v.as_text(), slot[c.var_index]);
    } else if (is_fixed_type(c.type)) {  // a fixed-size type in the variable area, as Access keeps some
      slot[c.var_index].assign(fixed_type_size(c.type), 0);
      encode_fixed(c, v, slot[c.var_index].data());
    } else {
      const auto& b = v.as_binary();
      slot[c.var_index].assign(b.begin(), b.end());
    }
  }

  // Size with every long value out of the row, then bring short ones inline while the row has room.
  const uint32_t w = f.row_count_field_size;
  uint32_t trailer = nslots ? w + w * nslots + w : 0;
  uint32_t total = uint32_t(out.size()) + trailer + mask_size;
  auto& lv_inline = scratch.lv_inline;
  lv_inline.assign(nslots, 0);
  for (uint32_t s = 0; s < nslots; ++s) {
    if (!slot_col[s]) continue;
    total += is_long_value_type(slot_col[s]->type) ? lv_header_size : uint32_t(slot[s].size());
  }
  // Jet 3 rows of 256 bytes or more also carry a jump table (a byte per 256 bytes).
  auto with_jumps = [&](uint32_t n) { return f.row_jump_table && nslots ? n + jet3_jump_count(n) : n; };
  if (with_jumps(total) > f.max_row_size) throw_error(dao_error::record_too_large);
  for (uint32_t s = 0; s < nslots; ++s) {
    if (!slot_col[s] || !is_long_value_type(slot_col[s]->type)) continue;
    uint32_t len = uint32_t(slot[s].size());
    if (len <= f.lv_inline_max && with_jumps(total + len) <= f.max_row_size) {
      lv_inline[s] = 1;
      total += len;
    }
  }
  for (uint32_t s = 0; s < nslots; ++s) {
    if (!slot_col[s] || !is_long_value_type(slot_col[s]->type)) continue;
    if (lv_inline[s]) {
      auto h = inline_lv_header(uint32_t(slot[s].size()));
      slot[s].insert(slot[s].begin(), h.begin(), h.end());
    } else {
      auto h = lv_store(*slot_col[s]).store(slot[s]);
      slot[s].assign(h.begin(), h.end());
    }
  }

  auto& starts = scratch.starts;
  starts.assign(nslots, 0);
  for (uint32_t s = 0; s < nslots; ++s) {
    starts[s] = uint32_t(out.size());
    out.insert(out.end(), slot[s].begin(), slot[s].end());
  }
  if (nslots) {
    if (f.row_jump_table) {
      append_jet3_offsets(out, starts, mask_size);
    } else {
      append_u16(out, uint16_t(out.size()));
      for (uint32_t s = nslots; s-- > 0;) append_u16(out, uint16_t(starts[s]));
      append_u16(out, uint16_t(nslots));
    }
  }
  out.insert(out.end(), mask.begin(), mask.end());
  return out;
}

}  // namespace jet
