// The MySQL engine: the one client connection of the process, the server's version, the database list, and
// opening, creating, testing and dropping databases. Every other class of the MySQL engine reaches the
// connection, the version and the engine's flags through the `sql_engine` singleton.
//
// Connecting sets the session up: utf8mb4 (so 4-byte characters arrive intact; utf8 on servers that lack it),
// a wait_timeout and net_write_timeout of at least 8 hours (a row stream may wait long while the destination
// writes), and foreign-key checks off. These session statements are best effort: a failure is traced and the
// connection goes on.
//
// Errors: a failed client call raises `sql_exception` (level 0, code 0x400000 + the MySQL error number, the
// client's text); a server 4.1.0 asked for a password raises `sql_auth_not_supported_exception` (level 1).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "SQL/sql_client.h"
#include "TK/tk_singl.h"
#include "UDB/udb_db.h"
#include "UDB/udb_vali.h"

class sql_engine;

class sql_exception : public tk_exception {
 public:
  // From the engine singleton's connection (its last error).
  sql_exception();
  // From the given client's last error.
  explicit sql_exception(sql_client& client);
  // From an error number and text.
  sql_exception(unsigned error_number, const std::string& text);
  ~sql_exception() override;
};

class sql_auth_not_supported_exception : public tk_exception {
 public:
  sql_auth_not_supported_exception();
  ~sql_auth_not_supported_exception() override;
};

class sql_prep_stmt_failed_exception : public tk_exception {
 public:
  sql_prep_stmt_failed_exception();
  // With the client library's text after the message, at the given level.
  sql_prep_stmt_failed_exception(const std::string& detail, int32_t level);
  ~sql_prep_stmt_failed_exception() override;
};

class sql_engine : public udb_engine, public tk_singleton<sql_engine> {
 public:
  // The real client library unless a test hands in its own client.
  explicit sql_engine(std::unique_ptr<sql_client> client = sql_make_mysql_client());
  ~sql_engine() override;

  // Prepares the connection structure (option-file group, connect time-out of 10 seconds).
  void initialize();
  // Connects (closing an earlier connection first) and sets the session up. Host, user and password are UTF-8.
  void connect(const std::string& host, const std::string& user, const std::string& password, int port);
  bool is_connected() const { return connected_; }
  // The names of the server's databases, in the server's order.
  std::vector<std::wstring> get_contents();

  std::unique_ptr<udb_database> create_db(const std::wstring& name) override;
  // Selects the database and opens it (a sql_database with the given mode); an unknown database raises
  // sql_exception. The password is not used.
  std::unique_ptr<udb_database> open_db(const std::wstring& name, int32_t mode,
                                        const std::wstring& password = std::wstring()) override;
  void db_delete(const std::wstring& name) override;
  // True when the database can be selected; it then becomes the connection's current database.
  bool is_db_exist(const std::wstring& name) override;
  // Takes the table type ("engine") and the character set ("character set") from the settings.
  void set_properties(const udb_engine_properties* properties) override;

  void set_blob_to_text(bool value);
  bool is_blob_to_text() const { return blob_to_text_; }
  bool is_binary_text() const { return binary_text_; }
  bool is_fast_append_allowed() const { return fast_append_allowed_; }
  void set_fast_append_allowed(bool value) { fast_append_allowed_ = value; }
  const std::wstring& get_charset() const { return charset_; }
  const std::wstring& get_table_type() const { return table_type_; }

  // True for servers older than 4.1.0.
  bool is_old_version() const;
  uint32_t get_version() const { return version_; }
  // True when the server is a MariaDB server.
  bool is_mariadb() const { return mariadb_; }
  // The most bytes one character of the session's character set takes (4 for utf8mb4, 3 for utf8).
  unsigned session_max_bytes_per_char() const { return session_mbmaxlen_; }

  // The name in back-quotes for a statement, back-quotes inside doubled; longer than 64 characters: cut to 63.
  std::wstring get_safe_name(const std::wstring& name) const;
  // A table name for a statement: quoted, or bare for servers older than 4.1.0.
  std::string table_ref(const std::wstring& name) const;

  // The server's max_allowed_packet in bytes, read once; 0 when not connected.
  int32_t get_max_allowed_packet();
  // The most bytes one character takes in each of the server's character sets (by name), read once per
  // connection from the catalogue (servers 5.0.1 and later). A failure raises sql_exception.
  const std::map<std::string, unsigned>& character_set_widths();
  // The MySQL column-type text of a type id (0-27), "<Unknown type>" for any other.
  static std::wstring get_native_type_name(int id);

  // Validators of names written into a database of this server: the family of servers before 4.1.0 or the
  // newer one (see sql_vali.h). The caller owns them.
  std::unique_ptr<udb_validator> create_fn_validator(const udb_record& record) const;
  std::unique_ptr<udb_validator> create_fn_validator(const udb_schema& schema) const;
  std::unique_ptr<udb_validator> create_in_validator(const udb_indexes& indexes) const;
  std::unique_ptr<udb_validator> create_tn_validator(const udb_name_list& names1,
                                                     const udb_name_list& names2) const;

  // Makes the database the connection's current one (selecting it only when another one is current), so that
  // a statement of an open database acts on that database even after another one was opened. A failure
  // raises sql_exception.
  void use_database(const std::wstring& name);

  sql_client& client() { return *client_; }

  // Sends a statement that returns no rows (any result is read and dropped); false on failure.
  bool execute(const std::string& statement);

 private:
  std::unique_ptr<sql_client> client_;
  std::wstring charset_ = L"utf8mb4";
  std::wstring table_type_ = L"InnoDB";
  bool connected_ = false;
  bool fast_append_allowed_ = true;
  bool blob_to_text_ = false;
  bool current_known_ = false;  // current_db_ names the connection's current database
  std::wstring current_db_;
  bool binary_text_ = false;
  bool mariadb_ = false;
  unsigned session_mbmaxlen_ = 4;
  uint32_t version_ = 0;
  int32_t max_allowed_packet_ = 0;
  bool widths_known_ = false;
  std::map<std::string, unsigned> widths_;
};
