// A Bloom filter over index keys: it says "certainly not there" for most keys that are not, so that a
// look-up reads keys back from disk only for the few that may be.
//
// Blocked: the 7 bits of one key all lie in one 512-bit line (one cache line). At 10 bits a key about
// one key in a hundred that is not there passes; a filter given less room than that passes more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace jet {

// A 64-bit hash of a key's bytes.
uint64_t hash_index_key(std::span<const uint8_t> key);

class key_filter {
 public:
  key_filter() = default;
  // Room for `keys` keys at 10 bits a key, but at most `max_bytes` (at least one line).
  explicit key_filter(size_t keys, size_t max_bytes = SIZE_MAX);

  bool empty() const { return bits_.empty(); }
  // False when the key of hash `h` was certainly never remembered.
  bool may_hold(uint64_t h) const;
  void remember(uint64_t h);
  size_t memory_bytes() const { return bits_.size() * sizeof(uint64_t); }

 private:
  std::vector<uint64_t> bits_;
};

}  // namespace jet
