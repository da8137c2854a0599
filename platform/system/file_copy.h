// Copying a file's bytes, and starting the writeback of a file that is being written.
//
// `sys_copy_contents` copies everything `from` holds, from its first byte to its end, to the same offsets of `to`.
// It asks the kernel to copy (copy_file_range: the bytes do not pass through this process, and a file system that
// shares blocks may share them). Where the kernel refuses that (another file system, an old kernel, a file system
// without it: EXDEV, EINVAL, ENOSYS, EOPNOTSUPP, ...), or stops short of the end, the rest is copied with
// pread/pwrite. A full disk (ENOSPC, EDQUOT, EFBIG) is reported as it is met, whichever way the bytes went.
//
// `sys_early_writeback` starts the kernel's writeback of a file's pages while the file is still being written
// (sync_file_range with SYNC_FILE_RANGE_WRITE), so that the fsync that commits the file has little left to write
// when it comes. It neither waits for the disk nor makes anything durable: the fsync stays as it was, and it
// alone reports write errors (those of sync_file_range are ignored). Pages written again after their writeback
// was started are simply dirty again.
//
// Dependency-free, like atomic_file.h: the jet engine uses it and still stands alone.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

struct sys_copy_result {
  int error = 0;               // 0, or the errno value that stopped the copy
  bool while_reading = false;  // the error came from reading `from` (else from writing `to`)
  uint64_t bytes = 0;          // bytes copied
};

// The kernel's copy_file_range, or a stand-in with its contract (tests refuse it this way).
using sys_copy_range_fn = ssize_t (*)(int from, off64_t* from_at, int to, off64_t* to_at, size_t n, unsigned flags);

sys_copy_result sys_copy_contents(int from, int to, sys_copy_range_fn copy_range = nullptr);

// True for the errno values of a write that found no room: ENOSPC, EDQUOT, EFBIG.
bool sys_is_disk_full(int err);

class sys_early_writeback {
 public:
  // Writeback is started in steps of at least `step` bytes.
  explicit sys_early_writeback(uint64_t step = uint64_t(16) << 20) : step_(step) {}

  // Bytes of `fd` up to offset `end` have been written: starts the writeback of those before it once a step
  // has gathered since the last start.
  void wrote(int fd, uint64_t end) {
    if (end >= started_ + step_) start_before(fd, end);
  }
  // Starts the writeback of the bytes before `end` now (those before an earlier start are not asked again).
  void start_before(int fd, uint64_t end);
  // The bytes before `end` are not asked for here (their writeback is started elsewhere).
  void skip_before(uint64_t end) {
    if (end > started_) started_ = end;
  }

 private:
  uint64_t step_;
  uint64_t started_ = 0;  // writeback was started for the bytes before this offset
};
