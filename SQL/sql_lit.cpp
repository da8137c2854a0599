// Literals, column types and defaults of a MySQL destination (see sql_lit.h).
#include "SQL/sql_lit.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "OLE/ole_date.h"
#include "OLE/ole_misc.h"
#include "SQL/sql_client.h"
#include "SQL/sql_util.h"
#include "TK/tk_log.h"
#include "TK/tk_nocase.h"
#include "TK/tk_utils.h"
#include "UDB/udb_rule.h"

namespace {

const VARTYPE k_bytes = static_cast<VARTYPE>(VT_ARRAY | VT_UI1);

bool is_number_kind(VARTYPE vt) { return udb_is_numeric_type(vt) || vt == VT_INT || vt == VT_UINT; }

std::string quoted(sql_client& client, const std::string& utf8) {
  std::string escaped;
  if (!client.escape_string(utf8, escaped))
    throw tk_exception("The client library cannot write the text '%s' as a literal", utf8, 0);
  return "'" + escaped + "'";
}

// Bytes as a hexadecimal literal: 0x... , or X'' for no bytes (0x alone is no literal).
std::string bytes_literal(const std::string& bytes) {
  if (bytes.empty()) return "X''";
  std::string hex = sql_hex_literal(bytes);  // X'...'
  return "0x" + hex.substr(2, hex.size() - 3);
}

// The value's bytes: a binary value's own, a text's UTF-8, any other value's text form.
std::string value_bytes(const ole_variant& value) {
  if (value.vt() == k_bytes || value.vt() == VT_BSTR) {
    const uint8_t* data = nullptr;
    std::string storage;
    const std::size_t n = value.get_bytes(&data, &storage);
    return n ? std::string(reinterpret_cast<const char*>(data), n) : std::string();
  }
  return value.to_string();
}

// The fraction digits of a date or time column from its display size (19 for DATETIME, 26 for DATETIME(6);
// 10 and 17 for TIME).
int fraction_digits(int32_t size, int32_t base) { return size > base + 1 && size <= base + 7 ? size - base - 1 : 0; }

void append_fraction(std::string& out, int64_t micros, int digits) {
  if (digits <= 0) return;
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, ".%06lld", static_cast<long long>(micros));
  out.append(buffer, static_cast<std::size_t>(digits) + 1);
}

// A date value's text for a column of the given sub-kind and size; false when the value holds no date.
bool date_text(const ole_variant& value, const t_ftd& column, std::string& out) {
  char buffer[64];
  // The column's form, as its type was chosen: 0 text, 1 date and time, 2 date, 3 time (the "now" sub-kinds
  // 9-11 fall on 1-3).
  const int32_t kind = column.reserved % 4;
  if (value.vt() == VT_DATE && kind == udb_kind_time && value.variant.date >= 0) {
    // A TIME is a duration: hours beyond 24 are kept.
    const long long total = std::llround(value.variant.date * 86400000000.0);
    const long long seconds = total / 1000000;
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    out = buffer;
    append_fraction(out, total % 1000000, total % 1000000 ? 6 : 0);
    return true;
  }
  ole_date date = value.vt() == VT_DATE ? ole_date::from_serial(value.variant.date) : ole_date(value.to_wstring());
  if (!date.is_valid()) return false;
  const SYSTEMTIME& t = date.time;
  const int64_t micros = date.microseconds;
  if (kind == udb_kind_time) {
    std::snprintf(buffer, sizeof buffer, "%d:%02d:%02d", t.wHour, t.wMinute, t.wSecond);
    out = buffer;
    append_fraction(out, micros, micros ? 6 : 0);
    return true;
  }
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
  out = buffer;
  if (kind == udb_kind_date) return true;
  std::snprintf(buffer, sizeof buffer, " %02d:%02d:%02d", t.wHour, t.wMinute, t.wSecond);
  out += buffer;
  // A text column of a date (sub-kind 0) holds exactly as many fraction digits as its size leaves room for.
  if (kind == udb_kind_none) append_fraction(out, micros, fraction_digits(column.size, 19));
  else append_fraction(out, micros, micros ? 6 : 0);
  return true;
}

[[noreturn]] void not_a_number(const std::string& text, const t_ftd* column) {
  throw tk_exception(tk_format("The value '%s' is not a number for the column '%s'", text.c_str(),
                               column ? tk_to_utf8(column->name).c_str() : ""),
                     0);
}

// A floating value that is no number: its text form reads "0", which would stand for it unnoticed.
bool is_nan(const ole_variant& value) {
  return (value.vt() == VT_R8 && std::isnan(value.variant.dblVal)) ||
         (value.vt() == VT_R4 && std::isnan(value.variant.fltVal));
}

// A number's literal for a numeric column (or a number-like kind without a column).
std::string number_literal(const ole_variant& value, VARTYPE column_vt, const t_ftd* column) {
  if (column_vt == VT_BOOL) {
    bool on = false;
    if (value.vt() == VT_BSTR) {
      try {
        on = ole_variant::from_wstring(tk_wtrim(value.to_wstring()), VT_BOOL).to_bool();
      } catch (const tk_exception&) {
        not_a_number(value.to_string(), column);
      }
    } else {
      on = value.to_bool();
    }
    return on ? "1" : "0";
  }
  std::string text = value.vt() == VT_BSTR ? tk_trim(value.to_string()) : value.to_string();
  if (value.vt() == VT_BSTR && text.empty()) return "NULL";
  if (value.vt() == VT_BOOL) text = value.to_bool() ? "1" : "0";
  if (!sql_is_plain_number(text)) not_a_number(text, column);
  return text;
}

}  // namespace

// ---- Literals -----------------------------------------------------------------------------------------------------

std::string to_mysql_str(sql_client& client, const ole_variant& value) {
  tk_trace(1, "to_mysql_str");
  if (value.is_empty()) return "NULL";
  if (value.vt() == k_bytes) {
    tk_trace(1, "special processing for BLOBs");
    return bytes_literal(value_bytes(value));
  }
  if (is_nan(value)) not_a_number("NaN", nullptr);
  return to_mysql_str(client, value.to_wstring(), value.vt());
}

std::string to_mysql_str(sql_client& client, const std::wstring& text, VARTYPE vartype) {
  tk_trace_w(1, L"to_mysql_str(%s)", text.c_str());
  if (vartype == VT_EMPTY || vartype == VT_NULL) {
    tk_trace(1, "******* NULL VALUE ******");
    return "NULL";
  }
  if (text.empty()) return "''";
  std::string utf8 = tk_to_utf8(text);
  if (vartype == VT_DATE) {
    const ole_date date(text);
    if (date.is_valid()) utf8 = date.to_string(6);
    return quoted(client, utf8);
  }
  if (udb_is_binary_type(vartype)) {
    tk_trace(1, "GOT BLOB");
    bool digits = utf8.size() > 1;
    for (char c : utf8)
      if (c < '0' || c > '9') digits = false;
    bool hex = utf8.size() > 2 && utf8[0] == '0' && (utf8[1] == 'x' || utf8[1] == 'X') && utf8.size() % 2 == 0;
    for (std::size_t i = 2; hex && i < utf8.size(); ++i)
      if (!std::isxdigit(static_cast<unsigned char>(utf8[i]))) hex = false;
    if (digits || hex) {
      tk_trace(1, "BLOB IS VALID");
      return utf8;
    }
    return quoted(client, utf8);
  }
  if (is_number_kind(vartype)) {
    const std::string t = tk_trim(utf8);
    if (!sql_is_plain_number(t)) not_a_number(utf8, nullptr);
    return t;
  }
  return quoted(client, utf8);
}

std::wstring to_mysql_wstr(sql_client& client, const std::wstring& text, VARTYPE vartype) {
  tk_trace_w(1, L"to_mysql_wstr(%s)", text.c_str());
  return tk_utf8_to_unicode(to_mysql_str(client, text, vartype));
}

std::string sql_value_literal(sql_client& client, const ole_variant& value, const t_ftd& column) {
  if (value.is_empty()) return "NULL";
  // Whatever the column, a NaN would arrive as the 0 of its text form.
  if (is_nan(value)) not_a_number("NaN", &column);
  const VARTYPE vt = column.vartype;
  if (udb_is_binary_type(vt)) return bytes_literal(value_bytes(value));
  if (vt == VT_BSTR) {
    std::string text = value.vt() == k_bytes ? value_bytes(value) : tk_to_utf8(value.to_wstring());
    if (value.vt() == VT_DATE && text.find('.') != std::string::npos) {
      // A date written as text keeps the digits of its fraction that count, no trailing zeros.
      while (text.back() == '0') text.pop_back();
      if (text.back() == '.') text.pop_back();
    }
    tk_trace(1, "Got BSTR value: %s, flags=%d", text.c_str(), column.reserved);
    if (column.reserved == udb_kind_geometry || column.reserved == udb_kind_geometry_alt)
      return "ST_GeomFromText(" + quoted(client, text) + ")";
    if (column.reserved == udb_kind_guid_text && column.size == 38) {
      const ole_guid_extractor guid(tk_utf8_to_unicode(text));
      if (guid.is_valid()) {
        tk_trace(1, "BSTR IS AN GUID");
        return quoted(client, guid.get_guid());
      }
    }
    return quoted(client, text);
  }
  if (vt == VT_DATE) {
    std::string text;
    if (date_text(value, column, text)) return quoted(client, text);
    return quoted(client, tk_to_utf8(value.to_wstring()));
  }
  if (is_number_kind(vt)) return number_literal(value, vt, &column);
  return to_mysql_str(client, value);
}

std::string get_fld_append_str(sql_client& client, const udb_field* field, const t_ftd* descriptor,
                               bool placeholder_allowed) {
  tk_trace(1, "get_fld_append_str");
  if (!field) throw tk_mail_assertion("sql_util", 1138);
  if (!descriptor) throw tk_mail_assertion("sql_util", 1139);
  if (placeholder_allowed && !field->is_empty() && field->get_size() > sql_long_data_threshold) {
    tk_trace(1, "fld->get_size()=%d", static_cast<int>(field->get_size()));
    tk_trace(1, "Returns placeholder for prepared statement");
    return "?";
  }
  if (udb_custom_conversion::is_acceptable2(*field)) {
    tk_trace(1, "udb_custom_conversion::is_acceptable");
    return tk_to_utf8(udb_custom_conversion::handle2(*field));
  }
  const std::string literal = sql_value_literal(client, *field, *descriptor);
  tk_trace(1, "Got field: %s, type=%08X", literal.size() > 200 ? "(long)" : literal.c_str(), field->vt());
  return literal;
}

// ---- Column types -------------------------------------------------------------------------------------------------

bool sql_text_fits_varchar(int64_t characters, unsigned bytes_per_char) {
  if (bytes_per_char == 0) bytes_per_char = 4;
  return characters >= 1 && characters <= 21845 && characters * bytes_per_char + 3 <= 65535;
}

std::wstring get_sql_native_type2(const t_ftd& d, bool bare, bool binary_text, unsigned bytes_per_char) {
  tk_trace_w(1, L"get_sql_native_type2: %s(%d,%d,%d)", d.name.c_str(), d.vartype, d.size, d.reserved);
  auto sized = [&](const wchar_t* type, int32_t n) {
    return bare ? std::wstring(type) : tk_wformat(L"%s(%d)", type, n);
  };
  switch (d.vartype) {
    case VT_I1: return L"TINYINT";
    case VT_UI1: return L"TINYINT UNSIGNED";
    case VT_I2: return L"SMALLINT";
    case VT_UI2: return L"SMALLINT UNSIGNED";
    case VT_I4: case VT_INT: return L"INT";
    case VT_UI4: case VT_UINT: return L"INT UNSIGNED";
    case VT_I8: return L"BIGINT";
    case VT_UI8: return L"BIGINT UNSIGNED";
    case VT_R4: return L"FLOAT";
    case VT_R8: return L"DOUBLE";
    case VT_CY: return bare ? L"DECIMAL" : L"DECIMAL(19,4)";
    case VT_BOOL: return bare ? L"TINYINT" : L"TINYINT(1)";
    case VT_DECIMAL:
      tk_trace(1, "Scale/precision for decimal column: (%d, %d)", d.scale, d.precision);
      if (bare) return L"DECIMAL";
      if (d.precision == 0) return L"DOUBLE";
      return tk_wformat(L"DECIMAL(%d,%d)", d.precision, d.scale);
    case VT_DATE: {
      const std::wstring def = d.def_value.is_empty() ? std::wstring() : d.def_value.to_wstring();
      tk_trace_w(1, L"Got date def.value: '%s'", def.c_str());
      // Fractional seconds of the source column (its display size beyond 19, or 10 for TIME) are kept.
      auto with_fraction = [&](const wchar_t* type, int32_t base) {
        const int digits = fraction_digits(d.size, base);
        return bare || digits == 0 ? std::wstring(type) : tk_wformat(L"%s(%d)", type, digits);
      };
      bool now = d.reserved == udb_kind_default_now;
      for (const wchar_t* n : {L"NOW()", L"sysdate", L"getdate()", L"getutcdate()", L"CURRENT_TIMESTAMP"})
        if (tk_equal_nocase(def, n)) now = true;
      if (now) {
        tk_trace(2, "Customize date type due to NOW() def.value");
        return with_fraction(L"TIMESTAMP", 19);
      }
      if (d.reserved == udb_kind_default_date || tk_equal_nocase(def, L"date()")) {
        tk_trace(2, "Customize date type due to date() def.value");
        return L"DATE";
      }
      switch (d.reserved % 4) {
        case 0: return sized(L"CHAR", d.size > 19 && d.size <= 26 ? d.size : 19);
        case 1: return with_fraction(L"DATETIME", 19);
        case 2: tk_trace(2, "Got pure date"); return L"DATE";
        default: return with_fraction(L"TIME", 10);
      }
    }
    case VT_BSTR:
      tk_trace(1, "process as text");
      if (d.reserved == udb_kind_geometry || d.reserved == udb_kind_geometry_alt) {
        tk_trace(2, "process VT_BSTR as geometry");
        return L"geometry";
      }
      if (d.reserved == udb_kind_fixed_text) {
        tk_trace(2, "process VT_BSTR as fixed width CHAR");
        return sized(L"CHAR", d.size);
      }
      if (d.size <= 0) return L"LONGTEXT";  // unlimited text
      if (sql_text_fits_varchar(d.size, bytes_per_char))
        return sized(L"VARCHAR", d.size) + (binary_text ? L" BINARY" : L"");
      {
        // Beyond what a VARCHAR holds: the smallest text type for the column's bytes.
        const int64_t bytes = int64_t{d.size} * (bytes_per_char ? bytes_per_char : 4);
        tk_trace(2, "Text of %d characters takes up to %lld bytes", static_cast<int>(d.size),
                 static_cast<long long>(bytes));
        if (bytes <= 65535) return binary_text ? L"TEXT BINARY" : L"TEXT";
        if (bytes <= 16777215) return binary_text ? L"MEDIUMTEXT BINARY" : L"MEDIUMTEXT";
        return L"LONGTEXT";
      }
    case VT_BLOB:
    case VT_ARRAY | VT_UI1:
      tk_trace(1, "process as blob");
      if (d.size <= 0 || d.size > 16777215) return L"LONGBLOB";
      if (d.size > 65535) return L"MEDIUMBLOB";
      if (d.size > 255) return L"BLOB";
      return sized(L"VARBINARY", d.size);
    default:
      throw tk_mail_assertion("sql_util", 604);
  }
}

// ---- Defaults -----------------------------------------------------------------------------------------------------

std::wstring make_mysql_def_val(sql_client& client, const t_ftd* column) {
  if (!column) throw tk_mail_assertion("sql_util", 53);
  const t_ftd& c = *column;
  const std::wstring text = c.def_value.is_empty() ? std::wstring() : c.def_value.to_wstring();
  tk_trace_w(1, L"make_mysql_def_val(%d,%s)", c.vartype, text.c_str());
  if (text == L"to_char(sysdate,'yyyy-mm-dd hh24:mi:ss')") {
    tk_trace(3, "Cannot set def.value as current timetsamp for varchar column");
    return L"";
  }
  if (c.vartype == VT_DATE) {
    if (c.reserved == udb_kind_default_now) {
      tk_trace(2, "Got NOW() def.value");
      const int digits = fraction_digits(c.size, 19);
      return digits ? tk_wformat(L"CURRENT_TIMESTAMP(%d)", digits) : L"CURRENT_TIMESTAMP";
    }
    if (c.reserved == udb_kind_default_date) return L"CURRENT_DATE()";
    if (c.reserved == udb_kind_default_time) return L"CURRENT_TIME()";
  }
  if (c.vartype == VT_BSTR && !text.empty()) {
    tk_trace_w(1, L"Got BSTR def value: %s", text.c_str());
    return to_mysql_wstr(client, text, VT_BSTR);
  }
  if (text.empty()) {
    tk_trace(1, "Got empty def value");
    return L"";
  }
  if (tk_equal_nocase(text, L"newid()")) {
    tk_trace(1, "newid() is not supported");
    return L"";
  }
  const std::string narrow = tk_to_utf8(text);
  switch (c.vartype) {
    case VT_I2: case VT_I4: case VT_BOOL: case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_INT:
    case VT_UINT: {
      const long value = std::strtol(narrow.c_str(), nullptr, 10);
      if (value < INT32_MIN || value > UINT32_MAX || std::to_string(value) != narrow) return L"";
      tk_trace(1, "Int/long default value is correct");
      return text;
    }
    case VT_R4: case VT_R8: case VT_CY: case VT_DECIMAL:
      // Only a text that is a number as a whole can stand in the statement.
      if (!sql_is_plain_number(narrow)) return L"";
      return text;
    case VT_DATE: {
      tk_trace(1, "Got DATE def value");
      if (tk_equal_nocase(text, L"getdate()") || tk_equal_nocase(text, L"sysdate()") ||
          tk_equal_nocase(text, L"sysdate")) {
        tk_trace(1, "Special processing for getdate()");
        return L"CURRENT_TIMESTAMP";
      }
      std::string printed;
      if (!date_text(c.def_value, c, printed) || printed.empty()) return L"";
      tk_trace(1, "After canonization: %s", printed.c_str());
      return tk_utf8_to_unicode(quoted(client, printed));
    }
    case VT_I8: {
      const long long value = std::strtoll(narrow.c_str(), nullptr, 10);
      if (std::to_string(value) != narrow) return L"";
      tk_trace(1, "__int64 default value is correct");
      return text;
    }
    case VT_UI8: {
      const unsigned long long value = std::strtoull(narrow.c_str(), nullptr, 10);
      if (std::to_string(value) != narrow) return L"";
      tk_trace(1, "unsigned __int64 default value is correct");
      return text;
    }
    default:
      return L"";
  }
}
