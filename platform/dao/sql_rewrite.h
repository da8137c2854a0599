// Access SQL turned into the SQL of the evaluator underneath (SQLite), with Access's meaning kept.
//
// The statement is read by a small parser of Access's SELECT grammar and printed again; whatever it does
// not know is refused with the DAO error Access gives, so nothing half-understood reaches the evaluator:
//   3129  not a statement at all ("Invalid SQL statement; expected 'DELETE', ...")
//   3219  an action or definition statement (DELETE, INSERT, UPDATE, SELECT ... INTO, CREATE, ...)
//   3141  a SELECT whose clauses are out of place;  3131  a FROM clause it cannot read
//   3075  an expression it cannot read ("Syntax error ... in query expression '<text>'.")
//   3085  a function Access does not have;  3142  text after the end of the statement
//   3122  a grouped SELECT showing a column it neither groups by nor aggregates
//   3061  a PARAMETERS declaration (its parameters are never given here)
//   3093  a DISTINCT SELECT sorted by what it does not show (an ORDER BY number beyond the columns sorts nothing)
//   3075  a function given too few or too many arguments ("Wrong number of arguments used with function ...")
//   3360  a statement nested deeper than the reader goes ("Query is too complex.")
//   3122  also a column HAVING or ORDER BY of a grouped SELECT names outside aggregates; 3120 a grouped `*`
// What the printed text relies on (registered by sql_functions.h and sql_collation.h):
//   - every comparison is made under the collation `access_text` and yields Access's -1/0 (or Null);
//     Not, And, Or keep Null as Access does; Like, +, &, /, \, Mod and ^ are functions with Access's rules;
//   - #date# literals (every form Access reads, sql_functions.h) become the date number; "text" and 'text' are
//     text literals; True/False are -1/0;
//   - which values are dates is known from the file's columns (column_kinds), date literals and the functions
//     that give dates; a date plus or minus a number is a date; a date where text is wanted (&, Like, CStr,
//     Format without a format, the text functions), or chosen by IIf, Switch, Choose or Nz among texts, is its
//     general date text (acc_datetext);
//     a column of a UNION is a date where each SELECT gives it a date or Null, and text, its dates their text,
//     where one gives a date and another a text;
//   - IIf, Switch and Choose are CASE expressions, so that only the value chosen is evaluated;
//   - a subquery taken as one value gives its one row's value, Null for none, and fails with 3354 for more;
//   - x op ALL|ANY|SOME (SELECT ...) compares x with the subquery's rows summed up once (acc_bounds and
//     acc_quantified, sql_functions.h), with SQL's Null and empty-set rules;
//   - `a!b` is `a.b`; DISTINCTROW and WITH OWNERACCESS OPTION change nothing for a SELECT;
//   - an expression column without a name is named Expr1000, Expr1001, ... as Access names it;
//   - GROUP BY groups by each value's key (`acc_sort_key`), ORDER BY sorts under `access_text`, and expression
//     columns, Min and Max of expressions compare under it too (DISTINCT, UNION).
// A run of one operator (a Or b Or c ..., a + b + c ..., a / b / c ..., Mod, \ and ^ alike) reaches the evaluator
// flat, not nested.
// TOP n [PERCENT] of the outermost SELECT is not printed: it is returned to the caller, who keeps the first
// rows and those tied with the last one kept; the ORDER BY values that decide ties are printed as extra,
// trailing result columns (`hidden_columns` of them), except those that name a result column by its number.
// A TOP inside a subquery or a stored query keeps its ties too, the rows ranked by its ORDER BY (a plain row limit
// when it has none, or shows a `*` of tables that share a column name).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dao {

// What the rewrite asks about the file's tables and stored queries: the columns of `object` (named as the
// statement writes it), in order, each with whether its values are dates; null when the object is unknown.
class column_kinds {
 public:
  using columns = std::vector<std::pair<std::wstring, bool>>;
  virtual ~column_kinds() = default;
  virtual const columns* columns_of(const std::wstring& object) = 0;
};

struct rewritten_sql {
  std::string text;           // UTF-8, for the evaluator
  bool has_top = false;
  double top = 0;             // TOP n (rows), or percent of the rows when top_percent
  bool top_percent = false;
  // Trailing columns the caller does not show: first one per `probes` entry, then (TOP with ORDER BY) the ORDER BY
  // values.
  size_t hidden_columns = 0;
  // TOP with ORDER BY: per ORDER BY value, the shown column (from 0) that is its value, or -1 for the next hidden
  // one.
  std::vector<int> top_keys;
  // Result columns that are Sum, Avg, Min, Max, First or Last of one column: the column itself is shown hidden, in
  // this order, so that the result can take its type.
  struct probe {
    size_t column;
    std::string aggregate;  // sum, avg, min, max, acc_first, acc_last
  };
  std::vector<probe> probes;
  // Per result column of the outermost SELECT: its value is a date (DateAdd, DateSerial, CDate, Now, ...); empty
  // when the columns cannot be told apart here (a `*`, a union).
  std::vector<bool> date_columns;
  std::vector<std::wstring> names;  // per result column likewise: its name

  // A plain SELECT of one table (no DISTINCT, grouping, aggregate, union, join or subquery): the table as the
  // statement names it, through which new rows can be appended; else empty.
  std::wstring single_table;
};

// The statement is `SELECT Count(*) FROM (<inner>)` and nothing else: the inner statement's Access text, whose
// rows the caller counts as it reads them (so that the count fails where reading the rows fails, and TOP counts
// its ties); else nothing.
std::optional<std::wstring> counted_statement(const std::wstring& access_sql);

// Rewrites one SELECT statement (a trailing ';' allowed); raises dao::error as listed above. Without `kinds` no
// column of a table counts as holding dates.
// With `hoist_subqueries` its subqueries are printed ahead of it as common table expressions, not nested in it:
// the evaluator reads only a few levels of nesting, and an uncorrelated subquery can stand alone.
rewritten_sql rewrite_select(const std::wstring& access_sql, column_kinds* kinds = nullptr,
                             bool hoist_subqueries = false);

// The text of a stored query, for a view: TOP is a plain row limit and no column is hidden.
std::string rewrite_view(const std::wstring& access_sql, column_kinds* kinds = nullptr);

}  // namespace dao
