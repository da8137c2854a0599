// The stored index trees read back for in-place appends: every stored entry in order, and look-ups of
// stored keys and of keys between them, over trees of one leaf and of several levels in each
// generation.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "platform/jet/database.h"
#include "platform/jet/existing_index.h"
#include "platform/jet/index_page.h"
#include "platform/jet/index_scan.h"
#include "platform/jet/reader.h"
#include "platform/jet/test_scratch.h"

namespace jet {
namespace {

TEST(ExistingIndex, WalksEveryEntryAndFindsExactlyTheStoredKeys) {
  for (generation gen : {generation::jet3, generation::jet4, generation::ace}) {
    for (int rows : {0, 3, 6000}) {
      SCOPED_TRACE(std::string(generation_name(gen)) + ", " + std::to_string(rows) + " rows");
      scratch_folder s;
      const std::string path = s.file(gen == generation::ace ? "t.accdb" : "t.mdb");
      {
        auto db = database::create(path, gen);
        db->add_table(L"T", {{.name = L"Name", .type = column_type::text, .size = 60}},
                      {{.name = L"ByName", .fields = {{L"Name"}}, .unique = true}});
        for (int i = 0; i < rows; ++i) db->append_row(L"T", {value::text(L"key " + std::to_wstring(i * 2))});
        db->close();
      }
      auto r = database_reader::open(path);
      const table_def t = r->table(L"T");
      const uint32_t root = t.indexes.at(0).root_page;
      std::vector<index_entry> stored = read_index_entries(r->fmt(), r->pages(), root);
      ASSERT_EQ(stored.size(), size_t(rows));
      if (rows > 1000) {
        EXPECT_GT(check_index_tree(r->fmt(), r->pages(), root, t.tdef_page).depth, 1u);
      }
      // A small filter: most absent keys then pass it and descend the tree.
      existing_index ix(r->fmt(), r->pages(), root, stored.size(), 64);
      size_t walked = 0;
      for (const index_entry_ref* e = ix.next(); e; e = ix.next(), ++walked) {
        ASSERT_LT(walked, stored.size());
        EXPECT_EQ(bytes(e->key.begin(), e->key.end()), stored[walked].key);
        EXPECT_EQ(e->page, stored[walked].page);
        EXPECT_EQ(e->row, stored[walked].row);
      }
      EXPECT_EQ(walked, stored.size());
      EXPECT_EQ(ix.next(), nullptr);  // the end stays the end
      for (const auto& e : stored) {
        EXPECT_TRUE(ix.contains(e.key));
        bytes after = e.key;
        after.push_back(0);  // sorts between this key and the next
        EXPECT_FALSE(ix.contains(after));
        bytes before(e.key.begin(), e.key.end() - 1);  // a shorter key sorts first
        EXPECT_FALSE(ix.contains(before));
      }
      EXPECT_FALSE(ix.contains(bytes{0x00}));
      EXPECT_FALSE(ix.contains(bytes(8, 0xFF)));
    }
  }
}

TEST(ExistingIndex, ADamagedLeafStopsTheWalkWhereItLiesWhetherReadAheadOrNot) {
  scratch_folder s;
  const std::string path = s.file("t.mdb");
  {
    auto db = database::create(path, generation::jet4);
    db->add_table(L"T", {{.name = L"Name", .type = column_type::text, .size = 60}},
                  {{.name = L"ByName", .fields = {{L"Name"}}, .unique = true}});
    for (int i = 0; i < 6000; ++i) db->append_row(L"T", {value::text(L"key " + std::to_wstring(i * 2))});
    db->close();
  }
  uint32_t root = 0;
  std::vector<index_entry> stored;
  {
    auto r = database_reader::open(path);
    root = r->table(L"T").indexes.at(0).root_page;
    stored = read_index_entries(r->fmt(), r->pages(), root);
  }
  // The leaf that holds the middle entry is no longer an index page.
  uint32_t damaged = 0;
  {
    auto r = database_reader::open(path);
    for (uint32_t p = 1; p < r->pages().page_count() && damaged == 0; ++p) {
      auto bytes = r->pages().read(p);
      if (bytes[0] != page_type::index_leaf) continue;
      index_page leaf = read_index_page(r->fmt(), bytes, p);
      if (leaf.entries.empty()) continue;
      auto it = std::find_if(stored.begin(), stored.end(), [&](const index_entry& e) { return e.key == leaf.entries.front().key; });
      if (it != stored.end() && size_t(it - stored.begin()) > stored.size() / 3) damaged = p;
    }
  }
  ASSERT_NE(damaged, 0u);
  {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(std::streamoff(damaged) * 4096);
    f.put(char(page_type::data));
  }
  auto r = database_reader::open(path);
  std::vector<size_t> walked_before_error;
  for (size_t expected_keys : {size_t(10), stored.size()}) {  // walked here, then read ahead
    SCOPED_TRACE(expected_keys);
    existing_index ix(r->fmt(), r->pages(), root, expected_keys, 64);
    size_t walked = 0;
    int number = error_of([&] {
      for (const index_entry_ref* e = ix.next(); e; e = ix.next()) {
        ASSERT_LT(walked, stored.size());
        EXPECT_EQ(bytes(e->key.begin(), e->key.end()), stored[walked].key);
        ++walked;
      }
    });
    EXPECT_NE(number, 0);
    EXPECT_GT(walked, 0u);
    EXPECT_LT(walked, stored.size());
    walked_before_error.push_back(walked);
  }
  EXPECT_EQ(walked_before_error[0], walked_before_error[1]);
  // A walk given up half-way (the read-ahead still running or waiting) ends cleanly.
  for (int i = 0; i < 20; ++i) {
    existing_index ix(r->fmt(), r->pages(), root, stored.size(), 64);
    for (int k = 0; k < i * 50 && ix.next(); ++k) {
    }
  }
}

}  // namespace
}  // namespace jet
