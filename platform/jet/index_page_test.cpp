#include "platform/jet/index_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/jet/error.h"
#include "platform/jet/index_scan.h"
#include "platform/jet/index_test_support.h"
#include "platform/jet/test_hex.h"

namespace jet {
namespace {

const format& f4 = format::jet4();

TEST(IndexPageTest, ReadsAndRebuildsEngineWrittenLeavesByteForByte) {
  scratch_pages file = scratch_pages::from_file(sample_path("jackcess/adox_jet4.mdb"), 4096);
  // Page 8: MSysObjects' Id index, 8 entries of 9 bytes.
  index_page p = read_index_page(f4, file.read(8), 8);
  EXPECT_TRUE(p.leaf);
  EXPECT_EQ(p.owner, 2u);
  EXPECT_EQ(p.stored_free_space, 3544u);
  EXPECT_EQ(p.stored_entry_bytes, 72u);
  ASSERT_EQ(p.entries.size(), 8u);
  EXPECT_EQ(to_hex(p.entries[0].key), "7F 80 00 00 02");
  EXPECT_EQ(p.entries[0].page, 14u);
  EXPECT_EQ(p.entries[0].row, 4);
  EXPECT_EQ(to_hex(p.entries[7].key), "7F 90 00 00 00");
  EXPECT_EQ(p.entries[7].row, 3);
  // Every index page of the engine's blank database, rebuilt from what we read, is identical.
  for (uint32_t n = 7; n <= 13; ++n) {
    index_page q = read_index_page(f4, file.read(n), n);
    EXPECT_EQ(build_index_page(f4, q), file.read(n)) << "page " << n;
  }
}

TEST(IndexPageTest, ExpandsPrefixCompressionAndReadsNodePages) {
  scratch_pages file = scratch_pages::from_file(sample_path("jackcess/compIndexTestV2000.mdb"), 4096);
  index_page root = read_index_page(f4, file.read(29), 29);
  EXPECT_FALSE(root.leaf);
  EXPECT_EQ(root.node_marker, 1);
  EXPECT_EQ(root.tail, 33u);
  ASSERT_EQ(root.entries.size(), 1u);
  EXPECT_EQ(root.entries[0].child, 32u);

  index_page leaf = read_index_page(f4, file.read(32), 32);
  EXPECT_EQ(leaf.prefix_length, 3u);
  ASSERT_EQ(leaf.entries.size(), 510u);
  // The node entry is a copy of the child's last entry.
  index_entry last = leaf.entries.back();
  last.child = 32;
  EXPECT_EQ(last, root.entries[0]);
  for (size_t i = 1; i < leaf.entries.size(); ++i) {
    EXPECT_LT(leaf.entries[i - 1], leaf.entries[i]);
    EXPECT_EQ(std::vector<uint8_t>(leaf.entries[i].key.begin(), leaf.entries[i].key.begin() + 3),
              std::vector<uint8_t>(leaf.entries[0].key.begin(), leaf.entries[0].key.begin() + 3));
  }

  // The whole tree passes the strict check and yields the table's 512 rows in order.
  index_tree_report r = check_index_tree(f4, file, 29, 15);
  EXPECT_TRUE(r.problems.empty()) << r.problems.front();
  EXPECT_EQ(r.entries, 512u);
  EXPECT_EQ(r.depth, 2u);
  EXPECT_EQ(r.pages, (std::vector<uint32_t>{29, 32, 33}));
  std::vector<index_entry> all = read_index_entries(f4, file, 29);
  ASSERT_EQ(all.size(), 512u);
  EXPECT_EQ(all[509], leaf.entries.back());
}

TEST(IndexPageTest, RoundTripsLeafAndNodeEntries) {
  index_page node;
  node.leaf = false;
  node.owner = 77;
  node.prev = 5;
  node.next = 6;
  node.tail = 900;
  for (uint32_t i = 0; i < 200; ++i) {
    index_entry e;
    e.key = {0x7F, uint8_t(i >> 8), uint8_t(i), 0x01, 0x00};
    e.page = 0x123456 + i;
    e.row = uint8_t(i);
    e.child = 1000 + i;
    node.entries.push_back(e);
  }
  std::vector<uint8_t> bytes = build_index_page(f4, node);
  EXPECT_EQ(bytes[0], 0x03);
  EXPECT_EQ(bytes[26], 1);
  index_page back = read_index_page(f4, bytes);
  EXPECT_EQ(back.entries, node.entries);
  EXPECT_EQ(back.tail, 900u);
  EXPECT_EQ(back.prev, 5u);
  EXPECT_EQ(back.next, 6u);
  EXPECT_EQ(back.stored_free_space, 4096u - 480u - 200u * 13u);

  // A page filled to the last byte still round-trips.
  index_page full;
  full.owner = 1;
  index_entry big;
  big.key.assign(index_page_capacity(f4) - 4, 0x41);
  full.entries = {big};
  index_page full_back = read_index_page(f4, build_index_page(f4, full));
  EXPECT_EQ(full_back.entries, full.entries);
  EXPECT_EQ(full_back.stored_free_space, 0u);
  big.key.push_back(0x42);
  full.entries = {big};
  EXPECT_THROW(build_index_page(f4, full), error);
}

TEST(IndexPageTest, RefusesDamagedPages) {
  index_page leaf;
  leaf.owner = 3;
  leaf.entries = {index_entry{{0x7F, 0x01}, 10, 1, 0}};
  std::vector<uint8_t> good = build_index_page(f4, leaf);

  std::vector<uint8_t> not_index = good;
  not_index[0] = 0x01;
  EXPECT_THROW(read_index_page(f4, not_index, 9), error);

  std::vector<uint8_t> short_entry = good;
  short_entry[27] = 0x04;  // an entry ending at byte 2: shorter than a row pointer
  short_entry[28] = 0x00;
  EXPECT_THROW(read_index_page(f4, short_entry, 9), error);

  std::vector<uint8_t> past_end = good;
  past_end[27 + 452] = 0x80;  // bit 3623: beyond the 3616 bytes of entry space
  EXPECT_THROW(read_index_page(f4, past_end, 9), error);

  std::vector<uint8_t> bad_prefix = good;
  bad_prefix[24] = 50;  // longer than the first entry
  bad_prefix[27 + 1] |= 0x10;  // a second entry ending at byte 12
  EXPECT_THROW(read_index_page(f4, bad_prefix, 9), error);

  EXPECT_THROW(read_index_page(f4, std::vector<uint8_t>(100, 0x04), 9), error);
}

}  // namespace
}  // namespace jet

namespace jet {
namespace {

// Damaged pages give jet::error (reader, scanner) or listed problems (checker), never a crash.
TEST(IndexPageTest, RandomDamageIsReportedCleanly) {
  scratch_pages file = scratch_pages::from_file(sample_path("jackcess/compIndexTestV2000.mdb"), 4096);
  const std::vector<uint8_t> root = file.read(29), leaf = file.read(32);
  std::mt19937 rng(11);
  for (int round = 0; round < 800; ++round) {
    scratch_pages damaged = file;
    std::vector<uint8_t>& page = damaged.page(round % 2 ? 29 : 32);
    for (int k = 0; k < 1 + round % 4; ++k) {
      const size_t at = rng() % 600;  // header, mask and the first entries
      page[at] = uint8_t(rng());
    }
    try {
      read_index_page(format::jet4(), page, 1);
    } catch (const error&) {
    }
    try {
      read_index_entries(format::jet4(), damaged, 29);
    } catch (const error&) {
    }
    EXPECT_NO_THROW(check_index_tree(format::jet4(), damaged, 29, 15));
  }
  EXPECT_EQ(file.read(29), root);
  EXPECT_EQ(file.read(32), leaf);
}

// A tree built in memory under the numbers 1..n is given the file's pages: the header's links and
// tail and a node entry's child move, a leaf entry's data page (a row, not a tree page) stays.
TEST(IndexPageTest, RelocationMovesTreeLinksAndChildrenButNotRowPointers) {
  for (const format* f : {&format::jet3(), &format::jet4(), format::for_generation(generation::ace)}) {
    SCOPED_TRACE(f->page_size);
    std::vector<uint32_t> real;
    for (uint32_t v = 1; v <= 40; ++v) real.push_back(5000 + 3 * v);
    auto moved = [&](uint32_t v) { return v == 0 ? 0 : real[v - 1]; };
    std::vector<index_entry> entries;
    for (uint8_t i = 0; i < 30; ++i) {
      // Keys of several lengths, one empty; data pages that are also stand-in numbers (1..30).
      bytes key(size_t(i % 7) * 5, uint8_t(0x10 + i));
      entries.push_back({key, uint32_t(i + 1), uint8_t(i), uint32_t(i + 2)});
    }
    std::sort(entries.begin(), entries.end());
    for (bool leaf : {true, false}) {
      SCOPED_TRACE(leaf ? "leaf" : "node");
      index_page stand_in;
      stand_in.leaf = leaf;
      stand_in.owner = 77;
      stand_in.prev = 0;  // the first page at its level
      stand_in.next = 31;
      stand_in.tail = leaf ? 0 : 32;
      index_page expected = stand_in;
      expected.next = moved(31);
      expected.tail = moved(stand_in.tail);
      std::vector<index_entry> expected_entries = entries;
      if (!leaf)
        for (index_entry& e : expected_entries) e.child = moved(e.child);

      std::vector<uint8_t> page = build_index_page(*f, stand_in, std::span<const index_entry>(entries));
      relocate_index_page(*f, page, real, 3);
      EXPECT_EQ(page, build_index_page(*f, expected, std::span<const index_entry>(expected_entries)));
      index_page back = read_index_page(*f, page, 3);
      EXPECT_EQ(back.owner, 77u);
      EXPECT_EQ(back.prev, 0u);
      EXPECT_EQ(back.next, 5093u);
      ASSERT_EQ(back.entries.size(), entries.size());
      for (size_t k = 0; k < entries.size(); ++k) {
        EXPECT_EQ(back.entries[k].page, entries[k].page);  // rows stay where they are
        EXPECT_EQ(back.entries[k].child, leaf ? 0u : moved(entries[k].child));
      }

      // A number the tree does not have, or a page that is no index page, is refused.
      std::vector<uint8_t> short_of = build_index_page(*f, stand_in, std::span<const index_entry>(entries));
      EXPECT_THROW(relocate_index_page(*f, short_of, std::span<const uint32_t>(real).first(leaf ? 30 : 31), 3),
                   error);
      std::vector<uint8_t> data_page(f->page_size, 0);
      data_page[0] = 0x01;
      data_page[1] = 0x01;
      EXPECT_THROW(relocate_index_page(*f, data_page, real, 3), error);
    }
  }
}

TEST(IndexPageTest, RelocationFollowsTheEntryMaskOfEngineWrittenPages) {
  // Pages 29 (root node, tail 33, one entry for child 32) and 32 (a leaf with prefix compression).
  scratch_pages file = scratch_pages::from_file(sample_path("jackcess/compIndexTestV2000.mdb"), 4096);
  std::vector<uint32_t> real;
  for (uint32_t v = 1; v <= 40; ++v) real.push_back(v + 100);
  std::vector<uint8_t> root = file.read(29);
  relocate_index_page(f4, root, real, 29);
  index_page r = read_index_page(f4, root, 29);
  EXPECT_EQ(r.tail, 133u);
  ASSERT_EQ(r.entries.size(), 1u);
  EXPECT_EQ(r.entries[0].child, 132u);
  EXPECT_EQ(r.entries[0].page, read_index_page(f4, file.read(29), 29).entries[0].page);

  std::vector<uint8_t> leaf = file.read(32);
  relocate_index_page(f4, leaf, real, 32);
  index_page l = read_index_page(f4, leaf, 32);
  index_page before = read_index_page(f4, file.read(32), 32);
  EXPECT_EQ(l.next, before.next == 0 ? 0u : before.next + 100);
  EXPECT_EQ(l.prev, before.prev == 0 ? 0u : before.prev + 100);
  EXPECT_EQ(l.entries, before.entries);
}

}  // namespace
}  // namespace jet
