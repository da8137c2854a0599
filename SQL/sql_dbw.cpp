// The writing side of an open MySQL database: tables, views, foreign keys and the statements that carry rows
// (see sql_db.h).
#include <optional>

#include "SQL/sql_db.h"
#include "SQL/sql_engi.h"
#include "SQL/sql_sch.h"
#include "SQL/sql_tab.h"
#include "SQL/sql_view.h"
#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "TK/tk_nocase.h"
#include "TK/tk_utils.h"

namespace {

constexpr std::size_t k_long_data_chunk = 0x20000;

// One failed item of a list: reported through the error handler, or kept to be raised once the list is done.
void report_item(const std::wstring& context, const tk_exception& e, std::optional<tk_exception>& first) {
  if (!sql_report_item(context, e, false) && !first) first = e;
}

}  // namespace

bool sql_report_item(const std::wstring& context, const tk_exception& e, bool may_return) {
  if (!error_handler::exists()) return false;
  error_handler::instance().set_context(context);
  error_handler::instance().handle(e, may_return);
  return true;
}

void sql_database::query_append(const std::string& text) {
  tk_trace(2, "sql_database::query_append(q_len=%d)", static_cast<int>(text.size()));
  tk_trace(1, "sql_database::do_query1(%s)", text.size() > 2000 ? text.substr(0, 2000).c_str() : text.c_str());
  make_current();
  if (!engine_.execute(text)) {
    tk_trace(3, "QUERY=%s", text.size() > 2000 ? text.substr(0, 2000).c_str() : text.c_str());
    throw sql_exception(engine_.client());
  }
}

void sql_database::prepared_statement(const std::string& text, const std::vector<sql_long_param>& params,
                                      uint32_t row_size) {
  tk_trace(1, "sql_database::prepared_statement(%s, %d)", text.c_str(), static_cast<int>(params.size()));
  make_current();
  std::unique_ptr<sql_statement> statement = engine_.client().new_statement();
  if (!statement) throw sql_prep_stmt_failed_exception(engine_.client().error_text(), 1);
  auto fail = [&](const char* step, int32_t level) {
    const std::string error = statement->error_text();
    tk_trace(2, "%s failed: error=%s", step, error.c_str());
    throw sql_prep_stmt_failed_exception(error, level);
  };
  if (!statement->prepare(text)) fail("mysql_stmt_prepare", 1);
  std::vector<bool> binary;
  for (const sql_long_param& p : params) binary.push_back(p.binary);
  if (!statement->bind_long_data(binary)) fail("Binding", 1);
  for (std::size_t i = 0; i < params.size(); ++i) {
    const uint8_t* data = nullptr;
    std::string storage;
    const std::size_t size = params[i].field->get_bytes(&data, &storage);
    tk_trace(1, "Reading field #%d (size=%d)", static_cast<int>(i), static_cast<int>(size));
    for (std::size_t pos = 0; pos < size; pos += k_long_data_chunk) {
      const std::size_t n = std::min(k_long_data_chunk, size - pos);
      if (!statement->send_long_data(static_cast<unsigned>(i), reinterpret_cast<const char*>(data) + pos,
                                     static_cast<unsigned long>(n)))
        fail("mysql_stmt_send_long_data", 1);
    }
  }
  if (!statement->execute()) {
    // The server refused the row (a duplicate key, a value out of range): an error of this row alone.
    const std::string error = statement->error_text();
    tk_trace(3, "QUERY=%s", text.c_str());
    tk_trace(3, "mysql_stmt_execute failed: error=%s", error.c_str());
    tk_trace(3, "row size=%d", static_cast<int>(row_size));
    throw sql_prep_stmt_failed_exception(error, 0);
  }
}

std::wstring sql_database::refine_view_in(const std::wstring& sql) const { return sql_refine_view_in(sql, names_map); }

std::unique_ptr<udb_recordset> sql_database::create_table(const std::wstring& table, const udb_schema& schema,
                                                          const udb_indexes& indexes) {
  tk_trace_w(2, L"sql_database::create_table(%s)", table.c_str());
  if (mode & 0x01) throw tk_mail_assertion("sql_db", 336);
  if (is_table_exist(table)) return get_table(table, 8);

  std::wstring auto_increment;
  sql_schema_initializer columns(engine_, table, schema, indexes, auto_increment);
  std::vector<std::wstring> chunks;
  columns.get_init_chunks(chunks);
  std::wstring text = L"CREATE TABLE " + engine_.get_safe_name(table) + L" (";
  for (std::size_t i = 0; i < chunks.size(); ++i) text += (i ? L", " : L"") + chunks[i];
  if (!indexes.empty() || !auto_increment.empty()) {
    std::vector<std::wstring> keys;
    sql_indexes_initializer(engine_, indexes, columns.names(), columns.schema(), auto_increment).get_init_chunks(keys);
    for (const std::wstring& k : keys) text += L", " + k;
  }
  text += L")";
  const udb_engine_properties* properties = engine_.get_properties();
  if (properties) {
    auto cs = properties->find(L"character set");
    if (cs != properties->end() && !cs->second.empty()) text += L" character set " + cs->second;
  }
  std::wstring storage = engine_.get_table_type();
  if (properties) {
    auto e = properties->find(L"engine");
    if (e != properties->end() && !e->second.empty()) storage = e->second;
    else if (engine_.get_version() < 0x031723) storage = L"MyISAM";
  } else if (engine_.get_version() < 0x031723) {
    storage = L"MyISAM";
  }
  text += (engine_.get_version() > 0x040016 ? L" ENGINE=" : L" TYPE=") + storage;
  tk_trace_w(2, L"Run SQL-query: %s\n", text.c_str());
  query_append(tk_to_utf8(text));

  tables.push_back(table);
  tk_trace(2, "Step #1");
  // Stored even when empty: the renamings of a table of that name dropped before no longer hold.
  names_map.add_fn_map(table, columns.names());
  tk_trace(2, "Step #2");
  return get_table(table, 2);
}

bool sql_database::delete_tab(const std::wstring& table) {
  tk_trace_w(2, L"sql_database::delete_tab (%s)", table.c_str());
  if (mode & 0x01) throw tk_mail_assertion("sql_db", 446);
  if (!is_table_exist(table)) throw tk_mail_assertion("sql_db", 447);
  query_append("DROP TABLE IF EXISTS " + tk_to_utf8(engine_.get_safe_name(table)) + " CASCADE");
  return udb_database::delete_tab(table);
}

void sql_database::empty_table(const std::wstring& table) {
  // The name is quoted as every other name (back-quotes inside doubled).
  udb_database::empty_table(engine_.get_safe_name(table));
}

void sql_database::create_views(const udb_view_list& list) {
  tk_trace(2, "sql_database::create_views");
  udb_name_list names;
  for (const auto& view : list) names.push_back(view.first);
  std::unique_ptr<udb_validator> validator = engine_.create_tn_validator(names, udb_name_list());
  std::optional<tk_exception> first;
  for (const auto& [view_name, sql] : list) {
    tk_trace_w(2, L"Processing '%s'", view_name.c_str());
    tk_trace_w(2, L"\t'%s'", sql.c_str());
    if (sql.size() < 6 || !tk_equal_nocase(std::wstring_view(sql).substr(0, 6), L"select")) {
      tk_trace(2, "Skip non-select query");
      continue;
    }
    try {
      std::wstring name = view_name;
      if (!validator->is_acceptable(name)) {
        name = validator->get_safe_name(name);
        names_map.add_tn_mapping(view_name, name);
        tk_trace_w(2, L"Store generated view name '%s'", name.c_str());
        validator->add_existing_name(name);
      }
      do_query2(L"CREATE OR REPLACE VIEW " + engine_.get_safe_name(name) + L" AS " + refine_view_in(sql));
    } catch (const tk_exception& e) {
      tk_trace(2, "Error while creating view:\n%s\n", e.what());
      report_item(L"View '" + view_name + L"'", e, first);
    }
  }
  if (first) throw *first;
}

std::string sql_database::fk_index_statement(const std::wstring& table, const udb_name_list& columns,
                                             udb_name_list& mapped) {
  tk_trace_w(1, L"sql_database::create_fk_index_if(%s)", table.c_str());
  // The table's indexes as the server has them now (its foreign keys are not read again).
  const sql_table current(this, table, nullptr, 1);
  // Each column as create_table named it (Name stays Name beside name00000).
  const udb_names_map::name_map* renamings = sql_field_finder::renamings_of(names_map, table);
  mapped.clear();
  for (const std::wstring& c : columns) {
    const t_ftd* column = sql_field_finder::resolve(renamings, current.schema, c);
    mapped.push_back(column ? column->name : c);
  }
  if (current.indexes.has_index_on_fields(mapped, false)) {
    tk_trace_w(1, L"Index for table '%s' exists", table.c_str());
    return std::string();
  }
  tk_trace_w(1, L"Index for table '%s' does NOT exist", table.c_str());
  std::wstring list;
  for (const std::wstring& c : mapped) list += (list.empty() ? L"" : L", ") + engine_.get_safe_name(c);
  return tk_to_utf8(L"ALTER TABLE " + engine_.get_safe_name(table) + L" ADD INDEX (" + list + L")");
}

void sql_database::create_fk_index_if(const std::wstring& table, const udb_name_list& columns) {
  udb_name_list mapped;
  const std::string statement = fk_index_statement(table, columns, mapped);
  if (!statement.empty()) query_append(statement);
}

void sql_database::create_relationships(const udb_relationships& list) {
  tk_trace(2, "sql_database::create_relationships");
  tk_trace(3, "Converting foreign keys");
  if (engine_.get_version() <= 0x03172B) {
    tk_trace(3, "This version of MySQL doesn't support Foreign Keys");
    return;
  }
  if (mode == 8) {
    tk_trace(3, "Foreign keys are not converted in append mode");
    return;
  }
  // Reading a table's indexes below may add to this database's own list: work on a copy.
  const udb_relationships relationships = list;
  try {
    query_append("SET FOREIGN_KEY_CHECKS = 0");
  } catch (const tk_exception& e) {
    tk_trace(2, "Cannot turn OFF foreign key check: %s", e.what());
  }
  std::unique_ptr<udb_validator> validator = engine_.create_in_validator(udb_indexes());
  std::optional<tk_exception> first;
  for (const udb_relationship& r : relationships) {
    tk_trace_w(3, L"Processing '%s'", r.name.c_str());
    try {
      const std::wstring fk_table = names_map.get_tn_mapped_name(r.table, case_sensitive != 0);
      const std::wstring pk_table = names_map.get_tn_mapped_name(r.ref_table, case_sensitive != 0);
      tk_trace_w(2, L"fk_table_name=%s", fk_table.c_str());
      tk_trace_w(2, L"pk_table_name=%s", pk_table.c_str());
      for (const std::wstring* t : {&fk_table, &pk_table})
        if (!is_table_exist(*t)) throw tk_exception("Table '%s' not exists", tk_to_utf8(*t), 0);

      std::wstring lock = L"LOCK TABLES " + engine_.get_safe_name(pk_table) + L" WRITE";
      if (!tk_equal_nocase(fk_table, pk_table)) lock += L", " + engine_.get_safe_name(fk_table) + L" WRITE";
      tk_trace_w(3, L"Locking query: '%s'", lock.c_str());
      // Names read from a MySQL table's definition come back-quoted: the name is what the quotes enclose.
      std::wstring constraint = r.name;
      if (constraint.size() >= 2 && constraint.front() == L'`' && constraint.back() == L'`') {
        const std::wstring inner = constraint.substr(1, constraint.size() - 2);
        constraint.clear();
        for (std::size_t i = 0; i < inner.size(); ++i) {
          constraint += inner[i];
          if (inner[i] == L'`' && i + 1 < inner.size() && inner[i + 1] == L'`') ++i;
        }
      }
      if (!validator->is_acceptable(constraint) || validator->is_duplicated(constraint)) {
        constraint = validator->get_safe_name(constraint);
        tk_trace_w(2, L"Store generated index name '%s'", constraint.c_str());
      }
      validator->add_existing_name(constraint);
      // The indexes a foreign key needs are looked up before the tables are locked (the look-up reads other
      // tables than the two locked ones).
      udb_name_list fk_columns, pk_columns;
      const std::string fk_index = fk_index_statement(fk_table, r.fk_flds, fk_columns);
      const std::string pk_index = fk_index_statement(pk_table, r.pk_flds, pk_columns);
      auto column_list = [&](const udb_name_list& columns) {
        std::wstring text;
        for (const std::wstring& c : columns) text += (text.empty() ? L"" : L", ") + engine_.get_safe_name(c);
        return text;
      };
      const std::wstring alter = L"ALTER TABLE " + engine_.get_safe_name(fk_table) + L" ADD CONSTRAINT " +
                                 engine_.get_safe_name(constraint) + L" FOREIGN KEY(" + column_list(fk_columns) +
                                 L") REFERENCES " + engine_.get_safe_name(pk_table) + L"(" +
                                 column_list(pk_columns) + L")";
      query_append(tk_to_utf8(lock));
      // The locks end with this key, whatever happens: a lock left behind refuses every other table.
      try {
        if (!fk_index.empty()) query_append(fk_index);
        if (!pk_index.empty()) query_append(pk_index);
        tk_trace_w(3, L"Foreign key query: '%s'", alter.c_str());
        query_append(tk_to_utf8(alter));
      } catch (...) {
        engine_.execute("UNLOCK TABLES");
        throw;
      }
      query_append("UNLOCK TABLES");
    } catch (const tk_exception& e) {
      tk_trace(3, "Error while creating FK:\n%s\n", e.what());
      report_item(L"Foreign key '" + r.name + L"'", e, first);
    }
  }
  try {
    query_append("SET FOREIGN_KEY_CHECKS = 1");
  } catch (const tk_exception& e) {
    tk_trace(2, "Cannot turn ON foreign key check: %s", e.what());
  }
  if (first) throw *first;
}
