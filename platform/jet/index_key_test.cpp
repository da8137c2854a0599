#include "platform/jet/index_key.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/jet/error.h"
#include "platform/jet/test_hex.h"

namespace jet {
namespace {

column_def make_column(column_type t, uint16_t number, std::wstring name = L"c") {
  column_def c;
  c.name = std::move(name);
  c.type = t;
  c.number = number;
  return c;
}

std::string key_hex(column_type t, const value& v, bool ascending = true,
                    const format& f = format::jet4()) {
  bytes out;
  append_column_key(out, f, make_column(t, 0), ascending, v);
  return to_hex(out);
}

// Keys found on index pages written by Access (test files of Access 97 to 2010).
TEST(IndexKeyTest, NumericKeysMatchAccess) {
  EXPECT_EQ(key_hex(column_type::byte, value::byte(0)), "7F 00");
  EXPECT_EQ(key_hex(column_type::byte, value::byte(199)), "7F C7");
  EXPECT_EQ(key_hex(column_type::byte, value::byte(199), false), "80 38");
  EXPECT_EQ(key_hex(column_type::integer, value::integer(-32400)), "7F 01 70");
  EXPECT_EQ(key_hex(column_type::integer, value::integer(0)), "7F 80 00");
  EXPECT_EQ(key_hex(column_type::integer, value::integer(3245), false), "80 73 52");
  EXPECT_EQ(key_hex(column_type::integer, value::integer(-1), false), "80 80 00");
  EXPECT_EQ(key_hex(column_type::long_integer, value::long_integer(0x0F000001)), "7F 8F 00 00 01");
  EXPECT_EQ(key_hex(column_type::currency, value::currency({-85409824234500})), "7F 7F FF B2 51 F9 C4 23 FC");
  EXPECT_EQ(key_hex(column_type::big_integer, value::big_integer(1)), "7F 80 00 00 00 00 00 00 01");
  EXPECT_EQ(key_hex(column_type::double_, value::double_(0)), "7F 80 00 00 00 00 00 00 00");
  EXPECT_EQ(key_hex(column_type::datetime, value::datetime({-1.1})), "7F 40 0E 66 66 66 66 66 65");
  EXPECT_EQ(key_hex(column_type::single, value::single(7567346.0f)), "7F CA E6 EF E4");
  EXPECT_EQ(key_hex(column_type::boolean, value::boolean(true)), "7F 00");
  EXPECT_EQ(key_hex(column_type::boolean, value::boolean(false)), "7F FF");
  EXPECT_EQ(key_hex(column_type::boolean, value::boolean(false), false), "80 00");
  EXPECT_EQ(key_hex(column_type::boolean, value::null()), "7F FF");  // yes/no is never null
  EXPECT_EQ(key_hex(column_type::long_integer, value::null()), "00");
  EXPECT_EQ(key_hex(column_type::long_integer, value::null(), false), "FF");
}

TEST(IndexKeyTest, BinaryAndGuidKeysMatchAccess) {
  std::string text = "Some much longer text";
  EXPECT_EQ(key_hex(column_type::binary, value::binary(bytes(text.begin(), text.end()))),
            "7F 53 6F 6D 65 20 6D 75 63 09 68 20 6C 6F 6E 67 65 72 09 20 74 65 78 74 00 00 00 05");
  EXPECT_EQ(key_hex(column_type::binary, value::binary({1, 2, 3, 4, 5, 6, 7, 8})),
            "7F 01 02 03 04 05 06 07 08 08");
  EXPECT_EQ(key_hex(column_type::binary, value::binary({1}), false), "80 FE FF FF FF FF FF FF FF FE");
  EXPECT_EQ(key_hex(column_type::binary, value::binary({})), "7F");
  // {0FC49B7B-E656-4228-AEDC-DF8BDF4C4A64} in the row's layout.
  guid g{{0x7B, 0x9B, 0xC4, 0x0F, 0x56, 0xE6, 0x28, 0x42, 0xAE, 0xDC, 0xDF, 0x8B, 0xDF, 0x4C, 0x4A, 0x64}};
  EXPECT_EQ(key_hex(column_type::guid, value::guid(g)),
            "7F 0F C4 9B 7B E6 56 42 28 09 AE DC DF 8B DF 4C 4A 64 08");
  std::string desc = key_hex(column_type::guid, value::guid(g), false);
  EXPECT_EQ(desc, "80 F0 3B 64 84 19 A9 BD D7 09 51 23 20 74 20 B3 B5 9B F7");
}

TEST(IndexKeyTest, DecimalKeysFollowTheGenerationRule) {
  decimal one{false, 0, {0, 0, 1}};
  decimal minus_one{true, 0, {0, 0, 1}};
  bytes jet4_pos, jet4_neg, ace_pos, ace_neg;
  append_decimal_key(jet4_pos, one, true, false);
  append_decimal_key(jet4_neg, minus_one, true, false);
  append_decimal_key(ace_pos, one, true, true);
  append_decimal_key(ace_neg, minus_one, true, true);
  EXPECT_EQ(to_hex(jet4_pos), "7F FF 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 01");
  EXPECT_EQ(to_hex(jet4_neg), "7F 00 FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FE");
  EXPECT_EQ(jet4_pos, ace_pos);
  EXPECT_EQ(jet4_neg, ace_neg);
  // Descending: ACE orders negatives after positives; Jet 3/4 keep Access's old (wrong) order.
  bytes jd_pos, jd_neg, ad_pos, ad_neg;
  append_decimal_key(jd_pos, one, false, false);
  append_decimal_key(jd_neg, minus_one, false, false);
  append_decimal_key(ad_pos, one, false, true);
  append_decimal_key(ad_neg, minus_one, false, true);
  EXPECT_LT(ad_pos, ad_neg);
  EXPECT_GT(jd_pos, jd_neg);
  EXPECT_EQ(jd_pos[1], 0xFF);
  EXPECT_EQ(ad_pos[1], 0x00);
}

// Keys must sort like the values: check every type over a spread of values, both directions.
TEST(IndexKeyTest, KeysSortLikeTheirValues) {
  std::vector<double> doubles = {-1e300, -2.5, -1, -0.25, 0, 1e-300, 0.5, 1, 3.75, 1e300};
  std::vector<float> floats = {-3e38f, -2.5f, -1, -0.25f, 0, 1e-38f, 0.5f, 1, 3.75f, 3e38f};
  std::vector<int64_t> ints = {INT32_MIN, -70000, -1, 0, 1, 255, 256, 70000, INT32_MAX};
  for (bool asc : {true, false}) {
    for (size_t i = 0; i + 1 < doubles.size(); ++i) {
      bytes a, b, fa, fb;
      append_double_key(a, doubles[i], asc);
      append_double_key(b, doubles[i + 1], asc);
      append_single_key(fa, floats[i], asc);
      append_single_key(fb, floats[i + 1], asc);
      EXPECT_EQ(a < b, asc) << doubles[i];
      EXPECT_EQ(fa < fb, asc) << doubles[i];
    }
    for (size_t i = 0; i + 1 < ints.size(); ++i) {
      bytes a, b;
      append_integer_key(a, ints[i], 4, asc);
      append_integer_key(b, ints[i + 1], 4, asc);
      EXPECT_EQ(a < b, asc) << ints[i];
    }
    // (An empty value is the bare flag byte, so it sorts first in both directions, as in Access.)
    std::vector<bytes> bins = {{0}, {0, 0}, {1}, {1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8, 0},
                               {1, 2, 3, 4, 5, 6, 7, 9}, {2}};
    for (size_t i = 0; i + 1 < bins.size(); ++i) {
      bytes a, b;
      append_binary_key(a, bins[i].data(), bins[i].size(), asc);
      append_binary_key(b, bins[i + 1].data(), bins[i + 1].size(), asc);
      EXPECT_EQ(a < b, asc) << i;
    }
    // Nulls sort first ascending and last descending.
    bytes null_key, low;
    append_null_key(null_key, asc);
    append_integer_key(low, INT32_MIN, 4, asc);
    EXPECT_EQ(null_key < low, asc);
  }
}

TEST(IndexKeyTest, CompositeKeysConcatenateTheColumns) {
  // MSysObjects' ParentIdName index of an engine-made blank database.
  table_def t;
  t.columns = {make_column(column_type::long_integer, 0, L"Id"), make_column(column_type::long_integer, 1, L"ParentId"),
               make_column(column_type::text, 2, L"Name")};
  index_def ix;
  ix.columns = {{1, true}, {2, true}};
  std::vector<value> row = {value::long_integer(2), value::long_integer(0x0F000001), value::text(L"MSysObjects")};
  EXPECT_EQ(to_hex(encode_key(format::jet4(), t, ix, row)),
            "7F 8F 00 00 01 7F 60 6B 76 6B 64 4C 5B 51 4D 6D 6B 01 00");
  // A short row: the missing columns are null.
  EXPECT_EQ(to_hex(encode_key(format::jet4(), t, ix, {value::long_integer(2)})), "00 00");
  ix.columns = {{1, false}, {2, true}};
  EXPECT_EQ(to_hex(encode_key(format::jet4(), t, ix, {value(), value(), value::text(L"Tables")})),
            "FF 7F 6D 4A 4C 5E 51 6B 01 00");
  // Into a buffer a longer key was written to before: only the new key is there.
  bytes reused;
  ix.columns = {{1, true}, {2, true}};
  encode_key(format::jet4(), t, ix, row, reused);
  encode_key(format::jet4(), t, ix, {value::long_integer(2)}, reused);
  EXPECT_EQ(to_hex(reused), "00 00");
  encode_key(format::jet4(), t, ix, row, reused);
  EXPECT_EQ(reused, encode_key(format::jet4(), t, ix, row));
}

TEST(IndexKeyTest, IgnoreNullsIndexesSkipAllNullRows) {
  table_def t;
  t.columns = {make_column(column_type::long_integer, 0), make_column(column_type::text, 1),
               make_column(column_type::boolean, 2)};
  index_def ix;
  ix.columns = {{0, true}, {1, true}};
  EXPECT_TRUE(has_index_entry(t, ix, {value(), value()}));
  ix.flags = index_flag::ignore_nulls;
  EXPECT_FALSE(has_index_entry(t, ix, {value(), value()}));
  EXPECT_FALSE(has_index_entry(t, ix, {}));
  EXPECT_TRUE(has_index_entry(t, ix, {value(), value::text(L"")}));
  ix.columns = {{0, true}, {2, true}};
  EXPECT_TRUE(has_index_entry(t, ix, {value(), value()}));  // yes/no is never null
}

TEST(IndexKeyTest, RefusesWhatCannotBeIndexed) {
  bytes out;
  column_def nordic = make_column(column_type::text, 0);
  nordic.sort_order = 1053;
  EXPECT_FALSE(is_indexable_column(format::jet4(), nordic));
  EXPECT_THROW(append_column_key(out, format::jet4(), nordic, true, value::text(L"x")), error);
  EXPECT_FALSE(is_indexable_column(format::jet4(), make_column(column_type::ole, 0)));
  EXPECT_THROW(append_column_key(out, format::jet4(), make_column(column_type::ole, 0), true,
                                 value::binary({1})),
               error);
  EXPECT_THROW(append_column_key(out, format::jet4(), make_column(column_type::long_integer, 0), true,
                                 value::text(L"12")),
               error);
  // A null is fine for any indexable type.
  EXPECT_NO_THROW(append_column_key(out, format::jet4(), nordic, true, value()));
}

}  // namespace
}  // namespace jet
