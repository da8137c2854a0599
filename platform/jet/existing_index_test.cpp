// The stored index trees read back for in-place appends: every stored entry in order, and look-ups of
// stored keys and of keys between them, over trees of one leaf and of several levels in each
// generation.
#include <gtest/gtest.h>

#include "platform/jet/database.h"
#include "platform/jet/existing_index.h"
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

}  // namespace
}  // namespace jet
