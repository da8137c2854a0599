#include "tests/support/tk_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

tk_scratch_dir::tk_scratch_dir() {
  char tmpl[] = "/tmp/tt_tk_XXXXXX";
  if (::mkdtemp(tmpl)) path_ = tmpl;
}

tk_scratch_dir::~tk_scratch_dir() {
  std::error_code ec;
  // Give back write permission first so read-only test files can be removed.
  for (auto& e : std::filesystem::recursive_directory_iterator(path_, ec))
    std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string tk_read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void tk_write_file(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

bool tk_file_exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}
