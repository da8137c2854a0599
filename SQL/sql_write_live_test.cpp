// The MySQL engine's writing side against a live throwaway MariaDB: databases copied MySQL to MySQL through the
// engine (read into memory, written into a new database, read back and compared), the statements' safety under
// the server's quoting modes, and the batching, updating and deleting of rows.
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "OLE/ole_date.h"
#include "SQL/sql_db.h"
#include "SQL/sql_engi.h"
#include "SQL/sql_tab.h"
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

}  // namespace
