// RWFAGENT end to end, one record at a time: a source value that cannot be stored costs its own record and
// nothing else, wherever it stands in the stream of blocks, in tables and in user queries alike.
#include <map>

#include "tests/support/e2e_test_support.h"

namespace {

using namespace tt_e2e;

// A profile that converts the database db into the Access 2000 file dest with the given [Selected Tables] lines
// (tables by name, queries as name=SELECT ...), over the test server.
std::string profile_text(const tt_test::mariadb_facts& f, const std::string& db, const std::string& dest,
                         const std::string& selected) {
  return "[Generic settings]\r\nsrc=" + db + "\r\ndest=" + dest + "\r\nmode=0\r\n[MySQL settings]\r\nhost=" +
         f.host + "\r\nuser=" + f.user + "\r\npassword=" + f.password + "\r\nport=" + std::to_string(f.port) +
         "\r\n[MS Access settings]\r\ndestination format=1\r\n[Selected Tables]\r\n" + selected;
}

class RwfagentRecords : public rwfagent_fixture {
 protected:
  // A database of one table `dates` with `rows` rows of good dates and times, except the rows given, whose one
  // column (by name) holds the bad value.
  struct bad_value {
    std::string column, value;
  };
  void make_dates(const std::string& db, int rows, const std::map<int, bad_value>& bad) {
    server.exec("DROP DATABASE IF EXISTS " + db + "; CREATE DATABASE " + db);
    server.exec("CREATE TABLE dates (id INT NOT NULL PRIMARY KEY, d DATE NULL, dt DATETIME NULL, t TIME NULL, "
                "t1 TIME(1) NULL)",
                db);
    std::string values;
    for (int id = 1; id <= rows; ++id) {
      std::map<std::string, std::string> cells = {{"d", "'2020-03-04'"},
                                                  {"dt", "'2020-03-04 05:06:07'"},
                                                  {"t", "'08:09:10'"},
                                                  {"t1", "'00:00:01.5'"}};
      auto it = bad.find(id);
      if (it != bad.end()) cells[it->second.column] = "'" + it->second.value + "'";
      values += (values.empty() ? "" : ",") + std::string("(") + std::to_string(id) + "," + cells["d"] + "," +
                cells["dt"] + "," + cells["t"] + "," + cells["t1"] + ")";
    }
    // Zero parts and impossible days are stored only under ALLOW_INVALID_DATES without strict mode.
    server.exec("SET SESSION sql_mode = 'ALLOW_INVALID_DATES'; INSERT INTO dates VALUES " + values, db);
  }

  // The ids of a converted table as mdbtools reads them, and the same count through mdb-reader.
  std::vector<int> access_ids(const std::string& file, const std::string& table) {
    std::vector<int> ids;
    for (const auto& row : mdb_export(file, table)) ids.push_back(std::stoi(row[0]));
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(mdb_reader_rows(file, table).size(), ids.size());
    return ids;
  }

  static std::vector<int> ids_without(int rows, const std::map<int, bad_value>& bad) {
    std::vector<int> ids;
    for (int id = 1; id <= rows; ++id)
      if (!bad.count(id)) ids.push_back(id);
    return ids;
  }

  // The error blocks RWFAGENT prints for the bad values, in record order.
  static std::string error_blocks(const std::string& item, const std::map<int, bad_value>& bad) {
    std::string text;
    for (const auto& [id, b] : bad)
      text += "Error:\n" + item + ", record #" + std::to_string(id) + ": The value '" + b.value + "' of column '" +
              b.column + "' cannot be stored as a date or time\n";
    return text;
  }

  // Every bad kind: a year below 100 (date and date-time), a zero month, a zero day, a day the month lacks, a
  // negative time and a negative fraction of a second; in the first row, around the block boundaries of 256
  // rows (255, 256, 257) and in the last row.
  const std::map<int, bad_value> bad = {{1, {"d", "0050-01-01"}},          {100, {"d", "2021-01-00"}},
                                        {150, {"t1", "-00:00:00.5"}},       {255, {"dt", "0099-12-31 23:59:59"}},
                                        {256, {"d", "2021-00-00"}},         {257, {"t", "-01:00:00"}},
                                        {300, {"d", "2021-02-30"}}};
};

TEST_F(RwfagentRecords, ABadValueCostsItsRecordOnlyInATable) {
  make_dates("e2e_bad_dates", 300, bad);
  std::string file = dir.file("dates.mdb");
  program_result r = agent({"--src=e2e_bad_dates", "--dest=" + file, "--acc_ver=1"});
  // Record errors are reported and skipped: the run itself has gone through.
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "Converting database e2e_bad_dates (1 tables)\nConverting table dates (300 records)\n" +
                       error_blocks("dates", bad));
  EXPECT_EQ(access_ids(file, "dates"), ids_without(300, bad));
  // The good rows arrive whole, also those right beside a bad one.
  for (const auto& row : mdb_export(file, "dates"))
    if (row[0] == "2" || row[0] == "254" || row[0] == "258" || row[0] == "299") {
      EXPECT_EQ(row[1], "2020-03-04 00:00:00") << row[0];
      EXPECT_EQ(row[2], "2020-03-04 05:06:07") << row[0];
      EXPECT_EQ(row[3], "1899-12-30 08:09:10") << row[0];
    }
  expect_sound(file);

  // Silent: the same rows, nothing printed.
  r = agent({"--src=e2e_bad_dates", "--dest=" + dir.file("quiet.mdb"), "--acc_ver=1", "--silent"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out + r.err, "");
  EXPECT_EQ(access_ids(dir.file("quiet.mdb"), "dates"), ids_without(300, bad));
}

TEST_F(RwfagentRecords, ABadValueCostsItsRecordOnlyInAUserQuery) {
  make_dates("e2e_bad_query", 300, bad);
  std::string file = dir.file("query.mdb");
  tk_write_file(dir.file("p.rwf"), profile_text(server.facts(), "e2e_bad_query", file,
                                                "late=SELECT id, d, dt, t, t1 FROM dates ORDER BY id\r\n"));
  program_result r = agent({"--profile=" + dir.file("p.rwf")}, false);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "Converting database e2e_bad_query (1 tables)\nConverting table late (300 records)\n" +
                       error_blocks("late", bad));
  EXPECT_EQ(access_ids(file, "late"), ids_without(300, bad));
  expect_sound(file);
}

TEST_F(RwfagentRecords, OverwritingATableKeepsEveryGoodRow) {
  // A file that holds a good copy of the table and another table.
  make_dates("e2e_bad_mode1", 300, {});
  server.exec("CREATE TABLE other (id INT NOT NULL PRIMARY KEY)", "e2e_bad_mode1");
  server.exec("INSERT INTO other VALUES (1), (2)", "e2e_bad_mode1");
  std::string file = dir.file("mode1.mdb");
  program_result r = agent({"--src=e2e_bad_mode1", "--dest=" + file, "--acc_ver=1"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  ASSERT_EQ(access_ids(file, "dates").size(), 300u);

  // The table now holds bad values: mode 1 replaces the copy with every good row, and keeps the other table.
  for (const auto& [id, b] : bad)
    server.exec("SET SESSION sql_mode = 'ALLOW_INVALID_DATES'; UPDATE dates SET " + b.column + " = '" + b.value +
                    "' WHERE id = " + std::to_string(id),
                "e2e_bad_mode1");
  tk_write_file(dir.file("list.txt"), "dates\n");
  r = agent({"--src=e2e_bad_mode1", "--dest=" + file, "--acc_ver=1", "--mode=1",
             "--tab_file=" + dir.file("list.txt")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "Converting database e2e_bad_mode1 (1 tables)\nConverting table dates (300 records)\n" +
                       error_blocks("dates", bad));
  EXPECT_EQ(access_ids(file, "dates"), ids_without(300, bad));
  EXPECT_EQ(access_ids(file, "other"), (std::vector<int>{1, 2}));
  expect_sound(file);
}

}  // namespace

namespace {

using namespace tt_e2e;
using RwfagentText = rwfagent_fixture;

std::string repeat(const std::string& text, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += text;
  return out;
}

TEST_F(RwfagentText, FourByteCharactersFitTheirColumns) {
  const std::string smile = "\xF0\x9F\x98\x80";  // U+1F600: two UTF-16 units
  server.exec("DROP DATABASE IF EXISTS e2e_emoji; CREATE DATABASE e2e_emoji CHARACTER SET utf8mb4");
  server.exec("CREATE TABLE texts (id INT NOT NULL PRIMARY KEY, v VARCHAR(10) NULL, c CHAR(10) NULL, "
              "w VARCHAR(200) NULL, l VARCHAR(10) CHARACTER SET latin1 NULL, u VARCHAR(10) CHARACTER SET utf16 NULL, "
              "m VARCHAR(300) NULL)",
              "e2e_emoji");
  const std::string ten = repeat(smile, 10);
  server.exec("INSERT INTO texts VALUES (1, '" + ten + "', '" + ten + "', '" + repeat(smile, 127) +
                  "', 'abcdefghij', '" + ten + "', '" + repeat(smile, 300) + "'), "
                  "(2, 'a" + smile + "b', NULL, '" + repeat(smile, 128) + "', NULL, NULL, NULL), "
                  "(3, '" + repeat("\xC3\xA9", 10) + "', 'x', NULL, NULL, NULL, NULL)",
              "e2e_emoji");
  std::string file = dir.file("emoji.mdb");
  tk_write_file(dir.file("p.rwf"), profile_text(server.facts(), "e2e_emoji", file,
                                                "texts\r\npicked=SELECT id, v, c FROM texts ORDER BY id\r\n"));
  program_result r = agent({"--profile=" + dir.file("p.rwf")}, false);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  // 128 emoji need 256 UTF-16 units, more than any Text field holds: that record alone is refused.
  EXPECT_EQ(r.out,
            "Converting database e2e_emoji (2 tables)\nConverting table texts (3 records)\nError:\n"
            "texts, record #2: The value of column 'w' is 256 UTF-16 units long; its field holds 255. The field is "
            "too small to accept the amount of data you attempted to add. Try inserting or pasting less data.\n"
            "Converting table picked (3 records)\n");

  // Text sizes count UTF-16 units: two per character where the character set reaches beyond the BMP, at most
  // 255; Text or Memo is still decided by the characters (300 characters: Memo).
  std::string schema = run_program({"/usr/bin/mdb-schema", "-T", "texts", file}).out;
  for (const std::string field : {"[v]\t\t\tText (20)", "[c]\t\t\tText (20)", "[w]\t\t\tText (255)",
                                  "[l]\t\t\tText (10)", "[u]\t\t\tText (20)", "[m]\t\t\tMemo/Hyperlink (255)"})
    EXPECT_NE(schema.find(field), std::string::npos) << field << "\n" << schema;
  schema = run_program({"/usr/bin/mdb-schema", "-T", "picked", file}).out;
  EXPECT_NE(schema.find("[v]\t\t\tText (20)"), std::string::npos) << schema;

  // mdb-reader reads every character back exactly.
  auto text = [](const std::string& cell) { return reader_text(cell).value_or("NULL"); };
  std::vector<std::vector<std::string>> rows = mdb_reader_rows(file, "texts");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(text(rows[0][1]), ten);
  EXPECT_EQ(text(rows[0][2]), ten);
  EXPECT_EQ(text(rows[0][3]), repeat(smile, 127));
  EXPECT_EQ(text(rows[0][4]), "abcdefghij");
  EXPECT_EQ(text(rows[0][5]), ten);
  EXPECT_EQ(text(rows[0][6]), repeat(smile, 300));
  EXPECT_EQ(text(rows[1][0]), "3");
  EXPECT_EQ(text(rows[1][1]), repeat("\xC3\xA9", 10));
  rows = mdb_reader_rows(file, "picked");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(text(rows[0][1]), ten);
  EXPECT_EQ(text(rows[0][2]), ten);
  EXPECT_EQ(text(rows[1][1]), "a" + smile + "b");
  expect_sound(file);

  // An Access 2007-and-later file counts the same way.
  tk_write_file(dir.file("list.txt"), "texts\n");
  r = agent({"--src=e2e_emoji", "--dest=" + dir.file("emoji.accdb"), "--acc_ver=2", "--tab_file=" + dir.file("list.txt")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out,
            "Converting database e2e_emoji (1 tables)\nConverting table texts (3 records)\nError:\n"
            "texts, record #2: The value of column 'w' is 256 UTF-16 units long; its field holds 255. The field is "
            "too small to accept the amount of data you attempted to add. Try inserting or pasting less data.\n");
  rows = mdb_reader_rows(dir.file("emoji.accdb"), "texts");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(text(rows[0][1]), ten);
  EXPECT_EQ(text(rows[0][3]), repeat(smile, 127));
  EXPECT_EQ(text(rows[0][5]), ten);
  EXPECT_TRUE(jet::verify_file(dir.file("emoji.accdb")).ok());
}

}  // namespace

namespace {

using namespace tt_e2e;
using RwfagentNumbers = rwfagent_fixture;

TEST_F(RwfagentNumbers, ARecordWhoseIndexKeyNoPageCanHoldCostsItsRecordOnly) {
  // Ten long accented texts under one index: their key outgrows an index page in every generation. The long
  // record is the last one in the order of either index, so it is record #3 whichever the server reads by.
  server.exec("DROP DATABASE IF EXISTS e2e_longkey; CREATE DATABASE e2e_longkey CHARACTER SET latin1");
  std::string columns, index, long_values, a_values, b_values;
  for (char c = 'a'; c <= 'j'; ++c) {
    columns += std::string(", ") + c + " VARCHAR(255) NULL";
    index += std::string(index.empty() ? "" : ",") + c;
    long_values += ", REPEAT('\xC3\xA9', 255)";
    a_values += ", 'a'";
    b_values += ", 'b'";
  }
  server.exec("CREATE TABLE t (id INT NOT NULL PRIMARY KEY" + columns + ", KEY ix (" + index + "))", "e2e_longkey");
  server.exec("SET NAMES utf8mb4; INSERT INTO t VALUES (1" + a_values + "), (2" + b_values + "), (3" + long_values +
                  ")",
              "e2e_longkey");
  server.exec("CREATE TABLE u (id INT NOT NULL PRIMARY KEY); INSERT INTO u VALUES (1), (2)", "e2e_longkey");
  for (int acc_ver : {0, 1, 2}) {
    SCOPED_TRACE(acc_ver);
    const std::string file = dir.file("longkey" + std::to_string(acc_ver) + (acc_ver == 2 ? ".accdb" : ".mdb"));
    program_result r = agent({"--src=e2e_longkey", "--dest=" + file, "--acc_ver=" + std::to_string(acc_ver)});
    // The record is refused; the table's other records, the next table and the file are kept.
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const std::string bytes = acc_ver == 0 ? "3850" : "5130";  // Access 97 keys take a byte less per accent
    EXPECT_EQ(r.out, "Converting database e2e_longkey (2 tables)\nConverting table t (3 records)\nError:\nt, "
                     "record #3: The values of this record make an index key of " + bytes +
                         " bytes, longer than an index page can hold.\nConverting table u (2 records)\n");
    std::vector<std::vector<std::string>> rows = mdb_export(file, "t");
    ASSERT_EQ(rows.size(), 2u);
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows[0][0], "1");
    EXPECT_EQ(rows[1][0], "2");
    EXPECT_EQ(mdb_reader_rows(file, "u").size(), 2u);
    expect_sound(file);
  }
}

TEST_F(RwfagentNumbers, ANumberBeyondItsAccessFieldCostsItsRecordOnly) {
  // An Access file whose fields are narrower than the source columns become: Byte, Integer and Long.
  server.exec("DROP DATABASE IF EXISTS e2e_narrow; CREATE DATABASE e2e_narrow");
  server.exec("CREATE TABLE n (id INT NOT NULL PRIMARY KEY, b TINYINT UNSIGNED NULL, s SMALLINT NULL, l INT NULL)",
              "e2e_narrow");
  server.exec("INSERT INTO n VALUES (1, 255, -32768, 2147483647)", "e2e_narrow");
  std::string file = dir.file("narrow.mdb");
  program_result r = agent({"--src=e2e_narrow", "--dest=" + file, "--acc_ver=1"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;

  // The source columns widen; merging into the file, each value beyond its field is one record error and is
  // never stored wrapped or clamped; the values at the fields' ends arrive.
  server.exec("ALTER TABLE n MODIFY b INT NULL, MODIFY s INT NULL, MODIFY l BIGINT UNSIGNED NULL", "e2e_narrow");
  server.exec("DELETE FROM n WHERE id = 1", "e2e_narrow");  // the file holds it already
  server.exec("INSERT INTO n VALUES (2, 256, 0, 0), (3, -1, 0, 0), (4, 0, 32768, 0), (5, 0, -32769, 0), "
              "(6, 0, 0, 2147483648), (7, 0, 0, 18446744073709551615), (8, 0, 32767, 2147483647), "
              "(9, 300, 70000, 4294967296)",
              "e2e_narrow");
  tk_write_file(dir.file("list.txt"), "n\n");
  r = agent({"--src=e2e_narrow", "--dest=" + file, "--acc_ver=1", "--mode=3", "--tab_file=" + dir.file("list.txt")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  std::string expected = "Converting database e2e_narrow (1 tables)\nConverting table n (8 records)\n";
  for (int record : {1, 2, 3, 4, 5, 6, 8})
    expected += "Error:\nn, record #" + std::to_string(record) + ": Numeric field overflow.\n";
  EXPECT_EQ(r.out, expected);
  std::vector<std::vector<std::string>> rows = mdb_export(file, "n");
  ASSERT_EQ(rows.size(), 2u);
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows[0], (std::vector<std::string>{"1", "255", "-32768", "2147483647"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"8", "0", "32767", "2147483647"}));
  expect_sound(file);
}

}  // namespace
