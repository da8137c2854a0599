// The wizard's window and the one place through which the program talks to the user: error, information and
// question boxes, help pages, the log box of the page in front, the progress timer and the list of errors the
// last page shows.
//
// The conversion runs on a worker thread and reaches the user through this shell too: every box, log line and
// timer request is carried over to the window thread, and the worker waits for it. Once the user has decided to
// leave during a run (pf::closing), boxes asked for by the worker are not shown: an error is dropped, a question
// answers No.
//
// Captions: the title plus " Error", " Message", " Question" once the first page has been shown (the shell is
// initialised); before that "Error", "Message", "Question", in boxes that have no owner window.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "TK/tk_singl.h"
#include "platform/ui/ui_sheet.h"

class wizard_page;

class wizard_shell : public tk_singleton<wizard_shell> {
 public:
  wizard_shell(const std::wstring& title, int icon_id, int watermark_id, int header_id);
  ~wizard_shell();

  pf::sheet& sheet() { return sheet_; }
  const std::wstring& title() const { return title_; }

  // Puts the title and the icon on the window, once; every page calls it when it becomes active. An icon id of 0
  // (or one the program has no icon for) leaves the window without one.
  void initialize_if();
  // True when a shell exists and is initialised.
  static bool is_initialized();

  void error(const std::wstring& text);
  void error(const std::string& text);
  void message(const std::wstring& text);
  // Yes/No; No is the default answer when default_no is set. True for Yes.
  bool question(const std::wstring& text, bool default_no = true);

  // Opens the help page of the topic in the user's browser; topic 0 opens the help's first page. A program
  // without its help pages shows "Help file does not exist. Reinstall the program."; where no browser can be
  // started, a box names the help page's path.
  void display_help(uint32_t topic);
  void display_help();

  // Appends text to the log box (control 1016) of the page in front.
  void write_log(const std::wstring& text);

  // The progress timer: ticks go to the page in front. A second start while it runs is an internal error.
  void set_timer(int interval_ms);
  void kill_timer();

  void enable_button(int id, bool on);

  void set_active_page(wizard_page* page) { active_page_ = page; }

  // The errors of the run, at most 20, each with its line feeds made blanks, and how many more there were.
  std::vector<std::string> errors() const;
  void add_error(const std::string& text);
  std::size_t unlisted_errors() const;
  void add_unlisted_error();
  // The error that ended the run ("" when none did).
  std::string run_failure() const;
  void set_run_failure(const std::string& text);
  // Forgets the errors, their count and the failure: a new run starts.
  void clear_errors();

 private:
  pf::sheet sheet_;
  int icon_id_;
  std::wstring title_;
  bool initialized_ = false;
  bool timer_running_ = false;
  wizard_page* active_page_ = nullptr;
  mutable std::mutex errors_lock_;
  std::vector<std::string> errors_;
  std::size_t unlisted_ = 0;
  std::string failure_;
};

// Boxes that work with or without a shell (start-up reports errors before the wizard exists).
void shell_box_error(const std::wstring& text);
