// A destination's lock file under flock; see destination_lock.h.
#include "platform/system/destination_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system/atomic_file.h"

sys_destination_lock::~sys_destination_lock() { release(); }

int sys_destination_lock::acquire(const std::string& dest) {
  release();
  const std::string path = sys_lock_file_name(sys_final_target(dest));
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) return errno;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      ::close(fd);
      return err;
    }
    // The holder before us may have removed the file while we opened it: then our lock is on a file nobody
    // else sees, and the name must be opened again.
    struct stat held {}, named {};
    if (::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      fd_ = fd;
      path_ = path;
      return 0;
    }
    ::close(fd);
  }
  return EWOULDBLOCK;
}

void sys_destination_lock::release() {
  if (fd_ < 0) return;
  // Removed while still locked, so that no one takes over a file that is about to disappear.
  ::unlink(path_.c_str());
  ::close(fd_);
  fd_ = -1;
  path_.clear();
}
