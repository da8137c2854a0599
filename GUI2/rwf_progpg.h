// The progress page (106, "Step 4 of 4"): entering it starts the conversion on a worker thread; every tick of the
// shell's timer (started by the run) shows the percentage done and the item being converted, and the tick that
// sees the run done moves on to the finish page. The run's log lines arrive in the page's log box.
//
// Cancel during the run asks the usual question. While it is open the run goes on but does not write its result
// into the destination: a run that gets there waits for the answer. Yes asks the run to stop at its next record
// or table (or there) and gives the source's connection up, so that a server that sends nothing is not waited
// for; it waits for the run while the window stays responsive (boxes the run asks for meanwhile are not shown),
// and then closes the wizard: the destination is left as it was. No lets the run go on and finish. The worker is
// never killed.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "GUI2/g_wiz_pg.h"
#include "TK/tk_threa.h"
#include "converter/rwf_front.h"

// Percent done: items done of all items, plus the current item's share of records done (in 64-bit arithmetic);
// 0 when there are no items.
int progress_percent(uint32_t total, uint32_t done, uint64_t records_total, uint64_t records_done);
// "Processing table '<name>'" ("" for an empty name), a long name shortened with "..." so that the text stays
// within 255 characters.
std::wstring progress_status(const std::wstring& name);

class wizard_front_end;

class progress_page : public wizard_page, public tk_thread {
 public:
  // front: the run's front end, whose commit the page holds while it asks whether to leave.
  explicit progress_page(wizard_front_end& front);
  ~progress_page() override;
  std::vector<pf::control> layout() const override;
  bool page_init() override;
  void on_timer() override;
  void on_help() override;
  bool on_cancel() override;

 protected:
  tk_thread_functor* create_functor() override;

 private:
  void wait_for_worker();

  wizard_front_end& front_;
  bool asking_ = false;
};

// Where the wizard's run reports: log lines to the page in front, the timer to the shell, errors through the
// error handler (its dialogs on the window thread). The error that ends a run is kept for the finish page; one
// that the console treats as fatal without being an internal error (the server lost) is reported as an error
// box, since the wizard goes on to say that the run failed.
class wizard_front_end : public rwf_front_end {
 public:
  void run_started() override;
  void progress(const std::wstring& line) override;
  // "Stored as table '<table>'" in the log.
  void stored_as(const std::wstring& name, const std::wstring& table) override;
  // Waits while the commit is held.
  void before_commit() override;
  void report(const tk_exception& e, bool may_return) override;

  // Holds the run before it writes its result (hold true) until released (hold false).
  void hold_commit(bool hold);

 private:
  std::mutex lock_;
  std::condition_variable released_;
  bool held_ = false;
};
