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
#pragma once

#include <cstdint>
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

// Writes the tree of `sorted` (index order, no two entries equal; leaf entries, `child` unused)
// for the table whose TDEF is `tdef_page`. Throws jet::error when the entries are out of order or
// a key is larger than max_index_key_size().
btree_result build_btree(const format& f, page_allocator& pages, uint32_t tdef_page,
                         const std::vector<index_entry>& sorted);
// The same over entries whose keys live elsewhere (no copy of the keys is made).
btree_result build_btree(const format& f, page_allocator& pages, uint32_t tdef_page,
                         std::span<const index_entry_ref> sorted);

}  // namespace jet
