// The Access engine on real files: a Jet 4 database created through the engine's entry points, filled with
// tables of every kind and records of every value kind (refused records included), then checked by the
// strict verifier and two independent readers (mdbtools, mdb-reader); and the Access-made samples read back.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TK/tk_errco.h"
#include "access/dao_db.h"
#include "access/dao_recs.h"
#include "access/dao_test_support.h"
#include "platform/jet/verifier.h"

namespace {

namespace fs = std::filesystem;

t_ftd column(const wchar_t* name, VARTYPE vt, int32_t size, bool not_null = false, bool autoinc = false,
             ole_variant def = ole_variant(), int32_t reserved = 0) {
  return t_ftd(size, name, vt, not_null, autoinc, def, reserved, L"");
}

udb_record record(std::vector<ole_variant> values) {
  udb_record r;
  for (auto& v : values) r.push_back(std::make_unique<udb_field>(L"", 0, v, false, false));
  return r;
}

struct DaoFile : ::testing::Test {
  fs::path dir;
  void SetUp() override {
    dir = fs::temp_directory_path() / ("tt_dao_file_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
};

TEST_F(DaoFile, ConversionRoadWritesAFileEveryReaderAccepts) {
  const fs::path file = dir / "out.mdb";
  error_handler handler(tk_dao_error_count, tk_dao_error_table);
  handler.set_do_not_show_again(true);
  {
    dao_engine engine(0);
    engine.set_version(0);
    std::unique_ptr<udb_database> db = engine.create_db(file.wstring());
    ASSERT_TRUE(db);

    udb_schema s;
    s.push_back(column(L"id", VT_I4, 4, true, true));
    s.push_back(column(L"name", VT_BSTR, 10, true, false, ole_variant(L"none")));
    s.push_back(column(L"note", VT_BSTR, 0));
    s.push_back(column(L"tiny", VT_I1, 1));
    s.push_back(column(L"ubyte", VT_UI1, 1));
    s.push_back(column(L"small", VT_I2, 2, false, false, ole_variant(static_cast<short>(7))));
    s.push_back(column(L"usmall", VT_UI2, 2));
    s.push_back(column(L"big", VT_I8, 8));
    s.push_back(column(L"real", VT_R4, 4));
    s.push_back(column(L"dbl", VT_R8, 8));
    s.push_back(column(L"dec", VT_DECIMAL, 12));
    s.push_back(column(L"when", VT_DATE, 8, false, false, ole_variant(), udb_kind_default_now));
    s.push_back(column(L"flag", VT_BOOL, 1));
    s.push_back(column(L"bin", VT_ARRAY_UI1, 8));
    s.push_back(column(L"blob", VT_ARRAY_UI1, 65535));
    s.push_back(column(L"a.b", VT_BSTR, 20));
    udb_indexes x;
    x.push_back(udb_index(L"PRIMARY", true, true, {L"id"}));
    x.push_back(udb_index(L"by_name", true, false, {L"name"}));
    x.push_back(udb_index(L"on_note", false, false, {L"note"}));  // memo: left out
    std::unique_ptr<udb_recordset> rs = db->create_table(L"Every Kind", s, x);
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->schema.size(), s.size());
    EXPECT_EQ(rs->schema[15].name, L"a_b");
    ASSERT_EQ(rs->indexes.size(), 2u);

    DECIMAL d{};
    d.scale = 2;
    d.Lo64 = 12345;
    std::vector<uint8_t> big_blob(70000);
    for (size_t i = 0; i < big_blob.size(); ++i) big_blob[i] = static_cast<uint8_t>(i * 7);
    std::wstring long_note(100000, L'x');
    long_note += L"\u00e9\u4e2d";
    rs->append_record(record({ole_variant(1), ole_variant(L"Ann"), ole_variant(long_note),
                              ole_variant(static_cast<signed char>(-5)), ole_variant(static_cast<unsigned char>(200)),
                              ole_variant(static_cast<short>(-300)), ole_variant(static_cast<unsigned short>(65535)),
                              ole_variant(9007199254740993LL), ole_variant(1.5f), ole_variant(0.1), ole_variant(d),
                              ole_variant(ole_date(std::string("2024-02-29 10:30:00"))), ole_variant(true),
                              ole_variant(std::vector<uint8_t>{0, 1, 2}), ole_variant(big_blob),
                              ole_variant(L"k\u00f6ln")}));
    std::vector<ole_variant> nulls(16);
    nulls[0] = ole_variant(2);
    nulls[1] = ole_variant();  // NULL into NOT NULL text: stored as an empty text
    rs->append_record(record(nulls));
    // Refused records: each reported on its own, the table goes on.
    auto refused = [&](std::vector<ole_variant> v) -> int32_t {
      try {
        rs->append_record(record(v));
      } catch (const tk_exception& e) {
        EXPECT_EQ(e.level, 0) << e.message;
        return e.code;
      }
      return 0;
    };
    std::vector<ole_variant> dup(16);
    dup[0] = ole_variant(1);
    dup[1] = ole_variant(L"Bob");
    EXPECT_EQ(refused(dup), 0x10000 + 3022);
    dup[0] = ole_variant(3);
    dup[1] = ole_variant(L"ann");  // unique text keys ignore case, as in Access
    EXPECT_EQ(refused(dup), 0x10000 + 3022);
    dup[1] = ole_variant(L"much too long");
    EXPECT_EQ(refused(dup), 0x10000 + 3163);
    dup[1] = ole_variant(L"Cy");
    rs->append_record(record(dup));
    rs.reset();

    // A second table through the same database; an index on binary data is left out.
    udb_schema t;
    t.push_back(column(L"k", VT_BSTR, 38));
    t.push_back(column(L"v", VT_R8, 8));
    udb_indexes tx;
    tx.push_back(udb_index(L"k", true, true, {L"k"}));
    auto second = db->create_table(L"second", t, tx);
    for (int i = 0; i < 500; ++i)
      second->append_record(record({ole_variant(L"key" + std::to_wstring(i)), ole_variant(i / 4.0)}));
    second.reset();
    EXPECT_EQ(db->get_tables(), (std::vector<std::wstring>{L"Every Kind", L"second"}));
    db->close();
  }
  ASSERT_TRUE(fs::exists(file));

  jet::verify_report report = jet::verify_file(file.string());
  EXPECT_TRUE(report.ok()) << report.text();

  int code = -1;
  std::string tables = output_of({"mdb-tables", "-1", file.string()}, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(tables, "Every Kind\nsecond\n");
  std::string csv = output_of({"mdb-export", "-H", "-b", "hex", "-D", "%Y-%m-%d %H:%M:%S", file.string(), "Every Kind"}, &code);
  EXPECT_EQ(code, 0);
  std::istringstream lines(csv);
  std::string first, second, third;
  std::getline(lines, first);
  std::getline(lines, second);
  std::getline(lines, third);
  EXPECT_EQ(first.substr(0, 5), "1,\"An");
  EXPECT_NE(first.find("-5,200,-300,65535,9007199254740992,1.5,0.1,123.45,"), std::string::npos) << first.substr(100000, 300);
  EXPECT_NE(first.find("\"02/29/24 10:30:00\",1,"), std::string::npos);
  EXPECT_NE(first.find("\"k\xc3\xb6ln\""), std::string::npos);
  EXPECT_EQ(second.substr(0, 3), "2,,");
  EXPECT_EQ(third.substr(0, 7), "3,\"Cy\",");
  EXPECT_EQ(output_of({"mdb-export", "-H", file.string(), "second"}).size() > 0, true);

  std::string dump = output_of({"node", std::string(TT_SOURCE_DIR) + "/tools/readers/dump.mjs", file.string()}, &code);
  EXPECT_EQ(code, 0) << "mdb-reader could not read the file";
  EXPECT_NE(dump.find("T\tEvery Kind\t3"), std::string::npos) << dump.substr(0, 400);
  EXPECT_NE(dump.find("T\tsecond\t500"), std::string::npos);
  EXPECT_NE(dump.find("V\tf\t9007199254740992"), std::string::npos);
  EXPECT_NE(dump.find("V\tx\t000102\n"), std::string::npos);  // the short binary value
  EXPECT_NE(dump.find("V\ts\t" + std::string("6bc3b66c6e") + "\n"), std::string::npos);  // "köln"
}

TEST_F(DaoFile, ExistingFileIsReadAndChanged) {
  const fs::path file = dir / "made.mdb";
  {
    dao_engine engine(0);
    engine.set_version(0);
    auto db = engine.create_db(file.wstring());
    udb_schema s;
    s.push_back(column(L"id", VT_I4, 4, true));
    s.push_back(column(L"txt", VT_BSTR, 20, false, false, ole_variant(L"abc")));
    udb_indexes x;
    x.push_back(udb_index(L"PrimaryKey", true, true, {L"id"}));
    auto rs = db->create_table(L"t", s, x);
    rs->append_record(record({ole_variant(1), ole_variant(L"one")}));
    rs->append_record(record({ole_variant(2), ole_variant()}));
    rs.reset();
    db->close();
  }
  dao_engine engine(0);
  engine.set_version(dao_engine::get_acc_version(file.wstring()));
  EXPECT_EQ(engine.generation(), 0);
  std::unique_ptr<udb_database> db = engine.open_db(file.wstring(), 104, L"");
  EXPECT_EQ(db->get_tables(), std::vector<std::wstring>{L"t"});
  std::unique_ptr<udb_recordset> rs = db->get_table(L"t", 1);
  ASSERT_TRUE(rs);
  ASSERT_EQ(rs->schema.size(), 2u);
  EXPECT_EQ(rs->schema[1].name, L"txt");
  EXPECT_EQ(rs->schema[1].vartype, VT_BSTR);
  EXPECT_EQ(rs->schema[1].size, 20);
  EXPECT_EQ(rs->schema[1].def_value.to_wstring(), L"abc");
  EXPECT_TRUE(rs->schema[0].b_not_null);
  ASSERT_EQ(rs->indexes.size(), 1u);
  EXPECT_TRUE(rs->indexes[0].primary);
  EXPECT_EQ(rs->indexes[0].columns, std::vector<std::wstring>{L"id"});
  ASSERT_FALSE(rs->is_eof());
  EXPECT_EQ(rs->get_item()->at(1)->to_wstring(), L"one");
  rs->next();
  EXPECT_TRUE(rs->get_item()->at(1)->is_empty());
  rs->next();
  EXPECT_TRUE(rs->is_eof());
  rs.reset();

  // A query over a database opened read-only describes its columns and reads its rows.
  {
    auto ro = engine.open_db(file.wstring(), 0x01, L"");
    auto q = ro->get_query(L"q", L"SELECT txt, id FROM t ORDER BY id", 1);
    ASSERT_EQ(q->schema.size(), 2u);
    EXPECT_EQ(q->schema[0].name, L"txt");
    EXPECT_EQ(static_cast<dao_recordset&>(*q).record_count(), 2u);
    EXPECT_EQ(q->get_item()->at(0)->to_wstring(), L"one");
  }

  // The run's modes on an existing file: a table is added ("skip existing tables"), rows are appended to a
  // table that was there ("merge"), with its keys checked against the rows already stored.
  udb_schema s;
  s.push_back(column(L"a", VT_I4, 4));
  auto table = db->create_table(L"new", s, udb_indexes());
  table->append_record(record({ole_variant(42)}));
  table.reset();
  auto old = db->create_table(L"T", s, udb_indexes());  // append mode: the table that is there, opened
  ASSERT_EQ(old->schema.size(), 2u);
  old->append_record(record({ole_variant(3), ole_variant(L"three")}));
  try {
    old->append_record(record({ole_variant(1), ole_variant(L"again")}));
    ADD_FAILURE() << "a key already in the file was taken twice";
  } catch (const dao_exception& e) {
    EXPECT_EQ(e.code, 0x10000 + 3022);
  }
  old.reset();
  db->close();
  db.reset();
  EXPECT_TRUE(jet::verify_file(file.string()).ok()) << jet::verify_file(file.string()).text();
  EXPECT_EQ(output_of({"mdb-tables", "-1", file.string()}), "t\nnew\n");
  EXPECT_EQ(output_of({"mdb-export", "-H", file.string(), "t"}), "1,\"one\"\n2,\n3,\"three\"\n");
  EXPECT_EQ(output_of({"mdb-export", "-H", file.string(), "new"}), "42\n");

  // "Overwrite existing tables": the table is deleted and made again.
  db = engine.open_db(file.wstring(), 0x68, L"");
  EXPECT_TRUE(db->delete_tab(L"t"));
  EXPECT_FALSE(db->is_table_exist(L"t"));
  auto again = db->create_table(L"t", s, udb_indexes());
  again->append_record(record({ole_variant(7)}));
  again.reset();
  db->close();
  db.reset();
  EXPECT_TRUE(jet::verify_file(file.string()).ok()) << jet::verify_file(file.string()).text();
  EXPECT_EQ(output_of({"mdb-export", "-H", file.string(), "t"}), "7\n");
  int code = -1;
  std::string dump = output_of({"node", std::string(TT_SOURCE_DIR) + "/tools/readers/dump.mjs", file.string()}, &code);
  EXPECT_EQ(code, 0);
  EXPECT_NE(dump.find("T\tnew\t1"), std::string::npos) << dump;

  // A read-only database refuses changes before anything is written.
  const auto size_before = fs::file_size(file);
  db = engine.open_db(file.wstring(), 0x01, L"");
  EXPECT_THROW(db->create_table(L"x", s, udb_indexes()), tk_mail_assertion);
  db.reset();
  EXPECT_EQ(fs::file_size(file), size_before);
}

TEST_F(DaoFile, MissingAndForeignFilesGiveDaoErrors) {
  dao_engine engine(0);
  engine.set_version(0);
  EXPECT_THROW(engine.open_db((dir / "missing.mdb").wstring(), 104, L""), dao_exception);
  EXPECT_THROW(engine.create_db((dir / "no/such/folder/x.mdb").wstring()), dao_exception);
  const fs::path text = dir / "text.mdb";
  { std::ofstream(text) << std::string(5000, 'x'); }
  EXPECT_THROW(engine.open_db(text.wstring(), 104, L""), dao_exception);
  EXPECT_EQ(fs::file_size(text), 5000u);
  // An existing destination is never overwritten by creation.
  EXPECT_THROW(engine.create_db(text.wstring()), dao_exception);
  EXPECT_EQ(fs::file_size(text), 5000u);
}

TEST(DaoSamples, AccessMadeFilesReadBack) {
  const fs::path samples = fs::path(TT_TEST_DATA_DIR) / "access-format/jackcess";
  dao_engine engine(0);
  engine.set_version(0);
  {
    auto db = engine.open_db((samples / "indexTestV2000.mdb").wstring(), 0x80, L"");
    EXPECT_EQ(db->get_tables(), (std::vector<std::wstring>{L"Table1", L"Table2", L"Table3"}));
    // Relationships come from MSysRelationships; the navigation-pane ones are left out.
    ASSERT_EQ(db->relationships.size(), 2u);
    for (const auto& r : db->relationships) {
      EXPECT_TRUE(r.ref_table == L"Table1" || r.table == L"Table1");
      EXPECT_EQ(r.fk_flds.size(), r.pk_flds.size());
    }
    auto t2 = db->get_table(L"Table2", 1);
    ASSERT_TRUE(t2);
    // The hidden foreign-key index is not reported among the table's indexes.
    for (const auto& x : t2->indexes) EXPECT_EQ(x.name.find(L"Table2Table1"), std::wstring::npos);
  }
  {
    auto db = engine.open_db((samples / "test2V2000.mdb").wstring(), 0x68, L"");
    ASSERT_FALSE(db->get_tables().empty());
    for (const auto& name : db->get_tables()) {
      auto rs = db->get_table(name, 1);
      ASSERT_TRUE(rs) << std::string(name.begin(), name.end());
      EXPECT_FALSE(rs->schema.empty());
      size_t rows = 0;
      for (; !rs->is_eof() && rows < 100000; rs->next()) {
        ASSERT_EQ(rs->get_item()->size(), rs->schema.size());
        ++rows;
      }
    }
  }
  {
    // A database password travels as the connect text ";pwd=...".
    const fs::path locked = fs::path(TT_TEST_DATA_DIR) / "access-format/mdb-reader/V2000_with-password.mdb";
    EXPECT_EQ(engine.open_db(locked.wstring(), 0x01, L"password")->get_tables(), std::vector<std::wstring>{L"Table1"});
    try {
      engine.open_db(locked.wstring(), 0x01, L"");
      ADD_FAILURE();
    } catch (const dao_exception& e) {
      EXPECT_EQ(e.code, 0x10000 + 3031);
    }
    // Access 2007 and later files are read (complex columns included) ...
    engine.set_version(3);
    auto ace = engine.open_db((samples / "complexDataTestV2007.accdb").wstring(), 0x01, L"");
    ASSERT_EQ(ace->get_tables(), std::vector<std::wstring>{L"Table1"});
    auto rs = ace->get_table(L"Table1", 1);
    size_t rows = 0;
    for (; !rs->is_eof(); rs->next(), ++rows) ASSERT_EQ(rs->get_item()->size(), rs->schema.size());
    EXPECT_EQ(rows, 4u);
    rs.reset();
    ace.reset();
    auto with_relationships = engine.open_db((samples / "indexTestV2007.accdb").wstring(), 0x01, L"");
    EXPECT_EQ(with_relationships->relationships.size(), 2u);
    with_relationships.reset();
    // ... and, where a change cannot keep them intact, refused naming the reason, the file untouched: a
    // file encrypted as a whole cannot even be read.
    const fs::path copy = fs::temp_directory_path() / ("tt_dao_ace_" + std::to_string(::getpid()) + ".accdb");
    const fs::path encrypted = fs::path(TT_TEST_DATA_DIR) / "access-format/mdb-reader/V2010_with-password.accdb";
    fs::copy_file(encrypted, copy, fs::copy_options::overwrite_existing);
    try {
      engine.open_db(copy.wstring(), 0x68, L"password");
      ADD_FAILURE();
    } catch (const dao_exception& e) {
      EXPECT_EQ(e.code, 0x10000 + 3343);
      EXPECT_NE(e.message.find("encrypted"), std::string::npos) << e.message;
    }
    EXPECT_EQ(fs::file_size(copy), fs::file_size(encrypted));
    fs::remove(copy);
    engine.set_version(0);
  }
  {
    // Stored queries come with their text rewritten towards MySQL; where the engine cannot rebuild a text,
    // the opening traces it and goes on without queries.
    auto db = engine.open_db((samples / "queryTestV2000.mdb").wstring(), 0x68, L"");
    EXPECT_EQ(db->get_tables().size(), 3u);
    if (!db->views.empty()) {
      bool rewritten = false;
      for (const auto& [name, sql] : db->views)
        if (name == L"MakeTableQuery") rewritten = sql.find(L"(Table2.col2)!=\"blah\"") != std::wstring::npos;
      EXPECT_TRUE(rewritten);
    }
  }
}

}  // namespace
