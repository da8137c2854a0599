// VARIANT clearing, copying and the coercion matrix. Coercion goes through one routine per target kind that reads
// any scalar source, so each rule (rounding, range, text form) is written once.
#include "platform/oleaut/variant.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

#include "platform/oleaut/bstr.h"
#include "platform/oleaut/currency.h"
#include "platform/oleaut/decimal.h"
#include "platform/oleaut/numconv.h"
#include "platform/oleaut/numtext.h"
#include "platform/oleaut/safearray.h"
#include "platform/oleaut/vardate.h"

namespace {

typedef __int128 i128;
typedef unsigned __int128 u128;

bool is_integer_tag(VARTYPE vt) {
  switch (vt) {
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4:
    case VT_INT: case VT_UINT: case VT_I8: case VT_UI8:
      return true;
    default:
      return false;
  }
}

bool is_scalar_tag(VARTYPE vt) {
  return vt == VT_EMPTY || is_integer_tag(vt) || vt == VT_R4 || vt == VT_R8 || vt == VT_CY || vt == VT_DECIMAL ||
         vt == VT_DATE || vt == VT_BOOL || vt == VT_BSTR;
}

i128 integer_of(const VARIANT& v) {
  switch (v.vt) {
    case VT_I1: return v.cVal;
    case VT_UI1: return v.bVal;
    case VT_I2: return v.iVal;
    case VT_UI2: return v.uiVal;
    case VT_I4: return v.lVal;
    case VT_UI4: return v.ulVal;
    case VT_INT: return v.intVal;
    case VT_UINT: return v.uintVal;
    case VT_I8: return v.llVal;
    case VT_UI8: return v.ullVal;
    case VT_BOOL: return v.boolVal;
    default: return 0;
  }
}

std::wstring_view trimmed(std::wstring_view text) {
  auto space = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

// The value rounded half to even to an integer, within +-2^100 (wide enough for every integer target).
HRESULT to_integer(const VARIANT& v, i128* out) {
  switch (v.vt) {
    case VT_EMPTY:
      *out = 0;
      return S_OK;
    case VT_R4: case VT_R8: case VT_DATE: {
      double d = v.vt == VT_R4 ? v.fltVal : v.vt == VT_R8 ? v.dblVal : v.date;
      double r;
      if (!oa_round_half_even(d, &r) || std::fabs(r) >= 0x1p100) return DISP_E_OVERFLOW;
      *out = static_cast<i128>(r);
      return S_OK;
    }
    case VT_CY: {
      int64_t r;
      VarI8FromCy(v.cyVal, &r);
      *out = r;
      return S_OK;
    }
    case VT_DECIMAL: {
      bool negative;
      u128 magnitude;
      if (!oa_decimal_round(v.decVal, &negative, &magnitude)) return E_INVALIDARG;
      *out = negative ? -static_cast<i128>(magnitude) : static_cast<i128>(magnitude);
      return S_OK;
    }
    case VT_BSTR: {
      oa_number n;
      if (!oa_parse_number(oa_bstr_view(v.bstrVal), &n)) return DISP_E_TYPEMISMATCH;
      u128 magnitude;
      if (!oa_number_scaled(n, 0, u128{1} << 100, &magnitude)) return DISP_E_OVERFLOW;
      *out = n.negative ? -static_cast<i128>(magnitude) : static_cast<i128>(magnitude);
      return S_OK;
    }
    default:
      if (is_integer_tag(v.vt) || v.vt == VT_BOOL) {
        *out = integer_of(v);
        return S_OK;
      }
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT to_double(const VARIANT& v, double* out) {
  switch (v.vt) {
    case VT_EMPTY: *out = 0; return S_OK;
    case VT_R4: *out = v.fltVal; return S_OK;
    case VT_R8: *out = v.dblVal; return S_OK;
    case VT_DATE: *out = v.date; return S_OK;
    case VT_CY: return VarR8FromCy(v.cyVal, out);
    case VT_DECIMAL: return VarR8FromDec(&v.decVal, out);
    case VT_BSTR: return oa_parse_double(oa_bstr_view(v.bstrVal), out) ? S_OK : DISP_E_TYPEMISMATCH;
    case VT_UI8: *out = static_cast<double>(v.ullVal); return S_OK;
    default:
      if (is_integer_tag(v.vt) || v.vt == VT_BOOL) {
        *out = static_cast<double>(static_cast<int64_t>(integer_of(v)));
        return S_OK;
      }
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT to_decimal(const VARIANT& v, DECIMAL* out) {
  switch (v.vt) {
    case VT_EMPTY: return VarDecFromI8(0, out);
    case VT_R4: case VT_R8: case VT_DATE: {
      double d;
      to_double(v, &d);
      return VarDecFromR8(d, out);
    }
    case VT_CY: return VarDecFromCy(v.cyVal, out);
    case VT_DECIMAL:
      if (!oa_decimal_is_valid(v.decVal)) return E_INVALIDARG;
      *out = v.decVal;
      return S_OK;
    case VT_BSTR: return VarDecFromStr(oa_bstr_view(v.bstrVal), out);
    case VT_UI8: return VarDecFromUI8(v.ullVal, out);
    default:
      if (is_integer_tag(v.vt) || v.vt == VT_BOOL) return VarDecFromI8(static_cast<int64_t>(integer_of(v)), out);
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT to_currency(const VARIANT& v, CY* out) {
  switch (v.vt) {
    case VT_EMPTY: out->int64 = 0; return S_OK;
    case VT_R4: case VT_R8: case VT_DATE: {
      double d;
      to_double(v, &d);
      return VarCyFromR8(d, out);
    }
    case VT_CY: *out = v.cyVal; return S_OK;
    case VT_DECIMAL: return VarCyFromDec(&v.decVal, out);
    case VT_BSTR: return VarCyFromStr(oa_bstr_view(v.bstrVal), out);
    case VT_UI8:
      if (v.ullVal > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return DISP_E_OVERFLOW;
      return VarCyFromI8(static_cast<int64_t>(v.ullVal), out);
    default:
      if (is_integer_tag(v.vt) || v.vt == VT_BOOL) return VarCyFromI8(static_cast<int64_t>(integer_of(v)), out);
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT to_bool(const VARIANT& v, VARIANT_BOOL* out) {
  bool value;
  switch (v.vt) {
    case VT_EMPTY: value = false; break;
    case VT_R4: value = v.fltVal != 0; break;
    case VT_R8: value = v.dblVal != 0; break;
    case VT_DATE: value = v.date != 0; break;
    case VT_CY: value = v.cyVal.int64 != 0; break;
    case VT_DECIMAL: value = !oa_decimal_is_zero(v.decVal); break;
    case VT_BSTR: {
      std::wstring_view text = trimmed(oa_bstr_view(v.bstrVal));
      if (oa_ascii_iequal(text, "true") || oa_ascii_iequal(text, "yes")) {
        value = true;
      } else if (oa_ascii_iequal(text, "false") || oa_ascii_iequal(text, "no")) {
        value = false;
      } else {
        oa_number n;
        if (!oa_parse_number(text, &n)) return DISP_E_TYPEMISMATCH;
        value = n.count != 0;
      }
      break;
    }
    default:
      if (!is_integer_tag(v.vt) && v.vt != VT_BOOL) return DISP_E_TYPEMISMATCH;
      value = integer_of(v) != 0;
  }
  *out = value ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT to_date(const VARIANT& v, DATE* out) {
  if (v.vt == VT_BSTR) return VarDateFromStr(oa_bstr_view(v.bstrVal), out);
  double d;
  HRESULT hr = to_double(v, &d);
  if (FAILED(hr)) return hr;
  oa_date_parts parts;
  if (!oa_parts_from_serial(d, &parts)) return DISP_E_OVERFLOW;
  *out = d;
  return S_OK;
}

HRESULT to_text(const VARIANT& v, BSTR* out) {
  if (v.vt == VT_BSTR) {
    *out = oa_alloc_bstr(oa_bstr_view(v.bstrVal));
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
  }
  std::string text;
  switch (v.vt) {
    case VT_EMPTY: break;
    case VT_R4: oa_append_g(text, v.fltVal, 7); break;
    case VT_R8: oa_append_g(text, v.dblVal, 15); break;
    case VT_CY: oa_append_currency(text, v.cyVal); break;
    case VT_DECIMAL:
      if (!oa_decimal_is_valid(v.decVal)) return E_INVALIDARG;
      oa_append_decimal(text, v.decVal);
      break;
    case VT_DATE: {
      oa_date_parts parts;
      if (!oa_parts_from_serial(v.date, &parts)) return DISP_E_OVERFLOW;
      oa_append_date_text(text, v.date);
      break;
    }
    case VT_UI8: oa_append_uint(text, v.ullVal); break;
    default:
      if (!is_integer_tag(v.vt) && v.vt != VT_BOOL) return DISP_E_TYPEMISMATCH;
      oa_append_int(text, static_cast<int64_t>(integer_of(v)));
  }
  std::wstring wide;
  oa_widen_append(wide, text);
  *out = oa_alloc_bstr(wide);
  return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

template <typename T>
bool fits(i128 value) {
  return value >= static_cast<i128>(std::numeric_limits<T>::min()) &&
         value <= static_cast<i128>(std::numeric_limits<T>::max());
}

HRESULT store_integer(i128 value, VARTYPE vt, VARIANT* out) {
  switch (vt) {
    case VT_I1: if (!fits<int8_t>(value)) return DISP_E_OVERFLOW; out->cVal = static_cast<int8_t>(value); break;
    case VT_UI1: if (!fits<uint8_t>(value)) return DISP_E_OVERFLOW; out->bVal = static_cast<uint8_t>(value); break;
    case VT_I2: if (!fits<int16_t>(value)) return DISP_E_OVERFLOW; out->iVal = static_cast<int16_t>(value); break;
    case VT_UI2: if (!fits<uint16_t>(value)) return DISP_E_OVERFLOW; out->uiVal = static_cast<uint16_t>(value); break;
    case VT_I4: case VT_INT:
      if (!fits<int32_t>(value)) return DISP_E_OVERFLOW;
      out->lVal = static_cast<int32_t>(value);
      break;
    case VT_UI4: case VT_UINT:
      if (!fits<uint32_t>(value)) return DISP_E_OVERFLOW;
      out->ulVal = static_cast<uint32_t>(value);
      break;
    case VT_I8: if (!fits<int64_t>(value)) return DISP_E_OVERFLOW; out->llVal = static_cast<int64_t>(value); break;
    case VT_UI8: if (!fits<uint64_t>(value)) return DISP_E_OVERFLOW; out->ullVal = static_cast<uint64_t>(value); break;
    default: return DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

// Converts a scalar source into a fresh VARIANT of tag vt (out starts empty).
HRESULT coerce(const VARIANT& src, VARTYPE vt, VARIANT* out) {
  if (is_integer_tag(vt)) {
    i128 value;
    HRESULT hr = to_integer(src, &value);
    if (FAILED(hr)) return hr;
    return store_integer(value, vt, out);
  }
  switch (vt) {
    case VT_R8: return to_double(src, &out->dblVal);
    case VT_R4: {
      double d;
      HRESULT hr = to_double(src, &d);
      if (FAILED(hr)) return hr;
      // Values below FLT_MAX plus half its spacing round to FLT_MAX; beyond, a float cannot hold them.
      if (std::isfinite(d) && std::fabs(d) >= static_cast<double>(FLT_MAX) + 0x1p103) return DISP_E_OVERFLOW;
      out->fltVal = static_cast<float>(d);
      return S_OK;
    }
    case VT_CY: return to_currency(src, &out->cyVal);
    case VT_DECIMAL: return to_decimal(src, &out->decVal);
    case VT_BOOL: return to_bool(src, &out->boolVal);
    case VT_DATE: return to_date(src, &out->date);
    case VT_BSTR: return to_text(src, &out->bstrVal);
    default: return DISP_E_TYPEMISMATCH;
  }
}

void append_2(std::string& out, int value) {
  out.push_back(static_cast<char>('0' + value / 10 % 10));
  out.push_back(static_cast<char>('0' + value % 10));
}

}  // namespace

bool oa_ascii_iequal(std::wstring_view text, const char* word) {
  std::size_t n = std::strlen(word);
  if (text.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    wchar_t c = text[i];
    if (c >= L'A' && c <= L'Z') c = c - L'A' + L'a';
    if (c != static_cast<wchar_t>(word[i])) return false;
  }
  return true;
}

bool oa_holds_array(VARTYPE vt) {
  return (vt & VT_ARRAY) != 0 || vt == VT_SAFEARRAY || vt == VT_BLOB || vt == VT_BLOB_OBJECT;
}

void oa_append_date_text(std::string& out, DATE serial) {
  oa_date_parts p;
  if (!oa_parts_from_serial(serial, &p)) return;
  bool day_zero = p.year == 1899 && p.month == 12 && p.day == 30;
  bool midnight = p.hour == 0 && p.minute == 0 && p.second == 0 && p.microsecond == 0;
  if (!day_zero || midnight) {
    if (day_zero && midnight) {
      out.append("00:00:00");
      return;
    }
    append_2(out, p.year / 100);
    append_2(out, p.year % 100);
    out.push_back('-');
    append_2(out, p.month);
    out.push_back('-');
    append_2(out, p.day);
    if (midnight) return;
    out.push_back(' ');
  }
  append_2(out, p.hour);
  out.push_back(':');
  append_2(out, p.minute);
  out.push_back(':');
  append_2(out, p.second);
  if (p.microsecond != 0) {
    out.push_back('.');
    int us = p.microsecond;
    for (int div = 100000; div > 0; div /= 10) out.push_back(static_cast<char>('0' + us / div % 10));
  }
}

void VariantInit(VARIANT* value) {
  if (value == nullptr) return;
  std::memset(static_cast<void*>(value), 0, sizeof *value);
  value->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* value) {
  if (value == nullptr) return E_INVALIDARG;
  VARTYPE vt = value->vt;
  if ((vt & VT_BYREF) == 0) {
    if (vt == VT_BSTR) {
      SysFreeString(value->bstrVal);
    } else if (oa_holds_array(vt)) {
      HRESULT hr = SafeArrayDestroy(value->parray);
      if (FAILED(hr)) return hr;
    } else if ((vt == VT_DISPATCH || vt == VT_UNKNOWN) && value->punkVal != nullptr) {
      value->punkVal->Release();
    }
  }
  VariantInit(value);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
  if (dest == nullptr || src == nullptr) return E_INVALIDARG;
  if (dest == src) return S_OK;
  VARIANT copy = *src;
  if ((src->vt & VT_BYREF) == 0) {
    if (src->vt == VT_BSTR) {
      if (src->bstrVal != nullptr) {
        copy.bstrVal = oa_alloc_bstr(oa_bstr_view(src->bstrVal));
        if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
      }
    } else if (oa_holds_array(src->vt)) {
      HRESULT hr = SafeArrayCopy(src->parray, &copy.parray);
      if (FAILED(hr)) return hr;
    } else if ((src->vt == VT_DISPATCH || src->vt == VT_UNKNOWN) && src->punkVal != nullptr) {
      src->punkVal->AddRef();
    }
  }
  HRESULT hr = VariantClear(dest);
  if (FAILED(hr)) {
    VariantClear(&copy);
    return hr;
  }
  *dest = copy;
  return S_OK;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, uint16_t flags, VARTYPE vt) {
  if (dest == nullptr || src == nullptr) return E_INVALIDARG;
  if (src->vt == vt) return VariantCopy(dest, src);
  VARIANT result;
  VariantInit(&result);
  if (vt == VT_EMPTY) {
    // Nothing to compute.
  } else if (src->vt == VT_NULL || vt == VT_NULL || !is_scalar_tag(src->vt) || !is_scalar_tag(vt)) {
    return DISP_E_TYPEMISMATCH;
  } else {
    HRESULT hr = coerce(*src, vt, &result);
    if (FAILED(hr)) return hr;
    result.vt = vt;
  }
  HRESULT hr = VariantClear(dest);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  *dest = result;
  return S_OK;
}
