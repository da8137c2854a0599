#include "TK/tk_nocase.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

// The process locale stays "C" (what a program gets before any setlocale call): the results must not need more.
class TkNoCase : public ::testing::Test {
 protected:
  void SetUp() override { std::setlocale(LC_ALL, "C"); }
};

TEST_F(TkNoCase, EqualIgnoresCaseOfAnyScript) {
  EXPECT_TRUE(tk_equal_nocase(L"Orders", L"ORDERS"));
  EXPECT_TRUE(tk_equal_nocase(L"\u00C4pfel", L"\u00E4PFEL"));             // Ä / ä
  EXPECT_TRUE(tk_equal_nocase(L"\u03A3\u03C3\u03C2", L"\u03C3\u03A3\u03A3"));  // Σ, σ and final ς
  EXPECT_TRUE(tk_equal_nocase(L"\u212A", L"k"));                          // Kelvin sign
  EXPECT_TRUE(tk_equal_nocase(L"\u0416", L"\u0436"));                     // Cyrillic Ж / ж
  EXPECT_TRUE(tk_equal_nocase(L"", L""));
}

TEST_F(TkNoCase, DifferentNamesStayDifferent) {
  EXPECT_FALSE(tk_equal_nocase(L"order", L"orders"));
  EXPECT_FALSE(tk_equal_nocase(L"a", L"b"));
  EXPECT_FALSE(tk_equal_nocase(L"i", L"\u0131"));  // dotless i has no simple folding onto i
  EXPECT_FALSE(tk_equal_nocase(L"e\u0301", L"\u00E9"));
  EXPECT_FALSE(tk_equal_nocase(L"@", L"`"));        // neighbours of the ASCII letter ranges
  EXPECT_FALSE(tk_equal_nocase(L"[", L"{"));
}

TEST_F(TkNoCase, FindAndLower) {
  EXPECT_EQ(tk_find_nocase(L"select * from T1, t1", L"t1"), 14u);
  EXPECT_EQ(tk_find_nocase(L"select * from T1, t1", L"t1", 15), 18u);
  EXPECT_EQ(tk_find_nocase(L"abc", L"abcd"), std::wstring_view::npos);
  EXPECT_EQ(tk_find_nocase(L"abc", L"c", 3), std::wstring_view::npos);
  EXPECT_EQ(tk_to_lower(L"Order \u00C4\u0416 X1"), L"order \u00E4\u0436 x1");
  EXPECT_TRUE(tk_is_alnum(L'7'));
  EXPECT_TRUE(tk_is_alnum(L'\u00E9'));
  EXPECT_FALSE(tk_is_alnum(L'_'));
  EXPECT_FALSE(tk_is_alnum(L' '));
}

}  // namespace
