// ole_date: a date and time read from the texts MySQL and users write, with microseconds, and printed in the
// forms the engines write.
//
// Kinds: 0 no valid value, 1 date and time, 2 date only, 3 time only. A value whose year, month and day are all 0
// is a "pure time": MySQL's TIME values and its zero dates ('0000-00-00', '0000-00-00 00:00:00'). Its hour may
// exceed 23 (TIME runs to 838:59:59).
//
// Reading (in this order, the first layout that gives a valid value wins): trim blanks; cut an "AM"/"PM"/"am"/"pm"
// suffix; fewer than 5 characters is no date; 14 digits "YYYYMMDDhhmmss"; 8 digits "YYYYMMDD"; a time "h:m[:s]";
// "Y-M-D h:m:s", "Y/M/D h:m:s", "Y.M.D h:m:s" (or their date alone), where a day above 31 with a year below 32
// swaps the two (so "04.03.2021" is 4 March 2021); then the fixed grammar of VarDateFromStr. A "PM" anywhere but
// at the start adds 12 to an hour below 12. Seconds may carry a fraction; it is kept to the microsecond (the
// seventh digit rounds) and the milliseconds are it rounded to the nearest one (".2506" is 251 ms; from ".9995" on
// 999, as the fraction stays within its second). A fraction that rounds up to a whole second (from ".9999995" on)
// carries into minutes, hours and, for a dated value, the date. A time "h:m" followed by other words is no time.
// A negative time ('-00:30:00', '-838:59:59') is not a value this system can store: it reads as no valid value.
//
// Printing: to_string(precision) "YYYY-MM-DD HH:MM:SS" (".ffffff" for precision 6 with microseconds, else
// ".mmm" when there are milliseconds, nothing for precision 0), "YYYY-MM-DD" for a date only (and for a date and
// time at exactly midnight), "0000-00-00 HH:MM:SS" for a pure time; to_wstring prints a pure time without the
// "0000-00-00 ". Hours print modulo 24.
//
// Serial value (to_serial): a pure time is a duration from day zero (1899-12-30 00:00:00): 10:30:00 is 0.4375,
// 100:00:00 is 4.1666..., a zero date is 0.0 (Access's empty date). Other values are the serial date of their
// calendar date and time, microseconds included; years below 100 and every impossible date have none.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/oleaut/types.h"

class ole_date {
 public:
  static constexpr int32_t kind_invalid = 0;
  static constexpr int32_t kind_date_time = 1;
  static constexpr int32_t kind_date = 2;
  static constexpr int32_t kind_time = 3;

  ole_date();
  explicit ole_date(const SYSTEMTIME& time);
  // Narrow text is UTF-8.
  explicit ole_date(std::string_view text);
  explicit ole_date(const std::wstring& text);

  // The date and time of a serial value, rounded to the microsecond (kind 1, then refined); kind 0 when the
  // serial is out of range.
  static ole_date from_serial(DATE serial);

  bool is_valid() const;
  std::string to_string(int precision) const;
  std::wstring to_wstring(int precision) const;
  // The serial value (see above); false when the value has none.
  bool to_serial(DATE* out) const;
  // The 32-byte binary record of the value: kind, zone, midnight flag (and three zero bytes), microseconds,
  // then the SYSTEMTIME, all little-endian.
  void to_record(uint8_t out[32]) const;

  int32_t kind = kind_invalid;
  int32_t zone = 0;  // hours; always 0 in this system
  bool midnight_as_date = true;
  int32_t microseconds = 0;
  SYSTEMTIME time{};

 private:
  void parse(std::string_view text);
  bool import_from_string(std::string_view text);
  bool process_milliseconds(std::string_view seconds);
  void refine_type();
  bool is_pure_time() const { return time.wYear == 0 && time.wMonth == 0 && time.wDay == 0; }
  // Microseconds of the value: its own, or its milliseconds when only those are known.
  int64_t fraction_micros() const;
  void print(std::string& out, int precision, bool wide_form) const;
};
