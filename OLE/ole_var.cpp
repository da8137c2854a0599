// ole_variant: its life cycle (construction, copies, moves, swaps, freeing), the payloads it holds, and its
// numbers out. Text in and out and the type-change rules are in ole_var_change.cpp.
#include "OLE/ole_var.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "platform/oleaut/bstr.h"
#include "platform/system/codepage.h"
#include "platform/oleaut/currency.h"
#include "platform/oleaut/decimal.h"
#include "platform/oleaut/numconv.h"
#include "platform/oleaut/numtext.h"
#include "platform/oleaut/safearray.h"
#include "platform/oleaut/variant.h"

bool is_numeric_vartype(VARTYPE type) { return type <= 23 && ((0xFF487Cu >> type) & 1u) != 0; }

bool is_date_or_string_vt(VARTYPE type) { return type == VT_DATE || type == VT_BSTR; }

bool is_binary_vartype(VARTYPE type) { return type == VT_BLOB || type == VT_BLOB_OBJECT || type == VT_ARRAY_UI1; }

// ---- life cycle ----

void ole_variant::init() {
  tk_trace(1, "ole_variant::initialize");
  VariantInit(&variant);
  tk_trace(1, "src.vt=%d", variant.vt);
}

ole_variant::ole_variant() {
  init();
  tk_trace(1, "ole_variant::empty ctor");
}

ole_variant::ole_variant(const ole_variant& that) : date(that.date) {
  init();
  tk_trace(1, "ole_variant::copy ctor (that.vt=%d)", that.variant.vt);
  copy_from(that);
}

ole_variant::ole_variant(ole_variant&& that) noexcept : date(that.date) {
  init();
  move_from(that);
}

ole_variant::ole_variant(short value) {
  init();
  tk_trace(1, "ole_variant::ctor from short(%d)", value);
  variant.vt = VT_I2;
  variant.iVal = value;
}

ole_variant::ole_variant(unsigned short value) {
  init();
  tk_trace(1, "ole_variant::ctor from ushort(%d)", value);
  variant.vt = VT_UI2;
  variant.uiVal = value;
}

ole_variant::ole_variant(int value) {
  init();
  tk_trace(1, "ole_variant::ctor from int(%d)", value);
  variant.vt = VT_I4;
  variant.lVal = value;
}

ole_variant::ole_variant(unsigned int value) {
  init();
  tk_trace(1, "ole_variant::ctor from uint(%u)", value);
  variant.vt = VT_UI4;
  variant.ulVal = value;
}

ole_variant::ole_variant(long value) {
  init();
  tk_trace(1, "ole_variant::ctor(hyper, %lld)", static_cast<long long>(value));
  set_i64(value);
}

ole_variant::ole_variant(unsigned long value) {
  init();
  tk_trace(1, "ole_variant::ctor(uhyper, %llu)", static_cast<unsigned long long>(value));
  set_ui64(value);
}

ole_variant::ole_variant(long long value) : ole_variant(static_cast<long>(value)) {}

ole_variant::ole_variant(unsigned long long value) : ole_variant(static_cast<unsigned long>(value)) {}

ole_variant::ole_variant(signed char value) {
  init();
  tk_trace(1, "ole_variant::ctor from char(%d)", value);
  variant.vt = VT_I1;
  variant.cVal = value;
}

ole_variant::ole_variant(unsigned char value) {
  init();
  tk_trace(1, "ole_variant::ctor from byte(%d)", value);
  variant.vt = VT_UI1;
  variant.bVal = value;
}

ole_variant::ole_variant(float value) {
  init();
  tk_trace(1, "ole_variant::ctor from float(%f)", static_cast<double>(value));
  variant.vt = VT_R4;
  variant.fltVal = value;
}

ole_variant::ole_variant(double value) {
  init();
  tk_trace(1, "ole_variant::ctor from double(%e)", value);
  variant.vt = VT_R8;
  variant.dblVal = value;
}

ole_variant::ole_variant(bool value) {
  init();
  tk_trace(1, "ole_variant::ctor from bool (%d)", value ? 1 : 0);
  variant.vt = VT_BOOL;
  variant.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

ole_variant::ole_variant(const CY& value) {
  init();
  tk_trace(1, "Construct ole_variant from CY");
  variant.vt = VT_CY;
  variant.cyVal = value;
}

ole_variant::ole_variant(const DECIMAL& value) {
  init();
  tk_trace(1, "Construct ole_variant from DECIMAL");
  variant.decVal = value;
  variant.decVal.wReserved = VT_DECIMAL;
  variant.vt = VT_DECIMAL;
}

ole_variant::ole_variant(const ole_date& value) {
  init();
  tk_trace(1, "ole_variant::ole_variant( const ole_date& )");
  set_date(value);
}

ole_variant::ole_variant(const std::wstring& text) {
  init();
  if (ole_trace_on(1)) tk_trace(1, "ole_variant::ctor from wstring(%s)", tk_to_utf8(text).c_str());
  attach_wstring(text);
}

ole_variant::ole_variant(const wchar_t* text) {
  init();
  attach_wstring(text == nullptr ? std::wstring_view() : std::wstring_view(text));
}

ole_variant::ole_variant(const std::string& text) {
  init();
  if (ole_trace_on(1)) tk_trace(1, "ole_variant::ctor from string(%s)", text.c_str());
  attach_string(text);
  tk_trace(1, "ole_variant::ctor from string - END");
}

ole_variant::ole_variant(const char* text) {
  init();
  attach_string(text == nullptr ? std::string_view() : std::string_view(text));
}

ole_variant::ole_variant(const std::vector<uint8_t>& bytes) {
  init();
  tk_trace(1, "ole_variant::ole_variant( const vector<byte>& that )");
  attach_binary(bytes);
}

ole_variant ole_variant::from_bstr(BSTR text) {
  tk_trace(1, "Construct ole_variant from BSTR");
  ole_variant result;
  result.attach_wstring(oa_bstr_view(text));
  return result;
}

ole_variant ole_variant::from_variant(const VARIANT& value) {
  ole_variant result;
  if (FAILED(VariantCopy(&result.variant, &value))) throw tk_mail_assertion("ole_var", 1188);
  if (value.vt == VT_I8) result.i64_value = value.llVal;
  if (value.vt == VT_UI8) result.ui64_value = value.ullVal;
  if (value.vt == VT_DATE) {
    ole_date date = ole_date::from_serial(value.date);
    if (date.is_valid()) {
      result.date = date;
    } else {
      tk_trace(2, "Failed to convert VARIANT->SYSTEMTIME");
      result.clear();
    }
  }
  return result;
}

ole_variant::~ole_variant() {
  tk_trace(1, "ole_variant::~ole_variant");
  if (variant.vt == VT_SAFEARRAY || variant.vt == VT_BLOB || variant.vt == VT_ARRAY_UI1) {
    tk_trace(2, "Just before SafeArrayDestroy0");
  }
  VariantClear(&variant);
}

ole_variant& ole_variant::operator=(const ole_variant& that) {
  tk_trace(1, "ole_variant::operator = ");
  if (this != &that) {
    tk_trace(1, "ole_variant::operator => src.vt=%d", that.variant.vt);
    copy_from(that);
  }
  return *this;
}

ole_variant& ole_variant::operator=(ole_variant&& that) noexcept {
  if (this != &that) move_from(that);
  return *this;
}

void ole_variant::swap(ole_variant& that) noexcept {
  // The payload (string, array) belongs to whichever VARIANT holds it: exchanging them moves no bytes.
  std::swap(variant, that.variant);
  std::swap(i64_value, that.i64_value);
  std::swap(ui64_value, that.ui64_value);
  std::swap(date, that.date);
}

ole_variant& ole_variant::operator=(const std::vector<uint8_t>& bytes) {
  tk_trace(1, "ole_variant::operator = ( const vector<byte>& that )");
  attach_binary(bytes);
  return *this;
}

void ole_variant::clear() {
  VariantClear(&variant);
  i64_value = 0;
  ui64_value = 0;
}

void ole_variant::copy_from(const ole_variant& that) {
  if (FAILED(VariantCopy(&variant, &that.variant))) throw tk_mail_assertion("ole_var", 1120);
  i64_value = that.i64_value;
  ui64_value = that.ui64_value;
  if (that.variant.vt == VT_I8 || that.variant.vt == VT_UI8) tk_trace(1, "Special processing for VT_(U)I8 type");
  if (that.variant.vt == VT_DATE) {
    tk_trace(1, "Special processing for VT_DATE");
    date = that.date;
    variant.date = that.variant.date;
    tk_trace(1, "%04d-%02d-%02d %02d:%02d:%02d", date.time.wYear, date.time.wMonth, date.time.wDay,
             date.time.wHour, date.time.wMinute, date.time.wSecond);
  }
}

void ole_variant::move_from(ole_variant& that) noexcept {
  VariantClear(&variant);
  variant = that.variant;
  VariantInit(&that.variant);
  i64_value = that.i64_value;
  ui64_value = that.ui64_value;
  date = that.date;
}

void ole_variant::set_i64(int64_t value) {
  clear();
  variant.vt = VT_I8;
  variant.llVal = value;
  i64_value = value;
}

void ole_variant::set_ui64(uint64_t value) {
  clear();
  variant.vt = VT_UI8;
  variant.ullVal = value;
  ui64_value = value;
}

void ole_variant::set_date(const ole_date& value) {
  clear();
  if (ole_trace_on(1)) tk_trace(1, "ole_date=%s", value.to_string(6).c_str());
  DATE serial;
  if (!value.to_serial(&serial)) {
    // No serial value: the date cannot be stored, so the value is NULL rather than an invented date.
    tk_trace(2, "Failed to convert SYSTEMTIME->VARIANT");
    return;
  }
  date = value;
  variant.vt = VT_DATE;
  variant.date = serial;
}

// ---- payloads ----

void ole_variant::clear_for_string() {
  if (variant.vt == VT_BSTR) {
    SysFreeString(variant.bstrVal);
    variant.bstrVal = nullptr;
  } else {
    clear();
    variant.vt = VT_BSTR;
  }
}

void ole_variant::attach_wstring(std::wstring_view text) {
  clear_for_string();
  tk_trace(1, "=== RIGHT BEFORE SysAllocStringLen ===");
  variant.bstrVal = oa_alloc_bstr(text);
  if (variant.bstrVal == nullptr) {
    variant.vt = VT_EMPTY;
    throw tk_mail_assertion("ole_var", 1469);
  }
  if (ole_trace_on(1)) tk_trace(1, "src.bstrVal=%s", sys_wide_to_utf8(text).c_str());
}

void ole_variant::attach_string(std::string_view text) {
  if (ole_trace_on(1)) tk_trace(1, "ole_variant::attach_string('%s')", std::string(text).c_str());
  bool ascii = true;
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (!ascii) {
    // The decoder never fails: malformed UTF-8 becomes U+FFFD.
    attach_wstring(sys_utf8_to_wide(text));
    return;
  }
  // Plain ASCII (most cells) widens straight into the platform string, without an intermediate copy.
  clear_for_string();
  variant.bstrVal = SysAllocStringLen(nullptr, text.size());
  if (variant.bstrVal == nullptr) {
    variant.vt = VT_EMPTY;
    throw tk_mail_assertion("ole_var", 1434);
  }
  for (std::size_t i = 0; i < text.size(); ++i) variant.bstrVal[i] = static_cast<wchar_t>(text[i]);
}

void ole_variant::allocate_safe_array(uint32_t size) {
  tk_trace(1, "ole_variant::allocate_safe_array (size=%d)", static_cast<int>(size));
  bool reusable = (variant.vt == VT_ARRAY_UI1 || variant.vt == VT_BLOB) && variant.parray != nullptr &&
                  SafeArrayGetDim(variant.parray) == 1 && SafeArrayGetElemsize(variant.parray) == 1;
  if (!reusable) {
    tk_trace(1, "Re-initialize VARIANT");
    clear();
    variant.parray = SafeArrayCreateVector(VT_UI1, 0, size);
    if (variant.parray == nullptr) throw tk_mail_assertion("ole_var", 1354);
    variant.vt = VT_ARRAY_UI1;
  } else {
    tk_trace(1, "Redimension array");
    // An empty array has its upper bound one below its lower bound; that is a valid empty value.
    if (variant.parray->rgsabound[0].cElements != size) {
      SAFEARRAYBOUND bound{size, variant.parray->rgsabound[0].lLbound};
      if (FAILED(SafeArrayRedim(variant.parray, &bound))) throw tk_mail_assertion("ole_var", 1366);
    }
  }
  tk_trace(1, "ole_variant::allocate_safe_array - END");
}

void ole_variant::attach_binary(const void* bytes, std::size_t count) {
  tk_trace(1, "ole_variant::attach_binary(1)");
  tk_trace(1, "arr_size=%d", static_cast<int>(count));
  if (count > std::numeric_limits<uint32_t>::max()) throw tk_mail_assertion("ole_var", 1354);
  allocate_safe_array(static_cast<uint32_t>(count));
  if (count > 0) std::memcpy(variant.parray->pvData, bytes, count);
}

void ole_variant::attach_binary(const std::vector<uint8_t>& bytes) { attach_binary(bytes.data(), bytes.size()); }

std::size_t ole_variant::get_safe_array_size(const SAFEARRAY* array) {
  tk_trace(1, "get_safe_array_size(that=%08X)", static_cast<unsigned>(reinterpret_cast<uintptr_t>(array)));
  if (array == nullptr) return 0;
  tk_trace(1, "SAFEARRAY.cDims=%d", array->cDims);
  tk_trace(1, "SAFEARRAY.cbElements=%d", static_cast<int>(array->cbElements));
  if (array->cDims != 1) return 0;
  int32_t lower = 0, upper = 0;
  SafeArrayGetLBound(array, 1, &lower);
  SafeArrayGetUBound(array, 1, &upper);
  tk_trace(1, "lower=%d, upper=%d", lower, upper);
  if (upper < lower) return 0;
  return static_cast<std::size_t>(static_cast<int64_t>(upper) - lower + 1);
}

// ---- numbers out ----

bool ole_variant::to_bool() const {
  tk_trace(1, "ole_variant::to_bool(vt=%08X)", variant.vt);
  switch (variant.vt) {
    case VT_I2: return variant.iVal != 0;
    case VT_I4: return variant.lVal != 0;
    case VT_R4: return variant.fltVal != 0;  // NaN is non-zero
    case VT_R8: return variant.dblVal != 0;
    case VT_CY: return variant.cyVal.int64 != 0;
    case VT_DECIMAL: return !oa_decimal_is_zero(variant.decVal);
    case VT_BOOL: return variant.boolVal == VARIANT_TRUE;
    case VT_I1: return variant.cVal != 0;
    case VT_UI1: return variant.bVal != 0;
    case VT_UI2: return variant.uiVal != 0;
    case VT_UI4: return variant.ulVal != 0;
    case VT_I8: return i64_value != 0;
    case VT_UI8: return ui64_value != 0;
    default: return false;
  }
}

int32_t ole_variant::to_long() const {
  tk_trace(1, "ole_variant::to_long(vt=%08X)", variant.vt);
  auto checked = [](int64_t value) {
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) throw ole_cast_exception();
    return static_cast<int32_t>(value);
  };
  switch (variant.vt) {
    case VT_I2: return variant.iVal;
    case VT_I1: return variant.cVal;
    case VT_UI1: return variant.bVal;
    case VT_UI2: return variant.uiVal;
    case VT_I4: return variant.lVal;
    case VT_UI4: return checked(variant.ulVal);
    case VT_R4:
    case VT_R8: {
      double value = std::trunc(variant.vt == VT_R4 ? variant.fltVal : variant.dblVal);
      if (!(value >= -2147483648.0 && value <= 2147483647.0)) throw ole_cast_exception();
      return static_cast<int32_t>(value);
    }
    case VT_CY: {
      int32_t result = 0;
      HRESULT hr = VarI4FromCy(variant.cyVal, &result);
      tk_trace(1, "from CURRECY: res=%d, hr=%08X", result, static_cast<unsigned>(hr));
      if (FAILED(hr)) throw ole_cast_exception();
      return result;
    }
    case VT_DECIMAL: {
      int32_t result = 0;
      HRESULT hr = VarI4FromDec(&variant.decVal, &result);
      tk_trace(1, "from DECIMAL: res=%d, hr=%08X", result, static_cast<unsigned>(hr));
      if (FAILED(hr)) throw ole_cast_exception();
      return result;
    }
    case VT_BOOL:
      tk_trace(1, "src.boolVal=%d", variant.boolVal);
      return variant.boolVal == VARIANT_TRUE ? 1 : 0;
    case VT_I8: return checked(i64_value);
    case VT_UI8:
      if (ui64_value > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) throw ole_cast_exception();
      return static_cast<int32_t>(ui64_value);
    default: return 0;
  }
}
