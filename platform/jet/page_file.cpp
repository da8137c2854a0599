// Page file on POSIX I/O: pwrite/pread at page offsets, fsync and rename on commit.
#include "platform/jet/page_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/jet/error.h"
#include "platform/system/atomic_file.h"

namespace jet {

std::string parent_folder(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::unique_ptr<page_file> page_file::create(const std::string& dest, uint32_t page_size, uint64_t max_size) {
  if (dest.empty() || dest.back() == '/') throw_error(dao_error::not_valid_file_name);
  // A symbolic link stands for its target: the new file appears there and the link stays.
  const std::string target = sys_final_target(dest);
  struct stat st;
  if (::lstat(target.c_str(), &st) == 0) throw_error(dao_error::database_exists);
  std::string folder = parent_folder(target);
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) throw_error(dao_error::not_valid_path, folder);

  std::unique_ptr<page_file> f(new page_file());
  // A new database gets the permissions of any new file (0666 less the umask).
  if (int err = f->temp_.create(target, 0666)) {
    if (err == EACCES || err == EPERM || err == EROFS)
      throw error(dao_error::cannot_open, error_text(dao_error::cannot_open, dest));
    throw_write_error(err, dest);
  }
  f->fd_ = f->temp_.fd();
  f->writable_ = true;
  f->page_size_ = page_size;
  f->max_size_ = max_size;
  f->dest_ = dest;
  return f;
}

std::unique_ptr<page_file> page_file::open(const std::string& path, uint32_t page_size) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    int err = errno;
    if (err == ENOENT) throw error(dao_error::not_valid_path, "Could not find file '" + path + "'.");
    throw error(dao_error::cannot_open, error_text(dao_error::cannot_open, path));
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw error(dao_error::cannot_open, error_text(dao_error::cannot_open, path));
  }
  // Access files are whole pages: a partial last page means the file was cut off (a copy that stopped,
  // a full disk), and changing it would drop that page's bytes without a word.
  if (uint64_t(st.st_size) % page_size != 0) {
    ::close(fd);
    throw_corrupt("the file's length is not a whole number of pages: it was cut off");
  }
  std::unique_ptr<page_file> f(new page_file());
  f->fd_ = fd;
  f->page_size_ = page_size;
  f->pages_ = uint32_t(uint64_t(st.st_size) / page_size);
  f->dest_ = path;
  return f;
}

page_file::~page_file() {
  if (!writable_ && fd_ >= 0) ::close(fd_);
}

uint32_t page_file::allocate() {
  if (!writable_) throw error(dao_error::io_error, "The file is open for reading only.");
  if (!has_room_for(1)) throw_error(dao_error::invalid_argument);
  return pages_++;
}

void page_file::write(uint32_t page, std::span<const uint8_t> bytes) {
  if (!writable_ || page >= pages_ || bytes.size() != page_size_)
    throw error(dao_error::io_error, "Internal error: bad page write.");
  off_t at = off_t(page) * page_size_;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, at + off_t(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw_write_error(errno, dest_);
    }
    if (n == 0) throw_write_error(ENOSPC, dest_);
    done += size_t(n);
  }
  bytes_written_ += bytes.size();
  writeback_.wrote(fd_, uint64_t(at) + bytes.size());
}

std::vector<uint8_t> page_file::read(uint32_t page) const {
  if (page >= pages_) throw_corrupt("page " + std::to_string(page) + " is beyond the end of the file");
  std::vector<uint8_t> out(page_size_);
  off_t at = off_t(page) * page_size_;
  size_t done = 0;
  while (done < out.size()) {
    ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, at + off_t(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw error(dao_error::io_error, "Disk or network error while reading '" + dest_ + "': " + std::strerror(errno) + ".");
    }
    if (n == 0) break;  // a page never written reads as zeros
    done += size_t(n);
  }
  return out;
}

void page_file::commit() {
  if (!writable_) return;
  // Make the file as long as its page count even if its last pages were allocated but never written.
  if (::ftruncate(fd_, off_t(pages_) * page_size_) != 0) throw_write_error(errno, dest_);
  if (int err = temp_.commit_new()) {
    if (err != EEXIST) throw_write_error(err, dest_);
    // Someone created the destination meanwhile: their file stays, ours is given up.
    abandon();
    throw error(dao_error::database_exists,
                "Database already exists: a file appeared at '" + dest_ + "' while the new database was written.");
  }
  fd_ = -1;
  writable_ = false;
}

void page_file::abandon() {
  if (writable_) temp_.discard();
  else if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  writable_ = false;
}

}  // namespace jet
