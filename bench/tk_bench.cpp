// Costs of the toolkit's hot paths: trace calls that are switched off (they sit in per-record loops and must cost
// next to nothing), and the UTF-8 codec that every text crossing the MySQL and Access boundaries goes through.
#include <benchmark/benchmark.h>

#include <string>

#include "TK/tk_log.h"
#include "TK/tk_utils.h"

namespace {

void BM_TraceWithoutLogger(benchmark::State& state) {
  for (auto _ : state) tk_trace(1, "value=%d, name=%s", 42, "Orders");
}
BENCHMARK(BM_TraceWithoutLogger);

void BM_TraceBelowThreshold(benchmark::State& state) {
  tk_logger logger("/dev/null", true, 3, false);
  const std::wstring name = L"Bestellungen";
  for (auto _ : state) tk_trace_w(1, L"value=%d, name=%s", 42, name.c_str());
}
BENCHMARK(BM_TraceBelowThreshold);

void BM_Utf8RoundTrip(benchmark::State& state) {
  std::wstring text;
  for (int i = 0; i < 1000; ++i) text += L"Stra\u00dfe \u4e2d ";
  for (auto _ : state) {
    const std::string utf8 = tk_to_utf8(text);
    benchmark::DoNotOptimize(tk_utf8_to_unicode(utf8));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(tk_to_utf8(text).size()));
}
BENCHMARK(BM_Utf8RoundTrip);

}  // namespace
