// Indexes.Append on stored tables and Relations.Append on real Access files: what they write (read back
// through the engine's reader and checked by the verifier) and how they refuse, the way DAO does, leaving
// the file byte for byte as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/dao/dao.h"
#include "platform/dao/state.h"
#include "platform/jet/database.h"
#include "platform/jet/reader.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/verifier.h"
#include "platform/oleaut/bstr.h"
#include "platform/oleaut/variant.h"

namespace {

using dao::ref;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

VARIANT i4(int32_t n) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = n;
  return v;
}
VARIANT boolean(bool b) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

// Owns a text VARIANT for the length of one call.
struct text {
  VARIANT v;
  explicit text(const std::wstring& s) : v(dao::text_variant(s)) {}
  ~text() { VariantClear(&v); }
  operator VARIANT() const { return v; }
};

// Customers(Id PK, Region, Code: unique only as a pair with Region) and Orders(Id, Customer, Region, Code).
std::string make_file(const jet::scratch_folder& s) {
  using jet::column_type;
  using jet::value;
  const std::string path = s.file("shop.mdb");
  auto db = jet::database::create(path);
  size_t c = db->add_table(L"Customers",
                           {{.name = L"Id", .type = column_type::long_integer},
                            {.name = L"Region", .type = column_type::text, .size = 4},
                            {.name = L"Code", .type = column_type::text, .size = 8}},
                           {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true}});
  size_t o = db->add_table(L"Orders",
                           {{.name = L"Id", .type = column_type::long_integer},
                            {.name = L"Customer", .type = column_type::long_integer},
                            {.name = L"Region", .type = column_type::text, .size = 4},
                            {.name = L"Code", .type = column_type::text, .size = 8}},
                           {});
  for (int i = 1; i <= 4; ++i)
    db->append_row(c, {value::long_integer(i), value::text(i % 2 ? L"N" : L"S"), value::text(L"c" + std::to_wstring(i / 2))});
  for (int i = 1; i <= 12; ++i) {  // each order carries its customer's Region and Code
    int k = 1 + i % 4;
    db->append_row(o, {value::long_integer(i), value::long_integer(k), value::text(k % 2 ? L"N" : L"S"),
                       value::text(L"c" + std::to_wstring(k / 2))});
  }
  db->close();
  return path;
}

struct DaoRelations : ::testing::Test {
  jet::scratch_folder scratch;
  std::string path;
  ref<_DBEngine> engine;
  ref<DAODatabase> db;

  void SetUp() override {
    path = make_file(scratch);
    _DBEngine* e = nullptr;
    ASSERT_EQ(DAOCreateEngine(dao::file_format::jet4, &e), S_OK);
    engine = ref<_DBEngine>::adopt(e);
  }

  void open(bool read_only = false) {
    BSTR name = oa_alloc_bstr(std::wstring(path.begin(), path.end()));
    DAODatabase* d = nullptr;
    text connect(L"");
    HRESULT hr = engine->OpenDatabase(name, boolean(false), boolean(read_only), connect, &d);
    SysFreeString(name);
    ASSERT_EQ(hr, S_OK);
    db = ref<DAODatabase>::adopt(d);
  }
  void close() {
    ASSERT_EQ(db->Close(), S_OK);
    db = ref<DAODatabase>();
  }

  // The number and text of the error the last failing call left in Errors.
  std::pair<int32_t, std::wstring> last_error() {
    DAOErrors* errs = nullptr;
    EXPECT_EQ(engine->get_Errors(&errs), S_OK);
    auto list = ref<DAOErrors>::adopt(errs);
    DAOError* e = nullptr;
    EXPECT_EQ(list->get_Item(i4(0), &e), S_OK);
    auto first = ref<DAOError>::adopt(e);
    int32_t n = 0;
    BSTR d = nullptr;
    first->get_Number(&n);
    first->get_Description(&d);
    std::wstring description(oa_bstr_view(d));
    SysFreeString(d);
    return {n, description};
  }
  // The DAO error number of a failed call (0 when it succeeded).
  int32_t error_of(HRESULT hr) {
    if (SUCCEEDED(hr)) return 0;
    auto [n, description] = last_error();
    EXPECT_EQ(hr, dao::hresult_of(n));
    return n;
  }

  ref<DAOIndexes> indexes_of(const wchar_t* table) {
    DAOTableDefs* tds = nullptr;
    EXPECT_EQ(db->get_TableDefs(&tds), S_OK);
    auto defs = ref<DAOTableDefs>::adopt(tds);
    _DAOTableDef* t = nullptr;
    text item(table);
    EXPECT_EQ(defs->get_Item(item, &t), S_OK);
    auto def = ref<_DAOTableDef>::adopt(t);
    DAOIndexes* xs = nullptr;
    EXPECT_EQ(def->get_Indexes(&xs), S_OK);
    return ref<DAOIndexes>::adopt(xs);
  }

  // Indexes.Append of a new index over the columns; the DAO error number, 0 on success.
  int32_t append_index(const wchar_t* table, const wchar_t* name, std::vector<std::wstring> columns, bool unique) {
    auto xs = indexes_of(table);
    DAOTableDefs* tds = nullptr;
    db->get_TableDefs(&tds);
    auto defs = ref<DAOTableDefs>::adopt(tds);
    _DAOTableDef* t = nullptr;
    text item(table);
    defs->get_Item(item, &t);
    auto def = ref<_DAOTableDef>::adopt(t);
    _DAOIndex* x = nullptr;
    text index_name(name);
    EXPECT_EQ(def->CreateIndex(index_name, &x), S_OK);
    auto index = ref<_DAOIndex>::adopt(x);
    VARIANT v;
    EXPECT_EQ(index->get_Fields(&v), S_OK);
    void* q = nullptr;
    EXPECT_EQ(v.pdispVal->QueryInterface(IID_DAOIndexFields, &q), S_OK);
    VariantClear(&v);
    auto fields = ref<DAOIndexFields>::adopt(static_cast<DAOIndexFields*>(static_cast<IDispatch*>(q)));
    for (const auto& c : columns) {
      _DAOField* f = nullptr;
      text n(c);
      EXPECT_EQ(index->CreateField(n, i4(dbText), i4(0), &f), S_OK);
      EXPECT_EQ(fields->Append(f), S_OK);
      f->Release();
    }
    EXPECT_EQ(index->put_Unique(unique ? VARIANT_TRUE : VARIANT_FALSE), S_OK);
    return error_of(xs->Append(index.get()));
  }

  ref<_DAORelation> relation(const wchar_t* name, const wchar_t* table, const wchar_t* foreign_table,
                             std::vector<std::pair<std::wstring, std::wstring>> pairs, int32_t attributes = 0) {
    _DAORelation* r = nullptr;
    text n(name), t(table), ft(foreign_table);
    EXPECT_EQ(db->CreateRelation(n, t, ft, i4(attributes), &r), S_OK);
    auto rel = ref<_DAORelation>::adopt(r);
    DAOFields* fs = nullptr;
    EXPECT_EQ(rel->get_Fields(&fs), S_OK);
    auto fields = ref<DAOFields>::adopt(fs);
    for (const auto& [field, foreign] : pairs) {
      _DAOField* f = nullptr;
      text fn(field);
      EXPECT_EQ(rel->CreateField(fn, i4(dbLong), i4(0), &f), S_OK);
      BSTR foreign_name = oa_alloc_bstr(foreign);
      EXPECT_EQ(f->put_ForeignName(foreign_name), S_OK);
      SysFreeString(foreign_name);
      EXPECT_EQ(fields->Append(f), S_OK);
      f->Release();
    }
    return rel;
  }
  int32_t append_relation(_DAORelation* r) {
    DAORelations* rs = nullptr;
    EXPECT_EQ(db->get_Relations(&rs), S_OK);
    auto relations = ref<DAORelations>::adopt(rs);
    return error_of(relations->Append(r));
  }
};

TEST_F(DaoRelations, IndexesAppendBuildsAnIndexOnAStoredTable) {
  const std::string before = slurp(path);
  open();
  // Refused the way DAO refuses, before anything is written.
  EXPECT_EQ(append_index(L"Customers", L"PrimaryKey", {L"Code"}, false), 3284);
  EXPECT_EQ(append_index(L"Customers", L"ByNothing", {L"Nothing"}, false), 3265);
  EXPECT_EQ(append_index(L"Customers", L"ByCode", {L"Code"}, true), 3022);  // "c1" twice
  EXPECT_EQ(last_error().second.rfind(L"The changes you requested to the table were not successful", 0), 0u);
  EXPECT_EQ(append_index(L"Customers", L"NoFields", {}, false), 3264);
  close();
  EXPECT_TRUE(slurp(path) == before);

  open(true);
  EXPECT_EQ(append_index(L"Customers", L"ByCode", {L"Code"}, false), 3027);
  close();
  EXPECT_TRUE(slurp(path) == before);

  open();
  EXPECT_EQ(append_index(L"Customers", L"ByRegionCode", {L"Region", L"Code"}, true), 0);
  EXPECT_EQ(append_index(L"Customers", L"ByCode", {L"Code"}, false), 0);
  // The collection holds the new indexes at once, and refuses the name a second time.
  auto xs = indexes_of(L"Customers");
  short count = 0;
  EXPECT_EQ(xs->get_Count(&count), S_OK);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(append_index(L"Customers", L"byregioncode", {L"Id"}, false), 3284);
  close();

  jet::verify_report report = jet::verify_file(path);
  EXPECT_TRUE(report.ok()) << report.text();
  open();
  auto again = indexes_of(L"Customers");
  _DAOIndex* x = nullptr;
  text name(L"ByRegionCode");
  ASSERT_EQ(again->get_Item(name, &x), S_OK);
  auto index = ref<_DAOIndex>::adopt(x);
  VARIANT_BOOL unique = VARIANT_FALSE;
  EXPECT_EQ(index->get_Unique(&unique), S_OK);
  EXPECT_EQ(unique, VARIANT_TRUE);
  close();
}

// The tables of an opened file are listed once until a table is added or deleted; the collection
// follows both at once.
TEST_F(DaoRelations, TableDefsFollowTablesAddedAndDeleted) {
  open();
  DAOTableDefs* tds = nullptr;
  ASSERT_EQ(db->get_TableDefs(&tds), S_OK);
  auto defs = ref<DAOTableDefs>::adopt(tds);
  short before = 0;
  ASSERT_EQ(defs->get_Count(&before), S_OK);
  auto item = [&](const wchar_t* name) {
    _DAOTableDef* t = nullptr;
    text n(name);
    HRESULT hr = defs->get_Item(n, &t);
    if (t) t->Release();
    return error_of(hr);
  };
  EXPECT_EQ(item(L"Orders"), 0);
  text orders(L"Orders");
  ASSERT_EQ(defs->Delete(orders.v.bstrVal), S_OK);
  short count = 0;
  ASSERT_EQ(defs->get_Count(&count), S_OK);
  EXPECT_EQ(count, before - 1);
  EXPECT_EQ(item(L"Orders"), 3265);

  _DAOTableDef* t = nullptr;
  text name(L"Extra");
  VARIANT none;
  VariantInit(&none);
  ASSERT_EQ(db->CreateTableDef(name, i4(0), none, none, &t), S_OK);
  auto def = ref<_DAOTableDef>::adopt(t);
  _DAOField* f = nullptr;
  text field_name(L"Id");
  ASSERT_EQ(def->CreateField(field_name, i4(dbLong), i4(4), &f), S_OK);
  DAOFields* fs = nullptr;
  ASSERT_EQ(def->get_Fields(&fs), S_OK);
  EXPECT_EQ(fs->Append(f), S_OK);
  fs->Release();
  f->Release();
  ASSERT_EQ(defs->Append(def.get()), S_OK);
  ASSERT_EQ(defs->get_Count(&count), S_OK);
  EXPECT_EQ(count, before);
  EXPECT_EQ(item(L"extra"), 0);
  ASSERT_EQ(defs->Delete(name.v.bstrVal), S_OK);
  EXPECT_EQ(item(L"Extra"), 3265);
  close();

  jet::verify_report report = jet::verify_file(path);
  EXPECT_TRUE(report.ok()) << report.text();
  auto file = jet::database::open(path, {.read_only = true});
  EXPECT_EQ(file->reader().find_table(L"Orders"), nullptr);
  EXPECT_EQ(file->reader().find_table(L"Extra"), nullptr);
  EXPECT_NE(file->reader().find_table(L"Customers"), nullptr);
}

TEST_F(DaoRelations, RelationsAppendWritesTheRelationship) {
  const std::string before = slurp(path);
  open();
  // Orders(Region, Code) -> Customers(Region, Code) needs a unique index on the referenced pair first.
  auto pair = relation(L"CustomersOrdersByCode", L"Customers", L"Orders", {{L"Region", L"Region"}, {L"Code", L"Code"}});
  EXPECT_EQ(append_relation(pair.get()), 3173);
  EXPECT_EQ(append_relation(relation(L"Bad", L"Customers", L"Orders", {{L"Id", L"Nothing"}}).get()), 3265);
  EXPECT_EQ(append_relation(relation(L"Bad", L"Nowhere", L"Orders", {{L"Id", L"Customer"}}).get()), 3265);
  EXPECT_EQ(append_relation(relation(L"Bad", L"Customers", L"Orders", {{L"Id", L"Code"}}).get()), 3368);
  EXPECT_EQ(append_relation(relation(L"Bad", L"Customers", L"Orders", {}).get()), 3366);
  EXPECT_EQ(last_error().second, L"Cannot append a relation with no fields defined.");
  // Order 12 refers to customer 1 .. 4 and order ids run to 12: ids are no customers.
  EXPECT_EQ(append_relation(relation(L"Bad", L"Customers", L"Orders", {{L"Id", L"Id"}}).get()), 3201);
  close();
  EXPECT_TRUE(slurp(path) == before);

  open();
  auto one = relation(L"CustomersOrders", L"Customers", L"Orders", {{L"Id", L"Customer"}}, 0x1000);
  EXPECT_EQ(append_relation(one.get()), 0);
  EXPECT_EQ(append_relation(one.get()), 3367);  // the same object twice
  EXPECT_EQ(append_relation(relation(L"customersorders", L"Customers", L"Orders", {{L"Id", L"Customer"}}).get()),
            3012);
  EXPECT_EQ(append_index(L"Customers", L"ByRegionCode", {L"Region", L"Code"}, true), 0);
  auto two = relation(L"CustomersOrdersByCode", L"Customers", L"Orders", {{L"Region", L"Region"}, {L"Code", L"Code"}});
  EXPECT_EQ(append_relation(two.get()), 0);
  close();

  jet::verify_report report = jet::verify_file(path);
  EXPECT_TRUE(report.ok()) << report.text();
  auto reader = jet::database::open(path, {.read_only = true});
  auto rels = reader->relationships();
  ASSERT_EQ(rels.size(), 2u);
  EXPECT_EQ(rels[0].name, L"CustomersOrders");
  EXPECT_EQ(rels[0].table, L"Orders");
  EXPECT_EQ(rels[0].columns, std::vector<std::wstring>{L"Customer"});
  EXPECT_EQ(rels[0].referenced_table, L"Customers");
  EXPECT_EQ(rels[0].grbit, 0x1000u);
  EXPECT_EQ(rels[1].columns, (std::vector<std::wstring>{L"Region", L"Code"}));
  EXPECT_EQ(rels[1].referenced_columns, (std::vector<std::wstring>{L"Region", L"Code"}));
  EXPECT_TRUE(rels[1].enforced());
}

}  // namespace
