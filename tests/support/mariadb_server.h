// A throwaway MariaDB server for tests and demo scripts.
//
// `mariadb_server` owns one private mariadbd process: its own data folder inside a folder the caller names
// (or a fresh temporary one), listening only on 127.0.0.1 and on a private socket, started
// with --no-defaults and HOME pointed at an empty folder so nothing of the machine's own MariaDB set-up is
// read or touched. A fresh data folder has its anonymous accounts dropped (they would shadow the test user
// for logins from localhost) and holds one known user with every privilege.
//
// The port lies below the kernel's ephemeral range and is reserved by a lock file in /tmp/tt-mariadb-ports
// for as long as the server object lives, so servers started at once never race for one port. Start-up waits
// (up to five minutes on a busy machine) until the server answers.
//
// Initialising a data folder takes seconds, so a started server copies a cached, cleanly shut down template
// folder instead when a template root is given; the template is keyed by the server's version and the
// contents of the seed .sql files loaded into it, and is built once under a file lock (many test processes
// start at once under ctest -j).
//
// The server is killed by stop(), by the destructor, and, for servers started in-process, by the kernel when
// the starting thread dies (PR_SET_PDEATHSIG), so a crashed or killed test leaves no server behind. Start a
// server from a thread that outlives it (the tests' main thread).
// Servers started with `detached = true` (the shell tool) outlive the starter and are stopped by pid file.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tt_test {

// What a client needs to reach the server.
struct mariadb_facts {
  std::string host = "127.0.0.1";
  unsigned port = 0;
  std::string user;
  std::string password;
  std::string socket;   // the private unix socket
  std::string dir;      // the folder holding data/, the socket, the logs and the pid file
  std::string version;  // the server's version text, e.g. "10.11.6-MariaDB-0+deb12u1"
};

struct mariadb_options {
  std::string dir;                       // empty: a fresh folder under /tmp, removed again by stop()
  std::vector<std::string> seed_files;   // .sql files loaded (as root, in this order) into the new server
  std::string template_root;             // empty: no template cache (initialise the data folder every time)
  bool detached = false;                 // survive the starting process (used by the tt_mariadb tool)
};

// One row of a query result; a SQL NULL is an empty optional.
using mariadb_row = std::vector<std::optional<std::string>>;

class mariadb_server {
 public:
  // Starts a server; throws std::runtime_error (with the server's error log) when it cannot.
  static mariadb_server start(const mariadb_options& options);

  mariadb_server(mariadb_server&& other) noexcept;
  mariadb_server& operator=(mariadb_server&& other) noexcept;
  mariadb_server(const mariadb_server&) = delete;
  mariadb_server& operator=(const mariadb_server&) = delete;
  ~mariadb_server();

  const mariadb_facts& facts() const { return facts_; }
  bool running() const { return pid_ > 0; }
  int pid() const { return pid_; }

  // Runs one or more ';'-separated statements as the test user (over TCP), discarding results.
  void exec(const std::string& sql, const std::string& database = "") const;
  // Runs one statement and returns its rows as texts (binary cells byte for byte).
  std::vector<mariadb_row> query(const std::string& sql, const std::string& database = "") const;
  // Loads an .sql file with the mariadb command-line client (as root over the socket).
  void load_file(const std::string& path, const std::string& database = "") const;

  // Kills the server and waits for it; removes the folder when the server created it. Idempotent.
  void stop();
  // Forgets the process without stopping it (it keeps running; stop it with stop_by_dir()).
  void release();

  // Stops a detached server started in `dir` (reads its pid file). Returns false when none was running.
  static bool stop_by_dir(const std::string& dir);

 private:
  mariadb_server() = default;
  void launch();  // starts mariadbd on the prepared folder at a reserved free port and waits until it answers
  void release_port();

  mariadb_facts facts_;
  int pid_ = -1;
  bool own_dir_ = false;
  bool detached_ = false;
  int port_lock_ = -1;  // the lock that reserves facts_.port among this machine's processes (see launch)
};

// The known account every throwaway server has.
inline constexpr const char* k_mariadb_user = "tt_user";
inline constexpr const char* k_mariadb_password = "tt-Pass.word1";

}  // namespace tt_test
