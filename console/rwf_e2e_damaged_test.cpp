// RWFAGENT against a damaged Access file as destination: cut off, overwritten in its catalog or table
// definitions, or one of the inputs the fuzzers found a fault with. The program reports the damage and ends
// normally, without a crash or a hang, and the file is left exactly as it was.
#include <filesystem>

#include "console/e2e_support.h"

namespace {

using namespace tt_e2e;
using RwfagentDamaged = rwfagent_fixture;

constexpr size_t page_size = 4096;

// The run ended by itself (no signal), reported the damage, and no sanitizer spoke up.
void expect_clean_refusal(const program_result& r, const std::string& file, const std::string& before) {
  EXPECT_NE(r.status, -1) << r.out << r.err;
  EXPECT_NE(r.out.find("Error:\n"), std::string::npos) << r.out << r.err;
  EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
  EXPECT_TRUE(tk_read_file(file) == before) << file;
}

TEST_F(RwfagentDamaged, MergeAndOverwriteTablesRefuseADamagedFileAndLeaveIt) {
  const std::string good = dir.file("good.mdb");
  program_result r = agent({"--src=tabletide_demo", "--dest=" + good, "--acc_ver=1"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string whole = tk_read_file(good);
  ASSERT_GT(whole.size(), 20 * page_size);

  struct damage {
    std::string name;
    std::string bytes;
  };
  std::vector<damage> damaged;
  damaged.push_back({"cut_in_half", whole.substr(0, whole.size() / 2)});
  damaged.push_back({"cut_after_the_catalog", whole.substr(0, 3 * page_size + 100)});
  {  // the catalog's table definition (page 2) overwritten
    std::string b = whole;
    for (size_t i = 2 * page_size + 8; i < 3 * page_size; ++i) b[i] = char(0xA5);
    damaged.push_back({"catalog_definition", b});
  }
  {  // every table definition page but the catalog's: its type byte kept, its body filled with junk
    std::string b = whole;
    for (size_t p = 3; p < b.size() / page_size; ++p)
      if (b[p * page_size] == 0x02)
        for (size_t i = p * page_size + 16; i < (p + 1) * page_size; i += 7) b[i] = char(0xFF);
    damaged.push_back({"table_definitions", b});
  }
  {  // every data page's row offsets pointing past the page
    std::string b = whole;
    for (size_t p = 3; p < b.size() / page_size; ++p)
      if (b[p * page_size] == 0x01)
        for (size_t i = p * page_size + 14; i < p * page_size + 14 + 2 * 8; i += 2) b[i] = b[i + 1] = char(0x7F);
    damaged.push_back({"row_offsets", b});
  }
  std::filesystem::path found = std::filesystem::path(TT_TEST_DATA_DIR) / "fuzz" / "found";
  for (const char* probe : {"access_read", "access_edit"})
    if (std::filesystem::is_directory(found / probe))
      for (const auto& e : std::filesystem::directory_iterator(found / probe))
        damaged.push_back({e.path().filename().string(), tk_read_file(e.path().string())});

  for (const damage& d : damaged) {
    for (const char* mode : {"--mode=1", "--mode=3"}) {
      SCOPED_TRACE(d.name + " " + mode);
      const std::string file = dir.file(d.name + ".mdb");
      tk_write_file(file, d.bytes);
      r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", mode});
      expect_clean_refusal(r, file, d.bytes);
      std::filesystem::remove(file);
    }
  }
}

}  // namespace
