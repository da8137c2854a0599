// Text key construction for the three Access collations (contract in sort_order.h).
#include "platform/jet/sort_order.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <vector>

#include "platform/jet/sort_order_tables.h"

namespace jet {

namespace {

constexpr std::size_t kMaxKeyChars = 255;

const detail::collation_table& table_of(sort_order_kind order) {
  switch (order) {
    case sort_order_kind::general_97:
      return detail::general_97_table;
    case sort_order_kind::general:
      return detail::general_table;
    case sort_order_kind::general_legacy:
      break;
  }
  return detail::general_legacy_table;
}

collation_entry decode_record(const detail::collation_table& t, std::uint32_t offset) {
  const char* p = reinterpret_cast<const char*>(t.pool) + offset;
  collation_entry e;
  e.kind = static_cast<collation_kind>(p[0]);
  std::size_t n1 = static_cast<unsigned char>(p[1]);
  e.inline_bytes = std::string_view(p + 2, n1);
  std::size_t n2 = static_cast<unsigned char>(p[2 + n1]);
  e.extra_bytes = std::string_view(p + 3 + n1, n2);
  e.flag_one = p[3 + n1 + n2] != 0;
  return e;
}

// Jet 4/ACE text as UTF-16 code units, cut to the indexed length, trailing spaces removed.
std::u16string to_key_units(std::wstring_view text) {
  std::u16string units;
  units.reserve(std::min(text.size(), kMaxKeyChars + 1));
  for (wchar_t wc : text) {
    if (units.size() >= kMaxKeyChars) break;
    auto c = static_cast<char32_t>(wc);
    if (c > 0x10FFFF) c = 0xFFFD;
    if (c > 0xFFFF) {
      c -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(c));
    }
  }
  if (units.size() > kMaxKeyChars) units.resize(kMaxKeyChars);
  while (!units.empty() && units.back() == u' ') units.pop_back();
  return units;
}

void append(bytes& out, std::string_view s) { out.insert(out.end(), s.begin(), s.end()); }

void push_be16(std::string& s, unsigned v) {
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
  s.push_back(static_cast<char>(v & 0xFF));
}

// General and General legacy.
void append_unicode_key(const detail::collation_table& table, std::u16string_view units,
                        bool ascending, bytes& out) {
  const std::size_t start = out.size();
  bytes& main = out;
  std::size_t pos = 0;
  bool has_extra = false;
  std::string extra;
  std::size_t xcount = 0;
  std::size_t lead = 0;
  bool has_unpr = false;
  std::string unpr;
  bool has_flags = false;
  std::vector<std::uint8_t> flags;

  char surrogate_inline[2];
  for (char16_t u : units) {
    const std::size_t p = pos;
    collation_entry e;
    if (u >= 0xD800 && u <= 0xDFFF) {
      unsigned v;
      if (u < 0xDC00) {
        v = u - 10238u;
      } else {
        unsigned o = (u - 0xDC00u) % 1024u;
        unsigned d = o < 8 ? 9992 : o < 262 ? 9990 : o < 516 ? 9988 : o < 770 ? 9986 : 9984;
        v = u - d;
      }
      surrogate_inline[0] = static_cast<char>(v >> 8);
      surrogate_inline[1] = static_cast<char>(v & 0xFF);
      e.kind = collation_kind::international;
      e.inline_bytes = std::string_view(surrogate_inline, 2);
      e.extra_bytes = "\x3F";
    } else {
      e = decode_record(table, table.index[u]);
    }

    switch (e.kind) {
      case collation_kind::simple:
      case collation_kind::international:
      case collation_kind::flagged:
      case collation_kind::significant:
        append(main, e.inline_bytes);
        ++pos;
        break;
      default:
        break;
    }
    if (e.kind == collation_kind::simple || e.kind == collation_kind::significant) continue;

    const bool adds_extra =
        ((e.kind == collation_kind::international || e.kind == collation_kind::flagged) &&
         !e.extra_bytes.empty()) ||
        e.kind == collation_kind::modifier;
    if (adds_extra) {
      has_extra = true;
      if (xcount < p) {
        extra.append(p - xcount, '\x02');
        xcount = p;
      }
      if (e.kind == collation_kind::modifier) {
        auto m = static_cast<unsigned char>(e.inline_bytes[0]);
        if (extra.empty()) {
          extra.push_back(static_cast<char>(m));
          lead = 1;
        } else {
          extra.back() = static_cast<char>(static_cast<unsigned char>(extra.back()) + m);
        }
      } else {
        extra.append(e.extra_bytes);
        ++xcount;
      }
    }
    if (e.kind == collation_kind::unprintable) {
      has_unpr = true;
      std::size_t q = has_extra ? extra.size() + (p - xcount) - lead : p;
      push_be16(unpr, 0x8000u | static_cast<unsigned>((7 + 4 * q) & 0x7FFF));
      unpr.push_back('\x06');
      unpr.append(e.inline_bytes);
    }
    if (e.kind == collation_kind::flagged) {
      has_flags = true;
      flags.push_back(e.flag_one ? 2 : 3);
    }
  }

  main.push_back(0x01);
  while (!extra.empty()) {
    auto b = static_cast<unsigned char>(extra.back());
    if (b > 2) break;
    extra.pop_back();
  }
  if (!extra.empty() || has_unpr || has_flags) {
    append(main, extra);
    if (has_flags || has_unpr) {
      main.insert(main.end(), {0x01, 0x01});
      if (has_flags) {
        while (!flags.empty() && flags.back() == 3) flags.pop_back();
        for (std::size_t i = 0; i < flags.size(); i += 3) {
          unsigned a = flags[i];
          unsigned b = i + 1 < flags.size() ? flags[i + 1] : 0;
          unsigned c = i + 2 < flags.size() ? flags[i + 2] : 0;
          main.push_back(static_cast<std::uint8_t>(0x80 | a << 4 | b << 2 | c));
        }
        main.insert(main.end(), {0xFF, 0x02, 0x80, 0xFF, 0x80});
        if (has_unpr) main.push_back(0xFF);
      }
      if (has_unpr) {
        main.push_back(0x01);
        append(main, unpr);
      }
    }
  }
  if (!ascending) {
    main.push_back(0x00);
    for (std::size_t i = start; i < main.size(); ++i) main[i] = static_cast<std::uint8_t>(~main[i]);
  }
  main.push_back(0x00);
}

}  // namespace

std::optional<sort_order_kind> sort_order_for_column(bool jet3, std::uint16_t sort_value,
                                                std::uint8_t sort_version) {
  if (sort_value != 1033) return std::nullopt;
  if (jet3) return sort_order_kind::general_97;
  if (sort_version == 0) return sort_order_kind::general_legacy;
  if (sort_version == 1) return sort_order_kind::general;
  return std::nullopt;
}

collation_entry collation_lookup(sort_order_kind order, char16_t unit) {
  const detail::collation_table& t = table_of(order);
  if (unit >= t.index_size) return {};
  return decode_record(t, t.index[unit]);
}

int general_97_byte(char32_t c) {
  if (c <= 0xFF) return static_cast<int>(c);
  const detail::collation_table& t = detail::general_97_table;
  const detail::collation_mapping* end = t.map + t.map_size;
  const detail::collation_mapping* it = std::lower_bound(
      t.map, end, c, [](const detail::collation_mapping& m, char32_t v) { return m.code_point < v; });
  if (it != end && it->code_point == c) return it->byte;
  return -1;
}

char32_t general_97_char(std::uint8_t byte) {
  // The mapping holds the 27 characters above U+00FF that code page 1252 puts at 0x80-0x9F.
  static const std::array<char32_t, 256> chars = [] {
    std::array<char32_t, 256> a{};
    for (unsigned b = 0; b < 256; ++b) a[b] = b;
    const detail::collation_table& t = detail::general_97_table;
    for (std::size_t i = 0; i < t.map_size; ++i) a[t.map[i].byte] = t.map[i].code_point;
    return a;
  }();
  return chars[byte];
}

namespace {

// The General 97 entries of the 256 bytes, decoded once: keys are built for every text value of every
// indexed Jet 3 column.
struct general_97_bytes {
  struct entry {
    collation_kind kind;
    std::uint8_t size;        // main-part bytes (simple, significant, international)
    std::uint8_t nibble;      // the accent nibble of an international entry
    std::uint8_t main[6];
  };
  std::array<entry, 256> entries{};
  std::size_t max_size = 0;

  general_97_bytes() {
    const detail::collation_table& t = detail::general_97_table;
    for (unsigned b = 0; b < 256; ++b) {
      collation_entry e = decode_record(t, t.index[b]);
      entry& x = entries[b];
      x.kind = e.kind;
      const bool keyed = e.kind == collation_kind::simple || e.kind == collation_kind::significant ||
                         e.kind == collation_kind::international;
      if (!keyed) x.kind = collation_kind::ignored;
      if (keyed && e.inline_bytes.size() > sizeof x.main) throw std::logic_error("General 97 entry too long");
      x.size = keyed ? std::uint8_t(e.inline_bytes.size()) : 0;
      std::copy(e.inline_bytes.begin(), e.inline_bytes.begin() + x.size, x.main);
      x.nibble = e.extra_bytes.empty() ? 0 : static_cast<unsigned char>(e.extra_bytes.back()) & 0x0F;
      max_size = std::max<std::size_t>(max_size, x.size);
    }
  }
};

const general_97_bytes& general_97_entries() {
  static const general_97_bytes table;
  return table;
}

}  // namespace

void append_text_key_cp1252(std::string_view cp1252, bool ascending, bytes& out) {
  if (cp1252.size() > kMaxKeyChars) cp1252 = cp1252.substr(0, kMaxKeyChars);
  while (!cp1252.empty() && cp1252.back() == ' ') cp1252.remove_suffix(1);

  const general_97_bytes& table = general_97_entries();
  const std::size_t start = out.size();
  // Room for the main part and the packed nibbles (at most a leading 0, one per character, a closing 0).
  out.resize(start + cp1252.size() * table.max_size + (cp1252.size() + 3) / 2 + 1);
  std::uint8_t* o = out.data() + start;
  bool has_nibbles = false;
  std::array<std::uint8_t, kMaxKeyChars + 2> nib;
  std::size_t nibs = 0;
  std::size_t sig = 0;
  for (char ch : cp1252) {
    const general_97_bytes::entry& e = table.entries[static_cast<unsigned char>(ch)];
    switch (e.kind) {
      case collation_kind::simple:
        o = std::copy_n(e.main, e.size, o);
        break;
      case collation_kind::significant:
        o = std::copy_n(e.main, e.size, o);
        ++sig;
        break;
      case collation_kind::international:
        o = std::copy_n(e.main, e.size, o);
        if (!has_nibbles) {
          has_nibbles = true;
          nib[nibs++] = 0;
        }
        for (; sig > 0; --sig) nib[nibs++] = 2;
        nib[nibs++] = e.nibble;
        break;
      default:
        break;
    }
  }
  if (has_nibbles) {
    nib[nibs++] = 0;
    for (std::size_t i = 0; i < nibs; i += 2) {
      unsigned hi = nib[i];
      unsigned lo = i + 1 < nibs ? nib[i + 1] : 0;
      *o++ = static_cast<std::uint8_t>(hi << 4 | lo);
    }
  } else {
    *o++ = 0x00;
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  if (!ascending) {
    for (std::size_t i = start; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(~out[i]);
  }
}

void append_text_key(sort_order_kind order, std::wstring_view text, bool ascending, bytes& out) {
  if (order == sort_order_kind::general_97) {
    // Characters without a byte are left out; only the first kMaxKeyChars bytes can be part of the key.
    char cp1252[kMaxKeyChars];
    std::size_t n = 0;
    for (wchar_t wc : text) {
      if (n == kMaxKeyChars) break;
      const auto c = static_cast<char32_t>(wc);
      int b = c <= 0xFF ? static_cast<int>(c) : general_97_byte(c);
      if (b >= 0) cp1252[n++] = static_cast<char>(b);
    }
    append_text_key_cp1252(std::string_view(cp1252, n), ascending, out);
    return;
  }
  append_unicode_key(table_of(order), to_key_units(text), ascending, out);
}

}  // namespace jet
