// An index tree built ahead into memory and given its page numbers only when it is written.
//
// The tree of an index whose entries are all sorted before its table is finished can be built on
// another core while the run goes on with other tables. Its pages are then kept in memory under the
// stand-in numbers 1..n, in the order the tree builder takes pages (btree_builder.h: the leaves,
// then each node level), with every page number the tree holds (sibling links, tails, node entries'
// children) a stand-in one and every data page pointer of a leaf entry real already. `place` takes
// n pages from the file's allocator, stand-in v becoming the v-th page taken, rewrites the numbers
// (relocate_index_page, index_page.h) and writes the pages: byte for byte the tree the builder would
// have written there and then, so the file does not depend on which trees were built ahead.
//
// Prepared trees wait in memory until their tables are finished, so the trees of one file share a
// `tree_budget`: a tree that would pass what is left of it is given up while it is being built (its
// pages are freed and it is built when its table is finished, as without a budget).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/jet/btree_builder.h"
#include "platform/jet/format.h"
#include "platform/jet/index_page.h"
#include "platform/jet/page_io.h"

namespace jet {

// Bytes the prepared trees of one file may hold together; taken and given back from any thread.
class tree_budget {
 public:
  explicit tree_budget(size_t bytes) : left_(bytes) {}
  tree_budget(const tree_budget&) = delete;
  tree_budget& operator=(const tree_budget&) = delete;

  // Takes `n` bytes if that many are left.
  bool take(size_t n);
  void give_back(size_t n) { left_.fetch_add(n, std::memory_order_relaxed); }
  size_t left() const { return left_.load(std::memory_order_relaxed); }

 private:
  std::atomic<size_t> left_;
};

// What a file's prepared trees may hold by default: the trees of a few small tables.
inline constexpr size_t default_tree_budget = size_t(4) << 20;

class prepared_tree {
 public:
  // Gives every entry of an index, in index order, to its argument.
  using entry_source = std::function<void(const std::function<void(const index_entry_ref&)>&)>;

  // Builds the tree of the entries `source` gives for the table whose TDEF is `tdef_page`, its pages
  // taken from `budget`. Returns null when the budget runs out or `stop` is set meanwhile (checked at
  // each page); throws whatever the tree builder throws (a key too large, entries out of order).
  static std::unique_ptr<prepared_tree> build(const format& f, uint32_t tdef_page, tree_budget& budget,
                                              const entry_source& source, const std::atomic<bool>* stop = nullptr);
  ~prepared_tree();  // gives the pages' bytes back to the budget
  prepared_tree(const prepared_tree&) = delete;
  prepared_tree& operator=(const prepared_tree&) = delete;

  // Takes the tree's pages from `alloc` and writes the tree there; returns it with its real page
  // numbers, as btree_writer::finish would have. Once only.
  btree_result place(page_allocator& alloc);

  // Gives the tree's entries in index order (`child` 0; each key valid during the call only), from
  // its leaves, before `place`.
  void for_each_entry(const std::function<void(const index_entry_ref&)>& fn) const;

  size_t entries() const { return entries_; }
  uint32_t distinct_keys() const { return distinct_; }
  uint32_t page_count() const { return uint32_t(pages_.size()); }
  // The stand-in number of the root and the bytes of page v, before `place`.
  uint32_t root() const { return root_; }
  std::span<const uint8_t> page(uint32_t v) const { return {pages_.at(v - 1).get(), f_.page_size}; }

 private:
  class memory_allocator;
  prepared_tree(const format& f, tree_budget& budget) : f_(f), budget_(budget) {}

  const format& f_;
  tree_budget& budget_;
  std::vector<std::unique_ptr<uint8_t[]>> pages_;  // page v at v - 1
  uint32_t root_ = 0;
  uint32_t depth_ = 1;
  size_t entries_ = 0;
  uint32_t distinct_ = 0;
  bool placed_ = false;
};

}  // namespace jet
