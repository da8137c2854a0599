// RWFAGENT end to end: how a run ends and what it does to the destination file. A run that does not reach its
// end (a lost server, a signal, a full disk, a damaged file, nothing converted, another run on the same file)
// exits 255 and leaves the destination byte for byte as it was, with no file of its own left beside it; a run that
// completes replaces the file keeping its permissions and owner, follows a symbolic link to its target and never
// overwrites a file that appeared meanwhile.
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/support/e2e_test_support.h"

namespace {

using namespace tt_e2e;
namespace fs = std::filesystem;

// The slow table (150,000 rows) that keeps a run busy long enough to act on it while it copies rows.
const std::string slow_seed = std::string(TT_SOURCE_DIR) + "/tests/fixtures/slow_table.sql";
// A run converts it as a query whose rows stop for a second at the 2,000th (the server sleeps there), so that the
// run is still copying rows when a test acts on it, however fast the build converts them. The query is stored as
// slow00000: the name slow is the source table's. Its count sleeps the
// same second before the run says "Converting table slow (...)". A statement that gets to the last row counts
// itself in tt_slow.reached.
const std::string slow_item =
    "slow=SELECT id, label, amount FROM slow WHERE (id <> 2000 OR SLEEP(1) = 0) AND (id <> 150000 OR reached_end() = "
    "0)\r\n";

std::string sha256(const std::string& file) {
  program_result r = run_program({"/usr/bin/sha256sum", file});
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out.substr(0, 64);
}

std::vector<std::string> folder_names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class RwfagentFiles : public rwfagent_fixture {
 protected:
  RwfagentFiles() { tt_test::shared_mariadb({slow_seed}); }

  std::vector<std::string> connection(const tt_test::mariadb_facts& f) const {
    return {"--mysqlh=" + f.host, "--port=" + std::to_string(f.port), "--mysqlu=" + f.user, "--mysqlp=" + f.password};
  }

  // RWFAGENT started in the background against the shared server.
  std::unique_ptr<program_process> start(std::vector<std::string> args,
                                            const tt_test::mariadb_facts* facts = nullptr) {
    std::vector<std::string> argv = {RWFAGENT_PATH};
    for (const std::string& a : connection(facts ? *facts : server.facts())) argv.push_back(a);
    argv.insert(argv.end(), args.begin(), args.end());
    return std::make_unique<program_process>(argv, std::vector<std::string>{"HOME=" + home});
  }

  // A destination made by a complete run: the demo's tags table.
  std::string made_file(const std::string& path) {
    tk_write_file(dir.file("tags.txt"), "tags\n");
    program_result r = agent({"--src=tabletide_demo", "--dest=" + path, "--acc_ver=1", "--mode=0",
                              "--tab_file=" + dir.file("tags.txt")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    return sha256(path);
  }

  // The profile that converts the slow table, then the other items given, over the server `f` (a profile sets
  // the connection); the options after it on the command line set the rest.
  std::string slow_list(const std::string& more = "", const tt_test::mariadb_facts* facts = nullptr) {
    return profile(slow_item + more, facts);
  }
  // The profile that converts the items given (lines of name=SELECT or table names).
  std::string profile(const std::string& items, const tt_test::mariadb_facts* facts = nullptr) {
    return items_profile(dir.file("slow.txt"), items, facts);
  }
};

// Waits until the run copies rows of the slow table.
void wait_for_rows(program_process& run) {
  ASSERT_TRUE(run.wait_for("Converting table slow (")) << run.finish().out;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

TEST_F(RwfagentFiles, LostServerEndsTheRunAndKeepsTheDestination) {
  tt_test::mariadb_options options;
  options.seed_files = {slow_seed};
  options.template_root = std::string(TT_BINARY_DIR) + "/mariadb-templates";
  for (const std::string mode : {"0", "3"}) {
    SCOPED_TRACE("mode " + mode);
    tt_test::mariadb_server own = tt_test::mariadb_server::start(options);
    const std::string file = dir.file("lost" + mode + ".mdb");
    const std::string before = made_file(file);
    // The second item never starts: without the server nothing more can be read.
    auto run = start({"--src=tt_slow", "--dest=" + file, "--acc_ver=1", "--mode=" + mode,
                      slow_list("tags\r\n", &own.facts())},
                     &own.facts());
    wait_for_rows(*run);
    own.stop();  // the server dies while the rows stream
    program_result r = run->finish();
    EXPECT_EQ(r.status, 255) << r.out << r.err;
    // The run's own error on standard error, not an internal error of the program's.
    EXPECT_EQ(r.err.rfind("Reading table slow failed after ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(" rows had arrived: Lost connection"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("Internal error"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Converting table tags"), std::string::npos) << r.out;
    EXPECT_EQ(r.err.find("tags"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("too big"), std::string::npos) << r.out;
    EXPECT_EQ(sha256(file), before);
  }
  EXPECT_EQ(folder_names(dir.path()),
            (std::vector<std::string>{"home", "lost0.mdb", "lost3.mdb", "slow.txt", "tags.txt"}));
}

// A stopped run ends without reading the rest of the rows: the server never gets to the last row for it (its
// count, before the rows, does). Reading them all first would hold a stop for as long as the whole table takes.
TEST_F(RwfagentFiles, SignalsStopTheRunAndKilledRunsAreCleanedUp) {
  const std::string file = dir.file("sig.mdb");
  std::string before = made_file(file);
  for (auto [signal, mode] : {std::pair{SIGINT, "0"}, std::pair{SIGTERM, "1"}}) {
    SCOPED_TRACE(strsignal(signal));
    server.exec("DELETE FROM tt_slow.reached");
    auto run = start({"--src=tt_slow", "--dest=" + file, "--acc_ver=1", "--mode=" + std::string(mode), slow_list()});
    wait_for_rows(*run);
    kill(run->pid(), signal);
    program_result r = run->finish();
    EXPECT_EQ(r.status, 255) << r.out << r.err;
    EXPECT_EQ(r.err, "The conversion was stopped; the destination file was left as it was.\n");
    EXPECT_EQ(*server.query("SELECT COUNT(*) FROM tt_slow.reached")[0][0], "1");
    EXPECT_EQ(sha256(file), before);
    EXPECT_EQ(folder_names(dir.path()), (std::vector<std::string>{"home", "sig.mdb", "slow.txt", "tags.txt"}));
  }

  // A run killed outright leaves its temporary files; the next run on the destination removes them.
  for (const std::string mode : {"0", "1"}) {
    auto run = start({"--src=tt_slow", "--dest=" + file, "--acc_ver=1", "--mode=" + mode, slow_list()});
    wait_for_rows(*run);
    kill(run->pid(), SIGKILL);
    EXPECT_EQ(run->finish().status, 128 + SIGKILL);
  }
  EXPECT_GT(folder_names(dir.path()).size(), 4u);
  EXPECT_EQ(sha256(file), before);
  program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=1",
                            "--tab_file=" + dir.file("tags.txt")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(folder_names(dir.path()), (std::vector<std::string>{"home", "sig.mdb", "slow.txt", "tags.txt"}));
  expect_sound(file);
}

// A table is whole or the run fails: a server error once a table's rows stream ends the run as a lost connection
// does, naming the table and counting every row that had arrived, those of a block cut short included; the
// destination stays as it was and the next item never starts. The error is the run's, not the program's: on
// standard error, silenced by --silent, and in the trace.
TEST_F(RwfagentFiles, AServerErrorInATablesRowsEndsTheRunAndKeepsTheDestination) {
  const std::string file = dir.file("broken.mdb");
  const std::string before = made_file(file);
  // A SELECT that fails at its 123,457th row, after the 123,456 before it were sent (no block size divides that).
  const std::string failing =
      "broken=SELECT id, label, (SELECT 1 UNION SELECT 2 FROM DUAL WHERE slow.id = 123457) AS f FROM slow\r\nslow\r\n";
  const std::string error =
      "Reading table broken failed after 123456 rows had arrived: Subquery returns more than 1 row";
  for (const std::string mode : {"0", "1"}) {
    SCOPED_TRACE("mode " + mode);
    const bool silent = mode == "1";
    std::vector<std::string> args = {"--src=tt_slow", "--dest=" + file, "--acc_ver=1", "--mode=" + mode,
                                     profile(failing), "--logfile=" + dir.file("broken.log")};
    if (silent) args.push_back("--silent");
    program_result r = start(args)->finish();
    EXPECT_EQ(r.status, 255) << r.out << r.err;
    EXPECT_EQ(r.out, silent ? "" : "Converting database tt_slow (2 tables)\nConverting table broken (150000 records)\n");
    EXPECT_EQ(r.err, silent ? "" : error + "\n");
    const std::string trace = tk_read_file(dir.file("broken.log"));
    EXPECT_NE(trace.find("\nERROR:\n" + error), std::string::npos) << trace;
    EXPECT_EQ(trace.find("Internal error"), std::string::npos) << trace;
    EXPECT_EQ(sha256(file), before);
  }
  // KILL QUERY while the server holds the stream after 1,999 rows (the statement waits for a lock the test holds).
  server_lock lock(server, "tt_kill_stall");
  auto run = start({"--src=tt_slow", "--dest=" + file, "--acc_ver=1", "--mode=3", "--silent",
                    profile("held=SELECT id, label FROM slow WHERE id <> 2000 OR GET_LOCK('tt_kill_stall', 3600) = 1"
                            "\r\nslow\r\n")});
  const std::string waiting = lock.wait_for_waiter("SELECT id, label FROM slow WHERE id <> 2000");
  ASSERT_FALSE(waiting.empty());
  server.exec("KILL QUERY " + waiting);
  program_result r = run->finish();
  EXPECT_EQ(r.status, 255) << r.out << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(sha256(file), before);
  EXPECT_EQ(folder_names(dir.path()),
            (std::vector<std::string>{"broken.log", "broken.mdb", "home", "slow.txt", "tags.txt"}));
}

// A stop ends the run while the server sends nothing: the thread that sees it gives the source's connection up. The
// run's statement waits for a lock the test holds; that the lock is still held when the program has exited shows
// the program did not wait for the server.
TEST_F(RwfagentFiles, AStopEndsTheRunWhileTheServerSendsNothing) {
  const std::string file = dir.file("stalled.mdb");
  const std::string before = made_file(file);
  struct stall {
    int signal;
    std::string mode;
    bool silent;  // no progress line, so no row count either
    std::string rows_from;  // the rows the statement waits at, as the text of the statement
  };
  const stall stalls[] = {
      // The row count's own statement, which waits at the first row.
      {SIGINT, "1", false, "SELECT COUNT(*) FROM (SELECT id, label FROM slow WHERE id <> 1 "},
      // The statement of the rows, before its first row.
      {SIGTERM, "0", true, "SELECT id, label FROM slow WHERE id <> 1 "},
      // The statement of the rows, after its first 1,999 rows.
      {SIGHUP, "1", true, "SELECT id, label FROM slow WHERE id <> 2000 "},
  };
  for (const stall& s : stalls) {
    SCOPED_TRACE(strsignal(s.signal));
    const std::string name = "tt_stall_" + std::to_string(s.signal);
    const std::string select = s.rows_from.substr(s.rows_from.find("SELECT id")) + "OR GET_LOCK('" + name + "', 3600) = 1";
    server_lock lock(server, name);
    std::vector<std::string> args = {"--src=tt_slow", "--dest=" + file, "--acc_ver=1", "--mode=" + s.mode,
                                     profile("stalled=" + select + "\r\n")};
    if (s.silent) args.push_back("--silent");
    auto run = start(args);
    ASSERT_FALSE(lock.wait_for_waiter(s.rows_from).empty());
    kill(run->pid(), s.signal);
    program_result r = run->finish();
    EXPECT_TRUE(lock.held());
    EXPECT_EQ(r.status, 255) << r.out << r.err;
    EXPECT_EQ(r.out, s.silent ? "" : "Converting database tt_slow (1 tables)\n");
    EXPECT_EQ(r.err, s.silent ? "" : "The conversion was stopped; the destination file was left as it was.\n");
    EXPECT_EQ(sha256(file), before);
    EXPECT_EQ(folder_names(dir.path()), (std::vector<std::string>{"home", "slow.txt", "stalled.mdb", "tags.txt"}));
  }
}

// A stop while the program connects ends the attempt at once. The server here takes the connection and never
// answers, which would hold the program for its whole connect time-out (10 seconds); the test gives it 5.
TEST_F(RwfagentFiles, AStopWhileConnectingEndsTheRunAtOnce) {
  const std::string file = dir.file("connect.mdb");
  const std::string before = made_file(file);
  for (auto [signal, dest] : {std::pair{SIGINT, dir.file("fresh.mdb")}, std::pair{SIGTERM, file}}) {
    SCOPED_TRACE(strsignal(signal));
    loopback_socket silent(true);
    tt_test::mariadb_facts never_answers = server.facts();
    never_answers.host = "127.0.0.1";
    never_answers.port = silent.port;
    auto run = start({"--src=tt_slow", "--dest=" + dest, "--acc_ver=1", "--mode=1"}, &never_answers);
    pollfd queued = {silent.fd, POLLIN, 0};
    ASSERT_EQ(poll(&queued, 1, 60000), 1) << "the program never connected";
    kill(run->pid(), signal);
    const std::optional<program_result> r = run->finish_within(std::chrono::seconds(5));
    ASSERT_TRUE(r.has_value()) << "still connecting 5 seconds after the stop";
    EXPECT_EQ(r->status, 255) << r->out << r->err;
    EXPECT_EQ(r->out, "");
    EXPECT_EQ(r->err, "The conversion was stopped; the destination file was left as it was.\n");
  }
  EXPECT_EQ(sha256(file), before);
  EXPECT_EQ(folder_names(dir.path()), (std::vector<std::string>{"connect.mdb", "home", "tags.txt"}));
}

// A stop that comes as the program starts, once it listens for stops but before its MySQL client is made, ends
// the connection attempt that follows at once too. The program is held at that moment by the client library's
// start-up, which loads the plugin the environment names (LIBMYSQL_PLUGINS) from a FIFO that no one writes yet;
// the stop is sent while it waits there, then the FIFO is let go (the plugin fails to load, as it does for a user
// whose plugin folder is slow or broken, and the library goes on).
TEST_F(RwfagentFiles, AStopAsTheProgramStartsEndsTheConnectingThatFollowsAtOnce) {
  const std::string plugins = dir.file("plugins");
  ASSERT_EQ(mkdir(plugins.c_str(), 0755), 0);
  const std::string held = plugins + "/held.so";
  ASSERT_EQ(mkfifo(held.c_str(), 0600), 0);
  loopback_socket silent(true);
  const tt_test::mariadb_facts& f = server.facts();
  program_process run({RWFAGENT_PATH, "--mysqlh=127.0.0.1", "--port=" + std::to_string(silent.port),
                       "--mysqlu=" + f.user, "--mysqlp=" + f.password, "--src=tt_slow",
                       "--dest=" + dir.file("fresh.mdb"), "--acc_ver=1"},
                      {"HOME=" + home, "LIBMYSQL_PLUGINS=held", "MARIADB_PLUGIN_DIR=" + plugins});
  // The program takes SIGINT from the moment its handler is in place (the kernel shows it caught).
  const auto catches_sigint = [&] {
    std::ifstream in("/proc/" + std::to_string(run.pid()) + "/status");
    const std::string status((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t at = status.find("\nSigCgt:\t");
    return at != std::string::npos && (std::stoull(status.substr(at + 9, 16), nullptr, 16) & (1ull << (SIGINT - 1)));
  };
  for (int i = 0; i < 6000 && !catches_sigint(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(catches_sigint()) << "the program never took stops";
  kill(run.pid(), SIGINT);
  // The program opens the FIFO only after its handler is in place, and waits in that open for a writer.
  int writer = -1;
  for (int i = 0; i < 6000 && writer < 0; ++i) {
    writer = open(held.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writer < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_GE(writer, 0) << "the program never loaded the plugin";
  close(writer);
  // The server would keep the attempt for the whole connect time-out (10 seconds); the test gives it 5.
  const std::optional<program_result> r = run.finish_within(std::chrono::seconds(5));
  ASSERT_TRUE(r.has_value()) << "still connecting 5 seconds after the stop";
  EXPECT_EQ(r->status, 255) << r->out << r->err;
  EXPECT_EQ(r->out, "");
  EXPECT_EQ(r->err, "The conversion was stopped; the destination file was left as it was.\n");
  EXPECT_EQ(folder_names(dir.path()), (std::vector<std::string>{"home", "plugins"}));
}

TEST_F(RwfagentFiles, SecondRunOnTheSameFileIsRefused) {
  const std::string file = dir.file("busy.mdb");
  made_file(file);
  auto first = start({"--src=tt_slow", "--dest=" + file, "--acc_ver=1", "--mode=0", slow_list()});
  wait_for_rows(*first);
  for (const std::string mode : {"0", "1", "3"}) {
    program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=" + mode,
                              "--tab_file=" + dir.file("tags.txt")});
    EXPECT_EQ(r.status, 255) << mode << r.out << r.err;
    EXPECT_NE(r.out.find("file already in use"), std::string::npos) << mode << r.out;
  }
  program_result r = first->finish();
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(mdb_tables(file), std::vector<std::string>{"slow00000"});
  EXPECT_EQ(mdb_export(file, "slow00000").size(), 150000u);
  expect_sound(file);
}

// The lock does not need the file: while the first run writes a destination that does not exist yet, every
// other run on it is refused; its lock file beside the destination goes with it, and one that a killed run left
// is taken over.
TEST_F(RwfagentFiles, ASecondRunOnADestinationNotYetWrittenIsRefused) {
  const std::string file = dir.file("fresh.mdb");
  auto first = start({"--src=tt_slow", "--dest=" + file, "--acc_ver=1", "--mode=0", slow_list()});
  wait_for_rows(*first);
  EXPECT_TRUE(fs::exists(dir.file(".fresh.mdb.lock")));
  tk_write_file(dir.file("tags.txt"), "tags\n");
  for (const std::string mode : {"0", "1", "3"}) {
    program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=" + mode,
                              "--tab_file=" + dir.file("tags.txt")});
    EXPECT_EQ(r.status, 255) << mode << r.out << r.err;
    EXPECT_EQ(r.out, "Error:\nCould not use '" + file + "'; file already in use.\n") << mode;
    EXPECT_FALSE(fs::exists(file)) << mode;
  }
  program_result r = first->finish();
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(mdb_tables(file), std::vector<std::string>{"slow00000"});
  EXPECT_EQ(mdb_export(file, "slow00000").size(), 150000u);
  EXPECT_EQ(mdb_reader_rows(file, "slow00000").size(), 150000u);
  expect_sound(file);
  EXPECT_EQ(folder_names(dir.path()), (std::vector<std::string>{"fresh.mdb", "home", "slow.txt", "tags.txt"}));

  const std::string other = dir.file("other.mdb");
  auto killed = start({"--src=tt_slow", "--dest=" + other, "--acc_ver=1", slow_list()});
  wait_for_rows(*killed);
  kill(killed->pid(), SIGKILL);
  EXPECT_EQ(killed->finish().status, 128 + SIGKILL);
  EXPECT_TRUE(fs::exists(dir.file(".other.mdb.lock")));
  r = agent({"--src=tabletide_demo", "--dest=" + other, "--acc_ver=1", "--tab_file=" + dir.file("tags.txt")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  expect_sound(other);
  expect_same_rows(other, "tabletide_demo", "tags");
  EXPECT_EQ(folder_names(dir.path()),
            (std::vector<std::string>{"fresh.mdb", "home", "other.mdb", "slow.txt", "tags.txt"}));
}

TEST_F(RwfagentFiles, AFileThatAppearsMeanwhileIsNeverOverwritten) {
  const std::string file = dir.file("appears.mdb");
  auto run = start({"--src=tt_slow", "--dest=" + file, "--acc_ver=1", "--mode=0", slow_list()});
  wait_for_rows(*run);
  tk_write_file(file, "another program's file");
  program_result r = run->finish();
  EXPECT_EQ(r.status, 255) << r.out << r.err;
  EXPECT_NE(r.out.find("Another file took the place of '" + file + "'"), std::string::npos) << r.out;
  EXPECT_EQ(tk_read_file(file), "another program's file");
  EXPECT_EQ(folder_names(dir.path()), (std::vector<std::string>{"appears.mdb", "home", "slow.txt"}));
}

TEST_F(RwfagentFiles, NothingConvertedLeavesTheFileAndDuplicatesConvertOnce) {
  const std::string file = dir.file("keep.mdb");
  const std::string before = made_file(file);
  tk_write_file(dir.file("gone.txt"), "gone1\ngone2\n");
  for (const std::string mode : {"0", "1"}) {
    program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=" + mode,
                              "--tab_file=" + dir.file("gone.txt")});
    EXPECT_EQ(r.status, 255) << mode;
    EXPECT_EQ(r.err, "Table gone1 not exists\nTable gone2 not exists\n");
    EXPECT_EQ(r.out, "Converting database tabletide_demo (0 tables)\nError:\nNothing could be converted: the "
                     "destination file was left as it was.\n");
    EXPECT_EQ(sha256(file), before);
  }
  EXPECT_EQ(folder_names(dir.path()), (std::vector<std::string>{"gone.txt", "home", "keep.mdb", "tags.txt"}));

  tk_write_file(dir.file("twice.txt"), "customers\ncustomers\ntags\n");
  program_result r = agent({"--src=tabletide_demo", "--dest=" + dir.file("twice.mdb"), "--acc_ver=1",
                            "--tab_file=" + dir.file("twice.txt")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "Converting database tabletide_demo (2 tables)\nConverting table customers (6 records)\n"
                   "Converting table tags (4 records)\n");
  EXPECT_EQ(mdb_tables(dir.file("twice.mdb")), (std::vector<std::string>{"customers", "tags"}));
}

TEST_F(RwfagentFiles, ReplacedFileKeepsModeAndOwnerAndNewFilesFollowTheUmask) {
  const std::string file = dir.file("private.mdb");
  made_file(file);
  chmod(file.c_str(), 0600);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
  }
  program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=0"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  if (root) {
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
  }
  EXPECT_EQ(mdb_tables(file), base_tables("tabletide_demo"));

  mode_t old_mask = umask(027);
  r = agent({"--src=tabletide_demo", "--dest=" + dir.file("new.mdb"), "--acc_ver=1", "--tab_file=" + dir.file("tags.txt")});
  umask(old_mask);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  ASSERT_EQ(stat(dir.file("new.mdb").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_uid, geteuid());
}

TEST_F(RwfagentFiles, SymbolicLinkDestinationReplacesItsTarget) {
  mkdir(dir.file("real").c_str(), 0755);
  const std::string target = dir.file("real/target.mdb");
  made_file(target);
  fs::create_symlink("real/target.mdb", dir.file("link.mdb"));
  tk_write_file(dir.file("customers.txt"), "customers\n");
  for (const std::string mode : {"0", "1"}) {
    program_result r = agent({"--src=tabletide_demo", "--dest=" + dir.file("link.mdb"), "--acc_ver=1",
                              "--mode=" + mode, "--tab_file=" + dir.file(mode == "0" ? "tags.txt" : "customers.txt")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(fs::is_symlink(dir.file("link.mdb")));
    EXPECT_EQ(fs::read_symlink(dir.file("link.mdb")), "real/target.mdb");
  }
  EXPECT_EQ(mdb_tables(target), (std::vector<std::string>{"customers", "tags"}));
  EXPECT_EQ(folder_names(dir.file("real")), std::vector<std::string>{"target.mdb"});
  expect_sound(target);
}

TEST_F(RwfagentFiles, LongestNamesAndDamagedFiles) {
  // A destination name of 255 bytes, the most a file name may have: working copies and temporary files still fit.
  const std::string longest = dir.file(std::string(251, 'n') + ".mdb");
  made_file(longest);
  tk_write_file(dir.file("customers.txt"), "customers\n");
  program_result r = agent({"--src=tabletide_demo", "--dest=" + longest, "--acc_ver=1", "--mode=1",
                            "--tab_file=" + dir.file("customers.txt")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(mdb_tables(longest), (std::vector<std::string>{"customers", "tags"}));
  expect_sound(longest);

  // A truncated file and one whose catalog page is overwritten: one error, exit 255, the file as it was.
  const std::string good = tk_read_file(longest);
  tk_write_file(dir.file("cut.mdb"), good.substr(0, good.size() / 2));
  std::string damaged = good;
  std::fill(damaged.begin() + 2 * 4096, damaged.begin() + 3 * 4096, '\x5a');
  tk_write_file(dir.file("damaged.mdb"), damaged);
  for (const std::string name : {"cut.mdb", "damaged.mdb"}) {
    for (const std::string mode : {"1", "2", "3"}) {
      const std::string before = sha256(dir.file(name));
      r = agent({"--src=tabletide_demo", "--dest=" + dir.file(name), "--acc_ver=1", "--mode=" + mode});
      EXPECT_EQ(r.status, 255) << name << " mode " << mode << r.out << r.err;
      EXPECT_EQ(r.out.find("Error:\n"), r.out.rfind("Error:\n")) << r.out;
      EXPECT_EQ(sha256(dir.file(name)), before);
    }
  }
}

TEST_F(RwfagentFiles, FullDiskIsAFailureAndLeavesTheFile) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a small file system";
  const std::string small = dir.file("small");
  mkdir(small.c_str(), 0755);
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") != 0) GTEST_SKIP() << "cannot mount: " << strerror(errno);
  struct unmount {
    std::string path;
    ~unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount_at_end{small};
  const std::string file = small + "/full.mdb";
  const std::string before = made_file(file);
  // The slow table's rows fill the small file system long before they end.
  tk_write_file(dir.file("slow.txt"), "slow\n");
  const std::string slow_table = "--tab_file=" + dir.file("slow.txt");
  for (const std::string mode : {"0", "1", "3"}) {
    program_result r = agent({"--src=tt_slow", "--dest=" + file, "--acc_ver=1", "--mode=" + mode, slow_table});
    EXPECT_EQ(r.status, 255) << mode << r.out << r.err;
    EXPECT_EQ(r.out.find("Error:\n"), r.out.rfind("Error:\n")) << r.out;
    EXPECT_NE(r.out.find("disk is full"), std::string::npos) << r.out;
    EXPECT_EQ(sha256(file), before);
    EXPECT_EQ(folder_names(small), std::vector<std::string>{"full.mdb"});
  }
  // No file before the run: none after it either.
  program_result r = agent({"--src=tt_slow", "--dest=" + small + "/new.mdb", "--acc_ver=1", slow_table});
  EXPECT_EQ(r.status, 255) << r.out << r.err;
  EXPECT_EQ(folder_names(small), std::vector<std::string>{"full.mdb"});
}

}  // namespace

namespace {

class RwfagentDestinationRefusals : public RwfagentFiles {
 protected:
  // Each file of the folder with its sha256 (or its kind, for what is no regular file).
  std::vector<std::string> folder_state() {
    std::vector<std::string> state;
    for (const std::string& name : folder_names(dir.path())) {
      const fs::path path = dir.file(name);
      state.push_back(name + " " + (fs::is_symlink(path)           ? "link"
                                    : fs::is_regular_file(path)    ? sha256(path)
                                    : fs::is_directory(path)       ? "folder"
                                                                   : "special"));
    }
    return state;
  }
};

// A trace file that is the destination (also through a link, or as the name the extension rule makes), a profile
// or a table list is refused before anything is read or written: every file stays as it was.
TEST_F(RwfagentDestinationRefusals, ATraceFileOverAFileTheRunUsesIsRefused) {
  const std::string file = dir.file("shop.mdb");
  made_file(file);
  fs::create_symlink("shop.mdb", dir.file("link.mdb"));
  fs::create_hard_link(file, dir.file("hard.mdb"));
  fs::create_directory_symlink(".", dir.file("alias"));
  tk_write_file(dir.file("p.rwf"), "[Generic settings]\r\nsrc=tabletide_demo\r\n[MS Access settings]\r\n"
                                   "destination format=1\r\n[Selected Tables]\r\ntags\r\n");
  tk_write_file(dir.file("q.rwf"), "[Generic settings]\r\nsrc=tabletide_demo\r\ndest=" + file + "\r\nlogfile=" +
                                       dir.file("link.mdb") + "\r\n[MS Access settings]\r\ndestination format=1\r\n");
  const std::vector<std::string> before = folder_state();
  const std::string src = "--src=tabletide_demo", format = "--acc_ver=1";
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{src, format, "--logfile=" + file, "--dest=" + file}, "--logfile= and --dest= name the same file '" + file},
      {{src, format, "--dest=" + file, "--logfile=" + dir.file("link.mdb")},
       "--logfile= and --dest= name the same file '" + file},
      {{src, format, "--dest=" + file, "--logfile=" + dir.file("hard.mdb")},
       "--logfile= and --dest= name the same file '" + file},
      {{src, format, "--dest=" + dir.file("shop.2024"), "--logfile=" + dir.file("./shop.mdb")},
       "--logfile= and --dest= name the same file '" + file},
      {{"--logfile=" + dir.file("p.rwf"), "--profile=" + dir.file("p.rwf"), "--dest=" + dir.file("new.mdb")},
       "--logfile= and --profile= name the same file '" + dir.file("p.rwf")},
      {{src, format, "--tab_file=" + dir.file("tags.txt"), "--dest=" + dir.file("new.mdb"),
        "--logfile=" + dir.file("tags.txt")},
       "--logfile= and --tab_file= name the same file '" + dir.file("tags.txt")},
      {{"--profile=" + dir.file("q.rwf")},
       "--profile= (its logfile) and --profile= (its dest) name the same file '" + file},
      // Neither file exists yet: one names it through a link to the folder.
      {{src, format, "--dest=" + dir.file("fresh.mdb"), "--logfile=" + dir.file("alias/fresh.mdb")},
       "--logfile= and --dest= name the same file '" + dir.file("fresh.mdb")},
  };
  for (const auto& c : cases) {
    program_result r = agent(c.args);
    EXPECT_EQ(r.status, 255) << c.message;
    EXPECT_EQ(r.err, "Options " + c.message + "': the trace would overwrite it.\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(folder_state(), before) << c.message;
  }
}

// What cannot be made into the destination is refused with the reason before the run reads a table (the report
// holds nothing else), in every mode, and nothing in the folder changes.
TEST_F(RwfagentDestinationRefusals, ADestinationThatCannotBeWrittenIsRefusedFirst) {
  ASSERT_EQ(mkfifo(dir.file("fifo.mdb").c_str(), 0644), 0);
  fs::create_symlink("/dev/null", dir.file("device.mdb"));
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socket_path = dir.file("socket.mdb");
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  std::copy(socket_path.begin(), socket_path.end(), address.sun_path);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  mkdir(dir.file("folder.mdb").c_str(), 0755);
  fs::create_symlink("loop2.mdb", dir.file("loop1.mdb"));
  fs::create_symlink("loop1.mdb", dir.file("loop2.mdb"));
  const std::vector<std::string> before = folder_state();
  const std::pair<std::string, std::string> cases[] = {
      {dir.file(std::string(296, 'n') + ".mdb"), "Cannot use the destination name: File name too long"},
      {dir.file("none/shop.mdb"), "Destination path does not exist. Please verify the correct path was given."},
      {dir.file("fifo.mdb"), "Destination name specifies a FIFO, not a file."},
      {dir.file("device.mdb"), "Destination name specifies a device, not a file."},
      {socket_path, "Destination name specifies a socket, not a file."},
      {dir.file("folder.mdb"), "Destination name should specify a file, not folder."},
      {dir.file("loop1.mdb"), "Cannot use the destination name: Too many levels of symbolic links"},
  };
  for (const auto& [dest, message] : cases) {
    for (const std::string mode : {"0", "1", "3"}) {
      program_result r = agent({"--src=tabletide_demo", "--dest=" + dest, "--acc_ver=1", "--mode=" + mode});
      EXPECT_EQ(r.status, 255) << dest << " mode " << mode;
      EXPECT_EQ(r.out, "Error:\n" + message + "\n") << dest << " mode " << mode;
      EXPECT_EQ(r.err, "");
    }
  }
  EXPECT_EQ(folder_state(), before);
  close(listener);
}

// "shop.2024" is written as "shop.mdb" (an existing one would be replaced): the report names that file first.
TEST_F(RwfagentDestinationRefusals, AReplacedExtensionIsNamedBeforeTheRun) {
  tk_write_file(dir.file("tags.txt"), "tags\n");
  for (const auto& [format, extension] : {std::pair{"1", ".mdb"}, std::pair{"2", ".accdb"}}) {
    const std::string written = dir.file("shop" + std::string(extension));
    program_result r = agent({"--src=tabletide_demo", "--dest=" + dir.file("shop.2024"), "--acc_ver=" +
                              std::string(format), "--tab_file=" + dir.file("tags.txt")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Destination file: " + written +
                         "\nConverting database tabletide_demo (1 tables)\nConverting table tags (4 records)\n");
    expect_sound(written);
    EXPECT_EQ(mdb_tables(written), std::vector<std::string>{"tags"});
    expect_same_rows(written, "tabletide_demo", "tags");
  }
  EXPECT_FALSE(fs::exists(dir.file("shop.2024")));
  // Silent runs print nothing; a name that only gets the extension added is no surprise and is not named.
  program_result r = agent({"--src=tabletide_demo", "--dest=" + dir.file("shop.2024"), "--acc_ver=1",
                            "--tab_file=" + dir.file("tags.txt"), "--silent"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  r = agent({"--src=tabletide_demo", "--dest=" + dir.file("plain"), "--acc_ver=1", "--tab_file=" + dir.file("tags.txt")});
  EXPECT_EQ(r.out, "Converting database tabletide_demo (1 tables)\nConverting table tags (4 records)\n");
  expect_sound(dir.file("plain.mdb"));
}

}  // namespace

// The clean-up before a run removes only what is provably a working file of this destination left by a run that
// was killed: its exact name, a process that no longer runs, and content that begins as the program's files begin.
// Files of similar names, and a file of that very name whose content is someone else's, stay byte for byte.
TEST_F(RwfagentFiles, TheCleanUpRemovesOnlyWorkingFilesOfKilledRuns) {
  const std::string file = dir.file("shop.mdb");
  const std::string before = made_file(file);
  // The id of a process that has ended: the name of a killed run's file, but the content of a user's.
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  const std::vector<std::string> others = {".shop.mdb.2024.backup.tmp", ".s.99999.report.tmp",
                                           ".shop.99998.notes1.tmp", ".shop.mdb.old.123456.AAAAAA.tmp",
                                           ".shop.mdb." + std::to_string(ended) + ".a1B2c3.tmp"};
  std::vector<std::string> sums;
  for (const std::string& name : others) {
    tk_write_file(dir.file(name), "a user's file named " + name + "\n");
    sums.push_back(sha256(dir.file(name)));
  }
  // Runs killed outright while they copy rows: a new file (mode 0) and a working copy of the existing one (mode 1).
  for (const std::string mode : {"0", "1"}) {
    auto run = start({"--src=tt_slow", "--dest=" + file, "--acc_ver=1", "--mode=" + mode, slow_list()});
    wait_for_rows(*run);
    kill(run->pid(), SIGKILL);
    EXPECT_EQ(run->finish().status, 128 + SIGKILL);
  }
  std::vector<std::string> expected = {"home", "shop.mdb", "slow.txt", "tags.txt"};
  expected.insert(expected.end(), others.begin(), others.end());
  std::sort(expected.begin(), expected.end());
  // The killed runs left their working files (the copy of the file, or the new file): "." and the destination's
  // name, the run's process id, ".tmp".
  size_t left = 0;
  for (const std::string& name : folder_names(dir.path()))
    if ((name.rfind(".shop.mdb.", 0) == 0 || name.rfind("..shop.mdb.", 0) == 0) && name.ends_with(".tmp") &&
        std::find(others.begin(), others.end(), name) == others.end())
      ++left;
  EXPECT_GT(left, 0u);
  EXPECT_EQ(sha256(file), before);

  program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=1",
                            "--tab_file=" + dir.file("tags.txt")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(folder_names(dir.path()), expected);
  for (size_t i = 0; i < others.size(); ++i) EXPECT_EQ(sha256(dir.file(others[i])), sums[i]) << others[i];
  expect_sound(file);
}

// A destination that is a link another user left in a shared sticky folder (as /tmp is) is not followed: the run
// names the link and ends before anything is written, the file it points to as it was. A link there of the user
// running the program or of the folder's owner, or another user's link in an ordinary folder, is followed.
TEST_F(RwfagentFiles, ALinkAnotherUserLeftInASharedFolderIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give files to another user";
  const std::string target = dir.file("victim.mdb");
  const std::string before = made_file(target);
  const uid_t other = 4242;
  const std::string shared = dir.file("shared");
  ASSERT_EQ(mkdir(shared.c_str(), 0777), 0);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  const std::string link = shared + "/shop.mdb";
  fs::create_symlink(target, link);
  ASSERT_EQ(lchown(link.c_str(), other, other), 0);
  for (const std::string mode : {"0", "1", "3"}) {
    SCOPED_TRACE("mode " + mode);
    program_result r = agent({"--src=tabletide_demo", "--dest=" + link, "--acc_ver=1", "--mode=" + mode,
                              "--tab_file=" + dir.file("tags.txt")});
    EXPECT_EQ(r.status, 255) << r.out << r.err;
    EXPECT_EQ(r.out, "Error:\nThe symbolic link '" + link +
                         "' belongs to another user in a shared folder (sticky and writable by everyone); the "
                         "destination is not written through it.\n");
    EXPECT_EQ(sha256(target), before);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(folder_names(shared), std::vector<std::string>{"shop.mdb"});
  }

  // Followed: the link of the user running the program, another user's link in their own sticky folder, another
  // user's link in a folder that is not sticky. The target is replaced (a new file in its place), the link stays.
  const std::string own_folder = dir.file("theirs");
  const std::string plain = dir.file("plain");
  ASSERT_EQ(mkdir(own_folder.c_str(), 01777), 0);
  ASSERT_EQ(chmod(own_folder.c_str(), 01777), 0);
  ASSERT_EQ(chown(own_folder.c_str(), other, other), 0);
  ASSERT_EQ(mkdir(plain.c_str(), 0777), 0);
  ASSERT_EQ(chmod(plain.c_str(), 0777), 0);
  const std::pair<std::string, uid_t> followed[] = {{link, 0}, {own_folder + "/shop.mdb", other},
                                                    {plain + "/shop.mdb", other}};
  for (const auto& [path, owner] : followed) {
    SCOPED_TRACE(path);
    if (!fs::is_symlink(path)) fs::create_symlink(target, path);
    ASSERT_EQ(lchown(path.c_str(), owner, owner), 0);
    struct stat was {}, now {};
    ASSERT_EQ(stat(target.c_str(), &was), 0);
    program_result r = agent({"--src=tabletide_demo", "--dest=" + path, "--acc_ver=1", "--mode=1",
                              "--tab_file=" + dir.file("tags.txt")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(fs::is_symlink(path));
    ASSERT_EQ(stat(target.c_str(), &now), 0);
    EXPECT_NE(now.st_ino, was.st_ino);
    expect_sound(target);
  }
}

// The trace names the destination the user gave as the database it creates; the hidden name it is written under
// until it is whole comes after it.
TEST_F(RwfagentFiles, TheTraceNamesTheDestinationItCreates) {
  tk_write_file(dir.file("tags.txt"), "tags\n");
  const std::string file = dir.file("demo1.mdb");
  program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=0",
                            "--tab_file=" + dir.file("tags.txt"), "--logfile=" + dir.file("trace.log")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  const std::string trace = tk_read_file(dir.file("trace.log"));
  const std::string line = "Creating MS Access database '" + file + "' (written as '" + dir.file(".demo1.mdb.");
  const size_t at = trace.find(line);
  ASSERT_NE(at, std::string::npos) << trace;
  const std::string rest = trace.substr(at + line.size(), trace.find('\n', at) - at - line.size());
  EXPECT_NE(rest.find(".tmp' until it is complete)"), std::string::npos) << rest;
  EXPECT_EQ(trace.find("Creating MS Access database '" + dir.file(".")), std::string::npos) << trace;
  expect_sound(file);
}
