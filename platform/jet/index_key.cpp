// Index key encoders (contract and byte rules in index_key.h).
#include "platform/jet/index_key.h"

#include <cstring>
#include <string>

#include "platform/jet/error.h"
#include "platform/jet/sort_order.h"
#include "platform/jet/value_codec.h"

namespace jet {

namespace {

constexpr uint8_t kAscending = 0x7F;
constexpr uint8_t kDescending = 0x80;
constexpr uint8_t kSegmentContinues = 0x09;

void invert_from(bytes& out, size_t start) {
  for (size_t i = start; i < out.size(); ++i) out[i] = uint8_t(~out[i]);
}

// IEEE bits big-endian, ordered: see the table in index_key.h.
void append_float_bits(bytes& out, uint64_t bits, unsigned width, bool ascending) {
  out.push_back(ascending ? kAscending : kDescending);
  const size_t start = out.size();
  for (unsigned i = 0; i < width; ++i) out.push_back(uint8_t(bits >> (8 * (width - 1 - i))));
  const bool negative = (out[start] & 0x80) != 0;
  if (negative) {
    if (ascending) invert_from(out, start);
  } else {
    out[start] ^= 0x80;
    if (!ascending) invert_from(out, start);
  }
}

std::string column_label(const column_def& c) {
  std::string s;
  for (wchar_t w : c.name) s.push_back(w >= 0x20 && w < 0x7F ? char(w) : '?');
  return s;
}

[[noreturn]] void wrong_value(const column_def& c, const value& v) {
  throw error(dao_error::conversion_error, "cannot put " + describe(v) + " into the index key of " +
                                               column_type_name(c.type) + " column '" + column_label(c) + "'");
}

bool counts_as_null(const column_def* c, const value& v) {
  if (c != nullptr && c->type == column_type::boolean) return false;  // yes/no is never null
  return v.is_null();
}

}  // namespace

void append_null_key(bytes& out, bool ascending) { out.push_back(ascending ? key_null_ascending : key_null_descending); }

void append_byte_key(bytes& out, uint8_t v, bool ascending) {
  out.push_back(ascending ? kAscending : kDescending);
  out.push_back(ascending ? v : uint8_t(~v));
}

void append_integer_key(bytes& out, int64_t v, unsigned width, bool ascending) {
  // One resize rather than a push_back a byte: integer keys are in nearly every index, once per row.
  const size_t at = out.size();
  out.resize(at + 1 + width);
  uint8_t* p = out.data() + at;
  p[0] = ascending ? kAscending : kDescending;
  const auto u = static_cast<uint64_t>(v);
  for (unsigned i = 0; i < width; ++i) p[1 + i] = uint8_t(u >> (8 * (width - 1 - i)));
  p[1] ^= 0x80;
  if (!ascending) invert_from(out, at + 1);
}

void append_single_key(bytes& out, float v, bool ascending) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  append_float_bits(out, bits, 4, ascending);
}

void append_double_key(bytes& out, double v, bool ascending) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  append_float_bits(out, bits, 8, ascending);
}

void append_boolean_key(bytes& out, bool v, bool ascending) {
  out.push_back(ascending ? kAscending : kDescending);
  out.push_back((v == ascending) ? 0x00 : 0xFF);
}

void append_binary_key(bytes& out, const uint8_t* data, size_t size, bool ascending) {
  out.push_back(ascending ? kAscending : kDescending);
  const uint8_t mask = ascending ? 0x00 : 0xFF;
  size_t pos = 0;
  while (pos < size) {
    const size_t n = size - pos < 8 ? size - pos : 8;
    for (size_t i = 0; i < 8; ++i) out.push_back(uint8_t((i < n ? data[pos + i] : 0) ^ mask));
    pos += n;
    if (pos < size) {
      out.push_back(kSegmentContinues);
    } else {
      out.push_back(uint8_t(n ^ mask));
    }
  }
}

void append_guid_key(bytes& out, const guid& row_layout, bool ascending) {
  const auto& b = row_layout.bytes;
  const uint8_t canonical[16] = {b[3], b[2], b[1], b[0], b[5], b[4], b[7], b[6],
                                 b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]};
  append_binary_key(out, canonical, 16, ascending);
}

void append_decimal_key(bytes& out, const decimal& v, bool ascending, bool ace) {
  out.push_back(ascending ? kAscending : kDescending);
  const size_t start = out.size();
  const bool negative = v.negative;
  out.push_back(negative ? 0x80 : 0x00);
  for (int i = 0; i < 4; ++i) out.push_back(0);  // the magnitude's top 32 bits: a decimal holds 96
  for (uint32_t group : v.magnitude) {
    for (int i = 3; i >= 0; --i) out.push_back(uint8_t(group >> (8 * i)));
  }
  const bool invert = negative == ascending;
  if (ace) {
    out[start] = 0xFF;
    if (invert) invert_from(out, start);
  } else {
    if (invert) invert_from(out, start);
    out[start] = negative ? 0x00 : 0xFF;
  }
}

bool is_indexable_column(const format& f, const column_def& column) {
  switch (column.type) {
    case column_type::boolean:
    case column_type::byte:
    case column_type::integer:
    case column_type::long_integer:
    case column_type::currency:
    case column_type::single:
    case column_type::double_:
    case column_type::datetime:
    case column_type::binary:
    case column_type::guid:
    case column_type::decimal:
    case column_type::complex:
    case column_type::big_integer:
      return true;
    case column_type::text:
    case column_type::memo:
      return sort_order_for_column(f.gen == generation::jet3, column.sort_order, column.sort_version)
          .has_value();
    case column_type::ole:
      break;
  }
  return false;
}

void append_column_key(bytes& out, const format& f, const column_def& column, bool ascending,
                       const value& v) {
  if (column.type == column_type::boolean) {
    if (v.is_null()) return append_boolean_key(out, false, ascending);
    if (v.kind_of() != value::kind::boolean) wrong_value(column, v);
    return append_boolean_key(out, v.as_bool(), ascending);
  }
  if (v.is_null()) return append_null_key(out, ascending);
  const value::kind k = v.kind_of();
  auto expect = [&](value::kind want) {
    if (k != want) wrong_value(column, v);
  };
  switch (column.type) {
    case column_type::byte:
      expect(value::kind::byte);
      return append_byte_key(out, v.as_byte(), ascending);
    case column_type::integer:
      expect(value::kind::integer);
      return append_integer_key(out, v.as_integer(), 2, ascending);
    case column_type::long_integer:
    case column_type::complex:
      expect(value::kind::long_integer);
      return append_integer_key(out, v.as_long(), 4, ascending);
    case column_type::big_integer:
      expect(value::kind::big_integer);
      return append_integer_key(out, v.as_big(), 8, ascending);
    case column_type::currency:
      expect(value::kind::currency);
      return append_integer_key(out, v.as_currency().scaled, 8, ascending);
    case column_type::single:
      expect(value::kind::single);
      return append_single_key(out, v.as_single(), ascending);
    case column_type::double_:
      expect(value::kind::double_);
      return append_double_key(out, v.as_double(), ascending);
    case column_type::datetime:
      expect(value::kind::datetime);
      return append_double_key(out, v.as_datetime().days, ascending);
    case column_type::binary: {
      expect(value::kind::binary);
      const bytes& b = v.as_binary();
      return append_binary_key(out, b.data(), b.size(), ascending);
    }
    case column_type::guid:
      expect(value::kind::guid);
      return append_guid_key(out, v.as_guid(), ascending);
    case column_type::decimal:
      expect(value::kind::decimal);
      return append_decimal_key(out, v.as_decimal(), ascending, f.gen == generation::ace);
    case column_type::text:
    case column_type::memo: {
      expect(value::kind::text);
      auto order = sort_order_for_column(f.gen == generation::jet3, column.sort_order, column.sort_version);
      if (!order) {
        throw error(dao_error::invalid_argument,
                    "the text sort order " + std::to_string(column.sort_order) + " (version " +
                        std::to_string(column.sort_version) + ") of column '" + column_label(column) +
                        "' is not supported for indexes");
      }
      out.push_back(ascending ? kAscending : kDescending);
      return append_text_key(*order, v.as_text(), ascending, out);
    }
    case column_type::boolean:
    case column_type::ole:
      break;
  }
  throw error(dao_error::invalid_field_type,
              std::string("a ") + column_type_name(column.type) + " column cannot be indexed ('" +
                  column_label(column) + "')");
}

bytes encode_key(const format& f, const table_def& table, const index_def& index,
                 const std::vector<value>& row) {
  bytes key;
  key.reserve(16 * index.columns.size());
  encode_key(f, table, index, row, key);
  return key;
}

void encode_key(const format& f, const table_def& table, const index_def& index, const std::vector<value>& row,
                bytes& key) {
  static const value null_value;
  key.clear();
  for (const index_column& ic : index.columns) {
    const column_def* c = table.column_by_number(ic.column_number);
    if (c == nullptr) {
      throw_corrupt("index refers to column number " + std::to_string(ic.column_number) +
                    ", which the table does not have");
    }
    const value& v = ic.column_number < row.size() ? row[ic.column_number] : null_value;
    append_column_key(key, f, *c, ic.ascending, v);
  }
}

std::optional<bytes> relationship_key(const format& f, const table_def& table, const index_def& index,
                                      const std::vector<value>& row, const table_def& referenced,
                                      const index_def& referenced_index) {
  if (index.columns.size() != referenced_index.columns.size())
    throw_corrupt("a relationship's indexes have different numbers of columns");
  bytes key;
  for (size_t i = 0; i < index.columns.size(); ++i) {
    const uint16_t number = index.columns[i].column_number;
    const column_def* c = table.column_by_number(number);
    const column_def* rc = referenced.column_by_number(referenced_index.columns[i].column_number);
    if (c == nullptr || rc == nullptr) throw_corrupt("a relationship's index refers to a column the table does not have");
    if (number >= row.size() || row[number].is_null()) return std::nullopt;
    append_column_key(key, f, *rc, true, coerce(f, *c, row[number]));
  }
  return key;
}

bool all_index_columns_null(const table_def& table, const index_def& index, const std::vector<value>& row) {
  for (const index_column& ic : index.columns) {
    const column_def* c = table.column_by_number(ic.column_number);
    if (c != nullptr && c->type == column_type::boolean) return false;
    if (ic.column_number < row.size() && !counts_as_null(c, row[ic.column_number])) return false;
  }
  return true;
}

bool has_index_entry(const table_def& table, const index_def& index, const std::vector<value>& row) {
  return !index.ignores_nulls() || !all_index_columns_null(table, index, row);
}

}  // namespace jet
