// Value, text, usage-map, long-value and property-blob codecs.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "platform/jet/byte_order.h"
#include "platform/jet/error.h"
#include "platform/jet/long_value.h"
#include "platform/jet/memory_pages.h"
#include "platform/jet/properties.h"
#include "platform/jet/reader.h"
#include "platform/jet/row_builder.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/usage_map.h"
#include "platform/jet/value_codec.h"

namespace jet {
namespace {

const format& f4 = format::jet4();

int dao_number_of(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const error& e) {
    return e.number();
  }
  return 0;
}

TEST(Text, CompressesLikeAccessOnlyWhenItSavesSpace) {
  EXPECT_EQ(encode_text(f4, L"\u00fcmlaut", true), (bytes{0xFF, 0xFE, 0xFC, 0x6D, 0x6C, 0x61, 0x75, 0x74}));
  EXPECT_EQ(encode_text(f4, L"\u041c\u0438\u0440", true), (bytes{0x1C, 0x04, 0x38, 0x04, 0x40, 0x04}));
  EXPECT_EQ(encode_text(f4, L"ab", false), (bytes{'a', 0, 'b', 0}));
  // Mixed text switches modes and reads back.
  std::wstring mixed = L"Stra\u00dfe \u4e16\u754c and more text";
  auto packed = encode_text(f4, mixed, true);
  EXPECT_LT(packed.size(), mixed.size() * 2);
  EXPECT_EQ(decode_text(f4, packed), mixed);
  // A character whose low byte is 00 (U+0100, a low surrogate DE00) would read as a mode switch.
  for (std::wstring s : {std::wstring(L"x\u0100yyyyyy"), std::wstring(L"a\U0001F600bbbbbbbb")}) {
    auto b = encode_text(f4, s, true);
    EXPECT_NE(b[0], 0xFF);
    EXPECT_EQ(decode_text(f4, b), s);
  }
  EXPECT_EQ(decode_text(f4, encode_text(f4, L"", true)), L"");
}

// A row's text of characters U+0001..U+00FF takes a shorter way than the general encoder; its bytes are the same,
// compressed or not, short or long, in text and memo columns (memo beyond 1,024 characters is never compressed).
TEST(Text, StoredTextIsWhatTheEncoderGives) {
  const column_def text{.type = column_type::text, .ext_flags = column_ext_flag::compressed_unicode, .length = 510};
  const column_def plain{.type = column_type::text, .length = 510};
  const column_def memo{.type = column_type::memo, .ext_flags = column_ext_flag::compressed_unicode};
  std::vector<std::wstring> texts = {L"", L"a", L"ab", L"abc", L"\u00ff\u00e9x", L"\x01\x7f\x80",
                                     L"Customer 17", L"x\u0100yy", L"\u4e16\u754c", L"a\U0001F600b",
                                     std::wstring(L"a\0b", 3), std::wstring(1024, L'\u00e4'),
                                     std::wstring(1025, L'q')};
  // One buffer for every text, long ones before and after short ones: what an earlier text left there never shows.
  bytes reused{1, 2, 3};
  for (int pass = 0; pass < 2; ++pass) {
    for (const std::wstring& s : texts) {
      SCOPED_TRACE(s.size());
      EXPECT_EQ(stored_text(f4, text, s), encode_text(f4, s, true));
      EXPECT_EQ(stored_text(f4, plain, s), encode_text(f4, s, false));
      EXPECT_EQ(stored_text(f4, memo, s), encode_text(f4, s, s.size() <= 1024));
      stored_text(f4, text, s, reused);
      EXPECT_EQ(reused, encode_text(f4, s, true));
      stored_text(f4, plain, s, reused);
      EXPECT_EQ(reused, encode_text(f4, s, false));
    }
    std::reverse(texts.begin(), texts.end());
  }
}

// Rows built one after another in one scratch are the rows built afresh, whatever the rows before them held:
// nulls after values, short values after long ones, inline memo and binary values, in Jet 4 and Jet 3 layouts.
TEST(RowBuilder, AReusedScratchBuildsWhatAFreshOneBuilds) {
  table_def t;
  t.columns = {
      {.name = L"id", .type = column_type::long_integer, .number = 0, .flags = 0x01, .fixed_offset = 0},
      {.name = L"name", .type = column_type::text, .number = 1, .var_index = 0,
       .ext_flags = column_ext_flag::compressed_unicode, .length = 200},
      {.name = L"note", .type = column_type::memo, .number = 2, .var_index = 1,
       .ext_flags = column_ext_flag::compressed_unicode},
      {.name = L"data", .type = column_type::binary, .number = 3, .var_index = 2, .length = 255},
      {.name = L"flag", .type = column_type::boolean, .number = 4, .flags = 0x01},
      {.name = L"amount", .type = column_type::double_, .number = 5, .var_index = 3, .flags = 0x01, .fixed_offset = 4},
  };
  t.max_columns = 6;
  std::vector<std::vector<value>> rows = {
      {value::long_integer(1), value::text(std::wstring(90, L'n')), value::text(L"a memo"), value::binary(bytes(200, 7)),
       value::boolean(true), value::double_(2.5)},
      {value::long_integer(2), value::null(), value::null(), value::null(), value::null(), value::null()},
      {value::long_integer(3), value::text(L"\u00e9x"), value::text(std::wstring(60, L'm')), value::binary(bytes{1}),
       value::boolean(false), value::double_(-1)},
      {value::long_integer(4), value::text(L""), value::text(L"z"), value::binary(bytes{}), value::boolean(true),
       value::null()},
      {value::long_integer(5), value::text(L"ab"), value::null(), value::binary(bytes(3, 0xFF)), value::null(),
       value::double_(0)},
  };
  auto no_store = [](const column_def&) -> long_value_store& { throw std::logic_error("every value here fits inline"); };
  for (const format* f : {&format::jet4(), &format::jet3()}) {
    row_scratch scratch;
    for (int pass = 0; pass < 2; ++pass) {
      for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        const bytes fresh = build_row(*f, t, rows[i], no_store);
        EXPECT_EQ(build_row(*f, t, rows[i], no_store, scratch), fresh);
      }
      std::reverse(rows.begin(), rows.end());
    }
  }
}

TEST(Text, ModeSwitchesAndSurrogatesAsStoredBefore) {
  // Bytes as files written so far hold them: a short run of one-byte characters switches back only at
  // the end of the text, a run of three anywhere; packed text that saves nothing is stored plain.
  struct stored {
    std::wstring text;
    bytes packed;
  };
  for (const stored& c : std::vector<stored>{
           {L"abc\u4e16xy", {0xFF, 0xFE, 0x61, 0x62, 0x63, 0x00, 0x16, 0x4E, 0x00, 0x78, 0x79}},
           {L"\u4e16\u4e16a", {0x16, 0x4E, 0x16, 0x4E, 0x61, 0x00}},
           {L"\u4e16ab\u4e16abc\u4e16",
            {0x16, 0x4E, 0x61, 0x00, 0x62, 0x00, 0x16, 0x4E, 0x61, 0x00, 0x62, 0x00, 0x63, 0x00, 0x16, 0x4E}},
           {L"x\U0001F600yz", {0x78, 0x00, 0x3D, 0xD8, 0x00, 0xDE, 0x79, 0x00, 0x7A, 0x00}},
           {L"caf\u00e9 \u4e16\u754c!", {0xFF, 0xFE, 0x63, 0x61, 0x66, 0xE9, 0x20, 0x00, 0x16, 0x4E, 0x4C, 0x75, 0x00, 0x21}},
       }) {
    EXPECT_EQ(encode_text(f4, c.text, true), c.packed) << to_utf8(c.text);
    EXPECT_EQ(decode_text(f4, c.packed), c.text) << to_utf8(c.text);
  }
  // A lone surrogate in stored text reads back as it stands; a pair becomes one character.
  EXPECT_EQ(decode_text(f4, bytes{0x3D, 0xD8, 0x41, 0x00}), (std::wstring{wchar_t(0xD83D), L'A'}));
  EXPECT_EQ(decode_text(f4, bytes{0x3D, 0xD8, 0x00, 0xDE}), std::wstring(L"\U0001F600"));
  EXPECT_EQ(utf16_length(L"a\U0001D11E\U0010FFFF"), 5u);
}

TEST(Text, Utf16ConversionKeepsCharactersBeyondTheBmp) {
  std::wstring s = L"a\U0001D11E\U0010FFFF";
  EXPECT_EQ(to_utf16(s).size(), 5u);
  EXPECT_EQ(from_utf16(to_utf16(s)), s);
  EXPECT_EQ(to_utf8(L"\u00e9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
}

TEST(Coerce, ConvertsWithinRangeAndRefusesLikeDao) {
  column_def byte_col{.type = column_type::byte};
  column_def int_col{.type = column_type::integer};
  column_def text_col{.type = column_type::text, .length = 10};  // 5 characters
  column_def money{.type = column_type::currency};
  column_def dec{.type = column_type::decimal, .precision = 5, .scale = 2};
  EXPECT_EQ(coerce(f4, byte_col, value::long_integer(255)), value::byte(255));
  EXPECT_EQ(dao_number_of([&] { coerce(f4, byte_col, value::integer(-1)); }), dao_error::numeric_overflow);
  EXPECT_EQ(coerce(f4, int_col, value::double_(2.5)), value::integer(2));  // banker's rounding
  EXPECT_EQ(dao_number_of([&] { coerce(f4, int_col, value::double_(32767.5)); }), dao_error::numeric_overflow);
  EXPECT_EQ(dao_number_of([&] { coerce(f4, int_col, value::text(L"12")); }), dao_error::conversion_error);
  EXPECT_EQ(coerce(f4, text_col, value::text(L"12345")), value::text(L"12345"));
  EXPECT_EQ(dao_number_of([&] { coerce(f4, text_col, value::text(L"1234\U0001F600")); }), dao_error::field_too_small);
  EXPECT_EQ(coerce(f4, money, value::double_(1.23456)), value::currency({12346}));
  decimal d{.negative = false, .scale = 0, .magnitude = {0, 0, 123}};
  EXPECT_EQ(coerce(f4, dec, value::decimal(d)).as_decimal().magnitude[2], 12300u);
  d.magnitude[2] = 1000;  // 1000.00 needs 6 digits
  EXPECT_EQ(dao_number_of([&] { coerce(f4, dec, value::decimal(d)); }), dao_error::numeric_overflow);
  EXPECT_TRUE(coerce(f4, int_col, value()).is_null());
  // In place: the same checks and conversions.
  value v = value::text(L"1234\U0001F600");
  EXPECT_EQ(dao_number_of([&] { coerce_in_place(f4, text_col, v); }), dao_error::field_too_small);
  v = value::long_integer(7);
  EXPECT_EQ(dao_number_of([&] { coerce_in_place(f4, text_col, v); }), dao_error::conversion_error);
  coerce_in_place(f4, byte_col, v);
  EXPECT_EQ(v, value::byte(7));
  v = value::text(L"12345");
  coerce_in_place(f4, text_col, v);
  EXPECT_EQ(v, value::text(L"12345"));
  column_def bin_col{.type = column_type::binary, .length = 2};
  v = value::binary({1, 2, 3});
  EXPECT_EQ(dao_number_of([&] { coerce_in_place(f4, bin_col, v); }), dao_error::field_too_small);
  // Jet 3 text becomes what its code page holds, in place too.
  column_def jet3_text{.type = column_type::text, .length = 10};
  v = value::text(L"a\u4e16b");
  coerce_in_place(format::jet3(), jet3_text, v);
  EXPECT_EQ(v, coerce(format::jet3(), jet3_text, value::text(L"a\u4e16b")));
  EXPECT_EQ(v, value::text(L"a?b"));
}

TEST(UsageMap, InlineAndReferenceMapsListTheirPages) {
  memory_pages pages(f4.page_size);
  for (int i = 0; i < 10; ++i) pages.allocate();
  std::vector<uint32_t> bitmaps;
  std::vector<uint32_t> few = {3, 9, 300};
  auto row = build_usage_map(f4, few, pages, bitmaps);
  EXPECT_EQ(row.size(), 69u);
  EXPECT_EQ(row[0], 0x00);
  EXPECT_EQ(get_u32(row.data() + 1), 0u);  // starts at page 0 while the pages fit, as the engine writes
  EXPECT_EQ(read_usage_map(f4, row, pages), few);
  EXPECT_TRUE(bitmaps.empty());

  std::vector<uint32_t> spread = {600, 601, 5000, 40000, 70000};
  row = build_usage_map(f4, spread, pages, bitmaps);
  EXPECT_EQ(row[0], 0x01);
  EXPECT_EQ(row.size(), 69u);
  EXPECT_EQ(bitmaps.size(), 3u);  // pages 0-32735, 32736-65471, 65472-...
  std::vector<uint32_t> used;
  EXPECT_EQ(read_usage_map(f4, row, pages, &used), spread);
  EXPECT_EQ(used, bitmaps);
  EXPECT_EQ(pages.read(bitmaps[0])[0], page_type::usage_bitmap);

  std::vector<uint32_t> none;
  EXPECT_TRUE(read_usage_map(f4, build_usage_map(f4, none, pages, bitmaps), pages).empty());
  EXPECT_THROW(read_usage_map(f4, bytes{0x07, 0, 0}, pages), error);
}

TEST(UsageMap, GlobalMapMarksOnlyPagesPastTheEndFree) {
  memory_pages pages(f4.page_size);
  for (int i = 0; i < 20; ++i) pages.allocate();
  std::vector<uint32_t> bitmaps;
  auto row = build_global_map_row(f4, pages, pages, bitmaps);
  auto free_pages = read_usage_map(f4, row, pages);
  ASSERT_FALSE(free_pages.empty());
  EXPECT_EQ(free_pages.front(), 20u);
  EXPECT_EQ(free_pages.size(), 64u * 8 - 20);

  // A file too large for an inline map on page 1 gets a reference map.
  memory_pages large(f4.page_size);
  for (uint32_t i = 0; i < global_map_max_pages(f4) + 10; ++i) large.allocate();
  row = build_global_map_row(f4, large, large, bitmaps);
  EXPECT_EQ(row[0], 0x01);
  auto large_free = read_usage_map(f4, row, large);
  ASSERT_FALSE(large_free.empty());
  EXPECT_EQ(large_free.front(), large.page_count());
}

TEST(LongValue, SingleRowsAndChainsReadBack) {
  memory_pages pages(f4.page_size);
  long_value_store store(f4, pages);
  bytes small(100, 1), one_page(f4.lv_single_max, 2), chain(3 * f4.lv_chain_piece_max + 17, 3);
  for (size_t i = 0; i < chain.size(); ++i) chain[i] = uint8_t(i * 7);
  auto h1 = store.store(small);
  auto h2 = store.store(one_page);
  auto h3 = store.store(chain);
  store.flush();
  auto read_page = [&](uint32_t p) { return pages.read(p); };
  EXPECT_EQ(h1[3], 0x40);
  EXPECT_EQ(h3[3], 0x00);
  EXPECT_EQ(read_long_value(f4, h1, read_page), small);
  EXPECT_EQ(read_long_value(f4, h2, read_page), one_page);
  EXPECT_EQ(read_long_value(f4, h3, read_page), chain);
  for (uint32_t p : store.pages()) EXPECT_EQ(get_u32(pages.read(p).data() + 4), lval_owner);
  bytes inline_field(12 + 3, 0);
  put_u32(inline_field.data(), 3 | 0x80000000u);
  inline_field[12] = 'a';
  EXPECT_EQ(read_long_value(f4, inline_field, read_page), (bytes{'a', 0, 0}));
  put_u32(inline_field.data(), 30 | 0x80000000u);  // longer than the field holds
  EXPECT_THROW(read_long_value(f4, inline_field, read_page), error);
}

TEST(Properties, RoundTripAndEveryBlobOfTheSamplesDecodes) {
  property_blob blob;
  blob.object.items.push_back({L"Description", column_type::text, true, value::text(L"Kunden \u00fc")});
  blob.columns.push_back({L"Name", {{L"Required", column_type::boolean, true, value::boolean(true)},
                                    {L"DefaultValue", column_type::memo, true, value::text(L"\"x\"")}}});
  blob.columns.push_back({L"Id", {{L"Required", column_type::boolean, true, value::boolean(false)}}});
  auto bytes_ = encode_properties(f4, blob);
  EXPECT_EQ(std::string(bytes_.begin(), bytes_.begin() + 4), std::string("MR2\0", 4));
  property_blob back = decode_properties(f4, bytes_);
  EXPECT_EQ(back.object.find(L"description")->data, value::text(L"Kunden \u00fc"));
  ASSERT_NE(back.column(L"NAME"), nullptr);
  EXPECT_EQ(back.column(L"Name")->find(L"DefaultValue")->data, value::text(L"\"x\""));
  EXPECT_EQ(back.column(L"Id")->find(L"Required")->data, value::boolean(false));
  bytes_.resize(bytes_.size() - 3);
  EXPECT_THROW(decode_properties(f4, bytes_), error);

  size_t decoded = 0;
  for (const char* name : {"jackcess/test2V2000.mdb", "jackcess/indexTestV2000.mdb", "jackcess/empty.mdb",
                           "mdb-reader/V2000_with-password.mdb"}) {
    auto db = database_reader::open(sample_path(name));
    for (const auto& e : db->objects())
      if (!e.lv_prop.empty()) {
        EXPECT_NO_THROW(decode_properties(f4, e.lv_prop)) << name;
        ++decoded;
      }
  }
  EXPECT_GT(decoded, 10u);
}

}  // namespace
}  // namespace jet
