// The Access database: catalogue reading, table creation from schemas of every kind, names, defaults,
// indexes, appending rows with the engine's refusals, stored relationships, query rewriting.
#include "access/dao_db.h"

#include <gtest/gtest.h>

#include <cmath>

#include "TK/tk_errco.h"
#include "access/dao_recs.h"
#include "platform/dao/memory_storage_test_support.h"

namespace {

using dao::memory_storage;

t_ftd column(const wchar_t* name, VARTYPE vt, int32_t size, bool not_null = false, bool autoinc = false,
             ole_variant def = ole_variant(), int32_t reserved = 0) {
  return t_ftd(size, name, vt, not_null, autoinc, def, reserved, L"");
}

struct DaoDatabase : ::testing::Test {
  dao_engine engine{0};
  memory_storage* store = nullptr;
  std::unique_ptr<dao_database> db;

  void SetUp() override { open(114); }

  void open(int32_t mode, std::unique_ptr<memory_storage> s = std::make_unique<memory_storage>()) {
    db.reset();
    engine.set_version(0);
    store = s.get();
    DAODatabase* d = nullptr;
    ASSERT_EQ(engine.db_engine()->attach_storage(L"mem.mdb", std::move(s), &d), S_OK);
    db = std::make_unique<dao_database>(L"mem.mdb", d, mode);
    d->Release();
  }

  const dao::table_schema& stored(const wchar_t* name) { return store->find(name).schema; }
  const dao::column_spec& stored_column(const wchar_t* table, const wchar_t* name) {
    for (const auto& c : stored(table).columns)
      if (c.name == name) return c;
    static dao::column_spec none;
    ADD_FAILURE() << "no column";
    return none;
  }

  // One record of owned fields.
  static udb_record record(std::vector<ole_variant> values) {
    udb_record r;
    for (auto& v : values) r.push_back(std::make_unique<udb_field>(L"", 0, v, false, false));
    return r;
  }
};

TEST_F(DaoDatabase, EveryMysqlKindMapsToItsAccessType) {
  udb_schema s;
  s.push_back(column(L"i1", VT_I1, 1));
  s.push_back(column(L"u1", VT_UI1, 1));
  s.push_back(column(L"i2", VT_I2, 2));
  s.push_back(column(L"u2", VT_UI2, 2));
  s.push_back(column(L"i4", VT_I4, 4, true, true));
  s.push_back(column(L"u4", VT_UI4, 4));
  s.push_back(column(L"i8", VT_I8, 8));
  s.push_back(column(L"u8", VT_UI8, 8));
  s.push_back(column(L"r4", VT_R4, 4));
  s.push_back(column(L"r8", VT_R8, 8));
  s.push_back(column(L"dec", VT_DECIMAL, 10));
  s.push_back(column(L"dt", VT_DATE, 8));
  s.push_back(column(L"b", VT_BOOL, 1));
  s.push_back(column(L"t1", VT_BSTR, 1));
  s.push_back(column(L"t255", VT_BSTR, 255));
  s.push_back(column(L"t256", VT_BSTR, 256));
  s.push_back(column(L"t0", VT_BSTR, 0));
  s.push_back(column(L"bin", VT_ARRAY_UI1, 16));
  s.push_back(column(L"blob", VT_ARRAY_UI1, 65535));
  s.push_back(column(L"blobmemo", VT_ARRAY_UI1, 16, false, false, ole_variant(), udb_kind_binary_as_memo));
  s.push_back(column(L"i2auto", VT_I2, 2, false, true));
  auto rs = db->create_table(L"kinds", s, udb_indexes());
  ASSERT_TRUE(rs);
  using jet::column_type;
  const column_type expected[] = {
      column_type::integer, column_type::byte, column_type::integer, column_type::long_integer,
      column_type::long_integer, column_type::double_, column_type::double_, column_type::double_,
      column_type::single, column_type::double_, column_type::double_, column_type::datetime,
      column_type::boolean, column_type::text, column_type::text, column_type::memo, column_type::memo,
      column_type::binary, column_type::ole, column_type::memo, column_type::integer};
  const auto& cols = stored(L"kinds").columns;
  ASSERT_EQ(cols.size(), std::size(expected));
  for (size_t i = 0; i < cols.size(); ++i) EXPECT_EQ(cols[i].type, expected[i]) << i;
  EXPECT_TRUE(cols[4].autonumber);
  EXPECT_TRUE(cols[4].required);
  EXPECT_FALSE(cols[20].autonumber);  // auto-increment only on Long
  EXPECT_TRUE(cols[13].allow_zero_length);
  EXPECT_FALSE(cols[0].allow_zero_length);
  // The recordset reads the new table back.
  ASSERT_EQ(rs->schema.size(), cols.size());
  EXPECT_EQ(rs->schema[13].vartype, VT_BSTR);
  EXPECT_EQ(rs->schema[13].size, 1);
  EXPECT_EQ(rs->schema[11].reserved, udb_kind_datetime);
  EXPECT_TRUE(db->is_table_exist(L"KINDS"));

  udb_schema bad;
  bad.push_back(column(L"x", VT_INT, 4));
  EXPECT_THROW(db->create_table(L"bad", bad, udb_indexes()), ole_type_exception);
  EXPECT_FALSE(db->is_table_exist(L"bad"));
}

// A MySQL text column that may hold characters beyond the BMP needs two UTF-16 units of room per character in an
// Access 2000 or later file; an Access 95/97 file stores every character as one byte of its code page ('?' for
// those it lacks), so the column keeps its own size there. The kinds map to the same Access types in both.
TEST_F(DaoDatabase, TextRoomForCharactersBeyondTheBmpFollowsTheFileFormat) {
  for (dao::file_format format : {dao::file_format::jet4, dao::file_format::jet3}) {
    SCOPED_TRACE(static_cast<int>(format));
    auto s = std::make_unique<memory_storage>();
    s->format_ = format;
    open(114, std::move(s));
    udb_schema schema;
    for (int32_t size : {100, 200, 255}) {
      schema.push_back(column((L"t" + std::to_wstring(size)).c_str(), VT_BSTR, size));
      schema[schema.size() - 1].beyond_bmp = true;
    }
    schema.push_back(column(L"plain", VT_BSTR, 100));
    schema.push_back(column(L"memo", VT_BSTR, 300));
    schema[schema.size() - 1].beyond_bmp = true;
    ASSERT_TRUE(db->create_table(L"t", schema, udb_indexes()));
    const bool unicode = format != dao::file_format::jet3;
    EXPECT_EQ(stored_column(L"t", L"t100").size, unicode ? 200u : 100u);
    EXPECT_EQ(stored_column(L"t", L"t200").size, unicode ? 255u : 200u);
    EXPECT_EQ(stored_column(L"t", L"t255").size, 255u);
    EXPECT_EQ(stored_column(L"t", L"plain").size, 100u);
    for (const wchar_t* text : {L"t100", L"t200", L"t255", L"plain"})
      EXPECT_EQ(stored_column(L"t", text).type, jet::column_type::text) << text;
    EXPECT_EQ(stored_column(L"t", L"memo").type, jet::column_type::memo);
  }
}

// An Access 95/97 file holds names in its code page: columns and indexes whose names have characters it lacks get
// safe names with "_" for them, distinct even where only those characters differed; the index follows its column.
TEST_F(DaoDatabase, NamesOfAnAccess97TableHoldOnlyItsCodePage) {
  auto s = std::make_unique<memory_storage>();
  s->format_ = dao::file_format::jet3;
  open(114, std::move(s));
  udb_schema schema;
  schema.push_back(column(L"id", VT_I4, 4));
  schema.push_back(column(L"a\u8868", VT_BSTR, 10));
  schema.push_back(column(L"a\u5B57", VT_BSTR, 10));
  schema.push_back(column(L"Gr\u00F6\u00DFe", VT_BSTR, 10));
  udb_indexes indexes;
  indexes.push_back(udb_index(L"ix_\u8868", false, false, {L"a\u8868"}));
  ASSERT_TRUE(db->create_table(L"t", schema, indexes));
  const auto& cols = stored(L"t").columns;
  ASSERT_EQ(cols.size(), 4u);
  EXPECT_EQ(cols[1].name, L"a_");
  EXPECT_EQ(cols[2].name, L"a_00000");
  EXPECT_EQ(cols[3].name, L"Gr\u00F6\u00DFe");
  ASSERT_EQ(stored(L"t").indexes.size(), 1u);
  EXPECT_EQ(stored(L"t").indexes[0].name, L"ix__");
  EXPECT_EQ(stored(L"t").indexes[0].columns, std::vector<std::wstring>{L"a_"});
}

TEST_F(DaoDatabase, NamesDefaultsAndIndexes) {
  udb_schema s;
  s.push_back(column(L"Order Date", VT_DATE, 8, false, false, ole_variant(L"2011-03-04 05:06:07")));
  s.push_back(column(L"a.b", VT_BSTR, 20, false, false, ole_variant(L"abc")));
  s.push_back(column(L"[Total]", VT_R8, 8, false, false, ole_variant(2.5)));
  s.push_back(column(L"A", VT_BSTR, 10, false, false, ole_variant(L"say \"hi\"")));
  s.push_back(column(L"a", VT_BSTR, 10, false, false, ole_variant(L"both \" and '")));
  s.push_back(column(L"now", VT_DATE, 8, false, false, ole_variant(), udb_kind_default_now));
  s.push_back(column(L"today", VT_DATE, 8, false, false, ole_variant(), udb_kind_default_date));
  s.push_back(column(L"bad date", VT_DATE, 8, false, false, ole_variant(L"not a date")));
  s.push_back(column(L"big", VT_I8, 8, false, false, ole_variant(9007199254740993LL)));
  s.push_back(column(L"blob", VT_ARRAY_UI1, 4, false, false, ole_variant(std::vector<uint8_t>{1, 2})));
  s.push_back(column(L"memo", VT_BSTR, 0));
  udb_indexes x;
  x.push_back(udb_index(L"PRIMARY", true, true, {L"a.b"}));
  x.push_back(udb_index(L"on memo", false, false, {L"memo"}));
  x.push_back(udb_index(L"on blob", false, false, {L"blob"}));
  x.push_back(udb_index(L"by:total", false, false, {L"[Total]", L"Order Date"}));
  db->create_table(L"names", s, x);

  const auto& cols = stored(L"names").columns;
  std::vector<std::wstring> names;
  for (const auto& c : cols) names.push_back(c.name);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Order Date", L"a_b", L"total", L"A", L"a00000", L"now", L"today",
                                              L"bad date", L"big", L"blob", L"memo"}));
  EXPECT_EQ(db->names_map.get_fn_mapped_name(L"names", L"a.b"), L"a_b");
  EXPECT_EQ(db->names_map.get_fn_mapped_name(L"names", L"[Total]"), L"total");

  EXPECT_EQ(cols[0].default_value, L"\"2011-03-04 05:06:07\"");
  EXPECT_EQ(cols[1].default_value, L"\"abc\"");
  EXPECT_EQ(cols[2].default_value, L"2.5");
  EXPECT_EQ(cols[3].default_value, L"'say \"hi\"'");
  EXPECT_EQ(cols[4].default_value, L"\"both ' and '\"");
  EXPECT_EQ(cols[5].default_value, L"Now()");
  EXPECT_EQ(cols[6].default_value, L"Date()");
  EXPECT_EQ(cols[7].default_value, L"");
  EXPECT_EQ(cols[8].default_value, L"9007199254740992");
  EXPECT_EQ(cols[9].default_value, L"");  // no default for binary data

  const auto& idx = stored(L"names").indexes;
  ASSERT_EQ(idx.size(), 2u);
  EXPECT_EQ(idx[0].name, L"PRIMARY");
  EXPECT_EQ(idx[0].columns, std::vector<std::wstring>{L"a_b"});
  EXPECT_TRUE(idx[0].primary);
  EXPECT_EQ(idx[1].name, L"by_total");
  EXPECT_EQ(idx[1].columns, (std::vector<std::wstring>{L"total", L"Order Date"}));
}

TEST_F(DaoDatabase, IndexLimits) {
  udb_schema s;
  udb_name_list eleven;
  for (int i = 0; i < 40; ++i) {
    std::wstring n = L"c" + std::to_wstring(i);
    s.push_back(column(n.c_str(), VT_I4, 4));
    if (i < 11) eleven.push_back(n);
  }
  udb_indexes x;
  x.push_back(udb_index(L"eleven", false, false, eleven));
  for (int i = 0; i < 40; ++i) x.push_back(udb_index(L"i" + std::to_wstring(i), false, false, {L"c" + std::to_wstring(i)}));
  db->create_table(L"many", s, x);
  const auto& idx = stored(L"many").indexes;
  ASSERT_EQ(idx.size(), 32u);
  EXPECT_EQ(idx[0].name, L"i0");
  EXPECT_EQ(idx[31].name, L"i31");
}

TEST_F(DaoDatabase, AppendingRecordsOfEveryKind) {
  udb_schema s;
  s.push_back(column(L"id", VT_I4, 4, true, true));
  s.push_back(column(L"name", VT_BSTR, 5, true));
  s.push_back(column(L"tiny", VT_I1, 1));
  s.push_back(column(L"usmall", VT_UI2, 2));
  s.push_back(column(L"big", VT_I8, 8));
  s.push_back(column(L"dec", VT_DECIMAL, 10));
  s.push_back(column(L"when", VT_DATE, 8));
  s.push_back(column(L"bin", VT_ARRAY_UI1, 4));
  s.push_back(column(L"flag", VT_BOOL, 1));
  s.push_back(column(L"qty", VT_I4, 4, true));
  udb_indexes x;
  x.push_back(udb_index(L"PrimaryKey", true, true, {L"id"}));
  auto rs = db->create_table(L"rows", s, x);

  DECIMAL d{};
  d.scale = 2;
  d.Lo64 = 12345;
  rs->append_record(record({ole_variant(1), ole_variant(L"ab"), ole_variant(static_cast<signed char>(-5)),
                            ole_variant(static_cast<unsigned short>(65535)), ole_variant(9007199254740993LL),
                            ole_variant(d), ole_variant(ole_date(std::string("2024-02-29 10:30:00"))),
                            ole_variant(std::vector<uint8_t>{1, 2, 3}), ole_variant(true), ole_variant(7)}));
  // NULL into a NOT NULL text column is written as an empty text.
  rs->append_record(record({ole_variant(2), ole_variant(), ole_variant(), ole_variant(), ole_variant(),
                            ole_variant(), ole_variant(), ole_variant(), ole_variant(), ole_variant(8)}));
  const auto& rows = store->find(L"rows").rows;
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][2], jet::value::integer(-5));
  EXPECT_EQ(rows[0][3], jet::value::long_integer(65535));
  EXPECT_EQ(rows[0][4], jet::value::double_(9007199254740992.0));
  EXPECT_EQ(rows[0][5], jet::value::double_(123.45));
  EXPECT_EQ(rows[0][7], jet::value::binary({1, 2, 3}));
  EXPECT_EQ(rows[0][8], jet::value::boolean(true));
  EXPECT_EQ(rows[1][1], jet::value::text(L""));
  EXPECT_EQ(rows[1][8], jet::value::boolean(false));

  auto code_of = [&](udb_record r) -> int32_t {
    try {
      rs->append_record(r);
    } catch (const tk_exception& e) {
      EXPECT_EQ(e.level, 0);
      return e.code;
    }
    return 0;
  };
  std::vector<ole_variant> ok = {ole_variant(3), ole_variant(L"c"), ole_variant(), ole_variant(), ole_variant(),
                                 ole_variant(), ole_variant(), ole_variant(), ole_variant(), ole_variant(9)};
  auto with = [&](size_t i, ole_variant v) {
    auto copy = ok;
    copy[i] = v;
    return record(copy);
  };
  EXPECT_EQ(code_of(with(0, ole_variant(1))), 0x10000 + 3022);  // duplicate key
  EXPECT_EQ(code_of(with(1, ole_variant(L"toolong"))), 0x10000 + 3163);
  EXPECT_EQ(code_of(with(9, ole_variant())), 0x10000 + 3314);  // NULL into a required number
  EXPECT_EQ(code_of(with(7, ole_variant(std::vector<uint8_t>{1, 2, 3, 4, 5}))), 0x10000 + 3163);
  udb_record short_record = record({ole_variant(4)});
  EXPECT_EQ(code_of(std::move(short_record)), 0);  // conformity: code 0, level 0
  EXPECT_EQ(code_of(record(ok)), 0);  // the table goes on after refused records
  EXPECT_EQ(store->find(L"rows").rows.size(), 3u);
}

TEST_F(DaoDatabase, CatalogueModesAndDeletion) {
  auto s = std::make_unique<memory_storage>();
  dao::column_spec a;
  a.name = L"a";
  a.type = jet::column_type::long_integer;
  dao::table_schema linked;
  linked.name = L"linked";
  linked.columns.push_back(a);
  s->tables_.push_back({linked, {}, dao::table_attached, 1});
  dao::table_schema sys;
  sys.name = L"MSysObjects";
  sys.columns.push_back(a);
  s->tables_.push_back({sys, {}, dao::table_system, 1});
  dao::table_schema plain;
  plain.name = L"plain";
  plain.columns.push_back(a);
  s->tables_.push_back({plain, {}, 0, 1});
  open(0x68, std::move(s));
  EXPECT_EQ(db->get_tables(), std::vector<std::wstring>{L"plain"});

  // Append mode: creating an existing table opens it for appending.
  udb_schema one;
  one.push_back(column(L"a", VT_I4, 4));
  auto rs = db->create_table(L"PLAIN", one, udb_indexes());
  ASSERT_TRUE(rs);
  rs->append_record(record({ole_variant(5)}));
  EXPECT_EQ(store->find(L"plain").rows.size(), 1u);
  rs.reset();

  EXPECT_FALSE(db->test_query(L"SELECT * FROM [missing]"));
  EXPECT_TRUE(db->test_query(L"SELECT * FROM [plain]"));
  EXPECT_EQ(db->get_records_count(L"SELECT * FROM [plain]"), 1u);
  auto q = db->get_query(L"q", L"SELECT a FROM plain", 1);
  ASSERT_TRUE(q);
  EXPECT_FALSE(q->is_eof());
  EXPECT_EQ(q->get_item()->at(0)->to_long(), 5);
  q.reset();

  EXPECT_TRUE(db->delete_tab(L"plain"));
  EXPECT_FALSE(db->is_table_exist(L"plain"));
  EXPECT_THROW(store->find(L"plain"), dao::error);
  EXPECT_THROW(db->delete_tab(L"plain"), tk_mail_assertion);
}

TEST_F(DaoDatabase, ReadingRelationshipsFromTheCatalogue) {
  auto s = std::make_unique<memory_storage>();
  dao::table_schema rel;
  rel.name = L"MSysRelationships";
  for (const wchar_t* n : {L"ccolumn", L"grbit", L"icolumn", L"szColumn", L"szObject", L"szReferencedColumn",
                           L"szReferencedObject", L"szRelationship"}) {
    dao::column_spec c;
    c.name = n;
    c.type = n[0] == L's' ? jet::column_type::text : jet::column_type::long_integer;
    rel.columns.push_back(c);
  }
  auto row = [](int32_t grbit, const wchar_t* col, const wchar_t* obj, const wchar_t* refcol, const wchar_t* refobj,
                const wchar_t* name) {
    return dao::row{jet::value::long_integer(1), jet::value::long_integer(grbit), jet::value::long_integer(0),
                    jet::value::text(col), jet::value::text(obj), jet::value::text(refcol), jet::value::text(refobj),
                    jet::value::text(name)};
  };
  s->tables_.push_back({rel,
                        {row(0, L"c", L"U", L"z", L"R", L"FK2"), row(0x1100, L"b", L"T", L"y", L"R", L"FK1"),
                         row(0x1100, L"a", L"T", L"x", L"R", L"FK1"),
                         row(0, L"g", L"MSysNavPaneGroups", L"h", L"MSysNavPaneGroupCategories", L"NP")},
                        dao::table_system, 1});
  open(0, std::move(s));
  ASSERT_EQ(db->relationships.size(), 2u);
  const udb_relationship& fk1 = db->relationships[0];
  EXPECT_EQ(fk1.table, L"T");
  EXPECT_EQ(fk1.ref_table, L"R");
  EXPECT_EQ(fk1.fk_flds, (udb_name_list{L"b", L"a"}));
  EXPECT_EQ(fk1.pk_flds, (udb_name_list{L"y", L"x"}));
  EXPECT_EQ(fk1.rules, L" ON DELETE CASCADE ON UPDATE CASCADE");
  EXPECT_EQ(db->relationships[1].fk_flds, udb_name_list{L"c"});
}

TEST_F(DaoDatabase, WritingRelationshipsReportsEachFailureAndGoesOn) {
  udb_schema s;
  s.push_back(column(L"id", VT_I4, 4));
  db->create_table(L"parent", s, udb_indexes());
  udb_relationships list;
  list.push_back(udb_relationship(L"child", L"missing", {L"pid"}, {L"id"}, L""));
  list.push_back(udb_relationship(L"child", L"parent", {L"pid"}, {L"id"}, L""));
  error_handler handler(tk_dao_error_count, tk_dao_error_table);
  ::testing::internal::CaptureStdout();
  EXPECT_NO_THROW(db->create_relationships(list));
  std::string out = ::testing::internal::GetCapturedStdout();
  // The missing table is reported on its own as an error the run may pass over; the next one is written,
  // after a unique index on the referenced column.
  EXPECT_NE(out.find("FK_missing_child: Table 'missing' cannot be referenced"), std::string::npos) << out;
  EXPECT_EQ(out.find("FK_parent_child"), std::string::npos) << out;
  ASSERT_EQ(store->relations_.size(), 1u);
  EXPECT_EQ(store->relations_[0].table, L"parent");
  EXPECT_EQ(store->relations_[0].foreign_table, L"child");
  ASSERT_EQ(stored(L"parent").indexes.size(), 1u);
  EXPECT_TRUE(stored(L"parent").indexes[0].unique);
}

TEST(DaoQueries, RewritingAccessQueryTexts) {
  EXPECT_EQ(rewrite_access_query(L"SELECT IIf([a]<>1, Nz([b],0), Left$([c],2)) FROM t"),
            L"SELECT if([a]!=1, ifnull([b],0), left([c],2)) FROM t");
  EXPECT_EQ(rewrite_access_query(L"SELECT [t]![a] FROM t WITH OWNERACCESS OPTION"), L"SELECT [t].[a] FROM t ");
  // Only whole names used as functions or words are renamed.
  EXPECT_EQ(replace_function_call2(L"select lenx, len (a), mylen(b)", L"len", L"length"),
            L"select lenx, length (a), mylen(b)");
  EXPECT_EQ(replace_function_call(L"aAa", L"a", L"aa"), L"aaaaaa");  // ends although the text grows
}

TEST(DaoQueries, UniqueIndexNames) {
  std::tm t{};
  t.tm_year = 111;
  t.tm_mon = 2;
  t.tm_mday = 4;
  t.tm_hour = 5;
  t.tm_min = 6;
  t.tm_sec = 7;
  EXPECT_EQ(dao_database::gen_ui_name(L"orders", t), L"ui_orders110304050607");
  EXPECT_EQ(dao_database::gen_ui_name(std::wstring(80, L'x'), t).size(), 64u);  // the longest Access name
  EXPECT_TRUE(dao_database::is_system_table(L"msysnavpanegroups"));
  EXPECT_FALSE(dao_database::is_system_table(L"MSysObjects"));
}

}  // namespace
