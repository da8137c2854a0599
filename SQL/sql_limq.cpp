// Streaming results of row-reading statements (see sql_limq.h).
#include "SQL/sql_limq.h"

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
      throw sql_exception(client_);
    }
    block.append(row);
  }
  return block.size();
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
