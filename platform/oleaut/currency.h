// CY (currency) conversions: a signed 64-bit count of ten-thousandths.
//
// Text is read by the decimal grammar of numtext.h and rounded half to even at the fourth fraction digit; a value
// outside -922337203685477.5808 .. 922337203685477.5807 fails with DISP_E_OVERFLOW. Text is printed as a DECIMAL
// of scale 4 is ("1.5", "0.0009", "-1.5", "0"). Conversions to integers round half to even and are range-checked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/oleaut/types.h"

HRESULT VarCyFromStr(std::string_view text, CY* out);
HRESULT VarCyFromStr(std::wstring_view text, CY* out);
HRESULT VarBstrFromCy(CY in, BSTR* out);
void oa_append_currency(std::string& out, CY in);

HRESULT VarCyFromI8(int64_t in, CY* out);
HRESULT VarCyFromR8(double in, CY* out);
HRESULT VarR8FromCy(CY in, double* out);
HRESULT VarI8FromCy(CY in, int64_t* out);
HRESULT VarI4FromCy(CY in, int32_t* out);
