// Code-page text conversion (contract in code_page.h).
#include "platform/jet/code_page.h"

#include <array>

#include "platform/jet/error.h"
#include "platform/jet/sort_order.h"

namespace jet {

namespace {

constexpr uint16_t kWindowsLatin1 = 1252;
constexpr uint8_t kReplacement = '?';

void require(uint16_t code_page) {
  if (!code_page_supported(code_page))
    throw error(dao_error::unrecognized_format,
                "Text in code page " + std::to_string(code_page) + " cannot be read or written (only code page 1252 can).");
}

// The byte of a character in code page 1252, or -1. The mapping is the one the General 97 collation
// uses; a byte only counts when it decodes back to the same character (so U+0080, which 1252 does not
// hold, is not taken for the euro sign's byte).
int cp1252_byte_slow(wchar_t c) {
  if (c < 0 || uint32_t(c) > 0x10FFFF) return -1;
  int b = general_97_byte(char32_t(c));
  if (b < 0 || general_97_char(uint8_t(b)) != char32_t(c)) return -1;
  return b;
}

// The same for every character below U+0100 (nearly all text), looked up instead of worked out: this runs
// for every character of every text value written to a Jet 3 file.
struct cp1252_low_table {
  std::array<int16_t, 256> byte;
  cp1252_low_table() {
    for (unsigned c = 0; c < 256; ++c) byte[c] = int16_t(cp1252_byte_slow(wchar_t(c)));
  }
};

const std::array<int16_t, 256>& cp1252_low() {
  static const cp1252_low_table table;
  return table.byte;
}

inline int cp1252_byte(const std::array<int16_t, 256>& low, wchar_t c) {
  return uint32_t(c) < 256 ? low[uint32_t(c)] : cp1252_byte_slow(c);
}

// Whether every character is its own byte (U+0000-U+007F and U+00A0-U+00FF), as in nearly all text: its
// bytes are then the characters narrowed. Both loops are written so that the compiler can vectorize them.
bool all_own_bytes(std::wstring_view text) {
  uint32_t other = 0;
  for (wchar_t c : text) {
    const uint32_t u = uint32_t(c);
    other |= uint32_t(u > 0xFF) | uint32_t(u - 0x80 < 0x20);
  }
  return other == 0;
}

}  // namespace

bool code_page_supported(uint16_t code_page) { return code_page == kWindowsLatin1; }

std::vector<uint8_t> encode_code_page(uint16_t code_page, std::wstring_view text) {
  std::vector<uint8_t> out;
  encode_code_page(code_page, text, out);
  return out;
}

void encode_code_page(uint16_t code_page, std::wstring_view text, std::vector<uint8_t>& out) {
  require(code_page);
  out.resize(text.size());
  uint8_t* o = out.data();
  if (all_own_bytes(text)) {
    for (size_t i = 0; i < text.size(); ++i) o[i] = uint8_t(text[i]);
    return;
  }
  const auto& low = cp1252_low();
  for (wchar_t c : text) {
    int b = cp1252_byte(low, c);
    *o++ = b < 0 ? kReplacement : uint8_t(b);
  }
}

bool code_page_holds(uint16_t code_page, std::wstring_view text) {
  std::wstring unused;
  return !code_page_text(code_page, text, unused);
}

bool code_page_text(uint16_t code_page, std::wstring_view text, std::wstring& out) {
  require(code_page);
  if (all_own_bytes(text)) return false;
  const auto& low = cp1252_low();
  size_t i = 0;
  while (i < text.size() && cp1252_byte(low, text[i]) >= 0) ++i;
  if (i == text.size()) return false;
  out.assign(text);
  const wchar_t replacement = wchar_t(general_97_char(kReplacement));
  for (; i < out.size(); ++i)
    if (cp1252_byte(low, out[i]) < 0) out[i] = replacement;
  return true;
}

std::wstring decode_code_page(uint16_t code_page, std::span<const uint8_t> bytes) {
  require(code_page);
  std::wstring out;
  out.reserve(bytes.size());
  for (uint8_t b : bytes) out.push_back(wchar_t(general_97_char(b)));
  return out;
}

}  // namespace jet
