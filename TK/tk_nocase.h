// Case-insensitive handling of names (tables, fields, indexes, views, relationships).
//
// Contract: every comparison of names that ignores case goes through these functions, so the whole program
// agrees on what "the same name" means. Characters are compared after Unicode simple case folding; the result
// never depends on the process locale (a C.UTF-8 character-class object is made once and used explicitly; when
// the system has none, only ASCII letters fold). No canonical equivalence is applied: a precomposed letter and
// the same letter followed by a combining mark are different names.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The case-folded form of one character: equal folds mean equal ignoring case (Σ, σ and ς fold alike).
wchar_t tk_fold_char(wchar_t c);

// True when the two names are equal ignoring case.
bool tk_equal_nocase(std::wstring_view a, std::wstring_view b);

// Position of the first occurrence of what in text at or after from, ignoring case; npos when there is none.
// An empty what is found at from (when from is within the text).
std::size_t tk_find_nocase(std::wstring_view text, std::wstring_view what, std::size_t from = 0);

// The text with every character mapped to lower case (Unicode simple mapping, locale-independent). Unlike
// tk_wstring::to_lower, which lowers A-Z only, this lowers every script.
std::wstring tk_to_lower(std::wstring_view text);

// True for a letter or a digit of any script.
bool tk_is_alnum(wchar_t c);
