// Integers from doubles: rounded half to even ("banker's rounding", 2.5 -> 2, 3.5 -> 4, -2.5 -> -2) and
// range-checked: a NaN, an infinity or a rounded value outside the target type fails with DISP_E_OVERFLOW and
// leaves *out unchanged.
#pragma once

#include <cstdint>

#include "platform/oleaut/types.h"

HRESULT VarI8FromR8(double in, int64_t* out);
HRESULT VarUI8FromR8(double in, uint64_t* out);
HRESULT VarI4FromR8(double in, int32_t* out);
HRESULT VarUI4FromR8(double in, uint32_t* out);
HRESULT VarI2FromR8(double in, int16_t* out);
HRESULT VarUI2FromR8(double in, uint16_t* out);
HRESULT VarI1FromR8(double in, int8_t* out);
HRESULT VarUI1FromR8(double in, uint8_t* out);

inline HRESULT VarI8FromR4(float in, int64_t* out) { return VarI8FromR8(in, out); }
inline HRESULT VarUI8FromR4(float in, uint64_t* out) { return VarUI8FromR8(in, out); }
