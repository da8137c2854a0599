// Key filters for MySQL tables (see sql_sync.h).
#include "SQL/sql_sync.h"

#include "SQL/sql_db.h"
#include "SQL/sql_util.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "UDB/udb_rec.h"

namespace {

bool is_number(const std::wstring& s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == L'-' || s[i] == L'+')) ++i;
  bool digits = false, point = false;
  for (; i < s.size(); ++i) {
    if (s[i] >= L'0' && s[i] <= L'9') digits = true;
    else if (s[i] == L'.' && !point) point = true;
    else break;
  }
  if (!digits) return false;
  if (i < s.size() && (s[i] == L'e' || s[i] == L'E')) {
    ++i;
    if (i < s.size() && (s[i] == L'-' || s[i] == L'+')) ++i;
    bool exp = false;
    while (i < s.size() && s[i] >= L'0' && s[i] <= L'9') {
      exp = true;
      ++i;
    }
    if (!exp) return false;
  }
  return i == s.size();
}

bool is_hex_value(const std::wstring& s) {
  if (s.size() < 2 || s[0] != L'0' || (s[1] != L'x' && s[1] != L'X') || s.size() % 2 != 0) return false;
  for (std::size_t i = 2; i < s.size(); ++i) {
    const wchar_t c = s[i];
    if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'))) return false;
  }
  return true;
}

std::wstring unescape(std::wstring value) {
  tk_wstring v(value);
  v.replace_all(L"&lt;", L"<");
  v.replace_all(L"&gt;", L">");
  v.replace_all(L"&amp;", L"&");
  return v;
}

[[noreturn]] void bad_value(const std::wstring& column, const std::wstring& value) {
  throw tk_exception(tk_wformat(L"The key value '%s' does not fit the column '%s'", value.c_str(), column.c_str()),
                     0);
}

}  // namespace

sql_sync::sql_sync(sql_database& database) : database_(database) { tk_trace(2, "sql_sync::ctor"); }

std::wstring sql_sync::get_filter_subquery(const std::wstring& table_name, const std::wstring& key) {
  tk_trace_w(2, L"sql_sync::get_filter_subquery(%s,%s)", table_name.c_str(), key.c_str());
  std::unique_ptr<udb_recordset> table = database_.get_table(table_name, 1);
  return build_filter(table->schema, key);
}

std::wstring sql_sync::build_filter(const udb_schema& schema, const std::wstring& key) {
  return build_filter(key, [&](const std::wstring& name) { return schema.find_descriptor(name); });
}

std::wstring sql_sync::build_filter(const std::wstring& key,
                                    const std::function<const t_ftd*(const std::wstring&)>& column_of) {
  std::wstring result, name, value;
  int opened = 0;
  bool name_closed = false;
  for (std::size_t pos = 0; pos < key.size(); ++pos) {
    const wchar_t c = key[pos];
    if (c == L'<') {
      if (++opened == 2) {
        // The closing tag starts: the element's value is complete.
        const t_ftd* column = column_of(name);
        const VARTYPE vt = column ? column->vartype : VT_BSTR;
        if (column && udb_is_numeric_type(vt)) {
          if (!is_number(value)) bad_value(name, value);
          result += L"=" + value;
        } else if (column && udb_is_binary_type(vt)) {
          if (!is_hex_value(value)) bad_value(name, value);
          result += L"=X'" + value.substr(2) + L"'";
        } else {
          result += L"=CONVERT(" + tk_utf8_to_unicode(sql_hex_literal(tk_to_utf8(unescape(value)))) +
                    L" USING utf8mb4) ";
        }
        name.clear();
        value.clear();
        opened = 0;
      }
    } else if (c == L'>') {
      if (!name_closed) {
        if (!result.empty()) result += L" and ";
        const t_ftd* column = column_of(name);
        result += sql_quote_name(column ? column->name : name);
        name_closed = true;
      } else {
        name_closed = false;
      }
    } else if (opened == 1) {
      (name_closed ? value : name) += c;
    }
  }
  return result;
}
