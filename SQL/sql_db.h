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
// Writing (sql_dbw.cpp): create_table sends CREATE TABLE with the clauses of sql_sch.h (a table that exists
// is opened for appending instead); create_views sends CREATE OR REPLACE VIEW for each SELECT view, its text
// rewritten by sql_refine_view_in; create_relationships adds each foreign key (with the indexes it needs) and
// releases the table locks it takes after each one; delete_tab drops the table; empty_table deletes its rows.
// Every statement of a database acts on that database: it is made the connection's current database again
// first when another one was selected meanwhile. A failing statement raises sql_exception; create_views and
// create_relationships report a failing item through the error handler and go on with the next (without an
// error handler, the first such error is raised once every item was tried). Writing into a read-only database
// (mode bit 0x01) or dropping a table the database does not hold is an internal error.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "UDB/udb_db.h"

class sql_engine;
class udb_field;

// A value of a row that travels as long data of a prepared statement, in the order of the statement's "?"s.
struct sql_long_param {
  const udb_field* field = nullptr;
  bool binary = false;  // bytes for a binary column; text (UTF-8) otherwise
};
class sql_client;
class sql_tmp_recordset;
class tk_exception;

// Reports the error of one item of a list (a view, a foreign key, a row of a refused batch) through the error
// handler, the item named by the context, and answers true; without an error handler it answers false and the
// caller raises the error itself. may_return false: the user's Abort unwinds the caller (tk_final_exception).
bool sql_report_item(const std::wstring& context, const tk_exception& e, bool may_return);

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

  bool delete_tab(const std::wstring& name) override;
  void empty_table(const std::wstring& name) override;
  void create_views(const udb_view_list& views) override;
  void create_relationships(const udb_relationships& relationships) override;
  // Adds an index over the columns to the table unless one of its indexes starts with them.
  void create_fk_index_if(const std::wstring& table, const udb_name_list& columns);

  // Sends a statement that returns no rows (UTF-8, with its length); a failure raises sql_exception.
  void query_append(const std::string& text);
  // Runs an INSERT whose "?"s are the given values, each sent as long data in pieces of 128 KiB; any failure
  // raises sql_prep_stmt_failed_exception with the client library's text. row_size is the row's total size, for
  // the trace of a refused row.
  void prepared_statement(const std::string& text, const std::vector<sql_long_param>& params, uint32_t row_size);
  // A view's SQL text in MySQL's dialect, with this database's renamings (see sql_view.h).
  std::wstring refine_view_in(const std::wstring& sql) const;
  // Makes this database the connection's current one (see above).
  void make_current();

  // A view's SQL text with its first /*...*/ comment and every `db`. prefix (any letter case) removed.
  std::wstring refine_view_out(const std::wstring& sql) const;

  sql_engine& engine() { return engine_; }

 private:
  // The ALTER TABLE that adds an index over the columns, or "" when an index starts with them already; mapped
  // receives the table's columns that the (source) column names stand for.
  std::string fk_index_statement(const std::wstring& table, const udb_name_list& columns, udb_name_list& mapped);
  void init_tables();
  void init_views();

  sql_engine& engine_;
};
