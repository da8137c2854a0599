// Bulk building of an index B-tree from sorted entries.
//
// Shape (the one Access and the Jet engine write):
//   * leaves hold the entries in order, filled page by page, and form one doubly linked list
//     (prev/next) from the first leaf to the last;
//   * above them, node levels until a single page remains, the root. A node page covers a run of
//     children: it holds one entry per child except the rightmost, which becomes the node's tail
//     (named by the tail field only). A node entry is a copy of the last leaf entry below its child
//     plus the child page. A node with a single child holds one entry and no tail;
//   * node pages are linked (prev/next) only to siblings under the same parent;
//   * an index without entries is one empty leaf, which is then the root.
// Pages are taken from the page allocator: all leaves first, in key order, then each node level.
// The index's usage map must list exactly `pages`.
//
// `btree_writer` takes the entries one at a time, so that they can stream from wherever they are
// sorted: it holds one leaf's entries and, per page written, a copy of that page's last entry
// (the node levels are planned from those once every leaf is written).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <vector>

#include "platform/jet/format.h"
#include "platform/jet/index_page.h"
#include "platform/jet/page_io.h"

namespace jet {

struct btree_result {
  uint32_t root = 0;
  std::vector<uint32_t> pages;  // every page written (leaves, nodes, root)
  uint32_t depth = 1;           // 1 = the root is a leaf
};

// Sorts entries into index order (key, data page, row).
void sort_index_entries(std::vector<index_entry>& entries);

// Largest key that fits into an index (a node entry of it must fit on a page).
size_t max_index_key_size(const format& f);

// Builds one tree from entries given in index order.
class btree_writer {
 public:
  btree_writer(const format& f, page_allocator& pages, uint32_t tdef_page);
  btree_writer(const btree_writer&) = delete;
  btree_writer& operator=(const btree_writer&) = delete;

  // The next leaf entry (`child` unused); its key is copied. Throws jet::error when it does not
  // follow the last one strictly or its key is larger than max_index_key_size().
  void add(const index_entry_ref& e);
  // Writes the last leaf and the node levels.
  btree_result finish();

  size_t entries() const { return count_; }
  // Entries whose key differs from the entry before them (the first counts): the index's distinct keys.
  uint32_t distinct_keys() const { return distinct_; }

 private:
  struct leaf_entry {
    size_t offset;  // into leaf_keys_
    uint32_t length;
    uint32_t page;
    uint8_t row;
  };
  struct child_ref {
    uint32_t page;
    index_entry_ref last;  // key in last_keys_
  };
  // A written leaf as the node levels see it, 16 bytes: its page and its last entry, whose key lies in
  // last_keys_ (block index << kKeyOffsetBits | offset). A large table has tens of thousands of leaves, so
  // this is what keeps the writer's memory nearly flat as the table grows.
  struct leaf_record {
    uint32_t page;
    uint32_t data_page;
    uint32_t key_at;
    uint16_t key_length;
    uint8_t row;
  };
  static constexpr size_t kKeyOffsetBits = 12;
  static constexpr size_t kKeyBlock = size_t(1) << kKeyOffsetBits;
  static constexpr uint32_t kKeyOffsetMask = uint32_t(kKeyBlock - 1);
  child_ref leaf_child(size_t i) const;
  void write_leaf(uint32_t next);

  const format& f_;
  page_allocator& pages_;
  uint32_t tdef_page_;
  size_t capacity_;
  size_t max_key_;
  std::vector<uint8_t> leaf_keys_;
  std::vector<leaf_entry> leaf_;
  size_t leaf_used_ = 0;
  uint32_t leaf_page_ = 0;
  uint32_t prev_leaf_page_ = 0;
  // Each leaf's last key, packed into blocks that never move (the node levels point into them):
  // a few bytes a leaf rather than an allocation each.
  std::span<const uint8_t> keep_last_key(std::span<const uint8_t> key);
  std::vector<std::unique_ptr<uint8_t[]>> last_keys_;  // blocks of kKeyBlock bytes
  size_t last_keys_used_ = 0;                          // of the last block
  std::deque<leaf_record> leaves_;                     // a deque: growing never copies nor doubles it
  btree_result result_;
  size_t count_ = 0;
  uint32_t distinct_ = 0;
  bool finished_ = false;
};

// Writes the tree of `sorted` (index order, no two entries equal; leaf entries, `child` unused)
// for the table whose TDEF is `tdef_page`. Throws jet::error when the entries are out of order or
// a key is larger than max_index_key_size().
btree_result build_btree(const format& f, page_allocator& pages, uint32_t tdef_page,
                         const std::vector<index_entry>& sorted);
// The same over entries whose keys live elsewhere (no copy of the keys is made).
btree_result build_btree(const format& f, page_allocator& pages, uint32_t tdef_page,
                         std::span<const index_entry_ref> sorted);

}  // namespace jet
