// RWFAGENT end to end with Access 2007-and-later (.accdb) destinations: whole databases converted into new ACE
// files, and every mode of the run over existing ACE files (ours and Access-made blanks of 2007, 2010 and 2019),
// each file keeping its own format.
#include <filesystem>

#include "tests/support/e2e_test_support.h"

namespace {

using namespace tt_e2e;
using RwfagentAccdb = rwfagent_fixture;

TEST_F(RwfagentAccdb, WholeDatabasesEveryCell) {
  tt_test::shared_mariadb({std::string(TT_TEST_DATA_DIR) + "/mysql-samples/chinook.sql"});
  for (const std::string db : {"tabletide_demo", "Chinook"}) {
    // No extension given: the format chooses ".accdb".
    std::string file = dir.file(db + ".accdb");
    program_result r = agent({"--src=" + db, "--dest=" + dir.file(db), "--acc_ver=2"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    std::vector<std::string> tables = base_tables(db);
    EXPECT_EQ(split(r.out, '\n')[0], "Converting database " + db + " (" + std::to_string(tables.size()) + " tables)");
    EXPECT_EQ(mdb_tables(file), tables);
    EXPECT_EQ(mdb_ver(file), "ACE12\n");
    for (const std::string& table : tables) expect_same_rows(file, db, table);
    expect_sound(file);
  }
}

TEST_F(RwfagentAccdb, FixtureDatabaseNamesAndCounts) {
  tt_test::shared_mariadb({std::string(TT_SOURCE_DIR) + "/tests/fixtures/mysql_fixture.sql"});
  const std::string file = dir.file("fixture.accdb");
  program_result r = agent({"--src=tt_fixture", "--dest=" + file, "--acc_ver=2"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(mdb_ver(file), "ACE12\n");
  std::vector<std::string> expected = access_table_names("tt_fixture");
  EXPECT_EQ(mdb_tables(file), expected);
  for (const std::string table : {"big", "rows257", "types_int", "types_text", "types_bin", "empty_table"}) {
    std::string count = *server.query("SELECT COUNT(*) FROM tt_fixture.`" + table + "`")[0][0];
    EXPECT_EQ(std::to_string(mdb_export(file, table).size()), count) << table;
  }
  for (const std::string table : {"rows257", "types_int", "types_text", "types_bin", "types_num", "indexed"})
    expect_same_rows(file, "tt_fixture", table);
  expect_sound(file);
}

// Modes 2, 1, 3 and 0 over an existing ACE file: the first three change it in place and keep its format (and its
// Access-made tables), mode 0 replaces it with a new file of the chosen format.
TEST_F(RwfagentAccdb, EveryModeOverExistingAccdbFiles) {
  const std::string samples = std::string(TT_TEST_DATA_DIR) + "/access-format/jackcess/";
  struct start {
    std::string name;
    std::string source;  // empty: a file made by a first run
    std::string version;
  } starts[] = {{"ours", "", "ACE12\n"},
                {"access2007", samples + "empty2007.accdb", "ACE12\n"},
                {"access2010", samples + "empty2010.accdb", "ACE14\n"},
                {"access2019", samples + "empty2019.accdb", "ACE17\n"}};
  tk_write_file(dir.file("tags.txt"), "tags\n");
  tk_write_file(dir.file("two.txt"), "tags\ncustomers\n");
  for (const auto& s : starts) {
    SCOPED_TRACE(s.name);
    const std::string file = dir.file(s.name + ".accdb");
    if (s.source.empty()) {
      ASSERT_EQ(agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=2", "--tab_file=" + dir.file("tags.txt")})
                    .status,
                0);
    } else {
      std::filesystem::copy_file(s.source, file);
    }
    std::vector<std::string> before_tables = mdb_tables(file);
    const std::vector<std::string> known_notes = jet::verify_file(file).notes;

    // Mode 2: tables the file has are skipped; the others are added; --acc_ver does not change the format.
    program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=2",
                              "--tab_file=" + dir.file("two.txt")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(mdb_ver(file), s.version);
    std::vector<std::string> tables = before_tables;
    for (const char* t : {"customers", "tags"})
      if (std::find(tables.begin(), tables.end(), t) == tables.end()) tables.push_back(t);
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(mdb_tables(file), tables);
    expect_same_rows(file, "tabletide_demo", "customers");
    expect_same_rows(file, "tabletide_demo", "tags");
    expect_sound_since(file, known_notes);

    // Mode 1: the source's tables replace their namesakes, the rest of the file stays.
    r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=1"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(mdb_ver(file), s.version);
    for (const std::string& t : base_tables("tabletide_demo"))
      if (std::find(tables.begin(), tables.end(), t) == tables.end()) tables.push_back(t);
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(mdb_tables(file), tables);
    for (const std::string& t : base_tables("tabletide_demo")) expect_same_rows(file, "tabletide_demo", t);
    expect_sound_since(file, known_notes);

    // Mode 3: rows already there are reported as duplicates, one block each; nothing is lost.
    r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=3", "--tab_file=" + dir.file("tags.txt")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(split(r.out, '\n')[1], "Converting table tags (4 records)");
    EXPECT_NE(r.out.find("tags, record #4: Duplicate field values"), std::string::npos) << r.out;
    EXPECT_EQ(mdb_ver(file), s.version);
    expect_same_rows(file, "tabletide_demo", "tags");
    expect_sound_since(file, known_notes);

    // Mode 0: a new file of the chosen format.
    r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=2", "--mode=0", "--tab_file=" + dir.file("tags.txt")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(mdb_ver(file), "ACE12\n");
    EXPECT_EQ(mdb_tables(file), std::vector<std::string>{"tags"});
    expect_same_rows(file, "tabletide_demo", "tags");
    expect_sound(file);
  }
}

}  // namespace
