// RWFAGENT end to end over destinations the Access engine refuses to change: the run ends with the engine's own
// text, which names the file and its format, and the file is left byte for byte as it was.
#include <filesystem>
#include <fstream>

#include "tests/support/e2e_test_support.h"

namespace {

using namespace tt_e2e;
using RwfagentRefusals = rwfagent_fixture;

TEST_F(RwfagentRefusals, AFormatTheEngineCannotChangeIsNamed) {
  // An Access 2010 file whose text sort order (version 2) the engine has no collation for.
  const std::string file = dir.file("sorted.accdb");
  std::filesystem::copy_file(std::string(TT_TEST_DATA_DIR) + "/access-format/jackcess/empty2010.accdb", file);
  {
    std::fstream io(file, std::ios::in | std::ios::out | std::ios::binary);
    const std::streamoff at = 0x71;  // the sort version byte, inside the masked region
    char b = 0;
    io.seekg(at);
    io.read(&b, 1);
    b = char(uint8_t(b) ^ 1 ^ 2);  // version 1 -> 2
    io.seekp(at);
    io.write(&b, 1);
  }
  const std::string before = tk_read_file(file);
  for (const char* mode : {"--mode=1", "--mode=2", "--mode=3"}) {
    program_result r = agent({"--src=tabletide_demo", "--dest=" + file, "--acc_ver=2", mode});
    EXPECT_EQ(r.status, 255) << mode;
    EXPECT_EQ(r.out, "Error:\nUnrecognized database format '" + file +
                         "' (Access 2010 (ACE 14): its text sort order (version 2) is one this engine has no "
                         "collation for; it can be read but not changed).\n")
        << mode;
    EXPECT_EQ(r.err, "") << mode;
    EXPECT_TRUE(tk_read_file(file) == before) << mode;
  }
}

}  // namespace
