#include "platform/system/file_copy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class FileCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "tt_copy_XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    // Several buffers' worth and a ragged end, so that every way of copying crosses chunk boundaries.
    std::mt19937 random(7);
    original_.resize((size_t(3) << 20) + 4567);
    for (char& c : original_) c = char(random());
    std::ofstream(file("original"), std::ios::binary) << original_;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string file(const std::string& name) const { return dir_ + "/" + name; }
  static std::string get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Copies the original to a new file with `range` standing for the kernel's copy; the copy's bytes.
  sys_copy_result copy(sys_copy_range_fn range, const std::string& to = "copy") {
    const int in = ::open(file("original").c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(file(to).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    sys_copy_result r = sys_copy_contents(in, out, range);
    ::close(in);
    ::close(out);
    return r;
  }
  std::string dir_;
  std::string original_;
};

// Stand-ins for copy_file_range: refusing at once with one errno, or copying some and then refusing.
int refusal = 0;
ssize_t refuse(int, off64_t*, int, off64_t*, size_t, unsigned) {
  errno = refusal;
  return -1;
}
size_t allowed = 0;  // bytes the partial stand-in copies before it stops
ssize_t copy_then_refuse(int from, off64_t* from_at, int to, off64_t* to_at, size_t n, unsigned flags) {
  const size_t left = allowed > size_t(*from_at) ? allowed - size_t(*from_at) : 0;
  if (left == 0) {
    errno = refusal;
    return refusal == 0 ? 0 : -1;
  }
  return ::copy_file_range(from, from_at, to, to_at, std::min<size_t>({n, left, 100000}), flags);
}

}  // namespace

TEST_F(FileCopy, TheCopyIsTheOriginalByteForByteWhicheverWayTheBytesGo) {
  // In the kernel.
  sys_copy_result r = copy(nullptr);
  EXPECT_EQ(r.error, 0);
  EXPECT_EQ(r.bytes, original_.size());
  EXPECT_TRUE(get(file("copy")) == original_);
  // Refused at once, as another file system, an old kernel or a file system without it refuses.
  for (int err : {EXDEV, EINVAL, ENOSYS, EOPNOTSUPP, EBADF}) {
    refusal = err;
    r = copy(refuse);
    EXPECT_EQ(r.error, 0) << err;
    EXPECT_EQ(r.bytes, original_.size()) << err;
    EXPECT_TRUE(get(file("copy")) == original_) << "refused with " << err;
  }
  // Refused, or ended early (0), part of the way through: the rest follows through the buffer.
  for (int err : {EXDEV, 0}) {
    refusal = err;
    allowed = (size_t(1) << 20) + 12345;
    r = copy(copy_then_refuse);
    EXPECT_EQ(r.error, 0) << err;
    EXPECT_EQ(r.bytes, original_.size()) << err;
    EXPECT_TRUE(get(file("copy")) == original_) << "stopped with " << err;
  }
  // An empty file copies as an empty file.
  std::ofstream(file("original"), std::ios::binary | std::ios::trunc).flush();
  original_.clear();
  r = copy(nullptr);
  EXPECT_EQ(r.error, 0);
  EXPECT_EQ(r.bytes, 0u);
  EXPECT_EQ(fs::file_size(file("copy")), 0u);
}

TEST_F(FileCopy, AFullDiskIsReportedWhicheverWayTheBytesGo) {
  // A file system that is full as the kernel copies: reported as it is, not copied again the slow way.
  refusal = ENOSPC;
  sys_copy_result r = copy(refuse);
  EXPECT_EQ(r.error, ENOSPC);
  EXPECT_FALSE(r.while_reading);
  // Writes past 1 MiB fail as on a full disk, in the kernel and through the buffer alike.
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 1 << 20;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  sys_copy_result kernel = copy(nullptr, "kernel");
  refusal = EXDEV;
  sys_copy_result buffer = copy(refuse, "buffer");
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, handler);
  EXPECT_EQ(kernel.error, EFBIG);
  EXPECT_FALSE(kernel.while_reading);
  EXPECT_EQ(buffer.error, EFBIG);
  EXPECT_FALSE(buffer.while_reading);
  EXPECT_LE(kernel.bytes, uint64_t(1) << 20);
  EXPECT_LE(buffer.bytes, uint64_t(1) << 20);
}

TEST_F(FileCopy, EarlyWritebackLeavesTheBytesAsWritten) {
  // Writeback started over written, rewritten and never-written ranges changes nothing a reader sees.
  const int fd = ::open(file("written").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  sys_early_writeback writeback(64 * 1024);
  std::string expected(size_t(1) << 20, '\0');
  std::mt19937 random(11);
  for (int round = 0; round < 400; ++round) {
    const size_t page = random() % 256;
    std::string bytes(4096, char('a' + round % 26));
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), off_t(page * 4096)), ssize_t(bytes.size()));
    expected.replace(page * 4096, 4096, bytes);
    writeback.wrote(fd, (page + 1) * 4096);
  }
  writeback.start_before(fd, expected.size());
  ASSERT_EQ(::ftruncate(fd, off_t(expected.size())), 0);
  ASSERT_EQ(::fsync(fd), 0);
  ::close(fd);
  EXPECT_TRUE(get(file("written")) == expected);
}
