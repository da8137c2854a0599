// Damaged input replayed in the test build: every input the fuzzers found a fault with (kept in
// tests/data/fuzz/found/<probe>/) and cut-off copies of the sample Access files end with a clean error, never a crash,
// a hang or a stray exception.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
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

// Each kept input ends as its file deserves: its damage reported as an engine error, or read whole where the
// fault was in reading something sound (a data page without rows).
TEST(DamagedInput, KeptAccessFilesAreReadOrRefused) {
  const std::map<std::string, std::string> outcome = {
      {"header-creation-date-out-of-range.mdb", "damaged"},
      {"catalog-date-of-another-type.mdb", "damaged"},
      {"data-page-without-rows.mdb", "damaged"},
      {"catalog-without-id-column.mdb", "damaged"},
      {"fixed-type-in-variable-area.mdb", "damaged"},
      {"column-number-beyond-count.mdb", "damaged"},
  };
  for (const char* probe : {"access_read", "access_edit"}) {
    for (const fs::path& input : kept_inputs(probe)) {
      SCOPED_TRACE(input.string());
      const std::string data = slurp(input);
      const std::string read = tt_fuzz::probe_access_read(bytes_of(data), data.size());
      const std::string edit = tt_fuzz::probe_access_edit(bytes_of(data), data.size());
      ASSERT_TRUE(outcome.count(input.filename().string()));
      EXPECT_EQ(read.empty() ? "read" : "damaged", outcome.at(input.filename().string())) << read;
      EXPECT_EQ(edit.empty() ? "read" : "damaged", outcome.at(input.filename().string())) << edit;
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
