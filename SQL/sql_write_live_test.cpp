// The MySQL engine's writing side against a live throwaway MariaDB: databases copied MySQL to MySQL through the
// engine (read into memory, written into a new database, read back and compared), the statements' safety under
// the server's quoting modes, and the batching, updating and deleting of rows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "OLE/ole_date.h"
#include "SQL/sql_db.h"
#include "SQL/sql_engi.h"
#include "SQL/sql_tab.h"
#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "tests/support/mariadb_env.h"

namespace {

const char* const k_fixture = TT_SOURCE_DIR "/tests/fixtures/mysql_fixture.sql";
const std::string k_chinook = std::string(TT_TEST_DATA_DIR) + "/mysql-samples/chinook.sql";
const VARTYPE k_bytes = static_cast<VARTYPE>(VT_ARRAY | VT_UI1);

tt_test::mariadb_server& server() { return tt_test::shared_mariadb({k_fixture, k_chinook}); }

std::unique_ptr<sql_engine> connected_engine() {
  const tt_test::mariadb_facts& f = server().facts();
  auto engine = std::make_unique<sql_engine>();
  engine->connect(f.host, f.user, f.password, static_cast<int>(f.port));
  engine->set_fast_append_allowed(true);
  return engine;
}

std::string cell(const std::string& sql, const std::string& db = "") {
  const auto rows = server().query(sql, db);
  if (rows.empty() || rows[0].empty() || !rows[0][0]) return "<NULL>";
  return *rows[0][0];
}

// A table held in memory: its structure and owned copies of its rows.
struct table_copy {
  std::wstring name;
  udb_schema schema;
  udb_indexes indexes;
  std::vector<std::unique_ptr<udb_record>> rows;
  std::vector<std::string> unreadable;  // rows the reading side refused, with its reason
};

std::unique_ptr<udb_record> copy_record(const udb_record& record) {
  auto copy = std::make_unique<udb_record>();
  for (const auto& f : record) copy->push_back(std::make_unique<udb_field>(*f));
  return copy;
}

table_copy read_table(udb_database& db, const std::wstring& name) {
  table_copy t;
  t.name = name;
  auto rs = db.get_table(name, 1);
  t.schema = rs->schema;
  t.indexes = rs->indexes;
  for (rs->reset(); !rs->is_eof(); rs->next()) {
    try {
      t.rows.push_back(copy_record(*rs->get_item()));
    } catch (const tk_exception& e) {
      t.unreadable.push_back(e.message);
    }
  }
  return t;
}

// Two values read from MySQL are the same cell: equal texts, or (for dates, which a text column may hold)
// the same moment, or both empty.
bool same_cell(const ole_variant& a, const ole_variant& b) {
  if (a.is_empty() || b.is_empty()) return a.is_empty() && b.is_empty();
  if (a.vt() == VT_DATE || b.vt() == VT_DATE) {
    DATE x = 0, y = 0;
    const bool ok_a = a.vt() == VT_DATE ? (x = a.variant.date, true) : ole_date(a.to_wstring()).to_serial(&x);
    const bool ok_b = b.vt() == VT_DATE ? (y = b.variant.date, true) : ole_date(b.to_wstring()).to_serial(&y);
    return ok_a && ok_b && std::abs(x - y) < 1e-11;
  }
  if (a.vt() == k_bytes || b.vt() == k_bytes) return a.vt() == b.vt() && a.to_string() == b.to_string();
  return a.to_wstring() == b.to_wstring();
}

struct copy_result {
  std::vector<table_copy> source;
  std::vector<std::string> write_errors;
};

// Reads every table of src (tables listed, or all) and writes them, their foreign keys and views into dst.
copy_result copy_database(sql_engine& engine, const std::wstring& src, const std::wstring& dst,
                          std::vector<std::wstring> only = {}) {
  copy_result result;
  udb_relationships relationships;
  udb_view_list views;
  {
    auto db = engine.open_db(src, 1);
    if (only.empty()) only = db->get_tables();
    for (const std::wstring& name : only) result.source.push_back(read_table(*db, name));
    relationships = db->relationships;
    views = db->views;
  }
  server().exec("DROP DATABASE IF EXISTS `" + tk_to_utf8(dst) + "`");
  auto out = engine.create_db(dst);
  for (const table_copy& t : result.source) {
    try {
      auto rs = out->create_table(t.name, t.schema, t.indexes);
      for (const auto& row : t.rows) {
        try {
          rs->append_record(*row);
        } catch (const tk_exception& e) {
          result.write_errors.push_back(tk_to_utf8(t.name) + ": " + e.message);
        }
      }
      rs->flush();
    } catch (const tk_exception& e) {
      result.write_errors.push_back(tk_to_utf8(t.name) + ": " + e.message);
    }
  }
  out->create_relationships(relationships);
  out->create_views(views);
  return result;
}

// Reads dst back through the engine and compares it cell for cell with what was read from the source.
void expect_same_rows(sql_engine& engine, const std::wstring& dst, const std::vector<table_copy>& source) {
  auto db = engine.open_db(dst, 1);
  for (const table_copy& s : source) {
    SCOPED_TRACE(tk_to_utf8(s.name));
    const table_copy d = read_table(*db, s.name);
    EXPECT_TRUE(d.unreadable.empty());
    ASSERT_EQ(d.rows.size(), s.rows.size());
    ASSERT_EQ(d.schema.size(), s.schema.size());
    for (std::size_t r = 0; r < s.rows.size(); ++r)
      for (std::size_t c = 0; c < s.schema.size(); ++c)
        EXPECT_TRUE(same_cell(*s.rows[r]->at(c), *d.rows[r]->at(c)))
            << "row " << r << " column " << tk_to_utf8(s.schema[c].name) << ": '" << s.rows[r]->at(c)->to_string()
            << "' became '" << d.rows[r]->at(c)->to_string() << "'";
  }
}

std::string create_text(const std::string& db, const std::string& table) {
  const auto rows = server().query("SHOW CREATE TABLE `" + table + "`", db);
  return rows.empty() || rows[0].size() < 2 || !rows[0][1] ? std::string() : *rows[0][1];
}

// ---- Round trips --------------------------------------------------------------------------------------------------

TEST(SqlWriteLive, FixtureDatabaseRoundTrip) {
  auto engine = connected_engine();
  // Large values travel as long data: a 2 MiB blob of every byte value and a 2 MiB text of multi-byte characters.
  server().exec(
      "DROP DATABASE IF EXISTS tt_wsrc; CREATE DATABASE tt_wsrc CHARACTER SET utf8mb4;"
      "CREATE TABLE tt_wsrc.large (id INT NOT NULL PRIMARY KEY, lb LONGBLOB, lt LONGTEXT, note VARCHAR(10)) "
      "ENGINE=InnoDB;"
      "SET @b = (WITH RECURSIVE s(n) AS (SELECT 0 UNION ALL SELECT n + 1 FROM s WHERE n < 255) "
      "SELECT GROUP_CONCAT(CHAR(n USING binary) ORDER BY n SEPARATOR '') FROM s);"
      "SET SESSION group_concat_max_len = 4294967295;"
      "INSERT INTO tt_wsrc.large VALUES (1, REPEAT(UNHEX('000102030405060708090A0B0C0D0E0FFF'), 123362), "
      "REPEAT('ü€😀', 233017), 'big'), (2, X'', '', 'empty'), (3, NULL, NULL, 'null');"
      // The reading side refuses a negative TIME for its whole table: the time table travels without that row.
      "CREATE TABLE tt_wsrc.types_time LIKE tt_fixture.types_time;"
      "INSERT INTO tt_wsrc.types_time SELECT * FROM tt_fixture.types_time WHERE id <> 2;"
      // DECIMAL(65,30) values beyond 29 digits read as doubles; rounded up, -99...9.99 no longer fits its column.
      "CREATE TABLE tt_wsrc.types_num LIKE tt_fixture.types_num;"
      "INSERT INTO tt_wsrc.types_num SELECT * FROM tt_fixture.types_num WHERE id <> 2");
  ASSERT_GT(std::stoll(cell("SELECT LENGTH(lb) FROM tt_wsrc.large WHERE id = 1")), 2 * 1024 * 1024 - 100);
  {
    copy_result large = copy_database(*engine, L"tt_wsrc", L"tt_wdst_large");
    EXPECT_TRUE(large.write_errors.empty()) << large.write_errors.front();
    expect_same_rows(*engine, L"tt_wdst_large", large.source);
    for (const char* column : {"lb", "lt"}) {
      const std::string q = std::string("SELECT GROUP_CONCAT(CONCAT(id, ':', COALESCE(MD5(") + column +
                            "), 'null'), ':', COALESCE(LENGTH(" + column + "), -1)) ORDER BY id) FROM large";
      EXPECT_EQ(cell(q, "tt_wdst_large"), cell(q, "tt_wsrc")) << column;
    }
  }

  std::vector<std::wstring> tables;
  const std::unique_ptr<udb_database> fixture = engine->open_db(L"tt_fixture", 1);
  for (const std::wstring& t : fixture->get_tables())
    if (t != L"types_time" && t != L"types_num") tables.push_back(t);
  // A new engine: the large rows above made the first one write row by row; this one batches.
  engine = connected_engine();
  ASSERT_TRUE(engine->is_fast_append_allowed());
  copy_result r = copy_database(*engine, L"tt_fixture", L"tt_wdst", tables);
  for (const std::string& e : r.write_errors) ADD_FAILURE() << e;
  expect_same_rows(*engine, L"tt_wdst", r.source);
  // Every long value arrived byte for byte.
  for (const auto& [table, column] : std::vector<std::pair<std::string, std::string>>{
           {"types_bin", "lb"}, {"types_bin", "mb"}, {"types_bin", "b"}, {"types_text", "lt"},
           {"types_text", "mt"}, {"types_text", "j"}}) {
    const std::string q = "SELECT GROUP_CONCAT(CONCAT(id, ':', COALESCE(MD5(`" + column +
                          "`), 'null')) ORDER BY id) FROM `" + table + "`";
    EXPECT_EQ(cell(q, "tt_wdst"), cell(q, "tt_fixture")) << table << "." << column;
  }
  // The definitions written: types by the descriptor, keys, foreign keys (their locks released: the tables
  // were all read back above on the same connection), defaults.
  auto has = [](const std::string& db, const std::string& table, const std::string& line) {
    const std::string text = create_text(db, table);
    EXPECT_NE(text.find(line), std::string::npos) << line << "\nin\n" << text;
  };
  has("tt_wdst", "types_int", "`id` int(11) NOT NULL AUTO_INCREMENT");
  has("tt_wdst", "types_int", "`b1` tinyint(1) DEFAULT NULL");
  has("tt_wdst", "types_int", "`b64` bigint(20) unsigned DEFAULT NULL");
  has("tt_wdst_large", "types_num", "`f72` decimal(7,2) DEFAULT NULL");
  has("tt_wdst_large", "types_num", "`dec102u` decimal(10,2) DEFAULT NULL");  // 99999999.99 fits
  has("tt_wdst_large", "types_time", "`dt6` datetime(6) DEFAULT NULL");
  has("tt_wdst_large", "types_time", "`t6` time(6) DEFAULT NULL");
  has("tt_wdst_large", "types_time", "`ts3` char(23) DEFAULT NULL");
  has("tt_wdst_large", "large", "`lt` longtext DEFAULT NULL");
  has("tt_wdst", "types_text", "`j` longtext DEFAULT NULL");
  has("tt_wdst", "types_bin", "`bn` varbinary(16) DEFAULT NULL");
  has("tt_wdst", "types_bin", "`lb` longblob DEFAULT NULL");
  has("tt_wdst", "indexed", "PRIMARY KEY (`b`,`a`)");
  has("tt_wdst", "indexed", "UNIQUE KEY `uq_c_e` (`c`,`e`)");
  has("tt_wdst", "child", "CONSTRAINT `fk_child_parent` FOREIGN KEY (`ca`, `cb`) REFERENCES `parent` (`pa`, `pb`)");
  has("tt_wdst", "child", "CONSTRAINT `fk_child_int` FOREIGN KEY (`other_id`) REFERENCES `types_int` (`id`)");
  has("tt_wdst", "odd ref", "CONSTRAINT `fk odd` FOREIGN KEY (`ref`) REFERENCES `odd name` (`col with blank`)");
  has("tt_wdst", "odd name", "`quote_col` varchar(10) DEFAULT NULL");
  has("tt_wdst", "defaults", "`vc_quote` varchar(10) DEFAULT 'it''s'");
  has("tt_wdst", "defaults", "`bi_big` bigint(20) unsigned NOT NULL DEFAULT 18446744073709551615");
  has("tt_wdst", "defaults", "`ts3_now` timestamp(3) NULL DEFAULT current_timestamp(3)");
  // The views, their column names renamed with the table's columns.
  EXPECT_EQ(cell("SELECT GROUP_CONCAT(name ORDER BY pa) FROM v_parent", "tt_wdst"), "one,two");
  EXPECT_EQ(cell("SELECT GROUP_CONCAT(CONCAT(`col with blank`, quote_col)) FROM `v odd`", "tt_wdst"), "1q");
}

TEST(SqlWriteLive, ChinookRoundTrip) {
  auto engine = connected_engine();
  copy_result r = copy_database(*engine, L"Chinook", L"tt_wchinook");
  for (const std::string& e : r.write_errors) ADD_FAILURE() << e;
  ASSERT_EQ(r.source.size(), 11u);
  expect_same_rows(*engine, L"tt_wchinook", r.source);
  EXPECT_EQ(cell("SELECT COUNT(*) FROM Track", "tt_wchinook"), "3503");
  EXPECT_EQ(cell("SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = "
                 "'tt_wchinook'"),
            cell("SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = "
                 "'Chinook'"));
  const std::string track = create_text("tt_wchinook", "Track");
  EXPECT_NE(track.find("CONSTRAINT `FK_TrackAlbumId` FOREIGN KEY (`AlbumId`) REFERENCES `Album` (`AlbumId`)"),
            std::string::npos)
      << track;
  EXPECT_NE(track.find("`UnitPrice` decimal(10,2) NOT NULL"), std::string::npos) << track;
}

// ---- Statements that stay statements ----------------------------------------------------------------------------

t_ftd column(const wchar_t* name, VARTYPE vt, int32_t size, bool not_null = false) {
  return t_ftd(size, name, vt, not_null, false, ole_variant(), 0, std::wstring());
}

std::unique_ptr<udb_record> row(int id, const ole_variant& text, const ole_variant& bytes) {
  auto r = std::make_unique<udb_record>();
  r->push_back(std::make_unique<udb_field>(L"id", 4, ole_variant(id), true, false));
  r->push_back(std::make_unique<udb_field>(L"t", 50, text, false, false));
  r->push_back(std::make_unique<udb_field>(L"b", 20, bytes, false, false));
  return r;
}

// A table (id INT key, t VARCHAR(50), b VARBINARY(40)) created through the engine in a fresh database.
std::unique_ptr<udb_recordset> make_table(udb_database& db, const std::wstring& name) {
  udb_schema schema;
  schema.push_back(column(L"id", VT_I4, 11, true));
  schema.push_back(column(L"t", VT_BSTR, 50));
  schema.push_back(column(L"b", static_cast<VARTYPE>(VT_ARRAY | VT_UI1), 40));
  udb_indexes indexes;
  indexes.push_back(udb_index(L"PRIMARY", true, true, {L"id"}));
  return db.create_table(name, schema, indexes);
}

// A new, empty database of that name, made through the engine.
std::unique_ptr<udb_database> fresh_db(sql_engine& engine, const std::string& name) {
  server().exec("DROP DATABASE IF EXISTS `" + name + "`");
  return engine.create_db(tk_utf8_to_unicode(name));
}

std::string hex_of(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

TEST(SqlWriteLive, QuotesBackslashesAndNulTravelExactlyUnderEverySqlMode) {
  const std::vector<std::string> texts = {"O'Brien", "back\\slash\\", std::string("nul\0byte", 8),
                                          "'); DROP TABLE evil; --", "\\'", "`x`", "\"q\"", "日本 😀"};
  for (const std::string mode : {"", "NO_BACKSLASH_ESCAPES", "ANSI_QUOTES"}) {
    SCOPED_TRACE(mode);
    const std::string saved = cell("SELECT @@GLOBAL.sql_mode");
    server().exec("SET GLOBAL sql_mode = CONCAT(@@GLOBAL.sql_mode, '" + (mode.empty() ? "" : "," + mode) + "')");
    auto engine = connected_engine();
    server().exec("SET GLOBAL sql_mode = '" + saved + "'");
    const std::wstring dbname = L"tt_wq" + tk_utf8_to_unicode(mode);
    server().exec("DROP DATABASE IF EXISTS `" + tk_to_utf8(dbname) + "`");
    auto db = engine->create_db(dbname);
    {
      auto session = db->do_query2(L"SELECT @@SESSION.sql_mode");
      ASSERT_TRUE(session && !session->is_eof());
      EXPECT_NE(session->get_item()->at(0)->to_string().find(mode), std::string::npos);
    }
    // A table name that needs its back-quote doubled.
    const std::wstring table = L"q`t'\"";
    {
      auto t = make_table(*db, table);
      int id = 1;
      for (const std::string& text : texts)
        t->append_record(*row(id++, ole_variant(tk_utf8_to_unicode(text)), ole_variant(std::vector<uint8_t>(
                                                                                   text.begin(), text.end()))));
      // An empty byte string stays an empty byte string, not NULL.
      t->append_record(*row(id++, ole_variant(L""), ole_variant(std::vector<uint8_t>())));
      t->flush();
    }
    const auto rows = server().query("SELECT id, HEX(t), HEX(b), b IS NULL FROM `q``t'\"` ORDER BY id",
                                     tk_to_utf8(dbname));
    ASSERT_EQ(rows.size(), texts.size() + 1);
    for (std::size_t i = 0; i < texts.size(); ++i) {
      EXPECT_EQ(*rows[i][1], hex_of(texts[i])) << i;
      EXPECT_EQ(*rows[i][2], hex_of(texts[i])) << i;
    }
    EXPECT_EQ(*rows.back()[2], "");
    EXPECT_EQ(*rows.back()[3], "0");

    // Key texts: a quote in a value selects its row; a number that is no number is refused.
    auto t = db->get_table(table, 1);
    t->delete_key(L"<t>O'Brien</t>");
    EXPECT_THROW(t->delete_key(L"<id>1 OR 1=1</id>"), tk_exception);
    auto change = row(3, ole_variant(L"it's \\ new"), ole_variant());
    t->update2(*change, L"<t>" + tk_utf8_to_unicode(std::string("nul\0byte", 8)) + L"</t>");
    EXPECT_EQ(cell("SELECT GROUP_CONCAT(id ORDER BY id) FROM `q``t'\"`", tk_to_utf8(dbname)), "2,3,4,5,6,7,8,9");
    EXPECT_EQ(cell("SELECT CONCAT(t, '|', b IS NULL) FROM `q``t'\"` WHERE id = 3", tk_to_utf8(dbname)),
              "it's \\ new|1");
  }
}

// The error the table's flush() raises (a test failure when it raises none).
tk_exception flush_error(udb_recordset& t) {
  try {
    t.flush();
  } catch (const tk_exception& e) {
    return e;
  }
  ADD_FAILURE() << "the server's refusal was not raised";
  return tk_exception("", 0);
}

TEST(SqlWriteLive, BatchesCarryRowsOfOneColumnListAndFailuresAreRaised) {
  auto engine = connected_engine();
  auto db = fresh_db(*engine, "tt_wbatch");
  auto t = make_table(*db, L"t");
  auto count = [] { return cell("SELECT COUNT(*) FROM t", "tt_wbatch"); };
  for (int i = 1; i <= 3; ++i) t->append_record(*row(i, ole_variant(L"x"), ole_variant()));
  EXPECT_EQ(count(), "0");  // the three rows wait in one statement
  // A record of another column list (no b) sends the batch first.
  auto shorter = std::make_unique<udb_record>();
  shorter->push_back(std::make_unique<udb_field>(L"id", 4, ole_variant(4), true, false));
  shorter->push_back(std::make_unique<udb_field>(L"t", 50, ole_variant(L"short"), false, false));
  t->append_record(*shorter);
  EXPECT_EQ(count(), "3");
  // As many fields, other columns: again a batch of its own.
  auto other_columns = std::make_unique<udb_record>();
  other_columns->push_back(std::make_unique<udb_field>(L"id", 4, ole_variant(40), true, false));
  other_columns->push_back(std::make_unique<udb_field>(L"b", 40, ole_variant(std::vector<uint8_t>{7}), false, false));
  t->append_record(*other_columns);
  EXPECT_EQ(count(), "4");
  t->delete_key(L"<id>40</id>");
  // Updates and deletes see the rows still waiting.
  t->update1(*row(4, ole_variant(L"changed"), ole_variant(std::vector<uint8_t>{1})));
  EXPECT_EQ(cell("SELECT CONCAT(t, HEX(b)) FROM t WHERE id = 4", "tt_wbatch"), "changed01");

  // A duplicate key is an error, not a skipped row: the server refuses the batch that holds it, and its rows are
  // written again one by one, so that the duplicate (the table object's 7th row) alone is lost.
  t->append_record(*row(5, ole_variant(L"five"), ole_variant()));
  t->append_record(*row(1, ole_variant(L"duplicate"), ole_variant()));
  const tk_exception duplicate = flush_error(*t);
  EXPECT_EQ(duplicate.code, 0x400000 + 1062) << duplicate.message;
  EXPECT_EQ(duplicate.level, 0);
  EXPECT_EQ(duplicate.message.rfind("t, record #7: Duplicate entry '1'", 0), 0u) << duplicate.message;
  t->flush();  // nothing waits any more
  EXPECT_EQ(count(), "5");

  // Deleting by record: a NULL field matches NULL.
  t->append_record(*row(6, ole_variant(), ole_variant()));
  t->delete_key(*row(6, ole_variant(), ole_variant()));
  EXPECT_EQ(cell("SELECT COUNT(*) FROM t WHERE id = 6", "tt_wbatch"), "0");
  // A record without the table's key cannot be updated.
  auto keyless = std::make_unique<udb_record>();
  keyless->push_back(std::make_unique<udb_field>(L"t", 50, ole_variant(L"x"), false, false));
  EXPECT_THROW(t->update1(*keyless), tk_exception);
  // A record missing a column of the table is refused.
  auto other = std::make_unique<udb_record>();
  other->push_back(std::make_unique<udb_field>(L"nope", 4, ole_variant(1), false, false));
  other->push_back(std::make_unique<udb_field>(L"id", 4, ole_variant(9), false, false));
  other->push_back(std::make_unique<udb_field>(L"t", 4, ole_variant(1), false, false));
  EXPECT_THROW(t->append_record(*other), tk_exception);

  // One by one (after a row too large to batch), a duplicate is an error of that row.
  engine->set_fast_append_allowed(false);
  EXPECT_THROW(t->append_record(*row(1, ole_variant(L"again"), ole_variant())), sql_exception);
  t->append_record(*row(7, ole_variant(L"seven"), ole_variant()));
  EXPECT_EQ(count(), "6");
}

// What the error handler shows, as the wizard's window would (each level-0 error answered with Continue).
struct recording_ui : tk_error_ui {
  std::vector<std::wstring> shown;
  bool is_initialized() const override { return false; }
  std::wstring window_title() const override { return L""; }
  std::size_t error_count() const override { return 0; }
  void add_error(const std::wstring&) override {}
  void error(const std::wstring& text) override { shown.push_back(text); }
  void display_help(uint32_t) override {}
  int internal_error_dialog(const std::wstring& text) override {
    shown.push_back(text);
    return tk_dlg_ok;
  }
  int continue_dialog(const std::wstring& text, bool&) override {
    shown.push_back(text);
    return tk_dlg_continue;
  }
};

TEST(SqlWriteLive, ARefusedRowCostsOnlyItselfAndIsNamed) {
  auto engine = connected_engine();
  auto db = fresh_db(*engine, "tt_wrefused");
  auto count = [] { return cell("SELECT COUNT(*) FROM t", "tt_wrefused"); };
  {
    // 1,000 rows in one batch, the 500th a duplicate of the first: the 999 others arrive.
    auto t = make_table(*db, L"t");
    for (int i = 1; i <= 1000; ++i) t->append_record(*row(i == 500 ? 1 : i, ole_variant(L"x"), ole_variant()));
    EXPECT_EQ(count(), "0");
    const std::string refused = flush_error(*t).message;
    EXPECT_EQ(refused.rfind("t, record #500: Duplicate entry '1'", 0), 0u) << refused;
    EXPECT_EQ(refused.find('\n'), std::string::npos) << refused;  // no other row is named
    EXPECT_EQ(count(), "999");
    EXPECT_EQ(cell("SELECT COUNT(*) FROM t WHERE id = 500", "tt_wrefused"), "0");
  }
  // With an error handler, each refused row is one record error; a batch the table object still holds when it
  // goes is sent the same way, and its failures reach the user too.
  error_handler handler(tk_dao_error_count, tk_dao_error_table);
  recording_ui ui;
  handler.set_ui(&ui);
  {
    auto t = db->get_table(L"t", 1);
    t->append_record(*row(2000, ole_variant(L"new"), ole_variant()));
    t->append_record(*row(2, ole_variant(L"dup"), ole_variant()));
    t->append_record(*row(3, ole_variant(L"dup"), ole_variant()));
    t->append_record(*row(2001, ole_variant(L"new"), ole_variant()));
    t->flush();
    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(ui.shown[0].rfind(L"t, record #2: Duplicate entry '2'", 0), 0u) << tk_to_utf8(ui.shown[0]);
    EXPECT_EQ(ui.shown[1].rfind(L"t, record #3: Duplicate entry '3'", 0), 0u) << tk_to_utf8(ui.shown[1]);
    t->append_record(*row(2002, ole_variant(L"new"), ole_variant()));
    t->append_record(*row(4, ole_variant(L"dup"), ole_variant()));
  }
  ASSERT_EQ(ui.shown.size(), 3u);
  EXPECT_EQ(ui.shown[2].rfind(L"t, record #6: Duplicate entry '4'", 0), 0u) << tk_to_utf8(ui.shown[2]);
  EXPECT_EQ(cell("SELECT GROUP_CONCAT(id ORDER BY id) FROM t WHERE id >= 2000", "tt_wrefused"), "2000,2001,2002");
  handler.set_ui(nullptr);

  // MyISAM keeps what a refused statement wrote before the refused row: the batch is not sent again (it would
  // write those rows twice), and the error names the batch's rows.
  const udb_engine_properties myisam = {{L"engine", L"MyISAM"}};
  engine->set_properties(&myisam);
  auto m = make_table(*db, L"m");
  engine->set_properties(nullptr);
  m->append_record(*row(1, ole_variant(L"a"), ole_variant()));
  m->append_record(*row(1, ole_variant(L"b"), ole_variant()));
  m->append_record(*row(2, ole_variant(L"c"), ole_variant()));
  const std::string refused = flush_error(*m).message;
  EXPECT_EQ(refused.rfind("Table 'm': the server refused a batch of rows #1 to #3;", 0), 0u) << refused;
  EXPECT_EQ(cell("SELECT GROUP_CONCAT(CONCAT(id, t)) FROM m", "tt_wrefused"), "1a");
}

// A record of the given fields (name, value), each a text field but the first, an integer id.
std::unique_ptr<udb_record> fields(int id, const std::vector<std::pair<std::wstring, std::wstring>>& texts) {
  auto r = std::make_unique<udb_record>();
  r->push_back(std::make_unique<udb_field>(L"id", 4, ole_variant(id), true, false));
  for (const auto& [name, text] : texts) r->push_back(std::make_unique<udb_field>(name, 10, ole_variant(text), false, false));
  return r;
}

std::unique_ptr<udb_recordset> text_table(udb_database& db, const std::wstring& name,
                                          const std::vector<std::wstring>& columns) {
  udb_schema schema;
  schema.push_back(column(L"id", VT_I4, 11, true));
  for (const std::wstring& c : columns) schema.push_back(column(c.c_str(), VT_BSTR, 10));
  udb_indexes indexes;
  indexes.push_back(udb_index(L"PRIMARY", true, true, {L"id"}));
  return db.create_table(name, schema, indexes);
}

TEST(SqlWriteLive, EachValueGoesToTheColumnMadeForItsField) {
  auto engine = connected_engine();
  auto db = fresh_db(*engine, "tt_wmap");
  auto rows = [](const char* table) {
    return cell(std::string("SELECT GROUP_CONCAT(CONCAT_WS('/', id, `a_b00000`, `a_b`) ORDER BY id) FROM ") + table,
                "tt_wmap");
  };
  {
    // a`b is not a name the server takes: it becomes a_b00000, as a_b is taken by the next column.
    auto t = text_table(*db, L"t1", {L"a`b", L"a_b"});
    ASSERT_EQ(t->schema[1].name, L"a_b00000");
    t->append_record(*fields(1, {{L"a`b", L"x"}}));  // fewer fields than columns
    t->append_record(*fields(2, {{L"a_b", L"y"}}));
    t->append_record(*fields(3, {{L"a_b", L"q"}, {L"A`B", L"p"}}));  // all of them, another order and case
    t->flush();
    EXPECT_EQ(rows("t1"), "1/x,2/y,3/p/q");
    t->delete_key(*fields(1, {{L"a`b", L"x"}}));
    t->delete_key(L"<a`b>p</a`b>");
    t->update1(*fields(2, {{L"a`b", L"z"}}));
    EXPECT_EQ(rows("t1"), "2/z/y");
  }
  {
    // Two renamed columns given in the other order keep their own values.
    auto t = text_table(*db, L"t2", {L"a`b", L"a'b"});
    ASSERT_EQ(t->schema[1].name, L"a_b");
    ASSERT_EQ(t->schema[2].name, L"a_b00000");
    t->append_record(*fields(1, {{L"a'b", L"quote"}, {L"a`b", L"back"}}));
    t->update1(*fields(1, {{L"a'b", L"QUOTE"}}));
    t->flush();
    EXPECT_EQ(cell("SELECT CONCAT(a_b, '/', a_b00000) FROM t2", "tt_wmap"), "back/QUOTE");
  }
  // Opened by another database object, the table has no renamings: names take the column of that name (exactly,
  // else ignoring case), and a source name is no column of it.
  auto again = engine->open_db(L"tt_wmap", 0);
  auto t = again->get_table(L"t1", 1);
  t->append_record(*fields(4, {{L"A_B", L"upper"}}));
  EXPECT_THROW(t->append_record(*fields(5, {{L"a`b", L"lost"}})), tk_exception);
  t->flush();
  EXPECT_EQ(rows("t1"), "2/z/y,4/upper");
  // Made again without renamings, the table forgets those of the one dropped before.
  t.reset();
  ASSERT_TRUE(db->delete_tab(L"t1"));
  auto remade = text_table(*db, L"t1", {L"a_b00000", L"a_b"});
  EXPECT_THROW(remade->append_record(*fields(5, {{L"a`b", L"stale"}})), tk_exception);
}

TEST(SqlWriteLive, NamesAndKeysTheServerWouldRefuseStillMakeTheTable) {
  auto engine = connected_engine();
  auto db = fresh_db(*engine, "tt_wrefuse");
  // A table name outside the BMP gets its safe name from the table-name validator.
  std::unique_ptr<udb_validator> tables = engine->create_tn_validator({L"t\U0001F600"}, {});
  ASSERT_FALSE(tables->is_acceptable(L"t\U0001F600"));
  const std::wstring name = tables->get_safe_name(L"t\U0001F600");
  EXPECT_EQ(name, L"t_");
  udb_schema schema;
  schema.push_back(column(L"id", VT_I4, 11, true));
  schema.push_back(column(L"Name", VT_BSTR, 300));
  schema.push_back(column(L"name", VT_BSTR, 400));
  schema.push_back(column(L"smile\U0001F600", VT_BSTR, 400));
  udb_indexes indexes;
  indexes.push_back(udb_index(L"PRIMARY", true, true, {L"id"}));
  indexes.push_back(udb_index(L"ix\U0001F600", false, false, {L"Name"}));
  indexes.push_back(udb_index(L"IX", false, false, {L"Name", L"name"}));           // 700 characters: 2,800 bytes
  indexes.push_back(udb_index(L"ix", false, false, {L"name", L"smile\U0001F600"}));  // 800 characters: too big
  auto t = db->create_table(name, schema, indexes);
  ASSERT_EQ(t->schema.size(), 4u);
  EXPECT_EQ(t->schema[2].name, L"name00000");
  EXPECT_EQ(t->schema[3].name, L"smile_");
  const std::string text = create_text("tt_wrefuse", "t_");
  EXPECT_NE(text.find("KEY `ix_` (`Name`)"), std::string::npos) << text;
  EXPECT_NE(text.find("KEY `IX` (`Name`,`name00000`)"), std::string::npos) << text;
  EXPECT_EQ(text.find("`smile_`)"), std::string::npos) << text;
  t->append_record(*fields(1, {{L"Name", L"upper"}, {L"name", L"lower"}, {L"smile\U0001F600", L"\U0001F600"}}));
  t->flush();
  EXPECT_EQ(cell("SELECT CONCAT_WS('/', Name, name00000, smile_) FROM t_", "tt_wrefuse"), "upper/lower/😀");
  // A foreign key to Name references Name, not the column of its case twin.
  udb_schema child;
  child.push_back(column(L"ref", VT_BSTR, 300));
  db->create_table(L"c", child, udb_indexes());
  udb_relationships keys;
  keys.push_back(udb_relationship(L"c_name", L"", L"c", name, {L"ref"}, {L"Name"}, L""));
  db->create_relationships(keys);
  const std::string c = create_text("tt_wrefuse", "c");
  EXPECT_NE(c.find("FOREIGN KEY (`ref`) REFERENCES `t_` (`Name`)"), std::string::npos) << c;
}

TEST(SqlWriteLive, ANanIsRefusedAsInfinityIs) {
  auto engine = connected_engine();
  auto db = fresh_db(*engine, "tt_wnan");
  udb_schema schema;
  schema.push_back(column(L"id", VT_I4, 11, true));
  schema.push_back(column(L"d", VT_R8, 22));
  schema.push_back(column(L"f", VT_R4, 12));
  schema.push_back(column(L"s", VT_BSTR, 40));
  udb_indexes indexes;
  indexes.push_back(udb_index(L"PRIMARY", true, true, {L"id"}));
  auto t = db->create_table(L"t", schema, indexes);
  auto make = [](int id, double d, float f, double s = 0.5) {
    auto r = std::make_unique<udb_record>();
    r->push_back(std::make_unique<udb_field>(L"id", 4, ole_variant(id), true, false));
    r->push_back(std::make_unique<udb_field>(L"d", 8, ole_variant(d), false, false));
    r->push_back(std::make_unique<udb_field>(L"f", 4, ole_variant(f), false, false));
    r->push_back(std::make_unique<udb_field>(L"s", 8, ole_variant(s), false, false));
    return r;
  };
  t->append_record(*make(1, 1.5, 2.5f));
  for (const auto& [d, f, s, column] : std::vector<std::tuple<double, float, double, std::string>>{
           {std::nan(""), 1.0f, 0.5, "d"}, {1.0, std::nanf(""), 0.5, "f"}, {INFINITY, 1.0f, 0.5, "d"},
           {1.0, 1.0f, std::nan(""), "s"}}) {  // a text column takes no NaN either
    try {
      t->append_record(*make(2, d, f, s));
      FAIL() << "a value that is no number was written";
    } catch (const tk_exception& e) {
      EXPECT_EQ(e.level, 0);
      EXPECT_NE(e.message.find("is not a number for the column '" + column + "'"), std::string::npos) << e.message;
    }
  }
  // Neither as a key of an update.
  EXPECT_THROW(t->delete_key(*make(1, std::nan(""), 2.5f)), tk_exception);
  t->flush();
  EXPECT_EQ(cell("SELECT GROUP_CONCAT(CONCAT_WS('/', id, d, f, s + 0)) FROM t", "tt_wnan"), "1/1.5/2.5/0.5");
}

TEST(SqlWriteLive, StatementsActOnTheirOwnDatabase) {
  auto engine = connected_engine();
  server().exec("DROP DATABASE IF EXISTS tt_wown1; DROP DATABASE IF EXISTS tt_wown2");
  auto db1 = engine->create_db(L"tt_wown1");
  auto t1 = make_table(*db1, L"t");
  auto db2 = engine->create_db(L"tt_wown2");  // now the connection's current database
  auto t2 = make_table(*db2, L"t");
  t1->append_record(*row(1, ole_variant(L"one"), ole_variant()));
  t1->flush();
  t2->append_record(*row(2, ole_variant(L"two"), ole_variant()));
  t2->flush();
  EXPECT_EQ(cell("SELECT GROUP_CONCAT(t) FROM t", "tt_wown1"), "one");
  EXPECT_EQ(cell("SELECT GROUP_CONCAT(t) FROM t", "tt_wown2"), "two");
  db1->empty_table(L"t");
  EXPECT_EQ(cell("SELECT COUNT(*) FROM t", "tt_wown1"), "0");
  EXPECT_EQ(cell("SELECT COUNT(*) FROM t", "tt_wown2"), "1");
  // A table that exists already is opened for appending; nothing is created.
  auto again = make_table(*db2, L"t");
  EXPECT_EQ(again->schema.size(), 3u);
  t2.reset();
  again.reset();
  EXPECT_TRUE(db2->delete_tab(L"t"));
  EXPECT_EQ(cell("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = 'tt_wown2'"), "0");
  EXPECT_EQ(cell("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = 'tt_wown1'"), "1");
}

TEST(SqlWriteLive, TextTooLongForAVarcharOfItsCharacterSetBecomesTheSmallestTextType) {
  // For each character set: the longest text a VARCHAR of it holds, and one character more, each filled with
  // characters of the set's widest kind.
  struct limit_case {
    const wchar_t* charset;
    const wchar_t* letter;
    int32_t size;
    const char* type;
  };
  const limit_case cases[] = {{L"utf8mb4", L"\U0001F600", 16383, "varchar(16383)"},
                              {L"utf8mb4", L"\U0001F600", 16384, "mediumtext"},
                              {L"utf8", L"\u20AC", 21844, "varchar(21844)"},
                              {L"utf8", L"\u20AC", 21845, "text"},
                              {L"latin1", L"\u00E9", 21845, "varchar(21845)"},
                              {L"latin1", L"\u00E9", 21846, "text"}};
  auto engine = connected_engine();
  for (const limit_case& c : cases) {
    const std::string table = tk_to_utf8(c.charset) + "_" + std::to_string(c.size);
    SCOPED_TRACE(table);
    const udb_engine_properties properties = {{L"character set", c.charset}};
    engine->set_properties(&properties);
    auto db = fresh_db(*engine, "tt_wtext");
    udb_schema schema;
    schema.push_back(column(L"t", VT_BSTR, c.size));
    std::unique_ptr<udb_recordset> rs;
    try {
      rs = db->create_table(tk_utf8_to_unicode(table), schema, udb_indexes());
    } catch (const tk_exception& e) {
      ADD_FAILURE() << "the table was refused: " << e.message;
      continue;
    }
    EXPECT_EQ(cell("SELECT CONCAT(COLUMN_TYPE, ' ', CHARACTER_SET_NAME) FROM information_schema.COLUMNS WHERE "
                   "TABLE_SCHEMA = 'tt_wtext' AND TABLE_NAME = '" + table + "'"),
              std::string(c.type) + " " + (tk_to_utf8(c.charset) == "utf8" ? "utf8mb3" : tk_to_utf8(c.charset)));
    std::wstring text;
    for (int32_t i = 0; i < c.size; ++i) text += c.letter;
    auto r = std::make_unique<udb_record>();
    r->push_back(std::make_unique<udb_field>(L"t", c.size, ole_variant(text), false, false));
    rs->append_record(*r);
    rs->flush();
    rs.reset();
    auto back = db->get_table(tk_utf8_to_unicode(table), 1);
    back->reset();
    ASSERT_FALSE(back->is_eof());
    EXPECT_TRUE(back->get_item()->at(0)->to_wstring() == text) << "the text came back changed";
    back->next();
    EXPECT_TRUE(back->is_eof());
  }
  engine->set_properties(nullptr);
}

// utf8 is the set the server reads it as: MariaDB without UTF8_IS_UTF8MB3 in its old_mode takes it for utf8mb4,
// whose VARCHAR holds 16,383 characters, not utf8mb3's 21,844.
TEST(SqlWriteLive, Utf8IsTheCharacterSetTheServerTakesItFor) {
  struct old_mode_restored {
    std::string saved = cell("SELECT @@GLOBAL.old_mode");
    ~old_mode_restored() { server().exec("SET GLOBAL old_mode = '" + saved + "'"); }
  } restore;
  server().exec("SET GLOBAL old_mode = ''");  // sessions opened from now on read utf8 as utf8mb4
  auto engine = connected_engine();
  const udb_engine_properties properties = {{L"character set", L"utf8"}};
  engine->set_properties(&properties);
  auto db = fresh_db(*engine, "tt_wutf8");
  for (const auto& [size, type] : {std::pair<int32_t, std::string>{16383, "varchar(16383)"},
                                   {16384, "mediumtext"}, {21844, "mediumtext"}}) {
    SCOPED_TRACE(size);
    const std::wstring table = L"t" + std::to_wstring(size);
    udb_schema schema;
    schema.push_back(column(L"t", VT_BSTR, size));
    try {
      db->create_table(table, schema, udb_indexes());
    } catch (const tk_exception& e) {
      ADD_FAILURE() << "the table was refused: " << e.message;
      continue;
    }
    EXPECT_EQ(cell("SELECT CONCAT(COLUMN_TYPE, ' ', CHARACTER_SET_NAME) FROM information_schema.COLUMNS WHERE "
                   "TABLE_SCHEMA = 'tt_wutf8' AND TABLE_NAME = '" + tk_to_utf8(table) + "'"),
              type + " utf8mb4");
  }
  engine->set_properties(nullptr);
}

TEST(SqlWriteLive, LongValuesBindInStatementOrderAndThePacketLimitHolds) {
  auto engine = connected_engine();
  auto db = fresh_db(*engine, "tt_wlong");
  udb_schema schema;
  schema.push_back(column(L"id", VT_I4, 11, true));
  schema.push_back(column(L"a", static_cast<VARTYPE>(VT_ARRAY | VT_UI1), 0));
  schema.push_back(column(L"n", VT_BSTR, 10));
  schema.push_back(column(L"z", VT_BSTR, 0));
  udb_indexes indexes;
  indexes.push_back(udb_index(L"PRIMARY", true, true, {L"id"}));
  auto t = db->create_table(L"t", schema, indexes);
  // The record's fields in another order than the table's columns, a NULL between the long values.
  std::vector<uint8_t> bytes(3 * 1024 * 1024 + 7);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  std::wstring text;
  for (int i = 0; i < 600000; ++i) text += L"ä😀";
  auto make = [&](int id) {
    auto r = std::make_unique<udb_record>();
    r->push_back(std::make_unique<udb_field>(L"z", 0, ole_variant(text), false, false));
    r->push_back(std::make_unique<udb_field>(L"n", 10, ole_variant(), false, false));
    r->push_back(std::make_unique<udb_field>(L"a", 0, ole_variant(bytes), false, false));
    r->push_back(std::make_unique<udb_field>(L"id", 4, ole_variant(id), true, false));
    return r;
  };
  t->append_record(*make(1));
  EXPECT_FALSE(engine->is_fast_append_allowed());
  const std::string utf8 = tk_to_utf8(text);
  EXPECT_EQ(cell("SELECT CONCAT(LENGTH(a), ':', MD5(a), ':', n IS NULL, ':', LENGTH(z), ':', MD5(z)) FROM t",
                 "tt_wlong"),
            std::to_string(bytes.size()) + ":" +
                cell("SELECT MD5(" + std::string("X'") + hex_of(std::string(bytes.begin(), bytes.end())) + "')") +
                ":1:" + std::to_string(utf8.size()) + ":" + cell("SELECT MD5(X'" + hex_of(utf8) + "')"));
  // A row larger than the server takes is refused before anything is sent.
  server().exec("SET GLOBAL max_allowed_packet = 2097152");
  auto small = connected_engine();
  server().exec("SET GLOBAL max_allowed_packet = 16777216");
  auto db2 = small->open_db(L"tt_wlong", 0);
  auto t2 = db2->get_table(L"t", 1);
  try {
    t2->append_record(*make(2));
    FAIL() << "a row above max_allowed_packet was sent";
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.message, "Row size exceeds 'max_allowed_packet'");
    EXPECT_EQ(e.level, 0);
  }
  EXPECT_EQ(cell("SELECT COUNT(*) FROM t", "tt_wlong"), "1");
}

TEST(SqlWriteLive, TheTraceKeepsAChangedRowLayoutAndARefusedLongRow) {
  const std::string path = std::string(TT_BINARY_DIR) + "/sql_write_trace_test.log";
  std::remove(path.c_str());
  auto engine = connected_engine();
  auto db = fresh_db(*engine, "tt_wtrace");
  uint32_t long_row = 0;
  {
    tk_logger logger(path.c_str(), true, 3, false);
    auto t = make_table(*db, L"t");
    t->append_record(*row(1, ole_variant(L"x"), ole_variant()));
    t->append_record(*row(2, ole_variant(L"y"), ole_variant()));
    auto shorter = std::make_unique<udb_record>();
    shorter->push_back(std::make_unique<udb_field>(L"id", 4, ole_variant(3), true, false));
    shorter->push_back(std::make_unique<udb_field>(L"t", 50, ole_variant(L"z"), false, false));
    t->append_record(*shorter);
    t->flush();
    // A row too long for a statement's text goes through a prepared statement; the server refuses its key.
    udb_schema schema;
    schema.push_back(column(L"id", VT_I4, 11, true));
    schema.push_back(column(L"z", VT_BSTR, 0));
    udb_indexes indexes;
    indexes.push_back(udb_index(L"PRIMARY", true, true, {L"id"}));
    auto l = db->create_table(L"l", schema, indexes);
    auto make = [](int id) {
      auto r = std::make_unique<udb_record>();
      r->push_back(std::make_unique<udb_field>(L"id", 4, ole_variant(id), true, false));
      r->push_back(std::make_unique<udb_field>(L"z", 0, ole_variant(std::wstring(1100000, L'q')), false, false));
      return r;
    };
    l->append_record(*make(1));
    auto again = make(1);
    long_row = again->get_total_size();
    EXPECT_THROW(l->append_record(*again), sql_prep_stmt_failed_exception);
  }
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  const std::string trace = text.str();
  EXPECT_NE(trace.find("cached_rec_size=3, that.size=2\r\n"), std::string::npos) << trace;
  EXPECT_NE(trace.find("mysql_stmt_execute failed: error=Duplicate entry '1' for key 'PRIMARY'\r\n"),
            std::string::npos);
  EXPECT_NE(trace.find("row size=" + std::to_string(long_row) + "\r\n"), std::string::npos);
  EXPECT_EQ(cell("SELECT CONCAT(COUNT(*), ':', SUM(LENGTH(z))) FROM l", "tt_wtrace"), "1:1100000");
  std::remove(path.c_str());
}

TEST(SqlWriteLive, ViewsAndForeignKeysReportEachFailureAndGoOn) {
  auto engine = connected_engine();
  auto db = fresh_db(*engine, "tt_wrel");
  auto parent = make_table(*db, L"p");
  auto child = make_table(*db, L"c");
  parent.reset();
  child.reset();
  udb_relationships rels;
  rels.push_back(udb_relationship(L"to_missing", L"", L"c", L"missing", {L"id"}, {L"id"}, L""));
  // A key the server refuses while both tables are locked (a text column referencing a number).
  rels.push_back(udb_relationship(L"refused", L"", L"c", L"p", {L"t"}, {L"id"}, L""));
  rels.push_back(udb_relationship(L"c_p", L"", L"c", L"p", {L"id"}, {L"id"}, L""));
  try {
    db->create_relationships(rels);
    FAIL() << "a foreign key to a missing table was accepted";
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.message, "Table 'missing' not exists");
  }
  // The last key was made, and no table stays locked: another table takes rows.
  const std::string c = create_text("tt_wrel", "c");
  EXPECT_NE(c.find("CONSTRAINT `c_p` FOREIGN KEY (`id`) REFERENCES `p` (`id`)"), std::string::npos) << c;
  EXPECT_EQ(c.find("refused"), std::string::npos) << c;
  auto other = make_table(*db, L"other");
  other->append_record(*row(1, ole_variant(L"x"), ole_variant()));
  other->flush();
  EXPECT_EQ(cell("SELECT COUNT(*) FROM other", "tt_wrel"), "1");
  auto t = db->get_table(L"p", 1);
  t->append_record(*row(1, ole_variant(L"x"), ole_variant()));
  t->flush();

  udb_view_list views = {{L"bad", L"SELECT no_such_column FROM p"},
                         {L"not a select", L"DELETE FROM p"},
                         {L"v`1", L"select [id], 'a  [b]' as txt from p"}};
  EXPECT_THROW(db->create_views(views), tk_exception);
  // The view's name is made safe (no back-quote in a table name); the literal keeps its blanks and brackets.
  EXPECT_EQ(cell("SELECT CONCAT(id, txt) FROM v_1", "tt_wrel"), "1a  [b]");
  EXPECT_EQ(cell("SELECT COUNT(*) FROM information_schema.VIEWS WHERE TABLE_SCHEMA = 'tt_wrel'"), "1");

  // DATEDIFF with a unit counts from the first date to the second, as it did where the view came from; a unit
  // MySQL has no TIMESTAMPDIFF for is left to the server, which refuses the view.
  views = {{L"diffs", L"select datediff(day,'2020-01-01','2020-02-01') as d, DateDiff('m', '2020-01-31', "
                      L"'2020-03-01') as m, datediff(\"yyyy\", '2024-02-29', '2020-01-01') as y, "
                      L"datediff('2020-02-01', '2020-01-01') as native"},
           {L"weekday", L"select datediff('w', '2020-01-01', '2020-02-01') as w"}};
  EXPECT_THROW(db->create_views(views), tk_exception);
  EXPECT_EQ(cell("SELECT CONCAT_WS('/', d, m, y, native) FROM diffs", "tt_wrel"), "31/1/-4/31");
  EXPECT_EQ(cell("SELECT COUNT(*) FROM information_schema.VIEWS WHERE TABLE_SCHEMA = 'tt_wrel'"), "2");
}

}  // namespace
