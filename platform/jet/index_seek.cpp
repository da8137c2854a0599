// The descent to a key and the walk along the leaves (see index_seek.h).
#include "platform/jet/index_seek.h"

#include <algorithm>
#include <string>

#include "platform/jet/error.h"

namespace jet {
namespace {

constexpr size_t kMaxDepth = 32;

bool below(const index_entry& e, const bytes& key) { return index_entry_ref::compare_keys(e.key, key) < 0; }

}  // namespace

index_page index_seek::load(uint32_t page) const {
  if (page == 0 || page >= file_.page_count())
    throw_corrupt("index page " + std::to_string(page) + " lies outside the file");
  return read_index_page(f_, file_.read(page), page);
}

index_seek::index_seek(const format& f, const page_source& file, uint32_t root, const bytes& from)
    : f_(f), file_(file) {
  if (root == 0) {
    done_ = true;
    return;
  }
  uint32_t page = root;
  for (size_t depth = 0;; ++depth) {
    if (depth > kMaxDepth) throw_corrupt("index tree deeper than " + std::to_string(kMaxDepth) + " levels");
    index_page p = load(page);
    auto it = std::lower_bound(p.entries.begin(), p.entries.end(), from, below);
    if (p.leaf) {
      leaf_ = std::move(p);
      pos_ = static_cast<size_t>(it - leaf_.entries.begin());
      return;
    }
    if (it != p.entries.end()) {
      page = it->child;
    } else if (p.tail != 0) {
      page = p.tail;
    } else {
      done_ = true;
      return;
    }
  }
}

const index_entry* index_seek::next() {
  while (!done_ && pos_ >= leaf_.entries.size()) {
    // A sound chain visits each leaf once: more leaves than the file has pages is a loop.
    if (leaf_.next == 0 || ++leaves_read_ > file_.page_count()) {
      done_ = true;
      break;
    }
    index_page p = load(leaf_.next);
    if (!p.leaf) throw_corrupt("index leaf chain reaches a node page");
    leaf_ = std::move(p);
    pos_ = 0;
  }
  if (done_) return nullptr;
  return &leaf_.entries[pos_++];
}

}  // namespace jet
