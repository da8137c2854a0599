// RWFAGENT end to end: the program itself, run as a separate process against a throwaway MariaDB server holding
// the demo database, with its exact standard output, standard error and exit status.
#include "tests/support/e2e_test_support.h"

namespace {

using namespace tt_e2e;
using Rwfagent = rwfagent_fixture;

TEST_F(Rwfagent, WholeDatabasesEveryCell) {
  tt_test::shared_mariadb({std::string(TT_TEST_DATA_DIR) + "/mysql-samples/chinook.sql"});
  for (const std::string db : {"tabletide_demo", "Chinook"}) {
    std::string file = dir.file(db + ".mdb");
    program_result r = agent({"--src=" + db, "--dest=" + dir.file(db), "--acc_ver=1"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    std::vector<std::string> tables = base_tables(db);
    EXPECT_EQ(split(r.out, '\n')[0], "Converting database " + db + " (" + std::to_string(tables.size()) + " tables)");
    EXPECT_EQ(mdb_tables(file), tables);
    EXPECT_EQ(run_program({"/usr/bin/mdb-ver", file}).out, "JET4\n");
    for (const std::string& table : tables) expect_same_rows(file, db, table);
    // Every index holds every row (the trees of the tables left before the last are built ahead).
    expect_sound(file);
  }
  EXPECT_FALSE(tk_file_exists(home + "/.config"));
}

TEST_F(Rwfagent, FixtureDatabaseNamesAndCounts) {
  tt_test::shared_mariadb({std::string(TT_SOURCE_DIR) + "/tests/fixtures/mysql_fixture.sql"});
  program_result r = agent({"--src=tt_fixture", "--dest=" + dir.file("fixture"), "--acc_ver=1"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  // A value Access cannot hold costs its record only: one error block naming it, every other row arrives.
  EXPECT_NE(r.out.find("Converting table types_time (4 records)\nError:\ntypes_time, record #2: The value "
                       "'-838:59:59' of column 't' cannot be stored as a date or time\nConverting table "),
            std::string::npos)
      << r.out;
  EXPECT_EQ(mdb_export(dir.file("fixture.mdb"), "types_time").size(), 3u);
  std::vector<std::string> expected = access_table_names("tt_fixture");
  EXPECT_EQ(mdb_tables(dir.file("fixture.mdb")), expected);
  for (const std::string table : {"big", "rows257", "types_int", "types_text", "types_bin", "empty_table"}) {
    std::string count = *server.query("SELECT COUNT(*) FROM tt_fixture.`" + table + "`")[0][0];
    EXPECT_EQ(std::to_string(mdb_export(dir.file("fixture.mdb"), table).size()), count) << table;
  }
  expect_same_rows(dir.file("fixture.mdb"), "tt_fixture", "rows257");
  expect_same_rows(dir.file("fixture.mdb"), "tt_fixture", "types_int");
}

TEST_F(Rwfagent, TableListFile) {
  tk_write_file(dir.file("list.txt"), "\xEF\xBB\xBFtags\r\n\r\ngone\r\ncustomers\r\n");
  program_result r = agent({"--src=tabletide_demo", "--dest=" + dir.file("part.mdb"), "--acc_ver=1",
                            "--tab_file=" + dir.file("list.txt")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "Converting database tabletide_demo (2 tables)\nConverting table tags (4 records)\n"
            "Converting table customers (6 records)\n");
  EXPECT_EQ(r.err, "Table gone not exists\n");
  EXPECT_EQ(mdb_tables(dir.file("part.mdb")), (std::vector<std::string>{"customers", "tags"}));

  // Silent: nothing on either stream, and still success.
  r = agent({"--src=tabletide_demo", "--dest=" + dir.file("quiet.mdb"), "--acc_ver=1", "--silent",
             "--tab_file=" + dir.file("list.txt")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out + r.err, "");

  // Mode 0 over that file: what it held before is gone.
  tk_write_file(dir.file("list2.txt"), "orders\n");
  r = agent({"--src=tabletide_demo", "--dest=" + dir.file("part.mdb"), "--acc_ver=1", "--mode=0",
             "--tab_file=" + dir.file("list2.txt")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(mdb_tables(dir.file("part.mdb")), std::vector<std::string>{"orders"});
}

TEST_F(Rwfagent, SkipExistingTablesKeepsTheFileAndItsFormat) {
  tk_write_file(dir.file("list.txt"), "tags\n");
  program_result r = agent({"--src=tabletide_demo", "--dest=" + dir.file("keep.mdb"), "--acc_ver=1",
                            "--tab_file=" + dir.file("list.txt")});
  ASSERT_EQ(r.status, 0);
  std::string before = tk_read_file(dir.file("keep.mdb"));
  // Mode 2 over the file: the existing table is skipped without a line; the file keeps its own format, whatever
  // --acc_ver says.
  r = agent({"--src=tabletide_demo", "--dest=" + dir.file("keep.mdb"), "--acc_ver=2", "--mode=2",
             "--tab_file=" + dir.file("list.txt")});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "Converting database tabletide_demo (1 tables)\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(tk_read_file(dir.file("keep.mdb")), before);
  EXPECT_EQ(mdb_export(dir.file("keep.mdb"), "tags").size(), 4u);
}

TEST_F(Rwfagent, OverwriteExistingTablesKeepsTheOthers) {
  tt_test::shared_mariadb({std::string(TT_SOURCE_DIR) + "/tests/fixtures/mysql_fixture.sql"});
  std::string file = dir.file("over.mdb");
  program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string whole_run = r.out;
  // An earlier run with a table list adds a table of another database to the file.
  tk_write_file(dir.file("list.txt"), "rows257\n");
  r = agent({"--src=tt_fixture", "--dest=" + file, "--acc_ver=1", "--mode=2", "--tab_file=" + dir.file("list.txt")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "Converting database tt_fixture (1 tables)\nConverting table rows257 (257 records)\n");
  EXPECT_EQ(r.err, "");

  // Mode 1: every table of the source replaces its namesake; the file's own format wins over --acc_ver.
  r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=0", "--mode=1"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, whole_run);
  EXPECT_EQ(r.err, "");
  std::vector<std::string> expected = base_tables("tabletide_demo");
  expected.push_back("rows257");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(mdb_tables(file), expected);
  EXPECT_EQ(run_program({"/usr/bin/mdb-ver", file}).out, "JET4\n");
  for (const std::string& table : base_tables("tabletide_demo")) expect_same_rows(file, "tabletide_demo", table);
  expect_same_rows(file, "tt_fixture", "rows257");
  expect_sound(file);

  // Overwritten again, one table and then all: the pages of maps an earlier run gave back are freed too.
  tk_write_file(dir.file("tags.txt"), "tags\n");
  for (const std::string& list : {"--tab_file=" + dir.file("tags.txt"), std::string("--silent")}) {
    r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=1", list});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    expect_sound(file);
  }
  for (const std::string& table : base_tables("tabletide_demo")) expect_same_rows(file, "tabletide_demo", table);
}

TEST_F(Rwfagent, MergeAppendsNewRowsAndReportsTheRest) {
  // Every generation: Access 95/97, 2000 and 2007-and-later files.
  for (const char* version : {"0", "1", "2"}) {
  SCOPED_TRACE(std::string("--acc_ver=") + version);
  const bool jet3 = std::string(version) == "0";
  server.exec("DROP DATABASE IF EXISTS e2e_merge");
  server.exec("CREATE DATABASE e2e_merge");
  server.exec("CREATE TABLE kinds (id INT NOT NULL PRIMARY KEY, name VARCHAR(20) NULL, note TEXT NULL, UNIQUE KEY by_name (name))", "e2e_merge");
  server.exec("INSERT INTO kinds VALUES (1, 'one', NULL), (2, 'two', REPEAT('long ', 900))", "e2e_merge");
  server.exec("CREATE TABLE notes (id INT NOT NULL PRIMARY KEY, body VARCHAR(20) NULL)", "e2e_merge");
  server.exec("INSERT INTO notes VALUES (1, 'first')", "e2e_merge");
  std::string file = dir.file(std::string("merge") + version + (std::string(version) == "2" ? ".accdb" : ".mdb"));
  program_result r = agent({"--src=e2e_merge", "--dest=" + file, std::string("--acc_ver=") + version});
  ASSERT_EQ(r.status, 0) << r.out << r.err;

  // The source moves on: new rows (one with a long text), a table whose structure changed, a table the file lacks.
  server.exec("INSERT INTO kinds VALUES (3, 'three', REPEAT('more ', 1200)), (4, 'four', NULL)", "e2e_merge");
  server.exec("ALTER TABLE notes ADD COLUMN extra INT NULL", "e2e_merge");
  server.exec("INSERT INTO notes VALUES (2, 'second', 7)", "e2e_merge");
  server.exec("CREATE TABLE fresh (id INT NOT NULL PRIMARY KEY)", "e2e_merge");
  server.exec("INSERT INTO fresh VALUES (10), (11)", "e2e_merge");
  std::string before = tk_read_file(file);

  r = agent({"--src=e2e_merge", "--dest=" + file, std::string("--acc_ver=") + version, "--mode=3"});
  // Records and tables that could not be merged are reported and skipped; the run itself succeeds.
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  const std::string duplicate =
      "Duplicate field values being used for an unique index were found. See 'Troubleshooting' article of the "
      "product documentation for solution.\n";
  EXPECT_EQ(r.out,
            "Converting database e2e_merge (3 tables)\n"
            "Converting table fresh (2 records)\n"
            "Converting table kinds (4 records)\n"
            "Error:\nkinds, record #1: " + duplicate +
            "Error:\nkinds, record #2: " + duplicate +
            "Error:\nnotes: The structure of data source does not conform to the destination table.\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(mdb_tables(file), (std::vector<std::string>{"fresh", "kinds", "notes"}));
  expect_same_rows(file, "e2e_merge", "kinds", jet3);
  expect_same_rows(file, "e2e_merge", "fresh", jet3);
  auto notes = mdb_export(file, "notes");
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0], (std::vector<std::string>{"1", "first"}));
  EXPECT_EQ(mdb_reader_rows(file, "notes").size(), 1u);
  expect_sound(file);
  EXPECT_NE(tk_read_file(file), before);
  server.exec("DROP DATABASE e2e_merge");
  }
}

TEST_F(Rwfagent, OverwriteTheWholeFileDropsWhatItHeld) {
  tt_test::shared_mariadb({std::string(TT_SOURCE_DIR) + "/tests/fixtures/mysql_fixture.sql"});
  std::string file = dir.file("whole.mdb");
  tk_write_file(dir.file("list.txt"), "rows257\n");
  program_result r = agent({"--src=tt_fixture", "--dest=" + file, "--acc_ver=1", "--tab_file=" + dir.file("list.txt")});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  ASSERT_EQ(mdb_tables(file), std::vector<std::string>{"rows257"});

  r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=0"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  std::vector<std::string> tables = base_tables("tabletide_demo");
  EXPECT_EQ(split(r.out, '\n')[0], "Converting database tabletide_demo (" + std::to_string(tables.size()) + " tables)");
  EXPECT_EQ(mdb_tables(file), tables);
  for (const std::string& table : tables) expect_same_rows(file, "tabletide_demo", table);
  expect_sound(file);
}

TEST_F(Rwfagent, MergeFillsAFileOfDefinitions) {
  std::string file = dir.file("defs.mdb");
  program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--tab_def"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  // Every row goes into the empty tables already there, their indexes kept up to date.
  r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=3"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out,
            "Converting database tabletide_demo (5 tables)\nConverting table customers (6 records)\n"
            "Converting table order_lines (7 records)\nConverting table orders (5 records)\n"
            "Converting table products (5 records)\nConverting table tags (4 records)\n");
  EXPECT_EQ(r.err, "");
  for (const std::string& table : base_tables("tabletide_demo")) expect_same_rows(file, "tabletide_demo", table);
  expect_sound(file);
}

TEST_F(Rwfagent, SafeNamesFindTheirTablesOnLaterRuns) {
  tt_test::shared_mariadb({std::string(TT_SOURCE_DIR) + "/tests/fixtures/mysql_fixture.sql"});
  std::string file = dir.file("safe.mdb");
  tk_write_file(dir.file("list.txt"), "it's\nback`tick\n");
  const std::string lines =
      "Converting database tt_fixture (2 tables)\nConverting table it's (1 records)\n"
      "Converting table back`tick (1 records)\n";
  program_result r = agent({"--src=tt_fixture", "--dest=" + file, "--acc_ver=1", "--tab_file=" + dir.file("list.txt")});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  // A later run replaces (mode 1) or merges into (mode 3) the tables stored under safe names, never adds new ones.
  r = agent({"--src=tt_fixture", "--dest=" + file, "--acc_ver=1", "--mode=1", "--tab_file=" + dir.file("list.txt")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, lines);
  const std::string duplicate =
      "Duplicate field values being used for an unique index were found. See 'Troubleshooting' article of the "
      "product documentation for solution.\n";
  r = agent({"--src=tt_fixture", "--dest=" + file, "--acc_ver=1", "--mode=3", "--tab_file=" + dir.file("list.txt")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Converting database tt_fixture (2 tables)\nConverting table it's (1 records)\n"
                   "Error:\nit's, record #1: " + duplicate +
                   "Converting table back`tick (1 records)\nError:\nback`tick, record #1: " + duplicate);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(mdb_tables(file), (std::vector<std::string>{"back_tick", "it_s"}));
  EXPECT_EQ(mdb_export(file, "it_s").size(), 1u);
  EXPECT_EQ(mdb_reader_rows(file, "back_tick").size(), 1u);
  expect_sound(file);
}

TEST_F(Rwfagent, ProfileWithAQuery) {
  const tt_test::mariadb_facts& f = server.facts();
  tk_write_file(dir.file("p.rwf"),
                "[Generic settings]\r\nsrc=tabletide_demo\r\ndest=" + dir.file("from_profile.mdb") +
                    "\r\nmode=0\r\nlogfile=" + dir.file("trace.log") + "\r\n[MySQL settings]\r\nhost=" + f.host +
                    "\r\nuser=" + f.user + "\r\npassword=" + f.password + "\r\nport=" + std::to_string(f.port) +
                    "\r\n[MS Access settings]\r\ndestination format=1\r\n[Selected Tables]\r\nproducts\r\n"
                    "paid=SELECT order_id, total FROM orders WHERE status = 'paid'\r\n");
  // The connection options are ignored with a profile (the port names no server); a later --dest= wins.
  program_result r = agent({"--port=1", "--profile=" + dir.file("p.rwf"), "--dest=" + dir.file("later")}, false);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out,
            "Converting database tabletide_demo (2 tables)\nConverting table products (5 records)\n"
            "Converting table paid (2 records)\n");
  EXPECT_FALSE(tk_file_exists(dir.file("from_profile.mdb")));
  EXPECT_EQ(mdb_tables(dir.file("later.mdb")), (std::vector<std::string>{"paid", "products"}));
  auto paid = mdb_export(dir.file("later.mdb"), "paid");
  ASSERT_EQ(paid.size(), 2u);
  EXPECT_EQ(paid[0][0], "1");
  std::string trace = tk_read_file(dir.file("trace.log"));
  EXPECT_NE(trace.find("Conversion started on"), std::string::npos);
  EXPECT_EQ(trace.find(f.password), std::string::npos);
}

TEST_F(Rwfagent, ASilentRunStillTracesEachTablesCount) {
  // Nothing is printed, but the log keeps every table's line with its number of records.
  program_result r = agent({"--src=tabletide_demo", "--dest=" + dir.file("quiet"), "--acc_ver=1", "--silent",
                            "--logfile=" + dir.file("quiet.log")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  std::string trace = tk_read_file(dir.file("quiet.log"));
  EXPECT_NE(trace.find("Converting table customers (6 records)"), std::string::npos) << trace;
  EXPECT_NE(trace.find("Converting table tags (4 records)"), std::string::npos) << trace;
  EXPECT_EQ(mdb_export(dir.file("quiet.mdb"), "customers").size(), 6u);
  expect_sound(dir.file("quiet.mdb"));
}

TEST_F(Rwfagent, DefinitionsOnlyAndNoIndexes) {
  program_result r = agent({"--src=tabletide_demo", "--dest=" + dir.file("defs"), "--acc_ver=1", "--tab_def"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(mdb_export(dir.file("defs.mdb"), "customers").empty());
  std::string schema = run_program({"/usr/bin/mdb-schema", "--indexes", dir.file("defs.mdb"), "postgres"}).out;
  EXPECT_NE(schema.find("CREATE UNIQUE INDEX \"customers_uq_customers_email_idx\""), std::string::npos);
  EXPECT_NE(schema.find("PRIMARY KEY (\"order_id\", \"line_no\")"), std::string::npos);

  r = agent({"--src=tabletide_demo", "--dest=" + dir.file("noidx"), "--acc_ver=1", "--skip_idx"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(mdb_export(dir.file("noidx.mdb"), "customers").size(), 6u);
  schema = run_program({"/usr/bin/mdb-schema", "--indexes", dir.file("noidx.mdb"), "postgres"}).out;
  EXPECT_EQ(schema.find("CREATE UNIQUE INDEX"), std::string::npos);
  EXPECT_EQ(schema.find("PRIMARY KEY"), std::string::npos);
}

TEST_F(Rwfagent, MergeIntoAFileThatIsNoAccessDatabase) {
  tk_write_file(dir.file("text.mdb"), "0123456789");
  program_result r = agent({"--src=tabletide_demo", "--dest=" + dir.file("text.mdb"), "--acc_ver=1", "--mode=3"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "Error:\nFile '" + dir.file("text.mdb") + "' does not comply with MS Access format.\n");
  EXPECT_EQ(tk_read_file(dir.file("text.mdb")), "0123456789");
}

TEST_F(Rwfagent, OptionErrors) {
  const std::string usage = rwf_usage_text() + "\n";
  struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{}, usage},
      {{"--src=x", "--help"}, usage},
      {{"--foo", "--src=x"}, usage},
      {{"--src=x", "--dest=", "--acc_ver=1"}, usage},
      {{"--acc_ver=3"}, "Invalid format specification\n"},
      {{"--acc_ver=01"}, "Invalid format specification\n"},
      {{"--acc_ver="}, "Invalid format specification\n"},
      {{"--mode=4"}, "Invalid merge/overwrite mode\n"},
      {{"--dest=x", "--acc_ver=1"}, "You should enter source MySQL database name\n"},
      {{"--src=x", "--acc_ver=1"}, "You should enter destination MS Access database name\n"},
      {{"--src=x", "--dest=x"}, "You should specify MS Access format version (use '--acc_ver' option)\n"},
      {{"--tab_file=/no/such/list"}, "Table names file does not exist.\nPlease verify the correct path/name was given.\n"},
      {{"--silent", "--acc_ver=9"}, ""},
  };
  for (auto& c : cases) {
    std::vector<std::string> argv = {RWFAGENT_PATH};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    program_result r = run_program(argv, {"HOME=" + home});
    EXPECT_EQ(r.status, 255) << c.args.size();
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
  // Errors of settings that only show when they are used go to standard output as error blocks.
  program_result r = agent({"--profile=" + dir.file("none.rwf")});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "Error:\nProfile does not exist. Please verify the correct path/name was given.\n");
  tk_write_file(dir.file("port.rwf"), "[MySQL settings]\r\nport=abc\r\n");
  r = agent({"--profile=" + dir.file("port.rwf"), "--src=x", "--dest=" + dir.file("a"), "--acc_ver=1"}, false);
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "Error:\nInvalid port number\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(Rwfagent, ConnectionAndSourceErrorsKeepTheOldFile) {
  tk_write_file(dir.file("old.mdb"), "the user's old file");
  const tt_test::mariadb_facts& f = server.facts();
  program_result r = run_program({RWFAGENT_PATH, "--mysqlh=" + f.host, "--port=" + std::to_string(f.port),
                                  "--mysqlu=" + f.user, "--mysqlp=wrong", "--src=tabletide_demo",
                                  "--dest=" + dir.file("old.mdb"), "--acc_ver=1"},
                                 {"HOME=" + home});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out,
            "Error:\nAccess denied. Verify the user name and password are correct, and you have the necessary "
            "privileges to connect to the target MySQL server.\n");
  EXPECT_EQ(r.err, "");

  r = agent({"--src=no_such_db", "--dest=" + dir.file("old.mdb"), "--acc_ver=1"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "Error:\nUnknown database 'no_such_db'\n");
  EXPECT_EQ(tk_read_file(dir.file("old.mdb")), "the user's old file");
  // Nothing but the old file is left in the folder, and no settings file in the home folder.
  EXPECT_FALSE(tk_file_exists(home + "/.config"));
}

TEST_F(Rwfagent, DestinationChecks) {
  mkdir(dir.file("folder").c_str(), 0755);
  tk_write_file(dir.file("ro.mdb"), "x");
  chmod(dir.file("ro.mdb").c_str(), 0444);
  struct {
    std::string dest;
    std::string out;
  } cases[] = {
      {dir.file("none/a.mdb"), "Error:\nDestination path does not exist. Please verify the correct path was given.\n"},
      {dir.file("ro.mdb"), "Error:\nDestination name specifies an existing read-only file.\n"},
      {dir.file("folder"), "Error:\nDestination name should specify a file, not folder.\n"},
  };
  for (auto& c : cases) {
    program_result r = agent({"--src=tabletide_demo", "--dest=" + c.dest, "--acc_ver=1"});
    EXPECT_EQ(r.status, 255) << c.dest;
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, "");
  }
  EXPECT_EQ(tk_read_file(dir.file("ro.mdb")), "x");

  // A folder the user may not write into: as root, run the program as nobody.
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
  chmod(dir.path().c_str(), 0755);
  chmod(home.c_str(), 0777);
  program_result r = agent({"--src=tabletide_demo", "--dest=" + dir.file("a.mdb"), "--acc_ver=1"}, true, 65534);
  if (r.status == 126 || r.status == 127) GTEST_SKIP() << "nobody cannot run the program from this folder";
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out,
            "Error:\nCannot create or write into the destination file. Run the program as Administrator or change "
            "folder.\n");
  EXPECT_FALSE(tk_file_exists(dir.file("a.mdb")));
}

}  // namespace
