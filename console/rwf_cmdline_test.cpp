#include "console/rwf_cmdline.h"

#include <gtest/gtest.h>

#include "tests/support/tk_test_support.h"
#include "TK/tk_utils.h"
#include "tests/support/console_test_support.h"
#include "platform/system/files.h"

namespace {

class CmdLine : public ::testing::Test {
 protected:
  std::wstring in_dir(const std::string& name) { return tk_utf8_to_unicode(dir.file(name)); }
  std::string dest_opt(const std::string& name) { return "--dest=" + dir.file(name); }

  tk_scratch_dir dir;
};

TEST_F(CmdLine, ReadyWithSourceDestinationAndFormat) {
  cmdline_fixture f;
  parse_result r = f.parse({"--src=shop", dest_opt("out"), "--acc_ver=1", "--mode=3", "--skip_idx", "--tab_def",
                            "--mysqlh= db.local ", "--mysqlu=me", "--mysqlp=secret", "--port=3399"});
  EXPECT_TRUE(r.ready);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(f.conv.src, L"shop");
  EXPECT_EQ(f.conv.dest, in_dir("out.mdb"));
  EXPECT_EQ(f.conv.destination_format, 1);
  EXPECT_EQ(f.conv.mode, 3);
  EXPECT_TRUE(f.conv.skip_idx);
  EXPECT_TRUE(f.conv.tab_def);
  EXPECT_EQ(f.conv.host, "db.local");
  EXPECT_EQ(f.conv.user, "me");
  EXPECT_EQ(f.conv.password, "secret");
  EXPECT_EQ(f.conv.port, "3399");
}


TEST_F(CmdLine, HelpAndUnrecognisedArgumentsAfterOtherOptionsActed) {
  parse_result r;
  {
    cmdline_fixture f;
    r = f.parse({"--src=s", "--help", "--src=t"});
    EXPECT_FALSE(r.returned);
    EXPECT_EQ(r.err.rfind("RWFAGENT v6.1\nUsage: RWFAGENT.EXE OPTIONS\n", 0), 0u);
    EXPECT_EQ(f.conv.src, L"s");
  }
  {
  cmdline_fixture g;
  r = g.parse({"--src", "--src=t", "--silentX", "--bogus"});
  EXPECT_TRUE(r.returned);
  EXPECT_FALSE(r.ready);
  EXPECT_EQ(g.conv.src, L"t");
  EXPECT_TRUE(g.conv.is_silent());
  }

  // An empty destination is a usage error, not a file named ".mdb".
  cmdline_fixture h;
  r = h.parse({"--src=s", "--dest=", "--acc_ver=1"});
  EXPECT_TRUE(r.returned);
  EXPECT_FALSE(r.ready);
  EXPECT_EQ(h.conv.dest, L"");
}

TEST_F(CmdLine, SilentSuppressesEveryMessage) {
  {
    cmdline_fixture f;
    parse_result r = f.parse({"--silent", "--acc_ver=9"});
    EXPECT_EQ(r.exit_code, 255);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
  }
  cmdline_fixture g;
  parse_result r = g.parse({"--silent", "--help"});
  EXPECT_EQ(r.exit_code, 255);
  EXPECT_EQ(r.err, "");
}

TEST_F(CmdLine, DestinationExtension) {
  struct {
    std::vector<std::string> args;
    const char* file;
  } cases[] = {
      {{dest_opt("a.txt"), "--acc_ver=1"}, "a.mdb"},
      {{dest_opt("a.b.c"), "--acc_ver=1"}, "a.b.mdb"},
      {{dest_opt(".hidden"), "--acc_ver=1"}, ".hidden.mdb"},
      {{dest_opt("Old.ACCDB"), "--acc_ver=1"}, "Old.ACCDB"},
      {{dest_opt("x.mdb"), "--acc_ver=1"}, "x.mdb"},
  };
  for (auto& c : cases) {
    cmdline_fixture g;
    c.args.push_back("--src=s");
    parse_result r = g.parse(c.args);
    EXPECT_TRUE(r.ready) << r.err;
    EXPECT_EQ(g.conv.dest, in_dir(c.file));
  }

  // The format given after the destination still picks the extension; an existing .accdb file keeps its own
  // format in merge mode, so the format is not refused there.
  tk_write_file(dir.file("keep.accdb"), "x");
  {
    cmdline_fixture g;
    parse_result r = g.parse({"--src=s", dest_opt("keep"), "--mode=3", "--acc_ver=2"});
    EXPECT_TRUE(r.ready) << r.err;
    EXPECT_EQ(g.conv.dest, in_dir("keep.accdb"));
  }

  cmdline_fixture h;
  EXPECT_THROW(h.parse({"--src=s", "--dest=" + dir.path() + "/", "--acc_ver=1"}), tk_exception);
}

TEST_F(CmdLine, EveryFormatIsAccepted) {
  for (int format : {0, 1, 2}) {
    cmdline_fixture f;
    parse_result r = f.parse({"--src=s", dest_opt("a"), "--acc_ver=" + std::to_string(format)});
    EXPECT_TRUE(r.ready) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(f.conv.destination_format, format);
    EXPECT_EQ(f.conv.dest, in_dir(format == 2 ? "a.accdb" : "a.mdb"));
  }
}

TEST_F(CmdLine, ProfileAgainstOptions) {
  tk_write_file(dir.file("p.rwf"),
                "[Generic settings]\r\nsrc=shop\r\ndest=" + dir.file("from_profile.mdb") +
                    "\r\nmode=2\r\n[MySQL settings]\r\nhost=profhost\r\nuser=profuser\r\nport=3307\r\n"
                    "[MS Access settings]\r\ndestination format=1\r\n[Selected Tables]\r\nt1\r\n"
                    "q=SELECT 1\r\n");
  {
  cmdline_fixture f;
  parse_result r = f.parse({"--mysqlh=cmdhost", "--mysqlp=before", "--mode=1", "--profile=" + dir.file("p.rwf"),
                            "--mysqlu=cmduser", dest_opt("later")});
  ASSERT_TRUE(r.ready) << r.err;
  EXPECT_EQ(f.conv.src, L"shop");
  EXPECT_EQ(f.conv.dest, in_dir("later.mdb"));
  EXPECT_EQ(f.conv.mode, 2);
  // The connection options act where they stand: before the profile it replaces them, after it they win.
  EXPECT_EQ(f.conv.host, "profhost");
  EXPECT_EQ(f.conv.user, "cmduser");
  EXPECT_EQ(f.conv.port, "3307");
  EXPECT_EQ(f.conv.password, "");
  ASSERT_EQ(f.conv.selected_items.size(), 2u);
  EXPECT_EQ(f.conv.selected_items[1], (named_text{L"q", L"SELECT 1"}));
  }

  // A profile that cannot be read ends the program; a missing one raises the reader's error.
  tk_write_file(dir.file("bad.rwf"), "key=before any section\r\n");
  {
    cmdline_fixture g;
    parse_result r = g.parse({"--profile=" + dir.file("bad.rwf")});
  EXPECT_EQ(r.exit_code, 255);
    EXPECT_EQ(r.err, "Cannot read profile '" + dir.file("bad.rwf") + "'\n");
  }
  cmdline_fixture h;
  EXPECT_THROW(h.parse({"--profile=" + dir.file("none.rwf")}), tk_exception);
}

}  // namespace
