#include "converter/rwf_dest.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TK/tk_singl.h"
#include "tests/support/tk_test_support.h"
#include "TK/tk_utils.h"
#include "converter/rwf_conv.h"

namespace {

std::string check_message(const std::string& path) {
  try {
    common_check_dest(tk_utf8_to_unicode(path));
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.level, 1);
    return e.what();
  }
  return "";
}

TEST(Destination, Checks) {
  tk_scratch_dir dir;
  EXPECT_EQ(check_message(dir.file("new.mdb")), "");
  EXPECT_EQ(check_message(dir.path()), "Destination name should specify a file, not folder.");
  tk_write_file(dir.file("ro.mdb"), "x");
  chmod(dir.file("ro.mdb").c_str(), 0444);
  EXPECT_EQ(check_message(dir.file("ro.mdb")), "Destination name specifies an existing read-only file.");
  EXPECT_EQ(check_message(dir.file("none/a.mdb")),
            "Destination path does not exist.\nPlease verify the correct path was given.");
  if (geteuid() != 0) {
    mkdir(dir.file("locked").c_str(), 0555);
    EXPECT_EQ(check_message(dir.file("locked/a.mdb")),
              "Cannot create or write into the destination file.\nRun the program as Administrator or change "
              "folder.");
  }
}

TEST(Destination, CheckKeepsAnExistingFileInEveryMode) {
  tk_scratch_dir dir;
  tk_write_file(dir.file("old.mdb"), "old");
  rowferry_convertor conv(converter_build::console);
  conv.dest = tk_utf8_to_unicode(dir.file("old.mdb"));
  for (int mode = 0; mode < 4; ++mode) {
    conv.mode = mode;
    conv.check_dest();
    EXPECT_EQ(tk_read_file(dir.file("old.mdb")), "old");
  }
}

TEST(Destination, NamesAndSuffixes) {
  EXPECT_EQ(make_default_dest(L"/data/x.mdb", L"shop", L"accdb", false), L"/data/shop.accdb");
  EXPECT_EQ(make_default_dest(L"/data/x.mdb", L"shop", L".mdb", true), L"shop");
  std::wstring here = make_default_dest(L"", L"shop", L"mdb", false);
  EXPECT_EQ(here.substr(here.size() - 9), L"/shop.mdb");
  EXPECT_EQ(here[0], L'/');

  EXPECT_TRUE(path_ends_with(L"a.MDB", L".mdb", false));
  EXPECT_FALSE(path_ends_with(L"a.MDB", L".mdb", true));
  EXPECT_TRUE(path_ends_with(L"x", L"", true));
  EXPECT_FALSE(path_ends_with(L"b", L"ab", false));
  EXPECT_EQ(file_name_folder("/a/b/c.log"), "/a/b/");
  EXPECT_EQ(file_name_folder("c.log"), "");
}

}  // namespace
