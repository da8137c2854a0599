// Damaged input replayed in the test build: every input the fuzzers found a fault with (kept in
// tests/data/fuzz/found/<probe>/) and cut-off copies of the sample Access files end with a clean error, never a crash,
// a hang or a stray exception.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/fuzz/damage_probes.h"

namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<fs::path> kept_inputs(const std::string& probe) {
  std::vector<fs::path> out;
  fs::path dir = fs::path(TT_TEST_DATA_DIR) / "fuzz" / "found" / probe;
  if (fs::is_directory(dir))
    for (const auto& e : fs::directory_iterator(dir))
      if (e.is_regular_file()) out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

const uint8_t* bytes_of(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

TEST(DamagedInput, KeptAccessFilesEndWithAnEngineError) {
  for (const char* probe : {"access_read", "access_edit"}) {
    for (const fs::path& input : kept_inputs(probe)) {
      SCOPED_TRACE(input.string());
      const std::string data = slurp(input);
      EXPECT_NE(tt_fuzz::probe_access_read(bytes_of(data), data.size()), "");
      EXPECT_NE(tt_fuzz::probe_access_edit(bytes_of(data), data.size()), "");
    }
  }
}

TEST(DamagedInput, KeptTextFilesAreRead) {
  for (const fs::path& input : kept_inputs("profile")) {
    SCOPED_TRACE(input.string());
    const std::string data = slurp(input);
    tt_fuzz::probe_profile(bytes_of(data), data.size());
  }
  for (const fs::path& input : kept_inputs("table_list")) {
    SCOPED_TRACE(input.string());
    const std::string data = slurp(input);
    EXPECT_EQ(tt_fuzz::probe_table_list(bytes_of(data), data.size()), "");
  }
}

TEST(DamagedInput, CutOffSampleFilesEndWithAnEngineError) {
  for (const char* sample : {"jackcess/indexTestV2000.mdb", "jackcess/testV1997.mdb", "jackcess/empty2010.accdb",
                             "jackcess/complexDataTestV2007.accdb"}) {
    const std::string data = slurp(fs::path(TT_TEST_DATA_DIR) / "access-format" / sample);
    ASSERT_GT(data.size(), 8192u) << sample;
    for (size_t size : {size_t(0), size_t(100), size_t(4096), size_t(4096 + 100), size_t(3 * 4096),
                        data.size() / 2, data.size() - 1}) {
      SCOPED_TRACE(std::string(sample) + " cut to " + std::to_string(size));
      EXPECT_NE(tt_fuzz::probe_access_read(bytes_of(data), size), "");
      EXPECT_NE(tt_fuzz::probe_access_edit(bytes_of(data), size), "");
    }
  }
}

}  // namespace
