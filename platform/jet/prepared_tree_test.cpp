#include "platform/jet/prepared_tree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "platform/jet/error.h"
#include "platform/jet/index_scan.h"
#include "platform/jet/index_test_support.h"

namespace jet {
namespace {

const format* const formats[] = {&format::jet3(), &format::jet4(), format::for_generation(generation::ace)};

// `n` sorted entries whose keys are `width` bytes, each key given to `repeat` rows in a row; data
// pages from 1 on, so that they overlap the stand-in numbers of the tree's own pages.
std::vector<index_entry> entries(size_t n, size_t width, size_t repeat = 1) {
  std::vector<index_entry> out;
  for (size_t i = 0; i < n; ++i) {
    index_entry e;
    e.key.assign(width, 0x41);
    const size_t k = i / repeat;
    for (size_t b = 0; b < 3 && b < width; ++b) e.key[width - 1 - b] = uint8_t(k >> (8 * b));
    e.page = uint32_t(1 + i / 100);
    e.row = uint8_t(i % 100);
    out.push_back(std::move(e));
  }
  return out;
}

prepared_tree::entry_source source_of(const std::vector<index_entry>& sorted) {
  return [&sorted](const std::function<void(const index_entry_ref&)>& out) {
    for (const index_entry& e : sorted) out(as_ref(e));
  };
}

// The tree built ahead and placed after a few other pages is the tree built there and then, page
// for page and byte for byte, whatever its depth and format.
TEST(PreparedTreeTest, PlacedTreeIsTheTreeBuiltInPlace) {
  struct shape {
    size_t n, width, repeat;
  };
  const shape shapes[] = {{0, 4, 1}, {1, 4, 1}, {200, 5, 1}, {900, 5, 3}, {4000, 60, 1}, {6000, 400, 2}};
  for (const format* f : formats) {
    std::set<uint32_t> depths;
    for (const shape& s : shapes) {
      SCOPED_TRACE(std::to_string(f->page_size) + " bytes a page, " + std::to_string(s.n) + " entries of " +
                   std::to_string(s.width));
      const std::vector<index_entry> sorted = entries(s.n, s.width, s.repeat);
      scratch_pages in_place(f->page_size), placed(f->page_size);
      for (int k = 0; k < 5; ++k) {
        in_place.allocate();
        placed.allocate();
      }
      const btree_result expected = build_btree(*f, in_place, 42, sorted);
      depths.insert(expected.depth);

      tree_budget budget(size_t(64) << 20);
      std::unique_ptr<prepared_tree> tree = prepared_tree::build(*f, 42, budget, source_of(sorted));
      ASSERT_TRUE(tree);
      EXPECT_EQ(tree->page_count(), expected.pages.size());
      EXPECT_EQ(budget.left(), (size_t(64) << 20) - expected.pages.size() * f->page_size);
      EXPECT_EQ(tree->entries(), s.n);
      EXPECT_EQ(tree->distinct_keys(), (s.n + s.repeat - 1) / s.repeat);
      // Its entries can be had back, in order (for a table taken up again).
      std::vector<index_entry> back;
      tree->for_each_entry([&](const index_entry_ref& e) {
        back.push_back({bytes(e.key.begin(), e.key.end()), e.page, e.row, e.child});
      });
      EXPECT_TRUE(back == sorted);
      const btree_result got = tree->place(placed);
      EXPECT_EQ(budget.left(), size_t(64) << 20);  // written: the memory goes back at once
      EXPECT_EQ(got.root, expected.root);
      EXPECT_EQ(got.depth, expected.depth);
      EXPECT_EQ(got.pages, expected.pages);
      ASSERT_EQ(placed.page_count(), in_place.page_count());
      for (uint32_t p = 0; p < in_place.page_count(); ++p) EXPECT_EQ(placed.read(p), in_place.read(p)) << "page " << p;
      const index_tree_report report = check_index_tree(*f, placed, got.root, 42);
      EXPECT_TRUE(report.problems.empty()) << report.problems.front();
      EXPECT_EQ(report.entries, s.n);
      EXPECT_THROW(tree->place(placed), error);
    }
    // Trees of one page, of one node level and of several.
    EXPECT_TRUE(depths.contains(1) && depths.contains(2) && *depths.rbegin() >= 4) << *depths.rbegin();
  }
}

// A tree larger than what is left of the budget, or one whose building is stopped, is given up and
// its pages go back; a tree the builder refuses raises the builder's own error.
TEST(PreparedTreeTest, GivesUpBeyondTheBudgetOrWhenStoppedAndRaisesTheBuildersErrors) {
  const format& f = format::jet4();
  const std::vector<index_entry> sorted = entries(5000, 20);
  tree_budget small(3 * 4096);
  EXPECT_FALSE(prepared_tree::build(f, 42, small, source_of(sorted)));
  EXPECT_EQ(small.left(), 3u * 4096);
  EXPECT_TRUE(prepared_tree::build(f, 42, small, source_of(entries(300, 5))));  // one page fits

  tree_budget budget(size_t(8) << 20);
  std::atomic<bool> stop{true};
  EXPECT_FALSE(prepared_tree::build(f, 42, budget, source_of(sorted), &stop));
  EXPECT_EQ(budget.left(), size_t(8) << 20);

  // The same error text as building the tree in place.
  std::vector<index_entry> huge = entries(3, 20);
  huge[1].key.assign(max_index_key_size(f) + 1, 0x41);
  std::string in_place, ahead;
  scratch_pages file(4096);
  try {
    build_btree(f, file, 42, huge);
  } catch (const error& e) {
    in_place = e.what();
  }
  try {
    prepared_tree::build(f, 42, budget, source_of(huge));
  } catch (const error& e) {
    ahead = e.what();
  }
  EXPECT_FALSE(in_place.empty());
  EXPECT_EQ(ahead, in_place);
  EXPECT_EQ(budget.left(), size_t(8) << 20);

  // Prepared trees hold their pages until they are written or dropped.
  {
    auto held = prepared_tree::build(f, 42, budget, source_of(sorted));
    ASSERT_TRUE(held);
    EXPECT_EQ(budget.left(), (size_t(8) << 20) - held->page_count() * 4096);
  }
  EXPECT_EQ(budget.left(), size_t(8) << 20);
}

}  // namespace
}  // namespace jet
