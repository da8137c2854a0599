// Access's functions and operators registered on the evaluator (see sql_functions.h).
#include "platform/dao/sql_functions.h"

#include <sqlite3.h>

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/dao/errors.h"
#include "platform/dao/sql_collation.h"
#include "platform/dao/sql_errors.h"
#include "platform/oleaut/numtext.h"
#include "platform/oleaut/vardate.h"
#include "platform/system/codepage.h"

namespace dao {
namespace {

using arg = sqlite3_value*;

// A refusal inside a function: reported to the evaluator with its DAO number.
struct refusal {
  int number;
};
[[noreturn]] void refuse(int number) { throw refusal{number}; }

bool null(arg v) { return sqlite3_value_type(v) == SQLITE_NULL; }

std::wstring text(arg v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return std::to_wstring(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return access_number_text(sqlite3_value_double(v));
    case SQLITE_NULL: return std::wstring();
    default: {
      const char* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
      return sys_utf8_to_wide(std::string_view(t ? t : "", static_cast<size_t>(sqlite3_value_bytes(v))));
    }
  }
}

bool is_ascii_digit(wchar_t c) { return c >= L'0' && c <= L'9'; }

std::wstring trimmed(const std::wstring& s) {
  size_t a = s.find_first_not_of(L" \t\r\n"), b = s.find_last_not_of(L" \t\r\n");
  return a == std::wstring::npos ? std::wstring() : s.substr(a, b - a + 1);
}

// Case of a character whatever the process locale: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic.
wchar_t upper_char(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 32);
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F))
    return static_cast<wchar_t>(c - 32);
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x450 && c <= 0x45F) return static_cast<wchar_t>(c - 80);
  if (c >= 0x100 && c <= 0x17F) {
    bool odd_upper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (odd_upper ? c % 2 == 0 : c % 2 == 1) return static_cast<wchar_t>(c - 1);
  }
  return c;
}
wchar_t lower_char(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return static_cast<wchar_t>(c + 32);
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) || (c >= 0x410 && c <= 0x42F))
    return static_cast<wchar_t>(c + 32);
  if (c >= 0x400 && c <= 0x40F) return static_cast<wchar_t>(c + 80);
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x138 && c != 0x149 && c != 0x17F) {
    bool odd_upper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (odd_upper ? c % 2 == 1 : c % 2 == 0) return static_cast<wchar_t>(c + 1);
  }
  return c;
}

std::wstring fold(std::wstring s) {
  for (wchar_t& ch : s) ch = lower_char(ch);
  return s;
}

// A text IsNumeric takes for a number: blanks around, a sign, a $, thousands separators in the whole part, a
// fraction, an exponent; or &H / &O digits.
bool reads_as_number(std::wstring t) {
  t = trimmed(t);
  if (t.empty()) return false;
  if (t.size() > 2 && t[0] == L'&' && (t[1] == L'H' || t[1] == L'h' || t[1] == L'O' || t[1] == L'o')) {
    bool hex = t[1] == L'H' || t[1] == L'h';
    for (size_t i = 2; i < t.size(); ++i)
      if (hex ? !std::iswxdigit(t[i]) : (t[i] < L'0' || t[i] > L'7')) return false;
    return true;
  }
  std::wstring plain;
  size_t i = 0;
  if (t[i] == L'+' || t[i] == L'-') plain += t[i++];
  if (i < t.size() && t[i] == L'$') ++i;
  if (plain.empty() && i < t.size() && (t[i] == L'+' || t[i] == L'-')) plain += t[i++];
  bool digits = false, point = false;
  for (; i < t.size(); ++i) {
    wchar_t ch = t[i];
    if (is_ascii_digit(ch)) {
      digits = true;
      plain += ch;
    } else if (ch == L',' && !point && digits) {
      continue;
    } else if (ch == L'.' && !point) {
      point = true;
      plain += ch;
    } else {
      break;
    }
  }
  if (!digits) return false;
  if (i < t.size() && (t[i] == L'e' || t[i] == L'E' || t[i] == L'd' || t[i] == L'D')) {
    plain += L'E';
    ++i;
    if (i < t.size() && (t[i] == L'+' || t[i] == L'-')) plain += t[i++];
    size_t start = i;
    while (i < t.size() && is_ascii_digit(t[i])) plain += t[i++];
    if (i == start) return false;
  }
  double d = 0;
  return i == t.size() && oa_parse_double(plain, &d);
}

// The number a text reads as: a number, True or False, or a date.
double number_of_text(const std::wstring& text) {
  std::wstring t = trimmed(text);
  double d = 0;
  if (oa_parse_double(t, &d)) return d;
  if (fold(t) == L"true") return -1;
  if (fold(t) == L"false") return 0;
  double date = 0;
  if (access_date_from_text(t, &date)) return date;
  refuse(err::type_mismatch_in_criteria);
}

double number(arg v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: return static_cast<double>(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return sqlite3_value_double(v);
    case SQLITE_NULL: refuse(err::invalid_use_of_null);
    default: return number_of_text(text(v));
  }
}

// A date argument: a date number, or a text read as a date.
double date_of(arg v) {
  if (sqlite3_value_type(v) == SQLITE_TEXT) {
    double d = 0;
    std::wstring t = trimmed(text(v));
    if (access_date_from_text(t, &d)) return d;
    if (oa_parse_double(t, &d)) return d;
    refuse(err::type_mismatch_in_criteria);
  }
  return number(v);
}

double round_even(double x) {
  double r = 0;
  if (!oa_round_half_even(x, &r)) refuse(err::overflow);
  return r;
}

int64_t whole(arg v) {
  double r = round_even(number(v));
  if (r < -9.2e18 || r > 9.2e18) refuse(err::overflow);
  return static_cast<int64_t>(r);
}

oa_date_parts parts(double serial) {
  oa_date_parts p;
  if (!oa_parts_from_serial(serial, &p)) refuse(err::overflow);
  return p;
}

double serial(int64_t year, int64_t month, int64_t day, int64_t h = 0, int64_t m = 0, int64_t s = 0) {
  // Months and days beyond their ranges roll over, as DateSerial rolls them.
  int64_t m0 = month - 1;
  year += m0 >= 0 ? m0 / 12 : -((11 - m0) / 12);
  m0 = ((m0 % 12) + 12) % 12;
  DATE first = 0;
  if (year < 100 || year > 9999 || !oa_serial_from_parts(static_cast<int>(year), static_cast<int>(m0 + 1), 1, 0, 0, 0, 0, &first))
    refuse(err::overflow);
  double seconds = static_cast<double>(h * 3600 + m * 60 + s);
  double days = first + static_cast<double>(day - 1);
  if (days >= 0) return days + seconds / 86400.0;
  // Before day zero the fraction still counts forward from midnight.
  double whole_days = std::floor(days + seconds / 86400.0);
  double frac = std::fmod(seconds / 86400.0, 1.0);
  if (frac < 0) frac += 1;
  return whole_days < 0 ? whole_days - frac : whole_days + frac;
}

void result(sqlite3_context* c, const std::wstring& s) {
  std::string u = sys_wide_to_utf8(s);
  sqlite3_result_text(c, u.data(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
}
void result(sqlite3_context* c, double d) { sqlite3_result_double(c, d); }
void result_int(sqlite3_context* c, int64_t i) { sqlite3_result_int64(c, i); }
void result_bool(sqlite3_context* c, bool b) { sqlite3_result_int(c, b ? -1 : 0); }


// ------------------------------------------------------------------------------------------ weeks

// The first day of the week (1 Sunday .. 7 Saturday; 0, the system's, is Sunday) and the first week of the year
// (1 the week of January 1, 2 the first with four days of the year, 3 the first whole week; 0 is 1).
int first_day_of(arg v) {
  int64_t d = null(v) ? 1 : whole(v);
  if (d < 0 || d > 7) refuse(err::invalid_procedure_call);
  return d == 0 ? 1 : static_cast<int>(d);
}
int first_week_of(arg v) {
  int64_t w = null(v) ? 1 : whole(v);
  if (w < 0 || w > 3) refuse(err::invalid_procedure_call);
  return w == 0 ? 1 : static_cast<int>(w);
}

// The day's place in its week, 1 for the first day.
int weekday_number(double d, int first_day) { return (parts(d).day_of_week + 1 - first_day + 7) % 7 + 1; }

// The week of the year a day falls in; days before the first week of their year are in the last week of the year
// before, and the last days of December that the first week of the next year takes (a week counted from the first
// with four days) are in its week 1. Counted from the week of January 1, December 31 may be week 54.
int64_t week_of_year(double d, int first_day, int first_week) {
  oa_date_parts p = parts(d);
  double day = serial(p.year, p.month, p.day);
  auto week_one = [&](int year) {
    double jan1 = serial(year, 1, 1);
    int w = weekday_number(jan1, first_day);
    double start = jan1 - (w - 1);
    if ((first_week == 2 && w > 4) || (first_week == 3 && w > 1)) start += 7;
    return start;
  };
  double first = week_one(p.year);
  if (day < first) first = week_one(p.year - 1);
  if (first_week != 1 && p.year < 9999 && day >= week_one(p.year + 1)) return 1;
  double week_start = day - (weekday_number(day, first_day) - 1);
  return static_cast<int64_t>((week_start - first) / 7) + 1;
}

// ------------------------------------------------------------------------------------------ Format

const wchar_t* const month_names[] = {L"January", L"February", L"March",     L"April",   L"May",      L"June",
                                      L"July",    L"August",   L"September", L"October", L"November", L"December"};
const wchar_t* const day_names[] = {L"Sunday", L"Monday", L"Tuesday", L"Wednesday", L"Thursday", L"Friday", L"Saturday"};

std::wstring two(int v) { return (v < 10 ? L"0" : L"") + std::to_wstring(v); }

// A date to the nearest second, as Access shows one.
double to_second(double d) { return std::round(d * 86400) / 86400; }

// The length of the 12-hour clock's mark at f[i] (AM/PM, am/pm, A/P, a/p, AMPM), or 0.
size_t twelve_hour_mark(const std::wstring& f, size_t i) {
  for (const wchar_t* mark : {L"AM/PM", L"am/pm", L"AMPM", L"ampm", L"A/P", L"a/p"})
    if (f.compare(i, std::wcslen(mark), mark) == 0) return std::wcslen(mark);
  return 0;
}

std::wstring general_date(double d);

std::wstring format_date(double d, const std::wstring& f, int first_day = 1, int first_week = 1) {
  d = to_second(d);
  oa_date_parts p = parts(d);
  std::wstring out;
  bool after_hour = false;
  for (size_t i = 0; i < f.size();) {
    auto run = [&](wchar_t c) {
      size_t n = 0;
      while (i + n < f.size() && static_cast<wchar_t>(std::towlower(f[i + n])) == c) ++n;
      return n;
    };
    wchar_t c = static_cast<wchar_t>(std::towlower(f[i]));
    // AM/PM and A/P as written (upper or lower case), AMPM as the system writes it.
    if (size_t n = twelve_hour_mark(f, i)) {
      bool upper = f[i] == L'A' || n == 4;
      if (n == 3) out += p.hour < 12 ? (upper ? L"A" : L"a") : (upper ? L"P" : L"p");
      else out += p.hour < 12 ? (upper ? L"AM" : L"am") : (upper ? L"PM" : L"pm");
      i += n;
      continue;
    }
    if (c == L'c' || (c == L't' && run(L't') == 5)) {
      // c the general date, ttttt the long time.
      out += c == L'c' ? general_date(d) : format_date(d, L"h:nn:ss AM/PM");
      i += c == L'c' ? 1 : 5;
      continue;
    }
    if (c == L'y') {
      // y the day of the year, yy the year's last two digits, yyyy the year.
      size_t n = run(L'y');
      int day_of_year = static_cast<int>(serial(p.year, p.month, p.day) - serial(p.year, 1, 1)) + 1;
      if (n == 1) out += std::to_wstring(day_of_year);
      else if (n == 3) out += two(p.year % 100) + std::to_wstring(day_of_year);
      else out += n >= 4 ? std::to_wstring(p.year) : two(p.year % 100);
      i += n;
    } else if (c == L'w') {
      size_t n = run(L'w');
      out += std::to_wstring(n >= 2 ? week_of_year(d, first_day, first_week) : weekday_number(d, first_day));
      i += n;
    } else if (c == L'q') {
      out += std::to_wstring((p.month - 1) / 3 + 1);
      ++i;
    } else if (c == L'm') {
      size_t n = run(L'm');
      // m right after an hour, or before seconds, is the minute.
      bool minute = n <= 2 && (after_hour || f.find_first_of(L"sS", i + n) == i + n + 1 ||
                               (i + n < f.size() && f[i + n] == L':' && i + n + 1 < f.size() &&
                                std::towlower(f[i + n + 1]) == L's'));
      if (minute) out += n == 2 ? two(p.minute) : std::to_wstring(p.minute);
      else if (n >= 4) out += month_names[p.month - 1];
      else if (n == 3) out += std::wstring(month_names[p.month - 1]).substr(0, 3);
      else out += n == 2 ? two(p.month) : std::to_wstring(p.month);
      after_hour = false;
      i += n;
    } else if (c == L'd') {
      size_t n = run(L'd');
      // ddddd the short date, dddddd the long date.
      if (n == 5) out += format_date(d, L"m/d/yyyy");
      else if (n >= 6) out += format_date(d, L"dddd, mmmm d, yyyy");
      else if (n == 4) out += day_names[p.day_of_week];
      else if (n == 3) out += std::wstring(day_names[p.day_of_week]).substr(0, 3);
      else out += n == 2 ? two(p.day) : std::to_wstring(p.day);
      i += n;
    } else if (c == L'h') {
      size_t n = run(L'h');
      int h = p.hour;
      bool twelve = false;
      for (size_t k = 0; k < f.size() && !twelve; ++k) twelve = twelve_hour_mark(f, k) != 0;
      if (twelve) h = h % 12 == 0 ? 12 : h % 12;
      out += n >= 2 ? two(h) : std::to_wstring(h);
      after_hour = true;
      i += n;
    } else if (c == L'n') {
      size_t n = run(L'n');
      out += n >= 2 ? two(p.minute) : std::to_wstring(p.minute);
      i += n;
    } else if (c == L's') {
      size_t n = run(L's');
      out += n >= 2 ? two(p.second) : std::to_wstring(p.second);
      i += n;
    } else if (f[i] == L'\\' && i + 1 < f.size()) {
      out += f[i + 1];
      i += 2;
    } else if (f[i] == L'"') {
      size_t end = f.find(L'"', i + 1);
      out += f.substr(i + 1, end == std::wstring::npos ? std::wstring::npos : end - i - 1);
      i = end == std::wstring::npos ? f.size() : end + 1;
    } else {
      if (c != L':') after_hour = after_hour && c == L' ';
      out += f[i++];
    }
  }
  return out;
}

std::wstring group_thousands(const std::wstring& digits) {
  std::wstring out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += L',';
    out += digits[i];
  }
  return out;
}

std::wstring format_number(double v, std::wstring f) {
  // Sections: positive;negative;zero.
  std::vector<std::wstring> sections;
  for (size_t start = 0;;) {
    size_t semi = f.find(L';', start);
    sections.push_back(f.substr(start, semi == std::wstring::npos ? std::wstring::npos : semi - start));
    if (semi == std::wstring::npos) break;
    start = semi + 1;
  }
  bool negative = v < 0;
  std::wstring s = sections[0];
  if (negative && sections.size() > 1 && !sections[1].empty()) {
    s = sections[1];
    v = -v;
    negative = false;
  } else if (v == 0 && sections.size() > 2 && !sections[2].empty()) {
    s = sections[2];
  }
  if (s.find(L'%') != std::wstring::npos) v *= 100;
  size_t point = s.find(L'.');
  std::wstring int_part = s.substr(0, point), frac_part = point == std::wstring::npos ? L"" : s.substr(point + 1);
  int min_int = 0, decimals = 0, min_decimals = 0;
  bool thousands = int_part.find(L',') != std::wstring::npos;
  for (wchar_t c : int_part)
    if (c == L'0') ++min_int;
  for (wchar_t c : frac_part) {
    if (c == L'0') ++min_decimals, ++decimals;
    else if (c == L'#') ++decimals;
  }
  double scaled = round_even(std::fabs(v) * std::pow(10.0, decimals));
  std::string digits;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.0f", scaled);
  digits = buf;
  while (digits.size() < static_cast<size_t>(decimals) + 1) digits.insert(digits.begin(), '0');
  std::wstring ip(digits.begin(), digits.end() - decimals), fp(digits.end() - decimals, digits.end());
  while (fp.size() > static_cast<size_t>(min_decimals) && !fp.empty() && fp.back() == L'0') fp.pop_back();
  while (ip.size() > 1 && ip[0] == L'0') ip.erase(0, 1);
  if (ip == L"0" && min_int == 0) ip.clear();
  while (ip.size() < static_cast<size_t>(min_int)) ip.insert(0, 1, L'0');
  if (thousands) ip = group_thousands(ip);
  std::wstring body = ip + (fp.empty() && point != std::wstring::npos && min_decimals == 0 ? L"" : (fp.empty() ? L"" : L"." + fp));
  // Literal characters before and after the digits stay where they are.
  std::wstring before, after;
  size_t first = s.find_first_of(L"0#.,"), last = s.find_last_of(L"0#.,");
  if (first != std::wstring::npos) {
    for (wchar_t c : s.substr(0, first))
      if (c != L'"' && c != L'\\') before += c;
    for (wchar_t c : s.substr(last + 1))
      if (c != L'"' && c != L'\\') after += c;
  }
  return (negative && (scaled != 0) ? L"-" : L"") + before + body + after;
}

// A date as Access shows it when it turns one into text: the day alone at midnight, the time alone on day zero
// (day zero's midnight too: 12:00:00 AM).
std::wstring general_date(double d) {
  d = to_second(d);
  double frac = d - std::trunc(d);
  if (std::trunc(d) == 0) return format_date(d, L"h:nn:ss AM/PM");
  if (frac == 0) return format_date(d, L"m/d/yyyy");
  return format_date(d, L"m/d/yyyy h:nn:ss AM/PM");
}

// A format of text codes only: @ a character or a blank, & a character or nothing, < lower case, > upper case,
// ! placeholders filled from the left; anything else is printed as written.
bool text_format(const std::wstring& f) {
  bool codes = false;
  for (size_t i = 0; i < f.size(); ++i) {
    wchar_t c = f[i];
    if (c == L'\\') {
      ++i;
    } else if (c == L'"') {
      size_t end = f.find(L'"', i + 1);
      if (end == std::wstring::npos) return false;
      i = end;
    } else if (c == L'@' || c == L'&' || c == L'<' || c == L'>') {
      codes = true;
    } else if (std::iswalnum(c) || c == L'#' || c == L'%') {
      return false;  // a code of dates or numbers
    }
  }
  return codes;
}

std::wstring format_text(std::wstring s, const std::wstring& f) {
  bool left = false;
  std::vector<std::pair<wchar_t, std::wstring>> slots;  // placeholder (0 for none) and the literal text after it
  for (size_t i = 0; i < f.size(); ++i) {
    wchar_t c = f[i];
    if (c == L'<') s = fold(s);
    else if (c == L'>') for (wchar_t& ch : s) ch = upper_char(ch);
    else if (c == L'!') left = true;
  }
  std::wstring lead;
  for (size_t i = 0; i < f.size(); ++i) {
    wchar_t c = f[i];
    std::wstring literal;
    if (c == L'<' || c == L'>' || c == L'!') continue;
    if (c == L'@' || c == L'&') {
      slots.push_back({c, L""});
      continue;
    }
    if (c == L'\\' && i + 1 < f.size()) {
      literal = f.substr(++i, 1);
    } else if (c == L'"') {
      size_t end = f.find(L'"', i + 1);
      literal = f.substr(i + 1, end - i - 1);
      i = end;
    } else {
      literal = std::wstring(1, c);
    }
    (slots.empty() ? lead : slots.back().second) += literal;
  }
  if (slots.empty()) return lead + s;
  // Each placeholder takes one character; from the right unless ! says from the left. Characters beyond the
  // placeholders go before them (from the right) or after them (from the left).
  size_t n = slots.size();
  std::vector<std::wstring> put(n);
  if (left) {
    for (size_t k = 0; k < n; ++k)
      put[k] = k < s.size() ? std::wstring(1, s[k]) : (slots[k].first == L'@' ? L" " : L"");
    std::wstring out = lead;
    for (size_t k = 0; k < n; ++k) out += put[k] + slots[k].second;
    return out + (s.size() > n ? s.substr(n) : L"");
  }
  size_t extra = s.size() > n ? s.size() - n : 0;
  for (size_t k = 0; k < n; ++k) {
    size_t from_right = n - 1 - k;  // placeholders after this one
    put[k] = from_right < s.size() - extra ? std::wstring(1, s[s.size() - 1 - from_right])
                                           : (slots[k].first == L'@' ? L" " : L"");
  }
  std::wstring out = lead + s.substr(0, extra);
  for (size_t k = 0; k < n; ++k) out += put[k] + slots[k].second;
  return out;
}

std::wstring format_value(arg v, const std::wstring& f, int first_day, int first_week) {
  std::wstring name = fold(f);
  if (text_format(f)) return format_text(text(v), f);
  if (name.empty() || name == L"general number") return sqlite3_value_type(v) == SQLITE_TEXT ? text(v) : access_number_text(number(v));
  if (name == L"currency") return format_number(number(v), L"$#,##0.00;($#,##0.00)");
  if (name == L"fixed") return format_number(number(v), L"0.00");
  if (name == L"standard") return format_number(number(v), L"#,##0.00");
  if (name == L"percent") return format_number(number(v), L"0.00%");
  if (name == L"scientific") {
    std::string s;
    oa_append_e(s, number(v), 2);
    size_t e = s.find('e');
    std::string mant = s.substr(0, e), exp = s.substr(e + 1);
    int x = std::atoi(exp.c_str());
    std::string out = mant + (x < 0 ? "E-" : "E+") + (std::abs(x) < 10 ? "0" : "") + std::to_string(std::abs(x));
    return sys_utf8_to_wide(out);
  }
  if (name == L"yes/no") return number(v) != 0 ? L"Yes" : L"No";
  if (name == L"true/false") return number(v) != 0 ? L"True" : L"False";
  if (name == L"on/off") return number(v) != 0 ? L"On" : L"Off";
  if (name == L"general date") return general_date(date_of(v));
  if (name == L"long date") return format_date(date_of(v), L"dddd, mmmm d, yyyy");
  if (name == L"medium date") return format_date(date_of(v), L"dd-mmm-yy");
  if (name == L"short date") return format_date(date_of(v), L"m/d/yyyy");
  if (name == L"long time") return format_date(date_of(v), L"h:nn:ss AM/PM");
  if (name == L"medium time") return format_date(date_of(v), L"hh:nn AM/PM");
  if (name == L"short time") return format_date(date_of(v), L"hh:nn");
  bool numeric = f.find_first_of(L"0#") != std::wstring::npos;
  if (numeric) return format_number(number(v), f);
  return format_date(date_of(v), f, first_day, first_week);
}

// ------------------------------------------------------------------------------------------ dates

int64_t interval_months(const std::wstring& i) {
  std::wstring n = fold(i);
  if (n == L"yyyy") return 12;
  if (n == L"q") return 3;
  if (n == L"m") return 1;
  return 0;
}
double interval_seconds(const std::wstring& i) {
  std::wstring n = fold(i);
  if (n == L"d" || n == L"y" || n == L"w") return 86400;
  if (n == L"ww") return 7 * 86400;
  if (n == L"h") return 3600;
  if (n == L"n") return 60;
  if (n == L"s") return 1;
  refuse(err::invalid_procedure_call);
}

double date_add(const std::wstring& interval, double count, double d) {
  if (int64_t months = interval_months(interval)) {
    oa_date_parts p = parts(d);
    int64_t total = static_cast<int64_t>(p.year) * 12 + (p.month - 1) + months * static_cast<int64_t>(std::trunc(count));
    int64_t year = total / 12, month = total % 12 + 1;
    int last = oa_days_in_month(static_cast<int>(year), static_cast<int>(month));
    int day = p.day > last ? last : p.day;
    return serial(year, month, day, p.hour, p.minute, p.second);
  }
  double seconds = interval_seconds(interval) * std::trunc(count);
  return d + seconds / 86400.0;
}

int64_t floor_div(double v, double unit) { return static_cast<int64_t>(std::floor(v / unit + 1e-9)); }

int64_t date_diff(const std::wstring& interval, double a, double b, int first_day) {
  std::wstring n = fold(interval);
  if (interval_months(n)) {
    oa_date_parts p = parts(a), q = parts(b);
    if (n == L"yyyy") return q.year - p.year;
    if (n == L"q") return (q.year * 4 + (q.month - 1) / 3) - (p.year * 4 + (p.month - 1) / 3);
    return (q.year * 12 + q.month) - (p.year * 12 + p.month);
  }
  if (n == L"d" || n == L"y") return static_cast<int64_t>(std::floor(b) - std::floor(a));
  if (n == L"w") return static_cast<int64_t>(std::trunc((std::floor(b) - std::floor(a)) / 7));
  if (n == L"ww") {
    // First days of the week crossed (day zero was a Saturday).
    double shift = 6 - (first_day - 1);
    return floor_div(std::floor(b) + shift, 7) - floor_div(std::floor(a) + shift, 7);
  }
  double unit = interval_seconds(n);
  double sa = std::round(a * 86400), sb = std::round(b * 86400);
  return floor_div(sb, unit) - floor_div(sa, unit);
}

int64_t date_part(const std::wstring& interval, double d, int first_day, int first_week) {
  std::wstring n = fold(interval);
  oa_date_parts p = parts(d);
  if (n == L"yyyy") return p.year;
  if (n == L"q") return (p.month - 1) / 3 + 1;
  if (n == L"m") return p.month;
  if (n == L"d") return p.day;
  if (n == L"w") return weekday_number(d, first_day);
  if (n == L"h") return p.hour;
  if (n == L"n") return p.minute;
  if (n == L"s") return p.second;
  if (n == L"y") return static_cast<int64_t>(std::floor(d) - std::floor(serial(p.year, 1, 1))) + 1;
  if (n == L"ww") return week_of_year(d, first_day, first_week);
  refuse(err::invalid_procedure_call);
}

double local_now() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return serial(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

// ------------------------------------------------------------------------------------------ registration

using body = void (*)(sqlite3_context*, int, arg*);

void call(sqlite3_context* c, int n, arg* v) {
  try {
    reinterpret_cast<body>(sqlite3_user_data(c))(c, n, v);
  } catch (const refusal& r) {
    std::string m = function_error(r.number);
    sqlite3_result_error(c, m.c_str(), -1);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(c);
  }
}

// Functions whose every argument being Null (any of them) gives Null.
#define NULL_IN_NULL_OUT                           \
  for (int i = 0; i < n; ++i)                      \
    if (null(v[i])) return sqlite3_result_null(c);

struct scalar {
  const char* name;
  int args;  // -1: any number, checked by the body
  body fn;
  bool clock = false;
};

void need_args(int n, int low, int high) {
  if (n < low || n > high) refuse(err::invalid_procedure_call);
}

std::wstring mid(const std::wstring& s, int64_t start, std::optional<int64_t> length) {
  if (start < 1) refuse(err::invalid_procedure_call);
  if (static_cast<size_t>(start) > s.size()) return std::wstring();
  return s.substr(static_cast<size_t>(start - 1), length ? static_cast<size_t>(std::max<int64_t>(0, *length)) : std::wstring::npos);
}

double val(const std::wstring& s) {
  std::wstring t;
  for (wchar_t ch : s)
    if (ch != L' ' && ch != L'\t' && ch != L'\n' && ch != L'\r') t += ch;
  if (t.size() > 2 && t[0] == L'&' && (t[1] == L'H' || t[1] == L'h')) {
    int64_t x = 0;
    for (size_t i = 2; i < t.size() && std::iswxdigit(t[i]); ++i) x = x * 16 + std::stoi(std::wstring(1, t[i]), nullptr, 16);
    return static_cast<double>(x);
  }
  size_t i = 0;
  if (i < t.size() && (t[i] == L'+' || t[i] == L'-')) ++i;
  while (i < t.size() && std::iswdigit(t[i])) ++i;
  if (i < t.size() && t[i] == L'.') {
    ++i;
    while (i < t.size() && std::iswdigit(t[i])) ++i;
  }
  if (i < t.size() && (t[i] == L'e' || t[i] == L'E' || t[i] == L'd' || t[i] == L'D')) {
    size_t k = i + 1;
    if (k < t.size() && (t[k] == L'+' || t[k] == L'-')) ++k;
    if (k < t.size() && std::iswdigit(t[k])) {
      while (k < t.size() && std::iswdigit(t[k])) ++k;
      i = k;
    }
  }
  std::wstring number_part = t.substr(0, i);
  for (wchar_t& ch : number_part)
    if (ch == L'd' || ch == L'D') ch = L'E';
  double d = 0;
  return oa_parse_double(number_part, &d) ? d : 0;
}

int64_t in_range(double r, double low, double high) {
  if (r < low || r > high) refuse(err::overflow);
  return static_cast<int64_t>(r);
}

// A run of /, \, Mod or ^ comes as one call, taken from the left as the operators are: a Null met gives Null,
// a divisor of zero met before it fails. `read` takes an operand as the operator wants it, `step` applies it.
template <typename T>
void left_run(sqlite3_context* c, int n, arg* v, T (*read)(arg), T (*step)(T, T), bool divides) {
  need_args(n, 2, 127);
  T r = 0;
  for (int i = 0; i < n; ++i) {
    if (null(v[i])) return sqlite3_result_null(c);
    T x = read(v[i]);
    if (divides && i > 0 && x == 0) refuse(err::division_by_zero);
    r = i == 0 ? x : step(r, x);
  }
  if constexpr (std::is_same_v<T, double>) result(c, r);
  else result_int(c, r);
}

const scalar scalars[] = {
    // The truth of a condition that is not a comparison (IIf, Switch): Null stays Null, a text must read as a number.
    {"acc_truth", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result_int(c, number(v[0]) != 0 ? 1 : 0); }},
    // The value of a subquery taken as one value: the one row's, Null for none; more rows than one are an error.
    {"acc_single", 2, [](sqlite3_context* c, int, arg* v) {
       if (sqlite3_value_int64(v[0]) > 1) refuse(err::subquery_records);
       sqlite3_result_value(c, v[1]);
     }},
    // A value summed or averaged (Sum, Avg, StDev, Var): a number, a date or Null; text has no sum.
    {"acc_summand", 1, [](sqlite3_context* c, int, arg* v) {
       int type = sqlite3_value_type(v[0]);
       if (type == SQLITE_TEXT || type == SQLITE_BLOB) refuse(err::type_mismatch_in_criteria);
       sqlite3_result_value(c, v[0]);
     }},
    // Choose's index: its whole part.
    {"acc_choice", 1, [](sqlite3_context* c, int n, arg* v) {
       if (null(v[0])) refuse(err::invalid_use_of_null);
       double d = std::trunc(number(v[0]));
       if (std::fabs(d) > 2147483647.0) refuse(err::overflow);
       result_int(c, static_cast<int64_t>(d));
     }},
    // A date turned into text, as & and CStr turn it; other values as they are.
    {"acc_datetext", 1, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT if (sqlite3_value_type(v[0]) == SQLITE_TEXT) return sqlite3_result_value(c, v[0]);
       result(c, general_date(number(v[0])));
     }},
    {"acc_isnumeric", 1, [](sqlite3_context* c, int, arg* v) {
       if (null(v[0])) return result_bool(c, false);
       if (sqlite3_value_type(v[0]) != SQLITE_TEXT) return result_bool(c, sqlite3_value_type(v[0]) != SQLITE_BLOB);
       result_bool(c, reads_as_number(text(v[0])));
     }},
    {"acc_isdate", 1, [](sqlite3_context* c, int, arg* v) {
       double d = 0;
       result_bool(c, sqlite3_value_type(v[0]) == SQLITE_TEXT && access_date_from_text(text(v[0]), &d));
     }},
    {"acc_datevalue", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result(c, std::trunc(date_of(v[0]))); }},
    {"acc_timevalue", 1, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT double d = date_of(v[0]);
       result(c, std::fabs(d - std::trunc(d)));
     }},
    {"acc_instrrev", -1, [](sqlite3_context* c, int n, arg* v) {
       need_args(n, 2, 4);
       if (n >= 3 && null(v[2])) refuse(err::invalid_use_of_null);
       if (null(v[0]) || null(v[1])) return sqlite3_result_null(c);
       int64_t start = n >= 3 ? whole(v[2]) : -1;
       if (start == 0 || start < -1) refuse(err::invalid_procedure_call);
       bool binary = n == 4 && !null(v[3]) && whole(v[3]) == 0;
       std::wstring hay = text(v[0]), needle = text(v[1]);
       if (!binary) hay = fold(hay), needle = fold(needle);
       size_t end = start == -1 ? hay.size() : static_cast<size_t>(start);
       if (end > hay.size()) return result_int(c, 0);
       if (needle.empty()) return result_int(c, static_cast<int64_t>(end));
       if (needle.size() > end) return result_int(c, 0);
       size_t at = hay.rfind(needle, end - needle.size());
       result_int(c, at == std::wstring::npos ? 0 : static_cast<int64_t>(at + 1));
     }},
    {"acc_nz", -1, [](sqlite3_context* c, int n, arg* v) {
       need_args(n, 1, 2);
       if (!null(v[0])) return sqlite3_result_value(c, v[0]);
       if (n == 2) return sqlite3_result_value(c, v[1]);
       result(c, std::wstring());
     }},
    {"acc_isnull", 1, [](sqlite3_context* c, int, arg* v) { result_bool(c, null(v[0])); }},
    {"acc_len", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result_int(c, static_cast<int64_t>(text(v[0]).size())); }},
    {"acc_left", 2, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT int64_t k = whole(v[1]);
       if (k < 0) refuse(err::invalid_procedure_call);
       result(c, text(v[0]).substr(0, static_cast<size_t>(k)));
     }},
    {"acc_right", 2, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT std::wstring s = text(v[0]);
       int64_t k = whole(v[1]);
       if (k < 0) refuse(err::invalid_procedure_call);
       result(c, static_cast<size_t>(k) >= s.size() ? s : s.substr(s.size() - static_cast<size_t>(k)));
     }},
    {"acc_mid", -1, [](sqlite3_context* c, int n, arg* v) {
       need_args(n, 2, 3);
       NULL_IN_NULL_OUT std::optional<int64_t> length;
       if (n == 3) length = whole(v[2]);
       result(c, mid(text(v[0]), whole(v[1]), length));
     }},
    {"acc_instr", -1, [](sqlite3_context* c, int n, arg* v) {
       need_args(n, 2, 4);
       int first = 0;
       int64_t start = 1;
       if (n >= 3) {
         if (null(v[0])) refuse(err::invalid_use_of_null);
         start = whole(v[0]);
         first = 1;
       }
       if (start < 1) refuse(err::invalid_procedure_call);
       if (null(v[first]) || null(v[first + 1])) return sqlite3_result_null(c);
       bool binary = n == 4 && !null(v[3]) && whole(v[3]) == 0;
       std::wstring hay = text(v[first]), needle = text(v[first + 1]);
       if (!binary) hay = fold(hay), needle = fold(needle);
       if (static_cast<size_t>(start) > hay.size() + (needle.empty() ? 1 : 0)) return result_int(c, 0);
       size_t at = hay.find(needle, static_cast<size_t>(start - 1));
       result_int(c, at == std::wstring::npos ? 0 : static_cast<int64_t>(at + 1));
     }},
    {"acc_ucase", 1, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT std::wstring s = text(v[0]);
       for (wchar_t& ch : s) ch = upper_char(ch);
       result(c, s);
     }},
    {"acc_lcase", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result(c, fold(text(v[0]))); }},
    {"acc_trim", 1, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT std::wstring s = text(v[0]);
       size_t a = s.find_first_not_of(L' '), b = s.find_last_not_of(L' ');
       result(c, a == std::wstring::npos ? std::wstring() : s.substr(a, b - a + 1));
     }},
    {"acc_ltrim", 1, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT std::wstring s = text(v[0]);
       size_t a = s.find_first_not_of(L' ');
       result(c, a == std::wstring::npos ? std::wstring() : s.substr(a));
     }},
    {"acc_rtrim", 1, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT std::wstring s = text(v[0]);
       size_t b = s.find_last_not_of(L' ');
       result(c, b == std::wstring::npos ? std::wstring() : s.substr(0, b + 1));
     }},
    {"acc_space", 1, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT int64_t k = whole(v[0]);
       if (k < 0) refuse(err::invalid_procedure_call);
       result(c, std::wstring(static_cast<size_t>(k), L' '));
     }},
    {"acc_string", 2, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT int64_t k = whole(v[0]);
       if (k < 0) refuse(err::invalid_procedure_call);
       wchar_t ch = 0;
       if (sqlite3_value_type(v[1]) == SQLITE_TEXT) {
         std::wstring s = text(v[1]);
         if (s.empty()) refuse(err::invalid_procedure_call);
         ch = s[0];
       } else {
         ch = static_cast<wchar_t>(whole(v[1]) & 0xFF);
       }
       result(c, std::wstring(static_cast<size_t>(k), ch));
     }},
    {"acc_replace", -1, [](sqlite3_context* c, int n, arg* v) {
       need_args(n, 3, 6);
       if (null(v[0])) return sqlite3_result_null(c);
       std::wstring s = text(v[0]), find = text(v[1]), with = text(v[2]);
       int64_t start = n >= 4 ? whole(v[3]) : 1, count = n >= 5 ? whole(v[4]) : -1;
       bool textual = n >= 6 && whole(v[5]) == 1;
       if (start < 1) refuse(err::invalid_procedure_call);
       s = static_cast<size_t>(start) > s.size() ? std::wstring() : s.substr(static_cast<size_t>(start - 1));
       if (find.empty()) return result(c, s);
       std::wstring hay = textual ? fold(s) : s, needle = textual ? fold(find) : find, out;
       size_t at = 0;
       for (int64_t done = 0; count < 0 || done < count; ++done) {
         size_t hit = hay.find(needle, at);
         if (hit == std::wstring::npos) break;
         out += s.substr(at, hit - at) + with;
         at = hit + find.size();
       }
       result(c, out + s.substr(at));
     }},
    {"acc_asc", 1, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT std::wstring s = text(v[0]);
       if (s.empty()) refuse(err::invalid_procedure_call);
       result_int(c, s[0]);
     }},
    {"acc_chr", 1, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT int64_t k = whole(v[0]);
       if (k < 0 || k > 0xFFFF) refuse(err::invalid_procedure_call);
       result(c, std::wstring(1, static_cast<wchar_t>(k)));
     }},
    {"acc_val", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result(c, val(text(v[0]))); }},
    {"acc_str", 1, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT double d = number(v[0]);
       std::wstring s = sqlite3_value_type(v[0]) == SQLITE_INTEGER ? std::to_wstring(sqlite3_value_int64(v[0]))
                                                                   : access_number_text(d);
       result(c, d >= 0 ? L" " + s : s);
     }},
    {"acc_cstr", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result(c, text(v[0])); }},
    {"acc_cint", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result_int(c, in_range(round_even(number(v[0])), -32768, 32767)); }},
    {"acc_clng", 1, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT result_int(c, in_range(round_even(number(v[0])), -2147483648.0, 2147483647.0));
     }},
    {"acc_cdbl", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result(c, number(v[0])); }},
    {"acc_csng", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result(c, static_cast<double>(static_cast<float>(number(v[0])))); }},
    {"acc_ccur", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result(c, round_even(number(v[0]) * 10000) / 10000); }},
    {"acc_cdate", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result(c, date_of(v[0])); }},
    {"acc_cbool", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result_bool(c, number(v[0]) != 0); }},
    {"acc_int", 1, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT if (sqlite3_value_type(v[0]) == SQLITE_INTEGER) return sqlite3_result_value(c, v[0]);
       result(c, std::floor(number(v[0])));
     }},
    {"acc_fix", 1, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT if (sqlite3_value_type(v[0]) == SQLITE_INTEGER) return sqlite3_result_value(c, v[0]);
       result(c, std::trunc(number(v[0])));
     }},
    {"acc_abs", 1, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT if (sqlite3_value_type(v[0]) == SQLITE_INTEGER) return result_int(c, std::llabs(sqlite3_value_int64(v[0])));
       result(c, std::fabs(number(v[0])));
     }},
    {"acc_sgn", 1, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT double d = number(v[0]);
       result_int(c, d > 0 ? 1 : (d < 0 ? -1 : 0));
     }},
    {"acc_sqr", 1, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT double d = number(v[0]);
       if (d < 0) refuse(err::invalid_procedure_call);
       result(c, std::sqrt(d));
     }},
    {"acc_round", -1, [](sqlite3_context* c, int n, arg* v) {
       need_args(n, 1, 2);
       NULL_IN_NULL_OUT int64_t places = n == 2 ? whole(v[1]) : 0;
       if (places < 0) refuse(err::invalid_procedure_call);
       if (sqlite3_value_type(v[0]) == SQLITE_INTEGER) return sqlite3_result_value(c, v[0]);
       double scale = std::pow(10.0, static_cast<double>(places));
       // The scaled value as its shortest decimal text reads it, so that 2.675 * 100 counts as 267.5.
       std::string s;
       oa_append_g(s, number(v[0]) * scale, 15);
       double scaled = 0;
       oa_parse_double(s, &scaled);
       result(c, round_even(scaled) / scale);
     }},
    {"acc_year", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result_int(c, parts(date_of(v[0])).year); }},
    {"acc_month", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result_int(c, parts(date_of(v[0])).month); }},
    {"acc_day", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result_int(c, parts(date_of(v[0])).day); }},
    {"acc_hour", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result_int(c, parts(date_of(v[0])).hour); }},
    {"acc_minute", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result_int(c, parts(date_of(v[0])).minute); }},
    {"acc_second", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result_int(c, parts(date_of(v[0])).second); }},
    {"acc_weekday", -1, [](sqlite3_context* c, int n, arg* v) {
       need_args(n, 1, 2);
       if (null(v[0])) return sqlite3_result_null(c);
       result_int(c, weekday_number(date_of(v[0]), n == 2 ? first_day_of(v[1]) : 1));
     }},
    {"acc_date", 0, [](sqlite3_context* c, int, arg*) { result(c, std::floor(local_now())); }, true},
    {"acc_time", 0, [](sqlite3_context* c, int, arg*) { double d = local_now(); result(c, d - std::floor(d)); }, true},
    {"acc_now", 0, [](sqlite3_context* c, int, arg*) { result(c, local_now()); }, true},
    {"acc_dateserial", 3, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT int64_t y = whole(v[0]);
       if (y >= 0 && y < 30) y += 2000;
       else if (y >= 30 && y < 100) y += 1900;
       result(c, serial(y, whole(v[1]), whole(v[2])));
     }},
    {"acc_timeserial", 3, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT double s = static_cast<double>(whole(v[0]) * 3600 + whole(v[1]) * 60 + whole(v[2]));
       result(c, s / 86400.0);
     }},
    {"acc_dateadd", 3, [](sqlite3_context* c, int n, arg* v) {
       NULL_IN_NULL_OUT result(c, date_add(text(v[0]), number(v[1]), date_of(v[2])));
     }},
    {"acc_datediff", -1, [](sqlite3_context* c, int n, arg* v) {
       need_args(n, 3, 5);
       if (null(v[0]) || null(v[1]) || null(v[2])) return sqlite3_result_null(c);
       result_int(c, date_diff(text(v[0]), date_of(v[1]), date_of(v[2]), n >= 4 ? first_day_of(v[3]) : 1));
     }},
    {"acc_datepart", -1, [](sqlite3_context* c, int n, arg* v) {
       need_args(n, 2, 4);
       if (null(v[0]) || null(v[1])) return sqlite3_result_null(c);
       result_int(c, date_part(text(v[0]), date_of(v[1]), n >= 3 ? first_day_of(v[2]) : 1, n >= 4 ? first_week_of(v[3]) : 1));
     }},
    {"acc_format", -1, [](sqlite3_context* c, int n, arg* v) {
       need_args(n, 1, 4);
       if (null(v[0])) return sqlite3_result_null(c);
       result(c, format_value(v[0], n >= 2 && !null(v[1]) ? text(v[1]) : std::wstring(), n >= 3 ? first_day_of(v[2]) : 1,
                              n >= 4 ? first_week_of(v[3]) : 1));
     }},
    // Operators.
    // a + b + c ... arrives as one call and is added from the left.
    {"acc_add", -1, [](sqlite3_context* c, int n, arg* v) {
       // Two texts are joined; otherwise the sum, a text counting as the number it reads as.
       need_args(n, 2, 127);
       NULL_IN_NULL_OUT
       enum { none, whole_number, real, text_value } kind = none;
       sqlite3_int64 whole_sum = 0;
       double real_sum = 0;
       std::wstring joined;
       for (int i = 0; i < n; ++i) {
         int type = sqlite3_value_type(v[i]);
         if (kind == none) {
           if (type == SQLITE_TEXT) kind = text_value, joined = text(v[i]);
           else if (type == SQLITE_INTEGER) kind = whole_number, whole_sum = sqlite3_value_int64(v[i]);
           else kind = real, real_sum = number(v[i]);
         } else if (kind == text_value && type == SQLITE_TEXT) {
           joined += text(v[i]);
         } else if (sqlite3_int64 next = 0; kind == whole_number && type == SQLITE_INTEGER &&
                    !__builtin_add_overflow(whole_sum, sqlite3_value_int64(v[i]), &next)) {
           whole_sum = next;
         } else {
           double sum = kind == text_value ? number_of_text(joined) : kind == whole_number ? static_cast<double>(whole_sum) : real_sum;
           real_sum = sum + number(v[i]);
           kind = real;
         }
       }
       if (kind == text_value) return result(c, joined);
       if (kind == whole_number) return result_int(c, whole_sum);
       result(c, real_sum);
     }},
    // a & b & c ... arrives as one call: Null only when every part is.
    {"acc_concat", -1, [](sqlite3_context* c, int n, arg* v) {
       need_args(n, 2, 127);
       bool all_null = true;
       std::wstring joined;
       for (int i = 0; i < n; ++i)
         if (!null(v[i])) {
           all_null = false;
           joined += text(v[i]);
         }
       if (all_null) return sqlite3_result_null(c);
       result(c, joined);
     }},
    // A condition of the evaluator (1 or 0): the rewrite makes its value Access's -1 where it is used.
    {"acc_like", 2, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result_int(c, access_like(text(v[0]), text(v[1])) ? 1 : 0); }},
    {"acc_div", -1, [](sqlite3_context* c, int n, arg* v) { left_run<double>(c, n, v, number, [](double a, double b) { return a / b; }, true); }},
    {"acc_intdiv", -1, [](sqlite3_context* c, int n, arg* v) { left_run<int64_t>(c, n, v, whole, [](int64_t a, int64_t b) { return a / b; }, true); }},
    {"acc_mod", -1, [](sqlite3_context* c, int n, arg* v) { left_run<int64_t>(c, n, v, whole, [](int64_t a, int64_t b) { return a % b; }, true); }},
    {"acc_pow", -1, [](sqlite3_context* c, int n, arg* v) { left_run<double>(c, n, v, number, [](double a, double b) { return std::pow(a, b); }, false); }},
    {"acc_ceiling", 1, [](sqlite3_context* c, int n, arg* v) { NULL_IN_NULL_OUT result_int(c, static_cast<int64_t>(std::ceil(number(v[0]) - 1e-9))); }},
};

// ------------------------------------------------------------------------------------------ aggregates

struct first_last {
  sqlite3_value* held = nullptr;
};
template <bool last>
void first_last_step(sqlite3_context* c, int, arg* v) {
  auto* s = static_cast<first_last*>(sqlite3_aggregate_context(c, sizeof(first_last)));
  if (!s) return sqlite3_result_error_nomem(c);
  if (s->held && !last) return;
  if (s->held) sqlite3_value_free(s->held);
  s->held = sqlite3_value_dup(v[0]);
}
void first_last_final(sqlite3_context* c) {
  auto* s = static_cast<first_last*>(sqlite3_aggregate_context(c, 0));
  if (!s || !s->held) return sqlite3_result_null(c);
  sqlite3_result_value(c, s->held);
  sqlite3_value_free(s->held);
  s->held = nullptr;
}

struct spread {
  int64_t n = 0;
  double mean = 0, m2 = 0;  // Welford's running mean and sum of squared deviations
};
void spread_step(sqlite3_context* c, int, arg* v) {
  if (null(v[0])) return;
  auto* s = static_cast<spread*>(sqlite3_aggregate_context(c, sizeof(spread)));
  if (!s) return sqlite3_result_error_nomem(c);
  double x = 0;
  try {
    x = number(v[0]);
  } catch (const refusal& r) {
    std::string m = function_error(r.number);
    return sqlite3_result_error(c, m.c_str(), -1);
  }
  ++s->n;
  double d = x - s->mean;
  s->mean += d / static_cast<double>(s->n);
  s->m2 += d * (x - s->mean);
}
template <bool sample, bool root>
void spread_final(sqlite3_context* c) {
  auto* s = static_cast<spread*>(sqlite3_aggregate_context(c, 0));
  int64_t n = s ? s->n : 0;
  if (n < (sample ? 2 : 1)) return sqlite3_result_null(c);
  double var = s->m2 / static_cast<double>(sample ? n - 1 : n);
  sqlite3_result_double(c, root ? std::sqrt(var) : var);
}

// ------------------------------------------------------------------------------------------ quantified comparisons

// A value held beyond the call that met it.
struct cell {
  int type = SQLITE_NULL;
  sqlite3_int64 i = 0;
  double d = 0;
  std::string bytes;  // a text (UTF-8) or a blob
};
cell cell_of(arg v) {
  cell out;
  out.type = sqlite3_value_type(v);
  if (out.type == SQLITE_INTEGER) out.i = sqlite3_value_int64(v), out.d = static_cast<double>(out.i);
  else if (out.type == SQLITE_FLOAT) out.d = sqlite3_value_double(v);
  else if (out.type != SQLITE_NULL)
    out.bytes.assign(static_cast<const char*>(sqlite3_value_blob(v)) ? static_cast<const char*>(sqlite3_value_blob(v)) : "",
                     static_cast<size_t>(sqlite3_value_bytes(v)));
  return out;
}

// Two values as a comparison in a query orders them: numbers by value, texts in the file's text order, a number
// before a text unless the text reads as a number.
int compare_cells(jet::sort_order_kind order, const cell& a, const cell& b) {
  auto numeric = [](const cell& v) { return v.type == SQLITE_INTEGER || v.type == SQLITE_FLOAT; };
  auto as_number = [&](const cell& v, double* d) {
    if (numeric(v)) return *d = v.d, true;
    return v.type == SQLITE_TEXT && oa_parse_double(trimmed(sys_utf8_to_wide(v.bytes)), d);
  };
  double x = 0, y = 0;
  if ((numeric(a) || numeric(b)) && as_number(a, &x) && as_number(b, &y)) {
    if (a.type == SQLITE_INTEGER && b.type == SQLITE_INTEGER) return a.i < b.i ? -1 : (a.i > b.i ? 1 : 0);
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  auto rank = [&](const cell& v) { return numeric(v) ? 0 : v.type == SQLITE_TEXT ? 1 : 2; };
  if (rank(a) != rank(b)) return rank(a) < rank(b) ? -1 : 1;
  if (rank(a) == 1)
    return compare_access_text(order, a.bytes.data(), static_cast<int>(a.bytes.size()), b.bytes.data(),
                               static_cast<int>(b.bytes.size()));
  return a.bytes < b.bytes ? -1 : (a.bytes == b.bytes ? 0 : 1);
}

// acc_bounds(v): the rows of a subquery summed up for acc_quantified, as one blob: how many, how many are Null,
// the least and the greatest of the others.
struct bounds {
  sqlite3_int64 rows = 0, nulls = 0;
  std::optional<cell> least, greatest;
};
void bounds_step(sqlite3_context* c, int, arg* v) {
  auto** held = static_cast<bounds**>(sqlite3_aggregate_context(c, sizeof(bounds*)));
  if (!held) return sqlite3_result_error_nomem(c);
  try {
    if (!*held) *held = new bounds;
    bounds& b = **held;
    ++b.rows;
    if (null(v[0])) return void(++b.nulls);
    auto order = *static_cast<jet::sort_order_kind*>(sqlite3_user_data(c));
    cell x = cell_of(v[0]);
    if (!b.least || compare_cells(order, x, *b.least) < 0) b.least = x;
    if (!b.greatest || compare_cells(order, x, *b.greatest) > 0) b.greatest = std::move(x);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(c);
  }
}
void put_cell(std::string& out, const cell& v) {
  out += static_cast<char>(v.type);
  if (v.type == SQLITE_INTEGER) out.append(reinterpret_cast<const char*>(&v.i), sizeof v.i);
  if (v.type == SQLITE_FLOAT) out.append(reinterpret_cast<const char*>(&v.d), sizeof v.d);
  if (v.type == SQLITE_TEXT || v.type == SQLITE_BLOB) {
    uint32_t n = static_cast<uint32_t>(v.bytes.size());
    out.append(reinterpret_cast<const char*>(&n), sizeof n);
    out += v.bytes;
  }
}
cell get_cell(const std::string& in, size_t& at) {
  cell v;
  v.type = static_cast<unsigned char>(in[at++]);
  if (v.type == SQLITE_INTEGER) {
    std::memcpy(&v.i, in.data() + at, sizeof v.i);
    at += sizeof v.i;
    v.d = static_cast<double>(v.i);
  } else if (v.type == SQLITE_FLOAT) {
    std::memcpy(&v.d, in.data() + at, sizeof v.d);
    at += sizeof v.d;
  } else if (v.type == SQLITE_TEXT || v.type == SQLITE_BLOB) {
    uint32_t n = 0;
    std::memcpy(&n, in.data() + at, sizeof n);
    at += sizeof n;
    v.bytes = in.substr(at, n);
    at += n;
  }
  return v;
}
void bounds_final(sqlite3_context* c) {
  auto** held = static_cast<bounds**>(sqlite3_aggregate_context(c, 0));
  std::unique_ptr<bounds> b(held ? *held : nullptr);
  if (held) *held = nullptr;
  if (!b) b = std::make_unique<bounds>();
  std::string out;
  out.append(reinterpret_cast<const char*>(&b->rows), sizeof b->rows);
  out.append(reinterpret_cast<const char*>(&b->nulls), sizeof b->nulls);
  put_cell(out, b->least.value_or(cell{}));
  put_cell(out, b->greatest.value_or(cell{}));
  sqlite3_result_blob(c, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// acc_quantified(x, bounds, op, all): x op ALL (all 1) or ANY (all 0) of the rows acc_bounds summed up, as a
// condition (1, 0 or Null): ALL is true for no rows, false when a row makes the comparison false, else Null when
// a row or x is Null; ANY is false for no rows, true when a row makes it true, else Null likewise.
void quantified(sqlite3_context* c, int, arg* v) {
  try {
    auto order = *static_cast<jet::sort_order_kind*>(sqlite3_user_data(c));
    const char* blob = static_cast<const char*>(sqlite3_value_blob(v[1]));
    std::string summary(blob ? blob : "", static_cast<size_t>(sqlite3_value_bytes(v[1])));
    std::string op = sys_wide_to_utf8(text(v[2]));
    bool all = sqlite3_value_int(v[3]) != 0;
    sqlite3_int64 rows = 0, nulls = 0;
    if (summary.size() < 2 * sizeof rows + 2) return sqlite3_result_null(c);
    std::memcpy(&rows, summary.data(), sizeof rows);
    std::memcpy(&nulls, summary.data() + sizeof rows, sizeof nulls);
    if (rows == 0) return sqlite3_result_int(c, all ? 1 : 0);
    bool decided = false;
    if (!null(v[0]) && rows > nulls) {
      size_t at = 2 * sizeof rows;
      cell least = get_cell(summary, at), greatest = get_cell(summary, at), x = cell_of(v[0]);
      int to_least = compare_cells(order, x, least), to_greatest = compare_cells(order, x, greatest);
      auto holds = [&](int cmp) {
        if (op == "<") return cmp < 0;
        if (op == "<=") return cmp <= 0;
        if (op == ">") return cmp > 0;
        if (op == ">=") return cmp >= 0;
        if (op == "=") return cmp == 0;
        return cmp != 0;
      };
      if (op == "=" || op == "<>") decided = to_least != 0 || to_greatest != 0;  // a row differs from x
      else if (all) decided = !holds(op[0] == '>' ? to_greatest : to_least);    // a row makes it false
      else decided = holds(op[0] == '>' ? to_least : to_greatest);              // a row makes it true
    }
    if (decided) return sqlite3_result_int(c, all ? 0 : 1);
    if (nulls > 0 || null(v[0])) return sqlite3_result_null(c);
    sqlite3_result_int(c, all ? 1 : 0);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(c);
  }
}

}  // namespace

std::wstring access_number_text(double v) {
  if (v == std::trunc(v) && std::fabs(v) < 1e15) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", v);
    return sys_utf8_to_wide(buf);
  }
  std::string s;
  oa_append_g(s, v, 15);
  return sys_utf8_to_wide(s);
}

bool access_date_from_text(const std::wstring& text, double* out) {
  std::wstring t = trimmed(text);
  // A day's name before the date ("Monday, January 1, 2024") says nothing more.
  size_t word = 0;
  while (word < t.size() && std::iswalpha(t[word])) ++word;
  if (word >= 3 && word < t.size() && (t[word] == L',' || t[word] == L' ')) {
    std::wstring name = fold(t.substr(0, word));
    for (const wchar_t* day : day_names) {
      std::wstring full = fold(day);
      if (name == full || name == full.substr(0, 3)) {
        t = trimmed(t.substr(t[word] == L',' ? word + 1 : word));
        break;
      }
    }
  }
  // A 12-hour clock time: "h[:m[:s]] AM" or "PM", the blank before AM/PM optional; read as the 24-hour time.
  std::wstring f = fold(t);
  for (const wchar_t* mark : {L"am", L"pm"}) {
    size_t at = f.rfind(mark);
    if (at == std::wstring::npos || at == 0) continue;
    size_t after = at + 2;
    if (after < f.size() && f[after] != L' ') continue;
    size_t end = at;
    while (end > 0 && f[end - 1] == L' ') --end;
    size_t begin = end;
    while (begin > 0 && (is_ascii_digit(f[begin - 1]) || f[begin - 1] == L':')) --begin;
    if (begin == end || (begin > 0 && f[begin - 1] != L' ')) return false;
    int64_t fields[3] = {0, 0, 0};
    int count = 0;
    for (size_t i = begin; i < end;) {
      size_t start = i;
      int64_t value = 0;
      while (i < end && is_ascii_digit(f[i]) && i - start < 2) value = value * 10 + (f[i++] - L'0');
      if (i == start || count == 3) return false;
      fields[count++] = value;
      if (i < end && f[i++] != L':') return false;
      if (i == end && f[end - 1] == L':') return false;
    }
    if (fields[0] > 12 || fields[1] > 59 || fields[2] > 59) return false;
    int64_t hour = fields[0] % 12 + (mark[0] == L'p' ? 12 : 0);
    t = t.substr(0, begin) + std::to_wstring(hour) + L":" + std::to_wstring(fields[1]) + L":" +
        std::to_wstring(fields[2]) + t.substr(after);
    break;
  }
  DATE d = 0;
  if (SUCCEEDED(VarDateFromStr(t, &d))) {
    *out = d;
    return true;
  }
  // A first number that can be no month is the day: 13/1/2024 is January 13.
  size_t sep1 = t.find_first_of(L"/-."), sep2 = sep1 == std::wstring::npos ? sep1 : t.find(t[sep1], sep1 + 1);
  if (sep1 != std::wstring::npos && sep2 != std::wstring::npos && sep1 > 0 && sep2 > sep1 + 1) {
    std::wstring first = t.substr(0, sep1), second = t.substr(sep1 + 1, sep2 - sep1 - 1);
    bool digits = first.size() <= 2 && second.size() <= 2;
    for (wchar_t ch : first + second) digits = digits && is_ascii_digit(ch);
    if (digits && std::stoi(first) > 12 && std::stoi(second) <= 12) {
      std::wstring swapped = second + t[sep1] + first + t.substr(sep2);
      if (SUCCEEDED(VarDateFromStr(swapped, &d))) {
        *out = d;
        return true;
      }
    }
  }
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  // A month's name and a day without a year ("Jan 1", "1 January"): this year; a month's name and a number that
  // can be no day ("January 2021"): the first of the month that year.
  {
    int numbers = 0, number = 0;
    std::wstring month;
    bool named = false;
    for (size_t i = 0; i < t.size();) {
      if (is_ascii_digit(t[i])) {
        ++numbers;
        for (number = 0; i < t.size() && is_ascii_digit(t[i]); ++i) number = std::min(number * 10 + (t[i] - L'0'), 100000);
      } else if (std::iswalpha(t[i])) {
        size_t j = i;
        while (j < t.size() && std::iswalpha(t[j])) ++j;
        std::wstring name = fold(t.substr(i, j - i));
        for (const wchar_t* m : month_names)
          if (name.size() >= 3 && fold(m).compare(0, name.size(), name) == 0) named = true, month = m;
        i = j;
      } else {
        ++i;
      }
    }
    std::wstring whole_date = number > 31 ? month + L" 1, " + std::to_wstring(number)
                                          : t + L" " + std::to_wstring(tm.tm_year + 1900);
    if (named && numbers == 1 && SUCCEEDED(VarDateFromStr(whole_date, &d))) {
      *out = d;
      return true;
    }
  }
  // A month and day without a year: this year.
  size_t blank = t.find(L' ');
  std::wstring date = t.substr(0, blank), rest = blank == std::wstring::npos ? std::wstring() : t.substr(blank);
  size_t sep = date.find_first_of(L"/-");
  if (sep == std::wstring::npos || sep == 0 || date.find_first_of(L"/-", sep + 1) != std::wstring::npos) return false;
  for (size_t i = 0; i < date.size(); ++i)
    if (i != sep && !is_ascii_digit(date[i])) return false;
  std::wstring with_year = date + date[sep] + std::to_wstring(tm.tm_year + 1900) + rest;
  if (FAILED(VarDateFromStr(with_year, &d))) return false;
  *out = d;
  return true;
}

bool access_like(const std::wstring& text, const std::wstring& pattern) {
  // Iterative match with one backtrack point for the last '*'.
  std::wstring s = fold(text), p = fold(pattern);
  size_t i = 0, j = 0, star = std::wstring::npos, mark = 0;
  auto one = [&](size_t& pj, wchar_t ch) -> bool {  // matches one pattern element at pj against ch, advancing pj
    wchar_t pc = p[pj];
    if (pc == L'?') {
      ++pj;
      return true;
    }
    if (pc == L'#') {
      ++pj;
      return std::iswdigit(ch) != 0;
    }
    if (pc == L'[') {
      size_t close = p.find(L']', pj + 1);
      if (close == std::wstring::npos) {
        ++pj;
        return ch == L'[';
      }
      std::wstring set = p.substr(pj + 1, close - pj - 1);
      pj = close + 1;
      bool negate = !set.empty() && set[0] == L'!';
      if (negate) set.erase(0, 1);
      bool in = false;
      for (size_t k = 0; k < set.size(); ++k) {
        if (k + 2 < set.size() && set[k + 1] == L'-') {
          in = in || (ch >= set[k] && ch <= set[k + 2]);
          k += 2;
        } else {
          in = in || ch == set[k];
        }
      }
      return negate ? !in : in;
    }
    ++pj;
    return pc == ch;
  };
  while (i < s.size()) {
    if (j < p.size() && p[j] == L'*') {
      star = ++j;
      mark = i;
      continue;
    }
    size_t pj = j;
    if (j < p.size() && one(pj, s[i])) {
      j = pj;
      ++i;
      continue;
    }
    if (star == std::wstring::npos) return false;
    j = star;
    i = ++mark;
  }
  while (j < p.size() && p[j] == L'*') ++j;
  return j == p.size();
}

// StrComp: a binary comparison (compare 0), else the file's text order, as comparisons in a query compare texts.
void strcomp(sqlite3_context* c, int n, arg* v) {
  try {
    need_args(n, 2, 3);
    if (null(v[0]) || null(v[1])) return sqlite3_result_null(c);
    bool binary = n == 3 && !null(v[2]) && whole(v[2]) == 0;
    std::wstring a = text(v[0]), b = text(v[1]);
    int r = 0;
    if (binary) {
      r = a < b ? -1 : (a == b ? 0 : 1);
    } else {
      std::string x = sys_wide_to_utf8(a), y = sys_wide_to_utf8(b);
      r = compare_access_text(*static_cast<jet::sort_order_kind*>(sqlite3_user_data(c)), x.data(),
                              static_cast<int>(x.size()), y.data(), static_cast<int>(y.size()));
    }
    result_int(c, r < 0 ? -1 : (r > 0 ? 1 : 0));
  } catch (const refusal& r) {
    std::string m = function_error(r.number);
    sqlite3_result_error(c, m.c_str(), -1);
  }
}

void register_functions(sqlite3* db, jet::sort_order_kind order) {
  sqlite3_create_function_v2(db, "acc_strcomp", -1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, new jet::sort_order_kind(order),
                             strcomp, nullptr, nullptr, [](void* p) { delete static_cast<jet::sort_order_kind*>(p); });
  for (const scalar& f : scalars) {
    int flags = SQLITE_UTF8 | (f.clock ? 0 : SQLITE_DETERMINISTIC);
    sqlite3_create_function_v2(db, f.name, f.args, flags, reinterpret_cast<void*>(f.fn), call, nullptr, nullptr,
                               nullptr);
  }
  sqlite3_create_function_v2(db, "acc_bounds", 1, SQLITE_UTF8, new jet::sort_order_kind(order), nullptr, bounds_step,
                             bounds_final, [](void* p) { delete static_cast<jet::sort_order_kind*>(p); });
  sqlite3_create_function_v2(db, "acc_quantified", 4, SQLITE_UTF8 | SQLITE_DETERMINISTIC, new jet::sort_order_kind(order),
                             quantified, nullptr, nullptr, [](void* p) { delete static_cast<jet::sort_order_kind*>(p); });
  const int flags = SQLITE_UTF8;
  sqlite3_create_function_v2(db, "acc_first", 1, flags, nullptr, nullptr, first_last_step<false>, first_last_final, nullptr);
  sqlite3_create_function_v2(db, "acc_last", 1, flags, nullptr, nullptr, first_last_step<true>, first_last_final, nullptr);
  sqlite3_create_function_v2(db, "acc_stdev", 1, flags, nullptr, nullptr, spread_step, spread_final<true, true>, nullptr);
  sqlite3_create_function_v2(db, "acc_stdevp", 1, flags, nullptr, nullptr, spread_step, spread_final<false, true>, nullptr);
  sqlite3_create_function_v2(db, "acc_var", 1, flags, nullptr, nullptr, spread_step, spread_final<true, false>, nullptr);
  sqlite3_create_function_v2(db, "acc_varp", 1, flags, nullptr, nullptr, spread_step, spread_final<false, false>, nullptr);
}

}  // namespace dao
