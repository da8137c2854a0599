// ole_variant: text in and out, and type changes.
//
// change_type rules, in order (the first that applies decides):
//  1. VT_ARRAY|VT_UI1 <-> VT_BLOB: only the tag changes. (VT_DISPATCH is no binary kind: changing a byte array
//     to it, or an interface to bytes, raises ole_cast_exception.)
//  2. Nothing happens when the tag stays, when the value is VT_EMPTY or VT_NULL, or when both tags are binary.
//  3. VT_BSTR to VT_BOOL: "yes", "t", "true" / "no", "f", "false" (any case); other texts raise.
//  4. From VT_I8 / VT_UI8 (except to binary, rule 10): to integer kinds range-checked, to VT_BOOL non-zero -> -1, to VT_R4/VT_R8 the nearest,
//     to VT_DECIMAL and VT_CY exactly (range-checked), to VT_BSTR the decimal text; others raise.
//  5. From VT_DATE (except to binary, rule 10): only VT_BSTR, the date's text with microseconds; others raise.
//  6. To VT_I8 / VT_UI8: from integers and booleans (true is -1), from doubles, currency and decimals rounded
//     half to even; out of range, NaN and other kinds raise.
//  7. To VT_I4, VT_UI4, VT_I2, VT_UI2: from VT_R4/VT_R8 rounded half away from zero, from VT_DECIMAL half to
//     even, out of range raises; to VT_I1 only from VT_DECIMAL. From other kinds these targets leave the value
//     as it is (a text "42" stays a text).
//  8. To VT_DATE: only from a text that reads as a date with a serial value; others raise.
//  9. From binary: to VT_BSTR the bytes as UTF-8 up to the first NUL (at most 120,000,000 bytes); other targets
//     leave the value as it is.
// 10. To binary: the value's own bytes (little-endian numbers, the 16 bytes of a DECIMAL, the 32-byte ole_date
//     record, a text's UTF-8).
// 11. Otherwise VariantChangeType; a failure raises ole_cast_exception.
//
// Cell texts go through the system's lenient UTF-8 codec (the ANSI code page is UTF-8) on views, so a cell is
// converted once, with no intermediate copy. The value's life cycle and payloads are in ole_var.cpp.
#include "OLE/ole_var.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "platform/oleaut/bstr.h"
#include "platform/system/codepage.h"
#include "platform/oleaut/currency.h"
#include "platform/oleaut/decimal.h"
#include "platform/oleaut/numconv.h"
#include "platform/oleaut/numtext.h"
#include "platform/oleaut/safearray.h"
#include "platform/oleaut/variant.h"

namespace {

[[noreturn]] void cast_failed() { throw ole_cast_exception(); }

const char kHexUpper[] = "0123456789ABCDEF";
const char kHexLower[] = "0123456789abcdef";

int hex_digit(int c) {
  for (int i = 0; i < 16; ++i) {
    if (kHexUpper[i] == c) return i;
  }
  for (int i = 0; i < 16; ++i) {
    if (kHexLower[i] == c) return i;
  }
  return -1;
}

// The integer of a text (leading blanks, a sign, the digits up to the first other character; no digits: 0) when
// it lies in [low, high]; a value beyond raises ole_cast_exception rather than wrapping or clamping.
__int128 integer_in(std::string_view text, __int128 low, __int128 high) {
  bool negative, overflow;
  uint64_t magnitude;
  oa_scan_integer(text, &negative, &magnitude, &overflow);
  const __int128 value = negative ? -static_cast<__int128>(magnitude) : static_cast<__int128>(magnitude);
  if (overflow || value < low || value > high) cast_failed();
  return value;
}

bool ascii_iequal(std::string_view text, const char* word) {
  std::size_t n = std::strlen(word);
  if (text.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return true;
}

// Reads hexadecimal text into a byte array value; false for an odd length or a character that is no digit.
template <typename C>
bool hex_to_value(std::basic_string_view<C> text, ole_variant* out) {
  if (text.size() % 2 != 0) {
    tk_trace(2, "Incorrect BLOB (size is odd)");
    return false;
  }
  std::size_t start = 0;
  if (text.size() >= 2 && (text[0] == '0' || text[0] == '\\') && (text[1] == 'x' || text[1] == 'X')) {
    tk_trace(1, "b_prefix=true");
    start = 2;
  }
  std::size_t count = (text.size() - start) / 2;
  tk_trace(1, "Got BLOB size: %d", static_cast<int>(count));
  if (count > std::numeric_limits<uint32_t>::max()) cast_failed();  // beyond what an array can count
  out->allocate_safe_array(static_cast<uint32_t>(count));
  uint8_t* data = static_cast<uint8_t*>(out->variant.parray->pvData);
  for (std::size_t i = 0; i < count; ++i) {
    C high = text[start + 2 * i], low = text[start + 2 * i + 1];
    int h = high < 128 ? hex_digit(static_cast<int>(high)) : -1;
    int l = low < 128 ? hex_digit(static_cast<int>(low)) : -1;
    if (h < 0 || l < 0) {
      tk_trace(2, "Incorrect BLOB (not a hexadecimal digit)");
      return false;
    }
    data[i] = static_cast<uint8_t>(h * 16 + l);
  }
  return true;
}

template <typename S>
void append_hex(S& out, const uint8_t* bytes, std::size_t count) {
  std::size_t start = out.size();
  out.resize(start + 2 + 2 * count);
  out[start] = '0';
  out[start + 1] = 'x';
  for (std::size_t i = 0; i < count; ++i) {
    out[start + 2 + 2 * i] = kHexUpper[bytes[i] >> 4];
    out[start + 3 + 2 * i] = kHexUpper[bytes[i] & 15];
  }
}

// A text with every ',' read as '.', copied only when it holds one.
std::string_view comma_to_point(std::string_view text, std::string* storage) {
  if (text.find(',') == std::string_view::npos) return text;
  storage->assign(text);
  for (char& c : *storage) {
    if (c == ',') c = '.';
  }
  return *storage;
}

}  // namespace

// ---- text in ----

ole_variant ole_variant::from_string(std::string_view text, VARTYPE type) {
  ole_variant result;
  result.assign_string(text, type);
  return result;
}

void ole_variant::assign_string(std::string_view text, VARTYPE type) {
  if (ole_trace_on(1)) tk_trace(1, "ole_variant::from_string('%s', 0x%08X)", std::string(text).c_str(), type);
  clear();
  date = ole_date();
  if (text.empty()) {
    if (type == VT_BSTR) attach_wstring(std::wstring_view());
    return;
  }
  std::string storage;
  switch (type) {
    case VT_ARRAY_UI1:
    case VT_BLOB:
      tk_trace(1, "GOT BLOB");
      if (!hex_to_value(text, this)) clear();
      return;
    case VT_I2:
      variant.vt = VT_I2;
      variant.iVal = static_cast<int16_t>(integer_in(text, INT16_MIN, INT16_MAX));
      return;
    case VT_I4:
      variant.vt = VT_I4;
      variant.lVal = static_cast<int32_t>(integer_in(text, INT32_MIN, INT32_MAX));
      return;
    case VT_I1:
      variant.vt = VT_I1;
      variant.cVal = static_cast<int8_t>(integer_in(text, INT8_MIN, INT8_MAX));
      return;
    case VT_UI1:
      variant.vt = VT_UI1;
      variant.bVal = static_cast<uint8_t>(integer_in(text, 0, UINT8_MAX));
      return;
    case VT_UI2:
      variant.vt = VT_UI2;
      variant.uiVal = static_cast<uint16_t>(integer_in(text, 0, UINT16_MAX));
      return;
    case VT_UI4:
      variant.vt = VT_UI4;
      variant.ulVal = static_cast<uint32_t>(integer_in(text, 0, UINT32_MAX));
      return;
    case VT_I8:
      set_i64(static_cast<int64_t>(integer_in(text, INT64_MIN, INT64_MAX)));
      return;
    case VT_UI8:
      set_ui64(static_cast<uint64_t>(integer_in(text, 0, UINT64_MAX)));
      return;
    case VT_R4:
    case VT_R8: {
      double value = oa_atof(comma_to_point(text, &storage));
      if (type == VT_R4) {
        variant.vt = VT_R4;
        variant.fltVal = static_cast<float>(value);
      } else {
        variant.vt = VT_R8;
        variant.dblVal = value;
      }
      return;
    }
    case VT_CY: {
      tk_trace(1, "GOT VT_CY");
      CY value;
      HRESULT hr = VarCyFromStr(comma_to_point(text, &storage), &value);
      if (FAILED(hr)) {
        tk_trace(2, "VarCyFromStr failed: %08X", static_cast<unsigned>(hr));
        return;
      }
      variant.vt = VT_CY;
      variant.cyVal = value;
      return;
    }
    case VT_DECIMAL: {
      tk_trace(1, "GOT VT_DECIMAL");
      std::string_view number = comma_to_point(text, &storage);
      DECIMAL value;
      HRESULT hr = VarDecFromStr(number, &value);
      if (FAILED(hr)) {
        // Beyond 96 bits or 28 fraction digits (MySQL's DECIMAL(65,30)): the nearest double.
        if (ole_trace_on(2)) {
          tk_trace(2, "ERROR: VarDecFromStr for '%s' failed (hr=%08X)", std::string(number).c_str(),
                   static_cast<unsigned>(hr));
        }
        variant.vt = VT_R8;
        variant.dblVal = oa_atof(number);
        return;
      }
      variant.decVal = value;
      variant.vt = VT_DECIMAL;
      return;
    }
    case VT_DATE: {
      tk_trace(1, "GOT VT_DATE");
      ole_date value(text);
      if (value.is_valid()) set_date(value);
      return;
    }
    case VT_BOOL: {
      if (ole_trace_on(1)) tk_trace(1, "ole_variant::from_string(VT_BOOL, '%s')", std::string(text).c_str());
      bool value;
      if (ascii_iequal(text, "1") || ascii_iequal(text, "yes") || ascii_iequal(text, "t") ||
          ascii_iequal(text, "true")) {
        value = true;
      } else if (ascii_iequal(text, "0") || ascii_iequal(text, "no") || ascii_iequal(text, "f") ||
                 ascii_iequal(text, "false")) {
        value = false;
      } else {
        value = oa_atoi(text) != 0;
      }
      variant.vt = VT_BOOL;
      variant.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
      return;
    }
    default: {
      tk_trace(1, "default processing");
      attach_string(text);
      if (type == VT_BSTR) return;
      tk_trace(1, "Right before VariantChangeType");
      HRESULT hr = VariantChangeType(&variant, &variant, 0, type);
      tk_trace(1, "Right after VariantChangeType");
      if (FAILED(hr)) throw ole_type_exception();
      tk_trace(1, "VariantChangeType succeeded");
      return;
    }
  }
}

ole_variant ole_variant::from_wstring(std::wstring_view text, VARTYPE type) {
  if (ole_trace_on(1)) tk_trace(1, "ole_variant::from_wstring(%s,%d)", tk_to_utf8(std::wstring(text)).c_str(), type);
  if (type == VT_ARRAY_UI1 || type == VT_BLOB) {
    ole_variant result;
    if (!text.empty() && !hex_to_value(text, &result)) result.clear();
    return result;
  }
  if (type == VT_BSTR) {
    ole_variant result;
    result.attach_wstring(text);
    return result;
  }
  tk_trace(1, "=== RIGHT BEFORE W2A_EX ===");
  return from_string(sys_wide_to_utf8(text), type);
}

// ---- text out ----

std::string ole_variant::to_string() const {
  tk_trace(1, "ole_variant::to_string (vt=%08X)", variant.vt);
  std::string out;
  switch (variant.vt) {
    case VT_CY:
      tk_trace(1, "Converting VT_CY");
      oa_append_currency(out, variant.cyVal);
      break;
    case VT_DATE:
      tk_trace(1, "Converting VT_DATE");
      return date.to_string(6);
    case VT_BSTR:
      tk_trace(1, "Processing VT_BSTR");
      return sys_wide_to_utf8(oa_bstr_view(variant.bstrVal));
    case VT_BOOL:
      tk_trace(1, "to_string - bool: %d", variant.boolVal);
      out.push_back(variant.boolVal == VARIANT_TRUE ? '1' : '0');
      break;
    case VT_DECIMAL:
      tk_trace(1, "Converting VT_DECIMAL");
      if (oa_decimal_is_valid(variant.decVal)) oa_append_decimal(out, variant.decVal);
      break;
    case VT_BLOB:
    case VT_ARRAY_UI1:
    case VT_BLOB_OBJECT: {
      tk_trace(1, "Converting VT_ARRAY/VT_BLOB");
      std::size_t n = get_safe_array_size(variant.parray);
      if (n > ole_max_binary_text) n = ole_max_binary_text;
      tk_trace(1, "len=%d", static_cast<int>(n));
      if (n > 0) append_hex(out, static_cast<const uint8_t*>(variant.parray->pvData), n);
      break;
    }
    case VT_R4:
    case VT_R8: {
      double value = variant.vt == VT_R4 ? variant.fltVal : variant.dblVal;
      if (std::isnan(value)) {
        tk_trace(3, "Got NaN, replace it with 0");
        out.push_back('0');
      } else {
        oa_append_e(out, value, variant.vt == VT_R4 ? 6 : 16);
      }
      break;
    }
    case VT_I2: oa_append_int(out, variant.iVal); break;
    case VT_I4: oa_append_int(out, variant.lVal); break;
    case VT_I1: oa_append_int(out, variant.cVal); break;
    case VT_UI1: oa_append_uint(out, variant.bVal); break;
    case VT_UI2: oa_append_uint(out, variant.uiVal); break;
    case VT_UI4:
    case VT_UINT: oa_append_uint(out, variant.ulVal); break;
    case VT_I8: oa_append_int(out, i64_value); break;
    case VT_UI8: oa_append_uint(out, ui64_value); break;
    default: break;
  }
  return out;
}

std::wstring ole_variant::to_wstring() const {
  tk_trace(1, "ole_variant::to_wstring (vt=%08X)", variant.vt);
  if (variant.vt == VT_BSTR) return std::wstring(oa_bstr_view(variant.bstrVal));
  if (is_binary_vartype(variant.vt)) {
    std::wstring out;
    std::size_t n = get_safe_array_size(variant.parray);
    if (n > ole_max_binary_text) n = ole_max_binary_text;
    if (n > 0) append_hex(out, static_cast<const uint8_t*>(variant.parray->pvData), n);
    return out;
  }
  return sys_utf8_to_wide(to_string());
}

// ---- raw access ----

std::size_t ole_variant::get_at(char* buffer, std::size_t capacity, std::size_t position, std::size_t length) const {
  tk_trace(1, "ole_variant::get_at(pos=%d, length=%d)", static_cast<int>(position), static_cast<int>(length));
  if (buffer == nullptr || capacity == 0) return 0;
  buffer[0] = '\0';
  if (variant.vt == VT_BSTR) {
    tk_trace(1, "Extracting VT_BSTR");
    std::wstring_view text = oa_bstr_view(variant.bstrVal);
    if (position >= text.size()) return 0;
    text = text.substr(position, length);
    std::string narrow = sys_wide_to_utf8(text);
    std::size_t n = tk_utf8_cut(narrow, capacity - 1);
    std::memcpy(buffer, narrow.data(), n);
    buffer[n] = '\0';
    return n;
  }
  if (is_binary_vartype(variant.vt)) {
    tk_trace(1, "Extracting VT_ARRAY/VT_BLOB");
    std::size_t n = get_safe_array_size(variant.parray);
    if (n > ole_max_binary_text) n = ole_max_binary_text;
    if (position >= n) return 0;
    if (length > n - position) length = n - position;
    if (length > (capacity - 1) / 2) length = (capacity - 1) / 2;
    tk_trace(1, "New length=%d", static_cast<int>(length));
    const uint8_t* bytes = static_cast<const uint8_t*>(variant.parray->pvData) + position;
    for (std::size_t i = 0; i < length; ++i) {
      buffer[2 * i] = kHexUpper[bytes[i] >> 4];
      buffer[2 * i + 1] = kHexUpper[bytes[i] & 15];
    }
    buffer[2 * length] = '\0';
    return length;
  }
  return 0;
}

std::size_t ole_variant::get_bytes(const uint8_t** data, std::string* storage) const {
  tk_trace(1, "ole_variant::get_bytes1(%d)", variant.vt);
  *data = nullptr;
  switch (variant.vt) {
    case VT_EMPTY:
    case VT_NULL:
      tk_trace(1, "OLE_Variant is empty");
      return 0;
    case VT_BSTR:
      *storage = sys_wide_to_utf8(oa_bstr_view(variant.bstrVal));
      *data = reinterpret_cast<const uint8_t*>(storage->data());
      return storage->size();
    case VT_ARRAY_UI1:
    case VT_BLOB: {
      tk_trace(1, "Processing binary");
      std::size_t n = get_safe_array_size(variant.parray);
      tk_trace(1, "data_length=%d", static_cast<int>(n));
      *data = n > 0 ? static_cast<const uint8_t*>(variant.parray->pvData) : nullptr;
      return n;
    }
    default:
      throw tk_mail_assertion("ole_var", 1235);
  }
}

// ---- type changes ----

std::vector<uint8_t> ole_variant::own_bytes() const {
  tk_trace(1, "convert_to_byte_array(%d)", variant.vt);
  std::vector<uint8_t> bytes;
  auto put = [&bytes](const void* p, std::size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    bytes.assign(b, b + n);
  };
  switch (variant.vt) {
    case VT_I2: case VT_BOOL: case VT_UI2: put(&variant.iVal, 2); break;
    case VT_I4: case VT_R4: case VT_UI4: case VT_INT: case VT_UINT: put(&variant.lVal, 4); break;
    case VT_R8: case VT_CY: put(&variant.dblVal, 8); break;
    case VT_DATE: {
      uint8_t record[32];
      date.to_record(record);
      put(record, 32);
      break;
    }
    case VT_DECIMAL: {
      uint8_t raw[16];
      const DECIMAL& d = variant.decVal;
      raw[0] = static_cast<uint8_t>(VT_DECIMAL);
      raw[1] = 0;
      raw[2] = d.scale;
      raw[3] = d.sign;
      for (int i = 0; i < 4; ++i) raw[4 + i] = static_cast<uint8_t>(d.Hi32 >> (8 * i));
      for (int i = 0; i < 8; ++i) raw[8 + i] = static_cast<uint8_t>(d.Lo64 >> (8 * i));
      put(raw, 16);
      break;
    }
    case VT_I1: case VT_UI1: put(&variant.bVal, 1); break;
    case VT_I8: put(&i64_value, 8); break;
    case VT_UI8: put(&ui64_value, 8); break;
    case VT_BSTR: {
      tk_trace(1, "VT_BSTR->binary");
      std::string text = sys_wide_to_utf8(oa_bstr_view(variant.bstrVal));
      put(text.data(), text.size());
      break;
    }
    default:
      cast_failed();
  }
  return bytes;
}

void ole_variant::change_from_64(VARTYPE new_type) {
  bool is_signed = variant.vt == VT_I8;
  const int64_t s = i64_value;
  const uint64_t u = ui64_value;
  // The value as a wide signed integer, for the range checks.
  const __int128 value = is_signed ? static_cast<__int128>(s) : static_cast<__int128>(u);
  auto in_range = [value](__int128 low, __int128 high) {
    if (value < low || value > high) cast_failed();
  };
  switch (new_type) {
    case VT_I2: in_range(INT16_MIN, INT16_MAX); clear(); variant.vt = VT_I2; variant.iVal = static_cast<int16_t>(value); return;
    case VT_UI2: in_range(0, UINT16_MAX); clear(); variant.vt = VT_UI2; variant.uiVal = static_cast<uint16_t>(value); return;
    case VT_I4: case VT_INT:
      in_range(INT32_MIN, INT32_MAX);
      clear();
      variant.vt = new_type;
      variant.lVal = static_cast<int32_t>(value);
      return;
    case VT_UI4: case VT_UINT:
      in_range(0, UINT32_MAX);
      clear();
      variant.vt = new_type;
      variant.ulVal = static_cast<uint32_t>(value);
      return;
    case VT_I1: in_range(INT8_MIN, INT8_MAX); clear(); variant.vt = VT_I1; variant.cVal = static_cast<int8_t>(value); return;
    case VT_UI1: in_range(0, UINT8_MAX); clear(); variant.vt = VT_UI1; variant.bVal = static_cast<uint8_t>(value); return;
    case VT_BOOL: clear(); variant.vt = VT_BOOL; variant.boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE; return;
    case VT_R4: {
      float f = is_signed ? static_cast<float>(s) : static_cast<float>(u);
      clear();
      variant.vt = VT_R4;
      variant.fltVal = f;
      return;
    }
    case VT_R8: {
      double d = is_signed ? static_cast<double>(s) : static_cast<double>(u);
      clear();
      variant.vt = VT_R8;
      variant.dblVal = d;
      return;
    }
    case VT_DECIMAL: {
      tk_trace(1, is_signed ? "VT_I8->VT_DECIMAL" : "VT_UI8->VT_DECIMAL");
      DECIMAL d;
      HRESULT hr = is_signed ? VarDecFromI8(s, &d) : VarDecFromUI8(u, &d);
      if (FAILED(hr)) cast_failed();
      clear();
      variant.decVal = d;
      variant.vt = VT_DECIMAL;
      return;
    }
    case VT_CY: {
      in_range(INT64_MIN, INT64_MAX);
      CY c;
      if (FAILED(VarCyFromI8(static_cast<int64_t>(value), &c))) cast_failed();
      clear();
      variant.vt = VT_CY;
      variant.cyVal = c;
      return;
    }
    case VT_BSTR: {
      std::string text;
      if (is_signed) oa_append_int(text, s); else oa_append_uint(text, u);
      attach_wstring(std::wstring(text.begin(), text.end()));
      return;
    }
    case VT_UI8: in_range(0, UINT64_MAX); set_ui64(static_cast<uint64_t>(value)); return;
    case VT_I8: in_range(INT64_MIN, INT64_MAX); set_i64(static_cast<int64_t>(value)); return;
    default: cast_failed();
  }
}

void ole_variant::change_to_64(VARTYPE new_type) {
  bool to_signed = new_type == VT_I8;
  __int128 value = 0;
  switch (variant.vt) {
    case VT_I2: value = variant.iVal; break;
    case VT_BOOL: value = variant.boolVal; break;
    case VT_I4: case VT_INT: value = variant.lVal; break;
    case VT_I1: value = variant.cVal; break;
    case VT_UI1: value = variant.bVal; break;
    case VT_UI2: value = variant.uiVal; break;
    case VT_UI4: case VT_UINT: value = variant.ulVal; break;
    case VT_I8: value = i64_value; break;
    case VT_UI8: value = ui64_value; break;
    case VT_R4:
    case VT_R8: {
      double d = variant.vt == VT_R4 ? variant.fltVal : variant.dblVal;
      HRESULT hr;
      if (to_signed) {
        int64_t r = 0;
        hr = VarI8FromR8(d, &r);
        tk_trace(1, variant.vt == VT_R4 ? "from FLOAT: res=%lld, hr=%08X" : "from DOUBLE: res=%lld, hr=%08X",
                 static_cast<long long>(r), static_cast<unsigned>(hr));
        value = r;
      } else {
        uint64_t r = 0;
        hr = VarUI8FromR8(d, &r);
        tk_trace(1, variant.vt == VT_R4 ? "from FLOAT: res=%llu, hr=%08X" : "from DOUBLE: res=%llu, hr=%08X",
                 static_cast<unsigned long long>(r), static_cast<unsigned>(hr));
        value = r;
      }
      if (FAILED(hr)) cast_failed();
      break;
    }
    case VT_DECIMAL: {
      tk_trace(1, to_signed ? "VT_DECIMAL->VT_I8" : "VT_DECIMAL->VT_UI8");
      if (to_signed) {
        int64_t r;
        if (FAILED(VarI8FromDec(&variant.decVal, &r))) cast_failed();
        value = r;
      } else {
        uint64_t r;
        if (FAILED(VarUI8FromDec(&variant.decVal, &r))) cast_failed();
        value = r;
      }
      break;
    }
    case VT_CY: {
      int64_t r;
      VarI8FromCy(variant.cyVal, &r);
      value = r;
      break;
    }
    default:
      cast_failed();
  }
  if (to_signed) {
    if (value < INT64_MIN || value > INT64_MAX) cast_failed();
    set_i64(static_cast<int64_t>(value));
  } else {
    if (value < 0 || value > static_cast<__int128>(UINT64_MAX)) cast_failed();
    set_ui64(static_cast<uint64_t>(value));
  }
}

void ole_variant::change_to_small_int(VARTYPE new_type) {
  __int128 low, high;
  switch (new_type) {
    case VT_I4: low = INT32_MIN; high = INT32_MAX; break;
    case VT_UI4: low = 0; high = UINT32_MAX; break;
    case VT_I2: low = INT16_MIN; high = INT16_MAX; break;
    case VT_UI2: low = 0; high = UINT16_MAX; break;
    default: low = INT8_MIN; high = INT8_MAX; break;  // VT_I1
  }
  __int128 value;
  if (variant.vt == VT_DECIMAL) {
    static const char* const kTraces[] = {"VT_DECIMAL->VT_I4", "VT_DECIMAL->VT_UI4", "VT_DECIMAL->VT_I2",
                                          "VT_DECIMAL->VT_UI2", "VT_DECIMAL->VT_I1"};
    int which = new_type == VT_I4 ? 0 : new_type == VT_UI4 ? 1 : new_type == VT_I2 ? 2 : new_type == VT_UI2 ? 3 : 4;
    tk_trace(1, "%s", kTraces[which]);
    bool negative;
    unsigned __int128 magnitude;
    if (!oa_decimal_round(variant.decVal, &negative, &magnitude) || magnitude > (static_cast<unsigned __int128>(1) << 100)) {
      cast_failed();
    }
    value = negative ? -static_cast<__int128>(magnitude) : static_cast<__int128>(magnitude);
  } else if ((variant.vt == VT_R4 || variant.vt == VT_R8) && new_type != VT_I1) {
    // Half away from zero: add or take away one half, then drop the fraction.
    double d = variant.vt == VT_R4 ? variant.fltVal : variant.dblVal;
    if (!std::isfinite(d) || std::fabs(d) > 1e18) cast_failed();
    double r = std::trunc(d < 0 ? d - 0.5 : d + 0.5);
    value = static_cast<__int128>(r);
  } else {
    return;  // other kinds keep their value
  }
  if (value < low || value > high) cast_failed();
  clear();
  variant.vt = new_type;
  switch (new_type) {
    case VT_I4: variant.lVal = static_cast<int32_t>(value); break;
    case VT_UI4: variant.ulVal = static_cast<uint32_t>(value); break;
    case VT_I2: variant.iVal = static_cast<int16_t>(value); break;
    case VT_UI2: variant.uiVal = static_cast<uint16_t>(value); break;
    default: variant.cVal = static_cast<int8_t>(value); break;
  }
}

void ole_variant::change_binary_to_text() {
  std::size_t n = get_safe_array_size(variant.parray);
  if (n > ole_max_binary_text) n = ole_max_binary_text;
  const char* bytes = n > 0 ? static_cast<const char*>(variant.parray->pvData) : "";
  const void* nul = n > 0 ? std::memchr(bytes, 0, n) : nullptr;
  if (nul != nullptr) n = static_cast<std::size_t>(static_cast<const char*>(nul) - bytes);
  tk_trace(1, "ole_variant::operator = (const BSTR)");
  std::wstring text = sys_utf8_to_wide(std::string_view(bytes, n));
  attach_wstring(text);
}

void ole_variant::change_to_binary() {
  tk_trace(1, "a_type is binary, src.vt=%d", variant.vt);
  if (variant.vt < VT_I2 || variant.vt > VT_LPWSTR) cast_failed();
  std::vector<uint8_t> bytes = own_bytes();
  attach_binary(bytes);
}

void ole_variant::change_type(VARTYPE new_type) {
  const VARTYPE old_type = variant.vt;
  tk_trace(1, "ole_variant::change_type(old=%d,new=%d)", old_type, new_type);
  // 1. Binary synonyms.
  if ((old_type == VT_ARRAY_UI1 && new_type == VT_BLOB) || (old_type == VT_BLOB && new_type == VT_ARRAY_UI1)) {
    tk_trace(1, "Replace by synonym");
    variant.vt = new_type;
    return;
  }
  if ((is_binary_vartype(old_type) && new_type == VT_DISPATCH) ||
      (old_type == VT_DISPATCH && is_binary_vartype(new_type))) {
    cast_failed();
  }
  // 2. Nothing to do.
  if (new_type == old_type || old_type == VT_EMPTY || old_type == VT_NULL ||
      (is_binary_vartype(old_type) && is_binary_vartype(new_type))) {
    tk_trace(1, "Type cannot be changed");
    return;
  }
  // 3. Words to booleans.
  if (old_type == VT_BSTR && new_type == VT_BOOL) {
    std::wstring_view text = oa_bstr_view(variant.bstrVal);
    bool value;
    if (oa_ascii_iequal(text, "yes") || oa_ascii_iequal(text, "t") || oa_ascii_iequal(text, "true")) {
      value = true;
    } else if (oa_ascii_iequal(text, "no") || oa_ascii_iequal(text, "f") || oa_ascii_iequal(text, "false")) {
      value = false;
    } else {
      cast_failed();
    }
    clear();
    variant.vt = VT_BOOL;
    variant.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return;
  }
  // 64-bit integers and dates have a byte form of their own (rule 10) beside their other changes.
  if ((old_type == VT_I8 || old_type == VT_UI8 || old_type == VT_DATE) && is_binary_vartype(new_type)) {
    change_to_binary();
    return;
  }
  // 4. From 64-bit integers.
  if (old_type == VT_I8 || old_type == VT_UI8) {
    change_from_64(new_type);
    return;
  }
  // 5. From dates.
  if (old_type == VT_DATE) {
    if (new_type != VT_BSTR) cast_failed();
    std::wstring text = date.to_wstring(6);
    attach_wstring(text);
    return;
  }
  // 6. To 64-bit integers.
  if (new_type == VT_I8 || new_type == VT_UI8) {
    change_to_64(new_type);
    return;
  }
  // 7. To small integers.
  if (new_type == VT_I4 || new_type == VT_UI4 || new_type == VT_I2 || new_type == VT_UI2 || new_type == VT_I1) {
    if (new_type == VT_I1 && old_type != VT_DECIMAL) return;
    change_to_small_int(new_type);
    return;
  }
  // 8. To dates.
  if (new_type == VT_DATE) {
    if (old_type != VT_BSTR) cast_failed();
    ole_date value(std::wstring(oa_bstr_view(variant.bstrVal)));
    DATE serial;
    if (!value.is_valid() || !value.to_serial(&serial)) cast_failed();
    set_date(value);
    return;
  }
  // 9. From binary.
  if (is_binary_vartype(old_type)) {
    tk_trace(1, "src.vt is binary, a_type=%d", new_type);
    if (new_type == VT_BSTR) change_binary_to_text();
    return;
  }
  // 10. To binary.
  if (is_binary_vartype(new_type)) {
    change_to_binary();
    return;
  }
  // 11. The platform's coercion.
  HRESULT hr = VariantChangeType(&variant, &variant, 0, new_type);
  if (FAILED(hr)) {
    tk_trace(1, "VariantChangeType failed");
    if (ole_trace_on(1)) tk_trace(1, "to_string()=%s", to_string().c_str());
    cast_failed();
  }
}
