// VARIANT ownership (clear, deep copy, interface references), byte arrays, BSTRs and the coercion matrix.
#include "platform/oleaut/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/oleaut/bstr.h"
#include "platform/oleaut/decimal.h"
#include "platform/oleaut/safearray.h"

namespace {

// A counted object to watch VARIANT reference handling.
struct counted : IDispatch {
  uint32_t refs = 1;
  HRESULT QueryInterface(const IID&, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t AddRef() override { return ++refs; }
  uint32_t Release() override { return --refs; }
};

VARIANT make_text(const wchar_t* text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(text);
  return v;
}

TEST(SafeArray, ByteVectorLifecycle) {
  SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, 4);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(SafeArrayGetDim(a), 1u);
  EXPECT_EQ(SafeArrayGetElemsize(a), 1u);
  int32_t lo, hi;
  ASSERT_EQ(SafeArrayGetLBound(a, 1, &lo), S_OK);
  ASSERT_EQ(SafeArrayGetUBound(a, 1, &hi), S_OK);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 3);
  EXPECT_EQ(SafeArrayGetLBound(a, 2, &lo), DISP_E_BADINDEX);
  void* data;
  ASSERT_EQ(SafeArrayAccessData(a, &data), S_OK);
  std::memcpy(data, "\x01\x02\x03\x04", 4);
  SAFEARRAYBOUND grow{6, 0};
  EXPECT_EQ(SafeArrayRedim(a, &grow), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayDestroy(a), DISP_E_ARRAYISLOCKED);
  ASSERT_EQ(SafeArrayUnaccessData(a), S_OK);
  ASSERT_EQ(SafeArrayRedim(a, &grow), S_OK);
  EXPECT_EQ(std::memcmp(a->pvData, "\x01\x02\x03\x04\x00\x00", 6), 0);
  SAFEARRAYBOUND shrink{2, 0};
  ASSERT_EQ(SafeArrayRedim(a, &shrink), S_OK);
  SAFEARRAY* copy = nullptr;
  ASSERT_EQ(SafeArrayCopy(a, &copy), S_OK);
  ASSERT_NE(copy->pvData, a->pvData);
  EXPECT_EQ(std::memcmp(copy->pvData, "\x01\x02", 2), 0);
  SAFEARRAYBOUND empty{0, 0};
  ASSERT_EQ(SafeArrayRedim(copy, &empty), S_OK);
  EXPECT_EQ(copy->pvData, nullptr);
  ASSERT_EQ(SafeArrayGetUBound(copy, 1, &hi), S_OK);
  EXPECT_EQ(hi, -1);
  EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
  EXPECT_EQ(SafeArrayDestroy(a), S_OK);
  EXPECT_EQ(SafeArrayCreateVector(VT_BSTR, 0, 1), nullptr);
}

TEST(Variant, ClearAndCopyOwnPayloads) {
  VARIANT text = make_text(L"hello");
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopy(&copy, &text), S_OK);
  EXPECT_NE(copy.bstrVal, text.bstrVal);
  EXPECT_EQ(oa_bstr_view(copy.bstrVal), L"hello");
  // Every array-holding tag is copied deeply and destroyed on clear.
  for (VARTYPE vt : {VT_ARRAY_UI1, VT_BLOB, VT_BLOB_OBJECT, VT_SAFEARRAY}) {
    VARIANT bytes;
    VariantInit(&bytes);
    bytes.vt = vt;
    bytes.parray = SafeArrayCreateVector(VT_UI1, 0, 3);
    ASSERT_EQ(VariantCopy(&copy, &bytes), S_OK);  // also frees the text copy held before
    EXPECT_EQ(copy.vt, vt);
    EXPECT_NE(copy.parray, bytes.parray);
    VariantClear(&bytes);
    EXPECT_EQ(bytes.vt, VT_EMPTY);
  }
  counted object;
  VARIANT dispatch;
  VariantInit(&dispatch);
  dispatch.vt = VT_DISPATCH;
  dispatch.pdispVal = &object;
  ASSERT_EQ(VariantCopy(&copy, &dispatch), S_OK);
  EXPECT_EQ(object.refs, 2u);
  VariantClear(&copy);
  EXPECT_EQ(object.refs, 1u);
  EXPECT_EQ(VariantCopy(&text, &text), S_OK);
  EXPECT_EQ(oa_bstr_view(text.bstrVal), L"hello");
  VariantClear(&text);
}

// One coercion: source kind and payload, target tag, expected text of the result (via VT_BSTR) or failure code.
std::wstring text_of(const VARIANT& v) {
  VARIANT t;
  VariantInit(&t);
  EXPECT_EQ(VariantChangeType(&t, &v, 0, VT_BSTR), S_OK);
  std::wstring out(oa_bstr_view(t.bstrVal));
  VariantClear(&t);
  return out;
}

struct coerce_row {
  const wchar_t* source;  // a text, converted first to `from`
  VARTYPE from;
  VARTYPE to;
  HRESULT hr;
  const wchar_t* result;  // text form of the converted value
};

const coerce_row kCoercions[] = {
    {L"2.5", VT_R8, VT_I4, S_OK, L"2"},
    {L"3.5", VT_R8, VT_I4, S_OK, L"4"},
    {L"-2.5", VT_R8, VT_I2, S_OK, L"-2"},
    {L"2147483648", VT_R8, VT_I4, DISP_E_OVERFLOW, nullptr},
    {L"-1", VT_I4, VT_UI4, DISP_E_OVERFLOW, nullptr},
    {L"255", VT_I4, VT_UI1, S_OK, L"255"},
    {L"256", VT_I4, VT_UI1, DISP_E_OVERFLOW, nullptr},
    {L"-128", VT_I2, VT_I1, S_OK, L"-128"},
    {L"18446744073709551615", VT_UI8, VT_I8, DISP_E_OVERFLOW, nullptr},
    {L"18446744073709551615", VT_UI8, VT_R8, S_OK, L"1.84467440737096E+19"},
    {L"-9223372036854775808", VT_I8, VT_DECIMAL, S_OK, L"-9223372036854775808"},
    {L"0.1", VT_R8, VT_R8, S_OK, L"0.1"},
    {L"1e20", VT_R8, VT_BSTR, S_OK, L"1E+20"},
    {L"0.1", VT_R4, VT_BSTR, S_OK, L"0.1"},
    {L"1e300", VT_R8, VT_R4, DISP_E_OVERFLOW, nullptr},
    {L"1.5", VT_CY, VT_DECIMAL, S_OK, L"1.5"},
    {L"0.00015", VT_R8, VT_CY, S_OK, L"0.0002"},
    {L"12.345", VT_DECIMAL, VT_R8, S_OK, L"12.345"},
    {L"12.5", VT_DECIMAL, VT_I4, S_OK, L"12"},
    {L"1", VT_I4, VT_BOOL, S_OK, L"-1"},
    {L"0", VT_R8, VT_BOOL, S_OK, L"0"},
    {L"0.4", VT_DECIMAL, VT_BOOL, S_OK, L"-1"},
    {L"TRUE", VT_BSTR, VT_BOOL, S_OK, L"-1"},
    {L" no ", VT_BSTR, VT_BOOL, S_OK, L"0"},
    {L"2", VT_BSTR, VT_BOOL, S_OK, L"-1"},
    {L"on", VT_BSTR, VT_BOOL, DISP_E_TYPEMISMATCH, nullptr},
    {L"-1", VT_BOOL, VT_I4, S_OK, L"-1"},
    {L"abc", VT_BSTR, VT_I4, DISP_E_TYPEMISMATCH, nullptr},
    {L"1.5", VT_BSTR, VT_I4, S_OK, L"2"},
    {L"1,5", VT_BSTR, VT_R8, DISP_E_TYPEMISMATCH, nullptr},
    {L"44259.5", VT_R8, VT_DATE, S_OK, L"2021-03-04 12:00:00"},
    {L"44259", VT_R8, VT_DATE, S_OK, L"2021-03-04"},
    {L"0.4375", VT_R8, VT_DATE, S_OK, L"10:30:00"},
    {L"0", VT_R8, VT_DATE, S_OK, L"00:00:00"},
    {L"-1.25", VT_R8, VT_DATE, S_OK, L"1899-12-29 06:00:00"},
    {L"1e9", VT_R8, VT_DATE, DISP_E_OVERFLOW, nullptr},
    {L"2021-03-04 05:06:07.25", VT_BSTR, VT_DATE, S_OK, L"2021-03-04 05:06:07.250000"},
    {L"2021-03-04", VT_DATE, VT_R8, S_OK, L"44259"},
};

TEST(Variant, ChangeTypeMatrix) {
  for (const coerce_row& r : kCoercions) {
    VARIANT source = make_text(r.source);
    ASSERT_EQ(VariantChangeType(&source, &source, 0, r.from), S_OK) << r.source;
    ASSERT_EQ(source.vt, r.from);
    VARIANT out;
    VariantInit(&out);
    HRESULT hr = VariantChangeType(&out, &source, 0, r.to);
    EXPECT_EQ(hr, r.hr) << r.source << " " << r.from << "->" << r.to;
    if (SUCCEEDED(hr)) {
      EXPECT_EQ(out.vt, r.to);
      EXPECT_EQ(text_of(out), r.result) << r.source << " " << r.from << "->" << r.to;
    } else {
      EXPECT_EQ(out.vt, VT_EMPTY);  // untouched
    }
    VariantClear(&out);
    VariantClear(&source);
  }
}

TEST(Variant, ChangeTypeSpecialKinds) {
  VARIANT v;
  VariantInit(&v);
  VARIANT out;
  VariantInit(&out);
  ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_BSTR), S_OK);  // empty -> ""
  EXPECT_EQ(SysStringLen(out.bstrVal), 0u);
  ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_I4), S_OK);
  EXPECT_EQ(out.lVal, 0);
  v.vt = VT_NULL;
  EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(out.vt, VT_I4);
  ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_NULL), S_OK);
  EXPECT_EQ(out.vt, VT_NULL);
  v.vt = VT_ARRAY_UI1;
  v.parray = SafeArrayCreateVector(VT_UI1, 0, 2);
  EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_DISPATCH), DISP_E_TYPEMISMATCH);
  VariantClear(&v);
  // A NaN is true and has no integer.
  v.vt = VT_R8;
  v.dblVal = std::nan("");
  ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_BOOL), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
  EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_I8), DISP_E_OVERFLOW);
  // Text to empty clears.
  VARIANT text = make_text(L"x");
  ASSERT_EQ(VariantChangeType(&text, &text, 0, VT_EMPTY), S_OK);
  EXPECT_EQ(text.vt, VT_EMPTY);
  VariantClear(&out);
}

}  // namespace
