// File-system helpers over stat(2), faccessat(2), readlink(2) and open(2) (see files.h).
#include "platform/system/files.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

sys_path_kind sys_stat_kind(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return sys_path_kind::missing;
  return S_ISDIR(st.st_mode) ? sys_path_kind::folder : sys_path_kind::file;
}

bool sys_is_read_only(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool sys_may_access(const std::string& path, int mode) {
  if (path.empty()) return false;
  return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

int sys_program_path(std::string& out) {
  std::vector<char> buf(256);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return errno;
    if (static_cast<std::size_t>(n) < buf.size()) {
      out.assign(buf.data(), static_cast<std::size_t>(n));
      return 0;
    }
    if (buf.size() >= (1u << 20)) return ENAMETOOLONG;
    buf.resize(buf.size() * 2);
  }
}

std::string sys_current_dir() {
  char* cwd = ::getcwd(nullptr, 0);
  if (!cwd) return std::string();
  std::string out(cwd);
  ::free(cwd);
  return out;
}

int sys_absolute_path(std::string_view path, std::string& out) {
  std::filesystem::path p{std::string(path)};
  if (!p.is_absolute()) {
    const std::string cwd = sys_current_dir();
    if (cwd.empty()) return errno ? errno : ENOENT;
    p = std::filesystem::path(cwd) / p;
  }
  out = p.lexically_normal().string();
  return 0;
}

std::string sys_folder_of(const std::string& path) {
  std::string absolute;
  if (sys_absolute_path(path, absolute) != 0) absolute = path;
  std::size_t slash = absolute.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : absolute.substr(0, slash);
}

int sys_create_empty_file(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}
