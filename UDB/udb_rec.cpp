// Fields, records, column descriptors and schemas, with the conformity test of two schemas; see udb_rec.h.
#include "UDB/udb_rec.h"

#include <stdexcept>

#include "TK/tk_log.h"
#include "TK/tk_nocase.h"
#include "platform/oleaut/bstr.h"
#include "platform/oleaut/safearray.h"

namespace {

const char* const out_of_range_text = "invalid vector subscript";

bool is_text(VARTYPE vt) { return vt == VT_BSTR || vt == VT_LPSTR || vt == VT_LPWSTR; }

}  // namespace

bool udb_is_numeric_type(VARTYPE vt) {
  switch (vt) {
    case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY: case VT_BOOL: case VT_DECIMAL:
    case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8:
      return true;
    default:
      return false;
  }
}

bool udb_is_binary_type(VARTYPE vt) { return vt == VT_BLOB || vt == VT_BLOB_OBJECT || vt == VT_ARRAY_UI1; }

// ---- udb_field ----------------------------------------------------------------------------------------------

udb_field::udb_field() { tk_trace(1, "udb_field::empty ctor"); }

udb_field::udb_field(std::wstring name, uint32_t size, const ole_variant& value, bool not_null, bool auto_increment)
    : ole_variant(value), size(size), name(std::move(name)), b_not_null(not_null), auto_increment(auto_increment) {
  tk_trace(1, "udb_field::ctor #2");
  tk_trace_w(1, L"name=%s, size=%d", this->name.c_str(), static_cast<int>(size));
}

udb_field::udb_field(const udb_field& that)
    : ole_variant(that),
      size(that.size),
      name(that.name),
      b_not_null(that.b_not_null),
      auto_increment(that.auto_increment) {
  tk_trace(1, "udb_field::copy ctor");
}

udb_field& udb_field::operator=(const udb_field& that) {
  if (this != &that) {
    ole_variant::operator=(that);
    size = that.size;
    name = that.name;
    b_not_null = that.b_not_null;
    auto_increment = that.auto_increment;
  }
  return *this;
}

udb_field::~udb_field() = default;

VARTYPE udb_field::get_type() const {
  tk_trace(1, "ole_variant::get_type");
  return variant.vt;
}

uint32_t udb_field::get_size() const {
  const VARIANT& v = variant;
  if ((v.vt == VT_SAFEARRAY || v.vt == VT_BLOB || v.vt == VT_ARRAY_UI1) && v.parray != nullptr &&
      SafeArrayGetDim(v.parray) == 1) {
    return v.parray->rgsabound[0].cElements;
  }
  if (get_type() == VT_BSTR) {
    // An engine field may report a text type while it holds no value yet: it holds no text.
    return v.vt == VT_BSTR ? static_cast<uint32_t>(SysStringLen(v.bstrVal)) : 0;
  }
  return size;
}

// ---- udb_record ---------------------------------------------------------------------------------------------

udb_record::udb_record() = default;

udb_record::~udb_record() {
  tk_trace(1, "udb_record::dtor");
  fields_.clear();
}

udb_record::udb_record(udb_record&&) noexcept = default;
udb_record& udb_record::operator=(udb_record&&) noexcept = default;

void udb_record::push_back(std::unique_ptr<udb_field> field) { fields_.push_back(std::move(field)); }

udb_field* udb_record::at(std::size_t i) const {
  if (i >= fields_.size()) throw std::out_of_range(out_of_range_text);
  return fields_[i].get();
}

udb_field* udb_record::find(const std::wstring& name) const {
  tk_trace_w(2, L"udb_record::find_field(%s)", name.c_str());
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    udb_field* field = fields_[i].get();
    if (field == nullptr) continue;
    tk_trace_w(1, L"Processing %s", field->name.c_str());
    if (tk_equal_nocase(field->name, name)) {
      tk_trace(1, "Field found at pos=%d", static_cast<int>(i));
      return field;
    }
  }
  return nullptr;
}

bool udb_record::find_field(const std::wstring& name) const { return find(name) != nullptr; }

const udb_field& udb_record::get_field(const std::wstring& name) const {
  static const udb_field empty;
  const udb_field* field = find(name);
  return field != nullptr ? *field : empty;
}

uint32_t udb_record::get_total_size() const {
  uint32_t total = 0;
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const udb_field* field = fields_[i].get();
    if (field == nullptr) {
      tk_trace(3, "Incorrect field #%d", static_cast<int>(i));
      continue;
    }
    if (field->get_type() != VT_EMPTY) total += field->get_size();
    tk_trace(1, "size=%u", total);
    tk_trace(1, "processed field %d of %d", static_cast<int>(i + 1), static_cast<int>(fields_.size()));
  }
  return total;
}

void udb_record::reset() {
  tk_trace(1, "udb_record::reset");
  fields_.clear();
}

// ---- t_ftd --------------------------------------------------------------------------------------------------

namespace {

void trace_descriptor(const t_ftd& d) {
  tk_trace_w(1, L"\tfield name='%s', vartype=%d, size=%d, b_not_null=%d, reserved=%d", d.name.c_str(),
             static_cast<int>(d.vartype), static_cast<int>(d.size), d.b_not_null ? 1 : 0,
             static_cast<int>(d.reserved));
}

}  // namespace

t_ftd::t_ftd() = default;

t_ftd::t_ftd(const udb_field& field, const ole_variant& def_value, int32_t reserved)
    : size(static_cast<int32_t>(field.get_size())),
      name(field.get_name()),
      vartype(field.get_type()),
      auto_increment(field.auto_increment),
      b_not_null(field.b_not_null),
      def_value(def_value),
      reserved(reserved) {
  tk_trace(2, "t_ftd::ctor1");
  trace_descriptor(*this);
}

t_ftd::t_ftd(int32_t size, std::wstring name, VARTYPE vartype, bool not_null, bool auto_increment,
             const ole_variant& def_value, int32_t reserved, std::wstring native_type)
    : size(size),
      name(std::move(name)),
      vartype(vartype),
      native_type(std::move(native_type)),
      auto_increment(auto_increment),
      b_not_null(not_null),
      def_value(def_value),
      reserved(reserved) {
  tk_trace(2, "t_ftd::ctor2");
  trace_descriptor(*this);
}

bool t_ftd::operator==(const t_ftd& that) const {
  tk_trace(1, "t_ftd::operator ==");
  if ((vartype == VT_DECIMAL && that.vartype == VT_CY) || (vartype == VT_CY && that.vartype == VT_DECIMAL)) {
    return true;
  }
  if (vartype != that.vartype) return false;
  return vartype != VT_BSTR || size == that.size;
}

bool t_ftd::conform_to(const t_ftd& that) const {
  tk_trace(1, "t_ftd::conform_to");
  if (*this == that) {
    tk_trace(1, "Src and dest columns are identical");
    return true;
  }
  tk_trace(1, "that.type=%d", static_cast<int>(that.vartype));
  const VARTYPE dest = that.vartype;
  if (udb_is_numeric_type(dest) || dest == VT_INT || dest == VT_UINT) return udb_is_numeric_type(vartype);
  if (dest == VT_DATE) {
    tk_trace(1, "Processing VT_DATE, size=%d", static_cast<int>(size));
    // A text of exactly "YYYY-MM-DD HH:MM:SS" carries a date and time.
    return vartype == VT_DATE || (vartype == VT_BSTR && size == 19);
  }
  if (is_text(dest)) {
    if (is_text(vartype)) {
      tk_trace(1, "Src and dest columns are both text");
      return !(that.size != 0 && that.size < size && that.size < 0xFFFF);
    }
    return !udb_is_binary_type(vartype);
  }
  if (udb_is_binary_type(dest)) {
    if (is_text(vartype) || udb_is_binary_type(vartype)) {
      tk_trace(1, "Src is BLOB and dest is TEXT");
      return !(that.size != 0 && that.size < size);
    }
    return true;
  }
  return false;
}

// ---- udb_schema ---------------------------------------------------------------------------------------------

udb_schema::udb_schema() = default;
udb_schema::~udb_schema() = default;
udb_schema::udb_schema(const udb_schema&) = default;
udb_schema& udb_schema::operator=(const udb_schema&) = default;
udb_schema::udb_schema(udb_schema&&) noexcept = default;
udb_schema& udb_schema::operator=(udb_schema&&) noexcept = default;

const t_ftd& udb_schema::at(std::size_t i) const {
  if (i >= columns_.size()) throw std::out_of_range(out_of_range_text);
  return columns_[i];
}

t_ftd& udb_schema::at(std::size_t i) {
  if (i >= columns_.size()) throw std::out_of_range(out_of_range_text);
  return columns_[i];
}

const t_ftd* udb_schema::find_descriptor(const std::wstring& name) const {
  tk_trace(1, "Schema size=%d", static_cast<int>(columns_.size()));
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    tk_trace(1, "Iterating field #%d", static_cast<int>(i));
    tk_trace_w(1, L"Compare with field: '%s'", columns_[i].name.c_str());
    if (tk_equal_nocase(columns_[i].name, name)) return &columns_[i];
  }
  return nullptr;
}

t_ftd* udb_schema::find_descriptor(const std::wstring& name) {
  return const_cast<t_ftd*>(static_cast<const udb_schema*>(this)->find_descriptor(name));
}

bool udb_schema::find_field(const std::wstring& name) const {
  tk_trace_w(2, L"udb_schema::find_field(%s)", name.c_str());
  const bool found = find_descriptor(name) != nullptr;
  tk_trace(1, found ? "Field found!!!" : "Field NOT found!!!");
  return found;
}

namespace {

const t_ftd& empty_descriptor() {
  static const t_ftd empty;
  return empty;
}

}  // namespace

const t_ftd& udb_schema::get_field1(const std::wstring& name) const {
  tk_trace_w(2, L"udb_schema::get_field1(%s)", name.c_str());
  if (const t_ftd* d = find_descriptor(name)) return *d;
  tk_trace_w(2, L"Field '%s' not found", name.c_str());
  return empty_descriptor();
}

const t_ftd& udb_schema::get_field2(const std::wstring& name) const {
  tk_trace_w(2, L"udb_schema::get_field2(%s)", name.c_str());
  if (const t_ftd* d = find_descriptor(name)) return *d;
  tk_trace_w(2, L"Field '%s' not found", name.c_str());
  return empty_descriptor();
}

int32_t udb_schema::get_field_size(const std::wstring& name) const {
  if (const t_ftd* d = find_descriptor(name)) return d->size;
  tk_trace_w(3, L"Field '%s' not found", name.c_str());
  return -1;
}

VARTYPE udb_schema::get_field_type(const std::wstring& name) const {
  if (const t_ftd* d = find_descriptor(name)) return d->vartype;
  tk_trace_w(2, L"Field '%s' not found", name.c_str());
  return VT_NULL;
}

bool udb_schema::conform_to(const udb_schema& that, bool by_name) const {
  tk_trace(2, "udb_schema::conform_to");
  if (columns_.size() != that.columns_.size()) {
    tk_trace(2, "Tables are not conformed: src_size=%d, dest_size=%d", static_cast<int>(columns_.size()),
             static_cast<int>(that.columns_.size()));
    return false;
  }
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    const t_ftd& src = columns_[i];
    const t_ftd* dest = &that.columns_[i];
    if (by_name) {
      dest = that.find_descriptor(src.name);
      if (dest == nullptr) {
        tk_trace_w(2, L"Field '%s' is not found in record", src.name.c_str());
        return false;
      }
    }
    if (!src.conform_to(*dest)) {
      tk_trace(2, "Column #%d doesn't conform (src_vt=%d, src_size=%d, dest_vt=%d, dest_size=%d)",
               static_cast<int>(i + 1), static_cast<int>(src.vartype), static_cast<int>(src.size),
               static_cast<int>(dest->vartype), static_cast<int>(dest->size));
      return false;
    }
  }
  return true;
}
