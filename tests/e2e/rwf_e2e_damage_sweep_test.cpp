// RWFAGENT merging into and overwriting tables of Access files it wrote itself, then damaged on purpose: cut at a
// page boundary or within a page, a page of each kind zeroed (catalog rows, table definition, usage map, index,
// table rows, long values), bytes flipped. Over a fixed sweep of such files in every format, a run either refuses
// the file (exit 255, the file byte for byte as it was) or goes through and leaves the verifier nothing it did not
// already find.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "tests/support/e2e_test_support.h"

namespace {

using namespace tt_e2e;
using RwfagentDamageSweep = rwfagent_fixture;

struct damaged_file {
  std::string name;
  std::string bytes;
};

uint32_t get32(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
         uint32_t(uint8_t(b[at + 3])) << 24;
}

// The pages of each kind, told apart by their type byte and, for data pages, the owner they name.
std::vector<std::pair<std::string, std::vector<size_t>>> pages_by_kind(const std::string& file, size_t page_size) {
  const uint32_t lval = 0x4C41564C;  // "LVAL", the owner of long-value pages
  std::vector<std::pair<std::string, std::vector<size_t>>> kinds = {
      {"catalog", {}}, {"definition", {}}, {"usage_map", {}}, {"index", {}}, {"data", {}}, {"long_value", {}}};
  auto add = [&](size_t kind, size_t page) { kinds[kind].second.push_back(page); };
  for (size_t p = 2; p < file.size() / page_size; ++p) {
    const size_t at = p * page_size;
    const uint8_t type = uint8_t(file[at]);
    if (type == 0x02) add(1, p);
    if (type == 0x03 || type == 0x04) add(3, p);
    if (type != 0x01) continue;
    const uint32_t owner = get32(file, at + 4);
    add(owner == 2 ? 0 : owner == 0 ? 2 : owner == lval ? 5 : 4, p);
  }
  return kinds;
}

// The fixed sweep of damaged copies of `whole`.
std::vector<damaged_file> damage_sweep(const std::string& whole, size_t page_size) {
  std::mt19937 random(23);
  auto below = [&](size_t n) { return size_t(random() % n); };
  const size_t pages = whole.size() / page_size;
  std::vector<damaged_file> out;
  for (int i = 0; i < 3; ++i) {
    const size_t keep = 3 + below(pages - 3);
    out.push_back({"cut_at_page_" + std::to_string(keep), whole.substr(0, keep * page_size)});
  }
  for (int i = 0; i < 2; ++i) {
    const size_t keep = 3 * page_size + below(whole.size() - 3 * page_size);
    out.push_back({"cut_at_byte_" + std::to_string(keep), whole.substr(0, keep)});
  }
  for (const auto& [kind, list] : pages_by_kind(whole, page_size)) {
    EXPECT_FALSE(list.empty()) << "the file holds no " << kind << " page";
    for (int i = 0; i < 2 && !list.empty(); ++i) {
      const size_t p = list[below(list.size())];
      std::string b = whole;
      std::fill(b.begin() + std::ptrdiff_t(p * page_size), b.begin() + std::ptrdiff_t((p + 1) * page_size), '\0');
      out.push_back({"zeroed_" + kind + "_page_" + std::to_string(p), b});
    }
  }
  for (int i = 0; i < 6; ++i) {
    std::string b = whole;
    std::string name = "flipped";
    for (int k = 0; k < 3; ++k) {
      const size_t at = page_size + below(whole.size() - page_size);
      b[at] = char(uint8_t(b[at]) ^ uint8_t(1 + below(255)));
      name += "_" + std::to_string(at);
    }
    out.push_back({name, b});
  }
  return out;
}

TEST_F(RwfagentDamageSweep, ADamagedFileIsRefusedUnchangedOrLeftWithNoNewFinding) {
  server.exec("DROP DATABASE IF EXISTS e2e_damage; CREATE DATABASE e2e_damage");
  server.exec("CREATE TABLE items (id INT NOT NULL PRIMARY KEY, name VARCHAR(40) NOT NULL, note TEXT NULL, "
              "UNIQUE KEY by_name (name))", "e2e_damage");
  server.exec("CREATE TABLE tags (id INT NOT NULL PRIMARY KEY, item_id INT NOT NULL, label VARCHAR(20) NULL, "
              "KEY by_item (item_id))", "e2e_damage");
  server.exec("INSERT INTO items SELECT seq, CONCAT('item ', seq), IF(seq % 7 = 0, REPEAT('long text ', 150), "
              "CONCAT('note ', seq)) FROM seq_1_to_150", "e2e_damage");
  server.exec("INSERT INTO tags SELECT seq, seq % 150 + 1, CONCAT('tag ', seq % 13) FROM seq_1_to_300", "e2e_damage");
  struct base {
    const char* version;
    const char* extension;
    size_t page_size;
    std::string bytes;
  };
  std::vector<base> bases = {{"0", ".mdb", 2048, ""}, {"1", ".mdb", 4096, ""}, {"2", ".accdb", 4096, ""}};
  for (base& b : bases) {
    const std::string file = dir.file(std::string("base") + b.version + b.extension);
    program_result r = agent({"--src=e2e_damage", "--dest=" + file, std::string("--acc_ver=") + b.version});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    expect_sound(file);
    EXPECT_EQ(mdb_tables(file), (std::vector<std::string>{"items", "tags"}));
    b.bytes = tk_read_file(file);
  }
  // The runs bring rows the files lack (a merge adds them) beside the ones they hold.
  server.exec("INSERT INTO items SELECT seq, CONCAT('item ', seq), IF(seq % 5 = 0, REPEAT('more text ', 200), "
              "NULL) FROM seq_151_to_190", "e2e_damage");

  size_t refused = 0, changed = 0;
  for (const base& b : bases) {
    for (const damaged_file& d : damage_sweep(b.bytes, b.page_size)) {
      const std::string file = dir.file(d.name + b.extension);
      tk_write_file(file, d.bytes);
      jet::verify_report before = jet::verify_file(file);
      for (const char* mode : {"--mode=1", "--mode=3"}) {
        SCOPED_TRACE(std::string("--acc_ver=") + b.version + " " + d.name + " " + mode);
        tk_write_file(file, d.bytes);
        program_result r = agent({"--src=e2e_damage", "--dest=" + file, std::string("--acc_ver=") + b.version, mode});
        EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
        if (r.status == 255) {
          ++refused;
          EXPECT_TRUE(tk_read_file(file) == d.bytes) << r.out;
          // Whatever check the file failed, the message names the file the user gave.
          EXPECT_NE(r.out.find("'" + file + "'"), std::string::npos) << r.out;
          continue;
        }
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        ++changed;
        for (const std::string& p : jet::verify_file(file).problems)
          EXPECT_NE(std::find(before.problems.begin(), before.problems.end(), p), before.problems.end())
              << "new finding: " << p;
      }
      std::filesystem::remove(file);
    }
  }
  // Both outcomes occur: the sweep covers damage a change would build on and damage it leaves alone.
  EXPECT_GT(refused, 0u);
  EXPECT_GT(changed, 0u);
  server.exec("DROP DATABASE e2e_damage");
}

// A file cut at a page boundary loses pages its tables still name: the run says which, and ends without
// touching it.
TEST_F(RwfagentDamageSweep, AFileCutAtAPageBoundaryIsRefusedNamingTheMissingPage) {
  const std::string file = dir.file("cut.mdb");
  program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string whole = tk_read_file(file);
  const std::string cut = whole.substr(0, whole.size() - 2 * 4096);
  tk_write_file(file, cut);
  for (const char* mode : {"--mode=1", "--mode=3"}) {
    SCOPED_TRACE(mode);
    r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", mode});
    EXPECT_EQ(r.status, 255) << r.out << r.err;
    EXPECT_NE(r.out.find("The database '" + file + "' is damaged and cannot be changed: "), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("beyond the end of the file"), std::string::npos) << r.out;
    EXPECT_TRUE(tk_read_file(file) == cut);
  }
}

// The structure check before the first change cannot read a page of the file (the disk lost that sector): the
// check says it stopped, and the change is refused as for a damaged file, never let through as if the file were
// sound. The file stays as it was.
TEST_F(RwfagentDamageSweep, AStructureCheckThatStopsRefusesTheChange) {
  const std::string file = dir.file("sector.mdb");
  program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string before = tk_read_file(file);
  const std::vector<size_t> data = pages_by_kind(before, 4096)[4].second;
  ASSERT_FALSE(data.empty());
  const tt_test::mariadb_facts& f = server.facts();
  const char* asan = std::getenv("ASAN_OPTIONS");
  r = run_program({RWFAGENT_PATH, "--mysqlh=" + f.host, "--port=" + std::to_string(f.port), "--mysqlu=" + f.user,
                   "--mysqlp=" + f.password, "--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=3"},
                  {"HOME=" + home, "LD_PRELOAD=" TT_FAILING_READS_PATH, "TT_FAILING_FILE=" + file,
                   "TT_FAILING_OFFSET=" + std::to_string(data.front() * 4096),
                   // The sanitizers' library need not come first for a test library that only passes reads on.
                   std::string("ASAN_OPTIONS=") + (asan ? std::string(asan) + ":" : "") + "verify_asan_link_order=0"});
  EXPECT_EQ(r.status, 255) << r.out << r.err;
  EXPECT_NE(r.out.find("The database '" + file + "' is damaged and cannot be changed: the check stopped: "),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Input/output error"), std::string::npos) << r.out;
  EXPECT_TRUE(tk_read_file(file) == before);
}

// A file refused as it is opened is named as the user gave it, and the check it failed follows the sentence: one
// form whatever the check.
TEST_F(RwfagentDamageSweep, ARefusedFileIsNamedAndTheFailedCheckFollows) {
  const std::string made = dir.file("made.mdb");
  program_result r = agent({"--src=tabletide_demo", "--dest=" + made, "--acc_ver=1"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string whole = tk_read_file(made);
  std::string no_catalog = whole;
  std::fill(no_catalog.begin() + 2 * 4096, no_catalog.begin() + 3 * 4096, '\0');
  const struct {
    std::string name, bytes, check;
  } cases[] = {
      {"trunc.mdb", whole.substr(0, 2 * 4096), "The file is too short."},
      {"cut.mdb", whole.substr(0, 3 * 4096 + 100), "The file's length is not a whole number of pages: it was cut off."},
      {"catalog.mdb", no_catalog, "TDEF page 2: not a table definition page."},
  };
  for (const auto& c : cases) {
    const std::string file = dir.file(c.name);
    tk_write_file(file, c.bytes);
    for (const char* mode : {"--mode=1", "--mode=3"}) {
      SCOPED_TRACE(c.name + " " + mode);
      r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", mode});
      EXPECT_EQ(r.status, 255) << r.out << r.err;
      EXPECT_EQ(r.out, "Error:\nCannot open database '" + file +
                           "'. It may not be a database that your application recognizes, or the file may be corrupt. (" +
                           c.check + ")\n");
      EXPECT_TRUE(tk_read_file(file) == c.bytes);
    }
  }
}

}  // namespace
