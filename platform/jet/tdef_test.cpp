#include "platform/jet/tdef_reader.h"

#include <gtest/gtest.h>

#include "platform/jet/data_page.h"
#include "platform/jet/error.h"
#include "platform/jet/memory_pages.h"
#include "platform/jet/page_file.h"
#include "platform/jet/row_reader.h"
#include "platform/jet/tdef_builder.h"

namespace jet {
namespace {

std::string sample(const char* name) { return std::string(TT_TEST_DATA_DIR) + "/access-format/" + name; }

TEST(Tdef, ReadsTheEngineBlanksCatalog) {
  const format& f = format::jet4();
  auto file = page_file::open(sample("jackcess/adox_jet4.mdb"), f.page_size);
  table_def objects = read_tdef(f, *file, 2);
  ASSERT_EQ(objects.columns.size(), 17u);
  EXPECT_TRUE(objects.system);
  EXPECT_EQ(objects.row_count, 8u);
  EXPECT_EQ(objects.indexes.size(), 2u);
  ASSERT_EQ(objects.logical_indexes.size(), 2u);
  EXPECT_EQ(objects.logical_indexes[0].name, L"Id");
  const column_def* name = objects.find_column(L"Name");
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->type, column_type::text);
  EXPECT_EQ(name->length, 510);

  auto page = file->read(14);
  auto info = read_data_page(f, page, 14);
  ASSERT_EQ(info.rows.size(), 8u);
  auto row = read_row(f, objects, std::span(page).subspan(info.rows[0].offset, info.rows[0].length),
                      [&](uint32_t p) { return file->read(p); });
  EXPECT_EQ(row[name->number], value::text(L"Tables"));
  EXPECT_EQ(row[objects.find_column(L"Id")->number], value::long_integer(0x0F000001));
  EXPECT_TRUE(row[objects.find_column(L"LvProp")->number].is_null());
}

TEST(Tdef, WritesAndReadsBackIncludingAChainedDefinition) {
  const format& f = format::jet4();
  memory_pages pages(f.page_size);
  pages.allocate();  // page 0 is the header in a real file
  table_def t;
  t.tdef_page = pages.allocate();
  t.row_count = 7;
  t.autonumber_last = 42;
  for (uint16_t i = 0; i < 200; ++i) {
    column_def c;
    c.name = L"Column number " + std::to_wstring(i);
    c.type = i % 2 ? column_type::text : column_type::long_integer;
    c.number = i;
    c.flags = i % 2 ? 0x02 : 0x03;
    c.length = i % 2 ? 100 : 4;
    t.columns.push_back(c);
  }
  t.max_columns = 200;
  index_def ix;
  ix.columns = {{1, true}, {2, false}};
  ix.flags = 0x89;
  ix.root_page = 9;
  t.indexes.push_back(ix);
  logical_index_def li;
  li.name = L"PrimaryKey";
  li.type = logical_index_type::primary_key;
  t.logical_indexes.push_back(li);
  auto more = write_tdef(f, t, pages);
  EXPECT_GE(more.size(), 2u);
  std::vector<uint32_t> chain;
  table_def back = read_tdef(f, pages, t.tdef_page, &chain);
  EXPECT_EQ(chain.size(), more.size() + 1);
  ASSERT_EQ(back.columns.size(), 200u);
  EXPECT_EQ(back.columns[199].name, L"Column number 199");
  EXPECT_EQ(back.row_count, 7u);
  EXPECT_EQ(back.autonumber_last, 42u);
  EXPECT_EQ(back.indexes[0].columns, ix.columns);
  EXPECT_EQ(back.indexes[0].flags, 0x89);
  EXPECT_EQ(back.logical_indexes[0].name, L"PrimaryKey");
  EXPECT_EQ(encode_tdef(f, back), encode_tdef(f, t));
  // Free-space fields: full pages 0, the last page what is left.
  uint32_t total = uint32_t(encode_tdef(f, t).size());
  uint32_t last_used = total - f.page_size - uint32_t(more.size() - 1) * (f.page_size - 8) + 8;
  EXPECT_EQ(pages.read(more.back())[2] | pages.read(more.back())[3] << 8, int(f.page_size - last_used - 8));
}

TEST(Tdef, RefusesADamagedChain) {
  const format& f = format::jet4();
  memory_pages pages(f.page_size);
  pages.allocate();
  pages.allocate();
  std::vector<uint8_t> p(f.page_size, 0);
  p[0] = 2; p[1] = 1; p[8] = 0xFF; p[9] = 0x20;  // claims 8,447 bytes but has no continuation
  pages.write(1, p);
  EXPECT_THROW(read_tdef(f, pages, 1), error);
  EXPECT_THROW(read_tdef(f, pages, 5), error);
}

}  // namespace
}  // namespace jet
