// Access text collations ("sort orders") and the text part of index keys.
//
// Access sorts text index entries by byte strings built from per-character collation codes:
//
// (`jet::sort_order_kind`, format.h):
//   general_legacy  "General" of Access 2000-2007 ("General - Legacy" later): Jet 4 files and ACE
//                   columns whose sort version byte is 0;
//   general         "General" of Access 2010 and later: ACE columns with sort version byte 1;
//   general_97      "General" of Access 95/97: Jet 3 files, whose text is code-page-1252 bytes.
//
// The code tables are generated at build time from the shared sort-order data. Every character
// maps to an entry of one kind: simple (main-part bytes only), international (main-part bytes plus
// an accent/case weight for a trailing "extra" section), unprintable (a positional entry in a
// trailing section), modifier (adjusts the last extra weight), flagged international (as
// international plus a 2-bit flag code), significant (General 97: counts for the accent nibbles)
// or ignored. The key of a value is: main part, 01, the optional trailing sections, 00 (General
// and General legacy), or main part followed by packed accent nibbles or 00 (General 97). Case is
// not encoded; trailing spaces and everything after the 255th character are not part of the key.
//
// Only sort value 1033 is covered; a column with any other (national) sort order has no
// collation here and its text indexes must not be maintained.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/jet/format.h"
#include "platform/jet/types.h"

namespace jet {

// The collation of a text column, from its stored sort value (1033 = General) and, for Jet 4/ACE,
// its sort version byte (0 legacy, 1 General). Empty when the column uses an order we do not have.
std::optional<sort_order_kind> sort_order_for_column(bool jet3, std::uint16_t sort_value,
                                                std::uint8_t sort_version);

// One collation table entry, as stored in the generated tables.
enum class collation_kind : std::uint8_t {
  ignored = 0,
  simple = 1,
  international = 2,
  unprintable = 3,
  modifier = 4,
  flagged = 5,
  significant = 6,
};

struct collation_entry {
  collation_kind kind = collation_kind::ignored;
  std::string_view inline_bytes;  // main-part bytes; the code of an unprintable; a modifier's increment
  std::string_view extra_bytes;   // the extra-section weight (international, flagged)
  bool flag_one = false;          // flagged entries: third field "1" (flag code 2) rather than empty (3)
};

// The table entry of a UTF-16 code unit (general, general_legacy; surrogates are computed and are
// reported as ignored here) or of a code-page-1252 byte value (general_97, unit < 256).
collation_entry collation_lookup(sort_order_kind order, char16_t unit);

// The code-page-1252 byte whose General 97 entry applies to a Unicode character, or -1 when the
// character has none (it is then ignored by the General 97 key).
int general_97_byte(char32_t c);

// The Unicode character a code-page-1252 byte stands for: the inverse of `general_97_byte` over the
// same mapping (bytes 0x80-0x9F that code page 1252 leaves unassigned stand for U+0080-U+009F).
char32_t general_97_char(std::uint8_t byte);

// Appends the key bytes of a non-null text value that follow the column's start flag byte.
// Jet 4/ACE orders work on UTF-16 code units (characters above U+FFFF become surrogate pairs);
// General 97 maps each character to its code-page-1252 byte first. Pass the text as it is stored
// (for Jet 3: after conversion to the code page), so that the key matches the row.
void append_text_key(sort_order_kind order, std::wstring_view text, bool ascending, bytes& out);

// General 97 on the stored code-page-1252 bytes themselves.
void append_text_key_cp1252(std::string_view cp1252, bool ascending, bytes& out);

}  // namespace jet
