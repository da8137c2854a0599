// Bloom filter over index keys (contract in key_filter.h).
#include "platform/jet/key_filter.h"

#include <algorithm>

namespace jet {

namespace {

constexpr int kHashes = 7;
constexpr size_t kBitsPerKey = 10;
constexpr size_t kLineWords = 8;  // 512 bits

}  // namespace

uint64_t hash_index_key(std::span<const uint8_t> key) {
  uint64_t h = 0xcbf29ce484222325ull ^ key.size();
  for (uint8_t b : key) h = (h ^ b) * 0x100000001b3ull;
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ull;
  h ^= h >> 33;
  return h;
}

key_filter::key_filter(size_t keys, size_t max_bytes) {
  size_t lines = (keys * kBitsPerKey + 511) / 512;
  lines = std::clamp<size_t>(lines, 1, std::max<size_t>(1, max_bytes / (kLineWords * sizeof(uint64_t))));
  bits_.assign(lines * kLineWords, 0);
}

bool key_filter::may_hold(uint64_t h) const {
  const uint64_t* line = bits_.data() + (h % (bits_.size() / kLineWords)) * kLineWords;
  uint64_t g = (h >> 32) | 1;
  for (int i = 0; i < kHashes; ++i, g = g * 0x9E3779B97F4A7C15ull + h) {
    const unsigned bit = unsigned(g >> 55);  // 0..511
    if ((line[bit / 64] & (uint64_t(1) << (bit % 64))) == 0) return false;
  }
  return true;
}

void key_filter::remember(uint64_t h) {
  uint64_t* line = bits_.data() + (h % (bits_.size() / kLineWords)) * kLineWords;
  uint64_t g = (h >> 32) | 1;
  for (int i = 0; i < kHashes; ++i, g = g * 0x9E3779B97F4A7C15ull + h) {
    const unsigned bit = unsigned(g >> 55);
    line[bit / 64] |= uint64_t(1) << (bit % 64);
  }
}

}  // namespace jet
