// Unit tests of the MySQL engine over a scripted client: the session set-up, the version branches of old
// servers, failures of the client, and the statements a table's opening sends.
#include "SQL/sql_engi.h"

#include <algorithm>
#include <gtest/gtest.h>

#include "SQL/sql_db.h"
#include "SQL/sql_fake_client.h"
#include "SQL/sql_recs.h"
#include "SQL/sql_tab.h"

namespace {

const char* const k_wait_timeout =
    "set session wait_timeout=cast(if(@@session.wait_timeout < 28800,28800,@@session.wait_timeout) as unsigned);";
const char* const k_write_timeout =
    "set session net_write_timeout=cast(if(@@session.net_write_timeout < 28800,28800,"
    "@@session.net_write_timeout) as unsigned);";

struct fixture {
  sql_fake_client* client;
  std::unique_ptr<sql_engine> engine;
  explicit fixture(const std::string& version = "10.11.19-MariaDB-0+deb12u1") {
    auto c = std::make_unique<sql_fake_client>();
    client = c.get();
    client->server_version = version;
    engine = std::make_unique<sql_engine>(std::move(c));
  }
};

TEST(SqlEngine, ConnectSetsTheSessionUpInOrder) {
  fixture f;
  f.engine->connect("db.example", "u", "secret", 3306);
  EXPECT_TRUE(f.engine->is_connected());
  EXPECT_EQ(f.engine->get_version(), 0x000A0B13u);
  EXPECT_TRUE(f.engine->is_mariadb());
  EXPECT_FALSE(f.engine->is_old_version());
  EXPECT_EQ(f.engine->session_max_bytes_per_char(), 4u);
  const std::vector<std::string> expected = {"CONNECT db.example", "SET NAMES utf8mb4", k_wait_timeout,
                                             k_write_timeout, "SET FOREIGN_KEY_CHECKS = 0"};
  EXPECT_EQ(f.client->log, expected);
  EXPECT_EQ(&sql_engine::instance(), f.engine.get());
}

TEST(SqlEngine, SessionStatementsAreBestEffort) {
  fixture f;
  f.client->failing["SET NAMES utf8mb4"] = {1115, "Unknown character set: 'utf8mb4'"};
  f.client->failing["SET NAMES utf8"] = {1115, "Unknown character set: 'utf8'"};
  f.client->failing[k_wait_timeout] = {1193, "Unknown system variable"};
  f.client->failing["SET FOREIGN_KEY_CHECKS = 0"] = {1193, "Unknown system variable"};
  EXPECT_NO_THROW(f.engine->connect("h", "u", "", 0));
  EXPECT_TRUE(f.engine->is_connected());
  EXPECT_EQ(f.engine->session_max_bytes_per_char(), 3u);
}

TEST(SqlEngine, OldUtf8IsTheFallbackCharacterSet) {
  fixture f("5.1.73");
  f.client->failing["SET NAMES utf8mb4"] = {1115, "Unknown character set: 'utf8mb4'"};
  f.engine->connect("h", "u", "", 0);
  ASSERT_GE(f.client->log.size(), 3u);
  EXPECT_EQ(f.client->log[1], "SET NAMES utf8mb4");
  EXPECT_EQ(f.client->log[2], "SET NAMES utf8");
  EXPECT_EQ(f.engine->session_max_bytes_per_char(), 3u);
  EXPECT_FALSE(f.engine->is_mariadb());
}

TEST(SqlEngine, ServerFourOneZeroRefusesPasswords) {
  fixture f("4.1.0-alpha");
  try {
    f.engine->connect("h", "u", "pw", 0);
    FAIL() << "no exception";
  } catch (const sql_auth_not_supported_exception& e) {
    EXPECT_EQ(e.level, 1);
    EXPECT_EQ(e.code, 0);
  }
  EXPECT_TRUE(f.engine->is_connected());
  fixture g("4.1.0-alpha");
  EXPECT_NO_THROW(g.engine->connect("h", "u", "", 0));
  EXPECT_FALSE(g.engine->is_old_version());
}

TEST(SqlEngine, VersionTexts) {
  fixture empty("");
  empty.engine->connect("h", "u", "", 0);
  EXPECT_EQ(empty.engine->get_version(), 0u);
  EXPECT_EQ(empty.client->log.back(), k_write_timeout);  // nothing version-dependent is sent

  fixture bad("garbage");
  try {
    bad.engine->connect("h", "u", "", 0);
    FAIL() << "no exception";
  } catch (const tk_mail_assertion& e) {
    EXPECT_EQ(e.level, 2);
    EXPECT_EQ(e.message, make_err_meggase("sql_engi", 375));
  }

  fixture old("4.0.27-standard");
  old.engine->connect("h", "u", "", 0);
  EXPECT_EQ(old.engine->get_version(), 0x04001Bu);
  EXPECT_TRUE(old.engine->is_old_version());
  EXPECT_EQ(old.engine->table_ref(L"shop"), "shop");
}

TEST(SqlEngine, RefusedConnectionRaisesTheClientsError) {
  fixture f;
  f.client->refuse_connect = true;
  try {
    f.engine->connect("h", "u", "wrong", 0);
    FAIL() << "no exception";
  } catch (const sql_exception& e) {
    EXPECT_EQ(e.code, 0x400000 + 1045);
    EXPECT_EQ(e.level, 0);
    EXPECT_EQ(e.message, f.client->connect_text);
  }
  EXPECT_FALSE(f.engine->is_connected());
  // The next attempt works on a fresh connection structure.
  f.client->refuse_connect = false;
  EXPECT_NO_THROW(f.engine->connect("h", "u", "right", 0));
}

TEST(SqlEngine, ConnectingAgainClosesTheFirstConnection) {
  fixture f;
  f.engine->connect("a", "u", "", 0);
  const int closes = f.client->closes;
  f.engine->connect("b", "u", "", 0);
  EXPECT_EQ(f.client->closes, closes + 1);
  EXPECT_EQ(f.client->log[5], "CONNECT b");
}

TEST(SqlEngine, DestructorSwitchesForeignKeyChecksBackOnAndCloses) {
  auto c = std::make_unique<sql_fake_client>();
  auto log = std::make_shared<std::vector<std::string>>();
  c->shared_log = log;
  {
    sql_engine engine(std::move(c));
    engine.connect("h", "u", "", 0);
    log->clear();
  }
  ASSERT_GE(log->size(), 2u);
  EXPECT_EQ((*log)[0], "SET FOREIGN_KEY_CHECKS = 1");
  EXPECT_EQ(log->back(), "CLOSE");
  EXPECT_FALSE(sql_engine::exists());
}

TEST(SqlEngine, SafeNamesAndNativeTypeNames) {
  fixture f;
  EXPECT_EQ(f.engine->get_safe_name(L""), L"");
  EXPECT_EQ(f.engine->get_safe_name(L"a`b"), L"`a``b`");
  EXPECT_EQ(f.engine->get_safe_name(std::wstring(65, L'x')).size(), 65u);
  EXPECT_EQ(sql_engine::get_native_type_name(0), L"BINARY");
  EXPECT_EQ(sql_engine::get_native_type_name(9), L"BIGINT UNSIGNED");
  EXPECT_EQ(sql_engine::get_native_type_name(27), L"TINYTEXT");
  EXPECT_EQ(sql_engine::get_native_type_name(28), L"<Unknown type>");
  EXPECT_EQ(sql_engine::get_native_type_name(-1), L"<Unknown type>");
}

TEST(SqlEngine, MaxAllowedPacketIsReadOnceConnected) {
  fixture f;
  EXPECT_EQ(f.engine->get_max_allowed_packet(), 0);
  f.engine->connect("h", "u", "", 0);
  sql_fake_result_script r;
  r.columns = {sql_fake_column("Variable_name", sql_type_var_string, 256),
               sql_fake_column("Value", sql_type_var_string, 4096)};
  r.rows = {{"max_allowed_packet", "16777216"}};
  f.client->results["SHOW VARIABLES LIKE 'max_allowed_packet'"] = r;
  EXPECT_EQ(f.engine->get_max_allowed_packet(), 16777216);
  f.client->results.clear();
  EXPECT_EQ(f.engine->get_max_allowed_packet(), 16777216);
}

TEST(SqlEngine, DatabaseListSkipsNothingAndSurvivesFailure) {
  fixture f;
  f.engine->connect("h", "u", "", 0);
  sql_fake_result_script r;
  r.columns = {sql_fake_column("Database", sql_type_var_string, 256)};
  r.rows = {{"information_schema"}, {"shop"}, {"Größe"}};
  f.client->results["SHOW DATABASES"] = r;
  EXPECT_EQ(f.engine->get_contents(), std::vector<std::wstring>({L"information_schema", L"shop", L"Größe"}));
  f.client->results["SHOW DATABASES"].break_after = 1;
  EXPECT_EQ(f.engine->get_contents(), std::vector<std::wstring>({L"information_schema"}));
}

// ---- Opening databases and tables ------------------------------------------------------------------------------

sql_fake_result_script one_column(const char* name, std::vector<const char*> values) {
  sql_fake_result_script r;
  r.columns = {sql_fake_column(name, sql_type_var_string, 256)};
  for (const char* v : values) r.rows.push_back({v});
  return r;
}

TEST(SqlDatabase, UnknownDatabaseRaises) {
  fixture f;
  f.engine->connect("h", "u", "", 0);
  f.client->select_ok = false;
  try {
    f.engine->open_db(L"nope", 1);
    FAIL() << "no exception";
  } catch (const sql_exception& e) {
    EXPECT_EQ(e.code, 0x400000 + 1049);
  }
}

TEST(SqlDatabase, OldServersListTablesThroughTheLibraryAndHaveNoViews) {
  fixture f("4.0.27");
  f.engine->connect("h", "u", "", 0);
  f.client->table_list = one_column("Tables_in_shop", {"orders", "items"});
  f.client->failing["SELECT table_name, view_definition FROM information_schema.views WHERE table_schema=X'73686F70'"] =
      {1146, "Unknown table 'views'"};
  auto db = f.engine->open_db(L"shop", 1);
  EXPECT_EQ(db->tables, udb_name_list({L"orders", L"items"}));
  EXPECT_TRUE(db->views.empty());
  EXPECT_FALSE(f.engine->is_blob_to_text());
}

TEST(SqlDatabase, ViewTextsLoseTheirSchemaPrefix) {
  fixture f;
  f.engine->connect("h", "u", "", 0);
  f.client->results["show full tables where Table_type='BASE TABLE'"] = one_column("Tables_in_shop", {"t"});
  sql_fake_result_script views;
  views.columns = {sql_fake_column("table_name", sql_type_var_string, 256),
                   sql_fake_column("view_definition", sql_type_blob, 4294967295u)};
  views.rows = {{"v", "/* ALGORITHM=UNDEFINED */select `SHOP`.`t`.`a` AS `a` from `shop`.`t` /* keep */"}};
  f.client->results["SELECT table_name, view_definition FROM information_schema.views WHERE table_schema=X'73686F70'"] =
      views;
  auto db = f.engine->open_db(L"shop", 1);
  ASSERT_EQ(db->views.size(), 1u);
  EXPECT_EQ(db->views[0].first, L"v");
  EXPECT_EQ(db->views[0].second, L"select `t`.`a` AS `a` from `t` /* keep */");
  // Mode bit 0x80 skips the views.
  auto no_views = f.engine->open_db(L"shop", 0x80);
  EXPECT_TRUE(no_views->views.empty());
}

// A table "t" (id INT auto-increment key, g GEOMETRY, ts TIMESTAMP, e INT DEFAULT (1+1)) as a MySQL 8 server
// describes it.
const char* const k_catalogue_t =
    "SELECT COLUMN_NAME, COLUMN_DEFAULT, CHARACTER_SET_NAME FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
    "DATABASE() AND TABLE_NAME = X'74'";
const char* const k_character_sets = "SELECT CHARACTER_SET_NAME, MAXLEN FROM information_schema.CHARACTER_SETS";

void script_table(sql_fake_client& c, bool with_fk_statement_answer = true) {
  c.results["show full tables where Table_type='BASE TABLE'"] = one_column("Tables_in_shop", {"t"});
  sql_fake_result_script meta;
  meta.columns = {
      sql_fake_column("id", sql_type_long, 11, sql_flag_not_null | sql_flag_auto_increment, 63),
      sql_fake_column("g", sql_type_geometry, 4294967295u, sql_flag_binary, 63),
      sql_fake_column("ts", sql_type_timestamp, 19, sql_flag_not_null, 63),
      sql_fake_column("e", sql_type_long, 11, sql_flag_not_null, 63),
  };
  c.results["SELECT * FROM `t` LIMIT 0"] = meta;
  c.results["select max( `id`) from `t`"] = one_column("max", {"41"});
  sql_fake_result_script columns;
  for (const char* n : {"Field", "Type", "Null", "Key", "Default", "Extra"})
    columns.columns.push_back(sql_fake_column(n, sql_type_var_string, 64));
  columns.rows = {{"id", "int", "NO", "PRI", nullptr, "auto_increment"},
                  {"g", "geometry", "YES", "", nullptr, ""},
                  {"ts", "timestamp", "NO", "", "CURRENT_TIMESTAMP", "DEFAULT_GENERATED"},
                  {"e", "int", "NO", "", "(1 + 1)", "DEFAULT_GENERATED"}};
  c.results["SHOW COLUMNS FROM `t`"] = columns;
  sql_fake_result_script catalogue;
  for (const char* n : {"COLUMN_NAME", "COLUMN_DEFAULT", "CHARACTER_SET_NAME"})
    catalogue.columns.push_back(sql_fake_column(n, sql_type_var_string, 64));
  catalogue.rows = {{"id", nullptr, nullptr}, {"g", nullptr, nullptr}, {"ts", nullptr, nullptr}, {"e", nullptr, nullptr}};
  c.results[k_catalogue_t] = catalogue;
  sql_fake_result_script sets;
  for (const char* n : {"CHARACTER_SET_NAME", "MAXLEN"})
    sets.columns.push_back(sql_fake_column(n, sql_type_var_string, 64));
  sets.rows = {{"latin1", "1"}, {"utf8mb4", "4"}};
  c.results[k_character_sets] = sets;
  sql_fake_result_script index;
  for (const char* n : {"Table", "Non_unique", "Key_name", "Seq_in_index", "Column_name"})
    index.columns.push_back(sql_fake_column(n, sql_type_var_string, 64));
  index.rows = {{"t", "0", "PRIMARY", "1", "id"}, {"t", "1", "fx", "1", nullptr}, {"t", "1", "ix", "1", "e"}};
  c.results["SHOW INDEX FROM `t`"] = index;
  if (with_fk_statement_answer) {
    sql_fake_result_script create;
    create.columns = {sql_fake_column("Table", sql_type_var_string, 64),
                      sql_fake_column("Create Table", sql_type_var_string, 1024)};
    create.rows = {{"t", "CREATE TABLE `t` (\n  CONSTRAINT `f` FOREIGN KEY (`e`) REFERENCES `p` (`x`)\n)"}};
    c.results["SHOW CREATE TABLE `t`"] = create;
  }
}

TEST(SqlTable, OpeningSendsMetadataCatalogueAndNoRowTransfer) {
  fixture f("8.0.36");
  f.engine->connect("h", "u", "", 0);
  script_table(*f.client);
  auto db = f.engine->open_db(L"shop", 0x80);
  f.client->log.clear();
  auto t = db->get_table(L"t", 1);
  const std::vector<std::string> expected = {"SELECT * FROM `t` LIMIT 0", "select max( `id`) from `t`",
                                             k_character_sets, k_catalogue_t, "SHOW COLUMNS FROM `t`",
                                             "SHOW INDEX FROM `t`", "SHOW CREATE TABLE `t`"};
  EXPECT_EQ(f.client->log, expected);
  EXPECT_EQ(t->schema.last_autonumber, 41);
  EXPECT_FALSE(t->is_query());  // a geometry table stays a table

  // MySQL 8 marks expression defaults: the timestamp one means "now", the other is dropped.
  EXPECT_EQ(t->schema.get_field1(L"ts").reserved, udb_kind_default_now);
  EXPECT_TRUE(t->schema.get_field1(L"e").def_value.is_empty());
  EXPECT_TRUE(t->schema.get_field1(L"e").b_not_null);
  // The functional index is skipped; the others stay, the primary key is the record key.
  ASSERT_EQ(t->indexes.size(), 2u);
  EXPECT_EQ(t->indexes[0].name, L"PRIMARY");
  EXPECT_EQ(t->indexes[1].name, L"ix");
  EXPECT_EQ(t->key_index, 0);
  ASSERT_EQ(db->relationships.size(), 1u);
  EXPECT_EQ(db->relationships[0].ref_table, L"p");

  // Rows stream over the select list that reads geometry as text.
  f.client->log.clear();
  t->reset();
  EXPECT_EQ(f.client->log, std::vector<std::string>({"SELECT `id`,ST_AsText(`g`) as `g`,`ts`,`e` FROM `t`"}));
  // The character sets' widths are read once per connection, not once per table.
  f.client->log.clear();
  db->get_table(L"t", 1);
  EXPECT_EQ(f.client->log.at(2), k_catalogue_t);
  EXPECT_EQ(std::count(f.client->log.begin(), f.client->log.end(), k_character_sets), 0);
}

TEST(SqlTable, ModesWithoutIndexesReadColumnsOnly) {
  for (int mode : {0, 0x20, 0x40, 0x60}) {
    fixture f("8.0.36");
    f.engine->connect("h", "u", "", 0);
    script_table(*f.client);
    auto db = f.engine->open_db(L"shop", 0x80);
    f.client->log.clear();
    auto t = db->get_table(L"t", mode);
    EXPECT_EQ(f.client->log.back(), "SHOW COLUMNS FROM `t`") << mode;
    EXPECT_TRUE(t->indexes.empty());
  }
}

TEST(SqlTable, ServersBefore3_23_44HaveNoForeignKeys) {
  fixture f("3.23.43");
  f.engine->connect("h", "u", "", 0);
  f.client->table_list = one_column("Tables_in_shop", {"t"});
  script_table(*f.client, false);
  // Old servers: bare names.
  f.client->results["SELECT * FROM t LIMIT 0"] = f.client->results["SELECT * FROM `t` LIMIT 0"];
  f.client->results["SHOW COLUMNS FROM t"] = f.client->results["SHOW COLUMNS FROM `t`"];
  auto db = f.engine->open_db(L"shop", 0x80);
  f.client->log.clear();
  auto t = db->get_table(L"t", 1);
  for (const std::string& s : f.client->log) EXPECT_EQ(s.find("SHOW CREATE TABLE"), std::string::npos) << s;
  EXPECT_TRUE(db->relationships.empty());
}

TEST(SqlTable, UnknownTableIsAUserErrorNamingIt) {
  fixture f;
  f.engine->connect("h", "u", "", 0);
  f.client->results["show full tables where Table_type='BASE TABLE'"] = one_column("Tables_in_shop", {"t"});
  auto db = f.engine->open_db(L"shop", 0x80);
  try {
    db->get_table(L"missing", 1);
    FAIL() << "no exception";
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.level, 0);
    EXPECT_NE(e.message.find("'missing'"), std::string::npos) << e.message;
  }
}

TEST(SqlRecordset, ABrokenStreamIsAnErrorNotTheEnd) {
  fixture f;
  f.engine->connect("h", "u", "", 0);
  f.client->results["show full tables where Table_type='BASE TABLE'"] = one_column("Tables_in_shop", {});
  auto db = f.engine->open_db(L"shop", 0x80);
  sql_fake_result_script rows = one_column("v", {"a", "b", "c"});
  f.client->results["SELECT * FROM (select v from x\n) as temp___table LIMIT 0"] = one_column("v", {});
  rows.break_after = 2;
  f.client->results["select v from x"] = rows;
  auto q = db->get_query(L"q", L"select v from x;", 1);
  EXPECT_TRUE(q->is_query());
  // The first block would hold the two rows before the break: the break is reached while filling it.
  try {
    q->reset();
    std::size_t n = 0;
    for (; !q->is_eof(); q->next()) ++n;
    FAIL() << "read " << n << " rows without an error";
  } catch (const sql_exception& e) {
    EXPECT_EQ(e.code, 0x400000 + 2013);
  }
}

// The fields of a block's shared record take each row's cells in place; whatever kind a field held before, it
// then holds exactly the value a fresh conversion of the cell gives, and a refused cell does not spoil the next.
TEST(SqlRecordset, ACellTakenInPlaceIsTheValueMadeAfresh) {
  const VARTYPE bytes = static_cast<VARTYPE>(VT_ARRAY | VT_UI1);
  struct cell {
    VARTYPE vartype;
    bool is_bit;
    const char* text;  // null: SQL NULL
    std::size_t length;
  };
  const cell cells[] = {{bytes, false, "ab\0c", 4},        {VT_BSTR, false, "h\xC3\xA9llo", 6},
                        {VT_DATE, false, nullptr, 0},      {VT_DATE, false, "2024-01-31 13:45:07", 19},
                        {VT_DECIMAL, false, "12.50", 5},   {VT_I8, false, "-9000000000", 11},
                        {bytes, false, "", 0},             {bytes, false, "xyz", 3},
                        {VT_BOOL, true, "\x01", 1},        {VT_UI8, true, "\x01\x02", 2},
                        {VT_BSTR, false, "", 0},           {VT_DATE, false, "2024-02-30", 10},
                        {VT_DATE, false, "2024-02-29", 10}, {VT_R8, false, "1.5", 3},
                        {VT_BSTR, false, "plain", 5}};
  ole_variant in_place;
  for (const cell& c : cells) {
    SCOPED_TRACE(c.text ? c.text : "NULL");
    sql_cell_plan plan;
    plan.name = L"c";
    plan.vartype = c.vartype;
    plan.is_bit = c.is_bit;
    ole_variant fresh;
    try {
      fresh = sql_cell_value(plan, c.text, c.length);
    } catch (const sql_value_exception&) {
      EXPECT_THROW(sql_cell_assign(in_place, plan, c.text, c.length), sql_value_exception);
      continue;
    }
    sql_cell_assign(in_place, plan, c.text, c.length);
    EXPECT_EQ(in_place.variant.vt, fresh.variant.vt);
    EXPECT_EQ(in_place.to_wstring(), fresh.to_wstring());
    EXPECT_EQ(in_place.i64_value, fresh.i64_value);
    EXPECT_EQ(in_place.ui64_value, fresh.ui64_value);
    EXPECT_EQ(in_place.date.kind, fresh.date.kind);
    EXPECT_EQ(in_place.date.to_string(6), fresh.date.to_string(6));
  }
}

TEST(SqlRecordset, ACellBeyondItsKindFailsItsRowOnly) {
  // A server that sends a TINYINT cell beyond -128..127: the value is refused, never wrapped, and only when its
  // row is taken; the rows after it, in the same block, still arrive.
  fixture f;
  f.engine->connect("h", "u", "", 0);
  f.client->results["show full tables where Table_type='BASE TABLE'"] = one_column("Tables_in_shop", {});
  auto db = f.engine->open_db(L"shop", 0x80);
  sql_fake_result_script rows;
  rows.columns = {sql_fake_column("n", sql_type_tiny, 4)};
  rows.rows = {{"1"}, {"300"}, {"-129"}, {"-128"}};
  sql_fake_result_script meta = rows;
  meta.rows.clear();
  f.client->results["SELECT * FROM (select n from x\n) as temp___table LIMIT 0"] = meta;
  f.client->results["select n from x"] = rows;
  auto q = db->get_query(L"q", L"select n from x", 1);
  std::vector<std::string> seen;
  for (q->reset(); !q->is_eof(); q->next()) {
    try {
      seen.push_back(q->get_item()->at(0)->to_string());
    } catch (const sql_value_exception& e) {
      EXPECT_EQ(e.level, 0);
      seen.push_back(e.message);
    }
  }
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "1", "The value '300' of column 'n' cannot be stored: Cannot cast from source type to destination type",
                      "The value '-129' of column 'n' cannot be stored: Cannot cast from source type to destination type",
                      "-128"}));
}

// Blocks after the first are read ahead on another thread: every row before a break arrives, in order, and the
// break is raised when the run reaches the block it broke in, not earlier and not as the end of the rows.
TEST(SqlRecordset, ABreakInABlockReadAheadArrivesAfterTheRowsBeforeIt) {
  fixture f;
  f.engine->connect("h", "u", "", 0);
  f.client->results["show full tables where Table_type='BASE TABLE'"] = one_column("Tables_in_shop", {});
  auto db = f.engine->open_db(L"shop", 0x80);
  std::vector<std::string> texts;
  for (int i = 1; i <= 700; ++i) texts.push_back(std::to_string(i));
  std::vector<const char*> values;
  for (const std::string& t : texts) values.push_back(t.c_str());
  sql_fake_result_script rows = one_column("v", values);
  f.client->results["SELECT * FROM (select v from x\n) as temp___table LIMIT 0"] = one_column("v", {});
  rows.break_after = 600;  // inside the third block of 256 rows
  f.client->results["select v from x"] = rows;
  auto q = db->get_query(L"q", L"select v from x", 1);
  std::vector<std::string> seen;
  try {
    for (q->reset(); !q->is_eof(); q->next()) seen.push_back(q->get_item()->at(0)->to_string());
    FAIL() << "read " << seen.size() << " rows without an error";
  } catch (const sql_exception& e) {
    EXPECT_EQ(e.code, 0x400000 + 2013);
  }
  ASSERT_EQ(seen.size(), 512u);  // the two whole blocks before the one that broke
  // The rows of the block that broke are not handed on, but counted as arrived.
  EXPECT_EQ(static_cast<sql_recordset&>(*q).rows_read(), 600u);
  for (std::size_t i = 0; i < seen.size(); ++i) ASSERT_EQ(seen[i], std::to_string(i + 1));
  EXPECT_TRUE(q->is_eof());
  // Unbroken, the same rows all arrive, and a stream read to its end leaves the connection free at once.
  f.client->results["select v from x"] = one_column("v", values);
  std::size_t n = 0;
  for (q->reset(); !q->is_eof(); q->next()) ASSERT_EQ(q->get_item()->at(0)->to_string(), std::to_string(++n));
  EXPECT_EQ(n, 700u);
}

TEST(SqlRecordset, AFailingStatementIsAnError) {
  fixture f;
  f.engine->connect("h", "u", "", 0);
  f.client->results["show full tables where Table_type='BASE TABLE'"] = one_column("Tables_in_shop", {});
  auto db = f.engine->open_db(L"shop", 0x80);
  f.client->failing["SELECT * FROM (select nope\n) as temp___table LIMIT 0"] = {1054, "Unknown column 'nope'"};
  try {
    db->get_query(L"q", L"select nope", 1);
    FAIL() << "no exception";
  } catch (const sql_exception& e) {
    EXPECT_EQ(e.code, 0x400000 + 1054);
    EXPECT_EQ(e.level, 0);
  }
}

}  // namespace

namespace {

TEST(SqlEngine, PropertiesAndDatabaseStatements) {
  fixture f;
  f.engine->connect("h", "u", "", 0);
  udb_engine_properties props = {{L"engine", L"MyISAM"}, {L"character set", L"latin1"}};
  f.engine->set_properties(&props);
  EXPECT_EQ(f.engine->get_table_type(), L"MyISAM");
  EXPECT_EQ(f.engine->get_charset(), L"latin1");
  udb_engine_properties none;
  f.engine->set_properties(&none);
  EXPECT_EQ(f.engine->get_table_type(), L"InnoDB");
  EXPECT_EQ(f.engine->get_charset(), L"latin1");

  f.client->log.clear();
  f.engine->db_delete(L"it's`db");
  const std::vector<std::string> expected = {"SET FOREIGN_KEY_CHECKS = 0", "DROP DATABASE `it's``db`",
                                             "SET FOREIGN_KEY_CHECKS = 1"};
  EXPECT_EQ(f.client->log, expected);
  f.client->failing["DROP DATABASE `gone`"] = {1008, "Can't drop database 'gone'; database doesn't exist"};
  EXPECT_THROW(f.engine->db_delete(L"gone"), sql_exception);

  // Servers before 4.1 take bare names.
  fixture old("4.0.27");
  old.engine->connect("h", "u", "", 0);
  old.client->log.clear();
  old.engine->db_delete(L"shop");
  EXPECT_EQ(old.client->log[1], "DROP DATABASE shop");
}

}  // namespace
