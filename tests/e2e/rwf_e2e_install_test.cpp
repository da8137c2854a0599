// The installation: `cmake --install` of the build folder puts RWFAGENT, rwf_show and jetverify into <prefix>/bin,
// and the installed programs work on their own: a conversion with the installed RWFAGENT, the file shown by the
// installed rwf_show and found sound by the installed jetverify.
#include "tests/support/e2e_test_support.h"

namespace {

using namespace tt_e2e;
using RwfagentInstall = rwfagent_fixture;

TEST_F(RwfagentInstall, InstalledProgramsConvertShowAndVerify) {
  const std::string prefix = dir.file("prefix");
  program_result r = run_program({TT_CMAKE_COMMAND, "--install", TT_BINARY_DIR, "--prefix", prefix});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string bin = prefix + "/bin/";
  for (const char* program : {"RWFAGENT", "rwf_show", "jetverify"})
    EXPECT_EQ(access((bin + program).c_str(), X_OK), 0) << program;

  const tt_test::mariadb_facts& f = server.facts();
  const std::string file = dir.file("installed.mdb");
  r = run_program({bin + "RWFAGENT", "--mysqlh=" + f.host, "--port=" + std::to_string(f.port), "--mysqlu=" + f.user,
                   "--mysqlp=" + f.password, "--src=tabletide_demo", "--dest=" + file, "--acc_ver=1"},
                  {"HOME=" + home});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out.rfind("Converting database tabletide_demo (", 0), 0u) << r.out;

  r = run_program({bin + "jetverify", file});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.rfind(file + ": sound\n", 0), 0u) << r.out;

  r = run_program({bin + "rwf_show", file});
  EXPECT_EQ(r.status, 0) << r.err;
  for (const std::string& table : base_tables("tabletide_demo"))
    EXPECT_NE(r.out.find(table), std::string::npos) << table << "\n" << r.out;
}

}  // namespace
