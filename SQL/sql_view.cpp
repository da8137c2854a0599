// View texts towards MySQL (see sql_view.h).
#include "SQL/sql_view.h"

#include <functional>
#include <vector>

#include "TK/tk_log.h"
#include "TK/tk_nocase.h"
#include "TK/tk_utils.h"
#include "UDB/udb_names.h"

namespace {

bool is_name_char(wchar_t c) { return c == L'_' || c == L'$' || tk_is_alnum(c); }

// For each position of the text: true when it lies outside single- and double-quoted literals and back-quoted
// names (the quote characters themselves count as inside).
std::vector<bool> outside_literals(const std::wstring& text) {
  std::vector<bool> outside(text.size(), true);
  wchar_t open = 0;  // the quote character of the literal or name we are in
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (open == 0 && (c == L'\'' || c == L'"' || c == L'`')) {
      open = c;
      outside[i] = false;
    } else if (open != 0 && c == open) {
      open = 0;  // a doubled quote closes and opens again: still inside
      outside[i] = false;
    } else {
      outside[i] = open == 0;
    }
  }
  return outside;
}

// The destination name of a source table or field name (every table's field renamings apply, as in the names
// map's global replace).
std::wstring mapped_name(const udb_names_map& names, const std::wstring& name) {
  const std::wstring table = names.get_tn_mapped_name(name, false);
  if (table != name) return table;
  for (const auto& [t, fields] : names.field_maps())
    for (const auto& [from, to] : fields)
      if (tk_equal_nocase(from, name)) return to;
  return name;
}

// The names map's renamings: bare names through its global replace (which back-quotes what it renames),
// back-quoted names by their mapped name; literals stay as they are.
std::wstring rename(const std::wstring& text, const udb_names_map& names) {
  std::wstring out, bare;
  std::size_t i = 0;
  while (i < text.size()) {
    const wchar_t c = text[i];
    if (c != L'\'' && c != L'"' && c != L'`') {
      bare += c;
      ++i;
      continue;
    }
    out += names.do_global_replace1(bare, L"`", L"`");
    bare.clear();
    // The quoted part runs to its closing quote; a doubled quote stands for one inside it.
    std::wstring inner;
    std::size_t j = i + 1;
    for (; j < text.size(); ++j) {
      if (text[j] == c) {
        if (j + 1 < text.size() && text[j + 1] == c) {
          inner += c;
          ++j;
          continue;
        }
        break;
      }
      inner += text[j];
    }
    if (c == L'`') {
      std::wstring quoted = L"`";
      for (wchar_t ch : mapped_name(names, inner)) quoted += ch == L'`' ? std::wstring(L"``") : std::wstring(1, ch);
      out += quoted + L"`";
    } else {
      out += text.substr(i, std::min(j + 1, text.size()) - i);
    }
    i = j + 1;
  }
  return out + names.do_global_replace1(bare, L"`", L"`");
}

// Replaces each occurrence of `from` (ignoring case) that starts a name outside literals and that `allow`
// accepts.
std::wstring replace_calls(std::wstring text, const std::wstring& from, const std::wstring& to,
                           const std::function<bool(const std::wstring&, std::size_t)>& allow) {
  std::size_t pos = 0;
  while ((pos = tk_find_nocase(text, from, pos)) != std::wstring::npos) {
    const std::vector<bool> outside = outside_literals(text);
    if (!outside[pos] || (pos > 0 && is_name_char(text[pos - 1])) || (allow && !allow(text, pos))) {
      pos += from.size();
      continue;
    }
    text.replace(pos, from.size(), to);
    pos += to.size();
  }
  return text;
}

bool two_arguments(const std::wstring& text, std::size_t pos) {
  return sql_view_converter::check_isnull_for_replace(text, static_cast<std::ptrdiff_t>(pos));
}

// MySQL's unit of a DATEDIFF unit, written as a word (day) or as an interval code in quotes ('d'), or "".
std::wstring timestampdiff_unit(std::wstring unit) {
  unit = tk_wtrim(unit);
  if (unit.size() >= 2 && (unit.front() == L'\'' || unit.front() == L'"') && unit.back() == unit.front())
    unit = unit.substr(1, unit.size() - 2);
  static const std::pair<const wchar_t*, const wchar_t*> units[] = {
      {L"day", L"DAY"},       {L"d", L"DAY"},          {L"week", L"WEEK"},     {L"ww", L"WEEK"},
      {L"month", L"MONTH"},   {L"m", L"MONTH"},        {L"quarter", L"QUARTER"}, {L"q", L"QUARTER"},
      {L"year", L"YEAR"},     {L"yyyy", L"YEAR"},      {L"hour", L"HOUR"},     {L"h", L"HOUR"},
      {L"minute", L"MINUTE"}, {L"n", L"MINUTE"},       {L"second", L"SECOND"}, {L"s", L"SECOND"}};
  for (const auto& [from, to] : units)
    if (tk_equal_nocase(unit, from)) return to;
  return std::wstring();
}

// DATEDIFF(unit, a, b) of the other dialects counts from a to b in the unit; MySQL's DATEDIFF takes two dates
// and counts the other way, so the three-argument form becomes TIMESTAMPDIFF(UNIT, a, b). A unit MySQL lacks
// leaves the call as it is, for the server to refuse.
std::wstring rewrite_datediff(std::wstring text) {
  const std::wstring call = L"datediff";
  std::size_t pos = 0;
  while ((pos = tk_find_nocase(text, call, pos)) != std::wstring::npos) {
    const std::size_t start = pos;
    pos += call.size();
    const std::vector<bool> outside = outside_literals(text);
    if (!outside[start] || (start > 0 && is_name_char(text[start - 1]))) continue;
    std::size_t open = pos;
    while (open < text.size() && text[open] == L' ') ++open;
    if (open >= text.size() || text[open] != L'(') continue;
    // The top-level commas and the closing parenthesis of the call.
    std::vector<std::size_t> commas;
    std::size_t close = std::wstring::npos;
    int depth = 0;
    for (std::size_t i = open + 1; i < text.size() && close == std::wstring::npos; ++i) {
      if (!outside[i]) continue;
      if (text[i] == L'(') ++depth;
      else if (text[i] == L')' && depth-- == 0) close = i;
      else if (text[i] == L',' && depth == 0) commas.push_back(i);
    }
    if (close == std::wstring::npos || commas.size() != 2) continue;
    const std::wstring unit = timestampdiff_unit(text.substr(open + 1, commas[0] - open - 1));
    if (unit.empty()) continue;
    std::size_t rest = commas[0] + 1;
    if (rest < text.size() && text[rest] == L' ') ++rest;
    const std::wstring replacement = L"TIMESTAMPDIFF(" + unit + L", ";
    tk_trace(1, "Rewrite DATEDIFF at pos=%d", static_cast<int>(start));
    text.replace(start, rest - start, replacement);
    pos = start + replacement.size();
  }
  return text;
}

}  // namespace

std::wstring collapse_blanks(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  wchar_t open = 0;  // the quote of the literal or back-quoted name we are in
  bool last_blank = false;
  for (wchar_t c : text) {
    const bool blank = c == L'\r' || c == L'\n' || c == L'\t' || c == L' ';
    if (blank && open == 0) {
      if (!last_blank) out += L' ';
      last_blank = true;
      continue;
    }
    if (open == 0 && (c == L'\'' || c == L'"' || c == L'`')) open = c;
    else if (c == open) open = 0;
    out += c;
    last_blank = false;
  }
  return out;
}

bool sql_view_converter::check_isnull_for_replace(const std::wstring& text, std::ptrdiff_t position) {
  tk_trace_w(1, L"sql_view_converter::check_isnull_for_replace(%s,%d)", text.c_str(), static_cast<int>(position));
  if (position < 0 || static_cast<std::size_t>(position) >= text.size()) return false;
  int depth = 0, commas = 0;
  for (std::size_t i = static_cast<std::size_t>(position) + 6; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'(') {
      ++depth;
    } else if (c == L',') {
      ++commas;
    } else if (c == L')') {
      if (depth == 1) break;
      --depth;
    }
  }
  return commas == 1;
}

std::wstring sql_refine_view_in(const std::wstring& sql, const udb_names_map& names) {
  tk_trace_w(2, L"sql_database::refine_view_in(%s)", sql.c_str());
  std::wstring text = collapse_blanks(sql);
  text = rename(text, names);
  tk_trace_w(2, L"After do_global_replace: result=%s", text.c_str());
  {
    const std::vector<bool> outside = outside_literals(text);
    for (std::size_t i = 0; i < text.size(); ++i)
      if (outside[i] && (text[i] == L'[' || text[i] == L']')) text[i] = L'`';
  }
  tk_trace_w(2, L"After replacing []: result=%s", text.c_str());
  text = replace_calls(text, L"isnull", L"ifnull", two_arguments);
  text = replace_calls(text, L"getdate", L"curdate", nullptr);
  text = replace_calls(text, L"len(", L"length(", nullptr);
  text = rewrite_datediff(text);
  text = replace_calls(text, L"dateadd", L"date_add", two_arguments);
  text = replace_calls(text, L"replicate", L"repeat", two_arguments);
  return text + L";";
}
