#include "UDB/udb_prof.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TK/tk_singl.h"

namespace {

namespace fs = std::filesystem;

bool parse(udb_profile& p, const std::string& text) {
  std::istringstream in(text);
  return p.read(in);
}

using pairs = udb_profile::pair_list;

class ProfileFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/udb_prof_test.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::wstring path(const char* name) const { return (dir_ / name).wstring(); }
  static void write(const std::wstring& path, const std::string& bytes) {
    std::ofstream(fs::path(path), std::ios::binary) << bytes;
  }
  static std::string slurp(const std::wstring& path) {
    std::ifstream in(fs::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir_;
};

TEST(Profile, EmptyProfileHasTheFourSections) {
  udb_profile p;
  EXPECT_TRUE(parse(p, ""));
  EXPECT_EQ(p.sections().size(), 4u);
  EXPECT_EQ(p.to_text(),
            "[Available Queries]\r\n\r\n[Generic settings]\r\n\r\n[Selected Tables]\r\n\r\n[Selected Views]\r\n\r\n");
}

TEST(Profile, ReadsPairsBareLinesAndSections) {
  udb_profile p;
  ASSERT_TRUE(parse(p,
                    "[MySQL settings]\n"
                    " host = db=1 \n"
                    "\n"
                    "   \n"
                    "[Selected Tables]\n"
                    "t1\n"
                    "q1=SELECT 1\n"
                    "[a=b]\n"
                    "x=1\n"
                    "[MySQL settings]\n"
                    "host=second\n"
                    "port=\n"));
  EXPECT_EQ(p.get_value(L"MySQL settings", L"host"), L"db=1");
  EXPECT_EQ(p.get_value(L"MySQL settings", L"port"), L"");
  EXPECT_EQ(p.get_value(L"mysql settings", L"host"), L"");  // sections and keys compare exactly
  EXPECT_EQ(p.get_value(L"MySQL settings", L"Host"), L"");
  EXPECT_EQ(p.get_value(L"a=b", L"x"), L"1");
  EXPECT_EQ(p.get_selected_tables(), (pairs{{L"t1", L""}, {L"q1", L"SELECT 1"}}));
  EXPECT_EQ(p.raw_sections().at(L"Selected Tables"), (udb_profile::line_list{L"t1"}));
}

TEST(Profile, LinesBeforeAnySectionEndTheRead) {
  udb_profile p;
  EXPECT_FALSE(parse(p, "key=value\n[Generic settings]\nsrc=a\n"));
  EXPECT_EQ(p.get_value(L"Generic settings", L"src"), L"");
  udb_profile q;
  EXPECT_FALSE(parse(q, "orders\n[Selected Tables]\n"));
  EXPECT_TRUE(q.get_selected_tables().empty());
}

TEST(Profile, WindowsLineEndsAndByteOrderMark) {
  const std::string body =
      "[Generic settings]\r\nsrc=shop\r\ndest=C:\\data\\shop.mdb\r\n\r\n[Selected Tables]\r\norders\r\n";
  udb_profile plain, crlf, bom;
  ASSERT_TRUE(parse(plain, "[Generic settings]\nsrc=shop\ndest=C:\\data\\shop.mdb\n[Selected Tables]\norders\n"));
  ASSERT_TRUE(parse(crlf, body));
  ASSERT_TRUE(parse(bom, "\xEF\xBB\xBF" + body));
  EXPECT_EQ(crlf.sections(), plain.sections());
  EXPECT_EQ(bom.sections(), plain.sections());
  EXPECT_EQ(bom.get_value(L"Generic settings", L"dest"), L"C:\\data\\shop.mdb");
  EXPECT_EQ(crlf.raw_sections().at(L"Selected Tables"), (udb_profile::line_list{L"orders"}));
}

TEST(Profile, NonAsciiTextRoundTrips) {
  udb_profile p;
  p.set_value(L"Selected Tables", L"K\u00FCche", L"");
  p.set_value(L"Available Queries", L"\u4E2D\u6587", L"SELECT '\u00E9' FROM t");
  udb_profile q;
  ASSERT_TRUE(parse(q, p.to_text()));
  EXPECT_EQ(q.sections(), p.sections());
  EXPECT_NE(p.to_text().find("K\xC3\xBC" "che\r\n"), std::string::npos);
}

TEST(Profile, LongAndMultiLineQueriesReadBackWhole) {
  std::wstring sql = L"SELECT ";
  while (sql.size() < 9990) sql += L"\u00E9col, ";  // about 18,000 bytes of UTF-8 on one line
  sql += L"1";
  udb_profile p;
  p.set_value(L"Selected Tables", L"big", sql);
  p.set_value(L"Available Queries", L"multi", L"SELECT a\r\nFROM t\nWHERE b = 1\r[x]");
  udb_profile q;
  ASSERT_TRUE(parse(q, p.to_text()));
  EXPECT_EQ(q.get_value(L"Selected Tables", L"big"), sql);
  EXPECT_EQ(q.get_available_queries(), (pairs{{L"multi", L"SELECT a FROM t WHERE b = 1 [x]"}}));
  EXPECT_EQ(q.sections().size(), 4u);  // "[x]" did not open a section
}

TEST(Profile, WritesSectionsInNameOrderAndTablesBare) {
  udb_profile p;
  p.set_value(L"MySQL settings", L"host", L"localhost");
  p.set_value(L"MS Access settings", L"destination format", L"1");
  p.set_value(L"Selected Tables", L"orders", L"");
  p.set_value(L"Selected Tables", L"big", L"SELECT * FROM orders WHERE total > 100");
  p.set_value(L"Generic settings", L"logfile", L"");
  EXPECT_EQ(p.to_text(),
            "[Available Queries]\r\n\r\n"
            "[Generic settings]\r\nlogfile=\r\n\r\n"
            "[MS Access settings]\r\ndestination format=1\r\n\r\n"
            "[MySQL settings]\r\nhost=localhost\r\n\r\n"
            "[Selected Tables]\r\norders\r\nbig=SELECT * FROM orders WHERE total > 100\r\n\r\n"
            "[Selected Views]\r\n\r\n");
}

TEST(Profile, BareLinesAreWrittenBackOnceAsRead) {
  udb_profile p;
  ASSERT_TRUE(parse(p, "[Generic settings]\n  line  \n"));
  EXPECT_EQ(p.get_value(L"Generic settings", L"line"), L"");
  EXPECT_EQ(p.to_text(),
            "[Available Queries]\r\n\r\n[Generic settings]\r\n  line  \r\n\r\n[Selected Tables]\r\n\r\n"
            "[Selected Views]\r\n\r\n");
}

TEST_F(ProfileFile, StoreAndLoadRoundTrip) {
  udb_profile p;
  p.set_value(L"MySQL settings", L"password", L"secret");
  p.set_value(L"Selected Tables", L"orders", L"");
  const std::wstring file = path("shop.rwf");
  ASSERT_TRUE(p.store(file));
  struct stat st {};
  ASSERT_EQ(stat(fs::path(file).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);  // it holds a password
  EXPECT_EQ(slurp(file), p.to_text());

  udb_profile q;
  ASSERT_TRUE(q.load(file));
  EXPECT_EQ(q.sections(), p.sections());

  // Storing over an existing profile replaces it and leaves nothing else in the folder.
  p.set_value(L"Generic settings", L"src", L"shop");
  ASSERT_TRUE(p.store(file));
  EXPECT_EQ(slurp(file), p.to_text());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(ProfileFile, LoadAndStoreCyclesKeepEachEntryOnce) {
  const std::wstring file = path("cycle.rwf");
  write(file, "[Generic settings]\r\nsrc=shop\r\n  plain  \r\n[Selected Tables]\r\nt1\r\nq1=SELECT 1\r\nt2\r\n");
  std::string first;
  for (int cycle = 0; cycle < 3; ++cycle) {
    udb_profile p;
    ASSERT_TRUE(p.load(file));
    EXPECT_EQ(p.get_selected_tables(), (pairs{{L"t1", L""}, {L"q1", L"SELECT 1"}, {L"t2", L""}}));
    EXPECT_EQ(p.sections().at(L"Generic settings"), (pairs{{L"src", L"shop"}, {L"plain", L""}}));
    ASSERT_TRUE(p.store(file));
    if (cycle == 0) first = slurp(file);
    EXPECT_EQ(slurp(file), first);
  }
  EXPECT_EQ(first,
            "[Available Queries]\r\n\r\n[Generic settings]\r\nsrc=shop\r\n  plain  \r\n\r\n"
            "[Selected Tables]\r\nt1\r\nq1=SELECT 1\r\nt2\r\n\r\n[Selected Views]\r\n\r\n");
}

TEST_F(ProfileFile, MissingFileAndFolders) {
  udb_profile p;
  try {
    p.load(path("none.rwf"));
    FAIL() << "no exception";
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.level, 1);
    EXPECT_STREQ(e.what(), "Profile does not exist. Please verify the correct path/name was given.");
  }
  EXPECT_THROW(p.load(dir_.wstring()), tk_exception);  // a folder is no profile
  EXPECT_FALSE(p.store(path("no/such/folder/x.rwf")));
  EXPECT_FALSE(p.store(dir_.wstring()));  // cannot replace a folder
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 0);
}

TEST_F(ProfileFile, ReadOnlyProfileIsNotReplaced) {
  const std::wstring file = path("locked.rwf");
  write(file, "[Generic settings]\r\n");
  fs::permissions(fs::path(file), fs::perms::owner_read);
  udb_profile p;
  p.set_value(L"Generic settings", L"src", L"new");
  EXPECT_FALSE(p.store(file));
  EXPECT_EQ(slurp(file), "[Generic settings]\r\n");
}

TEST_F(ProfileFile, FailedWriteKeepsTheOldProfile) {
  const std::wstring file = path("keep.rwf");
  write(file, "[Generic settings]\r\nsrc=old\r\n");
  udb_profile p;
  p.set_value(L"Selected Tables", L"big", std::wstring(100000, L'x'));

  // A file-size limit makes the write fail as a full disk would.
  struct rlimit old_limit {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  struct rlimit small = old_limit;
  small.rlim_cur = 4096;
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool threw = false;
  try {
    p.store(file);
  } catch (const tk_exception& e) {
    threw = true;
    EXPECT_EQ(e.level, 1);
    EXPECT_EQ(std::string(e.what()).rfind("Cannot write the profile file: ", 0), 0u) << e.what();
  }
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, old_handler);

  EXPECT_TRUE(threw);
  EXPECT_EQ(slurp(file), "[Generic settings]\r\nsrc=old\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

}  // namespace
