// DECIMAL conversions: text, integers, doubles and currency to and from the 96-bit fixed-point decimal.
//
// Rules, fixed whatever the process locale:
//  - Text is read by the decimal grammar of numtext.h ('.' point, optional exponent, no grouping) and exactly:
//    after trailing fraction zeros are dropped, the mantissa must fit 96 bits and the scale be at most 28; any
//    other text fails with DISP_E_OVERFLOW (DISP_E_TYPEMISMATCH when it is no number). Values are normalised:
//    trailing fraction zeros are removed and zero has no sign.
//  - Text is printed with '.' only when there is a fraction, trailing fraction zeros removed, no exponent, no
//    grouping, '-' only before a non-zero value ("1.5", "-12345678.9", "0").
//  - Conversions to integers round half to even and fail with DISP_E_OVERFLOW outside the target's range.
//  - Doubles: decimal to double is correctly rounded; double to decimal takes the double's shortest round-trip
//    text, rounded half to even to at most 28 fraction digits (NaN and infinities fail).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/oleaut/types.h"

HRESULT VarDecFromStr(std::string_view text, DECIMAL* out);
HRESULT VarDecFromStr(std::wstring_view text, DECIMAL* out);
// The decimal's text as a new BSTR.
HRESULT VarBstrFromDec(const DECIMAL* in, BSTR* out);
// Appends the decimal's text (the form VarBstrFromDec gives).
void oa_append_decimal(std::string& out, const DECIMAL& in);

HRESULT VarDecFromI8(int64_t in, DECIMAL* out);
HRESULT VarDecFromUI8(uint64_t in, DECIMAL* out);
HRESULT VarDecFromR8(double in, DECIMAL* out);
HRESULT VarDecFromCy(CY in, DECIMAL* out);

HRESULT VarR8FromDec(const DECIMAL* in, double* out);
HRESULT VarI8FromDec(const DECIMAL* in, int64_t* out);
HRESULT VarUI8FromDec(const DECIMAL* in, uint64_t* out);
HRESULT VarI4FromDec(const DECIMAL* in, int32_t* out);
HRESULT VarUI4FromDec(const DECIMAL* in, uint32_t* out);
HRESULT VarI2FromDec(const DECIMAL* in, int16_t* out);
HRESULT VarUI2FromDec(const DECIMAL* in, uint16_t* out);
HRESULT VarI1FromDec(const DECIMAL* in, int8_t* out);
HRESULT VarUI1FromDec(const DECIMAL* in, uint8_t* out);
HRESULT VarCyFromDec(const DECIMAL* in, CY* out);

// A decimal of the given parts; false when the magnitude exceeds 96 bits or the scale 28.
bool oa_decimal_make(bool negative, unsigned __int128 magnitude, int scale, DECIMAL* out);
// The 96-bit magnitude.
unsigned __int128 oa_decimal_magnitude(const DECIMAL& in);
// True for a valid decimal (scale at most 28, sign 0 or DECIMAL_NEG) of value zero.
bool oa_decimal_is_zero(const DECIMAL& in);
// A valid decimal: scale at most 28 and sign 0 or DECIMAL_NEG.
bool oa_decimal_is_valid(const DECIMAL& in);
// The value rounded half to even to an integer (magnitude and sign); false for an invalid decimal.
bool oa_decimal_round(const DECIMAL& in, bool* negative, unsigned __int128* magnitude);
