// The DAO object model's own behaviour: COM shape, Errors list, catalogue objects, statements, recordsets and
// value conversion, over a small in-memory table store standing in for an Access file.
#include "platform/dao/dao.h"
#include "platform/dao/memory_storage_test_support.h"
#include "platform/dao/state.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/jet/database.h"
#include "platform/jet/test_scratch.h"
#include "platform/oleaut/bstr.h"
#include "platform/oleaut/safearray.h"
#include "platform/oleaut/variant.h"

namespace {

using dao::ref;

using dao::memory_storage;

VARIANT text(const wchar_t* s) { return dao::text_variant(s); }
VARIANT i4(int32_t n) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = n;
  return v;
}
VARIANT empty() {
  VARIANT v;
  VariantInit(&v);
  return v;
}

// Owns a VARIANT argument for the length of one call.
struct arg {
  VARIANT v;
  explicit arg(VARIANT x) : v(x) {}
  ~arg() { VariantClear(&v); }
  operator VARIANT() const { return v; }
};

struct DaoObjects : ::testing::Test {
  ref<_DBEngine> engine;
  ref<DAODatabase> db;
  memory_storage* store = nullptr;

  void SetUp() override {
    _DBEngine* e = nullptr;
    ASSERT_EQ(DAOCreateEngine(dao::file_format::jet4, &e), S_OK);
    engine = ref<_DBEngine>::adopt(e);
    auto s = std::make_unique<memory_storage>();
    store = s.get();
    DAODatabase* d = nullptr;
    ASSERT_EQ(engine->attach_storage(L"/tmp/t.mdb", std::move(s), &d), S_OK);
    db = ref<DAODatabase>::adopt(d);
  }

  int last_error() {
    DAOErrors* errs = nullptr;
    EXPECT_EQ(engine->get_Errors(&errs), S_OK);
    DAOError* e = nullptr;
    int32_t n = 0;
    if (errs->get_Item(i4(0), &e) == S_OK) {
      e->get_Number(&n);
      e->Release();
    }
    errs->Release();
    return n;
  }

  ref<_DAOField> field(_DAOTableDef* t, const wchar_t* name, short type, int32_t size) {
    _DAOField* f = nullptr;
    arg n(text(name));
    EXPECT_EQ(t->CreateField(n, i4(type), i4(size), &f), S_OK);
    return ref<_DAOField>::adopt(f);
  }

  // Creates table t(id Long autonumber PK, name Text(5) required, note Memo, flag Boolean, amount Double).
  // A new table definition and its Fields collection.
  void new_tabledef(const wchar_t* table_name, ref<_DAOTableDef>& tdef, ref<DAOFields>& fields) {
    _DAOTableDef* t = nullptr;
    arg name(text(table_name));
    ASSERT_EQ(db->CreateTableDef(name, i4(0), empty(), empty(), &t), S_OK);
    tdef = ref<_DAOTableDef>::adopt(t);
    DAOFields* fs = nullptr;
    ASSERT_EQ(t->get_Fields(&fs), S_OK);
    fields = ref<DAOFields>::adopt(fs);
  }

  void make_table(const wchar_t* table_name = L"t") {
    ref<_DAOTableDef> tdef;
    ref<DAOFields> fields;
    ASSERT_NO_FATAL_FAILURE(new_tabledef(table_name, tdef, fields));
    _DAOTableDef* t = tdef.get();
    DAOFields* fs = fields.get();
    auto id = field(t, L"id", dbLong, 4);
    ASSERT_EQ(id->put_Attributes(dbAutoIncrField), S_OK);
    auto nm = field(t, L"name", dbText, 5);
    ASSERT_EQ(nm->put_Required(VARIANT_TRUE), S_OK);
    ASSERT_EQ(nm->put_AllowZeroLength(VARIANT_TRUE), S_OK);
    auto note = field(t, L"note", dbMemo, 0);
    auto flag = field(t, L"flag", dbBoolean, 1);
    auto amount = field(t, L"amount", dbDouble, 8);
    ASSERT_EQ(amount->put_DefaultValue(i4(5)), S_OK);
    for (auto* f : {id.get(), nm.get(), note.get(), flag.get(), amount.get()}) ASSERT_EQ(fs->Append(f), S_OK);

    _DAOIndex* x = nullptr;
    arg pk(text(L"PrimaryKey"));
    ASSERT_EQ(t->CreateIndex(pk, &x), S_OK);
    auto index = ref<_DAOIndex>::adopt(x);
    VARIANT ifs;
    ASSERT_EQ(x->get_Fields(&ifs), S_OK);
    ASSERT_EQ(ifs.vt, VT_DISPATCH);
    void* q = nullptr;
    ASSERT_EQ(ifs.pdispVal->QueryInterface(IID_DAOIndexFields, &q), S_OK);
    auto index_fields = ref<DAOIndexFields>::adopt(static_cast<DAOIndexFields*>(static_cast<IDispatch*>(q)));
    VariantClear(&ifs);
    _DAOField* xf = nullptr;
    arg idname(text(L"id"));
    ASSERT_EQ(x->CreateField(idname, i4(dbLong), i4(4), &xf), S_OK);
    ASSERT_EQ(index_fields->Append(xf), S_OK);
    xf->Release();
    ASSERT_EQ(x->put_Primary(VARIANT_TRUE), S_OK);
    DAOIndexes* xs = nullptr;
    ASSERT_EQ(t->get_Indexes(&xs), S_OK);
    ASSERT_EQ(xs->Append(x), S_OK);
    xs->Release();

    DAOTableDefs* tds = nullptr;
    ASSERT_EQ(db->get_TableDefs(&tds), S_OK);
    ASSERT_EQ(tds->Append(t), S_OK);
    tds->Release();
  }

  ref<DAORecordset> open(const wchar_t* sql, int32_t options) {
    _DAOQueryDef* q = nullptr;
    arg s(text(sql));
    arg noname(text(L""));
    EXPECT_EQ(db->CreateQueryDef(noname, s, &q), S_OK);
    DAORecordset* r = nullptr;
    HRESULT hr = q->OpenRecordset(i4(dbOpenDynaset), i4(options), &r);
    q->Release();
    return SUCCEEDED(hr) ? ref<DAORecordset>::adopt(r) : ref<DAORecordset>();
  }
};

TEST_F(DaoObjects, ReferenceCountsAndInterfaces) {
  EXPECT_EQ(db->references(), 1u);
  EXPECT_EQ(db->AddRef(), 2u);
  EXPECT_EQ(db->Release(), 1u);
  void* p = nullptr;
  EXPECT_EQ(db->QueryInterface(IID_DAODatabase, &p), S_OK);
  EXPECT_EQ(p, static_cast<IDispatch*>(db.get()));
  static_cast<IDispatch*>(p)->Release();
  EXPECT_EQ(db->QueryInterface(IID_DAORecordset, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  // Children stay usable after their parent holder is gone, until the database is closed.
  DAOTableDefs* tds = nullptr;
  ASSERT_EQ(db->get_TableDefs(&tds), S_OK);
  short n = -1;
  EXPECT_EQ(tds->get_Count(&n), S_OK);
  EXPECT_EQ(n, 0);
  ASSERT_EQ(db->Close(), S_OK);
  EXPECT_EQ(store->closes, 1);
  EXPECT_EQ(tds->get_Count(&n), dao::hresult_of(3420));
  EXPECT_EQ(db->Close(), dao::hresult_of(3420));
  tds->Release();
}

TEST_F(DaoObjects, VersionNamesTheFileFormat) {
  const std::pair<dao::file_format, const wchar_t*> versions[] = {
      {dao::file_format::jet3, L"3.0"}, {dao::file_format::jet4, L"4.0"}, {dao::file_format::ace, L"12.0"}};
  for (const auto& [format, text] : versions) {
    auto s = std::make_unique<memory_storage>();
    s->format_ = format;
    DAODatabase* d = nullptr;
    ASSERT_EQ(engine->attach_storage(L"/tmp/v.mdb", std::move(s), &d), S_OK);
    BSTR version = nullptr;
    ASSERT_EQ(d->get_Version(&version), S_OK);
    EXPECT_EQ(std::wstring(oa_bstr_view(version)), text);
    SysFreeString(version);
    ASSERT_EQ(d->Close(), S_OK);
    EXPECT_EQ(d->get_Version(&version), dao::hresult_of(3420));
    d->Release();
  }
}

TEST_F(DaoObjects, FailuresReplaceErrorsAndSuccessLeavesThem) {
  DAOTableDefs* tds = nullptr;
  ASSERT_EQ(db->get_TableDefs(&tds), S_OK);
  _DAOTableDef* t = nullptr;
  arg missing(text(L"nope"));
  EXPECT_EQ(tds->get_Item(missing, &t), dao::hresult_of(3265));
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(last_error(), 3265);
  short n = 0;
  EXPECT_EQ(tds->get_Count(&n), S_OK);
  EXPECT_EQ(last_error(), 3265);

  DAOErrors* errs = nullptr;
  ASSERT_EQ(engine->get_Errors(&errs), S_OK);
  DAOError* e = nullptr;
  ASSERT_EQ(errs->get_Item(i4(0), &e), S_OK);
  BSTR d = nullptr;
  ASSERT_EQ(e->get_Description(&d), S_OK);
  EXPECT_EQ(std::wstring(oa_bstr_view(d)), L"Item not found in this collection.");
  SysFreeString(d);
  e->Release();
  EXPECT_EQ(errs->get_Item(i4(1), &e), dao::hresult_of(3265));
  errs->Release();
  tds->Release();
}

// Names beyond ASCII compare as the engine compares them, whatever the process locale: DAO refuses a second
// field 'éTÉ' beside 'Été' (3191) just as the engine refuses a table made with both.
TEST_F(DaoObjects, FieldNamesThatDifferOnlyInCaseAreOneNameBeyondAsciiToo) {
  ref<_DAOTableDef> tdef;
  ref<DAOFields> fields;
  ASSERT_NO_FATAL_FAILURE(new_tabledef(L"Accents", tdef, fields));
  _DAOTableDef* t = tdef.get();
  DAOFields* fs = fields.get();
  auto first = field(t, L"\u00c9t\u00e9", dbText, 10);
  auto second = field(t, L"\u00e9T\u00c9", dbText, 10);
  auto cyrillic = field(t, L"\u0416", dbText, 10);
  auto other = field(t, L"\u0436", dbText, 10);
  ASSERT_EQ(fs->Append(first.get()), S_OK);
  EXPECT_EQ(fs->Append(second.get()), dao::hresult_of(3191));
  ASSERT_EQ(fs->Append(cyrillic.get()), S_OK);
  EXPECT_EQ(fs->Append(other.get()), dao::hresult_of(3191));

  jet::scratch_folder dir;
  auto file = jet::database::create(dir.file("a.mdb"));
  EXPECT_EQ(jet::error_of([&] {
              file->add_table(L"Accents", {{.name = L"\u00c9t\u00e9", .type = jet::column_type::text, .size = 10},
                                           {.name = L"\u00e9T\u00c9", .type = jet::column_type::text, .size = 10}},
                              {});
            }),
            3191);
  file->abandon();
}

TEST_F(DaoObjects, TableCreationReadsBack) {
  make_table();
  DAOTableDefs* tds = nullptr;
  ASSERT_EQ(db->get_TableDefs(&tds), S_OK);
  _DAOTableDef* t = nullptr;
  arg name(text(L"T"));
  ASSERT_EQ(tds->get_Item(name, &t), S_OK);
  tds->Release();
  DAOFields* fs = nullptr;
  ASSERT_EQ(t->get_Fields(&fs), S_OK);
  short count = 0;
  ASSERT_EQ(fs->get_Count(&count), S_OK);
  EXPECT_EQ(count, 5);
  _DAOField* f = nullptr;
  ASSERT_EQ(fs->get_Item(i4(0), &f), S_OK);
  int32_t attributes = 0;
  ASSERT_EQ(f->get_Attributes(&attributes), S_OK);
  EXPECT_TRUE(attributes & dbAutoIncrField);
  VARIANT v = empty();
  EXPECT_EQ(f->get_Value(&v), dao::hresult_of(3219));  // a TableDef field has no value
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_EQ(last_error(), 3219);  // and the Errors list says so, as for any failed call
  EXPECT_EQ(f->put_Required(VARIANT_TRUE), dao::hresult_of(3219));
  f->Release();
  arg nm(text(L"NAME"));
  ASSERT_EQ(fs->get_Item(nm, &f), S_OK);
  short type = 0;
  int32_t size = 0;
  VARIANT_BOOL required = 0;
  f->get_Type(&type), f->get_Size(&size), f->get_Required(&required);
  EXPECT_EQ(type, dbText);
  EXPECT_EQ(size, 5);
  EXPECT_EQ(required, VARIANT_TRUE);
  DAOProperties* ps = nullptr;
  ASSERT_EQ(f->get_Properties(&ps), S_OK);
  DAOProperty* p = nullptr;
  arg desc(text(L"Description"));
  EXPECT_EQ(ps->get_Item(desc, &p), dao::hresult_of(3270));
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(last_error(), 3270);
  ps->Release();
  f->Release();
  arg amount(text(L"amount"));
  ASSERT_EQ(fs->get_Item(amount, &f), S_OK);
  VARIANT dv;
  ASSERT_EQ(f->get_DefaultValue(&dv), S_OK);
  EXPECT_EQ(std::wstring(oa_bstr_view(dv.bstrVal)), L"5");
  VariantClear(&dv);
  f->Release();
  fs->Release();

  DAOIndexes* xs = nullptr;
  ASSERT_EQ(t->get_Indexes(&xs), S_OK);
  _DAOIndex* x = nullptr;
  ASSERT_EQ(xs->get_Item(i4(0), &x), S_OK);
  VARIANT_BOOL primary = 0, unique = 0;
  x->get_Primary(&primary), x->get_Unique(&unique);
  EXPECT_EQ(primary, VARIANT_TRUE);
  EXPECT_EQ(unique, VARIANT_TRUE);
  x->Release();
  xs->Release();
  t->Release();

  // The same name again is the engine's refusal, and the TableDef can be appended only once.
  _DAOTableDef* again = nullptr;
  arg n2(text(L"t"));
  ASSERT_EQ(db->CreateTableDef(n2, i4(0), empty(), empty(), &again), S_OK);
  auto f2 = field(again, L"a", dbLong, 4);
  DAOFields* fs2 = nullptr;
  again->get_Fields(&fs2);
  ASSERT_EQ(fs2->Append(f2.get()), S_OK);
  EXPECT_EQ(fs2->Append(f2.get()), dao::hresult_of(3367));
  fs2->Release();
  ASSERT_EQ(db->get_TableDefs(&tds), S_OK);
  EXPECT_EQ(tds->Append(again), dao::hresult_of(3010));
  EXPECT_EQ(last_error(), 3010);
  tds->Release();
  again->Release();
}

TEST_F(DaoObjects, AppendingRowsConvertsAndChecks) {
  make_table();
  ref<DAORecordset> r = open(L"SELECT * FROM [t]", dbAppendOnly);
  ASSERT_TRUE(r);
  VARIANT_BOOL eof = 0;
  ASSERT_EQ(r->get_EOF(&eof), S_OK);
  EXPECT_EQ(eof, VARIANT_TRUE);

  // Without AddNew there is nothing to write into.
  EXPECT_EQ(r->put_Collect(arg(text(L"name")), arg(text(L"x"))), dao::hresult_of(3020));

  ASSERT_EQ(r->AddNew(), S_OK);
  ASSERT_EQ(r->put_Collect(arg(text(L"name")), arg(text(L"abc"))), S_OK);
  ASSERT_EQ(r->put_Collect(arg(text(L"amount")), arg(text(L"2.5"))), S_OK);
  ASSERT_EQ(r->Update(dbUpdateRegular, VARIANT_FALSE), S_OK);

  ASSERT_EQ(r->AddNew(), S_OK);
  EXPECT_EQ(r->put_Collect(arg(text(L"name")), arg(text(L"toolong"))), dao::hresult_of(3163));
  EXPECT_EQ(r->put_Collect(arg(text(L"amount")), arg(text(L"abc"))), dao::hresult_of(3421));
  EXPECT_EQ(r->put_Collect(arg(text(L"nosuch")), arg(text(L"1"))), dao::hresult_of(3265));
  EXPECT_EQ(r->Update(dbUpdateRegular, VARIANT_FALSE), dao::hresult_of(3314));
  ASSERT_EQ(r->AddNew(), S_OK);  // starts over; the failed row is dropped
  ASSERT_EQ(r->put_Collect(arg(text(L"id")), arg(i4(1))), S_OK);
  ASSERT_EQ(r->put_Collect(arg(text(L"name")), arg(text(L"dup"))), S_OK);
  EXPECT_EQ(r->Update(dbUpdateRegular, VARIANT_FALSE), dao::hresult_of(3022));
  EXPECT_EQ(last_error(), 3022);
  ASSERT_EQ(r->AddNew(), S_OK);
  ASSERT_EQ(r->put_Collect(arg(text(L"name")), arg(text(L""))), S_OK);
  ASSERT_EQ(r->Update(dbUpdateRegular, VARIANT_FALSE), S_OK);
  ASSERT_EQ(r->Close(), S_OK);
  EXPECT_EQ(r->AddNew(), dao::hresult_of(3420));

  ASSERT_EQ(store->tables_[0].rows.size(), 2u);
  const dao::row& first = store->tables_[0].rows[0];
  EXPECT_EQ(first[0], jet::value::long_integer(1));
  EXPECT_EQ(first[1], jet::value::text(L"abc"));
  EXPECT_TRUE(first[2].is_null());
  EXPECT_EQ(first[3], jet::value::boolean(false));  // Yes/No cannot be Null
  EXPECT_EQ(first[4], jet::value::double_(2.5));
}

TEST_F(DaoObjects, RowsAppendedThroughAOneTableQueryGoToItsTable) {
  make_table();
  // Two of the table's columns, named in another order: the others stay Null (Yes/No: No).
  ref<DAORecordset> r = open(L"SELECT name, id FROM t WHERE id > 100", dbAppendOnly);
  ASSERT_TRUE(r);
  ASSERT_EQ(r->AddNew(), S_OK);
  ASSERT_EQ(r->put_Collect(arg(text(L"id")), arg(i4(7))), S_OK);
  ASSERT_EQ(r->put_Collect(arg(text(L"name")), arg(text(L"viq"))), S_OK);
  ASSERT_EQ(r->Update(dbUpdateRegular, VARIANT_FALSE), S_OK);
  ASSERT_EQ(store->tables_[0].rows.size(), 1u);
  const dao::row& row = store->tables_[0].rows[0];
  EXPECT_EQ(row[0], jet::value::long_integer(7));
  EXPECT_EQ(row[1], jet::value::text(L"viq"));
  EXPECT_TRUE(row[2].is_null());
  // A query over more than one table, or one that computes its rows, takes none.
  for (const wchar_t* sql : {L"SELECT a.name FROM t AS a INNER JOIN t AS b ON a.id = b.id",
                             L"SELECT DISTINCT name FROM t", L"SELECT name & '' AS n FROM t", L"SELECT Count(*) FROM t"}) {
    ref<DAORecordset> q = open(sql, dbAppendOnly);
    ASSERT_TRUE(q) << sql;
    EXPECT_EQ(q->AddNew(), dao::hresult_of(3027)) << sql;
  }
}

TEST_F(DaoObjects, ReadingCursorsAndCounts) {
  make_table();
  {
    ref<DAORecordset> w = open(L"SELECT * FROM [t]", dbAppendOnly);
    for (const wchar_t* s : {L"b", L"a", L"c"}) {
      ASSERT_EQ(w->AddNew(), S_OK);
      ASSERT_EQ(w->put_Collect(arg(text(L"name")), arg(text(s))), S_OK);
      ASSERT_EQ(w->Update(dbUpdateRegular, VARIANT_FALSE), S_OK);
    }
  }
  ref<DAORecordset> r = open(L"SELECT name, id FROM t ORDER BY name", dbReadOnly);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->AddNew(), dao::hresult_of(3027));
  std::wstring seen;
  VARIANT_BOOL eof = 0;
  ASSERT_EQ(r->MoveFirst(), S_OK);
  for (r->get_EOF(&eof); !eof; r->MoveNext(), r->get_EOF(&eof)) {
    DAOFields* fs = nullptr;
    ASSERT_EQ(r->get_Fields(&fs), S_OK);
    _DAOField* f = nullptr;
    ASSERT_EQ(fs->get_Item(i4(0), &f), S_OK);
    VARIANT v;
    ASSERT_EQ(f->get_Value(&v), S_OK);
    seen += oa_bstr_view(v.bstrVal);
    VariantClear(&v);
    f->Release();
    fs->Release();
  }
  EXPECT_EQ(seen, L"abc");
  EXPECT_EQ(r->MoveNext(), dao::hresult_of(3021));
  {
    // Past the last row a field has no current value; the Errors list tells which failure that was.
    DAOFields* fs = nullptr;
    ASSERT_EQ(r->get_Fields(&fs), S_OK);
    _DAOField* f = nullptr;
    ASSERT_EQ(fs->get_Item(i4(0), &f), S_OK);
    EXPECT_EQ(r->AddNew(), dao::hresult_of(3027));
    EXPECT_EQ(last_error(), 3027);
    VARIANT v;
    EXPECT_EQ(f->get_Value(&v), dao::hresult_of(3021));
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(last_error(), 3021);
    f->Release();
    fs->Release();
  }

  ref<DAORecordset> c = open(L"select count(*) from (SELECT * FROM [t])", dbReadOnly);
  ASSERT_TRUE(c);
  VARIANT n;
  ASSERT_EQ(c->get_Collect(i4(0), &n), S_OK);
  EXPECT_EQ(n.vt, VT_I4);
  EXPECT_EQ(n.lVal, 3);

  EXPECT_FALSE(open(L"SELECT * FROM [missing]", dbReadOnly));
  EXPECT_EQ(last_error(), 3078);
  EXPECT_FALSE(open(L"SELECT * FROM t WHERE", dbReadOnly));
  EXPECT_EQ(last_error(), 3075);
}

TEST(DaoValues, ConversionIntoColumns) {
  dao::column_spec text_col;
  text_col.type = jet::column_type::text;
  text_col.size = 3;
  // Jet 4 counts UTF-16 units: one character outside the BMP takes two of the three.
  arg astral(text(L"\U0001F600a"));
  EXPECT_EQ(dao::to_column_value(astral, text_col, dao::file_format::jet4), jet::value::text(L"\U0001F600a"));
  arg astral2(text(L"\U0001F600ab"));
  EXPECT_THROW(dao::to_column_value(astral2, text_col, dao::file_format::jet4), dao::error);
  // Jet 3 counts characters of its code page: any character is one there (the engine stores '?' for those the
  // code page lacks), so three characters fit however far beyond the BMP they are; a fourth does not.
  EXPECT_EQ(dao::to_column_value(astral2, text_col, dao::file_format::jet3), jet::value::text(L"\U0001F600ab"));
  arg four(text(L"\U0001F600\u65E5\u00E9z"));
  try {
    dao::to_column_value(four, text_col, dao::file_format::jet3);
    ADD_FAILURE();
  } catch (const dao::error& e) {
    EXPECT_EQ(e.number(), 3163);
  }

  dao::column_spec small;
  small.type = jet::column_type::integer;
  try {
    dao::to_column_value(i4(70000), small, dao::file_format::jet4);
    ADD_FAILURE();
  } catch (const dao::error& e) {
    EXPECT_EQ(e.number(), 3349);
  }
  dao::column_spec bin;
  bin.type = jet::column_type::binary;
  bin.size = 2;
  VARIANT a;
  VariantInit(&a);
  a.vt = VT_ARRAY_UI1;
  a.parray = SafeArrayCreateVector(VT_UI1, 0, 3);
  EXPECT_THROW(dao::to_column_value(a, bin, dao::file_format::jet4), dao::error);
  bin.size = 3;
  EXPECT_EQ(dao::to_column_value(a, bin, dao::file_format::jet4), jet::value::binary(jet::bytes{0, 0, 0}));
  // Binary data has no default in Access.
  EXPECT_THROW(dao::default_text(a), dao::error);
  VariantClear(&a);

  VARIANT b;
  VariantInit(&b);
  b.vt = VT_BOOL;
  b.boolVal = VARIANT_TRUE;
  EXPECT_EQ(dao::default_text(b), L"True");
  VARIANT d;
  VariantInit(&d);
  d.vt = VT_R8;
  d.dblVal = 9007199254740992.0;
  EXPECT_EQ(dao::default_text(d), L"9007199254740992");
  d.dblVal = 0.1;
  EXPECT_EQ(dao::default_text(d), L"0.1");
  arg quoted(text(L"\"abc\""));
  EXPECT_EQ(dao::default_text(quoted), L"\"abc\"");
}

}  // namespace
