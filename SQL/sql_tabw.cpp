// Writing rows into a MySQL table: batched and one-by-one appends, updates and deletes (see sql_tab.h).
#include <optional>

#include "SQL/sql_db.h"
#include "SQL/sql_engi.h"
#include "SQL/sql_lit.h"
#include "SQL/sql_sync.h"
#include "SQL/sql_tab.h"
#include "TK/tk_log.h"
#include "TK/tk_nocase.h"
#include "TK/tk_utils.h"

namespace {

constexpr std::size_t k_batch_limit = 1000000;

[[noreturn]] void does_not_conform() {
  throw tk_exception(
      "The structure of data source does not conform to the destination table. For more information see "
      "Troubleshooting article of the product documentation.",
      0);
}

const udb_field& field_or_null(const udb_field* field) {
  static const udb_field null_field;
  return field ? *field : null_field;
}

}  // namespace

// ---- sql_field_finder ---------------------------------------------------------------------------------------------

sql_field_finder::sql_field_finder(sql_engine& engine, const udb_record& record)
    : validator_(engine.create_fn_validator(record)) {
  tk_trace(1, "sql_field_finder::ctor");
  tk_trace(1, "sql_field_finder::initialize");
  for (std::size_t i = 0; i < record.size(); ++i) {
    std::wstring name = record[i] ? record[i]->get_name() : std::wstring();
    if (!validator_->is_acceptable(name)) {
      const std::wstring safe = validator_->get_safe_name(name);
      tk_trace_w(1, L"GOT SAFE NAME: %s->%s", name.c_str(), safe.c_str());
      validator_->add_existing_name(safe);
      name = safe;
    }
    names_.push_back(name);
    // No later field may take this name.
    validator_->add_restricted_name(name);
  }
}

int sql_field_finder::get_field_idx(const std::wstring& name) const {
  tk_trace_w(1, L"sql_field_finder::get_field_idx(%s)", name.c_str());
  for (std::size_t i = 0; i < names_.size(); ++i)
    if (tk_equal_nocase(names_[i], name)) return static_cast<int>(i);
  return -1;
}

// ---- Appending ----------------------------------------------------------------------------------------------------

sql_table::~sql_table() {
  tk_trace(2, "sql_table::dtor");
  if (pending_.empty()) return;
  try {
    flush();
  } catch (const std::exception& e) {
    tk_trace_w(3, L"Table '%s': ERROR '%s'", table_name.c_str(), tk_utf8_to_unicode(e.what()).c_str());
  }
}

void sql_table::flush() {
  if (pending_.empty()) return;
  tk_trace(1, "Run SQL query: [%s]", pending_.size() > 2000 ? pending_.substr(0, 2000).c_str() : pending_.c_str());
  std::string statement;
  statement.swap(pending_);
  const int64_t rows = pending_rows_;
  pending_rows_ = 0;
  pending_head_.clear();
  try {
    db().query_append(statement);
  } catch (tk_exception& e) {
    e.message = tk_format("Table '%s': %lld rows were not written: ", tk_to_utf8(table_name).c_str(),
                          static_cast<long long>(rows)) +
                e.message;
    throw;
  }
}

void sql_table::build_lists(const udb_record& record, bool placeholders, std::string& columns, std::string& values,
                            std::vector<sql_long_param>* long_params) {
  sql_engine& engine = db().engine();
  const bool quote = !engine.is_old_version();
  const sql_field_finder finder(engine, record);
  auto add = [&](const std::wstring& column, const udb_field& field, const t_ftd& descriptor) {
    if (!columns.empty()) {
      columns += ", ";
      values += ", ";
    }
    columns += tk_to_utf8(quote ? engine.get_safe_name(column) : column);
    if (placeholders && !field.is_empty() && field.get_size() > sql_long_data_threshold) {
      values += "?";
      if (long_params) long_params->push_back({&field, udb_is_binary_type(descriptor.vartype)});
    } else {
      values += get_fld_append_str(engine.client(), &field, &descriptor, false);
    }
  };
  if (record.size() < schema.size()) {
    tk_trace(1, "Size of record is less than size of schema");
    for (std::size_t i = 0; i < record.size(); ++i) {
      const t_ftd* descriptor = schema.find_descriptor(finder.name(i));
      tk_trace_w(1, L"Name=%s, mapped name=%s", record[i] ? record[i]->get_name().c_str() : L"",
                 finder.name(i).c_str());
      if (!descriptor) {
        tk_trace_w(1, L"Field %s not found", finder.name(i).c_str());
        does_not_conform();
      }
      add(descriptor->name, field_or_null(record[i]), *descriptor);
    }
  } else {
    tk_trace(1, "Size of schema is less or equal to the size of record");
    for (const t_ftd& column : schema) {
      const int i = finder.get_field_idx(column.name);
      if (i < 0) {
        tk_trace_w(1, L"Field %s not found in appending record", column.name.c_str());
        does_not_conform();
      }
      add(column.name, field_or_null(record[static_cast<std::size_t>(i)]), column);
    }
  }
}

void sql_table::append_record(const udb_record& record) {
  tk_trace(1, "sql_table::append_record");
  const uint32_t total = record.get_total_size();
  tk_trace(1, "record size=%d", static_cast<int>(total));
  std::optional<tk_exception> batch_error;
  if (total > k_batch_limit) {
    tk_trace(3, "Row is too big (%d bytes), swtich to slow_append", static_cast<int>(total));
    db().engine().set_fast_append_allowed(false);
  }
  if (!db().engine().is_fast_append_allowed()) {
    // Rows keep their order: what is still batched goes first.
    try {
      flush();
    } catch (const tk_exception& e) {
      batch_error = e;
    }
  }
  try {
    if (db().engine().is_fast_append_allowed()) fast_append(record);
    else slow_append(record);
  } catch (tk_exception& e) {
    if (batch_error) e.message += "\n" + batch_error->message;
    throw;
  }
  ++appended_;
  if (batch_error) throw *batch_error;
}

void sql_table::fast_append(const udb_record& record) {
  tk_trace(1, "sql_table::fast_append");
  tk_trace(1, "that.size=%d", static_cast<int>(record.size()));
  std::string columns, values;
  build_lists(record, false, columns, values, nullptr);
  const std::string head = std::string(db().mode & 0x100 ? "REPLACE INTO " : "INSERT INTO ") +
                           db().engine().table_ref(table_name) + "(" + columns + ")";
  const std::string row = "(" + values + ")";
  std::optional<tk_exception> batch_error;
  if (!pending_.empty() && (head != pending_head_ || pending_.size() + 2 + row.size() > k_batch_limit)) {
    tk_trace(1, "Initialize new query...");
    restarted_ = true;
    try {
      flush();
    } catch (const tk_exception& e) {
      batch_error = e;  // this row still joins the next batch
    }
  }
  tk_trace(1, "*** FAST INSERT MODE ***");
  if (pending_.empty()) {
    pending_ = head + (restarted_ ? "VALUES" : " VALUES") + row;
    pending_head_ = head;
    restarted_ = false;
  } else {
    pending_ += ", " + row;
  }
  ++pending_rows_;
  if (batch_error) throw *batch_error;
}

void sql_table::slow_append(const udb_record& record) {
  tk_trace(1, "sql_table::slow_append");
  const bool large = record.get_total_size() > k_batch_limit;
  tk_trace(1, "mysql_db.get_mode()=%d", static_cast<int>(db().mode));
  std::string columns, values;
  std::vector<sql_long_param> long_params;
  build_lists(record, large, columns, values, &long_params);
  const std::string statement = std::string(db().mode & 0x100 ? "REPLACE INTO " : "INSERT INTO ") +
                                db().engine().table_ref(table_name) + "(" + columns + ") VALUES (" + values + ")";
  tk_trace(1, "Run SQL query: %s", statement.size() > 2000 ? statement.substr(0, 2000).c_str() : statement.c_str());
  if (long_params.empty()) {
    db().query_append(statement);
    return;
  }
  const int32_t packet = db().engine().get_max_allowed_packet();
  tk_trace(2, "get_max_allowed_packet=%d", packet);
  if (packet > 0 && record.get_total_size() > static_cast<uint32_t>(packet)) {
    tk_trace(2, "row_tot_size > max_allowed_packet");
    throw tk_exception("Row size exceeds 'max_allowed_packet'", 0);
  }
  db().prepared_statement(statement, long_params);
}

// ---- Updating and deleting ----------------------------------------------------------------------------------------

std::string sql_table::where_or_set(const udb_record& record, field_choice which, const char* separator,
                                    bool null_is) {
  sql_engine& engine = db().engine();
  const sql_field_finder finder(engine, record);
  const udb_index* key = key_index >= 0 ? &indexes.at(static_cast<std::size_t>(key_index)) : nullptr;
  std::string text;
  for (std::size_t i = 0; i < record.size(); ++i) {
    const std::wstring& name = finder.name(i);
    tk_trace_w(1, L"Got mappend fn: %s", name.c_str());
    const t_ftd* column = schema.find_descriptor(name);
    if (!column) {
      tk_trace_w(1, L"Field '%s' is not found in schema", name.c_str());
      continue;
    }
    bool in_key = false;
    if (key)
      for (const std::wstring& k : key->columns)
        if (tk_equal_nocase(k, column->name)) in_key = true;
    if ((which == field_choice::key && !in_key) || (which == field_choice::non_key && in_key)) continue;
    const udb_field& field = field_or_null(record[i]);
    if (!text.empty()) text += separator;
    text += tk_to_utf8(engine.get_safe_name(column->name));
    if (null_is && field.is_empty()) text += " IS NULL";
    else text += "=" + sql_value_literal(engine.client(), field, *column);
  }
  return text;
}

void sql_table::update1(const udb_record& record) {
  tk_trace(1, "sql_table::update");
  flush();
  if (key_index < 0) {
    tk_trace(1, "There's no primary/unique key");
    throw tk_exception("Table '%s' has no primary or unique key: its rows cannot be updated",
                       tk_to_utf8(table_name), 0);
  }
  if (static_cast<std::size_t>(key_index) >= indexes.size()) throw tk_mail_assertion("sql_tab", 692);
  const std::string conditions = where_or_set(record, field_choice::key, " AND ", true);
  const std::string assignments = where_or_set(record, field_choice::non_key, ", ", false);
  if (conditions.empty()) {
    tk_trace(1, "Missing primary/unique key");
    throw tk_exception("The record holds no key of the table '%s'", tk_to_utf8(table_name), 0);
  }
  if (assignments.empty()) return;  // the record holds the key alone: nothing to change
  const std::string statement = "UPDATE " + tk_to_utf8(db().engine().get_safe_name(table_name)) + " SET " +
                                assignments + " WHERE " + conditions;
  tk_trace(2, "UPDATE QUERY: %s", statement.c_str());
  db().query_append(statement);
}

void sql_table::update2(const udb_record& record, const std::wstring& key) {
  tk_trace_w(1, L"sql_table::update(key=%s)", key.c_str());
  flush();
  if (key.empty()) {
    tk_trace(1, "Missing key for update");
    throw tk_exception("Table '%s': no key names the row to update", tk_to_utf8(table_name), 0);
  }
  // Key columns are assigned too: the key text, not the record, selects the row.
  const std::string assignments = where_or_set(record, field_choice::all, ", ", false);
  if (assignments.empty()) return;
  const std::string statement = "UPDATE " + tk_to_utf8(db().engine().get_safe_name(table_name)) + " SET " +
                                assignments + " WHERE " + tk_to_utf8(sql_sync::build_filter(schema, key));
  tk_trace(2, "UPDATE QUERY: %s", statement.c_str());
  db().query_append(statement);
}

void sql_table::delete_key(const std::wstring& key) {
  tk_trace_w(1, L"sql_table::delete_key(%s)", key.c_str());
  flush();
  const std::wstring filter = sql_sync::build_filter(schema, key);
  if (filter.empty()) throw tk_exception("Table '%s': no key names the rows to delete", tk_to_utf8(table_name), 0);
  db().query_append("delete from " + tk_to_utf8(db().engine().get_safe_name(table_name)) + " where " +
                    tk_to_utf8(filter));
}

void sql_table::delete_key(const udb_record& record) {
  tk_trace(1, "sql_table::delete_key");
  flush();
  const std::string conditions = where_or_set(record, field_choice::all, " AND ", true);
  // A record without any column of the table would match every row.
  if (conditions.empty()) throw tk_exception("The record holds no column of the table '%s'", tk_to_utf8(table_name), 0);
  db().query_append("DELETE FROM " + tk_to_utf8(db().engine().get_safe_name(table_name)) + " WHERE " + conditions);
}
