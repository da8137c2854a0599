// TableDefs, TableDef, Fields, Field, Indexes, Index, IndexFields, Properties: the catalogue objects.
//
// A TableDef made by CreateTableDef is a definition in memory until TableDefs.Append creates the table in
// one step; a TableDef taken from TableDefs describes a stored table, read from the file on first use.
#include <algorithm>

#include "platform/dao/state.h"
#include "platform/jet/table_def.h"
#include "platform/oleaut/bstr.h"
#include "platform/oleaut/variant.h"

using dao::fail;
using dao::ref;
namespace err = dao::err;

namespace {

// The position an Item argument names in a list of `count` (VT_I2/VT_I4/...), or -1 for a name.
int32_t position_of(const VARIANT& item, size_t count) {
  if (item.vt == VT_BSTR) return -1;
  int32_t i = dao::arg_int(item, -1);
  if (i < 0 || static_cast<size_t>(i) >= count) fail(err::item_not_found);
  return i;
}

// Reads a stored table's fields and indexes into its state once.
void load(const dao::database_ptr& db, dao::tabledef_state& t) {
  if (!t.appended || t.loaded) return;
  dao::table_schema s = db->live().describe(t.name);
  t.fields.clear();
  t.indexes.clear();
  for (const dao::column_spec& c : s.columns) t.fields.push_back(dao::make<_DAOField>(db, dao::stored_field(c)));
  for (const dao::index_spec& x : s.indexes) {
    auto is = std::make_shared<dao::index_state>();
    is->name = x.name;
    is->primary = x.primary;
    is->unique = x.unique || x.primary;
    is->foreign = x.foreign;
    is->appended = true;
    for (const std::wstring& col : x.columns) {
      auto f = std::make_shared<dao::field_state>();
      f->spec.name = col;
      f->appended = true;
      for (const dao::column_spec& c : s.columns)
        if (jet::same_name(c.name, col)) f->spec = c, f->dao_type = dao::dao_type_of(c);
      is->fields.push_back(dao::make<_DAOField>(db, f));
    }
    t.indexes.push_back(dao::make<_DAOIndex>(db, is));
  }
  t.loaded = true;
}

// The DAO object behind an IDispatch given to Append, or 3367/13 when it is not of the expected kind.
template <class T>
T* as(IDispatch* p, const IID& iid) {
  if (!p) fail(err::invalid_procedure_call);
  void* q = nullptr;
  if (FAILED(p->QueryInterface(iid, &q)) || !q) fail(err::type_mismatch);
  static_cast<IDispatch*>(q)->Release();  // the caller's reference keeps it alive during the call
  return static_cast<T*>(static_cast<IDispatch*>(q));
}

dao::table_schema schema_of(dao::tabledef_state& t) {
  dao::table_schema s;
  s.name = t.name;
  for (auto& f : t.fields) s.columns.push_back(f->state()->spec);
  for (auto& i : t.indexes) {
    dao::index_spec x;
    const auto& is = *i->state();
    x.name = is.name;
    x.primary = is.primary;
    x.unique = is.unique || is.primary;
    for (auto& f : is.fields) x.columns.push_back(f->state()->spec.name);
    s.indexes.push_back(std::move(x));
  }
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------------------------- TableDefs

DAOTableDefs::DAOTableDefs(dao::database_ptr db) : object(IID_DAOTableDefs, db->errors), db_(std::move(db)) {}

HRESULT DAOTableDefs::get_Count(short* out) {
  return call([&] {
    need(out);
    *out = static_cast<short>(db_->live().tables().size());
  });
}

HRESULT DAOTableDefs::get_Item(VARIANT Item, _DAOTableDef** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    std::vector<dao::catalog_entry> all = db_->live().tables();
    const dao::catalog_entry* hit = nullptr;
    int32_t i = position_of(Item, all.size());
    if (i >= 0) {
      hit = &all[static_cast<size_t>(i)];
    } else {
      std::wstring name = dao::arg_text(Item);
      for (const auto& e : all)
        if (jet::same_name(e.name, name)) hit = &e;
      if (!hit) fail(err::item_not_found);
    }
    auto t = std::make_shared<dao::tabledef_state>();
    t->name = hit->name;
    t->attributes = hit->attributes;
    t->appended = true;
    *out = new _DAOTableDef(db_, t);
  });
}

HRESULT DAOTableDefs::Append(IDispatch* Object) {
  return call([&] {
    dao::storage& s = db_->changing();
    _DAOTableDef* def = as<_DAOTableDef>(Object, IID__DAOTableDef);
    dao::tabledef_state& t = *def->state();
    if (t.appended) fail(err::already_in_collection);
    if (s.read_only()) fail(err::read_only);
    if (t.fields.empty()) fail(err::no_fields);
    s.create_table(schema_of(t));
    t.appended = true;
    t.loaded = false;
    for (auto& f : t.fields) f->state()->appended = true;
    for (auto& i : t.indexes) i->state()->appended = true;
  });
}

HRESULT DAOTableDefs::Delete(BSTR Name) {
  return call([&] {
    dao::storage& s = db_->changing();
    if (s.read_only()) fail(err::read_only);
    std::wstring name(oa_bstr_view(Name));
    bool found = false;
    for (const auto& e : s.tables())
      if (jet::same_name(e.name, name)) found = true;
    if (!found) fail(err::item_not_found);
    s.delete_table(name);
  });
}

// ---------------------------------------------------------------------------------------------- TableDef

_DAOTableDef::_DAOTableDef(dao::database_ptr db, std::shared_ptr<dao::tabledef_state> state)
    : object(IID__DAOTableDef, db->errors), db_(std::move(db)), state_(std::move(state)) {}

HRESULT _DAOTableDef::get_Name(BSTR* out) {
  return call([&] {
    need(out);
    *out = dao::make_bstr(state_->name);
  });
}

HRESULT _DAOTableDef::get_Attributes(int32_t* out) {
  return call([&] {
    need(out);
    *out = static_cast<int32_t>(state_->attributes);
  });
}

HRESULT _DAOTableDef::get_RecordCount(int32_t* out) {
  return call([&] {
    need(out);
    *out = state_->appended ? static_cast<int32_t>(db_->live().row_count(state_->name)) : 0;
  });
}

HRESULT _DAOTableDef::get_Fields(DAOFields** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    load(db_, *state_);
    *out = new DAOFields(db_, state_->fields, !state_->appended, state_);
  });
}

HRESULT _DAOTableDef::get_Indexes(DAOIndexes** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    load(db_, *state_);
    *out = new DAOIndexes(db_, state_);
  });
}

HRESULT _DAOTableDef::CreateField(VARIANT Name, VARIANT Type, VARIANT Size, _DAOField** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    db_->live();
    auto f = std::make_shared<dao::field_state>();
    f->spec.name = dao::arg_text(Name);
    f->dao_type = static_cast<short>(dao::arg_int(Type, dbText));
    f->spec.type = dao::column_type_of(f->dao_type);
    int32_t size = dao::arg_int(Size, f->spec.type == jet::column_type::text ? 50 : 0);
    if (size < 0) fail(err::invalid_argument);
    f->spec.size = static_cast<uint32_t>(size);
    *out = new _DAOField(db_, f);
  });
}

HRESULT _DAOTableDef::CreateIndex(VARIANT Name, _DAOIndex** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    db_->live();
    auto i = std::make_shared<dao::index_state>();
    i->name = dao::arg_text(Name);
    *out = new _DAOIndex(db_, i);
  });
}

// ---------------------------------------------------------------------------------------------- Fields

DAOFields::DAOFields(dao::database_ptr db, std::vector<ref<_DAOField>> fields, bool appendable,
                     std::shared_ptr<dao::tabledef_state> owner)
    : object(IID_DAOFields, db->errors), db_(std::move(db)), fields_(std::move(fields)), appendable_(appendable),
      owner_(std::move(owner)) {}

HRESULT DAOFields::get_Count(short* out) {
  return call([&] {
    need(out);
    db_->live();
    *out = static_cast<short>(fields_.size());
  });
}

HRESULT DAOFields::get_Item(VARIANT Item, _DAOField** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    db_->live();
    int32_t i = position_of(Item, fields_.size());
    if (i >= 0) {
      *out = fields_[static_cast<size_t>(i)].give();
      return;
    }
    std::wstring name = dao::arg_text(Item);
    for (auto& f : fields_)
      if (jet::same_name(f->state()->spec.name, name)) {
        *out = f.give();
        return;
      }
    fail(err::item_not_found);
  });
}

HRESULT DAOFields::Append(IDispatch* Object) {
  return call([&] {
    db_->live();
    _DAOField* f = as<_DAOField>(Object, IID__DAOField);
    if (!appendable_) fail(err::operation_not_supported);  // columns are not added to stored tables
    const std::wstring& name = f->state()->spec.name;
    for (auto& g : fields_) {
      if (g.get() == f) fail(err::already_in_collection);
      if (jet::same_name(g->state()->spec.name, name)) fail(err::duplicate_field);
    }
    fields_.push_back(ref<_DAOField>::share(f));
    if (owner_) owner_->fields.push_back(ref<_DAOField>::share(f));
  });
}

// ---------------------------------------------------------------------------------------------- Field

_DAOField::_DAOField(dao::database_ptr db, std::shared_ptr<dao::field_state> state)
    : object(IID__DAOField, db->errors), db_(std::move(db)), state_(std::move(state)) {}

namespace {
// Definitions of appended objects are fixed: changing them is an invalid operation.
void editable(const dao::field_state& f) {
  if (f.appended) fail(err::invalid_operation);
}
}  // namespace

HRESULT _DAOField::get_Name(BSTR* out) {
  return call([&] {
    need(out);
    *out = dao::make_bstr(state_->spec.name);
  });
}

HRESULT _DAOField::get_Type(short* out) {
  return call([&] {
    need(out);
    *out = state_->dao_type;
  });
}

HRESULT _DAOField::get_Size(int32_t* out) {
  return call([&] {
    need(out);
    *out = dao::reported_size(state_->spec);
  });
}

HRESULT _DAOField::get_Attributes(int32_t* out) {
  return call([&] {
    need(out);
    bool fixed = jet::is_fixed_type(state_->spec.type) || state_->spec.type == jet::column_type::boolean;
    *out = (fixed ? dbFixedField : dbVariableField) | dbUpdatableField |
           (state_->spec.autonumber ? dbAutoIncrField : 0);
  });
}

HRESULT _DAOField::put_Attributes(int32_t value) {
  return call([&] {
    editable(*state_);
    bool autonumber = (value & dbAutoIncrField) != 0;
    // Only a Long Integer field counts by itself.
    if (autonumber && state_->spec.type != jet::column_type::long_integer) fail(err::invalid_argument);
    state_->spec.autonumber = autonumber;
  });
}

HRESULT _DAOField::get_Required(VARIANT_BOOL* out) {
  return call([&] {
    need(out);
    *out = state_->spec.required ? VARIANT_TRUE : VARIANT_FALSE;
  });
}

HRESULT _DAOField::put_Required(VARIANT_BOOL value) {
  return call([&] {
    editable(*state_);
    state_->spec.required = value != VARIANT_FALSE;
  });
}

HRESULT _DAOField::get_AllowZeroLength(VARIANT_BOOL* out) {
  return call([&] {
    need(out);
    *out = state_->spec.allow_zero_length ? VARIANT_TRUE : VARIANT_FALSE;
  });
}

HRESULT _DAOField::put_AllowZeroLength(VARIANT_BOOL value) {
  return call([&] {
    editable(*state_);
    if (!jet::is_text_type(state_->spec.type)) fail(err::invalid_operation);
    state_->spec.allow_zero_length = value != VARIANT_FALSE;
  });
}

HRESULT _DAOField::get_DefaultValue(VARIANT* out) {
  return call([&] {
    need(out);
    *out = dao::text_variant(state_->spec.default_value);
  });
}

HRESULT _DAOField::put_DefaultValue(VARIANT value) {
  return call([&] {
    editable(*state_);
    state_->spec.default_value = dao::default_text(value);
  });
}

HRESULT _DAOField::get_Value(VARIANT* out) {
  int refused = 0;
  const HRESULT hr = call([&] {
    need(out);
    VariantInit(out);
    const auto& c = state_->row_cursor;
    if (!c) {
      refused = err::invalid_operation;  // a TableDef's field: asked of every field when a table is read
      return;
    }
    if (c->closed) fail(err::object_invalid);
    if (c->pending) {
      *out = dao::to_variant((*c->pending)[state_->column]);
      return;
    }
    if (c->position >= c->rows.size() || c->before_first) {
      refused = err::no_current_record;
      return;
    }
    *out = dao::to_variant(c->rows[c->position][state_->column]);
  });
  return refused != 0 ? refuse(refused) : hr;
}

HRESULT _DAOField::get_Properties(DAOProperties** out) {
  return call([&] {
    need(out);
    *out = new DAOProperties(db_, state_);
  });
}

HRESULT _DAOField::put_ForeignName(BSTR value) {
  return call([&] {
    editable(*state_);
    state_->foreign_name.assign(oa_bstr_view(value));
  });
}

HRESULT _DAOField::get_ForeignName(BSTR* out) {
  return call([&] {
    need(out);
    *out = dao::make_bstr(state_->foreign_name);
  });
}

// ---------------------------------------------------------------------------------------------- Indexes

DAOIndexes::DAOIndexes(dao::database_ptr db, std::shared_ptr<dao::tabledef_state> owner)
    : object(IID_DAOIndexes, db->errors), db_(std::move(db)), owner_(std::move(owner)) {}

HRESULT DAOIndexes::get_Count(short* out) {
  return call([&] {
    need(out);
    db_->live();
    *out = static_cast<short>(owner_->indexes.size());
  });
}

HRESULT DAOIndexes::get_Item(VARIANT Item, _DAOIndex** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    db_->live();
    int32_t i = position_of(Item, owner_->indexes.size());
    if (i >= 0) {
      *out = owner_->indexes[static_cast<size_t>(i)].give();
      return;
    }
    std::wstring name = dao::arg_text(Item);
    for (auto& x : owner_->indexes)
      if (jet::same_name(x->state()->name, name)) {
        *out = x.give();
        return;
      }
    fail(err::item_not_found);
  });
}

HRESULT DAOIndexes::Append(IDispatch* Object) {
  return call([&] {
    db_->live();
    _DAOIndex* x = as<_DAOIndex>(Object, IID__DAOIndex);
    dao::index_state& s = *x->state();
    if (s.appended) fail(err::already_in_collection);
    if (s.fields.empty()) fail(err::no_fields);
    for (auto& y : owner_->indexes) {
      if (y.get() == x || jet::same_name(y->state()->name, s.name)) fail(err::index_exists);
      if (s.primary && y->state()->primary) fail(err::primary_key_exists);
    }
    if (owner_->appended) {
      // A stored table: the index is built over its rows now; a refusal leaves the table as it was.
      dao::storage& store = db_->changing();
      if (store.read_only()) fail(err::read_only);
      dao::index_spec spec;
      spec.name = s.name;
      spec.primary = s.primary;
      spec.unique = s.unique || s.primary;
      for (auto& f : s.fields) spec.columns.push_back(f->state()->spec.name);
      store.add_index(owner_->name, spec);
      s.appended = true;
      for (auto& f : s.fields) f->state()->appended = true;
    }
    owner_->indexes.push_back(ref<_DAOIndex>::share(x));
  });
}

HRESULT DAOIndexes::Delete(BSTR Name) {
  return call([&] {
    db_->live();
    std::wstring name(oa_bstr_view(Name));
    auto it = std::find_if(owner_->indexes.begin(), owner_->indexes.end(),
                           [&](auto& x) { return jet::same_name(x->state()->name, name); });
    if (it == owner_->indexes.end()) fail(err::item_not_found);
    if (owner_->appended) {
      dao::storage& store = db_->changing();
      if (store.read_only()) fail(err::read_only);
      store.delete_index(owner_->name, (*it)->state()->name);
    }
    owner_->indexes.erase(it);
  });
}

// ---------------------------------------------------------------------------------------------- Index

_DAOIndex::_DAOIndex(dao::database_ptr db, std::shared_ptr<dao::index_state> state)
    : object(IID__DAOIndex, db->errors), db_(std::move(db)), state_(std::move(state)) {}

HRESULT _DAOIndex::get_Name(BSTR* out) {
  return call([&] {
    need(out);
    *out = dao::make_bstr(state_->name);
  });
}

HRESULT _DAOIndex::get_Primary(VARIANT_BOOL* out) {
  return call([&] {
    need(out);
    *out = state_->primary ? VARIANT_TRUE : VARIANT_FALSE;
  });
}

HRESULT _DAOIndex::put_Primary(VARIANT_BOOL value) {
  return call([&] {
    if (state_->appended) fail(err::invalid_operation);
    state_->primary = value != VARIANT_FALSE;
  });
}

HRESULT _DAOIndex::get_Unique(VARIANT_BOOL* out) {
  return call([&] {
    need(out);
    *out = state_->unique || state_->primary ? VARIANT_TRUE : VARIANT_FALSE;
  });
}

HRESULT _DAOIndex::put_Unique(VARIANT_BOOL value) {
  return call([&] {
    if (state_->appended) fail(err::invalid_operation);
    state_->unique = value != VARIANT_FALSE;
  });
}

HRESULT _DAOIndex::get_Foreign(VARIANT_BOOL* out) {
  return call([&] {
    need(out);
    *out = state_->foreign ? VARIANT_TRUE : VARIANT_FALSE;
  });
}

HRESULT _DAOIndex::get_Fields(VARIANT* out) {
  return call([&] {
    need(out);
    VariantInit(out);
    out->vt = VT_DISPATCH;
    out->pdispVal = new DAOIndexFields(db_, state_);
  });
}

HRESULT _DAOIndex::CreateField(VARIANT Name, VARIANT Type, VARIANT Size, _DAOField** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    db_->live();
    // An index field is a reference to a column by name; type and size are those of the column.
    auto f = std::make_shared<dao::field_state>();
    f->spec.name = dao::arg_text(Name);
    int32_t type = dao::arg_int(Type, 0);
    if (type != 0) f->dao_type = static_cast<short>(type);
    *out = new _DAOField(db_, f);
  });
}

DAOIndexFields::DAOIndexFields(dao::database_ptr db, std::shared_ptr<dao::index_state> state)
    : object(IID_DAOIndexFields, db->errors), db_(std::move(db)), state_(std::move(state)) {}

HRESULT DAOIndexFields::get_Count(short* out) {
  return call([&] {
    need(out);
    *out = static_cast<short>(state_->fields.size());
  });
}

HRESULT DAOIndexFields::get_Item(VARIANT Item, VARIANT* out) {
  return call([&] {
    need(out);
    VariantInit(out);
    int32_t i = position_of(Item, state_->fields.size());
    _DAOField* hit = nullptr;
    if (i >= 0) {
      hit = state_->fields[static_cast<size_t>(i)].get();
    } else {
      std::wstring name = dao::arg_text(Item);
      for (auto& f : state_->fields)
        if (jet::same_name(f->state()->spec.name, name)) hit = f.get();
      if (!hit) fail(err::item_not_found);
    }
    hit->AddRef();
    out->vt = VT_DISPATCH;
    out->pdispVal = hit;
  });
}

HRESULT DAOIndexFields::Append(IDispatch* Object) {
  return call([&] {
    db_->live();
    _DAOField* f = as<_DAOField>(Object, IID__DAOField);
    if (state_->appended) fail(err::invalid_operation);
    for (auto& g : state_->fields)
      if (g.get() == f || jet::same_name(g->state()->spec.name, f->state()->spec.name)) fail(err::duplicate_field);
    state_->fields.push_back(ref<_DAOField>::share(f));
  });
}

// ---------------------------------------------------------------------------------------------- Properties

namespace {
// The properties a field answers, in order; absent descriptive ones are left out.
std::vector<std::pair<std::wstring, VARIANT>> properties_of(const dao::field_state& f) {
  std::vector<std::pair<std::wstring, VARIANT>> out;
  auto add_int = [&](const wchar_t* n, int32_t v) {
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_I4;
    x.lVal = v;
    out.emplace_back(n, x);
  };
  auto add_bool = [&](const wchar_t* n, bool b) {
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_BOOL;
    x.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    out.emplace_back(n, x);
  };
  out.emplace_back(L"Name", dao::text_variant(f.spec.name));
  add_int(L"Type", f.dao_type);
  add_int(L"Size", dao::reported_size(f.spec));
  add_bool(L"Required", f.spec.required);
  add_bool(L"AllowZeroLength", f.spec.allow_zero_length);
  out.emplace_back(L"DefaultValue", dao::text_variant(f.spec.default_value));
  if (f.spec.has_description) out.emplace_back(L"Description", dao::text_variant(f.spec.description));
  if (f.spec.has_format) out.emplace_back(L"Format", dao::text_variant(f.spec.format));
  return out;
}
}  // namespace

DAOProperties::DAOProperties(dao::database_ptr db, std::shared_ptr<dao::field_state> field)
    : object(IID_DAOProperties, db->errors), db_(std::move(db)), field_(std::move(field)) {}

HRESULT DAOProperties::get_Count(short* out) {
  return call([&] {
    need(out);
    auto all = properties_of(*field_);
    *out = static_cast<short>(all.size());
    for (auto& p : all) VariantClear(&p.second);
  });
}

HRESULT DAOProperties::get_Item(VARIANT Item, DAOProperty** out) {
  bool missing = false;  // most fields lack most properties: asking is common, so it raises nothing
  const HRESULT hr = call([&] {
    need(out);
    *out = nullptr;
    auto all = properties_of(*field_);
    struct clear_all {
      std::vector<std::pair<std::wstring, VARIANT>>& v;
      ~clear_all() {
        for (auto& p : v) VariantClear(&p.second);
      }
    } guard{all};
    int32_t i = position_of(Item, all.size());
    if (i < 0) {
      std::wstring name = dao::arg_text(Item);
      for (size_t k = 0; k < all.size(); ++k)
        if (jet::same_name(all[k].first, name)) i = static_cast<int32_t>(k);
      if (i < 0) {
        missing = true;
        return;
      }
    }
    *out = new DAOProperty(db_, all[static_cast<size_t>(i)].first, all[static_cast<size_t>(i)].second);
  });
  return missing ? refuse(err::property_not_found) : hr;
}

DAOProperty::DAOProperty(dao::database_ptr db, std::wstring name, VARIANT value)
    : object(IID_DAOProperty, db->errors), db_(std::move(db)), name_(std::move(name)) {
  VariantInit(&value_);
  if (FAILED(VariantCopy(&value_, &value))) throw std::bad_alloc();
}

DAOProperty::~DAOProperty() { VariantClear(&value_); }

HRESULT DAOProperty::get_Name(BSTR* out) {
  return call([&] {
    need(out);
    *out = dao::make_bstr(name_);
  });
}

HRESULT DAOProperty::get_Value(VARIANT* out) {
  return call([&] {
    need(out);
    VariantInit(out);
    if (FAILED(VariantCopy(out, &value_))) throw std::bad_alloc();
  });
}

namespace dao {

bool same_name(std::wstring_view a, std::wstring_view b) { return jet::same_name(a, b); }

}  // namespace dao
