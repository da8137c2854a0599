#include "platform/system/destination_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "platform/system/atomic_file.h"

namespace fs = std::filesystem;

namespace {

TEST(DestinationLock, OneHolderAtATimeAndAStaleFileIsTakenOver) {
  std::string tmpl = (fs::temp_directory_path() / "tt_lock_XXXXXX").string();
  ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
  const std::string dest = tmpl + "/shop.mdb";
  const std::string lock_file = tmpl + "/.shop.mdb.lock";
  EXPECT_EQ(sys_lock_file_name(dest), lock_file);
  EXPECT_EQ(sys_lock_file_name(tmpl + "/" + std::string(300, 'n')).size(), tmpl.size() + 1 + 255);
  {
    sys_destination_lock first, second;
    ASSERT_EQ(first.acquire(dest), 0);
    EXPECT_EQ(first.path(), lock_file);
    EXPECT_FALSE(fs::exists(dest));
    EXPECT_EQ(second.acquire(dest), EWOULDBLOCK);
    // Through a symbolic link it is the target's lock.
    fs::create_symlink("shop.mdb", tmpl + "/link.mdb");
    EXPECT_EQ(second.acquire(tmpl + "/link.mdb"), EWOULDBLOCK);
    first.release();
    EXPECT_FALSE(fs::exists(lock_file));
    EXPECT_EQ(second.acquire(dest), 0);
  }
  EXPECT_FALSE(fs::exists(lock_file));

  // A process that died holding the lock left its file, which is free.
  pid_t child = fork();
  if (child == 0) {
    sys_destination_lock held;
    _exit(held.acquire(dest) == 0 ? 0 : 1);  // no destructor: the file stays as a killed run leaves it
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(fs::exists(lock_file));
  sys_destination_lock next;
  EXPECT_EQ(next.acquire(dest), 0);
  next.release();
  EXPECT_FALSE(fs::exists(lock_file));
  fs::remove_all(tmpl);
}

}  // namespace
