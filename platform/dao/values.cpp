// Conversions between VARIANTs and engine values, type constants, and argument helpers.
#include <charconv>
#include <cwctype>

#include "platform/dao/state.h"
#include "platform/oleaut/bstr.h"
#include "platform/system/codepage.h"
#include "platform/oleaut/safearray.h"
#include "platform/oleaut/vardate.h"
#include "platform/oleaut/variant.h"

namespace dao {

using jet::column_type;

short dao_type_of(const column_spec& c) {
  switch (c.type) {
    case column_type::boolean: return dbBoolean;
    case column_type::byte: return dbByte;
    case column_type::integer: return dbInteger;
    case column_type::long_integer: return dbLong;
    case column_type::currency: return dbCurrency;
    case column_type::single: return dbSingle;
    case column_type::double_: return dbDouble;
    case column_type::datetime: return dbDate;
    case column_type::binary: return dbBinary;
    case column_type::text: return dbText;
    case column_type::ole: return dbLongBinary;
    case column_type::memo: return dbMemo;
    case column_type::guid: return dbGUID;
    case column_type::decimal: return dbDecimal;
    case column_type::complex: return dbAttachment;
    case column_type::big_integer: return dbBigInt;
  }
  return dbLongBinary;
}

column_type column_type_of(short t) {
  switch (t) {
    case dbBoolean: return column_type::boolean;
    case dbByte: return column_type::byte;
    case dbInteger: return column_type::integer;
    case dbLong: return column_type::long_integer;
    case dbCurrency: return column_type::currency;
    case dbSingle: return column_type::single;
    case dbDouble: case dbFloat: return column_type::double_;
    case dbDate: case dbTime: case dbTimeStamp: return column_type::datetime;
    case dbBinary: case dbVarBinary: return column_type::binary;
    case dbText: case dbChar: return column_type::text;
    case dbLongBinary: return column_type::ole;
    case dbMemo: return column_type::memo;
    case dbGUID: return column_type::guid;
    case dbDecimal: case dbNumeric: return column_type::decimal;
    case dbBigInt: return column_type::big_integer;
  }
  fail(err::invalid_field_type);
}

int32_t reported_size(const column_spec& c) {
  switch (c.type) {
    case column_type::text: case column_type::binary: return static_cast<int32_t>(c.size);
    case column_type::memo: case column_type::ole: case column_type::complex: return 0;
    case column_type::boolean: case column_type::byte: return 1;
    case column_type::integer: return 2;
    case column_type::long_integer: case column_type::single: return 4;
    case column_type::currency: case column_type::double_: case column_type::datetime:
    case column_type::big_integer: return 8;
    case column_type::guid: return 16;
    case column_type::decimal: return 17;
  }
  return 0;
}

std::shared_ptr<field_state> stored_field(const column_spec& c) {
  auto f = std::make_shared<field_state>();
  f->spec = c;
  f->dao_type = dao_type_of(c);
  f->appended = true;
  return f;
}

// Rows name their columns for every value: equal characters need no case folding.
BSTR make_bstr(const std::wstring& text) {
  BSTR b = oa_alloc_bstr(text);
  if (!b) throw std::bad_alloc();
  return b;
}

VARIANT text_variant(const std::wstring& text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = make_bstr(text);
  return v;
}

namespace {

// A VARIANT that clears itself.
struct owned_variant {
  VARIANT v;
  owned_variant() { VariantInit(&v); }
  // Most are never used (text is taken as it is): one left empty needs no clearing.
  ~owned_variant() {
    if (v.vt != VT_EMPTY) VariantClear(&v);
  }
  owned_variant(const owned_variant&) = delete;
  owned_variant& operator=(const owned_variant&) = delete;
};

// Converts to `vt` with the value layer's rules; overflow is 3349, anything else unconvertible 3421.
void change(owned_variant& out, const VARIANT& in, VARTYPE vt) {
  switch (in.vt == vt ? vt : VT_EMPTY) {
    // A number, date or Yes/No of the column's own kind is taken as it is (a plain copy, nothing to free).
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4: case VT_I8: case VT_UI8:
    case VT_R4: case VT_R8: case VT_CY: case VT_DATE: case VT_BOOL:
      out.v = in;
      return;
    default:
      break;
  }
  HRESULT hr = VariantChangeType(&out.v, &in, 0, vt);
  if (hr == DISP_E_OVERFLOW) fail(err::numeric_overflow);
  if (FAILED(hr)) fail(err::conversion_error);
}

jet::bytes array_bytes(const VARIANT& v) {
  jet::bytes out;
  SAFEARRAY* a = v.parray;
  if (!a || a->cDims != 1 || a->cbElements != 1) fail(err::conversion_error);
  const uint8_t* data = static_cast<const uint8_t*>(a->pvData);
  out.assign(data, data + a->rgsabound[0].cElements);
  return out;
}

// Byte arrays reaching a text column are text in the ANSI code page (UTF-8 here).
std::wstring utf8_to_wide(const jet::bytes& b) {
  return sys_utf8_to_wide(std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
}

bool parse_guid(const std::wstring& s, jet::guid& out) {
  std::wstring t = s;
  if (t.size() == 38 && t.front() == L'{' && t.back() == L'}') t = t.substr(1, 36);
  if (t.size() != 36) return false;
  uint8_t raw[16];
  int n = 0;
  for (size_t i = 0; i < t.size();) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (t[i] != L'-') return false;
      ++i;
      continue;
    }
    auto hex = [](wchar_t c) -> int {
      if (c >= L'0' && c <= L'9') return c - L'0';
      if (c >= L'a' && c <= L'f') return c - L'a' + 10;
      if (c >= L'A' && c <= L'F') return c - L'A' + 10;
      return -1;
    };
    int hi = hex(t[i]), lo = hex(t[i + 1]);
    if (hi < 0 || lo < 0) return false;
    raw[n++] = static_cast<uint8_t>(hi * 16 + lo);
    i += 2;
  }
  // Text order is Data1..Data3 big-endian; the stored layout keeps them little-endian.
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i) out.bytes[i] = raw[order[i]];
  return true;
}

std::wstring guid_text(const jet::guid& g) {
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  static const wchar_t digits[] = L"0123456789ABCDEF";
  std::wstring out = L"{";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back(L'-');
    uint8_t b = g.bytes[order[i]];
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
  }
  out.push_back(L'}');
  return out;
}

}  // namespace

bool is_missing(const VARIANT& v) { return v.vt == VT_EMPTY || v.vt == VT_ERROR; }

std::wstring arg_text(const VARIANT& v) {
  if (is_missing(v) || v.vt == VT_NULL) return std::wstring();
  if (v.vt == VT_BSTR) return std::wstring(oa_bstr_view(v.bstrVal));
  owned_variant t;
  if (FAILED(VariantChangeType(&t.v, &v, 0, VT_BSTR))) fail(err::type_mismatch);
  return std::wstring(oa_bstr_view(t.v.bstrVal));
}

int32_t arg_int(const VARIANT& v, int32_t fallback) {
  if (v.vt == VT_I4) return v.lVal;  // the usual case (a column position), without a conversion
  if (is_missing(v)) return fallback;
  owned_variant t;
  if (FAILED(VariantChangeType(&t.v, &v, 0, VT_I4))) fail(err::type_mismatch);
  return t.v.lVal;
}

bool arg_bool(const VARIANT& v, bool fallback) {
  if (is_missing(v)) return fallback;
  owned_variant t;
  if (FAILED(VariantChangeType(&t.v, &v, 0, VT_BOOL))) fail(err::type_mismatch);
  return t.v.boolVal != VARIANT_FALSE;
}

namespace {

// The value of the VARIANT in the kind the column stores (the column's rules are not looked at).
jet::value converted(const VARIANT& v, const column_spec& c) {
  if (v.vt == VT_EMPTY || v.vt == VT_NULL) return jet::value::null();
  if (v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN || v.vt == VT_ERROR) fail(err::conversion_error);
  owned_variant t;
  switch (c.type) {
    case column_type::text:
    case column_type::memo: {
      std::wstring s;
      if (oa_holds_array(v.vt)) {
        s = utf8_to_wide(array_bytes(v));
      } else if (v.vt == VT_BSTR) {
        s.assign(oa_bstr_view(v.bstrVal));
      } else {
        change(t, v, VT_BSTR);
        s.assign(oa_bstr_view(t.v.bstrVal));
      }
      return jet::value::text(std::move(s));
    }
    case column_type::binary:
    case column_type::ole: {
      jet::bytes b;
      if (oa_holds_array(v.vt)) {
        b = array_bytes(v);
      } else if (v.vt == VT_BSTR) {
        // A text assigned to a binary field is stored as its characters' UTF-16LE bytes.
        for (wchar_t ch : oa_bstr_view(v.bstrVal)) {
          uint32_t u = static_cast<uint32_t>(ch);
          if (u > 0xFFFF) {
            u -= 0x10000;
            uint16_t hi = static_cast<uint16_t>(0xD800 + (u >> 10)), lo = static_cast<uint16_t>(0xDC00 + (u & 0x3FF));
            b.push_back(hi & 0xFF), b.push_back(hi >> 8), b.push_back(lo & 0xFF), b.push_back(lo >> 8);
          } else {
            b.push_back(u & 0xFF), b.push_back(u >> 8);
          }
        }
      } else {
        fail(err::conversion_error);
      }
      return jet::value::binary(std::move(b));
    }
    case column_type::boolean:
      change(t, v, VT_BOOL);
      return jet::value::boolean(t.v.boolVal != VARIANT_FALSE);
    case column_type::byte:
      change(t, v, VT_UI1);
      return jet::value::byte(t.v.bVal);
    case column_type::integer:
      change(t, v, VT_I2);
      return jet::value::integer(t.v.iVal);
    case column_type::long_integer:
      change(t, v, VT_I4);
      return jet::value::long_integer(t.v.lVal);
    case column_type::big_integer:
      change(t, v, VT_I8);
      return jet::value::big_integer(t.v.llVal);
    case column_type::single:
      change(t, v, VT_R4);
      return jet::value::single(t.v.fltVal);
    case column_type::double_:
      change(t, v, VT_R8);
      return jet::value::double_(t.v.dblVal);
    case column_type::currency:
      change(t, v, VT_CY);
      return jet::value::currency(jet::currency{t.v.cyVal.int64});
    case column_type::datetime: {
      change(t, v, VT_DATE);
      // Access's last instant is 9999-12-31 23:59:59, and Access and its readers show dates to the second (or
      // millisecond): a fraction of a second past it would be rounded out of Access's range, into the year 10000.
      static const DATE last_instant = [] {
        DATE d = 0;
        oa_serial_from_parts(9999, 12, 31, 23, 59, 59, 0, &d);
        return d;
      }();
      const bool past_last = t.v.date > last_instant && t.v.date < 2958466.0;  // still on 9999-12-31
      return jet::value::datetime(jet::datetime{past_last ? last_instant : t.v.date});
    }
    case column_type::decimal: {
      change(t, v, VT_DECIMAL);
      jet::decimal d;
      d.negative = (t.v.decVal.sign & DECIMAL_NEG) != 0;
      d.scale = t.v.decVal.scale;
      d.magnitude = {t.v.decVal.Hi32, static_cast<uint32_t>(t.v.decVal.Lo64 >> 32),
                     static_cast<uint32_t>(t.v.decVal.Lo64)};
      return jet::value::decimal(d);
    }
    case column_type::guid: {
      jet::guid g;
      if (v.vt != VT_BSTR || !parse_guid(std::wstring(oa_bstr_view(v.bstrVal)), g)) fail(err::conversion_error);
      return jet::value::guid(g);
    }
    case column_type::complex:
      fail(err::operation_not_supported);
  }
  fail(err::conversion_error);
}

}  // namespace

namespace {

// The column as the value rules see it: its type and size. A value's checks name no column, so the name (a copy
// for every cell) is left out here.
jet::column_def value_column(const column_spec& c, const jet::format& f) {
  jet::column_def d;
  d.type = c.type;
  d.length = static_cast<uint16_t>(c.type == column_type::text ? c.size * f.text_bytes_per_char : c.size);
  return d;
}

}  // namespace

jet::column_def engine_column(const column_spec& c, const jet::format& f) {
  jet::column_def d = value_column(c, f);
  d.name = c.name;
  return d;
}

jet::value to_column_value(const VARIANT& v, const column_spec& c, file_format format) {
  jet::value out = converted(v, c);
  const jet::format& f = *jet::format::for_generation(format);
  try {
    jet::check_value(f, value_column(c, f), out);
  } catch (const jet::error& e) {
    throw error(e.number(), sys_utf8_to_wide(e.what()), true);  // the engine's number and text, as DAO's error
  }
  return out;
}

VARIANT to_variant(const jet::value& x) {
  VARIANT v;
  VariantInit(&v);
  using k = jet::value::kind;
  switch (x.kind_of()) {
    case k::null: v.vt = VT_NULL; break;
    case k::boolean: v.vt = VT_BOOL, v.boolVal = x.as_bool() ? VARIANT_TRUE : VARIANT_FALSE; break;
    case k::byte: v.vt = VT_UI1, v.bVal = x.as_byte(); break;
    case k::integer: v.vt = VT_I2, v.iVal = x.as_integer(); break;
    case k::long_integer: v.vt = VT_I4, v.lVal = x.as_long(); break;
    case k::big_integer: v.vt = VT_I8, v.llVal = x.as_big(); break;
    case k::single: v.vt = VT_R4, v.fltVal = x.as_single(); break;
    case k::double_: v.vt = VT_R8, v.dblVal = x.as_double(); break;
    case k::currency: v.vt = VT_CY, v.cyVal.int64 = x.as_currency().scaled; break;
    case k::datetime: v.vt = VT_DATE, v.date = x.as_datetime().days; break;
    case k::decimal: {
      const jet::decimal& d = x.as_decimal();
      v.decVal.wReserved = VT_DECIMAL;
      v.decVal.scale = d.scale;
      v.decVal.sign = d.negative ? DECIMAL_NEG : 0;
      v.decVal.Hi32 = d.magnitude[0];
      v.decVal.Lo64 = (static_cast<uint64_t>(d.magnitude[1]) << 32) | d.magnitude[2];
      v.vt = VT_DECIMAL;
      break;
    }
    case k::guid: v = text_variant(guid_text(x.as_guid())); break;
    case k::text: v = text_variant(x.as_text()); break;
    case k::binary: {
      const jet::bytes& b = x.as_binary();
      SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, static_cast<uint32_t>(b.size()));
      if (!a) throw std::bad_alloc();
      if (!b.empty()) std::copy(b.begin(), b.end(), static_cast<uint8_t*>(a->pvData));
      v.vt = VT_ARRAY_UI1;
      v.parray = a;
      break;
    }
  }
  return v;
}

std::wstring default_text(const VARIANT& v) {
  if (v.vt == VT_EMPTY || v.vt == VT_NULL) return std::wstring();
  if (v.vt == VT_BSTR) return std::wstring(oa_bstr_view(v.bstrVal));
  if (v.vt == VT_BOOL) return v.boolVal ? L"True" : L"False";
  if (oa_holds_array(v.vt) || v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) fail(err::conversion_error);
  if (v.vt == VT_R8 || v.vt == VT_R4) {
    // The shortest text that reads back as the same number, whatever the process locale.
    char buf[64];
    auto r = v.vt == VT_R8 ? std::to_chars(buf, buf + sizeof buf, v.dblVal) : std::to_chars(buf, buf + sizeof buf, v.fltVal);
    if (r.ec != std::errc()) fail(err::conversion_error);
    return std::wstring(buf, r.ptr);
  }
  owned_variant t;
  change(t, v, VT_BSTR);
  std::wstring s(oa_bstr_view(t.v.bstrVal));
  return v.vt == VT_DATE ? L"#" + s + L"#" : s;
}

size_t text_units(const std::wstring& s) { return jet::utf16_length(s); }

}  // namespace dao
