// RWFAGENT end to end: what its options mean. Flags never take a value, the port is exactly a number, options
// after a profile override it, a profile with an unknown mode or format is refused, a table list that names no
// table converts nothing, and the password leaves the process's visible command line once it is read.
#include <signal.h>

#include "tests/support/e2e_test_support.h"

namespace {

using namespace tt_e2e;
using RwfagentOptions = rwfagent_fixture;

TEST_F(RwfagentOptions, FlagsWithAValueAndMalformedPortsAreRefusedAndTheFileKept) {
  const std::string file = dir.file("full.mdb");
  ASSERT_EQ(agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1"}).status, 0);
  const std::string before = tk_read_file(file);
  ASSERT_EQ(mdb_export(file, "customers").size(), 6u);

  struct {
    std::string arg, err;
  } cases[] = {
      {"--tab_def=0", "Option --tab_def takes no value: '--tab_def=0'\n"},
      {"--tab_def=false", "Option --tab_def takes no value: '--tab_def=false'\n"},
      {"--skip_idx=0", "Option --skip_idx takes no value: '--skip_idx=0'\n"},
      {"--skip_idx_all=no", "Option --skip_idx takes no value: '--skip_idx_all=no'\n"},
      // Refused before it can act, so the message is still shown.
      {"--silent=1", "Option --silent takes no value: '--silent=1'\n"},
      {"--help=0", "Option --help takes no value: '--help=0'\n"},
      {"--port=3399abc", "Invalid port number: '--port=3399abc'\n"},
      {"--port=3399.5", "Invalid port number: '--port=3399.5'\n"},
      {"--port= 3399", "Invalid port number: '--port= 3399'\n"},
      {"--port=", "Invalid port number: '--port='\n"},
      {"--port=0", "Invalid port number: '--port=0'\n"},
      {"--port=65536", "Invalid port number: '--port=65536'\n"},
      {"--port=-1", "Invalid port number: '--port=-1'\n"},
  };
  for (const auto& c : cases) {
    // The connection options come first, so the bad option is the last word in every case.
    program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=0", c.arg});
    EXPECT_EQ(r.status, 255) << c.arg;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(tk_read_file(file), before) << c.arg;
  }

  // The flags as such still act, also in their longer spellings the option table has always accepted.
  program_result r = agent({"--src=tabletide_demo", "--dest=" + dir.file("defs.mdb"), "--acc_ver=1", "--tab_defs",
                            "--silently"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "");
  EXPECT_TRUE(mdb_export(dir.file("defs.mdb"), "customers").empty());
  expect_sound(dir.file("defs.mdb"));
}

TEST_F(RwfagentOptions, ConnectionOptionsAfterAProfileOverrideIt) {
  const tt_test::mariadb_facts& f = server.facts();
  // A profile saved for another server: "localhost" is the machine's own socket, the port is held here and
  // refuses connections, and the account does not exist.
  loopback_socket refused(false);
  const std::string profile = dir.file("other.rwf");
  tk_write_file(profile, "[Generic settings]\r\nsrc=tabletide_demo\r\nmode=0\r\n[MySQL settings]\r\nhost=localhost\r\n"
                         "user=someone\r\npassword=not-it\r\nport=" +
                             std::to_string(refused.port) +
                             "\r\n[MS Access settings]\r\ndestination format=1\r\n[Selected Tables]\r\ntags\r\n");
  const std::vector<std::string> connection = {"--mysqlh=" + f.host, "--port=" + std::to_string(f.port),
                                               "--mysqlu=" + f.user, "--mysqlp=" + f.password};
  const std::vector<std::string> env = {"HOME=" + home};

  // After the profile: each of the four is needed to reach the server, so each one overrode the profile.
  std::vector<std::string> argv = {RWFAGENT_PATH, "--profile=" + profile};
  argv.insert(argv.end(), connection.begin(), connection.end());
  argv.push_back("--dest=" + dir.file("after"));
  program_result r = run_program(argv, env);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "Converting database tabletide_demo (1 tables)\nConverting table tags (4 records)\n");
  EXPECT_EQ(mdb_tables(dir.file("after.mdb")), std::vector<std::string>{"tags"});
  expect_sound(dir.file("after.mdb"));

  // Before the profile: the profile's connection replaces them and the run cannot connect.
  argv = {RWFAGENT_PATH};
  argv.insert(argv.end(), connection.begin(), connection.end());
  argv.push_back("--profile=" + profile);
  argv.push_back("--dest=" + dir.file("before"));
  r = run_program(argv, env);
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out.rfind("Error:\n", 0), 0u) << r.out;
  EXPECT_FALSE(tk_file_exists(dir.file("before.mdb")));
}

TEST_F(RwfagentOptions, AProfileWithAModeOutsideZeroToThreeIsRefused) {
  const std::string file = dir.file("kept.mdb");
  ASSERT_EQ(agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1"}).status, 0);
  const std::string before = tk_read_file(file);
  for (const std::string mode : {"4", "12", "x"}) {
    tk_write_file(dir.file("mode.rwf"), "[Generic settings]\r\nsrc=tabletide_demo\r\nmode=" + mode +
                                            "\r\n[MS Access settings]\r\ndestination format=1\r\n");
    program_result r = agent({"--profile=" + dir.file("mode.rwf"), "--dest=" + file});
    EXPECT_EQ(r.status, 255) << mode;
    EXPECT_EQ(r.out, "Error:\nInvalid merge/overwrite mode in the profile: '" + mode + "'\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(tk_read_file(file), before);
  }
}

TEST_F(RwfagentOptions, AProfileWithAFormatOutsideZeroToTwoIsRefused) {
  // Refused as --acc_ver=9 is: neither the existing file nor a new one is written.
  const std::string file = dir.file("kept.mdb");
  ASSERT_EQ(agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1"}).status, 0);
  const std::string before = tk_read_file(file);
  for (const std::string format : {"9", "3", "-1", "abc", "1x"}) {
    tk_write_file(dir.file("format.rwf"), "[Generic settings]\r\nsrc=tabletide_demo\r\nmode=0\r\n"
                                          "[MS Access settings]\r\ndestination format=" + format + "\r\n");
    for (const std::string& dest : {file, dir.file("new.mdb")}) {
      program_result r = agent({"--profile=" + dir.file("format.rwf"), "--dest=" + dest});
      EXPECT_EQ(r.status, 255) << format;
      EXPECT_EQ(r.out, "Error:\nInvalid format specification in the profile: '" + format + "'\n");
      EXPECT_EQ(r.err, "");
    }
    EXPECT_EQ(tk_read_file(file), before) << format;
    EXPECT_FALSE(tk_file_exists(dir.file("new.mdb"))) << format;
  }
  // The formats there are still load: 0 writes an Access 95/97 file.
  const tt_test::mariadb_facts& f = server.facts();
  tk_write_file(dir.file("format.rwf"), "[Generic settings]\r\nsrc=tabletide_demo\r\n[MySQL settings]\r\nhost=" +
                                            f.host + "\r\nuser=" + f.user + "\r\npassword=" + f.password +
                                            "\r\nport=" + std::to_string(f.port) +
                                            "\r\n[MS Access settings]\r\ndestination format=0\r\n"
                                            "[Selected Tables]\r\ntags\r\n");
  program_result r = agent({"--profile=" + dir.file("format.rwf"), "--dest=" + dir.file("old97")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(mdb_ver(dir.file("old97.mdb")), "JET3\n");
  expect_sound(dir.file("old97.mdb"));
}

TEST_F(RwfagentOptions, ATableListThatNamesNoTableConvertsNothing) {
  // An empty list, blank lines, a byte-order mark alone: as a list whose tables do not exist, never every table.
  const std::string file = dir.file("kept.mdb");
  ASSERT_EQ(agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1"}).status, 0);
  const std::string before = tk_read_file(file);
  const std::string nothing =
      "Converting database tabletide_demo (0 tables)\nError:\nNothing could be converted: the destination file was "
      "left as it was.\n";
  for (const std::string list : {"", "\n\r\n\n", "\xEF\xBB\xBF", "\xEF\xBB\xBF\r\n\r\n"}) {
    tk_write_file(dir.file("list.txt"), list);
    for (const std::string mode : {"0", "1", "2", "3"}) {
      for (const std::string& dest : {file, dir.file("new.mdb")}) {
        program_result r = agent({"--src=tabletide_demo", "--dest=" + dest, "--acc_ver=1", "--mode=" + mode,
                                  "--tab_file=" + dir.file("list.txt")});
        EXPECT_EQ(r.status, 255) << mode << " " << list.size();
        EXPECT_EQ(r.out, nothing);
        EXPECT_EQ(r.err, "");
      }
      EXPECT_EQ(tk_read_file(file), before) << mode << " " << list.size();
      EXPECT_FALSE(tk_file_exists(dir.file("new.mdb")));
    }
  }
  std::vector<std::string> left = split(run_program({"/usr/bin/ls", "-A", dir.path()}).out, '\n');
  left.erase(std::remove(left.begin(), left.end(), std::string()), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"home", "kept.mdb", "list.txt"}));
}

TEST_F(RwfagentOptions, AnUnreachableServerIsExplainedWithAdvice) {
  // A port nobody listens on (refused), and a server that hangs up before its greeting.
  loopback_socket refused(false);
  hanging_up_server hangs_up;
  const std::string advice =
      "Error:\nCannot connect to the MySQL server. Check to verify that MySQL server is launched and the correct "
      "host/port values were given.\n";
  for (unsigned port : {refused.port, hangs_up.port()}) {
    program_result r = agent({"--mysqlh=127.0.0.1", "--port=" + std::to_string(port), "--mysqlu=someone",
                              "--src=tabletide_demo", "--dest=" + dir.file("never"), "--acc_ver=1"},
                             false);
    EXPECT_EQ(r.status, 255) << port;
    EXPECT_EQ(r.out, advice) << port;
    EXPECT_EQ(r.err, "");
  }
  EXPECT_NE(access(dir.file("never.mdb").c_str(), F_OK), 0);
}

TEST_F(RwfagentOptions, PasswordLeavesTheProcessListOnceRead) {
  // A server that takes the connection and never answers holds the program in its connect step, after the
  // options have been read.
  loopback_socket silent(true);
  const std::string secret = "Pa55-in-the-argv";
  std::vector<std::string> args = {RWFAGENT_PATH,         "--mysqlh=127.0.0.1", "--port=" + std::to_string(silent.port),
                                   "--mysqlu=someone",    "--mysqlp=" + secret, "--src=tabletide_demo",
                                   "--dest=" + dir.file("never"), "--acc_ver=1"};
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  ASSERT_GT(pid, 0);
  pollfd waiting = {silent.fd, POLLIN, 0};
  const bool connected = poll(&waiting, 1, 120000) == 1;
  int client = connected ? accept(silent.fd, nullptr, nullptr) : -1;
  std::string cmdline = tk_read_file("/proc/" + std::to_string(pid) + "/cmdline");
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  if (client >= 0) close(client);
  ASSERT_TRUE(connected) << "the program never connected";

  EXPECT_EQ(cmdline.find(secret), std::string::npos);
  EXPECT_EQ(cmdline.find(secret.substr(1)), std::string::npos);
  // The password's place reads "x"; every other argument is as given.
  std::vector<std::string> seen = split(cmdline, '\0');
  seen.erase(std::remove(seen.begin(), seen.end(), std::string()), seen.end());
  std::vector<std::string> expected = args;
  expected[4] = "--mysqlp=x";
  EXPECT_EQ(seen, expected);
}

}  // namespace
