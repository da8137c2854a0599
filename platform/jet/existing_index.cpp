// Reading an existing index tree for in-place appends (contract in existing_index.h).
#include "platform/jet/existing_index.h"

#include <algorithm>
#include <string>

#include "platform/jet/error.h"
#include "platform/jet/index_scan.h"

namespace jet {

namespace {

// Deep enough for any real tree; a deeper chain of node pages means a loop in the file.
constexpr size_t kMaxDepth = 32;
// Node pages kept decoded for look-ups: the upper levels of any tree of this engine's file sizes.
constexpr size_t kCachedNodes = 256;

}  // namespace

existing_index::existing_index(const format& f, const page_source& file, uint32_t root, size_t expected_keys,
                               size_t filter_bytes)
    : f_(f), file_(file), root_(root), expected_keys_(expected_keys), filter_bytes_(filter_bytes) {
  if (root_ == 0) return;
  // The smallest key: the first entry of the leftmost leaf; the largest: the last of the rightmost.
  for (bool first : {true, false}) {
    uint32_t page = root_;
    for (size_t depth = 0;; ++depth) {
      if (depth > kMaxDepth) throw_corrupt("index tree deeper than " + std::to_string(kMaxDepth) + " levels");
      index_page p = load(page);
      if (p.leaf) {
        if (!p.entries.empty()) (first ? first_key_ : last_key_) = (first ? p.entries.front() : p.entries.back()).key;
        break;
      }
      if (first && !p.entries.empty()) {
        page = p.entries.front().child;
      } else if (!first && p.tail != 0) {
        page = p.tail;
      } else if (!p.entries.empty()) {
        page = p.entries.back().child;
      } else {
        break;
      }
    }
  }
  if (!first_key_ || !last_key_) first_key_.reset(), last_key_.reset();
}

index_page existing_index::load(uint32_t page) const {
  if (page == 0 || page >= file_.page_count())
    throw_corrupt("index page " + std::to_string(page) + " lies outside the file");
  std::vector<uint8_t> bytes = file_.read(page);
  return read_index_page(f_, bytes, page);
}

bool existing_index::contains(std::span<const uint8_t> key) {
  if (!last_key_ || index_entry_ref::compare_keys(key, *last_key_) > 0 ||
      index_entry_ref::compare_keys(key, *first_key_) < 0)
    return false;
  if (filter_.empty()) {
    filter_ = key_filter(expected_keys_, filter_bytes_);
    for_each_index_entry(f_, file_, root_, [&](const index_entry& e) { filter_.remember(hash_index_key(e.key)); });
  }
  if (!filter_.may_hold(hash_index_key(key))) return false;
  uint32_t page = root_;
  for (size_t depth = 0;; ++depth) {
    if (depth > kMaxDepth) throw_corrupt("index tree deeper than " + std::to_string(kMaxDepth) + " levels");
    const index_page* p = nullptr;
    if (page == leaf_number_) {
      p = &leaf_;
    } else if (auto cached = nodes_.find(page); cached != nodes_.end()) {
      p = &cached->second;
    } else {
      index_page loaded = load(page);
      if (loaded.leaf) {
        leaf_ = std::move(loaded);
        leaf_number_ = page;
        p = &leaf_;
      } else {
        if (nodes_.size() >= kCachedNodes) nodes_.clear();
        p = &nodes_.emplace(page, std::move(loaded)).first->second;
      }
    }
    // The first entry whose key is not below the one looked for: on a leaf, the key itself if it
    // is there; on a node, the child whose last entry is the first to reach it.
    auto it = std::lower_bound(p->entries.begin(), p->entries.end(), key, [](const index_entry& e, std::span<const uint8_t> k) {
      return index_entry_ref::compare_keys(e.key, k) < 0;
    });
    if (p->leaf) return it != p->entries.end() && index_entry_ref::compare_keys(it->key, key) == 0;
    if (it != p->entries.end()) {
      page = it->child;
    } else if (p->tail != 0) {
      page = p->tail;
    } else {
      return false;
    }
  }
}

void existing_index::push(uint32_t page) {
  if (depth_ >= kMaxDepth) throw_corrupt("index tree deeper than " + std::to_string(kMaxDepth) + " levels");
  if (page == 0 || page >= file_.page_count())
    throw_corrupt("index page " + std::to_string(page) + " lies outside the file");
  if (walk_.size() <= depth_) walk_.emplace_back();
  frame& fr = walk_[depth_];
  std::vector<uint8_t> bytes = file_.read(page);
  fr.pos = 0;
  fr.leaf = !bytes.empty() && bytes[0] == page_type::index_leaf;
  fr.keys.clear();
  fr.entries.clear();
  if (fr.leaf) {
    // Leaves are most of a tree: their keys go into one reused buffer rather than one allocation each.
    fr.page = read_index_page_entries(f_, bytes, page, [&](const index_entry_ref& e) {
      fr.entries.push_back(leaf_entry{fr.keys.size(), e.key.size(), e.page, e.row});
      fr.keys.insert(fr.keys.end(), e.key.begin(), e.key.end());
    });
  } else {
    fr.page = read_index_page(f_, bytes, page);
  }
  ++depth_;
}

const index_entry_ref* existing_index::next() {
  if (!walking_) {
    walking_ = true;
    if (root_ != 0) push(root_);
  }
  while (depth_ > 0) {
    frame& top = walk_[depth_ - 1];
    if (top.leaf) {
      if (top.pos < top.entries.size()) {
        const leaf_entry& e = top.entries[top.pos++];
        current_ = index_entry_ref{std::span<const uint8_t>(top.keys.data() + e.offset, e.length), e.page, e.row, 0};
        return &current_;
      }
      --depth_;
      continue;
    }
    uint32_t child = 0;
    if (top.pos < top.page.entries.size()) {
      child = top.page.entries[top.pos++].child;
    } else if (top.pos == top.page.entries.size() && top.page.tail != 0) {
      ++top.pos;
      child = top.page.tail;
    } else {
      --depth_;
      continue;
    }
    push(child);  // may move walk_'s frames: `top` is not used after it
  }
  return nullptr;
}

}  // namespace jet
