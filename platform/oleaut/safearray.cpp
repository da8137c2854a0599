// One-dimensional byte arrays: descriptor and data in two heap blocks so that Redim can resize the data alone.
#include "platform/oleaut/safearray.h"

#include <cstdlib>
#include <cstring>

namespace {

bool is_byte_vector(const SAFEARRAY* array) {
  return array != nullptr && array->cDims == 1 && array->cbElements == 1;
}

}  // namespace

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lower_bound, uint32_t count) {
  if (vt != VT_UI1 && vt != VT_I1) return nullptr;
  SAFEARRAY* array = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
  if (array == nullptr) return nullptr;
  if (count > 0) {
    array->pvData = std::calloc(count, 1);
    if (array->pvData == nullptr) {
      std::free(array);
      return nullptr;
    }
  }
  array->cDims = 1;
  array->cbElements = 1;
  array->rgsabound[0].cElements = count;
  array->rgsabound[0].lLbound = lower_bound;
  return array;
}

SAFEARRAY* SafeArrayCreate(VARTYPE vt, uint32_t dims, const SAFEARRAYBOUND* bounds) {
  if (dims != 1 || bounds == nullptr) return nullptr;
  return SafeArrayCreateVector(vt, bounds[0].lLbound, bounds[0].cElements);
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
  if (array == nullptr) return S_OK;
  if (array->cLocks != 0) return DISP_E_ARRAYISLOCKED;
  std::free(array->pvData);
  std::free(array);
  return S_OK;
}

HRESULT SafeArrayCopy(const SAFEARRAY* array, SAFEARRAY** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (array == nullptr) return S_OK;
  if (!is_byte_vector(array)) return E_INVALIDARG;
  SAFEARRAY* copy = SafeArrayCreateVector(VT_UI1, array->rgsabound[0].lLbound, array->rgsabound[0].cElements);
  if (copy == nullptr) return E_OUTOFMEMORY;
  if (array->rgsabound[0].cElements > 0) std::memcpy(copy->pvData, array->pvData, array->rgsabound[0].cElements);
  *out = copy;
  return S_OK;
}

HRESULT SafeArrayRedim(SAFEARRAY* array, const SAFEARRAYBOUND* bound) {
  if (!is_byte_vector(array) || bound == nullptr) return E_INVALIDARG;
  if (array->cLocks != 0) return DISP_E_ARRAYISLOCKED;
  uint32_t old_count = array->rgsabound[0].cElements;
  uint32_t new_count = bound->cElements;
  if (new_count == old_count) return S_OK;
  if (new_count == 0) {
    std::free(array->pvData);
    array->pvData = nullptr;
  } else {
    void* data = std::realloc(array->pvData, new_count);
    if (data == nullptr) return E_OUTOFMEMORY;
    if (new_count > old_count) std::memset(static_cast<char*>(data) + old_count, 0, new_count - old_count);
    array->pvData = data;
  }
  array->rgsabound[0].cElements = new_count;
  return S_OK;
}

uint32_t SafeArrayGetDim(const SAFEARRAY* array) { return array == nullptr ? 0 : array->cDims; }

uint32_t SafeArrayGetElemsize(const SAFEARRAY* array) { return array == nullptr ? 0 : array->cbElements; }

HRESULT SafeArrayGetLBound(const SAFEARRAY* array, uint32_t dim, int32_t* out) {
  if (array == nullptr || out == nullptr) return E_INVALIDARG;
  if (dim != 1 || array->cDims != 1) return DISP_E_BADINDEX;
  *out = array->rgsabound[0].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(const SAFEARRAY* array, uint32_t dim, int32_t* out) {
  if (array == nullptr || out == nullptr) return E_INVALIDARG;
  if (dim != 1 || array->cDims != 1) return DISP_E_BADINDEX;
  *out = static_cast<int32_t>(static_cast<int64_t>(array->rgsabound[0].lLbound) + array->rgsabound[0].cElements - 1);
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
  if (array == nullptr || data == nullptr) return E_INVALIDARG;
  ++array->cLocks;
  *data = array->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) {
  if (array == nullptr) return E_INVALIDARG;
  if (array->cLocks == 0) return E_UNEXPECTED;
  --array->cLocks;
  return S_OK;
}
