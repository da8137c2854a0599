#include "platform/jet/code_page.h"

#include <gtest/gtest.h>

#include "platform/jet/format.h"
#include "platform/jet/sort_order.h"
#include "platform/jet/table_def.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/value_codec.h"

namespace jet {
namespace {

std::vector<uint8_t> bytes_of(std::initializer_list<int> v) { return std::vector<uint8_t>(v.begin(), v.end()); }

TEST(CodePage, Windows1252BothWays) {
  // ASCII, Latin-1, and the characters 1252 puts at 0x80-0x9F (euro, dagger, trade mark, Œ, Ÿ).
  const std::wstring text = L"Az09 \u00e9\u00fc\u00df\u00ff\u20ac\u2020\u2122\u0152\u0178";
  const auto b = encode_code_page(1252, text);
  EXPECT_EQ(b, bytes_of({'A', 'z', '0', '9', ' ', 0xE9, 0xFC, 0xDF, 0xFF, 0x80, 0x86, 0x99, 0x8C, 0x9F}));
  EXPECT_EQ(decode_code_page(1252, b), text);
  // Every byte decodes to a character that encodes back to it (the unassigned 0x81, 0x8D, 0x8F, 0x90
  // and 0x9D stand for U+0081 ... as Windows reads them).
  for (int v = 0; v < 256; ++v) {
    const uint8_t byte = uint8_t(v);
    const std::wstring c = decode_code_page(1252, std::span<const uint8_t>(&byte, 1));
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(encode_code_page(1252, c), bytes_of({v})) << v;
  }
  EXPECT_EQ(decode_code_page(1252, bytes_of({0x81})), std::wstring(1, wchar_t(0x81)));
}

TEST(CodePage, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  // Cyrillic, CJK, an emoji, and U+0080 (a C1 control 1252 does not hold; its byte 0x80 is the euro).
  const std::wstring text = std::wstring(L"\u041c\u0438\u0440 \u4e2d x") + wchar_t(0x1F600) + wchar_t(0x80);
  EXPECT_EQ(encode_code_page(1252, text), bytes_of({'?', '?', '?', ' ', '?', ' ', 'x', '?', '?'}));
}

// Every character is held exactly when its General 97 byte decodes back to it; the encoder writes that byte
// or '?', whether into a new buffer or over one that held longer text.
TEST(CodePage, EveryCharacterIsEncodedAndCheckedAsItsByteDecodesBack) {
  std::wstring text;
  for (uint32_t c = 0; c <= 0x10000; ++c) text.push_back(wchar_t(c));
  for (uint32_t c : {0x1F600u, 0x10FFFFu, 0x110000u, 0xFFFFFFFFu}) text.push_back(wchar_t(c));
  std::vector<uint8_t> expected;
  size_t held = 0;
  for (wchar_t c : text) {
    int b = (c < 0 || uint32_t(c) > 0x10FFFF) ? -1 : general_97_byte(char32_t(c));
    const bool holds = b >= 0 && general_97_char(uint8_t(b)) == char32_t(c);
    held += holds;
    expected.push_back(holds ? uint8_t(b) : uint8_t('?'));
    ASSERT_EQ(code_page_holds(1252, std::wstring_view(&c, 1)), holds) << uint32_t(c);
  }
  EXPECT_EQ(held, 256u);  // one character for each byte
  EXPECT_EQ(encode_code_page(1252, text), expected);
  std::vector<uint8_t> reused(text.size() + 100, 0xAA);
  encode_code_page(1252, text, reused);
  EXPECT_EQ(reused, expected);
  encode_code_page(1252, L"\u00e9a", reused);
  EXPECT_EQ(reused, bytes_of({0xE9, 'a'}));
  // Text of Latin-1 characters only (their own bytes) and the same text with one other character put at each
  // place in turn: the euro sign's byte, a C1 control the code page lacks (?), an unassigned byte's character.
  std::wstring own;
  std::vector<uint8_t> own_bytes;
  for (uint32_t c = 0; c < 256; ++c)
    if (c < 0x80 || c >= 0xA0) {
      own.push_back(wchar_t(c));
      own_bytes.push_back(uint8_t(c));
    }
  EXPECT_TRUE(code_page_holds(1252, own));
  EXPECT_EQ(encode_code_page(1252, own), own_bytes);
  for (auto [c, b] : {std::pair{wchar_t(0x20AC), 0x80}, {wchar_t(0x80), '?'}, {wchar_t(0x81), 0x81}, {wchar_t(0x416), '?'}})
    for (size_t at : {size_t(0), size_t(1), size_t(100), own.size() - 1, own.size()}) {
      std::wstring text = own;
      text.insert(at, 1, c);
      std::vector<uint8_t> bytes = own_bytes;
      bytes.insert(bytes.begin() + std::ptrdiff_t(at), uint8_t(b));
      EXPECT_EQ(code_page_holds(1252, text), b != '?') << at;
      encode_code_page(1252, text, reused);
      EXPECT_EQ(reused, bytes) << at;
    }
  encode_code_page(1252, L"", reused);
  EXPECT_TRUE(reused.empty());
  EXPECT_TRUE(code_page_holds(1252, L""));
  EXPECT_FALSE(code_page_holds(1252, L"abc\u00e9\u20ac\u0416"));
  EXPECT_TRUE(code_page_holds(1252, L"abc\u00e9\u20ac\u0081"));
}

TEST(CodePage, OtherCodePagesAreRefusedClearly) {
  EXPECT_FALSE(code_page_supported(1251));
  EXPECT_TRUE(code_page_supported(1252));
  EXPECT_EQ(error_of([] { encode_code_page(1251, L"a"); }), dao_error::unrecognized_format);
  EXPECT_EQ(error_of([] { decode_code_page(932, bytes_of({0x41})); }), dao_error::unrecognized_format);
  std::vector<uint8_t> out;
  EXPECT_EQ(error_of([&] { encode_code_page(1251, L"a", out); }), dao_error::unrecognized_format);
  EXPECT_EQ(error_of([] { code_page_holds(1251, L"a"); }), dao_error::unrecognized_format);
}

// The value codec stores Jet 3 text through the code page: no compression marker, one byte per character.
TEST(CodePage, ValueCodecUsesTheCodePageForJet3Text) {
  const format& f = format::jet3();
  const std::wstring s = L"M\u00fcller \u20ac \u0416";
  const auto stored = encode_text(f, s, true);
  EXPECT_EQ(stored, bytes_of({'M', 0xFC, 'l', 'l', 'e', 'r', ' ', 0x80, ' ', '?'}));
  EXPECT_EQ(decode_text(f, stored), L"M\u00fcller \u20ac ?");
  // Jet 4 text is unchanged: UTF-16LE (compressed where allowed).
  EXPECT_EQ(decode_text(format::jet4(), encode_text(format::jet4(), s, true)), s);

  column_def c;
  c.type = column_type::text;
  c.length = 10;  // Jet 3: characters
  EXPECT_EQ(text_limit(f, c), 10u);
  EXPECT_EQ(text_limit(format::jet4(), c), 5u);
  EXPECT_NO_THROW(coerce(f, c, value::text(L"0123456789")));
  EXPECT_EQ(error_of([&] { coerce(f, c, value::text(L"0123456789a")); }), dao_error::field_too_small);
}

}  // namespace
}  // namespace jet
