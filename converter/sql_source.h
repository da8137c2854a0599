// The MySQL source of a conversion: the converter's view of the MySQL engine (SQL/sql_engi.h).
//
// It builds the engine, which registers itself as the sql_engine singleton for the rest of the MySQL engine, and
// closes the connection when it is destroyed. Databases are opened for reading only.
#pragma once

#include <memory>

#include "SQL/sql_engi.h"
#include "converter/rwf_engines.h"

class sql_source : public rwf_source_engine {
 public:
  // The real client library unless a test hands in its own client.
  explicit sql_source(std::unique_ptr<sql_client> client = sql_make_mysql_client());
  ~sql_source() override;

  void connect(const std::string& host, const std::string& user, const std::string& password, int port) override;
  void set_blob_to_text(bool value) override;
  std::unique_ptr<udb_database> open_db(const std::wstring& name) override;
  // The recordset must be one of this engine's.
  int64_t record_count(udb_recordset& recordset) override;
  uint64_t rows_read(udb_recordset& recordset) override;
  // A cell that cannot be converted (sql_value_exception).
  bool is_record_error(const tk_exception& e) const override;
  // The client's errors for a server that went away or a connection that broke (2006, 2013, 2055).
  bool is_connection_lost(const tk_exception& e) const override;
  void abandon_reading() override;

  sql_engine& engine() { return engine_; }

 private:
  sql_engine engine_;
};
