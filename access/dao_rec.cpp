// DAO fields and rows, and the type mappings between variant kinds and DAO field types.
#include "access/dao_rec.h"

#include "OLE/ole_misc.h"
#include "TK/tk_log.h"
#include "access/dao_engi.h"
#include "platform/oleaut/variant.h"

namespace {
// Replaces DAO's day zero in a date text: "1899-12-30 10:30:00" -> "0000-00-00 10:30:00", "1899-12-30" ->
// "00:00:00".
template <class S>
S unfake_date(S text, const S& day_zero, const S& zero_date, const S& midnight) {
  size_t at = text.find(day_zero);
  if (at == S::npos) return text;
  tk_trace(1, "Fake date has been found");
  if (text.size() > day_zero.size()) return text.replace(at, day_zero.size(), zero_date);
  tk_trace(1, "Transform pure fake date to pure time");
  return midnight;
}
}  // namespace

dao_field::dao_field(_DAOField* field) {
  if (!field) throw tk_mail_assertion("dao_rec", 27);
  tk_trace(1, "dao_field::ctor");
  field_.reset(field);
  dao_bstr field_name;
  dao_check(field->get_Name(&field_name));
  name = field_name.str();
  int32_t dao_size = 0;
  dao_check(field->get_Size(&dao_size));
  size = static_cast<uint32_t>(dao_size);
  short native = 0;
  dao_check(field->get_Type(&native));
  tk_trace_w(1, L"Field name='%s', size=%d, native type=%d", name.c_str(), dao_size, native);
  VARIANT_BOOL required = VARIANT_FALSE;
  dao_check(field->get_Required(&required));
  b_not_null = required == VARIANT_TRUE;
  int32_t attributes = 0;
  dao_check(field->get_Attributes(&attributes));
  auto_increment = (attributes & dbAutoIncrField) != 0;
  VARIANT v;
  VariantInit(&v);
  field->get_Value(&v);  // a field without a current value (a TableDef field) stays empty
  tk_trace(1, "src.vt=%d", v.vt);
  if (v.vt == VT_NULL) tk_trace(1, "*** NULL *** ");
  if (v.vt == VT_DATE) tk_trace(1, "Special processing for VT_DATE");
  if (v.vt == VT_DISPATCH && native == dbAttachment) {
    // An attachment's value is a recordset of its files; its first field stands for the value.
    tk_trace(1, "Special processing for dbAttachment");
    if (!v.pdispVal) {
      tk_trace(1, "IDispatch pointer is NULL");
    } else {
      ole_com_ptr<DAORecordset> files;
      HRESULT hr = v.pdispVal->QueryInterface(IID_DAORecordset, reinterpret_cast<void**>(files.put()));
      tk_trace(1, SUCCEEDED(hr) ? "We've got DAORecordset interface!" : "FAILED to get DAORecordset interface");
      int32_t n = 0;
      files->get_RecordCount(&n);
      tk_trace(1, "n_records=%d", n);
      ole_com_ptr<DAOFields> fields;
      files->get_Fields(fields.put());
      if (!fields) throw tk_exception("Unknown exception", 1);
      dao_record r(fields.get());
      tk_trace(1, "r.size()=%d", static_cast<int>(r.size()));
      if (r.size() > 0) static_cast<ole_variant&>(*this) = static_cast<const ole_variant&>(*r[0]);
    }
  } else {
    static_cast<ole_variant&>(*this) = ole_variant::from_variant(v);
  }
  VariantClear(&v);
  tk_trace(1, "Got DAO field: %s", to_string().c_str());
}

dao_field::~dao_field() = default;

short dao_field::get_native_type(const t_ftd& c) {
  tk_trace(1, "dao_field::get_native_type(%d)", c.vartype);
  switch (c.vartype) {
    case VT_I2: case VT_I1: return dbInteger;
    case VT_I4: case VT_UI2: return dbLong;
    case VT_R4: return dbSingle;
    case VT_R8: case VT_DECIMAL: case VT_UI4: case VT_I8: case VT_UI8: return dbDouble;
    case VT_CY: return dbCurrency;
    case VT_DATE: return dbDate;
    case VT_BSTR: return c.size >= 1 && c.size <= 255 ? dbText : dbMemo;
    case VT_BOOL: return dbBoolean;
    case VT_UI1: return dbByte;
    case VT_BLOB: case VT_BLOB_OBJECT: case VT_ARRAY_UI1:
      if (c.reserved == udb_kind_binary_as_memo) return dbMemo;
      return c.size >= 1 && c.size <= 255 ? dbBinary : dbLongBinary;
  }
  throw ole_type_exception();
}

int32_t dao_field::get_native_size(const t_ftd& c) {
  if (c.beyond_bmp && get_native_type(c) == dbText) return c.size > 127 ? 255 : 2 * c.size;
  return c.size;
}

VARTYPE dao_field::get_vartype(short t) {
  tk_trace(1, "dao_field::get_vartype(%d)", t);
  switch (t) {
    case dbBoolean: return VT_BOOL;
    case dbByte: return VT_UI1;
    case dbInteger: return VT_I2;
    case dbLong: return VT_I4;
    case dbCurrency: return VT_CY;
    case dbSingle: return VT_R4;
    case dbDouble: case dbNumeric: case dbDecimal: case dbFloat: return VT_R8;
    case dbDate: case dbTime: return VT_DATE;
    case dbText: case dbMemo: return VT_BSTR;
  }
  return VT_ARRAY_UI1;
}

VARTYPE dao_field::get_type() const {
  tk_trace(1, "dao_field::get_type");
  if (vt() != VT_EMPTY) {
    tk_trace(1, "Use ole_variant::get_type");
    tk_trace(1, "vt1=%08X", vt());
    return vt();
  }
  if (!field_) throw tk_mail_assertion("dao_rec", 388);
  tk_trace(1, "Use DAO methods to extract field type");
  short t = 0;
  dao_check(field_->get_Type(&t));
  VARTYPE out = get_vartype(t);
  tk_trace(1, "vt2=%08X", out);
  return out;
}

std::string dao_field::to_string() const {
  tk_trace(1, "dao_field::to_string(vt=%08X)", get_type());
  if (!field_) throw tk_mail_assertion("dao_rec", 255);
  short t = 0;
  dao_check(field_->get_Type(&t));
  std::string text = ole_variant::to_string();
  if (get_type() != VT_DATE) return text;
  return unfake_date<std::string>(text, "1899-12-30", "0000-00-00", "00:00:00");
}

std::wstring dao_field::to_wstring() const {
  tk_trace(1, "dao_field::to_wstring(vt=%08X)", get_type());
  std::wstring text = ole_variant::to_wstring();
  if (get_type() != VT_DATE) return text;
  return unfake_date<std::wstring>(text, L"1899-12-30", L"0000-00-00", L"00:00:00");
}

dao_record::dao_record(DAOFields* fields) {
  if (!fields) throw tk_mail_assertion("dao_rec", 438);
  fields_.reset(fields);
  tk_trace(1, "dao_record::dao_record: n_refs = %d", static_cast<int>(get_com_ref_count(fields)));
  short count = 0;
  dao_check(fields->get_Count(&count));
  for (short i = 0; i < count; ++i) {
    ole_com_ptr<_DAOField> f;
    fields->get_Item(ole_variant(static_cast<int>(i)).variant, f.put());
    if (!f) throw tk_exception("Unknown exception", 1);
    push_back(std::make_unique<dao_field>(f.get()));
  }
}

dao_record::~dao_record() {
  fields_.reset();
  reset();
}

namespace {

// `value` in the kind DAO takes for an integer kind it does not take; empty for every other kind. Each case
// returns the value it makes, so that no temporary is made, moved and cleared for every value of a row.
ole_variant widened(const ole_variant& value) {
  // Straight numeric conversions: each integer is exact in the wider kind, and a 64-bit one becomes the nearest
  // double, as reading its decimal text would give.
  switch (value.vt()) {
    case VT_I8:
      tk_trace(1, "Converting BIGINT value to double");
      return ole_variant(static_cast<double>(value.i64_value));
    case VT_UI8:
      tk_trace(1, "Converting BIGINT value to double");
      return ole_variant(static_cast<double>(value.ui64_value));
    case VT_UI2:
      tk_trace(1, "Converting VT_UI2 value to integer");
      return ole_variant(static_cast<int>(value.variant.uiVal));
    case VT_UI4:
      tk_trace(1, "Converting VT_UI4 value to double");
      return ole_variant(static_cast<double>(value.variant.ulVal));
    case VT_I1:
      tk_trace(1, "Converting VT_I1 value to short");
      return ole_variant(static_cast<short>(value.variant.cVal));
    default:
      return ole_variant();
  }
}

}  // namespace

ole_variant dao_get_valid_variant(const ole_variant& value) {
  tk_trace(1, "dao_get_valid_variant");
  tk_trace(1, "ole_variant::get_type");
  ole_variant out = widened(value);
  if (out.vt() != VT_EMPTY) tk_trace(1, ">>> %s", out.to_string().c_str());
  return out;
}
