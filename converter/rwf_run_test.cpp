#include <dirent.h>
#include <gtest/gtest.h>

#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "tests/support/tk_test_support.h"
#include "TK/tk_utils.h"
#include "converter/rwf_conv.h"
#include "tests/support/run_engines_test_support.h"

namespace {

using rows = std::vector<std::vector<std::wstring>>;

class Run : public ::testing::Test {
 protected:
  Run() : handler(tk_dao_error_count, tk_dao_error_table), conv(converter_build::console) {
    source.tables[L"customers"] = make_table({L"id", L"name"}, {{L"1", L"Ann"}, {L"2", L"Bo"}, {L"3", L"Cy"}});
    source.tables[L"orders"] = make_table({L"id"}, {{L"10"}, {L"11"}});
    source.tables[L"order.items"] = make_table({L"id"}, {{L"7"}});
    auto engine = std::make_unique<fake_source>(&source);
    mysql = engine.get();
    conv.set_source_engine(std::move(engine));
    conv.set_destination_factory([] { return std::make_unique<fake_access>(); });
    conv.set_front_end(&front);
    conv.src = L"shop";
    conv.dest = tk_utf8_to_unicode(dir.file("out.mdb"));
    conv.destination_format = format_access_2000;
  }

  fake_store* dest_store() { return fake_access::store_of(dir.file("out.mdb")); }
  std::vector<std::string> folder() {
    std::vector<std::string> names;
    DIR* d = opendir(dir.path().c_str());
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.' || (std::string(e->d_name) != "." && std::string(e->d_name) != ".."))
        names.push_back(e->d_name);
    closedir(d);
    return names;
  }
  // Runs the conversion as a program would; false when the front end ended the program.
  bool convert() {
    try {
      conv();
      return true;
    } catch (const fake_program_end&) {
      return false;
    }
  }

  tk_scratch_dir dir;
  error_handler handler;
  fake_store source;
  fake_source* mysql = nullptr;  // owned by conv
  recording_front_end front;
  rowferry_convertor conv;
};

TEST_F(Run, WholeDatabaseIntoANewFile) {
  ASSERT_TRUE(convert());
  EXPECT_TRUE(conv.completed());
  EXPECT_TRUE(conv.is_done());
  EXPECT_EQ(front.lines, (std::vector<std::wstring>{L"Converting database shop (3 tables)",
                                                     L"Converting table customers (3 records)",
                                                     L"Converting table order.items (1 records)",
                                                     L"Converting table orders (2 records)"}));
  EXPECT_TRUE(front.errors.empty());
  fake_store* out = dest_store();
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->generation, 0);
  EXPECT_EQ(out->tables.at(L"customers").rows, source.tables[L"customers"].rows);
  // A name the destination refuses gets a safe one; the user still sees the source name.
  EXPECT_EQ(out->tables.count(L"order_items"), 1u);
  EXPECT_EQ(conv.tables_total.load(), 3u);
  EXPECT_EQ(conv.current_table.load(), 3u);
  EXPECT_EQ(conv.records_total.load(), 2u);
  EXPECT_EQ(conv.current_record.load(), 2u);
  // Only the destination is left in the folder: no temporary file.
  EXPECT_EQ(folder(), std::vector<std::string>{"out.mdb"});
}

TEST_F(Run, ModeZeroKeepsTheOldFileUntilTheNewOneIsComplete) {
  tk_write_file(dir.file("out.mdb"), "old file");
  conv.src = L"nosuchdb";
  EXPECT_TRUE(convert());
  EXPECT_FALSE(conv.completed());
  EXPECT_TRUE(conv.is_done());
  EXPECT_EQ(front.errors, std::vector<std::string>{"|Unknown database 'nosuchdb'"});
  EXPECT_EQ(tk_read_file(dir.file("out.mdb")), "old file");

  // An error that ends the program during the tables leaves the old file too, and no temporary file.
  conv.src = L"shop";
  source.tables[L"customers"].schema[0].name = L"boom";
  front.errors.clear();
  conv.set_front_end(&front);
  struct ending_front : recording_front_end {
    void report(const tk_exception& e, bool r) override {
      recording_front_end::report(tk_exception(e.what(), 1), r);
    }
  } ending;
  conv.set_front_end(&ending);
  EXPECT_FALSE(convert());
  EXPECT_FALSE(conv.completed());
  EXPECT_EQ(tk_read_file(dir.file("out.mdb")), "old file");
  EXPECT_EQ(folder(), std::vector<std::string>{"out.mdb"});

  // A run that goes through replaces it.
  conv.set_front_end(&front);
  source.tables[L"customers"].schema[0].name = L"id";
  conv.selected_items.clear();
  conv.table_list.clear();
  ASSERT_TRUE(convert());
  EXPECT_TRUE(conv.completed());
  ASSERT_NE(dest_store(), nullptr);
  EXPECT_EQ(dest_store()->tables.size(), 3u);
}

TEST_F(Run, RecordAndItemErrorsSkipOnlyWhatFailed) {
  source.tables[L"customers"].rows[1][1] = L"reject";
  source.tables[L"orders"].schema[0].name = L"boom";
  conv.selected_items = {{L"q", L"not a select"}, {L"gone", L""}};
  conv.table_list = {L"customers", L"orders"};
  ASSERT_TRUE(convert());
  EXPECT_TRUE(conv.completed());
  EXPECT_EQ(front.errors, (std::vector<std::string>{"q|query failed", "customers, record #2|duplicate",
                                                    "orders|cannot create"}));
  EXPECT_EQ(front.missing, std::vector<std::wstring>{L"gone"});
  EXPECT_EQ(dest_store()->tables.at(L"customers").rows, (rows{{L"1", L"Ann"}, {L"3", L"Cy"}}));
  // The missing table is reported, not counted among the tables converted.
  EXPECT_EQ(conv.tables_total.load(), 3u);
  EXPECT_EQ(conv.current_table.load(), 3u);
}

TEST_F(Run, TablesKeepTheirNamesBeforeQueriesAndDuplicateNamesGetNumbers) {
  conv.selected_items = {{L"orders", L"SELECT * FROM customers"}};
  conv.table_list = {L"orders", L"ORDERS"};
  source.tables[L"ORDERS"] = make_table({L"x"}, {{L"a"}});
  ASSERT_TRUE(convert());
  fake_store* out = dest_store();
  // Of two tables whose names differ only in case the first the source lists keeps its name; the query, though
  // converted first, takes no name of a table.
  EXPECT_EQ(out->tables.at(L"ORDERS").rows.size(), 1u);
  EXPECT_EQ(out->tables.at(L"orders00000").rows.size(), 2u);
  EXPECT_EQ(out->tables.at(L"orders00001").rows.size(), 3u);  // the query's rows
  EXPECT_EQ(front.lines[1], L"Converting table orders (3 records)");
}

TEST_F(Run, ModesAgainstAnExistingFile) {
  ASSERT_TRUE(convert());
  fake_store* first = dest_store();
  first->tables[L"extra"] = make_table({L"e"}, {{L"keep"}});
  source.tables[L"orders"].rows.push_back({L"12"});
  source.tables[L"customers"].rows.push_back({L"4", L"Di"});

  // Mode 2: existing tables are skipped silently; the file keeps its own generation whatever is chosen.
  conv.mode = mode_skip_tables;
  conv.destination_format = format_access_2007;
  conv.selected_items.clear();
  conv.table_list = {L"orders"};
  front.lines.clear();
  ASSERT_TRUE(convert());
  EXPECT_EQ(dest_store(), first);
  EXPECT_EQ(fake_access::last_version(), 0);
  EXPECT_EQ(first->tables.at(L"orders").rows.size(), 2u);
  EXPECT_EQ(front.lines.size(), 1u);
  EXPECT_EQ(conv.current_table.load(), 1u);

  // Mode 1: the table is written anew; other tables stay. A table stored under a safe name by the first run is
  // the one overwritten, not doubled under a numbered name.
  conv.mode = mode_overwrite_tables;
  conv.selected_items.clear();
  conv.table_list = {L"orders", L"order.items"};
  source.tables[L"order.items"].rows.push_back({L"8"});
  ASSERT_TRUE(convert());
  EXPECT_EQ(first->tables.at(L"orders").rows.size(), 3u);
  EXPECT_EQ(first->tables.at(L"order_items").rows.size(), 2u);
  EXPECT_EQ(first->tables.count(L"order_items00000"), 0u);
  EXPECT_EQ(first->tables.count(L"extra"), 1u);

  // Mode 3: rows are added; a table of another structure is one item error.
  conv.mode = mode_merge;
  conv.selected_items.clear();
  conv.table_list = {L"orders", L"customers"};
  first->tables[L"customers"].schema.push_back(t_ftd(50, L"more", VT_BSTR, false, false, ole_variant(), 0, L""));
  ASSERT_TRUE(convert());
  EXPECT_EQ(first->tables.at(L"orders").rows.size(), 6u);
  EXPECT_EQ(first->tables.at(L"order_items").rows.size(), 2u);
  EXPECT_EQ(front.errors,
            std::vector<std::string>{"customers|The structure of data source does not conform to the destination table."});
  EXPECT_TRUE(conv.completed());
}

TEST_F(Run, DefinitionsOnlySkipIndexesAndStop) {
  conv.tab_def = true;
  conv.skip_idx = true;
  conv.table_list = {L"customers"};
  ASSERT_TRUE(convert());
  EXPECT_TRUE(dest_store()->tables.at(L"customers").rows.empty());
  EXPECT_EQ(fake_access::index_counts()[L"customers"], 0u);
  EXPECT_EQ(front.lines.back(), L"Converting table customers (3 records)");

  // A stop request ends the run between items; the new file is not kept.
  std::remove(dir.file("out.mdb").c_str());
  conv.selected_items.clear();
  conv.request_stop();
  ASSERT_TRUE(convert());
  EXPECT_FALSE(conv.completed());
  EXPECT_TRUE(folder().empty());
  conv.clear_stop();

  // An empty selection without the all-tables rule still stamps and ends.
  front.all_when_empty = false;
  conv.selected_items.clear();
  conv.table_list.clear();
  ASSERT_TRUE(convert());
  EXPECT_TRUE(conv.completed());
  EXPECT_EQ(conv.tables_total.load(), 0u);
}

TEST_F(Run, RowsAreCountedOnlyForAProgressLineThatIsShownOrTraced) {
  // Shown nowhere (a silent console run without a log): no count, no table lines, every row.
  front.shown = false;
  ASSERT_TRUE(convert());
  EXPECT_EQ(mysql->counts, 0);
  EXPECT_EQ(front.lines, std::vector<std::wstring>{L"Converting database shop (3 tables)"});
  EXPECT_EQ(dest_store()->tables.at(L"customers").rows, source.tables[L"customers"].rows);
  EXPECT_EQ(dest_store()->tables.at(L"orders").rows, source.tables[L"orders"].rows);

  // Not shown, but traced: the log gets each table's line with its count.
  std::remove(dir.file("out.mdb").c_str());
  conv.selected_items.clear();
  {
    tk_logger log(dir.file("run.log").c_str(), true, 3, false);
    ASSERT_TRUE(convert());
  }
  EXPECT_EQ(mysql->counts, 3);
  EXPECT_NE(tk_read_file(dir.file("run.log")).find("Converting table customers (3 records)"), std::string::npos);

  // Shown: counted again.
  std::remove(dir.file("out.mdb").c_str());
  conv.selected_items.clear();
  front.shown = true;
  front.lines.clear();
  ASSERT_TRUE(convert());
  EXPECT_EQ(mysql->counts, 6);
  EXPECT_EQ(front.lines.back(), L"Converting table orders (2 records)");
}

TEST_F(Run, SettingsAndSourceHelpers) {
  conv.port = "3310abc";
  conv.connect_mysql_server();
  conv.port = "0";
  EXPECT_THROW(conv.connect_mysql_server(), tk_exception);
  EXPECT_TRUE(conv.test_query(L"SELECT 1"));
  EXPECT_FALSE(conv.test_query(L"SELECT 2"));
  conv.src = L"other";
  EXPECT_FALSE(conv.test_query(L"SELECT 1"));
  conv.src = L"shop";
  std::vector<std::wstring> tables;
  conv.get_all_tables(tables);
  EXPECT_EQ(tables.size(), 3u);
}

}  // namespace
