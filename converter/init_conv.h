// The scope of one conversion run: start and end stamps in the trace, the front end told that the run started,
// and the done flag set last, after everything else of the run has been released.
#pragma once

#include <atomic>

class rwf_front_end;

class init_conversion {
 public:
  // Traces "Conversion started on DD/MM/YYYY at HH:MM:SS" (local time, level 3) and tells front_end.
  init_conversion(std::atomic<bool>& done, rwf_front_end& front_end);
  // Traces "Conversion ended on ..." and sets done.
  ~init_conversion();
  init_conversion(const init_conversion&) = delete;
  init_conversion& operator=(const init_conversion&) = delete;

 private:
  std::atomic<bool>& done_;
};
