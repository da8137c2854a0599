// Value encodings inside rows (little-endian numbers, IEEE doubles, the 17-byte decimal, GUID bytes)
// and text: UTF-16LE, or the compressed form "FF FE" + runs that start one byte per character (code
// points 1-255) and toggle to two bytes per character and back at each 00 byte; in Jet 3, bytes of the
// database code page (code_page.h).
//
// `coerce` turns a value into the kind a column stores, refusing what DAO refuses: numbers out of
// range (3349), text longer than the field (3163), kinds that do not convert (3421).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/jet/format.h"
#include "platform/jet/table_def.h"
#include "platform/jet/types.h"

namespace jet {

// Wide text <-> UTF-16 code units (characters above U+FFFF become surrogate pairs).
std::u16string to_utf16(const std::wstring& s);
// The number of UTF-16 units to_utf16(s) has, without making it.
size_t utf16_length(const std::wstring& s);
std::wstring from_utf16(const std::u16string& s);
// Wide text as UTF-8 (for messages).
std::string to_utf8(const std::wstring& s);

// Text as stored: compressed when `allow_compression` and it saves space, UTF-16LE otherwise; Jet 3:
// the code page's bytes, '?' for characters it cannot hold.
std::vector<uint8_t> encode_text(const format& f, const std::wstring& s, bool allow_compression);
std::wstring decode_text(const format& f, std::span<const uint8_t> bytes);

// Fixed-area bytes of a non-null value of a fixed column (`v` must already be coerced).
void encode_fixed(const column_def& c, const value& v, uint8_t* out);
value decode_fixed(const column_def& c, const uint8_t* in);

// The per-value rules of a column, the same for every writer (the engine's table writers, DAO's put_Collect
// and Update). check_value: a Yes/No value is never Null (Null is stored as No); a text fits its field (UTF-16
// units in Jet 4/ACE, characters in Jet 3) and a binary value its bytes, else 3163; a text or binary field
// given another kind refuses it (3421). check_rules: a Null in a required column (3314) and an empty text
// where none is allowed (3315) are refused.
struct column_rules {
  bool required = false;
  bool allow_zero_length = true;
};
void check_value(const format& f, const column_def& c, value& v);
void check_rules(const column_def& c, const column_rules& r, const value& v);

// The value in the kind column `c` stores. Null stays null.
value coerce(const format& f, const column_def& c, const value& v);
// The same, in place: `v = coerce(f, c, v)` without copying a value that stays as it is; check_value's rules
// first.
void coerce_in_place(const format& f, const column_def& c, value& v);

// Largest text length of a text column (UTF-16 units; Jet 3: characters).
uint32_t text_limit(const format& f, const column_def& c);

}  // namespace jet
