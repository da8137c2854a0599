// The walk of an index tree from a key on, over trees of one leaf and of several levels.
#include "platform/jet/index_seek.h"

#include <gtest/gtest.h>

#include "platform/jet/database.h"
#include "platform/jet/index_key.h"
#include "platform/jet/reader.h"
#include "platform/jet/test_scratch.h"

namespace jet {
namespace {

TEST(IndexSeek, StartsAtTheFirstKeyNotBelowAndWalksTheLeaves) {
  scratch_folder dir;
  for (int rows : {10, 20000}) {
    std::string path = dir.file("seek" + std::to_string(rows) + ".mdb");
    auto db = database::create(path);
    size_t t = db->add_table(L"T", {{.name = L"id", .type = column_type::long_integer}},
                             {{.name = L"PrimaryKey", .fields = {{L"id"}}, .primary = true}});
    for (int i = 0; i < rows; ++i) db->append_row(t, {value::long_integer(i * 2)});  // even ids only
    db->close();
    auto r = database_reader::open(path);
    table_def def = r->table(L"T");
    auto count_from = [&](int32_t from) {
      bytes key;
      append_column_key(key, r->fmt(), def.columns[0], true, value::long_integer(from));
      index_seek seek(r->fmt(), r->pages(), def.indexes[0].root_page, key);
      size_t n = 0;
      bytes first;
      while (const index_entry* e = seek.next()) {
        if (n++ == 0) first = e->key;
      }
      bytes expected_first;
      append_column_key(expected_first, r->fmt(), def.columns[0], true, value::long_integer(from < 0 ? 0 : (from % 2 ? from + 1 : from)));
      if (n > 0) {
        EXPECT_EQ(first, expected_first) << rows << " from " << from;
      }
      return n;
    };
    EXPECT_EQ(count_from(0), static_cast<size_t>(rows));
    EXPECT_EQ(count_from(7), static_cast<size_t>(rows - 4));  // 8, 10, ...
    EXPECT_EQ(count_from(rows * 2 - 2), 1u);
    EXPECT_EQ(count_from(rows * 2), 0u);
    EXPECT_EQ(count_from(-5), static_cast<size_t>(rows));
  }
}

}  // namespace
}  // namespace jet
