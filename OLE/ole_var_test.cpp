// ole_variant: text to value to text for every kind, type changes, copies, raw access and the numeric readers.
#include "OLE/ole_var.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "TK/tk_utils.h"
#include "platform/oleaut/bstr.h"
#include "platform/oleaut/safearray.h"
#include "platform/oleaut/variant.h"

namespace {

struct text_row {
  const char* text;
  VARTYPE type;
  VARTYPE result_type;
  const char* result;  // to_string() of the value
};

const text_row kTexts[] = {
    {"", VT_I4, VT_EMPTY, ""},
    {"", VT_DATE, VT_EMPTY, ""},
    {"", VT_ARRAY_UI1, VT_EMPTY, ""},
    {"", VT_BSTR, VT_BSTR, ""},
    {"-32768", VT_I2, VT_I2, "-32768"},
    {"12abc", VT_I2, VT_I2, "12"},
    {" 42", VT_I4, VT_I4, "42"},
    {"+7", VT_I4, VT_I4, "7"},
    {"abc", VT_I4, VT_I4, "0"},
    {"-2147483648", VT_I4, VT_I4, "-2147483648"},
    {"-128", VT_I1, VT_I1, "-128"},
    {"255", VT_UI1, VT_UI1, "255"},
    {"0", VT_UI1, VT_UI1, "0"},
    {"127", VT_I1, VT_I1, "127"},
    {"32767", VT_I2, VT_I2, "32767"},
    {"2147483647", VT_I4, VT_I4, "2147483647"},
    {"65535", VT_UI2, VT_UI2, "65535"},
    {"2021", VT_UI2, VT_UI2, "2021"},
    {"4294967295", VT_UI4, VT_UI4, "4294967295"},
    {"-9223372036854775808", VT_I8, VT_I8, "-9223372036854775808"},
    {"9223372036854775807", VT_I8, VT_I8, "9223372036854775807"},
    {"18446744073709551615", VT_UI8, VT_UI8, "18446744073709551615"},
    {"12,5", VT_R8, VT_R8, "1.2500000000000000e+01"},
    {"0.1", VT_R8, VT_R8, "1.0000000000000001e-01"},
    {"1.7976931348623157e308", VT_R8, VT_R8, "1.7976931348623157e+308"},
    {"5e-324", VT_R8, VT_R8, "4.9406564584124654e-324"},
    {"-0", VT_R8, VT_R8, "-0.0000000000000000e+00"},
    {"nan", VT_R8, VT_R8, "0"},
    {"inf", VT_R8, VT_R8, "inf"},
    {"0.1", VT_R4, VT_R4, "1.000000e-01"},
    {"3.40282e38", VT_R4, VT_R4, "3.402820e+38"},
    {"-1.17549e-38", VT_R4, VT_R4, "-1.175490e-38"},
    {"1.5", VT_CY, VT_CY, "1.5"},
    {"0,0009", VT_CY, VT_CY, "0.0009"},
    {"922337203685477.5808", VT_CY, VT_EMPTY, ""},
    {"abc", VT_CY, VT_EMPTY, ""},
    {"-12345678.90", VT_DECIMAL, VT_DECIMAL, "-12345678.9"},
    {"0.50", VT_DECIMAL, VT_DECIMAL, "0.5"},
    {"12,5", VT_DECIMAL, VT_DECIMAL, "12.5"},
    {"0.000000000000000000000000000001", VT_DECIMAL, VT_R8, "1.0000000000000001e-30"},
    {"2021-03-04 05:06:07.25", VT_DATE, VT_DATE, "2021-03-04 05:06:07.250000"},
    {"2021-02-29", VT_DATE, VT_EMPTY, ""},
    {"0001-01-01", VT_DATE, VT_EMPTY, ""},
    {"Yes", VT_BOOL, VT_BOOL, "1"},
    {"T", VT_BOOL, VT_BOOL, "1"},
    {"off", VT_BOOL, VT_BOOL, "0"},
    {"FALSE", VT_BOOL, VT_BOOL, "0"},
    {"2", VT_BOOL, VT_BOOL, "1"},
    {"0x0A1b", VT_ARRAY_UI1, VT_ARRAY_UI1, "0x0A1B"},
    {"\\x0a", VT_ARRAY_UI1, VT_ARRAY_UI1, "0x0A"},
    {"00FF41", VT_BLOB, VT_ARRAY_UI1, "0x00FF41"},
    {"0x", VT_ARRAY_UI1, VT_ARRAY_UI1, ""},
    {"ABC", VT_ARRAY_UI1, VT_EMPTY, ""},
    {"0xZZ", VT_ARRAY_UI1, VT_EMPTY, ""},
    {"h\xC3\xA9llo", VT_BSTR, VT_BSTR, "h\xC3\xA9llo"},
    {"42", VT_INT, VT_INT, ""},  // converted by the platform coercion; VT_INT has no text form
};

TEST(OleVariant, TextToValueToText) {
  for (const text_row& r : kTexts) {
    ole_variant v = ole_variant::from_string(r.text, r.type);
    EXPECT_EQ(v.vt(), r.result_type) << r.text << " as " << r.type;
    EXPECT_EQ(v.to_string(), r.result) << r.text << " as " << r.type;
    // The wide reader gives the same value.
    std::wstring wide = tk_utf8_to_unicode(r.text);
    ole_variant w = ole_variant::from_wstring(wide, r.type);
    EXPECT_EQ(w.vt(), r.result_type) << r.text;
    EXPECT_EQ(w.to_string(), r.result) << r.text;
  }
}

TEST(OleVariant, IntegerTextsBeyondTheirKindAreRefusedNotWrapped) {
  // One past each end of every integer kind, and a magnitude beyond 64 bits; the wide reader alike.
  const std::pair<const char*, VARTYPE> beyond[] = {
      {"-129", VT_I1},   {"128", VT_I1},          {"-1", VT_UI1},          {"256", VT_UI1},
      {"-32769", VT_I2}, {"32768", VT_I2},        {"70000", VT_I2},        {"-1", VT_UI2},
      {"65536", VT_UI2}, {"-2147483649", VT_I4},  {"2147483648", VT_I4},   {"-1", VT_UI4},
      {"4294967296", VT_UI4}, {"-9223372036854775809", VT_I8}, {"9223372036854775808", VT_I8},
      {"-1", VT_UI8},    {"18446744073709551616", VT_UI8}, {"99999999999999999999999", VT_I8}};
  for (const auto& [text, type] : beyond) {
    EXPECT_THROW(ole_variant::from_string(text, type), ole_cast_exception) << text << " as " << type;
    EXPECT_THROW(ole_variant::from_wstring(tk_utf8_to_unicode(text), type), ole_cast_exception) << text;
  }
  // A minus sign before zero is still zero, for unsigned kinds too.
  EXPECT_EQ(ole_variant::from_string("-0", VT_UI4).to_string(), "0");
}

TEST(OleVariant, TextReadersKeepWholeCells) {
  // No terminator is needed and none is looked for: the view's length decides.
  std::string cell("123456", 3);
  EXPECT_EQ(ole_variant::from_string(std::string_view("123456", 3), VT_I4).to_long(), 123);
  std::string with_nul("a\0b", 3);
  ole_variant text = ole_variant::from_string(with_nul, VT_BSTR);
  EXPECT_EQ(text.to_wstring(), std::wstring(L"a\0b", 3));
  // A multi-megabyte text and its hexadecimal twin convert without trouble.
  std::string big(6 * 1024 * 1024, 'x');
  ole_variant memo = ole_variant::from_string(big, VT_BSTR);
  EXPECT_EQ(SysStringLen(memo.variant.bstrVal), big.size());
  EXPECT_EQ(memo.to_string().size(), big.size());
  std::string hex = "0x" + std::string(4 * 1024 * 1024, 'A');
  ole_variant blob = ole_variant::from_string(hex, VT_ARRAY_UI1);
  ASSERT_EQ(ole_variant::get_safe_array_size(blob.variant.parray), 2u * 1024 * 1024);
  EXPECT_EQ(blob.to_string(), hex);
}

TEST(OleVariant, BooleansAndWords) {
  EXPECT_EQ(ole_variant::from_string("yes", VT_BOOL).variant.boolVal, VARIANT_TRUE);
  ole_variant t(std::wstring(L"TRUE"));
  t.change_type(VT_BOOL);
  EXPECT_EQ(t.vt(), VT_BOOL);
  EXPECT_TRUE(t.to_bool());
  ole_variant one(std::wstring(L"1"));
  EXPECT_THROW(one.change_type(VT_BOOL), ole_cast_exception);
  EXPECT_EQ(one.vt(), VT_BSTR);
  EXPECT_EQ(ole_variant(true).to_string(), "1");
  EXPECT_EQ(ole_variant(false).to_string(), "0");
}

TEST(OleVariant, ConstructorsPickTheirKinds) {
  // Each C++ type lands on its own tag; texts given as pointers are texts, never booleans.
  EXPECT_EQ(ole_variant(short{-5}).vt(), VT_I2);
  EXPECT_EQ(ole_variant(static_cast<unsigned short>(1)).vt(), VT_UI2);
  EXPECT_EQ(ole_variant(7).vt(), VT_I4);
  EXPECT_EQ(ole_variant(7u).vt(), VT_UI4);
  EXPECT_EQ(ole_variant(5000000000LL).variant.llVal, 5000000000LL);
  EXPECT_EQ(ole_variant(std::size_t{1}).vt(), VT_UI8);
  EXPECT_EQ(ole_variant(static_cast<signed char>(-1)).vt(), VT_I1);
  EXPECT_EQ(ole_variant(static_cast<unsigned char>(200)).vt(), VT_UI1);
  EXPECT_EQ(ole_variant(0.5f).vt(), VT_R4);
  EXPECT_EQ(ole_variant("abc").to_wstring(), L"abc");
  EXPECT_EQ(ole_variant(L"abc").to_string(), "abc");
  EXPECT_EQ(ole_variant(std::string("\xE2\x82\xAC")).to_wstring(), L"\u20AC");
  BSTR b = SysAllocStringLen(L"x\0y", 3);
  EXPECT_EQ(ole_variant::from_bstr(b).to_wstring(), std::wstring(L"x\0y", 3));
  SysFreeString(b);
  EXPECT_TRUE(is_numeric_vartype(VT_UI8));
  EXPECT_TRUE(is_numeric_vartype(VT_BOOL));
  EXPECT_FALSE(is_numeric_vartype(VT_DATE));
  EXPECT_FALSE(is_numeric_vartype(VT_ERROR));
  EXPECT_FALSE(is_numeric_vartype(VT_ARRAY_UI1));
}

TEST(OleVariant, EmptyBinaryStaysBinary) {
  ole_variant v{std::vector<uint8_t>()};
  EXPECT_EQ(v.vt(), VT_ARRAY_UI1);
  EXPECT_EQ(ole_variant::get_safe_array_size(v.variant.parray), 0u);
  EXPECT_EQ(v.to_string(), "");
  v.allocate_safe_array(0);  // an empty array is reused, not an error
  v.attach_binary(std::vector<uint8_t>{1, 2, 3});
  EXPECT_EQ(v.to_string(), "0x010203");
  v.allocate_safe_array(5);
  EXPECT_EQ(v.to_string(), "0x0102030000");
  ole_variant copy = v;
  EXPECT_NE(copy.variant.parray, v.variant.parray);
  v = std::vector<uint8_t>{9};
  EXPECT_EQ(v.to_string(), "0x09");
  EXPECT_EQ(copy.to_string(), "0x0102030000");
}

TEST(OleVariant, CopiesKeepSideValuesAndPayloads) {
  ole_variant big(int64_t{-5000000000});
  ole_variant date = ole_variant::from_string("2021-03-04 05:06:07.25", VT_DATE);
  ole_variant text(std::wstring(L"abc"));
  ole_variant a, b, c;
  a = big;
  b = date;
  c = text;
  EXPECT_EQ(a.to_string(), "-5000000000");
  EXPECT_EQ(b.to_string(), "2021-03-04 05:06:07.250000");
  EXPECT_DOUBLE_EQ(b.variant.date, 44259.212583912034);
  EXPECT_NE(c.variant.bstrVal, text.variant.bstrVal);
  ole_variant moved = std::move(c);
  EXPECT_EQ(moved.to_wstring(), L"abc");
  EXPECT_EQ(c.vt(), VT_EMPTY);
  a = a;
  EXPECT_EQ(a.to_string(), "-5000000000");
  ole_variant u(std::numeric_limits<uint64_t>::max());
  ole_variant u2(u);
  EXPECT_EQ(u2.to_string(), "18446744073709551615");
  // A swap exchanges whole values: the text's own string changes hands, the side values go with their tags.
  BSTR held = moved.variant.bstrVal;
  moved.swap(a);
  EXPECT_EQ(a.variant.bstrVal, held);
  EXPECT_EQ(moved.to_string(), "-5000000000");
  a.swap(b);
  EXPECT_EQ(a.to_string(), "2021-03-04 05:06:07.250000");
  EXPECT_EQ(b.to_wstring(), L"abc");
  static_assert(noexcept(a.swap(b)));
}

struct change_row {
  const char* text;
  VARTYPE from;
  VARTYPE to;
  bool throws;
  VARTYPE result_type;
  const char* result;
};

const change_row kChanges[] = {
    // Rule 2: nothing to do.
    {"", VT_I4, VT_R8, false, VT_EMPTY, ""},
    {"5", VT_I4, VT_I4, false, VT_I4, "5"},
    // Rule 4: 64-bit integers, range-checked.
    {"5000000000", VT_I8, VT_BSTR, false, VT_BSTR, "5000000000"},
    {"5000000000", VT_I8, VT_I4, true, VT_I8, "5000000000"},
    {"-5", VT_I8, VT_I2, false, VT_I2, "-5"},
    {"1", VT_I8, VT_BOOL, false, VT_BOOL, "1"},
    {"65536", VT_I8, VT_BOOL, false, VT_BOOL, "1"},
    {"0", VT_UI8, VT_BOOL, false, VT_BOOL, "0"},
    {"18446744073709551615", VT_UI8, VT_R8, false, VT_R8, "1.8446744073709552e+19"},
    {"18446744073709551615", VT_UI8, VT_DECIMAL, false, VT_DECIMAL, "18446744073709551615"},
    {"18446744073709551615", VT_UI8, VT_I8, true, VT_UI8, "18446744073709551615"},
    {"-1", VT_I8, VT_UI8, true, VT_I8, "-1"},
    {"42", VT_I8, VT_UI8, false, VT_UI8, "42"},
    {"42", VT_I8, VT_CY, false, VT_CY, "42"},
    {"42", VT_I8, VT_DATE, true, VT_I8, "42"},
    // Rule 5: dates print with microseconds, nothing else.
    {"2021-03-04 05:06:07.25", VT_DATE, VT_BSTR, false, VT_BSTR, "2021-03-04 05:06:07.250000"},
    {"10:30:00", VT_DATE, VT_BSTR, false, VT_BSTR, "10:30:00"},
    {"2021-03-04", VT_DATE, VT_R8, true, VT_DATE, "2021-03-04"},
    // Rule 6: to 64-bit integers, half to even, checked.
    {"2.5", VT_R8, VT_I8, false, VT_I8, "2"},
    {"3.5", VT_R8, VT_I8, false, VT_I8, "4"},
    {"-2.5", VT_R8, VT_I8, false, VT_I8, "-2"},
    {"1e19", VT_R8, VT_I8, true, VT_R8, "1.0000000000000000e+19"},
    {"1e19", VT_R8, VT_UI8, false, VT_UI8, "10000000000000000000"},
    {"nan", VT_R8, VT_I8, true, VT_R8, "0"},
    {"-1", VT_I4, VT_UI8, true, VT_I4, "-1"},
    {"-1", VT_I4, VT_I8, false, VT_I8, "-1"},
    {"1", VT_BOOL, VT_I8, false, VT_I8, "-1"},
    {"65535", VT_UI2, VT_I8, false, VT_I8, "65535"},
    {"12.5", VT_DECIMAL, VT_I8, false, VT_I8, "12"},
    {"99999999999999999999", VT_DECIMAL, VT_I8, true, VT_DECIMAL, "99999999999999999999"},
    {"123", VT_BSTR, VT_I8, true, VT_BSTR, "123"},
    // Rule 7: half away from zero from doubles, range-checked; others unchanged.
    {"2.5", VT_R8, VT_I4, false, VT_I4, "3"},
    {"-2.5", VT_R8, VT_I4, false, VT_I4, "-3"},
    {"2147483647.4", VT_R8, VT_I4, false, VT_I4, "2147483647"},
    {"2147483647.5", VT_R8, VT_I4, true, VT_R8, "2.1474836475000000e+09"},
    {"-0.4", VT_R8, VT_UI4, false, VT_UI4, "0"},
    {"-1", VT_R8, VT_UI2, true, VT_R8, "-1.0000000000000000e+00"},
    {"40000", VT_R4, VT_I2, true, VT_R4, "4.000000e+04"},
    {"12.5", VT_DECIMAL, VT_I4, false, VT_I4, "12"},
    {"13.5", VT_DECIMAL, VT_I2, false, VT_I2, "14"},
    {"-128", VT_DECIMAL, VT_I1, false, VT_I1, "-128"},
    {"128", VT_DECIMAL, VT_I1, true, VT_DECIMAL, "128"},
    {"abc", VT_BSTR, VT_I4, false, VT_BSTR, "abc"},
    {"42", VT_BSTR, VT_I4, false, VT_BSTR, "42"},
    {"5", VT_I2, VT_I4, false, VT_I2, "5"},
    {"5", VT_R8, VT_I1, false, VT_R8, "5.0000000000000000e+00"},
    // Rule 8: dates only from texts.
    {"2021-03-04", VT_BSTR, VT_DATE, false, VT_DATE, "2021-03-04"},
    {"2021-02-30", VT_BSTR, VT_DATE, true, VT_BSTR, "2021-02-30"},
    {"0001-01-01", VT_BSTR, VT_DATE, true, VT_BSTR, "0001-01-01"},
    {"44259", VT_R8, VT_DATE, true, VT_R8, "4.4259000000000000e+04"},
    // Rule 9: bytes to text up to the first NUL.
    {"0x616263", VT_ARRAY_UI1, VT_BSTR, false, VT_BSTR, "abc"},
    {"0x61006263", VT_ARRAY_UI1, VT_BSTR, false, VT_BSTR, "a"},
    {"0xC3A9", VT_ARRAY_UI1, VT_BSTR, false, VT_BSTR, "\xC3\xA9"},
    {"0x6162", VT_ARRAY_UI1, VT_I4, false, VT_ARRAY_UI1, "0x6162"},
    {"0x6162", VT_ARRAY_UI1, VT_BLOB, false, VT_BLOB, "0x6162"},
    {"0x6162", VT_ARRAY_UI1, VT_DISPATCH, true, VT_ARRAY_UI1, "0x6162"},
    // Rule 10: a value's own bytes.
    {"258", VT_I2, VT_ARRAY_UI1, false, VT_ARRAY_UI1, "0x0201"},
    {"1", VT_R8, VT_ARRAY_UI1, false, VT_ARRAY_UI1, "0x000000000000F03F"},
    {"-1", VT_I8, VT_ARRAY_UI1, false, VT_ARRAY_UI1, "0xFFFFFFFFFFFFFFFF"},
    {"-1.5", VT_DECIMAL, VT_ARRAY_UI1, false, VT_ARRAY_UI1, "0x0E00018000000000" "0F00000000000000"},
    {"h\xC3\xA9", VT_BSTR, VT_BLOB, false, VT_ARRAY_UI1, "0x68C3A9"},
    // Rule 11: the platform coercion.
    {"12.5", VT_R8, VT_BSTR, false, VT_BSTR, "12.5"},
    {"12.5", VT_BSTR, VT_R8, false, VT_R8, "1.2500000000000000e+01"},
    {"12,5", VT_BSTR, VT_R8, true, VT_BSTR, "12,5"},
    {"1.5", VT_DECIMAL, VT_R8, false, VT_R8, "1.5000000000000000e+00"},
    {"1", VT_I4, VT_BOOL, false, VT_BOOL, "1"},
    {"1.23456", VT_DECIMAL, VT_CY, false, VT_CY, "1.2346"},
    // ... which narrows integers range-checked, never wrapping.
    {"255", VT_I4, VT_UI1, false, VT_UI1, "255"},
    {"256", VT_I4, VT_UI1, true, VT_I4, "256"},
    {"-1", VT_I2, VT_UI1, true, VT_I2, "-1"},
    {"1e300", VT_R8, VT_CY, true, VT_R8, "1.0000000000000001e+300"},
};

ole_variant make(const char* text, VARTYPE type) {
  if (type == VT_BSTR) return ole_variant::from_string(text, VT_BSTR);
  ole_variant v = ole_variant::from_string(text, type);
  EXPECT_EQ(v.vt(), text[0] ? type : VT_EMPTY) << text;
  return v;
}

TEST(OleVariant, ChangeTypeRules) {
  for (const change_row& r : kChanges) {
    ole_variant v = r.from == VT_BOOL ? ole_variant(std::string(r.text) != "0") : make(r.text, r.from);
    if (r.throws) {
      EXPECT_THROW(v.change_type(r.to), ole_cast_exception) << r.text << " " << r.from << "->" << r.to;
    } else {
      EXPECT_NO_THROW(v.change_type(r.to)) << r.text << " " << r.from << "->" << r.to;
    }
    EXPECT_EQ(v.vt(), r.result_type) << r.text << " " << r.from << "->" << r.to;
    EXPECT_EQ(v.to_string(), r.result) << r.text << " " << r.from << "->" << r.to;
  }
}

TEST(OleVariant, ChangeToDateRecord) {
  ole_variant v = ole_variant::from_string("2021-03-04 05:06:07.25", VT_DATE);
  v.change_type(VT_ARRAY_UI1);
  EXPECT_EQ(ole_variant::get_safe_array_size(v.variant.parray), 32u);
  EXPECT_EQ(v.to_string().substr(0, 10), "0x01000000");
}

TEST(OleVariant, ToLongAndToBool) {
  struct row {
    ole_variant value;
    int32_t as_long;
    bool as_bool;
  };
  const row rows[] = {
      {ole_variant(short{-5}), -5, true},
      {ole_variant(static_cast<unsigned char>(0)), 0, false},
      {ole_variant(2.9), 2, true},
      {ole_variant(-2.9), -2, true},
      {ole_variant(0.4), 0, true},
      {ole_variant(CY{25000}), 2, true},
      {ole_variant(CY{4000}), 0, true},  // 0.4 is not zero
      {ole_variant::from_string("0.5", VT_DECIMAL), 0, true},
      {ole_variant::from_string("0", VT_DECIMAL), 0, false},
      {ole_variant::from_string("3.5", VT_DECIMAL), 4, true},
      {ole_variant(true), 1, true},
      {ole_variant(false), 0, false},
      {ole_variant(int64_t{5}), 5, true},
      {ole_variant(int64_t{1} << 32), 0, true},  // to_long raises; see below
      {ole_variant(uint64_t{0}), 0, false},
      {ole_variant(std::wstring(L"1")), 0, false},
      {ole_variant(), 0, false},
  };
  for (const row& r : rows) {
    if (r.value.vt() == VT_I8 && r.value.i64_value == (int64_t{1} << 32)) {
      EXPECT_THROW(r.value.to_long(), ole_cast_exception);
    } else {
      EXPECT_EQ(r.value.to_long(), r.as_long) << r.value.to_string();
    }
    EXPECT_EQ(r.value.to_bool(), r.as_bool) << r.value.to_string();
  }
  EXPECT_TRUE(ole_variant(std::nan("")).to_bool());
  EXPECT_THROW(ole_variant(3e9).to_long(), ole_cast_exception);
  EXPECT_THROW(ole_variant(std::nan("")).to_long(), ole_cast_exception);
  EXPECT_THROW(ole_variant(4294967295u).to_long(), ole_cast_exception);
  EXPECT_THROW(ole_variant::from_string("3000000000", VT_DECIMAL).to_long(), ole_cast_exception);
  EXPECT_EQ(ole_variant(-2147483648.9).to_long(), std::numeric_limits<int32_t>::min());
}

TEST(OleVariant, RawAccess) {
  ole_variant text(std::wstring(L"h\u00E9llo"));
  char buffer[16];
  EXPECT_EQ(text.get_at(buffer, sizeof buffer, 1, 2), 3u);  // "él" is three bytes
  EXPECT_STREQ(buffer, "\xC3\xA9l");
  EXPECT_EQ(text.get_at(buffer, 3, 1, 2), 2u);  // no room for 'l': the character is not split
  EXPECT_STREQ(buffer, "\xC3\xA9");
  EXPECT_EQ(text.get_at(buffer, sizeof buffer, 5, 2), 0u);
  ole_variant bytes(std::vector<uint8_t>{0xDE, 0xAD, 0xBE, 0xEF});
  EXPECT_EQ(bytes.get_at(buffer, sizeof buffer, 1, 10), 3u);
  EXPECT_STREQ(buffer, "ADBEEF");
  EXPECT_EQ(bytes.get_at(buffer, 5, 0, 4), 2u);  // capacity for two bytes and the terminator
  EXPECT_STREQ(buffer, "DEAD");
  EXPECT_EQ(ole_variant(5).get_at(buffer, sizeof buffer, 0, 1), 0u);

  const uint8_t* data = nullptr;
  std::string storage;
  EXPECT_EQ(text.get_bytes(&data, &storage), 6u);  // bytes, not characters
  EXPECT_EQ(std::memcmp(data, "h\xC3\xA9llo", 6), 0);
  EXPECT_EQ(bytes.get_bytes(&data, &storage), 4u);
  EXPECT_EQ(data, bytes.variant.parray->pvData);
  EXPECT_EQ(ole_variant().get_bytes(&data, &storage), 0u);
  EXPECT_THROW(ole_variant(5).get_bytes(&data, &storage), tk_mail_assertion);
}

TEST(OleVariant, PlatformValues) {
  VARIANT raw;
  VariantInit(&raw);
  raw.vt = VT_DATE;
  raw.date = 44259.212583912034;
  ole_variant d = ole_variant::from_variant(raw);
  EXPECT_EQ(d.to_string(), "2021-03-04 05:06:07.250000");
  raw.vt = VT_I8;
  raw.llVal = -7;
  EXPECT_EQ(ole_variant::from_variant(raw).to_string(), "-7");
  raw.vt = VT_DATE;
  raw.date = 1e9;
  EXPECT_EQ(ole_variant::from_variant(raw).vt(), VT_EMPTY);
}

}  // namespace
