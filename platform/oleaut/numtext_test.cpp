// Number texts: the C reading rules, the decimal grammar, exact scaling and the printf forms.
#include "platform/oleaut/numtext.h"

#include <gtest/gtest.h>

#include <cmath>
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
