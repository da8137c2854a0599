// Grouping, distinct values and sorting on a text column of a large table, each timed with the peak memory of
// the process: the cost of comparing texts in the file's text order.
//
// usage: query_group_bench [file]   over the table query_count_bench makes (default /tmp/query_count_bench.mdb):
//        query_count_bench make 1000000 /tmp/q.mdb;  query_group_bench /tmp/q.mdb
// The same questions of MariaDB over bench/orders-1m.sql (which answers the first and the fourth from its index
// on customer alone, the second needing each row):
//        SELECT customer, COUNT(*) FROM orders GROUP BY customer;
//        SELECT customer, COUNT(*), SUM(price) FROM orders GROUP BY customer;
//        SELECT CONCAT(LEFT(customer, 10), code), COUNT(*) FROM orders GROUP BY CONCAT(LEFT(customer, 10), code);
//        SELECT DISTINCT customer FROM orders;  SELECT id FROM orders ORDER BY code DESC;
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "platform/dao/sql_query.h"
#include "platform/dao/storage.h"
#include "platform/system/codepage.h"

namespace {

long peak_kib() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = argc > 1 ? argv[1] : "/tmp/query_count_bench.mdb";
  auto s = dao::open_storage(sys_utf8_to_wide(path), true, false, L"");
  const wchar_t* statements[] = {
      L"SELECT customer, Count(*) FROM orders GROUP BY customer",  // 5,000 groups of 200 rows
      L"SELECT customer, Count(*), Sum(price) FROM orders GROUP BY customer",
      L"SELECT Left(customer, 10) & code, Count(*) FROM orders GROUP BY Left(customer, 10) & code",  // 1,000,000 groups
      L"SELECT DISTINCT customer FROM orders",
      L"SELECT id FROM orders ORDER BY code DESC",
  };
  for (const wchar_t* sql : statements) {
    auto start = std::chrono::steady_clock::now();
    dao::query_result r = dao::run_query(*s, sql, true);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-96s %8zu rows  %9.3f s  peak %ld KiB\n", sys_wide_to_utf8(sql).c_str(), r.rows.size(), seconds,
                peak_kib());
  }
  return 0;
}
