// Index tree walk and strict check (contract in index_scan.h).
#include "platform/jet/index_scan.h"

#include <optional>
#include <unordered_set>

#include "platform/jet/error.h"

namespace jet {

namespace {

// Deep enough for any real tree; a deeper chain of node pages means a loop in the file.
constexpr uint32_t kMaxDepth = 32;

index_page load(const format& f, const page_source& file, uint32_t page) {
  if (page == 0 || page >= file.page_count()) {
    throw_corrupt("index page " + std::to_string(page) + " lies outside the file");
  }
  std::vector<uint8_t> bytes = file.read(page);
  return read_index_page(f, bytes, page);
}

void walk(const format& f, const page_source& file, uint32_t page, uint32_t depth,
          std::unordered_set<uint32_t>& seen, const std::function<void(const index_entry&)>& fn) {
  if (depth > kMaxDepth) throw_corrupt("index tree deeper than " + std::to_string(kMaxDepth) + " levels");
  if (!seen.insert(page).second) throw_corrupt("index page " + std::to_string(page) + " is reached twice");
  index_page p = load(f, file, page);
  if (p.leaf) {
    for (const index_entry& e : p.entries) fn(e);
    return;
  }
  for (const index_entry& e : p.entries) walk(f, file, e.child, depth + 1, seen, fn);
  if (p.tail != 0) walk(f, file, p.tail, depth + 1, seen, fn);
}

std::string at(uint32_t page) { return "index page " + std::to_string(page) + ": "; }

class checker {
 public:
  checker(const format& f, const page_source& file, uint32_t tdef_page,
          const std::function<void(const index_entry&)>& on_entry)
      : f_(f), file_(file), tdef_page_(tdef_page), on_entry_(on_entry) {}

  index_tree_report run(uint32_t root) {
    std::optional<index_entry> last = visit(root, 1, true);
    (void)last;
    if (!leaves_.empty()) {
      if (leaf_pages_.front().prev != 0) problem(at(leaves_.front()) + "first leaf has a previous page");
      if (leaf_pages_.back().next != 0) problem(at(leaves_.back()) + "last leaf has a next page");
      for (size_t i = 0; i + 1 < leaves_.size(); ++i) {
        if (leaf_pages_[i].next != leaves_[i + 1]) problem(at(leaves_[i]) + "next page does not name the following leaf");
        if (leaf_pages_[i + 1].prev != leaves_[i]) problem(at(leaves_[i + 1]) + "previous page does not name the preceding leaf");
      }
    }
    report_.depth = leaf_depth_;
    return std::move(report_);
  }

 private:
  struct link {
    uint32_t prev, next;
  };

  void problem(std::string s) {
    if (report_.problems.size() < 100) report_.problems.push_back(std::move(s));
  }

  // Visits a subtree; returns its last leaf entry (none when it is empty or unreadable).
  std::optional<index_entry> visit(uint32_t page, uint32_t depth, bool is_root) {
    if (depth > kMaxDepth) {
      problem(at(page) + "tree deeper than " + std::to_string(kMaxDepth) + " levels");
      return std::nullopt;
    }
    if (page == 0 || page >= file_.page_count()) {
      problem(at(page) + "lies outside the file");
      return std::nullopt;
    }
    if (!seen_.insert(page).second) {
      problem(at(page) + "reached twice");
      return std::nullopt;
    }
    report_.pages.push_back(page);
    index_page p;
    // A leaf's entries (most of a tree's) go into reused buffers rather than an allocation each.
    leaf_keys_.clear();
    leaf_entries_.clear();
    try {
      std::vector<uint8_t> bytes = file_.read(page);
      if (!bytes.empty() && bytes[0] == page_type::index_leaf) {
        p = read_index_page_entries(f_, bytes, page, [&](const index_entry_ref& e) {
          leaf_entries_.push_back(leaf_entry{leaf_keys_.size(), e.key.size(), e.page, e.row});
          leaf_keys_.insert(leaf_keys_.end(), e.key.begin(), e.key.end());
        });
      } else {
        p = read_index_page(f_, bytes, page);
      }
    } catch (const error& e) {
      problem(e.what());
      return std::nullopt;
    }
    if (p.leaf) return visit_leaf(page, depth, is_root, p);
    check_header(page, p);
    for (size_t i = 1; i < p.entries.size(); ++i) {
      if (!(p.entries[i - 1] < p.entries[i])) problem(at(page) + "entries out of order at entry " + std::to_string(i));
    }

    if (p.entries.empty()) problem(at(page) + "node page without entries");
    std::vector<uint32_t> children;
    for (const index_entry& e : p.entries) children.push_back(e.child);
    if (p.tail != 0) children.push_back(p.tail);
    std::vector<link> child_links;
    std::optional<index_entry> last;
    for (size_t i = 0; i < children.size(); ++i) {
      std::optional<index_entry> child_last = visit(children[i], depth + 1, false);
      if (i < p.entries.size() && child_last) {
        index_entry expect = *child_last;
        expect.child = children[i];
        if (!(expect == p.entries[i])) {
          problem(at(page) + "entry " + std::to_string(i) + " differs from the last entry of child " +
                  std::to_string(children[i]));
        }
      }
      if (child_last) last = child_last;
    }
    check_sibling_links(page, children);
    return last;
  }

  void check_header(uint32_t page, const index_page& p) {
    if (p.owner != tdef_page_) {
      problem(at(page) + "owned by page " + std::to_string(p.owner) + ", not by the table's TDEF " +
              std::to_string(tdef_page_));
    }
    const uint32_t expected_free = f_.page_size - f_.index_first_entry_offset - p.stored_entry_bytes;
    if (p.stored_free_space != expected_free) {
      problem(at(page) + "free space " + std::to_string(p.stored_free_space) + ", expected " +
              std::to_string(expected_free));
    }
    if (p.node_marker != (p.leaf ? 0 : 1)) problem(at(page) + "wrong node marker");
  }

  index_entry_ref leaf_ref(size_t i) const {
    const leaf_entry& e = leaf_entries_[i];
    return index_entry_ref{std::span<const uint8_t>(leaf_keys_.data() + e.offset, e.length), e.page, e.row, 0};
  }

  // The checks of a leaf whose entries are in leaf_keys_/leaf_entries_; returns its last entry.
  std::optional<index_entry> visit_leaf(uint32_t page, uint32_t depth, bool is_root, const index_page& p) {
    check_header(page, p);
    const size_t n = leaf_entries_.size();
    for (size_t i = 1; i < n; ++i) {
      if (!(leaf_ref(i - 1) < leaf_ref(i))) problem(at(page) + "entries out of order at entry " + std::to_string(i));
    }
    if (p.tail != 0) problem(at(page) + "leaf with a tail page");
    if (n == 0 && !is_root) problem(at(page) + "empty leaf below a node");
    if (leaf_depth_ == 0) leaf_depth_ = depth;
    if (leaf_depth_ != depth) problem(at(page) + "leaf at depth " + std::to_string(depth) + ", others at " + std::to_string(leaf_depth_));
    leaves_.push_back(page);
    leaf_pages_.push_back({p.prev, p.next});
    for (size_t i = 0; i < n; ++i) {
      const index_entry_ref e = leaf_ref(i);
      // The entry before: this leaf's previous one, or the last of the leaves before.
      const bool before = i > 0 || has_previous_;
      const index_entry_ref previous = i > 0 ? leaf_ref(i - 1) : index_entry_ref{previous_key_, previous_page_, previous_row_, 0};
      if (before && !(previous < e)) problem(at(page) + "entry not above the previous leaf's last entry");
      ++report_.entries;
      if (on_entry_) on_entry_(index_entry{bytes(e.key.begin(), e.key.end()), e.page, e.row, 0});
    }
    if (n == 0) return std::nullopt;
    const index_entry_ref last = leaf_ref(n - 1);
    has_previous_ = true;
    previous_key_.assign(last.key.begin(), last.key.end());
    previous_page_ = last.page;
    previous_row_ = last.row;
    return index_entry{previous_key_, last.page, last.row, 0};
  }

  // Children that are node pages are linked to each other, in order.
  void check_sibling_links(uint32_t parent, const std::vector<uint32_t>& children) {
    std::vector<index_page> nodes;
    for (uint32_t c : children) {
      if (c == 0 || c >= file_.page_count()) return;
      try {
        std::vector<uint8_t> bytes = file_.read(c);
        if (!bytes.empty() && bytes[0] == page_type::index_leaf) return;  // leaf links are checked as one chain
        index_page p = read_index_page(f_, bytes, c);
        if (p.leaf) return;  // leaf links are checked as one chain
        nodes.push_back(std::move(p));
      } catch (const error&) {
        return;  // reported where the child was visited
      }
    }
    for (size_t i = 0; i + 1 < nodes.size(); ++i) {
      if (nodes[i].next != children[i + 1] || nodes[i + 1].prev != children[i]) {
        problem(at(parent) + "children " + std::to_string(children[i]) + " and " + std::to_string(children[i + 1]) +
                " are not linked to each other");
      }
    }
  }

  const format& f_;
  const page_source& file_;
  uint32_t tdef_page_;
  const std::function<void(const index_entry&)>& on_entry_;
  index_tree_report report_;
  std::unordered_set<uint32_t> seen_;
  std::vector<uint32_t> leaves_;
  std::vector<link> leaf_pages_;
  // The last leaf entry so far.
  bool has_previous_ = false;
  bytes previous_key_;
  uint32_t previous_page_ = 0;
  uint8_t previous_row_ = 0;
  uint32_t leaf_depth_ = 0;
  struct leaf_entry {
    size_t offset;  // into leaf_keys_
    size_t length;
    uint32_t page;
    uint8_t row;
  };
  std::vector<uint8_t> leaf_keys_;
  std::vector<leaf_entry> leaf_entries_;
};

}  // namespace

void for_each_index_entry(const format& f, const page_source& file, uint32_t root,
                          const std::function<void(const index_entry&)>& fn) {
  std::unordered_set<uint32_t> seen;
  walk(f, file, root, 1, seen, fn);
}

std::vector<index_entry> read_index_entries(const format& f, const page_source& file, uint32_t root) {
  std::vector<index_entry> out;
  for_each_index_entry(f, file, root, [&](const index_entry& e) { out.push_back(e); });
  return out;
}

index_tree_report check_index_tree(const format& f, const page_source& file, uint32_t root, uint32_t tdef_page,
                                   const std::function<void(const index_entry&)>& on_entry) {
  checker c(f, file, tdef_page, on_entry);
  return c.run(root);
}

}  // namespace jet
