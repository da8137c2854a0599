// Test helper: a scratch folder removed with everything in it when the test ends.
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include <sys/resource.h>

#include "platform/jet/error.h"

namespace jet {

class scratch_folder {
 public:
  scratch_folder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "jet-test-XXXXXX").string();
    dir_ = ::mkdtemp(tmpl.data());
  }
  ~scratch_folder() { std::filesystem::remove_all(dir_); }
  std::string file(const std::string& name) const { return (std::filesystem::path(dir_) / name).string(); }
  const std::string& path() const { return dir_; }
  size_t entries() const {
    return size_t(std::distance(std::filesystem::directory_iterator(dir_), std::filesystem::directory_iterator()));
  }

 private:
  std::string dir_;
};

// A whole file's bytes.
inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The engine error number fn raises, or 0 when it raises none.
inline int error_of(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const error& e) {
    return e.number();
  }
  return 0;
}

// The engine error number fn raises while writes past `limit` bytes of a file fail as on a full disk.
inline int error_with_file_size_limit(uint64_t limit, const std::function<void()>& fn) {
  struct restore {
    struct rlimit old {};
    void (*handler)(int) = SIG_DFL;
    ~restore() {
      ::setrlimit(RLIMIT_FSIZE, &old);
      std::signal(SIGXFSZ, handler);
    }
  };
  restore r;
  if (::getrlimit(RLIMIT_FSIZE, &r.old) != 0) return -1;
  r.handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = r.old;
  small.rlim_cur = limit;
  if (::setrlimit(RLIMIT_FSIZE, &small) != 0) return -1;
  return error_of(fn);
}

inline std::string sample_path(const std::string& name) {
  return std::string(TT_TEST_DATA_DIR) + "/access-format/" + name;
}

}  // namespace jet
