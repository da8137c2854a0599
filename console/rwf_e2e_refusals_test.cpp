// RWFAGENT end to end over destinations the Access engine refuses to change: the run ends with the engine's own
// text, which names the file and its format, and the file is left byte for byte as it was.
#include <filesystem>

#include "console/e2e_support.h"

namespace {

using namespace tt_e2e;
using RwfagentRefusals = rwfagent_fixture;

TEST_F(RwfagentRefusals, AFormatTheEngineCannotChangeIsNamed) {
  const std::string file = dir.file("old.mdb");
  std::filesystem::copy_file(std::string(TT_TEST_DATA_DIR) + "/access-format/jackcess/testV1997.mdb", file);
  const std::string before = tk_read_file(file);
  for (const char* mode : {"--mode=1", "--mode=2", "--mode=3"}) {
    program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=1", mode});
    EXPECT_EQ(r.status, 255) << mode;
    EXPECT_EQ(r.out, "Error:\nUnrecognized database format '" + file +
                         "' (Access 97 (Jet 3): files of this format can be read but not changed).\n")
        << mode;
    EXPECT_EQ(r.err, "") << mode;
    EXPECT_TRUE(tk_read_file(file) == before) << mode;
  }
}

}  // namespace
