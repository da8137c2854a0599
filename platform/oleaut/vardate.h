// DATE: the serial date of OLE Automation, a double counting days since 1899-12-30 00:00:00 ("day zero").
// The integer part is the day and the fraction the time of day; before day zero the fraction still counts
// forward from midnight, so -1.25 is 1899-12-29 06:00 (not 12-28 18:00).
//
// Rules, fixed and independent of the process locale:
//  - Dates are proleptic Gregorian from 0100-01-01 (serial -657434) to 9999-12-31 (2958465); anything outside,
//    and any impossible month or day, fails.
//  - Fractions of seconds are kept: microseconds go into the serial, and reading a serial back rounds to the
//    nearest microsecond (a rounding that reaches 24:00 carries into the next day). On 9999-12-31, where a
//    double cannot hold the last microseconds apart from 10000-01-01, the fraction is taken to the millisecond.
//  - Durations (a time with no date, possibly of 24 hours or more) count from day zero: 100:00:00 is 4.1666...
//  - VarDateFromStr reads a small fixed grammar (below), never the user's date format.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/oleaut/types.h"

constexpr DATE OA_DATE_MIN = -657434.0;           // 0100-01-01 00:00:00
constexpr DATE OA_DATE_MAX = 2958465.99999999;  // just before 10000-01-01

struct oa_date_parts {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int microsecond = 0;
  int day_of_week = 0;  // 0 Sunday .. 6 Saturday; filled by oa_parts_from_serial
};

bool oa_is_leap_year(int year);
// Days of a month (1-12) of a year; 0 for an impossible month.
int oa_days_in_month(int year, int month);

// The serial of a civil date (100 <= year <= 9999, valid month and day) and a clock time; hour, minute and second
// beyond their usual ranges roll into the following days. False for an impossible date or a result out of range.
bool oa_serial_from_parts(int year, int month, int day, int64_t hour, int64_t minute, int64_t second,
                          int64_t microsecond, DATE* out);

// The serial of a duration counted from day zero (all parts non-negative); false when out of range.
bool oa_serial_from_duration(int64_t hour, int64_t minute, int64_t second, int64_t microsecond, DATE* out);

// Date and time of a serial, rounded to the microsecond; false outside the range of dates.
bool oa_parts_from_serial(DATE serial, oa_date_parts* out);

// SYSTEMTIME forms: wMilliseconds counts into the serial; reading back rounds to the millisecond.
// Both return non-zero on success, zero on failure.
int SystemTimeToVariantTime(const SYSTEMTIME* in, DATE* out);
int VariantTimeToSystemTime(DATE in, SYSTEMTIME* out);

// Reads a date and time text into a serial. Accepted, with blanks between the parts:
//   date forms: Y-M-D, Y/M/D, Y.M.D (a four-digit year first); M/D/Y, M-D-Y, M.D.Y otherwise;
//               "D Mon Y", "Mon D Y", "Mon D, Y" with an English month name or its first three letters;
//   time form:  h:m[:s[.fraction]] (24-hour clock), before or after the date or alone (then on day zero).
// A year of one or two digits is 2000+Y below 30 and 1900+Y from 30. Anything else fails with
// DISP_E_TYPEMISMATCH; an impossible date or time fails with DISP_E_OVERFLOW.
HRESULT VarDateFromStr(std::string_view text, DATE* out);
HRESULT VarDateFromStr(std::wstring_view text, DATE* out);
