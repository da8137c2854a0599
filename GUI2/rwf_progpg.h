// The progress page (106, "Step 4 of 4"): entering it starts the conversion on a worker thread; every tick of the
// shell's timer (started by the run) shows the percentage done and the item being converted, and the tick that
// sees the run done moves on to the finish page. The run's log lines arrive in the page's log box.
//
// Cancel during the run asks the usual question; Yes asks the run to stop at its next record or table, waits for
// it while the window stays responsive (boxes the run asks for meanwhile are not shown), and then closes the
// wizard. The worker is never killed: the destination is left as after any stopped run.
#pragma once

#include <cstdint>
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

class progress_page : public wizard_page, public tk_thread {
 public:
  progress_page();
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
};

// Where the wizard's run reports: log lines to the page in front, the timer to the shell, errors through the
// error handler (its dialogs on the window thread).
class wizard_front_end : public rwf_front_end {
 public:
  void run_started() override;
  void progress(const std::wstring& line) override;
};
