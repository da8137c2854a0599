// MySQL cell texts of every column type, read as the variant kind their column maps to, and the exact value that
// goes on to Access: the kinds Access has no field for travel through their text form (TINYINT as a 16-bit
// integer, SMALLINT UNSIGNED and YEAR as 32-bit integers, INT UNSIGNED and BIGINT as doubles), DECIMAL as the
// nearest double, dates as their serial value.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "OLE/ole_var.h"
#include "platform/oleaut/decimal.h"

namespace {

// The kind an Access field receives for a value of this kind (VT_EMPTY: the value itself).
VARTYPE access_kind(VARTYPE type) {
  switch (type) {
    case VT_I1: return VT_I2;
    case VT_UI2: return VT_I4;
    case VT_UI4:
    case VT_I8:
    case VT_UI8: return VT_R8;
    default: return VT_EMPTY;
  }
}

// The number a value stands for in Access.
double access_number(const ole_variant& value) {
  VARTYPE target = access_kind(value.vt());
  ole_variant sent = target == VT_EMPTY ? value : ole_variant::from_string(value.to_string(), target);
  const VARIANT& v = sent.variant;
  switch (v.vt) {
    case VT_I2: return v.iVal;
    case VT_I4: return v.lVal;
    case VT_UI1: return v.bVal;
    case VT_R4: return v.fltVal;
    case VT_R8: return v.dblVal;
    case VT_DATE: return v.date;
    case VT_BOOL: return v.boolVal;
    case VT_DECIMAL: {
      double d = 0;
      EXPECT_EQ(VarR8FromDec(&v.decVal, &d), S_OK);
      return d;
    }
    default:
      ADD_FAILURE() << "no number for kind " << v.vt;
      return 0;
  }
}

struct road_row {
  const char* column;
  VARTYPE type;  // the column's variant kind
  const char* cell;
  VARTYPE kind;  // the value's kind (VT_EMPTY: NULL in Access)
  const char* text;
  double access;  // the number Access receives
};

const double kNaN = std::numeric_limits<double>::quiet_NaN();

const road_row kRoad[] = {
    {"TINYINT", VT_I1, "-128", VT_I1, "-128", -128},
    {"TINYINT UNSIGNED", VT_UI1, "255", VT_UI1, "255", 255},
    {"SMALLINT", VT_I2, "-32768", VT_I2, "-32768", -32768},
    {"SMALLINT UNSIGNED", VT_UI2, "65535", VT_UI2, "65535", 65535},
    {"MEDIUMINT UNSIGNED", VT_I4, "16777215", VT_I4, "16777215", 16777215},
    {"INT", VT_I4, "-2147483648", VT_I4, "-2147483648", -2147483648.0},
    {"INT UNSIGNED", VT_UI4, "4294967295", VT_UI4, "4294967295", 4294967295.0},
    {"BIGINT", VT_I8, "-9223372036854775808", VT_I8, "-9223372036854775808", -9223372036854775808.0},
    {"BIGINT UNSIGNED", VT_UI8, "18446744073709551615", VT_UI8, "18446744073709551615", 18446744073709551615.0},
    {"BIGINT UNSIGNED", VT_UI8, "9007199254740993", VT_UI8, "9007199254740993", 9007199254740992.0},
    {"YEAR", VT_UI2, "2021", VT_UI2, "2021", 2021},
    {"YEAR", VT_UI2, "0000", VT_UI2, "0", 0},
    {"BIT(1) through its number", VT_BOOL, "1", VT_BOOL, "1", -1},
    {"BIT(1) through its number", VT_BOOL, "0", VT_BOOL, "0", 0},
    {"FLOAT", VT_R4, "3.40282e38", VT_R4, "3.402820e+38", 3.40282e38f},
    {"FLOAT", VT_R4, "-1.17549e-38", VT_R4, "-1.175490e-38", -1.17549e-38f},
    {"FLOAT", VT_R4, "0.1", VT_R4, "1.000000e-01", 0.1f},
    {"DOUBLE", VT_R8, "1.7976931348623157e308", VT_R8, "1.7976931348623157e+308", 1.7976931348623157e308},
    {"DOUBLE", VT_R8, "5e-324", VT_R8, "4.9406564584124654e-324", 5e-324},
    {"DOUBLE", VT_R8, "-2.2250738585072014e-308", VT_R8, "-2.2250738585072014e-308", -2.2250738585072014e-308},
    {"DOUBLE", VT_R8, "NaN", VT_R8, "0", kNaN},
    {"DECIMAL(10,2)", VT_DECIMAL, "-12345678.90", VT_DECIMAL, "-12345678.9", -12345678.9},
    {"DECIMAL(10,2)", VT_DECIMAL, "0.50", VT_DECIMAL, "0.5", 0.5},
    {"DECIMAL(28,0)", VT_DECIMAL, "9999999999999999999999999999", VT_DECIMAL, "9999999999999999999999999999", 1e28},
    {"DECIMAL(65,30)", VT_DECIMAL, "-12345678901234567890123456789012345.123456789012345678901234567890", VT_R8,
     "-1.2345678901234569e+34", -1.2345678901234568e34},
    {"DECIMAL(65,30)", VT_DECIMAL, "0.000000000000000000000000000001", VT_R8, "1.0000000000000001e-30", 1e-30},
    {"DECIMAL(65,30)", VT_DECIMAL, "99999999999999999999999999999999999.999999999999999999999999999999", VT_R8,
     "9.9999999999999997e+34", 1e35},
    {"DECIMAL(65,30)", VT_DECIMAL, "1.500000000000000000000000000000", VT_DECIMAL, "1.5", 1.5},
    {"DATETIME", VT_DATE, "0000-00-00 00:00:00", VT_DATE, "0000-00-00 00:00:00", 0.0},
    {"DATETIME", VT_DATE, "1000-01-01 00:00:00", VT_DATE, "1000-01-01", -328716.0},
    {"DATETIME", VT_DATE, "9999-12-31 23:59:59", VT_DATE, "9999-12-31 23:59:59", 2958465.999988426},
    {"DATETIME(6)", VT_DATE, "2021-03-04 05:06:07.250000", VT_DATE, "2021-03-04 05:06:07.250000",
     44259.212583912034},
    {"DATETIME(6)", VT_DATE, "0001-01-01 00:00:00.000001", VT_EMPTY, "", 0},
    {"DATE", VT_DATE, "0000-00-00", VT_DATE, "0000-00-00", 0.0},
    {"DATE", VT_DATE, "2021-00-00", VT_EMPTY, "", 0},
    {"DATE", VT_DATE, "1899-12-30", VT_DATE, "1899-12-30", 0.0},
    {"DATE", VT_DATE, "1900-03-01", VT_DATE, "1900-03-01", 61.0},
    {"TIMESTAMP", VT_DATE, "1970-01-01 00:00:01", VT_DATE, "1970-01-01 00:00:01", 25569.000011574073},
    {"TIME", VT_DATE, "10:30:00", VT_DATE, "0000-00-00 10:30:00", 0.4375},
    {"TIME", VT_DATE, "00:00:00", VT_DATE, "0000-00-00 00:00:00", 0.0},
    {"TIME", VT_DATE, "838:59:59", VT_DATE, "0000-00-00 22:59:59", 34.958321759259256},
    {"TIME", VT_DATE, "-838:59:59", VT_EMPTY, "", 0},
    {"TIME(6)", VT_DATE, "-00:30:00.000000", VT_EMPTY, "", 0},
    {"TIME(6)", VT_DATE, "23:59:59.999999", VT_DATE, "0000-00-00 23:59:59.999999", 0.999999999988426},
};

TEST(OleRoad, MySqlTextsToAccessValues) {
  for (const road_row& r : kRoad) {
    SCOPED_TRACE(std::string(r.column) + " '" + r.cell + "'");
    ole_variant v = ole_variant::from_string(r.cell, r.type);
    ASSERT_EQ(v.vt(), r.kind);
    EXPECT_EQ(v.to_string(), r.text);
    if (r.kind == VT_EMPTY) continue;
    double sent = access_number(v);
    if (std::isnan(r.access)) {
      EXPECT_TRUE(std::isnan(sent));
    } else {
      EXPECT_DOUBLE_EQ(sent, r.access);
      EXPECT_EQ(std::signbit(sent), std::signbit(r.access));
    }
  }
}

TEST(OleRoad, TextAndBinaryCells) {
  // VARCHAR / TEXT: UTF-8 text becomes wide characters, one per code point.
  ole_variant text = ole_variant::from_string("h\xC3\xA9llo \xF0\x9F\x98\x80", VT_BSTR);
  EXPECT_EQ(text.to_wstring(), L"h\u00E9llo \U0001F600");
  // Malformed UTF-8 does not stop the cell.
  EXPECT_EQ(ole_variant::from_string("a\xFF" "b", VT_BSTR).to_wstring(), L"a\uFFFDb");
  // VARBINARY '' stays an empty binary value; a LONGBLOB of megabytes converts whole.
  ole_variant empty(std::vector<uint8_t>{});
  EXPECT_EQ(empty.vt(), VT_ARRAY_UI1);
  std::vector<uint8_t> blob(8 * 1024 * 1024);
  for (std::size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<uint8_t>(i * 31);
  ole_variant big(blob);
  const uint8_t* data = nullptr;
  std::string storage;
  ASSERT_EQ(big.get_bytes(&data, &storage), blob.size());
  EXPECT_EQ(std::memcmp(data, blob.data(), blob.size()), 0);
  // A NULL cell of a NOT NULL column: an empty text for text columns, nothing for the others.
  EXPECT_EQ(ole_variant::from_string("", VT_BSTR).vt(), VT_BSTR);
  EXPECT_EQ(ole_variant::from_string("", VT_I4).vt(), VT_EMPTY);
}

TEST(OleRoad, RecordCountOfBigTables) {
  // COUNT(*) arrives as a BIGINT; a count beyond 32 bits is refused instead of wrapping.
  EXPECT_EQ(ole_variant::from_string("12345", VT_I8).to_long(), 12345);
  EXPECT_THROW(ole_variant::from_string("5000000000", VT_I8).to_long(), ole_cast_exception);
}

}  // namespace
