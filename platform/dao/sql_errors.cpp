// Evaluator messages turned into DAO errors.
#include "platform/dao/sql_errors.h"

#include <cstdlib>
#include <cstring>

#include "platform/system/codepage.h"

namespace dao {
namespace {

const char kTag[] = "access error ";

bool starts(const std::string& s, const char* prefix, std::string* rest) {
  std::string p(prefix);
  if (s.compare(0, p.size(), p) != 0) return false;
  if (rest) *rest = s.substr(p.size());
  return true;
}

// A name as the evaluator quotes it: "main.t" or "t.col"; the last part is the name.
std::wstring last_part(const std::string& s) {
  size_t dot = s.rfind('.');
  return sys_utf8_to_wide(dot == std::string::npos ? s : s.substr(dot + 1));
}

}  // namespace

std::string function_error(int number) { return kTag + std::to_string(number); }

std::wstring missing_table(const std::string& message) {
  std::string rest;
  if (!starts(message, "no such table: ", &rest)) return std::wstring();
  return last_part(rest);
}

error evaluator_error(const std::string& message, const std::wstring& statement) {
  std::string rest;
  if (starts(message, kTag, &rest)) {
    // "access error N" from a function, "access error N text" from the tables underneath.
    size_t blank = rest.find(' ');
    int number = std::atoi(rest.c_str());
    if (blank == std::string::npos) return error(number);
    return error(number, sys_utf8_to_wide(rest.substr(blank + 1)), true);
  }
  if (starts(message, "no such table: ", &rest)) return error(err::input_table_not_found, last_part(rest));
  if (starts(message, "no such column: ", &rest)) return error(err::too_few_parameters, L"1");
  if (starts(message, "ambiguous column name: ", &rest)) {
    // Named as the statement names it, without the evaluator's schema in front.
    for (const char* schema : {"temp.", "main."})
      if (rest.compare(0, std::strlen(schema), schema) == 0) rest = rest.substr(std::strlen(schema));
    return error(err::ambiguous_field, sys_utf8_to_wide(rest));
  }
  if (starts(message, "wrong number of arguments to function ", &rest))
    return error(err::syntax_in_expression, statement);
  // The evaluator's own limits of nesting, length, joined tables and united SELECTs.
  if (message == "parser stack overflow" || message.find("Expression tree is too large") != std::string::npos ||
      message.find("too many terms in compound SELECT") != std::string::npos ||
      message.find("tables in a join") != std::string::npos)
    return error(err::query_too_complex);
  if (message.find("too many columns") != std::string::npos) return error(err::too_many_fields);
  // A subquery compared or listed as one value that shows several columns.
  if (message.find("sub-select returns") != std::string::npos || message.find("row value misused") != std::string::npos ||
      message.find("values for 1 columns") != std::string::npos)
    return error(err::subquery_fields);
  if (message.find("syntax error") != std::string::npos) return error(err::syntax_select);
  if (message.find("misuse of aggregate") != std::string::npos ||
      message.find("aggregate functions are not allowed") != std::string::npos)
    return error(err::aggregate_not_allowed);
  if (message.find("SELECTs to the left and right of UNION") != std::string::npos)
    return error(err::union_column_mismatch);
  return error(err::operation_not_supported, sys_utf8_to_wide(message), true);
}

}  // namespace dao
