// A worker thread that runs one tk_thread_functor.
//
// Stopping is cooperative: stop() asks the functor to stop (tk_thread_functor::request_stop) and waits for the
// thread to end, up to a bound. A thread is never killed: the functor's work checks stop_requested() at points
// where it can end cleanly (between records, between tables) and returns, so files and connections are closed
// by the normal end of the work. The base functor's loop checks it between steps, and idle() wakes at once.
//
// States: idle (no thread) -> running (started) -> finished (ended, not yet closed) -> idle after close() or the
// next start(). Misuse (start while running, stop while not running, close while running, no functor) is an
// internal error. Only the owning thread calls tk_thread's operations.
//
// An exception must not leave the functor's operator(): like any exception escaping a thread, it ends the
// process (std::terminate).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class tk_thread_functor {
 public:
  tk_thread_functor();
  virtual ~tk_thread_functor();

  // Runs the work: while step() answers false (and no stop was requested), idle(); then finish().
  virtual void operator()();
  // One piece of the work; true when the work is done. Base: false.
  virtual bool step();
  // Waits between steps. Base: 100 ms, or less when a stop is requested meanwhile.
  virtual void idle();
  // Ends the work. Base: nothing.
  virtual void finish();

  // Asks the work to end as soon as it can; thread-safe.
  void request_stop();
  // The same from a signal handler (async-signal-safe): only sets the flag, so a waiting idle() sees it at the end
  // of its wait rather than at once.
  void request_stop_from_signal() noexcept { stop_requested_.store(true, std::memory_order_release); }
  bool stop_requested() const { return stop_requested_.load(std::memory_order_acquire); }
  // Clears the request (start() does this before each run).
  void clear_stop();

 private:
  std::atomic<bool> stop_requested_{false};
  std::mutex wake_lock_;
  std::condition_variable wake_;
};

class tk_thread {
 public:
  explicit tk_thread(int owns_functor);
  // A running thread is stopped as by stop(); if it does not end within the bound, the process ends
  // (tk_exit_process(-1)): its functor cannot be released while it still runs.
  virtual ~tk_thread();
  tk_thread(const tk_thread&) = delete;
  tk_thread& operator=(const tk_thread&) = delete;

  // Runs create_functor()'s result on a new thread, closing a finished previous one first.
  void start();
  // Requests a stop and waits for the thread to end, up to stop_timeout(). True when it ended (it is then
  // finished, ready for close or start); false when it still runs (the request stays).
  bool stop();
  // Releases a finished thread and, when owned, its functor.
  void close();
  // True while the thread runs.
  bool is_running() const;

  tk_thread_functor* functor() const { return functor_; }
  void set_stop_timeout(std::chrono::milliseconds t) { stop_timeout_ = t; }
  std::chrono::milliseconds stop_timeout() const { return stop_timeout_; }

 protected:
  // The functor to run. Base: a new base tk_thread_functor, owned by this object.
  virtual tk_thread_functor* create_functor();

  int owns_functor_;

 private:
  struct shared_state {
    std::mutex lock;
    std::condition_variable ended;
    bool finished = false;
  };
  static void thread_proc(tk_thread_functor* functor, std::shared_ptr<shared_state> state);
  bool wait_for_end(std::chrono::milliseconds bound);

  std::thread thread_;
  std::shared_ptr<shared_state> state_;
  tk_thread_functor* functor_ = nullptr;
  std::chrono::milliseconds stop_timeout_{10000};
};
