// The virtual-table module over the storage's tables, and stored queries as views (see sql_vtab.h).
#include "platform/dao/sql_vtab.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "platform/dao/errors.h"
#include "platform/dao/sql_rewrite.h"
#include "platform/dao/state.h"
#include "platform/jet/error.h"
#include "platform/system/codepage.h"

namespace dao {

struct declared_table {
  std::wstring name;  // as the file spells it
  table_schema schema;
  uint32_t rows = 0;
};

class object_catalog {
 public:
  object_catalog(sqlite3* db, storage& s) : db(db), store(s) {}
  sqlite3* db;
  storage& store;
  std::vector<std::unique_ptr<declared_table>> tables;
  std::map<std::string, size_t> by_name;  // the evaluator's name, folded: position in tables
  std::map<std::string, bool> views;      // the evaluator's names of declared queries
  // Per table or query asked about (folded name): its columns' names and whether they hold dates.
  std::map<std::string, column_kinds::columns> kinds;
  std::map<std::string, bool> kinds_asked;  // being found (a query naming itself finds nothing)
};

namespace {

std::string fold_ascii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string quoted(const std::wstring& name) {
  std::string out = "\"";
  for (char c : sys_wide_to_utf8(name)) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

const char* declared_type(jet::column_type t) {
  using ct = jet::column_type;
  switch (t) {
    case ct::boolean: case ct::byte: case ct::integer: case ct::long_integer: case ct::big_integer:
    case ct::complex:
      return "INTEGER";
    case ct::single: case ct::double_: case ct::currency: case ct::datetime: case ct::decimal: return "REAL";
    case ct::text: case ct::memo: case ct::guid: return "TEXT COLLATE access_text";
    default: return "BLOB";
  }
}

double decimal_value(const jet::decimal& d) {
  double m = 0;
  for (uint32_t part : d.magnitude) m = m * 4294967296.0 + part;
  m /= std::pow(10.0, d.scale);
  return d.negative ? -m : m;
}

std::string guid_text(const jet::guid& g) {
  const auto& b = g.bytes;
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3], b[2],
                b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return buf;
}

void put(sqlite3_context* c, const jet::value& v) {
  using k = jet::value::kind;
  switch (v.kind_of()) {
    case k::null: return sqlite3_result_null(c);
    case k::boolean: return sqlite3_result_int(c, v.as_bool() ? -1 : 0);
    case k::byte: return sqlite3_result_int(c, v.as_byte());
    case k::integer: return sqlite3_result_int(c, v.as_integer());
    case k::long_integer: return sqlite3_result_int(c, v.as_long());
    case k::big_integer: return sqlite3_result_int64(c, v.as_big());
    case k::single: return sqlite3_result_double(c, v.as_single());
    case k::double_: return sqlite3_result_double(c, v.as_double());
    case k::currency: return sqlite3_result_double(c, static_cast<double>(v.as_currency().scaled) / 10000.0);
    case k::datetime: return sqlite3_result_double(c, v.as_datetime().days);
    case k::decimal: return sqlite3_result_double(c, decimal_value(v.as_decimal()));
    case k::guid: {
      std::string t = guid_text(v.as_guid());
      return sqlite3_result_text(c, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
    }
    case k::text: {
      std::string t = sys_wide_to_utf8(v.as_text());
      return sqlite3_result_text(c, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
    }
    case k::binary: {
      const jet::bytes& b = v.as_binary();
      return sqlite3_result_blob(c, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
    }
  }
  sqlite3_result_null(c);
}

// ------------------------------------------------------------------------------------------ the module

struct table_vtab {
  sqlite3_vtab base{};
  object_catalog* catalog = nullptr;
  declared_table* table = nullptr;
};

struct table_cursor {
  sqlite3_vtab_cursor base{};
  std::unique_ptr<row_stream> rows;
  row current;
  sqlite3_int64 rowid = 0;
  bool eof = true;
};

// Failures inside the module reach the statement as its error message; a jet or DAO error keeps its number.
int report(sqlite3_vtab* vt, int number, const std::wstring& text) {
  sqlite3_free(vt->zErrMsg);
  std::string m = "access error " + std::to_string(number) + " " + sys_wide_to_utf8(text);
  vt->zErrMsg = sqlite3_mprintf("%s", m.c_str());
  return SQLITE_ERROR;
}
template <class F>
int guarded_call(sqlite3_vtab* vt, F&& f) {
  try {
    return f();
  } catch (const error& e) {
    return report(vt, e.number(), e.description());
  } catch (const jet::error& e) {
    return report(vt, e.number(), sys_utf8_to_wide(e.what()));
  } catch (const std::bad_alloc&) {
    return SQLITE_NOMEM;
  }
}

int connect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** err) {
  auto* catalog = static_cast<object_catalog*>(aux);
  if (argc < 4) return SQLITE_ERROR;
  size_t at = static_cast<size_t>(std::strtoul(argv[3], nullptr, 10));
  if (at >= catalog->tables.size()) return SQLITE_ERROR;
  declared_table* t = catalog->tables[at].get();
  std::string ddl = "CREATE TABLE x(";
  for (size_t i = 0; i < t->schema.columns.size(); ++i) {
    const column_spec& c = t->schema.columns[i];
    ddl += (i ? ", " : "") + quoted(c.name) + " " + declared_type(c.type);
  }
  ddl += ")";
  if (int rc = sqlite3_declare_vtab(db, ddl.c_str()); rc != SQLITE_OK) {
    *err = sqlite3_mprintf("%s", sqlite3_errmsg(db));
    return rc;
  }
  auto* vt = new table_vtab;
  vt->catalog = catalog;
  vt->table = t;
  *out = &vt->base;
  return SQLITE_OK;
}

int disconnect(sqlite3_vtab* vt) {
  delete reinterpret_cast<table_vtab*>(vt);
  return SQLITE_OK;
}

size_t column_position(const table_schema& s, const std::wstring& name) {
  for (size_t i = 0; i < s.columns.size(); ++i)
    if (jet::same_name(s.columns[i].name, name)) return i;
  return s.columns.size();
}

// idxNum: 0 scan; else bits 0-7 the index + 1, 8-15 the equal columns, bit 16 a low bound, bit 17 a high one.
int best_index(sqlite3_vtab* vtab, sqlite3_index_info* info) {
  auto* vt = reinterpret_cast<table_vtab*>(vtab);
  const table_schema& s = vt->table->schema;
  double rows = std::max<double>(vt->table->rows, 1);
  info->idxNum = 0;
  info->estimatedCost = rows;
  info->estimatedRows = static_cast<sqlite3_int64>(rows);
  int best_score = 0;
  for (size_t x = 0; x < s.indexes.size() && x < 255; ++x) {
    const index_spec& index = s.indexes[x];
    std::vector<int> eq;
    int low = -1, high = -1;
    for (const std::wstring& col_name : index.columns) {
      int col = static_cast<int>(column_position(s, col_name));
      int found = -1;
      for (int i = 0; i < info->nConstraint; ++i) {
        const auto& k = info->aConstraint[i];
        if (k.usable && k.iColumn == col && k.op == SQLITE_INDEX_CONSTRAINT_EQ) found = i;
      }
      if (found >= 0) {
        eq.push_back(found);
        continue;
      }
      for (int i = 0; i < info->nConstraint; ++i) {
        const auto& k = info->aConstraint[i];
        if (!k.usable || k.iColumn != col) continue;
        if (k.op == SQLITE_INDEX_CONSTRAINT_GT || k.op == SQLITE_INDEX_CONSTRAINT_GE) low = i;
        if (k.op == SQLITE_INDEX_CONSTRAINT_LT || k.op == SQLITE_INDEX_CONSTRAINT_LE) high = i;
      }
      break;
    }
    int score = static_cast<int>(eq.size()) * 4 + (low >= 0) + (high >= 0);
    if (score == 0 || score <= best_score) continue;
    best_score = score;
    bool whole_key = eq.size() == index.columns.size();
    double found = whole_key && (index.unique || index.primary) ? 1 : std::max(1.0, rows / std::pow(10.0, static_cast<double>(eq.size()) + (low >= 0 || high >= 0 ? 0.5 : 0)));
    info->idxNum = static_cast<int>(x + 1) | static_cast<int>(eq.size()) << 8 | (low >= 0 ? 1 << 16 : 0) |
                   (high >= 0 ? 1 << 17 : 0);
    info->estimatedCost = std::log2(rows + 1) * 2 + found;
    info->estimatedRows = static_cast<sqlite3_int64>(found);
    for (int i = 0; i < info->nConstraint; ++i) info->aConstraintUsage[i].argvIndex = 0;
    int arg = 1;
    for (int i : eq) info->aConstraintUsage[i].argvIndex = arg++;
    if (low >= 0) info->aConstraintUsage[low].argvIndex = arg++;
    if (high >= 0) info->aConstraintUsage[high].argvIndex = arg++;
  }
  return SQLITE_OK;
}

int open_cursor_(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
  *out = &(new table_cursor)->base;
  return SQLITE_OK;
}
int close_cursor(sqlite3_vtab_cursor* c) {
  delete reinterpret_cast<table_cursor*>(c);
  return SQLITE_OK;
}

int step(sqlite3_vtab_cursor* cur) {
  auto* c = reinterpret_cast<table_cursor*>(cur);
  return guarded_call(cur->pVtab, [&] {
    c->eof = !c->rows->next(c->current);
    if (!c->eof) c->rowid = c->rows->row_id();
    return SQLITE_OK;
  });
}

int filter(sqlite3_vtab_cursor* cur, int idx, const char*, int argc, sqlite3_value** argv) {
  auto* c = reinterpret_cast<table_cursor*>(cur);
  auto* vt = reinterpret_cast<table_vtab*>(cur->pVtab);
  return guarded_call(cur->pVtab, [&] {
    c->rows.reset();
    const table_schema& s = vt->table->schema;
    if (idx != 0) {
      index_probe probe;
      probe.index = static_cast<size_t>((idx & 0xFF) - 1);
      const index_spec& index = s.indexes[probe.index];
      size_t equal = static_cast<size_t>((idx >> 8) & 0xFF);
      bool fits = true;
      int a = 0;
      auto take = [&](size_t key_column) {
        const column_spec& col = s.columns[column_position(s, index.columns[key_column])];
        jet::value v = value_for_column(argv[a++], col);
        bool keyed = col.type != jet::column_type::decimal && col.type != jet::column_type::guid;
        fits = fits && keyed && !v.is_null();
        return v;
      };
      for (size_t i = 0; i < equal && a < argc; ++i) probe.equal.push_back(take(i));
      if ((idx & (1 << 16)) && a < argc) probe.low = take(equal);
      if ((idx & (1 << 17)) && a < argc) probe.high = take(equal);
      // A value the column cannot hold matches nothing exactly: the scan decides, as it would without the index.
      if (fits) c->rows = vt->catalog->store.seek(vt->table->name, probe);
    }
    if (!c->rows) c->rows = vt->catalog->store.scan(vt->table->name);
    c->eof = !c->rows->next(c->current);
    if (!c->eof) c->rowid = c->rows->row_id();
    return SQLITE_OK;
  });
}

int at_end(sqlite3_vtab_cursor* cur) { return reinterpret_cast<table_cursor*>(cur)->eof ? 1 : 0; }

int column(sqlite3_vtab_cursor* cur, sqlite3_context* ctx, int i) {
  auto* c = reinterpret_cast<table_cursor*>(cur);
  if (i >= 0 && static_cast<size_t>(i) < c->current.size()) put(ctx, c->current[static_cast<size_t>(i)]);
  else sqlite3_result_null(ctx);
  return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor* cur, sqlite3_int64* out) {
  *out = reinterpret_cast<table_cursor*>(cur)->rowid;
  return SQLITE_OK;
}

sqlite3_module make_module() {
  sqlite3_module m{};
  m.iVersion = 1;
  m.xCreate = connect;
  m.xConnect = connect;
  m.xBestIndex = best_index;
  m.xDisconnect = disconnect;
  m.xDestroy = disconnect;
  m.xOpen = open_cursor_;
  m.xClose = close_cursor;
  m.xFilter = filter;
  m.xNext = step;
  m.xEof = at_end;
  m.xColumn = column;
  m.xRowid = rowid;
  return m;
}
const sqlite3_module table_module = make_module();

// Runs a statement that declares a table or view; SQLite's refusal is one the caller cannot mend.
void declare(sqlite3* db, const std::string& ddl) {
  char* message = nullptr;
  if (sqlite3_exec(db, ddl.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::wstring text = sys_utf8_to_wide(message ? message : "");
    sqlite3_free(message);
    throw error(err::operation_not_supported, text, true);
  }
}

}  // namespace

evaluator_tables::evaluator_tables(sqlite3* db, storage& s) : catalog_(std::make_unique<object_catalog>(db, s)) {
  sqlite3_create_module_v2(db, "access_table", &table_module, catalog_.get(), nullptr);
}

evaluator_tables::~evaluator_tables() = default;

bool evaluator_tables::declare_object(const std::wstring& name) {
  object_catalog& c = *catalog_;
  std::string key = fold_ascii(sys_wide_to_utf8(name));
  if (c.by_name.count(key) || c.views.count(key)) return false;  // declared already: still missing is an error
  for (const catalog_entry& e : c.store.tables()) {
    if (!jet::same_name(e.name, name)) continue;
    auto t = std::make_unique<declared_table>();
    t->name = e.name;
    t->schema = c.store.describe(e.name);
    t->rows = c.store.row_count(e.name);
    c.tables.push_back(std::move(t));
    c.by_name[key] = c.tables.size() - 1;
    std::string ddl = "CREATE VIRTUAL TABLE temp." + quoted(name) + " USING access_table(" +
                      std::to_string(c.tables.size() - 1) + ")";
    declare(c.db, ddl);
    return true;
  }
  for (const query_entry& q : c.store.queries()) {
    if (!jet::same_name(q.name, name)) continue;
    if (!q.has_sql) fail(err::operation_not_supported);
    c.views[key] = true;
    std::string ddl = "CREATE TEMP VIEW " + quoted(name) + " AS " + rewrite_view(q.sql, this);
    declare(c.db, ddl);
    return true;
  }
  return false;
}

const column_kinds::columns* evaluator_tables::columns_of(const std::wstring& object) {
  object_catalog& c = *catalog_;
  std::string key = fold_ascii(sys_wide_to_utf8(object));
  auto known = c.kinds.find(key);
  if (known == c.kinds.end()) {
    if (c.kinds_asked[key]) return nullptr;
    c.kinds_asked[key] = true;
    columns found_columns;
    bool found = false;
    for (const catalog_entry& e : c.store.tables()) {
      if (!jet::same_name(e.name, object)) continue;
      for (const column_spec& col : c.store.describe(e.name).columns)
        found_columns.emplace_back(col.name, col.type == jet::column_type::datetime);
      found = true;
      break;
    }
    if (!found) {
      for (const query_entry& q : c.store.queries()) {
        if (!jet::same_name(q.name, object) || !q.has_sql) continue;
        try {
          rewritten_sql rw = rewrite_select(q.sql, this);
          if (rw.names.size() != rw.date_columns.size()) return nullptr;
          for (size_t i = 0; i < rw.names.size(); ++i) found_columns.emplace_back(rw.names[i], rw.date_columns[i]);
          found = true;
        } catch (const error&) {
          // A query that does not read is refused when it is declared.
        }
        break;
      }
    }
    if (!found) return nullptr;
    known = c.kinds.emplace(key, std::move(found_columns)).first;
  }
  return &known->second;
}

std::optional<evaluator_tables::source> evaluator_tables::source_column(const std::string& table,
                                                                       const std::string& column) const {
  auto at = catalog_->by_name.find(fold_ascii(table));
  if (at == catalog_->by_name.end()) return std::nullopt;
  const declared_table& t = *catalog_->tables[at->second];
  size_t i = column_position(t.schema, sys_utf8_to_wide(column));
  if (i >= t.schema.columns.size()) return std::nullopt;
  return source{t.name, t.schema.columns[i], i, t.schema.columns.size()};
}

std::wstring evaluator_tables::table_name(const std::string& table) const {
  auto at = catalog_->by_name.find(fold_ascii(table));
  return at == catalog_->by_name.end() ? std::wstring() : catalog_->tables[at->second]->name;
}

jet::value value_for_column(sqlite3_value* v, const column_spec& c) {
  using ct = jet::column_type;
  int type = sqlite3_value_type(v);
  if (type == SQLITE_NULL) return jet::value::null();
  bool numeric = type == SQLITE_INTEGER || type == SQLITE_FLOAT;
  double d = numeric ? sqlite3_value_double(v) : 0;
  int64_t i = type == SQLITE_INTEGER ? sqlite3_value_int64(v) : static_cast<int64_t>(d);
  bool integral = type == SQLITE_INTEGER || (numeric && d == std::trunc(d) && std::fabs(d) < 9.2e18);
  auto text = [&] {
    const char* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return sys_utf8_to_wide(std::string_view(t ? t : "", static_cast<size_t>(sqlite3_value_bytes(v))));
  };
  switch (c.type) {
    case ct::boolean: return numeric ? jet::value::boolean(d != 0) : jet::value::null();
    case ct::byte: return integral && i >= 0 && i <= 255 ? jet::value::byte(static_cast<uint8_t>(i)) : jet::value::null();
    case ct::integer:
      return integral && i >= -32768 && i <= 32767 ? jet::value::integer(static_cast<int16_t>(i)) : jet::value::null();
    case ct::long_integer: case ct::complex:
      return integral && i >= INT32_MIN && i <= INT32_MAX ? jet::value::long_integer(static_cast<int32_t>(i))
                                                          : jet::value::null();
    case ct::big_integer: return integral ? jet::value::big_integer(i) : jet::value::null();
    case ct::single: return numeric ? jet::value::single(static_cast<float>(d)) : jet::value::null();
    case ct::double_: return numeric ? jet::value::double_(d) : jet::value::null();
    case ct::currency: {
      if (!numeric) return jet::value::null();
      double scaled = type == SQLITE_INTEGER ? static_cast<double>(i) * 10000 : std::nearbyint(d * 10000);
      return std::fabs(scaled) < 9.2e18 ? jet::value::currency({static_cast<int64_t>(scaled)}) : jet::value::null();
    }
    case ct::datetime: return numeric ? jet::value::datetime({d}) : jet::value::null();
    case ct::text: case ct::memo: return type == SQLITE_TEXT ? jet::value::text(text()) : jet::value::null();
    case ct::decimal: return numeric ? jet::value::double_(d) : jet::value::null();
    default: break;
  }
  if (type == SQLITE_BLOB) {
    const auto* p = static_cast<const uint8_t*>(sqlite3_value_blob(v));
    return jet::value::binary(jet::bytes(p, p + sqlite3_value_bytes(v)));
  }
  if (type == SQLITE_TEXT) return jet::value::text(text());
  return jet::value::null();
}

}  // namespace dao
