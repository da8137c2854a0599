// Speed of changing an existing Access file: rows appended to a table that already holds rows (the
// run's merge mode), which rewrites the table whole with its indexes, and a table created in a file
// that already holds one.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/jet/database.h"

namespace {

namespace fs = std::filesystem;

struct scratch {
  scratch() {
    std::string tmpl = (fs::temp_directory_path() / "jet-merge-bench-XXXXXX").string();
    dir = ::mkdtemp(tmpl.data());
  }
  ~scratch() { fs::remove_all(dir); }
  std::string dir;
};

// A file with one table of `rows` rows: AutoNumber key, indexed text, a memo.
void make_file(const std::string& path, int rows) {
  auto db = jet::database::create(path);
  db->add_table(L"Orders",
                {{.name = L"Id", .type = jet::column_type::long_integer, .autonumber = true},
                 {.name = L"Customer", .type = jet::column_type::text, .size = 40},
                 {.name = L"Note", .type = jet::column_type::memo}},
                {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true},
                 {.name = L"ByCustomer", .fields = {{L"Customer"}}}});
  for (int i = 0; i < rows; ++i)
    db->append_row(L"Orders", {jet::value(), jet::value::text(L"customer " + std::to_wstring(i % 997)),
                               jet::value::text(L"note")});
  db->close();
}

void BM_AppendToExistingTable(benchmark::State& state) {
  scratch s;
  const std::string base = s.dir + "/base.mdb", work = s.dir + "/work.mdb";
  make_file(base, int(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    fs::copy_file(base, work, fs::copy_options::overwrite_existing);
    state.ResumeTiming();
    auto db = jet::database::open(work);
    size_t t = db->table_handle(L"Orders");
    for (int i = 0; i < 1000; ++i)
      db->append_row(t, {jet::value(), jet::value::text(L"new customer"), jet::value()});
    db->close();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AppendToExistingTable)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_CreateTableInExistingFile(benchmark::State& state) {
  scratch s;
  const std::string base = s.dir + "/base.mdb", work = s.dir + "/work.mdb";
  make_file(base, 1000);
  for (auto _ : state) {
    state.PauseTiming();
    fs::copy_file(base, work, fs::copy_options::overwrite_existing);
    state.ResumeTiming();
    auto db = jet::database::open(work);
    size_t t = db->add_table(L"Lines", {{.name = L"A", .type = jet::column_type::long_integer}}, {});
    for (int i = 0; i < 10000; ++i) db->append_row(t, {jet::value::long_integer(i)});
    db->close();
  }
}
BENCHMARK(BM_CreateTableInExistingFile)->Unit(benchmark::kMillisecond);

}  // namespace
