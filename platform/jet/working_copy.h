// The working copy of an existing file that is being modified.
//
// `working_copy::make(original, page_size, max_size)` copies the original byte for byte to a
// temporary file in the same folder (platform/system/atomic_file.h: the final move stays on one
// file system and the name always fits). Every change is written to the copy only: pages are
// rewritten in place or allocated at the end. `commit()` flushes the copy, gives it the original's
// permission bits and owner (where the process may) and exchanges it with the original, unless
// another file has taken the original's place meanwhile (3043, that file stays). Until then the
// original is untouched, and `abandon()` (or the destructor, or any failure on the way) deletes the
// copy and leaves the original exactly as it was. A failed write is a jet::error (3035 full disk,
// 3043 other I/O errors). An original that is a symbolic link stands for its target.
//
// `working_copy::start` makes the same copy on another thread, so that work can go on meanwhile:
// pages can be allocated and written past the original's end at once, and a page of the original
// reads from the original itself (the same bytes) until its copy is complete. Writing a page of the
// original, `sync_length`, `commit` and `wait_for_copy` wait for the copy first and report its
// failure, if it failed; so does every later call of them.
#pragma once

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "platform/jet/page_io.h"
#include "platform/system/atomic_file.h"
#include "platform/system/file_copy.h"

namespace jet {

class working_copy : public page_allocator, public page_source {
 public:
  static std::unique_ptr<working_copy> make(const std::string& original, uint32_t page_size, uint64_t max_size);
  static std::unique_ptr<working_copy> start(const std::string& original, uint32_t page_size, uint64_t max_size);
  // Waits until the copy of the original is complete; its error when it failed.
  void wait_for_copy();
  ~working_copy() override;
  working_copy(const working_copy&) = delete;
  working_copy& operator=(const working_copy&) = delete;

  uint32_t allocate() override;
  void write(uint32_t page, std::span<const uint8_t> bytes) override;
  uint32_t page_count() const override { return pages_.load(std::memory_order_relaxed); }
  std::vector<uint8_t> read(uint32_t page) const override;

  bool has_room_for(uint64_t n) const { return (uint64_t(page_count()) + n) * page_size_ <= max_size_; }
  const std::string& temp_path() const { return temp_.path(); }
  // The original's status (device, inode, size, modification time) as the copy began.
  // Bytes written to the copy by changes (the initial copy not counted).
  uint64_t bytes_written() const { return bytes_written_; }

  // Makes the bytes written so far visible to readers of `temp_path()` (allocated pages included), once
  // the copy is complete.
  void sync_length();
  void commit();
  void abandon();

 private:
  working_copy() = default;
  void stop_copying();
  uint32_t page_size_ = 0;
  uint64_t max_size_ = 0;
  // Read by threads that walk stored pages while this one allocates new ones.
  std::atomic<uint32_t> pages_{0};
  uint64_t bytes_written_ = 0;
  std::string original_;
  struct stat original_stat_ {};
  sys_temporary_file temp_;
  sys_early_writeback writeback_;
  // The copy of the original under way on another thread.
  int original_fd_ = -1;
  uint32_t original_pages_ = 0;
  std::thread copier_;
  std::atomic<bool> copied_{false};  // the original's pages read from the copy from now on
  int copy_error_ = 0;
  bool copy_error_reading_ = false;
};

}  // namespace jet
