// The seam between the MySQL engine and the MySQL C client library.
//
// Everything the engine asks of the client library goes through `sql_client`: connecting, sending a
// statement, streaming its result row by row (mysql_use_result), the last error, the server's version text,
// selecting a database and the old-server table list. `sql_mysql_client` is the real implementation over one
// `MYSQL` connection; tests substitute a scripted client to reach branches no live server shows (servers
// before 4.1, a failing session statement, a stream that breaks in the middle).
//
// A result is a stream: `fetch` hands out one row at a time and tells the end of the rows apart from a
// failure (a broken connection mid-stream), so the engine never takes a lost stream for the end of data.
// At most one result may be pending on a client; it must be read to its end or destroyed before the next
// statement is sent (the library refuses the statement otherwise).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The client library's type codes and flags the engine reads (the values of mysql_com.h, fixed by the
// protocol).
enum sql_column_type : int {
  sql_type_decimal = 0, sql_type_tiny = 1, sql_type_short = 2, sql_type_long = 3, sql_type_float = 4,
  sql_type_double = 5, sql_type_null = 6, sql_type_timestamp = 7, sql_type_longlong = 8, sql_type_int24 = 9,
  sql_type_date = 10, sql_type_time = 11, sql_type_datetime = 12, sql_type_year = 13, sql_type_newdate = 14,
  sql_type_varchar = 15, sql_type_bit = 16, sql_type_json = 245, sql_type_newdecimal = 246, sql_type_enum = 247,
  sql_type_set = 248, sql_type_tiny_blob = 249, sql_type_medium_blob = 250, sql_type_long_blob = 251,
  sql_type_blob = 252, sql_type_var_string = 253, sql_type_string = 254, sql_type_geometry = 255,
};

constexpr unsigned sql_flag_not_null = 0x1;
constexpr unsigned sql_flag_unsigned = 0x20;
constexpr unsigned sql_flag_binary = 0x80;
constexpr unsigned sql_flag_auto_increment = 0x200;
// The character-set number of binary data: a string or blob column holds bytes exactly when it has this one.
constexpr unsigned sql_binary_charset = 63;

// One column of a result, as the client library describes it.
struct sql_column {
  std::string name;  // UTF-8
  int type = sql_type_null;
  uint64_t length = 0;  // the column's maximum length in bytes of the session character set
  unsigned flags = 0;
  unsigned decimals = 0;
  unsigned charsetnr = 0;
};

// One row of a result: the cells as the library gives them (null for SQL NULL) and their lengths in bytes.
// The pointers stay valid until the next fetch or the end of the result.
struct sql_row {
  std::vector<const char*> cells;
  std::vector<unsigned long> lengths;
  bool is_null(std::size_t i) const { return cells[i] == nullptr; }
  std::string text(std::size_t i) const { return cells[i] ? std::string(cells[i], lengths[i]) : std::string(); }
};

enum class sql_fetch { row, end, error };

// A prepared statement whose parameters all travel as long data (mysql_stmt_*): used for rows whose values are
// too large to stand in a statement's text. The parameters are numbered from 0 in the order of the "?"s.
class sql_statement {
 public:
  virtual ~sql_statement() = default;
  // mysql_stmt_prepare with the text and its length; true on success.
  virtual bool prepare(const std::string& text) = 0;
  // Binds one parameter per entry, each without a buffer and with its own length slot: bytes for a binary
  // column (true), text in the session's character set otherwise. True on success.
  virtual bool bind_long_data(const std::vector<bool>& binary) = 0;
  // Appends the next piece of a parameter's value; true on success.
  virtual bool send_long_data(unsigned parameter, const char* data, unsigned long length) = 0;
  virtual bool execute() = 0;
  virtual std::string error_text() = 0;
};

class sql_result {
 public:
  virtual ~sql_result() = default;
  virtual const std::vector<sql_column>& columns() const = 0;
  // The next row into `row`; `end` after the last one; `error` when the stream broke (the client's
  // error_number/error_text then say why).
  virtual sql_fetch fetch(sql_row& row) = 0;
  // Clears a column's flags (the engine does so to read catalogue names always as text).
  virtual void clear_flags(std::size_t column) = 0;
};

class sql_client {
 public:
  virtual ~sql_client() = default;

  // Prepares a fresh connection structure with the option-file group and connect time-out given.
  virtual void init(const std::string& option_group, unsigned connect_timeout_seconds) = 0;
  // True on success. The port is ignored for an empty host (the local socket).
  virtual bool connect(const std::string& host, const std::string& user, const std::string& password,
                       unsigned port) = 0;
  virtual void close() = 0;
  // Sends one statement (its exact bytes, NULs included); true on success.
  virtual bool query(const std::string& statement) = 0;
  // The streaming result of the last statement; null when it has none or on failure (error_number tells).
  virtual std::unique_ptr<sql_result> use_result() = 0;
  // Moves to the next result of a statement that gave several (a CALL): 0 there is one, -1 there is none,
  // above 0 an error.
  virtual int next_result() = 0;
  virtual bool select_db(const std::string& name) = 0;
  // The table list of the current database through the library (old servers); null on failure.
  virtual std::unique_ptr<sql_result> list_tables() = 0;
  virtual std::string server_info() = 0;
  // The most bytes one character of the character set (by number) takes; 0 when the library does not know it.
  virtual unsigned max_bytes_per_char(unsigned charsetnr) = 0;
  virtual unsigned error_number() = 0;
  virtual std::string error_text() = 0;
  // Gives the connection up at once, from any thread: the rest of a result still streaming is neither read nor
  // waited for (a read under way on another thread fails), and every later call fails as on a lost connection.
  // A connection being made meanwhile fails at once, without waiting for the connect time-out (a host that
  // takes the connection and never answers); the next init starts afresh.
  // For a run that stops in the middle of a large result, whose rest could take as long to read as the run took.
  virtual void abandon() = 0;

  // The inside of a single-quoted string literal holding the bytes of `text`, escaped by the client library
  // for the connection's character set and the session's sql_mode (quotes doubled instead of backslashed under
  // NO_BACKSLASH_ESCAPES). NUL bytes stay possible: statements are sent with their length. False when the
  // library refuses the text.
  virtual bool escape_string(const std::string& text, std::string& escaped) = 0;
  // A new prepared statement on the connection (mysql_stmt_init); null when the library cannot make one.
  virtual std::unique_ptr<sql_statement> new_statement() = 0;
};

// The real client over libmariadb / libmysqlclient.
std::unique_ptr<sql_client> sql_make_mysql_client();
