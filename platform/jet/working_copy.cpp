// Working copy on POSIX I/O: a file copied in the kernel, pwrite/pread at page offsets, fsync and rename on commit.
#include "platform/jet/working_copy.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

#include "platform/jet/error.h"
#include "platform/jet/page_file.h"
#include "platform/system/atomic_file.h"
#include "platform/system/file_copy.h"

namespace jet {

namespace {


void write_all(int fd, const uint8_t* data, size_t n, off_t at, const std::string& path) {
  size_t done = 0;
  while (done < n) {
    ssize_t w = ::pwrite(fd, data + done, n - done, at + off_t(done));
    if (w < 0) {
      if (errno == EINTR) continue;
      throw_write_error(errno, path, "a copy of ");
    }
    if (w == 0) throw_write_error(ENOSPC, path, "a copy of ");
    done += size_t(w);
  }
}

}  // namespace

std::unique_ptr<working_copy> working_copy::make(const std::string& original, uint32_t page_size, uint64_t max_size) {
  std::unique_ptr<working_copy> w = start(original, page_size, max_size);
  w->wait_for_copy();
  return w;
}

std::unique_ptr<working_copy> working_copy::start(const std::string& original, uint32_t page_size, uint64_t max_size) {
  // A symbolic link stands for its target: the target is replaced at commit and the link stays.
  const std::string target = sys_final_target(original);
  std::unique_ptr<working_copy> w(new working_copy());
  w->original_fd_ = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
  if (w->original_fd_ < 0) throw error(dao_error::cannot_open, error_text(dao_error::cannot_open, original));
  if (::fstat(w->original_fd_, &w->original_stat_) != 0)
    throw error(dao_error::cannot_open, error_text(dao_error::cannot_open, original));
  w->original_ = original;
  w->page_size_ = page_size;
  w->max_size_ = max_size;
  if (int err = w->temp_.create(target, 0600)) {
    if (err == EACCES || err == EPERM || err == EROFS)
      throw error(dao_error::cannot_open, error_text(dao_error::cannot_open, original));
    throw_write_error(err, original, "a copy of ");
  }
  // A partial last page (never written by the engine) is dropped from the page count.
  const uint64_t size = uint64_t(w->original_stat_.st_size);
  w->original_pages_ = uint32_t(size / page_size);
  w->pages_ = w->original_pages_;
  // The copy starts its own writeback: the flush at commit is left with little to do.
  w->writeback_.skip_before(size);
  auto copy = [w = w.get()] {
    const sys_copy_result copied = sys_copy_contents(w->original_fd_, w->temp_.fd());
    w->copy_error_ = copied.error;
    w->copy_error_reading_ = copied.while_reading;
    if (copied.error == 0) {
      ::sync_file_range(w->temp_.fd(), 0, off64_t(copied.bytes), SYNC_FILE_RANGE_WRITE);
      w->copied_.store(true, std::memory_order_release);
    }
  };
  // The bytes of a partial last page would land on the first page allocated: that copy is made here.
  if (size % page_size != 0) {
    copy();
    return w;
  }
  try {
    w->copier_ = std::thread(copy);
  } catch (const std::system_error&) {
    copy();  // no thread to be had
  }
  return w;
}

void working_copy::wait_for_copy() {
  if (copier_.joinable()) copier_.join();
  if (copy_error_ == 0) return;
  if (copy_error_reading_)
    throw error(dao_error::io_error,
                "Disk or network error while reading '" + original_ + "': " + std::strerror(copy_error_) + ".");
  throw_write_error(copy_error_, original_, "a copy of ");
}

void working_copy::stop_copying() {
  if (copier_.joinable()) copier_.join();
  if (original_fd_ >= 0) ::close(original_fd_);
  original_fd_ = -1;
}

working_copy::~working_copy() { stop_copying(); }

uint32_t working_copy::allocate() {
  if (temp_.fd() < 0) throw_error(dao_error::object_invalid);
  if (!has_room_for(1)) throw_error(dao_error::invalid_argument);
  return pages_.fetch_add(1, std::memory_order_relaxed);
}

void working_copy::write(uint32_t page, std::span<const uint8_t> bytes) {
  if (temp_.fd() < 0 || page >= page_count() || bytes.size() != page_size_)
    throw error(dao_error::io_error, "Internal error: bad page write.");
  if (page < original_pages_) wait_for_copy();  // else the copy could write over it
  const off_t at = off_t(page) * page_size_;
  write_all(temp_.fd(), bytes.data(), bytes.size(), at, original_);
  bytes_written_ += bytes.size();
  writeback_.wrote(temp_.fd(), uint64_t(at) + bytes.size());
}

std::vector<uint8_t> working_copy::read(uint32_t page) const {
  if (temp_.fd() < 0) throw_error(dao_error::object_invalid);
  if (page >= page_count()) throw_corrupt("page " + std::to_string(page) + " is beyond the end of the file");
  std::vector<uint8_t> out(page_size_);
  size_t done = 0;
  off_t at = off_t(page) * page_size_;
  // A page of the original not copied yet (for all this knows) is read where it comes from.
  const int fd = page < original_pages_ && !copied_.load(std::memory_order_acquire) ? original_fd_ : temp_.fd();
  while (done < out.size()) {
    ssize_t n = ::pread(fd, out.data() + done, out.size() - done, at + off_t(done));
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
  wait_for_copy();
  struct stat st;
  if (::fstat(temp_.fd(), &st) == 0 && uint64_t(st.st_size) >= uint64_t(page_count()) * page_size_) return;
  if (::ftruncate(temp_.fd(), off_t(page_count()) * page_size_) != 0) throw_write_error(errno, original_, "a copy of ");
}

void working_copy::commit() {
  if (temp_.fd() < 0) throw_error(dao_error::object_invalid);
  wait_for_copy();
  sync_length();
  if (int err = temp_.commit_replacing(original_stat_)) {
    if (err != EEXIST) throw_write_error(err, original_, "a copy of ");
    abandon();
    throw error(dao_error::io_error, "The file '" + original_ +
                                         "' was replaced by another file while it was changed; the changes were given up.");
  }
}

void working_copy::abandon() {
  stop_copying();
  temp_.discard();
}

}  // namespace jet
