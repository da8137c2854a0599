#include "UDB/udb_db.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TK/tk_singl.h"

namespace {

namespace fs = std::filesystem;

// The smallest engine pieces: every slot an engine must give, and nothing else, so the defaults show.
class plain_recordset : public udb_recordset {
 public:
  using udb_recordset::udb_recordset;
  void append_record(const udb_record&) override {}
};

class plain_database : public udb_database {
 public:
  plain_database(int32_t case_sensitive = 0) : udb_database(L"db", 0, case_sensitive) {}
  std::unique_ptr<udb_recordset> create_table(const std::wstring& name, const udb_schema&,
                                              const udb_indexes&) override {
    return std::make_unique<plain_recordset>(this, name);
  }
  std::unique_ptr<udb_recordset> get_query(const std::wstring& name, const std::wstring& sql, int32_t) override {
    return std::make_unique<plain_recordset>(this, name, sql);
  }
  std::unique_ptr<udb_recordset> get_table(const std::wstring& name, int32_t) override {
    return std::make_unique<plain_recordset>(this, name);
  }
  bool query(const std::wstring&) override { return true; }
};

// A database that runs statements and builds indexes, recording what it was asked.
class statement_database : public plain_database {
 public:
  std::unique_ptr<udb_recordset> do_query2(const std::wstring& sql) override {
    statements.push_back(sql);
    return std::make_unique<plain_recordset>(this, L"", sql);
  }
  void create_index(const std::wstring& table, int32_t, const udb_index& index) override {
    statements.push_back(table + L"." + index.name);
  }
  udb_name_list statements;
};

class plain_engine : public udb_engine {
 public:
  std::unique_ptr<udb_database> create_db(const std::wstring&) override { return std::make_unique<plain_database>(); }
  std::unique_ptr<udb_database> open_db(const std::wstring&, int32_t, const std::wstring&) override {
    return std::make_unique<plain_database>();
  }
};

TEST(DatabaseDefaults, TableNamesIgnoreCaseUnlessCaseSensitive) {
  plain_database db;
  db.tables = {L"Orders", L"Customers", L"orders"};
  EXPECT_TRUE(db.is_table_exist(L"ORDERS"));
  EXPECT_TRUE(db.delete_tab(L"ORDERS"));
  EXPECT_EQ(db.get_tables(), (udb_name_list{L"Customers", L"orders"}));  // the first match only
  EXPECT_FALSE(db.delete_tab(L"Products"));

  plain_database exact(1);
  exact.tables = {L"Orders"};
  EXPECT_FALSE(exact.is_table_exist(L"ORDERS"));
  EXPECT_FALSE(exact.delete_tab(L"ORDERS"));
  EXPECT_TRUE(exact.delete_tab(L"Orders"));
  EXPECT_FALSE(exact.is_table_exist(L"Orders"));

  udb_name_list names{L"a"};
  udb_database::clear_name_list(names);
  EXPECT_TRUE(names.empty());
}

TEST(DatabaseDefaults, EmptyTableNeedsStatements) {
  statement_database db;
  db.empty_table(L"Order Details");
  EXPECT_EQ(db.statements, udb_name_list{L"delete from Order Details"});

  plain_database cannot;  // as the Access database: it has no statement form
  try {
    cannot.empty_table(L"t");
    FAIL() << "no exception";
  } catch (const tk_mail_assertion& e) {
    EXPECT_EQ(e.message, make_err_meggase("udb_db", 111));
  }
}

TEST(DatabaseDefaults, NoEngineMakesATableOfAPartition) {
  plain_database db;
  udb_database& any = db;
  try {
    any.create_table(udb_partition{});
    FAIL() << "no exception";
  } catch (const tk_mail_assertion& e) {
    EXPECT_EQ(e.message, make_err_meggase("udb_db", 50));
  }
  EXPECT_TRUE(db.get_tables().empty());
}

TEST(DatabaseDefaults, CreateIndexesAsksForEachIndex) {
  statement_database db;
  udb_indexes list;
  list.push_back(udb_index(L"PK", true, true, {L"id"}));
  list.push_back(udb_index(L"ix_name", false, false, {L"name"}));
  db.create_indexes(L"t", 0, list);
  EXPECT_EQ(db.statements, (udb_name_list{L"t.PK", L"t.ix_name"}));
}

TEST(EngineDefaults, FilesOnDisk) {
  char tmpl[] = "/tmp/udb_db_test.XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const fs::path dir = tmpl;
  const fs::path file = dir / "shop.mdb";
  std::ofstream(file) << "x";

  plain_engine engine;
  EXPECT_TRUE(engine.is_db_exist(file.wstring()));
  EXPECT_FALSE(engine.is_db_exist(dir.wstring()));
  EXPECT_FALSE(engine.is_db_exist((dir / "none.mdb").wstring()));
  engine.db_delete(file.wstring());
  EXPECT_FALSE(fs::exists(file));
  try {
    engine.db_delete(file.wstring());
    FAIL() << "no exception";
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.level, 1);
    EXPECT_EQ(e.code, ENOENT);
    EXPECT_STRNE(e.what(), "");
  }
  fs::remove_all(dir);

  EXPECT_EQ(engine.get_properties(), nullptr);
  const udb_engine_properties props{{L"engine", L"MyISAM"}};
  engine.set_properties(&props);
  EXPECT_EQ(engine.get_properties(), &props);
  EXPECT_NE(engine.create_db(L"x"), nullptr);
}

TEST(RecordsetDefaults, KeyIsThePrimaryOrFirstUniqueIndex) {
  plain_recordset rs(L"t");
  rs.add_index(udb_index(L"ix_plain", false, false, {L"a"}));
  rs.add_index(udb_index(L"ux_code", true, false, {L"code"}));
  EXPECT_EQ(rs.key_index, 1);
  rs.add_index(udb_index(L"ux_other", true, false, {L"other"}));
  EXPECT_EQ(rs.key_index, 1);
  rs.add_index(udb_index(L"PRIMARY", true, true, {L"id"}));
  EXPECT_EQ(rs.key_index, 3);
  rs.add_index(udb_index(L"ux_late", true, false, {L"late"}));
  EXPECT_EQ(rs.key_index, 3);
  rs.add_index(udb_index(L"primary", true, true, {L"x"}));  // a name already there changes nothing
  EXPECT_EQ(rs.indexes.size(), 5u);
  EXPECT_EQ(rs.indexes[3].columns, udb_name_list{L"id"});
}

TEST(RecordsetDefaults, KeyOfARecord) {
  plain_recordset rs(L"t");
  udb_record row;
  row.push_back(std::make_unique<udb_field>(L"Name", 10, ole_variant(std::wstring(L"ann")), false, false));
  row.push_back(std::make_unique<udb_field>(L"ID", 4, ole_variant(7), true, false));
  row.push_back(std::make_unique<udb_field>(L"Zone", 4, ole_variant(2), true, false));
  try {
    rs.get_key(row);
    FAIL() << "no exception";
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.level, 1);
    EXPECT_STREQ(e.what(), "There's no primary/unique key");
  }
  rs.add_index(udb_index(L"PK", true, true, {L"zone", L"id"}));
  auto key = rs.get_key(row);
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(key->size(), 2u);
  EXPECT_EQ((*key)[0]->get_name(), L"Zone");
  EXPECT_EQ((*key)[1]->get_name(), L"ID");
  EXPECT_NE((*key)[1], row[1]);  // copies, owned by the key record
  EXPECT_TRUE((*key)[1]->b_not_null);

  row.reset();
  row.push_back(std::make_unique<udb_field>(L"ID", 4, ole_variant(7), true, false));
  EXPECT_EQ(rs.get_key(row), nullptr);
}

TEST(RecordsetDefaults, FilterFromAKeyText) {
  plain_recordset rs(L"t");
  rs.schema.push_back(t_ftd(4, L"id", VT_I4, true, false, ole_variant(), 0, L""));
  rs.schema.push_back(t_ftd(20, L"name", VT_BSTR, false, false, ole_variant(), 0, L""));
  rs.schema.push_back(t_ftd(16, L"data", VT_ARRAY_UI1, false, false, ole_variant(), 0, L""));
  EXPECT_EQ(rs.get_filter_subquery(L"<id>5</id><name>a&amp;b</name>"), L"\"id\"=5 and \"name\"='a&b' ");
  EXPECT_EQ(rs.get_filter_subquery(L""), L"");
  EXPECT_EQ(rs.get_filter_subquery(L"<NAME>&amp;lt;&lt;x&gt;</NAME>"), L"\"NAME\"='&lt;<x>' ");
  EXPECT_EQ(rs.get_filter_subquery(L"<name>O'Brien</name>"), L"\"name\"='O''Brien' ");
  EXPECT_EQ(rs.get_filter_subquery(L"<data>0x0A0B</data><id>1</id>"), L"\"data\"=0x0A0B and \"id\"=1");
  try {
    rs.get_filter_subquery(L"<id>5</id><zip>1</zip>");
    FAIL() << "no exception";
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.level, 0);
    EXPECT_STREQ(e.what(), "The structure of data source does not conform to the destination table.");
  }
}

}  // namespace
