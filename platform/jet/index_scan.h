// Reading existing index trees: the in-order walk over their leaf entries, and a strict check of
// a tree's structure for the verifier.
//
// The walk descends from the root through the node entries (each names a child page) and then
// the node's tail page (its rightmost child, named by no entry), so leaves are visited in key
// order whatever the leaf links say. A page visited twice, a page that is not an index page or
// lies beyond the end of the file, or a damaged page stops the walk with jet::error (corrupt).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/jet/format.h"
#include "platform/jet/index_page.h"
#include "platform/jet/page_io.h"

namespace jet {

// Calls `fn` for every leaf entry, in index order.
void for_each_index_entry(const format& f, const page_source& file, uint32_t root,
                          const std::function<void(const index_entry&)>& fn);

// All leaf entries of the tree, in index order.
std::vector<index_entry> read_index_entries(const format& f, const page_source& file, uint32_t root);

struct index_tree_report {
  std::vector<std::string> problems;  // empty when the tree is sound
  std::vector<uint32_t> pages;        // every page of the tree (for the index's usage map)
  uint64_t entries = 0;               // leaf entries
  uint32_t depth = 0;                 // 1 = the root is a leaf
};

// Checks everything a reader relies on: every page an index page of the table `tdef_page`, the
// node marker, free-space fields, entries strictly ascending across the whole tree, each node
// entry equal to the last leaf entry below its child, all leaves at one depth, the tail pointers,
// the leaf chain (prev/next from the first leaf to the last) and the links between sibling nodes
// under one parent, and that no page is reached twice. Never throws for a damaged tree: problems
// are listed. `on_entry`, when given, receives every leaf entry in order.
index_tree_report check_index_tree(const format& f, const page_source& file, uint32_t root, uint32_t tdef_page,
                                   const std::function<void(const index_entry&)>& on_entry = {});

}  // namespace jet
