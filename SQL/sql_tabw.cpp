// Writing rows into a MySQL table: batched and one-by-one appends, updates and deletes (see sql_tab.h).
#include <optional>

#include "SQL/sql_db.h"
#include "SQL/sql_engi.h"
#include "SQL/sql_lit.h"
#include "SQL/sql_recs.h"
#include "SQL/sql_sync.h"
#include "SQL/sql_util.h"
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

// An error of the client library (the connection lost, the server gone), not one the server gave a statement.
bool is_connection_error(const tk_exception& e) { return e.code >= 0x400000 + 2000 && e.code < 0x400000 + 3000; }

const udb_field& field_or_null(const udb_field* field) {
  static const udb_field null_field;
  return field ? *field : null_field;
}

}  // namespace

// ---- sql_field_finder ---------------------------------------------------------------------------------------------

namespace {

const t_ftd* column_named(const udb_schema& schema, const std::wstring& name, bool exact) {
  for (const t_ftd& c : schema)
    if (exact ? c.name == name : tk_equal_nocase(c.name, name)) return &c;
  return nullptr;
}

const std::wstring* renamed(const udb_names_map::name_map* renamings, const std::wstring& name, bool exact) {
  if (!renamings) return nullptr;
  for (const auto& [from, to] : *renamings)
    if (exact ? from == name : tk_equal_nocase(from, name)) return &to;
  return nullptr;
}

}  // namespace

const t_ftd* sql_field_finder::resolve(const udb_names_map::name_map* renamings, const udb_schema& schema,
                                       const std::wstring& name) {
  // A renamed field never stands for the column of its old name: that one belongs to another field (a_b, when
  // a`b became a_b00000). Case-blind matches come after every exact one (Name and name00000 for Name, name).
  for (const bool exact : {true, false}) {
    if (const std::wstring* to = renamed(renamings, name, exact)) {
      if (const t_ftd* c = column_named(schema, *to, true)) return c;
      return column_named(schema, *to, false);
    }
    if (const t_ftd* c = column_named(schema, name, exact)) return c;
  }
  return nullptr;
}

sql_field_finder::sql_field_finder(const udb_names_map::name_map* renamings, const udb_schema& schema,
                                   const udb_record& record) {
  tk_trace(1, "sql_field_finder::ctor");
  for (std::size_t i = 0; i < record.size(); ++i) {
    const t_ftd* c = record[i] ? resolve(renamings, schema, record[i]->get_name()) : nullptr;
    tk_trace_w(1, L"Name=%s, mapped name=%s", record[i] ? record[i]->get_name().c_str() : L"",
               c ? c->name.c_str() : L"");
    columns_.push_back(c);
  }
}

int sql_field_finder::get_field_idx(const std::wstring& column) const {
  tk_trace_w(1, L"sql_field_finder::get_field_idx(%s)", column.c_str());
  for (std::size_t i = 0; i < columns_.size(); ++i)
    if (columns_[i] && columns_[i]->name == column) return static_cast<int>(i);
  return -1;
}

// ---- Appending ----------------------------------------------------------------------------------------------------

sql_table::~sql_table() {
  tk_trace(2, "sql_table::dtor");
  if (pending_.empty()) return;
  try {
    send_pending(true);
  } catch (const std::exception& e) {
    tk_trace_w(3, L"Table '%s': ERROR '%s'", table_name.c_str(), tk_utf8_to_unicode(e.what()).c_str());
  }
}

void sql_table::flush() { send_pending(false); }

const udb_names_map::name_map* sql_field_finder::renamings_of(const udb_names_map& names,
                                                               const std::wstring& table) {
  const auto& maps = names.field_maps();
  auto it = maps.find(table);
  if (it != maps.end()) return &it->second;
  for (const auto& [name, fields] : maps)
    if (tk_equal_nocase(name, table)) return &fields;
  return nullptr;
}

const udb_names_map::name_map* sql_table::renamings() {
  return sql_field_finder::renamings_of(db().names_map, table_name);
}

void sql_table::send_pending(bool in_destructor) {
  if (pending_.empty()) return;
  std::vector<pending_row> rows;
  rows.swap(pending_);
  const std::string head = pending_head_;
  const bool restarted = pending_restarted_;
  pending_head_.clear();
  pending_size_ = 0;
  std::string statement = head + (restarted ? "VALUES" : " VALUES");
  for (std::size_t i = 0; i < rows.size(); ++i) statement += (i ? ", " : "") + rows[i].values;
  tk_trace(1, "Run SQL query: [%s]", statement.size() > 2000 ? statement.substr(0, 2000).c_str() : statement.c_str());
  auto rows_not_written = [&](tk_exception& e, std::size_t count) {
    e.message = tk_format("Table '%s': %lld rows were not written: ", tk_to_utf8(table_name).c_str(),
                          static_cast<long long>(count)) +
                e.message;
  };
  try {
    db().query_append(statement);
    return;
  } catch (tk_exception& e) {
    if (is_connection_error(e)) {
      rows_not_written(e, rows.size());
      throw;
    }
    if (!refused_batch_is_undone()) {
      // MyISAM and its kind keep the rows before the refused one: sent again, they would be there twice.
      e.message = tk_format("Table '%s': the server refused a batch of rows #%lld to #%lld; its storage engine keeps "
                            "those before the refused one: ",
                            tk_to_utf8(table_name).c_str(), static_cast<long long>(rows.front().number),
                            static_cast<long long>(rows.back().number)) +
                  e.message;
      throw;
    }
    tk_trace(3, "Table '%s': the batch of %d rows was refused (%s); its rows are written one by one",
             tk_to_utf8(table_name).c_str(), static_cast<int>(rows.size()), e.what());
  }
  std::optional<tk_exception> refused;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    try {
      db().query_append(head + " VALUES" + rows[i].values);
    } catch (tk_exception& e) {
      // The connection failed, not the row: the rows left are not tried.
      if (is_connection_error(e)) {
        rows_not_written(e, rows.size() - i);
        if (refused) e.message += "\n" + refused->message;
        throw;
      }
      const std::wstring context = tk_wformat(L"%s, record #%lld", table_name.c_str(),
                                              static_cast<long long>(rows[i].number));
      if (sql_report_item(context, e, in_destructor)) continue;
      tk_trace_w(3, L"%s: %s", context.c_str(), tk_utf8_to_unicode(e.message).c_str());
      const std::string line = tk_to_utf8(context) + ": " + e.message;
      if (!refused) {
        refused = e;
        refused->message = line;
      } else {
        refused->message += "\n" + line;
      }
    }
  }
  if (refused) throw *refused;
}

bool sql_table::refused_batch_is_undone() {
  if (db().engine().get_version() < sql_version_5_0_1) return false;
  try {
    std::unique_ptr<sql_tmp_recordset> answer = db().run(
        "SELECT e.TRANSACTIONS FROM information_schema.TABLES t JOIN information_schema.ENGINES e ON e.ENGINE = "
        "t.ENGINE WHERE t.TABLE_SCHEMA = DATABASE() AND t.TABLE_NAME = " + sql_hex_literal(tk_to_utf8(table_name)));
    const bool undone = answer && !answer->is_eof() && answer->get_item()->at(0)->to_string() == "YES";
    tk_trace(2, "The table's engine has transactions: %d", undone ? 1 : 0);
    return undone;
  } catch (const tk_exception& e) {
    tk_trace(2, "The table's engine is unknown: %s", e.what());
    return false;
  }
}

void sql_table::build_lists(const udb_record& record, bool placeholders, std::string& columns, std::string& values,
                            std::vector<sql_long_param>* long_params) {
  sql_engine& engine = db().engine();
  const bool quote = !engine.is_old_version();
  const sql_field_finder finder(renamings(), schema, record);
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
      const t_ftd* descriptor = finder.column(i);
      if (!descriptor) {
        tk_trace_w(1, L"Field %s not found", record[i] ? record[i]->get_name().c_str() : L"");
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
  std::string row = "(" + values + ")";
  std::optional<tk_exception> batch_error;
  if (!pending_.empty() && record.size() != pending_fields_)
    tk_trace(3, "cached_rec_size=%d, that.size=%d", static_cast<int>(pending_fields_),
             static_cast<int>(record.size()));
  if (!pending_.empty() && (head != pending_head_ || pending_size_ + 2 + row.size() > k_batch_limit)) {
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
    pending_head_ = head;
    pending_fields_ = record.size();
    pending_restarted_ = restarted_;
    pending_size_ = head.size() + (restarted_ ? 6 : 7) + row.size();
    restarted_ = false;
  } else {
    pending_size_ += 2 + row.size();
  }
  pending_.push_back({std::move(row), appended_ + 1});
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
  db().prepared_statement(statement, long_params, record.get_total_size());
}

// ---- Updating and deleting ----------------------------------------------------------------------------------------

std::string sql_table::where_or_set(const udb_record& record, field_choice which, const char* separator,
                                    bool null_is) {
  sql_engine& engine = db().engine();
  const sql_field_finder finder(renamings(), schema, record);
  const udb_index* key = key_index >= 0 ? &indexes.at(static_cast<std::size_t>(key_index)) : nullptr;
  std::string text;
  for (std::size_t i = 0; i < record.size(); ++i) {
    const t_ftd* column = finder.column(i);
    if (!column) {
      tk_trace_w(1, L"Field '%s' is not found in schema", record[i] ? record[i]->get_name().c_str() : L"");
      continue;
    }
    tk_trace_w(1, L"Got mappend fn: %s", column->name.c_str());
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

std::string sql_table::key_filter(const std::wstring& key) {
  const udb_names_map::name_map* map = renamings();
  return tk_to_utf8(sql_sync::build_filter(key, [&](const std::wstring& name) {
    return sql_field_finder::resolve(map, schema, name);
  }));
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
                                assignments + " WHERE " + key_filter(key);
  tk_trace(2, "UPDATE QUERY: %s", statement.c_str());
  db().query_append(statement);
}

void sql_table::delete_key(const std::wstring& key) {
  tk_trace_w(1, L"sql_table::delete_key(%s)", key.c_str());
  flush();
  const std::string filter = key_filter(key);
  if (filter.empty()) throw tk_exception("Table '%s': no key names the rows to delete", tk_to_utf8(table_name), 0);
  db().query_append("delete from " + tk_to_utf8(db().engine().get_safe_name(table_name)) + " where " + filter);
}

void sql_table::delete_key(const udb_record& record) {
  tk_trace(1, "sql_table::delete_key");
  flush();
  const std::string conditions = where_or_set(record, field_choice::all, " AND ", true);
  // A record without any column of the table would match every row.
  if (conditions.empty()) throw tk_exception("The record holds no column of the table '%s'", tk_to_utf8(table_name), 0);
  db().query_append("DELETE FROM " + tk_to_utf8(db().engine().get_safe_name(table_name)) + " WHERE " + conditions);
}
