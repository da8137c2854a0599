// Half-to-even rounding of doubles into integer types, with the range test done on the rounded double: every
// bound below is a power of two or a small integer, so it is exact as a double.
#include "platform/oleaut/numconv.h"

#include <limits>

#include "platform/oleaut/numtext.h"

namespace {

template <typename T>
HRESULT int_from_double(double in, T* out) {
  if (out == nullptr) return E_POINTER;
  double rounded;
  if (!oa_round_half_even(in, &rounded)) return DISP_E_OVERFLOW;
  // [min, max + 1) in doubles; max + 1 is a power of two and exact.
  const double low = static_cast<double>(std::numeric_limits<T>::min());
  const double high = static_cast<double>(std::numeric_limits<T>::max() / 2 + 1) * 2.0;
  if (!(rounded >= low && rounded < high)) return DISP_E_OVERFLOW;
  *out = static_cast<T>(rounded);
  return S_OK;
}

}  // namespace

HRESULT VarI8FromR8(double in, int64_t* out) { return int_from_double(in, out); }
HRESULT VarUI8FromR8(double in, uint64_t* out) { return int_from_double(in, out); }
HRESULT VarI4FromR8(double in, int32_t* out) { return int_from_double(in, out); }
HRESULT VarUI4FromR8(double in, uint32_t* out) { return int_from_double(in, out); }
HRESULT VarI2FromR8(double in, int16_t* out) { return int_from_double(in, out); }
HRESULT VarUI2FromR8(double in, uint16_t* out) { return int_from_double(in, out); }
HRESULT VarI1FromR8(double in, int8_t* out) { return int_from_double(in, out); }
HRESULT VarUI1FromR8(double in, uint8_t* out) { return int_from_double(in, out); }
