// SAFEARRAY: the platform's self-describing array, here restricted to what this system stores in values:
// one-dimensional arrays of bytes (cbElements 1) with a lower bound (0 for every array the system creates).
//
// The descriptor and its data are separate heap blocks; pvData is null for an empty array. Functions return
// E_INVALIDARG for a null or foreign-shaped array and E_OUTOFMEMORY when an allocation fails; nothing else fails.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/oleaut/types.h"

struct SAFEARRAYBOUND {
  uint32_t cElements;
  int32_t lLbound;
};

struct SAFEARRAY {
  uint16_t cDims;
  uint16_t fFeatures;
  uint32_t cbElements;
  uint32_t cLocks;
  void* pvData;
  SAFEARRAYBOUND rgsabound[1];
};

// A new one-dimensional array of `count` zeroed elements of `vt` (only VT_UI1 and VT_I1 are supported), or null.
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lower_bound, uint32_t count);

// A new array of `dims` dimensions; only one dimension of VT_UI1/VT_I1 elements is supported (else null).
SAFEARRAY* SafeArrayCreate(VARTYPE vt, uint32_t dims, const SAFEARRAYBOUND* bounds);

HRESULT SafeArrayDestroy(SAFEARRAY* array);

// A deep copy into *out (null for a null array).
HRESULT SafeArrayCopy(const SAFEARRAY* array, SAFEARRAY** out);

// Changes the element count of the last dimension to bound->cElements, keeping the lower bound of the array and
// the common prefix of its data; new elements are zero.
HRESULT SafeArrayRedim(SAFEARRAY* array, const SAFEARRAYBOUND* bound);

uint32_t SafeArrayGetDim(const SAFEARRAY* array);
uint32_t SafeArrayGetElemsize(const SAFEARRAY* array);
// Bounds of dimension `dim` (1-based).
HRESULT SafeArrayGetLBound(const SAFEARRAY* array, uint32_t dim, int32_t* out);
HRESULT SafeArrayGetUBound(const SAFEARRAY* array, uint32_t dim, int32_t* out);

// Data access. Locks only count; the data never moves while an array is locked because nothing here reallocates a
// locked array (Redim and Destroy refuse with DISP_E_ARRAYISLOCKED).
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);
