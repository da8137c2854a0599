// ole_date: the layouts it reads, what it keeps (kind, fields, fractions), the texts it prints and its serial.
#include "OLE/ole_date.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct parse_row {
  const char* text;
  int kind;
  int year, month, day, hour, minute, second, millis, micros;
  const char* s0;  // to_string(0)
  const char* s3;  // to_string(3)
  const char* s6;  // to_string(6)
  const char* w6;  // to_wstring(6), as UTF-8
};

const parse_row kParses[] = {
    {"2021-03-04 05:06:07.25", 1, 2021, 3, 4, 5, 6, 7, 250, 250000, "2021-03-04 05:06:07", "2021-03-04 05:06:07.250",
     "2021-03-04 05:06:07.250000", "2021-03-04 05:06:07.250000"},
    {"2021-03-04 05:06:07.250000", 1, 2021, 3, 4, 5, 6, 7, 250, 250000, "2021-03-04 05:06:07",
     "2021-03-04 05:06:07.250", "2021-03-04 05:06:07.250000", "2021-03-04 05:06:07.250000"},
    {"2021-03-04 00:00:00", 2, 2021, 3, 4, 0, 0, 0, 0, 0, "2021-03-04", "2021-03-04", "2021-03-04", "2021-03-04"},
    // Microseconds past midnight keep the value a date and time.
    {"2021-03-04 00:00:00.000400", 1, 2021, 3, 4, 0, 0, 0, 0, 400, "2021-03-04 00:00:00", "2021-03-04 00:00:00.000",
     "2021-03-04 00:00:00.000400", "2021-03-04 00:00:00.000400"},
    {"20210304", 2, 2021, 3, 4, 0, 0, 0, 0, 0, "2021-03-04", "2021-03-04", "2021-03-04", "2021-03-04"},
    {"20210304050607", 1, 2021, 3, 4, 5, 6, 7, 0, 0, "2021-03-04 05:06:07", "2021-03-04 05:06:07",
     "2021-03-04 05:06:07", "2021-03-04 05:06:07"},
    {"20210304000000", 1, 2021, 3, 4, 0, 0, 0, 0, 0, "2021-03-04", "2021-03-04", "2021-03-04", "2021-03-04"},
    {"04.03.2021 10:00:00", 1, 2021, 3, 4, 10, 0, 0, 0, 0, "2021-03-04 10:00:00", "2021-03-04 10:00:00",
     "2021-03-04 10:00:00", "2021-03-04 10:00:00"},
    {"1/2/2003", 2, 2003, 2, 1, 0, 0, 0, 0, 0, "2003-02-01", "2003-02-01", "2003-02-01", "2003-02-01"},
    // Milliseconds are the fraction rounded to the nearest one, within the second; microseconds keep it exactly.
    {"2021-03-04 05:06:07.2506", 1, 2021, 3, 4, 5, 6, 7, 251, 250600, "2021-03-04 05:06:07",
     "2021-03-04 05:06:07.251", "2021-03-04 05:06:07.250600", "2021-03-04 05:06:07.250600"},
    {"10:30:15.0004", 3, 0, 0, 0, 10, 30, 15, 0, 400, "0000-00-00 10:30:15", "0000-00-00 10:30:15.000",
     "0000-00-00 10:30:15.000400", "10:30:15.000400"},
    {"10:30:15.9996", 3, 0, 0, 0, 10, 30, 15, 999, 999600, "0000-00-00 10:30:15", "0000-00-00 10:30:15.999",
     "0000-00-00 10:30:15.999600", "10:30:15.999600"},
    {"10:30", 3, 0, 0, 0, 10, 30, 0, 0, 0, "0000-00-00 10:30:00", "0000-00-00 10:30:00", "0000-00-00 10:30:00",
     "10:30:00"},
    {"  10:30:00  ", 3, 0, 0, 0, 10, 30, 0, 0, 0, "0000-00-00 10:30:00", "0000-00-00 10:30:00", "0000-00-00 10:30:00",
     "10:30:00"},
    {"07:15:00 PM", 3, 0, 0, 0, 19, 15, 0, 0, 0, "0000-00-00 19:15:00", "0000-00-00 19:15:00", "0000-00-00 19:15:00",
     "19:15:00"},
    {"12:00:00 AM", 3, 0, 0, 0, 12, 0, 0, 0, 0, "0000-00-00 12:00:00", "0000-00-00 12:00:00", "0000-00-00 12:00:00",
     "12:00:00"},
    {"23:59:59.999999", 3, 0, 0, 0, 23, 59, 59, 999, 999999, "0000-00-00 23:59:59", "0000-00-00 23:59:59.999",
     "0000-00-00 23:59:59.999999", "23:59:59.999999"},
    {"10:20:59.9999996", 3, 0, 0, 0, 10, 21, 0, 0, 0, "0000-00-00 10:21:00", "0000-00-00 10:21:00",
     "0000-00-00 10:21:00", "10:21:00"},
    {"838:59:59", 3, 0, 0, 0, 838, 59, 59, 0, 0, "0000-00-00 22:59:59", "0000-00-00 22:59:59", "0000-00-00 22:59:59",
     "22:59:59"},
    {"0000-00-00 00:00:00", 3, 0, 0, 0, 0, 0, 0, 0, 0, "0000-00-00 00:00:00", "0000-00-00 00:00:00",
     "0000-00-00 00:00:00", "00:00:00"},
    {"0000-00-00", 2, 0, 0, 0, 0, 0, 0, 0, 0, "0000-00-00", "0000-00-00", "0000-00-00", "0000-00-00"},
    // The fraction carries into the date of a dated value.
    {"2021-12-31 23:59:59.9999996", 2, 2022, 1, 1, 0, 0, 0, 0, 0, "2022-01-01", "2022-01-01", "2022-01-01",
     "2022-01-01"},
    {"2021-03-04 05:06:07+02:00", 1, 2021, 3, 4, 5, 6, 7, 0, 0, "2021-03-04 05:06:07", "2021-03-04 05:06:07",
     "2021-03-04 05:06:07", "2021-03-04 05:06:07"},
    {"2021-03-04 05:06", 1, 2021, 3, 4, 5, 6, 0, 0, 0, "2021-03-04 05:06:00", "2021-03-04 05:06:00",
     "2021-03-04 05:06:00", "2021-03-04 05:06:00"},
    {"March 4, 2021", 2, 2021, 3, 4, 0, 0, 0, 0, 0, "2021-03-04", "2021-03-04", "2021-03-04", "2021-03-04"},
};

TEST(OleDate, ParseAndPrintTable) {
  for (const parse_row& r : kParses) {
    ole_date d{std::string_view(r.text)};
    ASSERT_TRUE(d.is_valid()) << r.text;
    EXPECT_EQ(d.kind, r.kind) << r.text;
    EXPECT_EQ(d.time.wYear, r.year) << r.text;
    EXPECT_EQ(d.time.wMonth, r.month) << r.text;
    EXPECT_EQ(d.time.wDay, r.day) << r.text;
    EXPECT_EQ(d.time.wHour, r.hour) << r.text;
    EXPECT_EQ(d.time.wMinute, r.minute) << r.text;
    EXPECT_EQ(d.time.wSecond, r.second) << r.text;
    EXPECT_EQ(d.time.wMilliseconds, r.millis) << r.text;
    EXPECT_EQ(d.microseconds, r.micros) << r.text;
    EXPECT_EQ(d.to_string(0), r.s0) << r.text;
    EXPECT_EQ(d.to_string(3), r.s3) << r.text;
    EXPECT_EQ(d.to_string(6), r.s6) << r.text;
    std::string w6(r.w6);
    EXPECT_EQ(d.to_wstring(6), std::wstring(w6.begin(), w6.end())) << r.text;
    // The wide constructor reads the same.
    std::string text(r.text);
    EXPECT_EQ(ole_date(std::wstring(text.begin(), text.end())).to_string(6), r.s6) << r.text;
  }
}

// The server's own forms are read by position; a leading blank sends the same text through the general reading,
// which must give the same value, valid or not, at and beyond the fields' limits.
TEST(OleDate, ServerFormsReadAsTheGeneralReadingDoes) {
  const char* const texts[] = {
      "2024-01-31", "2024-02-29", "2023-02-29", "2021-00-00", "2021-13-01", "2021-01-32", "2021-04-31", "9999-12-31",
      "0100-01-01", "0099-12-31", "0032-01-01", "0031-12-25", "0001-01-01", "0000-00-00", "2024-1-031", "2024-01-3a",
      "2024-01-31 13:45:07", "2024-01-31 00:00:00", "2024-01-31 23:59:59", "2024-01-31 24:00:00",
      "2024-01-31 23:60:00", "2024-01-31 23:59:60", "2024-01-31 23:59:61", "1899-12-30 08:09:10",
      "1899-12-30 00:00:00", "0000-00-00 00:00:00", "2024-02-30 10:00:00", "2024-01-31T13:45:07",
      "2024-01-31 13:45:0x", "2024-01-31 1:45:007", "2024-01-31 13-45-07"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    const ole_date fast(text), general(" " + std::string(text));
    EXPECT_EQ(fast.kind, general.kind);
    EXPECT_EQ(fast.is_valid(), general.is_valid());
    EXPECT_EQ(fast.microseconds, general.microseconds);
    EXPECT_EQ(std::memcmp(&fast.time, &general.time, sizeof fast.time), 0);
    EXPECT_EQ(fast.to_string(6), general.to_string(6));
  }
}

TEST(OleDate, Unreadable) {
  const char* rows[] = {"",           "1:2",           "abcd",       "2021-02-29",       "2021-00-00",
                        "2021-13-01", "10:61:00",      "10:30:61",   "-838:59:59",       "-00:30:00.000000",
                        "99999999",   "2021/02/30",    "not a date", "31.04.2021",
                        "2021-03-04 -5:00:00", "-2021-03-04",
                        // A time of hours and minutes followed by other words is no time.
                        "10:30 hello", "10:30 and 5 more"};
  for (const char* text : rows) {
    ole_date d{std::string_view(text)};
    EXPECT_FALSE(d.is_valid()) << text;
    EXPECT_EQ(d.kind, 0) << text;
    EXPECT_EQ(d.to_string(6), "") << text;
    DATE serial;
    EXPECT_FALSE(d.to_serial(&serial)) << text;
  }
  // A leap second is accepted as the spelling of the next minute.
  EXPECT_TRUE(ole_date(std::string_view("23:59:60")).is_valid());
}

struct serial_row {
  const char* text;
  double serial;
};

// Day zero is 1899-12-30; pure times and zero dates count from it; fractions of seconds are kept.
const serial_row kSerials[] = {
    {"0100-01-01", -657434.0},
    {"1899-12-29 06:00:00", -1.25},
    {"1899-12-30", 0.0},
    {"1900-03-01", 61.0},
    {"9999-12-31 23:59:59", 2958465.999988426},
    {"2021-03-04 05:06:07.25", 44259.212583912034},
    {"1000-01-01 12:00:00", -328716.5},
    {"10:30:00", 0.4375},
    {"00:00:00", 0.0},
    {"0000-00-00", 0.0},
    {"0000-00-00 00:00:00", 0.0},
    {"838:59:59", 34.958321759259256},
    {"100:00:00", 4.166666666666667},
    {"23:59:59.999999", 0.999999999988426},
};

TEST(OleDate, SerialTable) {
  for (const serial_row& r : kSerials) {
    ole_date d{std::string_view(r.text)};
    DATE serial = 12345;
    ASSERT_TRUE(d.to_serial(&serial)) << r.text;
    EXPECT_DOUBLE_EQ(serial, r.serial) << r.text;
  }
  // Years below 100 have no serial value (the platform would have turned 0001 into 2001).
  ole_date early{std::string_view("0001-01-01 00:00:00.000001")};
  EXPECT_TRUE(early.is_valid());
  DATE serial;
  EXPECT_FALSE(early.to_serial(&serial));
}

TEST(OleDate, FromSerialAndSystemTime) {
  ole_date d = ole_date::from_serial(44259.212583912034);
  EXPECT_EQ(d.kind, 1);
  EXPECT_EQ(d.to_string(6), "2021-03-04 05:06:07.250000");
  // Its milliseconds are rounded as a text's are.
  EXPECT_EQ(ole_date::from_serial(44259.0 + 18367.2506 / 86400.0).to_string(3), "2021-03-04 05:06:07.251");
  EXPECT_EQ(ole_date::from_serial(44259.0).kind, 2);
  EXPECT_EQ(ole_date::from_serial(-1.25).to_string(0), "1899-12-29 06:00:00");
  EXPECT_FALSE(ole_date::from_serial(3e6).is_valid());
  SYSTEMTIME st{2021, 3, 4, 4, 5, 6, 7, 8};
  ole_date s(st);
  EXPECT_EQ(s.kind, 1);
  EXPECT_EQ(s.to_string(6), "2021-03-04 05:06:07.008");
  DATE serial;
  ASSERT_TRUE(s.to_serial(&serial));
  EXPECT_DOUBLE_EQ(serial, 44259.21258111111);
  SYSTEMTIME midnight{2021, 3, 4, 4, 0, 0, 0, 0};
  EXPECT_EQ(ole_date(midnight).kind, 2);
}

TEST(OleDate, BinaryRecord) {
  ole_date d{std::string_view("2021-03-04 05:06:07.25")};
  uint8_t record[32];
  d.to_record(record);
  const uint8_t expected[32] = {1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0x90, 0xD0, 0x03, 0,
                                0xE5, 0x07, 3, 0, 0, 0, 4, 0, 5, 0, 6, 0, 7, 0, 0xFA, 0};
  EXPECT_EQ(std::memcmp(record, expected, 32), 0);
}

}  // namespace
