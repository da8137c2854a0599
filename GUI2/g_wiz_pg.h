// The template of every wizard page: what the sheet tells a page becomes a few virtual operations with defaults,
// and every page gets the same behaviour on activation (its buttons, the shell initialised, the page recorded as
// the one in front) and on Cancel (the question "Are you sure you want to exit the wizard?", No by default).
//
// Nothing thrown by a page leaves it into the window system: a tk_exception is reported by the error handler, any
// other exception's text shown in an error box, and the notification then answers as refused.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/ui_controls.h"
#include "platform/ui/ui_sheet.h"

// Wizard-button flags of a page.
constexpr int wiz_back_button = 1;
constexpr int wiz_next_button = 2;
constexpr int wiz_finish_button = 4;

class wizard_page : public pf::page_events {
 public:
  // dialog_id: the page's dialog; buttons: the wizard buttons it enables when it becomes active.
  wizard_page(int dialog_id, int buttons);
  ~wizard_page() override;

  // The page's controls, in a grid.
  virtual std::vector<pf::control> layout() const = 0;

  // Puts the page on the sheet.
  void attach(pf::sheet& sheet, const pf::page_style& style);
  pf::controls& ctl() { return *controls_; }
  bool has_control(int id) const { return controls_ != nullptr && controls_->has(id); }
  int dialog_id() const { return dialog_id_; }

  // The page's operations; defaults in brackets.
  virtual bool page_init();         // the page has become active [true]
  virtual bool on_kill_active();    // the page is about to be left for another; false keeps it [true]
  virtual bool on_finish();         // Finish [true: close]
  virtual void on_help();           // Help or F1 [nothing]
  virtual int on_next();            // Next: 0 on, -1 stay [0]
  virtual int on_back();            // Back: 0 back, -1 stay [0]
  virtual bool on_cancel();         // Cancel or close [the question]
  virtual void on_command(int id, pf::notify what);  // a control was used [nothing]
  virtual void on_timer();          // the shell's timer [nothing]

  void invert_chbox(int id);
  // Enabling with focus moves the keyboard focus to the control.
  void enable_ctrl(int id, bool on, bool focus = false);
  void show_ctrl(int id, bool on);

 private:
  bool set_active() override;
  int wiz_next() override;
  int wiz_back() override;
  bool kill_active() override;
  bool wiz_finish() override;
  bool query_cancel() override;
  void help() override;
  void timer() override;
  void command(int id, pf::notify what) override;

  int dialog_id_;
  int buttons_;
  pf::controls* controls_ = nullptr;
};

// Runs body, turning what it throws into a report (see above); fallback is the answer after an exception.
template <class T, class F>
T page_guard(T fallback, F&& body);
void page_report_current_exception();

template <class T, class F>
T page_guard(T fallback, F&& body) {
  try {
    return body();
  } catch (...) {
    page_report_current_exception();
    return fallback;
  }
}
