// Number texts without the process locale: the C runtime's reading rules (atoi, _atoi64, "%u", strtoull, atof),
// the decimal grammar of the text-to-number conversions, exact scaling with round-half-to-even, and the printf
// number forms the value layer prints.
//
// Every routine reads and writes '.' as the decimal point, knows no digit grouping and gives the same result under
// any setlocale(). Text arguments are (pointer, length) views: they need no terminator and may be any length.
//
// Decimal grammar (oa_parse_number): [ws] [+|-] digits [. digits] [(e|E) [+|-] digits] [ws], with at least one
// mantissa digit (".5" and "5." are accepted); ws is space, tab, CR, LF, VT or FF. Nothing else is accepted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A parsed decimal number: value = (negative ? -1 : 1) * 0.d[0]d[1]...d[count-1] * 10^point.
// d[0] is non-zero and d[count-1] is non-zero; count 0 means the value zero (then negative is false).
// Digits past the 40th are not stored; `sticky` tells whether any of them was non-zero.
struct oa_number {
  static constexpr int kMaxDigits = 40;
  bool negative = false;
  bool sticky = false;
  int count = 0;
  int64_t point = 0;
  char d[kMaxDigits];  // digit values 0-9, not characters
};

bool oa_parse_number(std::string_view text, oa_number* out);
bool oa_parse_number(std::wstring_view text, oa_number* out);
// The number a finite double's shortest text shows (so 0.00015 is the decimal 0.00015 the user sees, not the binary
// value's long expansion); false for NaN and infinities.
bool oa_number_from_double(double value, oa_number* out);

// floor(|value| * 10^scale) rounded half to even at that place, into *magnitude. False when the result would exceed
// `limit` (which must be below 10^38).
bool oa_number_scaled(const oa_number& number, int scale, unsigned __int128 limit, unsigned __int128* magnitude);

// Rounds x half to even to an integral double; false for NaN and infinities.
bool oa_round_half_even(double x, double* out);

// atoi rules: leading whitespace, an optional sign, decimal digits up to the first other character; no digits
// gives 0; values beyond the type are clamped to its range.
int32_t oa_atoi(std::string_view text);
int64_t oa_atoi64(std::string_view text);
// The atoi reading without clamping: the sign and the magnitude of the digits; *overflow when the magnitude does
// not fit 64 bits.
void oa_scan_integer(std::string_view text, bool* negative, uint64_t* magnitude, bool* overflow);
// strtoull rules: as atoi, but a '-' negates modulo 2^64 ("-1" gives 2^64-1); overflow gives 2^64-1.
uint64_t oa_strtoull(std::string_view text);
// scanf "%u" rules: as strtoull, then cut to 32 bits; a positive value above 2^32-1 gives 2^32-1.
uint32_t oa_scan_u32(std::string_view text);
// atof rules: the longest prefix (after whitespace) that reads as a C floating-point number, including "inf",
// "nan" and hexadecimal forms; no number gives 0; overflow gives an infinity.
double oa_atof(std::string_view text);

// Whole-text double: the decimal grammar above, correctly rounded; false when the text does not match or the
// value overflows a double.
bool oa_parse_double(std::string_view text, double* out);
bool oa_parse_double(std::wstring_view text, double* out);

// printf "%.{precision}e" (two-digit minimum exponent; "inf", "-inf", "nan" for the special values).
void oa_append_e(std::string& out, double value, int precision);
// printf "%.{precision}G": shortest of fixed and scientific, trailing zeros removed, upper-case exponent.
void oa_append_g(std::string& out, double value, int precision);
// Shortest text that reads back as the same double (fixed or scientific, lower-case "e").
void oa_append_shortest(std::string& out, double value);
// Decimal text of integers.
void oa_append_int(std::string& out, int64_t value);
void oa_append_uint(std::string& out, uint64_t value);
void oa_append_u128(std::string& out, unsigned __int128 value);

// Appends ASCII text to a wide text (numbers are printed narrow and widened where a wide form is needed).
void oa_widen_append(std::wstring& out, std::string_view ascii);
