// The open Access file: catalogue reading, table creation, recordsets, queries, deletion, relationships.
#include "access/dao_db.h"

#include <algorithm>

#include "OLE/ole_date.h"
#include "OLE/ole_misc.h"
#include "OLE/ole_var.h"
#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "TK/tk_nocase.h"
#include "access/dao_rec.h"
#include "access/dao_recs.h"
#include "platform/dao/dao.h"
#include "platform/oleaut/bstr.h"
#include "platform/oleaut/variant.h"
#include "platform/system/codepage.h"

namespace {

constexpr int32_t linked_table = 0x40000000;
constexpr int32_t system_table = static_cast<int32_t>(0x80000002u);

template <class T>
void need_object(const ole_com_ptr<T>& p) {
  if (!p) throw tk_exception("Unknown exception", 1);
}


// The DAOIndexFields of an index (its Fields come as a dispatch to be asked for the interface).
ole_com_ptr<DAOIndexFields> index_fields(_DAOIndex* index) {
  VARIANT v;
  VariantInit(&v);
  dao_check(index->get_Fields(&v));
  ole_com_ptr<DAOIndexFields> out;
  if (v.vt == VT_DISPATCH && v.pdispVal)
    v.pdispVal->QueryInterface(IID_DAOIndexFields, reinterpret_cast<void**>(out.put()));
  VariantClear(&v);
  need_object(out);
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------------- query rewriting

std::wstring replace_function_call(const std::wstring& text, const std::wstring& what, const std::wstring& with) {
  std::wstring s = text;
  size_t at = tk_find_nocase(s, what, 0);
  while (at != std::wstring::npos) {
    s.replace(at, what.size(), with);
    // Searching on after the replacement: a replacement that holds the searched text is not searched again.
    at = tk_find_nocase(s, what, at + std::max<size_t>(1, with.size()));
  }
  return s;
}

std::wstring replace_function_call2(const std::wstring& text, const std::wstring& what, const std::wstring& with) {
  std::wstring s = text;
  size_t at = tk_find_nocase(s, what, 0);
  while (at != std::wstring::npos) {
    bool starts = at == 0 || !tk_is_alnum(s[at - 1]);
    size_t after = at + what.size();
    bool ends = after == s.size() || s[after] == L' ' || s[after] == L'(' || s[after] == L'\t' ||
                s[after] == L'\r' || s[after] == L'\n';
    size_t next = at + 1;
    if (starts && ends) {
      s.replace(at, what.size(), with);
      next = at + std::max<size_t>(1, with.size());
    }
    at = tk_find_nocase(s, what, next);
  }
  return s;
}

std::wstring rewrite_access_query(const std::wstring& sql) {
  static const wchar_t* const pairs[][2] = {
      {L"alike", L"like"}, {L"asc", L"ascii"},     {L"chr", L"char"},       {L"clng", L"round"},
      {L"iif", L"if"},     {L"lcase", L"lower"},   {L"left$", L"left"},     {L"len", L"length"},
      {L"mid$", L"mid"},   {L"nz", L"ifnull"},     {L"right$", L"right"},   {L"sqr", L"sqrt"},
      {L"stdev", L"stddev"}, {L"strcomp", L"strcmp"}, {L"ucase", L"upper"},
  };
  std::wstring s = replace_function_call(sql, L"]![", L"].[");
  for (const auto& p : pairs) s = replace_function_call2(s, p[0], p[1]);
  s = replace_function_call(s, L"<>", L"!=");
  return replace_function_call(s, L"WITH OWNERACCESS OPTION", L"");
}

// ---------------------------------------------------------------------------------------------- dao_database

dao_database::dao_database(const std::wstring& path, DAODatabase* database, int32_t mode)
    : udb_database(path, mode, 0), database_(database) {
  tk_trace_w(2, L"dao_database::dao_database( %s, mode=%d )", path.c_str(), mode);
  if (!database) throw tk_mail_assertion("dao_db", 59);
  dao_bstr version;
  dao_check(database_->get_Version(&version));
  text_in_code_page_ = version.str() == L"3.0";
  dao_check(database_->get_TableDefs(table_defs_.put()));
  need_object(table_defs_);
  short count = 0;
  dao_check(table_defs_->get_Count(&count));
  for (short i = 0; i < count; ++i) {
    ole_com_ptr<_DAOTableDef> t;
    dao_check(table_defs_->get_Item(ole_variant(static_cast<int>(i)).variant, t.put()));
    need_object(t);
    dao_bstr name;
    dao_check(t->get_Name(&name));
    int32_t attributes = 0;
    dao_check(t->get_Attributes(&attributes));
    std::wstring n = name.str();
    if (attributes & linked_table) {
      tk_trace_w(2, L"Skip linked table '%s'", n.c_str());
    } else if (attributes & system_table) {
      tk_trace_w(2, L"Skip system table '%s'", n.c_str());
    } else {
      tk_trace_w(2, L"Got table: '%s'", n.c_str());
      tables.push_back(n);
    }
  }
  tk_trace(2, "Right before extracting queries/vews");
  if (!(mode & 0x80)) {
    try {
      init_views();
    } catch (const dao_exception& e) {
      tk_trace(2, "ERROR1:\n%s", e.message.c_str());
    }
  }
  tk_trace(2, "Right before extracting FKs");
  if (!(mode & 0x60)) {
    try {
      init_fkeys();
    } catch (const dao_exception& e) {
      tk_trace(3, "ERROR2:\n%s", e.message.c_str());
    }
  }
  tk_trace(2, "dao_database::ctor - END");
}

dao_database::~dao_database() {
  tk_trace(1, "dao_database::~dao_database");
  // Only close() writes the file: a run that did not reach its end leaves the destination as it was.
  if (!closed_) tk_trace(2, "dao_database::~dao_database - changes given up");
  table_defs_.reset();
  query_defs_.reset();
  database_.reset();
  tk_trace(1, "dao_database::~dao_database - END");
}

void dao_database::close() {
  tk_trace(1, "dao_database::close");
  if (closed_) return;
  closed_ = true;
  table_defs_.reset();
  query_defs_.reset();
  dao_check(database_->Close());
}

void dao_database::init_views() {
  tk_trace(2, "dao_database::init_views");
  dao_check(database_->get_QueryDefs(query_defs_.put()));
  need_object(query_defs_);
  short count = 0;
  dao_check(query_defs_->get_Count(&count));
  tk_trace(2, "Got %d queries", count);
  for (short i = 0; i < count; ++i) {
    ole_com_ptr<_DAOQueryDef> q;
    dao_check(query_defs_->get_Item(ole_variant(static_cast<int>(i)).variant, q.put()));
    need_object(q);
    dao_bstr name, sql;
    dao_check(q->get_Name(&name));
    tk_trace_w(2, L"Got query name: '%s'", name.str().c_str());
    dao_check(q->get_SQL(&sql));
    tk_trace_w(2, L"Got query SQL: '%s'", sql.str().c_str());
    views.emplace_back(name.str(), rewrite_access_query(sql.str()));
  }
}

ole_com_ptr<DAORecordset> dao_database::open_statement(const std::wstring& sql, VARIANT type, int32_t options) {
  ole_com_ptr<_DAOQueryDef> q;
  dao_check(database_->CreateQueryDef(ole_variant(L"").variant, ole_variant(sql).variant, q.put()));
  need_object(q);
  ole_com_ptr<DAORecordset> r;
  dao_check(q->OpenRecordset(type, ole_variant(static_cast<int>(options)).variant, r.put()));
  need_object(r);
  return r;
}

std::unique_ptr<udb_recordset> dao_database::create_table(const std::wstring& name, const udb_schema& schema,
                                                          const udb_indexes& indexes) {
  tk_trace_w(2, L"dao_database::create_table (%s)", name.c_str());
  if (mode & 0x01) throw tk_mail_assertion("dao_db", 153);
  if (is_table_exist(name)) {
    if (mode & 0x08) return get_table(name, 8);
    throw tk_mail_assertion("dao_db", 159);
  }
  ole_com_ptr<_DAOTableDef> t;
  dao_check(database_->CreateTableDef(ole_variant(name).variant, ole_variant(0).variant, ole_variant(L"").variant,
                                  ole_variant(L"").variant, t.put()));
  need_object(t);
  dao_schema_initializer columns(t.get(), schema, text_in_code_page_);
  columns.initialize();
  dao_indexes_initializer keys(t.get(), columns, indexes, columns.renamings());
  keys.initialize();
  tk_trace(1, "Right before Append");
  dao_check(table_defs_->Append(t.get()));
  t.reset();
  tables.push_back(name);
  tk_trace_w(2, L"udb_names_map::add_fn_map(%s)", name.c_str());
  names_map.add_fn_map(name, columns.renamings());
  return get_table(name, 2);
}

std::unique_ptr<udb_recordset> dao_database::get_table(const std::wstring& name, int32_t flag) {
  tk_trace_w(2, L"dao_database::get_table(%s, %d)", name.c_str(), flag);
  if (!is_table_exist(name)) {
    tk_trace_w(2, L"Table '%s' does not exists", name.c_str());
    throw tk_mail_assertion("dao_db", 298);
  }
  if (!table_defs_) throw tk_mail_assertion("dao_db", 308);
  ole_com_ptr<_DAOTableDef> t;
  dao_check(table_defs_->get_Item(ole_variant(name).variant, t.put()));
  need_object(t);
  tk_trace(1, "Right after tdfs->getItem");
  int32_t attributes = 0;
  dao_check(t->get_Attributes(&attributes));
  if ((attributes & linked_table) || (attributes & system_table)) return nullptr;
  ole_com_ptr<DAORecordset> r =
      open_statement(L"SELECT * FROM [" + name + L"]", ole_variant(2).variant, (flag & 0x01) ? 4 : 8);
  tk_trace(1, "Right after src->CreateQueryDef");
  return std::make_unique<dao_recordset>(this, name, r.get(), t.get());
}

std::unique_ptr<udb_recordset> dao_database::get_query(const std::wstring& name, const std::wstring& sql,
                                                       int32_t flag) {
  tk_trace_w(2, L"dao_database::get_query(%s, %s, %d)", name.c_str(), sql.c_str(), flag);
  ole_com_ptr<_DAOQueryDef> q;
  dao_check(database_->CreateQueryDef(ole_variant(L"").variant, ole_variant(sql).variant, q.put()));
  need_object(q);
  get_records_count(sql);
  ole_com_ptr<DAORecordset> r;
  dao_check(q->OpenRecordset(ole_variant(2).variant, ole_variant((flag & 0x01) ? 4 : 8).variant, r.put()));
  need_object(r);
  uint32_t count = get_records_count(sql);
  return std::make_unique<dao_recordset>(this, name, sql, r.get(), q.get(), count);
}

uint32_t dao_database::get_records_count(const std::wstring& sql) {
  ole_com_ptr<DAORecordset> r =
      open_statement(L"select count(*) from (" + sql + L")", ole_variant(static_cast<short>(2)).variant, 4);
  dao_check(r->MoveFirst());
  ole_com_ptr<DAOFields> fields;
  dao_check(r->get_Fields(fields.put()));
  need_object(fields);
  ole_com_ptr<_DAOField> f;
  dao_check(fields->get_Item(ole_variant(0).variant, f.put()));
  need_object(f);
  VARIANT v, n;
  VariantInit(&v);
  VariantInit(&n);
  dao_check(f->get_Value(&v));
  HRESULT hr = VariantChangeType(&n, &v, 0, VT_UI4);
  VariantClear(&v);
  return SUCCEEDED(hr) ? n.ulVal : 0;
}

bool dao_database::test_query(const std::wstring& sql) {
  tk_trace_w(2, L"dao_database::test_query(%s)", sql.c_str());
  ole_com_ptr<_DAOQueryDef> q;
  if (FAILED(database_->CreateQueryDef(ole_variant(L"").variant, ole_variant(sql).variant, q.put())) || !q)
    return false;
  ole_com_ptr<DAORecordset> r;
  return SUCCEEDED(q->OpenRecordset(ole_variant(2).variant, ole_variant(1).variant, r.put()));
}

bool dao_database::delete_tab(const std::wstring& name) {
  tk_trace_w(1, L"dao_database::delete_tab(%s)", name.c_str());
  if (mode & 0x01) throw tk_mail_assertion("dao_db", 203);
  if (!is_table_exist(name)) throw tk_mail_assertion("dao_db", 204);
  dao_bstr n(name);
  dao_check(table_defs_->Delete(n));
  return udb_database::delete_tab(name);
}

// ---------------------------------------------------------------------------------------------- initialisers

dao_schema_initializer::dao_schema_initializer(_DAOTableDef* table, const udb_schema& source,
                                               bool text_in_code_page)
    : table_(table), validator_(source), text_in_code_page_(text_in_code_page) {
  tk_trace(2, "dao_schema_initializer::ctor");
  if (text_in_code_page) validator_.hold_names_in_code_page();
  for (const t_ftd& c : source) {
    bool acceptable = validator_.is_acceptable(c.name);
    std::wstring dest = acceptable ? c.name : validator_.get_safe_name(c.name);
    push_back(t_ftd(c.size, dest, c.vartype, c.b_not_null, c.auto_increment, c.def_value, c.reserved, L""));
    // A file whose text is in a code page stores any character as one byte ('?' when the code page lacks it),
    // so a character beyond the BMP needs no second UTF-16 unit of room there.
    (*this)[size() - 1].beyond_bmp = c.beyond_bmp && !text_in_code_page;
    if (!acceptable) {
      tk_trace_w(2, L"Store generated column name '%s'", dest.c_str());
      validator_.add_existing_name(dest);
      validator_.add_mapped_pair(c.name, dest);
    }
    validator_.add_restricted_name(dest);
  }
}

std::wstring dao_schema_initializer::quote_def_value(const std::wstring& text) {
  tk_trace_w(1, L"dao_schema_initializer::quote_def_value(%s)", text.c_str());
  if (text.find(L'"') == std::wstring::npos) return L"\"" + text + L"\"";
  if (text.find(L'\'') == std::wstring::npos) return L"'" + text + L"'";
  std::wstring s = text;
  for (wchar_t& c : s)
    if (c == L'"') c = L'\'';
  return L"\"" + s + L"\"";
}

void dao_schema_initializer::put_default(_DAOField* field, const t_ftd& column, short dao_type) {
  if (column.vartype == VT_DATE && column.reserved == udb_kind_default_now) {
    tk_trace(2, "Processing def.value NOW()");
    dao_check(field->put_DefaultValue(ole_variant(L"Now()").variant));
    return;
  }
  if (column.vartype == VT_DATE && column.reserved == udb_kind_default_date) {
    tk_trace(2, "Processing def.value Date()");
    dao_check(field->put_DefaultValue(ole_variant(L"Date()").variant));
    return;
  }
  std::wstring text = column.def_value.to_wstring();
  if (text.empty()) return;
  // Access offers no default value for binary fields (and a byte array is no default expression).
  if (dao_type == dbBinary || dao_type == dbLongBinary || is_binary_vartype(column.def_value.vt())) return;
  VARTYPE kind = column.def_value.vt();
  tk_trace_w(2, L"Putting default value: (%d, %s)", static_cast<int>(kind), text.c_str());
  if (kind == VT_I1 || kind == VT_UI2 || kind == VT_UI4 || kind == VT_I8 || kind == VT_UI8) {
    dao_check(field->put_DefaultValue(dao_get_valid_variant(column.def_value).variant));
  } else if (column.vartype == VT_DATE || column.vartype == VT_BSTR) {
    if (column.vartype == VT_DATE) {
      tk_trace(2, "Got DATE def value");
      text = ole_date(text).to_wstring(6);
      tk_trace_w(1, L"After canonization: %s", text.c_str());
      if (text.empty()) return;
    }
    dao_check(field->put_DefaultValue(ole_variant(quote_def_value(text)).variant));
  } else {
    dao_check(field->put_DefaultValue(column.def_value.variant));
  }
}

void dao_schema_initializer::initialize() {
  tk_trace(2, "dao_schema_initializer::initialize");
  ole_com_ptr<DAOFields> fields;
  dao_check(table_->get_Fields(fields.put()));
  need_object(fields);
  int32_t total = 0;
  int n = 0;
  for (const t_ftd& c : *this) {
    total += c.size;
    tk_trace(2, "Field #%d: type=%d, size=%d, dw_reserved=%d, total size=%d", n++, c.vartype, c.size, c.reserved,
             total);
    short type = dao_field::get_native_type(c);
    ole_com_ptr<_DAOField> f;
    dao_check(table_->CreateField(ole_variant(c.name).variant, ole_variant(static_cast<int>(type)).variant,
                              ole_variant(static_cast<int>(dao_field::get_native_size(c))).variant, f.put()));
    need_object(f);
    dao_check(f->put_Required(c.b_not_null ? VARIANT_TRUE : VARIANT_FALSE));
    if (type == dbText || type == dbMemo) {
      tk_trace(2, "Set AllowZeroLength flag");
      dao_check(f->put_AllowZeroLength(VARIANT_TRUE));
    }
    put_default(f.get(), c, type);
    if (type == dbLong && c.auto_increment) {
      int32_t attributes = 0;
      dao_check(f->get_Attributes(&attributes));
      dao_check(f->put_Attributes(attributes | dbAutoIncrField));
    }
    dao_check(fields->Append(f.get()));
  }
}

dao_indexes_initializer::dao_indexes_initializer(_DAOTableDef* table, const dao_schema_initializer& schema,
                                                 const udb_indexes& source,
                                                 const std::map<std::wstring, std::wstring>& renamings)
    : table_(table), validator_(source), schema_(schema), renamings_(renamings) {
  tk_trace(2, "dao_indexes_initializer::ctor");
  if (schema.text_in_code_page()) validator_.hold_names_in_code_page();
  for (const udb_index& x : source) {
    if (x.columns.size() > 10) continue;
    bool acceptable = validator_.is_acceptable(x.name);
    std::wstring name = acceptable ? x.name : validator_.get_safe_name(x.name);
    udb_name_list columns;
    bool indexable = true;
    for (const std::wstring& col : x.columns) {
      tk_trace_w(1, L"t_names_map::get_mapped_name(%s)", col.c_str());
      std::wstring dest = col;
      for (const auto& [from, to] : renamings_)
        if (dao::same_name(from, col)) {
          dest = to;
          tk_trace_w(1, L"Got mapped name: %s", dest.c_str());
        }
      const t_ftd& d = schema_.get_field1(dest);
      // Access cannot index Memo, OLE Object or binary columns.
      bool memo_or_ole = false;
      if (d.vartype != VT_EMPTY) {
        try {
          short type = dao_field::get_native_type(d);
          memo_or_ole = type == dbMemo || type == dbLongBinary;
        } catch (const tk_exception&) {
        }
      }
      if (d.vartype == VT_BLOB || d.vartype == VT_ARRAY_UI1 || (d.vartype == VT_BSTR && d.size > 255) ||
          memo_or_ole) {
        tk_trace_w(2, L"Field '%s' cannot be part of index", dest.c_str());
        indexable = false;
        break;
      }
      columns.push_back(dest);
    }
    if (indexable) {
      tk_trace_w(1, L"udb_index::ctor('%s',%d,%d)", name.c_str(), x.unique, x.primary);
      list_.push_back(udb_index(name, x.unique, x.primary, columns));
      if (!acceptable) {
        tk_trace_w(2, L"Store generated index name '%s'", name.c_str());
        validator_.add_existing_name(name);
      }
    }
    validator_.add_restricted_name(name);
  }
}

void dao_indexes_initializer::initialize() {
  tk_trace(2, "dao_indexes_initializer::initialize");
  ole_com_ptr<DAOIndexes> indexes;
  dao_check(table_->get_Indexes(indexes.put()));
  need_object(indexes);
  size_t made = 0;
  for (const udb_index& x : list_) {
    if (made++ == 32) break;
    tk_trace_w(2, L"Process index %s, primary=%d, unique=%d", x.name.c_str(), x.primary, x.unique);
    ole_com_ptr<_DAOIndex> index;
    dao_check(table_->CreateIndex(ole_variant(x.name).variant, index.put()));
    need_object(index);
    ole_com_ptr<DAOIndexFields> fields = index_fields(index.get());
    for (const std::wstring& col : x.columns) {
      tk_trace_w(2, L"\tProcess index field %s", col.c_str());
      const t_ftd& d = schema_.get_field1(col);
      ole_com_ptr<_DAOField> f;
      dao_check(index->CreateField(ole_variant(col).variant,
                               ole_variant(static_cast<int>(dao_field::get_native_type(d))).variant,
                               ole_variant(static_cast<int>(dao_field::get_native_size(d))).variant, f.put()));
      need_object(f);
      dao_check(fields->Append(f.get()));
    }
    dao_check(index->put_Primary(x.primary ? VARIANT_TRUE : VARIANT_FALSE));
    dao_check(index->put_Unique(x.unique ? VARIANT_TRUE : VARIANT_FALSE));
    dao_check(indexes->Append(index.get()));
  }
}

// ---------------------------------------------------------------------------------------------- relationships

bool dao_database::is_system_table(const std::wstring& name) {
  static const wchar_t* const internal[] = {L"MSysNavPaneGroups", L"MSysNavPaneGroupCategories",
                                            L"MSysNavPaneGroupToObjects"};
  for (const wchar_t* t : internal)
    if (dao::same_name(name, t)) {
      tk_trace_w(2, L"%s is a system/internal tables", name.c_str());
      return true;
    }
  return false;
}

std::wstring dao_database::gen_ui_name(const std::wstring& table, const std::tm& local_time) {
  char buf[32];
  std::strftime(buf, sizeof buf, "%y%m%d%H%M%S", &local_time);
  std::wstring stamp = sys_utf8_to_wide(buf);
  tk_trace_w(2, L"buf=%s", stamp.c_str());
  // Access names hold at most 64 characters: "ui_" and the 12-character stamp leave 49 for the table.
  return L"ui_" + table.substr(0, 49) + stamp;
}

std::wstring dao_database::gen_ui_name(const std::wstring& table) {
  tk_trace_w(2, L"dao_database::gen_ui_name(%s)", table.c_str());
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return gen_ui_name(table, local);
}

void dao_database::init_fkeys() {
  tk_trace(2, "dao_database::init_fkeys");
  ole_com_ptr<DAORecordset> r = open_statement(
      L"SELECT szRelationship, szColumn, szObject, szReferencedObject, szReferencedColumn, grbit FROM "
      L"MSysRelationships ORDER BY szRelationship",
      ole_variant(2).variant, 4);
  struct pending_relationship {
    std::wstring name, table, ref_table;
    int32_t grbit = 0;
    udb_name_list fk, pk;
  } pending;
  auto finish = [&] {
    if (pending.name.empty() || is_system_table(pending.table) || is_system_table(pending.ref_table)) return;
    udb_relationship rel(pending.table, pending.ref_table, pending.fk, pending.pk, L"");
    rel.name = relationships.gen_relship_name(rel);
    if (pending.grbit & 0x1000) rel.rules += L" ON DELETE CASCADE";
    if (pending.grbit & 0x100) rel.rules += L" ON UPDATE CASCADE";
    relationships.push_back(rel);
  };
  VARIANT_BOOL eof = VARIANT_TRUE;
  dao_check(r->get_EOF(&eof));
  if (!eof) dao_check(r->MoveFirst());
  while (!eof) {
    tk_trace(1, "Reading next record from MSysRelationships");
    ole_com_ptr<DAOFields> fields;
    dao_check(r->get_Fields(fields.put()));
    need_object(fields);
    dao_record row(fields.get());
    if (row.size() != 6) throw tk_mail_assertion("dao_db", 557);
    std::wstring name = row[0]->to_wstring(), column = row[1]->to_wstring(), object = row[2]->to_wstring(),
                 referenced = row[3]->to_wstring(), referenced_column = row[4]->to_wstring();
    int32_t grbit = row[5]->is_empty() ? 0 : row[5]->to_long();
    if (!pending.name.empty() && dao::same_name(name, pending.name)) {
      tk_trace_w(2, L"'%s' is a multi-column FK", name.c_str());
      pending.fk.push_back(column);
      pending.pk.push_back(referenced_column);
    } else {
      finish();
      pending = pending_relationship{name, object, referenced, grbit, {column}, {referenced_column}};
    }
    tk_trace_w(2, L"rels_name=%s, src=%s.%s, dest=%s.%s, grbit=%08X", name.c_str(), object.c_str(), column.c_str(),
               referenced.c_str(), referenced_column.c_str(), static_cast<unsigned>(grbit));
    dao_check(r->MoveNext());
    dao_check(r->get_EOF(&eof));
  }
  finish();
}

void dao_database::create_relationships(const udb_relationships& list) {
  tk_trace(2, "dao_database::create_relationships");
  if (mode == 8) {
    tk_trace(3, "Foreign keys are not converted in append mode");
    return;
  }
  ole_com_ptr<DAORelations> relations;
  dao_check(database_->get_Relations(relations.put()));
  need_object(relations);
  for (const udb_relationship& rel : list) {
    tk_trace_w(3, L"Processing '%s'", rel.name.c_str());
    // The unique index made for the relationship, once it is stored: a refused relationship takes it back.
    ole_com_ptr<DAOIndexes> ref_indexes;
    std::wstring gen_name, made_index;
    try {
      // The referenced table must be an ordinary table of this file: a missing, linked or system table is a
      // reportable error of this relationship, not an internal one.
      std::unique_ptr<udb_recordset> referenced;
      if (is_table_exist(rel.ref_table)) referenced = get_table(rel.ref_table, 1);
      if (!referenced)
        throw tk_exception("Table '%s' cannot be referenced by a relationship: it is not a table of this database.",
                           sys_wide_to_utf8(rel.ref_table), 0);
      tk_trace(1, "udb_indexes::has_index_on_fields");
      // Only a unique index over exactly the referenced columns makes them unique: one over more columns
      // does not, and the relationship would be refused for want of it.
      bool has_unique = false;
      for (const udb_index& x : referenced->indexes)
        if ((x.unique || x.primary) && x.starts_with_fields(rel.pk_flds) && x.columns.size() == rel.pk_flds.size())
          has_unique = true;
      ole_com_ptr<_DAOTableDef> ref_def;
      ole_com_ptr<_DAOIndex> new_index;
      if (!has_unique) {
        tk_trace_w(2, L"Table %s does not have unique index on FK columns, add it", rel.ref_table.c_str());
        dao_check(table_defs_->get_Item(ole_variant(rel.ref_table).variant, ref_def.put()));
        need_object(ref_def);
        dao_check(ref_def->get_Indexes(ref_indexes.put()));
        need_object(ref_indexes);
        gen_name = gen_ui_name(rel.ref_table);
        tk_trace_w(2, L"Gen.name=%s", gen_name.c_str());
        dao_check(ref_def->CreateIndex(ole_variant(gen_name).variant, new_index.put()));
        need_object(new_index);
        tk_trace(2, "Step #1");
        ole_com_ptr<DAOIndexFields> fields = index_fields(new_index.get());
        tk_trace(2, "Step #2");
        for (const std::wstring& col : rel.pk_flds) {
          tk_trace_w(2, L"\tProcess unique index field %s", col.c_str());
          const t_ftd& d = referenced->schema.get_field1(col);
          ole_com_ptr<_DAOField> f;
          dao_check(new_index->CreateField(ole_variant(col).variant,
                                       ole_variant(static_cast<int>(dao_field::get_native_type(d))).variant,
                                       ole_variant(static_cast<int>(d.size)).variant, f.put()));
          need_object(f);
          dao_check(fields->Append(f.get()));
        }
        dao_check(new_index->put_Primary(VARIANT_FALSE));
        dao_check(new_index->put_Unique(VARIANT_TRUE));
      }
      tk_trace(2, "Step #3");
      ole_com_ptr<_DAORelation> relation;
      dao_check(database_->CreateRelation(ole_variant(rel.name).variant, ole_variant(rel.ref_table).variant,
                                      ole_variant(rel.table).variant, ole_variant(0).variant, relation.put()));
      need_object(relation);
      tk_trace(2, "Step #4");
      ole_com_ptr<DAOFields> rel_fields;
      dao_check(relation->get_Fields(rel_fields.put()));
      need_object(rel_fields);
      if (rel.fk_flds.size() != rel.pk_flds.size()) throw tk_mail_assertion("dao_db", 449);
      for (size_t i = 0; i < rel.fk_flds.size(); ++i) {
        tk_trace_w(1, L"Adding fields (%s,%s)", rel.fk_flds[i].c_str(), rel.pk_flds[i].c_str());
        const t_ftd& d = referenced->schema.get_field1(rel.pk_flds[i]);
        ole_com_ptr<_DAOField> f;
        dao_check(relation->CreateField(ole_variant(rel.pk_flds[i]).variant,
                                    ole_variant(static_cast<int>(dao_field::get_native_type(d))).variant,
                                    ole_variant(0).variant, f.put()));
        need_object(f);
        dao_bstr foreign(rel.fk_flds[i]);
        dao_check(f->put_ForeignName(foreign));
        dao_check(rel_fields->Append(f.get()));
      }
      referenced.reset();
      if (new_index) {
        dao_check(ref_indexes->Append(new_index.get()));
        made_index = gen_name;
      }
      dao_check(relations->Append(relation.get()));
    } catch (const tk_exception& e) {
      tk_trace(2, "ERROR:\n%s", e.message.c_str());
      if (!made_index.empty()) {
        dao_bstr name(made_index);
        if (FAILED(ref_indexes->Delete(name))) tk_trace_w(1, L"The index '%s' could not be taken back", made_index.c_str());
      }
      error_handler::instance().set_context(rel.name);
      error_handler::instance().handle(e, true);
    }
  }
}
