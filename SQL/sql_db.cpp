// An open MySQL database: table and view lists, statements, record sets (see sql_db.h).
#include "SQL/sql_db.h"

#include "SQL/sql_engi.h"
#include "SQL/sql_recs.h"
#include "SQL/sql_tab.h"
#include "SQL/sql_util.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "TK/tk_nocase.h"

sql_database::sql_database(const std::wstring& name, sql_engine& engine, int32_t mode)
    : udb_database(name, mode, 0), engine_(engine) {
  tk_trace_w(2, L"sql_database::sql_database(%s, mode=%d)", name.c_str(), mode);
  init_tables();
  if (!(mode & 0x80)) {
    try {
      init_views();
    } catch (const sql_exception& e) {
      tk_trace(3, "Failed to initialize views:\n%s", e.what());
      views.clear();
    }
  }
}

sql_database::~sql_database() = default;

void sql_database::init_tables() {
  tk_trace(2, "sql_database::init_tables");
  std::unique_ptr<sql_result> result;
  sql_client& client = engine_.client();
  if (engine_.get_version() < sql_version_5_0_1) {
    tk_trace(2, "Extracting tables in old way");
    result = client.list_tables();
    if (!result) throw sql_exception(client);
  } else {
    tk_trace(2, "Extracting tables in new way");
    const std::string statement = "show full tables where Table_type='BASE TABLE'";
    if (!client.query(statement)) {
      tk_trace(3, "QUERY=%s", statement.c_str());
      throw sql_exception(client);
    }
    result = client.use_result();
    if (!result) throw sql_exception(client);
  }
  sql_row row;
  for (;;) {
    const sql_fetch f = result->fetch(row);
    if (f == sql_fetch::end) break;
    if (f == sql_fetch::error) throw sql_exception(client);
    if (row.cells.empty() || row.is_null(0)) continue;
    tk_trace(2, "Got table name: '%s'", row.text(0).c_str());
    tables.push_back(tk_utf8_to_unicode(row.text(0)));
  }
}

void sql_database::init_views() {
  tk_trace(2, "sql_database::init_views");
  // The database name goes in as a hexadecimal literal: no quote in it can break the statement.
  const std::string statement =
      "SELECT table_name, view_definition FROM information_schema.views WHERE table_schema=" +
      sql_hex_literal(tk_to_utf8(name));
  sql_client& client = engine_.client();
  if (!client.query(statement)) throw sql_exception(client);
  std::unique_ptr<sql_result> result = client.use_result();
  if (!result) throw sql_exception(client);
  sql_row row;
  for (;;) {
    const sql_fetch f = result->fetch(row);
    if (f == sql_fetch::end) break;
    if (f == sql_fetch::error) throw sql_exception(client);
    if (row.cells.size() < 2 || row.is_null(0)) continue;
    tk_trace(2, "Got query name: '%s'", row.text(0).c_str());
    tk_trace(2, "Got query SQL: '%s'", row.text(1).c_str());
    views.emplace_back(tk_utf8_to_unicode(row.text(0)), refine_view_out(tk_utf8_to_unicode(row.text(1))));
  }
}

std::wstring sql_database::refine_view_out(const std::wstring& sql) const {
  tk_trace_w(2, L"sql_database::refine_view_out(%s)", sql.c_str());
  std::wstring text = sql;
  const std::size_t open = text.find(L"/*");
  if (open != std::wstring::npos) {
    const std::size_t close = text.find(L"*/", open + 2);
    if (close != std::wstring::npos) text.erase(open, close + 2 - open);
  }
  const std::wstring prefix = sql_quote_name(name) + L".";
  std::size_t pos = 0;
  while ((pos = tk_find_nocase(text, prefix, pos)) != std::wstring::npos) {
    tk_trace(1, "Remove template found at pos=%d", static_cast<int>(pos));
    text.erase(pos, prefix.size());
  }
  return text;
}

std::unique_ptr<sql_tmp_recordset> sql_database::run(const std::string& statement) {
  tk_trace(1, "sql_database::do_query2(%s)", statement.c_str());
  make_current();
  sql_client& client = engine_.client();
  if (!client.query(statement)) {
    tk_trace(3, "QUERY=%s", statement.c_str());
    throw sql_exception(client);
  }
  std::unique_ptr<sql_result> result = client.use_result();
  if (!result) {
    if (client.error_number() != 0) {
      tk_trace(3, "QUERY=%s", statement.c_str());
      throw sql_exception(client);
    }
    return nullptr;  // a statement without a result set
  }
  return std::make_unique<sql_tmp_recordset>(this, client, std::move(result));
}

std::unique_ptr<udb_recordset> sql_database::do_query2(const std::wstring& sql) {
  tk_trace_w(2, L"sql_database::query(%s)", sql.c_str());
  return run(tk_to_utf8(sql));
}

bool sql_database::query(const std::wstring& sql) {
  tk_trace_w(2, L"sql_database::query(%s)", sql.c_str());
  make_current();
  return engine_.execute(tk_to_utf8(sql));
}

std::unique_ptr<udb_recordset> sql_database::get_table(const std::wstring& table, int32_t mode) {
  tk_trace_w(2, L"sql_database::get_table(%s)", table.c_str());
  // On a case-sensitive server two tables may differ in case only: the table of exactly that name wins; without
  // one, a name that matches several tables ignoring case names no table, and guessing one would convert the
  // wrong data under the user's name.
  const std::vector<std::wstring> found = tables_named(table);
  if (found.size() > 1) {
    std::string candidates;
    for (const std::wstring& t : found) candidates += std::string(candidates.empty() ? "" : ", ") + "'" + tk_to_utf8(t) + "'";
    throw tk_exception("Table name '" + tk_to_utf8(table) +
                           "' matches several tables of the source database that differ only in case: " +
                           candidates + ". Give the name exactly as the source database spells it.",
                       0);
  }
  if (found.empty()) {
    tk_trace_w(2, L"Table '%s' does not exists", table.c_str());
    throw tk_exception("Table '%s' does not exist in the source database", tk_to_utf8(table), 0);
  }
  make_current();
  return std::make_unique<sql_table>(this, found[0], &relationships, mode);
}

void sql_database::make_current() { engine_.use_database(name); }

std::unique_ptr<udb_recordset> sql_database::get_query(const std::wstring& query_name, const std::wstring& sql,
                                                       int32_t) {
  tk_trace_w(2, L"sql_database::get_query(%s,%s)", query_name.c_str(), sql.c_str());
  make_current();
  return std::make_unique<sql_recordset>(this, query_name, sql, &relationships);
}
