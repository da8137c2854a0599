// The reader of Access's SELECT grammar and the printer of the evaluator's SQL (see sql_rewrite.h).
#include "platform/dao/sql_rewrite.h"

#include <cmath>
#include <cstdio>
#include <cctype>
#include <cwctype>
#include <map>
#include <optional>
#include <vector>

#include "platform/dao/errors.h"
#include "platform/oleaut/vardate.h"
#include "platform/system/codepage.h"

namespace dao {
namespace {

struct token {
  enum class type { word, name, string, number, date, op, bad, end };
  type what = type::end;
  std::wstring text;  // words and operators as written; names, strings and dates without their delimiters
  size_t pos = 0;     // where the token starts in the statement
};

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f' || c == L'\v'; }
bool is_word_char(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_' || c > 0x7F;
}
bool is_digit(wchar_t c) { return c >= L'0' && c <= L'9'; }

std::vector<token> lex(const std::wstring& s) {
  std::vector<token> out;
  size_t i = 0;
  auto closing = [&](wchar_t open, wchar_t close, token::type t, bool doubled) {
    std::wstring text;
    size_t j = i + 1;
    for (;;) {
      if (j >= s.size()) {
        out.push_back({token::type::bad, std::wstring(1, open), i});
        i = s.size();
        return;
      }
      if (s[j] == close) {
        if (doubled && j + 1 < s.size() && s[j + 1] == close) {
          text += close;
          j += 2;
          continue;
        }
        break;
      }
      text += s[j++];
    }
    out.push_back({t, text, i});
    i = j + 1;
  };
  while (i < s.size()) {
    wchar_t c = s[i];
    if (is_blank(c)) {
      ++i;
    } else if (c == L'[') {
      closing(L'[', L']', token::type::name, false);
    } else if (c == L'\'' || c == L'"') {
      closing(c, c, token::type::string, true);
    } else if (c == L'#') {
      closing(L'#', L'#', token::type::date, false);
    } else if (is_digit(c) || (c == L'.' && i + 1 < s.size() && is_digit(s[i + 1]))) {
      size_t j = i;
      while (j < s.size() && is_digit(s[j])) ++j;
      if (j < s.size() && s[j] == L'.') {
        ++j;
        while (j < s.size() && is_digit(s[j])) ++j;
      }
      if (j < s.size() && (s[j] == L'e' || s[j] == L'E')) {
        size_t k = j + 1;
        if (k < s.size() && (s[k] == L'+' || s[k] == L'-')) ++k;
        if (k < s.size() && is_digit(s[k])) {
          j = k;
          while (j < s.size() && is_digit(s[j])) ++j;
        }
      }
      out.push_back({token::type::number, s.substr(i, j - i), i});
      i = j;
    } else if (is_word_char(c)) {
      size_t j = i;
      while (j < s.size() && is_word_char(s[j])) ++j;
      if (j < s.size() && s[j] == L'$') ++j;  // Left$, Mid$, ...
      out.push_back({token::type::word, s.substr(i, j - i), i});
      i = j;
    } else {
      static const wchar_t* const two[] = {L"<>", L"<=", L">=", L"=<", L"=>"};
      size_t length = 1;
      std::wstring op(1, c);
      for (const wchar_t* t : two)
        if (s.compare(i, 2, t) == 0) {
          op = t;
          length = 2;
        }
      if (op == L"=<") op = L"<=";
      if (op == L"=>") op = L">=";
      if (length == 1 && std::wstring(L"()=<>,.!*+-/\\^&;?").find(c) == std::wstring::npos) {
        out.push_back({token::type::bad, op, i});
      } else {
        out.push_back({token::type::op, op, i});
      }
      i += length;
    }
  }
  out.push_back({token::type::end, L"", s.size()});
  return out;
}

bool same_word(const std::wstring& a, const wchar_t* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return i == a.size() && !b[i];
}

std::wstring lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

// Words that are never names unless bracketed.
bool is_reserved(const std::wstring& w) {
  static const wchar_t* const words[] = {
      L"select", L"from", L"where", L"group", L"by", L"having", L"order", L"union", L"all", L"distinct",
      L"distinctrow", L"top", L"percent", L"as", L"on", L"inner", L"left", L"right", L"outer", L"join", L"and",
      L"or", L"not", L"xor", L"eqv", L"imp", L"mod", L"like", L"is", L"null", L"between", L"in", L"exists", L"asc",
      L"desc", L"with", L"into", L"true", L"false", L"owneraccess", L"option"};
  for (const wchar_t* r : words)
    if (same_word(w, r)) return true;
  return false;
}

// Access's functions: the name the evaluator knows each by (registered in sql_functions.cpp).
std::optional<std::string> scalar_function(std::wstring name) {
  name = lower(name);
  static const wchar_t* const dollar[] = {L"left$",  L"right$",  L"mid$",   L"ucase$", L"lcase$", L"trim$", L"ltrim$",
                                          L"rtrim$", L"space$",  L"string$", L"chr$",  L"str$",   L"format$"};
  for (const wchar_t* d : dollar)
    if (name == d) name.pop_back();
  if (!name.empty() && name.back() == L'$') return std::nullopt;
  static const wchar_t* const known[] = {
      L"iif",      L"nz",       L"isnull",   L"len",      L"left",      L"right",     L"mid",      L"instr",
      L"ucase",    L"lcase",    L"trim",     L"ltrim",    L"rtrim",     L"space",     L"string",   L"replace",
      L"strcomp",  L"asc",      L"chr",      L"val",      L"str",       L"cstr",      L"cint",     L"clng",
      L"cdbl",     L"csng",     L"ccur",     L"cdate",    L"cbool",     L"int",       L"fix",      L"abs",
      L"sgn",      L"sqr",      L"round",    L"year",     L"month",     L"day",       L"hour",     L"minute",
      L"second",   L"weekday",  L"date",     L"time",     L"now",       L"dateserial", L"timeserial", L"dateadd",
      L"datediff", L"datepart", L"format"};
  for (const wchar_t* k : known)
    if (name == k) return "acc_" + sys_wide_to_utf8(name);
  return std::nullopt;
}
std::optional<std::string> aggregate_function(const std::wstring& name) {
  std::wstring n = lower(name);
  if (n == L"count" || n == L"sum" || n == L"avg" || n == L"min" || n == L"max") return sys_wide_to_utf8(n);
  if (n == L"first" || n == L"last" || n == L"stdev" || n == L"stdevp" || n == L"var" || n == L"varp")
    return "acc_" + sys_wide_to_utf8(n);
  return std::nullopt;
}

std::string quote_name(const std::wstring& name) { return "[" + sys_wide_to_utf8(name) + "]"; }
std::string quote_text(const std::wstring& text) {
  std::string out = "'";
  for (char c : sys_wide_to_utf8(text)) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}
std::string number_text(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  std::string s = buf;
  if (s.find_first_of(".eE") == std::string::npos) s += ".0";  // a real, not an integer
  return s;
}

const char* const collate = " COLLATE access_text";

// Which DAO error a failure is reported as, by where it happened.
enum class clause { select_list, from, expression, other };

class parser {
 public:
  parser(const std::wstring& sql, bool nested_top) : sql_(sql), t_(lex(sql)), nested_top_(nested_top) {}

  // Action and definition statements give no rows: Access refuses to open them as a recordset.
  void refuse_other_statements() {
    if (t_[pos_].what == token::type::end || t_[pos_].what != token::type::word) fail(err::syntax_expected_select);
    static const wchar_t* const actions[] = {L"delete", L"insert", L"update", L"create", L"drop", L"alter",
                                             L"transform", L"grant", L"revoke", L"add"};
    for (const wchar_t* a : actions)
      if (word(a)) fail(err::invalid_operation);
  }

  rewritten_sql statement() {
    rewritten_sql out;
    refuse_other_statements();
    if (word(L"parameters")) {
      // Declared parameters are never given values here.
      int count = 0;
      ++pos_;
      while (!at_end() && !op(L";")) {
        if (t_[pos_].what == token::type::word || t_[pos_].what == token::type::name) {
          ++count;
          ++pos_;
          while (!at_end() && !op(L",") && !op(L";")) ++pos_;
          if (op(L",")) ++pos_;
        } else {
          fail(err::syntax_select);
        }
      }
      fail(err::too_few_parameters, std::to_wstring(count));
    }
    if (!word(L"select")) fail(err::syntax_expected_select);
    top_level_ = true;
    out.text = query(&out);
    if (op(L";")) ++pos_;
    if (!at_end()) fail(err::characters_after_end);
    return out;
  }

  std::string view() {
    refuse_other_statements();
    if (!word(L"select")) fail(err::syntax_expected_select);
    std::string text = query(nullptr);
    if (op(L";")) ++pos_;
    if (!at_end()) fail(err::characters_after_end);
    return text;
  }

 private:
  // ------------------------------------------------------------------------------------------ tokens
  const token& cur() const { return t_[pos_]; }
  bool at_end() const { return cur().what == token::type::end; }
  bool word(const wchar_t* w) const { return cur().what == token::type::word && same_word(cur().text, w); }
  bool word_at(size_t i, const wchar_t* w) const {
    return i < t_.size() && t_[i].what == token::type::word && same_word(t_[i].text, w);
  }
  bool op(const wchar_t* o) const { return cur().what == token::type::op && cur().text == o; }
  bool op_at(size_t i, const wchar_t* o) const {
    return i < t_.size() && t_[i].what == token::type::op && t_[i].text == o;
  }
  bool take_word(const wchar_t* w) {
    if (!word(w)) return false;
    ++pos_;
    return true;
  }
  bool take_op(const wchar_t* o) {
    if (!op(o)) return false;
    ++pos_;
    return true;
  }

  // ------------------------------------------------------------------------------------------ errors
  [[noreturn]] void fail_in(clause where) {
    if (where == clause::from) fail(err::syntax_from);
    if (where == clause::other) fail(err::syntax_select);
    // The expression's text: from its start to the end of the item or clause it stands in.
    size_t end = expr_start_;
    int depth = 0;
    for (; end < t_.size(); ++end) {
      const token& k = t_[end];
      if (k.what == token::type::end) break;
      if (k.what == token::type::op && k.text == L"(") ++depth;
      if (k.what == token::type::op && k.text == L")" && --depth < 0) break;
      if (depth == 0 && k.what == token::type::op && (k.text == L"," || k.text == L";") && end > expr_start_) break;
      if (depth == 0 && end > expr_start_ && k.what == token::type::word &&
          (same_word(k.text, L"from") || same_word(k.text, L"where") || same_word(k.text, L"group") ||
           same_word(k.text, L"having") || same_word(k.text, L"order") || same_word(k.text, L"union")))
        break;
    }
    size_t from = t_[expr_start_].pos, to = end < t_.size() ? t_[end].pos : sql_.size();
    std::wstring text = sql_.substr(from, to > from ? to - from : 0);
    while (!text.empty() && is_blank(text.back())) text.pop_back();
    if (expr_start_ < t_.size() && t_[expr_start_].what == token::type::bad && t_[expr_start_].text == L"[")
      text = sql_.substr(from);
    fail(err::syntax_in_expression, text);
  }

  // ------------------------------------------------------------------------------------------ statements
  // select_core (UNION [ALL] select_core)* [ORDER BY ...]
  std::string query(rewritten_sql* top) {
    std::string out = select_core(top);
    bool united = false;
    while (word(L"union")) {
      ++pos_;
      std::string how = take_word(L"all") ? " UNION ALL " : " UNION ";
      bool paren = take_op(L"(");
      if (!word(L"select")) fail(err::syntax_select);
      out += how + select_core(nullptr);
      if (paren && !take_op(L")")) fail(err::syntax_select);
      united = true;
    }
    if (united && word(L"order")) out += order_by(nullptr);
    return out;
  }

  std::string select_core(rewritten_sql* top) {
    if (!take_word(L"select")) fail(err::syntax_select);
    // A subquery's columns are its own business, even inside an aggregate of the outer statement.
    struct restore {
      parser& p;
      std::vector<std::string>* refs;
      int depth, aggregates;
      bool nested;
      ~restore() {
        p.bare_refs_ = refs;
        p.aggregate_depth_ = depth;
        if (nested) p.aggregates_ = aggregates;
        --p.select_depth_;
      }
    } saved{*this, bare_refs_, aggregate_depth_, aggregates_, select_depth_++ > 0};
    bare_refs_ = nullptr;
    aggregate_depth_ = 0;
    std::string out = "SELECT ";
    bool outermost = top_level_;
    int selects_before = selects_++, aggregates_before = aggregates_, refs_before = table_refs_;
    bool distinct = false;
    if (take_word(L"distinct")) {
      out += "DISTINCT ";
      distinct = true;
    } else if (!take_word(L"distinctrow")) {
      take_word(L"all");
    }
    std::optional<double> limit;
    bool percent = false;
    if (take_word(L"top")) {
      if (cur().what != token::type::number) fail(err::syntax_select);
      limit = std::wcstod(cur().text.c_str(), nullptr);
      ++pos_;
      percent = take_word(L"percent");
      if (!percent && *limit != std::floor(*limit)) fail(err::syntax_select);
    }
    std::vector<std::vector<std::string>> item_refs;
    std::vector<bool> dates;
    std::vector<std::pair<std::string, std::string>> probes;  // per item: its aggregate and the column it takes
    int aggregates_in_list = aggregates_;
    std::vector<std::string> items = select_list(item_refs, dates, probes);
    aggregates_in_list = aggregates_ - aggregates_in_list;
    std::string from;
    if (take_word(L"into")) fail(err::invalid_operation);
    if (take_word(L"from")) from = " FROM " + from_list();
    std::string rest;
    if (take_word(L"where")) rest += " WHERE " + clause_expr(true);
    std::vector<std::string> grouped;
    if (word(L"group")) {
      ++pos_;
      if (!take_word(L"by")) fail(err::syntax_select);
      rest += " GROUP BY ";
      for (;;) {
        grouped.push_back(clause_expr());
        rest += grouped.back() + collate;
        if (!take_op(L",")) break;
        rest += ", ";
      }
    }
    // A grouped SELECT shows each row of a group only through aggregates and what it groups by.
    if (!grouped.empty() || aggregates_in_list > 0) {
      for (size_t i = 0; i < items.size(); ++i) {
        std::string item = items[i].substr(0, items[i].rfind(" AS ["));
        if (in_group(item, grouped)) continue;
        for (const std::string& ref : item_refs[i])
          if (!in_group(ref, grouped)) fail(err::not_in_aggregate, unquoted(ref));
      }
    }
    if (take_word(L"having")) rest += " HAVING " + clause_expr(true);
    std::vector<std::string> keys;
    std::string order = word(L"order") ? order_by(&keys) : std::string();
    if (word(L"with")) {
      ++pos_;
      if (!take_word(L"owneraccess") || !take_word(L"option")) fail(err::syntax_select);
    }
    if (!at_end() && !op(L";") && !op(L")") && !word(L"union")) fail(err::syntax_select);
    if (top && outermost && !word(L"union") && !distinct && selects_ == selects_before + 1 &&
        aggregates_ == aggregates_before && table_refs_ == refs_before + 1 && !plain_table_.empty() &&
        rest.find(" GROUP BY ") == std::string::npos && rest.find(" HAVING ") == std::string::npos)
      top->single_table = plain_table_;
    if (limit && top && top_level_ && !nested_top_ && !word(L"union")) {
      top->has_top = true;
      top->top = *limit;
      top->top_percent = percent;
      top->hidden_columns = keys.size();
      limit.reset();
    }
    if (top && outermost && !word(L"union")) {
      top->date_columns = dates;
      // The column an aggregate of one column sums up or picks from, shown hidden so that its type is known.
      if (!distinct && !dates.empty()) {
        for (size_t i = 0; i < probes.size(); ++i) {
          if (probes[i].second.empty()) continue;
          top->probes.push_back({i, probes[i].first});
          items.push_back(probes[i].second + " AS [__tt_type" + std::to_string(i) + "]");
        }
        top->hidden_columns += top->probes.size();
      }
      for (size_t k = 0; top->has_top && k < keys.size(); ++k)
        items.push_back(keys[k] + " AS [__tt_key" + std::to_string(k) + "]");
    }
    top_level_ = false;
    for (size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + items[i];
    out += from + rest + order;
    if (limit) {
      // A plain row limit: the first n rows, or n percent of them (rounded up).
      std::string n = percent ? "(SELECT acc_ceiling(count(*) * " + number_text(*limit) + " / 100.0) FROM (" +
                                    out + "))"
                              : std::to_string(static_cast<long long>(*limit));
      out = "SELECT * FROM (" + out + " LIMIT " + n + ")";
    }
    return out;
  }

  // The items of the select list; per item, the columns it names outside aggregates and whether its value is a
  // date (one of the functions that give dates, outermost). `dates` is emptied when an item is a `*`.
  std::vector<std::string> select_list(std::vector<std::vector<std::string>>& refs, std::vector<bool>& dates,
                                       std::vector<std::pair<std::string, std::string>>& probes) {
    std::vector<std::string> items;
    std::vector<std::string>* outer_refs = bare_refs_;
    bool stars = false;
    for (;;) {
      expr_start_ = pos_;
      refs.emplace_back();
      if (op(L"*")) {
        ++pos_;
        items.push_back("*");
        probes.emplace_back();
        stars = true;
      } else if ((cur().what == token::type::word || cur().what == token::type::name) && op_at(pos_ + 1, L".") &&
                 op_at(pos_ + 2, L"*")) {
        items.push_back(quote_name(cur().text) + ".*");
        probes.emplace_back();
        pos_ += 3;
        stars = true;
      } else {
        if (at_end() || word(L"from")) fail(err::syntax_select);
        size_t start = pos_;
        bare_refs_ = &refs.back();
        std::string e = value(expression(clause::select_list));
        bare_refs_ = outer_refs;
        bool date = false;
        for (const char* f : {"acc_dateadd(", "acc_dateserial(", "acc_timeserial(", "acc_cdate(", "acc_date(",
                              "acc_time(", "acc_now("})
          date = date || e.rfind(f, 0) == 0;
        dates.push_back(date);
        // Sum, Avg, Min, Max, First or Last of one column.
        probes.emplace_back();
        if (pos_ - start >= 4 && t_[start].what == token::type::word && op_at(start + 1, L"(") && op_at(pos_ - 1, L")") &&
            is_column_ref(start + 2, pos_ - 1)) {
          std::optional<std::string> a = aggregate_function(t_[start].text);
          if (a && *a != "count" && *a != "acc_stdev" && *a != "acc_stdevp" && *a != "acc_var" && *a != "acc_varp")
            probes.back() = {*a, e.substr(e.find('(') + 1, e.size() - e.find('(') - 2)};
        }
        bool column = is_column_ref(start, pos_);
        if (take_word(L"as")) {
          if (cur().what != token::type::word && cur().what != token::type::name) fail_in(clause::select_list);
          if (cur().what == token::type::word && is_reserved(cur().text)) fail(err::syntax_select);
          e += " AS " + quote_name(cur().text);
          ++pos_;
        } else if (!column) {
          e += " AS [Expr" + std::to_string(1000 + expr_number_++) + "]";
        }
        items.push_back(e);
      }
      if (!take_op(L",")) break;
    }
    if (stars) dates.clear();
    if (!at_end() && !word(L"from") && !word(L"into") && !op(L";") && !op(L")") && !word(L"union") &&
        !word(L"where") && !word(L"order") && !word(L"group") && !word(L"having"))
      fail_in(clause::select_list);
    return items;
  }

  // Tokens [from, to) name one column: name ((.|!) name)*.
  bool is_column_ref(size_t from, size_t to) const {
    if (to <= from || (to - from) % 2 == 0) return false;
    for (size_t i = from; i < to; ++i) {
      const token& k = t_[i];
      bool name = k.what == token::type::name || (k.what == token::type::word && !is_reserved(k.text));
      bool dot = k.what == token::type::op && (k.text == L"." || k.text == L"!");
      if ((i - from) % 2 == 0 ? !name : !dot) return false;
    }
    return true;
  }

  std::string order_by(std::vector<std::string>* keys) {
    ++pos_;
    if (!take_word(L"by")) fail(err::syntax_select);
    std::string out = " ORDER BY ";
    for (bool first = true;; first = false) {
      std::string e = clause_expr();
      if (keys) keys->push_back(e);
      out += (first ? "" : ", ") + e + collate;
      if (take_word(L"desc")) out += " DESC";
      else take_word(L"asc");
      if (!take_op(L",")) break;
    }
    return out;
  }

  // A clause's expression: a condition (WHERE, HAVING) or a value (GROUP BY, ORDER BY).
  std::string clause_expr(bool condition = false) {
    expr_start_ = pos_;
    expr e = expression(clause::expression);
    return condition ? cond(e) : value(e);
  }

  // ------------------------------------------------------------------------------------------ FROM
  std::string from_list() {
    std::string out = joined();
    while (take_op(L",")) out += ", " + joined();
    if (!at_end() && !op(L";") && !op(L")") && !word(L"where") && !word(L"group") && !word(L"having") &&
        !word(L"order") && !word(L"union") && !word(L"with"))
      fail(err::syntax_from);
    return out;
  }

  std::string joined() {
    std::string out = table_ref();
    for (;;) {
      std::string how;
      if (word(L"inner") && word_at(pos_ + 1, L"join")) {
        how = " INNER JOIN ";
        pos_ += 2;
      } else if (word(L"left") || word(L"right")) {
        how = word(L"left") ? " LEFT JOIN " : " RIGHT JOIN ";
        ++pos_;
        take_word(L"outer");
        if (!take_word(L"join")) fail(err::syntax_from);
      } else if (word(L"join")) {
        fail(err::syntax_from);
      } else {
        return out;
      }
      out += how + table_ref();
      if (!take_word(L"on")) fail(err::syntax_from);
      size_t saved = expr_start_;
      expr_start_ = pos_;
      out += " ON " + cond(expression(clause::from));
      expr_start_ = saved;
    }
  }

  std::string table_ref() {
    std::string out;
    ++table_refs_;
    plain_table_.clear();
    if (take_op(L"(")) {
      if (word(L"select")) {
        out = "(" + query(nullptr) + ")";
        take_op(L";");  // a whole statement put in parentheses (the count of a statement) keeps its end mark
      } else {
        out = "(" + joined() + ")";
      }
      if (!take_op(L")")) fail(err::syntax_from);
    } else if (cur().what == token::type::name || (cur().what == token::type::word && !is_reserved(cur().text))) {
      out = quote_name(cur().text);
      plain_table_ = cur().text;
      ++pos_;
    } else {
      fail(err::syntax_from);
    }
    if (take_word(L"as")) {
      if (cur().what != token::type::name && cur().what != token::type::word) fail(err::syntax_from);
      out += " AS " + quote_name(cur().text);
      ++pos_;
    } else if (cur().what == token::type::name || (cur().what == token::type::word && !is_reserved(cur().text))) {
      out += " AS " + quote_name(cur().text);
      ++pos_;
    }
    return out;
  }

  // ------------------------------------------------------------------------------------------ expressions
  // Lowest to highest: Imp, Eqv, Xor, Or, And, Not, comparisons, &, + -, Mod, \, * /, unary -, ^.
  // A comparison (and Not, And, Or over them) is printed as the evaluator's condition, which is 1 for true;
  // where its value is used it becomes Access's -1. Conditions stay conditions where they decide (WHERE, ON,
  // HAVING), so that the evaluator can use an index for them.
  struct expr {
    std::string text;
    bool condition = false;
  };
  static std::string value(const expr& e) { return e.condition ? "(-(" + e.text + "))" : e.text; }
  static std::string cond(const expr& e) { return e.condition ? e.text : "(" + e.text + ")"; }
  static expr plain(std::string text) { return {std::move(text), false}; }

  expr expression(clause where) {
    clause saved = where_;
    where_ = where;
    expr e = logical();
    where_ = saved;
    return e;
  }

  expr logical() {
    expr left = conjunction();
    for (;;) {
      if (take_word(L"or")) {
        left = {"(" + cond(left) + " OR " + cond(conjunction()) + ")", true};
      } else if (take_word(L"xor")) {
        left = {"((" + value(left) + " <> 0) <> (" + value(conjunction()) + " <> 0))", true};
      } else if (take_word(L"eqv")) {
        left = {"((" + value(left) + " <> 0) = (" + value(conjunction()) + " <> 0))", true};
      } else if (take_word(L"imp")) {
        left = {"((NOT (" + value(left) + " <> 0)) OR (" + value(conjunction()) + " <> 0))", true};
      } else {
        return left;
      }
    }
  }

  expr conjunction() {
    expr left = negation();
    while (take_word(L"and")) left = {"(" + cond(left) + " AND " + cond(negation()) + ")", true};
    return left;
  }

  expr negation() {
    if (take_word(L"not")) {
      expr e = negation();
      // Not of a condition is a condition; of a number it is Access's bitwise Not.
      if (e.condition) return {"(NOT " + e.text + ")", true};
      return plain("(~(" + e.text + "))");
    }
    return comparison();
  }

  expr comparison() {
    expr left = concatenation();
    for (;;) {
      static const wchar_t* const ops[] = {L"=", L"<>", L"<", L">", L"<=", L">="};
      bool matched = false;
      for (const wchar_t* o : ops) {
        if (op(o)) {
          ++pos_;
          std::string right = value(concatenation());
          left = {"(" + value(left) + " " + sys_wide_to_utf8(o) + " (" + right + ")" + collate + ")", true};
          matched = true;
          break;
        }
      }
      if (matched) continue;
      if (word(L"is")) {
        ++pos_;
        bool negated = take_word(L"not");
        if (!take_word(L"null")) fail_in(where_);
        left = {"(" + value(left) + " IS " + (negated ? "NOT " : "") + "NULL)", true};
        continue;
      }
      bool negated = false;
      size_t save = pos_;
      if (word(L"not") && (word_at(pos_ + 1, L"between") || word_at(pos_ + 1, L"in") || word_at(pos_ + 1, L"like"))) {
        negated = true;
        ++pos_;
      }
      if (take_word(L"between")) {
        std::string low = value(concatenation());
        if (!take_word(L"and")) fail_in(where_);
        std::string high = value(concatenation());
        left = {"(" + value(left) + collate + (negated ? " NOT" : "") + " BETWEEN " + low + " AND " + high + ")", true};
      } else if (take_word(L"in")) {
        if (!take_op(L"(")) fail_in(where_);
        std::string list;
        if (word(L"select")) {
          list = query(nullptr);
        } else {
          for (;;) {
            list += value(concatenation());
            if (!take_op(L",")) break;
            list += ", ";
          }
        }
        if (!take_op(L")")) fail_in(where_);
        left = {"(" + value(left) + collate + (negated ? " NOT" : "") + " IN (" + list + "))", true};
      } else if (take_word(L"like")) {
        std::string pattern = value(concatenation());
        left = {std::string(negated ? "(NOT " : "(") + "acc_like(" + value(left) + ", " + pattern + "))", true};
      } else {
        pos_ = save;
        return left;
      }
    }
  }

  expr concatenation() {
    expr left = additive();
    while (take_op(L"&")) left = plain("acc_concat(" + value(left) + ", " + value(additive()) + ")");
    return left;
  }

  expr additive() {
    expr left = modulo();
    for (;;) {
      if (take_op(L"+")) left = plain("acc_add(" + value(left) + ", " + value(modulo()) + ")");
      else if (take_op(L"-")) left = plain("(" + value(left) + " - " + value(modulo()) + ")");
      else return left;
    }
  }

  expr modulo() {
    expr left = integer_division();
    while (take_word(L"mod")) left = plain("acc_mod(" + value(left) + ", " + value(integer_division()) + ")");
    return left;
  }

  expr integer_division() {
    expr left = multiplicative();
    while (take_op(L"\\")) left = plain("acc_intdiv(" + value(left) + ", " + value(multiplicative()) + ")");
    return left;
  }

  expr multiplicative() {
    expr left = unary();
    for (;;) {
      if (take_op(L"*")) left = plain("(" + value(left) + " * " + value(unary()) + ")");
      else if (take_op(L"/")) left = plain("acc_div(" + value(left) + ", " + value(unary()) + ")");
      else return left;
    }
  }

  expr unary() {
    if (take_op(L"-")) return plain("(-(" + value(unary()) + "))");
    if (take_op(L"+")) return unary();
    return power();
  }

  expr power() {
    expr left = primary();
    while (take_op(L"^")) {
      std::string right = op(L"-") ? (++pos_, "(-(" + value(primary()) + "))") : value(primary());
      left = plain("acc_pow(" + value(left) + ", " + right + ")");
    }
    return left;
  }

  expr primary() {
    const token& k = cur();
    switch (k.what) {
      case token::type::number: {
        ++pos_;
        return plain(sys_wide_to_utf8(k.text));
      }
      case token::type::string: {
        ++pos_;
        return plain(quote_text(k.text));
      }
      case token::type::date: {
        DATE d = 0;
        if (FAILED(VarDateFromStr(k.text, &d))) fail_in(where_);
        ++pos_;
        return plain(number_text(d));
      }
      case token::type::op: {
        if (k.text == L"(") {
          ++pos_;
          expr inner = word(L"select") ? plain(query(nullptr)) : logical();
          if (!take_op(L")")) fail_in(where_);
          return {"(" + inner.text + ")", inner.condition};
        }
        fail_in(where_);
      }
      case token::type::name: return plain(reference());
      case token::type::word: break;
      default: fail_in(where_);
    }
    if (same_word(k.text, L"null")) {
      ++pos_;
      return plain("NULL");
    }
    if (same_word(k.text, L"true")) {
      ++pos_;
      return plain("(-1)");
    }
    if (same_word(k.text, L"false")) {
      ++pos_;
      return plain("0");
    }
    if (same_word(k.text, L"exists")) {
      ++pos_;
      if (!take_op(L"(") || !word(L"select")) fail_in(where_);
      std::string inner = query(nullptr);
      if (!take_op(L")")) fail_in(where_);
      return {"(EXISTS (" + inner + "))", true};
    }
    // Left, Asc, ... are functions before they are keywords.
    if (op_at(pos_ + 1, L"(") && (!is_reserved(k.text) || aggregate_function(k.text) || scalar_function(k.text)))
      return plain(call());
    if (is_reserved(k.text)) fail_in(where_);
    return plain(reference());
  }

  std::string reference() {
    std::string out = quote_name(cur().text);
    ++pos_;
    while ((op(L".") || op(L"!")) &&
           (t_[pos_ + 1].what == token::type::name || t_[pos_ + 1].what == token::type::word)) {
      out += "." + quote_name(t_[pos_ + 1].text);
      pos_ += 2;
    }
    if (bare_refs_ && aggregate_depth_ == 0) bare_refs_->push_back(out);
    return out;
  }

  // Whether an item or a column it names is among the GROUP BY expressions (a column by its own name, whatever
  // table it is qualified with; names ignoring case).
  static std::string last_name(const std::string& e) {
    if (e.empty() || e.back() != ']') return e;
    size_t open = e.rfind('[');
    return open == std::string::npos ? e : e.substr(open);
  }
  static bool same_ascii_nocase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
  }
  static bool in_group(const std::string& e, const std::vector<std::string>& grouped) {
    for (const std::string& g : grouped)
      if (same_ascii_nocase(e, g) || (e.back() == ']' && g.back() == ']' && same_ascii_nocase(last_name(e), last_name(g))))
        return true;
    return false;
  }
  static std::wstring unquoted(const std::string& ref) {
    std::string out;
    for (char c : ref)
      if (c != '[' && c != ']') out += c;
    return sys_utf8_to_wide(out);
  }

  std::string call() {
    std::wstring name = cur().text;
    pos_ += 2;  // name (
    std::optional<std::string> aggregate = aggregate_function(name);
    std::optional<std::string> scalar = aggregate ? std::nullopt : scalar_function(name);
    if (!aggregate && !scalar) fail(err::undefined_function, name);
    if (aggregate) ++aggregates_;
    if (aggregate && *aggregate == "count" && take_op(L"*")) {
      if (!take_op(L")")) fail_in(where_);
      return "count(*)";
    }
    std::string args;
    if (aggregate) ++aggregate_depth_;
    if (!op(L")")) {
      for (;;) {
        args += value(logical());
        if (!take_op(L",")) break;
        args += ", ";
      }
    }
    if (aggregate) --aggregate_depth_;
    if (!take_op(L")")) fail_in(where_);
    return (aggregate ? *aggregate : *scalar) + "(" + args + ")";
  }

  const std::wstring& sql_;
  std::vector<token> t_;
  size_t pos_ = 0;
  size_t expr_start_ = 0;
  clause where_ = clause::expression;
  int expr_number_ = 0;
  int selects_ = 0, aggregates_ = 0, table_refs_ = 0;
  std::wstring plain_table_;  // the name of the last table reference, when it was a plain name
  std::vector<std::string>* bare_refs_ = nullptr;  // where the item being read lists the columns it names
  int aggregate_depth_ = 0;                        // inside the arguments of an aggregate
  int select_depth_ = 0;                           // SELECTs being read, the outermost first
  bool top_level_ = false;
  bool nested_top_;
};

// `SELECT Count(*) FROM (<inner>)` with nothing else: the inner statement's Access text, else empty.
std::optional<std::wstring> counted_inner(const std::wstring& sql) {
  std::vector<token> t = lex(sql);
  auto w = [&](size_t i, const wchar_t* s) { return t[i].what == token::type::word && same_word(t[i].text, s); };
  auto o = [&](size_t i, const wchar_t* s) { return t[i].what == token::type::op && t[i].text == s; };
  if (t.size() < 9 || !w(0, L"select") || !w(1, L"count") || !o(2, L"(") || !o(3, L"*") || !o(4, L")") ||
      !w(5, L"from") || !o(6, L"("))
    return std::nullopt;
  size_t end = t.size() - 1;  // the end token
  if (o(end - 1, L";")) --end;
  if (!o(end - 1, L")")) return std::nullopt;
  int depth = 0;
  for (size_t i = 6; i < end - 1; ++i) {
    if (o(i, L"(")) ++depth;
    if (o(i, L")") && --depth == 0) return std::nullopt;  // the parenthesis closes before the end
  }
  return sql.substr(t[7].pos, t[end - 1].pos - t[7].pos);
}

}  // namespace

rewritten_sql rewrite_select(const std::wstring& access_sql) {
  if (std::optional<std::wstring> inner = counted_inner(access_sql)) {
    rewritten_sql in = parser(*inner, false).statement();
    if (in.has_top) {
      rewritten_sql out;
      out.count_of_top = true;
      out.inner = *inner;
      return out;
    }
  }
  return parser(access_sql, false).statement();
}

std::string rewrite_view(const std::wstring& access_sql) { return parser(access_sql, true).view(); }

}  // namespace dao
