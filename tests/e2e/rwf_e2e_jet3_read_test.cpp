// The shipped inspection programs on Access 97 (Jet 3) files: jetverify finds every Access 97 sample sound
// without a note, and rwf_show lists its tables with their rows, columns and indexes.
#include "tests/support/e2e_test_support.h"

namespace {

using namespace tt_e2e;

const std::string kSamples = std::string(TT_TEST_DATA_DIR) + "/access-format/jackcess/";
const std::string kJetverify = std::string(TT_BINARY_DIR) + "/platform/jet/jetverify";
const std::string kRwfShow = std::string(TT_BINARY_DIR) + "/console/rwf_show";

TEST(Jet3Programs, JetverifyFindsEveryAccess97SampleSound) {
  for (const char* name : {"testV1997.mdb", "delTestV1997.mdb", "indexTestV1997.mdb", "compIndexTestV1997.mdb",
                           "queryTestV1997.mdb", "testIndexCodesV1997.mdb"}) {
    const std::string file = kSamples + name;
    program_result r = run_program({kJetverify, file});
    EXPECT_EQ(r.status, 0) << name;
    EXPECT_EQ(r.out, file + ": sound\n");
  }
}

TEST(Jet3Programs, RwfShowListsTheTablesOfAnAccess97File) {
  program_result r = run_program({kRwfShow, kSamples + "testV1997.mdb"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "  table                        rows  columns  indexes\n"
            "  Table1                          2        9        2\n"
            "  Table2                          0       89        5\n"
            "  Table3                          0        2        2\n"
            "  Table4                          0        2        1\n");
  r = run_program({kRwfShow, kSamples + "compIndexTestV1997.mdb"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("  Table1                        512        3"), std::string::npos) << r.out;
}

}  // namespace
