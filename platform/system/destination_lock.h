// The lock that keeps two runs from writing one destination, whether the destination file exists yet or not.
//
// The lock is an exclusive flock on a lock file beside the destination's final target (sys_lock_file_name), made
// when it is missing and removed when the lock is released. The flock, not the file, is the lock: a lock file
// that a process left when it was killed (or the machine lost power) is free, and the next run takes it over.
// A run that finds the file removed or replaced between opening and locking it starts again, so two processes
// never hold locks on two different files of one name.
#pragma once

#include <string>

class sys_destination_lock {
 public:
  sys_destination_lock() = default;
  ~sys_destination_lock();
  sys_destination_lock(const sys_destination_lock&) = delete;
  sys_destination_lock& operator=(const sys_destination_lock&) = delete;

  // Takes the lock of `dest`: 0, EWOULDBLOCK when another holder has it, or the errno of making the lock file.
  int acquire(const std::string& dest);
  // Removes the lock file and gives the lock up; nothing when none is held.
  void release();

  // The lock file while the lock is held, else empty.
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};
