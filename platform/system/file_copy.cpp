// In-kernel copies with a pread/pwrite fallback; writeback started with sync_file_range.
#include "platform/system/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

bool sys_is_disk_full(int err) { return err == ENOSPC || err == EDQUOT || err == EFBIG; }

namespace {

ssize_t kernel_copy_range(int from, off64_t* from_at, int to, off64_t* to_at, size_t n, unsigned flags) {
  return ::copy_file_range(from, from_at, to, to_at, n, flags);
}

// Copies from `at` to the end of `from` through a buffer.
sys_copy_result copy_through_buffer(int from, int to, off_t at, sys_copy_result done) {
  std::vector<unsigned char> buffer(std::size_t(1) << 20);
  while (true) {
    const ssize_t n = ::pread(from, buffer.data(), buffer.size(), at);
    if (n < 0) {
      if (errno == EINTR) continue;
      done.error = errno;
      done.while_reading = true;
      return done;
    }
    if (n == 0) return done;
    std::size_t written = 0;
    while (written < std::size_t(n)) {
      const ssize_t w = ::pwrite(to, buffer.data() + written, std::size_t(n) - written, at + off_t(written));
      if (w < 0) {
        if (errno == EINTR) continue;
        done.error = errno;
        return done;
      }
      if (w == 0) {
        done.error = ENOSPC;
        return done;
      }
      written += std::size_t(w);
    }
    at += n;
    done.bytes += uint64_t(n);
  }
}

}  // namespace

sys_copy_result sys_copy_contents(int from, int to, sys_copy_range_fn copy_range) {
  if (copy_range == nullptr) copy_range = kernel_copy_range;
  sys_copy_result done;
  struct stat st {};
  if (::fstat(from, &st) != 0) {
    done.error = errno;
    done.while_reading = true;
    return done;
  }
  off64_t from_at = 0;
  off64_t to_at = 0;
  // The size is only a guide: a short copy goes on through the buffer, which reads to the real end.
  while (from_at < st.st_size) {
    const std::size_t chunk = std::size_t(1) << 30;
    const std::size_t want = std::size_t(st.st_size - from_at) < chunk ? std::size_t(st.st_size - from_at) : chunk;
    const ssize_t n = copy_range(from, &from_at, to, &to_at, want, 0);
    if (n > 0) {
      done.bytes += uint64_t(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && sys_is_disk_full(errno)) {
      done.error = errno;
      return done;
    }
    break;  // refused, or no further (0): the buffer carries on from here
  }
  // The offsets moved by exactly the bytes copied, whatever the stand-in did with them.
  return copy_through_buffer(from, to, off_t(done.bytes), done);
}

void sys_early_writeback::start_before(int fd, uint64_t end) {
  if (end <= started_) return;
  ::sync_file_range(fd, off64_t(started_), off64_t(end - started_), SYNC_FILE_RANGE_WRITE);
  started_ = end;
}
