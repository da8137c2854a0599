// Row appending and table finishing.
#include "platform/jet/table_writer.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <mutex>
#include <numeric>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/jet/btree_builder.h"
#include "platform/jet/byte_order.h"
#include "platform/jet/error.h"
#include "platform/jet/existing_index.h"
#include "platform/jet/index_key.h"
#include "platform/jet/row_builder.h"
#include "platform/jet/tdef_builder.h"
#include "platform/jet/usage_map.h"
#include "platform/jet/value_codec.h"

namespace jet {

uint32_t reserved_allocator::allocate() {
  if (reserved_.empty()) return base_.allocate();
  uint32_t p = reserved_.front();
  reserved_.pop_front();
  return p;
}

uint32_t map_page_writer::add(const std::vector<uint8_t>& row) {
  if (!page_.empty() && !page_.fits(uint32_t(row.size()))) flush();
  if (page_.empty()) {
    page_number_ = alloc_.allocate();
    pages_.push_back(page_number_);
  }
  return make_row_pointer(page_number_, page_.add(row));
}

void map_page_writer::flush() {
  if (page_.empty()) return;
  alloc_.write(page_number_, page_.bytes());
  page_.reset();
}

table_writer::table_writer(const format& f, page_allocator& alloc, table_def def, std::vector<column_rules> rules,
                           std::function<bool(uint64_t)> has_room, const index_sort_options& sort)
    : f_(f), alloc_(alloc), data_alloc_(alloc), def_(std::move(def)), rules_(std::move(rules)),
      has_room_(std::move(has_room)), page_(f, def_.tdef_page) {
  uint32_t ncols = std::max<uint32_t>(def_.max_columns, uint32_t(def_.columns.size()));
  rules_.resize(ncols);
  index_reserved_.resize(def_.indexes.size());
  // The budget is shared evenly: each index gets its part.
  const size_t share = def_.indexes.empty() ? sort.budget : sort.budget / def_.indexes.size();
  index_share_ = share;
  for (const auto& ix : def_.indexes)
    pending_.push_back(std::make_unique<index_sorter>(ix.is_unique(), share, sort.destination));
}

table_writer::~table_writer() {
  stop_preparing_.store(true, std::memory_order_relaxed);
  for (auto& t : sorting_) t.join();
}

void table_writer::keep_existing(kept_table kept) {
  existing_.clear();
  for (const auto& ix : def_.indexes)
    existing_.push_back(std::make_unique<existing_index>(f_, *kept.file, ix.root_page, def_.row_count, index_share_));
  kept_ = std::move(kept);
}

long_value_store& table_writer::lv_store(const column_def& c) {
  auto& slot = lv_[c.number];
  if (!slot) slot = std::make_unique<long_value_store>(f_, alloc_);
  return *slot;
}

void table_writer::flush_data_page() {
  if (page_.empty()) return;
  alloc_.write(page_number_, page_.bytes());
  last_page_free_ = page_.free_space();
  page_.reset();
}

namespace {

bool all_columns_null(const index_def& ix, const std::vector<value>& row) {
  for (const auto& ic : ix.columns)
    if (ic.column_number < row.size() && !row[ic.column_number].is_null()) return false;
  return true;
}

}  // namespace

void table_writer::append(std::vector<value>&& row) { append_row(row); }

void table_writer::append(const std::vector<value>& row) {
  // Assigning over the last row's values reuses their memory (text above all).
  row_ = row;
  append_row(row_);
}

void table_writer::append_row(std::vector<value>& row) {
  if (finished_) throw error(dao_error::object_invalid, error_text(dao_error::object_invalid));
  if (!sorting_.empty() || !prepared_.empty()) take_up_again();
  uint32_t ncols = std::max<uint32_t>(def_.max_columns, uint32_t(def_.columns.size()));
  row.resize(ncols);

  // Values in the column types; AutoNumber fills in or moves its counter past explicit values.
  uint32_t autonumber = def_.autonumber_last;
  for (const auto& c : def_.columns) {
    value& v = row[c.number];
    coerce_in_place(f_, c, v);
    if (c.is_autonumber() && c.type == column_type::long_integer) {
      if (v.is_null()) {
        if (autonumber == 0x7FFFFFFFu) throw_error(dao_error::numeric_overflow);
        v = value::long_integer(int32_t(++autonumber));
      } else if (v.as_long() > 0 && uint32_t(v.as_long()) > autonumber) {
        autonumber = uint32_t(v.as_long());
      }
    }
  }
  for (const auto& c : def_.columns) check_rules(c, rules_[c.number], row[c.number]);

  // Keys: refuse nulls in required indexes and duplicates in unique ones before writing anything.
  std::vector<bytes>& keys = keys_;
  std::vector<uint8_t>& has_entry = has_entry_;
  keys.resize(def_.indexes.size());
  has_entry.assign(def_.indexes.size(), 0);
  for (size_t i = 0; i < def_.indexes.size(); ++i) {
    const index_def& ix = def_.indexes[i];
    if (ix.is_required())
      for (const auto& ic : ix.columns)
        if (row[ic.column_number].is_null()) throw_error(dao_error::index_null);
    if (!has_index_entry(def_, ix, row)) continue;
    has_entry[i] = 1;
    encode_key(f_, def_, ix, row, keys[i]);
    // A key that no index page can hold would only fail the tree at close, and the whole file with it: the
    // record is refused here instead, and the table and the file go on without it.
    if (keys[i].size() > max_index_key_size(f_))
      throw error(dao_error::invalid_argument, "The values of this record make an index key of " +
                                                   std::to_string(keys[i].size()) +
                                                   " bytes, longer than an index page can hold.");
    if (ix.is_unique() && !all_columns_null(ix, row) &&
        (pending_[i]->contains(keys[i]) || (!existing_.empty() && existing_[i]->contains(keys[i]))))
      throw_error(dao_error::duplicate_key);
  }
  // Room in the file: the data page and every long value out of the row.
  uint64_t pages = 1;
  for (const auto& c : def_.columns)
    if (is_long_value_type(c.type) && !row[c.number].is_null()) {
      uint64_t len = is_text_type(c.type) ? uint64_t(row[c.number].as_text().size()) * 4 : row[c.number].as_binary().size();
      pages += len > f_.lv_inline_max ? lv_store(c).pages_needed(len) : 0;
    }
  if (has_room_ && !has_room_(pages)) throw_error(dao_error::invalid_argument);
  // Entries that would pass the memory budget go out to disk now, while a failure leaves no trace.
  for (size_t i = 0; i < def_.indexes.size(); ++i)
    if (has_entry[i]) pending_[i]->make_room(keys[i]);

  const std::vector<uint8_t>& bytes_ =
      build_row(f_, def_, row, [&](const column_def& c) -> long_value_store& { return lv_store(c); }, row_scratch_);
  if (!page_.empty() && !page_.fits(uint32_t(bytes_.size()))) flush_data_page();
  if (page_.empty()) {
    page_number_ = kept_ && kept_->new_data_pages ? kept_->new_data_pages->allocate() : data_alloc_.allocate();
    if (!data_runs_.empty() && data_runs_.back().first + data_runs_.back().second == page_number_)
      ++data_runs_.back().second;
    else
      data_runs_.push_back({page_number_, 1});
  }
  uint8_t row_number = page_.add(bytes_);
  uint32_t rp = make_row_pointer(page_number_, row_number);

  for (size_t i = 0; i < def_.indexes.size(); ++i)
    if (has_entry[i]) pending_[i]->add(keys[i], rp);
  def_.autonumber_last = autonumber;
  ++def_.row_count;
}

bool table_writer::may_prepare(size_t i) const {
  const index_sorter* s = pending_[i].get();
  if (tree_budget_ == nullptr || !existing_.empty() || !index_reserved_[i].empty() || s == nullptr || s->runs() > 0)
    return false;
  // A first guess of the tree's size (its leaves, filled to the brim): a tree plainly too large for
  // what is left is not started at all.
  const size_t leaf_bytes = s->key_bytes() + 4 * s->size();
  const size_t pages = leaf_bytes / index_page_capacity(f_) + 1;
  return pages * f_.page_size <= tree_budget_->left();
}

void table_writer::sort_ahead() {
  // Trees still prepared hold every entry of their indexes (no row came since): they stay.
  if (finished_ || !sorting_.empty() || !prepared_.empty()) return;
  stop_preparing_.store(false, std::memory_order_relaxed);
  prepared_.clear();
  prepared_.resize(pending_.size());
  prepare_failure_.assign(pending_.size(), nullptr);
  for (size_t i = 0; i < pending_.size(); ++i) {
    index_sorter* s = pending_[i].get();
    if (s == nullptr) continue;
    const bool sort = s->needs_sort();
    const bool prepare = may_prepare(i);
    if (!sort && !prepare) continue;
    try {
      sorting_.emplace_back([this, s, i, sort, prepare] {
        try {
          if (sort) s->sort();
        } catch (...) {
          std::lock_guard<std::mutex> lock(sort_failure_lock_);
          if (!sort_failure_) sort_failure_ = std::current_exception();
          return;
        }
        if (!prepare) return;
        try {
          prepared_[i] = prepared_tree::build(
              f_, def_.tdef_page, *tree_budget_, [s](const auto& out) { s->merge(out); }, &stop_preparing_);
          // The tree holds every entry now, in less memory than the sorter.
          if (prepared_[i]) s->clear();
        } catch (...) {
          // Raised by `finish` when it comes to this index, where building the tree there would raise it.
          prepare_failure_[i] = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      break;  // no thread to be had: what is left is sorted and built at finish
    }
  }
}

std::exception_ptr table_writer::join_sorting() {
  for (auto& t : sorting_) t.join();
  sorting_.clear();
  std::lock_guard<std::mutex> lock(sort_failure_lock_);
  return std::exchange(sort_failure_, nullptr);
}

void table_writer::settle_sorting() {
  if (std::exception_ptr failure = join_sorting()) std::rethrow_exception(failure);
}

void table_writer::take_up_again() {
  // The building is not cut short: a table is seldom taken up again, and what was built is then
  // always taken back the same way.
  settle_sorting();
  // A tree built ahead would lack the rows to come: its entries go back to its sorter (in order).
  for (size_t i = 0; i < prepared_.size(); ++i) {
    if (!prepared_[i]) continue;
    index_sorter& s = *pending_[i];
    try {
      prepared_[i]->for_each_entry([&](const index_entry_ref& e) { s.add(e.key, make_row_pointer(e.page, e.row)); });
    } catch (...) {
      s.clear();  // the tree stays, and with it every entry, for the next attempt or for finish
      throw;
    }
    prepared_[i].reset();
  }
  drop_prepared_trees();
  for (auto& p : pending_)
    if (p) p->reopen();
}

void table_writer::drop_prepared_trees() {
  prepared_.clear();
  prepare_failure_.clear();
}

void table_writer::sort_pending() {
  std::vector<index_sorter*> todo;
  for (auto& p : pending_)
    if (p && p->needs_sort()) todo.push_back(p.get());
  if (todo.size() <= 1) {
    for (index_sorter* p : todo) p->sort();
    return;
  }
  std::vector<std::thread> threads;
  std::exception_ptr failure;
  std::mutex failure_lock;
  for (size_t k = 1; k < todo.size(); ++k) {
    threads.emplace_back([&, p = todo[k]] {
      try {
        p->sort();
      } catch (...) {
        std::lock_guard<std::mutex> lock(failure_lock);
        failure = std::current_exception();
      }
    });
  }
  try {
    todo[0]->sort();
  } catch (...) {
    std::lock_guard<std::mutex> lock(failure_lock);
    failure = std::current_exception();
  }
  for (auto& t : threads) t.join();
  if (failure) std::rethrow_exception(failure);
}

void table_writer::finish(map_page_writer& maps) {
  if (finished_) return;
  flush_data_page();
  for (auto& [n, s] : lv_) s->flush();

  // Index trees: the entries in memory are sorted on as many cores as there are indexes (unless that
  // was started ahead), then each tree is written in turn (its pages follow the previous tree's).
  settle_sorting();
  sort_pending();
  std::vector<std::vector<uint32_t>> index_pages(def_.indexes.size());
  for (size_t i = 0; i < def_.indexes.size(); ++i) {
    index_def& ix = def_.indexes[i];
    if (i < prepare_failure_.size() && prepare_failure_[i]) std::rethrow_exception(prepare_failure_[i]);
    if (i < prepared_.size() && prepared_[i]) {
      // Built ahead: its pages are the next ones, as if it were built here.
      prepared_tree& ready = *prepared_[i];
      btree_result placed = ready.place(alloc_);
      ix.root_page = placed.root;
      ix.entry_count = engine_stats_ ? 0 : uint32_t(ready.entries());
      ix.distinct_count = ready.distinct_keys();
      index_pages[i] = std::move(placed.pages);
      prepared_[i].reset();
      pending_[i].reset();
      ++trees_built_ahead_;
      continue;
    }
    reserved_allocator ia(alloc_, index_reserved_[i]);
    btree_writer tree(f_, ia, def_.tdef_page);
    auto add = [&](const index_entry_ref& e) { tree.add(e); };
    // The entries of rows kept in place come from the old tree, in order, between the new ones.
    existing_index* old = existing_.empty() ? nullptr : existing_[i].get();
    const index_entry_ref* next_old = old ? old->next() : nullptr;
    pending_[i]->merge([&](const index_entry_ref& e) {
      while (next_old && *next_old < e) {
        add(*next_old);
        next_old = old->next();
      }
      add(e);
    });
    for (; next_old; next_old = old->next()) add(*next_old);
    pending_[i].reset();
    btree_result built = tree.finish();
    ix.root_page = built.root;
    ix.entry_count = engine_stats_ ? 0 : uint32_t(tree.entries());
    ix.distinct_count = tree.distinct_keys();
    index_pages[i] = std::move(built.pages);
  }

  // Usage maps: owned and free-space pages of the table, the LV columns' pages, each index's pages.
  std::vector<uint32_t> bitmap_pages;
  auto joined = [](const std::vector<uint32_t>* kept, const std::vector<uint32_t>& added) {
    std::vector<uint32_t> all = kept ? *kept : std::vector<uint32_t>{};
    all.insert(all.end(), added.begin(), added.end());
    return all;
  };
  auto kept_of = [](const std::map<uint16_t, std::vector<uint32_t>>& m, uint16_t column) -> const std::vector<uint32_t>* {
    auto it = m.find(column);
    return it == m.end() ? nullptr : &it->second;
  };
  std::vector<uint32_t> data_pages = kept_ ? kept_->data : std::vector<uint32_t>{};
  for (const auto& [first, count] : data_runs_)
    for (uint32_t k = 0; k < count; ++k) data_pages.push_back(first + k);
  def_.owned_map = maps.add(build_usage_map(f_, std::move(data_pages), alloc_, bitmap_pages));
  std::vector<uint32_t> with_room = kept_ ? kept_->data_with_room : std::vector<uint32_t>{};
  if (!data_runs_.empty() && last_page_free_ > 0)
    with_room.push_back(data_runs_.back().first + data_runs_.back().second - 1);
  def_.free_map = maps.add(build_usage_map(f_, with_room, alloc_, bitmap_pages));
  std::vector<column_def*> lv_cols;
  for (auto& c : def_.columns)
    if (is_long_value_type(c.type)) lv_cols.push_back(&c);
  std::sort(lv_cols.begin(), lv_cols.end(), [](const column_def* a, const column_def* b) { return a->number < b->number; });
  for (column_def* c : lv_cols) {
    auto it = lv_.find(c->number);
    std::vector<uint32_t> owned = it == lv_.end() ? std::vector<uint32_t>{} : it->second->pages();
    std::vector<uint32_t> room = it == lv_.end() ? std::vector<uint32_t>{} : it->second->pages_with_room();
    if (kept_) {
      owned = joined(kept_of(kept_->lv_owned, c->number), owned);
      room = joined(kept_of(kept_->lv_with_room, c->number), room);
    }
    c->lv_owned_map = maps.add(build_usage_map(f_, owned, alloc_, bitmap_pages));
    c->lv_free_map = maps.add(build_usage_map(f_, room, alloc_, bitmap_pages));
  }
  for (size_t i = 0; i < def_.indexes.size(); ++i)
    def_.indexes[i].usage_map = maps.add(build_usage_map(f_, index_pages[i], alloc_, bitmap_pages));

  write_tdef(f_, def_, alloc_);
  lv_.clear();
  pending_.clear();
  existing_.clear();
  drop_prepared_trees();
  finished_ = true;
}

}  // namespace jet
