// A modal dialog built from a control table. Its buttons are controls like any other: the owner's handler gets
// their clicks and ends the dialog with end(result).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ui_controls.h"

namespace pf {

class dialog {
 public:
  // escape_command: the command Escape and the close box send to the handler (as a click of that id); 0 means
  // they do nothing.
  dialog(const std::vector<control>& table, int escape_command);
  ~dialog();
  dialog(const dialog&) = delete;
  dialog& operator=(const dialog&) = delete;

  controls& ctl();
  void set_caption(const std::wstring& caption);
  // Shows the dialog over the window the user works in and returns the result given to end(). on_init runs
  // before the dialog appears.
  int run_modal(const std::function<void()>& on_init);
  void end(int result);

 private:
  struct impl;
  std::unique_ptr<impl> body_;
};

}  // namespace pf
