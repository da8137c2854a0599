// The working copy of an existing file: made byte for byte (in the kernel where it can be), deleted unless
// committed, and the original left alone until the commit.
#include "platform/jet/working_copy.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/jet/error.h"
#include "platform/jet/format.h"
#include "platform/jet/test_scratch.h"

namespace jet {
namespace {

namespace fs = std::filesystem;

TEST(WorkingCopy, IsTheOriginalByteForByteAndGoesAwayUnlessCommitted) {
  for (const char* sample : {"jackcess/testV1997.mdb", "jackcess/test2V2000.mdb", "jackcess/indexTestV2007.accdb"}) {
    SCOPED_TRACE(sample);
    scratch_folder s;
    const std::string path = s.file(fs::path(sample).filename().string());
    fs::copy_file(sample_path(sample), path);
    const std::string original = slurp(path);
    const uint32_t page_size = std::string(sample).find("1997") != std::string::npos ? 2048 : 4096;
    {
      auto copy = working_copy::make(path, page_size, uint64_t(1) << 31);
      EXPECT_TRUE(slurp(copy->temp_path()) == original);
      EXPECT_EQ(copy->page_count(), original.size() / page_size);
      EXPECT_EQ(copy->bytes_written(), 0u);
      EXPECT_EQ(s.entries(), 2u);
      // A page changed in the copy reads back; the original does not see it.
      std::vector<uint8_t> page(page_size, 0x5A);
      copy->write(copy->page_count() - 1, page);
      EXPECT_EQ(copy->read(copy->page_count() - 1), page);
      EXPECT_TRUE(slurp(path) == original);
    }
    EXPECT_EQ(s.entries(), 1u);  // not committed: deleted
    EXPECT_TRUE(slurp(path) == original);
  }
}

TEST(WorkingCopy, AFullDiskWhileCopyingLeavesNoCopy) {
  scratch_folder s;
  const std::string path = s.file("big.mdb");
  fs::copy_file(sample_path("jackcess/test2V2000.mdb"), path);
  const std::string original = slurp(path);
  EXPECT_EQ(error_with_file_size_limit(original.size() / 2, [&] { working_copy::make(path, 4096, uint64_t(1) << 31); }),
            dao_error::disk_full);
  EXPECT_EQ(s.entries(), 1u);
  EXPECT_TRUE(slurp(path) == original);
}

}  // namespace
}  // namespace jet
