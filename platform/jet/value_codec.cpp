// Value codecs.
#include "platform/jet/value_codec.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/jet/byte_order.h"
#include "platform/jet/code_page.h"
#include "platform/jet/error.h"

namespace jet {

size_t utf16_length(const std::wstring& s) {
  size_t n = s.size();
  for (wchar_t wc : s)
    if (uint32_t(wc) >= 0x10000 && uint32_t(wc) <= 0x10FFFF) ++n;
  return n;
}

std::u16string to_utf16(const std::wstring& s) {
  // Sized once and filled in place: this runs for every text value written.
  std::u16string out(utf16_length(s), u'\0');
  char16_t* o = out.data();
  for (wchar_t wc : s) {
    uint32_t c = uint32_t(wc);
    if (c < 0x10000) {
      *o++ = char16_t(c);
    } else if (c <= 0x10FFFF) {
      c -= 0x10000;
      *o++ = char16_t(0xD800 + (c >> 10));
      *o++ = char16_t(0xDC00 + (c & 0x3FF));
    } else {
      *o++ = char16_t(0xFFFD);
    }
  }
  return out;
}

namespace {

bool is_surrogate(uint32_t c) { return c >= 0xD800 && c < 0xE000; }

// Joins the surrogate pairs of UTF-16 code units held one to a wide character, in place; a lone
// surrogate stays as it is.
void join_surrogates(std::wstring& s) {
  size_t w = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = uint32_t(s[i]);
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && uint32_t(s[i + 1]) >= 0xDC00 && uint32_t(s[i + 1]) < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (uint32_t(s[i + 1]) - 0xDC00);
      ++i;
    }
    s[w++] = wchar_t(c);
  }
  s.resize(w);
}

}  // namespace

std::wstring from_utf16(const std::u16string& s) {
  std::wstring out(s.begin(), s.end());
  for (char16_t c : s)
    if (is_surrogate(c)) {
      join_surrogates(out);
      break;
    }
  return out;
}

std::string to_utf8(const std::wstring& s) {
  std::string out;
  for (wchar_t wc : s) {
    uint32_t c = uint32_t(wc);
    if (c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) c = 0xFFFD;
    if (c < 0x80) {
      out.push_back(char(c));
    } else if (c < 0x800) {
      out.push_back(char(0xC0 | (c >> 6)));
      out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(char(0xE0 | (c >> 12)));
      out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(char(0x80 | (c & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (c >> 18)));
      out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(char(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

namespace {

bool compressible(char16_t c) { return c >= 1 && c <= 0xFF; }

}  // namespace

std::vector<uint8_t> encode_text(const format& f, const std::wstring& s, bool allow_compression) {
  if (!f.unicode_text) return encode_code_page(f.code_page, s);
  // Every buffer is sized before it is filled: this runs for every text value written and read.
  std::u16string u = to_utf16(s);
  const size_t n = u.size();
  auto plain = [&] {
    std::vector<uint8_t> out(n * 2);
    for (size_t i = 0; i < n; ++i) {
      out[2 * i] = uint8_t(u[i]);
      out[2 * i + 1] = uint8_t(u[i] >> 8);
    }
    return out;
  };
  if (!allow_compression || n == 0) return plain();
  // A 00 byte switches modes, so a two-byte character whose low byte is 00 (and NUL itself) cannot
  // be written compressed.
  for (char16_t c : u)
    if ((c & 0xFF) == 0) return plain();
  // At most a mode byte and two bytes per character after the FF FE mark.
  std::vector<uint8_t> packed(2 + 3 * n);
  uint8_t* o = packed.data();
  *o++ = 0xFF;
  *o++ = 0xFE;
  bool one_byte = true;
  for (size_t i = 0; i < n; ++i) {
    char16_t c = u[i];
    if (one_byte) {
      if (compressible(c)) {
        *o++ = uint8_t(c);
        continue;
      }
      *o++ = 0;
      one_byte = false;
      *o++ = uint8_t(c);
      *o++ = uint8_t(c >> 8);
      continue;
    }
    // In two-byte mode, switch back only for a run of at least three compressible characters.
    size_t run = 0;
    while (i + run < n && compressible(u[i + run]) && run < 3) ++run;
    if (run >= 3 || (run > 0 && i + run == n)) {
      *o++ = 0;
      one_byte = true;
      *o++ = uint8_t(c);
    } else {
      *o++ = uint8_t(c);
      *o++ = uint8_t(c >> 8);
    }
  }
  packed.resize(size_t(o - packed.data()));
  return packed.size() < 2 * n ? packed : plain();
}

std::wstring decode_text(const format& f, std::span<const uint8_t> b) {
  if (!f.unicode_text) return decode_code_page(f.code_page, b);
  // Never more characters than bytes: each takes one byte or two.
  std::wstring out(b.size(), L'\0');
  size_t n = 0;
  bool surrogates = false;
  auto put = [&](uint32_t c) {
    out[n++] = wchar_t(c);
    surrogates = surrogates || is_surrogate(c);
  };
  if (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
    bool one_byte = true;
    size_t i = 2;
    while (i < b.size()) {
      if (b[i] == 0) {
        one_byte = !one_byte;
        ++i;
        continue;
      }
      if (one_byte) {
        put(b[i]);
        ++i;
      } else {
        if (i + 1 >= b.size()) break;
        put(uint32_t(b[i] | (b[i + 1] << 8)));
        i += 2;
      }
    }
  } else {
    for (size_t i = 0; i + 1 < b.size(); i += 2) put(uint32_t(b[i] | (b[i + 1] << 8)));
  }
  out.resize(n);
  if (surrogates) join_surrogates(out);
  return out;
}

void encode_fixed(const column_def& c, const value& v, uint8_t* out) {
  switch (c.type) {
    case column_type::byte: out[0] = v.as_byte(); break;
    case column_type::integer: put_u16(out, uint16_t(v.as_integer())); break;
    case column_type::long_integer: case column_type::complex: put_u32(out, uint32_t(v.as_long())); break;
    case column_type::big_integer: put_u64(out, uint64_t(v.as_big())); break;
    case column_type::currency: put_u64(out, uint64_t(v.as_currency().scaled)); break;
    case column_type::single: put_f32(out, v.as_single()); break;
    case column_type::double_: put_f64(out, v.as_double()); break;
    case column_type::datetime: put_f64(out, v.as_datetime().days); break;
    case column_type::guid: std::memcpy(out, v.as_guid().bytes.data(), 16); break;
    case column_type::decimal: {
      const decimal& d = v.as_decimal();
      out[0] = d.negative ? 0x80 : 0x00;
      put_u32(out + 1, 0);
      for (int i = 0; i < 3; ++i) put_u32(out + 5 + 4 * i, d.magnitude[i]);
      break;
    }
    default: break;
  }
}

value decode_fixed(const column_def& c, const uint8_t* in) {
  switch (c.type) {
    case column_type::byte: return value::byte(in[0]);
    case column_type::integer: return value::integer(get_i16(in));
    case column_type::long_integer: case column_type::complex: return value::long_integer(get_i32(in));
    case column_type::big_integer: return value::big_integer(get_i64(in));
    case column_type::currency: return value::currency({get_i64(in)});
    case column_type::single: return value::single(get_f32(in));
    case column_type::double_: return value::double_(get_f64(in));
    case column_type::datetime: return value::datetime({get_f64(in)});
    case column_type::guid: {
      guid g;
      std::memcpy(g.bytes.data(), in, 16);
      return value::guid(g);
    }
    case column_type::decimal: {
      decimal d;
      d.negative = (in[0] & 0x80) != 0;
      d.scale = c.scale;
      for (int i = 0; i < 3; ++i) d.magnitude[i] = get_u32(in + 5 + 4 * i);
      return value::decimal(d);
    }
    default: return value();
  }
}

uint32_t text_limit(const format& f, const column_def& c) { return c.length / f.text_bytes_per_char; }

namespace {

[[noreturn]] void overflow() { throw_error(dao_error::numeric_overflow); }
[[noreturn]] void mismatch() { throw_error(dao_error::conversion_error); }

// Integer or floating value of a numeric kind, for conversions between numeric columns.
bool as_integer_value(const value& v, int64_t& out) {
  switch (v.kind_of()) {
    case value::kind::boolean: out = v.as_bool() ? -1 : 0; return true;
    case value::kind::byte: out = v.as_byte(); return true;
    case value::kind::integer: out = v.as_integer(); return true;
    case value::kind::long_integer: out = v.as_long(); return true;
    case value::kind::big_integer: out = v.as_big(); return true;
    default: return false;
  }
}

bool as_double_value(const value& v, double& out) {
  int64_t i;
  if (as_integer_value(v, i)) { out = double(i); return true; }
  switch (v.kind_of()) {
    case value::kind::single: out = v.as_single(); return true;
    case value::kind::double_: out = v.as_double(); return true;
    case value::kind::currency: out = double(v.as_currency().scaled) / 10000.0; return true;
    default: return false;
  }
}

// Integral value of a floating number, rounded half to even as VariantChangeType does.
int64_t round_to_integer(double d, double lo, double hi) {
  if (!std::isfinite(d)) overflow();
  double r = std::nearbyint(d);
  if (r < lo || r > hi) overflow();
  return int64_t(r);
}

int64_t integral(const value& v, double lo, double hi) {
  int64_t i;
  if (as_integer_value(v, i)) {
    if (double(i) < lo || double(i) > hi) overflow();
    return i;
  }
  double d;
  if (as_double_value(v, d)) return round_to_integer(d, lo, hi);
  mismatch();
}

// The checks of a non-null text, memo, binary or OLE value, which is stored as it is (Jet 3 text apart): its
// kind, and that it fits the field (Jet 4/ACE count UTF-16 units; Jet 3 stores one byte per character).
void check_kept_value(const format& f, const column_def& c, const value& v) {
  if (is_text_type(c.type)) {
    if (v.kind_of() != value::kind::text) mismatch();
    if (c.type == column_type::text &&
        (f.unicode_text ? utf16_length(v.as_text()) : v.as_text().size()) > text_limit(f, c))
      throw_error(dao_error::field_too_small);
    return;
  }
  if (v.kind_of() != value::kind::binary) mismatch();
  if (c.type == column_type::binary && v.as_binary().size() > c.length) throw_error(dao_error::field_too_small);
}

// Jet 3 holds a text as its code page has it ('?' for what it lacks): index keys, unique checks and the
// stored bytes all see that text. False when the code page holds the text as it is (the usual case).
bool code_page_held(const format& f, const value& v, std::wstring& held) {
  return !f.unicode_text && code_page_text(f.code_page, v.as_text(), held);
}

}  // namespace

void check_value(const format& f, const column_def& c, value& v) {
  if (v.is_null()) {
    if (c.type == column_type::boolean) v = value::boolean(false);
    return;
  }
  if (is_text_type(c.type) || c.type == column_type::binary || c.type == column_type::ole) check_kept_value(f, c, v);
}

void check_rules(const column_def& c, const column_rules& r, const value& v) {
  if (r.required && v.is_null()) throw_error(dao_error::required_null, to_utf8(c.name));
  if (!r.allow_zero_length && is_text_type(c.type) && !v.is_null() && v.as_text().empty())
    throw_error(dao_error::zero_length, to_utf8(c.name));
}

void coerce_in_place(const format& f, const column_def& c, value& v) {
  check_value(f, c, v);
  // Text and bytes are only checked (coerce would hand back a copy of them); a Jet 3 text its code page does
  // not hold whole is replaced by the text it holds.
  if (!v.is_null() && (is_text_type(c.type) || c.type == column_type::binary || c.type == column_type::ole)) {
    std::wstring held;
    if (is_text_type(c.type) && code_page_held(f, v, held)) v = value::text(std::move(held));
    return;
  }
  v = coerce(f, c, v);
}

value coerce(const format& f, const column_def& c, const value& v) {
  if (v.is_null()) return v;
  switch (c.type) {
    case column_type::boolean: {
      if (v.kind_of() == value::kind::boolean) return v;
      double d;
      if (as_double_value(v, d)) return value::boolean(d != 0);
      mismatch();
    }
    case column_type::byte: return value::byte(uint8_t(integral(v, 0, 255)));
    case column_type::integer: return value::integer(int16_t(integral(v, -32768, 32767)));
    case column_type::long_integer: case column_type::complex:
      return value::long_integer(int32_t(integral(v, -2147483648.0, 2147483647.0)));
    case column_type::big_integer: {
      int64_t i;
      if (as_integer_value(v, i)) return value::big_integer(i);
      double d;
      if (as_double_value(v, d)) return value::big_integer(round_to_integer(d, -9.2233720368547758e18, 9.2233720368547748e18));
      mismatch();
    }
    case column_type::currency: {
      if (v.kind_of() == value::kind::currency) return v;
      int64_t i;
      if (as_integer_value(v, i)) {
        if (i > 922337203685477LL || i < -922337203685477LL) overflow();
        return value::currency({i * 10000});
      }
      double d;
      if (as_double_value(v, d)) return value::currency({round_to_integer(d * 10000.0, -9.2233720368547758e18, 9.2233720368547748e18)});
      mismatch();
    }
    case column_type::single: {
      if (v.kind_of() == value::kind::single) return v;
      double d;
      if (!as_double_value(v, d)) mismatch();
      if (std::isfinite(d) && std::fabs(d) > double(std::numeric_limits<float>::max())) overflow();
      return value::single(float(d));
    }
    case column_type::double_: {
      double d;
      if (v.kind_of() == value::kind::datetime) return value::double_(v.as_datetime().days);
      if (!as_double_value(v, d)) mismatch();
      return value::double_(d);
    }
    case column_type::datetime: {
      if (v.kind_of() == value::kind::datetime) return v;
      double d;
      if (!as_double_value(v, d)) mismatch();
      return value::datetime({d});
    }
    case column_type::text: case column_type::memo: {
      check_kept_value(f, c, v);
      std::wstring held;
      if (code_page_held(f, v, held)) return value::text(std::move(held));
      return v;
    }
    case column_type::binary: case column_type::ole: {
      check_kept_value(f, c, v);
      return v;
    }
    case column_type::guid:
      if (v.kind_of() != value::kind::guid) mismatch();
      return v;
    case column_type::decimal: {
      if (v.kind_of() != value::kind::decimal) mismatch();
      decimal d = v.as_decimal();
      unsigned __int128 m = (unsigned __int128)d.magnitude[0] << 64 | (unsigned __int128)d.magnitude[1] << 32 |
                            d.magnitude[2];
      // Bring the value to the column's scale; digits beyond it are rounded half away from zero.
      while (d.scale < c.scale) {
        m *= 10;
        ++d.scale;
        if (m >> 96) overflow();
      }
      while (d.scale > c.scale) {
        unsigned __int128 q = m / 10, r = m % 10;
        m = q + (r >= 5 ? 1 : 0);
        --d.scale;
      }
      unsigned __int128 limit = 1;
      for (int i = 0; i < (c.precision ? c.precision : 18); ++i) limit *= 10;
      if (m >= limit) overflow();
      d.magnitude = {uint32_t(m >> 64), uint32_t(m >> 32), uint32_t(m)};
      if (m == 0) d.negative = false;
      return value::decimal(d);
    }
  }
  mismatch();
}

}  // namespace jet
