// sql_client over the MySQL C client library: one MYSQL connection and its streaming results.
#include "SQL/sql_client.h"

#include <mysql.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <chrono>
#include <mutex>

namespace {

class mysql_result final : public sql_result {
 public:
  mysql_result(MYSQL* connection, MYSQL_RES* result) : connection_(connection), result_(result) {
    const unsigned n = mysql_num_fields(result_);
    const MYSQL_FIELD* fields = mysql_fetch_fields(result_);
    columns_.reserve(n);
    for (unsigned i = 0; i < n; ++i) {
      sql_column c;
      c.name.assign(fields[i].name, fields[i].name_length);
      c.type = static_cast<int>(fields[i].type);
      c.length = fields[i].length;
      c.flags = fields[i].flags;
      c.decimals = fields[i].decimals;
      c.charsetnr = fields[i].charsetnr;
      columns_.push_back(std::move(c));
    }
  }
  ~mysql_result() override { mysql_free_result(result_); }

  const std::vector<sql_column>& columns() const override { return columns_; }

  sql_fetch fetch(sql_row& row) override {
    MYSQL_ROW cells = mysql_fetch_row(result_);
    if (!cells) return mysql_errno(connection_) != 0 ? sql_fetch::error : sql_fetch::end;
    const unsigned long* lengths = mysql_fetch_lengths(result_);
    const std::size_t n = columns_.size();
    row.cells.assign(cells, cells + n);
    row.lengths.assign(lengths, lengths + n);
    return sql_fetch::row;
  }

  void clear_flags(std::size_t column) override {
    if (column < columns_.size()) columns_[column].flags = 0;
  }

 private:
  MYSQL* connection_;
  MYSQL_RES* result_;
  std::vector<sql_column> columns_;
};

class mysql_statement final : public sql_statement {
 public:
  explicit mysql_statement(MYSQL_STMT* statement) : statement_(statement) {}
  ~mysql_statement() override { mysql_stmt_close(statement_); }

  bool prepare(const std::string& text) override {
    return mysql_stmt_prepare(statement_, text.data(), static_cast<unsigned long>(text.size())) == 0;
  }
  bool bind_long_data(const std::vector<bool>& binary) override {
    // The bindings and their length slots must outlive the call: the library keeps pointers to both.
    bindings_.assign(binary.size(), MYSQL_BIND{});
    lengths_.assign(binary.size(), 0ul);
    for (std::size_t i = 0; i < binary.size(); ++i) {
      bindings_[i].buffer_type = binary[i] ? MYSQL_TYPE_BLOB : MYSQL_TYPE_STRING;
      bindings_[i].length = &lengths_[i];
    }
    return mysql_stmt_bind_param(statement_, bindings_.data()) == 0;
  }
  bool send_long_data(unsigned parameter, const char* data, unsigned long length) override {
    return mysql_stmt_send_long_data(statement_, parameter, data, length) == 0;
  }
  bool execute() override { return mysql_stmt_execute(statement_) == 0; }
  std::string error_text() override { return mysql_stmt_error(statement_); }

 private:
  MYSQL_STMT* statement_;
  std::vector<MYSQL_BIND> bindings_;
  std::vector<unsigned long> lengths_;
};

class mysql_client final : public sql_client {
 public:
  mysql_client() {
    // The library's global set-up is not thread-safe on first use: do it once, before any connection.
    static std::once_flag once;
    std::call_once(once, [] { mysql_library_init(0, nullptr, nullptr); });
  }
  ~mysql_client() override {
    close();
    if (wake_ >= 0) ::close(wake_);
  }

  void init(const std::string& option_group, unsigned connect_timeout_seconds) override {
    close();
    abandoned_.store(false);
    uint64_t pending = 0;
    if (wake_ >= 0 && ::read(wake_, &pending, sizeof pending) < 0) {
      // Nothing was pending: the counter is zero already.
    }
    connection_ = mysql_init(nullptr);
    if (!connection_) return;
    if (!option_group.empty()) mysql_options(connection_, MYSQL_READ_DEFAULT_GROUP, option_group.c_str());
    mysql_options(connection_, MYSQL_OPT_CONNECT_TIMEOUT, &connect_timeout_seconds);
    // The connection is made step by step (below), so that giving it up does not wait for the time-out.
    // Every later call on it still blocks as usual.
    mysql_options(connection_, MYSQL_OPT_NONBLOCK, nullptr);
  }

  bool connect(const std::string& host, const std::string& user, const std::string& password,
               unsigned port) override {
    if (!connection_) return false;
    MYSQL* made = nullptr;
    int waiting = mysql_real_connect_start(&made, connection_, host.empty() ? nullptr : host.c_str(), user.c_str(),
                                           password.c_str(), nullptr, port, nullptr, CLIENT_REMEMBER_OPTIONS);
    while (waiting != 0) waiting = mysql_real_connect_cont(&made, connection_, wait_for(waiting));
    if (!made) return false;
    // Kept apart from the connection so that `abandon` need not touch the library's state, which the thread
    // reading a result ahead may be using.
    const int fd = static_cast<int>(mysql_get_socket(connection_));
    socket_.store(fd);
    // Given up while it was being made: the connection is shut as soon as it exists.
    if (abandoned_.load()) ::shutdown(fd, SHUT_RDWR);
    return true;
  }

  void close() override {
    socket_.store(-1);
    if (connection_) mysql_close(connection_);
    connection_ = nullptr;
  }

  void abandon() override {
    // Both ways shut: a read under way or to come ends at once, and the server, whose next write fails, ends
    // the statement. The descriptor stays open until close, so it cannot be reused meanwhile.
    abandoned_.store(true);
    const int fd = socket_.load();
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
    // Wakes a connection being made; the count stays until the next init, so every later wait sees it too.
    const uint64_t one = 1;
    if (wake_ >= 0 && ::write(wake_, &one, sizeof one) < 0) {
      // The counter is full: a wake-up is pending already.
    }
  }

  bool query(const std::string& statement) override {
    return connection_ && mysql_real_query(connection_, statement.data(), statement.size()) == 0;
  }

  std::unique_ptr<sql_result> use_result() override {
    if (!connection_) return nullptr;
    MYSQL_RES* r = mysql_use_result(connection_);
    if (!r) return nullptr;
    return std::make_unique<mysql_result>(connection_, r);
  }

  int next_result() override { return connection_ ? mysql_next_result(connection_) : -1; }

  bool select_db(const std::string& name) override {
    return connection_ && mysql_select_db(connection_, name.c_str()) == 0;
  }

  std::unique_ptr<sql_result> list_tables() override {
    if (!connection_) return nullptr;
    MYSQL_RES* r = mysql_list_tables(connection_, nullptr);
    if (!r) return nullptr;
    return std::make_unique<mysql_result>(connection_, r);
  }

  std::string server_info() override {
    const char* info = connection_ ? mysql_get_server_info(connection_) : nullptr;
    return info ? info : "";
  }
  unsigned max_bytes_per_char(unsigned charsetnr) override {
    if (charsetnr == sql_binary_charset) return 1;
    const MARIADB_CHARSET_INFO* cs = mariadb_get_charset_by_nr(charsetnr);
    return cs ? cs->char_maxlen : 0;
  }
  bool escape_string(const std::string& text, std::string& escaped) override {
    escaped.assign(text.size() * 2 + 1, '\0');
    const unsigned long n =
        connection_ ? mysql_real_escape_string(connection_, escaped.data(), text.data(),
                                               static_cast<unsigned long>(text.size()))
                    : mysql_escape_string(escaped.data(), text.data(), static_cast<unsigned long>(text.size()));
    if (n == static_cast<unsigned long>(-1)) {
      escaped.clear();
      return false;
    }
    escaped.resize(n);
    return true;
  }
  std::unique_ptr<sql_statement> new_statement() override {
    MYSQL_STMT* statement = connection_ ? mysql_stmt_init(connection_) : nullptr;
    if (!statement) return nullptr;
    return std::make_unique<mysql_statement>(statement);
  }
  unsigned error_number() override { return connection_ ? mysql_errno(connection_) : 2006u; }
  std::string error_text() override {
    return connection_ ? mysql_error(connection_) : "MySQL server has gone away";
  }

 private:
  // Waits for what the library waits for while it connects (`waiting`: its MYSQL_WAIT_* flags) and returns what
  // happened, for mysql_real_connect_cont. Once the connection is given up the socket is shut and the library is
  // told its time ran out (or, where it set no time, that the socket is ready, which it then finds shut), so the
  // attempt fails at once instead of waiting out the connect time-out.
  int wait_for(int waiting) {
    const int fd = static_cast<int>(mysql_get_socket(connection_));
    const bool timed = (waiting & MYSQL_WAIT_TIMEOUT) != 0;
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(timed ? mysql_get_timeout_value_ms(connection_) : 0);
    short events = 0;
    if (waiting & MYSQL_WAIT_READ) events |= POLLIN;
    if (waiting & MYSQL_WAIT_WRITE) events |= POLLOUT;
    if (waiting & MYSQL_WAIT_EXCEPT) events |= POLLPRI;
    for (;;) {
      if (abandoned_.load()) {
        if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
        return timed ? MYSQL_WAIT_TIMEOUT : waiting & (MYSQL_WAIT_READ | MYSQL_WAIT_WRITE | MYSQL_WAIT_EXCEPT);
      }
      int timeout = -1;
      if (timed) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return MYSQL_WAIT_TIMEOUT;
        timeout = static_cast<int>(left.count());
      }
      pollfd watched[2] = {{fd, events, 0}, {wake_, POLLIN, 0}};
      const int n = ::poll(watched, 2, timeout);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return timed ? MYSQL_WAIT_TIMEOUT : waiting & (MYSQL_WAIT_READ | MYSQL_WAIT_WRITE);
      if ((watched[1].revents & POLLIN) && !abandoned_.load()) {
        // A wake-up meant for an attempt before this one.
        uint64_t stale = 0;
        if (::read(wake_, &stale, sizeof stale) < 0) {
          // Read by then.
        }
      }
      if (n == 0 || watched[0].revents == 0) continue;  // the time is checked, or the wake-up seen, above
      int happened = 0;
      // An error or a hang-up is handed on as the readiness asked for: the library's next step then meets it.
      const short failed = POLLERR | POLLHUP | POLLNVAL;
      if (watched[0].revents & (POLLIN | failed)) happened |= waiting & MYSQL_WAIT_READ;
      if (watched[0].revents & (POLLOUT | failed)) happened |= waiting & MYSQL_WAIT_WRITE;
      if (watched[0].revents & POLLPRI) happened |= waiting & MYSQL_WAIT_EXCEPT;
      if (happened != 0) return happened;
    }
  }

  MYSQL* connection_ = nullptr;
  std::atomic<int> socket_{-1};
  std::atomic<bool> abandoned_{false};
  // Written by abandon: what a connection being made waits on besides its socket.
  int wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
};

}  // namespace

std::unique_ptr<sql_client> sql_make_mysql_client() { return std::make_unique<mysql_client>(); }
