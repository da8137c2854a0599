// The working copy of an existing file: made byte for byte (in the kernel where it can be, on another thread
// where asked), deleted unless committed, and the original left alone until the commit.
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

TEST(WorkingCopy, MadeOnAnotherThreadItTakesNewPagesAtOnceAndWaitsBeforeChangingOldOnes) {
  scratch_folder s;
  const std::string path = s.file("async.accdb");
  fs::copy_file(sample_path("jackcess/indexTestV2007.accdb"), path);
  const std::string original = slurp(path);
  const uint32_t pages = uint32_t(original.size() / 4096);
  const std::vector<uint8_t> fresh(4096, 0x77);
  const std::vector<uint8_t> changed(4096, 0x33);
  {
    auto copy = working_copy::start(path, 4096, uint64_t(1) << 31);
    EXPECT_EQ(copy->page_count(), pages);
    // New pages at once, while the original's pages read as the original's, copied or not.
    const uint32_t added = copy->allocate();
    EXPECT_EQ(added, pages);
    copy->write(added, fresh);
    for (uint32_t p = 0; p < pages; ++p)
      ASSERT_TRUE(copy->read(p) == std::vector<uint8_t>(original.begin() + p * 4096, original.begin() + (p + 1) * 4096)) << p;
    EXPECT_EQ(copy->read(added), fresh);
    // A page of the original is changed only once the copy is complete, so the copy never writes over it.
    copy->write(3, changed);
    EXPECT_EQ(copy->read(3), changed);
    copy->sync_length();
    std::string expected = original;
    expected.replace(3 * 4096, 4096, std::string(changed.begin(), changed.end()));
    expected += std::string(fresh.begin(), fresh.end());
    EXPECT_TRUE(slurp(copy->temp_path()) == expected);
    EXPECT_TRUE(slurp(path) == original);
  }
  EXPECT_EQ(s.entries(), 1u);
  EXPECT_TRUE(slurp(path) == original);
  {  // committed: the original is replaced by the copy with its changes
    auto copy = working_copy::start(path, 4096, uint64_t(1) << 31);
    copy->write(copy->allocate(), fresh);
    copy->commit();
  }
  EXPECT_TRUE(slurp(path) == original + std::string(fresh.begin(), fresh.end()));
  EXPECT_EQ(s.entries(), 1u);
}

TEST(WorkingCopy, ACopyMadeOnAnotherThreadThatFailsIsReportedWhenItIsNeeded) {
  scratch_folder s;
  const std::string path = s.file("async-full.mdb");
  fs::copy_file(sample_path("jackcess/test2V2000.mdb"), path);
  const std::string original = slurp(path);
  error_with_file_size_limit(original.size() / 2, [&] {
    auto copy = working_copy::start(path, 4096, uint64_t(1) << 31);
    // Reading the original's pages goes on; waiting for the copy, changing an old page or committing fails.
    EXPECT_EQ(copy->read(1), std::vector<uint8_t>(original.begin() + 4096, original.begin() + 8192));
    EXPECT_EQ(error_of([&] { copy->wait_for_copy(); }), dao_error::disk_full);
    EXPECT_EQ(error_of([&] { copy->write(2, std::vector<uint8_t>(4096, 1)); }), dao_error::disk_full);
    EXPECT_EQ(error_of([&] { copy->commit(); }), dao_error::disk_full);
  });
  EXPECT_EQ(s.entries(), 1u);
  EXPECT_TRUE(slurp(path) == original);
}

}  // namespace
}  // namespace jet
