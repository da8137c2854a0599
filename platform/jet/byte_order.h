// Little- and big-endian integer access on byte buffers.
//
// Jet stores every integer little-endian except inside index entries, where keys, data page numbers
// and child pointers are big-endian. These helpers are the only place that knows how to put an
// integer into bytes; they never depend on the host's byte order.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace jet {

inline uint16_t get_u16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t get_u24(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16); }
inline uint32_t get_u32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t get_u64(const uint8_t* p) { return uint64_t(get_u32(p)) | (uint64_t(get_u32(p + 4)) << 32); }
inline int16_t get_i16(const uint8_t* p) { return int16_t(get_u16(p)); }
inline int32_t get_i32(const uint8_t* p) { return int32_t(get_u32(p)); }
inline int64_t get_i64(const uint8_t* p) { return int64_t(get_u64(p)); }
inline double get_f64(const uint8_t* p) {
  uint64_t u = get_u64(p);
  double d;
  std::memcpy(&d, &u, 8);
  return d;
}
inline float get_f32(const uint8_t* p) {
  uint32_t u = get_u32(p);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}

inline void put_u16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void put_u24(uint8_t* p, uint32_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); }
inline void put_u32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v >> 16); p[3] = uint8_t(v >> 24);
}
inline void put_u64(uint8_t* p, uint64_t v) { put_u32(p, uint32_t(v)); put_u32(p + 4, uint32_t(v >> 32)); }
inline void put_f64(uint8_t* p, double d) {
  uint64_t u;
  std::memcpy(&u, &d, 8);
  put_u64(p, u);
}
inline void put_f32(uint8_t* p, float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  put_u32(p, u);
}

// Big-endian forms, used by index entries.
inline uint32_t get_be24(const uint8_t* p) { return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]; }
inline uint32_t get_be32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline void put_be24(uint8_t* p, uint32_t v) { p[0] = uint8_t(v >> 16); p[1] = uint8_t(v >> 8); p[2] = uint8_t(v); }
inline void put_be32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24); p[1] = uint8_t(v >> 16); p[2] = uint8_t(v >> 8); p[3] = uint8_t(v);
}

// Appending forms for building variable-length structures.
inline void append_u16(std::vector<uint8_t>& out, uint16_t v) { out.push_back(uint8_t(v)); out.push_back(uint8_t(v >> 8)); }
inline void append_u32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// A row pointer: row number in the low byte, page number above it.
inline uint32_t make_row_pointer(uint32_t page, uint8_t row) { return (page << 8) | row; }
inline uint32_t row_pointer_page(uint32_t rp) { return rp >> 8; }
inline uint8_t row_pointer_row(uint32_t rp) { return uint8_t(rp & 0xFF); }

}  // namespace jet
