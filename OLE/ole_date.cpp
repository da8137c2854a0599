// ole_date reading and printing. The layouts are scanned by small scanf-like readers of our own (signed decimal
// fields with an optional width, literal separators, a seconds word), so nothing depends on the C library's locale
// and no buffer is sized from the text.
#include "OLE/ole_date.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "OLE/ole_misc.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "platform/oleaut/vardate.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// A scanf-like cursor over a text.
struct scanner {
  std::string_view text;
  std::size_t pos = 0;
  bool negative_field = false;  // the last field read had a '-'

  // "%d" / "%Nd" / "%hd": skips blanks, reads an optional sign and digits (at most `width` characters in all when
  // width > 0). The value is cut to 16 bits for short fields, as the C library stores it.
  bool field(int64_t* out, int width = 0) {
    while (pos < text.size() && is_blank(text[pos])) ++pos;
    std::size_t start = pos, limit = width > 0 ? pos + static_cast<std::size_t>(width) : text.size();
    if (limit > text.size()) limit = text.size();
    bool negative = false;
    if (pos < limit && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    std::size_t digits = pos;
    int64_t value = 0;
    while (pos < limit && text[pos] >= '0' && text[pos] <= '9') {
      if (value < 100000000000LL) value = value * 10 + (text[pos] - '0');
      ++pos;
    }
    if (pos == digits) {
      pos = start;
      return false;
    }
    negative_field = negative;
    *out = negative ? -value : value;
    return true;
  }
  // A literal character of the format; a blank in the format matches any run of blanks, none included.
  bool literal(char c) {
    if (c == ' ') {
      while (pos < text.size() && is_blank(text[pos])) ++pos;
      return true;
    }
    if (pos < text.size() && text[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  // "%s": skips blanks, then one or more non-blank characters.
  bool word(std::string_view* out) {
    while (pos < text.size() && is_blank(text[pos])) ++pos;
    std::size_t start = pos;
    while (pos < text.size() && !is_blank(text[pos])) ++pos;
    if (pos == start) return false;
    *out = text.substr(start, pos - start);
    return true;
  }
};

uint16_t as_u16(int64_t value) { return static_cast<uint16_t>(static_cast<int16_t>(value)); }

// The milliseconds of a fraction of microseconds: the nearest one (250,600 is 251), kept within the second (from
// 999,500 on 999, as the microseconds, which carry nothing, say it is).
uint16_t millis_of(int64_t micros) { return static_cast<uint16_t>(std::min<int64_t>((micros + 500) / 1000, 999)); }

std::string_view trim_blanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// The number written with the n digits at text[at, at + n); -1 when one of them is no digit.
int fixed_digits(std::string_view text, std::size_t at, std::size_t n) {
  int value = 0;
  for (std::size_t i = at; i < at + n; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

ole_date::ole_date() { tk_trace(1, "ole_date::ole_date()"); }

ole_date::ole_date(const SYSTEMTIME& value) : kind(kind_date_time), time(value) {
  tk_trace(1, "ole_date::ole_date(SYSTEMTIME)");
  refine_type();
}

ole_date::ole_date(std::string_view text) {
  if (ole_trace_on(1)) tk_trace(1, "ole_date::ole_date('%s')", std::string(text).c_str());
  parse(text);
}

ole_date::ole_date(const std::wstring& text) {
  std::string narrow = tk_to_ansi(text);
  if (ole_trace_on(1)) tk_trace(1, "ole_date::ole_date('%s')", narrow.c_str());
  parse(narrow);
}

ole_date ole_date::from_serial(DATE serial) {
  ole_date result;
  oa_date_parts p;
  if (!oa_parts_from_serial(serial, &p)) return result;
  result.kind = kind_date_time;
  result.time.wYear = static_cast<uint16_t>(p.year);
  result.time.wMonth = static_cast<uint16_t>(p.month);
  result.time.wDayOfWeek = static_cast<uint16_t>(p.day_of_week);
  result.time.wDay = static_cast<uint16_t>(p.day);
  result.time.wHour = static_cast<uint16_t>(p.hour);
  result.time.wMinute = static_cast<uint16_t>(p.minute);
  result.time.wSecond = static_cast<uint16_t>(p.second);
  result.time.wMilliseconds = millis_of(p.microsecond);
  result.microseconds = p.microsecond;
  result.refine_type();
  return result;
}

void ole_date::parse(std::string_view input) {
  time = SYSTEMTIME{};
  microseconds = 0;
  // The server's own forms, "2024-01-31" and "2024-01-31 13:45:07" (most cells), are read by position into what
  // the general reading below makes of them; it takes every other form and any such text that is no valid value.
  if ((input.size() == 10 || input.size() == 19) && input[4] == '-' && input[7] == '-') {
    const int year = fixed_digits(input, 0, 4), month = fixed_digits(input, 5, 2), day = fixed_digits(input, 8, 2);
    if (year >= 32 && month >= 0 && day >= 0) {  // a smaller first number may be a day (see the layouts)
      time.wYear = static_cast<uint16_t>(year);
      time.wMonth = static_cast<uint16_t>(month);
      time.wDay = static_cast<uint16_t>(day);
      if (input.size() == 10) {
        kind = kind_date;
        if (is_valid()) return;
      } else if (input[10] == ' ' && input[13] == ':' && input[16] == ':') {
        const int hour = fixed_digits(input, 11, 2), minute = fixed_digits(input, 14, 2),
                  second = fixed_digits(input, 17, 2);
        if (hour >= 0 && minute >= 0 && second >= 0 && second <= 60) {
          time.wHour = static_cast<uint16_t>(hour);
          time.wMinute = static_cast<uint16_t>(minute);
          time.wSecond = static_cast<uint16_t>(second);
          kind = kind_date_time;
          if (is_valid()) {
            refine_type();
            return;
          }
        }
      }
    }
    time = SYSTEMTIME{};
    kind = kind_invalid;
  }
  std::string_view text = trim_blanks(input);
  if (ole_trace_on(1)) tk_trace(1, "After tk_trim: %s", std::string(text).c_str());
  static const char* const kSuffixes[] = {"AM", "PM", "am", "pm"};
  for (const char* suffix : kSuffixes) {
    std::size_t at = text.find(suffix);
    if (at != std::string_view::npos) {
      text = trim_blanks(text.substr(0, at));
      if (ole_trace_on(1)) tk_trace(1, "Again buf1=%s", std::string(text).c_str());
      break;
    }
  }
  if (text.size() < 5) {
    if (ole_trace_on(2)) tk_trace(2, "Invalid date/time format: '%s'", std::string(text).c_str());
    kind = kind_invalid;
    return;
  }
  import_from_string(text);
  if (kind != kind_invalid && time.wHour < 12) {
    for (const char* pm : {"PM", "pm"}) {
      std::size_t at = input.find(pm);
      if (at != std::string_view::npos && at != 0) {
        time.wHour = static_cast<uint16_t>(time.wHour + 12);
        break;
      }
    }
  }
}

bool ole_date::import_from_string(std::string_view text) {
  if (ole_trace_on(2)) tk_trace(2, "ole_date::import_from_string(%s)", std::string(text).c_str());
  int64_t f[6];
  // 1-2: timestamps of digits only.
  if (text.size() == 14 || text.size() == 8) {
    bool long_form = text.size() == 14;
    tk_trace(1, long_form ? "Trying timestamp format (1)..." : "Trying timestamp format (2)...");
    scanner s{text};
    const int widths[6] = {4, 2, 2, 2, 2, 2};
    int items = 0;
    while (items < (long_form ? 6 : 3) && s.field(&f[items], widths[items])) ++items;
    bool negative = false;
    for (int i = 0; i < items; ++i) negative = negative || f[i] < 0;
    if (items == (long_form ? 6 : 3) && !negative) {
      if (f[2] > 31 && f[0] < 32) {
        tk_trace(2, "Swap day and year: day=%d, year=%d", static_cast<int>(f[2]), static_cast<int>(f[0]));
        std::swap(f[0], f[2]);
      }
      time.wYear = as_u16(f[0]);
      time.wMonth = as_u16(f[1]);
      time.wDay = as_u16(f[2]);
      if (long_form) {
        time.wHour = as_u16(f[3]);
        time.wMinute = as_u16(f[4]);
        time.wSecond = as_u16(f[5]);
      }
      kind = long_form ? kind_date_time : kind_date;
      if (is_valid()) return true;
    }
    time = SYSTEMTIME{};
  }
  // 3: a time alone.
  {
    tk_trace(1, "Trying pure time format...");
    scanner s{text};
    std::string_view seconds;
    int items = 0;
    if (s.field(&f[0])) {
      ++items;
      bool negative = s.negative_field;
      if (s.literal(':') && s.field(&f[1])) {
        ++items;
        if (s.literal(':') && s.word(&seconds)) ++items;
      }
      if (items >= 2 && negative) {
        // A negative duration: an OLE date cannot hold it apart from the positive one.
        tk_trace(2, "Negative time is not supported");
        kind = kind_invalid;
        time = SYSTEMTIME{};
        return false;
      }
    }
    if (items == 3 || (items == 2 && s.pos == text.size())) {
      time.wHour = static_cast<uint16_t>(f[0] > 65535 ? 65535 : f[0]);
      time.wMinute = as_u16(f[1]);
      kind = kind_time;
      if (items == 3 ? process_milliseconds(seconds) && is_valid() : is_valid()) return true;
    }
    time = SYSTEMTIME{};
    microseconds = 0;
  }
  // 4: dates with an optional time.
  static const char kSeparators[3] = {'-', '/', '.'};
  for (int layout = 0; layout < 3; ++layout) {
    tk_trace(1, "Trying datetime format #%d", layout);
    scanner s{text};
    std::string_view seconds;
    int items = 0;
    char sep = kSeparators[layout];
    if (s.field(&f[0])) {
      ++items;
      if (s.literal(sep) && s.field(&f[1])) {
        ++items;
        if (s.literal(sep) && s.field(&f[2])) {
          ++items;
          if (s.literal(' ') && s.field(&f[3])) {
            ++items;
            if (s.literal(':') && s.field(&f[4])) {
              ++items;
              if (s.literal(':') && s.word(&seconds)) ++items;
            }
          }
        }
      }
    }
    if (items != 3 && items != 6) continue;
    // No field of a date or of its clock time is negative; such a text is no value of this layout.
    bool negative = false;
    for (int i = 0; i < (items == 6 ? 5 : 3); ++i) negative = negative || f[i] < 0;
    if (negative) continue;
    if (f[2] > 31 && f[0] < 32) {
      tk_trace(2, "Swap day and year: day=%d, year=%d", static_cast<int>(f[2]), static_cast<int>(f[0]));
      std::swap(f[0], f[2]);
    }
    time = SYSTEMTIME{};
    microseconds = 0;
    time.wYear = as_u16(f[0]);
    time.wMonth = as_u16(f[1]);
    time.wDay = as_u16(f[2]);
    if (items == 3) {
      tk_trace(1, "Format #%d succeeded (3 items)", layout);
      kind = kind_date;
      if (is_valid()) return true;
    } else {
      tk_trace(1, "Format #%d succeeded (6 items)", layout);
      time.wHour = as_u16(f[3]);
      time.wMinute = as_u16(f[4]);
      kind = kind_date_time;
      if (process_milliseconds(seconds) && is_valid()) {
        refine_type();
        return true;
      }
    }
    time = SYSTEMTIME{};
    microseconds = 0;
  }
  // 5: the platform's date grammar.
  DATE serial;
  if (SUCCEEDED(VarDateFromStr(text, &serial))) {
    tk_trace(1, "Got datetime using Microsoft API");
    *this = from_serial(serial);
    if (kind != kind_invalid) return true;
  }
  kind = kind_invalid;
  time = SYSTEMTIME{};
  microseconds = 0;
  if (ole_trace_on(2)) tk_trace(2, "Invalid date/time format: '%s'", std::string(text).c_str());
  return false;
}

bool ole_date::process_milliseconds(std::string_view seconds) {
  tk_trace(1, "ole_date::process_milliseconds");
  if (seconds.data() == nullptr) throw tk_mail_assertion("ole_date", 581);
  if (ole_trace_on(1)) tk_trace(1, "Got row sec: '%s'", std::string(seconds).c_str());
  // The seconds as the C library reads a number: digits, then a fraction; whatever follows (a zone) is ignored.
  // The fraction is read exactly to the microsecond; the seventh digit rounds.
  std::size_t i = 0;
  if (i < seconds.size() && (seconds[i] == '-' || seconds[i] == '+')) {
    if (seconds[i] == '-') return false;
    ++i;
  }
  int64_t whole = 0;
  for (; i < seconds.size() && seconds[i] >= '0' && seconds[i] <= '9'; ++i) {
    if (whole < 1000000) whole = whole * 10 + (seconds[i] - '0');
  }
  int64_t micros = 0;
  if (i < seconds.size() && seconds[i] == '.') {
    int digits = 0;
    bool round_up = false;
    for (++i; i < seconds.size() && seconds[i] >= '0' && seconds[i] <= '9'; ++i, ++digits) {
      if (digits < 6) micros = micros * 10 + (seconds[i] - '0');
      if (digits == 6) round_up = seconds[i] >= '5';
    }
    for (int d = digits; d < 6; ++d) micros *= 10;
    if (round_up) ++micros;
  }
  if (whole > 60) return false;
  tk_trace(1, "Got sec: %d", static_cast<int>(whole));
  time.wSecond = static_cast<uint16_t>(whole);
  if (micros >= 1000000) {
    // The fraction rounded up to a whole second: carry it into minutes, hours and, for a dated value, the date.
    micros = 0;
    if (++time.wSecond >= 60) {
      time.wSecond = static_cast<uint16_t>(time.wSecond - 60);
      if (++time.wMinute >= 60) {
        time.wMinute = static_cast<uint16_t>(time.wMinute - 60);
        if (++time.wHour >= 24 && !is_pure_time()) {
          time.wHour = static_cast<uint16_t>(time.wHour - 24);
          int days = oa_days_in_month(time.wYear, time.wMonth);
          if (days > 0 && ++time.wDay > days) {
            time.wDay = 1;
            if (++time.wMonth > 12) {
              time.wMonth = 1;
              time.wYear = static_cast<uint16_t>(time.wYear + 1);
            }
          }
        }
      }
    }
  }
  microseconds = static_cast<int32_t>(micros);
  time.wMilliseconds = millis_of(micros);
  tk_trace(1, "Got msec: %d", time.wMilliseconds);
  tk_trace(1, "Got microseconds: %d", microseconds);
  return true;
}

void ole_date::refine_type() {
  tk_trace(1, "ole_date::refine_type(%d,%d,%d,%d,%d,%d)", time.wYear, time.wMonth, time.wDay, time.wHour,
           time.wMinute, time.wSecond);
  if (is_pure_time()) {
    tk_trace(1, "Switch to 'pure' time");
    kind = kind_time;
  } else if (time.wHour == 0 && time.wMinute == 0 && time.wSecond == 0 && fraction_micros() == 0 &&
             time.wYear != 0 && time.wMonth != 0 && time.wDay != 0) {
    tk_trace(1, "Switch to 'pure' date");
    kind = kind_date;
  }
}

bool ole_date::is_valid() const {
  if (kind == kind_invalid) return false;
  if (!is_pure_time()) {
    if (time.wMonth < 1 || time.wMonth > 12) {
      tk_trace(1, "Invalid month");
      return false;
    }
    if (time.wDay >= 32) {
      tk_trace(1, "Invalid day (1)");
      return false;
    }
    if (time.wDay > oa_days_in_month(time.wYear == 0 ? 1 : time.wYear, time.wMonth)) {
      tk_trace(1, "Invalid day (2)");
      return false;
    }
    if (time.wDay == 0 || time.wYear == 0) {
      tk_trace(1, "Got zero day/month/year");
      return false;
    }
  }
  if (time.wMinute > 60 || time.wSecond > 60) {
    tk_trace(2, "Invalid time");
    return false;
  }
  return true;
}

int64_t ole_date::fraction_micros() const {
  return microseconds != 0 ? microseconds : int64_t{time.wMilliseconds} * 1000;
}

bool ole_date::to_serial(DATE* out) const {
  if (!is_valid()) return false;
  if (is_pure_time()) return oa_serial_from_duration(time.wHour, time.wMinute, time.wSecond, fraction_micros(), out);
  return oa_serial_from_parts(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond,
                              fraction_micros(), out);
}

void ole_date::print(std::string& out, int precision, bool wide_form) const {
  char buffer[64];
  int hour = time.wHour % 24;
  auto append_time = [&]() {
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", hour, time.wMinute % 100, time.wSecond % 100);
    out.append(buffer);
    if (precision == 0 || (microseconds == 0 && time.wMilliseconds == 0)) return;
    if (precision == 6 && microseconds != 0) {
      std::snprintf(buffer, sizeof buffer, ".%06d", microseconds % 1000000);
    } else {
      std::snprintf(buffer, sizeof buffer, ".%03d", time.wMilliseconds % 1000);
    }
    out.append(buffer);
  };
  auto append_date = [&]() {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", time.wYear % 10000, time.wMonth % 100, time.wDay % 100);
    out.append(buffer);
  };
  switch (kind) {
    case kind_date_time:
      append_date();
      if (midnight_as_date && time.wHour == 0 && time.wMinute == 0 && time.wSecond == 0 && fraction_micros() == 0) {
        return;
      }
      out.push_back(' ');
      append_time();
      return;
    case kind_date:
      append_date();
      return;
    case kind_time:
      if (!wide_form) out.append("0000-00-00 ");
      append_time();
      return;
    default:
      return;
  }
}

std::string ole_date::to_string(int precision) const {
  tk_trace(1, "ole_date::to_string(%d)", precision);
  std::string out;
  print(out, precision, false);
  if (ole_trace_on(1)) tk_trace(1, "buf=%s", out.c_str());
  return out;
}

std::wstring ole_date::to_wstring(int precision) const {
  tk_trace(1, "ole_date::to_wstring(%d)", precision);
  std::string out;
  print(out, precision, true);
  return std::wstring(out.begin(), out.end());
}

void ole_date::to_record(uint8_t out[32]) const {
  std::memset(out, 0, 32);
  auto put32 = [&](int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(0, static_cast<uint32_t>(kind));
  put32(4, static_cast<uint32_t>(zone));
  out[8] = midnight_as_date ? 1 : 0;
  put32(12, static_cast<uint32_t>(microseconds));
  const uint16_t fields[8] = {time.wYear, time.wMonth, time.wDayOfWeek, time.wDay,
                              time.wHour, time.wMinute, time.wSecond, time.wMilliseconds};
  for (int i = 0; i < 8; ++i) {
    out[16 + 2 * i] = static_cast<uint8_t>(fields[i]);
    out[17 + 2 * i] = static_cast<uint8_t>(fields[i] >> 8);
  }
}
