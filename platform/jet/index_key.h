// Index keys: the byte strings index entries are sorted by.
//
// A key is the concatenation of one part per index column, in the order of the index's column
// slots. Each part starts with a flag byte: 7F (ascending) or 80 (descending) before a value; a
// null is the single byte 00 (ascending) or FF (descending) with nothing after it. The value bytes
// are made so that plain unsigned byte comparison gives the column's order ("invert" = XOR every
// byte with FF, "flip" = XOR the first byte with 80):
//
//   byte                         the byte; descending inverted
//   integer, long, currency,     big-endian two's complement (currency: value × 10,000 as int64),
//   big integer, complex         flipped; descending flipped then inverted
//   single, double, date/time    big-endian IEEE; ascending: non-negative flipped, negative inverted;
//                                descending: non-negative flipped then inverted, negative unchanged
//   yes/no                       never null; ascending true 00, false FF; descending the reverse
//   binary                       8-byte segments, each full one followed by 09 while more data
//                                follows; the last zero-padded to 8 and followed by its count of real
//                                bytes (1-8); empty contributes nothing; descending inverts data
//                                bytes and the count but not the 09 separators
//   GUID                         the 16 bytes in canonical order (first three fields big-endian),
//                                then encoded as binary
//   decimal                      sign byte + 16-byte unscaled magnitude big-endian; Jet 3/Jet 4:
//                                invert all 17 when negative ascending or non-negative descending,
//                                then byte 0 = 00 if negative else FF; ACE: byte 0 = FF first, then
//                                the same inversion
//   text, memo                   the column's collation (sort_order.h)
//
// Access writes these keys and the sample files confirm them byte for byte; the Jet 3/Jet 4 decimal
// rule sorts descending indexes with negative and positive values in the wrong order, which is
// Access's own behaviour and is kept so that Access finds our entries.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/jet/format.h"
#include "platform/jet/table_def.h"
#include "platform/jet/types.h"

namespace jet {

// The flag byte of a null column value in a key (ascending, descending).
inline constexpr uint8_t key_null_ascending = 0x00;
inline constexpr uint8_t key_null_descending = 0xFF;

// Per-type value encoders: each appends the flag byte and the value bytes of one key part.
void append_null_key(bytes& out, bool ascending);
void append_byte_key(bytes& out, uint8_t v, bool ascending);
// integer, long, currency, big integer, complex: `width` bytes (1, 2, 4 or 8) of `v`.
void append_integer_key(bytes& out, int64_t v, unsigned width, bool ascending);
void append_single_key(bytes& out, float v, bool ascending);
void append_double_key(bytes& out, double v, bool ascending);
void append_boolean_key(bytes& out, bool v, bool ascending);
void append_binary_key(bytes& out, const uint8_t* data, size_t size, bool ascending);
// `row_layout` are the 16 bytes as the row stores them (Windows layout).
void append_guid_key(bytes& out, const guid& row_layout, bool ascending);
// The value at the column's scale, as the row stores it; `ace` selects the ACE rule.
void append_decimal_key(bytes& out, const decimal& v, bool ascending, bool ace);

// True when the column's values can be put into index keys by this library: its type is
// indexable and, for text and memo, its sort order is one we have (sort_order.h).
bool is_indexable_column(const format& f, const column_def& column);

// The key part of one column's value. A yes/no column is never null: a null counts as false.
// Throws jet::error when the column cannot be indexed or the value does not fit the column type.
void append_column_key(bytes& out, const format& f, const column_def& column, bool ascending,
                       const value& v);

// The key of a row in a physical index. `row[i]` is the value of the column whose number is i
// (missing trailing values count as null).
bytes encode_key(const format& f, const table_def& table, const index_def& index,
                 const std::vector<value>& row);
// The same, into `key` (its earlier content replaced), for a caller that reuses one buffer per index.
void encode_key(const format& f, const table_def& table, const index_def& index, const std::vector<value>& row,
                bytes& key);

// The key by which an enforced relationship matches a row of `table` to the rows of `referenced`:
// the row's values in the columns of `index`, each coerced to its own column and put into an
// ascending key part the way column i of `referenced_index` keys it. Values the referenced unique
// index takes as equal give equal keys (text in the referenced column's collation: case and
// trailing blanks do not count). Empty when a value is null: such a row refers to nothing. Pass the
// same table and index twice for the keys of the referenced rows themselves.
std::optional<bytes> relationship_key(const format& f, const table_def& table, const index_def& index,
                                      const std::vector<value>& row, const table_def& referenced,
                                      const index_def& referenced_index);

// True when every column of the index is null in this row (yes/no columns are never null). A
// unique index accepts any number of such rows.
bool all_index_columns_null(const table_def& table, const index_def& index, const std::vector<value>& row);

// False when the row gets no entry in the index: an ignore-nulls index whose columns are all null
// in this row. Every other index has exactly one entry per row.
bool has_index_entry(const table_def& table, const index_def& index, const std::vector<value>& row);

}  // namespace jet
