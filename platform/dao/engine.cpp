// The engine, its Errors collection, and the database object.
#include "platform/dao/state.h"
#include "platform/oleaut/bstr.h"
#include "platform/oleaut/variant.h"

using dao::fail;
namespace err = dao::err;

_DBEngine::_DBEngine(dao::file_format format)
    : object(IID__DBEngine, std::make_shared<dao::error_list>()), format_(format) {}

HRESULT DAOCreateEngine(dao::file_format format, _DBEngine** out) {
  if (!out) return E_POINTER;
  *out = new _DBEngine(format);
  return S_OK;
}

namespace {
DAODatabase* open_database(const dao::error_list_ptr& errors, const std::wstring& path,
                           std::unique_ptr<dao::storage> store) {
  auto db = std::make_shared<dao::database_state>();
  db->path = path;
  db->errors = errors;
  db->store = std::move(store);
  return new DAODatabase(db);
}

// The password of a connect text ";pwd=secret" (keys ignore case; other keys are ignored).
std::wstring password_of(const std::wstring& connect) {
  size_t start = 0;
  while (start <= connect.size()) {
    size_t end = connect.find(L';', start);
    if (end == std::wstring::npos) end = connect.size();
    std::wstring part = connect.substr(start, end - start);
    if (part.size() >= 4 && jet::same_name(part.substr(0, 4), L"pwd=")) return part.substr(4);
    start = end + 1;
  }
  return std::wstring();
}
}  // namespace

HRESULT _DBEngine::CreateDatabase(BSTR Name, BSTR Locale, VARIANT Option, DAODatabase** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    std::wstring path(oa_bstr_view(Name));
    if (path.empty()) fail(err::not_valid_path, path);
    // Every file is made with the General sort order and code page 1252; an option asking for another
    // version or for encryption is not available.
    if (dao::arg_int(Option, 0) != 0) fail(err::operation_not_supported);
    *out = open_database(errors(), path, dao::create_storage(path, format_));
  });
}

HRESULT _DBEngine::OpenDatabase(BSTR Name, VARIANT Options, VARIANT ReadOnly, VARIANT Connect, DAODatabase** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    std::wstring path(oa_bstr_view(Name));
    bool exclusive = dao::arg_bool(Options, false);
    bool read_only = dao::arg_bool(ReadOnly, false);
    std::wstring connect = dao::arg_text(Connect);
    *out = open_database(errors(), path, dao::open_storage(path, read_only, exclusive, password_of(connect)));
  });
}

HRESULT _DBEngine::attach_storage(const std::wstring& path, std::unique_ptr<dao::storage> store,
                                  DAODatabase** out) {
  return call([&] {
    need(out);
    need(store.get());
    *out = open_database(errors(), path, std::move(store));
  });
}

HRESULT _DBEngine::get_Errors(DAOErrors** out) {
  return call([&] {
    need(out);
    *out = new DAOErrors(errors());
  });
}

DAOErrors::DAOErrors(dao::error_list_ptr errors) : object(IID_DAOErrors, std::move(errors)) {}

HRESULT DAOErrors::get_Count(short* out) {
  // Reading the list is no DAO call that fails: it must not replace the list it reads.
  if (!out) return E_POINTER;
  *out = static_cast<short>(errors()->entries().size());
  return S_OK;
}

HRESULT DAOErrors::get_Item(VARIANT Item, DAOError** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  const auto& list = errors()->entries();
  int32_t i = -1;
  if (Item.vt == VT_I2) i = Item.iVal;
  else if (Item.vt == VT_I4) i = Item.lVal;
  else return DISP_E_TYPEMISMATCH;
  if (i < 0 || static_cast<size_t>(i) >= list.size()) return dao::hresult_of(err::item_not_found);
  *out = new DAOError(errors(), list[static_cast<size_t>(i)]);
  return S_OK;
}

DAOError::DAOError(dao::error_list_ptr errors, dao::error_entry entry)
    : object(IID_DAOError, std::move(errors)), entry_(std::move(entry)) {}

HRESULT DAOError::get_Number(int32_t* out) {
  if (!out) return E_POINTER;
  *out = entry_.number;
  return S_OK;
}

HRESULT DAOError::get_Description(BSTR* out) {
  if (!out) return E_POINTER;
  *out = oa_alloc_bstr(entry_.description);
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT DAOError::get_Source(BSTR* out) {
  if (!out) return E_POINTER;
  *out = oa_alloc_bstr(entry_.source);
  return *out ? S_OK : E_OUTOFMEMORY;
}

DAODatabase::DAODatabase(dao::database_ptr db) : object(IID_DAODatabase, db->errors), db_(std::move(db)) {}

DAODatabase::~DAODatabase() {
  // The last reference going away without Close gives the file's changes up: only Close writes them, and
  // reports when it cannot. Dropping the storage abandons a new file or a working copy.
  if (!db_->closed && db_->store) {
    db_->store.reset();
    db_->closed = true;
  }
}

HRESULT DAODatabase::get_Name(BSTR* out) {
  return call([&] {
    need(out);
    *out = dao::make_bstr(db_->path);
  });
}

HRESULT DAODatabase::get_Version(BSTR* out) {
  return call([&] {
    need(out);
    db_->live();
    switch (db_->store->format()) {
      case dao::file_format::jet3: *out = dao::make_bstr(L"3.0"); break;
      case dao::file_format::jet4: *out = dao::make_bstr(L"4.0"); break;
      case dao::file_format::ace: *out = dao::make_bstr(L"12.0"); break;
    }
  });
}

HRESULT DAODatabase::get_TableDefs(DAOTableDefs** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    db_->live();
    *out = new DAOTableDefs(db_);
  });
}

HRESULT DAODatabase::get_QueryDefs(DAOQueryDefs** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    db_->live();
    *out = new DAOQueryDefs(db_);
  });
}

HRESULT DAODatabase::get_Relations(DAORelations** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    db_->live();
    *out = new DAORelations(db_);
  });
}

HRESULT DAODatabase::CreateTableDef(VARIANT Name, VARIANT Attributes, VARIANT SourceTableName, VARIANT Connect,
                                    _DAOTableDef** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    db_->live();
    auto t = std::make_shared<dao::tabledef_state>();
    t->name = dao::arg_text(Name);
    // Linked tables (a source table or a connect text) cannot be made here.
    if (dao::arg_int(Attributes, 0) != 0 || !dao::arg_text(SourceTableName).empty() ||
        !dao::arg_text(Connect).empty())
      fail(err::operation_not_supported);
    *out = new _DAOTableDef(db_, t);
  });
}

HRESULT DAODatabase::CreateQueryDef(VARIANT Name, VARIANT SQLText, _DAOQueryDef** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    db_->live();
    // Only temporary QueryDefs: storing a query in the file is not supported.
    if (!dao::arg_text(Name).empty()) fail(err::operation_not_supported);
    *out = new _DAOQueryDef(db_, std::wstring(), dao::arg_text(SQLText), true);
  });
}

HRESULT DAODatabase::CreateRelation(VARIANT Name, VARIANT Table, VARIANT ForeignTable, VARIANT Attributes,
                                    _DAORelation** out) {
  return call([&] {
    need(out);
    *out = nullptr;
    db_->live();
    auto r = std::make_shared<dao::relation_state>();
    r->name = dao::arg_text(Name);
    r->table = dao::arg_text(Table);
    r->foreign_table = dao::arg_text(ForeignTable);
    r->attributes = dao::arg_int(Attributes, 0);
    *out = new _DAORelation(db_, r);
  });
}

HRESULT DAODatabase::Close() {
  return call([&] {
    dao::storage& s = db_->live();
    db_->closed = true;
    s.close();
  });
}
