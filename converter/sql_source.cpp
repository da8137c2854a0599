// The MySQL source of a conversion; see sql_source.h.
#include "converter/sql_source.h"

#include "SQL/sql_recs.h"
#include "TK/tk_log.h"

sql_source::sql_source(std::unique_ptr<sql_client> client) : engine_(std::move(client)) {}

sql_source::~sql_source() = default;

void sql_source::connect(const std::string& host, const std::string& user, const std::string& password, int port) {
  engine_.connect(host, user, password, port);
}

void sql_source::set_blob_to_text(bool value) { engine_.set_blob_to_text(value); }

std::unique_ptr<udb_database> sql_source::open_db(const std::wstring& name) { return engine_.open_db(name, 1, L""); }

namespace {

sql_recordset& rows_of(udb_recordset& recordset) {
  auto* rows = dynamic_cast<sql_recordset*>(&recordset);
  if (rows == nullptr) throw tk_mail_assertion("sql_source", 24);
  return *rows;
}

}  // namespace

int64_t sql_source::record_count(udb_recordset& recordset) { return rows_of(recordset).get_rec_count(); }

uint64_t sql_source::rows_read(udb_recordset& recordset) { return rows_of(recordset).rows_read(); }

bool sql_source::is_record_error(const tk_exception& e) const {
  return dynamic_cast<const sql_value_exception*>(&e) != nullptr;
}

bool sql_source::is_connection_lost(const tk_exception& e) const {
  if (dynamic_cast<const sql_exception*>(&e) == nullptr) return false;
  const int32_t number = e.code - tk_mysql_code_offset;
  return number == 2006 || number == 2013 || number == 2055;
}

void sql_source::abandon_reading() { engine_.client().abandon(); }
