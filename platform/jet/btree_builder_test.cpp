#include "platform/jet/btree_builder.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/jet/error.h"
#include "platform/jet/index_key.h"
#include "platform/jet/index_scan.h"
#include "platform/jet/index_test_support.h"

namespace jet {
namespace {

const format& f4 = format::jet4();

std::vector<index_entry> make_entries(const table_def& t, const index_def& ix, const std::vector<std::vector<value>>& rows) {
  std::vector<index_entry> entries;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (!has_index_entry(t, ix, rows[i])) continue;
    index_entry e;
    e.key = encode_key(f4, t, ix, rows[i]);
    e.page = uint32_t(100 + i / 200);
    e.row = uint8_t(i % 200);
    entries.push_back(std::move(e));
  }
  sort_index_entries(entries);
  return entries;
}

// Builds, then checks the tree strictly and reads it back through the scanner.
btree_result build_and_check(scratch_pages& file, const std::vector<index_entry>& sorted) {
  btree_result r = build_btree(f4, file, 42, sorted);
  index_tree_report rep = check_index_tree(f4, file, r.root, 42);
  EXPECT_TRUE(rep.problems.empty()) << rep.problems.front();
  EXPECT_EQ(rep.entries, sorted.size());
  EXPECT_EQ(rep.depth, r.depth);
  std::vector<uint32_t> a = rep.pages, b = r.pages;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(a, b);  // the usage map gets exactly the tree's pages
  EXPECT_EQ(read_index_entries(f4, file, r.root), sorted);
  return r;
}

TEST(BtreeBuilderTest, EmptyIndexIsTheEngineEmptyLeaf) {
  scratch_pages file(4096);
  btree_result r = build_btree(f4, file, 4, std::vector<index_entry>{});
  EXPECT_EQ(r.depth, 1u);
  ASSERT_EQ(r.pages.size(), 1u);
  EXPECT_EQ(r.root, r.pages[0]);
  // Page 10 of the engine's blank database: the empty leaf of MSysQueries (TDEF 4).
  scratch_pages blank = scratch_pages::from_file(sample_path("jackcess/adox_jet4.mdb"), 4096);
  EXPECT_EQ(file.read(r.root), blank.read(10));
  EXPECT_TRUE(read_index_entries(f4, file, r.root).empty());
}

TEST(BtreeBuilderTest, BuildsMultiLevelTreesWithDuplicatesNullsDescendingAndCompositeKeys) {
  table_def t;
  column_def id, name, amount;
  id.number = 0;
  id.type = column_type::long_integer;
  name.number = 1;
  name.type = column_type::text;
  amount.number = 2;
  amount.type = column_type::double_;
  t.columns = {id, name, amount};
  index_def ix;
  ix.columns = {{1, true}, {2, false}, {0, true}};

  std::mt19937 rng(7);
  std::vector<std::vector<value>> rows;
  const wchar_t* words[] = {L"apple", L"Äpfel", L"banana", L"cherry", L"zebra", L"año", L"東京"};
  for (int i = 0; i < 120000; ++i) {
    std::vector<value> row(3);
    row[0] = value::long_integer(int32_t(rng() % 5000));  // many duplicate keys
    if (rng() % 10 != 0) row[1] = value::text(std::wstring(words[rng() % 7]) + std::to_wstring(rng() % 300));
    if (rng() % 7 != 0) row[2] = value::double_(double(int(rng() % 2000)) / 4 - 250);
    rows.push_back(std::move(row));
  }
  std::vector<index_entry> entries = make_entries(t, ix, rows);
  ASSERT_EQ(entries.size(), rows.size());
  scratch_pages file(4096);
  btree_result r = build_and_check(file, entries);
  EXPECT_GE(r.depth, 2u);

  // Long keys give narrow pages and a deep tree (several node levels, sibling links).
  std::vector<index_entry> wide;
  for (int i = 0; i < 100000; ++i) {
    index_entry e;
    e.key.assign(400, uint8_t(0x40 + i % 7));
    uint32_t v = uint32_t(i / 3);
    e.key[390] = uint8_t(v >> 16);
    e.key[391] = uint8_t(v >> 8);
    e.key[392] = uint8_t(v);
    e.page = uint32_t(i);
    e.row = uint8_t(i % 3);
    wide.push_back(std::move(e));
  }
  sort_index_entries(wide);
  scratch_pages file2(4096);
  btree_result r2 = build_and_check(file2, wide);
  EXPECT_GE(r2.depth, 4u);
}

TEST(BtreeBuilderTest, IgnoreNullsIndexLeavesOutAllNullRows) {
  table_def t;
  column_def c;
  c.number = 0;
  c.type = column_type::long_integer;
  t.columns = {c};
  index_def ix;
  ix.columns = {{0, true}};
  ix.flags = index_flag::ignore_nulls;
  std::vector<std::vector<value>> rows;
  for (int i = 0; i < 5000; ++i) rows.push_back({i % 3 == 0 ? value() : value::long_integer(i)});
  std::vector<index_entry> entries = make_entries(t, ix, rows);
  EXPECT_EQ(entries.size(), 3333u);
  scratch_pages file(4096);
  build_and_check(file, entries);
}

TEST(BtreeBuilderTest, NodeShapeMatchesAccess) {
  // Two leaves: a root node with one entry (the first leaf's last entry) and the second leaf as tail.
  std::vector<index_entry> entries;
  for (uint32_t i = 0; i < 600; ++i) entries.push_back({{0x7F, uint8_t(i >> 8), uint8_t(i)}, 200, uint8_t(i % 250), 0});
  sort_index_entries(entries);
  scratch_pages file(4096);
  btree_result r = build_and_check(file, entries);
  ASSERT_EQ(r.depth, 2u);
  index_page root = read_index_page(f4, file.read(r.root));
  ASSERT_EQ(root.entries.size(), 1u);
  index_page first = read_index_page(f4, file.read(root.entries[0].child));
  index_page tail = read_index_page(f4, file.read(root.tail));
  EXPECT_EQ(first.next, root.tail);
  EXPECT_EQ(tail.prev, root.entries[0].child);
  EXPECT_EQ(first.entries.size() + tail.entries.size(), 600u);
  EXPECT_EQ(first.entries.size(), 3616u / 7u);
  EXPECT_EQ(first.stored_free_space, 4096u - 480u - first.entries.size() * 7u);
}

TEST(BtreeBuilderTest, RefusesUnsortedEntriesAndOversizedKeys) {
  scratch_pages file(4096);
  std::vector<index_entry> unsorted = {{{0x7F, 2}, 1, 0, 0}, {{0x7F, 1}, 1, 1, 0}};
  EXPECT_THROW(build_btree(f4, file, 1, unsorted), error);
  std::vector<index_entry> duplicate = {{{0x7F, 1}, 1, 0, 0}, {{0x7F, 1}, 1, 0, 0}};
  EXPECT_THROW(build_btree(f4, file, 1, duplicate), error);
  std::vector<index_entry> huge = {{bytes(max_index_key_size(f4) + 1, 0x7F), 1, 0, 0}};
  EXPECT_THROW(build_btree(f4, file, 1, huge), error);
  huge[0].key.pop_back();
  EXPECT_NO_THROW(build_btree(f4, file, 1, huge));
}

TEST(BtreeBuilderTest, CheckerReportsBrokenTrees) {
  std::vector<index_entry> entries;
  for (uint32_t i = 0; i < 2000; ++i) entries.push_back({{0x7F, uint8_t(i >> 8), uint8_t(i)}, 200 + i, 0, 0});
  scratch_pages file(4096);
  btree_result r = build_btree(f4, file, 9, entries);
  ASSERT_GE(r.pages.size(), 3u);
  EXPECT_TRUE(check_index_tree(f4, file, r.root, 9).problems.empty());
  EXPECT_FALSE(check_index_tree(f4, file, r.root, 10).problems.empty());  // wrong owner

  // Swap two leaves' contents: order across pages breaks and node entries no longer match.
  scratch_pages broken = file;
  std::swap(broken.page(r.pages[0]), broken.page(r.pages[1]));
  EXPECT_FALSE(check_index_tree(f4, broken, r.root, 9).problems.empty());

  // A loop: the root's tail pointing back at the root.
  scratch_pages looped = file;
  index_page root = read_index_page(f4, looped.read(r.root));
  root.tail = r.root;
  looped.write(r.root, build_index_page(f4, root));
  EXPECT_FALSE(check_index_tree(f4, looped, r.root, 9).problems.empty());
  EXPECT_THROW(read_index_entries(f4, looped, r.root), error);

  // A wrong free-space field.
  scratch_pages bad_free = file;
  bad_free.page(r.pages[0])[2] ^= 1;
  EXPECT_FALSE(check_index_tree(f4, bad_free, r.root, 9).problems.empty());

  // A child beyond the end of the file.
  EXPECT_THROW(read_index_entries(f4, file, 100000), error);
}

}  // namespace
}  // namespace jet
