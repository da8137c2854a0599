// The MySQL engine: connection, session set-up, version, database list and database operations.
#include "SQL/sql_engi.h"

#include <cstdlib>
#include <mutex>

#include "SQL/sql_db.h"
#include "SQL/sql_util.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"

// ---- Exceptions -------------------------------------------------------------------------------------------------

sql_exception::sql_exception() : sql_exception(sql_engine::instance().client()) {}

sql_exception::sql_exception(sql_client& client) : sql_exception(client.error_number(), client.error_text()) {}

sql_exception::sql_exception(unsigned error_number, const std::string& text)
    : tk_exception(tk_mysql_code_offset + static_cast<int32_t>(error_number & 0xFFFF), 0, text) {
  tk_trace(2, "sql_exception::sql_exception( msg=%s)", text.c_str());
  tk_trace(2, "Got MySQL error code=%d", code);
}

sql_exception::~sql_exception() = default;

sql_auth_not_supported_exception::sql_auth_not_supported_exception()
    : tk_exception(0, 1,
                   "The program does not support authentication protocol requested by server. See "
                   "'Troubleshooting' article of the product documentation.") {}
sql_auth_not_supported_exception::~sql_auth_not_supported_exception() = default;

sql_prep_stmt_failed_exception::sql_prep_stmt_failed_exception()
    : tk_exception(0x400BB9, 1, "Failed to execute prepared statement") {}
sql_prep_stmt_failed_exception::sql_prep_stmt_failed_exception(const std::string& detail, int32_t level)
    : tk_exception(0x400BB9, level, "Failed to execute prepared statement: " + detail) {}
sql_prep_stmt_failed_exception::~sql_prep_stmt_failed_exception() = default;

// ---- Engine -----------------------------------------------------------------------------------------------------

sql_engine::sql_engine(std::unique_ptr<sql_client> client) : client_(std::move(client)) { initialize(); }

sql_engine::~sql_engine() {
  tk_trace(2, "sql_engine::dtor");
  if (connected_) {
    try {
      if (!execute("SET FOREIGN_KEY_CHECKS = 1"))
        tk_trace(2, "Cannot turn ON foreign key check: %s", client_->error_text().c_str());
    } catch (...) {
    }
  }
  client_->close();
  tk_trace(2, "sql_engine::dtor - END");
}

void sql_engine::initialize() {
  tk_trace(1, "sql_engine::initialize");
  // The option group names a section of the client's option files; connection settings given to connect win.
  client_->init("LD MySQL Lib", 10);
  tk_trace(1, "sql_engine::initialize - END");
}

bool sql_engine::execute(const std::string& statement) {
  if (!client_->query(statement)) return false;
  // Drain whatever results the statement gave (a CALL gives several), so the connection is free for the next.
  for (;;) {
    if (auto result = client_->use_result()) {
      sql_row row;
      sql_fetch f;
      while ((f = result->fetch(row)) == sql_fetch::row) {
      }
      if (f == sql_fetch::error) return false;
    }
    const int next = client_->next_result();
    if (next < 0) return true;
    if (next > 0) return false;
  }
}

void sql_engine::connect(const std::string& host, const std::string& user, const std::string& password, int port) {
  // The password is never written to the trace.
  tk_trace(2, "sql_engine::connect(%s,%s,%s,%d)", host.c_str(), user.c_str(), password.empty() ? "" : "***", port);
  if (connected_) {
    tk_trace(2, "Connection was established already - disconnecting first...");
    client_->close();
    initialize();
    connected_ = false;
  }
  version_ = 0;
  mariadb_ = false;
  max_allowed_packet_ = 0;
  widths_known_ = false;
  widths_.clear();
  current_known_ = false;
  tk_trace(3, "Connecting to MySQL server...");
  if (!client_->connect(host, user, password, static_cast<unsigned>(port < 0 ? 0 : port))) {
    sql_exception e(*client_);
    // The structure of a failed attempt is not reused: the next connect starts from a fresh one.
    initialize();
    throw e;
  }
  connected_ = true;

  tk_trace(2, "Setting UTF-8 collation...");
  session_mbmaxlen_ = 4;
  if (!execute("SET NAMES utf8mb4")) {
    // Servers before 5.5.3 know only the three-byte form.
    session_mbmaxlen_ = 3;
    if (!execute("SET NAMES utf8")) {
      tk_trace(3, "Failed to set UTF-8 collation");
      tk_trace(2, "Cannot set UTF-8 collation: %s", client_->error_text().c_str());
    }
  }
  tk_trace(2, "Setting wait_timeout...");
  if (!execute("set session wait_timeout=cast(if(@@session.wait_timeout < 28800,28800,@@session.wait_timeout) "
               "as unsigned);")) {
    tk_trace(3, "Failed to set wait_timeout");
    tk_trace(2, "Cannot set wait_timeout: %s", client_->error_text().c_str());
  }
  if (!execute("set session net_write_timeout=cast(if(@@session.net_write_timeout < 28800,28800,"
               "@@session.net_write_timeout) as unsigned);"))
    tk_trace(2, "Cannot set net_write_timeout: %s", client_->error_text().c_str());

  const std::string info = client_->server_info();
  if (info.empty()) return;  // no version: nothing version-dependent can be set up
  {
    tk_trace(2, "Got MySQL server version: %s", info.c_str());
    uint32_t packed = 0;
    if (!sql_parse_server_version(info, packed)) {
      tk_trace(3, "Invalid MySQL version: %s", info.c_str());
      throw tk_mail_assertion("sql_engi", 375);
    }
    version_ = packed;
    mariadb_ = info.find("MariaDB") != std::string::npos;
    tk_trace(1, "Hex version: %08X", version_);
    if (version_ == sql_version_4_1_0 && !password.empty()) throw sql_auth_not_supported_exception();
  }
  if (!execute("SET FOREIGN_KEY_CHECKS = 0"))
    tk_trace(2, "Cannot turn off foreign key check: %s", client_->error_text().c_str());
}

std::vector<std::wstring> sql_engine::get_contents() {
  tk_trace(2, "sql_engine::get_contents");
  std::vector<std::wstring> names;
  try {
    if (!client_->query("SHOW DATABASES")) return names;
    std::unique_ptr<sql_result> result = client_->use_result();
    if (!result) return names;
    sql_row row;
    for (;;) {
      const sql_fetch f = result->fetch(row);
      if (f == sql_fetch::end) break;
      if (f == sql_fetch::error) throw sql_exception(*client_);
      if (row.cells.empty() || row.is_null(0)) continue;
      names.push_back(tk_utf8_to_unicode(row.text(0)));
      tk_trace(2, "Got database (1): %s", row.text(0).c_str());
    }
  } catch (const std::exception& e) {
    tk_trace(2, "ERROR: %s", e.what());
  }
  return names;
}

std::unique_ptr<udb_database> sql_engine::create_db(const std::wstring& name) {
  tk_trace_w(2, L"sql_engine::create_db (%s)", name.c_str());
  tk_trace_w(3, L"Creating MySQL database '%s'", name.c_str());
  const std::string text = "CREATE DATABASE " + table_ref(name) + " character set " + tk_to_utf8(charset_);
  tk_trace(2, "Run SQL-query: %s", text.c_str());
  if (!execute(text)) throw sql_exception(*client_);
  return open_db(name, 2);
}

std::unique_ptr<udb_database> sql_engine::open_db(const std::wstring& name, int32_t mode, const std::wstring&) {
  tk_trace_w(2, L"sql_engine::open_db (%s)", name.c_str());
  tk_trace_w(3, L"Opening MySQL database '%s'", name.c_str());
  current_known_ = false;
  if (!client_->select_db(tk_to_utf8(name))) throw sql_exception(*client_);
  current_known_ = true;
  current_db_ = name;
  return std::make_unique<sql_database>(name, *this, mode);
}

void sql_engine::db_delete(const std::wstring& name) {
  tk_trace_w(2, L"sql_engine::db_delete(%s)", name.c_str());
  tk_trace_w(3, L"Deleting MySQL database '%s'", name.c_str());
  if (!execute("SET FOREIGN_KEY_CHECKS = 0"))
    tk_trace(2, "Cannot turn off foreign key check: %s", client_->error_text().c_str());
  if (!execute("DROP DATABASE " + table_ref(name))) throw sql_exception(*client_);
  if (current_known_ && current_db_ == name) current_known_ = false;
  if (!execute("SET FOREIGN_KEY_CHECKS = 1"))
    tk_trace(2, "Cannot turn on foreign key check: %s", client_->error_text().c_str());
}

bool sql_engine::is_db_exist(const std::wstring& name) {
  tk_trace_w(1, L"sql_engine::is_db_exist(%s)", name.c_str());
  current_known_ = false;
  const bool ok = client_->select_db(tk_to_utf8(name));
  if (ok) {
    current_known_ = true;
    current_db_ = name;
  }
  tk_trace(1, "n_result=%d", ok ? 0 : 1);
  return ok;
}

void sql_engine::set_properties(const udb_engine_properties* properties) {
  tk_trace(1, "sql_engine::set_properties");
  properties_ = properties;
  if (!properties) return;
  auto engine = properties->find(L"engine");
  if (engine == properties->end()) {
    tk_trace(1, "Set InnoDB as default");
    table_type_ = L"InnoDB";
  } else {
    tk_trace_w(1, L"Set tab.type='%s'", engine->second.c_str());
    table_type_ = engine->second;
  }
  auto charset = properties->find(L"character set");
  if (charset != properties->end()) charset_ = charset->second;
}

void sql_engine::set_blob_to_text(bool value) {
  tk_trace(2, "sql_engine::set_blob_to_text(%d)", value ? 1 : 0);
  blob_to_text_ = value;
}

void sql_engine::use_database(const std::wstring& name) {
  if (current_known_ && current_db_ == name) return;
  tk_trace_w(2, L"Selecting database '%s' again", name.c_str());
  current_known_ = false;
  if (!client_->select_db(tk_to_utf8(name))) throw sql_exception(*client_);
  current_known_ = true;
  current_db_ = name;
}

bool sql_engine::is_old_version() const {
  tk_trace(1, "is_old_version(%08X)", version_);
  return version_ < sql_version_4_1_0;
}

std::wstring sql_engine::get_safe_name(const std::wstring& name) const {
  tk_trace_w(1, L"sql_engine::get_safe_name(%s)", name.c_str());
  if (name.empty()) {
    tk_trace(1, "Preserve the original name");
    return name;
  }
  std::wstring quoted = sql_quote_name(name);
  tk_trace_w(1, L"Returns [%s]", quoted.c_str());
  return quoted;
}

std::string sql_engine::table_ref(const std::wstring& name) const {
  return tk_to_utf8(is_old_version() ? name : get_safe_name(name));
}

const std::map<std::string, unsigned>& sql_engine::character_set_widths() {
  if (widths_known_) return widths_;
  if (!client_->query("SELECT CHARACTER_SET_NAME, MAXLEN FROM information_schema.CHARACTER_SETS"))
    throw sql_exception(*client_);
  std::unique_ptr<sql_result> result = client_->use_result();
  if (!result) throw sql_exception(*client_);
  sql_row row;
  std::map<std::string, unsigned> widths;
  for (;;) {
    const sql_fetch f = result->fetch(row);
    if (f == sql_fetch::end) break;
    if (f == sql_fetch::error) throw sql_exception(*client_);
    if (row.cells.size() > 1 && !row.is_null(0) && !row.is_null(1))
      widths[row.text(0)] = static_cast<unsigned>(std::atoi(row.text(1).c_str()));
  }
  widths_ = std::move(widths);
  widths_known_ = true;
  return widths_;
}

int32_t sql_engine::get_max_allowed_packet() {
  tk_trace(1, "sql_engine::get_max_allowed_packet");
  if (max_allowed_packet_ != 0) return max_allowed_packet_;
  if (!connected_) return 0;
  if (!client_->query("SHOW VARIABLES LIKE 'max_allowed_packet'")) throw sql_exception(*client_);
  std::unique_ptr<sql_result> result = client_->use_result();
  if (!result) throw sql_exception(*client_);
  sql_row row;
  int32_t value = 0;
  bool first = true;
  for (;;) {
    const sql_fetch f = result->fetch(row);
    if (f == sql_fetch::end) break;
    if (f == sql_fetch::error) throw sql_exception(*client_);
    if (first && row.cells.size() > 1) value = static_cast<int32_t>(std::atoi(row.text(1).c_str()));
    first = false;
  }
  max_allowed_packet_ = value;
  tk_trace(1, "max_packet_size=%d", value);
  return value;
}

std::wstring sql_engine::get_native_type_name(int id) {
  static const wchar_t* const names[] = {
      L"BINARY",   L"BIT",       L"TINYINT",  L"TINYINT UNSIGNED", L"SMALLINT",   L"SMALLINT UNSIGNED",
      L"INT",      L"INT UNSIGNED", L"BIGINT", L"BIGINT UNSIGNED", L"FLOAT",      L"DECIMAL",
      L"DOUBLE",   L"CHAR",      L"VARBINARY", L"VARCHAR",         L"DATETIME",   L"DATE",
      L"TIME",     L"TIMESTAMP", L"LONGBLOB", L"TINYBLOB",         L"BLOB",       L"MEDIUMBLOB",
      L"TEXT",     L"LONGTEXT",  L"MEDIUMTEXT", L"TINYTEXT"};
  if (id < 0 || id >= static_cast<int>(sizeof names / sizeof names[0])) {
    tk_trace(1, "Type %d wasn't found", id);
    return L"<Unknown type>";
  }
  return names[id];
}
