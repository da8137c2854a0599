// Appends rows to one table being written and, when the table is finished, writes what depends on
// all of its rows: the index B-trees, the usage maps and the table definition.
//
// Rows go to data pages as they arrive (a page is written once full); long values to the column's
// LVAL pages. Each row is checked before anything is written: values are coerced to the column
// types (3349, 3163, 3421), required fields (3314), zero-length text (3315), required and primary
// index columns (3058), unique keys (3022, looked up among the index's own entries), the row
// size (3047) and the file size limit (3001). A refused row leaves no trace.
// Index entries (key, row pointer) are gathered per index within a memory budget, beyond it in
// sorted runs on disk (index_sorter.h), until `finish` sorts them (the indexes on other cores) and
// streams each index in order into its tree. A table left for another (`sort_ahead`) has its
// entries sorted on other cores meanwhile and, within the file's budget for them, the trees of the
// indexes held wholly in memory built there too (prepared_tree.h); `finish` then only writes them.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/jet/value_codec.h"
#include "platform/jet/data_page.h"
#include "platform/jet/format.h"
#include "platform/jet/index_sorter.h"
#include "platform/jet/long_value.h"
#include "platform/jet/page_io.h"
#include "platform/jet/prepared_tree.h"
#include "platform/jet/row_builder.h"
#include "platform/jet/table_def.h"
#include "platform/jet/types.h"

namespace jet {

// Hands out the given pages first, then new pages from the underlying allocator.
class reserved_allocator : public page_allocator {
 public:
  reserved_allocator(page_allocator& base, std::deque<uint32_t> reserved = {}) : base_(base), reserved_(std::move(reserved)) {}
  uint32_t allocate() override;
  void write(uint32_t page, std::span<const uint8_t> bytes) override { base_.write(page, bytes); }
  void reserve(uint32_t page) { reserved_.push_back(page); }

 private:
  page_allocator& base_;
  std::deque<uint32_t> reserved_;
};

// Collects usage-map rows onto map pages (data pages owned by 0).
class map_page_writer {
 public:
  map_page_writer(const format& f, page_allocator& alloc) : f_(f), alloc_(alloc), page_(f, 0) {}
  // Adds a map row; returns its row pointer.
  uint32_t add(const std::vector<uint8_t>& row);
  void flush();
  const std::vector<uint32_t>& pages() const { return pages_; }

 private:
  const format& f_;
  page_allocator& alloc_;
  data_page_builder page_;
  uint32_t page_number_ = 0;
  std::vector<uint32_t> pages_;
};

// What a table that already holds rows keeps when rows are appended to it in place: its data pages
// and long values stay where they are (the usage maps go on listing them beside the new pages), and
// each index tree is rebuilt from its existing entries, whose row pointers stay valid, merged with
// the new rows' entries. No stored row is read for it.
struct kept_table {
  const page_source* file = nullptr;     // where the existing index trees are read
  std::vector<uint32_t> data;            // data pages
  std::vector<uint32_t> data_with_room;  // of those, the ones the free-space map lists
  std::map<uint16_t, std::vector<uint32_t>> lv_owned;      // LVAL pages by memo/OLE column number
  std::map<uint16_t, std::vector<uint32_t>> lv_with_room;  // of those, the free-space map's
  // Where the new rows' data pages come from (null: the writer's allocator). Pages past the stored
  // ones keep the new rows after the old ones for readers that go by page order.
  page_allocator* new_data_pages = nullptr;
};

class existing_index;

class table_writer {
 public:
  // `def` is complete but for usage maps and roots; `rules[i]` belongs to the column numbered i.
  // `has_room(n)` says whether n more pages fit under the file size limit.
  table_writer(const format& f, page_allocator& alloc, table_def def, std::vector<column_rules> rules,
               std::function<bool(uint64_t)> has_room, const index_sort_options& sort = {});
  ~table_writer();

  // Pages to use first for the table's data pages and for each index's pages (blank-file layout).
  void reserve_data_page(uint32_t page) { data_alloc_.reserve(page); }
  void reserve_index_page(size_t index, uint32_t page) { index_reserved_.at(index).push_back(page); }
  // Takes over a table that already holds `def().row_count` rows (before the first append): unique
  // keys are checked against its index trees too, and `finish` keeps its rows where they are.
  void keep_existing(kept_table kept);
  // Index statistics as the engine writes them for its system tables: entry count 0.
  void set_engine_statistics(bool e) { engine_stats_ = e; }
  // Lets `sort_ahead` build index trees ahead within `budget` (shared with the file's other tables;
  // it must outlive the writer). Null (the default): every tree is built by `finish`.
  void prepare_trees_within(tree_budget* budget) { tree_budget_ = budget; }

  // Appends a row (values by column number; shorter vectors mean null for the rest).
  void append(std::vector<value>&& row);
  // The same for a row the caller keeps: it is copied into a buffer the writer reuses for every row.
  void append(const std::vector<value>& row);

  // Starts sorting the index entries gathered so far on other cores, while the caller goes on with other
  // tables; `finish` then finds them sorted, and the trees it may build ahead (see
  // prepare_trees_within) built; a tree built frees its sorter's memory. More rows may still come:
  // the first waits for the sorting and building and puts the trees' entries back into their sorters. Changes nothing in what is written, nor where or when an error is raised: a tree that
  // failed to build raises its error when `finish` comes to it.
  void sort_ahead();

  // Writes the remaining pages, the index trees, the usage maps (rows through `maps`) and the TDEF.
  void finish(map_page_writer& maps);

  const table_def& def() const { return def_; }
  uint32_t row_count() const { return def_.row_count; }
  bool finished() const { return finished_; }
  // How many of the index trees `finish` wrote were built ahead (a figure for tests and benchmarks).
  size_t trees_built_ahead() const { return trees_built_ahead_; }

 private:
  // Appends `row`, which the writer may change (values coerced, missing ones added as null).
  void append_row(std::vector<value>& row);
  long_value_store& lv_store(const column_def& c);
  // Sorts every index's entries in memory, on other cores where there are several.
  void sort_pending();
  // Waits for the sorting `sort_ahead` started; raises its failure.
  void settle_sorting();
  // Waits for what `sort_ahead` started and returns the sorting's failure.
  std::exception_ptr join_sorting();
  // Before the first row of a table taken up again after `sort_ahead`: waits for the sorting and
  // building (raising the sorting's failure) and gives the entries of the trees built back to their
  // sorters.
  void take_up_again();
  // Whether index i's tree may be built ahead: no stored entries to merge, no pages of its own to
  // use first, every entry in memory, and room left for it in the budget.
  bool may_prepare(size_t i) const;
  void drop_prepared_trees();
  void flush_data_page();

  const format& f_;
  page_allocator& alloc_;
  reserved_allocator data_alloc_;
  table_def def_;
  std::vector<column_rules> rules_;
  std::function<bool(uint64_t)> has_room_;
  std::vector<std::deque<uint32_t>> index_reserved_;
  std::vector<std::unique_ptr<index_sorter>> pending_;
  std::map<uint16_t, std::unique_ptr<long_value_store>> lv_;
  data_page_builder page_;
  uint32_t page_number_ = 0;
  uint32_t last_page_free_ = 0;
  // The data pages written, as runs of consecutive page numbers (first, count): a large table's pages
  // mostly follow each other, and a list of every page would grow with the table.
  std::vector<std::pair<uint32_t, uint32_t>> data_runs_;
  row_scratch row_scratch_;  // reused for every row
  std::vector<value> row_;   // a copy of the row being appended, when the caller keeps its own (reused)
  std::vector<bytes> keys_;         // each index's key of the row being appended (reused)
  std::vector<uint8_t> has_entry_;  // whether the row has an entry in each index
  bool engine_stats_ = false;
  bool finished_ = false;
  std::vector<std::thread> sorting_;  // sorts started by sort_ahead, one index each
  std::mutex sort_failure_lock_;
  std::exception_ptr sort_failure_;
  tree_budget* tree_budget_ = nullptr;
  std::atomic<bool> stop_preparing_{false};
  // By index, filled by sort_ahead's threads: a tree built ahead, or the failure that building it raised.
  std::vector<std::unique_ptr<prepared_tree>> prepared_;
  std::vector<std::exception_ptr> prepare_failure_;
  size_t trees_built_ahead_ = 0;
  size_t index_share_ = 0;  // each index's part of the sorting budget (also the bound of its key filter)
  std::optional<kept_table> kept_;
  std::vector<std::unique_ptr<existing_index>> existing_;  // by index, while rows are kept in place
};

}  // namespace jet
