// Changing Access-made ACE files: text keys of a file with the newer "General" sort order appended by us
// equal the ones Access wrote, byte for byte; tables we could not rewrite intact are refused and the file is
// left as it was, its other tables still readable and changeable.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/index_scan.h"
#include "platform/jet/reader.h"
#include "platform/jet/reader_oracles.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/value_codec.h"
#include "platform/jet/verifier.h"

namespace jet {
namespace {

namespace fs = std::filesystem;

// The keys of one index of a table as stored, sorted.
std::vector<bytes> stored_keys(const std::string& path, const std::wstring& table, size_t index) {
  auto db = database_reader::open(path);
  table_def t = db->table(table);
  std::vector<bytes> keys;
  index_tree_report r = check_index_tree(db->fmt(), db->pages(), t.indexes.at(index).root_page, t.tdef_page,
                                         [&](const index_entry& e) { keys.push_back(e.key); });
  EXPECT_TRUE(r.problems.empty());
  std::sort(keys.begin(), keys.end());
  return keys;
}

TEST(ChangeExistingAce, AppendedTextKeysOfANewerSortOrderFileEqualAccessOwn) {
  scratch_folder s;
  const std::string path = s.file("emoticons.accdb");
  fs::copy_file(sample_path("jackcess/testEmoticonsV2010.accdb"), path);
  auto original = database_reader::open(path);
  ASSERT_EQ(original->header().sort_version, 1);  // Access 2010's "General"
  auto rows = original->read_all(L"data");
  ASSERT_FALSE(rows.empty());
  table_def def = original->table(L"data");
  ASSERT_EQ(def.indexes.size(), 1u);
  std::vector<bytes> before = stored_keys(path, L"data", 0);
  original.reset();

  // Every row again (the index is not unique): each new key must equal the one Access wrote for the same text.
  {
    auto db = database::open(path);
    EXPECT_EQ(db->fmt().text_sort, sort_order_kind::general);
    size_t h = db->table_handle(L"data");
    for (const auto& row : rows) db->append_row(h, row);
    db->close();
  }
  std::vector<bytes> expected = before;
  expected.insert(expected.end(), before.begin(), before.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_TRUE(stored_keys(path, L"data", 0) == expected);
  auto after = database_reader::open(path);
  EXPECT_EQ(after->header().version, 3);
  EXPECT_EQ(after->header().sort_version, 1);
  EXPECT_EQ(after->read_all(L"data").size(), 2 * rows.size());
  verify_report r = verify_file(path);
  EXPECT_TRUE(r.ok()) << r.text();
  EXPECT_EQ(oracle::run({"mdb-ver", path}).out, "ACE14\n");
  auto dump = oracle::mdb_reader_dump(path);
  ASSERT_EQ(dump.size(), 1u);
  EXPECT_EQ(size_t(dump[0].row_count), 2 * rows.size());
}

TEST(ChangeExistingAce, TablesWithComplexFieldsAreRefusedAndTheRestStaysChangeable) {
  scratch_folder s;
  const std::string path = s.file("complex.accdb");
  fs::copy_file(sample_path("jackcess/complexDataTestV2007.accdb"), path);
  const std::string before = slurp(path);
  auto number_of = [](const auto& fn) {
    try {
      fn();
    } catch (const error& e) {
      return e.number();
    }
    return 0;
  };
  {
    auto db = database::open(path);
    size_t h = db->table_handle(L"Table1");
    std::vector<value> row(db->table(h).columns.size());
    std::string text;
    EXPECT_EQ(number_of([&] {
                try {
                  db->append_row(h, row);
                } catch (const error& e) {
                  text = e.what();
                  throw;
                }
              }),
              dao_error::not_supported);
    EXPECT_NE(text.find("cannot write"), std::string::npos) << text;
    EXPECT_EQ(number_of([&] { db->delete_table(L"Table1"); }), dao_error::not_supported);
    db->close();
  }
  EXPECT_TRUE(slurp(path) == before);  // refusals leave the file byte for byte

  // Another table can still be added; the complex table reads as before.
  {
    auto db = database::open(path);
    size_t h = db->add_table(L"Plain", {{.name = L"Id", .type = column_type::long_integer}},
                             {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true}});
    db->append_row(h, {value::long_integer(7)});
    db->close();
  }
  auto db = database_reader::open(path);
  EXPECT_EQ(db->read_all(L"Table1").size(), 4u);
  EXPECT_EQ(db->read_all(L"Plain").size(), 1u);
  verify_report r = verify_file(path);
  EXPECT_TRUE(r.ok()) << r.text();
  EXPECT_EQ(oracle::run({"mdb-ver", path}).out, "ACE12\n");
}

}  // namespace
}  // namespace jet

namespace jet {
namespace {

// Access's own tables of an Access-made file (navigation pane, storage, the flat tables of its complex fields) are
// system tables everywhere: not listed as user tables, and never given rows.
TEST(ChangeExistingAce, AccessOwnTablesAreSystemTablesEverywhere) {
  scratch_folder s;
  const std::string path = s.file("blank2010.accdb");
  fs::copy_file(sample_path("jackcess/empty2010.accdb"), path);
  EXPECT_TRUE(database_reader::open(path)->table_names().empty());
  auto db = database::open(path);
  size_t tables = 0;
  for (const auto& o : db->objects()) {
    if (o.kind == object_kind::query) continue;
    ++tables;
    EXPECT_EQ(o.kind, object_kind::system_table) << to_utf8(o.name);
  }
  EXPECT_EQ(tables, 21u);
  size_t h = db->table_handle(L"MSysNavPaneGroups");
  std::vector<value> row(db->table(h).columns.size());
  try {
    db->append_row(h, row);
    ADD_FAILURE();
  } catch (const error& e) {
    EXPECT_EQ(e.number(), dao_error::not_supported);
  }
  db->close();
  EXPECT_TRUE(slurp(path) == slurp(sample_path("jackcess/empty2010.accdb")));
}

}  // namespace
}  // namespace jet
