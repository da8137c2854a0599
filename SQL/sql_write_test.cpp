// The MySQL engine's writing side without a server: names, view texts, column types, literals and defaults,
// and (through the scripted client) the statements sent to servers older than 4.1.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "OLE/ole_date.h"
#include "SQL/sql_db.h"
#include "SQL/sql_engi.h"
#include "SQL/sql_fake_client.h"
#include "SQL/sql_lit.h"
#include "SQL/sql_sch.h"
#include "SQL/sql_tab.h"
#include "SQL/sql_vali.h"
#include "SQL/sql_view.h"
#include "TK/tk_singl.h"
#include "TK/tk_utils.h"

namespace {

const VARTYPE k_bytes = static_cast<VARTYPE>(VT_ARRAY | VT_UI1);

t_ftd column(const wchar_t* name, VARTYPE vt, int32_t size, int32_t reserved = 0, bool not_null = false,
             bool auto_increment = false, const ole_variant& def = ole_variant()) {
  return t_ftd(size, name, vt, not_null, auto_increment, def, reserved, std::wstring());
}

// An engine over the scripted client, connected to a server of the given version.
struct fake_engine {
  explicit fake_engine(const std::string& version) {
    auto c = std::make_unique<sql_fake_client>();
    client = c.get();
    client->server_version = version;
    engine = std::make_unique<sql_engine>(std::move(c));
    engine->connect("h", "u", "", 0);
  }
  sql_fake_client* client;
  std::unique_ptr<sql_engine> engine;
};

// ---- Names --------------------------------------------------------------------------------------------------------

TEST(SqlValidators, NewServersTakeAnyNameWithinTheirRules) {
  udb_schema schema;
  schema.push_back(column(L"a", VT_I4, 4));
  sql_new_fn_validator fields(schema);
  sql_new_tn_validator tables({L"t1"}, {L"v1"});
  EXPECT_TRUE(fields.is_acceptable(std::wstring(64, L'x')));
  EXPECT_FALSE(fields.is_acceptable(std::wstring(65, L'x')));
  EXPECT_FALSE(fields.is_acceptable(L" lead"));
  EXPECT_FALSE(fields.is_acceptable(L"trail "));
  EXPECT_FALSE(fields.is_acceptable(L""));
  // Only table names refuse / : | < > ?; every kind refuses quotes, backslash, ; + ^ *.
  EXPECT_TRUE(fields.is_acceptable(L"a/b:c"));
  EXPECT_FALSE(tables.is_acceptable(L"a/b"));
  EXPECT_FALSE(tables.is_acceptable(L"a:b"));
  EXPECT_FALSE(fields.is_acceptable(L"it's"));
  EXPECT_FALSE(fields.is_acceptable(L"a`b"));
  EXPECT_TRUE(fields.is_acceptable(L"select"));  // no reserved words from 4.1 on: names are back-quoted
  EXPECT_EQ(fields.get_safe_name(L"  Padded Name  "), L"padded name");
  EXPECT_EQ(fields.get_safe_name(L"it's"), L"it_s");
  EXPECT_TRUE(tables.is_duplicated(L"V1"));
}

TEST(SqlValidators, OldServersTakeWordsOfLettersDigitsUnderscoreAndDollar) {
  sql_old_in_validator indexes(udb_indexes{});
  EXPECT_FALSE(indexes.is_acceptable(L"select"));
  EXPECT_FALSE(indexes.is_acceptable(L"SELECT"));
  EXPECT_FALSE(indexes.is_acceptable(L"zerofill"));
  EXPECT_FALSE(indexes.is_acceptable(L"my-table"));
  EXPECT_FALSE(indexes.is_acceptable(L"2024"));
  EXPECT_TRUE(indexes.is_acceptable(L"$x_1"));
  EXPECT_TRUE(indexes.is_acceptable(L"Größe"));
  EXPECT_EQ(indexes.get_safe_name(L"my-table"), L"my_table");
  EXPECT_EQ(indexes.get_safe_name(L"2024"), L"_024");
  EXPECT_EQ(indexes.get_safe_name(L"select"), L"select00000");
  EXPECT_EQ(indexes.restricted_names().size(), 167u);
}

TEST(SqlValidators, TheEngineChoosesTheFamilyByServerVersion) {
  udb_schema schema;
  fake_engine old_server("4.0.255-log");
  EXPECT_NE(dynamic_cast<sql_old_validator*>(old_server.engine->create_fn_validator(schema).get()), nullptr);
  fake_engine new_server("4.1.0");
  EXPECT_NE(dynamic_cast<sql_new_validator*>(new_server.engine->create_fn_validator(schema).get()), nullptr);
  EXPECT_NE(dynamic_cast<sql_new_validator*>(new_server.engine->create_tn_validator({}, {}).get()), nullptr);
}

// ---- View texts ---------------------------------------------------------------------------------------------------

TEST(SqlViewText, BlanksCollapseOutsideLiteralsAndNames) {
  EXPECT_EQ(collapse_blanks(L"a  ,\r\n\tb"), L"a , b");
  EXPECT_EQ(collapse_blanks(L"  x  "), L" x ");
  EXPECT_EQ(collapse_blanks(L"'a  b'  \"c  d\"  `e  f`"), L"'a  b' \"c  d\" `e  f`");
  // A quote inside a back-quoted name does not start a literal.
  EXPECT_EQ(collapse_blanks(L"`it's`  x  'y'"), L"`it's` x 'y'");
}

TEST(SqlViewText, IsnullIsReplacedOnlyForTwoArguments) {
  EXPECT_TRUE(sql_view_converter::check_isnull_for_replace(L"isnull(a, b)", 0));
  EXPECT_FALSE(sql_view_converter::check_isnull_for_replace(L"isnull(a)", 0));
  EXPECT_FALSE(sql_view_converter::check_isnull_for_replace(L"isnull(f(a, b), c)", 0));
  EXPECT_FALSE(sql_view_converter::check_isnull_for_replace(L"isnull(a, b)", -1));
  EXPECT_FALSE(sql_view_converter::check_isnull_for_replace(L"isnull(a, b)", 12));
}

TEST(SqlViewText, ViewsAreRewrittenForMySqlOutsideLiterals) {
  udb_names_map names;
  names.add_tn_mapping(L"Old Table", L"old_table");
  names.add_fn_map(L"Old Table", {{L"it's", L"it_s"}});
  EXPECT_EQ(sql_refine_view_in(L"SELECT  [a],\n IsNull(b, 0), isnull(c), len(d), my_len(e), '[x]  getdate()'\n"
                               L"FROM [t]",
                               names),
            L"SELECT `a`, ifnull(b, 0), isnull(c), length(d), my_len(e), '[x]  getdate()' FROM `t`;");
  EXPECT_EQ(sql_refine_view_in(L"select datediff(day, a, b), dateadd(x, 1), replicate('a', 3) from t", names),
            L"select TIMESTAMPDIFF(DAY, a, b), date_add(x, 1), repeat('a', 3) from t;");
  // Access interval codes; a unit MySQL lacks and MySQL's own two-date form stay as they are.
  EXPECT_EQ(sql_refine_view_in(L"select DateDiff('ww', f(a, ','), b), datediff(\"yyyy\",a,b), datediff('w', a, b), "
                               L"datediff(a, b) from t",
                               names),
            L"select TIMESTAMPDIFF(WEEK, f(a, ','), b), TIMESTAMPDIFF(YEAR, a,b), datediff('w', a, b), "
            L"datediff(a, b) from t;");
  // Renamed tables and fields: bare names get back-quotes, back-quoted names keep theirs.
  EXPECT_EQ(sql_refine_view_in(L"select `it's`, getdate() from `Old Table`", names),
            L"select `it_s`, curdate() from `old_table`;");
}

// ---- Column types -------------------------------------------------------------------------------------------------

TEST(SqlColumnTypes, TypesFollowKindSizeAndSubKind) {
  auto type = [](const t_ftd& c) { return get_sql_native_type2(c, false); };
  // A text is a VARCHAR where the table's character set lets one hold it (utf8mb4 unless told), else the
  // smallest text type that holds its characters at the set's width.
  auto text = [](int32_t size, unsigned width) {
    return get_sql_native_type2(column(L"t", VT_BSTR, size), false, false, width);
  };
  EXPECT_EQ(type(column(L"t", VT_BSTR, 16383)), L"VARCHAR(16383)");
  EXPECT_EQ(type(column(L"t", VT_BSTR, 16384)), L"MEDIUMTEXT");
  EXPECT_EQ(type(column(L"t", VT_BSTR, 4194303)), L"MEDIUMTEXT");
  EXPECT_EQ(type(column(L"t", VT_BSTR, 4194304)), L"LONGTEXT");
  EXPECT_EQ(text(21844, 3), L"VARCHAR(21844)");
  EXPECT_EQ(text(21845, 3), L"TEXT");
  EXPECT_EQ(text(5592405, 3), L"MEDIUMTEXT");
  EXPECT_EQ(text(5592406, 3), L"LONGTEXT");
  EXPECT_EQ(text(21845, 1), L"VARCHAR(21845)");
  EXPECT_EQ(text(21846, 1), L"TEXT");
  EXPECT_EQ(text(65536, 1), L"MEDIUMTEXT");
  EXPECT_EQ(get_sql_native_type2(column(L"t", VT_BSTR, 21845), false, true, 3), L"TEXT BINARY");
  EXPECT_EQ(type(column(L"t", VT_BSTR, 0)), L"LONGTEXT");
  EXPECT_EQ(type(column(L"t", VT_BSTR, -1)), L"LONGTEXT");  // never VARCHAR(-1)
  EXPECT_EQ(type(column(L"t", VT_BSTR, 10, udb_kind_fixed_text)), L"CHAR(10)");
  EXPECT_EQ(type(column(L"g", VT_BSTR, 0, udb_kind_geometry)), L"geometry");
  EXPECT_EQ(get_sql_native_type2(column(L"t", VT_BSTR, 100), false, true), L"VARCHAR(100) BINARY");
  EXPECT_EQ(type(column(L"b", k_bytes, 255)), L"VARBINARY(255)");
  EXPECT_EQ(type(column(L"b", k_bytes, 256)), L"BLOB");
  EXPECT_EQ(type(column(L"b", k_bytes, 65536)), L"MEDIUMBLOB");
  EXPECT_EQ(type(column(L"b", k_bytes, 0)), L"LONGBLOB");
  EXPECT_EQ(get_sql_native_type2(column(L"b", k_bytes, 255), true), L"VARBINARY");
  EXPECT_EQ(type(column(L"d", VT_DATE, 19, 0, false, false, ole_variant(L"now()"))), L"TIMESTAMP");
  EXPECT_EQ(type(column(L"d", VT_DATE, 0)), L"CHAR(19)");
  EXPECT_EQ(type(column(L"d", VT_DATE, 23)), L"CHAR(23)");  // room for the fraction a TIMESTAMP(3) holds
  EXPECT_EQ(type(column(L"d", VT_DATE, 26, udb_kind_datetime)), L"DATETIME(6)");
  EXPECT_EQ(type(column(L"d", VT_DATE, 10, udb_kind_time)), L"TIME");
  EXPECT_EQ(type(column(L"d", VT_DATE, 10, udb_kind_default_date)), L"DATE");
  t_ftd dec = column(L"x", VT_DECIMAL, 0);
  EXPECT_EQ(type(dec), L"DOUBLE");
  dec.precision = 10;
  dec.scale = 2;
  EXPECT_EQ(type(dec), L"DECIMAL(10,2)");
  EXPECT_EQ(type(column(L"x", VT_BOOL, 1)), L"TINYINT(1)");
  EXPECT_EQ(type(column(L"x", VT_UI8, 20)), L"BIGINT UNSIGNED");
  EXPECT_THROW(type(column(L"x", VT_ERROR, 0)), tk_mail_assertion);
}

// ---- Literals and defaults ----------------------------------------------------------------------------------------

TEST(SqlLiterals, TextsAreEscapedForTheSessionAndNumbersChecked) {
  sql_fake_client client;
  EXPECT_EQ(to_mysql_str(client, L"O'Brien", VT_BSTR), "'O\\'Brien'");
  EXPECT_EQ(to_mysql_str(client, std::wstring(L"a\0b\\", 4), VT_BSTR), "'a\\0b\\\\'");
  EXPECT_EQ(to_mysql_str(client, L"12", VT_I4), "12");
  EXPECT_EQ(to_mysql_str(client, L"", VT_I4), "''");
  EXPECT_EQ(to_mysql_str(client, L"x", VT_EMPTY), "NULL");
  EXPECT_THROW(to_mysql_str(client, L"1 OR 1=1", VT_I4), tk_exception);
  EXPECT_EQ(to_mysql_str(client, ole_variant(std::vector<uint8_t>{0x00, 0xFF})), "0x00FF");
  EXPECT_EQ(to_mysql_str(client, ole_variant(std::vector<uint8_t>{})), "X''");
  EXPECT_EQ(to_mysql_str(client, L"0x1G", VT_BLOB), "'0x1G'");
  EXPECT_EQ(to_mysql_str(client, L"0x1F", VT_BLOB), "0x1F");
  client.no_backslash_escapes = true;
  EXPECT_EQ(to_mysql_str(client, L"O'Brien\\", VT_BSTR), "'O''Brien\\'");
}

TEST(SqlLiterals, ValuesAreWrittenForTheirColumn) {
  sql_fake_client client;
  // A GUID is taken from its text only for a GUID column.
  const ole_variant guid(L"{6B29FC40-CA47-1067-B31D-00DD010662DA}");
  EXPECT_EQ(sql_value_literal(client, guid, column(L"g", VT_BSTR, 38, udb_kind_guid_text)),
            "'6B29FC40-CA47-1067-B31D-00DD010662DA'");
  EXPECT_EQ(sql_value_literal(client, guid, column(L"g", VT_BSTR, 60)),
            "'{6B29FC40-CA47-1067-B31D-00DD010662DA}'");
  // A TIME beyond 24 hours, dates in their column's form, a date into a text column without trailing zeros.
  const ole_variant long_time(ole_date("838:59:59"));
  EXPECT_EQ(sql_value_literal(client, long_time, column(L"t", VT_DATE, 10, udb_kind_time)), "'838:59:59'");
  const ole_variant moment(ole_date("2024-02-29 13:14:15.789"));
  EXPECT_EQ(sql_value_literal(client, moment, column(L"d", VT_DATE, 10, udb_kind_date)), "'2024-02-29'");
  EXPECT_EQ(sql_value_literal(client, moment, column(L"d", VT_DATE, 26, udb_kind_datetime)),
            "'2024-02-29 13:14:15.789000'");
  EXPECT_EQ(sql_value_literal(client, moment, column(L"d", VT_DATE, 19)), "'2024-02-29 13:14:15'");
  EXPECT_EQ(sql_value_literal(client, moment, column(L"s", VT_BSTR, 30)), "'2024-02-29 13:14:15.789'");
  EXPECT_EQ(sql_value_literal(client, ole_variant(L"POINT(1 2)"), column(L"g", VT_BSTR, 0, udb_kind_geometry)),
            "ST_GeomFromText('POINT(1 2)')");
  // Numbers: values of number kinds bare, texts only when they are numbers, an empty text is no value.
  EXPECT_EQ(sql_value_literal(client, ole_variant(L" 42 "), column(L"n", VT_I4, 11)), "42");
  EXPECT_EQ(sql_value_literal(client, ole_variant(L""), column(L"n", VT_I4, 11)), "NULL");
  EXPECT_THROW(sql_value_literal(client, ole_variant(L"4; DROP"), column(L"n", VT_I4, 11)), tk_exception);
  EXPECT_EQ(sql_value_literal(client, ole_variant(true), column(L"n", VT_BOOL, 1)), "1");
  EXPECT_EQ(sql_value_literal(client, ole_variant(L"yes"), column(L"n", VT_BOOL, 1)), "1");
  EXPECT_EQ(sql_value_literal(client, ole_variant(), column(L"n", VT_I4, 11)), "NULL");
  // Bytes for a binary column, also from a text; an empty byte string is one.
  EXPECT_EQ(sql_value_literal(client, ole_variant(L"é"), column(L"b", k_bytes, 10)), "0xC3A9");
  EXPECT_EQ(sql_value_literal(client, ole_variant(std::vector<uint8_t>{}), column(L"b", k_bytes, 10)), "X''");
}

TEST(SqlLiterals, DefaultsAreLiteralsOrNone) {
  sql_fake_client client;
  auto def = [&](VARTYPE vt, const ole_variant& value, int32_t reserved = 0) {
    const t_ftd c = column(L"c", vt, 10, reserved, false, false, value);
    return make_mysql_def_val(client, &c);
  };
  EXPECT_EQ(def(VT_I4, ole_variant(L"7")), L"7");
  EXPECT_EQ(def(VT_I4, ole_variant(L"007")), L"");
  EXPECT_EQ(def(VT_R8, ole_variant(L"-2.5")), L"-2.5");
  EXPECT_EQ(def(VT_R8, ole_variant(L"1; DROP TABLE t")), L"");
  EXPECT_EQ(def(VT_UI8, ole_variant(L"18446744073709551615")), L"18446744073709551615");
  EXPECT_EQ(def(VT_BSTR, ole_variant(L"it's")), L"'it\\'s'");
  EXPECT_EQ(def(VT_BSTR, ole_variant(L"newid()")), L"'newid()'");
  EXPECT_EQ(def(VT_I4, ole_variant(L"newid()")), L"");
  EXPECT_EQ(def(VT_DATE, ole_variant(), udb_kind_default_now), L"CURRENT_TIMESTAMP");
  EXPECT_EQ(def(VT_DATE, ole_variant(L"getdate()")), L"CURRENT_TIMESTAMP");
  // A date default stands in single quotes (double quotes name things under ANSI_QUOTES).
  EXPECT_EQ(def(VT_DATE, ole_variant(ole_date("2001-01-01")), udb_kind_date), L"'2001-01-01'");
  EXPECT_THROW(make_mysql_def_val(client, nullptr), tk_mail_assertion);
}

// ---- CREATE TABLE clauses -----------------------------------------------------------------------------------------

TEST(SqlSchema, LargestShortTextsBecomeLongTextToKeepTheRowLimit) {
  sql_schema schema;
  for (const wchar_t* n : {L"a", L"b", L"c", L"d"}) schema.push_back(column(n, VT_BSTR, 10000));
  // 40,000 bytes each: from the second on, the newest of the equal columns becomes long text.
  EXPECT_EQ(schema[0].size, 10000);
  EXPECT_EQ(schema[1].size, 0);
  EXPECT_EQ(schema[2].size, 0);
  EXPECT_EQ(schema[3].size, 0);
  EXPECT_LE(schema.total_size(), 65535u);
  // Columns no VARCHAR holds (a TEXT type) count by characters and are never converted.
  sql_schema wide;
  wide.push_back(column(L"x", VT_BSTR, 21845));
  wide.push_back(column(L"y", VT_BSTR, 21845));
  wide.push_back(column(L"z", VT_BSTR, 21845));
  wide.push_back(column(L"w", VT_BSTR, 21845));
  EXPECT_EQ(wide[3].size, 21845);
  EXPECT_EQ(wide.total_size(), 4u * 21845);
  // In utf8 a column of 21,844 characters is a VARCHAR that fills the row: one more byte column converts it.
  sql_schema utf8(3);
  utf8.push_back(column(L"a", VT_BSTR, 21844));
  EXPECT_EQ(utf8[0].size, 21844);
  utf8.push_back(column(L"b", VT_UI1, 1));
  EXPECT_EQ(utf8[0].size, 0);
}

TEST(SqlSchema, ColumnAndIndexClauses) {
  fake_engine f("10.11.19-MariaDB");
  udb_schema source;
  source.push_back(column(L"id", VT_I4, 11, 0, true, true));
  source.push_back(column(L"it's", VT_BSTR, 1000, 0, false, false, ole_variant(L"a'b")));
  source.push_back(column(L"v1", VT_BSTR, 600));
  source.push_back(column(L"v2", VT_BSTR, 600));
  source.push_back(column(L"v3", VT_BSTR, 600));
  source.push_back(column(L"k", VT_I4, 11));
  source[5].description = L"the key's \\ note";
  udb_indexes indexes;
  indexes.push_back(udb_index(L"PRIMARY", true, true, {L"k"}));
  indexes.push_back(udb_index(L"lob", false, false, {L"it's"}));
  indexes.push_back(udb_index(L"wide", false, false, {L"v1", L"v2", L"v3"}));
  indexes.push_back(udb_index(L"", true, false, {L"v1"}));
  std::wstring auto_column;
  sql_schema_initializer columns(*f.engine, L"t", source, indexes, auto_column);
  std::vector<std::wstring> chunks;
  columns.get_init_chunks(chunks);
  ASSERT_EQ(chunks.size(), 6u);
  EXPECT_EQ(chunks[0], L"`id` INT NOT NULL AUTO_INCREMENT");
  EXPECT_EQ(chunks[1], L"`it_s` VARCHAR(1000) DEFAULT 'a\\'b'");
  EXPECT_EQ(chunks[5], L"`k` INT NOT NULL COMMENT 'the key\\'s \\\\ note'");
  EXPECT_EQ(auto_column, L"id");
  EXPECT_EQ(columns.names().at(L"it's"), L"it_s");

  std::vector<std::wstring> keys;
  sql_indexes_initializer(*f.engine, indexes, columns.names(), columns.schema(), auto_column).get_init_chunks(keys);
  // The large-object and the too-wide index are left out; a nameless index is named; the auto-increment column,
  // in no index, gets its own.
  EXPECT_EQ(keys, std::vector<std::wstring>({L"PRIMARY KEY (`k`)", L"UNIQUE `00000` (`v1`)", L"INDEX `id` (`id`)"}));

  udb_schema two;
  two.push_back(column(L"a", VT_I4, 11, 0, true, true));
  two.push_back(column(L"b", VT_I8, 20, 0, true, true));
  std::wstring unused;
  sql_schema_initializer twice(*f.engine, L"t", two, udb_indexes(), unused);
  std::vector<std::wstring> ignored;
  EXPECT_THROW(twice.get_init_chunks(ignored), tk_mail_assertion);
}

// ---- Servers before 4.1 -------------------------------------------------------------------------------------------

// Scripts the catalogue answers of a table "t" (id INT, my_col VARCHAR) for the scripted client.
void script_table(sql_fake_client& c) {
  sql_fake_result_script tables;
  tables.columns = {sql_fake_column("Tables_in_d", sql_type_var_string, 64)};
  c.table_list = tables;
  sql_fake_result_script meta;
  meta.columns = {sql_fake_column("id", sql_type_long, 11, sql_flag_not_null, 63),
                  sql_fake_column("my_col", sql_type_var_string, 40, 0, 45)};
  c.results["SELECT * FROM t LIMIT 0"] = meta;
  sql_fake_result_script columns;
  for (const char* n : {"Field", "Type", "Null", "Key", "Default", "Extra"})
    columns.columns.push_back(sql_fake_column(n, sql_type_var_string, 64));
  columns.rows = {{"id", "int(11)", "NO", "PRI", nullptr, ""}, {"my_col", "varchar(10)", "YES", "", nullptr, ""}};
  c.results["SHOW COLUMNS FROM t"] = columns;
  sql_fake_result_script none;
  none.columns = {sql_fake_column("x", sql_type_var_string, 64)};
  c.results["SHOW INDEX FROM `t`"] = none;
  c.results["SHOW CREATE TABLE `t`"] = none;
}

TEST(SqlOldServers, DefinitionsAndInsertsUseTheirOwnNamesAndStorageClause) {
  for (const auto& [version, tail] : std::vector<std::pair<std::string, std::string>>{
           {"4.0.22", " TYPE=InnoDB"}, {"4.0.23", " ENGINE=InnoDB"}, {"3.23.34", " TYPE=MyISAM"}}) {
    SCOPED_TRACE(version);
    fake_engine f(version);
    script_table(*f.client);
    auto db = f.engine->open_db(L"d", 0x80);
    udb_schema schema;
    schema.push_back(column(L"id", VT_I4, 11, 0, true));
    schema.push_back(column(L"my-col", VT_BSTR, 10));
    udb_indexes indexes;
    indexes.push_back(udb_index(L"PRIMARY", true, true, {L"id"}));
    f.client->log.clear();
    auto t = db->create_table(L"t", schema, indexes);
    ASSERT_FALSE(f.client->log.empty());
    // Before 4.1 column names stand bare, made of the characters those servers take.
    EXPECT_EQ(f.client->log[0], "CREATE TABLE `t` (id INT NOT NULL, my_col VARCHAR(10), PRIMARY KEY (`id`))" + tail);
    EXPECT_EQ(db->names_map.get_fn_mapped_name(L"t", L"my-col"), L"my_col");
    // Rows name the table and columns bare too.
    udb_record r;
    r.push_back(std::make_unique<udb_field>(L"id", 4, ole_variant(1), true, false));
    r.push_back(std::make_unique<udb_field>(L"my-col", 10, ole_variant(L"x'y"), false, false));
    f.client->log.clear();
    t->append_record(r);
    t->flush();
    ASSERT_EQ(f.client->log.size(), 1u);
    EXPECT_EQ(f.client->log[0], "INSERT INTO t(id, my_col) VALUES(1, 'x\\'y')");
  }
}

TEST(SqlOldServers, ForeignKeysNeedAServerFrom32344) {
  fake_engine f("3.23.43");
  script_table(*f.client);
  auto db = f.engine->open_db(L"d", 0x80);
  udb_relationships rels;
  rels.push_back(udb_relationship(L"r", L"", L"t", L"t", {L"id"}, {L"id"}, L""));
  f.client->log.clear();
  db->create_relationships(rels);
  EXPECT_TRUE(f.client->log.empty());
}

TEST(SqlPreparedStatements, LongValuesGoInPiecesToTheirPlaceholderAndFailuresClose) {
  fake_engine f("10.11.19-MariaDB");
  f.client->results["show full tables where Table_type='BASE TABLE'"].columns = {
      sql_fake_column("Tables_in_d", sql_type_var_string, 64)};
  auto opened = f.engine->open_db(L"d", 0x80);
  auto* db = static_cast<sql_database*>(opened.get());
  std::string text(300000, 'x');
  std::vector<uint8_t> bytes(0x20000 + 5, 0xAB);
  udb_record r;
  r.push_back(std::make_unique<udb_field>(L"t", 0, ole_variant(text), false, false));
  r.push_back(std::make_unique<udb_field>(L"b", 0, ole_variant(bytes), false, false));
  f.client->log.clear();
  db->prepared_statement("INSERT INTO t(b, t) VALUES (?, ?)",
                         {sql_long_param{r.at(1), true}, sql_long_param{r.at(0), false}}, r.get_total_size());
  EXPECT_EQ(f.client->log, std::vector<std::string>({"PREPARE INSERT INTO t(b, t) VALUES (?, ?)", "BIND b s",
                                                     "LONG 0 131072", "LONG 0 5", "LONG 1 131072", "LONG 1 131072",
                                                     "LONG 1 37856", "EXECUTE", "CLOSE STMT"}));
  EXPECT_EQ(f.client->long_data[0], std::string(bytes.begin(), bytes.end()));
  EXPECT_EQ(f.client->long_data[1], text);
  f.client->failing_statement_step = "EXECUTE";
  f.client->log.clear();
  try {
    db->prepared_statement("INSERT INTO t(b) VALUES (?)", {sql_long_param{r.at(1), true}}, r.get_total_size());
    FAIL();
  } catch (const sql_prep_stmt_failed_exception& e) {
    EXPECT_EQ(e.level, 0);  // the server refused this row
    EXPECT_NE(e.message.find("scripted failure of EXECUTE"), std::string::npos);
  }
  EXPECT_EQ(f.client->log.back(), "CLOSE STMT");
}

}  // namespace
