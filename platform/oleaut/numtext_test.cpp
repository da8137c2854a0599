// Number texts: the C reading rules, the decimal grammar, exact scaling and the printf forms.
#include "platform/oleaut/numtext.h"

#include <gtest/gtest.h>

#include <locale.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <limits>

namespace {

TEST(NumText, CReadingRules) {
  EXPECT_EQ(oa_atoi("  42"), 42);
  EXPECT_EQ(oa_atoi("+7"), 7);
  EXPECT_EQ(oa_atoi("-128"), -128);
  EXPECT_EQ(oa_atoi("12abc"), 12);
  EXPECT_EQ(oa_atoi("abc"), 0);
  EXPECT_EQ(oa_atoi(""), 0);
  EXPECT_EQ(oa_atoi("99999999999"), 2147483647);
  EXPECT_EQ(oa_atoi("-99999999999"), -2147483647 - 1);
  EXPECT_EQ(oa_atoi64("-9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(oa_atoi64("9223372036854775808"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(oa_atoi64("99999999999999999999999"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(oa_strtoull("18446744073709551615"), std::numeric_limits<uint64_t>::max());
  EXPECT_EQ(oa_strtoull("18446744073709551616"), std::numeric_limits<uint64_t>::max());
  EXPECT_EQ(oa_strtoull("-1"), std::numeric_limits<uint64_t>::max());
  EXPECT_EQ(oa_scan_u32("4294967295"), 4294967295u);
  EXPECT_EQ(oa_scan_u32("4294967296"), 4294967295u);
  EXPECT_EQ(oa_scan_u32("-1"), 4294967295u);
  // A view needs no terminator: the digits after its end are not read.
  EXPECT_EQ(oa_atoi(std::string_view("12345", 2)), 12);
}

// Server texts of numbers are read as strtod in the C locale reads them, bit for bit: long digit runs, halfway
// cases, the ends of the range, subnormals, values beyond the range, zeros and odd forms.
TEST(NumText, AtofReadsEveryNumberAsStrtodDoes) {
  locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  auto same_as_strtod = [&](const std::string& text) {
    char* end = nullptr;
    double expected = strtod_l(text.c_str(), &end, c);
    if (end == text.c_str()) expected = 0.0;
    const double got = oa_atof(text);
    if (std::isnan(expected)) {
      EXPECT_TRUE(std::isnan(got)) << text;
      return;
    }
    uint64_t a = 0, b = 0;
    std::memcpy(&a, &expected, 8);
    std::memcpy(&b, &got, 8);
    EXPECT_EQ(a, b) << text;
  };
  for (const char* t : {"0", "-0", "0.0", "-0.000", "1", "-1", "1.", "1.e5", "00012.50", "9007199254740993",
                        "9007199254740992.5", "0.1", "0.30000000000000004", "2.2250738585072011e-308",
                        "2.2250738585072014e-308", "4.9406564584124654e-324", "2.4703282292062328e-324",
                        "2.4703282292062327e-324", "1e-400", "-1e-400", "1.7976931348623157e308",
                        "1.7976931348623159e308", "1e309", "-1e309", "123456789012345678901234567890", "1E+10",
                        "1e+0", "1e-0", "-.5", ".5", "+1.5", " 1.5", "1.5 ", "1.5e", "1e+", "--1", "1..2", "0x1p3",
                        "inf", "-Infinity", "nan", "", "-", "1,5"})
    same_as_strtod(t);
  std::mt19937_64 rng(17);
  for (int i = 0; i < 20000; ++i) {
    std::string text = rng() % 4 == 0 ? "-" : "";
    const int whole = int(rng() % 20) + 1;
    for (int k = 0; k < whole; ++k) text += char('0' + rng() % 10);
    if (rng() % 3 != 0) {
      text += '.';
      const int fraction = int(rng() % 25);
      for (int k = 0; k < fraction; ++k) text += char('0' + rng() % 10);
    }
    if (rng() % 4 == 0) text += "e" + std::to_string(int(rng() % 700) - 350);
    same_as_strtod(text);
  }
  freelocale(c);
}

TEST(NumText, Atof) {
  EXPECT_EQ(oa_atof("12.5"), 12.5);
  EXPECT_EQ(oa_atof(" -1.5e3xyz"), -1500.0);
  EXPECT_EQ(oa_atof("abc"), 0.0);
  EXPECT_EQ(oa_atof("1.7976931348623157e308"), 1.7976931348623157e308);
  EXPECT_EQ(oa_atof("5e-324"), 5e-324);
  EXPECT_TRUE(std::isinf(oa_atof("1e999")));
  EXPECT_TRUE(std::isnan(oa_atof("nan")));
  EXPECT_EQ(oa_atof("0.1"), 0.1);
  std::string long_text(100000, '1');
  long_text.insert(1, ".");
  EXPECT_NEAR(oa_atof(long_text), 1.1111111111111112, 1e-15);
}

TEST(NumText, ParseNumberGrammar) {
  struct row {
    const char* text;
    bool ok;
  };
  const row rows[] = {{"1", true},      {" -1.5 ", true}, {".5", true},   {"5.", true},    {"1e3", true},
                      {"1E-3", true},   {"+0", true},     {"", false},    {".", false},    {"1,5", false},
                      {"1e", false},    {"1 2", false},   {"$1", false},  {"(1)", false},  {"1-", false},
                      {"0x10", false},  {"\t7\n", true},  {"--1", false}, {"1e+5", true}};
  for (const row& r : rows) {
    oa_number n;
    EXPECT_EQ(oa_parse_number(std::string_view(r.text), &n), r.ok) << r.text;
  }
  oa_number n;
  ASSERT_TRUE(oa_parse_number(std::string_view("-000123.4500e1"), &n));
  EXPECT_TRUE(n.negative);
  EXPECT_EQ(n.count, 5);  // 12345
  EXPECT_EQ(n.point, 4);  // 1234.5
  ASSERT_TRUE(oa_parse_number(std::wstring_view(L"-0.000"), &n));
  EXPECT_EQ(n.count, 0);
  EXPECT_FALSE(n.negative);
}

TEST(NumText, ScaledRoundsHalfToEven) {
  struct row {
    const char* text;
    int scale;
    uint64_t expected;
  };
  const row rows[] = {{"2.5", 0, 2},         {"3.5", 0, 4},          {"2.5000001", 0, 3}, {"0.00005", 4, 0},
                      {"0.00015", 4, 2},     {"0.00025", 4, 2},      {"0.4", 0, 0},       {"0.5", 0, 0},
                      {"0.51", 0, 1},        {"1234.5678", 2, 123457}, {"1e-50", 4, 0},   {"12", 3, 12000}};
  for (const row& r : rows) {
    oa_number n;
    ASSERT_TRUE(oa_parse_number(std::string_view(r.text), &n)) << r.text;
    unsigned __int128 magnitude;
    ASSERT_TRUE(oa_number_scaled(n, r.scale, ~static_cast<unsigned __int128>(0) >> 30, &magnitude)) << r.text;
    EXPECT_EQ(static_cast<uint64_t>(magnitude), r.expected) << r.text;
  }
  oa_number n;
  ASSERT_TRUE(oa_parse_number(std::string_view("256"), &n));
  unsigned __int128 magnitude;
  EXPECT_FALSE(oa_number_scaled(n, 0, 255, &magnitude));
  ASSERT_TRUE(oa_parse_number(std::string_view("1e60"), &n));
  EXPECT_FALSE(oa_number_scaled(n, 0, ~static_cast<unsigned __int128>(0) >> 30, &magnitude));
}

TEST(NumText, ParseDouble) {
  double d;
  ASSERT_TRUE(oa_parse_double(std::string_view(" +12.5 "), &d));
  EXPECT_EQ(d, 12.5);
  ASSERT_TRUE(oa_parse_double(std::wstring_view(L"1e-400"), &d));
  EXPECT_EQ(d, 0.0);
  EXPECT_FALSE(oa_parse_double(std::string_view("1e400"), &d));
  EXPECT_FALSE(oa_parse_double(std::string_view("12abc"), &d));
  EXPECT_FALSE(oa_parse_double(std::string_view("nan"), &d));
}

TEST(NumText, PrintForms) {
  struct row {
    double value;
    const char* e16;
    const char* g15;
  };
  const row rows[] = {
      {12.5, "1.2500000000000000e+01", "12.5"},
      {0.1, "1.0000000000000001e-01", "0.1"},
      {1e20, "1.0000000000000000e+20", "1E+20"},
      {5e-324, "4.9406564584124654e-324", "4.94065645841247E-324"},
      {-0.0, "-0.0000000000000000e+00", "-0"},
      {1.7976931348623157e308, "1.7976931348623157e+308", "1.79769313486232E+308"},
      {-9223372036854775808.0, "-9.2233720368547758e+18", "-9.22337203685478E+18"},
  };
  for (const row& r : rows) {
    std::string e, g;
    oa_append_e(e, r.value, 16);
    oa_append_g(g, r.value, 15);
    EXPECT_EQ(e, r.e16);
    EXPECT_EQ(g, r.g15);
  }
  std::string f;
  oa_append_e(f, 0.1f, 6);
  EXPECT_EQ(f, "1.000000e-01");
  std::string i;
  oa_append_int(i, std::numeric_limits<int64_t>::min());
  i.push_back(' ');
  oa_append_u128(i, (static_cast<unsigned __int128>(1) << 96) - 1);
  EXPECT_EQ(i, "-9223372036854775808 79228162514264337593543950335");
}

}  // namespace
