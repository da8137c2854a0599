// The one way the program ends itself early. Every "end the process with exit code -1" goes through
// tk_exit_process: it runs the registered closers (newest first), flushes every C stream, and ends the process
// at once with _exit, which the parent sees as status 255 for code -1. Static destructors and other threads'
// work are not run: the process may be ending from a worker thread while the window thread still runs.
//
// A closer is a small function that finishes what must not be lost (flush and close an open output file).
// Closers must not throw and must not end the process; a second tk_exit_process call made while the first is
// running (from a closer or another thread) ends the process at once without running closers again.
#pragma once

#include <functional>

[[noreturn]] void tk_exit_process(int code);

// Registers a closer; returns its id for tk_remove_closer. Thread-safe.
int tk_add_closer(std::function<void()> closer);
void tk_remove_closer(int id);

// Keeps a closer registered for the lifetime of a scope.
class tk_closer_scope {
 public:
  explicit tk_closer_scope(std::function<void()> closer) : id_(tk_add_closer(std::move(closer))) {}
  ~tk_closer_scope() { tk_remove_closer(id_); }
  tk_closer_scope(const tk_closer_scope&) = delete;
  tk_closer_scope& operator=(const tk_closer_scope&) = delete;

 private:
  int id_;
};
