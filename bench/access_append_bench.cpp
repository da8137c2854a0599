// Rows per second through the Access engine's append road: one AddNew, one value per column and one Update
// per row, into a new Jet 4 file with a primary key and a text index.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "access/dao_db.h"
#include "access/dao_recs.h"

namespace {

void BM_AppendRecords(benchmark::State& state) {
  namespace fs = std::filesystem;
  const fs::path file = fs::temp_directory_path() / ("tt_access_bench_" + std::to_string(::getpid()) + ".mdb");
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove(file);
    dao_engine engine(0);
    engine.set_version(0);
    auto db = engine.create_db(file.wstring());
    udb_schema s;
    s.push_back(t_ftd(4, L"id", VT_I4, true, true, ole_variant(), 0, L""));
    s.push_back(t_ftd(40, L"name", VT_BSTR, false, false, ole_variant(), 0, L""));
    s.push_back(t_ftd(8, L"amount", VT_R8, false, false, ole_variant(), 0, L""));
    s.push_back(t_ftd(8, L"when", VT_DATE, false, false, ole_variant(), 0, L""));
    s.push_back(t_ftd(0, L"note", VT_BSTR, false, false, ole_variant(), 0, L""));
    udb_indexes x;
    x.push_back(udb_index(L"PrimaryKey", true, true, {L"id"}));
    x.push_back(udb_index(L"by_name", false, false, {L"name"}));
    auto rs = db->create_table(L"t", s, x);
    state.ResumeTiming();
    for (int64_t i = 0; i < state.range(0); ++i) {
      udb_record r;
      r.push_back(std::make_unique<udb_field>(L"id", 4, ole_variant(static_cast<int>(i + 1)), true, false));
      r.push_back(std::make_unique<udb_field>(L"name", 40, ole_variant(L"name " + std::to_wstring(i * 7919 % 100003)),
                                              false, false));
      r.push_back(std::make_unique<udb_field>(L"amount", 8, ole_variant(i * 0.25), false, false));
      r.push_back(std::make_unique<udb_field>(L"when", 8, ole_variant(ole_date(std::string("2024-01-02 03:04:05"))),
                                              false, false));
      r.push_back(std::make_unique<udb_field>(L"note", 0, ole_variant(L"a short memo"), false, false));
      rs->append_record(r);
    }
    rs.reset();
    db.reset();
  }
  fs::remove(file);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AppendRecords)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
