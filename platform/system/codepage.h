// Text encodings: a lenient UTF-8 codec between narrow UTF-8 text and wide text (one wchar_t per code point),
// and the code-page numbers it stands for.
//
// Contract: conversions never fail and never depend on the process locale. Invalid input does not stop a
// conversion: a malformed, overlong or truncated UTF-8 sequence, an encoded surrogate or a value above U+10FFFF
// becomes U+FFFD (one replacement per maximal bad subpart); on the way out, a wide character that is a surrogate
// or above U+10FFFF is written as the UTF-8 of U+FFFD. This matches the lossy behaviour of the system calls the
// callers were written against when they are given no error flags.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// True for the code-page numbers this system can convert to and from: the ANSI code pages (0, 3, and -1 meaning
// "the ANSI code page"), and 65001 (UTF-8). The ANSI code page is UTF-8 on this system.
bool sys_code_page_supported(int code_page);

// Wide text to UTF-8.
std::string sys_wide_to_utf8(std::wstring_view text);

// UTF-8 to wide text.
std::wstring sys_utf8_to_wide(std::string_view text);

// Appends the UTF-8 form of one code point (U+FFFD for surrogates and values above U+10FFFF) to out.
void sys_append_utf8(std::string& out, char32_t c);

// Length of the longest prefix of text[0, n) that ends on a UTF-8 character boundary and is at most limit bytes:
// the place to cut a UTF-8 text so that no character is split.
std::size_t sys_utf8_cut(const char* text, std::size_t n, std::size_t limit);
