// The OLE Automation value types of this platform: VARTYPE tags, VARIANT, BSTR, SAFEARRAY, DECIMAL, CY, DATE,
// SYSTEMTIME, HRESULT codes and the COM interface base.
//
// These are this system's own declarations, shaped after the platform types its callers were written against.
// Only the numbers and the meaning of the fields follow that platform; the memory layout is our own:
//  - VARIANT is a 16-bit tag, three reserved words and a 16-byte value union (24 bytes). Unlike the original,
//    a DECIMAL lives inside the value union instead of overlaying the tag; its wReserved is kept at VT_DECIMAL.
//  - BSTR is a length-prefixed text of wchar_t (32-bit on this system), see bstr.h.
//  - SAFEARRAY supports one-dimensional arrays of bytes, see safearray.h.
// Everything here is plain data; the routines that act on it live in the neighbouring headers.
#pragma once

#include <cstdint>

typedef uint16_t VARTYPE;
typedef int32_t HRESULT;
typedef uint32_t ULONG;
typedef int16_t VARIANT_BOOL;
typedef double DATE;
typedef uint32_t LCID;
typedef wchar_t OLECHAR;
typedef OLECHAR* BSTR;

// VARTYPE tags. The numbers are the platform's; only these are used by this system.
constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_NULL = 1;
constexpr VARTYPE VT_I2 = 2;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_R4 = 4;
constexpr VARTYPE VT_R8 = 5;
constexpr VARTYPE VT_CY = 6;
constexpr VARTYPE VT_DATE = 7;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_DISPATCH = 9;
constexpr VARTYPE VT_ERROR = 10;
constexpr VARTYPE VT_BOOL = 11;
constexpr VARTYPE VT_VARIANT = 12;
constexpr VARTYPE VT_UNKNOWN = 13;
constexpr VARTYPE VT_DECIMAL = 14;
constexpr VARTYPE VT_I1 = 16;
constexpr VARTYPE VT_UI1 = 17;
constexpr VARTYPE VT_UI2 = 18;
constexpr VARTYPE VT_UI4 = 19;
constexpr VARTYPE VT_I8 = 20;
constexpr VARTYPE VT_UI8 = 21;
constexpr VARTYPE VT_INT = 22;
constexpr VARTYPE VT_UINT = 23;
// Tag 27 is the platform's VT_SAFEARRAY. Some callers call it VT_CARRAY (whose real number is 28); the tag is
// what counts, and this system treats a value tagged 27 as a byte array.
constexpr VARTYPE VT_SAFEARRAY = 27;
constexpr VARTYPE VT_CARRAY = 28;
constexpr VARTYPE VT_LPSTR = 30;
constexpr VARTYPE VT_LPWSTR = 31;
constexpr VARTYPE VT_BLOB = 65;
constexpr VARTYPE VT_BLOB_OBJECT = 70;
constexpr VARTYPE VT_ARRAY = 0x2000;
constexpr VARTYPE VT_BYREF = 0x4000;
// The form in which binary values are held: a one-dimensional safe array of bytes with lower bound 0.
constexpr VARTYPE VT_ARRAY_UI1 = VT_ARRAY | VT_UI1;  // 0x2011 = 8209

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// Result codes.
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008u);
constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000Au);
constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000Bu);
constexpr HRESULT DISP_E_ARRAYISLOCKED = static_cast<HRESULT>(0x8002000Du);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// Locale identifiers the callers pass; every routine here behaves the same whatever the locale.
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr LCID LCID_EN_US = 1033;

// Currency: a signed 64-bit count of ten-thousandths.
struct CY {
  int64_t int64;
};
constexpr int64_t CY_SCALE = 10000;

// Fixed-point decimal: value = (-1)^sign * (Hi32 * 2^64 + Lo64) / 10^scale, scale 0-28, sign 0 or DECIMAL_NEG.
// Sixteen bytes: wReserved, scale, sign, Hi32, then the low 64 bits (Lo32 then Mid32 in memory).
struct DECIMAL {
  uint16_t wReserved;
  uint8_t scale;
  uint8_t sign;
  uint32_t Hi32;
  uint64_t Lo64;
};
constexpr uint8_t DECIMAL_NEG = 0x80;
constexpr uint8_t DECIMAL_MAX_SCALE = 28;

// A calendar date and clock time. wDayOfWeek is filled by the routines that produce one and read by none.
struct SYSTEMTIME {
  uint16_t wYear;
  uint16_t wMonth;
  uint16_t wDayOfWeek;
  uint16_t wDay;
  uint16_t wHour;
  uint16_t wMinute;
  uint16_t wSecond;
  uint16_t wMilliseconds;
};

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
typedef GUID IID;

inline bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return true;
}

// The ids COM gives the two base interfaces: {00000000-0000-0000-C000-000000000046} and
// {00020400-0000-0000-C000-000000000046}.
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// The COM interface base. Objects reached through interfaces count their references; Release returns the count
// left after the call.
struct IUnknown {
  virtual HRESULT QueryInterface(const IID& iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

// The automation interface base; this system calls no method beyond IUnknown's through it.
struct IDispatch : IUnknown {
 protected:
  ~IDispatch() = default;
};

struct SAFEARRAY;

// The tagged value. Payload members by tag: VT_I1 cVal, VT_UI1 bVal, VT_I2 iVal, VT_UI2 uiVal, VT_I4 lVal,
// VT_UI4 ulVal, VT_INT intVal, VT_UINT uintVal, VT_I8 llVal, VT_UI8 ullVal, VT_R4 fltVal, VT_R8 dblVal,
// VT_CY cyVal, VT_DATE date, VT_BOOL boolVal, VT_ERROR scode, VT_BSTR bstrVal, VT_DECIMAL decVal,
// VT_DISPATCH pdispVal, VT_UNKNOWN punkVal, arrays (VT_ARRAY|x, VT_SAFEARRAY, VT_BLOB, VT_BLOB_OBJECT) parray.
// A VARIANT owns its BSTR and array and holds one reference on its interface; see variant.h.
struct VARIANT {
  VARTYPE vt;
  uint16_t wReserved1;
  uint16_t wReserved2;
  uint16_t wReserved3;
  union {
    int8_t cVal;
    uint8_t bVal;
    int16_t iVal;
    uint16_t uiVal;
    int32_t lVal;
    uint32_t ulVal;
    int32_t intVal;
    uint32_t uintVal;
    int64_t llVal;
    uint64_t ullVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    HRESULT scode;
    CY cyVal;
    DATE date;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    SAFEARRAY* parray;
    DECIMAL decVal;
  };
};
typedef VARIANT VARIANTARG;

static_assert(sizeof(DECIMAL) == 16, "DECIMAL is sixteen bytes");
static_assert(sizeof(SYSTEMTIME) == 16, "SYSTEMTIME is sixteen bytes");
static_assert(sizeof(VARIANT) == 24, "VARIANT is a tag, three reserved words and sixteen bytes of value");
