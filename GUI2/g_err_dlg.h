// The wizard's side of the error handler: the internal-error dialog (114), the Continue/Abort dialog (115), and
// the error box and error list, all reached from whichever thread the error was caught on and shown on the
// window thread, over the window in front.
#pragma once

#include "TK/tk_errco.h"

class wizard_error_ui : public tk_error_ui {
 public:
  bool is_initialized() const override;
  std::wstring window_title() const override;
  std::size_t error_count() const override;
  void add_error(const std::wstring& text) override;
  void unlisted_error() override;
  void error(const std::wstring& text) override;
  void display_help(uint32_t topic) override;
  int internal_error_dialog(const std::wstring& text) override;
  int continue_dialog(const std::wstring& text, bool& do_not_show_again) override;
};
