#include "platform/jet/database.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "platform/jet/error.h"

namespace jet {
namespace {

namespace fs = std::filesystem;

class scratch {
 public:
  scratch() {
    std::string tmpl = (fs::temp_directory_path() / "jetdb-XXXXXX").string();
    dir_ = ::mkdtemp(tmpl.data());
  }
  ~scratch() { fs::remove_all(dir_); }
  std::string file(const char* name) const { return (fs::path(dir_) / name).string(); }
  size_t entries() const { return size_t(std::distance(fs::directory_iterator(dir_), fs::directory_iterator())); }

 private:
  std::string dir_;
};

TEST(Database, BlankFileAppearsOnlyAtClose) {
  scratch s;
  auto db = database::create(s.file("blank.mdb"));
  EXPECT_FALSE(fs::exists(s.file("blank.mdb")));
  db->close();
  EXPECT_TRUE(fs::exists(s.file("blank.mdb")));
  EXPECT_EQ(fs::file_size(s.file("blank.mdb")), 16u * 4096u);
  EXPECT_EQ(s.entries(), 1u);
}

}  // namespace
}  // namespace jet
