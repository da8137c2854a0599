// Locale-free number texts. Reading goes through our own scanners or strtod_l with a "C" locale object; printing
// through std::to_chars, which never consults the locale.
#include "platform/oleaut/numtext.h"

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace {

template <typename C>
bool is_space(C c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

template <typename C>
bool is_digit(C c) {
  return c >= '0' && c <= '9';
}

template <typename C>
bool parse_number(std::basic_string_view<C> text, oa_number* out) {
  oa_number n;
  std::size_t i = 0, size = text.size();
  while (i < size && is_space(text[i])) ++i;
  if (i < size && (text[i] == '+' || text[i] == '-')) n.negative = text[i++] == '-';
  int64_t int_digits = 0;
  int64_t leading_zeros = 0;  // zeros before the first non-zero digit, across the point
  bool seen_nonzero = false;
  int mantissa_digits = 0;
  auto take = [&](int digit) {
    ++mantissa_digits;
    if (!seen_nonzero) {
      if (digit == 0) {
        ++leading_zeros;
        return;
      }
      seen_nonzero = true;
    }
    if (n.count < oa_number::kMaxDigits) {
      n.d[n.count++] = static_cast<char>(digit);
    } else if (digit != 0) {
      n.sticky = true;
    }
  };
  for (; i < size && is_digit(text[i]); ++i) {
    take(text[i] - '0');
    ++int_digits;
  }
  if (i < size && text[i] == '.') {
    for (++i; i < size && is_digit(text[i]); ++i) take(text[i] - '0');
  }
  if (mantissa_digits == 0) return false;
  int64_t exponent = 0;
  if (i < size && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool exp_negative = false;
    if (i < size && (text[i] == '+' || text[i] == '-')) exp_negative = text[i++] == '-';
    if (i >= size || !is_digit(text[i])) return false;
    for (; i < size && is_digit(text[i]); ++i) {
      if (exponent < 1000000000) exponent = exponent * 10 + (text[i] - '0');
    }
    if (exp_negative) exponent = -exponent;
  }
  while (i < size && is_space(text[i])) ++i;
  if (i != size) return false;
  while (n.count > 0 && n.d[n.count - 1] == 0) --n.count;
  if (n.count == 0) {
    n.negative = false;
    n.sticky = false;
    n.point = 0;
  } else {
    n.point = int_digits - leading_zeros + exponent;
  }
  *out = n;
  return true;
}

// Reads an optional sign and decimal digits after whitespace, saturating at `limit` in magnitude.
template <typename C>
void scan_integer(std::basic_string_view<C> text, bool* negative, uint64_t* magnitude, bool* overflow) {
  std::size_t i = 0, size = text.size();
  while (i < size && is_space(text[i])) ++i;
  *negative = false;
  if (i < size && (text[i] == '+' || text[i] == '-')) *negative = text[i++] == '-';
  uint64_t value = 0;
  *overflow = false;
  for (; i < size && is_digit(text[i]); ++i) {
    unsigned digit = static_cast<unsigned>(text[i] - '0');
    if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) {
      *overflow = true;
      value = std::numeric_limits<uint64_t>::max();
    } else if (!*overflow) {
      value = value * 10 + digit;
    }
  }
  *magnitude = value;
}

locale_t c_locale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

// strtod_l over a terminated copy of the text; the copy is on the stack for short texts.
double strtod_c(std::string_view text, std::size_t* consumed) {
  char small[80];
  std::string large;
  const char* start;
  if (text.size() < sizeof small) {
    std::memcpy(small, text.data(), text.size());
    small[text.size()] = '\0';
    start = small;
  } else {
    large.assign(text);
    start = large.c_str();
  }
  char* end = nullptr;
  double value = strtod_l(start, &end, c_locale());
  *consumed = static_cast<std::size_t>(end - start);
  return value;
}

template <typename C>
bool parse_double(std::basic_string_view<C> text, double* out) {
  oa_number n;
  if (!parse_number(text, &n)) return false;
  // The grammar holds only ASCII; narrow it without whitespace and '+' for from_chars.
  std::string ascii;
  ascii.reserve(text.size());
  for (C c : text) {
    if (!is_space(c) && c != '+') ascii.push_back(static_cast<char>(c));
  }
  double value = 0;
  auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Underflow reads as zero of the sign; overflow is no double.
    if (n.count == 0 || n.point < 0) {
      *out = n.negative ? -0.0 : 0.0;
      return true;
    }
    return false;
  }
  if (result.ec != std::errc() || result.ptr != ascii.data() + ascii.size()) return false;
  *out = value;
  return true;
}

void append_chars(std::string& out, const char* begin, const char* end) { out.append(begin, end); }

}  // namespace

bool oa_parse_number(std::string_view text, oa_number* out) { return parse_number(text, out); }
bool oa_parse_number(std::wstring_view text, oa_number* out) { return parse_number(text, out); }

bool oa_number_scaled(const oa_number& number, int scale, unsigned __int128 limit, unsigned __int128* magnitude) {
  if (number.count == 0) {
    *magnitude = 0;
    return true;
  }
  int64_t k = number.point + scale;  // digits of the integer result
  if (k > 38) return false;
  unsigned __int128 value = 0;
  for (int64_t j = 0; j < k; ++j) value = value * 10 + (j < number.count ? number.d[j] : 0);
  if (k >= 0) {
    int next = k < number.count ? number.d[k] : 0;
    bool rest = number.sticky || k + 1 < number.count;
    if (next > 5 || (next == 5 && (rest || (value & 1) != 0))) ++value;
  }
  if (value > limit) return false;
  *magnitude = value;
  return true;
}

bool oa_round_half_even(double x, double* out) {
  if (!std::isfinite(x)) return false;
  double r = std::floor(x);
  double diff = x - r;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0)) r += 1.0;
  *out = r;
  return true;
}

int32_t oa_atoi(std::string_view text) {
  int64_t value = oa_atoi64(text);
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

int64_t oa_atoi64(std::string_view text) {
  bool negative, overflow;
  uint64_t magnitude;
  scan_integer(text, &negative, &magnitude, &overflow);
  if (negative) {
    if (magnitude >= uint64_t{1} << 63) return std::numeric_limits<int64_t>::min();
    return -static_cast<int64_t>(magnitude);
  }
  if (magnitude > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(magnitude);
}

void oa_scan_integer(std::string_view text, bool* negative, uint64_t* magnitude, bool* overflow) {
  scan_integer(text, negative, magnitude, overflow);
}

uint64_t oa_strtoull(std::string_view text) {
  bool negative, overflow;
  uint64_t magnitude;
  scan_integer(text, &negative, &magnitude, &overflow);
  if (overflow) return std::numeric_limits<uint64_t>::max();
  return negative ? uint64_t{0} - magnitude : magnitude;
}

uint32_t oa_scan_u32(std::string_view text) {
  bool negative, overflow;
  uint64_t magnitude;
  scan_integer(text, &negative, &magnitude, &overflow);
  if (negative) return static_cast<uint32_t>(uint64_t{0} - magnitude);
  if (overflow || magnitude > std::numeric_limits<uint32_t>::max()) return std::numeric_limits<uint32_t>::max();
  return static_cast<uint32_t>(magnitude);
}

namespace {

// A number as the server writes a floating-point or decimal value: [-]digits[.digits][(e|E)[+|-]digits], nothing
// around it.
bool is_plain_decimal(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  auto digits = [&] {
    const std::size_t from = i;
    while (i < n && text[i] >= '0' && text[i] <= '9') ++i;
    return i > from;
  };
  if (i < n && text[i] == '-') ++i;
  if (!digits()) return false;
  if (i < n && text[i] == '.') {
    ++i;
    digits();
  }
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    if (!digits()) return false;
  }
  return i == n;
}

}  // namespace

double oa_atof(std::string_view text) {
  // from_chars rounds exactly as strtod does; values it cannot hold (beyond the range of a double, or too small
  // for one) and every other form go through strtod, which sets them as it always did.
  if (is_plain_decimal(text)) {
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (result.ec == std::errc() && result.ptr == text.data() + text.size()) return value;
  }
  std::size_t consumed = 0;
  double value = strtod_c(text, &consumed);
  return consumed == 0 ? 0.0 : value;
}

bool oa_parse_double(std::string_view text, double* out) { return parse_double(text, out); }
bool oa_parse_double(std::wstring_view text, double* out) { return parse_double(text, out); }

void oa_append_e(std::string& out, double value, int precision) {
  char buffer[512];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, precision);
  append_chars(out, buffer, result.ptr);
}

void oa_append_g(std::string& out, double value, int precision) {
  char buffer[512];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
  for (char* p = buffer; p != result.ptr; ++p) {
    if (*p == 'e') *p = 'E';
    else if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
  }
  append_chars(out, buffer, result.ptr);
}

void oa_append_shortest(std::string& out, double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  append_chars(out, buffer, result.ptr);
}

bool oa_number_from_double(double value, oa_number* out) {
  if (!std::isfinite(value)) return false;
  std::string text;
  oa_append_shortest(text, value);
  return oa_parse_number(std::string_view(text), out);
}

void oa_append_int(std::string& out, int64_t value) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  append_chars(out, buffer, result.ptr);
}

void oa_append_uint(std::string& out, uint64_t value) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  append_chars(out, buffer, result.ptr);
}

void oa_append_u128(std::string& out, unsigned __int128 value) {
  char buffer[40];
  char* p = buffer + sizeof buffer;
  do {
    *--p = static_cast<char>('0' + static_cast<int>(value % 10));
    value /= 10;
  } while (value != 0);
  out.append(p, buffer + sizeof buffer);
}

void oa_widen_append(std::wstring& out, std::string_view ascii) {
  std::size_t start = out.size();
  out.resize(start + ascii.size());
  for (std::size_t i = 0; i < ascii.size(); ++i) out[start + i] = static_cast<unsigned char>(ascii[i]);
}
