// RWFAGENT end to end over an existing Access 97 (Jet 3) file made by Access: modes 1 to 3 change it as they
// change a Jet 4 file, the file stays a Jet 3 one (whatever --acc_ver says), its own tables keep their rows,
// and the converted tables hold the server's rows with text as code page 1252 holds it.
#include <algorithm>
#include <filesystem>

#include "tests/support/e2e_test_support.h"

namespace {

using namespace tt_e2e;
using RwfagentJet3Existing = rwfagent_fixture;

TEST_F(RwfagentJet3Existing, ModesOneToThreeChangeAnAccess97FileThatKeepsItsFormat) {
  const std::string file = dir.file("access97.mdb");
  std::filesystem::copy_file(std::string(TT_TEST_DATA_DIR) + "/access-format/jackcess/testV1997.mdb", file);
  const std::vector<std::string> own = mdb_tables(file);
  ASSERT_FALSE(own.empty());
  std::vector<size_t> own_rows;
  for (const std::string& t : own) own_rows.push_back(mdb_export(file, t).size());
  const std::vector<std::string> demo = base_tables("tabletide_demo");
  std::vector<std::string> all = own;
  all.insert(all.end(), demo.begin(), demo.end());
  std::sort(all.begin(), all.end());

  // Mode 1: the tables are added (none of them exists yet).
  program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=1"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(run_program({"/usr/bin/mdb-ver", file}).out, "JET3\n");
  EXPECT_EQ(mdb_tables(file), all);
  for (const std::string& t : demo) expect_same_rows(file, "tabletide_demo", t, true);
  for (size_t i = 0; i < own.size(); ++i) EXPECT_EQ(mdb_export(file, own[i]).size(), own_rows[i]) << own[i];
  expect_sound(file);

  // Mode 2: every table exists and is skipped; mode 1 again replaces them with the same rows.
  const std::string before = tk_read_file(file);
  r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=0", "--mode=2"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(tk_read_file(file) == before);
  r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=2", "--mode=1"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  for (const std::string& t : demo) expect_same_rows(file, "tabletide_demo", t, true);

  // Mode 3: the rows are merged into the existing tables.
  r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", "--mode=3"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(run_program({"/usr/bin/mdb-ver", file}).out, "JET3\n");
  EXPECT_EQ(mdb_tables(file), all);
  for (size_t i = 0; i < own.size(); ++i) EXPECT_EQ(mdb_export(file, own[i]).size(), own_rows[i]) << own[i];
  expect_sound(file);
}

}  // namespace
