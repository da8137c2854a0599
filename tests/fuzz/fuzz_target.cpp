// One libFuzzer target: TT_FUZZ_PROBE names the probe of damage_probes.h it feeds.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/damage_probes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TT_FUZZ_PROBE(data, size);
  return 0;
}
