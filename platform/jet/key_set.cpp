// Unique-key set (layout in key_set.h).
#include "platform/jet/key_set.h"

#include <algorithm>
#include <cstring>

namespace jet {

namespace {

uint32_t hash_key(std::span<const uint8_t> key) {
  uint64_t h = 0xcbf29ce484222325ull ^ key.size();
  for (uint8_t b : key) h = (h ^ b) * 0x100000001b3ull;
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  return uint32_t(h);
}

size_t varint_size(size_t v) {
  size_t n = 1;
  while (v >= 0x80) {
    v >>= 7;
    ++n;
  }
  return n;
}

}  // namespace

std::span<const uint8_t> key_set::stored(uint64_t pos) const {
  const uint8_t* p = blocks_[pos >> kBlockBits].get() + (pos & (kBlockSize - 1));
  size_t len = 0;
  for (int shift = 0;; shift += 7) {
    uint8_t b = *p++;
    len |= size_t(b & 0x7F) << shift;
    if ((b & 0x80) == 0) break;
  }
  return {p, len};
}

uint64_t key_set::store(std::span<const uint8_t> key) {
  const size_t need = varint_size(key.size()) + key.size();
  if (need > kBlockSize) {
    // An oversized key gets a block of its own, followed by a fresh (full) marker.
    blocks_.push_back(std::make_unique<uint8_t[]>(need));
    block_used_ = kBlockSize;
  } else if (block_used_ + need > kBlockSize) {
    blocks_.push_back(std::make_unique<uint8_t[]>(kBlockSize));
    block_used_ = 0;
  }
  const uint64_t block = blocks_.size() - 1;
  const size_t offset = need > kBlockSize ? 0 : block_used_;
  uint8_t* p = blocks_.back().get() + offset;
  size_t len = key.size();
  while (len >= 0x80) {
    *p++ = uint8_t(len | 0x80);
    len >>= 7;
  }
  *p++ = uint8_t(len);
  if (!key.empty()) std::memcpy(p, key.data(), key.size());
  if (need <= kBlockSize) block_used_ += need;
  return (block << kBlockBits) | offset;
}

size_t key_set::find_slot(std::span<const uint8_t> key, uint32_t hash, bool& found) const {
  const size_t mask = slot_pos_.size() - 1;
  size_t i = hash & mask;
  size_t first_free = SIZE_MAX;
  for (;;) {
    const uint64_t pos = slot_pos_[i];
    if (pos == kEmpty) {
      found = false;
      return first_free != SIZE_MAX ? first_free : i;
    }
    if (pos == kErased) {
      if (first_free == SIZE_MAX) first_free = i;
    } else if (slot_hash_[i] == hash) {
      std::span<const uint8_t> s = stored(pos - 2);
      if (s.size() == key.size() && std::equal(s.begin(), s.end(), key.begin())) {
        found = true;
        return i;
      }
    }
    i = (i + 1) & mask;
  }
}

void key_set::grow() {
  const size_t new_size = slot_pos_.empty() ? 1024 : (size_ * 2 < slot_pos_.size() / 2 ? slot_pos_.size() : slot_pos_.size() * 2);
  std::vector<uint64_t> old_pos = std::move(slot_pos_);
  std::vector<uint32_t> old_hash = std::move(slot_hash_);
  slot_pos_.assign(new_size, kEmpty);
  slot_hash_.assign(new_size, 0);
  used_slots_ = 0;
  const size_t mask = new_size - 1;
  for (size_t k = 0; k < old_pos.size(); ++k) {
    if (old_pos[k] == kEmpty || old_pos[k] == kErased) continue;
    size_t i = old_hash[k] & mask;
    while (slot_pos_[i] != kEmpty) i = (i + 1) & mask;
    slot_pos_[i] = old_pos[k];
    slot_hash_[i] = old_hash[k];
    ++used_slots_;
  }
}

bool key_set::insert(std::span<const uint8_t> key) {
  if ((used_slots_ + 1) * 2 > slot_pos_.size()) grow();
  const uint32_t hash = hash_key(key);
  bool found = false;
  const size_t slot = find_slot(key, hash, found);
  if (found) return false;
  if (slot_pos_[slot] == kEmpty) ++used_slots_;
  slot_pos_[slot] = store(key) + 2;
  slot_hash_[slot] = hash;
  ++size_;
  return true;
}

bool key_set::contains(std::span<const uint8_t> key) const {
  if (slot_pos_.empty()) return false;
  bool found = false;
  find_slot(key, hash_key(key), found);
  return found;
}

bool key_set::erase(std::span<const uint8_t> key) {
  if (slot_pos_.empty()) return false;
  bool found = false;
  const size_t slot = find_slot(key, hash_key(key), found);
  if (!found) return false;
  slot_pos_[slot] = kErased;
  --size_;
  return true;
}

size_t key_set::memory_bytes() const {
  size_t arena = 0;
  for (size_t i = 0; i < blocks_.size(); ++i) arena += kBlockSize;
  return arena + slot_pos_.capacity() * sizeof(uint64_t) + slot_hash_.capacity() * sizeof(uint32_t);
}

void key_set::clear() {
  blocks_.clear();
  block_used_ = kBlockSize;
  slot_pos_.clear();
  slot_hash_.clear();
  size_ = 0;
  used_slots_ = 0;
}

}  // namespace jet
