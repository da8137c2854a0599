// A library that end-to-end tests put before the C library (LD_PRELOAD) of a program they run, to have a disk
// that lost a sector: every pread of the file TT_FAILING_FILE names at the offset TT_FAILING_OFFSET fails with
// EIO. Any other read, and every read while the two are not set, goes through unchanged.
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

bool failing(int fd, off_t offset) {
  const char* file = std::getenv("TT_FAILING_FILE");
  const char* at = std::getenv("TT_FAILING_OFFSET");
  if (file == nullptr || at == nullptr || offset != static_cast<off_t>(std::strtoll(at, nullptr, 10))) return false;
  struct stat opened {}, named {};
  return ::fstat(fd, &opened) == 0 && ::stat(file, &named) == 0 && opened.st_dev == named.st_dev &&
         opened.st_ino == named.st_ino;
}

using pread_function = ssize_t (*)(int, void*, size_t, off_t);

ssize_t forward(const char* name, int fd, void* buffer, size_t n, off_t offset) {
  if (failing(fd, offset)) {
    errno = EIO;
    return -1;
  }
  auto next = reinterpret_cast<pread_function>(::dlsym(RTLD_NEXT, name));
  return next(fd, buffer, n, offset);
}

}  // namespace

extern "C" ssize_t pread(int fd, void* buffer, size_t n, off_t offset) {
  return forward("pread", fd, buffer, n, offset);
}

extern "C" ssize_t pread64(int fd, void* buffer, size_t n, off_t offset) {
  return forward("pread64", fd, buffer, n, offset);
}
