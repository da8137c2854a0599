// Currency texts and conversions, by way of the exact decimal scaler and DECIMAL printing.
#include "platform/oleaut/currency.h"

#include <cmath>
#include <limits>

#include "platform/oleaut/bstr.h"
#include "platform/oleaut/decimal.h"
#include "platform/oleaut/numtext.h"

namespace {

typedef unsigned __int128 u128;

HRESULT cy_from_number(const oa_number& n, CY* out) {
  u128 limit = n.negative ? (u128{1} << 63) : static_cast<u128>(std::numeric_limits<int64_t>::max());
  u128 magnitude;
  if (!oa_number_scaled(n, 4, limit, &magnitude)) return DISP_E_OVERFLOW;
  out->int64 = n.negative ? static_cast<int64_t>(-static_cast<__int128>(magnitude)) : static_cast<int64_t>(magnitude);
  return S_OK;
}

template <typename C>
HRESULT cy_from_text(std::basic_string_view<C> text, CY* out) {
  if (out == nullptr) return E_POINTER;
  oa_number n;
  if (!oa_parse_number(text, &n)) return DISP_E_TYPEMISMATCH;
  return cy_from_number(n, out);
}

// The currency rounded half to even to a whole number.
int64_t cy_round(CY in) {
  int64_t quotient = in.int64 / CY_SCALE;
  int64_t rest = in.int64 % CY_SCALE;  // same sign as the value
  int64_t twice = rest * 2;
  if (twice > CY_SCALE || (twice == CY_SCALE && (quotient & 1) != 0)) ++quotient;
  if (twice < -CY_SCALE || (twice == -CY_SCALE && (quotient & 1) != 0)) --quotient;
  return quotient;
}

}  // namespace

HRESULT VarCyFromStr(std::string_view text, CY* out) { return cy_from_text(text, out); }
HRESULT VarCyFromStr(std::wstring_view text, CY* out) { return cy_from_text(text, out); }

void oa_append_currency(std::string& out, CY in) {
  DECIMAL dec;
  VarDecFromCy(in, &dec);
  oa_append_decimal(out, dec);
}

HRESULT VarBstrFromCy(CY in, BSTR* out) {
  if (out == nullptr) return E_POINTER;
  std::string text;
  oa_append_currency(text, in);
  std::wstring wide;
  oa_widen_append(wide, text);
  *out = oa_alloc_bstr(wide);
  return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT VarCyFromI8(int64_t in, CY* out) {
  if (out == nullptr) return E_POINTER;
  if (in > std::numeric_limits<int64_t>::max() / CY_SCALE || in < std::numeric_limits<int64_t>::min() / CY_SCALE) {
    return DISP_E_OVERFLOW;
  }
  out->int64 = in * CY_SCALE;
  return S_OK;
}

HRESULT VarCyFromR8(double in, CY* out) {
  if (out == nullptr) return E_POINTER;
  // Through the double's shortest text, so that 0.00015 rounds as the decimal 0.00015 the user sees.
  oa_number n;
  if (!oa_number_from_double(in, &n)) return DISP_E_OVERFLOW;
  return cy_from_number(n, out);
}

HRESULT VarR8FromCy(CY in, double* out) {
  if (out == nullptr) return E_POINTER;
  DECIMAL dec;
  VarDecFromCy(in, &dec);
  return VarR8FromDec(&dec, out);
}

HRESULT VarI8FromCy(CY in, int64_t* out) {
  if (out == nullptr) return E_POINTER;
  *out = cy_round(in);
  return S_OK;
}

HRESULT VarI4FromCy(CY in, int32_t* out) {
  if (out == nullptr) return E_POINTER;
  int64_t value = cy_round(in);
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    return DISP_E_OVERFLOW;
  }
  *out = static_cast<int32_t>(value);
  return S_OK;
}
