// Usage maps at the edge of the inline bitmap: a table whose data pages span exactly the inline map's
// bits keeps an inline map, one page more turns it into a reference map; both read back whole.
#include "platform/jet/usage_map.h"

#include <gtest/gtest.h>

#include "platform/jet/database.h"
#include "platform/jet/reader.h"
#include "platform/jet/reader_oracles.h"
#include "platform/jet/table_pages.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/verifier.h"

namespace jet {
namespace {

// One row per data page: more than half a page of fixed binary columns.
std::vector<column_spec> page_sized_row(const format& f) {
  std::vector<column_spec> cols;
  for (uint32_t bytes = 0; bytes <= f.page_size / 2; bytes += 255)
    cols.push_back({.name = L"B" + std::to_wstring(cols.size()), .type = column_type::binary, .size = 255});
  return cols;
}

// Writes `rows` page-sized rows into table "Wide" and returns its data pages.
std::vector<uint32_t> write_wide(const std::string& path, generation gen, size_t rows) {
  auto db = database::create(path, gen);
  auto cols = page_sized_row(db->fmt());
  size_t t = db->add_table(L"Wide", cols, {});
  for (size_t i = 0; i < rows; ++i) {
    std::vector<value> row;
    for (size_t c = 0; c < cols.size(); ++c) row.push_back(value::binary(bytes(255, uint8_t(i + c))));
    db->append_row(t, row);
  }
  db->close();
  auto r = database_reader::open(path);
  return r->data_pages(r->table(L"Wide"));
}

TEST(UsageMapBoundary, PagesSpanningExactlyTheInlineBitsStayInlineOneMoreTurnsItIntoAReferenceMap) {
  for (generation gen : {generation::jet3, generation::jet4, generation::ace}) {
    SCOPED_TRACE(generation_name(gen));
    scratch_folder s;
    const std::string ext = gen == generation::ace ? ".accdb" : ".mdb";
    // Where the table's first data page lies decides how many pages reach the last inline bit.
    const std::vector<uint32_t> probe = write_wide(s.file("probe" + ext), gen, 1);
    ASSERT_EQ(probe.size(), 1u);
    const format& f = database_reader::open(s.file("probe" + ext))->fmt();
    const uint32_t inline_bits = f.usage_map_inline_bytes * 8;
    const uint32_t first = probe.front();
    const size_t exact = (first & ~7u) + inline_bits - first;
    for (size_t rows : {exact, exact + 1}) {
      SCOPED_TRACE(rows);
      const std::string path = s.file(std::to_string(rows) + ext);
      const std::vector<uint32_t> pages = write_wide(path, gen, rows);
      ASSERT_EQ(pages.size(), rows);
      ASSERT_EQ(pages.front(), first);
      ASSERT_EQ(pages.back() - pages.front() + 1, rows);  // one run of pages
      auto r = database_reader::open(path);
      const table_def t = r->table(L"Wide");
      const std::vector<uint8_t> map = row_at(r->fmt(), r->pages(), t.owned_map);
      EXPECT_EQ(map.at(0), rows == exact ? usage_map_layout::inline_map : usage_map_layout::reference_map);
      EXPECT_EQ(read_usage_map(r->fmt(), map, r->pages()), pages);
      EXPECT_EQ(r->read_all(L"Wide").size(), rows);
      const verify_report v = verify_file(path);
      EXPECT_TRUE(v.ok()) << v.text();
      EXPECT_TRUE(v.notes.empty()) << v.text();
      EXPECT_EQ(oracle::mdb_export(path, "Wide").size(), rows);
      const auto dump = oracle::mdb_reader_dump(path, {"Wide"});
      ASSERT_EQ(dump.size(), 1u);
      EXPECT_EQ(dump[0].rows.size(), rows);
    }
  }
}

}  // namespace
}  // namespace jet
