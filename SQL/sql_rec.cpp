// Rows and cell values read from MySQL (see sql_rec.h).
#include "SQL/sql_rec.h"

#include <cstdio>

#include "SQL/sql_util.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"

namespace {

// The server's text of a cell as it can be shown in a message: at most 100 bytes, control bytes as "?".
std::string shown_value(const char* cell, std::size_t length) {
  std::string text(cell, length < 100 ? length : 100);
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  if (length > 100) text += "...";
  return text;
}

}  // namespace

sql_value_exception::sql_value_exception(const std::wstring& column, const char* cell, std::size_t length,
                                         const std::string& reason)
    : tk_exception(0, 0,
                   "The value '" + shown_value(cell, length) + "' of column '" + tk_to_utf8(column) + "' " + reason) {}

sql_value_exception::~sql_value_exception() = default;

std::vector<sql_cell_plan> sql_plan_from_columns(const std::vector<sql_column>& columns, bool blob_to_text) {
  std::vector<sql_cell_plan> plan;
  plan.reserve(columns.size());
  for (const sql_column& c : columns) {
    sql_cell_plan p;
    p.name = tk_utf8_to_unicode(c.name);
    p.vartype = get_vartype(c, blob_to_text);
    p.is_bit = c.type == sql_type_bit;
    plan.push_back(std::move(p));
  }
  return plan;
}

void sql_cell_assign(ole_variant& out, const sql_cell_plan& plan, const char* cell, std::size_t length) {
  if (!cell) {
    out = ole_variant();
    return;
  }
  if (is_binary_vartype(plan.vartype)) {
    // An empty array for an empty cell, not NULL; a value that holds an array already keeps its buffer.
    out.date = ole_date();
    out.attach_binary(cell, length);
    return;
  }
  if (plan.vartype == VT_BSTR) {
    // Straight from UTF-8 into the value's platform string (plain ASCII without an intermediate wide text).
    out.assign_string(std::string_view(cell, length), VT_BSTR);
    return;
  }
  if (plan.is_bit) {
    uint64_t bits = 0;
    for (std::size_t i = 0; i < length; ++i) bits = (bits << 8) | static_cast<unsigned char>(cell[i]);
    if (plan.vartype == VT_BOOL) {
      out = ole_variant(bits != 0);
      return;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(bits));
    out.assign_string(text, plan.vartype);
    return;
  }
  try {
    out.assign_string(std::string_view(cell, length), plan.vartype);
  } catch (const tk_exception& e) {
    throw sql_value_exception(plan.name, cell, length, "cannot be stored: " + e.message);
  }
  // A date or time the value layer cannot hold must not arrive as NULL unnoticed.
  if (plan.vartype == VT_DATE && out.is_empty())
    throw sql_value_exception(plan.name, cell, length, "cannot be stored as a date or time");
}

ole_variant sql_cell_value(const sql_cell_plan& plan, const char* cell, std::size_t length) {
  ole_variant value;
  sql_cell_assign(value, plan, cell, length);
  return value;
}

ole_variant get_variant(VARTYPE vartype, const std::string* text) {
  tk_trace(1, "get_variant(char)");
  if (!text) return ole_variant();
  tk_trace(1, "Type=%d, src=%s", vartype, text->c_str());
  if (vartype == VT_BOOL) return ole_variant(!std::string(text->c_str()).empty());
  return ole_variant::from_string(*text, vartype);
}

ole_variant get_variant_w(VARTYPE vartype, const std::wstring* text) {
  tk_trace(1, "get_variant(wchar_t)");
  if (!text) return ole_variant();
  if (vartype == VT_BOOL) return ole_variant(!std::wstring(text->c_str()).empty());
  return ole_variant::from_wstring(*text, vartype);
}

sql_field::sql_field(std::wstring name, uint32_t size, const ole_variant& value)
    : udb_field(std::move(name), size, value, false, false) {}

sql_field::~sql_field() = default;

sql_record::sql_record(const std::vector<sql_cell_plan>& plan, const sql_row& row) {
  const std::size_t n = plan.size() < row.cells.size() ? plan.size() : row.cells.size();
  for (std::size_t i = 0; i < n; ++i)
    push_back(std::make_unique<sql_field>(plan[i].name, static_cast<uint32_t>(row.lengths[i]),
                                          sql_cell_value(plan[i], row.cells[i], row.lengths[i])));
}

sql_record::sql_record(const std::vector<sql_cell_plan>& plan, std::size_t n) {
  for (std::size_t i = 0; i < n && i < plan.size(); ++i)
    push_back(std::make_unique<sql_field>(plan[i].name, 0, ole_variant()));
}

sql_record::~sql_record() = default;

void sql_record::assign(const std::vector<sql_cell_plan>& plan, const sql_row& row) {
  const std::size_t n = plan.size() < row.cells.size() ? plan.size() : row.cells.size();
  if (n != size()) throw tk_mail_assertion("sql_rec", 139);
  for (std::size_t i = 0; i < n; ++i) {
    udb_field& field = *(*this)[i];
    sql_cell_assign(field, plan[i], row.cells[i], row.lengths[i]);
    field.size = static_cast<uint32_t>(row.lengths[i]);
  }
}
