#include "platform/system/error_text.h"

#include <cerrno>
#include <gtest/gtest.h>

TEST(ErrorText, GivesTheLibraryTextAndKeepsErrno) {
  errno = EINTR;
  EXPECT_EQ(sys_error_text(ENOENT), "No such file or directory");
  EXPECT_EQ(sys_error_text(EACCES), "Permission denied");
  EXPECT_EQ(errno, EINTR);
}
