// Working copy on POSIX I/O: a file copied in the kernel, pwrite/pread at page offsets, fsync and rename on commit.
#include "platform/jet/working_copy.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/jet/error.h"
#include "platform/jet/page_file.h"
#include "platform/system/atomic_file.h"
#include "platform/system/file_copy.h"

namespace jet {

namespace {

[[noreturn]] void throw_write_error(int err, const std::string& path) {
  if (err == ENOSPC || err == EDQUOT || err == EFBIG)
    throw error(dao_error::disk_full, "Cannot write a copy of '" + path + "': the disk is full (" + std::strerror(err) + ").");
  throw error(dao_error::io_error, "Disk or network error while writing a copy of '" + path + "': " + std::strerror(err) + ".");
}

void write_all(int fd, const uint8_t* data, size_t n, off_t at, const std::string& path) {
  size_t done = 0;
  while (done < n) {
    ssize_t w = ::pwrite(fd, data + done, n - done, at + off_t(done));
    if (w < 0) {
      if (errno == EINTR) continue;
      throw_write_error(errno, path);
    }
    if (w == 0) throw_write_error(ENOSPC, path);
    done += size_t(w);
  }
}

}  // namespace

std::unique_ptr<working_copy> working_copy::make(const std::string& original, uint32_t page_size, uint64_t max_size) {
  // A symbolic link stands for its target: the target is replaced at commit and the link stays.
  const std::string target = sys_final_target(original);
  int in = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) throw error(dao_error::cannot_open, error_text(dao_error::cannot_open, original));
  std::unique_ptr<working_copy> w(new working_copy());
  if (::fstat(in, &w->original_stat_) != 0) {
    ::close(in);
    throw error(dao_error::cannot_open, error_text(dao_error::cannot_open, original));
  }
  w->original_ = original;
  w->page_size_ = page_size;
  w->max_size_ = max_size;
  if (int err = w->temp_.create(target, 0600)) {
    ::close(in);
    if (err == EACCES || err == EPERM || err == EROFS)
      throw error(dao_error::cannot_open, error_text(dao_error::cannot_open, original));
    throw_write_error(err, original);
  }
  const sys_copy_result copied = sys_copy_contents(in, w->temp_.fd());
  ::close(in);
  if (copied.error != 0) {
    if (copied.while_reading)
      throw error(dao_error::io_error,
                  "Disk or network error while reading '" + original + "': " + std::strerror(copied.error) + ".");
    throw_write_error(copied.error, original);  // the destructor deletes the copy
  }
  // The copy goes to the disk while the changes are made: the flush at commit is left with little to do.
  w->writeback_.start_before(w->temp_.fd(), copied.bytes);
  // A partial last page (never written by the engine) is dropped from the page count.
  w->pages_ = uint32_t(copied.bytes / page_size);
  return w;
}

working_copy::~working_copy() = default;

uint32_t working_copy::allocate() {
  if (temp_.fd() < 0) throw_error(dao_error::object_invalid);
  if (!has_room_for(1)) throw_error(dao_error::invalid_argument);
  return pages_.fetch_add(1, std::memory_order_relaxed);
}

void working_copy::write(uint32_t page, std::span<const uint8_t> bytes) {
  if (temp_.fd() < 0 || page >= page_count() || bytes.size() != page_size_)
    throw error(dao_error::io_error, "Internal error: bad page write.");
  const off_t at = off_t(page) * page_size_;
  write_all(temp_.fd(), bytes.data(), bytes.size(), at, original_);
  bytes_written_ += bytes.size();
  writeback_.wrote(temp_.fd(), uint64_t(at) + bytes.size());
}

std::vector<uint8_t> working_copy::read(uint32_t page) const {
  if (temp_.fd() < 0) throw_error(dao_error::object_invalid);
  if (page >= page_count()) throw_corrupt(original_ + "' (page " + std::to_string(page) + " is beyond the end of the file");
  std::vector<uint8_t> out(page_size_);
  size_t done = 0;
  off_t at = off_t(page) * page_size_;
  while (done < out.size()) {
    ssize_t n = ::pread(temp_.fd(), out.data() + done, out.size() - done, at + off_t(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw error(dao_error::io_error, "Disk or network error while reading a copy of '" + original_ + "': " + std::strerror(errno) + ".");
    }
    if (n == 0) break;  // allocated but not written yet: zeros
    done += size_t(n);
  }
  return out;
}

void working_copy::sync_length() {
  if (temp_.fd() < 0) return;
  struct stat st;
  if (::fstat(temp_.fd(), &st) == 0 && uint64_t(st.st_size) >= uint64_t(page_count()) * page_size_) return;
  if (::ftruncate(temp_.fd(), off_t(page_count()) * page_size_) != 0) throw_write_error(errno, original_);
}

void working_copy::commit() {
  if (temp_.fd() < 0) throw_error(dao_error::object_invalid);
  sync_length();
  if (int err = temp_.commit_replacing(original_stat_)) {
    if (err != EEXIST) throw_write_error(err, original_);
    abandon();
    throw error(dao_error::io_error, "The file '" + original_ +
                                         "' was replaced by another file while it was changed; the changes were given up.");
  }
}

void working_copy::abandon() { temp_.discard(); }

}  // namespace jet
