// The catalogue reads of a MySQL table: columns, defaults, indexes and foreign keys (see sql_tab.h).
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

#include "SQL/sql_db.h"
#include "SQL/sql_engi.h"
#include "SQL/sql_fkp.h"
#include "SQL/sql_tab.h"
#include "SQL/sql_util.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "TK/tk_nocase.h"

namespace {

// Runs a catalogue statement and hands each row to the callback; the result is read to its end.
void for_each_row(sql_client& client, const std::string& statement,
                  const std::function<void(const sql_row&)>& on_row) {
  if (!client.query(statement)) {
    tk_trace(3, "QUERY=%s", statement.c_str());
    throw sql_exception(client);
  }
  std::unique_ptr<sql_result> result = client.use_result();
  if (!result) {
    tk_trace(3, "QUERY=%s", statement.c_str());
    throw sql_exception(client);
  }
  sql_row row;
  for (;;) {
    const sql_fetch f = result->fetch(row);
    if (f == sql_fetch::end) return;
    if (f == sql_fetch::error) throw sql_exception(client);
    on_row(row);
  }
}

bool ends_with(const std::string& s, const char* suffix) {
  const std::string x = suffix;
  return s.size() >= x.size() && s.compare(s.size() - x.size(), x.size(), x) == 0;
}

bool is_zero_date(const std::string& s) {
  return s.empty() || s == "0000-00-00" || s == "0000-00-00 00:00:00" || s == "00000000000000";
}

bool is_bit_literal(const std::string& s, uint64_t& value) {
  if (s.size() < 3 || (s[0] != 'b' && s[0] != 'B') || s[1] != '\'' || s.back() != '\'') return false;
  value = 0;
  for (std::size_t i = 2; i + 1 < s.size(); ++i) {
    if (s[i] != '0' && s[i] != '1') return false;
    value = (value << 1) | static_cast<uint64_t>(s[i] - '0');
  }
  return true;
}

}  // namespace

sql_table::sql_table(sql_database* database, const std::wstring& table_name, udb_relationships* relationships,
                     int32_t mode)
    : sql_recordset(database, table_name, relationships) {
  tk_trace(2, "sql_table::ctor");
  initialize(mode);
}

void sql_table::initialize(int32_t mode) {
  tk_trace(2, "sql_table::initialize(%d)", mode);
  read_columns();
  rebuild_plan();
  if ((mode | 0x60) == 0x60) {
    tk_trace(2, "Mode=no_indexes, nothing to do");
    return;
  }
  read_indexes();
  if (db().engine().get_version() >= sql_version_3_23_44) read_foreign_keys();
}

void sql_table::read_columns() {
  sql_engine& engine = db().engine();
  sql_client& client = engine.client();
  const std::string table = engine.table_ref(table_name);

  // Where the server can tell literal defaults from expressions, ask it first. The catalogue also tells each
  // column's own character set (the result's metadata only shows the session's): a set whose characters take up
  // to 4 bytes holds characters outside the BMP.
  const bool catalogue = engine.get_version() >= sql_version_5_0_1;
  const bool quoted_defaults = engine.is_mariadb() && engine.get_version() >= sql_version_mariadb_10_2_7;
  std::map<std::string, sql_default> defaults;
  std::map<std::string, bool> beyond_bmp;
  if (catalogue) {
    // The character sets' widths are read once per connection: joining them into every table's statement
    // would cost the server more than the table's own columns.
    const std::map<std::string, unsigned>& widths = engine.character_set_widths();
    for_each_row(client,
                 "SELECT COLUMN_NAME, COLUMN_DEFAULT, CHARACTER_SET_NAME FROM information_schema.COLUMNS WHERE "
                 "TABLE_SCHEMA = DATABASE() AND TABLE_NAME = " + sql_hex_literal(tk_to_utf8(table_name)),
                 [&](const sql_row& row) {
                   if (row.cells.size() < 3 || row.is_null(0)) return;
                   if (quoted_defaults) defaults[row.text(0)] = sql_read_quoted_default(row.cells[1], row.lengths[1]);
                   auto width = row.is_null(2) ? widths.end() : widths.find(row.text(2));
                   beyond_bmp[row.text(0)] = width != widths.end() && width->second >= 4;
                 });
  }

  for_each_row(client, "SHOW COLUMNS FROM " + table, [&](const sql_row& row) {
    const std::size_t n = row.cells.size();
    if (n < 3 || row.is_null(0)) return;
    const std::string field = row.text(0);
    const std::string type = row.text(1);
    tk_trace(2, "Field '%s' has type: %s", field.c_str(), type.c_str());
    t_ftd* column = schema.find_descriptor(tk_utf8_to_unicode(field));
    if (!column) {
      tk_trace(2, "Field '%s' not found", field.c_str());
      return;
    }

    if (catalogue) {
      auto wide = beyond_bmp.find(field);
      column->beyond_bmp = wide != beyond_bmp.end() && wide->second && column->vartype == VT_BSTR;
    }

    int a = 0, b = 0;
    if (std::sscanf(type.c_str(), "varchar(%d)", &a) == 1) {
      tk_trace(2, "Refining type/size for varchar(%d)", a);
      column->vartype = VT_BSTR;
      column->size = a;
    } else if (std::sscanf(type.c_str(), "float(%d,%d)", &a, &b) == 2) {
      tk_trace(2, "Refining type for FLOAT(%d,%d)", a, b);
      if (a != 0 && b != 0 && static_cast<unsigned>(b) < static_cast<unsigned>(a)) {
        column->vartype = VT_DECIMAL;
        column->precision = a;
        column->scale = b;
      }
    } else if (ends_with(type, "text") || ends_with(type, "TEXT")) {
      tk_trace(2, "Change type from BLOB to TEXT");
      column->vartype = VT_BSTR;
    }

    // The server's Default column is the second-last, Extra the last.
    const std::size_t default_cell = n - 2;
    sql_default def;
    if (quoted_defaults) {
      auto it = defaults.find(field);
      if (it != defaults.end()) def = it->second;
    } else {
      def = sql_read_plain_default(row.cells[default_cell], row.lengths[default_cell], row.text(n - 1));
    }
    tk_trace(2, "Got default value: %s", def.text.c_str());
    if (!column->b_not_null && def.text.empty()) return;
    tk_trace(2, "Default value's type: %08X", column->vartype);

    if (column->vartype == VT_DATE) {
      if (def.kind == sql_default_kind::current_timestamp) {
        tk_trace(2, "Special processing for CURRENT_TIMESTAMP");
        column->reserved = udb_kind_default_now;
      } else if (def.kind == sql_default_kind::expression) {
        tk_trace(2, "Expression default dropped: %s", def.text.c_str());
      } else if (is_zero_date(def.text)) {
        // A zero date means "no date": the column must then accept NULL.
        tk_trace(2, "Skip empty def.values for date column");
        column->b_not_null = false;
      }
      return;  // a date column never keeps a default value
    }
    if (def.kind == sql_default_kind::expression || def.kind == sql_default_kind::current_timestamp) {
      tk_trace(2, "Expression default dropped: %s", def.text.c_str());
      return;
    }
    uint64_t bits = 0;
    if (column->vartype == VT_BOOL) {
      tk_trace(2, "Special processing for boolean");
      if (is_bit_literal(def.text, bits)) column->def_value = ole_variant(bits != 0);
      return;
    }
    if (is_bit_literal(def.text, bits)) {  // a wider BIT column: its number
      char text[32];
      std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(bits));
      const std::string number = text;
      column->def_value = get_variant(column->vartype, &number);
      return;
    }
    const std::wstring text = tk_utf8_to_unicode(def.text);
    column->def_value = get_variant_w(column->vartype, &text);
  });
}

void sql_table::read_indexes() {
  sql_engine& engine = db().engine();
  struct pending_index {
    std::wstring name;
    bool unique = false;
    bool primary = false;
    bool functional = false;
    udb_name_list columns;
  };
  std::vector<pending_index> found;
  for_each_row(engine.client(), "SHOW INDEX FROM " + tk_to_utf8(engine.get_safe_name(table_name)),
               [&](const sql_row& row) {
                 if (row.cells.size() < 5 || row.is_null(2)) return;
                 const bool unique = std::atoi(row.text(1).c_str()) == 0;
                 const std::string key = row.text(2);
                 const bool primary = key == "PRIMARY";
                 tk_trace(2, "Got index '%s' (primary=%d, unique=%d)", key.c_str(), primary ? 1 : 0, unique ? 1 : 0);
                 const std::wstring wkey = tk_utf8_to_unicode(key);
                 pending_index* index = nullptr;
                 for (auto& p : found)
                   if (tk_equal_nocase(p.name, wkey)) index = &p;
                 if (!index) {
                   found.push_back(pending_index{wkey, unique, primary, false, {}});
                   index = &found.back();
                 }
                 // A key part over an expression has no column: the destination cannot index it.
                 if (row.is_null(4)) index->functional = true;
                 else index->columns.push_back(tk_utf8_to_unicode(row.text(4)));
               });
  for (const pending_index& p : found) {
    if (p.functional) {
      tk_trace_w(3, L"Index '%s' has a part that is no column: skipped", p.name.c_str());
      continue;
    }
    add_index(udb_index(p.name, p.unique, p.primary, p.columns));
  }
}

void sql_table::read_foreign_keys() {
  tk_trace(2, "Extracting foreign keys");
  sql_engine& engine = db().engine();
  std::string create_text;
  for_each_row(engine.client(), "SHOW CREATE TABLE " + tk_to_utf8(engine.get_safe_name(table_name)),
               [&](const sql_row& row) {
                 if (!row.cells.empty() && !row.is_null(row.cells.size() - 1))
                   create_text = row.text(row.cells.size() - 1);
               });
  if (relationships_ && !create_text.empty()) sql_fk_parser(table_name, create_text).do_parse(*relationships_);
}
