// sql_client over the MySQL C client library: one MYSQL connection and its streaming results.
#include "SQL/sql_client.h"

#include <mysql.h>
#include <sys/socket.h>

#include <atomic>
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
  ~mysql_client() override { close(); }

  void init(const std::string& option_group, unsigned connect_timeout_seconds) override {
    close();
    abandoned_.store(false);
    connection_ = mysql_init(nullptr);
    if (!connection_) return;
    if (!option_group.empty()) mysql_options(connection_, MYSQL_READ_DEFAULT_GROUP, option_group.c_str());
    mysql_options(connection_, MYSQL_OPT_CONNECT_TIMEOUT, &connect_timeout_seconds);
  }

  bool connect(const std::string& host, const std::string& user, const std::string& password,
               unsigned port) override {
    if (!connection_) return false;
    if (!mysql_real_connect(connection_, host.empty() ? nullptr : host.c_str(), user.c_str(), password.c_str(),
                            nullptr, port, nullptr, CLIENT_REMEMBER_OPTIONS))
      return false;
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
  MYSQL* connection_ = nullptr;
  std::atomic<int> socket_{-1};
  std::atomic<bool> abandoned_{false};
};

}  // namespace

std::unique_ptr<sql_client> sql_make_mysql_client() { return std::make_unique<mysql_client>(); }
