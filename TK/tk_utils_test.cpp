#include "TK/tk_utils.h"

#include <clocale>
#include <gtest/gtest.h>

#include "TK/tk_singl.h"

TEST(Encodings, ConversionsAreUtf8BothWays) {
  const std::wstring w = L"Stra\u00dfe \u4e2d\u6587 \U0001F600";
  const std::string u = "Stra\xc3\x9f" "e \xe4\xb8\xad\xe6\x96\x87 \xf0\x9f\x98\x80";
  EXPECT_EQ(tk_to_utf8(w), u);
  EXPECT_EQ(tk_to_ansi(w), u);
  EXPECT_EQ(tk_to_ansi(w, CP_UTF8), u);
  EXPECT_EQ(tk_utf8_to_unicode(u), w);
  EXPECT_EQ(tk_ansi_to_unicode_acp(u), w);
  std::wstring out = L"keep";
  EXPECT_FALSE(tk_ansi_to_unicode(nullptr, out));
  EXPECT_EQ(out, L"keep");
  EXPECT_TRUE(tk_ansi_to_unicode(u.c_str(), out));
  EXPECT_EQ(out, w);
}

TEST(Encodings, UnknownCodePageRaisesWithPrefix) {
  try {
    tk_to_ansi(L"x", 1252);
    FAIL();
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.level, 0);
    EXPECT_EQ(std::string(e.what()).rfind("Cannot convert to ANSI string: ", 0), 0u);
  }
}

TEST(Encodings, AnsiOutputsAreSizedByNeed) {
  // Three bytes per character do not fit a two-bytes-per-character estimate; the text must survive whole.
  const std::wstring cjk = L"\u4e2d\u6587\u8868";
  std::string out;
  ASSERT_TRUE(tk_unicode_to_ansi2(cjk.c_str(), out));
  EXPECT_EQ(out, "\xe4\xb8\xad\xe6\x96\x87\xe8\xa1\xa8");
  ASSERT_TRUE(tk_unicode_to_ansi3(cjk.c_str(), out));
  EXPECT_EQ(out.size(), 9u);
  EXPECT_FALSE(tk_unicode_to_ansi2(nullptr, out));

  char buf[10];
  EXPECT_TRUE(tk_unicode_to_ansi1(cjk.c_str(), buf, sizeof buf));
  EXPECT_STREQ(buf, "\xe4\xb8\xad\xe6\x96\x87\xe8\xa1\xa8");
  EXPECT_FALSE(tk_unicode_to_ansi1(cjk.c_str(), buf, 9));  // no room for the terminator

  char path[8];
  EXPECT_EQ(tk_wide_to_multibyte(path, L"/tmp/a", sizeof path, CP_ACP), path);
  EXPECT_STREQ(path, "/tmp/a");
  EXPECT_EQ(tk_wide_to_multibyte(path, L"/tmp/abcdef", sizeof path, CP_ACP), nullptr);
  EXPECT_STREQ(path, "");
  EXPECT_EQ(tk_wide_to_multibyte(nullptr, L"x", 4, CP_ACP), nullptr);
}

TEST(Formatting, WideFormatRewrite) {
  EXPECT_EQ(tk_ms_wformat(L"%s %c %ls %lc %%s %-10.3s %*s %I64d %I64u %I32d %Id %d %hs"),
            L"%ls %lc %ls %lc %%s %-10.3ls %*ls %lld %llu %d %zd %d %hs");
  EXPECT_EQ(tk_wformat(L"%s, record #%d", L"Orders", 5), L"Orders, record #5");
  EXPECT_EQ(tk_wformat(L"[%s]", std::wstring(3000, L'x').c_str()).size(), 3002u);
}

TEST(Formatting, NarrowHelpersAreLocaleFreeAndNeverOverflow) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
  EXPECT_EQ(tk_format("%.3f|%d|%s", 3.25, -7, "x"), "3.250|-7|x");
  EXPECT_EQ(tk_wformat(L"%.1f", 0.5), L"0.5");
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_TRUE(german) << "de_DE.UTF-8 locale missing: the locale independence was not tested";

  EXPECT_EQ(tk_format("%s", std::string(5000, 'y').c_str()).size(), 5000u);
  char buf[6];
  EXPECT_EQ(tk_snprintf(buf, sizeof buf, "%s", "abc"), 3);
  EXPECT_EQ(tk_snprintf(buf, sizeof buf, "ab%s", "\xc3\xbc\xc3\xbc"), -1);
  EXPECT_STREQ(buf, "ab\xc3\xbc");  // cut before the half character
  wchar_t wbuf[4];
  EXPECT_EQ(tk_swprintf_ms(wbuf, 4, L"%s", L"abcdef"), -1);
  EXPECT_EQ(std::wstring(wbuf), L"abc");
}

TEST(Strings, TrimsSplitsReplacesAndHex) {
  EXPECT_EQ(tk_wtrim(L"  a b  "), L"a b");
  EXPECT_EQ(tk_wtrim(L"   "), L"");
  EXPECT_EQ(tk_wtrim(L"\ta\t"), L"\ta\t");
  EXPECT_EQ(tk_trim(" x "), "x");
  EXPECT_EQ(tk_rtrim("  x  "), "  x");
  EXPECT_EQ(tk_wrtrim(L"    "), L"");

  EXPECT_TRUE(tk_split("", ',').empty());
  EXPECT_EQ(tk_split("a", ','), (std::vector<std::string>{"a"}));
  EXPECT_EQ(tk_split("a,,b,", ','), (std::vector<std::string>{"a", "", "b", ""}));

  tk_string s("a.b.c");
  EXPECT_EQ(s.replace_all(".", ".."), "a..b..c");  // the inserted text is not searched again
  EXPECT_EQ(s.replace_all("", "x"), "a..b..c");
  tk_wstring w(L"ab AB \u00c4");
  EXPECT_EQ(w.replace_all(L"ab", L"abab"), L"abab AB \u00c4");
  EXPECT_EQ(w.to_lower(), L"abab ab \u00c4");  // only A-Z

  const unsigned char bytes[] = {0x00, 0xAF, 0x9B};
  char hex[7];
  tk_bin_to_hex(3, bytes, hex);
  EXPECT_STREQ(hex, "00AF9B");
  wchar_t whex[7];
  tk_bin_to_hex_w(3, bytes, whex);
  EXPECT_EQ(std::wstring(whex), L"00AF9B");
  try {
    tk_bin_to_hex(3, bytes, nullptr);
    FAIL();
  } catch (const tk_exception& e) {
    EXPECT_STREQ(e.what(), tk_mail_assertion("tk_utils", 903).what());
  }
  EXPECT_THROW(tk_bin_to_hex_w(3, bytes, nullptr), tk_mail_assertion);
}

TEST(ProgramLocation, PathAndFolder) {
  const std::string exe = tk_get_module_file_name();
  const std::string dir = tk_get_module_dir();
  EXPECT_EQ(exe, dir + "tt_tk_test");
  EXPECT_EQ(tk_get_module_file_wname(), tk_utf8_to_unicode(exe));
}

TEST(Utils, SmallNumbersMustBeExact) {
  EXPECT_EQ(tk_small_number("2", 2), 2);
  EXPECT_EQ(tk_small_number("0", 3), 0);
  EXPECT_EQ(tk_small_number("65535", 65535), 65535);
  for (const char* bad : {"", "3", "01", "+1", " 1", "1 ", "1x", "-0", "-1", "99999999999"})
    EXPECT_EQ(tk_small_number(bad, 2), -1) << bad;
}
