// The global usage map of an existing file rewritten: inline while it fits on page 1, a reference map
// with bitmap pages beyond; page 1's other rows kept.
#include <gtest/gtest.h>

#include <map>

#include "platform/jet/data_page.h"
#include "platform/jet/format.h"
#include "platform/jet/global_map.h"

namespace jet {
namespace {

// Pages that read as zeros until written (large files without the memory).
class sparse_pages : public page_allocator, public page_source {
 public:
  explicit sparse_pages(uint32_t count) : count_(count) {}
  uint32_t allocate() override { return count_++; }
  void write(uint32_t page, std::span<const uint8_t> b) override { pages_[page].assign(b.begin(), b.end()); }
  uint32_t page_count() const override { return count_; }
  std::vector<uint8_t> read(uint32_t page) const override {
    auto it = pages_.find(page);
    return it == pages_.end() ? std::vector<uint8_t>(format::jet4().page_size, 0) : it->second;
  }

 private:
  uint32_t count_;
  std::map<uint32_t, std::vector<uint8_t>> pages_;
};

// Page 1 as the engine makes it: an inline map row and the 69-byte second row.
void write_page1(const format& f, sparse_pages& pages) {
  data_page_builder p(f, 0);
  std::vector<uint8_t> row0(69, 0), row1(f.global_map_row1_bytes, 0x5A);
  p.add(row0);
  p.add(row1);
  pages.write(1, p.bytes());
}

std::vector<uint32_t> free_pages(const global_map_state& g) {
  std::vector<uint32_t> out;
  for (uint32_t p = 0; p < g.free.size(); ++p)
    if (g.free[p]) out.push_back(p);
  return out;
}

TEST(GlobalMap, InlineWhileItFitsKeepingTheSecondRow) {
  const format& f = format::jet4();
  sparse_pages pages(700);
  write_page1(f, pages);
  write_global_map(f, pages, pages, {}, [](uint32_t p) { return p == 5 || p == 650; });
  global_map_state g = read_global_free(f, pages);
  EXPECT_TRUE(g.bitmap_pages.empty());
  EXPECT_EQ(free_pages(g), (std::vector<uint32_t>{5, 650}));
  EXPECT_EQ(pages.page_count(), 700u);
  auto info = read_data_page(f, pages.read(1), 1);
  ASSERT_EQ(info.rows.size(), 2u);
  EXPECT_EQ(info.rows[1].length, f.global_map_row1_bytes);
  EXPECT_EQ(pages.read(1)[info.rows[1].offset], 0x5A);
}

TEST(GlobalMap, ReferenceMapBeyondPageOneAndItsBitmapPagesReused) {
  const format& f = format::jet4();
  sparse_pages pages(40000);  // more pages than an inline row on page 1 can describe
  write_page1(f, pages);
  auto is_free = [](uint32_t p) { return p == 3 || p == 33000 || p == 39999; };
  write_global_map(f, pages, pages, {}, is_free);
  EXPECT_EQ(pages.page_count(), 40002u);  // two bitmap pages appended
  global_map_state g = read_global_free(f, pages);
  EXPECT_EQ(g.bitmap_pages, (std::vector<uint32_t>{40000, 40001}));
  EXPECT_EQ(free_pages(g), (std::vector<uint32_t>{3, 33000, 39999}));

  // Written again, the map keeps its bitmap pages.
  write_global_map(f, pages, pages, g.bitmap_pages, [](uint32_t p) { return p == 4; });
  EXPECT_EQ(pages.page_count(), 40002u);
  g = read_global_free(f, pages);
  EXPECT_EQ(free_pages(g), (std::vector<uint32_t>{4}));
}

}  // namespace
}  // namespace jet
