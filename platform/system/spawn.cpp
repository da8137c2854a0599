// posix_spawnp-based helper start (see spawn.h). The input travels over a socket pair rather than a pipe so
// that writing to a helper that has died returns EPIPE (MSG_NOSIGNAL) instead of killing this process.
#include "platform/system/spawn.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

int sys_spawn_detached(const std::vector<std::string>& argv, const std::string* input) {
  if (argv.empty() || argv[0].empty()) return EINVAL;
  const int saved_errno = errno;
  int sv[2] = {-1, -1};
  if (input && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) return errno;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (input) {
    posix_spawn_file_actions_adddup2(&actions, sv[1], 0);  // dup2 clears close-on-exec on the copy
  } else {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  // The helper may live on long after us (a clipboard owner does): it must not hold any other descriptor we
  // have, or whoever reads our output pipes would wait for it, and files we opened would stay open.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  pid_t pid;
  const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);

  if (input) {
    ::close(sv[1]);
    if (rc == 0) {
      const char* p = input->data();
      std::size_t left = input->size();
      while (left > 0) {
        const ssize_t n = ::send(sv[0], p, left, MSG_NOSIGNAL);
        if (n < 0) {
          if (errno == EINTR) continue;
          break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
      }
      ::shutdown(sv[0], SHUT_WR);
    }
    ::close(sv[0]);
  }
  errno = saved_errno;
  return rc;
}

bool sys_program_available(const std::string& name) {
  if (name.empty()) return false;
  if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::string dirs(path);
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = dirs.find(':', start);
    std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (dir.empty()) dir = ".";
    const std::string full = dir + "/" + name;
    struct stat st;
    if (::stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(full.c_str(), X_OK) == 0) return true;
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}
