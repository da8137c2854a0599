// DECIMAL, currency and double-to-integer conversions: exact texts, half-to-even rounding and range checks.
#include "platform/oleaut/decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/oleaut/bstr.h"
#include "platform/oleaut/currency.h"
#include "platform/oleaut/numconv.h"
#include "platform/oleaut/numtext.h"

namespace {

std::string dec_text(const DECIMAL& d) {
  std::string out;
  oa_append_decimal(out, d);
  return out;
}

TEST(Decimal, TextRoundTrip) {
  struct row {
    const char* in;
    const char* out;
    int scale;
  };
  const row rows[] = {
      {"0", "0", 0},
      {"1", "1", 0},
      {"1.0", "1", 0},
      {"1.500", "1.5", 1},
      {"-1.5", "-1.5", 1},
      {"-0.00", "0", 0},
      {"4294967295", "4294967295", 0},
      {"4294967296.0", "4294967296", 0},
      {"18446744073709551616", "18446744073709551616", 0},
      {"79228162514264337593543950335", "79228162514264337593543950335", 0},
      {"7.9228162514264337593543950335", "7.9228162514264337593543950335", 28},
      {"0.0000000001", "0.0000000001", 10},
      {"0.0000000000000000000000000001", "0.0000000000000000000000000001", 28},
      {"-12345678.90", "-12345678.9", 1},
      {" 12.5 ", "12.5", 1},
      {"1e3", "1000", 0},
      {"1.25e-2", "0.0125", 4},
      {"-0.50", "-0.5", 1},
      {"123456789012345678901234567.8", "123456789012345678901234567.8", 1},
  };
  for (const row& r : rows) {
    DECIMAL d;
    ASSERT_EQ(VarDecFromStr(std::string_view(r.in), &d), S_OK) << r.in;
    EXPECT_EQ(dec_text(d), r.out) << r.in;
    EXPECT_EQ(d.scale, r.scale) << r.in;
    BSTR b = nullptr;
    ASSERT_EQ(VarBstrFromDec(&d, &b), S_OK);
    std::wstring wide(r.out, r.out + std::string(r.out).size());
    EXPECT_EQ(oa_bstr_view(b), wide);
    SysFreeString(b);
  }
}

TEST(Decimal, TextOutsideTheTypeFails) {
  const char* overflow[] = {
      "79228162514264337593543950336",                                          // 2^96
      "0.00000000000000000000000000001",                                        // scale 29
      "0.000000000000000000000000000001",                                       // DECIMAL(65,30) smallest step
      "-12345678901234567890123456789012345.123456789012345678901234567890",    // DECIMAL(65,30)
      "99999999999999999999999999999999999.999999999999999999999999999999",
      "1e29",
      "1.00000000000000000000000000001",
  };
  for (const char* text : overflow) {
    DECIMAL d;
    EXPECT_EQ(VarDecFromStr(std::string_view(text), &d), DISP_E_OVERFLOW) << text;
  }
  const char* not_numbers[] = {"", "abc", "1,5", "12,345.6", "$5", "1.2.3"};
  for (const char* text : not_numbers) {
    DECIMAL d;
    EXPECT_EQ(VarDecFromStr(std::string_view(text), &d), DISP_E_TYPEMISMATCH) << text;
  }
  // Trailing zeros of a long fraction are dropped before the scale is judged.
  DECIMAL d;
  EXPECT_EQ(VarDecFromStr(std::string_view("1.000000000000000000000000000000000000000000000000000"), &d), S_OK);
  EXPECT_EQ(dec_text(d), "1");
}

// A double from a decimal is the nearest to its value, as reading the decimal's text gives it, on either side of
// the short way (magnitudes below 2^53, scales up to 22) and for both signs and zero.
TEST(Decimal, ToDoubleIsTheTextsNearest) {
  const char* const texts[] = {"0", "-0.00", "0.1", "-0.3", "12.50", "4999.99", "0.0000000000000000000001",
                               "9007199254740991", "9007199254740993", "900719925474099.3", "-123456789.0123456",
                               "1.7976931348623157", "0.00000000000000000000012345", "79228162514264337593543950335",
                               "-7.9228162514264337593543950335", "3.14159265358979323846264338", "1e-22"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    DECIMAL d;
    ASSERT_EQ(VarDecFromStr(std::string_view(text), &d), S_OK);
    std::string printed;
    oa_append_decimal(printed, d);
    double expected = 0, got = 0;
    ASSERT_TRUE(oa_parse_double(std::string_view(printed), &expected));
    ASSERT_EQ(VarR8FromDec(&d, &got), S_OK);
    EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << got << " " << expected;
  }
}

TEST(Decimal, ToIntegersRoundHalfToEven) {
  struct row {
    const char* text;
    int32_t i4;
  };
  const row rows[] = {{"2.5", 2}, {"3.5", 4}, {"-2.5", -2}, {"-3.5", -4}, {"0.5", 0}, {"0.5000001", 1},
                      {"2147483647.4", 2147483647}, {"-2147483648.5", -2147483647 - 1}};
  for (const row& r : rows) {
    DECIMAL d;
    ASSERT_EQ(VarDecFromStr(std::string_view(r.text), &d), S_OK);
    int32_t i4 = 0;
    EXPECT_EQ(VarI4FromDec(&d, &i4), S_OK) << r.text;
    EXPECT_EQ(i4, r.i4) << r.text;
  }
  DECIMAL d;
  VarDecFromStr(std::string_view("2147483647.5"), &d);
  int32_t i4;
  EXPECT_EQ(VarI4FromDec(&d, &i4), DISP_E_OVERFLOW);
  VarDecFromStr(std::string_view("-0.5"), &d);
  uint32_t u4 = 7;
  EXPECT_EQ(VarUI4FromDec(&d, &u4), S_OK);
  EXPECT_EQ(u4, 0u);
  VarDecFromStr(std::string_view("-0.6"), &d);
  EXPECT_EQ(VarUI4FromDec(&d, &u4), DISP_E_OVERFLOW);
  VarDecFromStr(std::string_view("18446744073709551615"), &d);
  uint64_t u8;
  int64_t i8;
  EXPECT_EQ(VarUI8FromDec(&d, &u8), S_OK);
  EXPECT_EQ(u8, std::numeric_limits<uint64_t>::max());
  EXPECT_EQ(VarI8FromDec(&d, &i8), DISP_E_OVERFLOW);
  VarDecFromStr(std::string_view("-128.4"), &d);
  int8_t i1;
  EXPECT_EQ(VarI1FromDec(&d, &i1), S_OK);
  EXPECT_EQ(i1, -128);
  VarDecFromStr(std::string_view("32768"), &d);
  int16_t i2;
  EXPECT_EQ(VarI2FromDec(&d, &i2), DISP_E_OVERFLOW);
}

TEST(Decimal, FromIntegersAndDoubles) {
  DECIMAL d;
  VarDecFromI8(std::numeric_limits<int64_t>::min(), &d);
  EXPECT_EQ(dec_text(d), "-9223372036854775808");
  VarDecFromUI8(std::numeric_limits<uint64_t>::max(), &d);
  EXPECT_EQ(dec_text(d), "18446744073709551615");
  ASSERT_EQ(VarDecFromR8(0.1, &d), S_OK);
  EXPECT_EQ(dec_text(d), "0.1");
  ASSERT_EQ(VarDecFromR8(-1.5e20, &d), S_OK);
  EXPECT_EQ(dec_text(d), "-150000000000000000000");
  ASSERT_EQ(VarDecFromR8(1e-30, &d), S_OK);
  EXPECT_EQ(dec_text(d), "0");
  EXPECT_EQ(VarDecFromR8(1e30, &d), DISP_E_OVERFLOW);
  EXPECT_EQ(VarDecFromR8(std::nan(""), &d), DISP_E_OVERFLOW);
  // Decimal to double is correctly rounded.
  double r8;
  VarDecFromStr(std::string_view("0.3"), &d);
  ASSERT_EQ(VarR8FromDec(&d, &r8), S_OK);
  EXPECT_EQ(r8, 0.3);
  VarDecFromStr(std::string_view("-12345678.90"), &d);
  ASSERT_EQ(VarR8FromDec(&d, &r8), S_OK);
  EXPECT_EQ(r8, -12345678.9);
  VarDecFromStr(std::string_view("79228162514264337593543950335"), &d);
  ASSERT_EQ(VarR8FromDec(&d, &r8), S_OK);
  EXPECT_EQ(r8, 7.922816251426434e28);
}

std::string cy_text(CY c) {
  std::string out;
  oa_append_currency(out, c);
  return out;
}

TEST(Currency, TextAndRounding) {
  struct row {
    const char* in;
    int64_t units;
    const char* out;
  };
  const row rows[] = {
      {"1.5", 15000, "1.5"},
      {"0.0009", 9, "0.0009"},
      {"-1.5", -15000, "-1.5"},
      {"0.00005", 0, "0"},
      {"0.00015", 2, "0.0002"},
      {"0.00025", 2, "0.0002"},
      {"-0.00015", -2, "-0.0002"},
      {"922337203685477.5807", std::numeric_limits<int64_t>::max(), "922337203685477.5807"},
      {"-922337203685477.5808", std::numeric_limits<int64_t>::min(), "-922337203685477.5808"},
      {"12", 120000, "12"},
  };
  for (const row& r : rows) {
    CY c;
    ASSERT_EQ(VarCyFromStr(std::string_view(r.in), &c), S_OK) << r.in;
    EXPECT_EQ(c.int64, r.units) << r.in;
    EXPECT_EQ(cy_text(c), r.out) << r.in;
  }
  CY c;
  EXPECT_EQ(VarCyFromStr(std::string_view("922337203685477.5808"), &c), DISP_E_OVERFLOW);
  EXPECT_EQ(VarCyFromStr(std::wstring_view(L"1,5"), &c), DISP_E_TYPEMISMATCH);
  BSTR b = nullptr;
  c.int64 = -15000;
  ASSERT_EQ(VarBstrFromCy(c, &b), S_OK);
  EXPECT_EQ(oa_bstr_view(b), L"-1.5");
  SysFreeString(b);
}

TEST(Currency, Conversions) {
  CY c{25000};  // 2.5
  int32_t i4;
  ASSERT_EQ(VarI4FromCy(c, &i4), S_OK);
  EXPECT_EQ(i4, 2);
  c.int64 = -35000;
  ASSERT_EQ(VarI4FromCy(c, &i4), S_OK);
  EXPECT_EQ(i4, -4);
  c.int64 = 30000000000000LL;
  EXPECT_EQ(VarI4FromCy(c, &i4), DISP_E_OVERFLOW);
  ASSERT_EQ(VarCyFromR8(0.00015, &c), S_OK);
  EXPECT_EQ(c.int64, 2);
  EXPECT_EQ(VarCyFromR8(1e300, &c), DISP_E_OVERFLOW);
  EXPECT_EQ(VarCyFromI8(std::numeric_limits<int64_t>::max(), &c), DISP_E_OVERFLOW);
  double r8;
  c.int64 = 1;
  ASSERT_EQ(VarR8FromCy(c, &r8), S_OK);
  EXPECT_EQ(r8, 0.0001);
  DECIMAL d;
  VarDecFromStr(std::string_view("1.23456"), &d);
  ASSERT_EQ(VarCyFromDec(&d, &c), S_OK);
  EXPECT_EQ(c.int64, 12346);
}

TEST(NumConv, DoubleToIntegerHalfEvenAndRangeChecked) {
  int64_t i8 = 0;
  const double halves[][2] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {0.49999999999999994, 0}, {-0.5, 0}};
  for (const auto& h : halves) {
    ASSERT_EQ(VarI8FromR8(h[0], &i8), S_OK);
    EXPECT_EQ(static_cast<double>(i8), h[1]) << h[0];
  }
  EXPECT_EQ(VarI8FromR8(9223372036854775808.0, &i8), DISP_E_OVERFLOW);
  ASSERT_EQ(VarI8FromR8(-9223372036854775808.0, &i8), S_OK);
  EXPECT_EQ(i8, std::numeric_limits<int64_t>::min());
  EXPECT_EQ(VarI8FromR8(std::nan(""), &i8), DISP_E_OVERFLOW);
  EXPECT_EQ(VarI8FromR8(-INFINITY, &i8), DISP_E_OVERFLOW);
  uint64_t u8;
  EXPECT_EQ(VarUI8FromR8(18446744073709551616.0, &u8), DISP_E_OVERFLOW);
  ASSERT_EQ(VarUI8FromR8(18446744073709549568.0, &u8), S_OK);
  EXPECT_EQ(u8, 18446744073709549568ull);
  EXPECT_EQ(VarUI8FromR8(-1.0, &u8), DISP_E_OVERFLOW);
  int32_t i4 = 99;
  EXPECT_EQ(VarI4FromR8(2147483647.5, &i4), DISP_E_OVERFLOW);
  EXPECT_EQ(i4, 99);
  ASSERT_EQ(VarI4FromR8(2147483647.4, &i4), S_OK);
  EXPECT_EQ(i4, 2147483647);
  int16_t i2;
  EXPECT_EQ(VarI2FromR8(-32768.5, &i2), S_OK);
  EXPECT_EQ(i2, -32768);
  EXPECT_EQ(VarI2FromR8(-32769.0, &i2), DISP_E_OVERFLOW);
  uint16_t u2;
  EXPECT_EQ(VarUI2FromR8(65536.0, &u2), DISP_E_OVERFLOW);
  uint8_t u1;
  EXPECT_EQ(VarUI1FromR8(255.5, &u1), DISP_E_OVERFLOW);  // rounds to the even 256
  ASSERT_EQ(VarUI1FromR8(254.5, &u1), S_OK);
  EXPECT_EQ(u1, 254);
}

}  // namespace
