// Property blobs (MSysObjects.LvProp): the properties of a table and of its columns.
//
//   "MR2\0" (Jet 4/ACE; "KKD\0" in Jet 3), then chunks of [4] chunk length (with these 6 bytes), [2] type:
//     0x0080  name list: ([2] byte length, name)*
//     0x0000  the object's own properties   \  [4] name-block length (with itself), [2] name length, name
//     0x0001  one chunk per column          /  then entries: [2] entry length (with itself), [1] DDL flag,
//                                              [1] data type, [2] index into the name list, [2] value
//                                              length, value
// Values: yes/no and byte 1 byte, integer 2, long 4, text and memo UTF-16LE, binary raw.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/jet/format.h"
#include "platform/jet/types.h"

namespace jet {

struct property {
  std::wstring name;
  column_type type = column_type::text;
  bool ddl = true;
  value data;  // boolean, byte, integer, long, text or binary
};

struct property_set {
  std::wstring name;  // column name; empty for the object's own properties
  std::vector<property> items;
  const property* find(const std::wstring& name) const;
};

struct property_blob {
  property_set object;                 // the table's own properties
  std::vector<property_set> columns;   // per column (only columns that have properties)
  const property_set* column(const std::wstring& name) const;
  bool empty() const;
};

std::vector<uint8_t> encode_properties(const format& f, const property_blob& blob);
// Throws jet::error (corrupt) when the blob is damaged.
property_blob decode_properties(const format& f, std::span<const uint8_t> bytes);

}  // namespace jet
