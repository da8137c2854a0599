// Column type facts and value helpers.
#include "platform/jet/types.h"

#include <cstdio>

namespace jet {

bool is_fixed_type(column_type t) {
  switch (t) {
    case column_type::boolean: case column_type::byte: case column_type::integer:
    case column_type::long_integer: case column_type::currency: case column_type::single:
    case column_type::double_: case column_type::datetime: case column_type::guid:
    case column_type::decimal: case column_type::complex: case column_type::big_integer:
      return true;
    default:
      return false;
  }
}

uint32_t fixed_type_size(column_type t) {
  switch (t) {
    case column_type::byte: return 1;
    case column_type::integer: return 2;
    case column_type::long_integer: case column_type::single: case column_type::complex: return 4;
    case column_type::currency: case column_type::double_: case column_type::datetime:
    case column_type::big_integer: return 8;
    case column_type::guid: return 16;
    case column_type::decimal: return 17;
    default: return 0;
  }
}

bool is_long_value_type(column_type t) { return t == column_type::memo || t == column_type::ole; }
bool is_text_type(column_type t) { return t == column_type::text || t == column_type::memo; }

const char* column_type_name(column_type t) {
  switch (t) {
    case column_type::boolean: return "Yes/No";
    case column_type::byte: return "Byte";
    case column_type::integer: return "Integer";
    case column_type::long_integer: return "Long";
    case column_type::currency: return "Currency";
    case column_type::single: return "Single";
    case column_type::double_: return "Double";
    case column_type::datetime: return "Date/Time";
    case column_type::binary: return "Binary";
    case column_type::text: return "Text";
    case column_type::ole: return "OLE Object";
    case column_type::memo: return "Memo";
    case column_type::guid: return "GUID";
    case column_type::decimal: return "Decimal";
    case column_type::complex: return "Complex";
    case column_type::big_integer: return "Large Number";
  }
  return "Unknown";
}

bool is_known_column_type(uint8_t code) {
  return (code >= 0x01 && code <= 0x0C) || code == 0x0F || code == 0x10 || code == 0x12 || code == 0x13;
}

value::kind natural_kind(column_type t) {
  switch (t) {
    case column_type::boolean: return value::kind::boolean;
    case column_type::byte: return value::kind::byte;
    case column_type::integer: return value::kind::integer;
    case column_type::long_integer: case column_type::complex: return value::kind::long_integer;
    case column_type::currency: return value::kind::currency;
    case column_type::single: return value::kind::single;
    case column_type::double_: return value::kind::double_;
    case column_type::datetime: return value::kind::datetime;
    case column_type::binary: case column_type::ole: return value::kind::binary;
    case column_type::text: case column_type::memo: return value::kind::text;
    case column_type::guid: return value::kind::guid;
    case column_type::decimal: return value::kind::decimal;
    case column_type::big_integer: return value::kind::big_integer;
  }
  return value::kind::null;
}

std::string describe(const value& v) {
  char buf[64];
  switch (v.kind_of()) {
    case value::kind::null: return "Null";
    case value::kind::boolean: return v.as_bool() ? "True" : "False";
    case value::kind::byte: std::snprintf(buf, sizeof buf, "%u", v.as_byte()); return buf;
    case value::kind::integer: std::snprintf(buf, sizeof buf, "%d", v.as_integer()); return buf;
    case value::kind::long_integer: std::snprintf(buf, sizeof buf, "%d", v.as_long()); return buf;
    case value::kind::big_integer: std::snprintf(buf, sizeof buf, "%lld", (long long)v.as_big()); return buf;
    case value::kind::single: std::snprintf(buf, sizeof buf, "%.9g", double(v.as_single())); return buf;
    case value::kind::double_: std::snprintf(buf, sizeof buf, "%.17g", v.as_double()); return buf;
    case value::kind::currency:
      std::snprintf(buf, sizeof buf, "currency(%lld)", (long long)v.as_currency().scaled); return buf;
    case value::kind::datetime: std::snprintf(buf, sizeof buf, "date(%.17g)", v.as_datetime().days); return buf;
    case value::kind::decimal: {
      const auto& d = v.as_decimal();
      std::snprintf(buf, sizeof buf, "decimal(%s%08x%08x%08x e-%u)", d.negative ? "-" : "", d.magnitude[0],
                    d.magnitude[1], d.magnitude[2], unsigned(d.scale));
      return buf;
    }
    case value::kind::guid: {
      std::string s = "guid(";
      for (uint8_t b : v.as_guid().bytes) { std::snprintf(buf, sizeof buf, "%02X", b); s += buf; }
      return s + ")";
    }
    case value::kind::text: {
      std::string s = "'";
      for (wchar_t c : v.as_text()) {
        if (c >= 0x20 && c < 0x7F) s += char(c);
        else { std::snprintf(buf, sizeof buf, "\\u{%X}", unsigned(c)); s += buf; }
      }
      return s + "'";
    }
    case value::kind::binary: {
      std::string s = "0x";
      for (uint8_t b : v.as_binary()) { std::snprintf(buf, sizeof buf, "%02X", b); s += buf; }
      return s;
    }
  }
  return "?";
}

}  // namespace jet
