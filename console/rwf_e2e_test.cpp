// RWFAGENT end to end: the program itself, run as a separate process against a throwaway MariaDB server holding
// the demo database, with its exact standard output, standard error and exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "TK/tk_test_util.h"
#include "console/rwf_usage.h"
#include "tests/support/mariadb_env.h"

namespace {

struct program_result {
  int status = -1;
  std::string out, err;
};

// Runs argv (argv[0] a path) with the extra environment entries, as the user given by uid when it is not -1.
program_result run_program(std::vector<std::string> argv, const std::vector<std::string>& env = {}, int uid = -1) {
  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    close(out_pipe[0]);
    close(err_pipe[0]);
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    if (uid >= 0 && (setgid(uid) != 0 || setuid(uid) != 0)) _exit(126);
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  program_result r;
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  int open_count = 2;
  char buffer[4096];
  while (open_count > 0 && poll(fds, 2, -1) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? r.out : r.err).append(buffer, static_cast<std::size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

class Rwfagent : public ::testing::Test {
 protected:
  Rwfagent() : server(tt_test::shared_mariadb({std::string(TT_SOURCE_DIR) + "/demo/demo.sql"})) {
    home = dir.file("home");
    mkdir(home.c_str(), 0755);
  }

  // The program with the server's connection options, then args.
  program_result agent(std::vector<std::string> args, bool connection = true, int uid = -1) {
    const tt_test::mariadb_facts& f = server.facts();
    std::vector<std::string> argv = {RWFAGENT_PATH};
    if (connection) {
      argv.push_back("--mysqlh=" + f.host);
      argv.push_back("--port=" + std::to_string(f.port));
      argv.push_back("--mysqlu=" + f.user);
      argv.push_back("--mysqlp=" + f.password);
    }
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv, {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config"}, uid);
  }

  tt_test::mariadb_server& server;
  tk_scratch_dir dir;
  std::string home;
};

TEST_F(Rwfagent, OptionErrors) {
  const std::string usage = rwf_usage_text() + "\n";
  struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{}, usage},
      {{"--src=x", "--help"}, usage},
      {{"--foo", "--src=x"}, usage},
      {{"--src=x", "--dest=", "--acc_ver=1"}, usage},
      {{"--acc_ver=3"}, "Invalid format specification\n"},
      {{"--acc_ver=01"}, "Invalid format specification\n"},
      {{"--acc_ver="}, "Invalid format specification\n"},
      {{"--mode=4"}, "Invalid merge/overwrite mode\n"},
      {{"--dest=x", "--acc_ver=1"}, "You should enter source MySQL database name\n"},
      {{"--src=x", "--acc_ver=1"}, "You should enter destination MS Access database name\n"},
      {{"--src=x", "--dest=x"}, "You should specify MS Access format version (use '--acc_ver' option)\n"},
      {{"--tab_file=/no/such/list"}, "Table names file does not exist.\nPlease verify the correct path/name was given.\n"},
      {{"--src=x", "--dest=x", "--acc_ver=2"},
       "This version cannot write MS Access 2007 and later (.accdb) databases yet.\n"
       "Use --acc_ver=1 to write an MS Access 2000 database.\n"},
      {{"--silent", "--acc_ver=9"}, ""},
  };
  for (auto& c : cases) {
    std::vector<std::string> argv = {RWFAGENT_PATH};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    program_result r = run_program(argv, {"HOME=" + home});
    EXPECT_EQ(r.status, 255) << c.args.size();
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
  // Errors of settings that only show when they are used go to standard output as error blocks.
  program_result r = agent({"--profile=" + dir.file("none.rwf")});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "Error:\nProfile does not exist. Please verify the correct path/name was given.\n");
  r = agent({"--port=abc", "--src=x", "--dest=" + dir.file("a"), "--acc_ver=1"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "Error:\nInvalid port number\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(Rwfagent, ConnectionAndSourceErrorsKeepTheOldFile) {
  tk_write_file(dir.file("old.mdb"), "the user's old file");
  const tt_test::mariadb_facts& f = server.facts();
  program_result r = run_program({RWFAGENT_PATH, "--mysqlh=" + f.host, "--port=" + std::to_string(f.port),
                                  "--mysqlu=" + f.user, "--mysqlp=wrong", "--src=tabletide_demo",
                                  "--dest=" + dir.file("old.mdb"), "--acc_ver=1"},
                                 {"HOME=" + home});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out,
            "Error:\nAccess denied. Verify the user name and password are correct, and you have the necessary "
            "privileges to connect to the target MySQL server.\n");
  EXPECT_EQ(r.err, "");

  r = agent({"--src=no_such_db", "--dest=" + dir.file("old.mdb"), "--acc_ver=1"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "Error:\nUnknown database 'no_such_db'\n");
  EXPECT_EQ(tk_read_file(dir.file("old.mdb")), "the user's old file");
  // Nothing but the old file is left in the folder, and no settings file in the home folder.
  EXPECT_FALSE(tk_file_exists(home + "/.config"));
}

TEST_F(Rwfagent, DestinationChecks) {
  mkdir(dir.file("folder").c_str(), 0755);
  tk_write_file(dir.file("ro.mdb"), "x");
  chmod(dir.file("ro.mdb").c_str(), 0444);
  struct {
    std::string dest;
    std::string out;
  } cases[] = {
      {dir.file("none/a.mdb"), "Error:\nDestination path does not exist. Please verify the correct path was given.\n"},
      {dir.file("ro.mdb"), "Error:\nDestination name specifies an existing read-only file.\n"},
      {dir.file("folder"), "Error:\nDestination name should specify a file, not folder.\n"},
  };
  for (auto& c : cases) {
    program_result r = agent({"--src=tabletide_demo", "--dest=" + c.dest, "--acc_ver=1"});
    EXPECT_EQ(r.status, 255) << c.dest;
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, "");
  }
  EXPECT_EQ(tk_read_file(dir.file("ro.mdb")), "x");

  // A folder the user may not write into: as root, run the program as nobody.
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
  chmod(dir.path().c_str(), 0755);
  chmod(home.c_str(), 0777);
  program_result r = agent({"--src=tabletide_demo", "--dest=" + dir.file("a.mdb"), "--acc_ver=1"}, true, 65534);
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out,
            "Error:\nCannot create or write into the destination file. Run the program as Administrator or change "
            "folder.\n");
  EXPECT_FALSE(tk_file_exists(dir.file("a.mdb")));
}

}  // namespace
