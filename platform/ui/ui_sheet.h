// The wizard window: pages shown one after the other in the order they were added, with Back, Next, Finish,
// Cancel and Help below them.
//
// The sheet tells the page object of the current page what happens; the page decides:
// - set_active: the page has become current (after Next, Back or a jump). false refuses: the sheet returns to the
//   page it came from.
// - wiz_next / wiz_back: 0 moves on, -1 stays. Back is asked before the sheet moves back.
// - kill_active: the page is about to be left for another (after wiz_next or wiz_back allowed it, or before a jump
//   by select_page); false keeps it in front. Finish and Cancel do not ask it.
// - wiz_finish: true closes the sheet with result 1.
// - query_cancel: Cancel, Escape or the close box; true closes the sheet with result 0. While the Cancel button
//   is disabled, Escape and the close box do nothing.
// - help: the Help button and F1.
// - timer: each tick of the sheet's timer.
// - command: a user action on one of the page's controls.
//
// Button ids: 2 Cancel, 9 Help, 12323 Back, 12324 Next, 12325 Finish. Wizard-button flags: 1 Back, 2 Next, 4 Finish.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ui_controls.h"

namespace pf {

class page_events {
 public:
  virtual ~page_events();
  virtual bool set_active() = 0;
  virtual int wiz_next() = 0;
  virtual int wiz_back() = 0;
  virtual bool kill_active() = 0;
  virtual bool wiz_finish() = 0;
  virtual bool query_cancel() = 0;
  virtual void help() = 0;
  virtual void timer() = 0;
  virtual void command(int id, notify what) = 0;
};

struct page_style {
  bool hide_header = false;  // a welcome or closing page: the side picture (its whole height) instead of a title
  bool has_help = false;     // the Help button is usable on this page
  std::wstring title;        // header title and subtitle of the other pages
  std::wstring subtitle;
};

constexpr int button_cancel = 2;
constexpr int button_help = 9;
constexpr int button_back = 12323;
constexpr int button_next = 12324;
constexpr int button_finish = 12325;

// The program's icon, as the wizard's shell names it; 0 is no icon.
constexpr int icon_program = 501;

class sheet {
 public:
  sheet();
  ~sheet();
  sheet(const sheet&) = delete;
  sheet& operator=(const sheet&) = delete;

  // Adds a page built from the table; events must outlive the sheet's run.
  controls& add_page(int dialog_id, const std::vector<control>& table, const page_style& style, page_events* events);

  // Shows the sheet modally from its first page: 1 after Finish, 0 after Cancel.
  int run_modal();
  // Closes the sheet as Cancel would, without asking.
  void close();
  bool is_running() const;

  void set_caption(const std::wstring& caption);
  std::wstring caption() const;
  // Puts the icon of that id on the window (at the desktop's large-icon size); an id the program has no icon for,
  // as 0, leaves the window without one.
  void set_icon(int icon_id);
  void center();
  void set_wizard_buttons(int flags);
  void enable_button(int id, bool on);
  void focus_button(int id);
  // Makes the page of that dialog id the current one, unless the page in front refuses to be left.
  void select_page(int dialog_id);
  int current_page() const;  // dialog id, -1 when none

  void start_timer(int interval_ms);
  void stop_timer();

 private:
  struct impl;
  std::unique_ptr<impl> body_;
};

}  // namespace pf
