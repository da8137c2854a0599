// RWFAGENT end to end: source names Access cannot take. Control characters and the system tables' prefix get
// safe names instead of losing the table, safe names stay within Access's 64 characters, and on a case-sensitive
// server a table-list name takes the table of exactly that name.
#include "tests/support/e2e_test_support.h"

namespace {

using namespace tt_e2e;

const std::string long_upper(64, 'N');
const std::string long_lower(64, 'n');

class RwfagentNames : public rwfagent_fixture {
 protected:
  RwfagentNames() {
    // The throwaway server runs with the Linux default lower_case_table_names=0: names differing in case are
    // different tables.
    server.exec(
        "DROP DATABASE IF EXISTS tt_names; CREATE DATABASE tt_names CHARACTER SET utf8mb4; USE tt_names;"
        "CREATE TABLE `a\tb` (id INT PRIMARY KEY, `c\td` VARCHAR(10), INDEX `by\tc` (`c\td`));"
        "INSERT INTO `a\tb` VALUES (1, 'x');"
        "CREATE TABLE `MSysObjects` (id INT PRIMARY KEY); INSERT INTO `MSysObjects` VALUES (1), (2);"
        "CREATE TABLE `Orders` (id INT PRIMARY KEY, who VARCHAR(10) DEFAULT 'upper');"
        "INSERT INTO `Orders` (id) VALUES (1), (2), (3);"
        "CREATE TABLE `ORDERS` (id INT PRIMARY KEY, who VARCHAR(10) DEFAULT 'caps', extra INT);"
        "INSERT INTO `ORDERS` (id, extra) VALUES (1, 10), (2, 20), (3, 30), (4, 40);"
        "DROP DATABASE IF EXISTS tt_long; CREATE DATABASE tt_long; USE tt_long;"
        "CREATE TABLE `" + long_upper + "` (id INT); INSERT INTO `" + long_upper + "` VALUES (1);"
        "CREATE TABLE `" + long_lower + "` (id INT); INSERT INTO `" + long_lower + "` VALUES (1), (2);");
  }

  program_result convert(const std::string& db, const std::string& file, const std::string& list,
                         const std::string& mode = "0") {
    std::vector<std::string> args = {"--src=" + db, "--dest=" + file, "--acc_ver=1", "--mode=" + mode};
    if (!list.empty()) {
      tk_write_file(dir.file("list.txt"), list);
      args.push_back("--tab_file=" + dir.file("list.txt"));
    }
    return agent(args);
  }

  // The column names of an Access table, as mdbtools reads them.
  std::string header(const std::string& file, const std::string& table) {
    std::string out = run_program({"/usr/bin/mdb-export", "-Q", file, table}).out;
    return out.substr(0, out.find('\n'));
  }
};

TEST_F(RwfagentNames, ControlCharactersAndSystemNamesGetSafeNamesAndAnAmbiguousNameIsAnError) {
  const std::string file = dir.file("names.mdb");
  program_result r = convert("tt_names", file, "a\tb\nMSysObjects\norders\n");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "Converting database tt_names (3 tables)\nConverting table a\tb (1 records)\n"
            "Converting table MSysObjects (2 records)\n"
            "Error:\norders: Table name 'orders' matches several tables of the source database that differ only "
            "in case: 'ORDERS', 'Orders'. Give the name exactly as the source database spells it.\n");
  EXPECT_EQ(mdb_tables(file), (std::vector<std::string>{"_msysobjects", "a_b"}));
  EXPECT_EQ(header(file, "a_b"), "id,c_d");
  EXPECT_EQ(mdb_export(file, "a_b"), (std::vector<std::vector<std::string>>{{"1", "x"}}));
  EXPECT_EQ(mdb_reader_rows(file, "_msysobjects").size(), 2u);
  expect_sound(file);

  // A later run in mode 1 finds the tables under their safe names again and replaces them.
  r = convert("tt_names", file, "a\tb\nMSysObjects\n", "1");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(mdb_tables(file), (std::vector<std::string>{"_msysobjects", "a_b"}));
  EXPECT_EQ(mdb_reader_rows(file, "_msysobjects").size(), 2u);
  expect_sound(file);
}

TEST_F(RwfagentNames, TablesDifferingInCaseBothArriveAndAreFoundAgainByLaterRuns) {
  // Access compares names ignoring case: the second of "Orders" and "ORDERS" the server lists gets a safe name,
  // and a later run in mode 1 replaces both tables instead of adding numbered copies.
  const std::string file = dir.file("all.mdb");
  for (const std::string mode : {"0", "1"}) {
    program_result r = convert("tt_names", file, "", mode);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("Error:"), std::string::npos) << r.out;
    std::vector<std::string> tables = mdb_tables(file);
    ASSERT_EQ(tables.size(), 4u) << mode;
    EXPECT_EQ(tables[2], "a_b");
    EXPECT_EQ(tables[3], "orders00000");
    const std::string kept = tables[0] == "_msysobjects" ? tables[1] : tables[0];
    ASSERT_TRUE(kept == "ORDERS" || kept == "Orders") << kept;
    expect_same_rows(file, "tt_names", kept);
    EXPECT_EQ(mdb_reader_rows(file, "orders00000").size(), kept == "ORDERS" ? 3u : 4u);
    expect_sound(file);
  }
}

TEST_F(RwfagentNames, ATableListNameTakesTheTableOfExactlyThatName) {
  for (const std::string table : {"ORDERS", "Orders"}) {
    const std::string file = dir.file(table + ".mdb");
    program_result r = convert("tt_names", file, table + "\n");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(mdb_tables(file), std::vector<std::string>{table});
    // Columns, defaults and rows of that table alone.
    expect_same_rows(file, "tt_names", table);
    std::string schema = run_program({"/usr/bin/mdb-schema", "--default-values", file, "postgres"}).out;
    EXPECT_NE(schema.find(table == "ORDERS" ? "'caps'" : "'upper'"), std::string::npos) << schema;
    EXPECT_EQ(schema.find(table == "ORDERS" ? "'upper'" : "'caps'"), std::string::npos) << schema;
    expect_sound(file);
  }
}

TEST_F(RwfagentNames, SafeNamesStayWithinSixtyFourCharacters) {
  // Both 64-character names reach the file: the first one the server lists as it is, the other under a safe
  // name of 63 characters (58 of the name and a five-digit counter).
  const std::string file = dir.file("long.mdb");
  program_result r = convert("tt_long", file, "");
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out.find("Error:"), std::string::npos) << r.out;
  std::vector<std::string> tables = mdb_tables(file);
  ASSERT_EQ(tables.size(), 2u);
  const std::string safe = std::string(58, 'n') + "00000";
  const std::string kept = tables[0] == safe ? tables[1] : tables[0];
  EXPECT_TRUE(kept == long_upper || kept == long_lower) << kept;
  EXPECT_NE(std::find(tables.begin(), tables.end(), safe), tables.end());
  // Each table holds the rows of its own source table.
  EXPECT_EQ(mdb_reader_rows(file, kept).size(), kept == long_upper ? 1u : 2u);
  EXPECT_EQ(mdb_reader_rows(file, safe).size(), kept == long_upper ? 2u : 1u);
  expect_sound(file);
}

}  // namespace
