// BSTR: a length-prefixed wide text owned through the functions below.
//
// A BSTR points at its first character; the character count is stored just before it and a terminating NUL
// follows the last character, so a BSTR may be read as a C wide string when it holds no NUL of its own.
// A null BSTR is a valid empty text everywhere: SysStringLen(nullptr) is 0 and SysFreeString(nullptr) does nothing.
// Characters are wchar_t (one code point each on this system).
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/oleaut/types.h"

// A new BSTR holding text[0, length), or length uninitialised characters (set to NUL) when text is null.
// Returns nullptr when memory runs out.
BSTR SysAllocStringLen(const OLECHAR* text, std::size_t length);

// A new BSTR holding the NUL-terminated text (nullptr for a null text).
BSTR SysAllocString(const OLECHAR* text);

// A new BSTR holding the text; nullptr when memory runs out.
BSTR oa_alloc_bstr(std::wstring_view text);

void SysFreeString(BSTR text);

// Number of characters (not counting the terminator).
std::size_t SysStringLen(BSTR text);

// The BSTR's characters as a view (empty for nullptr).
inline std::wstring_view oa_bstr_view(BSTR text) { return std::wstring_view(text ? text : L"", SysStringLen(text)); }
