// The set of keys of one unique index, for refusing a duplicate row at the moment it is appended.
//
// Keys are copied into an arena of 1 MiB blocks (a length prefix, then the bytes) and found through
// an open-addressing table of (arena position, 32-bit hash) slots kept at most half full. A million
// 20-byte keys take about 40 MB; nothing is allocated per key.
//
// Access lets a unique index hold any number of entries whose columns are all null: do not insert
// those keys (see `all_index_columns_null` in index_key.h). Keys that differ only in what the key
// does not encode (case, trailing spaces of text) are equal here, as they are to Access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace jet {

class key_set {
 public:
  key_set() = default;
  key_set(const key_set&) = delete;
  key_set& operator=(const key_set&) = delete;
  key_set(key_set&&) = default;
  key_set& operator=(key_set&&) = default;

  // Adds `key`; false (and no change) when an equal key is already present.
  bool insert(std::span<const uint8_t> key);
  bool contains(std::span<const uint8_t> key) const;
  // Removes `key`; false when it was not present (for a row that is taken back).
  bool erase(std::span<const uint8_t> key);

  size_t size() const { return size_; }
  // Bytes held by the arena and the table.
  size_t memory_bytes() const;
  void clear();

 private:
  static constexpr size_t kBlockBits = 20;
  static constexpr size_t kBlockSize = size_t(1) << kBlockBits;
  static constexpr uint64_t kEmpty = 0;
  static constexpr uint64_t kErased = 1;

  std::span<const uint8_t> stored(uint64_t pos) const;
  uint64_t store(std::span<const uint8_t> key);
  // The slot holding `key`, or the slot where it would go (first erased or empty).
  size_t find_slot(std::span<const uint8_t> key, uint32_t hash, bool& found) const;
  void grow();

  std::vector<std::unique_ptr<uint8_t[]>> blocks_;
  size_t block_used_ = kBlockSize;  // bytes used in the last block
  std::vector<uint64_t> slot_pos_;   // arena position + 2; kEmpty, kErased
  std::vector<uint32_t> slot_hash_;
  size_t size_ = 0;
  size_t used_slots_ = 0;  // live + erased
};

}  // namespace jet
