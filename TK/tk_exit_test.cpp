#include "TK/tk_exit.h"

#include <cstdio>
#include <gtest/gtest.h>

#include "TK/tk_log.h"
#include "tests/support/tk_test_support.h"

TEST(ExitDeathTest, RunsClosersFlushesAndEndsWith255) {
  tk_scratch_dir dir;
  const std::string out = dir.file("out.txt");
  const std::string closed = dir.file("closed.txt");
  EXPECT_EXIT(
      {
        FILE* f = std::fopen(out.c_str(), "w");
        std::fputs("buffered", f);  // still in the stdio buffer when the process ends
        tk_add_closer([&] { tk_write_file(closed, "first"); });
        const int second = tk_add_closer([&] { tk_write_file(closed, "removed"); });
        tk_remove_closer(second);
        tk_exit_process(-1);
      },
      ::testing::ExitedWithCode(255), "");
  EXPECT_EQ(tk_read_file(out), "buffered");
  EXPECT_EQ(tk_read_file(closed), "first");
}

TEST(ExitDeathTest, AThrowingCloserDoesNotStopTheEnd) {
  EXPECT_EXIT(
      {
        tk_add_closer([] { throw 1; });
        tk_add_closer([] { tk_exit_process(3); });  // nested call: ends at once
        tk_exit_process(-1);
      },
      ::testing::ExitedWithCode(3), "");
}
