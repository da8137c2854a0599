// RWFAGENT end to end, values and names as the README describes them: the Access type each MySQL type becomes,
// dates at the end of Access's range, a text too long for its field, table-list names that stand for one table or
// for a view, and the README's own example profile that converts a SELECT.
#include <fstream>
#include <sstream>

#include "tests/support/e2e_test_support.h"

namespace {

using namespace tt_e2e;
using RwfagentValues = rwfagent_fixture;

// The field lines of one table as mdb-schema prints them ("[name]\t\t\tType"), without their trailing comma.
std::vector<std::string> field_lines(const std::string& file, const std::string& table) {
  std::vector<std::string> lines;
  for (std::string line : split(run_program({"/usr/bin/mdb-schema", "-T", table, file}).out, '\n')) {
    if (line.empty() || line[0] != '\t') continue;
    while (!line.empty() && (line.back() == ',' || line.back() == ' ')) line.pop_back();
    lines.push_back(line.substr(1));
  }
  return lines;
}

TEST_F(RwfagentValues, TypesArriveAsTheReadmeSays) {
  server.exec("DROP DATABASE IF EXISTS e2e_types; CREATE DATABASE e2e_types CHARACTER SET utf8mb4");
  server.exec("CREATE TABLE kinds (id INT NOT NULL PRIMARY KEY, ti TINYINT, tiu TINYINT UNSIGNED, flag BOOLEAN, "
              "si SMALLINT, siu SMALLINT UNSIGNED, mi MEDIUMINT, miu MEDIUMINT UNSIGNED, i INT, iu INT UNSIGNED, "
              "bi BIGINT, biu BIGINT UNSIGNED, dc DECIMAL(30,4), f FLOAT, f72 FLOAT(7,2), d DOUBLE, b1 BIT(1), "
              "b8 BIT(8), b16 BIT(16), b32 BIT(32), b64 BIT(64), yr YEAR, dt DATE, dtm DATETIME(6), "
              "ts TIMESTAMP NULL, tm TIME, e ENUM('a','bé','c d'), st SET('x','y','z'), j JSON, "
              "bn BINARY(4), vb VARBINARY(255), vb300 VARBINARY(300), tb TINYBLOB, bl BLOB, "
              "c CHAR(10) CHARACTER SET latin1, v VARCHAR(10), v200 VARCHAR(200), v300 VARCHAR(300), tt TINYTEXT, "
              "tx TEXT)",
              "e2e_types");
  server.exec("INSERT INTO kinds VALUES (1, -128, 255, 1, -32768, 65535, -8388608, 16777215, -2147483648, 4294967295, "
              "9007199254740993, 18446744073709551615, 12345678901234567890.1234, 1.5, 12345.67, 3.141592653589793, "
              "b'1', b'10000001', b'1111111111111111', b'11111111111111111111111111111111', "
              "b'1111111111111111111111111111111111111111111111111111111111111111', 2155, '2024-02-29', "
              "'2024-02-29 13:14:15.250000', '2038-01-19 03:14:07', '13:14:15', 'bé', 'x,z', '{\"a\": [1, null]}', "
              "X'00FF0010', X'DEADBEEF', REPEAT(X'A5', 300), X'0102', X'00FF00FF', 'Grüße', 'Zürich 😀', "
              "REPEAT('x', 200), REPEAT('y', 300), 'tiny', 'text'), "
              "(2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
              "NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
              "NULL, NULL, NULL, NULL, NULL, NULL)",
              "e2e_types");
  server.exec("CREATE TABLE shapes (id INT NOT NULL PRIMARY KEY, g GEOMETRY NULL, p POINT NULL); "
              "INSERT INTO shapes VALUES (1, ST_GeomFromText('LINESTRING(0 0,1 1,2 0)'), ST_GeomFromText('POINT(3 4)'))",
              "e2e_types");
  server.exec("CREATE TABLE longer (id INT NOT NULL PRIMARY KEY, n NUMERIC(10,2), mt MEDIUMTEXT, lt LONGTEXT, "
              "mb MEDIUMBLOB, lb LONGBLOB); INSERT INTO longer VALUES (1, 12.5, 'medium', 'long', X'0001', X'FF')",
              "e2e_types");
  // Zero dates and times of a day or more, which a comparison in the server's own text forms cannot show.
  server.exec("CREATE TABLE edges (id INT NOT NULL PRIMARY KEY, d DATE NULL, dt DATETIME NULL, tm TIME NULL); "
              "SET SESSION sql_mode = ''; INSERT INTO edges VALUES (1, '0000-00-00', '0000-00-00 00:00:00', '838:59:59')",
              "e2e_types");
  const std::string file = dir.file("types.mdb");
  program_result r = agent({"--src=e2e_types", "--dest=" + file, "--acc_ver=1"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "Converting database e2e_types (4 tables)\nConverting table edges (1 records)\n"
                   "Converting table kinds (2 records)\nConverting table longer (1 records)\n"
                   "Converting table shapes (1 records)\n");
  EXPECT_EQ(field_lines(file, "kinds"),
            (std::vector<std::string>{
                "[id]\t\t\tLong Integer NOT NULL", "[ti]\t\t\tInteger", "[tiu]\t\t\tByte", "[flag]\t\t\tInteger",
                "[si]\t\t\tInteger", "[siu]\t\t\tLong Integer", "[mi]\t\t\tLong Integer", "[miu]\t\t\tLong Integer",
                "[i]\t\t\tLong Integer", "[iu]\t\t\tDouble", "[bi]\t\t\tDouble", "[biu]\t\t\tDouble",
                "[dc]\t\t\tDouble", "[f]\t\t\tSingle", "[f72]\t\t\tDouble", "[d]\t\t\tDouble",
                "[b1]\t\t\tBoolean NOT NULL", "[b8]\t\t\tByte", "[b16]\t\t\tLong Integer", "[b32]\t\t\tDouble",
                "[b64]\t\t\tDouble", "[yr]\t\t\tLong Integer", "[dt]\t\t\tDateTime", "[dtm]\t\t\tDateTime",
                "[ts]\t\t\tDateTime", "[tm]\t\t\tDateTime", "[e]\t\t\tText (6)", "[st]\t\t\tText (10)",
                "[j]\t\t\tMemo/Hyperlink (255)", "[bn]\t\t\tBinary", "[vb]\t\t\tBinary", "[vb300]\t\t\tOLE (255)",
                "[tb]\t\t\tBinary", "[bl]\t\t\tOLE (255)", "[c]\t\t\tText (10)", "[v]\t\t\tText (20)",
                "[v200]\t\t\tText (255)", "[v300]\t\t\tMemo/Hyperlink (255)", "[tt]\t\t\tText (255)",
                "[tx]\t\t\tMemo/Hyperlink (255)"}));
  // Every value arrives (numbers compare by value; a NULL bit arrives as No).
  expect_same_rows(file, "e2e_types", "kinds");
  std::vector<std::vector<std::string>> rows = mdb_reader_rows(file, "kinds");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][10], "f\t9007199254740992");  // a Double holds 53 bits: BIGINT beyond that is rounded
  EXPECT_EQ(rows[0][12], "f\t12345678901234567000");  // and a DECIMAL keeps its first 15 to 17 digits

  EXPECT_EQ(field_lines(file, "longer"),
            (std::vector<std::string>{"[id]\t\t\tLong Integer NOT NULL", "[n]\t\t\tDouble", "[mt]\t\t\tMemo/Hyperlink (255)",
                                      "[lt]\t\t\tMemo/Hyperlink (255)", "[mb]\t\t\tOLE (255)", "[lb]\t\t\tOLE (255)"}));
  expect_same_rows(file, "e2e_types", "longer");
  EXPECT_EQ(field_lines(file, "shapes"), (std::vector<std::string>{"[id]\t\t\tLong Integer NOT NULL",
                                                                   "[g]\t\t\tMemo/Hyperlink (255)",
                                                                   "[p]\t\t\tMemo/Hyperlink (255)"}));
  EXPECT_EQ(mdb_export(file, "shapes"), (std::vector<std::vector<std::string>>{{"1", "LINESTRING(0 0,1 1,2 0)", "POINT(3 4)"}}));
  // The zero date is Access's day zero; 838 hours count from it.
  EXPECT_EQ(mdb_export(file, "edges"), (std::vector<std::vector<std::string>>{
                                           {"1", "1899-12-30 00:00:00", "1899-12-30 00:00:00", "1900-02-02 22:59:59"}}));
  EXPECT_EQ(mdb_reader_rows(file, "edges").size(), 1u);
  expect_sound(file);
  server.exec("DROP DATABASE e2e_types");
}

TEST_F(RwfagentValues, DatesPastTheLastSecondOfAccessStayWithinIt) {
  server.exec("DROP DATABASE IF EXISTS e2e_last; CREATE DATABASE e2e_last");
  server.exec("CREATE TABLE t (id INT NOT NULL PRIMARY KEY, dt6 DATETIME(6) NULL, dt3 DATETIME(3) NULL)", "e2e_last");
  server.exec("INSERT INTO t VALUES (1, '9999-12-31 23:59:59.999999', '9999-12-31 23:59:59.999'), "
              "(2, '9999-12-31 23:59:59.5', '9999-12-31 23:59:59'), (3, '9999-12-31 23:59:58.75', '2024-02-29 13:14:15.25')",
              "e2e_last");
  for (int acc_ver : {0, 1, 2}) {
    SCOPED_TRACE(acc_ver);
    const std::string file = dir.file("last" + std::to_string(acc_ver) + (acc_ver == 2 ? ".accdb" : ".mdb"));
    program_result r = agent({"--src=e2e_last", "--dest=" + file, "--acc_ver=" + std::to_string(acc_ver)});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Converting database e2e_last (1 tables)\nConverting table t (3 records)\n");
    // mdb-reader gives milliseconds since 1970: 253402300799000 is 9999-12-31 23:59:59. A fraction of a second
    // before it is kept.
    std::vector<std::vector<std::string>> rows = mdb_reader_rows(file, "t");
    EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{{"f\t1", "d\t253402300799000", "d\t253402300799000"},
                                                           {"f\t2", "d\t253402300799000", "d\t253402300799000"},
                                                           {"f\t3", "d\t253402300798750", "d\t1709212455250"}}));
    EXPECT_EQ(mdb_export(file, "t").size(), 3u);
    expect_sound(file);
  }
  server.exec("DROP DATABASE e2e_last");
}

TEST_F(RwfagentValues, ATextTooLongForItsFieldNamesTheColumnAndItsLength) {
  // VARCHAR(200) of utf8mb4 becomes Text (255): 127 four-byte characters fit (two UTF-16 units each), 128 do not.
  const std::string smile = "\xF0\x9F\x98\x80";
  std::string many;
  for (int i = 0; i < 127; ++i) many += smile;
  server.exec("DROP DATABASE IF EXISTS e2e_long; CREATE DATABASE e2e_long CHARACTER SET utf8mb4");
  server.exec("CREATE TABLE t (id INT NOT NULL PRIMARY KEY, em VARCHAR(200) NULL)", "e2e_long");
  server.exec("INSERT INTO t VALUES (1, '" + many + "'), (2, '" + many + smile + "'), (3, 'xy" + many + "'), (4, 'x" +
                  many + "')",
              "e2e_long");
  for (int acc_ver : {1, 2}) {
    SCOPED_TRACE(acc_ver);
    const std::string file = dir.file("long" + std::to_string(acc_ver) + (acc_ver == 2 ? ".accdb" : ".mdb"));
    program_result r = agent({"--src=e2e_long", "--dest=" + file, "--acc_ver=" + std::to_string(acc_ver)});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const std::string small =
        ". The field is too small to accept the amount of data you attempted to add. Try inserting or pasting less "
        "data.\n";
    EXPECT_EQ(r.out, "Converting database e2e_long (1 tables)\nConverting table t (4 records)\n"
                     "Error:\nt, record #2: The value of column 'em' is 256 UTF-16 units long; its field holds 255" +
                         small + "Error:\nt, record #3: The value of column 'em' is 256 UTF-16 units long; its field "
                                 "holds 255" + small);
    EXPECT_EQ(mdb_export(file, "t").size(), 2u);
    std::vector<std::vector<std::string>> rows = mdb_reader_rows(file, "t");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(reader_text(rows[0][1]), many);
    EXPECT_EQ(reader_text(rows[1][1]), "x" + many);
    expect_sound(file);
  }
  server.exec("DROP DATABASE e2e_long");
}

TEST_F(RwfagentValues, ATableListNamesEachTableOnceAndSaysWhichNamesAreViews) {
  // `TAGS` and `Tags` stand for `tags`, the only table of that name; `paid_orders` is a view of the demo database.
  tk_write_file(dir.file("list.txt"), "tags\nTAGS\npaid_orders\ngone\nTags\ncustomers\n");
  const std::string file = dir.file("list.mdb");
  program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--tab_file=" + dir.file("list.txt")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "Converting database tabletide_demo (2 tables)\nConverting table tags (4 records)\n"
                   "Converting table customers (6 records)\n");
  EXPECT_EQ(r.err, "Table paid_orders is a view; views are not converted\nTable gone not exists\n");
  EXPECT_EQ(mdb_tables(file), (std::vector<std::string>{"customers", "tags"}));
  expect_same_rows(file, "tabletide_demo", "tags");
  expect_sound(file);

  // A list of nothing but a view converts nothing: the run fails and writes no file.
  tk_write_file(dir.file("view.txt"), "paid_orders\n");
  r = agent({"--src=tabletide_demo", "--dest=" + dir.file("view.mdb"), "--acc_ver=1", "--tab_file=" + dir.file("view.txt")});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "Converting database tabletide_demo (0 tables)\nError:\nNothing could be converted: the destination "
                   "file was left as it was.\n");
  EXPECT_EQ(r.err, "Table paid_orders is a view; views are not converted\n");
  EXPECT_FALSE(tk_file_exists(dir.file("view.mdb")));
}

// The profile the README shows under "Converting a SELECT", exactly as it stands there.
std::string readme_profile() {
  std::ifstream in(std::string(TT_SOURCE_DIR) + "/README.md");
  std::string line, profile;
  bool in_section = false;
  while (std::getline(in, line)) {
    if (line.rfind("## ", 0) == 0) in_section = line == "## Converting a SELECT";
    if (!in_section) continue;
    if (line.rfind("    [", 0) == 0 || (!profile.empty() && line.rfind("    ", 0) == 0)) profile += line.substr(4) + "\n";
    else if (!profile.empty() && !line.empty()) break;
    else if (!profile.empty()) profile += "\n";
  }
  return profile;
}

TEST_F(RwfagentValues, TheReadmeProfileConvertsASelectAsATable) {
  const std::string profile = readme_profile();
  ASSERT_NE(profile.find("[Selected Tables]\ncustomers\npaid_orders=SELECT "), std::string::npos) << profile;
  tk_write_file(dir.file("shop.rwf"), profile);
  // As the README says: connection and destination given after the profile override it.
  const tt_test::mariadb_facts& f = server.facts();
  const std::string file = dir.file("shop.mdb");
  program_result r = agent({"--profile=" + dir.file("shop.rwf"), "--mysqlh=" + f.host, "--port=" + std::to_string(f.port),
                            "--mysqlu=" + f.user, "--mysqlp=" + f.password, "--dest=" + file},
                           false);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "Converting database tabletide_demo (2 tables)\nConverting table customers (6 records)\n"
                   "Converting table paid_orders (3 records)\n");
  EXPECT_EQ(mdb_ver(file), "JET4\n");
  EXPECT_EQ(mdb_tables(file), (std::vector<std::string>{"customers", "paid_orders"}));
  // The SELECT is the view's: the table holds the view's rows.
  expect_same_rows(file, "tabletide_demo", "paid_orders");
  expect_sound(file);
}

}  // namespace

namespace {

using namespace tt_e2e;
using RwfagentTroubleshooting = rwfagent_fixture;

// The "Troubleshooting" article of the README, or of the wizard's help, as one text.
std::string article(const std::string& path, const std::string& from, const std::string& to) {
  const std::string text = tk_read_file(std::string(TT_SOURCE_DIR) + "/" + path);
  const std::size_t begin = text.find(from);
  return begin == std::string::npos ? std::string() : text.substr(begin, text.find(to, begin) - begin);
}

TEST_F(RwfagentTroubleshooting, TheArticleQuotesTheMessagesThatSendUsersToIt) {
  server.exec("DROP DATABASE IF EXISTS e2e_trouble; CREATE DATABASE e2e_trouble");
  server.exec("CREATE TABLE kinds (id INT NOT NULL PRIMARY KEY); INSERT INTO kinds VALUES (1)", "e2e_trouble");
  server.exec("CREATE TABLE notes (id INT NOT NULL PRIMARY KEY); INSERT INTO notes VALUES (1)", "e2e_trouble");
  const std::string file = dir.file("trouble.mdb");
  program_result r = agent({"--src=e2e_trouble", "--dest=" + file, "--acc_ver=1"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  server.exec("INSERT INTO kinds VALUES (2); ALTER TABLE notes ADD COLUMN extra INT NULL", "e2e_trouble");
  r = agent({"--src=e2e_trouble", "--dest=" + file, "--acc_ver=1", "--mode=3"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  // Each message that names the article, as the user reads it, up to its first full stop.
  std::vector<std::string> quoted;
  for (const std::string& line : split(r.out, '\n')) {
    const std::size_t colon = line.find(": ");
    if (colon != std::string::npos) quoted.push_back(line.substr(colon + 2, line.find(". ", colon) - colon - 1));
  }
  ASSERT_EQ(quoted, (std::vector<std::string>{"Duplicate field values being used for an unique index were found.",
                                              "The structure of data source does not conform to the destination table."}));
  const std::string readme = article("README.md", "## Troubleshooting", "\n## ");
  const std::string help = article("GUI2/help/troubleshooting.html", "<h1>Troubleshooting</h1>", "</body>");
  ASSERT_FALSE(readme.empty());
  ASSERT_FALSE(help.empty());
  for (const std::string& message : quoted) {
    EXPECT_NE(readme.find("\"" + message + "\""), std::string::npos) << message;
    EXPECT_NE(help.find("\"" + message + "\""), std::string::npos) << message;
  }
  // The help page is linked from the help's contents, and the README's article names the help's.
  EXPECT_NE(tk_read_file(std::string(TT_SOURCE_DIR) + "/GUI2/help/index.html").find("href=\"troubleshooting.html\""),
            std::string::npos);
  server.exec("DROP DATABASE e2e_trouble");
}

}  // namespace
