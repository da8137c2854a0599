// Text helpers used everywhere: encodings, locale-free printf-style formatting, trims, splitting, replacing,
// hex text of bytes, and the running program's path.
//
// Encodings: wide text is std::wstring (one wchar_t per code point); narrow text is UTF-8, and the "ANSI code
// page" of this system is UTF-8 too. Conversions are lenient (bad input becomes U+FFFD, see
// platform/system/codepage.h), so the raising forms fail only for a code page this system does not know.
//
// Formatting: printf rules, but independent of the process locale (the decimal point is always '.'). Wide
// formats follow the convention the program's formats are written in: a bare %s or %c in a wide format takes a
// wide string or character; %I64d/%I64u/%I64x take 64-bit integers. Narrow formats are plain printf.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/system/win_types.h"

// ---- Encodings ------------------------------------------------------------------------------------------------

// Wide to UTF-8. Raises tk_exception_ex level 0 "Cannot convert to UTF8 string: ..." on failure.
std::string tk_to_utf8(const std::wstring& text);
// Wide to the given code page (-1, CP_ACP, CP_THREAD_ACP or CP_UTF8). Raises tk_exception_ex level 0
// "Cannot convert to ANSI string: ..." for a code page this system cannot convert to.
std::string tk_to_ansi(const std::wstring& text, int code_page = -1);
// UTF-8 to wide. Raises tk_exception_ex level 0 "Cannot convert to UNICODE string: ..." on failure.
std::wstring tk_utf8_to_unicode(const std::string& text);
// ANSI code page to wide. Raises tk_exception level 0 "Cannot convert to UNICODE string: " + text on failure.
std::wstring tk_ansi_to_unicode_acp(const std::string& text);

// Quiet forms: false on failure or a null text; out is replaced only on success.
bool tk_ansi_to_unicode(const char* text, std::wstring& out);
// Into the caller's buffer of size bytes, terminator included; false when it does not fit (buffer then empty).
bool tk_unicode_to_ansi1(const wchar_t* text, char* buffer, std::size_t size);
// The output is sized by what the text needs (a UTF-8 character can take up to four bytes).
bool tk_unicode_to_ansi2(const wchar_t* text, std::string& out);
bool tk_unicode_to_ansi3(const wchar_t* text, std::string& out);
// Empties buffer, then converts into it (at most size bytes, terminator included). Returns buffer, or null for a
// null buffer or text, an unknown code page, or a text that does not fit.
char* tk_wide_to_multibyte(char* buffer, const wchar_t* text, std::size_t size, int code_page);

// The longest prefix length of text of at most limit bytes that does not split a UTF-8 character.
std::size_t tk_utf8_cut(const std::string& text, std::size_t limit);

// ---- Formatting -----------------------------------------------------------------------------------------------

// printf into a new string, locale-free. Never overflows; the result is as long as the text needs.
std::string tk_format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string tk_vformat(const char* format, va_list args);
// snprintf into a caller's buffer, locale-free: the text is cut to size - 1 bytes (on a character boundary) and
// terminated. Returns the length written, or -1 when the text was cut.
int tk_snprintf(char* buffer, std::size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
int tk_vsnprintf(char* buffer, std::size_t size, const char* format, va_list args);

// Wide printf with the wide-format convention above, into a new string, locale-free.
std::wstring tk_wformat(const wchar_t* format, ...);
std::wstring tk_vwformat(const wchar_t* format, va_list args);
// The same into a caller's buffer of size wide characters: cut to size - 1 and terminated. Returns the length
// written, or -1 when the text was cut.
int tk_vswprintf_ms(wchar_t* buffer, std::size_t size, const wchar_t* format, va_list args);
int tk_swprintf_ms(wchar_t* buffer, std::size_t size, const wchar_t* format, ...);
// The wide format rewritten for the C library: bare %s/%c become %ls/%lc, %I64 becomes %ll, %I32 is dropped,
// %I alone becomes %z. Flags, width, precision and %% are kept.
std::wstring tk_ms_wformat(const wchar_t* format);

// While alive, the calling thread formats and parses numbers and converts multibyte text as in the "C" locale
// with UTF-8 characters, whatever the process locale is. Nestable.
class tk_classic_locale {
 public:
  tk_classic_locale();
  ~tk_classic_locale();
  tk_classic_locale(const tk_classic_locale&) = delete;
  tk_classic_locale& operator=(const tk_classic_locale&) = delete;

 private:
  void* previous_;
};

// ---- Strings --------------------------------------------------------------------------------------------------

// Copies without trailing (rtrim) or leading and trailing (trim) blanks; only ' ' counts as a blank.
std::string tk_rtrim(const std::string& text);
std::wstring tk_wrtrim(const std::wstring& text);
std::string tk_trim(const std::string& text);
std::wstring tk_wtrim(const std::wstring& text);

// value as a plain decimal number in 0..max: digits only, no sign, blank or leading zero. -1 when it is not one.
int tk_small_number(const std::string& value, int max);

// The pieces between single separators: "a,,b," gives "a", "", "b", ""; "" gives no piece.
std::vector<std::string> tk_split(const std::string& text, char separator);

class tk_string : public std::string {
 public:
  using std::string::string;
  tk_string() = default;
  tk_string(const std::string& s) : std::string(s) {}
  // Replaces every occurrence of what (exact), going on after each inserted text; an empty what does nothing.
  // Changes the string in place and returns a copy.
  std::string replace_all(const std::string& what, const std::string& with);
};

class tk_wstring : public std::wstring {
 public:
  using std::wstring::wstring;
  tk_wstring() = default;
  tk_wstring(const std::wstring& s) : std::wstring(s) {}
  std::wstring replace_all(const std::wstring& what, const std::wstring& with);
  // Lower-cases A-Z in place (nothing else: independent of any locale) and returns a copy.
  std::wstring to_lower();
};

// Two upper-case hex digits per byte and a terminating NUL into buffer (2 * count + 1 characters).
// A null buffer is an internal error.
void tk_bin_to_hex(std::size_t count, const void* bytes, char* buffer);
void tk_bin_to_hex_w(std::size_t count, const void* bytes, wchar_t* buffer);

// ---- Program location -----------------------------------------------------------------------------------------

// Full path of the running program; failure is an internal error.
std::string tk_get_module_file_name();
std::wstring tk_get_module_file_wname();
// Folder of the running program, ending in '/'.
std::string tk_get_module_dir();
