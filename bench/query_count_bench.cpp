// SELECT Count(*) ... WHERE over a large table: an equality on an indexed column read through the index, the
// same question asked so that no index can answer it, and a condition on a column without an index; each timed,
// with the peak memory of the process (which must not grow with the table).
//
// usage: query_count_bench make [rows] [file]   writes the table (defaults: 1000000, /tmp/query_count_bench.mdb)
//        query_count_bench count [file]         times the three counts over it
//        query_count_bench run file statement   times one statement as a DAO QueryDef opens it (its rows kept)
//        query_count_bench open file statement  times what opening a statement for reading costs the Access side:
//                                               its count, the recordset and its count again
//        query_count_bench deep file            times statements too long or too deep to answer, refused
// Make and count in separate runs, so that the peak memory of the count is its own.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "access/dao_db.h"
#include "access/dao_engi.h"
#include "platform/dao/errors.h"
#include "platform/dao/sql_query.h"
#include "platform/dao/storage.h"
#include "platform/system/codepage.h"

namespace {

long peak_kib() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// The shape of bench/orders-1m.sql: 5,000 customers, an index on the customer.
void make(long rows, const std::string& path) {
  std::filesystem::remove(path);
  auto s = dao::create_storage(sys_utf8_to_wide(path), dao::file_format::jet4);
  dao::table_schema t;
  t.name = L"orders";
  const struct {
    const wchar_t* name;
    jet::column_type type;
    uint32_t size;
  } shape[] = {{L"id", jet::column_type::long_integer, 0},
               {L"customer", jet::column_type::text, 64},
               {L"qty", jet::column_type::integer, 0},
               {L"price", jet::column_type::double_, 0},
               {L"code", jet::column_type::text, 8}};
  for (const auto& c : shape) {
    t.columns.emplace_back();
    t.columns.back().name = c.name;
    t.columns.back().type = c.type;
    t.columns.back().size = c.size;
  }
  t.indexes = {{L"PrimaryKey", {L"id"}, true, true, false}, {L"customer", {L"customer"}, false, false, false}};
  s->create_table(t);
  char code[24];
  for (long n = 1; n <= rows; ++n) {
    std::snprintf(code, sizeof code, "%08lX", n);
    s->append_row(L"orders", {jet::value::long_integer(static_cast<int32_t>(n)),
                              jet::value::text(L"Customer " + std::to_wstring(n % 5000)),
                              jet::value::integer(static_cast<int16_t>(n % 300)),
                              jet::value::double_(static_cast<double>(n % 100000) / 100), jet::value::text(sys_utf8_to_wide(code))});
  }
  s->close();
}

void count(const std::string& path) {
  auto s = dao::open_storage(sys_utf8_to_wide(path), true, false, L"");
  const wchar_t* statements[] = {
      L"SELECT Count(*) FROM orders WHERE customer = 'Customer 42'",       // through the index
      L"SELECT Count(*) FROM orders WHERE customer & '' = 'Customer 42'",  // the same rows, every row read
      L"SELECT Count(*) FROM orders WHERE qty = 42",                       // no index on the column
  };
  for (const wchar_t* sql : statements) {
    auto start = std::chrono::steady_clock::now();
    dao::query_result r = dao::run_query(*s, sql, true);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-70s %8d rows counted  %9.3f s  peak %ld KiB\n", sys_wide_to_utf8(sql).c_str(),
                r.rows[0][0].as_long(), seconds, peak_kib());
  }
}

double since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One statement as a QueryDef's recordset reads it.
void run(const std::string& path, const std::string& sql) {
  auto s = dao::open_storage(sys_utf8_to_wide(path), true, false, L"");
  auto start = std::chrono::steady_clock::now();
  dao::query_result r = dao::run_query(*s, sys_utf8_to_wide(sql), true);
  std::printf("%zu rows  %.3f s  peak %ld KiB\n", r.rows.size(), since(start), peak_kib());
}

// One statement as the Access side opens a query for reading (get_query), then as it tests one (test_query).
void open(const std::string& path, const std::string& sql) {
  dao_engine engine(0);
  engine.set_version(0);
  std::unique_ptr<udb_database> opened = engine.open_db(sys_utf8_to_wide(path), 1, L"");
  auto& db = dynamic_cast<dao_database&>(*opened);
  auto start = std::chrono::steady_clock::now();
  {
    std::unique_ptr<udb_recordset> q = db.get_query(L"q", sys_utf8_to_wide(sql), 1);
    std::printf("get_query   %.3f s  peak %ld KiB\n", since(start), peak_kib());
  }
  start = std::chrono::steady_clock::now();
  bool opens = db.test_query(sys_utf8_to_wide(sql));
  std::printf("test_query  %.3f s  peak %ld KiB  (%s)\n", since(start), peak_kib(), opens ? "opens" : "refused");
}

// Statements a user would not write by hand, each refused (or answered) at once.
void deep(const std::string& path) {
  auto s = dao::open_storage(sys_utf8_to_wide(path), true, false, L"");
  auto repeated = [](const std::wstring& piece, int times) {
    std::wstring out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
  };
  std::wstring ors = L"SELECT id FROM orders WHERE id = 0";
  for (int i = 1; i < 100000; ++i) ors += L" OR id = " + std::to_wstring(i);
  const std::pair<const char*, std::wstring> statements[] = {
      {"100,000 Or terms", ors},
      {"4,000 parentheses", L"SELECT " + repeated(L"(", 4000) + L"qty" + repeated(L")", 4000) + L" FROM orders"},
      {"50,000 nested Abs", L"SELECT " + repeated(L"Abs(", 50000) + L"qty" + repeated(L")", 50000) + L" FROM orders"},
      {"100,000 minus signs", L"SELECT " + repeated(L"-", 100000) + L"qty FROM orders"},
  };
  for (const auto& [what, sql] : statements) {
    auto start = std::chrono::steady_clock::now();
    std::string answer;
    try {
      answer = std::to_string(dao::run_query(*s, sql, true).rows.size()) + " rows";
    } catch (const dao::error& e) {
      answer = "error " + std::to_string(e.number());
    }
    std::printf("%-22s %-12s %.3f s  peak %ld KiB\n", what, answer.c_str(), since(start), peak_kib());
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string what = argc > 1 ? argv[1] : "";
  if (what == "make") {
    long rows = argc > 2 ? std::atol(argv[2]) : 1000000;
    std::string path = argc > 3 ? argv[3] : "/tmp/query_count_bench.mdb";
    auto start = std::chrono::steady_clock::now();
    make(rows, path);
    std::printf("%ld rows written to %s in %.1f s\n", rows, path.c_str(),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return 0;
  }
  if (what == "count") {
    count(argc > 2 ? argv[2] : "/tmp/query_count_bench.mdb");
    return 0;
  }
  if (what == "deep" && argc > 2) {
    deep(argv[2]);
    return 0;
  }
  if ((what == "run" || what == "open") && argc > 3) {
    if (what == "run") run(argv[2], argv[3]);
    else open(argv[2], argv[3]);
    return 0;
  }
  std::fprintf(stderr, "usage: query_count_bench make [rows] [file] | count [file] | run|open file statement | deep file\n");
  return 255;
}
