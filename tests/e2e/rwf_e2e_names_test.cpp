// RWFAGENT end to end: source names Access cannot take. Control characters and the system tables' prefix get
// safe names instead of losing the table, safe names stay within Access's 64 characters, on a case-sensitive
// server a table-list name takes the table of exactly that name, and a table arrives under the same name whatever
// part of the database a run converts and in whichever mode, so that no run mixes two tables' rows.
#include <map>

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
  // The server lists ORDERS before Orders (binary order): ORDERS keeps its name and Orders is stored as
  // orders00000, also when the list names it alone.
  for (const std::string table : {"ORDERS", "Orders"}) {
    const std::string file = dir.file(table + ".mdb");
    program_result r = convert("tt_names", file, table + "\n");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    const std::string stored = table == "ORDERS" ? table : "orders00000";
    EXPECT_EQ(mdb_tables(file), std::vector<std::string>{stored});
    // Columns, defaults and rows of that table alone.
    EXPECT_EQ(mdb_reader_rows(file, stored).size(), table == "ORDERS" ? 4u : 3u);
    if (table == "ORDERS") expect_same_rows(file, "tt_names", table);
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

// Three tables whose names meet in Access: a!b and a.b both become a_b, the name a_b itself has. Rows carry the
// name of the table they come from; there is no key, so a merge adds every row again.
class RwfagentStableNames : public rwfagent_fixture {
 protected:
  RwfagentStableNames() {
    server.exec(
        "DROP DATABASE IF EXISTS tt_stable; CREATE DATABASE tt_stable; USE tt_stable;"
        "CREATE TABLE `a!b` (id INT, came_from VARCHAR(10)); INSERT INTO `a!b` VALUES (1, 'a!b'), (2, 'a!b');"
        "CREATE TABLE `a.b` (id INT, came_from VARCHAR(10));"
        "INSERT INTO `a.b` VALUES (1, 'a.b'), (2, 'a.b'), (3, 'a.b');"
        "CREATE TABLE `a_b` (id INT, came_from VARCHAR(10)); INSERT INTO `a_b` VALUES (1, 'a_b');");
  }

  // A run over tt_stable into `file`: the tables of the list (every table without one), else the items of a
  // profile's [Selected Tables] lines.
  program_result convert(const std::string& mode, const std::string& list, const std::string& items = "") {
    std::vector<std::string> args = {"--src=tt_stable", "--dest=" + file, "--acc_ver=1", "--mode=" + mode};
    if (!list.empty()) {
      tk_write_file(dir.file("list.txt"), list);
      args.push_back("--tab_file=" + dir.file("list.txt"));
    }
    if (!items.empty()) args.push_back(items_profile(dir.file("items.rwf"), items));
    program_result r = agent(args);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
    return r;
  }

  // What each table of the file holds: "<source table>:<id>" for each row, sorted.
  std::map<std::string, std::vector<std::string>> held() {
    std::map<std::string, std::vector<std::string>> tables;
    for (const std::string& table : mdb_tables(file)) {
      std::vector<std::string>& rows = tables[table];
      for (const std::vector<std::string>& row : mdb_export(file, table)) rows.push_back(row.at(1) + ":" + row.at(0));
      std::sort(rows.begin(), rows.end());
      EXPECT_EQ(mdb_reader_rows(file, table).size(), rows.size()) << table;
    }
    expect_sound(file);
    return tables;
  }

  // The rows of a source table, `times` over.
  static std::vector<std::string> rows_of(const std::string& table, int times = 1) {
    std::vector<std::string> rows;
    const int count = table == "a!b" ? 2 : table == "a.b" ? 3 : 1;
    for (int id = 1; id <= count; ++id)
      for (int i = 0; i < times; ++i) rows.push_back(table + ":" + std::to_string(id));
    return rows;
  }

  std::string file = dir.file("stable.mdb");
};

TEST_F(RwfagentStableNames, EachTableKeepsItsNameWhateverARunConvertsAndInEveryMode) {
  // a_b keeps its own name though the server lists it last; a!b and a.b follow in the server's order.
  const std::map<std::string, std::vector<std::string>> whole = {
      {"a_b", rows_of("a_b")}, {"a_b00000", rows_of("a!b")}, {"a_b00001", rows_of("a.b")}};

  // A list naming only a.b stores it under the name the whole database gives it.
  program_result r = convert("0", "a.b\n");
  EXPECT_EQ(r.out, "Converting database tt_stable (1 tables)\nConverting table a.b (3 records)\n");
  EXPECT_EQ(held(), (std::map<std::string, std::vector<std::string>>{{"a_b00001", rows_of("a.b")}}));

  // Mode 2 over the whole database skips a.b's table and adds the two others.
  convert("2", "");
  EXPECT_EQ(held(), whole);

  // Mode 3 adds each table's rows to its own table once more; mode 1 replaces each with its own rows.
  r = convert("3", "");
  EXPECT_EQ(r.out, "Converting database tt_stable (3 tables)\nConverting table a!b (2 records)\n"
                   "Converting table a.b (3 records)\nConverting table a_b (1 records)\n");
  EXPECT_EQ(held(), (std::map<std::string, std::vector<std::string>>{{"a_b", rows_of("a_b", 2)},
                                                                    {"a_b00000", rows_of("a!b", 2)},
                                                                    {"a_b00001", rows_of("a.b", 2)}}));
  convert("1", "");
  EXPECT_EQ(held(), whole);

  // Lists naming one table find that table's own in modes 3 and 1, and a list naming every table changes nothing
  // in mode 2.
  convert("3", "a!b\n");
  EXPECT_EQ(held(), (std::map<std::string, std::vector<std::string>>{{"a_b", rows_of("a_b")},
                                                                    {"a_b00000", rows_of("a!b", 2)},
                                                                    {"a_b00001", rows_of("a.b")}}));
  convert("1", "a!b\n");
  EXPECT_EQ(held(), whole);
  const std::string before = tk_read_file(file);
  convert("2", "a_b\na.b\na!b\n");
  EXPECT_EQ(tk_read_file(file), before);

  // A new file of the whole database has the same names.
  const std::string first = file;
  file = dir.file("whole.mdb");
  convert("0", "");
  EXPECT_EQ(held(), whole);
  file = first;
}

TEST_F(RwfagentStableNames, ASelectNeverTakesATablesName) {
  convert("0", "");
  // A SELECT named like a table, or like the name a table is given, is stored under a name of its own (a counter
  // behind its name), in every mode; the tables stay as they were.
  for (const std::string mode : {"3", "1", "2"}) {
    convert(mode, "",
            "a_b=SELECT id, 'query' AS came_from FROM `a_b`\r\na_b00000=SELECT 7 AS id, 'q2' AS came_from\r\n");
    EXPECT_EQ(held(), (std::map<std::string, std::vector<std::string>>{{"a_b", rows_of("a_b")},
                                                                      {"a_b00000", rows_of("a!b")},
                                                                      {"a_b00001", rows_of("a.b")},
                                                                      {"a_b00002", {"query:1"}},
                                                                      {"a_b0000000000", {"q2:7"}}}))
        << mode;
  }
}

}  // namespace
