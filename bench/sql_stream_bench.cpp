// Streaming speed of the MySQL engine: the fixture's 100,000-row table read through sql_recordset from a
// throwaway MariaDB, in rows per second, with the process's peak resident memory reported beside it.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "SQL/sql_db.h"
#include "SQL/sql_engi.h"
#include "tests/support/mariadb_server.h"

namespace {

tt_test::mariadb_server& bench_server() {
  static tt_test::mariadb_server server = [] {
    tt_test::mariadb_options options;
    options.seed_files = {TT_SOURCE_DIR "/tests/fixtures/mysql_fixture.sql"};
    options.template_root = TT_BINARY_DIR "/mariadb-templates";
    return tt_test::mariadb_server::start(options);
  }();
  return server;
}

void BM_StreamBigTable(benchmark::State& state) {
  const tt_test::mariadb_facts& f = bench_server().facts();
  sql_engine engine;
  engine.connect(f.host, f.user, f.password, static_cast<int>(f.port));
  auto db = engine.open_db(L"tt_fixture", 1);
  std::size_t rows = 0;
  for (auto _ : state) {
    auto t = db->get_table(L"big", 1);
    // Every row is taken, as a conversion takes it: its cells become values then.
    for (t->reset(); !t->is_eof(); t->next()) {
      benchmark::DoNotOptimize(t->get_item());
      ++rows;
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(rows));
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_StreamBigTable)->Unit(benchmark::kMillisecond);

}  // namespace
