// The trace log: tk_trace and tk_trace_w write one line each into the file of the tk_logger singleton.
//
// File format: lines of text, no byte-order mark. Each line is
//     ["HH:MM:SS " local time, when timestamps are on] + message + "\r\n"
// Narrow messages are written as printed (UTF-8); wide messages are printed into at most 10239 wide characters
// and written as UTF-8 of at most 10239 bytes, cut on a character boundary.
//
// Each line is its own open-append-close, so the file is complete up to the last line even when the process ends
// abruptly, and nothing is locked or kept open. The file is emptied once per process, at the first trace call
// after the logger was enabled (before the level test, so a dropped line empties it too).
//
// Cost when off: with no logger, a disabled one, or a level below the threshold, a call is one comparison with
// tk_trace_floor and its arguments are not evaluated (tk_trace and tk_trace_w are macros over tk_trace_line and
// tk_trace_line_w, so an argument must not be an expression whose side effect matters). Tracing never raises,
// never reports, and leaves errno as it found it.
//
// Levels: 1 detail, 2 entry of an operation, 3 progress and errors worth keeping.
#pragma once

#include <atomic>
#include <climits>
#include <cstdint>
#include <string>

#include "TK/tk_singl.h"

class tk_logger : public tk_singleton<tk_logger> {
 public:
  // file_name null means default_file_name(). When enabled, the file is emptied at once.
  tk_logger(const char* file_name, bool enabled, int32_t threshold, bool timestamps);
  ~tk_logger();

  // The program's own path with its extension replaced by ".log".
  static std::string default_file_name();

  const std::string& file_name() const { return file_name_; }
  int32_t threshold() const { return threshold_; }
  bool enabled() const { return enabled_; }
  bool truncated() const { return truncated_; }
  bool timestamps() const { return timestamps_; }

  // Switches the log to another file and on. The truncated flag is kept: a file is emptied once per process.
  void enable(const std::string& file_name);

  // Used by the trace writers.
  bool crlf() const { return crlf_; }
  void truncate_once();

 private:
  // Sets tk_trace_floor from this logger's state when it is the registered one.
  void refresh_floor();

  std::string file_name_;
  int32_t threshold_;
  bool crlf_ = true;
  bool enabled_;
  std::atomic<bool> truncated_{false};
  bool timestamps_;
};

// The lowest level a trace call may write now: INT_MAX while no enabled logger is registered, INT_MIN while the
// registered logger has still to empty its file (the next call of any level does that), else its threshold.
inline std::atomic<int> tk_trace_floor{INT_MAX};
inline bool tk_trace_wanted(int level) { return level >= tk_trace_floor.load(std::memory_order_relaxed); }

// The writers behind the macros: each tests the logger again, so a call made on its own is as safe.
void tk_trace_line(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// A bare %s or %c in the format takes a wide argument (see tk_utils.h).
void tk_trace_line_w(int level, const wchar_t* format, ...);

#define tk_trace(level, ...) (tk_trace_wanted(level) ? tk_trace_line((level), __VA_ARGS__) : void())
#define tk_trace_w(level, ...) (tk_trace_wanted(level) ? tk_trace_line_w((level), __VA_ARGS__) : void())
