// The reader of Access's SELECT grammar and the printer of the evaluator's SQL (see sql_rewrite.h).
#include "platform/dao/sql_rewrite.h"

#include <cmath>
#include <cstdio>
#include <cctype>
#include <cstring>
#include <cwctype>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "platform/dao/errors.h"
#include "platform/dao/sql_functions.h"
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

// Access's functions: the name the evaluator knows each by (registered in sql_functions.cpp), and how many
// arguments each takes.
struct function_name {
  std::string name;
  int fewest = 1, most = 1;
};
std::optional<function_name> scalar_function(std::wstring name) {
  name = lower(name);
  static const wchar_t* const dollar[] = {L"left$",  L"right$",  L"mid$",   L"ucase$", L"lcase$", L"trim$", L"ltrim$",
                                          L"rtrim$", L"space$",  L"string$", L"chr$",  L"str$",   L"format$"};
  for (const wchar_t* d : dollar)
    if (name == d) name.pop_back();
  if (!name.empty() && name.back() == L'$') return std::nullopt;
  static const struct {
    const wchar_t* name;
    int fewest, most;
  } known[] = {
      {L"iif", 3, 3},      {L"nz", 1, 2},        {L"isnull", 1, 1},     {L"len", 1, 1},      {L"left", 2, 2},
      {L"right", 2, 2},    {L"mid", 2, 3},       {L"instr", 2, 4},      {L"ucase", 1, 1},    {L"lcase", 1, 1},
      {L"trim", 1, 1},     {L"ltrim", 1, 1},     {L"rtrim", 1, 1},      {L"space", 1, 1},    {L"string", 2, 2},
      {L"replace", 3, 6},  {L"strcomp", 2, 3},   {L"asc", 1, 1},        {L"chr", 1, 1},      {L"val", 1, 1},
      {L"str", 1, 1},      {L"cstr", 1, 1},      {L"cint", 1, 1},       {L"clng", 1, 1},     {L"cdbl", 1, 1},
      {L"csng", 1, 1},     {L"ccur", 1, 1},      {L"cdate", 1, 1},      {L"cbool", 1, 1},    {L"int", 1, 1},
      {L"fix", 1, 1},      {L"abs", 1, 1},       {L"sgn", 1, 1},        {L"sqr", 1, 1},      {L"round", 1, 2},
      {L"year", 1, 1},     {L"month", 1, 1},     {L"day", 1, 1},        {L"hour", 1, 1},     {L"minute", 1, 1},
      {L"second", 1, 1},   {L"weekday", 1, 2},   {L"date", 0, 0},       {L"time", 0, 0},     {L"now", 0, 0},
      {L"dateserial", 3, 3}, {L"timeserial", 3, 3}, {L"dateadd", 3, 3}, {L"datediff", 3, 5}, {L"datepart", 2, 4},
      {L"format", 1, 4},   {L"switch", 2, 254},  {L"choose", 2, 254},   {L"isnumeric", 1, 1}, {L"isdate", 1, 1},
      {L"instrrev", 2, 4}, {L"datevalue", 1, 1}, {L"timevalue", 1, 1}};
  for (const auto& k : known)
    if (name == k.name) return function_name{"acc_" + sys_wide_to_utf8(name), k.fewest, k.most};
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

// How deep a statement may nest (parentheses, function calls, signs, Not, subqueries) before it is refused as too
// complex: the reader is recursive, and the evaluator takes far less nesting than this anyway.
const int kDeepest = 200;

// Operands of + and & a call takes before it starts another one (the evaluator takes 127 arguments a call).
const int kOperandsPerCall = 126;

// Which DAO error a failure is reported as, by where it happened.
enum class clause { select_list, from, expression, other };

class parser {
 public:
  parser(const std::wstring& sql, bool nested_top, column_kinds* kinds)
      : kinds_(kinds), sql_(sql), t_(lex(sql)), nested_top_(nested_top) {}

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
    if (!hoisted_.empty()) {
      std::string with = "WITH ";
      for (size_t i = 0; i < hoisted_.size(); ++i) with += (i ? ", " : "") + hoisted_[i];
      out.text = with + " " + out.text;
    }
    return out;
  }

  // Subqueries are printed ahead of the statement, each as a common table expression of its own, rather than
  // nested in it (which the evaluator reads only a few levels deep): for a statement it could not read otherwise.
  // A subquery that names a column of the statement around it cannot stand alone so.
  void hoist_subqueries() { hoist_ = true; }

  std::string view() {
    refuse_other_statements();
    if (!word(L"select")) fail(err::syntax_expected_select);
    std::string text = query(nullptr);
    if (op(L";")) ++pos_;
    if (!at_end()) fail(err::characters_after_end);
    return text;
  }

 private:
  // What an item of a select list gives: a date, the literal Null, a text.
  struct item_kind {
    bool date = false, null = false, text = false;
  };

  // A table, stored query or subquery of a FROM, by the name the statement calls it.
  struct source {
    std::wstring alias;
    std::wstring object;  // the file's table or query
    bool derived = false;  // a subquery, whose columns follow
    std::vector<std::pair<std::wstring, bool>> columns;  // name, holds dates
    std::vector<source> inner;  // a subquery showing `*`: the tables it shows
  };

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
  // One level deeper into the statement for as long as it lives; too deep a statement is refused.
  struct nesting {
    explicit nesting(parser& p) : p(p) {
      if (++p.depth_ > kDeepest) fail(err::query_too_complex);
    }
    ~nesting() { --p.depth_; }
    nesting(const nesting&) = delete;
    nesting& operator=(const nesting&) = delete;
    parser& p;
  };

  [[noreturn]] void fail_in(clause where) {
    if (where == clause::from) fail(err::syntax_from);
    if (where == clause::other) fail(err::syntax_select);
    fail(err::syntax_in_expression, expression_text());
  }

  // A text or date literal that does not read (left open, or no date): Access names what kind of literal it is.
  [[noreturn]] void fail_literal(const wchar_t* kind) {
    if (where_ == clause::from || where_ == clause::other) fail_in(where_);
    throw error(err::syntax_in_expression,
                L"Syntax error in " + std::wstring(kind) + L" in query expression '" + expression_text() + L"'.", true);
  }

  // The text of the expression being read: from its start to the end of the item or clause it stands in.
  std::wstring expression_text() const {
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
           same_word(k.text, L"having") || same_word(k.text, L"order") || same_word(k.text, L"union") ||
           same_word(k.text, L"as")))
        break;  // (an item's name is not its expression)
    }
    size_t from = t_[expr_start_].pos, to = end < t_.size() ? t_[end].pos : sql_.size();
    std::wstring text = sql_.substr(from, to > from ? to - from : 0);
    while (!text.empty() && is_blank(text.back())) text.pop_back();
    if (expr_start_ < t_.size() && t_[expr_start_].what == token::type::bad && t_[expr_start_].text == L"[")
      text = sql_.substr(from);
    return text;
  }

  // ------------------------------------------------------------------------------------------ statements
  // select_core (UNION [ALL] select_core)* [ORDER BY ...]
  std::string query(rewritten_sql* top) {
    struct part {
      std::string how, text;
      std::vector<std::pair<size_t, size_t>> spans;
      std::vector<item_kind> kinds;
      std::vector<std::pair<std::wstring, bool>> columns;
    };
    std::vector<part> parts{{"", select_core(top), core_spans_, core_kinds_, core_columns_}};
    std::vector<std::pair<std::wstring, bool>> columns = core_columns_;
    std::vector<source> sources = core_sources_;
    bool united = false, typed = !columns.empty();
    while (word(L"union")) {
      ++pos_;
      std::string how = take_word(L"all") ? " UNION ALL " : " UNION ";
      bool paren = take_op(L"(");
      if (!word(L"select")) fail(err::syntax_select);
      bool was_union_part = union_part_;
      union_part_ = true;
      std::string text = select_core(nullptr);
      union_part_ = was_union_part;
      parts.push_back({how, text, core_spans_, core_kinds_, core_columns_});
      if (paren && !take_op(L")")) fail(err::syntax_select);
      united = true;
      typed = typed && core_columns_.size() == columns.size();
    }
    // A column of a union holds dates when every SELECT gives it a date or Null (and one a date); where one gives
    // a date and another a text, the column is text and its dates are their text.
    bool known = true;  // what each item gives is known (no `*`)
    for (const part& p : parts) known = known && p.kinds.size() == columns.size() && p.spans.size() == columns.size();
    for (size_t i = 0; united && typed && i < columns.size(); ++i) {
      if (!known) {
        for (const part& p : parts) columns[i].second = columns[i].second && p.columns[i].second;
        continue;
      }
      bool date = false, all = true, text = false;
      for (const part& p : parts) {
        date = date || p.kinds[i].date;
        all = all && (p.kinds[i].date || p.kinds[i].null);
        text = text || p.kinds[i].text;
      }
      columns[i].second = date && all;
      if (!date || !text) continue;
      for (part& p : parts) {
        if (!p.kinds[i].date) continue;
        auto [at, length] = p.spans[i];
        std::string item = p.text.substr(at, length);
        std::string shown = "acc_datetext(" + item_expression(item) + ") AS " + item_name(item);
        p.text.replace(at, length, shown);
        for (auto& later : p.spans)
          if (later.first > at) later.first += shown.size() - length;
      }
    }
    if (united && !typed)
      for (auto& column : columns) column.second = false;
    std::string out;
    for (const part& p : parts) out += p.how + p.text;
    if (united && word(L"order")) out += order_by(nullptr);
    if (united && top && typed) {
      top->date_columns.clear();
      top->names.clear();
      for (const auto& [name, date] : columns) {
        top->names.push_back(name);
        top->date_columns.push_back(date);
      }
    }
    core_columns_ = std::move(columns);
    core_sources_ = std::move(sources);
    return out;
  }

  // Where the FROM of the SELECT whose select list starts at token i is, or 0 when it has none.
  size_t from_position(size_t i) const {
    int depth = 0;
    for (; i < t_.size() && t_[i].what != token::type::end; ++i) {
      const token& k = t_[i];
      if (k.what == token::type::op && k.text == L"(") {
        ++depth;
      } else if (k.what == token::type::op && k.text == L")") {
        if (--depth < 0) return 0;
      } else if (depth == 0 && k.what == token::type::word) {
        if (same_word(k.text, L"from")) return i;
        for (const wchar_t* w : {L"into", L"where", L"group", L"having", L"order", L"union"})
          if (same_word(k.text, w)) return 0;
      }
    }
    return 0;
  }

  // A SELECT inside the statement: its text, or the name it was hoisted under.
  std::string subquery() {
    std::string text = query(nullptr);
    if (!hoist_) return text;
    std::string name = "[__tt_sub" + std::to_string(hoisted_.size()) + "]";
    hoisted_.push_back(name + " AS (" + text + ")");
    return "SELECT * FROM " + name;
  }

  std::string select_core(rewritten_sql* top) {
    nesting deeper(*this);
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
    // The tables are read before the select list, so that it knows which of their columns hold dates. A FROM
    // that cannot be read is read again in its turn, so that what is wrong is reported where Access reports it.
    scopes_.emplace_back();
    struct pop_scope {
      parser& p;
      ~pop_scope() { p.scopes_.pop_back(); }
    } popped{*this};
    std::string from;
    size_t list_start = pos_, from_at = from_position(pos_), from_end = 0;
    if (from_at != 0) {
      int numbered = expr_number_;
      pos_ = from_at + 1;
      try {
        from = " FROM " + from_list();
        from_end = pos_;
      } catch (const error&) {
        scopes_.back().clear();
      }
      expr_number_ = numbered;
      pos_ = list_start;
    }
    std::vector<std::vector<std::string>> item_refs;
    std::vector<bool> dates;
    std::vector<std::wstring> names;
    std::vector<std::pair<std::string, std::string>> probes;  // per item: its aggregate and the column it takes
    int aggregates_in_list = aggregates_;
    bool stars = false;
    std::vector<item_kind> kinds;
    std::vector<std::string> items = select_list(item_refs, dates, names, probes, stars, kinds);
    aggregates_in_list = aggregates_ - aggregates_in_list;
    if (take_word(L"into")) fail(err::invalid_operation);
    if (word(L"from")) {
      if (from_end != 0 && pos_ == from_at) {
        pos_ = from_end;
      } else {
        ++pos_;
        from = " FROM " + from_list();
      }
    }
    std::string rest;
    if (take_word(L"where")) rest += " WHERE " + clause_expr(true);
    std::vector<std::string> grouped;
    if (word(L"group")) {
      ++pos_;
      if (!take_word(L"by")) fail(err::syntax_select);
      rest += " GROUP BY ";
      for (;;) {
        grouped.push_back(clause_expr());
        // Grouped by the texts' keys, made once a value, rather than compared under the collation.
        rest += "acc_sort_key(" + grouped.back() + ")";
        if (!take_op(L",")) break;
        rest += ", ";
      }
    }
    // HAVING and ORDER BY name columns of a grouped SELECT as its select list does: through aggregates or what
    // it groups by (a HAVING groups the whole table as one group when there is no GROUP BY).
    bool having = false;
    std::vector<std::string> having_refs, order_refs;
    if (take_word(L"having")) {
      having = true;
      bare_refs_ = &having_refs;
      rest += " HAVING " + clause_expr(true);
      bare_refs_ = nullptr;
    }
    std::vector<order_key> keys;
    int aggregates_before_order = aggregates_;
    std::string order;
    if (word(L"order")) {
      bare_refs_ = &order_refs;
      order = order_by(&keys, &items, distinct);
      bare_refs_ = nullptr;
    }
    // A grouped SELECT shows each row of a group only through aggregates and what it groups by.
    if (!grouped.empty() || aggregates_in_list > 0 || having || aggregates_ > aggregates_before_order) {
      for (size_t i = 0; i < items.size(); ++i) {
        if (is_star(items[i])) fail(err::grouped_star);
        if (in_group(item_expression(items[i]), grouped)) continue;
        for (const std::string& ref : item_refs[i])
          if (!in_group(ref, grouped)) fail(err::not_in_aggregate, unquoted(ref));
      }
      // (A column inside an expression grouped by, Year(d) of GROUP BY Year(d), is taken as grouped.)
      // (A name that is a result column's, its alias in an ORDER BY or HAVING, is left to the evaluator, which
      // reads it as that column.)
      for (const std::vector<std::string>* refs : {&having_refs, &order_refs})
        for (const std::string& ref : *refs) {
          bool shown = false;
          for (const std::string& item : items) shown = shown || same_ascii_nocase(item_name(item), ref);
          if (!shown && !within_group(ref, grouped)) fail(err::not_in_aggregate, unquoted(ref));
        }
    }
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
      // A key that is a result column's number is that column's value; the others are shown hidden.
      for (const order_key& k : keys) {
        top->top_keys.push_back(k.column);
        if (k.column < 0) ++top->hidden_columns;
      }
      limit.reset();
    }
    if (top && outermost && !word(L"union")) {
      top->date_columns = dates;
      // The column an aggregate of one column sums up or picks from, shown hidden so that its type is known.
      if (!distinct && !stars && !dates.empty()) {
        for (size_t i = 0; i < probes.size(); ++i) {
          if (probes[i].second.empty()) continue;
          top->probes.push_back({i, probes[i].first});
          items.push_back(probes[i].second + " AS [__tt_type" + std::to_string(i) + "]");
        }
        top->hidden_columns += top->probes.size();
      }
      for (size_t k = 0; top->has_top && k < keys.size(); ++k)
        if (keys[k].column < 0) items.push_back(keys[k].text + " AS [__tt_key" + std::to_string(k) + "]");
    }
    top_level_ = false;
    core_columns_.clear();
    core_sources_.clear();
    if (stars && names.empty()) core_sources_ = scopes_.back();  // a * shows the columns of these
    if (dates.size() == names.size())
      for (size_t i = 0; i < names.size(); ++i) core_columns_.emplace_back(names[i], dates[i]);
    if (top && outermost && !word(L"union") && dates.size() == names.size()) top->names = names;
    core_spans_.clear();
    for (size_t i = 0; i < items.size(); ++i) {
      out += i ? ", " : "";
      core_spans_.emplace_back(out.size(), items[i].size());
      out += items[i];
    }
    core_kinds_ = kinds;
    out += from + rest + order;
    if (limit && *limit < 9e18 && !keys.empty()) {
      // TOP of a subquery or stored query keeps the rows tied with the last one it keeps, as TOP of the statement
      // does: the rows ranked by the ORDER BY values (rank() counts the rows before a row's ties) up to n, or to
      // n percent of the rows (rounded up). The SELECT shows its columns under names of its own beneath, so that
      // the rank and the values it is taken of are left out above.
      std::string inner = distinct ? "SELECT DISTINCT " : "SELECT ", shown, ranks;
      bool known = true;
      for (size_t i = 0; i < items.size(); ++i) {
        known = known && !is_star(items[i]);
        std::string c = "[__tt_c" + std::to_string(i) + "]";
        inner += (i ? ", " : "") + item_expression(items[i]) + " AS " + c;
        shown += (i ? ", " : "") + c + " AS " + item_name(items[i]);
      }
      for (size_t k = 0; k < keys.size(); ++k) {
        std::string key = keys[k].text;
        if (keys[k].column >= 0) {
          known = known && static_cast<size_t>(keys[k].column) < items.size();
          if (known) key = item_expression(items[static_cast<size_t>(keys[k].column)]);
        }
        std::string name = "[__tt_k" + std::to_string(k) + "]";
        inner += ", " + key + " AS " + name;
        ranks += (k ? ", " : "") + name + collate + (keys[k].descending ? " DESC" : "");
      }
      // A `*` shows columns that cannot be named one by one beneath: they are taken by the names they show under,
      // when those are known and each names one column.
      std::set<std::wstring> distinct_names;
      for (const std::wstring& name : names) distinct_names.insert(lower(name));
      if (!known && !names.empty() && distinct_names.size() == names.size()) {
        known = true;
        inner = distinct ? "SELECT DISTINCT " : "SELECT ";
        shown.clear();
        ranks.clear();
        for (size_t i = 0; i < items.size(); ++i) inner += (i ? ", " : "") + items[i];
        for (size_t i = 0; i < names.size(); ++i) shown += (i ? ", " : "") + quote_name(names[i]);
        for (size_t k = 0; k < keys.size(); ++k) {
          std::string name = "[__tt_k" + std::to_string(k) + "]";
          if (keys[k].column >= 0 && static_cast<size_t>(keys[k].column) < names.size()) {
            name = quote_name(names[static_cast<size_t>(keys[k].column)]);
          } else {
            known = known && keys[k].column < 0;
            inner += ", " + keys[k].text + " AS " + name;
          }
          ranks += (k ? ", " : "") + name + collate + (keys[k].descending ? " DESC" : "");
        }
      }
      if (known) {
        std::string bound = percent ? "acc_ceiling([__tt_n] * " + number_text(*limit) + " / 100.0)"
                                    : std::to_string(static_cast<long long>(*limit));
        out = "SELECT * FROM (SELECT " + shown + " FROM (SELECT *, rank() OVER (ORDER BY " + ranks +
              ") AS [__tt_r], count(*) OVER () AS [__tt_n] FROM (" + inner + from + rest + ")) WHERE [__tt_r] <= " +
              bound + " ORDER BY [__tt_r])";
        limit.reset();
      }
    }
    if (limit) {
      // A plain row limit: the first n rows, or n percent of them (rounded up).
      std::string n = percent ? "(SELECT acc_ceiling(count(*) * " + number_text(*limit) + " / 100.0) FROM (" +
                                    out + "))"
                      : *limit >= 9e18 ? std::string("-1")  // beyond any row count: no limit
                                       : std::to_string(static_cast<long long>(*limit));
      out = "SELECT * FROM (" + out + " LIMIT " + n + ")";
      for (auto& span : core_spans_) span.first += std::strlen("SELECT * FROM (");
    }
    return out;
  }

  // The items of the select list; per item, the columns it names outside aggregates; per result column, its name
  // and whether its value is a date (`dates` and `names` are emptied when a `*` shows columns not known here).
  // `stars` tells whether an item is a `*`.
  std::vector<std::string> select_list(std::vector<std::vector<std::string>>& refs, std::vector<bool>& dates,
                                       std::vector<std::wstring>& names,
                                       std::vector<std::pair<std::string, std::string>>& probes, bool& stars,
                                       std::vector<item_kind>& kinds) {
    std::vector<std::string> items;
    std::vector<std::string>* outer_refs = bare_refs_;
    stars = false;
    bool expanded = true;  // every * shows columns known here
    for (;;) {
      expr_start_ = pos_;
      refs.emplace_back();
      if (op(L"*")) {
        ++pos_;
        items.push_back("*");
        probes.emplace_back();
        stars = true;
        expanded = expanded && shown_by_star(nullptr, dates, names);
      } else if ((cur().what == token::type::word || cur().what == token::type::name) && op_at(pos_ + 1, L".") &&
                 op_at(pos_ + 2, L"*")) {
        items.push_back(quote_name(cur().text) + ".*");
        probes.emplace_back();
        expanded = expanded && shown_by_star(&cur().text, dates, names);
        pos_ += 3;
        stars = true;
      } else {
        if (at_end() || word(L"from")) fail(err::syntax_select);
        size_t start = pos_;
        bare_refs_ = &refs.back();
        expr x = expression(clause::select_list);
        std::string e = value(x);
        bare_refs_ = outer_refs;
        dates.push_back(x.date);
        kinds.push_back({x.date, x.null, x.is_text});
        // Sum, Avg, Min, Max, First or Last of one column.
        probes.emplace_back();
        if (pos_ - start >= 4 && t_[start].what == token::type::word && op_at(start + 1, L"(") && op_at(pos_ - 1, L")") &&
            is_column_ref(start + 2, pos_ - 1)) {
          std::optional<std::string> a = aggregate_function(t_[start].text);
          if (a && *a != "count" && *a != "acc_stdev" && *a != "acc_stdevp" && *a != "acc_var" && *a != "acc_varp") {
            std::string column = e.substr(e.find('(') + 1, e.size() - e.find('(') - 2);
            const std::string summand = "acc_summand(";
            if (column.compare(0, summand.size(), summand) == 0)
              column = column.substr(summand.size(), column.size() - summand.size() - 1);
            probes.back() = {*a, column};
          }
        }
        bool column = is_column_ref(start, pos_);
        // An expression's texts keep the file's text order where the result compares them (DISTINCT, UNION).
        if (!column) e = "(" + e + ")" + collate;
        if (take_word(L"as")) {
          if (cur().what != token::type::word && cur().what != token::type::name) fail_in(clause::select_list);
          if (cur().what == token::type::word && is_reserved(cur().text)) fail(err::syntax_select);
          e += " AS " + quote_name(cur().text);
          names.push_back(cur().text);
          ++pos_;
        } else if (!column) {
          names.push_back(L"Expr" + std::to_wstring(1000 + expr_number_));
          e += " AS [Expr" + std::to_string(1000 + expr_number_++) + "]";
        } else {
          names.push_back(t_[pos_ - 1].text);
        }
        items.push_back(e);
      }
      if (!take_op(L",")) break;
    }
    if (!expanded) dates.clear(), names.clear();
    if (!at_end() && !word(L"from") && !word(L"into") && !op(L";") && !op(L")") && !word(L"union") &&
        !word(L"where") && !word(L"order") && !word(L"group") && !word(L"having"))
      fail_in(clause::select_list);
    return items;
  }

  // The columns a `*` (of every table, or of the one named) shows, in order, with whether they hold dates; false
  // when a table's columns are not known here.
  bool shown_by_star(const std::wstring* table, std::vector<bool>& dates, std::vector<std::wstring>& names) const {
    bool any = false;
    for (const source& src : scopes_.back()) {
      if (table && !same_name(src.alias, *table)) continue;
      any = true;
      if (!all_columns(src, dates, names)) return false;
    }
    return any;
  }
  bool all_columns(const source& src, std::vector<bool>& dates, std::vector<std::wstring>& names) const {
    const column_kinds::columns* shown = &src.columns;
    if (!src.derived) shown = kinds_ ? kinds_->columns_of(src.object) : nullptr;
    if (!shown) return false;
    if (src.derived && shown->empty()) {
      if (src.inner.empty()) return false;
      for (const source& inner : src.inner)
        if (!all_columns(inner, dates, names)) return false;
      return true;
    }
    for (const auto& [name, date] : *shown) {
      names.push_back(name);
      dates.push_back(date);
    }
    return true;
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

  // An ORDER BY value: its printed expression, or the result column (from 0) it names by number.
  struct order_key {
    std::string text;
    int column = -1;
    bool descending = false;
  };

  // An item's expression (without its name, or the collation an expression column compares under) and the name
  // it shows under (its alias, or the column it shows).
  static std::string item_expression(const std::string& item) {
    std::string e = item.substr(0, item.rfind(" AS ["));
    size_t n = std::strlen(collate);
    if (e.size() > n + 2 && e.front() == '(' && e.compare(e.size() - n, std::string::npos, collate) == 0)
      e = e.substr(1, e.size() - n - 2);  // (e) COLLATE access_text
    return e;
  }
  // An item that is a `*` or `table.*`.
  static bool is_star(const std::string& item) {
    return item == "*" || (item.size() > 2 && item.compare(item.size() - 2, 2, ".*") == 0);
  }
  static std::string item_name(const std::string& item) {
    size_t as = item.rfind(" AS [");
    return as == std::string::npos ? last_name(item) : item.substr(as + 4);
  }

  // ORDER BY keys; with `items` (the select list of its SELECT), a key may name a result column by its number
  // or by its alias, and a DISTINCT SELECT sorts only by what it shows (3093).
  std::string order_by(std::vector<order_key>* keys, const std::vector<std::string>* items = nullptr,
                       bool distinct = false) {
    ++pos_;
    if (!take_word(L"by")) fail(err::syntax_select);
    std::string out = " ORDER BY ";
    bool first = true;
    for (;;) {
      size_t start = pos_;
      bool alone = op_at(pos_ + 1, L",") || op_at(pos_ + 1, L";") || op_at(pos_ + 1, L")") ||
                   (pos_ + 1 < t_.size() && t_[pos_ + 1].what == token::type::end) || word_at(pos_ + 1, L"desc") ||
                   word_at(pos_ + 1, L"asc") || word_at(pos_ + 1, L"with") || word_at(pos_ + 1, L"union");
      std::string e = clause_expr();
      order_key key{e};
      bool shown = false;
      if (items && alone) {
        const token& k = t_[start];
        if (k.what == token::type::number && k.text.find_first_not_of(L"0123456789") == std::wstring::npos) {
          key.column = static_cast<int>(std::min(std::wcstod(k.text.c_str(), nullptr), 1e9)) - 1;
          shown = true;
          // A number that is no column's (0, or beyond the columns shown) is a value like any other, the same for
          // every row: it sorts nothing.
          bool stars = false;
          for (const std::string& item : *items)
            stars = stars || is_star(item);
          if (!stars && (key.column < 0 || static_cast<size_t>(key.column) >= items->size())) {
            key.column = -1;
            key.text = e = "NULL";
          }
        } else if (k.what == token::type::name || k.what == token::type::word) {
          std::string name = quote_name(k.text);
          for (const std::string& item : *items)
            if (same_ascii_nocase(item_name(item), name)) {
              key.text = item_expression(item);
              shown = true;
              break;
            }
        }
      }
      if (items && distinct && !shown) {
        bool stars = false;
        std::vector<std::string> listed;
        for (const std::string& item : *items) {
          stars = stars || is_star(item);
          listed.push_back(item_expression(item));
        }
        if (!stars && !in_group(e, listed)) {
          size_t to = t_[pos_].pos;
          std::wstring text = sql_.substr(t_[start].pos, to - t_[start].pos);
          while (!text.empty() && is_blank(text.back())) text.pop_back();
          fail(err::order_by_conflicts_with_distinct, text);
        }
      }
      if (keys) keys->push_back(key);
      // (A union sorts only by its columns: a value the same for every row is left out.)
      bool printed = !union_part_ || e != "NULL";
      if (printed) {
        out += (first ? "" : ", ") + e + collate;
        first = false;
      }
      if (take_word(L"desc")) {
        if (printed) out += " DESC";
        if (keys) keys->back().descending = true;
      }
      else take_word(L"asc");
      if (!take_op(L",")) break;
    }
    return first ? std::string() : out;
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
    nesting deeper(*this);
    source src;
    if (take_op(L"(")) {
      if (word(L"select")) {
        out = "(" + subquery() + ")";
        src.derived = true;
        src.columns = core_columns_;
        src.inner = core_sources_;
        take_op(L";");  // a whole statement put in parentheses (the count of a statement) keeps its end mark
      } else {
        out = "(" + joined() + ")";
      }
      if (!take_op(L")")) fail(err::syntax_from);
    } else if (cur().what == token::type::name || (cur().what == token::type::word && !is_reserved(cur().text))) {
      out = quote_name(cur().text);
      plain_table_ = cur().text;
      src.object = src.alias = cur().text;
      ++pos_;
    } else {
      fail(err::syntax_from);
    }
    if (take_word(L"as")) {
      if (cur().what != token::type::name && cur().what != token::type::word) fail(err::syntax_from);
      out += " AS " + quote_name(cur().text);
      src.alias = cur().text;
      ++pos_;
    } else if (cur().what == token::type::name || (cur().what == token::type::word && !is_reserved(cur().text))) {
      out += " AS " + quote_name(cur().text);
      src.alias = cur().text;
      ++pos_;
    }
    if (!scopes_.empty() && (src.derived || !src.object.empty())) scopes_.back().push_back(std::move(src));
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
    bool date = false;    // its value is a date (a date number to the evaluator)
    bool column = false;  // a plain column reference
    bool null = false;    // the literal Null
    bool is_text = false;  // its value is text: a text literal, a joining with &, a function giving text
    std::optional<std::wstring> literal = std::nullopt;  // a text literal: its text
    // A run of one left-associative operator (a Or b Or c, a - b - c, a + b + c) is printed flat, not nested, so
    // that a long run costs the evaluator no depth: `chain` names the operator of the run `text` is ("CASE" for
    // IIf and Switch: CASE WHEN ... END without an operand), and `operands` counts them.
    std::string chain = std::string();
    int operands = 0;
  };
  // `left` op `right` as one run: the operand joins the run `left` is, else a run of two begins. An infix run is
  // "(a op b op c)"; a run of calls "f(a, b, c)" (Access's + and &, which the evaluator folds from the left).
  static expr infix(expr left, const char* op, const std::string& right, bool condition) {
    if (left.chain == op) {
      left.text.insert(left.text.size() - 1, std::string(" ") + op + " " + right);
      ++left.operands;
      left.date = left.column = left.null = false;
      left.literal.reset();
      return left;
    }
    std::string first = condition ? cond(left) : value(left);
    expr e{"(" + first + " " + op + " " + right + ")", condition};
    e.chain = op;
    e.operands = 2;
    return e;
  }
  static expr folded(expr left, const char* function, const std::string& right) {
    if (left.chain == function && left.operands < kOperandsPerCall) {
      left.text.insert(left.text.size() - 1, ", " + right);
      ++left.operands;
      left.date = left.column = left.null = false;
      left.literal.reset();
      return left;
    }
    expr e{std::string(function) + "(" + value(left) + ", " + right + ")"};
    e.chain = function;
    e.operands = 2;
    return e;
  }
  // A date where Access wants text is its general date text, not its number.
  static std::string as_text(const expr& e) { return e.date ? "acc_datetext(" + e.text + ")" : value(e); }
  static expr dated(std::string text, bool date) {
    expr e{std::move(text)};
    e.date = date;
    return e;
  }
  // The text in parentheses, unless it stands in a pair of its own already (which would cost the evaluator's
  // parser a level for nothing) or is one name, number or call.
  static std::string enclosed(const std::string& text) {
    if (text.empty()) return "()";
    bool call = std::isalpha(static_cast<unsigned char>(text[0])) || text[0] == '_';
    if (text[0] != '(' && text[0] != '[' && !call) {
      bool number = true;
      for (char c : text) number = number && (std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == 'e' || c == 'E');
      return number ? text : "(" + text + ")";
    }
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      char c = text[i];
      if (c == '\'' || c == '[') {
        char close = c == '[' ? ']' : '\'';
        for (++i; i < text.size() && text[i] != close; ++i) {
        }
        if (c == '[' && depth == 0 && i + 1 < text.size() && text[i + 1] != '.') return "(" + text + ")";
        continue;
      }
      if (call && depth == 0 && !(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '(')) return "(" + text + ")";
      if (c == '(') ++depth;
      if (c == ')' && --depth == 0 && i + 1 != text.size()) return "(" + text + ")";
    }
    return text;
  }
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
        left = infix(std::move(left), "OR", cond(conjunction()), true);
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
    while (take_word(L"and")) left = infix(std::move(left), "AND", cond(negation()), true);
    return left;
  }

  expr negation() {
    if (take_word(L"not")) {
      nesting deeper(*this);
      expr e = negation();
      // Not of a condition is a condition; of a number it is Access's bitwise Not.
      // (Printed without parentheses of its own: Not binds tighter than And and Or, looser than a comparison, and
      // a run of Not then costs the evaluator's parser one level each.)
      if (e.condition) return {"NOT " + e.text, true};
      return plain("(~(" + e.text + "))");
    }
    return comparison();
  }

  // A text literal compared with a date is the date it reads as (WHERE d = '6/1/2024'); one that reads as no date
  // cannot be compared with it.
  std::string compared(const expr& e, const expr& other) {
    if (!other.date || !e.literal) return value(e);
    double d = 0;
    if (!access_date_from_text(*e.literal, &d)) fail(err::type_mismatch_in_criteria);
    return number_text(d);
  }

  expr comparison() {
    expr left = concatenation();
    for (;;) {
      static const wchar_t* const ops[] = {L"=", L"<>", L"<", L">", L"<=", L">="};
      bool matched = false;
      for (const wchar_t* o : ops) {
        if (op(o)) {
          ++pos_;
          if ((word(L"all") || word(L"any") || word(L"some")) && op_at(pos_ + 1, L"(") && word_at(pos_ + 2, L"select")) {
            left = {quantified(value(left), sys_wide_to_utf8(o)), true};
            matched = true;
            break;
          }
          expr right = concatenation();
          std::string l = compared(left, right), r = compared(right, left);
          left = {"(" + l + " " + sys_wide_to_utf8(o) + " (" + r + ")" + collate + ")", true};
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
        std::string low = compared(concatenation(), left);
        if (!take_word(L"and")) fail_in(where_);
        std::string high = compared(concatenation(), left);
        left = {"(" + value(left) + collate + (negated ? " NOT" : "") + " BETWEEN " + low + " AND " + high + ")", true};
      } else if (take_word(L"in")) {
        if (!take_op(L"(")) fail_in(where_);
        std::string list;
        if (word(L"select")) {
          list = subquery();
        } else {
          for (;;) {
            list += compared(concatenation(), left);
            if (!take_op(L",")) break;
            list += ", ";
          }
        }
        if (!take_op(L")")) fail_in(where_);
        left = {"(" + value(left) + collate + (negated ? " NOT" : "") + " IN (" + list + "))", true};
      } else if (take_word(L"like")) {
        std::string pattern = as_text(concatenation());
        left = {std::string(negated ? "(NOT " : "(") + "acc_like(" + as_text(left) + ", " + pattern + "))", true};
      } else {
        pos_ = save;
        return left;
      }
    }
  }

  // `x op ALL (SELECT ...)`, `x op ANY|SOME (SELECT ...)` over the subquery's one column: ALL is true when no
  // row makes the comparison false and none makes it Null (so true for no rows), false when a row makes it
  // false, else Null; ANY is true when a row makes it true, Null when none does but one makes it Null, else false.
  // = ANY is IN and <> ALL is NOT IN; the others are decided by the subquery's rows summed up once (how many,
  // whether one is Null, the least and the greatest, acc_bounds) and x, which is read where it stands, outside
  // the subquery: an aggregate of the outer SELECT (HAVING Count(*) >= ALL (...)) stays the outer SELECT's.
  std::string quantified(const std::string& x, const std::string& o) {
    bool all = word(L"all");
    pos_ += 2;  // ALL|ANY|SOME (
    std::string rows = subquery();
    if (!take_op(L")")) fail_in(where_);
    if (o == "=" && !all) return "(" + x + collate + " IN (" + rows + "))";
    if (o == "<>" && all) return "(" + x + collate + " NOT IN (" + rows + "))";
    return "acc_quantified(" + x + ", (WITH __tt_q(__tt_v) AS (" + rows +
           ") SELECT acc_bounds(__tt_v) FROM __tt_q), '" + o + "', " + (all ? "1" : "0") + ")";
  }

  expr concatenation() {
    expr left = additive();
    while (take_op(L"&")) {
      if (left.chain != "acc_concat") left = plain(as_text(left));
      left = folded(std::move(left), "acc_concat", as_text(additive()));
      left.is_text = true;
    }
    return left;
  }

  expr additive() {
    expr left = modulo();
    for (;;) {
      // A date plus or minus a number is a date; the difference of two dates is a number.
      if (take_op(L"+")) {
        expr right = modulo();
        bool date = left.date || right.date;
        left = folded(std::move(left), "acc_add", value(right));
        left.date = date;
      } else if (take_op(L"-")) {
        expr right = modulo();
        bool date = left.date != right.date;
        // After a +, the run of + goes on with the operand negated, so that + and - alternating nest nothing.
        if (left.chain == "acc_add") left = folded(std::move(left), "acc_add", "(-(" + value(right) + "))");
        else left = infix(std::move(left), "-", value(right), false);
        left.date = date;
      } else {
        return left;
      }
    }
  }

  expr modulo() {
    expr left = integer_division();
    while (take_word(L"mod")) left = folded(std::move(left), "acc_mod", value(integer_division()));
    return left;
  }

  expr integer_division() {
    expr left = multiplicative();
    while (take_op(L"\\")) left = folded(std::move(left), "acc_intdiv", value(multiplicative()));
    return left;
  }

  expr multiplicative() {
    expr left = unary();
    for (;;) {
      if (take_op(L"*")) left = infix(std::move(left), "*", value(unary()), false);
      else if (take_op(L"/")) left = folded(std::move(left), "acc_div", value(unary()));
      else return left;
    }
  }

  expr unary() {
    if (op(L"-") || op(L"+")) {
      nesting deeper(*this);
      // A sign binds tighter than any operator the text it stands in can put next to it: printed bare, a run of
      // signs costs the evaluator's parser one level each.
      if (take_op(L"-")) return plain("- " + value(unary()));
      ++pos_;
      return unary();
    }
    return power();
  }

  expr power() {
    expr left = primary();
    while (take_op(L"^")) {
      std::string right = op(L"-") ? (++pos_, "(-(" + value(primary()) + "))") : value(primary());
      left = folded(std::move(left), "acc_pow", right);
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
        expr e = plain(quote_text(k.text));
        e.literal = k.text;
        e.is_text = true;
        return e;
      }
      case token::type::date: {
        double d = 0;
        if (!access_date_from_text(k.text, &d)) fail_literal(L"date");
        ++pos_;
        return dated(number_text(d), true);
      }
      case token::type::op: {
        if (k.text == L"(") {
          nesting deeper(*this);
          ++pos_;
          expr inner;
          if (word(L"select")) {
            // A subquery taken as one value gives at most one row (3354 beyond), Null for none.
            inner = plain("WITH __tt_one(__tt_v) AS (" + subquery() +
                          ") SELECT acc_single(count(*), min(__tt_v)) FROM (SELECT __tt_v FROM __tt_one LIMIT 2)");
            inner.date = core_columns_.size() == 1 && core_columns_[0].second;
          } else {
            inner = logical();
          }
          if (!take_op(L")")) fail_in(where_);
          expr out = dated(enclosed(inner.text), inner.date);
          out.condition = inner.condition;
          out.null = inner.null;
          return out;
        }
        fail_in(where_);
      }
      case token::type::name: return reference();
      case token::type::word: break;
      case token::type::bad:
        if (k.text == L"'" || k.text == L"\"") fail_literal(L"string");
        fail_in(where_);
      default: fail_in(where_);
    }
    if (same_word(k.text, L"null")) {
      ++pos_;
      expr e = plain("NULL");
      e.null = true;
      return e;
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
      nesting deeper(*this);
      ++pos_;
      if (!take_op(L"(") || !word(L"select")) fail_in(where_);
      std::string inner = subquery();
      if (!take_op(L")")) fail_in(where_);
      return {"(EXISTS (" + inner + "))", true};
    }
    // Left, Asc, ... are functions before they are keywords.
    if (op_at(pos_ + 1, L"(") && (!is_reserved(k.text) || aggregate_function(k.text) || scalar_function(k.text)))
      return call();
    if (is_reserved(k.text)) fail_in(where_);
    return reference();
  }

  expr reference() {
    std::vector<std::wstring> names{cur().text};
    std::string out = quote_name(cur().text);
    ++pos_;
    while ((op(L".") || op(L"!")) &&
           (t_[pos_ + 1].what == token::type::name || t_[pos_ + 1].what == token::type::word)) {
      names.push_back(t_[pos_ + 1].text);
      out += "." + quote_name(t_[pos_ + 1].text);
      pos_ += 2;
    }
    if (bare_refs_ && aggregate_depth_ == 0) bare_refs_->push_back(out);
    expr e = dated(out, holds_dates(names));
    e.column = true;
    return e;
  }

  // Whether a column reference names a column of dates: looked for in the tables of the innermost SELECT first,
  // then outwards (a correlated reference); a qualified name in the table it names.
  bool holds_dates(const std::vector<std::wstring>& names) const {
    if (names.size() > 2) return false;
    const std::wstring& column = names.back();
    for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
      for (const source& src : *scope) {
        if (names.size() == 2 && !same_name(src.alias, names[0])) continue;
        if (std::optional<bool> date = date_column(src, column)) return *date;
        if (names.size() == 2) return false;
      }
    }
    return false;
  }
  std::optional<bool> date_column(const source& src, const std::wstring& column) const {
    if (!src.derived) {
      if (const column_kinds::columns* known = kinds_ ? kinds_->columns_of(src.object) : nullptr)
        for (const auto& [name, date] : *known)
          if (same_name(name, column)) return date;
      return std::nullopt;
    }
    for (const auto& [name, date] : src.columns)
      if (same_name(name, column)) return date;
    for (const source& shown : src.inner)
      if (std::optional<bool> date = date_column(shown, column)) return date;
    return std::nullopt;
  }
  static bool same_name(const std::wstring& a, const std::wstring& b) { return lower(a) == lower(b); }

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
  // A column named by or inside one of the GROUP BY expressions.
  static bool within_group(const std::string& ref, const std::vector<std::string>& grouped) {
    if (in_group(ref, grouped)) return true;
    std::string name = lower_ascii(last_name(ref));
    for (const std::string& g : grouped)
      if (lower_ascii(g).find(name) != std::string::npos) return true;
    return false;
  }
  static std::string lower_ascii(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }
  static std::wstring unquoted(const std::string& ref) {
    std::string out;
    for (char c : ref)
      if (c != '[' && c != ']') out += c;
    return sys_utf8_to_wide(out);
  }

  expr call() {
    nesting deeper(*this);
    std::wstring name = cur().text;
    pos_ += 2;  // name (
    std::optional<std::string> aggregate = aggregate_function(name);
    std::optional<function_name> scalar = aggregate ? std::nullopt : scalar_function(name);
    if (!aggregate && !scalar) fail(err::undefined_function, name);
    if (aggregate) ++aggregates_;
    if (aggregate && *aggregate == "count" && take_op(L"*")) {
      if (!take_op(L")")) fail_in(where_);
      return plain("count(*)");
    }
    std::vector<expr> args;
    if (aggregate) ++aggregate_depth_;
    if (!op(L")")) {
      for (;;) {
        args.push_back(logical());
        if (!take_op(L",")) break;
      }
    }
    if (aggregate) --aggregate_depth_;
    if (!take_op(L")")) fail_in(where_);
    const std::string& f = aggregate ? *aggregate : scalar->name;
    int given = static_cast<int>(args.size()), fewest = scalar ? scalar->fewest : 1, most = scalar ? scalar->most : 1;
    if (given < fewest || given > most || (f == "acc_switch" && given % 2))
      throw error(err::syntax_in_expression,
                  L"Wrong number of arguments used with function in query expression '" + expression_text() + L"'.",
                  true);
    if (f == "acc_iif" || f == "acc_switch" || f == "acc_choose") return chosen(f, args);
    // Nz of a date with a text for Null gives text: the date's text.
    bool mixed = f == "acc_nz" && mixes_dates_and_texts(args);
    // Texts wanted: a date argument is its text.
    static const char* const textual[] = {"acc_len",   "acc_left",  "acc_right",  "acc_mid",      "acc_instr",
                                          "acc_ucase", "acc_lcase", "acc_trim",   "acc_ltrim",    "acc_rtrim",
                                          "acc_replace", "acc_strcomp", "acc_asc", "acc_val",     "acc_cstr",
                                          "acc_instrrev", "acc_isnumeric", "acc_isdate"};
    bool texts = f == "acc_format" && (args.size() == 1 || (args.size() >= 2 && (args[1].null || args[1].literal == L"")));
    for (const char* t : textual) texts = texts || f == t;
    texts = texts || mixed;
    std::string out = f + "(";
    for (size_t i = 0; i < args.size(); ++i) {
      std::string a = texts ? as_text(args[i]) : value(args[i]);
      // Min and Max of a text expression compare as the file's text order, as they do for a column.
      if ((f == "min" || f == "max") && !args[i].column) a = "(" + a + ")" + collate;
      // Text has no sum, average or spread, whatever gives it.
      if (f == "sum" || f == "avg" || f == "acc_stdev" || f == "acc_stdevp" || f == "acc_var" || f == "acc_varp")
        a = "acc_summand(" + a + ")";
      out += (i ? ", " : "") + a;
    }
    out += ")";
    static const char* const dates[] = {"acc_dateadd", "acc_dateserial", "acc_timeserial", "acc_cdate", "acc_date",
                                        "acc_time",    "acc_now",        "acc_datevalue",  "acc_timevalue"};
    bool date = false;
    for (const char* d : dates) date = date || f == d;
    if (f == "min" || f == "max" || f == "acc_first" || f == "acc_last") date = args.size() == 1 && args[0].date;
    if (f == "acc_int" || f == "acc_fix") date = args.size() == 1 && args[0].date;  // the day of a date
    if (f == "acc_nz") {
      std::vector<const expr*> values;
      for (const expr& a : args) values.push_back(&a);
      date = chosen_date(values);
    }
    expr e = dated(out, date);
    static const char* const giving_text[] = {"acc_left",  "acc_right", "acc_mid",     "acc_ucase", "acc_lcase",
                                              "acc_trim",  "acc_ltrim", "acc_rtrim",   "acc_space", "acc_string",
                                              "acc_replace", "acc_chr", "acc_str",     "acc_cstr",  "acc_format"};
    for (const char* t : giving_text) e.is_text = e.is_text || f == t;
    e.is_text = e.is_text || mixed;
    return e;
  }

  // Values of which some are dates and some texts: where one of them is chosen, the dates are their text (Access
  // shows such a column as text), never their numbers.
  static bool mixes_dates_and_texts(const std::vector<expr>& values) {
    bool date = false, text = false;
    for (const expr& v : values) date = date || v.date, text = text || v.is_text;
    return date && text;
  }

  // IIf, Switch and Choose evaluate only the value they choose (the usual guard against a division by zero must
  // hold): they are the evaluator's CASE. A Null condition is not true; Choose's index is its whole part, and an
  // index out of range, or no true condition, gives Null. The value is a date when every value that can be chosen
  // is a date or Null. (`call` has refused a wrong number of arguments already.)
  expr chosen(const std::string& f, const std::vector<expr>& args) {
    auto truth = [](const expr& e) { return e.condition ? e.text : "acc_truth(" + e.text + ")"; };
    // The values that can be chosen; when some are dates and some texts, the dates are chosen as their text.
    std::vector<expr> choices;
    if (f == "acc_iif") choices = {args[1], args[2]};
    for (size_t i = 1; f != "acc_iif" && i < args.size(); i += f == "acc_switch" ? 2 : 1)
      choices.push_back(args[i]);
    bool mixed = mixes_dates_and_texts(choices), text = false;
    for (const expr& c : choices) text = text || c.is_text;
    auto chosen_value = [&](const expr& e) { return mixed ? as_text(e) : value(e); };
    std::vector<const expr*> values;
    // CASE ... END is whole as it stands: no parentheses, which would cost the evaluator's parser a level each.
    std::string out = "CASE ";
    if (f == "acc_iif") {
      out += "WHEN " + truth(args[0]) + " THEN " + chosen_value(args[1]);
      values = {&args[1], &args[2]};
      // IIf(a, x, IIf(b, y, z)) and IIf(a, IIf(b, x, y), z) are one CASE each: a chain of IIf costs the
      // evaluator no depth. (A condition that is not true is false or Null.) An inner chain of dates whose
      // dates must become text here is left whole.
      const expr* rest = args[2].chain == "CASE" ? &args[2] : args[1].chain == "CASE" ? &args[1] : nullptr;
      if (rest && !(mixed && rest->date)) {
        if (rest == &args[1])
          out = "CASE WHEN (" + truth(args[0]) + ") IS NOT TRUE THEN " + chosen_value(args[2]);
        expr e = dated(out + " " + rest->text.substr(std::strlen("CASE ")), chosen_date(values));
        e.chain = "CASE";
        e.is_text = text;
        return e;
      }
      out += " ELSE " + chosen_value(args[2]);
    } else if (f == "acc_switch") {
      // Switch(a, x, ..., True, Switch(...)) is one CASE too, the inner Switch's (or IIf's) cases following.
      const size_t n = args.size();
      const expr& last = args[n - 1];
      bool merged = last.chain == "CASE" && !args[n - 2].condition && args[n - 2].text == "(-1)" && !(mixed && last.date);
      for (size_t i = 0; i < n; i += 2) {
        if (merged && i == n - 2) break;
        out += (i ? " " : "") + std::string("WHEN ") + truth(args[i]) + " THEN " + chosen_value(args[i + 1]);
        values.push_back(&args[i + 1]);
      }
      if (merged) {
        values.push_back(&last);
        expr e = dated(out + " " + last.text.substr(std::strlen("CASE ")), chosen_date(values));
        e.chain = "CASE";
        e.is_text = text;
        return e;
      }
    } else {
      out += "acc_choice(" + value(args[0]) + ")";
      for (size_t i = 1; i < args.size(); ++i) {
        out += " WHEN " + std::to_string(i) + " THEN " + chosen_value(args[i]);
        values.push_back(&args[i]);
      }
    }
    expr e = dated(out + " END", chosen_date(values));
    if (f != "acc_choose") e.chain = "CASE";
    e.is_text = text;
    return e;
  }
  static bool chosen_date(const std::vector<const expr*>& values) {
    bool date = false, other = false;
    for (const expr* v : values) {
      date = date || v->date;
      other = other || (!v->date && !v->null);
    }
    return date && !other;
  }

  std::vector<std::vector<source>> scopes_;  // the FROM of each SELECT being read, the outermost first
  std::vector<std::pair<std::wstring, bool>> core_columns_;  // the last SELECT read: its columns' names and dates
  std::vector<std::pair<size_t, size_t>> core_spans_;        // where each item stands in its text
  std::vector<item_kind> core_kinds_;                        // and what each gives (empty with a `*`)
  std::vector<source> core_sources_;                         // and, when it shows `*`, its tables
  column_kinds* kinds_ = nullptr;

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
  int depth_ = 0;                                  // nesting levels being read
  bool hoist_ = false;                             // subqueries are printed ahead (hoist_subqueries)
  std::vector<std::string> hoisted_;
  int select_depth_ = 0;                           // SELECTs being read, the outermost first
  bool top_level_ = false;
  bool union_part_ = false;                        // reading a SELECT after UNION, whose ORDER BY is the union's
  bool nested_top_;
};

}  // namespace

std::optional<std::wstring> counted_statement(const std::wstring& sql) {
  std::vector<token> t = lex(sql);
  auto w = [&](size_t i, const wchar_t* s) { return t[i].what == token::type::word && same_word(t[i].text, s); };
  auto o = [&](size_t i, const wchar_t* s) { return t[i].what == token::type::op && t[i].text == s; };
  if (t.size() < 9 || !w(0, L"select") || !w(1, L"count") || !o(2, L"(") || !o(3, L"*") || !o(4, L")") ||
      !w(5, L"from") || !o(6, L"("))
    return std::nullopt;
  size_t end = t.size() - 1;  // the end token
  if (o(end - 1, L";")) --end;
  if (!o(end - 1, L")")) {
    // A text, name or date left open reads to the end, the count's closing parenthesis with it: the statement
    // counted is what stands before that parenthesis, and it is what its error quotes.
    bool open = false;
    for (const token& k : t) open = open || k.what == token::type::bad;
    size_t close = sql.find_last_not_of(L" \t\r\n\f\v;");
    if (!open || !w(7, L"select") || close == std::wstring::npos || sql[close] != L')' || close <= t[7].pos)
      return std::nullopt;
    return sql.substr(t[7].pos, close - t[7].pos);
  }
  int depth = 0;
  for (size_t i = 6; i < end - 1; ++i) {
    if (o(i, L"(")) ++depth;
    if (o(i, L")") && --depth == 0) return std::nullopt;  // the parenthesis closes before the end
  }
  if (!w(7, L"select")) return std::nullopt;
  return sql.substr(t[7].pos, t[end - 1].pos - t[7].pos);
}

rewritten_sql rewrite_select(const std::wstring& access_sql, column_kinds* kinds, bool hoist_subqueries) {
  parser p(access_sql, false, kinds);
  if (hoist_subqueries) p.hoist_subqueries();
  return p.statement();
}

std::string rewrite_view(const std::wstring& access_sql, column_kinds* kinds) {
  return parser(access_sql, true, kinds).view();
}

}  // namespace dao
