// Access names compare without regard to case, beyond ASCII too: every letter of Latin (to Latin Extended-B),
// Greek and Cyrillic (with its supplement) that has another case is the same name as it, and no two different
// letters are. The letters and their cases are walked one by one as the C library's Unicode data (C.UTF-8) gives
// them, so a range the folding drops fails here.
#include <gtest/gtest.h>
#include <locale.h>
#include <wctype.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>

#include "platform/jet/table_def.h"

namespace {

std::string hex(unsigned c) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", c);
  return text;
}

TEST(AccessNames, EveryLetterIsTheSameNameAsItsOtherCase) {
  locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
  ASSERT_NE(unicode, locale_t(0));
  const std::pair<unsigned, unsigned> blocks[] = {{0x0000, 0x024F}, {0x0370, 0x03FF}, {0x0400, 0x052F}};
  int pairs = 0;
  std::map<std::wstring, wchar_t> letter_of_fold;  // each folded form stands for one letter of the data
  for (const auto& [first, last] : blocks) {
    for (unsigned c = first; c <= last; ++c) {
      const std::wstring letter(1, wchar_t(c));
      const wchar_t upper = wchar_t(towupper_l(wchar_t(c), unicode)), lower = wchar_t(towlower_l(wchar_t(c), unicode));
      if (upper != wchar_t(c) && c != 0x345) {  // U+0345, a combining mark, is no letter of a name
        EXPECT_TRUE(jet::same_name(letter, std::wstring(1, upper))) << hex(c) << " and " << hex(upper);
        EXPECT_EQ(jet::folded_name(letter), jet::folded_name(std::wstring(1, upper))) << hex(c);
        ++pairs;
      }
      if (lower != wchar_t(c) && wchar_t(towupper_l(lower, unicode)) == wchar_t(c)) {
        EXPECT_TRUE(jet::same_name(letter, std::wstring(1, lower))) << hex(c) << " and " << hex(lower);
        ++pairs;
      }
      if (!iswalpha_l(wchar_t(c), unicode) || c == 0x345) continue;
      const wchar_t standing_for = upper != wchar_t(c) ? upper : wchar_t(c);
      auto [at, added] = letter_of_fold.emplace(jet::folded_name(letter), standing_for);
      EXPECT_TRUE(added || at->second == standing_for)
          << hex(c) << " is the same name as " << hex(at->second) << " but another letter";
    }
  }
  freelocale(unicode);
  EXPECT_GT(pairs, 780);  // both directions of every pair: the data was there to walk

  // Whole names, and what stays apart.
  EXPECT_TRUE(jet::same_name(L"\u038C\u03BD\u03BF\u03BC\u03B1 \u0218ir \u0490\u0430\u043D\u043E\u043A",
                             L"\u03CC\u039D\u039F\u039C\u0391 \u0219IR \u0491\u0410\u041D\u041E\u041A"));
  EXPECT_TRUE(jet::same_name(L"\u03C3\u03C2", L"\u03A3\u03A3"));  // final sigma
  EXPECT_FALSE(jet::same_name(L"\u00E9t\u00E9", L"ete"));
  EXPECT_FALSE(jet::same_name(L"\u00DF", L"SS"));
  EXPECT_FALSE(jet::same_name(L"a1", L"a2"));
}

}  // namespace
