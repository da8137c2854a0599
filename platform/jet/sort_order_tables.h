// The raw collation tables generated at build time (see sort_order_gen.cpp for the record layout).
// Only sort_order.cpp reads them; everything else goes through sort_order.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jet::detail {

struct collation_mapping {
  std::uint16_t code_point;  // a character above U+00FF ...
  std::uint8_t byte;         // ... and the code-page-1252 byte whose entry applies to it
};

struct collation_table {
  const unsigned char* pool;
  std::size_t pool_size;
  const std::uint32_t* index;  // pool offset of the record of each code unit (or each byte)
  std::size_t index_size;
  const collation_mapping* map;  // sorted by code point; General 97 only
  std::size_t map_size;
};

extern const collation_table general_legacy_table;
extern const collation_table general_table;
extern const collation_table general_97_table;

}  // namespace jet::detail
