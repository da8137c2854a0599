#include "platform/system/codepage.h"

#include <gtest/gtest.h>

TEST(Codepage, RoundTripsEveryPlane) {
  const std::wstring wide = L"A\u00e9\u4e2d\U0001F600z";
  const std::string utf8 = sys_wide_to_utf8(wide);
  EXPECT_EQ(utf8, "A\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80z");
  EXPECT_EQ(sys_utf8_to_wide(utf8), wide);
  EXPECT_EQ(sys_utf8_to_wide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
}

TEST(Codepage, ReplacesBadInputInsteadOfFailing) {
  // A lone continuation byte, a truncated sequence, an overlong '/', an encoded surrogate, a value above U+10FFFF.
  EXPECT_EQ(sys_utf8_to_wide("a\x80z"), L"a\uFFFDz");
  EXPECT_EQ(sys_utf8_to_wide("a\xe4\xb8"), L"a\uFFFD");
  EXPECT_EQ(sys_utf8_to_wide("\xe4\xb8z"), L"\uFFFDz");
  EXPECT_EQ(sys_utf8_to_wide("\xc0\xaf"), L"\uFFFD\uFFFD");
  EXPECT_EQ(sys_utf8_to_wide("\xed\xa0\x80"), L"\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(sys_utf8_to_wide("\xf4\x90\x80\x80"), L"\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(sys_utf8_to_wide("\xff"), L"\uFFFD");
  // Lone surrogates and out-of-range values in wide text.
  std::wstring bad;
  bad.push_back(static_cast<wchar_t>(0xD800));
  bad.push_back(static_cast<wchar_t>(0x110000));
  EXPECT_EQ(sys_wide_to_utf8(bad), "\xef\xbf\xbd\xef\xbf\xbd");
}

TEST(Codepage, CutsOnCharacterBoundaries) {
  const std::string s = "ab\xe4\xb8\xad";  // "ab" + one 3-byte character
  EXPECT_EQ(sys_utf8_cut(s.data(), s.size(), 10), 5u);
  EXPECT_EQ(sys_utf8_cut(s.data(), s.size(), 5), 5u);
  EXPECT_EQ(sys_utf8_cut(s.data(), s.size(), 4), 2u);
  EXPECT_EQ(sys_utf8_cut(s.data(), s.size(), 3), 2u);
  EXPECT_EQ(sys_utf8_cut(s.data(), s.size(), 2), 2u);
  const std::string junk(8, '\x80');
  EXPECT_EQ(sys_utf8_cut(junk.data(), junk.size(), 6), 6u);
}

TEST(Codepage, SupportedCodePages) {
  EXPECT_TRUE(sys_code_page_supported(-1));
  EXPECT_TRUE(sys_code_page_supported(0));
  EXPECT_TRUE(sys_code_page_supported(3));
  EXPECT_TRUE(sys_code_page_supported(65001));
  EXPECT_FALSE(sys_code_page_supported(1252));
}
