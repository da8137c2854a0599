// Serial dates: civil day numbers by the proleptic Gregorian calendar in integer arithmetic, times in
// microseconds, and the small date grammar of VarDateFromStr.
#include "platform/oleaut/vardate.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int64_t kMicrosPerDay = 86400LL * 1000000LL;
constexpr int64_t kMinDay = -657434;
constexpr int64_t kMaxDay = 2958465;

// Days from 1970-01-01 to a civil date (year, month 1-12, day 1-31), any year.
int64_t days_from_civil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;                                // [0, 399]
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;  // [0, 365]
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;        // [0, 146096]
  return era * 146097 + doe - 719468;
}

void civil_from_days(int64_t z, int* year, int* month, int* day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = static_cast<int>(yoe + era * 400 + (m <= 2));
  *month = m;
  *day = d;
}

// 1899-12-30 counted from 1970-01-01.
constexpr int64_t kDayZero = -25569;

bool serial_from_micros(int64_t day, int64_t micros_of_day, DATE* out) {
  if (day < kMinDay || day > kMaxDay) return false;
  double fraction = static_cast<double>(micros_of_day) / static_cast<double>(kMicrosPerDay);
  *out = day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
  // Far from day zero a double cannot tell the last microseconds of a day from the next midnight. On the last day
  // that midnight (10000-01-01) is outside the range: the time is then taken to the millisecond, which a double
  // still tells apart and which reads back as that day.
  if (day == kMaxDay && *out >= static_cast<double>(kMaxDay + 1))
    return serial_from_micros(day, micros_of_day / 1000 * 1000, out);
  return true;
}

// ---- VarDateFromStr ----

const char* const kMonths[] = {"january", "february", "march",     "april",   "may",      "june",
                               "july",    "august",   "september", "october", "november", "december"};

int month_from_name(const std::string& word) {
  if (word.size() < 3) return 0;
  for (int m = 0; m < 12; ++m) {
    std::size_t length = std::strlen(kMonths[m]);
    if (word.size() <= length && std::strncmp(kMonths[m], word.c_str(), word.size()) == 0) return m + 1;
  }
  return 0;
}

bool all_digits(const std::string& s) {
  if (s.empty() || s.size() > 9) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// h:m[:s[.fraction]] into microseconds of the day (hour below 24).
bool parse_clock(const std::string& text, int64_t* micros) {
  int64_t parts[3] = {0, 0, 0};
  int64_t fraction = 0;
  int n = 0;
  std::size_t i = 0;
  while (true) {
    std::size_t start = i;
    int64_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3) value = value * 10 + (text[i++] - '0');
    if (i == start || n == 3) return false;
    parts[n++] = value;
    if (i == text.size()) break;
    if (text[i] == ':' && n < 3) {
      ++i;
      continue;
    }
    if (text[i] == '.' && n == 3) {
      ++i;
      int digits = 0;
      std::size_t fstart = i;
      for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
        if (digits < 6) fraction = fraction * 10 + (text[i] - '0');
      }
      if (i == fstart || i != text.size()) return false;
      for (; digits < 6; ++digits) fraction *= 10;
      break;
    }
    return false;
  }
  if (n < 2 || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
  *micros = ((parts[0] * 60 + parts[1]) * 60 + parts[2]) * 1000000 + fraction;
  return true;
}

int expand_year(const std::string& digits) {
  int year = std::stoi(digits);
  if (digits.size() <= 2) year += year < 30 ? 2000 : 1900;
  return year;
}

HRESULT date_from_ascii(const std::string& text, DATE* out) {
  // Split into blank- or comma-separated words; the one word with ':' is the clock time.
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == ',') {
      if (!word.empty()) words.push_back(word), word.clear();
    } else {
      word.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
    }
  }
  if (!word.empty()) words.push_back(word);
  bool has_time = false;
  int64_t micros = 0;
  std::vector<std::string> items;  // date items: numbers and month words
  for (const std::string& w : words) {
    if (w.find(':') != std::string::npos) {
      if (has_time || !parse_clock(w, &micros)) return DISP_E_TYPEMISMATCH;
      has_time = true;
      continue;
    }
    std::string item;
    for (char c : w) {
      if (c == '-' || c == '/' || c == '.') {
        if (item.empty()) return DISP_E_TYPEMISMATCH;
        items.push_back(item), item.clear();
      } else {
        item.push_back(c);
      }
    }
    if (item.empty()) return DISP_E_TYPEMISMATCH;
    items.push_back(item);
  }
  if (items.empty()) {
    if (!has_time) return DISP_E_TYPEMISMATCH;
    return serial_from_micros(0, micros, out) ? S_OK : DISP_E_OVERFLOW;
  }
  if (items.size() != 3) return DISP_E_TYPEMISMATCH;
  int year = 0, month = 0, day = 0;
  int name_at = -1;
  for (int i = 0; i < 3; ++i) {
    if (!all_digits(items[i])) {
      if (name_at >= 0 || (month = month_from_name(items[i])) == 0) return DISP_E_TYPEMISMATCH;
      name_at = i;
    }
  }
  if (name_at >= 0) {
    // "D Mon Y" or "Mon D Y": the day comes before the year.
    std::string numbers[2];
    int k = 0;
    for (int i = 0; i < 3; ++i) {
      if (i != name_at) numbers[k++] = items[i];
    }
    if (name_at == 2) return DISP_E_TYPEMISMATCH;
    day = std::stoi(numbers[0]);
    year = expand_year(numbers[1]);
  } else if (items[0].size() == 4) {
    year = std::stoi(items[0]);
    month = std::stoi(items[1]);
    day = std::stoi(items[2]);
  } else {
    month = std::stoi(items[0]);
    day = std::stoi(items[1]);
    year = expand_year(items[2]);
  }
  return oa_serial_from_parts(year, month, day, 0, 0, 0, micros, out) ? S_OK : DISP_E_OVERFLOW;
}

}  // namespace

bool oa_is_leap_year(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int oa_days_in_month(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && oa_is_leap_year(year) ? 29 : kDays[month - 1];
}

bool oa_serial_from_parts(int year, int month, int day, int64_t hour, int64_t minute, int64_t second,
                          int64_t microsecond, DATE* out) {
  if (year < 100 || year > 9999 || day < 1 || day > oa_days_in_month(year, month)) return false;
  if (hour < 0 || minute < 0 || second < 0 || microsecond < 0) return false;
  if (hour > 1000000 || minute > 100000000 || second > 10000000000LL || microsecond > 1000000000000000LL) return false;
  int64_t micros = ((hour * 60 + minute) * 60 + second) * 1000000 + microsecond;
  int64_t days = days_from_civil(year, month, day) - kDayZero + micros / kMicrosPerDay;
  return serial_from_micros(days, micros % kMicrosPerDay, out);
}

bool oa_serial_from_duration(int64_t hour, int64_t minute, int64_t second, int64_t microsecond, DATE* out) {
  if (hour < 0 || minute < 0 || second < 0 || microsecond < 0) return false;
  if (hour > 1000000 || minute > 100000000 || second > 10000000000LL || microsecond > 1000000000000000LL) return false;
  int64_t micros = ((hour * 60 + minute) * 60 + second) * 1000000 + microsecond;
  if (micros / kMicrosPerDay > kMaxDay) return false;
  *out = static_cast<double>(micros) / static_cast<double>(kMicrosPerDay);
  return true;
}

bool oa_parts_from_serial(DATE serial, oa_date_parts* out) {
  if (!(serial > -657435.0 && serial < 2958466.0)) return false;
  double whole = std::trunc(serial);
  int64_t day = static_cast<int64_t>(whole);
  int64_t micros = std::llround(std::fabs(serial - whole) * static_cast<double>(kMicrosPerDay));
  // Far from day zero a double cannot tell microseconds apart; prefer the whole second, then the whole
  // millisecond, that gives back exactly this serial, so that written values read back as they were.
  for (int64_t unit : {int64_t{1000000}, int64_t{1000}}) {
    int64_t candidate = (micros + unit / 2) / unit * unit;
    double fraction = static_cast<double>(candidate) / static_cast<double>(kMicrosPerDay);
    if ((day >= 0 ? whole + fraction : whole - fraction) == serial) {
      micros = candidate;
      break;
    }
  }
  if (micros >= kMicrosPerDay) {
    micros -= kMicrosPerDay;
    ++day;
  }
  if (day < kMinDay || day > kMaxDay) return false;
  int64_t civil = day + kDayZero;
  civil_from_days(civil, &out->year, &out->month, &out->day);
  int64_t seconds = micros / 1000000;
  out->microsecond = static_cast<int>(micros % 1000000);
  out->hour = static_cast<int>(seconds / 3600);
  out->minute = static_cast<int>(seconds / 60 % 60);
  out->second = static_cast<int>(seconds % 60);
  // 1970-01-01 was a Thursday.
  out->day_of_week = static_cast<int>(((civil % 7) + 7 + 4) % 7);
  return true;
}

int SystemTimeToVariantTime(const SYSTEMTIME* in, DATE* out) {
  if (in == nullptr || out == nullptr) return 0;
  if (in->wMonth > 12 || in->wHour > 23 || in->wMinute > 59 || in->wSecond > 59 || in->wMilliseconds > 999) return 0;
  return oa_serial_from_parts(in->wYear, in->wMonth, in->wDay, in->wHour, in->wMinute, in->wSecond,
                              int64_t{in->wMilliseconds} * 1000, out)
             ? 1
             : 0;
}

int VariantTimeToSystemTime(DATE in, SYSTEMTIME* out) {
  if (out == nullptr) return 0;
  // Round to the millisecond through the microsecond parts of the rounded serial.
  oa_date_parts parts;
  if (!oa_parts_from_serial(in, &parts)) return 0;
  int millis = (parts.microsecond + 500) / 1000;
  if (millis == 1000) {
    DATE whole;
    if (!oa_serial_from_parts(parts.year, parts.month, parts.day, parts.hour, parts.minute, parts.second + 1, 0,
                              &whole) ||
        !oa_parts_from_serial(whole, &parts)) {
      return 0;
    }
    millis = 0;
  }
  out->wYear = static_cast<uint16_t>(parts.year);
  out->wMonth = static_cast<uint16_t>(parts.month);
  out->wDayOfWeek = static_cast<uint16_t>(parts.day_of_week);
  out->wDay = static_cast<uint16_t>(parts.day);
  out->wHour = static_cast<uint16_t>(parts.hour);
  out->wMinute = static_cast<uint16_t>(parts.minute);
  out->wSecond = static_cast<uint16_t>(parts.second);
  out->wMilliseconds = static_cast<uint16_t>(millis);
  return 1;
}

HRESULT VarDateFromStr(std::string_view text, DATE* out) {
  if (out == nullptr) return E_POINTER;
  return date_from_ascii(std::string(text), out);
}

HRESULT VarDateFromStr(std::wstring_view text, DATE* out) {
  if (out == nullptr) return E_POINTER;
  std::string ascii;
  ascii.reserve(text.size());
  for (wchar_t c : text) {
    if (c <= 0 || c >= 0x80) return DISP_E_TYPEMISMATCH;
    ascii.push_back(static_cast<char>(c));
  }
  return date_from_ascii(ascii, out);
}
