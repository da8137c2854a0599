// Cost of turning MySQL cell texts into values and values into texts: every cell of a conversion takes one of
// these paths, so they set the pace of a run. Goal: well under a microsecond for numbers and dates, and text
// cells at memory speed (one decode, no intermediate copies).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "OLE/ole_var.h"

namespace {

void cell(benchmark::State& state, const char* text, VARTYPE type) {
  for (auto _ : state) {
    ole_variant v = ole_variant::from_string(text, type);
    benchmark::DoNotOptimize(v.variant);
  }
}

void BM_Int(benchmark::State& state) { cell(state, "-2147483648", VT_I4); }
void BM_BigInt(benchmark::State& state) { cell(state, "18446744073709551615", VT_UI8); }
void BM_Double(benchmark::State& state) { cell(state, "1.7976931348623157e308", VT_R8); }
void BM_Decimal(benchmark::State& state) { cell(state, "-12345678.90", VT_DECIMAL); }
void BM_DecimalFallback(benchmark::State& state) {
  cell(state, "-12345678901234567890123456789012345.123456789012345678901234567890", VT_DECIMAL);
}
void BM_DateTime(benchmark::State& state) { cell(state, "2021-03-04 05:06:07.250000", VT_DATE); }
void BM_Time(benchmark::State& state) { cell(state, "838:59:59", VT_DATE); }
void BM_ShortText(benchmark::State& state) { cell(state, "h\xC3\xA9llo world", VT_BSTR); }

void BM_LongText(benchmark::State& state) {
  std::string text(static_cast<std::size_t>(state.range(0)), 'x');
  for (auto _ : state) {
    ole_variant v = ole_variant::from_string(text, VT_BSTR);
    benchmark::DoNotOptimize(v.variant);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_Blob(benchmark::State& state) {
  std::vector<uint8_t> bytes(static_cast<std::size_t>(state.range(0)), 0xAB);
  for (auto _ : state) {
    ole_variant v(bytes);
    benchmark::DoNotOptimize(v.variant);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_ToStringDouble(benchmark::State& state) {
  ole_variant v(0.1);
  for (auto _ : state) benchmark::DoNotOptimize(v.to_string());
}

void BM_ToStringDate(benchmark::State& state) {
  ole_variant v = ole_variant::from_string("2021-03-04 05:06:07.250000", VT_DATE);
  for (auto _ : state) benchmark::DoNotOptimize(v.to_string());
}

BENCHMARK(BM_Int);
BENCHMARK(BM_BigInt);
BENCHMARK(BM_Double);
BENCHMARK(BM_Decimal);
BENCHMARK(BM_DecimalFallback);
BENCHMARK(BM_DateTime);
BENCHMARK(BM_Time);
BENCHMARK(BM_ShortText);
BENCHMARK(BM_LongText)->Arg(1 << 10)->Arg(1 << 20)->Arg(16 << 20);
BENCHMARK(BM_Blob)->Arg(1 << 10)->Arg(1 << 20);
BENCHMARK(BM_ToStringDouble);
BENCHMARK(BM_ToStringDate);

}  // namespace
