// Pure helpers of the MySQL engine (see sql_util.h).
#include "SQL/sql_util.h"

#include <cctype>
#include <cstdlib>

namespace {

bool read_number(const std::string& text, std::size_t& pos, unsigned& value) {
  if (pos >= text.size() || !std::isdigit(static_cast<unsigned char>(text[pos]))) return false;
  unsigned long v = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
    v = v * 10 + static_cast<unsigned>(text[pos] - '0');
    if (v > 0xFFFFFF) v = 0xFFFFFF;
    ++pos;
  }
  value = static_cast<unsigned>(v > 255 ? 255 : v);
  return true;
}

std::string lower_ascii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool is_plain_number(const std::string& s) {
  // An optional sign, digits with at most one point, an optional exponent.
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  bool digits = false, point = false;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c >= '0' && c <= '9') digits = true;
    else if (c == '.' && !point) point = true;
    else break;
  }
  if (!digits) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    bool exp_digits = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
      exp_digits = true;
      ++i;
    }
    if (!exp_digits) return false;
  }
  return i == s.size();
}

bool is_bit_literal(const std::string& s) {
  // b'0101' as the server prints a BIT default.
  if (s.size() < 3 || (s[0] != 'b' && s[0] != 'B') || s[1] != '\'' || s.back() != '\'') return false;
  for (std::size_t i = 2; i + 1 < s.size(); ++i)
    if (s[i] != '0' && s[i] != '1') return false;
  return true;
}

}  // namespace

bool sql_parse_server_version(const std::string& text, uint32_t& packed) {
  std::string t = text;
  // Some client libraries keep the replication prefix "5.5.5-" in front of a MariaDB server's own version.
  if (t.rfind("5.5.5-", 0) == 0 && t.find("MariaDB") != std::string::npos) t = t.substr(6);
  std::size_t pos = 0;
  unsigned major = 0, minor = 0, patch = 0;
  if (!read_number(t, pos, major) || pos >= t.size() || t[pos++] != '.') return false;
  if (!read_number(t, pos, minor) || pos >= t.size() || t[pos++] != '.') return false;
  if (!read_number(t, pos, patch)) return false;
  packed = (major << 16) | (minor << 8) | patch;
  return true;
}

std::wstring sql_quote_name(const std::wstring& name) {
  if (name.empty()) return name;
  const std::wstring cut = name.size() > 64 ? name.substr(0, 63) : name;
  std::wstring out = L"`";
  for (wchar_t c : cut) {
    if (c == L'`') out += L'`';
    out += c;
  }
  out += L'`';
  return out;
}

std::string sql_quote_name_utf8(const std::string& name) {
  if (name.empty()) return name;
  std::string out = "`";
  for (char c : name) {
    if (c == '`') out += '`';
    out += c;
  }
  out += '`';
  return out;
}

std::string sql_hex_literal(const std::string& utf8_text) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out = "X'";
  out.reserve(utf8_text.size() * 2 + 3);
  for (unsigned char c : utf8_text) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  out += '\'';
  return out;
}

bool sql_is_plain_number(const std::string& text) { return is_plain_number(text); }

bool sql_is_string_type(int type) {
  return type == sql_type_varchar || (type >= sql_type_tiny_blob && type <= sql_type_string);
}

bool sql_is_binary_column(const sql_column& column) {
  return sql_is_string_type(column.type) && column.charsetnr == sql_binary_charset;
}

VARTYPE get_vartype(const sql_column& column, bool blob_to_text) {
  const bool is_unsigned = (column.flags & sql_flag_unsigned) != 0;
  switch (column.type) {
    case sql_type_decimal:
    case sql_type_newdecimal:
      return VT_DECIMAL;
    case sql_type_tiny:
      return is_unsigned ? VT_UI1 : VT_I1;
    case sql_type_short:
      return is_unsigned ? VT_UI2 : VT_I2;
    case sql_type_long:
      return is_unsigned ? VT_UI4 : VT_I4;
    case sql_type_int24:
      return VT_I4;  // both signed and unsigned MEDIUMINT fit
    case sql_type_longlong:
      return is_unsigned ? VT_UI8 : VT_I8;
    case sql_type_float:
      return VT_R4;
    case sql_type_double:
      return VT_R8;
    case sql_type_timestamp:
    case sql_type_date:
    case sql_type_time:
    case sql_type_datetime:
      return VT_DATE;
    case sql_type_year:
      return VT_UI2;
    case sql_type_bit:
      // BIT(1) is a flag; wider BIT columns hold numbers and keep them.
      if (column.length <= 1) return VT_BOOL;
      if (column.length <= 8) return VT_UI1;
      if (column.length <= 16) return VT_UI2;
      if (column.length <= 32) return VT_UI4;
      return VT_UI8;
    case sql_type_tiny_blob:
    case sql_type_medium_blob:
    case sql_type_long_blob:
    case sql_type_blob:
    case sql_type_var_string:
    case sql_type_string:
    case sql_type_varchar:
      return sql_is_binary_column(column) && !blob_to_text ? static_cast<VARTYPE>(VT_ARRAY | VT_UI1) : VT_BSTR;
    default:
      return VT_BSTR;
  }
}

int32_t sql_column_size(const sql_column& column, unsigned max_bytes_per_char) {
  uint64_t size = column.length;
  if (size >= 0xFFFFFFFFull) return 0;
  if (sql_is_string_type(column.type) && !sql_is_binary_column(column) && max_bytes_per_char > 1)
    size /= max_bytes_per_char;
  return size > 0x7FFFFFFFull ? 0 : static_cast<int32_t>(size);
}

void sql_decimal_precision(const sql_column& column, int32_t& precision, int32_t& scale) {
  // The display length counts the digits, a place for the point when there are decimals, and a place for the
  // sign unless the column is UNSIGNED.
  int64_t p = static_cast<int64_t>(column.length);
  if (column.decimals > 0) --p;
  if (!(column.flags & sql_flag_unsigned)) --p;
  precision = static_cast<int32_t>(p < 0 ? 0 : p);
  scale = static_cast<int32_t>(column.decimals);
}

int32_t sql_column_subkind(const sql_column& column) {
  switch (column.type) {
    case sql_type_datetime:
      return 1;
    case sql_type_date:
      return 2;
    case sql_type_time:
      return 3;
    case sql_type_longlong:
      return (column.flags & sql_flag_unsigned) ? 2 : 1;
    case sql_type_bit:
      return column.length > 32 ? 2 : 0;
    case sql_type_geometry:
      return 2;
    default:
      return 0;
  }
}

bool sql_is_current_timestamp(const std::string& text) {
  const std::string t = lower_ascii(text);
  for (const char* name : {"current_timestamp", "now", "localtimestamp", "localtime"}) {
    const std::string n = name;
    if (t.compare(0, n.size(), n) != 0) continue;
    const std::string rest = t.substr(n.size());
    if (rest.empty() || rest == "()") return true;
    if (rest.size() >= 3 && rest.front() == '(' && rest.back() == ')') {
      bool digits = true;
      for (std::size_t i = 1; i + 1 < rest.size(); ++i)
        if (rest[i] < '0' || rest[i] > '9') digits = false;
      if (digits) return true;
    }
  }
  return false;
}

sql_default sql_read_quoted_default(const char* cell, std::size_t length) {
  sql_default d;
  if (!cell) return d;
  const std::string s(cell, length);
  if (s == "NULL") return d;  // an explicit DEFAULT NULL prints so; a text 'NULL' prints in quotes
  if (s.size() >= 2 && s.front() == '\'' && s.back() == '\'') {
    // A string literal; inside it the server doubles quotes and escapes backslashes and control characters.
    d.kind = sql_default_kind::literal;
    for (std::size_t i = 1; i + 1 < s.size(); ++i) {
      const char c = s[i];
      if (c == '\'' && i + 2 < s.size() && s[i + 1] == '\'') {
        d.text += '\'';
        ++i;
      } else if (c == '\\' && i + 2 < s.size()) {
        const char e = s[++i];
        switch (e) {
          case 'n': d.text += '\n'; break;
          case 't': d.text += '\t'; break;
          case 'r': d.text += '\r'; break;
          case '0': d.text += '\0'; break;
          case 'Z': d.text += '\x1A'; break;
          case 'b': d.text += '\b'; break;
          default: d.text += e; break;
        }
      } else {
        d.text += c;
      }
    }
    return d;
  }
  if (is_plain_number(s) || is_bit_literal(s)) {
    d.kind = sql_default_kind::literal;
    d.text = s;
    return d;
  }
  d.kind = sql_is_current_timestamp(s) ? sql_default_kind::current_timestamp : sql_default_kind::expression;
  d.text = s;
  return d;
}

sql_default sql_read_plain_default(const char* cell, std::size_t length, const std::string& extra) {
  sql_default d;
  if (!cell) return d;
  d.text.assign(cell, length);
  if (sql_is_current_timestamp(d.text)) d.kind = sql_default_kind::current_timestamp;
  else if (lower_ascii(extra).find("default_generated") != std::string::npos) d.kind = sql_default_kind::expression;
  else d.kind = sql_default_kind::literal;
  return d;
}
