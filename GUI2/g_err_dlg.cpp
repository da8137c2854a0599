// Dialogs 114 and 115 and the error handler's user interface (see g_err_dlg.h).
#include "GUI2/g_err_dlg.h"

#include <cstdio>

#include "GUI2/g_wiz_sh.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "platform/ui/ui_app.h"
#include "platform/ui/ui_dialog.h"

namespace {

std::wstring error_caption() {
  return wizard_shell::is_initialized() ? wizard_shell::instance().title() + L" Error" : std::wstring(L"Error");
}

}  // namespace

bool wizard_error_ui::is_initialized() const { return wizard_shell::is_initialized(); }

std::wstring wizard_error_ui::window_title() const {
  return wizard_shell::exists() ? wizard_shell::instance().title() : std::wstring();
}

std::size_t wizard_error_ui::error_count() const {
  return wizard_shell::exists() ? wizard_shell::instance().errors().size() : 0;
}

void wizard_error_ui::add_error(const std::wstring& text) {
  if (wizard_shell::exists()) wizard_shell::instance().add_error(tk_to_utf8(text));
}

void wizard_error_ui::unlisted_error() {
  if (wizard_shell::exists()) wizard_shell::instance().add_unlisted_error();
}

void wizard_error_ui::error(const std::wstring& text) {
  if (wizard_shell::exists()) wizard_shell::instance().error(text);
  else shell_box_error(text);
}

void wizard_error_ui::display_help(uint32_t topic) {
  if (wizard_shell::exists()) wizard_shell::instance().display_help(topic);
}

int wizard_error_ui::internal_error_dialog(const std::wstring& text) {
  // The report also goes to standard error, where it outlives the window.
  std::fprintf(stderr, "%s\n", tk_to_utf8(text).c_str());
  int result = tk_dlg_ok;
  pf::run_on_ui([&] {
    tk_trace(1, "dlg_error_ex::on_init");
    pf::dialog d({{-1, pf::kind::icon_error, L"", 0, 0},
                  {1320, pf::kind::label, text, 0, 1, 3},
                  {1112, pf::kind::default_button, L"Send bug", 1, 1},
                  {1, pf::kind::button, L"OK", 1, 2},
                  {1108, pf::kind::button, L"Copy to clipboard", 1, 3}},
                 0);
    d.set_caption(error_caption());
    d.ctl().set_handler([&](int id, pf::notify what) {
      if (what == pf::notify::clicked) d.end(id);
    });
    result = d.run_modal(nullptr);
  });
  return result;
}

int wizard_error_ui::continue_dialog(const std::wstring& text, bool& do_not_show_again) {
  if (pf::closing()) return tk_dlg_abort;
  int result = tk_dlg_continue;
  pf::run_on_ui([&] {
    tk_trace(1, "dlg_error_continue::on_init");
    pf::dialog d({{-1, pf::kind::icon_error, L"", 0, 0},
                  {1320, pf::kind::label, text, 0, 1, 2},
                  {1222, pf::kind::check, L"&Do not show this dialog box again", 1, 1, 2},
                  {2, pf::kind::default_button, L"Continue", 2, 1},
                  {1, pf::kind::button, L"Abort", 2, 2}},
                 2);
    d.set_caption(error_caption());
    d.ctl().set_handler([&](int id, pf::notify what) {
      if (what != pf::notify::clicked) return;
      if (id == 1222) d.ctl().set_checked(1222, !d.ctl().is_checked(1222));
      else d.end(id);
    });
    result = d.run_modal(nullptr);
    do_not_show_again = d.ctl().is_checked(1222);
    if (result != tk_dlg_abort) result = tk_dlg_continue;
  });
  return result;
}
