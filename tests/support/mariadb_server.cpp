// Starts, seeds and stops throwaway MariaDB servers (see mariadb_server.h for the contract).
#include "tests/support/mariadb_server.h"

#include <fcntl.h>
#include <mysql.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

extern char** environ;

namespace tt_test {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error("throwaway MariaDB: " + what); }

std::string read_text(const std::string& path, size_t tail = 4000) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  std::string s = ss.str();
  if (s.size() > tail) s = "..." + s.substr(s.size() - tail);
  return s;
}

std::string find_program(const std::string& name) {
  std::vector<std::string> dirs;
  if (const char* path = std::getenv("PATH")) {
    std::stringstream ss(path);
    for (std::string d; std::getline(ss, d, ':');)
      if (!d.empty()) dirs.push_back(d);
  }
  for (const char* d : {"/usr/sbin", "/usr/local/sbin", "/usr/bin", "/usr/local/bin", "/usr/libexec"}) dirs.push_back(d);
  for (const auto& d : dirs) {
    std::string p = d + "/" + name;
    if (::access(p.c_str(), X_OK) == 0) return p;
  }
  fail("cannot find the program " + name + " (install mariadb-server and mariadb-client)");
}

// The environment of every child: the caller's, with HOME pointed at an empty folder and the client's
// MYSQL_* overrides removed, so no option file or variable of the machine's own set-up is read.
std::vector<std::string> child_environment(const std::string& home) {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    std::string v = *e;
    if (v.rfind("HOME=", 0) == 0 || v.rfind("MYSQL_", 0) == 0 || v.rfind("MARIADB_", 0) == 0) continue;
    env.push_back(v);
  }
  env.push_back("HOME=" + home);
  return env;
}

struct spawn_spec {
  std::vector<std::string> argv;
  std::vector<std::string> env;
  std::string stdin_path = "/dev/null";
  std::string output_path = "/dev/null";  // stdout and stderr
  bool die_with_parent = false;
  bool new_session = false;
};

pid_t spawn(const spawn_spec& spec) {
  // Everything the child touches is prepared before fork(): only async-signal-safe calls follow it.
  std::vector<char*> argv, envp;
  for (const auto& a : spec.argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const auto& e : spec.env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) fail(std::string("fork failed: ") + std::strerror(errno));
  if (pid == 0) {
    if (spec.new_session) ::setsid();
    if (spec.die_with_parent) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (::getppid() != parent) ::_exit(127);
    }
    int in = ::open(spec.stdin_path.c_str(), O_RDONLY);
    int out = ::open(spec.output_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (in < 0 || out < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(out, 2);
    for (int fd = 3; fd < 1024; ++fd) ::close(fd);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  return pid;
}

// Waits for a child; returns its wait status, or -1 when it is still running after `timeout`.
int wait_child(pid_t pid, std::chrono::milliseconds timeout) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) return status;
    if (r < 0 && errno != EINTR) return 0;  // not our child (any more)
    if (std::chrono::steady_clock::now() >= until) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

int run(const spawn_spec& spec) {
  pid_t pid = spawn(spec);
  int status = wait_child(pid, std::chrono::minutes(10));
  if (status == -1) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// How long a starting server may take to answer, and how long a clean shutdown may take. Generous: with every
// core busy (ctest -j and parallel builds), InnoDB start-up has been seen to take tens of seconds.
constexpr std::chrono::seconds k_start_timeout{300};
constexpr std::chrono::seconds k_shutdown_timeout{300};

// The kernel's range for ports it hands out by itself (bind to port 0, outgoing connections).
std::pair<unsigned, unsigned> ephemeral_range() {
  std::ifstream in("/proc/sys/net/ipv4/ip_local_port_range");
  unsigned low = 32768, high = 60999;
  in >> low >> high;
  return {low, high};
}

// True when a listener could bind 127.0.0.1:port now (with SO_REUSEADDR, as mariadbd binds).
bool port_is_free(unsigned port) {
  int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  int one = 1;
  ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(s);
  return ok;
}

// A port for a new server that no other process takes between choosing and binding it: it lies below the
// kernel's ephemeral range (so neither a bind to port 0 nor an outgoing connection of any process gets it),
// it is reserved among the processes of this machine by a lock on a file named after it, held for as long as
// the server lives, and it is free when checked. The lock descriptor is returned in lock_fd (-1: none could
// be taken, the port is then only checked).
unsigned reserve_port(int& lock_fd) {
  lock_fd = -1;
  const unsigned low_ephemeral = ephemeral_range().first;
  const unsigned first = 20000, last = low_ephemeral > first + 1000 ? low_ephemeral - 1 : 29999;
  const std::string folder = "/tmp/tt-mariadb-ports";
  if (::mkdir(folder.c_str(), 0777) == 0) ::chmod(folder.c_str(), 01777);  // every user's tests share it
  static unsigned turn = 0;
  const unsigned span = last - first + 1;
  const unsigned start = (static_cast<unsigned>(::getpid()) * 7919u + 131u * turn++) % span;
  for (unsigned i = 0; i < span; ++i) {
    const unsigned port = first + (start + i) % span;
    const std::string lock = folder + "/" + std::to_string(port);
    int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      continue;  // another process holds it
    }
    if (!port_is_free(port)) {
      if (fd >= 0) ::close(fd);
      continue;
    }
    lock_fd = fd;
    return port;
  }
  fail("no free port between " + std::to_string(first) + " and " + std::to_string(last));
}

uint64_t fnv1a(uint64_t h, const std::string& s) {
  for (unsigned char c : s) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

void init_client_library() {
  static std::once_flag once;
  std::call_once(once, [] { mysql_library_init(0, nullptr, nullptr); });
}

// An open client connection, closed on scope exit.
struct connection {
  MYSQL* m = nullptr;
  ~connection() {
    if (m) mysql_close(m);
  }
};

// Connects as root over the socket (admin == true) or as the test user over TCP.
// Returns an error text instead of throwing when `quiet` (used while waiting for start-up).
bool connect(connection& c, const mariadb_facts& f, bool admin, const std::string& db, std::string* error) {
  init_client_library();
  c.m = mysql_init(nullptr);
  if (!c.m) fail("mysql_init failed (out of memory)");
  unsigned timeout = 5;
  mysql_optionsv(c.m, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
  mysql_optionsv(c.m, MYSQL_SET_CHARSET_NAME, "utf8mb4");
  unsigned protocol = admin ? MYSQL_PROTOCOL_SOCKET : MYSQL_PROTOCOL_TCP;
  mysql_optionsv(c.m, MYSQL_OPT_PROTOCOL, &protocol);
  const char* dbp = db.empty() ? nullptr : db.c_str();
  MYSQL* ok = admin ? mysql_real_connect(c.m, "localhost", "root", "", dbp, 0, f.socket.c_str(), CLIENT_MULTI_STATEMENTS)
                    : mysql_real_connect(c.m, f.host.c_str(), f.user.c_str(), f.password.c_str(), dbp, f.port,
                                         nullptr, CLIENT_MULTI_STATEMENTS);
  if (ok) return true;
  std::string e = std::string(mysql_error(c.m)) + " (" + std::to_string(mysql_errno(c.m)) + ")";
  if (!error) fail("cannot connect: " + e);
  *error = e;
  return false;
}

void run_statements(MYSQL* m, const std::string& sql) {
  if (mysql_real_query(m, sql.data(), sql.size()) != 0)
    fail("statement failed: " + std::string(mysql_error(m)) + "\n  in: " + sql.substr(0, 500));
  for (;;) {
    if (MYSQL_RES* r = mysql_store_result(m)) mysql_free_result(r);
    else if (mysql_field_count(m) != 0)
      fail("reading a result failed: " + std::string(mysql_error(m)));
    int next = mysql_next_result(m);
    if (next == -1) break;
    if (next > 0) fail("statement failed: " + std::string(mysql_error(m)) + "\n  in: " + sql.substr(0, 500));
  }
}

std::vector<std::string> server_arguments(const mariadb_facts& f) {
  std::vector<std::string> a = {
      find_program("mariadbd"),
      "--no-defaults",
      "--datadir=" + f.dir + "/data",
      "--socket=" + f.socket,
      "--port=" + std::to_string(f.port),
      "--bind-address=127.0.0.1",
      "--pid-file=" + f.dir + "/mariadbd.pid",
      "--log-error=" + f.dir + "/error.log",
      "--tmpdir=" + f.dir + "/tmp",
      "--skip-name-resolve",
      "--character-set-server=utf8mb4",
      "--collation-server=utf8mb4_general_ci",
      "--innodb-log-file-size=8M",
      "--innodb-buffer-pool-size=32M",
      "--innodb-flush-log-at-trx-commit=0",
      "--innodb-use-native-aio=0",
      "--innodb-doublewrite=0",
      "--max-connections=64",
  };
  if (::geteuid() == 0) a.push_back("--user=root");
  return a;
}

void initialise_data(const mariadb_facts& f) {
  std::vector<std::string> argv = {find_program("mariadb-install-db"),
                                   "--no-defaults",
                                   "--datadir=" + f.dir + "/data",
                                   "--auth-root-authentication-method=normal",
                                   "--skip-test-db",
                                   "--skip-name-resolve",
                                   // Bootstraps running at once must not share temporary tables in /tmp.
                                   "--tmpdir=" + f.dir + "/tmp",
                                   "--innodb-log-file-size=8M"};
  if (::geteuid() == 0) argv.push_back("--user=root");
  spawn_spec spec{argv, child_environment(f.dir + "/home")};
  spec.output_path = f.dir + "/install.log";
  spec.die_with_parent = true;
  if (run(spec) != 0) fail("mariadb-install-db failed:\n" + read_text(spec.output_path));
}

// Drops the anonymous accounts and creates the test user (runs once per fresh data folder).
void create_accounts(const mariadb_facts& f) {
  connection c;
  connect(c, f, true, "", nullptr);
  std::vector<std::string> drops;
  run_statements(c.m, "SELECT 1");
  if (mysql_query(c.m, "SELECT Host FROM mysql.user WHERE User = ''") != 0)
    fail(std::string("listing accounts failed: ") + mysql_error(c.m));
  if (MYSQL_RES* r = mysql_store_result(c.m)) {
    while (MYSQL_ROW row = mysql_fetch_row(r)) drops.push_back(std::string("DROP USER ''@'") + row[0] + "'");
    mysql_free_result(r);
  }
  std::string sql;
  for (const auto& d : drops) sql += d + ";";
  const std::string account = std::string("'") + k_mariadb_user + "'@";
  for (const char* host : {"'%'", "'localhost'"}) {
    sql += "CREATE USER " + account + host + " IDENTIFIED BY '" + k_mariadb_password + "';";
    sql += "GRANT ALL PRIVILEGES ON *.* TO " + account + host + " WITH GRANT OPTION;";
  }
  sql += "FLUSH PRIVILEGES";
  run_statements(c.m, sql);
}

void copy_tree(const std::string& from, const std::string& to, const std::string& home) {
  spawn_spec spec{{find_program("cp"), "-a", from, to}, child_environment(home)};
  spec.die_with_parent = true;
  if (run(spec) != 0) fail("cannot copy " + from + " to " + to);
}

void write_facts_file(const mariadb_facts& f, pid_t pid) {
  std::ofstream out(f.dir + "/facts.env");
  out << "MARIADB_HOST=" << f.host << "\nMARIADB_PORT=" << f.port << "\nMARIADB_USER=" << f.user
      << "\nMARIADB_PASSWORD='" << f.password << "'\nMARIADB_SOCKET=" << f.socket << "\nMARIADB_DIR=" << f.dir
      << "\nMARIADB_PID=" << pid << "\n";
}

}  // namespace

// The data folder of a fresh server is either copied from the template (accounts and seeds included) or
// initialised in place; in the second case, with a template root, the seeded folder becomes the template.
mariadb_server mariadb_server::start(const mariadb_options& options) {
  mariadb_server s;
  s.detached_ = options.detached;
  mariadb_facts& f = s.facts_;
  f.user = k_mariadb_user;
  f.password = k_mariadb_password;
  if (options.dir.empty()) {
    char tmpl[] = "/tmp/tt-mariadb-XXXXXX";
    if (!::mkdtemp(tmpl)) fail(std::string("cannot create a temporary folder: ") + std::strerror(errno));
    f.dir = tmpl;
    s.own_dir_ = true;
  } else {
    fs::create_directories(options.dir);
    f.dir = fs::absolute(options.dir).lexically_normal().string();
    if (fs::exists(f.dir + "/data")) fail("the folder " + f.dir + " already holds a server's data");
  }
  f.socket = f.dir + "/mariadb.sock";
  if (f.socket.size() > 100) fail("the folder path is too long for a unix socket: " + f.dir);
  fs::create_directories(f.dir + "/home");
  fs::create_directories(f.dir + "/tmp");

  // Seeds: a template folder keyed by the server binary and the seed files' contents.
  uint64_t key = fnv1a(1469598103934665603ull, "tt-mariadb-template-v1");
  {
    struct stat st {};
    if (::stat(find_program("mariadbd").c_str(), &st) == 0)
      key = fnv1a(key, std::to_string(st.st_size) + ":" + std::to_string(st.st_mtime));
  }
  for (const auto& seed : options.seed_files) {
    std::ifstream in(seed, std::ios::binary);
    if (!in) fail("cannot read the seed file " + seed);
    std::stringstream ss;
    ss << in.rdbuf();
    key = fnv1a(key, ss.str());
  }
  char keytext[32];
  std::snprintf(keytext, sizeof keytext, "%016llx", static_cast<unsigned long long>(key));

  bool from_template = false;
  int lock_fd = -1;
  std::string template_dir;
  if (!options.template_root.empty()) {
    fs::create_directories(options.template_root);
    template_dir = options.template_root + "/" + keytext;
    lock_fd = ::open((options.template_root + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock_fd < 0) fail("cannot open the template lock in " + options.template_root);
    ::flock(lock_fd, LOCK_EX);
    if (fs::exists(template_dir + "/.complete")) {
      ::flock(lock_fd, LOCK_UN);
      ::close(lock_fd);
      lock_fd = -1;
      copy_tree(template_dir, f.dir + "/data", f.dir + "/home");
      fs::remove(f.dir + "/data/.complete");
      from_template = true;
    }
    // else: keep the lock while building the template below, so other processes wait and then copy it.
  }

  try {
    if (!from_template) initialise_data(f);
    s.launch();
    if (!from_template) {
      create_accounts(f);
      for (const auto& seed : options.seed_files) s.load_file(seed);
      if (lock_fd >= 0) {
        // Shut down cleanly so the copy is consistent, keep the copy, then restart this server on its folder.
        ::kill(s.pid_, SIGTERM);
        const int status = wait_child(s.pid_, k_shutdown_timeout);
        if (status == -1) {
          ::kill(s.pid_, SIGKILL);
          ::waitpid(s.pid_, nullptr, 0);
        }
        s.pid_ = -1;
        if (status == -1) fail("mariadbd did not shut down for the template copy");
        const std::string building = template_dir + ".building-" + std::to_string(::getpid());
        fs::remove_all(building);
        copy_tree(f.dir + "/data", building, f.dir + "/home");
        std::ofstream(building + "/.complete") << "ok\n";
        fs::remove_all(template_dir);
        fs::rename(building, template_dir);
        ::flock(lock_fd, LOCK_UN);
        ::close(lock_fd);
        lock_fd = -1;
        s.launch();
      }
    }
  } catch (...) {
    if (lock_fd >= 0) {
      ::flock(lock_fd, LOCK_UN);
      ::close(lock_fd);
    }
    s.stop();
    throw;
  }
  write_facts_file(f, s.pid_);
  return s;
}

mariadb_server::mariadb_server(mariadb_server&& o) noexcept
    : facts_(std::move(o.facts_)), pid_(o.pid_), own_dir_(o.own_dir_), detached_(o.detached_),
      port_lock_(o.port_lock_) {
  o.pid_ = -1;
  o.own_dir_ = false;
  o.port_lock_ = -1;
}

mariadb_server& mariadb_server::operator=(mariadb_server&& o) noexcept {
  if (this != &o) {
    stop();
    facts_ = std::move(o.facts_);
    pid_ = o.pid_;
    own_dir_ = o.own_dir_;
    detached_ = o.detached_;
    port_lock_ = o.port_lock_;
    o.pid_ = -1;
    o.own_dir_ = false;
    o.port_lock_ = -1;
  }
  return *this;
}

mariadb_server::~mariadb_server() { stop(); }

void mariadb_server::stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);  // the data is thrown away: no need for a clean shutdown
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  release_port();
  if (own_dir_) {
    std::error_code ec;
    fs::remove_all(facts_.dir, ec);
    own_dir_ = false;
  }
}

void mariadb_server::release() {
  pid_ = -1;
  own_dir_ = false;
  release_port();
}

void mariadb_server::release_port() {
  if (port_lock_ >= 0) ::close(port_lock_);
  port_lock_ = -1;
}

bool mariadb_server::stop_by_dir(const std::string& dir) {
  std::ifstream in(dir + "/mariadbd.pid");
  long pid = 0;
  if (!(in >> pid) || pid <= 0) return false;
  if (::kill(static_cast<pid_t>(pid), 0) != 0) return false;
  ::kill(static_cast<pid_t>(pid), SIGTERM);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (::kill(static_cast<pid_t>(pid), 0) == 0) {
    ::waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG);  // reap it when it is our own child
    if (std::chrono::steady_clock::now() >= until) {
      ::kill(static_cast<pid_t>(pid), SIGKILL);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

void mariadb_server::launch() {
  mariadb_facts& f = facts_;
  const std::vector<std::string> env = child_environment(f.dir + "/home");
  for (int attempt = 0;; ++attempt) {
    release_port();
    f.port = reserve_port(port_lock_);
    std::error_code ec;
    fs::remove(f.socket, ec);
    spawn_spec spec{server_arguments(f), env};
    spec.die_with_parent = !detached_;
    spec.new_session = detached_;
    pid_ = spawn(spec);
    // Wait until the server answers, or has died.
    const auto until = std::chrono::steady_clock::now() + k_start_timeout;
    std::string error;
    while (std::chrono::steady_clock::now() < until) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      connection c;
      // The server opens its TCP port before its socket, so an answer on the socket means both are ready.
      if (::access(f.socket.c_str(), F_OK) == 0 && connect(c, f, true, "", &error)) {
        f.version = mysql_get_server_info(c.m);
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const std::string log = read_text(f.dir + "/error.log");
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
    // A program outside the reservation (not one of our servers) may have taken the port: try another.
    if (attempt < 5 && log.find("already in use") != std::string::npos) continue;
    release_port();
    fail("mariadbd did not start (last error: " + error + "):\n" + log);
  }
}

void mariadb_server::exec(const std::string& sql, const std::string& database) const {
  connection c;
  connect(c, facts_, false, database, nullptr);
  run_statements(c.m, sql);
}

std::vector<mariadb_row> mariadb_server::query(const std::string& sql, const std::string& database) const {
  connection c;
  connect(c, facts_, false, database, nullptr);
  if (mysql_real_query(c.m, sql.data(), sql.size()) != 0)
    fail("query failed: " + std::string(mysql_error(c.m)) + "\n  in: " + sql.substr(0, 500));
  std::vector<mariadb_row> rows;
  MYSQL_RES* r = mysql_store_result(c.m);
  if (!r) {
    if (mysql_field_count(c.m) != 0) fail("reading a result failed: " + std::string(mysql_error(c.m)));
    return rows;
  }
  const unsigned n = mysql_num_fields(r);
  while (MYSQL_ROW row = mysql_fetch_row(r)) {
    unsigned long* len = mysql_fetch_lengths(r);
    mariadb_row out(n);
    for (unsigned i = 0; i < n; ++i)
      if (row[i]) out[i] = std::string(row[i], len[i]);
    rows.push_back(std::move(out));
  }
  mysql_free_result(r);
  return rows;
}

void mariadb_server::load_file(const std::string& path, const std::string& database) const {
  if (::access(path.c_str(), R_OK) != 0) fail("cannot read " + path);
  std::vector<std::string> argv = {find_program("mariadb"), "--no-defaults", "--protocol=socket",
                                   "--socket=" + facts_.socket, "--user=root", "--default-character-set=utf8mb4",
                                   "--batch"};
  if (!database.empty()) argv.push_back(database);
  spawn_spec spec{argv, child_environment(facts_.dir + "/home")};
  spec.stdin_path = path;
  spec.output_path = facts_.dir + "/load.log";
  spec.die_with_parent = true;
  std::error_code ec;
  fs::remove(spec.output_path, ec);
  if (run(spec) != 0) fail("loading " + path + " failed:\n" + read_text(spec.output_path));
}

}  // namespace tt_test
