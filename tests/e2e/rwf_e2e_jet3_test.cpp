// RWFAGENT end to end with Access 95/97 (Jet 3) destinations: whole databases converted into new Access 97 files
// (text held in code page 1252, so a character outside it reads back as '?'), and every mode of the run over
// existing Access 97 files (ours and Access-made samples), each file keeping its format.
#include <filesystem>

#include "tests/support/e2e_test_support.h"

namespace {

using namespace tt_e2e;
using RwfagentJet3 = rwfagent_fixture;

TEST_F(RwfagentJet3, WholeDatabasesEveryCell) {
  tt_test::shared_mariadb({std::string(TT_TEST_DATA_DIR) + "/mysql-samples/chinook.sql"});
  for (const std::string db : {"tabletide_demo", "Chinook"}) {
    SCOPED_TRACE(db);
    // No extension given: the format chooses ".mdb".
    const std::string file = dir.file(db + ".mdb");
    program_result r = agent({"--src=" + db, "--dest=" + dir.file(db), "--acc_ver=0"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    std::vector<std::string> tables = base_tables(db);
    EXPECT_EQ(split(r.out, '\n')[0], "Converting database " + db + " (" + std::to_string(tables.size()) + " tables)");
    // Every table went through: no record or table was reported.
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
    EXPECT_EQ(mdb_ver(file), "JET3\n");
    EXPECT_EQ(mdb_tables(file), tables);
    for (const std::string& table : tables) expect_same_rows(file, db, table, true);
    expect_sound(file);
  }
}

TEST_F(RwfagentJet3, FixtureDatabaseTextThroughTheCodePage) {
  tt_test::shared_mariadb({std::string(TT_SOURCE_DIR) + "/tests/fixtures/mysql_fixture.sql"});
  const std::string file = dir.file("fixture.mdb");
  program_result r = agent({"--src=tt_fixture", "--dest=" + file, "--acc_ver=0"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(mdb_ver(file), "JET3\n");
  // Names are held in the code page too: a name with a character it lacks gets a safe name, like a name with a
  // character Access refuses ("_" for the character, lower-cased): "Größe_表" arrives as "größe__".
  std::vector<std::string> expected = access_table_names("tt_fixture");
  std::replace(expected.begin(), expected.end(), std::string("Größe_表"), std::string("größe__"));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(mdb_tables(file), expected);
  EXPECT_NE(std::find(expected.begin(), expected.end(), "größe__"), expected.end());
  EXPECT_EQ(mdb_export(file, "größe__").size(), 1u);
  for (const std::string table : {"big", "rows257", "types_int", "types_text", "types_bin", "empty_table"}) {
    std::string count = *server.query("SELECT COUNT(*) FROM tt_fixture.`" + table + "`")[0][0];
    EXPECT_EQ(std::to_string(mdb_export(file, table).size()), count) << table;
  }
  for (const std::string table : {"rows257", "types_int", "types_text", "types_bin", "types_num", "indexed"})
    expect_same_rows(file, "tt_fixture", table, true);
  // mdbtools reads the same: characters of code page 1252 kept, the others (a emoji, CJK) '?', one each.
  std::vector<std::vector<std::string>> text = mdb_export(file, "types_text");
  ASSERT_GE(text.size(), 1u);
  ASSERT_GE(text[0].size(), 10u);
  EXPECT_EQ(text[0][3], "Grüße");
  EXPECT_EQ(text[0][4], "Zürich ? ??");
  EXPECT_EQ(text[0][8], "?mega");
  expect_sound(file);
}

// Modes 2, 1, 3 and 0 over an existing Access 97 file: the first three change it in place and keep its format (and
// its Access-made tables, queries and relationships), mode 0 replaces it with a new file of the chosen format.
TEST_F(RwfagentJet3, EveryModeOverExistingAccess97Files) {
  const std::string samples = std::string(TT_TEST_DATA_DIR) + "/access-format/jackcess/";
  tk_write_file(dir.file("tags.txt"), "tags\n");
  tk_write_file(dir.file("two.txt"), "tags\ncustomers\n");
  for (const std::string& source : {std::string(), samples + "delTestV1997.mdb", samples + "indexTestV1997.mdb",
                                    samples + "queryTestV1997.mdb"}) {
    const std::string name = source.empty() ? "ours" : std::filesystem::path(source).stem().string();
    SCOPED_TRACE(name);
    const std::string file = dir.file(name + ".mdb");
    if (source.empty()) {
      ASSERT_EQ(agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=0", "--tab_file=" + dir.file("tags.txt")})
                    .status,
                0);
    } else {
      std::filesystem::copy_file(source, file);
    }
    ASSERT_EQ(mdb_ver(file), "JET3\n");
    std::vector<std::string> before_tables = mdb_tables(file);
    const std::vector<std::string> known_notes = jet::verify_file(file).notes;

    // Mode 2: tables the file has are skipped; the others are added; --acc_ver does not change the format.
    program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=2",
                              "--tab_file=" + dir.file("two.txt")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(mdb_ver(file), "JET3\n");
    std::vector<std::string> tables = before_tables;
    for (const char* t : {"customers", "tags"})
      if (std::find(tables.begin(), tables.end(), t) == tables.end()) tables.push_back(t);
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(mdb_tables(file), tables);
    expect_same_rows(file, "tabletide_demo", "customers", true);
    expect_same_rows(file, "tabletide_demo", "tags", true);
    expect_sound_since(file, known_notes);

    // Mode 1: the source's tables replace their namesakes, the rest of the file stays.
    r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=2", "--mode=1"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
    EXPECT_EQ(mdb_ver(file), "JET3\n");
    for (const std::string& t : base_tables("tabletide_demo"))
      if (std::find(tables.begin(), tables.end(), t) == tables.end()) tables.push_back(t);
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(mdb_tables(file), tables);
    for (const std::string& t : base_tables("tabletide_demo")) expect_same_rows(file, "tabletide_demo", t, true);
    expect_sound_since(file, known_notes);

    // Mode 3: rows already there are reported as duplicates, one block each; nothing is lost.
    r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=3", "--tab_file=" + dir.file("tags.txt")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(split(r.out, '\n')[1], "Converting table tags (4 records)");
    EXPECT_NE(r.out.find("tags, record #4: Duplicate field values"), std::string::npos) << r.out;
    EXPECT_EQ(mdb_ver(file), "JET3\n");
    expect_same_rows(file, "tabletide_demo", "tags", true);
    expect_sound_since(file, known_notes);

    // Mode 0: a new file of the chosen format, here Access 95/97 again.
    r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=0", "--mode=0", "--tab_file=" + dir.file("tags.txt")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(mdb_ver(file), "JET3\n");
    EXPECT_EQ(mdb_tables(file), std::vector<std::string>{"tags"});
    expect_same_rows(file, "tabletide_demo", "tags", true);
    expect_sound(file);
  }
}

// A table whose name has characters the code page lacks is found again under its safe name by later runs.
TEST_F(RwfagentJet3, SafeNamesOfCharactersTheCodePageLacksFindTheirTablesOnLaterRuns) {
  tt_test::shared_mariadb({std::string(TT_SOURCE_DIR) + "/tests/fixtures/mysql_fixture.sql"});
  const std::string file = dir.file("names.mdb");
  tk_write_file(dir.file("list.txt"), "Größe_表\nodd name\n");
  program_result r = agent({"--src=tt_fixture", "--dest=" + file, "--acc_ver=0", "--tab_file=" + dir.file("list.txt")});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(mdb_tables(file), (std::vector<std::string>{"größe__", "odd name"}));
  // Skipped (mode 2), replaced (mode 1), merged (mode 3: its one row is a duplicate): never a second table.
  r = agent({"--src=tt_fixture", "--dest=" + file, "--acc_ver=0", "--mode=2", "--tab_file=" + dir.file("list.txt")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "Converting database tt_fixture (2 tables)\n");
  r = agent({"--src=tt_fixture", "--dest=" + file, "--acc_ver=0", "--mode=1", "--tab_file=" + dir.file("list.txt")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
  r = agent({"--src=tt_fixture", "--dest=" + file, "--acc_ver=0", "--mode=3", "--tab_file=" + dir.file("list.txt")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Größe_表, record #1: Duplicate field values"), std::string::npos) << r.out;
  EXPECT_EQ(mdb_tables(file), (std::vector<std::string>{"größe__", "odd name"}));
  EXPECT_EQ(mdb_export(file, "größe__").size(), 1u);
  EXPECT_EQ(mdb_export(file, "odd name").size(), 1u);
  expect_sound(file);
}

// A row longer than an Access 97 record may be (2,012 bytes: text takes one byte a character) is refused by the
// engine like any bad record: the run reports that record and keeps every other.
TEST_F(RwfagentJet3, ARowBeyondTheAccess97RecordSizeCostsItsRecordOnly) {
  server.exec("DROP DATABASE IF EXISTS tt_jet3_wide; CREATE DATABASE tt_jet3_wide");
  std::string columns, wide, narrow;
  for (char c = 'a'; c <= 'h'; ++c) {
    columns += std::string(", ") + c + " VARCHAR(255)";
    wide += ", REPEAT('" + std::string(1, c) + "', 255)";
    narrow += ", 'x'";
  }
  server.exec("CREATE TABLE wide (id INT NOT NULL PRIMARY KEY" + columns + ")", "tt_jet3_wide");
  server.exec("INSERT INTO wide VALUES (1" + narrow + "), (2" + wide + "), (3" + narrow + ")", "tt_jet3_wide");
  const std::string file = dir.file("wide.mdb");
  program_result r = agent({"--src=tt_jet3_wide", "--dest=" + file, "--acc_ver=0"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out.rfind("Converting database tt_jet3_wide (1 tables)\nConverting table wide (3 records)\nError:\n"
                        "wide, record #2: ", 0), 0u) << r.out;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '#'), 1) << r.out;
  std::vector<std::vector<std::string>> rows = mdb_export(file, "wide");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], "1");
  EXPECT_EQ(rows[1][0], "3");
  EXPECT_EQ(mdb_reader_rows(file, "wide").size(), 2u);
  expect_sound(file);
}

// Mode 0 over an Access 2000 file with --acc_ver=0 makes an Access 97 file; modes 1-3 over an Access 97 file with
// --acc_ver=1 keep it Access 97 (the file's own format wins).
TEST_F(RwfagentJet3, TheFormatFollowsTheFileInModesOneToThreeAndTheOptionInModeZero) {
  const std::string file = dir.file("f.mdb");
  ASSERT_EQ(agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1"}).status, 0);
  ASSERT_EQ(mdb_ver(file), "JET4\n");
  program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=0", "--mode=0"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(mdb_ver(file), "JET3\n");
  r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=1"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(mdb_ver(file), "JET3\n");
  for (const std::string& t : base_tables("tabletide_demo")) expect_same_rows(file, "tabletide_demo", t, true);
  expect_sound(file);
}

}  // namespace
