// DECIMAL arithmetic over unsigned 128-bit integers: the 96-bit mantissa and every power of ten up to 10^28 fit.
#include "platform/oleaut/decimal.h"

#include <cmath>
#include <limits>

#include "platform/oleaut/bstr.h"
#include "platform/oleaut/numtext.h"

namespace {

typedef unsigned __int128 u128;

constexpr u128 kMaxMantissa = (u128{1} << 96) - 1;

u128 pow10(int n) {
  u128 value = 1;
  while (n-- > 0) value *= 10;
  return value;
}

template <typename C>
HRESULT dec_from_text(std::basic_string_view<C> text, DECIMAL* out) {
  if (out == nullptr) return E_POINTER;
  oa_number n;
  if (!oa_parse_number(text, &n)) return DISP_E_TYPEMISMATCH;
  if (n.sticky) return DISP_E_OVERFLOW;
  int64_t scale = n.count - n.point;
  if (scale < 0) scale = 0;
  if (scale > DECIMAL_MAX_SCALE) return DISP_E_OVERFLOW;
  u128 magnitude;
  if (!oa_number_scaled(n, static_cast<int>(scale), kMaxMantissa, &magnitude)) return DISP_E_OVERFLOW;
  oa_decimal_make(n.negative, magnitude, static_cast<int>(scale), out);
  return S_OK;
}

// Signed integer result of a decimal rounded half to even, range-checked against [lo, hi].
template <typename T>
HRESULT dec_to_int(const DECIMAL* in, T* out) {
  if (in == nullptr || out == nullptr) return E_POINTER;
  bool negative;
  u128 magnitude;
  if (!oa_decimal_round(*in, &negative, &magnitude)) return E_INVALIDARG;
  if (negative) {
    u128 limit = static_cast<u128>(-(static_cast<__int128>(std::numeric_limits<T>::min())));
    if (magnitude > limit) return DISP_E_OVERFLOW;
    *out = static_cast<T>(-static_cast<__int128>(magnitude));
  } else {
    if (magnitude > static_cast<u128>(std::numeric_limits<T>::max())) return DISP_E_OVERFLOW;
    *out = static_cast<T>(magnitude);
  }
  return S_OK;
}

}  // namespace

bool oa_decimal_make(bool negative, u128 magnitude, int scale, DECIMAL* out) {
  if (magnitude > kMaxMantissa || scale < 0 || scale > DECIMAL_MAX_SCALE) return false;
  // Normalise: no trailing fraction zeros, no negative zero.
  while (scale > 0 && magnitude % 10 == 0) {
    magnitude /= 10;
    --scale;
  }
  out->wReserved = VT_DECIMAL;
  out->scale = static_cast<uint8_t>(scale);
  out->sign = (negative && magnitude != 0) ? DECIMAL_NEG : 0;
  out->Hi32 = static_cast<uint32_t>(magnitude >> 64);
  out->Lo64 = static_cast<uint64_t>(magnitude);
  return true;
}

u128 oa_decimal_magnitude(const DECIMAL& in) { return (static_cast<u128>(in.Hi32) << 64) | in.Lo64; }

bool oa_decimal_is_valid(const DECIMAL& in) {
  return in.scale <= DECIMAL_MAX_SCALE && (in.sign == 0 || in.sign == DECIMAL_NEG);
}

bool oa_decimal_is_zero(const DECIMAL& in) { return oa_decimal_magnitude(in) == 0; }

bool oa_decimal_round(const DECIMAL& in, bool* negative, u128* magnitude) {
  if (!oa_decimal_is_valid(in)) return false;
  u128 divisor = pow10(in.scale);
  u128 value = oa_decimal_magnitude(in);
  u128 quotient = value / divisor;
  u128 twice_rest = (value % divisor) * 2;
  if (twice_rest > divisor || (twice_rest == divisor && (quotient & 1) != 0)) ++quotient;
  *negative = in.sign == DECIMAL_NEG && quotient != 0;
  *magnitude = quotient;
  return true;
}

HRESULT VarDecFromStr(std::string_view text, DECIMAL* out) { return dec_from_text(text, out); }
HRESULT VarDecFromStr(std::wstring_view text, DECIMAL* out) { return dec_from_text(text, out); }

void oa_append_decimal(std::string& out, const DECIMAL& in) {
  u128 value = oa_decimal_magnitude(in);
  int scale = in.scale <= DECIMAL_MAX_SCALE ? in.scale : DECIMAL_MAX_SCALE;
  while (scale > 0 && value % 10 == 0) {
    value /= 10;
    --scale;
  }
  if (value == 0) {
    out.push_back('0');
    return;
  }
  if (in.sign == DECIMAL_NEG) out.push_back('-');
  char digits[40];
  int n = 0;
  for (u128 v = value; v != 0; v /= 10) digits[n++] = static_cast<char>('0' + static_cast<int>(v % 10));
  // digits[] holds the number backwards; print the integer part, then the fraction.
  if (n <= scale) {
    out.append("0.");
    out.append(static_cast<std::size_t>(scale - n), '0');
    for (int i = n - 1; i >= 0; --i) out.push_back(digits[i]);
    return;
  }
  for (int i = n - 1; i >= scale; --i) out.push_back(digits[i]);
  if (scale > 0) {
    out.push_back('.');
    for (int i = scale - 1; i >= 0; --i) out.push_back(digits[i]);
  }
}

HRESULT VarBstrFromDec(const DECIMAL* in, BSTR* out) {
  if (in == nullptr || out == nullptr) return E_POINTER;
  if (!oa_decimal_is_valid(*in)) return E_INVALIDARG;
  std::string text;
  oa_append_decimal(text, *in);
  std::wstring wide;
  oa_widen_append(wide, text);
  *out = oa_alloc_bstr(wide);
  return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT VarDecFromI8(int64_t in, DECIMAL* out) {
  if (out == nullptr) return E_POINTER;
  u128 magnitude = in < 0 ? static_cast<u128>(-static_cast<__int128>(in)) : static_cast<u128>(in);
  oa_decimal_make(in < 0, magnitude, 0, out);
  return S_OK;
}

HRESULT VarDecFromUI8(uint64_t in, DECIMAL* out) {
  if (out == nullptr) return E_POINTER;
  oa_decimal_make(false, in, 0, out);
  return S_OK;
}

HRESULT VarDecFromCy(CY in, DECIMAL* out) {
  if (out == nullptr) return E_POINTER;
  u128 magnitude = in.int64 < 0 ? static_cast<u128>(-static_cast<__int128>(in.int64)) : static_cast<u128>(in.int64);
  oa_decimal_make(in.int64 < 0, magnitude, 4, out);
  return S_OK;
}

HRESULT VarDecFromR8(double in, DECIMAL* out) {
  if (out == nullptr) return E_POINTER;
  oa_number n;
  if (!oa_number_from_double(in, &n)) return DISP_E_OVERFLOW;
  int64_t scale = n.count - n.point;
  if (scale < 0) scale = 0;
  if (scale > DECIMAL_MAX_SCALE) scale = DECIMAL_MAX_SCALE;
  u128 magnitude;
  if (!oa_number_scaled(n, static_cast<int>(scale), kMaxMantissa, &magnitude)) return DISP_E_OVERFLOW;
  oa_decimal_make(n.negative, magnitude, static_cast<int>(scale), out);
  return S_OK;
}

HRESULT VarR8FromDec(const DECIMAL* in, double* out) {
  if (in == nullptr || out == nullptr) return E_POINTER;
  if (!oa_decimal_is_valid(*in)) return E_INVALIDARG;
  // A magnitude below 2^53 over a power of ten up to 10^22 are both exact doubles, and one division rounds the
  // quotient as reading the decimal text would (zero is +0, as its text "0" reads).
  static constexpr double k_powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const u128 magnitude = oa_decimal_magnitude(*in);
  if (magnitude < (static_cast<u128>(1) << 53) && in->scale <= 22) {
    double value = static_cast<double>(static_cast<uint64_t>(magnitude)) / k_powers[in->scale];
    *out = magnitude != 0 && in->sign == DECIMAL_NEG ? -value : value;
    return S_OK;
  }
  std::string text;
  oa_append_decimal(text, *in);
  return oa_parse_double(std::string_view(text), out) ? S_OK : DISP_E_OVERFLOW;
}

HRESULT VarI8FromDec(const DECIMAL* in, int64_t* out) { return dec_to_int(in, out); }
HRESULT VarI4FromDec(const DECIMAL* in, int32_t* out) { return dec_to_int(in, out); }
HRESULT VarI2FromDec(const DECIMAL* in, int16_t* out) { return dec_to_int(in, out); }
HRESULT VarI1FromDec(const DECIMAL* in, int8_t* out) { return dec_to_int(in, out); }
HRESULT VarUI8FromDec(const DECIMAL* in, uint64_t* out) { return dec_to_int(in, out); }
HRESULT VarUI4FromDec(const DECIMAL* in, uint32_t* out) { return dec_to_int(in, out); }
HRESULT VarUI2FromDec(const DECIMAL* in, uint16_t* out) { return dec_to_int(in, out); }
HRESULT VarUI1FromDec(const DECIMAL* in, uint8_t* out) { return dec_to_int(in, out); }

HRESULT VarCyFromDec(const DECIMAL* in, CY* out) {
  if (in == nullptr || out == nullptr) return E_POINTER;
  if (!oa_decimal_is_valid(*in)) return E_INVALIDARG;
  // Rescale to four fraction digits, half to even.
  u128 value = oa_decimal_magnitude(*in);
  u128 result;
  if (in->scale <= 4) {
    result = value * pow10(4 - in->scale);
  } else {
    u128 divisor = pow10(in->scale - 4);
    result = value / divisor;
    u128 twice_rest = (value % divisor) * 2;
    if (twice_rest > divisor || (twice_rest == divisor && (result & 1) != 0)) ++result;
  }
  bool negative = in->sign == DECIMAL_NEG;
  if (negative ? result > (u128{1} << 63) : result > static_cast<u128>(std::numeric_limits<int64_t>::max())) {
    return DISP_E_OVERFLOW;
  }
  out->int64 = negative ? static_cast<int64_t>(-static_cast<__int128>(result)) : static_cast<int64_t>(result);
  return S_OK;
}
