// Speed and memory of the index part of the Access engine: text keys, the unique-key checks and the
// bulk B-tree build, at the sizes a conversion meets (a million rows per table).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/jet/btree_builder.h"
#include "platform/jet/index_key.h"
#include "platform/jet/index_sorter.h"
#include "platform/jet/sort_order.h"

namespace {

// Pages kept in memory, only as big as the tree needs.
class bench_pages : public jet::page_allocator {
 public:
  uint32_t allocate() override { return ++count_; }
  void write(uint32_t, std::span<const uint8_t> bytes) override { bytes_ += bytes.size(); }
  uint64_t bytes_written() const { return bytes_; }

 private:
  uint32_t count_ = 0;
  uint64_t bytes_ = 0;
};

void BM_TextKeyGeneralLegacy(benchmark::State& state) {
  const std::wstring text = L"Müller-Lüdenscheidt, Straße 12 Ærø";
  jet::bytes out;
  for (auto _ : state) {
    out.clear();
    jet::append_text_key(jet::sort_order_kind::general_legacy, text, true, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TextKeyGeneralLegacy);

// A million keys of a unique index, checked and added as a table's rows bring them: in order (a
// primary key read in its own order) and out of order (runs in the temporary folder).
void BM_UniqueKeysMillion(benchmark::State& state) {
  const bool in_order = state.range(0) != 0;
  std::vector<uint8_t> key(20, 0x7F);
  for (auto _ : state) {
    jet::index_sorter s(true, jet::default_index_budget / 2, "");
    for (uint32_t i = 0; i < 1000000; ++i) {
      const uint32_t n = in_order ? i : i * 2654435761u;
      for (int b = 0; b < 4; ++b) key[19 - b] = uint8_t(n >> (8 * b));
      benchmark::DoNotOptimize(s.contains(key));
      s.make_room(key);
      s.add(key, i);
    }
    state.counters["MB"] = double(s.memory_bytes()) / (1 << 20);
    state.counters["runs"] = double(s.runs());
  }
  state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_UniqueKeysMillion)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_BuildBtreeMillionEntries(benchmark::State& state) {
  std::vector<jet::index_entry> entries;
  entries.reserve(1000000);
  for (uint32_t i = 0; i < 1000000; ++i) {
    jet::bytes key;
    jet::append_integer_key(key, int32_t(i), 4, true);
    entries.push_back({std::move(key), 100 + i / 100, uint8_t(i % 100), 0});
  }
  for (auto _ : state) {
    bench_pages pages;
    jet::btree_result r = jet::build_btree(jet::format::jet4(), pages, 2, entries);
    state.counters["pages"] = double(r.pages.size());
    state.counters["depth"] = double(r.depth);
  }
  state.SetItemsProcessed(state.iterations() * 1000000);
}
BENCHMARK(BM_BuildBtreeMillionEntries)->Unit(benchmark::kMillisecond);

}  // namespace
