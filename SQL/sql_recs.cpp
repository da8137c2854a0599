// Statement and row record sets of the MySQL engine (see sql_recs.h).
#include "SQL/sql_recs.h"

#include <cstdlib>

#include "SQL/sql_db.h"
#include "SQL/sql_engi.h"
#include "SQL/sql_util.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"

sql_record* sql_current_record::get(const std::vector<sql_cell_plan>& plan, const sql_row_block& block,
                                     std::size_t row) {
  if (valid_ && row_ == row) return record_.get();
  valid_ = false;
  block.row(row, cells_);
  const std::size_t n = plan.size() < cells_.cells.size() ? plan.size() : cells_.cells.size();
  if (record_ && record_->size() == n) {
    record_->assign(plan, cells_);
  } else {
    record_.reset();
    record_ = std::make_unique<sql_record>(plan, cells_);
  }
  row_ = row;
  valid_ = true;
  return record_.get();
}

sql_record* sql_current_record::take(const std::vector<sql_cell_plan>& plan, sql_block_values& values,
                                     std::size_t row) {
  if (valid_ && row_ == row) return record_.get();
  valid_ = false;
  values.take(row, plan, record_);
  row_ = row;
  valid_ = true;
  return record_.get();
}

// ---- Statement record sets --------------------------------------------------------------------------------------

sql_tmp_recordset::sql_tmp_recordset(sql_database* database, sql_client& client, const std::string& statement)
    : udb_recordset(database, std::wstring()) {
  tk_trace(1, "sql_tmp_recordset::ctor2(%s)", statement.c_str());
  stream_ = std::make_unique<sql_limited_query>(client, statement);
  start();
}

sql_tmp_recordset::sql_tmp_recordset(sql_database* database, sql_client& client, std::unique_ptr<sql_result> result)
    : udb_recordset(database, std::wstring()) {
  tk_trace(1, "sql_tmp_recordset::ctor1");
  stream_ = std::make_unique<sql_limited_query>(client, std::move(result));
  start();
}

void sql_tmp_recordset::start() {
  const bool blob_to_text = sql_engine::exists() && sql_engine::instance().is_blob_to_text();
  plan_ = sql_plan_from_columns(stream_->columns(), blob_to_text);
  tk_trace(1, "n_fields=%d", static_cast<int>(plan_.size()));
  stream_->store_to(cache_, k_block);
}

sql_tmp_recordset::~sql_tmp_recordset() { tk_trace(1, "sql_tmp_recordset::dtor"); }

void sql_tmp_recordset::append_record(const udb_record&) { throw tk_mail_assertion("sql_recs", 402); }

udb_record* sql_tmp_recordset::get_item() {
  return position_ < cache_.size() ? current_.get(plan_, cache_, position_) : nullptr;
}

bool sql_tmp_recordset::is_eof() {
  if (position_ < cache_.size()) return false;
  current_.forget();
  stream_->store_to(cache_, k_block);
  position_ = 0;
  tk_trace(1, "New records.size=%d", static_cast<int>(cache_.size()));
  return cache_.empty();
}

void sql_tmp_recordset::next() { ++position_; }

void sql_tmp_recordset::reset() { position_ = 0; }

sql_list_databases_rs::sql_list_databases_rs(sql_client& client, const std::string& statement)
    : sql_tmp_recordset(nullptr, client, statement) {
  tk_trace(2, "sql_list_databases_rs::ctor");
}

sql_list_tables_rs::sql_list_tables_rs(sql_database* database, sql_client& client, const std::string& statement)
    : sql_tmp_recordset(database, client, statement) {
  tk_trace(2, "sql_list_tables_rs::ctor");
}

// ---- Row record sets --------------------------------------------------------------------------------------------

sql_recordset::sql_recordset(sql_database* database, const std::wstring& table_name,
                             udb_relationships* relationships)
    : udb_recordset(database, table_name), relationships_(relationships) {
  tk_trace(2, "sql_recordset::sql_recordset1");
  initialize();
}

sql_recordset::sql_recordset(sql_database* database, const std::wstring& name, const std::wstring& sql,
                             udb_relationships* relationships)
    : udb_recordset(database, name, sql), relationships_(relationships) {
  tk_trace(2, "sql_recordset::sql_recordset2");
  initialize();
}

sql_recordset::~sql_recordset() {
  tk_trace(1, "sql_recordset::dtor");
  ahead_.reset();  // the reader is done with the stream before the stream goes
}

sql_database& sql_recordset::db() const { return *static_cast<sql_database*>(database); }

std::string sql_recordset::stream_statement() const {
  if (is_query()) {
    // The user's SELECT runs as written, so that its ORDER BY holds (the server drops the order of a derived
    // table); it was proved to be a SELECT by the wrapped metadata statement. Geometry needs the wrapping.
    if (select_list_.empty()) return sql_strip_statement_end(tk_to_utf8(query_text));
    return sql_query_select(tk_to_utf8(query_text), select_list_);
  }
  return sql_table_select(db().engine().table_ref(table_name), select_list_);
}

std::string sql_recordset::count_statement() const {
  if (is_query()) return "SELECT COUNT(*) FROM (" + sql_strip_statement_end(tk_to_utf8(query_text)) + "\n) as query";
  return "SELECT COUNT(*) FROM " + db().engine().table_ref(table_name);
}

void sql_recordset::initialize() {
  sql_engine& engine = db().engine();
  const bool blob_to_text = engine.is_blob_to_text();
  tk_trace(2, "sql_recordset::initialize");
  tk_trace(2, "is_blob_to_text=%d", blob_to_text ? 1 : 0);

  // Only the column metadata is needed here: LIMIT 0 reads it without transferring a row.
  // Wrapped as a derived table, a user's statement can only be a SELECT that yields a table.
  const std::string statement = (is_query() ? sql_query_select(tk_to_utf8(query_text)) : stream_statement()) +
                                " LIMIT 0";
  {
    sql_limited_query probe(engine.client(), statement);
    columns_ = probe.columns();
  }

  std::wstring auto_number;
  bool has_geometry = false;
  std::string select_list;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    const sql_column& c = columns_[i];
    tk_trace(2, "Processing field #%d", static_cast<int>(i + 1));
    const std::string quoted = sql_quote_name_utf8(c.name);
    if (i > 0) select_list += ",";
    if (c.type == sql_type_geometry) {
      tk_trace(2, "Got MYSQL_TYPE_GEOMETRY");
      select_list += "ST_AsText(" + quoted + ") as ";
      has_geometry = true;
    }
    select_list += quoted;
    tk_trace(2, "GOT FIELD: name=%s, type=%d, size=%llu, flags=%u", c.name.c_str(), c.type,
             static_cast<unsigned long long>(c.length), c.flags);

    unsigned mbmaxlen = engine.client().max_bytes_per_char(c.charsetnr);
    if (mbmaxlen == 0) mbmaxlen = engine.session_max_bytes_per_char();
    t_ftd column(sql_column_size(c, mbmaxlen), tk_utf8_to_unicode(c.name), get_vartype(c, blob_to_text),
                 (c.flags & sql_flag_not_null) != 0, (c.flags & sql_flag_auto_increment) != 0, ole_variant(),
                 sql_column_subkind(c), std::wstring());
    // What the result's character set can carry; a table's own columns are refined from the catalogue.
    column.beyond_bmp = sql_is_string_type(c.type) && !sql_is_binary_column(c) && mbmaxlen >= 4;
    if (column.auto_increment) {
      auto_number = column.name;
      tk_trace(1, "Got auto_number column: '%s'", c.name.c_str());
    }
    if (c.type == sql_type_decimal || c.type == sql_type_newdecimal) {
      sql_decimal_precision(c, column.precision, column.scale);
      tk_trace(1, "Scale/precision: (%d,%d)", column.scale, column.precision);
    }
    schema.push_back(std::move(column));
  }
  rebuild_plan();

  // Geometry values stream as well-known text, in tables and in user queries alike.
  if (has_geometry) select_list_ = select_list;
  if (is_query()) {
    tk_trace(2, "It's a SQL-query, nothing to do anymore");
    return;
  }
  if (!auto_number.empty()) {
    // The highest number the table holds, kept with the schema; a failure here does not stop the table.
    const std::string text = "select max( " + tk_to_utf8(engine.get_safe_name(auto_number)) + ") from " +
                             engine.table_ref(table_name);
    tk_trace(2, "auto_number query=%s", text.c_str());
    try {
      std::unique_ptr<sql_tmp_recordset> result = db().run(text);
      if (result && !result->is_eof() && result->get_item() && result->get_item()->size() > 0)
        schema.last_autonumber =
            static_cast<int32_t>(std::strtoll(result->get_item()->at(0)->to_string().c_str(), nullptr, 10));
      tk_trace(2, "got last value=%d", schema.last_autonumber);
    } catch (const std::exception& e) {
      tk_trace(3, "Failed to extract last value for auto_number column");
      tk_trace(2, "ERROR: %s", e.what());
    }
  }
  tk_trace(2, "sql_recordset::initialize - END");
}

void sql_recordset::rebuild_plan() {
  current_.forget();
  plan_.clear();
  for (std::size_t i = 0; i < schema.size(); ++i) {
    sql_cell_plan p;
    p.name = schema[i].name;
    p.vartype = schema[i].vartype;
    p.is_bit = i < columns_.size() && columns_[i].type == sql_type_bit;
    plan_.push_back(std::move(p));
  }
}

int64_t sql_recordset::get_rec_count() {
  tk_trace(2, "sql_recordset::get_rec_count");
  // The connection carries one result at a time: while rows stream, the count taken last stands.
  if (ahead_ || (stream_ && !stream_->at_end())) return record_count_;
  std::unique_ptr<sql_tmp_recordset> result = db().run(count_statement());
  record_count_ = -1;
  if (result && !result->is_eof() && result->get_item() && result->get_item()->size() > 0) {
    const std::string text = result->get_item()->at(0)->to_string();
    char* end = nullptr;
    const long long n = std::strtoll(text.c_str(), &end, 10);
    if (end && end != text.c_str() && *end == '\0') record_count_ = n;
  }
  tk_trace(2, "sql_recordset::get_rec_count - END (result=%lld)", static_cast<long long>(record_count_));
  return record_count_;
}

void sql_recordset::append_record(const udb_record&) {
  tk_trace(1, "sql_recordset::append_record");
  throw tk_mail_assertion("sql_recs", 257);
}

void sql_recordset::reset() {
  tk_trace(2, "sql_recordset::reset");
  current_.forget();
  cache_.clear();
  values_.clear();
  ahead_.reset();
  stream_.reset();  // frees an earlier stream before the next statement is sent
  cache_position_ = 0;
  absolute_position_ = 0;
  started_ = true;
  stream_ = std::make_unique<sql_limited_query>(db().engine().client(), stream_statement());
  stream_->store_to(cache_, k_block);
  if (!stream_->at_end()) ahead_ = std::make_unique<sql_read_ahead>(*stream_, k_block, &plan_);
}

udb_record* sql_recordset::get_item() {
  if (!started_) reset();
  if (cache_position_ >= cache_.size()) return nullptr;
  if (values_.ready() && !values_.taken(cache_position_)) return current_.take(plan_, values_, cache_position_);
  return current_.get(plan_, cache_, cache_position_);
}

bool sql_recordset::is_eof() {
  if (!started_) reset();
  return cache_position_ >= cache_.size();
}

void sql_recordset::next() {
  tk_trace(1, "sql_recordset::next");
  if (!stream_) throw tk_mail_assertion("sql_recs", 292);
  if (cache_position_ >= cache_.size()) return;  // already at the end
  ++absolute_position_;
  if (++cache_position_ < cache_.size()) return;
  if (!ahead_) return;  // the stream ended with this block
  tk_trace(2, "sql_recordset::clean");
  current_.forget();
  cache_position_ = 0;
  bool more = false;
  try {
    more = ahead_->take(cache_, &values_);
  } catch (...) {
    ahead_.reset();
    throw;
  }
  if (!more) ahead_.reset();
}

int32_t sql_recordset::prev() {
  tk_trace(1, "sql_recordset::prev");
  if (absolute_position_ == 0) return 0;
  if (cache_position_ > 0) --cache_position_;
  return --absolute_position_;
}
