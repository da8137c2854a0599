// Index trees built ahead into memory (see prepared_tree.h).
#include "platform/jet/prepared_tree.h"

#include <cstring>

#include "platform/jet/error.h"

namespace jet {

namespace {

// Thrown through the tree builder when a tree is given up (budget spent or building stopped).
struct given_up {};

}  // namespace

bool tree_budget::take(size_t n) {
  size_t left = left_.load(std::memory_order_relaxed);
  do {
    if (left < n) return false;
  } while (!left_.compare_exchange_weak(left, left - n, std::memory_order_relaxed));
  return true;
}

// Hands out the stand-in numbers 1, 2, ... and keeps the pages written under them.
class prepared_tree::memory_allocator : public page_allocator {
 public:
  memory_allocator(prepared_tree& tree, const std::atomic<bool>* stop) : tree_(tree), stop_(stop) {}

  uint32_t allocate() override {
    if (stop_ && stop_->load(std::memory_order_relaxed)) throw given_up{};
    const uint32_t size = tree_.f_.page_size;
    auto bytes = std::make_unique_for_overwrite<uint8_t[]>(size);
    tree_.pages_.reserve(tree_.pages_.size() + 1);
    if (!tree_.budget_.take(size)) throw given_up{};
    tree_.pages_.push_back(std::move(bytes));  // cannot throw: room was reserved
    return uint32_t(tree_.pages_.size());
  }
  void write(uint32_t page, std::span<const uint8_t> bytes) override {
    if (page == 0 || page > tree_.pages_.size() || bytes.size() != tree_.f_.page_size)
      throw error(dao_error::invalid_argument, "a prepared index tree was written outside its pages");
    std::memcpy(tree_.pages_[page - 1].get(), bytes.data(), bytes.size());
  }

 private:
  prepared_tree& tree_;
  const std::atomic<bool>* stop_;
};

std::unique_ptr<prepared_tree> prepared_tree::build(const format& f, uint32_t tdef_page, tree_budget& budget,
                                                    const entry_source& source, const std::atomic<bool>* stop) {
  std::unique_ptr<prepared_tree> tree(new prepared_tree(f, budget));
  try {
    memory_allocator pages(*tree, stop);
    btree_writer writer(f, pages, tdef_page);
    source([&](const index_entry_ref& e) { writer.add(e); });
    const btree_result built = writer.finish();
    tree->root_ = built.root;
    tree->depth_ = built.depth;
    tree->entries_ = writer.entries();
    tree->distinct_ = writer.distinct_keys();
  } catch (const given_up&) {
    return nullptr;  // the pages taken so far go back with the tree
  }
  return tree;
}

void prepared_tree::for_each_entry(const std::function<void(const index_entry_ref&)>& fn) const {
  if (pages_.empty()) return;
  // The first page taken is the first leaf; the leaves link on to the last.
  for (uint32_t v = 1; v != 0;) {
    const index_page header = read_index_page_entries(f_, page(v), v, fn);
    if (header.next != 0 && header.next <= v) throw_corrupt("a prepared index tree's leaves do not link forward");
    v = header.next;
  }
}

prepared_tree::~prepared_tree() { budget_.give_back(pages_.size() * f_.page_size); }

btree_result prepared_tree::place(page_allocator& alloc) {
  if (placed_) throw error(dao_error::invalid_argument, "the index tree is already written");
  placed_ = true;
  btree_result result;
  result.pages.reserve(pages_.size());
  for (size_t v = 0; v < pages_.size(); ++v) result.pages.push_back(alloc.allocate());
  for (size_t v = 0; v < pages_.size(); ++v) {
    const std::span<uint8_t> bytes(pages_[v].get(), f_.page_size);
    relocate_index_page(f_, bytes, result.pages, uint32_t(v + 1));
    alloc.write(result.pages[v], bytes);
  }
  result.root = result.pages.at(root_ - 1);
  result.depth = depth_;
  // The pages are written: their memory goes back at once.
  budget_.give_back(pages_.size() * f_.page_size);
  pages_.clear();
  return result;
}

}  // namespace jet
