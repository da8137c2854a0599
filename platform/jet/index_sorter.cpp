// Index entries within a memory budget, sorted out to runs on disk (layout in index_sorter.h).
#include "platform/jet/index_sorter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/jet/byte_order.h"
#include "platform/jet/error.h"
#include "platform/jet/key_filter.h"

namespace jet {

namespace {

constexpr size_t kRunBlock = size_t(4) << 10;  // what a look-up reads
constexpr size_t kEntryOverhead = 8;  // key length and row pointer
constexpr size_t kFirstSlots = 64;

uint64_t hash_key(std::span<const uint8_t> key) { return hash_index_key(key); }

int compare(std::span<const uint8_t> a, std::span<const uint8_t> b) { return index_entry_ref::compare_keys(a, b); }

// Entries order by key, then row pointer (data page, then row: the row pointer's own order).
bool entry_less(std::span<const uint8_t> ka, uint32_t ra, std::span<const uint8_t> kb, uint32_t rb) {
  const int c = compare(ka, kb);
  return c != 0 ? c < 0 : ra < rb;
}

// The first 8 bytes of a key as a big-endian number, padded with zeros: two keys whose prefixes
// differ order as their prefixes do (a zero pad can only differ from a real byte above zero, and then
// the shorter key is a start of the longer one up to there, so it sorts first either way).
uint64_t key_prefix(std::span<const uint8_t> key) {
  uint8_t bytes[8] = {};
  if (!key.empty()) std::memcpy(bytes, key.data(), std::min<size_t>(key.size(), 8));
  uint64_t p = 0;
  for (uint8_t b : bytes) p = (p << 8) | b;
  return p;
}

// entry_less for keys whose prefixes (key_prefix) are at hand: most comparisons settle on them. Equal
// prefixes of two keys of 8 bytes or more mean equal first 8 bytes, which need no second look.
bool prefixed_less(uint64_t pa, std::span<const uint8_t> ka, uint32_t ra, uint64_t pb, std::span<const uint8_t> kb,
                   uint32_t rb) {
  if (pa != pb) return pa < pb;
  const size_t skip = ka.size() >= 8 && kb.size() >= 8 ? 8 : 0;
  return entry_less(ka.subspan(skip), ra, kb.subspan(skip), rb);
}

// The folder run files go to when there is no destination.
std::string temporary_folder() {
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

}  // namespace

struct index_sorter::run {
  struct block_info {
    uint64_t offset;
    uint32_t length;
    uint32_t key_offset;  // first key, in first_keys
    uint32_t key_length;
  };
  std::vector<block_info> blocks;
  std::vector<uint8_t> first_keys;
  bytes last_key;
  uint32_t last_row_pointer = 0;
  size_t entries = 0;
  // Made at the first look-up that falls into the run's key range: keys that arrive in order never
  // need one.
  mutable key_filter filter;

  std::span<const uint8_t> first_key(size_t b) const {
    return {first_keys.data() + blocks[b].key_offset, blocks[b].key_length};
  }
};

// Reads one block of a run into a buffer and steps through its entries.
class index_sorter::run_cursor {
 public:
  run_cursor(int fd, const std::string& path, const run& r) : fd_(fd), path_(path), run_(r) {}

  // Loads block `b`; false past the last block.
  bool load(size_t b) {
    block_ = b;
    pos_ = 0;
    if (b >= run_.blocks.size()) return false;
    const run::block_info& info = run_.blocks[b];
    buffer_.resize(info.length);
    size_t done = 0;
    while (done < info.length) {
      const ssize_t n = ::pread(fd_, buffer_.data() + done, info.length - done, off_t(info.offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw error(dao_error::io_error, "Disk or network error while reading '" + path_ + "'.");
      done += size_t(n);
    }
    return true;
  }
  // Reads the entry at the position; false at the end of the block.
  bool entry(std::span<const uint8_t>& key, uint32_t& row_pointer) const {
    if (pos_ >= buffer_.size()) return false;
    const uint32_t length = get_u32(buffer_.data() + pos_);
    key = {buffer_.data() + pos_ + 4, length};
    row_pointer = get_u32(buffer_.data() + pos_ + 4 + length);
    return true;
  }
  void next() { pos_ += kEntryOverhead + get_u32(buffer_.data() + pos_); }
  // Steps to the next entry of the run, loading the next block when this one is done.
  bool advance() {
    next();
    if (pos_ < buffer_.size()) return true;
    return load(block_ + 1);
  }
  // Gives every entry of the run, from its first block, to fn(key, row pointer).
  template <class F>
  void for_each(F fn) {
    std::span<const uint8_t> key;
    uint32_t row_pointer = 0;
    for (bool more = load(0) && entry(key, row_pointer); more; more = advance() && entry(key, row_pointer))
      fn(key, row_pointer);
  }

 private:
  int fd_;
  const std::string& path_;
  const run& run_;
  std::vector<uint8_t> buffer_;
  size_t block_ = 0;
  size_t pos_ = 0;
};

index_sorter::index_sorter(bool unique, size_t budget, std::string destination)
    : unique_(unique), budget_(budget),
      block_size_(std::clamp<size_t>(budget / 8, 4096, size_t(1) << 20)), destination_(std::move(destination)) {}

index_sorter::~index_sorter() = default;

size_t index_sorter::memory_bytes() const {
  size_t total = refs_.capacity() * sizeof(ref) + (slots_.capacity() + slot_hash_.capacity()) * sizeof(uint32_t);
  for (const block& b : blocks_) total += b.size;
  return total;
}

bool index_sorter::memory_contains(std::span<const uint8_t> key) const {
  if (refs_.empty()) return false;
  if (in_order_) {
    const int last = compare(key, key_of(refs_.back()));
    if (last >= 0) return last == 0;
    auto it = std::lower_bound(refs_.begin(), refs_.end(), key,
                               [&](const ref& r, std::span<const uint8_t> k) { return compare(key_of(r), k) < 0; });
    return it != refs_.end() && compare(key_of(*it), key) == 0;
  }
  const uint32_t h = uint32_t(hash_key(key));
  const size_t mask = slots_.size() - 1;
  for (size_t i = h & mask; slots_[i] != 0; i = (i + 1) & mask) {
    if (slot_hash_[i] == h && compare(key_of(refs_[slots_[i] - 1]), key) == 0) return true;
  }
  return false;
}

bool index_sorter::contains(std::span<const uint8_t> key) const {
  if (memory_contains(key)) return true;
  if (runs_.empty()) return false;
  if (compare(key, runs_last_) > 0 || compare(key, runs_first_) < 0) return false;
  const uint64_t h = hash_key(key);
  for (const auto& r : runs_) {
    if (compare(key, r->first_key(0)) < 0 || compare(key, r->last_key) > 0) continue;
    if (r->filter.empty()) {
      r->filter = key_filter(r->entries);
      run_cursor(file_.fd(), file_.path(), *r).for_each(
          [&](std::span<const uint8_t> k, uint32_t) { r->filter.remember(hash_key(k)); });
    }
    if (!r->filter.may_hold(h)) continue;
    // The last block whose first key is not after the key.
    size_t lo = 0, hi = r->blocks.size();
    while (hi - lo > 1) {
      const size_t mid = (lo + hi) / 2;
      if (compare(r->first_key(mid), key) <= 0) lo = mid;
      else hi = mid;
    }
    run_cursor c(file_.fd(), file_.path(), *r);
    c.load(lo);
    std::span<const uint8_t> k;
    uint32_t rp = 0;
    for (; c.entry(k, rp); c.next()) {
      const int cmp = compare(k, key);
      if (cmp == 0) return true;
      if (cmp > 0) break;
    }
  }
  return false;
}

bool index_sorter::ends_before(const run& r, const ref& e) const {
  return entry_less(r.last_key, r.last_row_pointer, key_of(e), e.row_pointer);
}

void index_sorter::hash_insert(uint32_t index) {
  const uint32_t h = uint32_t(hash_key(key_of(refs_[index])));
  const size_t mask = slots_.size() - 1;
  size_t i = h & mask;
  while (slots_[i] != 0) i = (i + 1) & mask;
  slots_[i] = index + 1;
  slot_hash_[i] = h;
}

void index_sorter::build_hash() {
  size_t size = kFirstSlots;
  while (size < (refs_.size() + 1) * 2) size *= 2;
  std::vector<uint32_t>().swap(slots_);
  std::vector<uint32_t>().swap(slot_hash_);
  hash_stale_ = false;
  slots_.assign(size, 0);
  slot_hash_.assign(size, 0);
  for (uint32_t i = 0; i < refs_.size(); ++i) hash_insert(i);
}

void index_sorter::make_room(std::span<const uint8_t> key) {
  if (refs_.empty()) return;
  size_t need = 0;
  const size_t length = key.size();
  if (block_used_ + length > blocks_[block_].size) {
    const size_t next = block_ + 1;
    if (length > block_size_ || next >= blocks_.size()) need += std::max(block_size_, length);
  }
  if (refs_.size() == refs_.capacity()) need += std::max(first_refs(), refs_.capacity() * 2) * sizeof(ref);
  if (unique_) {
    const bool out_of_order = !in_order_ || compare(key, key_of(refs_.back())) < 0;
    if (out_of_order && (refs_.size() + 1) * 2 > slots_.size()) {
      size_t size = std::max(kFirstSlots, slots_.size());
      while (size < (refs_.size() + 1) * 2) size *= 2;
      need += size * 2 * sizeof(uint32_t);
    }
  }
  if (memory_bytes() + need > budget_) spill();
}

void index_sorter::add(std::span<const uint8_t> key, uint32_t row_pointer) {
  const size_t length = key.size();
  if (blocks_.empty() || block_used_ + length > blocks_[block_].size) {
    const size_t next = blocks_.empty() ? 0 : block_ + 1;
    if (length > block_size_) {
      blocks_.insert(blocks_.begin() + ptrdiff_t(next), block{std::make_unique_for_overwrite<uint8_t[]>(length), length});
    } else if (next >= blocks_.size()) {
      blocks_.push_back({std::make_unique_for_overwrite<uint8_t[]>(block_size_), block_size_});
    }
    block_ = next;
    block_used_ = 0;
  }
  if (length > 0) std::memcpy(blocks_[block_].data.get() + block_used_, key.data(), length);
  const uint64_t prefix = key_prefix(key);
  const ref r{prefix, uint32_t(block_), uint32_t(block_used_), uint32_t(length), row_pointer};
  block_used_ += length;
  key_bytes_ += length;
  if (refs_.size() == refs_.capacity()) refs_.reserve(std::max(first_refs(), refs_.capacity() * 2));
  const bool was_in_order = in_order_;
  if (in_order_ && !refs_.empty()) {
    const ref& last = refs_.back();
    if (prefixed_less(prefix, key, row_pointer, last.prefix, key_of(last), last.row_pointer)) in_order_ = false;
  }
  refs_.push_back(r);
  sorted_ = false;
  ++count_;
  if (!unique_ || in_order_) return;
  if (was_in_order || hash_stale_ || refs_.size() * 2 > slots_.size()) {
    build_hash();
  } else {
    hash_insert(uint32_t(refs_.size() - 1));
  }
}

void index_sorter::sort() {
  if (sorted_) return;
  if (!in_order_) {
    std::sort(refs_.begin(), refs_.end(), [&](const ref& a, const ref& b) {
      return prefixed_less(a.prefix, key_of(a), a.row_pointer, b.prefix, key_of(b), b.row_pointer);
    });
    hash_stale_ = !slots_.empty();
  }
  sorted_ = true;
}

void index_sorter::reopen() {
  if (hash_stale_) build_hash();
}

void index_sorter::open_file() {
  const std::string dest = destination_.empty() ? temporary_folder() + "/tabletide-index" : destination_;
  // Runs a killed process left for this destination go first.
  sys_remove_stale_temporaries(dest);
  if (int err = file_.create(dest, 0600)) throw_write_error(err, dest, "the index entries sorted out to ");
  // The mark tells a later clean-up that the file is the program's own; the runs follow it.
  write_at(0, std::span(reinterpret_cast<const uint8_t*>(sys_working_file_mark.data()), sys_working_file_mark.size()));
  file_size_ = sys_working_file_mark.size();
}

void index_sorter::write_at(uint64_t offset, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(file_.fd(), bytes.data() + done, bytes.size() - done, off_t(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw_write_error(errno, file_.path(), "the index entries sorted out to ");
    if (n == 0) throw_write_error(ENOSPC, file_.path(), "the index entries sorted out to ");
    done += size_t(n);
  }
}

void index_sorter::spill() {
  if (refs_.empty()) return;
  sort();
  if (file_.fd() < 0) open_file();
  auto r = std::make_unique<run>();
  r->entries = refs_.size();
  std::vector<uint8_t> buffer;
  buffer.reserve(kRunBlock);
  uint64_t offset = file_size_;
  auto flush = [&] {
    if (buffer.empty()) return;
    write_at(offset, buffer);
    r->blocks.back().length = uint32_t(buffer.size());
    offset += buffer.size();
    buffer.clear();
  };
  for (const ref& e : refs_) {
    const std::span<const uint8_t> key = key_of(e);
    const size_t size = kEntryOverhead + key.size();
    if (!buffer.empty() && buffer.size() + size > kRunBlock) flush();
    if (buffer.empty()) {
      // Only look-ups need the blocks' first keys, and only unique indexes are looked up.
      if (unique_ || r->blocks.empty()) {
        r->blocks.push_back({offset, 0, uint32_t(r->first_keys.size()), uint32_t(key.size())});
        r->first_keys.insert(r->first_keys.end(), key.begin(), key.end());
      } else {
        r->blocks.push_back({offset, 0, 0, 0});
      }
    }
    uint8_t word[4];
    put_u32(word, uint32_t(key.size()));
    buffer.insert(buffer.end(), word, word + 4);
    buffer.insert(buffer.end(), key.begin(), key.end());
    put_u32(word, e.row_pointer);
    buffer.insert(buffer.end(), word, word + 4);
  }
  flush();
  // What a run keeps lives as long as the sorter: no room is kept for growth.
  r->blocks.shrink_to_fit();
  r->first_keys.shrink_to_fit();
  const std::span<const uint8_t> last = key_of(refs_.back());
  r->last_key.assign(last.begin(), last.end());
  r->last_row_pointer = refs_.back().row_pointer;
  file_size_ = offset;
  if (!runs_.empty()) chained_ = chained_ && ends_before(*runs_.back(), refs_.front());
  if (runs_.empty() || compare(r->first_key(0), runs_first_) < 0) {
    const std::span<const uint8_t> first = r->first_key(0);
    runs_first_.assign(first.begin(), first.end());
  }
  if (runs_.empty() || compare(r->last_key, runs_last_) > 0) runs_last_ = r->last_key;
  runs_.push_back(std::move(r));

  // Memory starts over; standard blocks and the reference array are kept for reuse.
  refs_.clear();
  key_bytes_ = 0;
  std::vector<uint32_t>().swap(slots_);
  std::vector<uint32_t>().swap(slot_hash_);
  hash_stale_ = false;
  std::erase_if(blocks_, [&](const block& b) { return b.size != block_size_; });
  block_ = 0;
  block_used_ = 0;
  in_order_ = true;
  sorted_ = false;
}

void index_sorter::clear() {
  std::vector<block>().swap(blocks_);
  std::vector<ref>().swap(refs_);
  std::vector<uint32_t>().swap(slots_);
  std::vector<uint32_t>().swap(slot_hash_);
  runs_.clear();
  runs_first_.clear();
  runs_last_.clear();
  chained_ = true;
  // A run file is written over from its start, after its mark.
  file_size_ = file_.fd() >= 0 ? sys_working_file_mark.size() : 0;
  block_ = 0;
  block_used_ = 0;
  in_order_ = true;
  sorted_ = false;
  hash_stale_ = false;
  count_ = 0;
  key_bytes_ = 0;
}

void index_sorter::merge(const std::function<void(const index_entry_ref&)>& out) {
  sort();
  auto emit = [&](std::span<const uint8_t> key, uint32_t row_pointer) {
    out(index_entry_ref{key, row_pointer_page(row_pointer), row_pointer_row(row_pointer), 0});
  };
  auto emit_memory = [&] {
    for (const ref& e : refs_) emit(key_of(e), e.row_pointer);
  };
  if (runs_.empty()) {
    emit_memory();
    return;
  }
  // Runs that follow one another in entry order (keys that came in order, an AutoNumber's) are read
  // one after the other, without comparing anything.
  const run& last_run = *runs_.back();
  if (chained_ && (refs_.empty() || ends_before(last_run, refs_.front()))) {
    for (const auto& r : runs_) run_cursor(file_.fd(), file_.path(), *r).for_each(emit);
    emit_memory();
    return;
  }

  // Sources: every run, then what is in memory (index runs_.size()). A tournament of losers picks the
  // least head: each entry given costs one comparison per level of the tree (log2 of the sources),
  // settled on the keys' first 8 bytes where they differ.
  struct head {
    uint64_t prefix;
    std::span<const uint8_t> key;
    uint32_t row_pointer;
    bool done;
  };
  const size_t sources = runs_.size() + 1;
  const size_t memory_source = runs_.size();
  std::vector<std::unique_ptr<run_cursor>> cursors;
  std::vector<head> heads(sources);
  size_t memory_pos = 0;
  auto set_head = [&](size_t s, std::span<const uint8_t> key, uint32_t row_pointer) {
    heads[s] = {key_prefix(key), key, row_pointer, false};
  };
  for (size_t i = 0; i < runs_.size(); ++i) {
    cursors.push_back(std::make_unique<run_cursor>(file_.fd(), file_.path(), *runs_[i]));
    std::span<const uint8_t> key;
    uint32_t row_pointer = 0;
    if (cursors.back()->load(0) && cursors.back()->entry(key, row_pointer)) set_head(i, key, row_pointer);
    else heads[i].done = true;
  }
  if (!refs_.empty()) set_head(memory_source, key_of(refs_[0]), refs_[0].row_pointer);
  else heads[memory_source].done = true;

  // Whether source a's head goes before source b's; a source that is done goes after every other.
  auto before = [&](size_t a, size_t b) {
    const head& x = heads[a];
    const head& y = heads[b];
    if (x.done || y.done) return !x.done;
    return prefixed_less(x.prefix, x.key, x.row_pointer, y.prefix, y.key, y.row_pointer);
  };
  // Node n (1 .. sources - 1) holds the loser of the match between its children 2n and 2n + 1; node
  // sources + s stands for source s; loser[0] holds the winner.
  std::vector<size_t> loser(sources);
  auto play = [&](auto&& self, size_t n) -> size_t {
    if (n >= sources) return n - sources;
    const size_t a = self(self, 2 * n);
    const size_t b = self(self, 2 * n + 1);
    if (before(b, a)) {
      loser[n] = a;
      return b;
    }
    loser[n] = b;
    return a;
  };
  loser[0] = play(play, 1);
  for (;;) {
    const size_t s = loser[0];
    if (heads[s].done) break;
    emit(heads[s].key, heads[s].row_pointer);
    if (s == memory_source) {
      if (++memory_pos < refs_.size()) set_head(s, key_of(refs_[memory_pos]), refs_[memory_pos].row_pointer);
      else heads[s].done = true;
    } else {
      std::span<const uint8_t> key;
      uint32_t row_pointer = 0;
      if (cursors[s]->advance() && cursors[s]->entry(key, row_pointer)) set_head(s, key, row_pointer);
      else heads[s].done = true;
    }
    // The new head plays its way up against the losers on its path.
    size_t winner = s;
    for (size_t n = (s + sources) / 2; n >= 1; n /= 2)
      if (before(loser[n], winner)) std::swap(loser[n], winner);
    loser[0] = winner;
  }
}

}  // namespace jet
