#include "platform/system/spawn.h"

#include <cerrno>
#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

std::string read_when_ready(const std::string& path, std::size_t want) {
  for (int i = 0; i < 500; ++i) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    if (ss.str().size() >= want) return ss.str();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::string();
}

}  // namespace

TEST(Spawn, PassesArgumentsWithoutAShellAndFeedsInput) {
  const std::string out = "/tmp/tt_spawn_" + std::to_string(::getpid());
  // Shell metacharacters in an argument reach the program untouched.
  const std::string text = "a;b $(x) `y` 'q'\n";
  ASSERT_EQ(sys_spawn_detached({"tee", out}, &text), 0);
  EXPECT_EQ(read_when_ready(out, text.size()), text);
  ::unlink(out.c_str());
}

TEST(Spawn, MissingProgram) {
  EXPECT_EQ(sys_spawn_detached({"tt-no-such-program-xyz"}), ENOENT);
  EXPECT_EQ(sys_spawn_detached({}), EINVAL);
  EXPECT_FALSE(sys_program_available("tt-no-such-program-xyz"));
  EXPECT_TRUE(sys_program_available("sh"));
}
