// A file of fixed-size pages, written under a temporary name and renamed into place on commit.
//
// `page_file::create(dest, page_size, limit)` makes a temporary file in the destination's folder
// (platform/system/atomic_file.h: its name always fits, whatever the destination's length); pages
// are allocated only at the end (page n lives at byte n × page size); `commit()` flushes the file
// to disk and moves it to `dest` unless a file appeared there meanwhile (3204, the other file
// stays), so a crash or a killed process leaves the destination as it was (at worst a stray
// temporary file beside it, which the next writer of the destination removes). A failed write (a
// full disk, an I/O error) is a jet::error and the destination stays untouched; the destructor
// removes an uncommitted temporary. A destination that is a symbolic link stands for its target.
// `page_file::open(path)` reads an existing file (read-only).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/jet/page_io.h"
#include "platform/system/atomic_file.h"
#include "platform/system/file_copy.h"

namespace jet {

class page_file : public page_allocator, public page_source {
 public:
  ~page_file() override;
  page_file(const page_file&) = delete;
  page_file& operator=(const page_file&) = delete;

  // Refuses an existing destination (3204), a missing folder (3044) and an empty name (3055).
  static std::unique_ptr<page_file> create(const std::string& dest, uint32_t page_size, uint64_t max_size);
  // Opens an existing file read-only; 3024-style errors become jet::error 3044/3051.
  static std::unique_ptr<page_file> open(const std::string& path, uint32_t page_size);

  uint32_t allocate() override;
  void write(uint32_t page, std::span<const uint8_t> bytes) override;
  uint32_t page_count() const override { return pages_; }
  std::vector<uint8_t> read(uint32_t page) const override;

  // Would allocating `n` more pages pass the size limit of the format?
  bool has_room_for(uint64_t n) const { return (uint64_t(pages_) + n) * page_size_ <= max_size_; }

  uint32_t page_size() const { return page_size_; }
  uint64_t bytes_written() const { return bytes_written_; }
  const std::string& temp_path() const { return temp_.path(); }

  // Flushes and renames the temporary file over the destination. After it the object is closed.
  void commit();
  // Closes and deletes the temporary file (nothing reaches the destination).
  void abandon();

 private:
  page_file() = default;
  int fd_ = -1;
  bool writable_ = false;
  uint32_t page_size_ = 0;
  uint64_t max_size_ = 0;
  uint32_t pages_ = 0;
  uint64_t bytes_written_ = 0;
  std::string dest_;
  sys_temporary_file temp_;
  sys_early_writeback writeback_;
};

// Splits "dir/name" into the folder ("." when there is none).
std::string parent_folder(const std::string& path);

}  // namespace jet
