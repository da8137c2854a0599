// Serial dates: the civil calendar across day zero, durations, rounding back to parts, and the date grammar.
#include "platform/oleaut/vardate.h"

#include <gtest/gtest.h>

namespace {

struct serial_row {
  int year, month, day, hour, minute, second, microsecond;
  double serial;
};

const serial_row kSerials[] = {
    {100, 1, 1, 0, 0, 0, 0, -657434.0},
    {1000, 1, 1, 12, 0, 0, 0, -328716.5},
    {1899, 12, 29, 6, 0, 0, 0, -1.25},
    {1899, 12, 29, 23, 59, 59, 999999, -1.9999999999884261},
    {1899, 12, 30, 0, 0, 0, 0, 0.0},
    {1900, 3, 1, 0, 0, 0, 0, 61.0},
    {1970, 1, 1, 0, 0, 1, 0, 25569.000011574073},
    {1980, 1, 1, 18, 1, 16, 0, 29221.750879629628},
    {2021, 3, 4, 5, 6, 7, 250000, 44259.212583912034},
    {9999, 12, 31, 23, 59, 59, 0, 2958465.999988426},
};

TEST(VarDate, SerialTableBothWays) {
  for (const serial_row& r : kSerials) {
    DATE serial = 12345;
    ASSERT_TRUE(oa_serial_from_parts(r.year, r.month, r.day, r.hour, r.minute, r.second, r.microsecond, &serial))
        << r.year << "-" << r.month << "-" << r.day;
    EXPECT_DOUBLE_EQ(serial, r.serial) << r.year << "-" << r.month << "-" << r.day;
    oa_date_parts p;
    ASSERT_TRUE(oa_parts_from_serial(r.serial, &p)) << r.serial;
    EXPECT_EQ(p.year, r.year) << r.serial;
    EXPECT_EQ(p.month, r.month) << r.serial;
    EXPECT_EQ(p.day, r.day) << r.serial;
    EXPECT_EQ(p.hour, r.hour) << r.serial;
    EXPECT_EQ(p.minute, r.minute) << r.serial;
    EXPECT_EQ(p.second, r.second) << r.serial;
    EXPECT_EQ(p.microsecond, r.microsecond) << r.serial;
  }
}

TEST(VarDate, ImpossibleDatesFail) {
  DATE serial;
  EXPECT_FALSE(oa_serial_from_parts(99, 12, 31, 0, 0, 0, 0, &serial));
  EXPECT_FALSE(oa_serial_from_parts(1, 1, 1, 0, 0, 0, 0, &serial));
  EXPECT_FALSE(oa_serial_from_parts(0, 0, 0, 10, 30, 0, 0, &serial));
  EXPECT_FALSE(oa_serial_from_parts(10000, 1, 1, 0, 0, 0, 0, &serial));
  EXPECT_FALSE(oa_serial_from_parts(2021, 2, 29, 0, 0, 0, 0, &serial));
  EXPECT_TRUE(oa_serial_from_parts(2020, 2, 29, 0, 0, 0, 0, &serial));
  EXPECT_FALSE(oa_serial_from_parts(1900, 2, 29, 0, 0, 0, 0, &serial));
  EXPECT_TRUE(oa_serial_from_parts(2000, 2, 29, 0, 0, 0, 0, &serial));
  EXPECT_FALSE(oa_serial_from_parts(2021, 13, 1, 0, 0, 0, 0, &serial));
  EXPECT_FALSE(oa_serial_from_parts(2021, 0, 1, 0, 0, 0, 0, &serial));
  EXPECT_FALSE(oa_serial_from_parts(9999, 12, 31, 24, 0, 0, 0, &serial));  // rolls past the last day
  // The last microsecond of the range would round to 10000-01-01 in a double: it stays on the last day.
  ASSERT_TRUE(oa_serial_from_parts(9999, 12, 31, 23, 59, 59, 999999, &serial));
  oa_date_parts p;
  ASSERT_TRUE(oa_parts_from_serial(serial, &p));
  EXPECT_EQ(p.year * 10000 + p.month * 100 + p.day, 99991231);
  EXPECT_EQ(p.microsecond, 999000);
  EXPECT_FALSE(oa_parts_from_serial(2958466.0, &p));
  EXPECT_FALSE(oa_parts_from_serial(-657435.0, &p));
  EXPECT_TRUE(oa_parts_from_serial(-657434.0, &p));
}

TEST(VarDate, HoursRollIntoNextDays) {
  DATE serial;
  ASSERT_TRUE(oa_serial_from_parts(2021, 12, 31, 25, 0, 0, 0, &serial));
  oa_date_parts p;
  ASSERT_TRUE(oa_parts_from_serial(serial, &p));
  EXPECT_EQ(p.year, 2022);
  EXPECT_EQ(p.day, 1);
  EXPECT_EQ(p.hour, 1);
}

TEST(VarDate, Durations) {
  DATE serial;
  ASSERT_TRUE(oa_serial_from_duration(10, 30, 0, 0, &serial));
  EXPECT_EQ(serial, 0.4375);
  ASSERT_TRUE(oa_serial_from_duration(838, 59, 59, 0, &serial));
  EXPECT_DOUBLE_EQ(serial, 34.958321759259256);
  ASSERT_TRUE(oa_serial_from_duration(100, 0, 0, 0, &serial));
  EXPECT_DOUBLE_EQ(serial, 4.166666666666667);
  ASSERT_TRUE(oa_serial_from_duration(23, 59, 59, 999999, &serial));
  EXPECT_LT(serial, 1.0);
  EXPECT_DOUBLE_EQ(serial, 0.999999999988426);
  EXPECT_FALSE(oa_serial_from_duration(-1, 0, 0, 0, &serial));
}

TEST(VarDate, ReadingBackRoundsAndCarries) {
  oa_date_parts p;
  // A hair below midnight rounds into the next day.
  ASSERT_TRUE(oa_parts_from_serial(999.999999999999, &p));
  EXPECT_EQ(p.year, 1902);
  EXPECT_EQ(p.month, 9);
  EXPECT_EQ(p.day, 26);
  EXPECT_EQ(p.hour, 0);
  EXPECT_EQ(p.microsecond, 0);
  // Where a double still holds microseconds, a value just short of midnight stays on its day.
  ASSERT_TRUE(oa_parts_from_serial(44259.99999999999, &p));
  EXPECT_EQ(p.day, 4);
  EXPECT_EQ(p.hour, 23);
  EXPECT_EQ(p.microsecond, 999999);
  ASSERT_TRUE(oa_parts_from_serial(-1.9999999999999, &p));
  EXPECT_EQ(p.day, 30);
  EXPECT_EQ(p.month, 12);
  EXPECT_EQ(p.year, 1899);
  EXPECT_EQ(p.hour, 0);
  ASSERT_TRUE(oa_parts_from_serial(25569.0, &p));
  EXPECT_EQ(p.day_of_week, 4);  // 1970-01-01, a Thursday
  SYSTEMTIME st;
  ASSERT_NE(VariantTimeToSystemTime(29221.7508765432, &st), 0);
  EXPECT_EQ(st.wHour, 18);
  EXPECT_EQ(st.wMinute, 1);
  EXPECT_EQ(st.wSecond, 15);
  EXPECT_EQ(st.wMilliseconds, 733);
  SYSTEMTIME in{2021, 3, 0, 4, 5, 6, 7, 250};
  DATE serial;
  ASSERT_NE(SystemTimeToVariantTime(&in, &serial), 0);
  EXPECT_DOUBLE_EQ(serial, 44259.212583912034);
  ASSERT_NE(VariantTimeToSystemTime(serial, &st), 0);
  EXPECT_EQ(st.wMilliseconds, 250);
  EXPECT_EQ(st.wDayOfWeek, 4);
  SYSTEMTIME zero{0, 0, 0, 0, 10, 30, 0, 0};
  EXPECT_EQ(SystemTimeToVariantTime(&zero, &serial), 0);
}

TEST(VarDate, TextGrammar) {
  struct row {
    const char* text;
    double serial;
  };
  const row accepted[] = {
      {"2021-03-04 05:06:07", 44259.21258101852},
      {"2021-03-04 05:06", 44259.2125},
      {"2021/3/4", 44259.0},
      {"3/4/2021", 44259.0},
      {"12/25/2003", 37980.0},
      {"4 Mar 2021", 44259.0},
      {"March 4, 2021 05:06:07", 44259.21258101852},
      {"mar 4 2021", 44259.0},
      {"05:06:07 2021-03-04", 44259.21258101852},
      {"10:30", 0.4375},
      {"1/2/03", 37623.0},
      {"1/2/98", 35797.0},
      {"2021-03-04 05:06:07.25", 44259.212583912034},
  };
  for (const row& r : accepted) {
    DATE serial = -1;
    EXPECT_EQ(VarDateFromStr(std::string_view(r.text), &serial), S_OK) << r.text;
    EXPECT_DOUBLE_EQ(serial, r.serial) << r.text;
  }
  const char* refused[] = {"",           "abc",           "2021-02-29", "2021-00-00",      "2021-03-04T05:06:07",
                           "24:00",      "10:60",         "1/2",        "2021-03-04 junk", "Smarch 4 2021",
                           "2021 Mar 4", "0001-01-01",    "10:30:00 2021-13-01"};
  for (const char* text : refused) {
    DATE serial;
    EXPECT_NE(VarDateFromStr(std::string_view(text), &serial), S_OK) << text;
  }
  DATE serial;
  EXPECT_EQ(VarDateFromStr(std::wstring_view(L"2021-03-04"), &serial), S_OK);
  EXPECT_EQ(serial, 44259.0);
  EXPECT_NE(VarDateFromStr(std::wstring_view(L"2021-03-04 \u00e9"), &serial), S_OK);
}

}  // namespace
