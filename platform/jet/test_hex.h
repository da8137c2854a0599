// Test helpers: byte strings as spaced upper-case hex ("7F 00 1A") and back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

inline std::string to_hex(std::string_view bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    if (!s.empty()) s.push_back(' ');
    s.push_back(digits[b >> 4]);
    s.push_back(digits[b & 15]);
  }
  return s;
}

inline std::string to_hex(const std::vector<std::uint8_t>& bytes) {
  return to_hex(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

inline std::string from_hex(std::string_view hex) {
  std::string out;
  int nibble = -1;
  for (char c : hex) {
    int v = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
    if (v < 0) continue;
    if (nibble < 0) {
      nibble = v;
    } else {
      out.push_back(static_cast<char>(nibble * 16 + v));
      nibble = -1;
    }
  }
  return out;
}

}  // namespace jet
