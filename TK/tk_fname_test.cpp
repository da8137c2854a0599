#include "TK/tk_fname.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TK/tk_singl.h"
#include "tests/support/tk_test_support.h"
#include "TK/tk_utils.h"

namespace {

// Runs the body with the working folder changed, and restores it.
class in_dir {
 public:
  explicit in_dir(const std::string& dir) : guard_(dir.c_str()) {}

 private:
  tk_temp_chdir guard_;
};

std::string joined(const tk_file_name& f) { return f.drive + f.dir + f.name + f.ext; }

}  // namespace

TEST(FileName, SplitsAbsoluteAndRelativePaths) {
  tk_scratch_dir dir;
  {
    in_dir cd(dir.path());
    tk_file_name rel("x.txt");
    EXPECT_EQ(rel.drive, "");
    EXPECT_EQ(rel.dir, dir.path() + "/");
    EXPECT_EQ(rel.name, "x");
    EXPECT_EQ(rel.ext, ".txt");
    EXPECT_EQ(tk_file_name("sub/../y.tar.gz").dir, dir.path() + "/");
    EXPECT_EQ(tk_file_name("sub/../y.tar.gz").ext, ".gz");
  }
  struct expectation {
    const char* path;
    const char* dir;
    const char* name;
    const char* ext;
  };
  for (const auto& e : std::initializer_list<expectation>{
           {"/a/b/c.mdb", "/a/b/", "c", ".mdb"},
           {"/a/../b.txt", "/", "b", ".txt"},
           {"/w/noext", "/w/", "noext", ""},
           {"/x.y/z", "/x.y/", "z", ""},
           {"/w/dir/", "/w/dir/", "", ""},
           {"/home/u/.bashrc", "/home/u/", "", ".bashrc"},
           {"/d/\xc3\xa4\xe4\xb8\xad.accdb", "/d/", "\xc3\xa4\xe4\xb8\xad", ".accdb"},
       }) {
    tk_file_name f(e.path);
    EXPECT_EQ(f.dir, e.dir) << e.path;
    EXPECT_EQ(f.name, e.name) << e.path;
    EXPECT_EQ(f.ext, e.ext) << e.path;
  }
  EXPECT_EQ(joined(tk_file_name("/a/b/c.mdb")), "/a/b/c.mdb");

  tk_file_name self("");
  EXPECT_EQ(self.dir, tk_get_module_dir());
  EXPECT_EQ(self.name, "");

  tk_file_wname w(L"/d/\u00e4\u4e2d.mdb");
  EXPECT_EQ(w.dir, L"/d/");
  EXPECT_EQ(w.name, L"\u00e4\u4e2d");
  EXPECT_EQ(w.ext, L".mdb");
  // The narrow split of a wide path gives its parts in UTF-8, relative paths made absolute the same way.
  tk_file_name from_wide(L"/d/\u00e4\u4e2d.tar.mdb");
  EXPECT_EQ(from_wide.dir, "/d/");
  EXPECT_EQ(from_wide.name, "\xc3\xa4\xe4\xb8\xad.tar");
  EXPECT_EQ(from_wide.ext, ".mdb");
  {
    in_dir cd(dir.path());
    EXPECT_EQ(joined(tk_file_name(L"sub/../\u00e9t\u00e9.txt")), dir.path() + "/\xc3\xa9t\xc3\xa9.txt");
  }
  EXPECT_EQ(tk_file_name(L"").dir, tk_get_module_dir());
  EXPECT_THROW(tk_file_name(static_cast<const wchar_t*>(nullptr)), tk_mail_assertion);

  try {
    tk_file_name bad(static_cast<const char*>(nullptr));
    FAIL();
  } catch (const tk_exception& e) {
    EXPECT_STREQ(e.what(), tk_mail_assertion("tk_fname", 31).what());
  }
  EXPECT_THROW(tk_file_wname(static_cast<const wchar_t*>(nullptr)), tk_mail_assertion);
}

TEST(FileTests, FilesFoldersReadOnlyAndMissing) {
  tk_scratch_dir dir;
  const std::string f = dir.file("a.mdb");
  const std::string ro = dir.file("ro.mdb");
  tk_write_file(f, "x");
  tk_write_file(ro, "x");
  ::chmod(ro.c_str(), 0444);

  EXPECT_TRUE(tk_is_file_exist1(f.c_str(), 0x4000));
  EXPECT_TRUE(tk_is_file_exist1(f.c_str(), 1));
  EXPECT_TRUE(tk_is_file_exist1(ro.c_str(), 0x4000));
  EXPECT_FALSE(tk_is_file_exist1(ro.c_str(), 1));
  EXPECT_FALSE(tk_is_file_exist2(tk_utf8_to_unicode(dir.path()).c_str(), 0x4000));
  EXPECT_FALSE(tk_is_file_exist1(dir.file("none").c_str(), 0x4000));
  EXPECT_FALSE(tk_is_file_exist1("", 0x4000));

  // Any other mode creates (and empties) the file.
  const std::string c = dir.file("c.txt");
  tk_write_file(c, "content");
  EXPECT_TRUE(tk_is_file_exist1(c.c_str(), 2));
  EXPECT_EQ(tk_read_file(c), "");
  try {
    tk_is_file_exist1(dir.file("no/such/file").c_str(), 2);
    FAIL();
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.level, 1);
    EXPECT_STREQ(e.what(), "No such file or directory");
  }

  EXPECT_TRUE(tk_is_path_exist(dir.path().c_str()));
  EXPECT_TRUE(tk_is_path_exist(""));
  EXPECT_FALSE(tk_is_path_exist(f.c_str()));
  EXPECT_FALSE(tk_is_path_exist(dir.file("none").c_str()));

  // A folder named in characters that need three bytes each.
  const std::wstring cjk = tk_utf8_to_unicode(dir.path()) + L"/\u4e2d\u6587\u8868\u683c";
  ::mkdir(tk_to_utf8(cjk).c_str(), 0700);
  EXPECT_TRUE(tk_is_path_exist(cjk.c_str()));
}

TEST(FileTests, AccessCheck) {
  tk_scratch_dir dir;
  const std::string f = dir.file("a.txt");
  tk_write_file(f, "x");
  EXPECT_TRUE(tk_is_file_writable(dir.path().c_str(), GENERIC_WRITE));
  EXPECT_TRUE(tk_is_file_writable(f.c_str(), GENERIC_READ | GENERIC_WRITE));
  EXPECT_TRUE(tk_is_file_writable_w(tk_utf8_to_unicode(f).c_str(), GENERIC_READ));
  EXPECT_FALSE(tk_is_file_writable(dir.file("none").c_str(), GENERIC_READ));
  EXPECT_FALSE(tk_is_file_writable(f.c_str(), GENERIC_EXECUTE));
  if (::geteuid() == 0) GTEST_SKIP() << "root may write everywhere; denial cannot be tested";
  const std::string locked = dir.file("locked");
  ::mkdir(locked.c_str(), 0500);
  EXPECT_FALSE(tk_is_file_writable(locked.c_str(), GENERIC_WRITE));
  EXPECT_TRUE(tk_is_file_writable(locked.c_str(), GENERIC_READ));
}

TEST(FileTests, TempChdirRestores) {
  tk_scratch_dir dir;
  char before[4096];
  ASSERT_NE(::getcwd(before, sizeof before), nullptr);
  {
    tk_temp_chdir cd(dir.path().c_str());
    EXPECT_TRUE(cd.changed());
    char now[4096];
    ASSERT_NE(::getcwd(now, sizeof now), nullptr);
    EXPECT_EQ(std::string(now), dir.path());
  }
  char after[4096];
  ASSERT_NE(::getcwd(after, sizeof after), nullptr);
  EXPECT_STREQ(after, before);
  tk_temp_chdir missing(dir.file("none").c_str());
  EXPECT_FALSE(missing.changed());
}

TEST(FileTests, LibraryVersion) {
  EXPECT_GE(get_dll_version(L"COMCTL32.DLL"), 0x50050u);
  EXPECT_EQ(get_dll_version(L"other.dll"), 0u);
}
