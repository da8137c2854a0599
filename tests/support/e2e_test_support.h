// What the end-to-end tests of RWFAGENT share: the program run as a separate process against a throwaway MariaDB
// server, with its exact standard output, standard error and exit status; the independent readers (mdbtools and
// mdb-reader) over the files it writes; and a fixture that holds the server and a scratch folder.
// Every rwf_e2e*_test.cpp in this folder is built into one test program with RWFAGENT_PATH set.
#pragma once
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <optional>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/tk_test_support.h"
#include "console/rwf_usage.h"
#include "platform/jet/verifier.h"
#include "platform/system/codepage.h"
#include "tests/support/mariadb_env.h"

namespace tt_e2e {

struct program_result {
  int status = -1;
  std::string out, err;
};

// A program started as a separate process (argv[0] a path) with the extra environment entries, as the user given by
// uid when it is not -1; its standard output and error are read as they come. Killed if it is still running when
// the object goes away.
class program_process {
 public:
  program_process(std::vector<std::string> argv, const std::vector<std::string>& env = {}, int uid = -1) {
    int out_pipe[2], err_pipe[2];
    if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
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
    fds_[0] = out_pipe[0];
    fds_[1] = err_pipe[0];
  }
  ~program_process() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      finish();
    }
  }
  program_process(const program_process&) = delete;
  program_process& operator=(const program_process&) = delete;

  pid_t pid() const { return pid_; }

  // Reads until standard output holds text (true) or the program has closed both streams (false).
  bool wait_for(const std::string& text) {
    while (out_.find(text) == std::string::npos)
      if (!read_some()) return false;
    return true;
  }

  // Reads both streams to their end and waits for the program. Status: the exit status, 128 + the signal number
  // for a program a signal ended, -1 when it could not be started.
  program_result finish() {
    while (read_some()) {
    }
    program_result r;
    if (pid_ > 0 && !ended_) {
      waitpid(pid_, &status_, 0);
      ended_ = true;
    }
    r.status = pid_ <= 0 ? -1 : WIFEXITED(status_) ? WEXITSTATUS(status_) : WIFSIGNALED(status_) ? 128 + WTERMSIG(status_) : -1;
    r.out = out_;
    r.err = err_;
    return r;
  }

  // finish, when the program ends within the time given; nothing when it is still running then (it is killed
  // when the object goes away). For a test whose hang must fail at once rather than at the test runner's limit.
  std::optional<program_result> finish_within(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      if (fds_[0] >= 0 || fds_[1] >= 0) {
        read_some(static_cast<int>(left.count()));
      } else if (pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == pid_) {
        ended_ = true;
        return finish();
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
  }

 private:
  // Reads what one of the streams has, waiting at most timeout_ms (-1: as long as it takes); false when both are
  // closed.
  bool read_some(int timeout_ms = -1) {
    if (fds_[0] < 0 && fds_[1] < 0) return false;
    pollfd p[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
    const int ready = poll(p, 2, timeout_ms);
    if (ready == 0 && timeout_ms >= 0) return true;
    if (ready <= 0) return false;
    char buffer[4096];
    for (int i = 0; i < 2; ++i) {
      if (fds_[i] < 0 || !(p[i].revents & (POLLIN | POLLHUP))) continue;
      ssize_t n = read(fds_[i], buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? out_ : err_).append(buffer, static_cast<std::size_t>(n));
      } else {
        close(fds_[i]);
        fds_[i] = -1;
      }
    }
    return true;
  }

  pid_t pid_ = -1;
  int fds_[2] = {-1, -1};
  int status_ = 0;
  bool ended_ = false;
  std::string out_, err_;
};

// Runs the program to its end (see program_process).
inline program_result run_program(std::vector<std::string> argv, const std::vector<std::string>& env = {}, int uid = -1) {
  return program_process(std::move(argv), env, uid).finish();
}

inline std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == separator) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

// mdb-export of one table: rows of cells; binary as hex, dates as "%Y-%m-%d %H:%M:%S", NULL as "\x02".
inline std::vector<std::vector<std::string>> mdb_export(const std::string& file, const std::string& table) {
  program_result r = run_program({"/usr/bin/mdb-export", "-H", "-Q", "-d", "\x1f", "-R", "\x1e", "-0", "\x02", "-b",
                                  "hex", "-T", "%Y-%m-%d %H:%M:%S", file, table});
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::vector<std::string>> rows;
  for (const std::string& record : split(r.out, '\x1e'))
    if (!record.empty()) rows.push_back(split(record, '\x1f'));
  return rows;
}

// The user tables of an Access file, as mdbtools lists them.
inline std::vector<std::string> mdb_tables(const std::string& file) {
  program_result r = run_program({"/usr/bin/mdb-tables", "-1", file});
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::string> names = split(r.out, '\n');
  names.erase(std::remove(names.begin(), names.end(), std::string()), names.end());
  std::sort(names.begin(), names.end());
  return names;
}

// One table as mdb-reader reads it (tools/readers/dump.mjs): rows of cells as "<kind>\t<payload>".
inline std::vector<std::vector<std::string>> mdb_reader_rows(const std::string& file, const std::string& table) {
  program_result r = run_program({"/usr/bin/node", std::string(TT_SOURCE_DIR) + "/tools/readers/dump.mjs", file, table});
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : split(r.out, '\n')) {
    if (line == "R") rows.emplace_back();
    else if (line.rfind("V\t", 0) == 0 && !rows.empty()) rows.back().push_back(line.substr(2));
  }
  return rows;
}

// A cell of mdb-reader's dump in the text form the server query gives (see expect_same_rows).
inline std::optional<std::string> reader_text(const std::string& cell) {
  char kind = cell[0];
  std::string payload = cell.size() > 2 ? cell.substr(2) : "";
  if (kind == 'n') return std::nullopt;
  if (kind == 's') {
    std::string text;
    for (std::size_t i = 0; i + 1 < payload.size(); i += 2) text += static_cast<char>(std::stoi(payload.substr(i, 2), nullptr, 16));
    return text;
  }
  if (kind == 'x') {
    std::transform(payload.begin(), payload.end(), payload.begin(), ::toupper);
    return payload;
  }
  if (kind == 'd') {
    long long ms = std::stoll(payload);
    time_t seconds = static_cast<time_t>(ms / 1000 - (ms % 1000 < 0 ? 1 : 0));
    std::tm t{};
    gmtime_r(&seconds, &t);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &t);
    return std::string(buffer);
  }
  return payload;  // numbers, booleans (0/1), decimals, currency
}

// UTF-8 text as an Access 95/97 file holds it: every character that Windows code page 1252 lacks becomes '?'.
inline std::string through_code_page_1252(const std::string& utf8) {
  // The characters of 0x80-0x9F; 0x81, 0x8D, 0x8F, 0x90 and 0x9D are unassigned.
  static const char32_t high[] = {0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030,
                                  0x0160, 0x2039, 0x0152, 0x017D, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                  0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178};
  std::string out;
  for (wchar_t w : sys_utf8_to_wide(utf8)) {
    char32_t c = static_cast<char32_t>(w);
    bool held = c < 0x80 || (c >= 0xA0 && c <= 0xFF) || std::find(std::begin(high), std::end(high), c) != std::end(high);
    if (held) sys_append_utf8(out, c);
    else out.push_back('?');
  }
  return out;
}

inline bool same_cell(const std::optional<std::string>& server, const std::optional<std::string>& access) {
  if (!server || !access) return !server && !access;
  if (*server == *access) return true;
  char* end_a = nullptr;
  char* end_b = nullptr;
  double a = std::strtod(server->c_str(), &end_a);
  double b = std::strtod(access->c_str(), &end_b);
  return !server->empty() && !access->empty() && *end_a == '\0' && *end_b == '\0' &&
         std::fabs(a - b) <= 1e-6 * std::max(1.0, std::fabs(a));
}

// Our strict verifier must find the file sound.
inline void expect_sound(const std::string& file) {
  jet::verify_report report = jet::verify_file(file);
  EXPECT_TRUE(report.ok()) << file << ":\n" << report.text();
  EXPECT_TRUE(report.notes.empty()) << file << ":\n" << report.text();
}

// Sound, and nothing noted that the file did not already carry when it came from Access (Access leaves stale
// index statistics in its own tables, which we do not rewrite).
inline void expect_sound_since(const std::string& file, const std::vector<std::string>& known_notes) {
  jet::verify_report report = jet::verify_file(file);
  EXPECT_TRUE(report.ok()) << file << ":\n" << report.text();
  for (const std::string& n : report.notes)
    EXPECT_NE(std::find(known_notes.begin(), known_notes.end(), n), known_notes.end()) << file << ": " << n;
}

// The file format as mdbtools names it ("JET3\n", "JET4\n", "ACE12\n", ...).
inline std::string mdb_ver(const std::string& file) { return run_program({"/usr/bin/mdb-ver", file}).out; }

// Ends the test program at once, naming what did not end, unless the object goes away within the time given. For
// a wait that has no time limit of its own (the wizard's event loop and the threads it joins), so that a hang
// fails the test at once instead of at the test runner's limit.
class deadline {
 public:
  deadline(std::chrono::milliseconds limit, std::string what) : what_(std::move(what)) {
    watcher_ = std::thread([this, limit] {
      std::unique_lock<std::mutex> lock(mutex_);
      if (ended_changed_.wait_for(lock, limit, [this] { return ended_; })) return;
      std::fprintf(stderr, "FAILED: %s did not end within %lld ms\n", what_.c_str(),
                   static_cast<long long>(limit.count()));
      std::fflush(stderr);
      std::_Exit(1);
    });
  }
  ~deadline() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ended_ = true;
    }
    ended_changed_.notify_all();
    watcher_.join();
  }
  deadline(const deadline&) = delete;
  deadline& operator=(const deadline&) = delete;

 private:
  std::string what_;
  std::mutex mutex_;
  std::condition_variable ended_changed_;
  bool ended_ = false;
  std::thread watcher_;
};

// A loopback TCP socket bound to a port of its own; listening or not, as asked. Closed with the object: a
// connection still waiting in its queue is then reset.
struct loopback_socket {
  explicit loopback_socket(bool listening) {
    fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    EXPECT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len), 0);
    if (listening) {
      EXPECT_EQ(listen(fd, 4), 0);
    }
    port = ntohs(a.sin_port);
  }
  ~loopback_socket() { close(fd); }
  loopback_socket(const loopback_socket&) = delete;
  loopback_socket& operator=(const loopback_socket&) = delete;
  int fd = -1;
  unsigned port = 0;
};

// A server that takes every connection and closes it at once, before any greeting (a server going away during
// the handshake).
class hanging_up_server {
 public:
  hanging_up_server() : socket_(true) {
    thread_ = std::thread([this] {
      for (;;) {
        pollfd waiting = {socket_.fd, POLLIN, 0};
        if (poll(&waiting, 1, 100) == 1) {
          int client = accept(socket_.fd, nullptr, nullptr);
          if (client >= 0) close(client);
        }
        if (stop_) return;
      }
    });
  }
  ~hanging_up_server() {
    stop_ = true;
    thread_.join();
  }
  unsigned port() const { return socket_.port; }

 private:
  loopback_socket socket_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A user-level lock (GET_LOCK) that a connection of the test's own holds on the server until the object goes away:
// a run's statement that asks for it waits on the server, which meanwhile sends that run nothing.
class server_lock {
 public:
  server_lock(const tt_test::mariadb_server& server, std::string name)
      : server_(server), name_(std::move(name)), statement_("DO GET_LOCK('" + name_ + "', 0), SLEEP(3600)") {
    holder_ = std::thread([this] {
      try {
        server_.exec(statement_);
      } catch (const std::exception&) {
        // Ended by the destructor's KILL.
      }
    });
    for (int i = 0; i < 6000 && !held(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!held()) ADD_FAILURE() << "the lock " << name_ << " was never taken";
  }
  ~server_lock() {
    for (int i = 0; i < 6000; ++i) {
      const std::string id = holder_connection();
      if (!id.empty()) {
        server_.exec("KILL " + id);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    holder_.join();
  }
  server_lock(const server_lock&) = delete;
  server_lock& operator=(const server_lock&) = delete;

  // True while the test's own connection holds the lock.
  bool held() const {
    return !server_
                .query("SELECT ID FROM information_schema.PROCESSLIST WHERE INFO = '" + quoted(statement_) +
                       "' AND ID = IS_USED_LOCK('" + name_ + "')")
                .empty();
  }

  // The connection of a statement that begins with `start` and waits for the lock, once there is one; empty when
  // none came within a minute. `pause` passes the time between looks (a test with a window keeps it going).
  std::string wait_for_waiter(const std::string& start, const std::function<void()>& pause = [] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }) const {
    for (int i = 0; i < 6000; ++i) {
      std::vector<tt_test::mariadb_row> rows = server_.query(
          "SELECT ID FROM information_schema.PROCESSLIST WHERE STATE = 'User lock' AND LOCATE('" + quoted(start) +
          "', INFO) = 1");
      if (!rows.empty()) return *rows[0][0];
      pause();
    }
    return {};
  }

 private:
  static std::string quoted(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out;
  }
  std::string holder_connection() const {
    std::vector<tt_test::mariadb_row> rows =
        server_.query("SELECT ID FROM information_schema.PROCESSLIST WHERE INFO = '" + quoted(statement_) + "'");
    return rows.empty() ? std::string() : *rows[0][0];
  }

  const tt_test::mariadb_server& server_;
  std::string name_;
  std::string statement_;
  std::thread holder_;
};

class rwfagent_fixture : public ::testing::Test {
 protected:
  rwfagent_fixture() : server(tt_test::shared_mariadb({std::string(TT_SOURCE_DIR) + "/demo/demo.sql"})) {
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

  // Writes a profile at path that connects to the server (as facts say, else the shared one) and converts the
  // items given (lines of name=SELECT or table names); returns the option that names it.
  std::string items_profile(const std::string& path, const std::string& items,
                            const tt_test::mariadb_facts* facts = nullptr) {
    const tt_test::mariadb_facts& f = facts ? *facts : server.facts();
    tk_write_file(path, "[MySQL settings]\r\nhost=" + f.host + "\r\nuser=" + f.user + "\r\npassword=" + f.password +
                            "\r\nport=" + std::to_string(f.port) + "\r\n[Selected Tables]\r\n" + items);
    return "--profile=" + path;
  }

  // Every cell of every row of the source table against the Access file as mdb-reader reads it, in the server's
  // key order. Dates, times, bits and binary data are read from the server in the forms the reader's cells are
  // turned into; numbers compare by value. mdbtools must count the same rows.
  // code_page_text: the file is an Access 95/97 one, whose text holds only what code page 1252 holds.
  void expect_same_rows(const std::string& file, const std::string& db, const std::string& table,
                        bool code_page_text = false) {
    std::vector<tt_test::mariadb_row> cols = server.query(
        "SELECT COLUMN_NAME, DATA_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '" + db +
        "' AND TABLE_NAME = '" + table + "' ORDER BY ORDINAL_POSITION");
    std::string select;
    for (const auto& c : cols) {
      std::string name = "`" + *c[0] + "`";
      const std::string& type = *c[1];
      std::string expr = name;
      if (type == "date") expr = "DATE_FORMAT(" + name + ", '%Y-%m-%d 00:00:00')";
      if (type == "datetime" || type == "timestamp") expr = "DATE_FORMAT(" + name + ", '%Y-%m-%d %H:%i:%s')";
      if (type == "time") expr = "CONCAT('1899-12-30 ', TIME_FORMAT(" + name + ", '%H:%i:%s'))";
      if (type == "bit") expr = "CAST(" + name + " AS UNSIGNED)";
      if (type.find("blob") != std::string::npos || type.find("binary") != std::string::npos)
        expr = "HEX(" + name + ")";
      select += (select.empty() ? "" : ", ") + expr;
    }
    std::vector<tt_test::mariadb_row> expected =
        server.query("SELECT " + select + " FROM `" + db + "`.`" + table + "`");
    std::vector<std::vector<std::string>> actual = mdb_reader_rows(file, table);
    ASSERT_EQ(actual.size(), expected.size()) << table;
    EXPECT_EQ(mdb_export(file, table).size(), expected.size()) << table;
    for (std::size_t r = 0; r < expected.size(); ++r) {
      ASSERT_EQ(actual[r].size(), expected[r].size()) << table << " row " << r;
      for (std::size_t c = 0; c < expected[r].size(); ++c) {
        std::optional<std::string> want = expected[r][c];
        if (want && code_page_text) want = through_code_page_1252(*want);
        // An Access Yes/No column holds no NULL: a NULL bit arrives as No.
        EXPECT_TRUE(same_cell(want, reader_text(actual[r][c])) || (!want && actual[r][c] == "b\t0"))
            << table << " row " << r << " column " << *cols[c][0] << ": server " << want.value_or("NULL")
            << ", Access " << actual[r][c];
      }
    }
  }

  std::vector<std::string> base_tables(const std::string& db) {
    std::vector<std::string> names;
    for (const auto& row : server.query("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                                        db + "' AND TABLE_TYPE = 'BASE TABLE'"))
      names.push_back(*row[0]);
    std::sort(names.begin(), names.end());
    return names;
  }

  // The names the tables of `db` have in an Access file, sorted: a name Access refuses is stored under a safe one,
  // lower case with each refused character as "_".
  std::vector<std::string> access_table_names(const std::string& db) {
    std::vector<std::string> names;
    for (std::string name : base_tables(db)) {
      if (name.find_first_of("`!.[]'") != std::string::npos) {
        std::transform(name.begin(), name.end(), name.begin(), ::tolower);
        std::replace_if(name.begin(), name.end(), [](char c) { return std::string("`!.[]'").find(c) != std::string::npos; }, '_');
      }
      names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  tt_test::mariadb_server& server;
  tk_scratch_dir dir;
  std::string home;
};

}  // namespace tt_e2e
