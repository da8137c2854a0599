// CREATE TABLE clauses of a MySQL destination (see sql_sch.h).
#include "SQL/sql_sch.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "SQL/sql_engi.h"
#include "SQL/sql_lit.h"
#include "SQL/sql_tab.h"
#include "SQL/sql_util.h"
#include "TK/tk_log.h"
#include "TK/tk_nocase.h"
#include "TK/tk_utils.h"
#include "UDB/udb_rule.h"

namespace {

constexpr uint32_t k_row_limit = 65535;
constexpr int32_t k_counted_bound = 5592405;
constexpr int32_t k_index_text_limit = 768;
constexpr std::size_t k_index_columns = 16;

bool is_integer_kind(VARTYPE vt) {
  switch (vt) {
    case VT_I2: case VT_I4: case VT_BOOL: case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8:
    case VT_UI8: case VT_INT: case VT_UINT:
      return true;
    default:
      return false;
  }
}

// The character set utf8 names on the server: newer servers list it only under that set's own name, utf8mb3 or
// (MariaDB without UTF8_IS_UTF8MB3 in its old_mode) utf8mb4. Nothing when the server does not say.
std::string utf8_stands_for(sql_client& client) {
  if (!client.query("SELECT CHARSET(CONVERT('' USING utf8))")) return std::string();
  std::unique_ptr<sql_result> result = client.use_result();
  if (!result) return std::string();
  std::string name;
  sql_row row;
  for (sql_fetch f; (f = result->fetch(row)) != sql_fetch::end && f != sql_fetch::error;)
    if (name.empty() && !row.cells.empty() && !row.is_null(0)) name = row.text(0);
  return name;
}

// The most bytes a character takes in the tables written here: those of the engine's character set (which a
// table takes when the settings name one; otherwise the database's own, never wider than utf8mb4's 4); before
// 4.1.0 a character was a byte.
unsigned text_width(sql_engine& engine) {
  if (engine.is_old_version()) return 1;
  if (engine.get_version() >= sql_version_5_0_1) {
    try {
      const std::map<std::string, unsigned>& widths = engine.character_set_widths();
      std::string name = tk_to_utf8(engine.get_charset());
      for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      auto it = widths.find(name);
      if (it == widths.end() && name == "utf8") it = widths.find(utf8_stands_for(engine.client()));
      if (it != widths.end() && it->second > 0) return it->second;
    } catch (const tk_exception& e) {
      tk_trace(2, "The character sets' widths are unknown: %s", e.what());
    }
  }
  return 4;
}

}  // namespace

// ---- sql_schema ---------------------------------------------------------------------------------------------------

sql_schema::sql_schema(unsigned bytes_per_char) : width_(bytes_per_char ? bytes_per_char : 4) {
  tk_trace(1, "sql_schema::ctor");
}

void sql_schema::push_back(t_ftd column) {
  tk_trace_w(1, L"sql_schema::push_back(%s, size=%d)", column.name.c_str(), column.size);
  const std::size_t position = size();
  if (column.vartype == VT_BSTR && sql_text_fits_varchar(column.size, width_)) {
    tk_trace(1, "Special processing for string values");
    auto at = std::find_if(lobs_.begin(), lobs_.end(),
                           [&](std::size_t i) { return (*this)[i].size <= column.size; });
    tk_trace(1, "Insert new column into 'lobs' at pos=%d", static_cast<int>(at - lobs_.begin()));
    lobs_.insert(at, position);
    total_ += text_bytes(column.size);
  } else if (column.size > 0 && column.size < k_counted_bound) {
    total_ += static_cast<uint32_t>(column.size);
  }
  udb_schema::push_back(std::move(column));
  if (total_ <= k_row_limit) return;
  tk_trace(1, "Schema total size %d exceeds %d bytes, transforming schema...", static_cast<int>(total_),
           static_cast<int>(k_row_limit));
  while (!lobs_.empty() && total_ > k_row_limit) {
    t_ftd& longest = (*this)[lobs_.front()];
    tk_trace_w(3, L"Column '%s' converted into LONG TEXT", longest.name.c_str());
    const uint32_t bytes = text_bytes(longest.size);
    tk_trace(1, "Decreasing total size at %d bytes", static_cast<int>(bytes));
    total_ = total_ > bytes ? total_ - bytes : 0;
    tk_trace(1, "New total_size = %d", static_cast<int>(total_));
    longest.size = 0;
    lobs_.erase(lobs_.begin());
  }
}

// ---- Column clauses -----------------------------------------------------------------------------------------------

sql_schema_initializer::sql_schema_initializer(sql_engine& engine, const std::wstring& table,
                                               const udb_schema& source, const udb_indexes& indexes,
                                               std::wstring& auto_increment)
    : engine_(engine), table_(table), schema_(text_width(engine)), auto_increment_(auto_increment),
      indexes_(indexes), validator_(engine.create_fn_validator(source)) {
  tk_trace(1, "sql_schema_initializer::ctor");
  for (const t_ftd& column : source) {
    // Column names are one name to the server whatever their case: a later Name beside name is renamed.
    const std::wstring name = validator_->is_acceptable(column.name) && !schema_.find_descriptor(column.name)
                                  ? column.name
                                  : validator_->get_safe_name(column.name);
    t_ftd copy = column;
    copy.name = name;
    tk_trace_w(1, L"GOT FIELD: name=%s, type=%d, size=%d, flags=%d, description=%s", name.c_str(), copy.vartype,
               copy.size, copy.reserved, copy.description.c_str());
    schema_.push_back(std::move(copy));
    source_names_.push_back(column.name);
    if (name != column.name) {
      tk_trace_w(1, L"Store generated column name '%s'", name.c_str());
      validator_->add_existing_name(name);
      names_[column.name] = name;
      validator_->add_mapped_pair(column.name, name);
    }
  }
}

void sql_schema_initializer::get_init_chunks(std::vector<std::wstring>& chunks) {
  tk_trace(1, "sql_schema_initializer::get_init_chunks(n_columns=%d)", static_cast<int>(schema_.size()));
  auto_increment_.clear();
  const bool quoted = !engine_.is_old_version();
  for (std::size_t i = 0; i < schema_.size(); ++i) {
    const t_ftd& c = schema_[i];
    tk_trace_w(1, L"Processing field '%s'", c.name.c_str());
    std::wstring clause = (quoted ? engine_.get_safe_name(c.name) : c.name) + L" ";

    tk_trace_w(1, L"native_type=%s", c.native_type.c_str());
    if (udb_custom_conversion::is_acceptable1(c)) clause += udb_custom_conversion::handle1(c);
    else if (!c.native_type.empty()) clause += c.native_type;
    else clause += get_sql_native_type2(c, false, engine_.is_binary_text(), schema_.text_width());

    if (quoted && (c.native_type.find(L"CHAR") != std::wstring::npos ||
                   c.native_type.find(L"TEXT") != std::wstring::npos))
      clause += L" CHARACTER SET " + engine_.get_charset();

    if (c.b_not_null || c.auto_increment || indexes_.is_idx_field(source_names_[i], true) ||
        (engine_.get_version() < 0x031702 && indexes_.is_idx_field(source_names_[i], false)))
      clause += L" NOT NULL";

    tk_trace(1, "sql_schema_initializer::can_have_def_value");
    if (c.auto_increment) {
      tk_trace(2, "WARNING: auto_increment columns cannot have default value!");
    } else if (c.vartype != VT_BLOB && c.vartype != VT_BLOB_OBJECT &&
               !(c.vartype == VT_BSTR && !sql_text_fits_varchar(c.size, schema_.text_width()))) {
      const std::wstring def = make_mysql_def_val(engine_.client(), &c);
      tk_trace_w(1, L"got def value: %s", def.c_str());
      if (!def.empty()) clause += L" DEFAULT " + def;
    }

    tk_trace(1, "sql_schema_initializer::can_have_auto_num");
    if (c.auto_increment && is_integer_kind(c.vartype)) {
      if (!auto_increment_.empty()) throw tk_mail_assertion("sql_init", 140);
      auto_increment_ = c.name;
      clause += L" AUTO_INCREMENT";
    }

    if (!c.description.empty()) {
      tk_trace_w(1, L"Setting column's comment: '%s'", c.description.c_str());
      clause += L" COMMENT " + to_mysql_wstr(engine_.client(), c.description, VT_BSTR);
    }
    tk_trace_w(1, L"sql_query=%s", clause.c_str());
    chunks.push_back(std::move(clause));
  }
  tk_trace(1, "sql_schema_initializer::get_init_chunks - END");
}

// ---- Index clauses ------------------------------------------------------------------------------------------------

sql_indexes_initializer::sql_indexes_initializer(sql_engine& engine, const udb_indexes& source,
                                                 const udb_names_map::name_map& names, const sql_schema& schema,
                                                 const std::wstring& auto_increment)
    : engine_(engine), schema_(schema), auto_increment_(auto_increment) {
  tk_trace(1, "sql_indexes_initializer::ctor");
  std::unique_ptr<udb_validator> validator = engine.create_in_validator(source);
  for (const udb_index& index : source) {
    tk_trace_w(1, L"Processing '%s'", index.name.c_str());
    std::wstring name = index.name;
    // Index names, too, are one name to the server whatever their case.
    bool taken = false;
    for (const udb_index& made : indexes_) taken = taken || tk_equal_nocase(made.name, name);
    const bool generated = name.empty() || !validator->is_acceptable(name) || taken;
    if (generated) {
      name = validator->get_safe_name(name);
      tk_trace_w(1, L"new_name=%s", name.c_str());
    }
    udb_name_list columns;
    for (const std::wstring& column : index.columns) {
      // The column made for that source column (Name and name00000 for Name, name).
      const t_ftd* made = sql_field_finder::resolve(&names, schema, column);
      columns.push_back(made ? made->name : column);
    }
    indexes_.push_back(udb_index(name, index.unique, index.primary, columns));
    if (generated) {
      tk_trace_w(1, L"Store generated index name '%s'", name.c_str());
      validator->add_existing_name(name);
    }
  }
  tk_trace(1, "sql_indexes_initializer::ctor - END");
}

void sql_indexes_initializer::get_init_chunks(std::vector<std::wstring>& chunks) {
  tk_trace(1, "sql_indexes_initializer::get_init_chunks(n_indexes=%d)", static_cast<int>(indexes_.size()));
  const bool old = engine_.is_old_version();
  // The server's limit counts bytes: a text column takes as many per character as the table's character set
  // needs at most.
  const int64_t key_limit = old ? 256 : 3072;
  const int64_t width = schema_.text_width();
  const std::size_t max_indexes = old ? 15 : 63;
  bool auto_seen = false;
  std::size_t handled = 0;
  for (const udb_index& index : indexes_) {
    if (handled >= max_indexes) break;
    tk_trace_w(1, L"Process index '%s'", index.name.c_str());
    if (index.columns.empty()) {
      tk_trace_w(3, L"Skip index '%s' as it is built on empty fields list", index.name.c_str());
      continue;
    }
    if (index.columns.size() > k_index_columns) {
      tk_trace(2, "Max number of indexes has been reached");
      continue;
    }
    ++handled;
    std::wstring clause = index.primary ? L"PRIMARY KEY"
                                        : (index.unique ? L"UNIQUE " : L"INDEX ") + engine_.get_safe_name(index.name);
    clause += L" (";
    int64_t key_sum = 0;
    bool complete = true;
    bool auto_here = false;
    for (std::size_t i = 0; i < index.columns.size() && complete; ++i) {
      const std::wstring& column = index.columns[i];
      tk_trace_w(1, L"Process idx.field %s", column.c_str());
      if (i > 0) clause += L", ";
      if (!auto_increment_.empty() && tk_equal_nocase(column, auto_increment_)) auto_here = true;
      clause += engine_.get_safe_name(column);
      const t_ftd* d = schema_.find_descriptor(column);
      if (!d) {
        tk_trace_w(2, L"Index column '%s' is not found", column.c_str());
        complete = false;
      } else if (udb_is_binary_type(d->vartype) ||
                 (d->vartype == VT_BSTR && (d->size <= 0 || d->size > k_index_text_limit))) {
        tk_trace_w(3, L"Index '%s' built on LOB column(s) is not allowed", index.name.c_str());
        complete = false;
      } else if ((key_sum += d->vartype == VT_BSTR ? d->size * width : d->size) > key_limit) {
        tk_trace_w(3, L"Index '%s' is too big, skip it", index.name.c_str());
        complete = false;
      }
    }
    if (!complete) continue;
    if (auto_here) {
      tk_trace(1, "Got index for auto_increment field");
      auto_seen = true;
    }
    clause += L")";
    tk_trace_w(1, L"sql_query=%s", clause.c_str());
    chunks.push_back(std::move(clause));
  }
  if (!auto_increment_.empty() && !auto_seen) {
    tk_trace(1, "Creating index for auto-field");
    std::unique_ptr<udb_validator> validator = engine_.create_in_validator(indexes_);
    const std::wstring name = validator->is_acceptable(auto_increment_) && !validator->is_duplicated(auto_increment_)
                                  ? auto_increment_
                                  : validator->get_safe_name(auto_increment_);
    chunks.push_back(L"INDEX " + engine_.get_safe_name(name) + L" (" + engine_.get_safe_name(auto_increment_) +
                     L")");
  }
}
