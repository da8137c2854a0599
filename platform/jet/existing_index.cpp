// Reading an existing index tree for in-place appends (contract in existing_index.h).
#include "platform/jet/existing_index.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "platform/jet/error.h"
#include "platform/jet/index_scan.h"

namespace jet {

namespace {

// Deep enough for any real tree; a deeper chain of node pages means a loop in the file.
constexpr size_t kMaxDepth = 32;
// Node pages kept decoded for look-ups: the upper levels of any tree of this engine's file sizes.
constexpr size_t kCachedNodes = 256;
// Trees of tables this large are walked on another thread; leaves read ahead of the merge at most.
constexpr size_t kReadAheadKeys = 1000;
constexpr size_t kLeavesAhead = 16;

}  // namespace

// The walk on its own thread, handing whole leaves over; their buffers come back for the next ones. Each
// side sleeps only when it must (nothing ready, or the queue full) and is woken only when it sleeps: the
// walk once half of the queue has been taken, the merge as soon as a leaf is ready.
class existing_index::read_ahead {
 public:
  explicit read_ahead(existing_index& ix) : ix_(ix), thread_([this] { run(); }) {}
  ~read_ahead() {
    {
      std::lock_guard<std::mutex> lock(m_);
      stop_ = true;
    }
    walk_cv_.notify_one();
    thread_.join();
  }

  // The next leaf into `out` (whose buffers go back to the walk); false after the last.
  bool take(leaf& out) {
    std::unique_lock<std::mutex> lock(m_);
    if (ready_.empty() && !done_) {
      merge_waits_ = true;
      merge_cv_.wait(lock, [&] { return !ready_.empty() || done_; });
      merge_waits_ = false;
    }
    if (ready_.empty()) {
      if (failure_) std::rethrow_exception(failure_);
      return false;
    }
    spare_.push_back(std::move(out));
    out = std::move(ready_.front());
    ready_.pop_front();
    if (walk_waits_ && ready_.size() <= kLeavesAhead / 2) walk_cv_.notify_one();
    return true;
  }

 private:
  void run() {
    while (true) {
      leaf l;
      {
        std::unique_lock<std::mutex> lock(m_);
        if (ready_.size() >= kLeavesAhead && !stop_) {
          walk_waits_ = true;
          walk_cv_.wait(lock, [&] { return stop_ || ready_.size() <= kLeavesAhead / 2; });
          walk_waits_ = false;
        }
        if (stop_) return;
        if (!spare_.empty()) {
          l = std::move(spare_.back());
          spare_.pop_back();
        }
      }
      bool more = false;
      std::exception_ptr failure;
      try {
        more = ix_.next_leaf(l);
      } catch (...) {
        failure = std::current_exception();
      }
      bool wake = false;
      {
        std::lock_guard<std::mutex> lock(m_);
        if (more) {
          ready_.push_back(std::move(l));
        } else {
          failure_ = failure;
          done_ = true;
        }
        wake = merge_waits_;
      }
      if (wake) merge_cv_.notify_one();
      if (!more) return;
    }
  }

  existing_index& ix_;
  std::mutex m_;
  std::condition_variable walk_cv_;   // the walk waits for room
  std::condition_variable merge_cv_;  // the merge waits for a leaf
  bool walk_waits_ = false;
  bool merge_waits_ = false;
  std::deque<leaf> ready_;
  std::vector<leaf> spare_;
  bool done_ = false;
  bool stop_ = false;
  std::exception_ptr failure_;
  std::thread thread_;  // last: started once the rest is in place
};

existing_index::existing_index(const format& f, const page_source& file, uint32_t root, size_t expected_keys,
                               size_t filter_bytes)
    : f_(f), file_(file), pages_(file.page_count()), root_(root), expected_keys_(expected_keys),
      filter_bytes_(filter_bytes) {
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

existing_index::~existing_index() = default;

index_page existing_index::load(uint32_t page) const {
  if (page == 0 || page >= pages_)
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

bool existing_index::visit(uint32_t page, leaf& out) {
  if (depth_ >= kMaxDepth) throw_corrupt("index tree deeper than " + std::to_string(kMaxDepth) + " levels");
  if (page == 0 || page >= pages_) throw_corrupt("index page " + std::to_string(page) + " lies outside the file");
  std::vector<uint8_t> bytes = file_.read(page);
  if (!bytes.empty() && bytes[0] == page_type::index_leaf) {
    // Leaves are most of a tree: their keys go into one reused buffer rather than one allocation each.
    out.keys.clear();
    out.entries.clear();
    read_index_page_entries(f_, bytes, page, [&](const index_entry_ref& e) {
      out.entries.push_back(leaf_entry{out.keys.size(), e.key.size(), e.page, e.row});
      out.keys.insert(out.keys.end(), e.key.begin(), e.key.end());
    });
    return true;
  }
  if (walk_.size() <= depth_) walk_.emplace_back();
  frame& fr = walk_[depth_];
  fr.page = read_index_page(f_, bytes, page);
  fr.pos = 0;
  ++depth_;
  return false;
}

bool existing_index::next_leaf(leaf& out) {
  if (!walking_) {
    walking_ = true;
    if (root_ != 0 && visit(root_, out)) return true;
  }
  while (depth_ > 0) {
    frame& top = walk_[depth_ - 1];
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
    if (visit(child, out)) return true;  // may move walk_'s frames: `top` is not used after it
  }
  return false;
}

bool existing_index::take_leaf() {
  pos_ = 0;
  if (!ahead_tried_) {
    ahead_tried_ = true;
    if (root_ != 0 && expected_keys_ >= kReadAheadKeys) {
      try {
        ahead_ = std::make_unique<read_ahead>(*this);
      } catch (const std::system_error&) {
        // No thread to be had: the leaves are read here.
      }
    }
  }
  const bool more = ahead_ ? ahead_->take(leaf_entries_) : next_leaf(leaf_entries_);
  if (!more) leaf_entries_.entries.clear();  // the end stays the end
  return more;
}

const index_entry_ref* existing_index::next() {
  while (pos_ >= leaf_entries_.entries.size())
    if (!take_leaf()) return nullptr;
  const leaf_entry& e = leaf_entries_.entries[pos_++];
  current_ = index_entry_ref{std::span<const uint8_t>(leaf_entries_.keys.data() + e.offset, e.length), e.page, e.row, 0};
  return &current_;
}

}  // namespace jet
