// Streaming results of row-reading statements (see sql_limq.h).
#include "SQL/sql_limq.h"

#include <climits>

#include "SQL/sql_engi.h"
#include "TK/tk_log.h"

sql_limited_query::sql_limited_query(sql_client& client, const std::string& statement) : client_(client) {
  tk_trace(1, "sql_limited_query::sql_limited_query(%s)", statement.c_str());
  if (!client_.query(statement)) {
    tk_trace(3, "QUERY=%s", statement.c_str());
    throw sql_exception(client_);
  }
  result_ = client_.use_result();
  if (!result_) {
    if (client_.error_number() != 0) throw sql_exception(client_);
    ended_ = true;  // a statement without rows (not a SELECT): nothing to stream
  }
}

sql_limited_query::sql_limited_query(sql_client& client, std::unique_ptr<sql_result> result)
    : client_(client), result_(std::move(result)) {
  if (!result_) ended_ = true;
}

sql_limited_query::~sql_limited_query() { tk_trace(2, "sql_limited_query::~sql_limited_query"); }

const std::vector<sql_column>& sql_limited_query::columns() const {
  static const std::vector<sql_column> none;
  return result_ ? result_->columns() : none;
}

void sql_row_block::clear() {
  bytes_.clear();
  cells_.clear();
  starts_.clear();
}

void sql_row_block::swap(sql_row_block& that) noexcept {
  bytes_.swap(that.bytes_);
  cells_.swap(that.cells_);
  starts_.swap(that.starts_);
}

void sql_row_block::append(const sql_row& row) {
  starts_.push_back(cells_.size());
  for (std::size_t i = 0; i < row.cells.size(); ++i) {
    if (row.cells[i] == nullptr) {
      cells_.push_back({k_null, 0});
      continue;
    }
    cells_.push_back({bytes_.size(), row.lengths[i]});
    bytes_.append(row.cells[i], row.lengths[i]);
  }
}

void sql_row_block::row(std::size_t r, sql_row& out) const {
  const std::size_t first = starts_[r];
  const std::size_t last = r + 1 < starts_.size() ? starts_[r + 1] : cells_.size();
  out.cells.resize(last - first);
  out.lengths.resize(last - first);
  for (std::size_t i = first; i < last; ++i) {
    const cell& c = cells_[i];
    out.cells[i - first] = c.offset == k_null ? nullptr : bytes_.data() + c.offset;
    out.lengths[i - first] = c.length;
  }
}

std::size_t sql_limited_query::store_to(sql_row_block& block, std::size_t max) {
  tk_trace(1, "sql_limited_query::store_to(n_max_records=%d)", static_cast<int>(max));
  block.clear();
  if (ended_) return 0;
  sql_row row;
  while (block.size() < max) {
    const sql_fetch f = result_->fetch(row);
    if (f == sql_fetch::end) {
      ended_ = true;
      break;
    }
    if (f == sql_fetch::error) {
      ended_ = true;
      // The rows of a block that broke arrived too: they count in the error's report.
      rows_read_.fetch_add(block.size(), std::memory_order_relaxed);
      throw sql_exception(client_);
    }
    block.append(row);
  }
  rows_read_.fetch_add(block.size(), std::memory_order_relaxed);
  return block.size();
}

bool sql_block_values::convert(const std::vector<sql_cell_plan>& plan, const sql_row_block& block) {
  ready_ = false;
  if (tk_trace_floor.load(std::memory_order_relaxed) != INT_MAX) return false;
  width_ = 0;
  if (!block.empty()) {
    block.row(0, cells_);
    width_ = plan.size() < cells_.cells.size() ? plan.size() : cells_.cells.size();
  }
  if (values_.size() < block.size() * width_) {
    values_.resize(block.size() * width_);
    sizes_.resize(block.size() * width_);
  }
  errors_.assign(block.size(), nullptr);
  taken_.assign(block.size(), 0);
  for (std::size_t r = 0; r < block.size(); ++r) {
    block.row(r, cells_);
    // Every row of a result has its columns; rows of unlike widths are left to the caller.
    if ((plan.size() < cells_.cells.size() ? plan.size() : cells_.cells.size()) != width_) return false;
    try {
      for (std::size_t i = 0; i < width_; ++i) {
        const std::size_t k = r * width_ + i;
        sql_cell_assign(values_[k], plan[i], cells_.cells[i], cells_.lengths[i]);
        sizes_[k] = static_cast<uint32_t>(cells_.lengths[i]);
      }
    } catch (...) {
      errors_[r] = std::current_exception();
    }
  }
  ready_ = true;
  return true;
}

void sql_block_values::take(std::size_t r, const std::vector<sql_cell_plan>& plan,
                             std::unique_ptr<sql_record>& record) {
  if (errors_[r]) std::rethrow_exception(errors_[r]);
  if (!record || record->size() != width_) {
    record.reset();
    record = std::make_unique<sql_record>(plan, width_);
  }
  for (std::size_t i = 0; i < width_; ++i) {
    udb_field& field = *(*record)[i];
    // Exchanged, not moved: the field's last value goes back to the buffer, to be freed by the reader when it
    // converts the next block there.
    ole_variant& value = values_[r * width_ + i];
    field.swap(value);
    field.size = sizes_[r * width_ + i];
  }
  taken_[r] = 1;
}

void sql_block_values::swap(sql_block_values& that) noexcept {
  values_.swap(that.values_);
  sizes_.swap(that.sizes_);
  errors_.swap(that.errors_);
  taken_.swap(that.taken_);
  std::swap(width_, that.width_);
  std::swap(ready_, that.ready_);
}

sql_read_ahead::sql_read_ahead(sql_limited_query& stream, std::size_t rows, const std::vector<sql_cell_plan>* plan)
    : stream_(stream), rows_(rows), plan_(plan), thread_(&sql_read_ahead::run, this) {}

sql_read_ahead::~sql_read_ahead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void sql_read_ahead::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return wanted_ || quit_; });
    if (quit_) return;
    wanted_ = false;
    lock.unlock();
    std::exception_ptr error;
    bool ended = false;
    try {
      stream_.store_to(ahead_, rows_);
      ended = stream_.at_end();
      if (plan_) ahead_values_.convert(*plan_, ahead_);
    } catch (...) {
      error = std::current_exception();
      ended = true;
    }
    lock.lock();
    error_ = error;
    ended_ = ended;
    ready_ = true;
    changed_.notify_all();
  }
}

bool sql_read_ahead::take(sql_row_block& block, sql_block_values* values) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return ready_; });
  ready_ = false;
  if (values) values->clear();
  if (error_) {
    block.clear();
    std::exception_ptr error = error_;
    error_ = nullptr;
    std::rethrow_exception(error);
  }
  block.swap(ahead_);
  if (values) values->swap(ahead_values_);
  if (ended_) return false;
  wanted_ = true;
  lock.unlock();
  changed_.notify_all();
  return true;
}

std::string sql_table_select(const std::string& table_ref, const std::string& select_list) {
  return "SELECT " + (select_list.empty() ? std::string("*") : select_list) + " FROM " + table_ref;
}

std::string sql_strip_statement_end(const std::string& user_sql) {
  std::string sql = user_sql;
  while (!sql.empty() && (sql.back() == ';' || sql.back() == ' ' || sql.back() == '\t' || sql.back() == '\r' ||
                          sql.back() == '\n'))
    sql.pop_back();
  return sql;
}

std::string sql_query_select(const std::string& user_sql, const std::string& select_list) {
  // The line break keeps a trailing "-- comment" of the user's text from swallowing the closing parenthesis.
  return "SELECT " + (select_list.empty() ? std::string("*") : select_list) + " FROM (" +
         sql_strip_statement_end(user_sql) + "\n) as temp___table";
}
