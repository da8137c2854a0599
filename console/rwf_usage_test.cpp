#include "console/rwf_usage.h"

#include <gtest/gtest.h>

#include "TK/tk_utils.h"

namespace {

TEST(UsageText, LayoutIsExact) {
  std::string text = rwf_usage_text();
  std::vector<std::string> lines = tk_split(text, '\n');
  ASSERT_EQ(lines.size(), 33u);
  EXPECT_EQ(lines[0], "RWFAGENT v6.1");
  EXPECT_EQ(lines[1], "Usage: RWFAGENT.EXE OPTIONS");
  EXPECT_EQ(lines[2], "");
  // Every option's description and every continuation starts in column 19, except the one line of the format
  // list that is indented one blank further.
  for (std::size_t i = 3; i < 23; ++i) {
    const std::string& line = lines[i];
    ASSERT_GT(line.size(), 19u) << line;
    std::size_t indent = line[3] == '-' ? line.find(' ', 3) : 0;
    if (line[3] == '-') {
      EXPECT_EQ(line.find_first_not_of(' ', indent), 18u) << line;
    } else if (line == "                   2 - MS Access 2010)") {
      continue;
    } else {
      EXPECT_EQ(line.find_first_not_of(' '), 18u) << line;
    }
  }
  EXPECT_EQ(lines[5], "                   2 - MS Access 2010)");
  EXPECT_EQ(lines[21], "   --tab_file=... file containing the list of tables to convert");
  EXPECT_EQ(lines[23], "");
  EXPECT_EQ(lines[24], "NOTES:");
  EXPECT_EQ(lines[25], "   1) You can omit 'mysqlh' parameter to connect local MySQL server.");
  EXPECT_EQ(lines[32], "      (for example --dest=\"my database.accdb\")");
  EXPECT_NE(text.back(), '\n');
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

}  // namespace
