// The old names of the toolkit's case-insensitive name handling (TK/tk_nocase.h), kept for the layers that still
// spell them this way. New code calls the tk_ functions directly.
#pragma once

#include "TK/tk_nocase.h"

inline wchar_t udb_fold_char(wchar_t c) { return tk_fold_char(c); }
inline bool udb_equal_nocase(std::wstring_view a, std::wstring_view b) { return tk_equal_nocase(a, b); }
inline std::size_t udb_find_nocase(std::wstring_view text, std::wstring_view what, std::size_t from = 0) {
  return tk_find_nocase(text, what, from);
}
inline std::wstring udb_to_lower(std::wstring_view text) { return tk_to_lower(text); }
inline bool udb_is_alnum(wchar_t c) { return tk_is_alnum(c); }
