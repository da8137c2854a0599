// One streaming result of a row-reading statement (mysql_use_result: rows come from the server as they are
// read, never stored whole on the client).
//
// A statement that fails raises sql_exception at once; a stream that breaks in the middle raises it when the
// broken row is reached. The end of the rows is only ever the server's end of the result, so rows are read
// until the stream ends whatever was counted before. The result is freed by the destructor (which, for a
// stream not read to its end, lets the client library read and drop the rest, unless the client was abandoned).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SQL/sql_client.h"
#include "SQL/sql_rec.h"

// Up to one block of rows as raw cells. The buffers keep their capacity from block to block.
class sql_row_block {
 public:
  void clear();
  void append(const sql_row& row);
  void swap(sql_row_block& that) noexcept;
  std::size_t size() const { return starts_.size(); }
  bool empty() const { return starts_.empty(); }
  // Row r as the client library would hand it over (pointers valid until the block changes).
  void row(std::size_t r, sql_row& out) const;

 private:
  static constexpr std::size_t k_null = static_cast<std::size_t>(-1);
  struct cell {
    std::size_t offset;  // into bytes_; k_null for SQL NULL
    unsigned long length;
  };
  std::string bytes_;
  std::vector<cell> cells_;
  std::vector<std::size_t> starts_;  // each row's first cell
};

// The values of the rows of one block, converted together (on the thread that read the block ahead) so that the
// caller only moves each row's values into its record. Each row has its values, or the failure its conversion
// raised; the value buffers are kept for the next block.
class sql_block_values {
 public:
  // Converts every row of the block by the plan. Only while no trace can be written (a conversion's traces come
  // from the caller's thread, in the order of its rows): otherwise nothing is converted and false returned.
  bool convert(const std::vector<sql_cell_plan>& plan, const sql_row_block& block);
  void clear() { ready_ = false; }
  // The rows were converted (else the caller converts each row itself).
  bool ready() const { return ready_; }
  // Row r's values were moved out already (a row taken again is converted by the caller).
  bool taken(std::size_t r) const { return taken_[r] != 0; }
  // Hands row r's values to `record` (made by the plan when it has not the row's fields) in exchange for the ones
  // it held, or raises the failure of the row's conversion again.
  void take(std::size_t r, const std::vector<sql_cell_plan>& plan, std::unique_ptr<sql_record>& record);
  void swap(sql_block_values& that) noexcept;

 private:
  std::vector<ole_variant> values_;  // row after row, `width_` each
  std::vector<uint32_t> sizes_;      // each cell's length in bytes
  std::vector<std::exception_ptr> errors_;
  std::vector<uint8_t> taken_;
  std::size_t width_ = 0;
  sql_row cells_;  // reused from row to row
  bool ready_ = false;
};

class sql_limited_query {
 public:
  // Sends the statement (UTF-8) on the client.
  sql_limited_query(sql_client& client, const std::string& statement);
  // Over a result already taken from the client.
  sql_limited_query(sql_client& client, std::unique_ptr<sql_result> result);
  ~sql_limited_query();
  sql_limited_query(const sql_limited_query&) = delete;
  sql_limited_query& operator=(const sql_limited_query&) = delete;

  const std::vector<sql_column>& columns() const;

  // Empties the block, then reads up to max rows into it. Returns the number read; fewer than max means the
  // stream has ended.
  std::size_t store_to(sql_row_block& block, std::size_t max);
  bool at_end() const { return ended_; }
  // The rows the server has delivered so far, those of a block that broke before it was full included. May be
  // read from another thread than the one storing.
  uint64_t rows_read() const { return rows_read_.load(std::memory_order_relaxed); }

 private:
  sql_client& client_;
  std::unique_ptr<sql_result> result_;
  bool ended_ = false;
  std::atomic<uint64_t> rows_read_{0};
};

// Reads a stream's blocks ahead on a thread of its own: while the caller converts and writes the rows of one
// block, the next one is fetched. The client is used by one thread at a time: from construction until the stream
// has ended only the reader's thread reads from it, and the caller must send nothing on the connection meanwhile
// (the rule of every pending result). The destructor waits for a block in progress, so the stream is left with
// its one result pending as before, to be read to its end or freed by its owner.
class sql_read_ahead {
 public:
  // Starts reading the next block of up to `rows` rows at once. With a plan, each block read is also converted
  // into values on the reader's thread (sql_block_values::convert); the plan must not change meanwhile.
  sql_read_ahead(sql_limited_query& stream, std::size_t rows, const std::vector<sql_cell_plan>* plan = nullptr);
  ~sql_read_ahead();
  sql_read_ahead(const sql_read_ahead&) = delete;
  sql_read_ahead& operator=(const sql_read_ahead&) = delete;

  // Hands the block read ahead over in place of `block` (whose buffers are reused for the one after) and starts
  // reading the next one unless the stream has ended. Returns false when the stream has ended with this block.
  // A failure of the stream is raised here, with `block` emptied, when the block it broke in is taken.
  // `values` (when given) takes the block's converted values in place of the ones it held (which are reused), not ready
  // when the block was not converted.
  bool take(sql_row_block& block, sql_block_values* values = nullptr);

 private:
  void run();

  sql_limited_query& stream_;
  const std::size_t rows_;
  const std::vector<sql_cell_plan>* plan_;
  std::mutex mutex_;
  std::condition_variable changed_;
  sql_row_block ahead_;
  sql_block_values ahead_values_;
  std::exception_ptr error_;
  bool wanted_ = true;   // the reader is to read a block
  bool ready_ = false;   // a block (or a failure) waits to be taken
  bool ended_ = false;   // the stream has ended (or broke)
  bool quit_ = false;
  std::thread thread_;   // last: started when everything above is in place
};

// The statement that streams a table's rows: every column, geometry columns as well-known text.
// select_list empty means "*".
std::string sql_table_select(const std::string& table_ref, const std::string& select_list);
// The statement that streams a user query's rows, wrapped so that only a SELECT can run; a trailing ";" of
// the user's text is dropped. select_list empty means "*".
std::string sql_query_select(const std::string& user_sql, const std::string& select_list = std::string());
// A user's statement without the ";" and blanks that may end it (so that it can stand inside parentheses).
std::string sql_strip_statement_end(const std::string& user_sql);
