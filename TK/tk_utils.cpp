// Text helpers (see tk_utils.h).
#include "TK/tk_utils.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <locale.h>

#include "TK/tk_log.h"
#include "TK/tk_singl.h"
#include "TK/tk_texts.h"
#include "platform/system/codepage.h"
#include "platform/system/files.h"

// ---- Encodings ------------------------------------------------------------------------------------------------

std::string tk_to_utf8(const std::wstring& text) { return sys_wide_to_utf8(text); }

std::string tk_to_ansi(const std::wstring& text, int code_page) {
  if (!sys_code_page_supported(code_page)) throw tk_exception_ex(EINVAL, tk_msg_cannot_convert_ansi, 0);
  return sys_wide_to_utf8(text);
}

std::wstring tk_utf8_to_unicode(const std::string& text) { return sys_utf8_to_wide(text); }

std::wstring tk_ansi_to_unicode_acp(const std::string& text) { return sys_utf8_to_wide(text); }

bool tk_ansi_to_unicode(const char* text, std::wstring& out) {
  if (!text) return false;
  out = sys_utf8_to_wide(text);
  return true;
}

bool tk_unicode_to_ansi1(const wchar_t* text, char* buffer, std::size_t size) {
  tk_trace(2, "tk_unicode_to_ansi1");
  if (!text || !buffer || size == 0) return false;
  const std::string converted = sys_wide_to_utf8(text);
  tk_trace(1, "n_ansi=%d, n_unicode=%d", static_cast<int>(size), static_cast<int>(std::wcslen(text)));
  if (converted.size() + 1 > size) {
    buffer[0] = '\0';
    return false;
  }
  converted.copy(buffer, converted.size());
  buffer[converted.size()] = '\0';
  return true;
}

bool tk_unicode_to_ansi2(const wchar_t* text, std::string& out) {
  tk_trace(2, "tk_unicode_to_ansi2");
  if (!text) return false;
  out = sys_wide_to_utf8(text);
  return true;
}

bool tk_unicode_to_ansi3(const wchar_t* text, std::string& out) {
  if (!text) {
    tk_trace(2, "tk_unicode_to_ansi3 - return false");
    return false;
  }
  out = sys_wide_to_utf8(text);
  tk_trace(2, "tk_unicode_to_ansi3 - return true");
  return true;
}

char* tk_wide_to_multibyte(char* buffer, const wchar_t* text, std::size_t size, int code_page) {
  if (!buffer) return nullptr;
  if (size > 0) buffer[0] = '\0';
  if (!text || !sys_code_page_supported(code_page)) return nullptr;
  const std::string converted = sys_wide_to_utf8(text);
  if (converted.size() + 1 > size) return nullptr;
  converted.copy(buffer, converted.size());
  buffer[converted.size()] = '\0';
  return buffer;
}

std::size_t tk_utf8_cut(const std::string& text, std::size_t limit) {
  return sys_utf8_cut(text.data(), text.size(), limit);
}

// ---- Formatting -----------------------------------------------------------------------------------------------

namespace {

locale_t classic_locale() {
  static const locale_t loc = [] {
    locale_t l = ::newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (!l) l = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return l;
  }();
  return loc;
}

// Largest text the growing formatters produce; beyond it the text is cut.
constexpr std::size_t kMaxFormatted = std::size_t{1} << 24;

}  // namespace

tk_classic_locale::tk_classic_locale() : previous_(nullptr) {
  const locale_t loc = classic_locale();
  if (loc) previous_ = ::uselocale(loc);
}

tk_classic_locale::~tk_classic_locale() {
  if (previous_) ::uselocale(static_cast<locale_t>(previous_));
}

std::string tk_vformat(const char* format, va_list args) {
  if (!format) return std::string();
  tk_classic_locale scope;
  char small[512];
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, static_cast<std::size_t>(n));
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  va_copy(copy, args);
  std::vsnprintf(out.data(), out.size(), format, copy);
  va_end(copy);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::string tk_format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = tk_vformat(format, args);
  va_end(args);
  return out;
}

int tk_vsnprintf(char* buffer, std::size_t size, const char* format, va_list args) {
  if (!buffer || size == 0) return -1;
  const std::string text = tk_vformat(format, args);
  if (text.size() < size) {
    text.copy(buffer, text.size());
    buffer[text.size()] = '\0';
    return static_cast<int>(text.size());
  }
  // Cut, without leaving half a character at the end.
  const std::size_t keep = sys_utf8_cut(text.data(), text.size(), size - 1);
  text.copy(buffer, keep);
  buffer[keep] = '\0';
  return -1;
}

int tk_snprintf(char* buffer, std::size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = tk_vsnprintf(buffer, size, format, args);
  va_end(args);
  return n;
}

std::wstring tk_ms_wformat(const wchar_t* format) {
  std::wstring out;
  if (!format) return out;
  const wchar_t* p = format;
  while (*p) {
    if (*p != L'%') {
      out.push_back(*p++);
      continue;
    }
    out.push_back(*p++);
    if (*p == L'%') {
      out.push_back(*p++);
      continue;
    }
    // Flags, width and precision pass through unchanged.
    while (*p && std::wcschr(L"-+ #0'", *p)) out.push_back(*p++);
    while (*p == L'*' || (*p >= L'0' && *p <= L'9')) out.push_back(*p++);
    if (*p == L'.') {
      out.push_back(*p++);
      while (*p == L'*' || (*p >= L'0' && *p <= L'9')) out.push_back(*p++);
    }
    // Length modifier.
    bool has_length = false;
    if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
      out += L"ll";
      p += 3;
      has_length = true;
    } else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') {
      p += 3;
    } else if (p[0] == L'I') {
      out.push_back(L'z');
      ++p;
      has_length = true;
    } else {
      while (*p && std::wcschr(L"hlLqjzt", *p)) {
        out.push_back(*p++);
        has_length = true;
      }
    }
    if ((*p == L's' || *p == L'c') && !has_length) out.push_back(L'l');
    if (*p) out.push_back(*p++);
  }
  return out;
}

int tk_vswprintf_ms(wchar_t* buffer, std::size_t size, const wchar_t* format, va_list args) {
  if (!buffer || size == 0) return -1;
  buffer[0] = L'\0';
  if (!format) return 0;
  const std::wstring fmt = tk_ms_wformat(format);
  tk_classic_locale scope;
  const int n = std::vswprintf(buffer, size, fmt.c_str(), args);
  if (n >= 0) return n;
  // vswprintf gives -1 when the text does not fit; it has then written a terminated prefix (glibc), but make
  // sure of the terminator whatever it left.
  buffer[size - 1] = L'\0';
  return -1;
}

int tk_swprintf_ms(wchar_t* buffer, std::size_t size, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = tk_vswprintf_ms(buffer, size, format, args);
  va_end(args);
  return n;
}

std::wstring tk_vwformat(const wchar_t* format, va_list args) {
  if (!format) return std::wstring();
  const std::wstring fmt = tk_ms_wformat(format);
  tk_classic_locale scope;
  std::vector<wchar_t> buf(512);
  for (;;) {
    va_list copy;
    va_copy(copy, args);
    const int n = std::vswprintf(buf.data(), buf.size(), fmt.c_str(), copy);
    va_end(copy);
    if (n >= 0) return std::wstring(buf.data(), static_cast<std::size_t>(n));
    // -1 means "did not fit" or a conversion error; grow up to the limit, then give what was printed.
    if (buf.size() >= kMaxFormatted) {
      buf.back() = L'\0';
      return std::wstring(buf.data());
    }
    buf.resize(buf.size() * 4);
  }
}

std::wstring tk_wformat(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring out = tk_vwformat(format, args);
  va_end(args);
  return out;
}

// ---- Strings --------------------------------------------------------------------------------------------------

namespace {

template <class S>
S rtrim_blanks(const S& text) {
  const auto end = text.find_last_not_of(static_cast<typename S::value_type>(' '));
  if (end == S::npos) {
    if (!text.empty()) tk_trace(1, "Special processing for all-spaces-string");
    return S();
  }
  return text.substr(0, end + 1);
}

template <class S>
S trim_blanks(const S& text) {
  const auto begin = text.find_first_not_of(static_cast<typename S::value_type>(' '));
  if (begin == S::npos) return S();
  const auto end = text.find_last_not_of(static_cast<typename S::value_type>(' '));
  return text.substr(begin, end - begin + 1);
}

template <class S>
void replace_every(S& s, const S& what, const S& with) {
  if (what.empty()) return;
  typename S::size_type pos = 0;
  while ((pos = s.find(what, pos)) != S::npos) {
    s.replace(pos, what.size(), with);
    pos += with.size();
  }
}

template <class C>
void bin_to_hex(std::size_t count, const void* bytes, C* buffer) {
  static const char kDigits[] = "0123456789ABCDEF";
  const auto* b = static_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < count; ++i) {
    buffer[2 * i] = static_cast<C>(kDigits[b[i] >> 4]);
    buffer[2 * i + 1] = static_cast<C>(kDigits[b[i] & 0x0F]);
  }
  buffer[2 * count] = 0;
}

}  // namespace

std::string tk_rtrim(const std::string& text) { return rtrim_blanks(text); }
std::wstring tk_wrtrim(const std::wstring& text) { return rtrim_blanks(text); }
std::string tk_trim(const std::string& text) { return trim_blanks(text); }
std::wstring tk_wtrim(const std::wstring& text) { return trim_blanks(text); }

int tk_small_number(const std::string& value, int max) {
  if (value.empty() || value.size() > 9) return -1;
  if (value.size() > 1 && value[0] == '0') return -1;
  int number = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return -1;
    number = number * 10 + (c - '0');
  }
  return number <= max ? number : -1;
}

std::vector<std::string> tk_split(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  std::string::size_type start = 0;
  for (;;) {
    const auto pos = text.find(separator, start);
    if (pos == std::string::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, pos - start));
    start = pos + 1;
  }
}

std::string tk_string::replace_all(const std::string& what, const std::string& with) {
  tk_trace(2, "tk_string::replace_all('%s','%s')", what.c_str(), with.c_str());
  replace_every<std::string>(*this, what, with);
  return *this;
}

std::wstring tk_wstring::replace_all(const std::wstring& what, const std::wstring& with) {
  tk_trace_w(2, L"tk_wstring::replace_all(%s,%s)", what.c_str(), with.c_str());
  replace_every<std::wstring>(*this, what, with);
  return *this;
}

std::wstring tk_wstring::to_lower() {
  tk_trace_w(2, L"tk_wstring::to_lower(%s)", c_str());
  for (auto& c : *this) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return *this;
}

void tk_bin_to_hex(std::size_t count, const void* bytes, char* buffer) {
  if (!buffer) throw tk_mail_assertion("tk_utils", 903);
  bin_to_hex(count, bytes, buffer);
}

void tk_bin_to_hex_w(std::size_t count, const void* bytes, wchar_t* buffer) {
  if (!buffer) throw tk_mail_assertion("tk_utils", 917);
  bin_to_hex(count, bytes, buffer);
}

// ---- Program location -----------------------------------------------------------------------------------------

std::string tk_get_module_file_name() {
  std::string path;
  if (sys_program_path(path) != 0) throw tk_mail_assertion("tk_utils", 119);
  return path;
}

std::wstring tk_get_module_file_wname() {
  std::string path;
  if (sys_program_path(path) != 0) throw tk_mail_assertion("tk_utils", 132);
  return sys_utf8_to_wide(path);
}

std::string tk_get_module_dir() {
  std::string path;
  if (sys_program_path(path) != 0) throw tk_mail_assertion("tk_utils", 119);
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string("/") : path.substr(0, slash + 1);
}
