// Bulk B-tree builder (shape in btree_builder.h).
#include "platform/jet/btree_builder.h"

#include <algorithm>
#include <string>

#include "platform/jet/error.h"

namespace jet {

namespace {

// A page of the level being built on: its number and the last leaf entry below it.
struct child_ref {
  uint32_t page;
  size_t last;  // index into the sorted entries
};

// Runs [first, last] of children, one per node page.
struct group {
  size_t first;
  size_t last;
};

std::vector<group> group_children(const std::vector<child_ref>& children,
                                  std::span<const index_entry_ref> sorted, size_t capacity) {
  auto stored = [&](size_t c) { return sorted[children[c].last].key.size() + 8; };
  std::vector<group> groups;
  const size_t n = children.size();
  size_t i = 0;
  while (i < n) {
    size_t j = i;  // the tail candidate: costs nothing until another child follows it
    size_t used = 0;
    while (j + 1 < n && used + stored(j) <= capacity) {
      used += stored(j);
      ++j;
    }
    groups.push_back({i, j});
    i = j + 1;
  }
  // Avoid a lone child at the end when the previous node can give up its tail.
  if (groups.size() >= 2 && groups.back().first == groups.back().last) {
    group& prev = groups[groups.size() - 2];
    if (prev.last - prev.first >= 2) {
      --prev.last;
      --groups.back().first;
    }
  }
  return groups;
}

}  // namespace

void sort_index_entries(std::vector<index_entry>& entries) { std::sort(entries.begin(), entries.end()); }

size_t max_index_key_size(const format& f) { return index_page_capacity(f) - 8; }

btree_result build_btree(const format& f, page_allocator& pages, uint32_t tdef_page,
                         const std::vector<index_entry>& sorted) {
  std::vector<index_entry_ref> refs;
  refs.reserve(sorted.size());
  for (const index_entry& e : sorted) refs.push_back(as_ref(e));
  return build_btree(f, pages, tdef_page, std::span<const index_entry_ref>(refs));
}

btree_result build_btree(const format& f, page_allocator& pages, uint32_t tdef_page,
                         std::span<const index_entry_ref> sorted) {
  const size_t capacity = index_page_capacity(f);
  const size_t max_key = max_index_key_size(f);
  for (size_t i = 0; i < sorted.size(); ++i) {
    if (sorted[i].key.size() > max_key) {
      throw error(dao_error::invalid_argument, "an index key of " + std::to_string(sorted[i].key.size()) +
                                                   " bytes is longer than an index page can hold");
    }
    if (i > 0 && !(sorted[i - 1] < sorted[i])) {
      throw error(dao_error::invalid_argument, "index entries are not in strictly ascending order (entry " +
                                                   std::to_string(i) + ")");
    }
  }

  btree_result result;
  index_page header;
  header.owner = tdef_page;

  // Leaves: fill each page as far as it goes.
  std::vector<size_t> leaf_starts;
  {
    size_t used = capacity + 1;
    for (size_t i = 0; i < sorted.size(); ++i) {
      const size_t size = index_entry_size(sorted[i], true);
      if (used + size > capacity) {
        leaf_starts.push_back(i);
        used = 0;
      }
      used += size;
    }
    if (leaf_starts.empty()) leaf_starts.push_back(0);  // the empty index: one empty leaf
  }
  std::vector<child_ref> level;
  level.reserve(leaf_starts.size());
  for (size_t k = 0; k < leaf_starts.size(); ++k) {
    const size_t end = k + 1 < leaf_starts.size() ? leaf_starts[k + 1] : sorted.size();
    level.push_back({pages.allocate(), end == 0 ? 0 : end - 1});
  }
  for (size_t k = 0; k < level.size(); ++k) {
    const size_t begin = leaf_starts[k];
    const size_t end = k + 1 < leaf_starts.size() ? leaf_starts[k + 1] : sorted.size();
    header.leaf = true;
    header.prev = k > 0 ? level[k - 1].page : 0;
    header.next = k + 1 < level.size() ? level[k + 1].page : 0;
    header.tail = 0;
    std::vector<uint8_t> bytes =
        build_index_page(f, header, sorted.subspan(begin, end - begin));
    pages.write(level[k].page, bytes);
    result.pages.push_back(level[k].page);
  }

  // Node levels: plan every level first, because a node's sibling links depend on its parent.
  std::vector<std::vector<child_ref>> levels = {level};
  std::vector<std::vector<group>> groupings;
  while (levels.back().size() > 1) {
    const std::vector<child_ref>& below = levels.back();
    std::vector<group> groups = group_children(below, sorted, capacity);
    std::vector<child_ref> above;
    above.reserve(groups.size());
    for (const group& g : groups) above.push_back({pages.allocate(), below[g.last].last});
    groupings.push_back(std::move(groups));
    levels.push_back(std::move(above));
  }
  result.depth = uint32_t(levels.size());

  std::vector<index_entry_ref> node_entries;
  for (size_t l = 1; l < levels.size(); ++l) {
    const std::vector<child_ref>& below = levels[l - 1];
    const std::vector<child_ref>& nodes = levels[l];
    const std::vector<group>& groups = groupings[l - 1];
    // Siblings under one parent: the parent's group over this level (the root has no siblings).
    std::vector<size_t> parent_first(nodes.size(), 0), parent_last(nodes.size(), 0);
    if (l < groupings.size()) {
      for (const group& pg : groupings[l]) {
        for (size_t k = pg.first; k <= pg.last; ++k) {
          parent_first[k] = pg.first;
          parent_last[k] = pg.last;
        }
      }
    }
    for (size_t k = 0; k < nodes.size(); ++k) {
      const group& g = groups[k];
      node_entries.clear();
      const size_t stored_last = g.last > g.first ? g.last - 1 : g.last;
      for (size_t c = g.first; c <= stored_last; ++c) {
        index_entry_ref e = sorted[below[c].last];
        e.child = below[c].page;
        node_entries.push_back(e);
      }
      header.leaf = false;
      header.tail = g.last > g.first ? below[g.last].page : 0;
      header.prev = k > parent_first[k] ? nodes[k - 1].page : 0;
      header.next = k < parent_last[k] ? nodes[k + 1].page : 0;
      pages.write(nodes[k].page, build_index_page(f, header, std::span<const index_entry_ref>(node_entries)));
      result.pages.push_back(nodes[k].page);
    }
  }
  result.root = levels.back().front().page;
  return result;
}

}  // namespace jet
