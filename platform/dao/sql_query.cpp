// The evaluator of Access SELECT statements (see sql_query.h).
#include "platform/dao/sql_query.h"

#include <sqlite3.h>

#include <cmath>
#include <cwctype>
#include <optional>
#include <set>

#include "platform/dao/errors.h"
#include "platform/dao/sql_collation.h"
#include "platform/dao/sql_errors.h"
#include "platform/dao/sql_functions.h"
#include "platform/dao/sql_rewrite.h"
#include "platform/dao/sql_vtab.h"
#include "platform/dao/state.h"
#include "platform/system/codepage.h"

namespace dao {
namespace {

// The name the evaluator says is no column ("no such column: t.x"), as the rewrite prints it ("[t].[x]").
std::string unknown_column(const std::string& message) {
  const std::string prefix = "no such column: ";
  if (message.compare(0, prefix.size(), prefix) != 0) return std::string();
  std::string name = message.substr(prefix.size()), out = "[";
  for (char c : name) out += c == '.' ? std::string("].[") : std::string(1, c);
  return out + "]";
}

// Replaces each use of the printed name (not a part of a longer qualified name) by Null; false when none is found.
bool take_as_null(std::string& text, const std::string& name) {
  bool found = false;
  for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
    bool qualified = at > 0 && text[at - 1] == '.';
    bool longer = at + name.size() < text.size() && text[at + name.size()] == '.';
    if (qualified || longer) continue;
    text.replace(at, name.size(), "NULL");
    found = true;
  }
  return found;
}

// One evaluator connection with its tables; closed before the tables it reads go away.
class evaluation {
 public:
  explicit evaluation(storage& s) {
    if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY, nullptr) !=
        SQLITE_OK) {
      sqlite3_close(db_);
      throw std::bad_alloc();
    }
    register_collation(db_, s.text_order());
    register_functions(db_, s.text_order());
    tables_ = std::make_unique<evaluator_tables>(db_, s);
  }
  ~evaluation() {
    sqlite3_finalize(stmt_);
    sqlite3_close(db_);
  }
  evaluation(const evaluation&) = delete;
  evaluation& operator=(const evaluation&) = delete;

  // Prepares the text, declaring each table or query it names as the evaluator asks for it.
  // Names that are no column are parameters to Access, which counts them all: each is taken for a Null and the
  // text prepared again, so that the error tells how many there are.
  sqlite3_stmt* prepare(std::string text, const std::wstring& statement) {
    std::set<std::wstring> declared;
    std::set<std::string> parameters;
    for (;;) {
      if (sqlite3_prepare_v2(db_, text.c_str(), static_cast<int>(text.size()), &stmt_, nullptr) == SQLITE_OK) {
        if (parameters.empty()) return stmt_;
        fail(err::too_few_parameters, std::to_wstring(parameters.size()));
      }
      std::string message = sqlite3_errmsg(db_);
      std::string column = unknown_column(message);
      if (!column.empty() && parameters.insert(column).second && take_as_null(text, column)) continue;
      if (!parameters.empty()) fail(err::too_few_parameters, std::to_wstring(parameters.size()));
      std::wstring missing = missing_table(message);
      if (missing.empty()) throw evaluator_error(message, statement);
      if (!declared.insert(missing).second || !tables_->declare_object(missing))
        fail(err::input_table_not_found, missing);
    }
  }
  void fail_step(const std::wstring& statement) { throw evaluator_error(sqlite3_errmsg(db_), statement); }
  const evaluator_tables& tables() const { return *tables_; }
  evaluator_tables& tables() { return *tables_; }

 private:
  sqlite3* db_ = nullptr;
  sqlite3_stmt* stmt_ = nullptr;
  std::unique_ptr<evaluator_tables> tables_;
};

// An ORDER BY value of a row, kept to find the rows tied with the last one TOP keeps.
struct key_value {
  int type = SQLITE_NULL;
  double number = 0;
  std::string text;
};
key_value key_of(sqlite3_stmt* st, int i) {
  key_value k;
  k.type = sqlite3_column_type(st, i);
  if (k.type == SQLITE_INTEGER || k.type == SQLITE_FLOAT) k.number = sqlite3_column_double(st, i);
  if (k.type == SQLITE_TEXT || k.type == SQLITE_BLOB) {
    const char* p = static_cast<const char*>(sqlite3_column_blob(st, i));
    k.text.assign(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, i)));
  }
  return k;
}
bool tied(const std::vector<key_value>& a, const std::vector<key_value>& b, jet::sort_order_kind order) {
  for (size_t i = 0; i < a.size(); ++i) {
    bool an = a[i].type == SQLITE_INTEGER || a[i].type == SQLITE_FLOAT, bn = b[i].type == SQLITE_INTEGER || b[i].type == SQLITE_FLOAT;
    if (an != bn || (a[i].type == SQLITE_NULL) != (b[i].type == SQLITE_NULL)) return false;
    if (an && a[i].number != b[i].number) return false;
    if (a[i].type == SQLITE_TEXT && b[i].type == SQLITE_TEXT &&
        compare_access_text(order, a[i].text.data(), static_cast<int>(a[i].text.size()), b[i].text.data(),
                            static_cast<int>(b[i].text.size())) != 0)
      return false;
    if (a[i].type == SQLITE_BLOB && a[i].text != b[i].text) return false;
  }
  return true;
}

// A value of a column typed from its values: as the evaluator gives it, settled once every row is read.
jet::value raw_value(sqlite3_stmt* st, int i) {
  switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER: return jet::value::big_integer(sqlite3_column_int64(st, i));
    case SQLITE_FLOAT: return jet::value::double_(sqlite3_column_double(st, i));
    case SQLITE_TEXT: {
      const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
      return jet::value::text(sys_utf8_to_wide(std::string_view(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, i)))));
    }
    case SQLITE_BLOB: {
      const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(st, i));
      return jet::value::binary(jet::bytes(p, p + sqlite3_column_bytes(st, i)));
    }
    default: return jet::value::null();
  }
}

// Settles the type of a column typed from its values and converts them.
void settle(column_spec& c, std::vector<row>& rows, size_t i) {
  bool integers = false, reals = false, texts = false, blobs = false, wide = false;
  size_t longest = 0;
  for (const row& r : rows) {
    const jet::value& v = r[i];
    switch (v.kind_of()) {
      case jet::value::kind::big_integer:
        integers = true;
        wide = wide || v.as_big() < INT32_MIN || v.as_big() > INT32_MAX;
        break;
      case jet::value::kind::double_: reals = true; break;
      case jet::value::kind::text: texts = true; longest = std::max(longest, v.as_text().size()); break;
      case jet::value::kind::binary: blobs = true; break;
      default: break;
    }
  }
  using ct = jet::column_type;
  if (texts || (!integers && !reals && !blobs)) {
    c.type = longest > 255 ? ct::memo : ct::text;
    c.size = longest > 255 ? 0 : 255;
  } else if (blobs) {
    c.type = ct::ole;
  } else {
    c.type = reals || wide ? ct::double_ : ct::long_integer;
  }
  for (row& r : rows) {
    jet::value& v = r[i];
    if (v.is_null()) continue;
    if (c.type == ct::text || c.type == ct::memo) {
      if (v.kind_of() == jet::value::kind::big_integer) v = jet::value::text(std::to_wstring(v.as_big()));
      else if (v.kind_of() == jet::value::kind::double_) v = jet::value::text(access_number_text(v.as_double()));
    } else if (c.type == ct::long_integer) {
      v = jet::value::long_integer(static_cast<int32_t>(v.as_big()));
    } else if (c.type == ct::double_ && v.kind_of() == jet::value::kind::big_integer) {
      v = jet::value::double_(static_cast<double>(v.as_big()));
    }
  }
}

// A column whose values are date numbers.
void as_dates(column_spec& c, std::vector<row>& rows, size_t i) {
  c.type = jet::column_type::datetime;
  for (row& r : rows) {
    jet::value& v = r[i];
    if (v.kind_of() == jet::value::kind::double_) v = jet::value::datetime({v.as_double()});
    else if (v.kind_of() == jet::value::kind::big_integer) v = jet::value::datetime({static_cast<double>(v.as_big())});
  }
}

// The values rows_read::all_if_few keeps at most.
const size_t kKeptValues = 1000000;

column_spec counted_column() {
  column_spec n;
  n.name = L"Expr1000";
  n.type = jet::column_type::long_integer;
  return n;
}

}  // namespace

query_result counted_rows(size_t rows) {
  query_result out;
  out.columns.push_back(counted_column());
  out.rows.push_back(row{jet::value::long_integer(static_cast<int32_t>(std::min<size_t>(rows, INT32_MAX)))});
  return out;
}

query_result run_query(storage& s, const std::wstring& sql, rows_read what) {
  if (std::optional<std::wstring> inner = counted_statement(sql)) {
    // The count of a statement is that of the rows it gives (TOP's ties included): its every row is evaluated.
    if (what == rows_read::none) {
      run_query(s, *inner, rows_read::none);  // the statement is read, not evaluated
      query_result columns = counted_rows(0);
      columns.rows.clear();
      return columns;
    }
    query_result counted = run_query(s, *inner, rows_read::count);
    if (what == rows_read::count) return counted_rows(1);  // a count is one row
    if (what == rows_read::first) counted.rows.clear();
    return counted;
  }
  const bool read_rows = what == rows_read::all || what == rows_read::all_if_few || what == rows_read::count;
  bool keep_rows = what != rows_read::count;
  evaluation e(s);
  rewritten_sql rw = rewrite_select(sql, &e.tables());
  query_result out;
  sqlite3_stmt* st = nullptr;
  try {
    st = e.prepare(rw.text, sql);
  } catch (const error& deep) {
    // Nested deeper than the evaluator reads: again with the subqueries standing alone, which those that name no
    // column of the statement around them can; else the statement is too complex.
    if (deep.number() != err::query_too_complex) throw;
    rewritten_sql flat = rewrite_select(sql, &e.tables(), true);
    if (flat.text == rw.text) throw;
    try {
      st = e.prepare(flat.text, sql);
    } catch (const error&) {
      fail(err::query_too_complex);
    }
    rw = std::move(flat);
  }
  int all = sqlite3_column_count(st);
  int shown = all - static_cast<int>(rw.hidden_columns);
  if (shown > 255) fail(err::too_many_fields);  // a result has at most 255 columns, as a table has

  // Columns: from their source column where they show one.
  std::vector<bool> typed(static_cast<size_t>(shown), false);
  std::vector<std::optional<evaluator_tables::source>> sources;
  std::set<std::wstring> names;
  bool repeated = false;
  for (int i = 0; i < shown; ++i) {
    column_spec c;
    const char* name = sqlite3_column_name(st, i);
    c.name = sys_utf8_to_wide(name ? name : "");
    const char* table = sqlite3_column_table_name(st, i);
    const char* origin = sqlite3_column_origin_name(st, i);
    std::optional<evaluator_tables::source> src;
    if (table && origin) src = e.tables().source_column(table, origin);
    if (src) {
      std::wstring result_name = c.name;
      c = src->column;
      c.name = result_name;
      if (c.type == jet::column_type::decimal) c.type = jet::column_type::double_;
      if (c.type == jet::column_type::guid) {
        c.type = jet::column_type::text;
        c.size = 38;
      }
      typed[static_cast<size_t>(i)] = true;
    }
    repeated = repeated || !names.insert(jet::folded_name(c.name)).second;
    sources.push_back(src);
    out.columns.push_back(c);
  }
  // Two columns of one name (SELECT * over a join) are told apart by their tables, as Access names them.
  if (repeated)
    for (size_t i = 0; i < out.columns.size(); ++i)
      if (sources[i]) out.columns[i].name = sources[i]->table + L"." + out.columns[i].name;

  // Appending through the result: a plain SELECT of one stored table whose every column is one of its own.
  if (!rw.single_table.empty()) {
    std::wstring table = e.tables().table_name(sys_wide_to_utf8(rw.single_table));
    bool all_from_it = !table.empty() && shown > 0;
    for (const auto& src : sources) all_from_it = all_from_it && src && jet::same_name(src->table, table);
    if (all_from_it) {
      out.table = table;
      for (const auto& src : sources) out.table_columns.push_back(src->position);
      out.table_width = sources[0]->width;
    }
  }

  // Aggregates of one column: Min, Max, First and Last keep its type, Sum and Avg of Currency stay Currency.
  for (size_t k = 0; k < rw.probes.size(); ++k) {
    size_t i = rw.probes[k].column;
    int probe = shown + static_cast<int>(k);
    const char* table = sqlite3_column_table_name(st, probe);
    const char* origin = sqlite3_column_origin_name(st, probe);
    if (i >= typed.size() || typed[i] || !table || !origin) continue;
    std::optional<evaluator_tables::source> src = e.tables().source_column(table, origin);
    if (!src) continue;
    const std::string& a = rw.probes[k].aggregate;
    // Text has no sum nor average.
    if ((a == "sum" || a == "avg") && (src->column.type == jet::column_type::text || src->column.type == jet::column_type::memo))
      fail(err::type_mismatch_in_criteria);
    bool keeps = a == "min" || a == "max" || a == "acc_first" || a == "acc_last" ||
                 src->column.type == jet::column_type::currency;
    if (!keeps || src->column.type == jet::column_type::decimal || src->column.type == jet::column_type::guid) continue;
    std::wstring name = out.columns[i].name;
    out.columns[i] = src->column;
    out.columns[i].name = name;
    out.columns[i].required = out.columns[i].autonumber = false;
    typed[i] = true;
  }

  bool untyped = false;
  for (bool t : typed) untyped = untyped || !t;
  if (what == rows_read::none && !untyped) return out;

  // TOP n: the rows come sorted, so reading stops at the first row after the n-th that is not tied with it.
  // TOP n PERCENT needs every row's count first: the rows are read, with their keys, and cut after.
  const bool top_rows = rw.has_top && !rw.top_percent;
  const bool top_percent = rw.has_top && rw.top_percent;
  const size_t top_n = !top_rows ? 0 : rw.top >= 1e18 ? SIZE_MAX : static_cast<size_t>(std::max(0.0, rw.top));
  const int first_key = shown + static_cast<int>(rw.probes.size());
  auto keys_of = [&](sqlite3_stmt* at) {
    std::vector<key_value> k;
    int hidden = first_key;
    for (int column : rw.top_keys) k.push_back(key_of(at, column >= 0 ? column : hidden++));
    return k;
  };
  std::vector<std::vector<key_value>> keys;  // TOP PERCENT: every row's
  std::vector<key_value> last_kept;          // TOP n: the n-th row's
  size_t seen = 0;                           // rows read (and kept, unless only counted)
  for (;;) {
    if (top_rows && seen >= top_n && (top_n == 0 || rw.top_keys.empty())) break;
    int rc = sqlite3_step(st);
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) e.fail_step(sql);
    if (top_rows && seen >= top_n && !tied(keys_of(st), last_kept, s.text_order())) break;
    if (keep_rows) {
      row r;
      r.reserve(static_cast<size_t>(shown));
      for (int i = 0; i < shown; ++i) {
        sqlite3_value* v = sqlite3_column_value(st, i);
        r.push_back(typed[static_cast<size_t>(i)] ? value_for_column(v, out.columns[static_cast<size_t>(i)])
                                                  : raw_value(st, i));
      }
      out.rows.push_back(std::move(r));
      if (what == rows_read::all_if_few && out.rows.size() * std::max(shown, 1) > kKeptValues) {
        out.rows.clear();
        out.rows.shrink_to_fit();
        keep_rows = false;
      }
    }
    ++seen;
    if (top_rows && seen == top_n && !rw.top_keys.empty()) last_kept = keys_of(st);
    if (top_percent && !rw.top_keys.empty()) keys.push_back(keys_of(st));
    if (!read_rows) break;  // one row types the columns, or shows that the statement opens
  }
  if (top_percent) {
    double wanted = std::ceil(static_cast<double>(seen) * rw.top / 100.0 - 1e-9);
    size_t n = wanted >= static_cast<double>(seen) ? seen : static_cast<size_t>(std::max(0.0, wanted));
    if (n < seen) {
      size_t keep = n;
      if (n > 0 && !keys.empty())
        while (keep < seen && tied(keys[keep], keys[n - 1], s.text_order())) ++keep;
      seen = keep;
      if (keep_rows) out.rows.resize(keep);
    }
  }
  if (!keep_rows && what == rows_read::count) return counted_rows(seen);
  if (!keep_rows) {
    out.counted = seen;
    return out;
  }
  for (size_t i = 0; i < typed.size(); ++i) {
    if (typed[i]) continue;
    if (i < rw.date_columns.size() && rw.date_columns[i]) {
      as_dates(out.columns[i], out.rows, i);
    } else {
      settle(out.columns[i], out.rows, i);
    }
  }
  if (!read_rows) out.rows.clear();
  return out;
}

query_result run_query(storage& s, const std::wstring& sql, bool read_rows) {
  return run_query(s, sql, read_rows ? rows_read::all : rows_read::none);
}

}  // namespace dao
