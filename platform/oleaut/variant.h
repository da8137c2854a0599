// VARIANT life cycle and type coercion.
//
// Ownership: a VARIANT owns its BSTR (VT_BSTR) and its array (VT_ARRAY|x, and in this system also VT_SAFEARRAY 27,
// VT_BLOB 65 and VT_BLOB_OBJECT 70, which hold a byte SAFEARRAY), and holds one reference on its interface
// (VT_DISPATCH, VT_UNKNOWN). VariantClear frees or releases them; VariantCopy duplicates them deeply (interfaces
// get a reference). Every other tag is plain data.
//
// VariantChangeType converts between the scalar kinds: VT_EMPTY, VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4,
// VT_INT, VT_UINT, VT_I8, VT_UI8, VT_R4, VT_R8, VT_CY, VT_DECIMAL, VT_DATE, VT_BOOL and VT_BSTR, with fixed rules
// that never depend on the process or user locale (the locale and flags arguments of the original are not taken):
//  - to integers: from doubles, currency, decimals and texts rounded half to even; out of range DISP_E_OVERFLOW;
//  - to VT_R8/VT_R4: nearest double or float (decimals correctly rounded); a float overflow fails;
//  - to VT_CY / VT_DECIMAL: as currency.h and decimal.h say;
//  - to VT_BOOL: non-zero numbers are true (-1); texts "true"/"yes" and "false"/"no" in any case, else a number;
//  - to VT_BSTR: integers in decimal, VT_R8 as printf "%.15G", VT_R4 "%.7G", currency and decimals as their own
//    texts, booleans "-1"/"0", dates "YYYY-MM-DD HH:MM:SS" (".ffffff" when the time has a fraction of a second;
//    the date alone when the time is midnight, the time alone on day zero), VT_EMPTY the empty text;
//  - to VT_DATE: numbers are serial dates; texts are read by VarDateFromStr;
//  - from VT_EMPTY: zero, false, the empty text or day zero; VT_NULL converts only to VT_NULL and VT_EMPTY;
//  - a change to the same tag copies; every other pair (arrays, interfaces, VT_ERROR...) fails with
//    DISP_E_TYPEMISMATCH, and a text that is no number fails with DISP_E_TYPEMISMATCH.
// On failure the destination is left unchanged.
#pragma once

#include <string>
#include <string_view>

#include "platform/oleaut/types.h"

void VariantInit(VARIANT* value);
HRESULT VariantClear(VARIANT* value);
// Clears dest, then makes it a deep copy of src (dest may equal src: then nothing happens).
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
// Converts src into dest (dest may equal src). flags is accepted for the callers' sake and ignored.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, uint16_t flags, VARTYPE vt);

// True for the tags whose payload is a SAFEARRAY in this system: VT_ARRAY|x, VT_SAFEARRAY, VT_BLOB, VT_BLOB_OBJECT.
bool oa_holds_array(VARTYPE vt);

// True when text is word (given in lower case) ignoring the case of ASCII letters; other letters must match exactly.
bool oa_ascii_iequal(std::wstring_view text, const char* word);

// The text VariantChangeType gives a serial date.
void oa_append_date_text(std::string& out, DATE serial);
