// The page template (see g_wiz_pg.h).
#include "GUI2/g_wiz_pg.h"

#include "GUI2/g_wiz_sh.h"
#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"

void page_report_current_exception() {
  try {
    throw;
  } catch (const tk_final_exception&) {
    // The user chose Abort: already answered.
  } catch (const tk_exception& e) {
    if (error_handler::exists()) error_handler::instance().handle(e, true);
    else shell_box_error(tk_utf8_to_unicode(e.what()));
  } catch (const std::exception& e) {
    shell_box_error(tk_utf8_to_unicode(e.what()));
  }
}

wizard_page::wizard_page(int dialog_id, int buttons) : dialog_id_(dialog_id), buttons_(buttons) {}

wizard_page::~wizard_page() { tk_trace(1, "wizard_page::dtor"); }

void wizard_page::attach(pf::sheet& sheet, const pf::page_style& style) {
  controls_ = &sheet.add_page(dialog_id_, layout(), style, this);
}

bool wizard_page::page_init() { return true; }
bool wizard_page::on_kill_active() { return true; }
bool wizard_page::on_finish() { return true; }
void wizard_page::on_help() {}
int wizard_page::on_next() { return 0; }
int wizard_page::on_back() { return 0; }
void wizard_page::on_command(int, pf::notify) {}
void wizard_page::on_timer() {}

bool wizard_page::on_cancel() {
  tk_trace(1, "wizard_page::on_cancel");
  return wizard_shell::instance().question(L"Are you sure you want to exit the wizard?", true);
}

void wizard_page::invert_chbox(int id) {
  tk_trace(1, "wizard_page::invert_chbox(%d)", id);
  if (!has_control(id)) throw tk_mail_assertion("..\\GUI2/g_wiz_pg", 127);
  ctl().set_checked(id, !ctl().is_checked(id));
}

void wizard_page::enable_ctrl(int id, bool on, bool focus) {
  tk_trace(1, "wizard_page::enable_ctrl(%d=%d)", id, on ? 1 : 0);
  ctl().enable(id, on);
  if (on && focus) ctl().focus(id);
}

void wizard_page::show_ctrl(int id, bool on) {
  tk_trace(1, "wizard_page::show_ctrl(%d=%d)", id, on ? 1 : 0);
  ctl().show(id, on);
}

bool wizard_page::set_active() {
  tk_trace(1, "wizard_page::OnSetActive");
  return page_guard(false, [&] {
    wizard_shell& shell = wizard_shell::instance();
    shell.sheet().set_wizard_buttons(buttons_);
    shell.initialize_if();
    shell.set_active_page(this);
    return page_init();
  });
}

int wizard_page::wiz_next() {
  return page_guard(-1, [&] { return on_next(); });
}
int wizard_page::wiz_back() {
  return page_guard(-1, [&] { return on_back(); });
}
bool wizard_page::kill_active() {
  tk_trace(1, "wizard_page::OnKillActive");
  return page_guard(false, [&] { return on_kill_active(); });
}
bool wizard_page::wiz_finish() {
  return page_guard(false, [&] { return on_finish(); });
}
bool wizard_page::query_cancel() {
  return page_guard(false, [&] { return on_cancel(); });
}
void wizard_page::help() {
  page_guard(0, [&] {
    on_help();
    return 0;
  });
}
void wizard_page::timer() {
  page_guard(0, [&] {
    on_timer();
    return 0;
  });
}
void wizard_page::command(int id, pf::notify what) {
  page_guard(0, [&] {
    on_command(id, what);
    return 0;
  });
}
