// Working copy on POSIX I/O: a copied file, pwrite/pread at page offsets, fsync and rename on commit.
#include "platform/jet/working_copy.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/jet/error.h"
#include "platform/jet/page_file.h"

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
  int in = ::open(original.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) throw error(dao_error::cannot_open, error_text(dao_error::cannot_open, original));
  struct stat st;
  if (::fstat(in, &st) != 0) {
    ::close(in);
    throw error(dao_error::cannot_open, error_text(dao_error::cannot_open, original));
  }
  std::unique_ptr<working_copy> w(new working_copy());
  w->original_ = original;
  w->page_size_ = page_size;
  w->max_size_ = max_size;
  w->mode_ = st.st_mode & 07777;
  w->temp_ = original + ".tmp-XXXXXX";
  std::vector<char> name(w->temp_.begin(), w->temp_.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) {
    int err = errno;
    ::close(in);
    if (err == EACCES || err == EPERM || err == EROFS)
      throw error(dao_error::cannot_open, error_text(dao_error::cannot_open, original));
    throw_write_error(err, original);
  }
  w->temp_.assign(name.data());
  w->fd_ = fd;
  try {
    std::vector<uint8_t> buffer(1 << 20);
    off_t at = 0;
    while (true) {
      ssize_t n = ::pread(in, buffer.data(), buffer.size(), at);
      if (n < 0) {
        if (errno == EINTR) continue;
        throw error(dao_error::io_error, "Disk or network error while reading '" + original + "': " + std::strerror(errno) + ".");
      }
      if (n == 0) break;
      write_all(fd, buffer.data(), size_t(n), at, original);
      at += n;
    }
    ::close(in);
    in = -1;
    // A partial last page (never written by the engine) is dropped from the page count.
    w->pages_ = uint32_t(uint64_t(at) / page_size);
  } catch (...) {
    if (in >= 0) ::close(in);
    throw;  // the destructor deletes the copy
  }
  return w;
}

working_copy::~working_copy() { abandon(); }

uint32_t working_copy::allocate() {
  if (fd_ < 0) throw_error(dao_error::object_invalid);
  if (!has_room_for(1)) throw_error(dao_error::invalid_argument);
  return pages_++;
}

void working_copy::write(uint32_t page, std::span<const uint8_t> bytes) {
  if (fd_ < 0 || page >= pages_ || bytes.size() != page_size_)
    throw error(dao_error::io_error, "Internal error: bad page write.");
  write_all(fd_, bytes.data(), bytes.size(), off_t(page) * page_size_, original_);
  bytes_written_ += bytes.size();
}

std::vector<uint8_t> working_copy::read(uint32_t page) const {
  if (fd_ < 0) throw_error(dao_error::object_invalid);
  if (page >= pages_) throw_corrupt(original_ + "' (page " + std::to_string(page) + " is beyond the end of the file");
  std::vector<uint8_t> out(page_size_);
  size_t done = 0;
  off_t at = off_t(page) * page_size_;
  while (done < out.size()) {
    ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, at + off_t(done));
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
  if (fd_ < 0) return;
  struct stat st;
  if (::fstat(fd_, &st) == 0 && uint64_t(st.st_size) >= uint64_t(pages_) * page_size_) return;
  if (::ftruncate(fd_, off_t(pages_) * page_size_) != 0) throw_write_error(errno, original_);
}

void working_copy::commit() {
  if (fd_ < 0) throw_error(dao_error::object_invalid);
  sync_length();
  if (::fchmod(fd_, mode_t(mode_)) != 0) throw_write_error(errno, original_);
  if (::fsync(fd_) != 0) throw_write_error(errno, original_);
  if (::rename(temp_.c_str(), original_.c_str()) != 0) throw_write_error(errno, original_);
  int dir = ::open(parent_folder(original_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  ::close(fd_);
  fd_ = -1;
  temp_.clear();
}

void working_copy::abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

}  // namespace jet
