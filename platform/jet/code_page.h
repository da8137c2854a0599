// Text in a database code page: how Jet 3 stores every string (row values, names in table definitions,
// catalog strings, property names and values) as one byte per character.
//
// Code page 1252 (Western European, the code page of every Access 95/97 database we know of) is the
// only table the engine carries; it is the same mapping the General 97 collation uses. Characters the
// code page cannot hold are stored as '?', which is what the Jet 3 engine itself stores for them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

// Whether text of this code page can be converted.
bool code_page_supported(uint16_t code_page);

// Wide text as code-page bytes, one per character; characters outside the code page become '?'.
// Throws jet::error 3343 for a code page without a table.
std::vector<uint8_t> encode_code_page(uint16_t code_page, std::wstring_view text);
// The same, into `out` (its earlier content replaced).
void encode_code_page(uint16_t code_page, std::wstring_view text, std::vector<uint8_t>& out);

// Whether every character of the text is held by the code page, so that encoding and decoding give it
// back unchanged. Throws jet::error 3343 for a code page without a table.
bool code_page_holds(uint16_t code_page, std::wstring_view text);

// The text as the code page holds it, what encoding and decoding it give, found without doing either: each
// character the code page lacks becomes '?'. Returns false, leaving `out` alone, when the code page holds every
// character (the usual case). Throws jet::error 3343 for a code page without a table.
bool code_page_text(uint16_t code_page, std::wstring_view text, std::wstring& out);

// Code-page bytes as wide text. Throws jet::error 3343 for a code page without a table.
std::wstring decode_code_page(uint16_t code_page, std::span<const uint8_t> bytes);

}  // namespace jet
