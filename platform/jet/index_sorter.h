// The entries of one index of a table being written: gathered as rows arrive, within a fixed
// memory budget, and handed back in index order when the table is finished.
//
// In memory, keys are packed into arena blocks and each entry is a 24-byte reference (key
// prefix, block, offset, key length, row pointer). When the next entry would pass the budget, the entries in
// memory are sorted and written out as a run, and memory starts over. `merge` then gives every
// entry in index order (key, then row pointer), straight from memory when nothing was written out,
// else merging the runs with what is left in memory (or reading them in turn, when keys that arrived
// in order made each run start after the one before ended). The order, and so every page built from
// it, does not depend on the budget.
//
// Run file (one per index, made at the first run): a temporary file for the destination
// (platform/system/atomic_file.h): beside it in its folder, or in the temporary folder when there is
// no destination, locked while this process lives and removed when the sorter is dropped, whatever
// ends the table; one a killed process left is removed by the next writer of that destination.
// Runs lie back to back; a run is blocks of at most 4 KiB, what a look-up reads (or one entry, if
// larger); a block is entries `key length (u32 LE) | key | row pointer (u32 LE)`. Kept in memory per
// run: each block's place, the run's first and last keys and, for a unique index, each block's
// first key and, once a look-up falls within the run's keys, a Bloom filter of them (keys that
// arrive in order never need one).
//
// A sorter of a unique index answers whether a key is already there: in memory through a binary
// search while the keys arrive in ascending order (a primary key read in its own order) and a
// hash table over the entries once they do not; on disk, per run, through its key range, its
// filter and then the one block that may hold the key. Memory thus stays within the budget
// whatever the number of rows, but for the per-block and per-run records (a few bytes per
// thousand entries) and the filters of unique keys that arrive out of order (10 bits a key).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/jet/index_page.h"
#include "platform/system/atomic_file.h"

namespace jet {

// Memory the index entries of one table may take before they are sorted out to disk.
inline constexpr size_t default_index_budget = size_t(8) << 20;

// Where and within how much memory the index entries of a table are sorted.
struct index_sort_options {
  std::string destination;               // the file being written; empty: the temporary folder
  size_t budget = default_index_budget;  // for all indexes of the table together
};

class index_sorter {
 public:
  // `destination`: the file being written (run files go beside it), empty for the temporary folder.
  index_sorter(bool unique, size_t budget, std::string destination);
  ~index_sorter();
  index_sorter(const index_sorter&) = delete;
  index_sorter& operator=(const index_sorter&) = delete;

  // Unique indexes only: is an entry with exactly this key already there?
  bool contains(std::span<const uint8_t> key) const;
  // Writes the entries in memory out as a run if an entry with `key` would not fit in the budget
  // beside them. Call before anything of the row is written: it may throw (a full disk).
  void make_room(std::span<const uint8_t> key);
  // Adds an entry (after make_room). Does not write to disk.
  void add(std::span<const uint8_t> key, uint32_t row_pointer);

  // Sorts the entries in memory (may run on another thread than the one that added them).
  void sort();
  // Whether `sort` has work to do: entries in memory that did not arrive in order and are not sorted yet.
  bool needs_sort() const { return !sorted_ && !in_order_ && refs_.size() > 1; }
  // After `sort`, before any more `contains` or `add`: the sorter takes entries again (a table that is
  // written on after its entries were sorted ahead of its finish).
  void reopen();
  // Gives every entry in index order (after sort); `child` is 0. The key is valid during the call.
  void merge(const std::function<void(const index_entry_ref&)>& out);
  // Drops every entry and frees the memory they held (runs on disk included): the sorter is as new.
  void clear();

  size_t size() const { return count_; }
  // Bytes of the keys of the entries in memory.
  size_t key_bytes() const { return key_bytes_; }
  size_t runs() const { return runs_.size(); }
  // Bytes held in memory for the entries (arena, references, hash table).
  size_t memory_bytes() const;
  const std::string& run_path() const { return file_.path(); }

 private:
  // An entry in memory. `prefix` holds the key's first 8 bytes, big-endian and padded with zeros, so
  // that most comparisons while sorting settle on it without reaching the arena; only equal
  // prefixes compare the keys themselves.
  struct ref {
    uint64_t prefix;
    uint32_t block;
    uint32_t offset;
    uint32_t length;
    uint32_t row_pointer;
  };
  struct run;
  class run_cursor;

  std::span<const uint8_t> key_of(const ref& r) const {
    return {blocks_[r.block].data.get() + r.offset, r.length};
  }
  // The first capacity of the reference array: a small part of the budget.
  size_t first_refs() const { return std::clamp<size_t>(budget_ / 64 / sizeof(ref), 16, 1024); }
  bool memory_contains(std::span<const uint8_t> key) const;
  // Whether entry e comes after the last entry of run r.
  bool ends_before(const run& r, const ref& e) const;
  void hash_insert(uint32_t index);
  void build_hash();
  void spill();
  void open_file();
  void write_at(uint64_t offset, std::span<const uint8_t> bytes);

  struct block {
    std::unique_ptr<uint8_t[]> data;
    size_t size;
  };

  const bool unique_;
  const size_t budget_;
  const size_t block_size_;
  const std::string destination_;
  std::vector<block> blocks_;
  size_t block_ = 0;       // the block being filled
  size_t block_used_ = 0;  // bytes used in it
  std::vector<ref> refs_;
  bool in_order_ = true;   // refs_ are in ascending entry order (key, then row pointer) as added
  bool sorted_ = false;
  bool hash_stale_ = false;  // sorting reordered refs_ under the hash table
  // Hash table over refs_ (unique indexes whose keys came out of order): ref index + 1, 0 free.
  std::vector<uint32_t> slots_;
  std::vector<uint32_t> slot_hash_;
  std::vector<std::unique_ptr<run>> runs_;
  // The key range all runs together cover: a key outside it is in no run, which a key that comes in order (an
  // AutoNumber) always is, so a look-up need not visit every run.
  bytes runs_first_;
  bytes runs_last_;
  // Each run's first entry comes after the last entry of the run before it: the merge reads them in turn.
  bool chained_ = true;
  sys_temporary_file file_;
  uint64_t file_size_ = 0;
  size_t count_ = 0;
  size_t key_bytes_ = 0;
};

}  // namespace jet
