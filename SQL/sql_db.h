// An open MySQL database: its base tables and views, the statements run against it, and the record sets
// over its tables (`get_table`) and over user queries (`get_query`).
//
// Opening reads the table list (base tables only: views and sequences are not in it) and, unless mode bit
// 0x80 is set, the views with their SQL text (the schema prefix `db`. removed so the text names its tables
// alone). A view list that cannot be read leaves the database without views.
//
// A table name that the list lacks (a stale profile or table-list file) is the user's error: get_table raises
// a level-0 tk_exception naming it, so the run can go on with the next table. A name takes the table of
// exactly that name, else the one table that matches it ignoring case; a name that matches several tables
// ignoring case (a case-sensitive server) and none exactly is a level-0 error naming them.
//
// Writing (create_table, create_views, delete_tab, empty_table, create_relationships) is not done by this
// engine's reading side: create_table raises a level-1 error.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "UDB/udb_db.h"

class sql_engine;
class sql_client;
class sql_tmp_recordset;

class sql_database : public udb_database {
 public:
  // Built by sql_engine::open_db on the engine's connection (the database already selected).
  sql_database(const std::wstring& name, sql_engine& engine, int32_t mode);
  ~sql_database() override;

  std::unique_ptr<udb_recordset> create_table(const std::wstring& name, const udb_schema& schema,
                                              const udb_indexes& indexes) override;
  // A record set over the rows of the user's SELECT, presented under the name.
  std::unique_ptr<udb_recordset> get_query(const std::wstring& name, const std::wstring& sql,
                                           int32_t flag) override;
  // The table with its refined schema, indexes and (into `relationships`) foreign keys; see sql_table.
  std::unique_ptr<udb_recordset> get_table(const std::wstring& name, int32_t mode) override;
  // Runs the statement and returns a statement record set over its result, or null when it gives none.
  // A failing statement raises sql_exception.
  std::unique_ptr<udb_recordset> do_query2(const std::wstring& sql) override;
  // The same for a UTF-8 statement text.
  std::unique_ptr<sql_tmp_recordset> run(const std::string& statement);
  // Runs the statement, reading and dropping any result (every result of a multi-result CALL too).
  bool query(const std::wstring& sql) override;

  // A view's SQL text with its first /*...*/ comment and every `db`. prefix (any letter case) removed.
  std::wstring refine_view_out(const std::wstring& sql) const;

  sql_engine& engine() { return engine_; }

 private:
  void init_tables();
  void init_views();

  sql_engine& engine_;
};
