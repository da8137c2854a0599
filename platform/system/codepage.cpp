// The lenient UTF-8 codec (see codepage.h). Decoding follows the "maximal subpart" rule of Unicode: each bad
// byte sequence is replaced by one U+FFFD and decoding resumes at the first byte that cannot continue it.
#include "platform/system/codepage.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

bool sys_code_page_supported(int code_page) {
  return code_page == -1 || code_page == 0 || code_page == 3 || code_page == 65001;
}

void sys_append_utf8(std::string& out, char32_t c) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = kReplacement;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string sys_wide_to_utf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t w : text) sys_append_utf8(out, static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(w)));
  return out;
}

std::wstring sys_utf8_to_wide(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char b = p[i];
    if (b < 0x80) {
      out.push_back(static_cast<wchar_t>(b));
      ++i;
      continue;
    }
    int len;
    char32_t c;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
      c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      c = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;  // no overlong forms
      if (b == 0xED) hi = 0x9F;  // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      c = b & 0x07;
      if (b == 0xF0) lo = 0x90;  // no overlong forms
      if (b == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
      out.push_back(static_cast<wchar_t>(kReplacement));
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool ok = true;
    for (int k = 1; k < len; ++k, ++j) {
      const unsigned char lo_k = (k == 1) ? lo : 0x80;
      const unsigned char hi_k = (k == 1) ? hi : 0xBF;
      if (j >= n || p[j] < lo_k || p[j] > hi_k) {
        ok = false;
        break;
      }
      c = (c << 6) | (p[j] & 0x3F);
    }
    out.push_back(static_cast<wchar_t>(ok ? c : kReplacement));
    i = j;
  }
  return out;
}

std::size_t sys_utf8_cut(const char* text, std::size_t n, std::size_t limit) {
  if (n <= limit) return n;
  std::size_t cut = limit;
  // Step back over at most three continuation bytes so the byte at the cut starts a character; a longer run is
  // not valid UTF-8 and is cut where the limit falls.
  for (int k = 0; k < 3 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80; ++k) --cut;
  if ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) return limit;
  return cut;
}
