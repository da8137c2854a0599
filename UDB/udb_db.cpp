// Default bodies of the engine, database and recordset interfaces; see udb_db.h.
#include "UDB/udb_db.h"

#include <unistd.h>

#include <cerrno>

#include "TK/tk_fname.h"
#include "TK/tk_log.h"
#include "TK/tk_singl.h"
#include "TK/tk_utils.h"
#include "TK/tk_nocase.h"

// ---- udb_engine ---------------------------------------------------------------------------------------------

udb_engine::~udb_engine() = default;

void udb_engine::db_delete(const std::wstring& path) {
  tk_trace_w(2, L"udb_engine::db_delete(%s)", path.c_str());
  if (::unlink(tk_to_ansi(path).c_str()) != 0) throw tk_exception_ex(errno, std::string(), 1);
}

bool udb_engine::is_db_exist(const std::wstring& path) {
  tk_trace_w(2, L"udb_engine::is_db_exist(%s)", path.c_str());
  return tk_is_file_exist1(tk_to_ansi(path, CP_THREAD_ACP).c_str(), tk_file_exists_mode);
}

void udb_engine::set_properties(const udb_engine_properties* properties) { properties_ = properties; }

// ---- udb_database -------------------------------------------------------------------------------------------

udb_database::udb_database(std::wstring name, int32_t mode, int32_t case_sensitive)
    : mode(mode), name(std::move(name)), case_sensitive(case_sensitive) {
  tk_trace_w(2, L"udb_database::ctor(%s,%d)", this->name.c_str(), static_cast<int>(mode));
}

udb_database::~udb_database() { tk_trace(2, "udb_database::dtor"); }

bool udb_database::same_table_name(const std::wstring& a, const std::wstring& b) const {
  return case_sensitive == 0 ? tk_equal_nocase(a, b) : a == b;
}

void udb_database::create_index(const std::wstring& table, int32_t flag, const udb_index& index) {}

void udb_database::create_indexes(const std::wstring& table, int32_t flag, const udb_indexes& indexes) {
  tk_trace_w(2, L"udb_database::create_indexes(%s)", table.c_str());
  tk_trace(2, "idxs.size=%d", static_cast<int>(indexes.size()));
  for (const auto& index : indexes) create_index(table, flag, index);
  tk_trace(2, "udb_database::create_indexes - at the END");
}

void udb_database::create_views(const udb_view_list& views) {}

bool udb_database::delete_tab(const std::wstring& name) {
  tk_trace_w(2, L"udb_database::delete_tab(%s)", name.c_str());
  for (auto it = tables.begin(); it != tables.end(); ++it) {
    if (same_table_name(*it, name)) {
      tables.erase(it);
      return true;
    }
  }
  tk_trace(2, "Table not found!");
  return false;
}

std::unique_ptr<udb_recordset> udb_database::create_table(const udb_partition&) {
  tk_trace(2, "udb_database::create_table(partition)");
  throw tk_mail_assertion("udb_db", 50);
}

void udb_database::empty_table(const std::wstring& name) {
  tk_trace_w(2, L"udb_database::empty_table(%s)", name.c_str());
  do_query2(L"delete from " + name);
}

void udb_database::clear_name_list(udb_name_list& list) { list.clear(); }

std::unique_ptr<udb_recordset> udb_database::do_query2(const std::wstring& sql) {
  throw tk_mail_assertion("udb_db", 111);
}

void udb_database::create_relationships(const udb_relationships& relationships) {}

void udb_database::close() {}

bool udb_database::is_table_exist(const std::wstring& name) const {
  tk_trace_w(2, L"udb_database::is_table_exist(%s,case_sensitive=%d)", name.c_str(),
             static_cast<int>(case_sensitive));
  if (tables.empty()) tk_trace(2, "Tables list is EMPTY!");
  for (const auto& table : tables) {
    tk_trace_w(2, L"Compare with %s", table.c_str());
    if (same_table_name(table, name)) {
      tk_trace(2, "table exists");
      return true;
    }
  }
  tk_trace(2, "table not found");
  return false;
}

std::vector<std::wstring> udb_database::tables_named(const std::wstring& name) const {
  for (const auto& table : tables)
    if (table == name) return {table};
  std::vector<std::wstring> found;
  for (const auto& table : tables)
    if (same_table_name(table, name)) found.push_back(table);
  return found;
}

bool udb_database::is_view(const std::wstring& name) const {
  for (const auto& view : views)
    if (same_table_name(view.first, name)) return true;
  return false;
}

// ---- udb_recordset ------------------------------------------------------------------------------------------

udb_recordset::udb_recordset(udb_database* database, std::wstring table_name, std::wstring query)
    : query_text(std::move(query)), table_name(std::move(table_name)), database(database) {
  tk_trace_w(2, L"udb_recordset::ctor(%s)", this->table_name.c_str());
}

udb_recordset::udb_recordset(std::wstring table_name) : table_name(std::move(table_name)) {
  tk_trace(2, "udb_recordset::ctor(default)");
}

udb_recordset::~udb_recordset() { tk_trace(2, "udb_recordset::dtor"); }

void udb_recordset::flush() {}

void udb_recordset::update2(const udb_record& record, const std::wstring& key) {
  tk_trace(2, "udb_recordset::update2");
}

void udb_recordset::update1(const udb_record& record) { tk_trace(2, "udb_recordset::update1"); }

udb_record* udb_recordset::get_item() { return nullptr; }

bool udb_recordset::is_eof() { return true; }

void udb_recordset::move_to(int32_t n) { tk_trace(2, "udb_recordset::move_to(%d)", static_cast<int>(n)); }

void udb_recordset::next() {}

int32_t udb_recordset::prev() { return 0; }

void udb_recordset::reset() {}

void udb_recordset::delete_key(const std::wstring& key) {}

void udb_recordset::delete_key(const udb_record& record) {}

void udb_recordset::add_index(const udb_index& index) {
  tk_trace_w(2, L"udb_recordset::add_index(%s, %d)", index.name.c_str(), static_cast<int>(key_index));
  if (!indexes.is_acceptable_name(index.name)) {
    tk_trace_w(2, L"Index '%s' cannot be processed", index.name.c_str());
    return;
  }
  if (index.primary || (key_index == -1 && index.unique)) {
    tk_trace(2, "Store primary/unique key");
    key_index = static_cast<int32_t>(indexes.size());
  }
  indexes.push_back(index);
}

std::unique_ptr<udb_record> udb_recordset::get_key(const udb_record& record) const {
  tk_trace(2, "udb_recordset::get_key(that.size=%d)", static_cast<int>(record.size()));
  if (key_index < 0 || static_cast<std::size_t>(key_index) >= indexes.size()) {
    throw tk_exception("There's no primary/unique key", 1);
  }
  const udb_index& key = indexes[static_cast<std::size_t>(key_index)];
  tk_trace(2, "u_k_flds.size=%d", static_cast<int>(key.columns.size()));
  auto result = std::make_unique<udb_record>();
  for (const auto& column : key.columns) {
    const udb_field* field = record.find(column);
    if (field == nullptr) {
      tk_trace_w(3, L"Key field '%s' is not found in record", column.c_str());
      return nullptr;
    }
    tk_trace_w(2, L">> Got key field: %s", field->to_wstring().c_str());
    result->push_back(std::make_unique<udb_field>(*field));
  }
  tk_trace(2, "Just before exit: result.size=%d", static_cast<int>(result->size()));
  return result;
}

namespace {

bool is_unquoted_kind(VARTYPE vt) {
  switch (vt) {
    case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY: case VT_BOOL: case VT_DECIMAL:
    case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8:
    case VT_BLOB: case VT_BLOB_OBJECT: case VT_ARRAY_UI1:
      return true;
    default:
      return false;
  }
}

void replace_all(std::wstring& text, const std::wstring& what, const std::wstring& with) {
  for (std::size_t pos = text.find(what); pos != std::wstring::npos; pos = text.find(what, pos + with.size())) {
    text.replace(pos, what.size(), with);
  }
}

}  // namespace

std::wstring udb_recordset::get_filter_subquery(const std::wstring& key) const {
  tk_trace_w(2, L"udb_recordset::get_filter_subquery(%s)", key.c_str());
  std::wstring condition, name, value;
  int opened = 0;          // '<' seen in the current element: 1 in or after its opening tag, 2 in its closing tag
  bool in_tag = false;     // between a '<' and its '>'
  const t_ftd* column = nullptr;
  for (std::size_t pos = 0; pos < key.size(); ++pos) {
    const wchar_t c = key[pos];
    if (c == L'<') {
      tk_trace(1, "Open XML-tag at pos=%d", static_cast<int>(pos));
      in_tag = true;
      if (++opened == 2 && column != nullptr) {
        if (is_unquoted_kind(column->vartype)) {
          tk_trace(1, "Special processing for binary");
          condition += L"=" + value;
        } else {
          replace_all(value, L"&lt;", L"<");
          replace_all(value, L"&gt;", L">");
          replace_all(value, L"&amp;", L"&");
          replace_all(value, L"'", L"''");  // a quote inside the text must not end the literal
          condition += L"='" + value + L"' ";
        }
        name.clear();
        value.clear();
        column = nullptr;
      }
    } else if (c == L'>') {
      tk_trace(1, "Close XML-tag at pos=%d", static_cast<int>(pos));
      in_tag = false;
      if (opened == 1) {
        if (!condition.empty()) condition += L" and ";
        column = schema.find_descriptor(name);
        if (column == nullptr) {
          tk_trace_w(2, L"Field %s not found in the schema", name.c_str());
          throw tk_exception("The structure of data source does not conform to the destination table.", 0);
        }
        condition += L"\"" + name + L"\"";
      } else if (opened >= 2) {
        opened = 0;
      }
    } else if (opened == 1) {
      (in_tag ? name : value) += c;
    }
  }
  return condition;
}
