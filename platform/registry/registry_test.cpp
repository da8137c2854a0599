#include "platform/registry/registry.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace {

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tt_reg_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    reg_set_store_root(root_);
  }
  void TearDown() override {
    reg_set_store_root("");
    std::filesystem::remove_all(root_);
  }
  std::unique_ptr<reg_key> open_key() {
    std::unique_ptr<reg_key> key;
    EXPECT_EQ(reg_key::open(HKEY_CURRENT_USER, "Software\\Larkspur Data\\Tabletide", key, nullptr), 0);
    return key;
  }
  std::string root_;
};

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

TEST_F(Registry, KeyPathsMapToFiles) {
  EXPECT_EQ(reg_key_file("Software\\Larkspur Data\\Tabletide"), root_ + "/tabletide/Larkspur Data/Tabletide.reg");
  EXPECT_EQ(reg_key_file("software\\A\\\\B\\"), root_ + "/tabletide/A/B.reg");
  EXPECT_EQ(reg_key_file("Software\\..\\x"), "");
  EXPECT_EQ(reg_key_file("Software\\a/b"), "");
  EXPECT_EQ(reg_key_file("Software"), "");

  std::unique_ptr<reg_key> key;
  EXPECT_EQ(reg_key::open(nullptr, "Software\\A", key, nullptr), ERROR_INVALID_HANDLE);
  DWORD disposition = 0;
  ASSERT_EQ(reg_key::open(HKEY_CURRENT_USER, "Software\\A\\B", key, &disposition), 0);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(key->set_dword("x", 1), 0);
  ASSERT_EQ(reg_key::open(HKEY_CURRENT_USER, "Software\\A\\B", key, &disposition), 0);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
}

TEST_F(Registry, ValuesRoundTripThroughTheFile) {
  const std::string tricky = "  a=b\\c\nd\re # \xc3\xa4\xe4\xb8\xad  ";
  {
    auto key = open_key();
    ASSERT_TRUE(key);
    EXPECT_EQ(key->set_dword("Port", 3306), 0);
    EXPECT_EQ(key->set_string("Password", tricky), 0);
    EXPECT_EQ(key->set_string("odd=name\\#", "v"), 0);
    EXPECT_EQ(key->set_string("#hash", "h"), 0);
    EXPECT_EQ(key->set_dword("Big", 4294967295u), 0);
    EXPECT_EQ(key->set_dword("port", 3307), 0);  // same value: names ignore case
    EXPECT_EQ(key->set_dword("", 1), ERROR_INVALID_PARAMETER);
  }
  auto key = open_key();
  DWORD type = 0, number = 0;
  std::string text;
  ASSERT_EQ(key->query("PORT", type, number, text), 0);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(number, 3307u);
  ASSERT_EQ(key->query("Password", type, number, text), 0);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(text, tricky);
  ASSERT_EQ(key->query("odd=name\\#", type, number, text), 0);
  EXPECT_EQ(text, "v");
  ASSERT_EQ(key->query("#hash", type, number, text), 0);
  EXPECT_EQ(text, "h");
  ASSERT_EQ(key->query("Big", type, number, text), 0);
  EXPECT_EQ(number, 4294967295u);
  EXPECT_EQ(key->query("missing", type, number, text), ERROR_FILE_NOT_FOUND);

  struct stat st;
  ASSERT_EQ(::stat(key->file().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat((root_ + "/tabletide").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // One line per value, in first-set order; no temporary files left behind.
  const std::string data = read_all(key->file());
  EXPECT_NE(data.find("Port=dword:3307\n"), std::string::npos);
  EXPECT_LT(data.find("Port="), data.find("Password="));
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(root_ + "/tabletide/Larkspur Data")) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST_F(Registry, MalformedLinesAreSkipped) {
  std::filesystem::create_directories(root_ + "/tabletide/Larkspur Data");
  std::ofstream(root_ + "/tabletide/Larkspur Data/Tabletide.reg")
      << "# comment\nnoequals\nbad=dword:12x\nhuge=dword:99999999999\nesc=sz:\\q\nunknown=qword:1\n"
      << "=sz:noname\ngood=sz:yes\nn=dword:42";
  auto key = open_key();
  DWORD type = 0, number = 0;
  std::string text;
  EXPECT_EQ(key->query("good", type, number, text), 0);
  EXPECT_EQ(text, "yes");
  EXPECT_EQ(key->query("n", type, number, text), 0);
  EXPECT_EQ(number, 42u);
  for (const char* name : {"noequals", "bad", "huge", "esc", "unknown", ""})
    EXPECT_EQ(key->query(name, type, number, text), ERROR_FILE_NOT_FOUND) << name;
}

TEST_F(Registry, NoHomeMeansNoStore) {
  reg_set_store_root("");
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  const std::string saved_xdg = xdg ? xdg : "", saved_home = home ? home : "";
  ::unsetenv("XDG_CONFIG_HOME");
  ::unsetenv("HOME");
  std::unique_ptr<reg_key> key;
  EXPECT_EQ(reg_key::open(HKEY_CURRENT_USER, "Software\\A", key, nullptr), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(key);
  ::setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
  EXPECT_EQ(reg_key_file("Software\\A"), root_ + "/tabletide/A.reg");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(reg_key_file("Software\\A"), "/home/someone/.config/tabletide/A.reg");
  if (xdg) ::setenv("XDG_CONFIG_HOME", saved_xdg.c_str(), 1);
  if (home) ::setenv("HOME", saved_home.c_str(), 1);
  else ::unsetenv("HOME");
}
