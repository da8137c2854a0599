// Case folding over an explicit C.UTF-8 character-class object; see tk_nocase.h.
#include "TK/tk_nocase.h"

#include <locale.h>
#include <wctype.h>

namespace {

// The character classes of C.UTF-8, made once for the life of the process and never freed (it is shared by
// every thread; newlocale objects are safe to use concurrently).
locale_t utf8_ctype() {
  static const locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (l == static_cast<locale_t>(0)) l = newlocale(LC_CTYPE_MASK, "C.utf8", static_cast<locale_t>(0));
    return l;
  }();
  return loc;
}

wchar_t ascii_lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

}  // namespace

wchar_t tk_fold_char(wchar_t c) {
  if (c < 0x80) return ascii_lower(c);
  // Dotted capital I and dotless small i have no simple folding of their own (only Turkic rules give one).
  if (c == 0x0130 || c == 0x0131) return c;
  locale_t loc = utf8_ctype();
  if (loc == static_cast<locale_t>(0)) return c;
  // Lowering the upper-case form folds the letters whose lower-case forms differ (final sigma, long s, the
  // symbol variants of Greek letters) onto one character, as simple case folding does.
  return static_cast<wchar_t>(towlower_l(towupper_l(static_cast<wint_t>(c), loc), loc));
}

bool tk_equal_nocase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && tk_fold_char(a[i]) != tk_fold_char(b[i])) return false;
  }
  return true;
}

std::size_t tk_find_nocase(std::wstring_view text, std::wstring_view what, std::size_t from) {
  if (from > text.size() || what.size() > text.size() - from) return std::wstring_view::npos;
  for (std::size_t pos = from; pos + what.size() <= text.size(); ++pos) {
    if (tk_equal_nocase(text.substr(pos, what.size()), what)) return pos;
  }
  return std::wstring_view::npos;
}

std::wstring tk_to_lower(std::wstring_view text) {
  std::wstring out(text);
  locale_t loc = utf8_ctype();
  for (wchar_t& c : out) {
    if (c < 0x80 || loc == static_cast<locale_t>(0)) {
      c = ascii_lower(c);
    } else {
      c = static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), loc));
    }
  }
  return out;
}

bool tk_is_alnum(wchar_t c) {
  if (c < 0x80) return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
  locale_t loc = utf8_ctype();
  return loc != static_cast<locale_t>(0) && iswalnum_l(static_cast<wint_t>(c), loc) != 0;
}
