// RWFAGENT against a damaged Access file as destination: cut off, or overwritten in its catalog, table
// definitions or row offsets. The program reports the damage and ends normally, without a crash or a hang, and
// the file is left exactly as it was. The inputs the fuzzers found faults with end normally too.
#include <filesystem>

#include "tests/support/e2e_test_support.h"

namespace {

using namespace tt_e2e;
using RwfagentDamaged = rwfagent_fixture;

constexpr size_t page_size = 4096;

// The run ended by itself with one of the program's exit statuses, and no sanitizer spoke up.
void expect_no_crash(const program_result& r) {
  EXPECT_TRUE(r.status == 0 || r.status == 255) << r.status << "\n" << r.out << r.err;
  EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
}

// ... and it failed the run (exit 255), reported the damage and left the file exactly as it was.
void expect_clean_refusal(const program_result& r, const std::string& file, const std::string& before) {
  expect_no_crash(r);
  EXPECT_EQ(r.status, 255) << r.out << r.err;
  EXPECT_NE(r.out.find("Error:\n"), std::string::npos) << r.out << r.err;
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

  // The inputs the fuzzers found faults with: some are damaged, some became readable once the fault was mended.
  std::filesystem::path found = std::filesystem::path(TT_TEST_DATA_DIR) / "fuzz" / "found";
  for (const char* probe : {"access_read", "access_edit"}) {
    for (const auto& e : std::filesystem::directory_iterator(found / probe)) {
      for (const char* mode : {"--mode=1", "--mode=3"}) {
        SCOPED_TRACE(e.path().string() + " " + mode);
        const std::string file = dir.file("found.mdb");
        std::filesystem::copy_file(e.path(), file, std::filesystem::copy_options::overwrite_existing);
        expect_no_crash(agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", mode}));
        std::filesystem::remove(file);
      }
    }
  }
}

}  // namespace
