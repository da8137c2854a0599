// Tests of the key filters: conditions from key texts, safe whatever the values hold.
#include "SQL/sql_sync.h"

#include <gtest/gtest.h>

#include "UDB/udb_rec.h"

namespace {

udb_schema schema() {
  udb_schema s;
  s.push_back(t_ftd(11, L"id", VT_I4, true, false, ole_variant(), 0, L""));
  s.push_back(t_ftd(20, L"name", VT_BSTR, false, false, ole_variant(), 0, L""));
  s.push_back(t_ftd(20, L"big", VT_I8, false, false, ole_variant(), 1, L""));
  s.push_back(t_ftd(16, L"bin", static_cast<VARTYPE>(VT_ARRAY | VT_UI1), false, false, ole_variant(), 0, L""));
  s.push_back(t_ftd(10, L"odd`col", VT_BSTR, false, false, ole_variant(), 0, L""));
  return s;
}

TEST(SqlSync, BuildsConditionsByColumnType) {
  EXPECT_EQ(sql_sync::build_filter(schema(), L""), L"");
  EXPECT_EQ(sql_sync::build_filter(schema(), L"<id>7</id><name>a&amp;b</name>"),
            L"`id`=7 and `name`=CONVERT(X'612662' USING utf8mb4) ");
  EXPECT_EQ(sql_sync::build_filter(schema(), L"<big>-9223372036854775808</big>"), L"`big`=-9223372036854775808");
  EXPECT_EQ(sql_sync::build_filter(schema(), L"<bin>0x00FF</bin>"), L"`bin`=X'00FF'");
  EXPECT_EQ(sql_sync::build_filter(schema(), L"<odd`col>&lt;x&gt;</odd`col>"),
            L"`odd``col`=CONVERT(X'3C783E' USING utf8mb4) ");
}

TEST(SqlSync, ValuesCannotChangeTheStatement) {
  // A quote or backslash in a text value travels inside the hexadecimal form.
  EXPECT_EQ(sql_sync::build_filter(schema(), L"<name>x' OR '1'='1</name>"),
            L"`name`=CONVERT(X'7827204F52202731273D2731' USING utf8mb4) ");
  // A numeric or binary column refuses anything but its own kind of value.
  EXPECT_THROW(sql_sync::build_filter(schema(), L"<id>1 OR 1=1</id>"), tk_exception);
  EXPECT_THROW(sql_sync::build_filter(schema(), L"<id></id>"), tk_exception);
  EXPECT_THROW(sql_sync::build_filter(schema(), L"<bin>0x0G</bin>"), tk_exception);
  EXPECT_THROW(sql_sync::build_filter(schema(), L"<bin>'x'</bin>"), tk_exception);
}

}  // namespace
