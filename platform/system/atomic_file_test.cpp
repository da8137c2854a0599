#include "platform/system/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class AtomicFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "tt_atomic_XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string file(const std::string& name) const { return dir_ + "/" + name; }
  static void put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
  static std::string get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir_)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  static int write(sys_temporary_file& t, const std::string& text) {
    return ::write(t.fd(), text.data(), text.size()) == ssize_t(text.size()) ? 0 : errno;
  }
  std::string dir_;
};

// The id of a process that has ended.
long dead_pid() {
  pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  return long(child);
}

}  // namespace

TEST_F(AtomicFile, TemporaryNamesFitAndAreRecognised) {
  // A destination name of 255 bytes, ending in multi-byte characters that must not be split.
  const std::string longest = std::string(247, 'a') + "\xc3\xa9\xc3\xa9.mdb";
  ASSERT_EQ(longest.size(), 255u);
  for (const std::string& dest : {std::string("out.mdb"), longest}) {
    std::string temp = sys_temporary_name(file(dest));
    std::string name = fs::path(temp).filename().string();
    EXPECT_LE(name.size(), size_t(NAME_MAX)) << name;
    EXPECT_EQ(fs::path(temp).parent_path().string(), dir_);
    EXPECT_TRUE(sys_is_temporary_name_of(name, dest)) << name;
    // A temporary of a temporary (a file written under a temporary name) still belongs to the destination.
    std::string nested = fs::path(sys_temporary_name(temp)).filename().string();
    EXPECT_LE(nested.size(), size_t(NAME_MAX));
    EXPECT_TRUE(sys_is_temporary_name_of(nested, dest)) << nested;
    // Never a cut character: the name part is valid UTF-8 up to its last byte before ".<pid>".
    EXPECT_EQ(name.find("\xc3."), std::string::npos);
    std::ofstream probe(dir_ + "/" + name);
    EXPECT_TRUE(probe.good()) << "the file system refused " << name;
  }
  EXPECT_FALSE(sys_is_temporary_name_of("out.mdb", "out.mdb"));
  EXPECT_FALSE(sys_is_temporary_name_of(".other.mdb.123.abcdef.tmp", "out.mdb"));
  EXPECT_FALSE(sys_is_temporary_name_of(".out.mdb.12x.abcdef.tmp", "out.mdb"));
  EXPECT_TRUE(sys_is_temporary_name_of(".out.mdb.123.abcdef.tmp", "out.mdb"));
  // Only the exact form: not a name that merely starts like the destination's, a prefix of it, a process id
  // with a leading zero, seven letters, or a temporary of a temporary made by another process. (A name such as
  // ".out.mdb.2024.backup.tmp" has the form: only its content tells it apart.)
  for (const char* other : {".o.99999.report.tmp", ".out.99998.notes1.tmp",
                            ".out.mdb.old.123456.AAAAAA.tmp", ".out.mdb.0123.abcdef.tmp", ".out.mdb.123.abcdefg.tmp",
                            "..out.mdb.123.abcdef.tmp.124.ghijkl.tmp", ".out.mdb.123.abc-ef.tmp"})
    EXPECT_FALSE(sys_is_temporary_name_of(other, "out.mdb")) << other;
  EXPECT_TRUE(sys_is_temporary_name_of("..out.mdb.123.abcdef.tmp.123.ghijkl.tmp", "out.mdb"));
}

TEST_F(AtomicFile, NewFileNeverReplacesOneThatAppeared) {
  ::umask(022);
  sys_temporary_file t;
  ASSERT_EQ(t.create(file("new.mdb")), 0);
  ASSERT_EQ(write(t, "ours"), 0);
  struct stat st {};
  ASSERT_EQ(::fstat(t.fd(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);  // 0666 less the umask
  put(file("new.mdb"), "theirs");
  EXPECT_EQ(t.commit_new(), EEXIST);
  EXPECT_EQ(get(file("new.mdb")), "theirs");
  t.discard();
  EXPECT_EQ(names(), std::vector<std::string>{"new.mdb"});

  sys_temporary_file u;
  ASSERT_EQ(u.create(file("fresh.mdb")), 0);
  ASSERT_EQ(write(u, "data"), 0);
  ASSERT_EQ(u.commit_new(), 0);
  EXPECT_EQ(get(file("fresh.mdb")), "data");
  EXPECT_EQ(names(), (std::vector<std::string>{"fresh.mdb", "new.mdb"}));
}

TEST_F(AtomicFile, ReplacementKeepsModeAndRefusesAStranger) {
  put(file("db.mdb"), "old");
  ::chmod(file("db.mdb").c_str(), 0600);
  struct stat old {};
  ASSERT_EQ(::stat(file("db.mdb").c_str(), &old), 0);

  sys_temporary_file t;
  ASSERT_EQ(t.create(file("db.mdb")), 0);
  ASSERT_EQ(write(t, "new"), 0);
  ASSERT_EQ(t.commit_replacing(old), 0);
  EXPECT_EQ(get(file("db.mdb")), "new");
  struct stat now {};
  ASSERT_EQ(::stat(file("db.mdb").c_str(), &now), 0);
  EXPECT_EQ(now.st_mode & 07777, 0600u);
  EXPECT_EQ(now.st_uid, old.st_uid);
  EXPECT_EQ(names(), std::vector<std::string>{"db.mdb"});

  // Another program put its own file in place meanwhile: it stays, and ours is not moved.
  sys_temporary_file u;
  ASSERT_EQ(u.create(file("db.mdb")), 0);
  ASSERT_EQ(write(u, "mine"), 0);
  ::unlink(file("db.mdb").c_str());
  put(file("db.mdb"), "stranger");
  EXPECT_EQ(u.commit_replacing(now), EEXIST);
  EXPECT_EQ(get(file("db.mdb")), "stranger");
  EXPECT_TRUE(fs::exists(u.path()));
  u.discard();
  EXPECT_EQ(names(), std::vector<std::string>{"db.mdb"});
}

TEST_F(AtomicFile, SymbolicLinkStandsForItsTarget) {
  fs::create_directory(dir_ + "/real");
  put(dir_ + "/real/db.mdb", "old");
  fs::create_symlink("real/db.mdb", file("link.mdb"));
  fs::create_symlink("link.mdb", file("link2.mdb"));
  EXPECT_EQ(sys_final_target(file("link2.mdb")), dir_ + "/real/db.mdb");
  struct stat old {};
  ASSERT_EQ(::stat(file("link2.mdb").c_str(), &old), 0);
  sys_temporary_file t;
  ASSERT_EQ(t.create(file("link2.mdb")), 0);
  EXPECT_EQ(fs::path(t.path()).parent_path().string(), dir_ + "/real");
  ASSERT_EQ(write(t, "new"), 0);
  ASSERT_EQ(t.commit_replacing(old), 0);
  EXPECT_TRUE(fs::is_symlink(file("link.mdb")));
  EXPECT_TRUE(fs::is_symlink(file("link2.mdb")));
  EXPECT_EQ(get(file("link2.mdb")), "new");
  // A dangling link: the new file appears at its target.
  fs::create_symlink("real/later.mdb", file("later.mdb"));
  sys_temporary_file u;
  ASSERT_EQ(u.create(file("later.mdb")), 0);
  ASSERT_EQ(u.commit_new(), 0);
  EXPECT_TRUE(fs::is_symlink(file("later.mdb")));
  EXPECT_TRUE(fs::is_regular_file(dir_ + "/real/later.mdb"));
}

TEST_F(AtomicFile, StaleTemporariesOfEndedProcessesAreRemoved) {
  const std::string dead = std::to_string(dead_pid());
  const std::string access(std::string("\0\1\0\0Standard Jet DB\0", 20) + "and the rest");
  const std::string mark = std::string(sys_working_file_mark) + "sorted entries";
  put(file(".db.mdb." + dead + ".abcdef.tmp"), access);
  put(file("..db.mdb." + dead + ".abcdef.tmp." + dead + ".ghijkl.tmp"), mark);
  put(file(".other.mdb." + dead + ".abcdef.tmp"), access);
  put(file(".db.mdb.1.abcdef.tmp"), access);  // init lives
  // The right name, an ended process, but not the program's content: somebody else's file, or nothing to tell.
  put(file(".db.mdb." + dead + ".qwerty.tmp"), "a user's notes");
  put(file(".db.mdb." + dead + ".empty0.tmp"), "");
  put(file("db.mdb"), "the file");
  sys_temporary_file live;  // this process's own, in use
  ASSERT_EQ(live.create(file("db.mdb")), 0);
  const std::string own = fs::path(live.path()).filename().string();
  // A file still locked by its writer stays even when its name carries an ended process's id.
  const std::string locked = file(".db.mdb." + dead + ".zzzzzz.tmp");
  put(locked, access);
  int fd = ::open(locked.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  pid_t holder = ::fork();
  if (holder == 0) {
    ::pause();
    ::_exit(0);
  }
  ::close(fd);  // the child holds the lock now

  EXPECT_EQ(sys_remove_stale_temporaries(file("db.mdb")), 2);
  std::vector<std::string> want = {".db.mdb.1.abcdef.tmp",         ".db.mdb." + dead + ".zzzzzz.tmp",
                                   ".db.mdb." + dead + ".qwerty.tmp", ".db.mdb." + dead + ".empty0.tmp",
                                   ".other.mdb." + dead + ".abcdef.tmp", own, "db.mdb"};
  std::sort(want.begin(), want.end());
  EXPECT_EQ(names(), want);
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
}

TEST_F(AtomicFile, WholeFileReplacedWithItsMode) {
  ::umask(022);
  const std::string path = file("settings");
  ASSERT_EQ(sys_write_file_replacing(path, "one\n", 0600), 0);
  ASSERT_EQ(sys_write_file_replacing(path, "two\n", 0600), 0);
  EXPECT_EQ(get(path), "two\n");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(names(), std::vector<std::string>{"settings"});
  EXPECT_EQ(sys_write_file_replacing(file("no/such/folder/settings"), "x", 0600), ENOENT);
}
