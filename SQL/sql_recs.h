// Record sets of the MySQL engine.
//
// `sql_tmp_recordset` reads the result of one statement (catalogue statements, counts, do_query2) in blocks of
// up to 1000 rows, each row built from the result's column metadata.
//
// `sql_recordset` streams the rows of a table or of a user's SELECT in blocks of 256 rows, so memory stays
// bounded whatever the table's size. The first block is read when the stream starts; each following one is read
// ahead on a thread of its own (sql_read_ahead) while the caller works through the current one, and its cells are
// converted there too while no trace is being written. Its schema comes from the statement's column metadata, read
// with LIMIT 0 (no rows are transferred for it); the rows are read once, from reset() until the stream ends.
// A user's statement is first run wrapped as a derived table (so only a SELECT that yields a table passes),
// then its rows stream from the statement as written, keeping its ORDER BY.
// A statement that fails or a stream that breaks raises sql_exception (level 0: an error of that table), never
// an early end of data. Rows are read until the server's stream ends, not up to a count taken before.
//
// A row's cells become values when the row is taken (get_item), not when its block is read: a cell that cannot
// be converted raises sql_value_exception for that row alone, and next() goes on with the following row.
//
// A table with geometry columns streams over an explicit select list (geometry as well-known text) but stays a
// table: its rows are built from its (refined) schema like any other table's.
//
// One result at a time: a record set that is streaming must be read to its end or destroyed before another
// statement is sent on the connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SQL/sql_limq.h"
#include "SQL/sql_rec.h"
#include "UDB/udb_db.h"

class sql_database;

// The record of one row of a block, converted when it is first asked for and kept until another row is asked for
// or the block is refilled (forget). The rows of one block share one record object: its fields are made at the
// block's first row and take each following row's values in place.
class sql_current_record {
 public:
  sql_record* get(const std::vector<sql_cell_plan>& plan, const sql_row_block& block, std::size_t row);
  // The same row with the values the block's reader converted (not taken yet), moved into the record.
  sql_record* take(const std::vector<sql_cell_plan>& plan, sql_block_values& values, std::size_t row);
  void forget() {
    record_.reset();
    valid_ = false;
  }

 private:
  std::unique_ptr<sql_record> record_;
  std::size_t row_ = 0;
  bool valid_ = false;  // record_ holds row_ completely
  sql_row cells_;       // reused from row to row
};

class sql_tmp_recordset : public udb_recordset {
 public:
  // Runs the statement on the client; a failure raises sql_exception. The first block is read at once.
  sql_tmp_recordset(sql_database* database, sql_client& client, const std::string& statement);
  // Over a result already taken from the client.
  sql_tmp_recordset(sql_database* database, sql_client& client, std::unique_ptr<sql_result> result);
  ~sql_tmp_recordset() override;

  const std::vector<sql_column>& columns() const { return stream_->columns(); }

  void append_record(const udb_record& record) override;  // read-only: internal error
  udb_record* get_item() override;
  bool is_eof() override;
  void next() override;
  // Back to the first row of the current block (the statement is not sent again).
  void reset() override;

 private:
  void start();

  static constexpr std::size_t k_block = 1000;
  std::unique_ptr<sql_limited_query> stream_;
  std::vector<sql_cell_plan> plan_;
  sql_row_block cache_;
  sql_current_record current_;
  std::size_t position_ = 0;
};

// The statement record sets of the database and table lists (they differ only in their traces).
class sql_list_databases_rs : public sql_tmp_recordset {
 public:
  sql_list_databases_rs(sql_client& client, const std::string& statement);
};
class sql_list_tables_rs : public sql_tmp_recordset {
 public:
  sql_list_tables_rs(sql_database* database, sql_client& client, const std::string& statement);
};

class sql_recordset : public udb_recordset {
 public:
  // Over a table of the database.
  sql_recordset(sql_database* database, const std::wstring& table_name, udb_relationships* relationships);
  // Over the rows of a user's SELECT, presented under the name.
  sql_recordset(sql_database* database, const std::wstring& name, const std::wstring& sql,
                udb_relationships* relationships);
  ~sql_recordset() override;

  // The number of rows now in the table or query result (SELECT COUNT(*)), for progress only: reading does
  // not stop at it. -1 when the count is not a number. While a stream is pending the last count is returned.
  int64_t get_rec_count();
  // The rows the server has delivered since the stream last started: those taken, those read ahead and those of a
  // block that broke before it was full.
  uint64_t rows_read() const { return stream_ ? stream_->rows_read() : 0; }

  void append_record(const udb_record& record) override;  // read-only: internal error
  // The current row (owned by the record set, valid until another row is taken); null at the end. A cell that
  // cannot be converted raises sql_value_exception; the record set stays where it is, so next() passes the row.
  udb_record* get_item() override;
  bool is_eof() override;
  void next() override;
  int32_t prev() override;
  // (Re)starts the stream from the first row.
  void reset() override;

 protected:
  // Builds the schema from the statement's metadata.
  void initialize();
  // Takes the cell plan from the schema (after the schema was refined).
  void rebuild_plan();
  sql_database& db() const;

  udb_relationships* relationships_ = nullptr;  // the owning database's list (not owned)
  std::vector<sql_column> columns_;              // the metadata the schema was built from

 private:
  std::string count_statement() const;
  std::string stream_statement() const;

  static constexpr std::size_t k_block = 256;
  int64_t record_count_ = -1;
  std::string select_list_;  // explicit select list of a table with geometry columns; empty: "*"
  std::unique_ptr<sql_limited_query> stream_;
  std::unique_ptr<sql_read_ahead> ahead_;  // while the stream has rows after the current block; before stream_ goes
  std::vector<sql_cell_plan> plan_;
  sql_row_block cache_;
  sql_block_values values_;  // cache_'s rows converted by the reader, when it did; else current_ converts
  sql_current_record current_;
  std::size_t cache_position_ = 0;
  int32_t absolute_position_ = 0;
  bool started_ = false;
};
