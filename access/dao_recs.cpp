// Recordsets of the Access engine: schema and index read-back, appending rows, navigation.
#include "access/dao_recs.h"

#include "OLE/ole_misc.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "TK/tk_nocase.h"
#include "access/dao_engi.h"
#include "platform/dao/dao.h"
#include "platform/oleaut/variant.h"
#include "platform/system/codepage.h"

namespace {
bool enclosed(const std::wstring& s, wchar_t open, wchar_t close) {
  return s.size() >= 2 && s.front() == open && s.back() == close;
}

// Description and Format of a field; a property the field lacks (or that fails) is empty. Most fields lack
// them, so a missing one is told by the result rather than by an exception.
std::wstring property_text(_DAOField* field, const wchar_t* which, const char* error_trace) {
  ole_com_ptr<DAOProperties> props;
  ole_com_ptr<DAOProperty> p;
  VARIANT v;
  VariantInit(&v);
  if (FAILED(field->get_Properties(props.put())) || !props ||
      FAILED(props->get_Item(ole_variant(which).variant, p.put())) || !p || FAILED(p->get_Value(&v))) {
    tk_trace(2, error_trace, dao_exception().message.c_str());
    return std::wstring();
  }
  ole_variant value = ole_variant::from_variant(v);
  VariantClear(&v);
  return value.to_wstring();
}

// The default value text converted to the column's kind; a text the kind cannot read leaves no default.
ole_variant default_of(const std::wstring& text, VARTYPE kind) {
  try {
    return ole_variant::from_wstring(text, kind);
  } catch (const tk_exception& e) {
    tk_trace(2, "Default value not kept: %s", e.message.c_str());
    return ole_variant();
  }
}
// The size, GUID and attachment rules and the description are the same for a table's fields and a
// stored query's fields.
void finish_descriptor(t_ftd& d, short type, int32_t size, const std::wstring& comment, bool trace_attachment) {
  d.size = size;
  if (type == dbGUID) {
    d.vartype = VT_BSTR;
    d.size = 38;
    d.reserved = udb_kind_guid_text;
  } else if (type == dbAttachment) {
    if (trace_attachment) tk_trace(2, "Special processing for dbAttachment");
    d.reserved = udb_kind_attachment;
    d.size = 0;
  }
  d.description = comment;
}

}  // namespace

dao_recordset::dao_recordset(udb_database* database, const std::wstring& name, DAORecordset* recordset,
                             _DAOTableDef* table)
    : udb_recordset(database, name) {
  recordset_.reset(recordset);
  table_.reset(table);
  tk_trace_w(2, L"dao_recordset::dao_recordset(%s)", name.c_str());
  if (!recordset) throw tk_mail_assertion("dao_recs", 46);
  int32_t n = 0;
  dao_check(table_->get_RecordCount(&n));
  count_ = static_cast<uint32_t>(n);
  tk_trace(2, "Got records count: %d", n);
  init_schema(table_.get());
  init_indexes(table_.get());
  dao_check(recordset_->get_EOF(&end_));
  tk_trace(2, "dao_recordset::dao_recordset - END");
}

dao_recordset::dao_recordset(udb_database* database, const std::wstring& name, const std::wstring& query,
                             DAORecordset* recordset, _DAOQueryDef* query_def, uint32_t count)
    : udb_recordset(database, name, query) {
  recordset_.reset(recordset);
  query_.reset(query_def);
  tk_trace_w(2, L"dao_recordset::dao_recordset(%s)", name.c_str());
  if (!recordset) throw tk_mail_assertion("dao_recs", 78);
  count_ = count;
  tk_trace(2, "Got records count: %d", static_cast<int>(count));
  init_schema(query_.get());
  dao_check(recordset_->get_EOF(&end_));
}

dao_recordset::~dao_recordset() {
  tk_trace(2, "dao_recordset::dtor");
  current_.reset();
  if (recordset_) recordset_->Close();
  query_.reset();
  table_.reset();
  recordset_.reset();
}

void dao_recordset::init_schema(_DAOTableDef* table) {
  tk_trace(2, "dao_recordset::init_schema( DAOTableDef * )");
  if (!table) throw tk_mail_assertion("dao_recs", 317);
  ole_com_ptr<DAOFields> fields;
  dao_check(table->get_Fields(fields.put()));
  short count = 0;
  dao_check(fields->get_Count(&count));
  for (short i = 0; i < count; ++i) {
    ole_com_ptr<_DAOField> f;
    dao_check(fields->get_Item(ole_variant(static_cast<int>(i)).variant, f.put()));
    if (!f) throw tk_exception("Unknown exception", 1);
    int32_t kind = udb_kind_none;
    short type = 0;
    dao_check(f->get_Type(&type));
    if (type == dbDate) {
      tk_trace(2, "Make date field more precise");
      kind = udb_kind_datetime;
    }
    int32_t size = 0;
    dao_check(f->get_Size(&size));
    VARIANT dv;
    VariantInit(&dv);
    dao_check(f->get_DefaultValue(&dv));
    std::wstring def_text = ole_variant::from_variant(dv).to_wstring();
    VariantClear(&dv);
    if (type == dbText && enclosed(def_text, L'"', L'"')) {
      tk_trace(2, "Remove quotes for text def.value");
      def_text = def_text.substr(1, def_text.size() - 2);
    }
    tk_trace_w(2, L"def.value='%s'", def_text.c_str());
    std::wstring comment = property_text(f.get(), L"Description", "ERROR1:\n%s");
    tk_trace_w(1, L"Column description='%s'", comment.c_str());
    std::wstring format = property_text(f.get(), L"Format", "ERROR2:\n%s");
    tk_trace_w(2, L"Column format='%s'", format.c_str());
    tk_trace_w(2, L"DAO Field #%d: size=%d, DAO type=%d, def.value=%s, comment=%s", i, size, type, def_text.c_str(),
               comment.c_str());
    if (tk_equal_nocase(format, L"Short Date") || tk_equal_nocase(format, L"Medium Date") ||
        tk_equal_nocase(format, L"Long Date")) {
      tk_trace(2, "Refine type for 'pure' date");
      kind = udb_kind_date;
    } else if (tk_equal_nocase(format, L"Short Time") || tk_equal_nocase(format, L"Medium Time") ||
               tk_equal_nocase(format, L"Long Time")) {
      tk_trace(2, "Refine type for 'pure' time");
      kind = udb_kind_time;
    }
    ole_variant def_value = default_of(def_text, dao_field::get_vartype(type));
    if (!def_text.empty()) {
      std::wstring t = def_text;
      bool formula = t.front() == L'=';
      if (formula) {
        tk_trace(2, "Got def.value of form ='...'");
        t = t.substr(1);
        if (t.size() > 1 && (enclosed(t, L'"', L'"') || enclosed(t, L'\'', L'\''))) t = t.substr(1, t.size() - 2);
      }
      tk_trace_w(1, L"After all processing: %s", t.c_str());
      if (tk_equal_nocase(format, L"On/Off")) {
        if (tk_equal_nocase(t, L"On")) def_value = ole_variant(1);
      } else if (type == dbDate) {
        tk_trace(2, "Got date/time def.value");
        if (enclosed(t, L'#', L'#')) t = t.substr(1, t.size() - 2);
        if (tk_equal_nocase(t, L"now()")) {
          tk_trace(2, "Got NOW()");
          kind = kind == udb_kind_date ? udb_kind_default_date
                 : kind == udb_kind_time ? udb_kind_default_time
                                         : udb_kind_default_now;
        } else if (tk_equal_nocase(t, L"date()")) {
          tk_trace(2, "Got CURRENT_DATE");
          kind = udb_kind_default_date;
        } else if (tk_equal_nocase(t, L"time()")) {
          tk_trace(2, "Got CURRENT_TIME");
          kind = udb_kind_default_time;
        }
      } else if (type == dbText && !formula) {
        tk_trace(2, "Got string def.value");
        if (enclosed(t, L'"', L'"')) t = t.substr(1, t.size() - 2);
      }
      if (type == dbText && size != 0 && static_cast<size_t>(size) < def_text.size())
        tk_trace_w(3, L"Skip incorrect default value [%s] for field #%d", def_text.c_str(), i);
    }
    dao_field column(f.get());
    t_ftd d(column, def_value, kind);
    finish_descriptor(d, type, size, comment, true);
    schema.push_back(d);
  }
  tk_trace(2, "End of dao_recordset::init_schema");
}

void dao_recordset::init_schema(_DAOQueryDef* query) {
  tk_trace(2, "dao_recordset::init_schema( DAOQueryDef * )");
  if (!query) throw tk_mail_assertion("dao_recs", 634);
  ole_com_ptr<DAOFields> fields;
  dao_check(query->get_Fields(fields.put()));
  short count = 0;
  dao_check(fields->get_Count(&count));
  for (short i = 0; i < count; ++i) {
    ole_com_ptr<_DAOField> f;
    dao_check(fields->get_Item(ole_variant(static_cast<int>(i)).variant, f.put()));
    if (!f) throw tk_exception("Unknown exception", 1);
    short type = 0;
    dao_check(f->get_Type(&type));
    VARIANT dv;
    VariantInit(&dv);
    dao_check(f->get_DefaultValue(&dv));
    std::wstring def_text = ole_variant::from_variant(dv).to_wstring();
    VariantClear(&dv);
    std::wstring comment = property_text(f.get(), L"Description", "ERROR1:\n%s");
    property_text(f.get(), L"Format", "ERROR2:\n%s");
    tk_trace_w(2, L"Field #%d: DAO type=%d, default value=%s", i, type, def_text.c_str());
    int32_t kind = udb_kind_none;
    if (type == dbDate) {
      tk_trace(2, "Got date/time def.value");
      if (enclosed(def_text, L'#', L'#')) def_text = def_text.substr(1, def_text.size() - 2);
      kind = udb_kind_datetime;
    } else if (type == dbText) {
      tk_trace(2, "Got string def.value");
      if (enclosed(def_text, L'"', L'"')) def_text = def_text.substr(1, def_text.size() - 2);
    }
    dao_field column(f.get());
    t_ftd d(column, default_of(def_text, dao_field::get_vartype(type)), kind);
    int32_t size = 0;
    dao_check(f->get_Size(&size));
    finish_descriptor(d, type, size, comment, false);
    schema.push_back(d);
  }
  tk_trace(2, "End of dao_recordset::init_schema");
}

void dao_recordset::init_indexes(_DAOTableDef* table) {
  tk_trace(2, "dao_recordset::init_indexes");
  if (!table) throw tk_mail_assertion("dao_recs", 540);
  ole_com_ptr<DAOIndexes> indexes;
  dao_check(table->get_Indexes(indexes.put()));
  short count = 0;
  dao_check(indexes->get_Count(&count));
  tk_trace(2, "Got %d indexes", count);
  for (short i = 0; i < count; ++i) {
    tk_trace(2, "Processing index %d", i);
    ole_com_ptr<_DAOIndex> x;
    dao_check(indexes->get_Item(ole_variant(static_cast<int>(i)).variant, x.put()));
    dao_bstr name;
    dao_check(x->get_Name(&name));
    VARIANT_BOOL foreign = 0, primary = 0, unique = 0;
    dao_check(x->get_Foreign(&foreign));
    tk_trace(2, "tmp_val=%d", foreign);
    if (foreign) {
      tk_trace_w(2, L"Index '%s' is a FK, skip it", name.str().c_str());
      continue;
    }
    dao_check(x->get_Primary(&primary));
    tk_trace(2, "tmp_val=%d", primary);
    dao_check(x->get_Unique(&unique));
    tk_trace(2, "tmp_val=%d", unique);
    tk_trace_w(2, L"Name=%s, is_primary=%d, is_unique=%d", name.str().c_str(), primary, unique);
    VARIANT v;
    VariantInit(&v);
    dao_check(x->get_Fields(&v));
    ole_com_ptr<DAOIndexFields> fields;
    if (v.vt == VT_DISPATCH && v.pdispVal)
      v.pdispVal->QueryInterface(IID_DAOIndexFields, reinterpret_cast<void**>(fields.put()));
    VariantClear(&v);
    short n = 0;
    dao_check(fields->get_Count(&n));
    udb_name_list columns;
    for (short k = 0; k < n; ++k) {
      VARIANT item;
      VariantInit(&item);
      dao_check(fields->get_Item(ole_variant(static_cast<int>(k)).variant, &item));
      ole_com_ptr<_DAOField> f;
      if (item.vt == VT_DISPATCH && item.pdispVal)
        item.pdispVal->QueryInterface(IID__DAOField, reinterpret_cast<void**>(f.put()));
      VariantClear(&item);
      dao_bstr column;
      dao_check(f->get_Name(&column));
      tk_trace_w(1, L"got index field: %s", column.str().c_str());
      columns.push_back(column.str());
    }
    add_index(udb_index(name.str(), unique != 0, primary != 0, columns));
  }
  tk_trace(2, "End of dao_recordset::init_indexes");
}

void dao_recordset::resolve_items() {
  ole_com_ptr<DAOFields> fields;
  dao_check(recordset_->get_Fields(fields.put()));
  if (!fields) throw tk_exception("Unknown exception", 1);
  short count = 0;
  dao_check(fields->get_Count(&count));
  std::vector<std::wstring> names;
  for (short i = 0; i < count; ++i) {
    ole_com_ptr<_DAOField> f;
    dao_check(fields->get_Item(ole_variant(static_cast<int>(i)).variant, f.put()));
    if (!f) throw tk_exception("Unknown exception", 1);
    dao_bstr name;
    dao_check(f->get_Name(&name));
    names.push_back(name.str());
  }
  items_.clear();
  for (const t_ftd& column : schema) {
    int position = -1;
    for (std::size_t i = 0; i < names.size() && position < 0; ++i)
      if (names[i] == column.name) position = static_cast<int>(i);
    for (std::size_t i = 0; i < names.size() && position < 0; ++i)
      if (dao::same_name(names[i], column.name)) position = static_cast<int>(i);
    items_.push_back(position >= 0 ? ole_variant(position) : ole_variant(column.name));
  }
}

void dao_recordset::append_record(const udb_record& record) {
  tk_trace(2, "dao_recordset::append_record");
  if (items_.size() != schema.size()) resolve_items();
  dao_check(recordset_->AddNew());
  tk_trace(2, "\tAdd blank DAO record");
  if (record.size() != schema.size())
    throw tk_exception("The structures of data source does not conform to the destination table.", 0);
  for (size_t d = 0; d < schema.size(); ++d) {
    const t_ftd& column = schema[d];
    const udb_field& field = *record[d];
    VARTYPE kind = field.get_type();
    tk_trace_w(2, L"\tAdd field '%s', type=%08X (value=%s)", column.name.c_str(), kind,
               field.to_wstring().c_str());
    if (column.b_not_null && (kind == VT_EMPTY || kind == VT_NULL)) {
      tk_trace(1, "Got NULL value for not null field");
      ole_variant value = ole_variant::from_wstring(L"", column.vartype);
      dao_check(recordset_->put_Collect(items_[d].variant, value.variant));
    } else if (kind == VT_I1 || kind == VT_UI2 || kind == VT_UI4 || kind == VT_I8 || kind == VT_UI8) {
      ole_variant value = dao_get_valid_variant(field);
      dao_check(recordset_->put_Collect(items_[d].variant, value.variant));
    } else {
      if (kind == VT_DATE && tk_trace_wanted(2)) {
        std::string text = field.to_string();
        size_t at = text.find("0000-00-00");
        if (at != std::string::npos) {
          tk_trace(2, "Null date has been found");
          text.replace(at, 10, "1899-12-30");
        }
        tk_trace(2, "Got date: '%s'", text.c_str());
      }
      // The field's own value, not a copy: DAO copies what it keeps.
      if (FAILED(recordset_->put_Collect(items_[d].variant, field.variant))) {
        dao_exception e;
        // DAO's text names neither the field nor the value; the user needs both to widen the right column.
        if (e.code == tk_dao_code_offset + 3163 && column.vartype == VT_BSTR)
          e.message = "The value of column '" + tk_to_utf8(column.name) + "' is " +
                      std::to_string(dao::text_units(field.to_wstring())) + " UTF-16 units long; its field holds " +
                      std::to_string(column.size) + ". " + e.message;
        throw e;
      }
    }
  }
  ++count_;
  tk_trace(2, "Commit new record into database");
  dao_check(recordset_->Update(dbUpdateRegular, VARIANT_FALSE));
  tk_trace(2, "dao_recordset::append_record - END");
}

udb_record* dao_recordset::get_item() {
  tk_trace(1, "dao_recordset::get_item");
  if (!recordset_) throw tk_mail_assertion("dao_recs", 120);
  current_.reset();
  ole_com_ptr<DAOFields> fields;
  dao_check(recordset_->get_Fields(fields.put()));
  if (!fields) throw tk_exception("Unknown exception", 1);
  tk_trace(1, "dao_recordset::get_item - END");
  current_ = std::make_unique<dao_record>(fields.get());
  return current_.get();
}

void dao_recordset::next() {
  if (!recordset_) throw tk_mail_assertion("dao_recs", 157);
  dao_check(recordset_->MoveNext());
  dao_check(recordset_->get_EOF(&end_));
}

int32_t dao_recordset::prev() {
  if (!recordset_) throw tk_mail_assertion("dao_recs", 168);
  VARIANT_BOOL bof = VARIANT_FALSE;
  dao_check(recordset_->get_BOF(&bof));
  if (!bof) dao_check(recordset_->MovePrevious());
  return 0;
}

void dao_recordset::reset() {
  if (!recordset_) throw tk_mail_assertion("dao_recs", 181);
  if (count_ == 0) return;
  dao_check(recordset_->MoveFirst());
  // The end flag follows the position, so a reset cursor reads from its first row again.
  dao_check(recordset_->get_EOF(&end_));
}
