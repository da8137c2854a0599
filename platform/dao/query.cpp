// QueryDefs, QueryDef, Recordset and Relations: statements, cursors and appending rows.
#include <algorithm>

#include "platform/dao/state.h"
#include "platform/dao/sql_query.h"
#include "platform/dao/sql_rewrite.h"
#include "platform/oleaut/bstr.h"
#include "platform/oleaut/variant.h"

using dao::fail;
using dao::ref;
namespace err = dao::err;

namespace dao {

std::shared_ptr<cursor> open_cursor(database_state& db, const std::wstring& sql, bool append_only, bool read_only) {
  storage& s = db.live();
  if (append_only && s.read_only()) fail(err::read_only);
  query_result q;
  bool unread = false;
  auto& counted = db.counted;
  auto same_text = [](const std::wstring& a, const std::wstring& b) {
    auto trimmed = [](const std::wstring& t) {
      size_t from = t.find_first_not_of(L" \t\r\n"), to = t.find_last_not_of(L" \t\r\n");
      return from == std::wstring::npos ? std::wstring() : t.substr(from, to - from + 1);
    };
    return trimmed(a) == trimmed(b);
  };
  auto opened = [&] {
    q = run_query(s, sql, append_only ? rows_read::none : rows_read::first);
    unread = !append_only;
  };
  std::optional<std::wstring> inner;
  if (counted && same_text(counted->sql, sql) && !counted->opened) {
    // The statement counted last: its rows, evaluated for the count.
    counted->opened = true;
    if (counted->kept) {
      q = std::move(counted->result);
      if (append_only) q.rows.clear();
    } else {
      opened();
    }
  } else if ((inner = counted_statement(sql))) {
    // A count: the statement's rows are evaluated and kept (unless too many) for the recordset that opens it next.
    if (!counted || !same_text(counted->sql, *inner)) {
      counted.reset();
      query_result rows = run_query(s, *inner, rows_read::all_if_few);
      size_t n = rows.counted.value_or(rows.rows.size());
      bool kept = !rows.counted;
      counted = database_state::counted_statement{*inner, std::move(rows), n, kept, false};
    }
    q = counted_rows(counted->count);
    if (counted->opened) counted.reset();  // counted after it was opened: done with
  } else {
    counted.reset();
    opened();
  }
  auto c = std::make_shared<cursor>();
  if (unread) c->unread = sql;
  c->format = s.format();
  c->columns = std::move(q.columns);
  c->rows = std::move(q.rows);
  c->append_only = append_only;
  // Only a plain SELECT of one table takes new rows, into that table.
  c->read_only = read_only || s.read_only() || q.table.empty();
  if (!c->read_only) {
    c->table = q.table;
    c->table_columns = std::move(q.table_columns);
    c->table_width = q.table_width;
    if (append_only) s.prepare_append(c->table);
  }
  return c;
}

void read_rows(storage& s, cursor& c) {
  if (!c.unread) return;
  query_result q = run_query(s, *c.unread, rows_read::all);
  c.columns = std::move(q.columns);
  c.rows = std::move(q.rows);
  c.unread.reset();
}

std::vector<column_spec> statement_columns(storage& s, const std::wstring& sql) {
  return run_query(s, sql, false).columns;
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
        if (jet::same_name(q.name, name)) hit = &q;
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
    db_->live();
    int32_t type = dao::arg_int(Type, dbOpenDynaset);
    if (type != dbOpenTable && type != dbOpenDynaset && type != dbOpenSnapshot) fail(err::invalid_argument);
    int32_t options = dao::arg_int(Options, 0);
    if (options & ~(dbDenyWrite | dbReadOnly | dbAppendOnly)) fail(err::invalid_argument);
    if (!has_sql_) fail(err::operation_not_supported);
    bool read_only = (options & dbReadOnly) != 0 || type == dbOpenSnapshot;
    bool append_only = (options & dbAppendOnly) != 0;
    if (read_only && append_only) fail(err::invalid_argument);
    *out = new DAORecordset(db_, dao::open_cursor(*db_, sql_, append_only, read_only));
  });
}

// ---------------------------------------------------------------------------------------------- Recordset

DAORecordset::DAORecordset(dao::database_ptr db, std::shared_ptr<dao::cursor> cursor)
    : object(IID_DAORecordset, db->errors), db_(std::move(db)), cursor_(std::move(cursor)) {}

DAORecordset::~DAORecordset() { cursor_->closed = true; }

namespace {
dao::cursor& open(const dao::database_ptr& db, const std::shared_ptr<dao::cursor>& c) {
  dao::storage& s = db->live();
  if (c->closed) fail(err::object_invalid);
  dao::read_rows(s, *c);
  return *c;
}

size_t item_column(dao::cursor& c, const VARIANT& item) {
  if (item.vt == VT_BSTR) {
    std::wstring_view name = oa_bstr_view(item.bstrVal);
    // Rows are written column after column: try the column after the last one named first.
    size_t hint = c.next_column < c.columns.size() ? c.next_column : 0;
    for (size_t k = 0; k < c.columns.size(); ++k) {
      size_t i = (hint + k) % c.columns.size();
      if (jet::same_name(c.columns[i].name, name)) {
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
    // The engine's rules, for fields never assigned too (a Yes/No left unassigned is No). An assigned value passed
    // check_value at put_Collect, so only a Null or an empty text is left for a rule to refuse or change.
    const jet::format& f = *jet::format::for_generation(c.format);
    for (size_t i = 0; i < c.columns.size(); ++i) {
      const dao::column_spec& col = c.columns[i];
      if (!r[i].is_null() && !(jet::is_text_type(col.type) && r[i].as_text().empty())) continue;
      const jet::column_def def = dao::engine_column(col, f);
      jet::check_value(f, def, r[i]);
      jet::check_rules(def, {.required = col.required && !col.autonumber, .allow_zero_length = col.allow_zero_length}, r[i]);
    }
    // The row goes to the table with its columns where the table has them; the others stay Null.
    bool whole = c.table_width == c.columns.size();
    for (size_t i = 0; i < c.table_columns.size() && whole; ++i) whole = c.table_columns[i] == i;
    // The row goes down without a copy; a refused one stays pending with its values.
    if (whole) {
      db_->changing().append_row(c.table, std::move(r));
    } else {
      dao::row full(c.table_width);
      for (size_t i = 0; i < c.table_columns.size(); ++i) full[c.table_columns[i]] = r[i];
      db_->changing().append_row(c.table, std::move(full));
    }
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
    dao::storage& s = db_->changing();
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
