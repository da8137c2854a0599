#include "platform/system/files.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tt_files_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string dir_;
};

}  // namespace

TEST_F(Files, KindsAndReadOnly) {
  const std::string f = dir_ + "/a.txt";
  std::ofstream(f) << "x";
  EXPECT_EQ(sys_stat_kind(f), sys_path_kind::file);
  EXPECT_EQ(sys_stat_kind(dir_), sys_path_kind::folder);
  EXPECT_EQ(sys_stat_kind(dir_ + "/none"), sys_path_kind::missing);
  EXPECT_EQ(sys_stat_kind(""), sys_path_kind::missing);
  EXPECT_FALSE(sys_is_read_only(f));
  ::chmod(f.c_str(), 0444);
  EXPECT_TRUE(sys_is_read_only(f));
  EXPECT_FALSE(sys_is_read_only(dir_ + "/none"));
  EXPECT_TRUE(sys_may_access(f, R_OK));
  EXPECT_FALSE(sys_may_access(dir_ + "/none", R_OK));
  EXPECT_FALSE(sys_may_access("", R_OK));
}

TEST_F(Files, AbsolutePathIsLexical) {
  std::string out;
  ASSERT_EQ(sys_absolute_path("/x/./y/../z.txt", out), 0);
  EXPECT_EQ(out, "/x/z.txt");
  ASSERT_EQ(sys_absolute_path("/x//y/", out), 0);
  EXPECT_EQ(out, "/x/y/");
  const std::string cwd = sys_current_dir();
  ASSERT_EQ(sys_absolute_path("not/there.mdb", out), 0);
  EXPECT_EQ(out, cwd + "/not/there.mdb");
}

TEST_F(Files, ProgramPathAndCreateEmpty) {
  std::string exe;
  ASSERT_EQ(sys_program_path(exe), 0);
  EXPECT_EQ(exe.front(), '/');
  EXPECT_NE(exe.find("tt_system_test"), std::string::npos);

  const std::string f = dir_ + "/b.txt";
  std::ofstream(f) << "content";
  ASSERT_EQ(sys_create_empty_file(f), 0);
  struct stat st;
  ASSERT_EQ(::stat(f.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 0);
  EXPECT_EQ(sys_create_empty_file(dir_ + "/no/such/c.txt"), ENOENT);
}
