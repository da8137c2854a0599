// Bulk B-tree builder (shape in btree_builder.h).
#include "platform/jet/btree_builder.h"

#include <algorithm>
#include <string>

#include "platform/jet/error.h"

namespace jet {

namespace {

// Runs [first, last] of children, one per node page.
struct group {
  size_t first;
  size_t last;
};

// `child(c)` for c < n has the last entry below child c as `last`.
template <typename ChildAt>
std::vector<group> group_children(ChildAt child, size_t n, size_t capacity) {
  auto stored = [&](size_t c) { return child(c).last.key.size() + 8; };
  std::vector<group> groups;
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

btree_writer::btree_writer(const format& f, page_allocator& pages, uint32_t tdef_page)
    : f_(f), pages_(pages), tdef_page_(tdef_page), capacity_(index_page_capacity(f)), max_key_(max_index_key_size(f)) {}

void btree_writer::add(const index_entry_ref& e) {
  if (finished_) throw error(dao_error::invalid_argument, "the index tree is already written");
  if (e.key.size() > max_key_) {
    throw error(dao_error::invalid_argument, "an index key of " + std::to_string(e.key.size()) +
                                                 " bytes is longer than an index page can hold");
  }
  if (count_ > 0) {
    index_entry_ref prev;
    if (!leaf_.empty()) {
      const leaf_entry& l = leaf_.back();
      prev = {std::span<const uint8_t>(leaf_keys_.data() + l.offset, l.length), l.page, l.row, 0};
    } else {
      prev = leaf_child(leaves_.size() - 1).last;
    }
    if (!(prev < e)) {
      throw error(dao_error::invalid_argument, "index entries are not in strictly ascending order (entry " +
                                                   std::to_string(count_) + ")");
    }
    if (index_entry_ref::compare_keys(prev.key, e.key) != 0) ++distinct_;
  } else {
    distinct_ = 1;
  }
  // Leaves: fill each page as far as it goes. The next leaf's page is taken before this one is
  // written, as it is named by this one's next link.
  const size_t size = index_entry_size(e, true);
  if (count_ == 0 || leaf_used_ + size > capacity_) {
    const uint32_t page = pages_.allocate();
    if (count_ > 0) write_leaf(page);
    leaf_page_ = page;
    leaf_used_ = 0;
  }
  leaf_.push_back({leaf_keys_.size(), uint32_t(e.key.size()), e.page, e.row});
  leaf_keys_.insert(leaf_keys_.end(), e.key.begin(), e.key.end());
  leaf_used_ += size;
  ++count_;
}

void btree_writer::write_leaf(uint32_t next) {
  std::vector<index_entry_ref> refs;
  refs.reserve(leaf_.size());
  for (const leaf_entry& l : leaf_)
    refs.push_back({std::span<const uint8_t>(leaf_keys_.data() + l.offset, l.length), l.page, l.row, 0});
  index_page header;
  header.owner = tdef_page_;
  header.leaf = true;
  header.prev = prev_leaf_page_;
  header.next = next;
  header.tail = 0;
  pages_.write(leaf_page_, build_index_page(f_, header, std::span<const index_entry_ref>(refs)));
  result_.pages.push_back(leaf_page_);
  leaf_record leaf{leaf_page_, 0, 0, 0, 0};
  if (!refs.empty()) {
    const std::span<const uint8_t> key = keep_last_key(refs.back().key);
    leaf.data_page = refs.back().page;
    leaf.key_at = uint32_t(((last_keys_.size() - 1) << kKeyOffsetBits) | size_t(key.data() - last_keys_.back().get()));
    leaf.key_length = uint16_t(key.size());
    leaf.row = refs.back().row;
  }
  leaves_.push_back(leaf);
  prev_leaf_page_ = leaf_page_;
  leaf_.clear();
  leaf_keys_.clear();
}

btree_writer::child_ref btree_writer::leaf_child(size_t i) const {
  const leaf_record& l = leaves_[i];
  const uint8_t* key = last_keys_.empty() ? nullptr
                                          : last_keys_[l.key_at >> kKeyOffsetBits].get() + (l.key_at & kKeyOffsetMask);
  return {l.page, {std::span<const uint8_t>(key, l.key_length), l.data_page, l.row, 0}};
}

std::span<const uint8_t> btree_writer::keep_last_key(std::span<const uint8_t> key) {
  // Every key fits a block (a key is shorter than an index page), so a key's place is a block and an offset.
  static_assert(kKeyBlock == size_t(1) << kKeyOffsetBits);
  if (last_keys_.empty() || key.size() > kKeyBlock - last_keys_used_) {
    if (key.size() > kKeyBlock) throw error(dao_error::invalid_argument, "an index key is longer than an index page");
    last_keys_used_ = 0;
    last_keys_.push_back(std::make_unique<uint8_t[]>(kKeyBlock));
  }
  uint8_t* at = last_keys_.back().get() + last_keys_used_;
  std::copy(key.begin(), key.end(), at);
  last_keys_used_ += key.size();
  return {at, key.size()};
}

btree_result btree_writer::finish() {
  if (finished_) throw error(dao_error::invalid_argument, "the index tree is already written");
  finished_ = true;
  if (count_ == 0) leaf_page_ = pages_.allocate();  // the empty index: one empty leaf
  write_leaf(0);

  // Node levels: plan every level first, because a node's sibling links depend on its parent. The leaves stay in
  // their compact records (level 0); the levels above are a few hundredths of them.
  std::vector<std::vector<child_ref>> levels(1);
  auto level_size = [&](size_t l) { return l == 0 ? leaves_.size() : levels[l].size(); };
  auto child = [&](size_t l, size_t c) { return l == 0 ? leaf_child(c) : levels[l][c]; };
  std::vector<std::vector<group>> groupings;
  while (level_size(levels.size() - 1) > 1) {
    const size_t l = levels.size() - 1;
    std::vector<group> groups = group_children([&](size_t c) { return child(l, c); }, level_size(l), capacity_);
    std::vector<child_ref> above;
    above.reserve(groups.size());
    for (const group& g : groups) above.push_back({pages_.allocate(), child(l, g.last).last});
    groupings.push_back(std::move(groups));
    levels.push_back(std::move(above));
  }
  btree_result result = std::move(result_);
  result.depth = uint32_t(levels.size());

  index_page header;
  header.owner = tdef_page_;
  std::vector<index_entry_ref> node_entries;
  for (size_t l = 1; l < levels.size(); ++l) {
    auto below = [&](size_t c) { return child(l - 1, c); };
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
        const child_ref b = below(c);
        index_entry_ref e = b.last;
        e.child = b.page;
        node_entries.push_back(e);
      }
      header.leaf = false;
      header.tail = g.last > g.first ? below(g.last).page : 0;
      header.prev = k > parent_first[k] ? nodes[k - 1].page : 0;
      header.next = k < parent_last[k] ? nodes[k + 1].page : 0;
      pages_.write(nodes[k].page, build_index_page(f_, header, std::span<const index_entry_ref>(node_entries)));
      result.pages.push_back(nodes[k].page);
    }
  }
  result.root = child(levels.size() - 1, 0).page;
  return result;
}

btree_result build_btree(const format& f, page_allocator& pages, uint32_t tdef_page,
                         const std::vector<index_entry>& sorted) {
  btree_writer w(f, pages, tdef_page);
  for (const index_entry& e : sorted) w.add(as_ref(e));
  return w.finish();
}

btree_result build_btree(const format& f, page_allocator& pages, uint32_t tdef_page,
                         std::span<const index_entry_ref> sorted) {
  btree_writer w(f, pages, tdef_page);
  for (const index_entry_ref& e : sorted) w.add(e);
  return w.finish();
}

}  // namespace jet
