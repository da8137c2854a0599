// RWFAGENT end to end, merging (--mode=3) rows into a table the file already holds when that table is the run's
// first change: the file's working copy is made while the source counts and sends its first rows. The rows, the
// reports and the file are those of any merge; a run that changes nothing leaves the file byte for byte, and no
// copy is left beside it either way.
#include <filesystem>
#include <sys/mount.h>
#include <unistd.h>

#include "tests/support/e2e_test_support.h"

namespace {

using namespace tt_e2e;
using RwfagentMergeAhead = rwfagent_fixture;

std::vector<std::string> folder_names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

const std::string duplicate =
    "Duplicate field values being used for an unique index were found. See 'Troubleshooting' article of the "
    "product documentation for solution.\n";

TEST_F(RwfagentMergeAhead, RowsOfAStoredTableAloneAreMergedAndNoCopyIsLeft) {
  for (const char* version : {"0", "1", "2"}) {
    SCOPED_TRACE(std::string("--acc_ver=") + version);
    const bool jet3 = std::string(version) == "0";
    server.exec("DROP DATABASE IF EXISTS e2e_ahead");
    server.exec("CREATE DATABASE e2e_ahead");
    server.exec("CREATE TABLE kinds (id INT NOT NULL PRIMARY KEY, name VARCHAR(20) NULL, note TEXT NULL, "
                "UNIQUE KEY by_name (name))", "e2e_ahead");
    server.exec("INSERT INTO kinds VALUES (1, 'one', NULL), (2, 'two', REPEAT('long ', 900)), (3, 'three', 'x')",
                "e2e_ahead");
    const std::string folder = dir.file(std::string("ahead") + version);
    std::filesystem::create_directory(folder);
    const std::string file = folder + "/merge" + (std::string(version) == "2" ? ".accdb" : ".mdb");
    program_result r = agent({"--src=e2e_ahead", "--dest=" + file, std::string("--acc_ver=") + version});
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    // The source gains 1,500 rows (some with long texts); the three stored ones come again and are refused.
    server.exec("INSERT INTO kinds SELECT seq + 10, CONCAT('k', seq), IF(seq % 100 = 0, REPEAT('more ', 1200), "
                "NULL) FROM seq_1_to_1500", "e2e_ahead");
    r = agent({"--src=e2e_ahead", "--dest=" + file, std::string("--acc_ver=") + version, "--mode=3"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Converting database e2e_ahead (1 tables)\n"
                     "Converting table kinds (1503 records)\n"
                     "Error:\nkinds, record #1: " + duplicate +
                     "Error:\nkinds, record #2: " + duplicate +
                     "Error:\nkinds, record #3: " + duplicate);
    EXPECT_EQ(r.err, "");
    expect_same_rows(file, "e2e_ahead", "kinds", jet3);
    expect_sound(file);
    EXPECT_EQ(folder_names(folder), std::vector<std::string>{std::filesystem::path(file).filename().string()});

    // Nothing new to merge: the file stays byte for byte as it was, and no copy is left beside it.
    server.exec("DELETE FROM kinds", "e2e_ahead");
    const std::string before = tk_read_file(file);
    r = agent({"--src=e2e_ahead", "--dest=" + file, std::string("--acc_ver=") + version, "--mode=3"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Converting database e2e_ahead (1 tables)\nConverting table kinds (0 records)\n");
    EXPECT_TRUE(tk_read_file(file) == before);
    EXPECT_EQ(folder_names(folder), std::vector<std::string>{std::filesystem::path(file).filename().string()});
    server.exec("DROP DATABASE e2e_ahead");
  }
}

TEST_F(RwfagentMergeAhead, AFullDiskWhileTheCopyIsMadeFailsTheRunAndLeavesTheFile) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a small file system";
  server.exec("DROP DATABASE IF EXISTS e2e_ahead_full");
  server.exec("CREATE DATABASE e2e_ahead_full");
  server.exec("CREATE TABLE kinds (id INT NOT NULL PRIMARY KEY, name VARCHAR(20) NULL)", "e2e_ahead_full");
  server.exec("INSERT INTO kinds SELECT seq, CONCAT('k', seq) FROM seq_1_to_2000", "e2e_ahead_full");
  const std::string made = dir.file("made.mdb");
  program_result r = agent({"--src=e2e_ahead_full", "--dest=" + made, "--acc_ver=1"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  // Only new rows: the full disk is the run's one error.
  server.exec("DELETE FROM kinds", "e2e_ahead_full");
  server.exec("INSERT INTO kinds SELECT seq + 5000, CONCAT('n', seq) FROM seq_1_to_10", "e2e_ahead_full");

  // A file system with room for the file and a little more, not for its copy.
  const std::string small = dir.file("small");
  mkdir(small.c_str(), 0755);
  const uintmax_t size = std::filesystem::file_size(made);
  const std::string options = "size=" + std::to_string(size + 64 * 1024);
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, options.c_str()) != 0) GTEST_SKIP() << "cannot mount: " << strerror(errno);
  struct unmount {
    std::string path;
    ~unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount_at_end{small};
  const std::string file = small + "/full.mdb";
  std::filesystem::copy_file(made, file);
  const std::string before = tk_read_file(file);

  r = agent({"--src=e2e_ahead_full", "--dest=" + file, "--acc_ver=1", "--mode=3"});
  EXPECT_EQ(r.status, 255) << r.out << r.err;
  EXPECT_EQ(r.out.find("Error:\n"), r.out.rfind("Error:\n")) << r.out;
  EXPECT_NE(r.out.find("disk is full"), std::string::npos) << r.out;
  EXPECT_TRUE(tk_read_file(file) == before);
  EXPECT_EQ(folder_names(small), std::vector<std::string>{"full.mdb"});
  server.exec("DROP DATABASE e2e_ahead_full");
}

}  // namespace
