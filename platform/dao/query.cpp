// QueryDefs, QueryDef, Recordset and Relations: statements, cursors and appending rows.
#include <algorithm>

#include "platform/dao/state.h"
#include "platform/dao/statement.h"
#include "platform/oleaut/bstr.h"
#include "platform/oleaut/variant.h"

using dao::fail;
using dao::ref;
namespace err = dao::err;

namespace dao {
namespace {

// Orders two values of one column: Null first, numbers by value, text ignoring case, the rest as equal.
bool value_less(const jet::value& a, const jet::value& b) {
  if (a.is_null() || b.is_null()) return a.is_null() && !b.is_null();
  if (a.kind_of() == jet::value::kind::text && b.kind_of() == jet::value::kind::text) {
    const std::wstring &x = a.as_text(), &y = b.as_text();
    return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end(), [](wchar_t p, wchar_t q) {
      return std::towlower(p) < std::towlower(q);
    });
  }
  auto number = [](const jet::value& v, double& out) {
    using k = jet::value::kind;
    switch (v.kind_of()) {
      case k::boolean: out = v.as_bool() ? -1 : 0; return true;
      case k::byte: out = v.as_byte(); return true;
      case k::integer: out = v.as_integer(); return true;
      case k::long_integer: out = v.as_long(); return true;
      case k::big_integer: out = static_cast<double>(v.as_big()); return true;
      case k::single: out = v.as_single(); return true;
      case k::double_: out = v.as_double(); return true;
      case k::currency: out = static_cast<double>(v.as_currency().scaled); return true;
      case k::datetime: out = v.as_datetime().days; return true;
      default: return false;
    }
  };
  double x, y;
  return number(a, x) && number(b, y) && x < y;
}

size_t column_index(const std::vector<column_spec>& cols, const std::wstring& name) {
  for (size_t i = 0; i < cols.size(); ++i)
    if (same_name(cols[i].name, name)) return i;
  fail(err::item_not_found);
}

std::shared_ptr<cursor> cursor_for(storage& s, const statement& st, bool append_only, bool read_only) {
  auto c = std::make_shared<cursor>();
  c->format = s.format();
  if (st.what == statement::kind::count) {
    std::shared_ptr<cursor> inner = cursor_for(s, *st.inner, false, true);
    column_spec n;
    n.name = L"Expr1000";
    n.type = jet::column_type::long_integer;
    c->columns.push_back(n);
    c->rows.push_back(row{jet::value::long_integer(static_cast<int32_t>(inner->rows.size()))});
    return c;
  }
  std::wstring table;
  for (const catalog_entry& e : s.tables())
    if (same_name(e.name, st.table)) table = e.name;
  if (table.empty()) fail(err::input_table_not_found, st.table);
  table_schema schema = s.describe(table);
  std::vector<size_t> pick;
  if (st.columns.empty()) {
    for (size_t i = 0; i < schema.columns.size(); ++i) pick.push_back(i);
  } else {
    for (const std::wstring& name : st.columns) pick.push_back(column_index(schema.columns, name));
  }
  for (size_t i : pick) c->columns.push_back(schema.columns[i]);
  // Only a cursor over every column of one table takes new rows.
  bool whole = st.columns.empty();
  c->append_only = append_only;
  c->read_only = read_only || !whole;
  if (!c->read_only) c->table = table;
  if (append_only && !c->read_only) s.prepare_append(table);
  if (!append_only) {
    for (row& r : s.read_rows(table)) {
      row picked;
      for (size_t i : pick) picked.push_back(std::move(r[i]));
      c->rows.push_back(std::move(picked));
    }
    if (!st.order_by.empty()) {
      size_t k = column_index(c->columns, st.order_by);
      std::stable_sort(c->rows.begin(), c->rows.end(),
                       [k](const row& a, const row& b) { return value_less(a[k], b[k]); });
    }
  }
  return c;
}

}  // namespace

std::shared_ptr<cursor> open_cursor(storage& s, const std::wstring& sql, bool append_only, bool read_only) {
  statement st = parse_statement(sql);
  if (append_only && st.what == statement::kind::count) fail(err::invalid_argument);
  if (append_only && s.read_only()) fail(err::read_only);
  return cursor_for(s, st, append_only, read_only || s.read_only());
}

std::vector<column_spec> statement_columns(storage& s, const std::wstring& sql) {
  return cursor_for(s, parse_statement(sql), true, true)->columns;
}

}  // namespace dao

// ---------------------------------------------------------------------------------------------- QueryDefs

DAOQueryDefs::DAOQueryDefs(dao::database_ptr db) : object(IID_DAOQueryDefs, db->errors), db_(std::move(db)) {}

HRESULT DAOQueryDefs::get_Count(short* out) {
  return call([&] {
    need(out);
    *out = static_cast<short>(db_->live().queries().size());
  });
}

HRESULT DAOQueryDefs::get_Item(VARIANT Item, _DAOQueryDef** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    std::vector<dao::query_entry> all = db_->live().queries();
    const dao::query_entry* hit = nullptr;
    if (Item.vt == VT_BSTR) {
      std::wstring name(oa_bstr_view(Item.bstrVal));
      for (const auto& q : all)
        if (dao::same_name(q.name, name)) hit = &q;
    } else {
      int32_t i = dao::arg_int(Item, -1);
      if (i >= 0 && static_cast<size_t>(i) < all.size()) hit = &all[static_cast<size_t>(i)];
    }
    if (!hit) fail(err::item_not_found);
    *out = new _DAOQueryDef(db_, hit->name, hit->sql, hit->has_sql);
  });
}

// ---------------------------------------------------------------------------------------------- QueryDef

_DAOQueryDef::_DAOQueryDef(dao::database_ptr db, std::wstring name, std::wstring sql, bool has_sql)
    : object(IID__DAOQueryDef, db->errors), db_(std::move(db)), name_(std::move(name)), sql_(std::move(sql)),
      has_sql_(has_sql) {}

HRESULT _DAOQueryDef::get_Name(BSTR* out) {
  return call([&] {
    need(out);
    *out = dao::make_bstr(name_);
  });
}

HRESULT _DAOQueryDef::get_SQL(BSTR* out) {
  return call([&] {
    need(out);
    *out = nullptr;
    db_->live();
    // The engine cannot rebuild the text of every stored query.
    if (!has_sql_) fail(err::operation_not_supported);
    *out = dao::make_bstr(sql_);
  });
}

HRESULT _DAOQueryDef::get_Fields(DAOFields** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    if (!has_sql_) fail(err::operation_not_supported);
    // The columns of the statement, without reading its rows.
    std::vector<ref<_DAOField>> fields;
    for (const dao::column_spec& col : dao::statement_columns(db_->live(), sql_))
      fields.push_back(dao::make<_DAOField>(db_, dao::stored_field(col)));
    *out = new DAOFields(db_, std::move(fields), false);
  });
}

HRESULT _DAOQueryDef::OpenRecordset(VARIANT Type, VARIANT Options, DAORecordset** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    dao::storage& s = db_->live();
    int32_t type = dao::arg_int(Type, dbOpenDynaset);
    if (type != dbOpenTable && type != dbOpenDynaset && type != dbOpenSnapshot) fail(err::invalid_argument);
    int32_t options = dao::arg_int(Options, 0);
    if (options & ~(dbDenyWrite | dbReadOnly | dbAppendOnly)) fail(err::invalid_argument);
    if (!has_sql_) fail(err::operation_not_supported);
    bool read_only = (options & dbReadOnly) != 0 || type == dbOpenSnapshot;
    bool append_only = (options & dbAppendOnly) != 0;
    if (read_only && append_only) fail(err::invalid_argument);
    *out = new DAORecordset(db_, dao::open_cursor(s, sql_, append_only, read_only));
  });
}

// ---------------------------------------------------------------------------------------------- Recordset

DAORecordset::DAORecordset(dao::database_ptr db, std::shared_ptr<dao::cursor> cursor)
    : object(IID_DAORecordset, db->errors), db_(std::move(db)), cursor_(std::move(cursor)) {}

DAORecordset::~DAORecordset() { cursor_->closed = true; }

namespace {
dao::cursor& open(const dao::database_ptr& db, const std::shared_ptr<dao::cursor>& c) {
  db->live();
  if (c->closed) fail(err::object_invalid);
  return *c;
}

size_t item_column(dao::cursor& c, const VARIANT& item) {
  if (item.vt == VT_BSTR) {
    std::wstring_view name = oa_bstr_view(item.bstrVal);
    // Rows are written column after column: try the column after the last one named first.
    size_t hint = c.next_column < c.columns.size() ? c.next_column : 0;
    for (size_t k = 0; k < c.columns.size(); ++k) {
      size_t i = (hint + k) % c.columns.size();
      if (dao::same_name(c.columns[i].name, name)) {
        c.next_column = i + 1;
        return i;
      }
    }
    fail(err::item_not_found);
  }
  int32_t i = dao::arg_int(item, -1);
  if (i < 0 || static_cast<size_t>(i) >= c.columns.size()) fail(err::item_not_found);
  return static_cast<size_t>(i);
}
}  // namespace

HRESULT DAORecordset::AddNew() {
  return call([&] {
    dao::cursor& c = open(db_, cursor_);
    if (c.read_only || c.table.empty()) fail(err::read_only);
    c.pending = dao::row(c.columns.size());
  });
}

HRESULT DAORecordset::put_Collect(VARIANT Item, VARIANT Value) {
  return call([&] {
    dao::cursor& c = open(db_, cursor_);
    if (!c.pending) fail(err::update_without_addnew);
    size_t i = item_column(c, Item);
    (*c.pending)[i] = dao::to_column_value(Value, c.columns[i], c.format);
  });
}

HRESULT DAORecordset::get_Collect(VARIANT Item, VARIANT* out) {
  return call([&] {
    need(out);
    VariantInit(out);
    dao::cursor& c = open(db_, cursor_);
    size_t i = item_column(c, Item);
    if (c.pending) {
      *out = dao::to_variant((*c.pending)[i]);
      return;
    }
    if (c.before_first || c.position >= c.rows.size()) fail(err::no_current_record);
    *out = dao::to_variant(c.rows[c.position][i]);
  });
}

HRESULT DAORecordset::Update(int32_t UpdateType, VARIANT_BOOL Force) {
  return call([&] {
    dao::cursor& c = open(db_, cursor_);
    if (!c.pending) fail(err::update_without_addnew);
    if (UpdateType != dbUpdateRegular) fail(err::invalid_argument);
    dao::row& r = *c.pending;
    for (size_t i = 0; i < c.columns.size(); ++i) {
      const dao::column_spec& col = c.columns[i];
      // Yes/No lives in the row's null mask and cannot be Null: a field left unassigned is No.
      if (col.type == jet::column_type::boolean && r[i].is_null()) r[i] = jet::value::boolean(false);
      if (col.required && !col.autonumber && r[i].is_null()) fail(err::required_null, col.name);
      if (jet::is_text_type(col.type) && !col.allow_zero_length && !r[i].is_null() && r[i].as_text().empty())
        throw dao::error(3315, L"Field '" + col.name + L"' cannot be a zero-length string.", true);
    }
    db_->live().append_row(c.table, r);
    c.pending.reset();
    ++c.added;
  });
}

HRESULT DAORecordset::get_EOF(VARIANT_BOOL* out) {
  return call([&] {
    need(out);
    dao::cursor& c = open(db_, cursor_);
    *out = c.position >= c.rows.size() ? VARIANT_TRUE : VARIANT_FALSE;
  });
}

HRESULT DAORecordset::get_BOF(VARIANT_BOOL* out) {
  return call([&] {
    need(out);
    dao::cursor& c = open(db_, cursor_);
    *out = c.before_first || c.rows.empty() ? VARIANT_TRUE : VARIANT_FALSE;
  });
}

HRESULT DAORecordset::get_RecordCount(int32_t* out) {
  return call([&] {
    need(out);
    dao::cursor& c = open(db_, cursor_);
    *out = static_cast<int32_t>(c.rows.size() + c.added);
  });
}

HRESULT DAORecordset::MoveFirst() {
  return call([&] {
    dao::cursor& c = open(db_, cursor_);
    c.pending.reset();
    if (c.rows.empty()) fail(err::no_current_record);
    c.position = 0;
    c.before_first = false;
  });
}

HRESULT DAORecordset::MoveNext() {
  return call([&] {
    dao::cursor& c = open(db_, cursor_);
    c.pending.reset();
    if (c.before_first) {
      c.before_first = false;
      return;
    }
    if (c.position >= c.rows.size()) fail(err::no_current_record);
    ++c.position;
  });
}

HRESULT DAORecordset::MovePrevious() {
  return call([&] {
    dao::cursor& c = open(db_, cursor_);
    c.pending.reset();
    if (c.before_first || c.rows.empty()) fail(err::no_current_record);
    if (c.position == 0) c.before_first = true;
    else --c.position;
  });
}

HRESULT DAORecordset::get_Fields(DAOFields** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    dao::cursor& c = open(db_, cursor_);
    std::vector<ref<_DAOField>> fields;
    for (size_t i = 0; i < c.columns.size(); ++i) {
      auto f = dao::stored_field(c.columns[i]);
      f->row_cursor = cursor_;
      f->column = i;
      fields.push_back(dao::make<_DAOField>(db_, f));
    }
    *out = new DAOFields(db_, std::move(fields), false);
  });
}

HRESULT DAORecordset::Close() {
  return call([&] {
    dao::cursor& c = open(db_, cursor_);
    c.pending.reset();
    c.closed = true;
  });
}

// ---------------------------------------------------------------------------------------------- Relations

DAORelations::DAORelations(dao::database_ptr db) : object(IID_DAORelations, db->errors), db_(std::move(db)) {}

HRESULT DAORelations::Append(IDispatch* Object) {
  return call([&] {
    dao::storage& s = db_->live();
    void* q = nullptr;
    if (!Object || FAILED(Object->QueryInterface(IID__DAORelation, &q))) fail(err::type_mismatch);
    static_cast<IDispatch*>(q)->Release();  // the caller's reference keeps it alive during the call
    _DAORelation* relation = static_cast<_DAORelation*>(static_cast<IDispatch*>(q));
    dao::relation_state& r = *relation->state();
    if (r.appended) fail(err::already_in_collection);
    if (s.read_only()) fail(err::read_only);
    std::vector<ref<_DAOField>>& fields = relation->fields().items();
    if (fields.empty()) fail(err::relation_without_fields);
    dao::relation_spec spec;
    spec.name = r.name;
    spec.table = r.table;
    spec.foreign_table = r.foreign_table;
    spec.attributes = r.attributes;
    for (auto& f : fields) spec.fields.push_back({f->state()->spec.name, f->state()->foreign_name});
    s.add_relation(spec);
    r.appended = true;
    for (auto& f : fields) f->state()->appended = true;
  });
}

_DAORelation::_DAORelation(dao::database_ptr db, std::shared_ptr<dao::relation_state> state)
    : object(IID__DAORelation, db->errors), db_(std::move(db)), state_(std::move(state)),
      fields_(dao::make<DAOFields>(db_, std::vector<ref<_DAOField>>(), true)) {}

HRESULT _DAORelation::get_Name(BSTR* out) {
  return call([&] {
    need(out);
    *out = dao::make_bstr(state_->name);
  });
}

HRESULT _DAORelation::get_Fields(DAOFields** out) {
  return call([&] {
    need(out);
    db_->live();
    *out = fields_.give();
  });
}

HRESULT _DAORelation::CreateField(VARIANT Name, VARIANT Type, VARIANT Size, _DAOField** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    db_->live();
    auto f = std::make_shared<dao::field_state>();
    f->spec.name = dao::arg_text(Name);
    int32_t type = dao::arg_int(Type, 0);
    if (type != 0) f->dao_type = static_cast<short>(type);
    *out = new _DAOField(db_, f);
  });
}
