#include "console/tk_cmdli.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TK/tk_singl.h"

namespace {

const cmd_option table[] = {{0, "--a="}, {1, "--ab"}, {2, "--abc="}, {3, "--flag"}, {0, ""}};

struct seen {
  int id;
  std::string value;
};

std::vector<seen> walk(std::vector<std::string> args, unsigned* unknown = nullptr) {
  args.insert(args.begin(), "prog");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  std::vector<seen> out;
  ansi_cmd_line cmd(static_cast<int>(argv.size()), argv.data(), table);
  for (; cmd.has_more(); cmd.next()) out.push_back({cmd.id(), cmd.value()});
  if (unknown) *unknown = cmd.unknown_count();
  return out;
}

TEST(AnsiCmdLine, FirstMatchingPrefixWinsAndGivesTheRestAsValue) {
  unsigned unknown = 0;
  auto got = walk({"--a=x=y", "--abc=3", "--flagged", "--a=", "--A=1", "-a"}, &unknown);
  ASSERT_EQ(got.size(), 6u);
  EXPECT_EQ(got[0].id, 0);
  EXPECT_EQ(got[0].value, "x=y");
  // "--abc=3" begins with "--ab", which comes first in the table.
  EXPECT_EQ(got[1].id, 1);
  EXPECT_EQ(got[1].value, "c=3");
  EXPECT_EQ(got[2].id, 3);
  EXPECT_EQ(got[2].value, "ged");
  EXPECT_EQ(got[3].id, 0);
  EXPECT_EQ(got[3].value, "");
  // Case-sensitive: "--A=1" and "-a" match nothing.
  EXPECT_EQ(got[4].id, -1);
  EXPECT_EQ(got[4].value, "--A=1");
  EXPECT_EQ(got[5].id, -1);
  EXPECT_EQ(unknown, 2u);
}

TEST(AnsiCmdLine, KeepsTwentyUnknownArgumentsAndCountsAll) {
  std::vector<std::string> args;
  for (int i = 0; i < 25; ++i) args.push_back("x" + std::to_string(i));
  args.insert(args.begin(), "prog");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  ansi_cmd_line cmd(static_cast<int>(argv.size()), argv.data(), table);
  while (cmd.has_more()) cmd.next();
  EXPECT_EQ(cmd.unknown_count(), 25u);
  EXPECT_STREQ(cmd.unknown(19), "x19");
  EXPECT_EQ(cmd.unknown(20), nullptr);
}

TEST(AnsiCmdLine, NoArgumentsAndStepPastTheEnd) {
  char prog[] = "prog";
  char* argv[] = {prog, nullptr};
  ansi_cmd_line cmd(1, argv, table);
  EXPECT_FALSE(cmd.has_more());
  EXPECT_THROW(cmd.next(), tk_mail_assertion);
}

}  // namespace
