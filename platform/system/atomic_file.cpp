// Temporary files moved into place with renameat2 (RENAME_NOREPLACE, RENAME_EXCHANGE), flock and fsync.
#include "platform/system/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <vector>

namespace {

constexpr std::string_view temporary_suffix = ".tmp";
constexpr std::size_t random_letters = 6;

int rename2(const std::string& from, const std::string& to, unsigned flags) {
  return static_cast<int>(::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags));
}

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string name_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// What goes before a name made beside `dest`: its folder and a slash, or nothing for a name without folder.
std::string folder_prefix(const std::string& dest) {
  return dest.find('/') == std::string::npos ? std::string() : folder_of(dest) + "/";
}

// Makes a rename in the folder of `path` survive a power cut.
void sync_folder_of(const std::string& path) {
  const int dir = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  ::fsync(dir);
  ::close(dir);
}

// At most `limit` bytes of `text`, cut before a UTF-8 continuation byte so that no character is split.
std::string_view cut_utf8(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t n = limit;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

std::string random_letters_text() {
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::atomic<uint64_t> counter{0};
  unsigned char bytes[random_letters] = {};
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    struct timespec ts {};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t seed = static_cast<uint64_t>(ts.tv_nsec) ^ (static_cast<uint64_t>(ts.tv_sec) << 20) ^ (counter++ << 40);
    for (auto& b : bytes) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      b = static_cast<unsigned char>(seed >> 56);
    }
  }
  std::string out;
  for (unsigned char b : bytes) out += alphabet[b % (sizeof alphabet - 1)];
  return out;
}

bool all_digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

bool all_letters_or_digits(std::string_view s) {
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  return true;
}

// The name a temporary file made for a destination named `dest_name` by process `pid` gets, its random letters
// given as `letters`: the destination's name is cut so that the whole name fits NAME_MAX.
std::string temporary_file_name(std::string_view dest_name, std::string_view pid, std::string_view letters) {
  const std::size_t fixed = 1 + 1 + pid.size() + 1 + random_letters + temporary_suffix.size();
  std::string out = ".";
  out += cut_utf8(dest_name, std::size_t(NAME_MAX) - fixed);
  out += ".";
  out += pid;
  out += ".";
  out += letters;
  out += temporary_suffix;
  return out;
}

// The process id a temporary name carries (the digits between the dots before its random letters), or 0 when
// the name's end does not have the form.
long temporary_name_pid(std::string_view name) {
  if (name.size() <= temporary_suffix.size() + random_letters + 2 ||
      name.substr(name.size() - temporary_suffix.size()) != temporary_suffix)
    return 0;
  std::string_view rest = name.substr(0, name.size() - temporary_suffix.size() - random_letters);
  if (rest.back() != '.') return 0;
  rest.remove_suffix(1);
  const std::size_t dot = rest.rfind('.');
  if (dot == std::string_view::npos) return 0;
  const std::string_view digits = rest.substr(dot + 1);
  // Written by std::to_string: no sign, no leading zero, at most the digits of a pid_t.
  if (!all_digits(digits) || digits[0] == '0' || digits.size() > 10) return 0;
  const long pid = std::stol(std::string(digits));
  return pid > 0 && pid <= long(INT_MAX) ? pid : 0;
}

// True when `name` is `pattern` with every NUL of the pattern standing for one letter or digit.
bool matches_pattern(std::string_view name, std::string_view pattern) {
  if (name.size() != pattern.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (pattern[i] != '\0' ? name[i] != pattern[i] : !all_letters_or_digits(name.substr(i, 1))) return false;
  }
  return true;
}

// The same file, unchanged: an inode number alone may have been reused by a file made after the other was deleted.
bool same_unchanged_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

bool process_exists(long pid) {
  if (pid <= 0) return true;  // not ours to judge
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

}  // namespace

namespace {

// The rule the kernel applies to links in shared folders: a link in a sticky folder that every user may write to
// (/tmp, say) is followed only by its owner or when it belongs to the folder's owner. Anybody may put a link there,
// and one that points at another user's file would have that file replaced.
bool link_refused(const std::string& link, const struct stat& st) {
  if (st.st_uid == ::geteuid()) return false;
  struct stat folder {};
  if (::stat(folder_of(link).c_str(), &folder) != 0) return false;  // then nothing can be written beside it either
  if ((folder.st_mode & S_ISVTX) == 0 || (folder.st_mode & S_IWOTH) == 0) return false;
  return folder.st_uid != st.st_uid;
}

// Follows the links from `path` as sys_final_target does; a link the rule above refuses is not followed: its path
// is returned, and set in `refused`.
std::string follow_links(const std::string& path, std::string* refused) {
  std::string current = path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    if (link_refused(current, st)) {
      if (refused != nullptr) *refused = current;
      return current;
    }
    std::vector<char> buffer(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
    const ssize_t n = ::readlink(current.c_str(), buffer.data(), buffer.size());
    if (n < 0 || static_cast<std::size_t>(n) >= buffer.size()) return current;
    std::string target(buffer.data(), static_cast<std::size_t>(n));
    if (!target.empty() && target[0] != '/' && current.find('/') != std::string::npos)
      target = folder_of(current) + "/" + target;
    current = target;
  }
  return current;
}

}  // namespace

std::string sys_final_target(const std::string& path) { return follow_links(path, nullptr); }

std::string sys_refused_link(const std::string& path) {
  std::string refused;
  follow_links(path, &refused);
  return refused;
}

std::string sys_temporary_name(const std::string& dest) {
  return folder_prefix(dest) +
         temporary_file_name(name_of(dest), std::to_string(static_cast<long>(::getpid())), random_letters_text());
}

std::string sys_lock_file_name(const std::string& dest) {
  constexpr std::string_view suffix = ".lock";
  const std::string folder = folder_prefix(dest);
  const std::size_t name_max = NAME_MAX;
  return folder + "." + std::string(cut_utf8(name_of(dest), name_max - 1 - suffix.size())) + std::string(suffix);
}

bool sys_is_temporary_name_of(std::string_view name, std::string_view dest_name) {
  const long pid = temporary_name_pid(name);
  if (pid == 0 || dest_name.empty()) return false;
  // The name made for the destination by that process, its random letters left open (a NUL stands for one):
  // a file the program writes under a temporary name has temporaries of its own, named from that name.
  const std::string pid_text = std::to_string(pid);
  const std::string letters(random_letters, '\0');
  const std::string own = temporary_file_name(dest_name, pid_text, letters);
  return matches_pattern(name, own) || matches_pattern(name, temporary_file_name(own, pid_text, letters));
}

bool sys_begins_as_working_file(std::string_view first) {
  // An Access file's first page: its type (0) and the format's name, as the engine writes every new file and as
  // the copy of an existing one begins.
  static constexpr std::string_view access_type("\0\1\0\0", 4);
  static constexpr std::string_view jet("Standard Jet DB\0", 16);
  static constexpr std::string_view ace("Standard ACE DB\0", 16);
  if (first.size() >= access_type.size() + jet.size() && first.substr(0, access_type.size()) == access_type) {
    const std::string_view magic = first.substr(access_type.size(), jet.size());
    if (magic == jet || magic == ace) return true;
  }
  return first.substr(0, sys_working_file_mark.size()) == sys_working_file_mark;
}

int sys_remove_stale_temporaries(const std::string& dest) {
  const std::string target = sys_final_target(dest);
  const std::string folder = folder_of(target);
  const std::string dest_name = name_of(target);
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return 0;
  std::vector<std::string> stale;
  while (const struct dirent* entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    if (!sys_is_temporary_name_of(name, dest_name)) continue;
    const long pid = temporary_name_pid(name);
    if (pid == static_cast<long>(::getpid()) || process_exists(pid)) continue;
    stale.emplace_back(name);
  }
  ::closedir(dir);
  int removed = 0;
  for (const std::string& name : stale) {
    const std::string path = folder + "/" + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st {};
    // A file still locked belongs to a living writer (a process id taken over by another machine's process).
    bool ours = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    // A name alone proves nothing: only a file that begins as the program's own files begin is taken for one.
    // An empty file (a run killed the moment it made the file) is left too: nothing shows whose it is.
    if (ours) {
      char first[64];
      const ssize_t n = ::pread(fd, first, sizeof first, 0);
      ours = n > 0 && sys_begins_as_working_file(std::string_view(first, static_cast<std::size_t>(n)));
    }
    // The name could have been given to another file between the look and the unlink: only the file looked at
    // goes.
    struct stat now {};
    if (ours && ::lstat(path.c_str(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino &&
        ::unlink(path.c_str()) == 0)
      ++removed;
    ::close(fd);
  }
  return removed;
}

int sys_move_new(const std::string& from, const std::string& to) {
  if (rename2(from, to, RENAME_NOREPLACE) != 0) {
    const int err = errno;
    if (err != EINVAL && err != ENOSYS) return err;
    // The file system cannot rename without replacing: a hard link refuses an existing name just the same.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    ::unlink(from.c_str());
  }
  sync_folder_of(to);
  return 0;
}

int sys_move_replacing(const std::string& from, const std::string& to, const struct stat& expected) {
  // The new file takes the place of the old one with its owner where the process may set it (an ordinary user
  // may still give it the old file's group when it is one of theirs), then its permission bits (which chown may
  // have cleared of the set-id bits).
  if (::chown(from.c_str(), expected.st_uid, expected.st_gid) != 0) {
    [[maybe_unused]] int ignored = ::chown(from.c_str(), static_cast<uid_t>(-1), expected.st_gid);
  }
  if (::chmod(from.c_str(), expected.st_mode & 07777) != 0) return errno;
  struct stat now {};
  if (::lstat(to.c_str(), &now) != 0) return errno == ENOENT ? EEXIST : errno;
  if (!same_unchanged_file(now, expected)) return EEXIST;
  if (rename2(from, to, RENAME_EXCHANGE) == 0) {
    // The check above and the exchange are two steps: look at what was taken out once more.
    struct stat out {};
    if (::lstat(from.c_str(), &out) == 0 && out.st_dev == expected.st_dev && out.st_ino == expected.st_ino) {
      ::unlink(from.c_str());
      sync_folder_of(to);
      return 0;
    }
    // Someone else's file was there: give it its place back.
    rename2(from, to, RENAME_EXCHANGE);
    return EEXIST;
  }
  const int err = errno;
  if (err != EINVAL && err != ENOSYS) return err;
  // No atomic exchange on this file system: the check above is the closest one can come.
  if (::rename(from.c_str(), to.c_str()) != 0) return errno;
  sync_folder_of(to);
  return 0;
}

sys_temporary_file::~sys_temporary_file() { discard(); }

int sys_temporary_file::create(const std::string& dest, mode_t mode) {
  discard();
  dest_ = sys_final_target(dest);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = sys_temporary_name(dest_);
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return errno;
    }
    ::flock(fd, LOCK_EX | LOCK_NB);  // marks the file as in use for sys_remove_stale_temporaries
    fd_ = fd;
    path_ = std::move(name);
    return 0;
  }
  return EEXIST;
}

int sys_temporary_file::finish_writing() {
  if (fd_ < 0) return EBADF;
  if (::fsync(fd_) != 0) return errno;
  return 0;
}

int sys_temporary_file::commit_new() {
  if (int err = finish_writing()) return err;
  if (int err = sys_move_new(path_, dest_)) return err;
  ::close(fd_);
  fd_ = -1;
  path_.clear();
  return 0;
}

int sys_temporary_file::commit_replacing(const struct stat& expected) {
  if (int err = finish_writing()) return err;
  if (int err = sys_move_replacing(path_, dest_, expected)) return err;
  ::close(fd_);
  fd_ = -1;
  path_.clear();
  return 0;
}

int sys_temporary_file::commit_over() {
  if (int err = finish_writing()) return err;
  if (::rename(path_.c_str(), dest_.c_str()) != 0) return errno;
  sync_folder_of(dest_);
  ::close(fd_);
  fd_ = -1;
  path_.clear();
  return 0;
}

void sys_temporary_file::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!path_.empty()) ::unlink(path_.c_str());
  path_.clear();
}

int sys_write_file_replacing(const std::string& path, std::string_view data, mode_t mode) {
  sys_temporary_file temp;
  if (int err = temp.create(path, mode)) return err;
  if (::fchmod(temp.fd(), mode) != 0) return errno;
  const char* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    const ssize_t n = ::write(temp.fd(), p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return temp.commit_over();
}
