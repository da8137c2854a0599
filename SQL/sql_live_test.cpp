// The MySQL engine against a live throwaway MariaDB holding the source fixture database: connection errors,
// the catalogue, every column type's descriptor, every cell compared with what the server itself returns, and
// the streaming of large tables and user queries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TT_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TT_ASAN 1
#endif
#ifdef TT_ASAN
// Exported by the address sanitizer's run-time (its header ships with clang only).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

#include "OLE/ole_date.h"
#include "SQL/sql_db.h"
#include "SQL/sql_engi.h"
#include "SQL/sql_recs.h"
#include "SQL/sql_sync.h"
#include "SQL/sql_tab.h"
#include "SQL/sql_util.h"
#include "TK/tk_errco.h"
#include "TK/tk_utils.h"
#include "tests/support/mariadb_env.h"

namespace {

const char* const k_fixture = TT_SOURCE_DIR "/tests/fixtures/mysql_fixture.sql";
const VARTYPE k_bytes = static_cast<VARTYPE>(VT_ARRAY | VT_UI1);

tt_test::mariadb_server& server() { return tt_test::shared_mariadb({k_fixture}); }

std::unique_ptr<sql_engine> connected_engine() {
  const tt_test::mariadb_facts& f = server().facts();
  auto engine = std::make_unique<sql_engine>();
  engine->connect(f.host, f.user, f.password, static_cast<int>(f.port));
  return engine;
}

std::size_t allocated_bytes() {
#ifdef TT_ASAN
  return __sanitizer_get_current_allocated_bytes();
#else
  return mallinfo2().uordblks;
#endif
}

// ---- Connection -------------------------------------------------------------------------------------------------

TEST(SqlLive, WrongPasswordIsAccessDeniedWithTheUsersText) {
  const tt_test::mariadb_facts& f = server().facts();
  sql_engine engine;
  try {
    engine.connect(f.host, f.user, "not the password", static_cast<int>(f.port));
    FAIL() << "connected with a wrong password";
  } catch (const sql_exception& e) {
    EXPECT_EQ(e.code, 0x400000 + 1045);
    EXPECT_EQ(e.level, 0);
    EXPECT_NE(e.message.find("Access denied"), std::string::npos) << e.message;
    const std::string text = tk_error_converter(tk_mysql_error_count, tk_mysql_error_table).convert(e.code);
    EXPECT_EQ(text.rfind("Access denied. Verify the user name and password are correct", 0), 0u) << text;
  }
  EXPECT_FALSE(engine.is_connected());
  // The same engine connects once the password is right.
  engine.connect(f.host, f.user, f.password, static_cast<int>(f.port));
  EXPECT_TRUE(engine.is_connected());
}

TEST(SqlLive, UnknownHostAndClosedPortAreClientErrors) {
  server();  // HOME points at an empty folder from here on: no option file of the machine is read
  sql_engine engine;
  try {
    engine.connect("no-such-host.invalid", "u", "p", 3306);
    FAIL() << "connected to an unknown host";
  } catch (const sql_exception& e) {
    EXPECT_EQ(e.code, 0x400000 + 2005) << e.message;
  }
  // A port nobody listens on (the harness's port, taken and released just now, is not used).
  try {
    engine.connect("127.0.0.1", "u", "p", 1);
    FAIL() << "connected to a closed port";
  } catch (const sql_exception& e) {
    // 2002 from libmariadb, 2003 from other client libraries.
    EXPECT_TRUE(e.code == 0x400000 + 2002 || e.code == 0x400000 + 2003) << e.code << " " << e.message;
  }
}

TEST(SqlLive, ConnectsAndListsDatabases) {
  auto engine = connected_engine();
  EXPECT_GE(engine->get_version(), 0x0A0000u);  // MariaDB 10 and later: majors of 10 and more pack fine
  EXPECT_TRUE(engine->is_mariadb());
  EXPECT_FALSE(engine->is_old_version());
  const std::vector<std::wstring> names = engine->get_contents();
  auto has = [&](const std::wstring& n) { return std::find(names.begin(), names.end(), n) != names.end(); };
  EXPECT_TRUE(has(L"tt_fixture"));
  EXPECT_TRUE(has(L"tt other's db"));
  EXPECT_TRUE(has(L"information_schema"));
  EXPECT_TRUE(engine->is_db_exist(L"tt other's db"));
  EXPECT_FALSE(engine->is_db_exist(L"no such db"));
}

TEST(SqlLive, UnknownDatabaseIsAnError) {
  auto engine = connected_engine();
  try {
    engine->open_db(L"no_such_database", 1);
    FAIL() << "opened an unknown database";
  } catch (const sql_exception& e) {
    EXPECT_EQ(e.code, 0x400000 + 1049) << e.message;
  }
  // The connection is still usable.
  EXPECT_NO_THROW(engine->open_db(L"tt_fixture", 1));
}

TEST(SqlLive, FourByteCharactersArriveIntact) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 0x80);
  auto q = db->get_query(L"q", L"SELECT CONCAT('x', _utf8mb4 0xF09F9880, 'y') AS s", 1);
  q->reset();
  ASSERT_FALSE(q->is_eof());
  EXPECT_EQ(q->get_item()->at(0)->to_wstring(), L"x\U0001F600y");
}

// ---- Catalogue --------------------------------------------------------------------------------------------------

TEST(SqlLive, OpensTheFixtureWithItsTablesAndViews) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 1);
  const udb_name_list& tables = db->tables;
  auto has = [&](const std::wstring& n) { return std::find(tables.begin(), tables.end(), n) != tables.end(); };
  for (const wchar_t* t : {L"types_int", L"types_num", L"types_time", L"types_text", L"types_bin", L"types_geo",
                           L"defaults", L"indexed", L"parent", L"child", L"odd name", L"it's", L"back`tick",
                           L"Größe_表", L"big", L"rows257", L"empty_table"})
    EXPECT_TRUE(has(t)) << tk_to_utf8(t);
  // Views and sequences are no base tables.
  EXPECT_FALSE(has(L"v_parent"));
  EXPECT_FALSE(has(L"seq_ids"));
  ASSERT_EQ(db->views.size(), 2u);
  for (const auto& v : db->views) {
    EXPECT_EQ(v.second.find(L"`tt_fixture`."), std::wstring::npos) << tk_to_utf8(v.second);
    if (v.first != L"v_parent") continue;
    EXPECT_EQ(v.second, L"select `parent`.`pa` AS `pa`,`parent`.`pb` AS `pb`,`parent`.`name` AS `name` from "
                          L"`parent` where `parent`.`pa` > 0");
  }
  // A database whose name needs quoting opens with its (empty) lists.
  auto other = engine->open_db(L"tt other's db", 1);
  EXPECT_TRUE(other->tables.empty());
  EXPECT_TRUE(other->views.empty());
}

TEST(SqlLive, AMissingTableIsAUserErrorAndTheConnectionGoesOn) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 1);
  try {
    db->get_table(L"no_such_table", 1);
    FAIL() << "opened a missing table";
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.level, 0);
    EXPECT_NE(e.message.find("no_such_table"), std::string::npos);
  }
  // The name of a table is matched ignoring case when only the case differs.
  auto t = db->get_table(L"TYPES_INT", 1);
  EXPECT_EQ(t->table_name, L"types_int");
}

struct expected_column {
  const wchar_t* name;
  VARTYPE vartype;
  int32_t size;
  int32_t subkind;
  bool not_null;
};

void expect_columns(udb_database& db, const wchar_t* table, const std::vector<expected_column>& expected) {
  auto t = db.get_table(table, 1);
  ASSERT_EQ(t->schema.size(), expected.size()) << tk_to_utf8(table);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const t_ftd& c = t->schema[i];
    SCOPED_TRACE(tk_to_utf8(std::wstring(table) + L"." + expected[i].name));
    EXPECT_EQ(c.name, expected[i].name);
    EXPECT_EQ(c.vartype, expected[i].vartype);
    EXPECT_EQ(c.size, expected[i].size);
    EXPECT_EQ(c.reserved, expected[i].subkind);
    EXPECT_EQ(c.b_not_null, expected[i].not_null);
  }
}

TEST(SqlLive, ColumnDescriptorsOfEveryType) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 1);
  expect_columns(*db, L"types_int",
                 {{L"id", VT_I4, 11, 0, true},     {L"ti", VT_I1, 4, 0, false},   {L"tiu", VT_UI1, 3, 0, false},
                  {L"si", VT_I2, 6, 0, false},     {L"siu", VT_UI2, 5, 0, false}, {L"mi", VT_I4, 9, 0, false},
                  {L"miu", VT_I4, 8, 0, false},    {L"i", VT_I4, 11, 0, false},   {L"iu", VT_UI4, 10, 0, false},
                  {L"bi", VT_I8, 20, 1, false},    {L"biu", VT_UI8, 20, 2, false}, {L"izf", VT_UI4, 5, 0, false},
                  {L"flag", VT_I1, 1, 0, false},   {L"b1", VT_BOOL, 1, 0, false}, {L"b8", VT_UI1, 8, 0, false},
                  {L"b64", VT_UI8, 64, 2, false},  {L"yr", VT_UI2, 4, 0, false}});
  expect_columns(*db, L"types_num",
                 {{L"id", VT_I4, 11, 0, true},      {L"f", VT_R4, 12, 0, false},      {L"f72", VT_DECIMAL, 7, 0, false},
                  {L"f44", VT_R4, 4, 0, false},     {L"d", VT_R8, 22, 0, false},      {L"d102", VT_R8, 10, 0, false},
                  {L"dec102", VT_DECIMAL, 12, 0, false}, {L"dec100", VT_DECIMAL, 11, 0, false},
                  {L"dec102u", VT_DECIMAL, 11, 0, false}, {L"dec6530", VT_DECIMAL, 67, 0, false}});
  expect_columns(*db, L"types_time",
                 {{L"id", VT_I4, 11, 0, true},   {L"d", VT_DATE, 10, 2, false},  {L"dt", VT_DATE, 19, 1, false},
                  {L"dt6", VT_DATE, 26, 1, false}, {L"ts", VT_DATE, 19, 0, false}, {L"ts3", VT_DATE, 23, 0, false},
                  {L"t", VT_DATE, 10, 3, false},  {L"t6", VT_DATE, 17, 3, false}});
  // Text sizes are characters under the utf8mb4 session: CHAR(100) stays 100 (an indexable text).
  expect_columns(*db, L"types_text",
                 {{L"id", VT_I4, 11, 0, true},        {L"c", VT_BSTR, 10, 0, false},
                  {L"c100", VT_BSTR, 100, 0, false},  {L"c_latin1", VT_BSTR, 10, 0, false},
                  {L"vc", VT_BSTR, 100, 0, false},    {L"vc_bin", VT_BSTR, 20, 0, false},
                  {L"vc_latin1", VT_BSTR, 30, 0, false}, {L"vc_utf8", VT_BSTR, 30, 0, false},
                  {L"vc_ucs2", VT_BSTR, 30, 0, false}, {L"tt", VT_BSTR, 255, 0, false},
                  {L"t", VT_BSTR, 65535, 0, false},   {L"mt", VT_BSTR, 16777215, 0, false},
                  {L"lt", VT_BSTR, 0, 0, false},      {L"t_bin", VT_BSTR, 65535, 0, false},
                  {L"e", VT_BSTR, 3, 0, false},       {L"s", VT_BSTR, 5, 0, false},
                  {L"j", VT_BSTR, 0, 0, false}});
  expect_columns(*db, L"types_bin",
                 {{L"id", VT_I4, 11, 0, true},     {L"bn", k_bytes, 16, 0, false}, {L"vb", k_bytes, 32, 0, false},
                  {L"tb", k_bytes, 255, 0, false}, {L"b", k_bytes, 65535, 0, false},
                  {L"mb", k_bytes, 16777215, 0, false}, {L"lb", k_bytes, 0, 0, false}});
  expect_columns(*db, L"types_geo",
                 {{L"id", VT_I4, 11, 0, true}, {L"name", VT_BSTR, 20, 0, false}, {L"g", VT_BSTR, 0, 2, false},
                  {L"p", VT_BSTR, 0, 2, false}});

  // Text columns whose character set takes 4 bytes a character may hold characters beyond the BMP.
  auto text = db->get_table(L"types_text", 1);
  for (const t_ftd& c : text->schema) {
    const bool narrow = c.name == L"id" || c.name == L"c_latin1" || c.name == L"vc_latin1" || c.name == L"vc_utf8" ||
                        c.name == L"vc_ucs2";
    EXPECT_EQ(c.beyond_bmp, !narrow) << tk_to_utf8(c.name);
  }
  auto latin1 = db->get_table(L"types_bin", 1);
  for (const t_ftd& c : latin1->schema) EXPECT_FALSE(c.beyond_bmp) << tk_to_utf8(c.name);

  auto num = db->get_table(L"types_num", 1);
  const t_ftd& f72 = num->schema.get_field1(L"f72");
  EXPECT_EQ(f72.precision, 7);
  EXPECT_EQ(f72.scale, 2);
  const t_ftd& u = num->schema.get_field1(L"dec102u");
  EXPECT_EQ(u.precision, 10);
  EXPECT_EQ(u.scale, 2);
  const t_ftd& big = num->schema.get_field1(L"dec6530");
  EXPECT_EQ(big.precision, 65);
  EXPECT_EQ(big.scale, 30);

  auto ints = db->get_table(L"types_int", 1);
  EXPECT_TRUE(ints->schema[0].auto_increment);
  EXPECT_EQ(ints->schema.last_autonumber, 4);

  // With BLOB to memo, binary columns are read as text.
  engine->set_blob_to_text(true);
  auto as_text = db->get_table(L"types_bin", 1);
  EXPECT_EQ(as_text->schema.get_field1(L"b").vartype, VT_BSTR);
  engine->set_blob_to_text(false);
}

TEST(SqlLive, DefaultsOfEveryKind) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 1);
  auto t = db->get_table(L"defaults", 1);
  const udb_schema& s = t->schema;
  auto def = [&](const wchar_t* n) { return s.get_field1(n).def_value; };
  EXPECT_EQ(def(L"i_nn").variant.vt, VT_I4);
  EXPECT_EQ(def(L"i_nn").to_long(), 5);
  EXPECT_TRUE(def(L"i_null").is_empty());
  EXPECT_EQ(def(L"i_neg").to_long(), -17);
  EXPECT_EQ(def(L"bi_big").to_string(), "18446744073709551615");
  EXPECT_EQ(def(L"f_def").variant.vt, VT_R4);
  EXPECT_DOUBLE_EQ(std::strtod(def(L"f_def").to_string().c_str(), nullptr), -2.5);
  EXPECT_EQ(def(L"dec_def").variant.vt, VT_DECIMAL);
  EXPECT_EQ(def(L"dec_def").to_string(), "1.5");
  EXPECT_EQ(def(L"vc_abc").to_wstring(), L"abc");
  EXPECT_EQ(def(L"vc_quote").to_wstring(), L"it's");
  EXPECT_EQ(def(L"vc_nulltext").to_wstring(), L"NULL");
  EXPECT_EQ(def(L"vc_empty").variant.vt, VT_BSTR);
  EXPECT_EQ(def(L"vc_empty").to_wstring(), L"");
  EXPECT_EQ(def(L"c_def").to_wstring(), L"ab");
  EXPECT_EQ(def(L"e_def").to_wstring(), L"b");
  // Dates keep no default; a zero-date default makes the column accept NULL; CURRENT_TIMESTAMP in any
  // spelling means "now".
  EXPECT_TRUE(def(L"d_zero").is_empty());
  EXPECT_FALSE(s.get_field1(L"d_zero").b_not_null);
  EXPECT_TRUE(def(L"d_lit").is_empty());
  EXPECT_TRUE(s.get_field1(L"d_lit").b_not_null);
  EXPECT_FALSE(s.get_field1(L"dt_zero").b_not_null);
  EXPECT_EQ(s.get_field1(L"ts_now").reserved, udb_kind_default_now);
  EXPECT_TRUE(s.get_field1(L"ts_now").b_not_null);
  EXPECT_EQ(s.get_field1(L"ts3_now").reserved, udb_kind_default_now);
  EXPECT_EQ(s.get_field1(L"dt_now").reserved, udb_kind_default_now);
  EXPECT_EQ(def(L"bit_on").variant.vt, VT_BOOL);
  EXPECT_TRUE(def(L"bit_on").to_bool());
  EXPECT_EQ(def(L"bit_off").variant.vt, VT_BOOL);
  EXPECT_FALSE(def(L"bit_off").to_bool());
  // Expression defaults are no literals: dropped.
  EXPECT_TRUE(def(L"i_expr").is_empty());
  EXPECT_TRUE(def(L"vc_expr").is_empty());
  EXPECT_TRUE(def(L"d_expr").is_empty());
  EXPECT_EQ(s.get_field1(L"d_expr").reserved, udb_kind_date);
}

TEST(SqlLive, IndexesAndForeignKeys) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 1);
  auto t = db->get_table(L"indexed", 1);
  ASSERT_EQ(t->indexes.size(), 5u);
  EXPECT_EQ(t->indexes[0].name, L"PRIMARY");
  EXPECT_TRUE(t->indexes[0].primary);
  EXPECT_EQ(t->indexes[0].columns, udb_name_list({L"b", L"a"}));  // key-part order, not column order
  EXPECT_EQ(t->indexes[1].name, L"uq_c_e");
  EXPECT_TRUE(t->indexes[1].unique);
  EXPECT_FALSE(t->indexes[1].primary);
  EXPECT_EQ(t->indexes[1].columns, udb_name_list({L"c", L"e"}));
  EXPECT_EQ(t->indexes[2].columns, udb_name_list({L"e"}));
  EXPECT_FALSE(t->indexes[2].unique);
  EXPECT_EQ(t->indexes[3].name, L"ix_prefix");
  EXPECT_EQ(t->indexes[4].name, L"primary_like");
  EXPECT_FALSE(t->indexes[4].primary);
  EXPECT_EQ(t->key_index, 0);

  auto u = db->get_table(L"unique_only", 1);
  ASSERT_EQ(u->indexes.size(), 1u);
  EXPECT_EQ(u->key_index, 0);  // a unique index is the record key when there is no primary key

  ASSERT_TRUE(db->relationships.empty());
  db->get_table(L"child", 1);
  db->get_table(L"odd ref", 1);
  ASSERT_EQ(db->relationships.size(), 3u);
  const udb_relationship& fk = db->relationships[1];
  EXPECT_EQ(fk.name, L"`fk_child_parent`");
  EXPECT_EQ(fk.table, L"child");
  EXPECT_EQ(fk.ref_table, L"parent");
  EXPECT_EQ(fk.fk_flds, udb_name_list({L"ca", L"cb"}));
  EXPECT_EQ(fk.pk_flds, udb_name_list({L"pa", L"pb"}));
  EXPECT_EQ(fk.rules, L"ON DELETE CASCADE ON UPDATE CASCADE");
  EXPECT_EQ(db->relationships[0].ref_table, L"types_int");
  EXPECT_EQ(db->relationships[2].name, L"`fk odd`");
  EXPECT_EQ(db->relationships[2].ref_table, L"odd name");
  EXPECT_EQ(db->relationships[2].pk_flds, udb_name_list({L"col with blank"}));

  // Reading columns only: no indexes, no foreign keys.
  auto bare = db->get_table(L"indexed", 0x20);
  EXPECT_TRUE(bare->indexes.empty());
  EXPECT_EQ(bare->key_index, -1);
}

// ---- Cell values ------------------------------------------------------------------------------------------------

std::string normalized_decimal(std::string s) {
  if (s.find('.') != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

// Compares every cell of a table with the server's own text of the same cell: HEX() for bytes, the number of a
// BIT, CAST(... AS CHAR) for the rest; floating point numerically; dates are checked separately.
void expect_cells_match_server(udb_database& db, const std::wstring& table) {
  SCOPED_TRACE(tk_to_utf8(table));
  auto t = db.get_table(table, 1);
  const std::string quoted_table = sql_quote_name_utf8(tk_to_utf8(table));
  std::string select;
  for (std::size_t i = 0; i < t->schema.size(); ++i) {
    const t_ftd& c = t->schema[i];
    const std::string col = sql_quote_name_utf8(tk_to_utf8(c.name));
    if (i) select += ", ";
    if (c.vartype == k_bytes) select += "HEX(" + col + ")";
    else if (c.name == L"izf")  // ZEROFILL: the server pads the text, the value is the number
      select += "CAST(" + col + " AS UNSIGNED)";
    else if (c.vartype == VT_BOOL || ((c.vartype == VT_UI1 || c.vartype == VT_UI8) && c.size >= 8 && c.name[0] == L'b'))
      select += "CAST(" + col + " AS UNSIGNED)";
    else if (c.reserved == 2 && c.vartype == VT_BSTR && c.size == 0 && table == L"types_geo")
      select += "ST_AsText(" + col + ")";
    else select += "CAST(" + col + " AS CHAR)";
  }
  const auto expected = server().query("SELECT " + select + " FROM " + quoted_table + " ORDER BY " +
                                           sql_quote_name_utf8(tk_to_utf8(t->schema[0].name)), "tt_fixture");
  std::size_t n = 0;
  for (t->reset(); !t->is_eof(); t->next(), ++n) {
    ASSERT_LT(n, expected.size());
    udb_record& r = *t->get_item();
    ASSERT_EQ(r.size(), t->schema.size());
    for (std::size_t i = 0; i < r.size(); ++i) {
      const t_ftd& c = t->schema[i];
      const udb_field& v = *r[i];
      SCOPED_TRACE("row " + std::to_string(n) + " column " + tk_to_utf8(c.name));
      const auto& want = expected[n][i];
      if (!want) {
        EXPECT_TRUE(v.is_empty());
        continue;
      }
      ASSERT_FALSE(v.is_empty());
      if (c.vartype == VT_DATE) continue;
      const std::string got = v.to_string();
      if (c.vartype == k_bytes) {
        EXPECT_EQ(v.variant.vt, k_bytes);
        EXPECT_EQ(got, want->empty() ? "" : "0x" + *want);
      } else if (c.vartype == VT_R4 || c.vartype == VT_R8) {
        const double g = std::strtod(got.c_str(), nullptr), w = std::strtod(want->c_str(), nullptr);
        EXPECT_NEAR(g, w, std::fabs(w) * (c.vartype == VT_R4 ? 1e-6 : 1e-15)) << got << " vs " << *want;
      } else if (c.vartype == VT_DECIMAL) {
        if (v.variant.vt == VT_R8) {  // more digits than a decimal value holds: the nearest double
          const double w = std::strtod(want->c_str(), nullptr);
          EXPECT_NEAR(std::strtod(got.c_str(), nullptr), w, std::fabs(w) * 1e-15);
        } else {
          EXPECT_EQ(normalized_decimal(got), normalized_decimal(*want));
        }
      } else {
        EXPECT_EQ(got, *want);
      }
    }
  }
  EXPECT_EQ(n, expected.size());
}

TEST(SqlLive, EveryCellMatchesTheServer) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 1);
  for (const wchar_t* t : {L"types_int", L"types_num", L"types_text", L"types_bin", L"types_geo", L"defaults",
                           L"indexed", L"child", L"odd name", L"it's", L"back`tick", L"Größe_表", L"rows257"})
    expect_cells_match_server(*db, t);
}

TEST(SqlLive, BinaryCellsKeepEveryByte) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 1);
  auto t = db->get_table(L"types_bin", 1);
  t->reset();
  udb_record& r = *t->get_item();
  const uint8_t* data = nullptr;
  std::string storage;
  ASSERT_EQ(r.get_field(L"bn").get_bytes(&data, &storage), 16u);
  EXPECT_EQ(data[0], 0x00);
  EXPECT_EQ(data[15], 0xFF);
  EXPECT_EQ(r.get_field(L"b").get_bytes(&data, &storage), 5u);
  EXPECT_EQ(data[4], 0x00);
  t->next();
  // An empty blob is an empty value, not NULL.
  EXPECT_EQ(t->get_item()->get_field(L"vb").variant.vt, k_bytes);
  EXPECT_EQ(t->get_item()->get_field(L"vb").get_size(), 0u);
  t->next();
  EXPECT_EQ(t->get_item()->get_field(L"lb").get_size(), 300000u);
}

TEST(SqlLive, DateAndTimeCells) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 1);
  auto q = db->get_query(L"times", L"SELECT d, dt, dt6, ts, ts3, t, t6 FROM types_time WHERE id <> 2 ORDER BY id", 1);
  // As the value layer prints them: whole seconds without a fraction, a date alone as a date, a time of day
  // (and a zero date with a time) after "0000-00-00".
  const std::vector<std::vector<std::string>> expected = {
      {"2024-02-29", "2024-02-29 13:14:15", "2024-02-29 13:14:15.123456", "2024-02-29 13:14:15",
       "2024-02-29 13:14:15.789000", "0000-00-00 13:14:15", "0000-00-00 13:14:15.000001"},
      {"0000-00-00", "0000-00-00 00:00:00", "0000-00-00 00:00:00", "0000-00-00 00:00:00", "0000-00-00 00:00:00",
       "0000-00-00 00:00:00", "0000-00-00 00:00:00"}};
  std::size_t n = 0;
  for (q->reset(); !q->is_eof() && n < 2; q->next(), ++n) {
    udb_record& r = *q->get_item();
    for (std::size_t i = 0; i < expected[n].size(); ++i) {
      ASSERT_EQ(r[i]->variant.vt, VT_DATE) << n << "," << i;
      EXPECT_EQ(r[i]->to_string(), expected[n][i]) << n << "," << i;
    }
  }
  // TIME beyond a day keeps its length: 838:59:59 is 34 days and 22:59:59.
  auto longest = db->get_query(L"t", L"SELECT t6 FROM types_time WHERE id = 2", 1);
  longest->reset();
  ASSERT_FALSE(longest->is_eof());
  DATE serial = 0;
  ASSERT_TRUE(ole_date(longest->get_item()->at(0)->to_string()).is_valid());
  ASSERT_EQ(longest->get_item()->at(0)->variant.vt, VT_DATE);
  serial = longest->get_item()->at(0)->variant.date;
  EXPECT_NEAR(serial, (838 * 3600.0 + 59 * 60 + 59) / 86400.0, 1e-9);
  // A negative TIME has no place in a date value: an error of its own row when the row is taken, not a silent
  // NULL and not the loss of the rows around it.
  auto negative = db->get_query(L"t", L"SELECT id, t FROM types_time ORDER BY id", 1);
  negative->reset();
  std::vector<int> ids;
  for (; !negative->is_eof(); negative->next()) {
    try {
      ids.push_back(std::atoi(negative->get_item()->at(0)->to_string().c_str()));
    } catch (const sql_value_exception& e) {
      EXPECT_EQ(e.level, 0);
      EXPECT_EQ(e.message, "The value '-838:59:59' of column 't' cannot be stored as a date or time");
      ids.push_back(-1);
    }
  }
  EXPECT_EQ(ids, (std::vector<int>{1, -1, 3, 4}));
}

// ---- Streaming --------------------------------------------------------------------------------------------------

TEST(SqlLive, LargeTableStreamsCompletelyInBoundedMemory) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 1);
  auto t = db->get_table(L"big", 1);
  EXPECT_EQ(static_cast<sql_recordset*>(t.get())->get_rec_count(), 100000);
  std::size_t n = 0;
  long long id_sum = 0;
  std::size_t at_10k = 0, peak = 0;
  for (t->reset(); !t->is_eof(); t->next()) {
    udb_record& r = *t->get_item();
    ++n;
    id_sum += r[0]->to_long();
    ASSERT_EQ(r[1]->to_string(), std::to_string(static_cast<long long>(r[0]->to_long()) * 1000003));
    if (n == 10000) at_10k = allocated_bytes();
    if (n > 10000 && n % 997 == 0) peak = std::max(peak, allocated_bytes());
  }
  EXPECT_EQ(n, 100000u);
  EXPECT_EQ(id_sum, 100000LL * 100001 / 2);
  // Ten times the rows must not cost more memory: the growth past the first 10,000 rows stays small.
  EXPECT_LT(peak, at_10k + 4u * 1024 * 1024) << "at 10k rows " << at_10k << ", peak " << peak;
  // Reading again starts from the first row.
  t->reset();
  ASSERT_FALSE(t->is_eof());
  EXPECT_EQ(t->get_item()->at(0)->to_long(), 1);
}

TEST(SqlLive, BlockBoundariesAndRowsAddedAfterTheCount) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 1);
  auto t = db->get_table(L"rows257", 1);
  auto* rs = static_cast<sql_recordset*>(t.get());
  EXPECT_EQ(rs->get_rec_count(), 257);
  server().exec("INSERT INTO rows257 VALUES (258, 'late')", "tt_fixture");
  std::vector<int32_t> ids;
  for (t->reset(); !t->is_eof(); t->next()) ids.push_back(t->get_item()->at(0)->to_long());
  ASSERT_EQ(ids.size(), 258u);  // rows are read to the stream's end, not up to the earlier count
  for (std::size_t i = 0; i < ids.size(); ++i) ASSERT_EQ(ids[i], static_cast<int32_t>(i + 1));
  t->next();  // past the end: stays there
  EXPECT_TRUE(t->is_eof());
  auto empty = db->get_table(L"empty_table", 1);
  empty->reset();
  EXPECT_TRUE(empty->is_eof());
  EXPECT_EQ(empty->get_item(), nullptr);
  server().exec("DELETE FROM rows257 WHERE id = 258", "tt_fixture");  // the later tests count 257 rows
}

// Blocks after the first are converted on the reader's thread too. Each row still arrives with its own values when
// asked for any number of times, also after stepping back within its block; a value that cannot be held costs its
// own row only (asked again, it fails again), whichever block it lies in.
TEST(SqlLive, RowsConvertedAheadAreEachRowsOwnValuesAndErrors) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 1);
  auto q = db->get_query(L"q",
                         L"SELECT seq AS id, CONCAT('row ', seq) AS name, "
                         L"IF(seq IN (3, 300, 513), TIME('-01:00:00'), SEC_TO_TIME(seq)) AS t, "
                         L"IF(seq % 7 = 0, NULL, seq * 0.5) AS half FROM seq_1_to_700 ORDER BY seq",
                         1);
  auto check_row = [](udb_record& r, int n) {
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0]->to_long(), n);
    EXPECT_EQ(r[1]->to_string(), "row " + std::to_string(n));
    ASSERT_EQ(r[2]->variant.vt, VT_DATE) << n;
    EXPECT_NEAR(r[2]->variant.date, n / 86400.0, 1e-9) << n;
    if (n % 7 == 0) {
      EXPECT_EQ(r[3]->variant.vt, VT_EMPTY) << n;
    } else {
      EXPECT_DOUBLE_EQ(std::atof(r[3]->to_string().c_str()), n * 0.5) << n;
    }
  };
  std::vector<int> failed;
  int n = 0;
  for (q->reset(); !q->is_eof(); q->next()) {
    ++n;
    try {
      check_row(*q->get_item(), n);
      check_row(*q->get_item(), n);  // the same row asked for again
    } catch (const sql_value_exception& e) {
      EXPECT_EQ(e.level, 0);
      EXPECT_THROW(q->get_item(), sql_value_exception);
      failed.push_back(n);
    }
    if (n == 400 || n == 600) {
      // One row back within the block, then forward again.
      q->prev();
      check_row(*q->get_item(), n - 1);
      q->next();
      check_row(*q->get_item(), n);
    }
  }
  EXPECT_EQ(n, 700);
  EXPECT_EQ(failed, (std::vector<int>{3, 300, 513}));
}

TEST(SqlLive, AStreamLeftUnfinishedDoesNotBlockTheConnection) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 1);
  {
    auto t = db->get_table(L"big", 1);
    t->reset();
    for (int i = 0; i < 300; ++i) t->next();
    EXPECT_EQ(t->get_item()->at(0)->to_long(), 301);
  }
  auto next = db->get_table(L"types_int", 1);
  next->reset();
  EXPECT_FALSE(next->is_eof());
  EXPECT_TRUE(db->query(L"SELECT 1"));
}

// Blocks after the first are read on their own thread. A connection the server ends while a later block is being
// read (KILL, whatever the reader was doing then) ends the stream with the client's error when the run reaches
// that block: every row before it arrives once and in order, none is taken for the end of the rows. The stream's
// rows are far more than any socket buffer holds, so the kill always falls in the middle of the stream.
TEST(SqlLive, AConnectionKilledWhileBlocksAreReadAheadEndsTheStreamWithTheError) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 1);
  std::string id;
  {
    auto own = static_cast<sql_database*>(db.get())->run("SELECT CONNECTION_ID()");
    ASSERT_FALSE(own->is_eof());
    id = own->get_item()->at(0)->to_string();
  }
  auto q = db->get_query(L"long", L"SELECT seq, REPEAT('x', 200) AS pad FROM seq_1_to_3000000", 1);
  int64_t n = 0;
  q->reset();
  for (; n < 1000 && !q->is_eof(); q->next()) ASSERT_EQ(q->get_item()->at(0)->to_string(), std::to_string(++n));
  server().exec("KILL CONNECTION " + id);
  try {
    for (; !q->is_eof(); q->next()) ASSERT_EQ(q->get_item()->at(0)->to_string(), std::to_string(++n));
    FAIL() << "the stream ended after " << n << " rows without an error";
  } catch (const sql_exception& e) {
    EXPECT_EQ(e.level, 0);
    EXPECT_TRUE(e.code == 0x400000 + 2013 || e.code == 0x400000 + 2006 || e.code == 0x400000 + 1927) << e.code;
  }
  EXPECT_GE(n, 1000);
  EXPECT_LT(n, 3000000);
  EXPECT_TRUE(q->is_eof());  // the broken stream stays ended; the reader thread is gone
}

// A stream given up in the middle (a stopped run) while the next block is being read: the reader finishes that
// block and gives the connection back; the rest of the result is dropped and the next statement runs at once.
TEST(SqlLive, AStreamGivenUpWhileABlockIsReadAheadLeavesTheConnectionUsable) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 1);
  for (int stop_at : {1, 255, 256, 257, 5000}) {
    SCOPED_TRACE(stop_at);
    {
      auto t = db->get_table(L"big", 1);
      t->reset();
      for (int i = 1; i < stop_at; ++i) t->next();
      ASSERT_FALSE(t->is_eof());
      EXPECT_EQ(t->get_item()->at(0)->to_long(), stop_at);
    }
    auto count = static_cast<sql_database*>(db.get())->run("SELECT COUNT(*) FROM big");
    ASSERT_FALSE(count->is_eof());
    EXPECT_EQ(count->get_item()->at(0)->to_string(), "100000");
  }
}

TEST(SqlLive, UserQueriesStreamTheirRows) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 1);
  auto q = db->get_query(L"joined",
                         L"SELECT c.id, p.name, c.ca * 10 AS tenfold, g.g FROM child c JOIN parent p ON p.pa = c.ca "
                         L"AND p.pb = c.cb LEFT JOIN types_geo g ON g.id = c.id ORDER BY c.id;  ",
                         1);
  EXPECT_TRUE(q->is_query());
  ASSERT_EQ(q->schema.size(), 4u);
  EXPECT_EQ(q->schema[1].vartype, VT_BSTR);
  EXPECT_EQ(q->schema[2].vartype, VT_I8);
  EXPECT_EQ(static_cast<sql_recordset*>(q.get())->get_rec_count(), 2);
  std::vector<std::wstring> names;
  for (q->reset(); !q->is_eof(); q->next()) names.push_back(q->get_item()->at(1)->to_wstring());
  EXPECT_EQ(names, std::vector<std::wstring>({L"one", L"two"}));

  // The user's order holds.
  {
    auto ordered = db->get_query(L"desc", L"SELECT id FROM rows257 ORDER BY id DESC", 1);
    ordered->reset();
    ASSERT_FALSE(ordered->is_eof());
    EXPECT_EQ(ordered->get_item()->at(0)->to_long(), 257);
  }  // a stream not read to its end must be closed before the next statement

  // Geometry in a query arrives as well-known text, as in a table.
  {
    auto geo = db->get_query(L"geo", L"SELECT id, g AS shape FROM types_geo ORDER BY id", 1);
    EXPECT_EQ(geo->schema[1].vartype, VT_BSTR);
    geo->reset();
    ASSERT_FALSE(geo->is_eof());
    EXPECT_EQ(geo->get_item()->at(1)->to_wstring(), L"POINT(1 2)");
  }

  // A _bin text and MariaDB's JSON stay text in a query's rows too.
  auto texts = db->get_query(L"texts", L"SELECT vc_bin, j FROM types_text WHERE id = 1", 1);
  texts->reset();
  ASSERT_FALSE(texts->is_eof());
  EXPECT_EQ(texts->get_item()->at(0)->variant.vt, VT_BSTR);
  EXPECT_EQ(texts->get_item()->at(0)->to_wstring(), L"Bin Ärger");
  EXPECT_EQ(texts->get_item()->at(1)->variant.vt, VT_BSTR);

  // A trailing comment does not swallow the wrapping.
  auto commented = db->get_query(L"c", L"SELECT 1 AS one -- the answer", 1);
  commented->reset();
  ASSERT_FALSE(commented->is_eof());

  // Statements that are no SELECT, and results that cannot be a table, are errors.
  EXPECT_THROW(db->get_query(L"bad", L"DELETE FROM big", 1), sql_exception);
  EXPECT_THROW(db->get_query(L"dup", L"SELECT 1 AS a, 2 AS a", 1), sql_exception);
  auto count = server().query("SELECT COUNT(*) FROM big", "tt_fixture");
  EXPECT_EQ(*count[0][0], "100000");
}

TEST(SqlLive, StatementRecordSets) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 1);
  auto rs = db->do_query2(L"SELECT id FROM rows257 ORDER BY id");
  ASSERT_NE(rs, nullptr);
  int n = 0;
  for (rs->reset(); !rs->is_eof(); rs->next()) ++n;
  EXPECT_EQ(n, 257);
  EXPECT_EQ(db->do_query2(L"SET @x = 1"), nullptr);
  EXPECT_THROW(db->do_query2(L"SELECT nope FROM rows257"), sql_exception);
  EXPECT_TRUE(db->query(L"SET @y = 2"));
  EXPECT_FALSE(db->query(L"SELEC 1"));
}

}  // namespace

namespace {

TEST(SqlLive, KeyFiltersSelectTheirRow) {
  auto engine = connected_engine();
  auto db = engine->open_db(L"tt_fixture", 1);
  sql_sync sync(*static_cast<sql_database*>(db.get()));
  const std::wstring filter =
      sync.get_filter_subquery(L"types_text", L"<id>3</id><c>it's</c><c_latin1>back\\slash</c_latin1>");
  const auto rows = server().query("SELECT id FROM types_text WHERE " + tk_to_utf8(filter), "tt_fixture");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(*rows[0][0], "3");
  const std::wstring bytes = sync.get_filter_subquery(L"types_bin", L"<vb>0x00FF00</vb>");
  const auto bin = server().query("SELECT id FROM types_bin WHERE " + tk_to_utf8(bytes), "tt_fixture");
  ASSERT_EQ(bin.size(), 1u);
  EXPECT_EQ(*bin[0][0], "1");
}

}  // namespace
