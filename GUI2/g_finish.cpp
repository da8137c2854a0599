// Welcome and finish pages (see g_finish.h).
#include "GUI2/g_finish.h"

#include "GUI2/g_f_dlg.h"
#include "GUI2/g_wiz_sh.h"
#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "converter/rwf_conv.h"
#include "platform/system/files.h"

namespace {

// "Tables converted: <t>, rows written: <r>, record errors: <e>".
std::wstring finish_summary(uint32_t tables, uint64_t rows, uint64_t record_errors) {
  return L"Tables converted: " + std::to_wstring(tables) + L", rows written: " + std::to_wstring(rows) +
         L", record errors: " + std::to_wstring(record_errors);
}

// Why the run failed (or that it was aborted, when no error ended it), then the Finish line.
std::wstring finish_failure_text(const std::string& why) {
  std::wstring reason = why.empty() ? L"The conversion was aborted; the destination file was left as it was."
                                    : L"The conversion failed: " + tk_utf8_to_unicode(why);
  if (reason.back() != L'.') reason += L'.';
  return reason + L"\nClick 'Finish' to exit the wizard.";
}

}  // namespace

const char* const maker_web_address = "https://www.larkspur-data.example/";

bool wizard_load_profile(const std::wstring& path) {
  // A folder would read as an empty profile and quietly leave the old settings in force.
  if (sys_stat_kind(tk_to_utf8(path)) == sys_path_kind::folder) return false;
  return rowferry_convertor::instance().load_profile_file(path);
}

pf::filter_list profile_filter(const std::wstring& extension, unsigned line) {
  if (extension.size() < 3 || extension.size() > 4) throw tk_mail_assertion("..\\GUI2/g_finish", line);
  return {{L"Profile Files (." + extension + L")", L"*." + extension}, {L"All Files (*.*)", L"*.*"}};
}

welcome_page::welcome_page(const std::wstring& profile_extension)
    : wizard_page(103, wiz_next_button), extension_(profile_extension) {}

std::vector<pf::control> welcome_page::layout() const {
  return {{1337, pf::kind::title, L"Welcome to Tabletide\nConversion Wizard\n", 0, 0, 2},
          {-1, pf::kind::label, L"This wizard helps you convert MySQL database into", 1, 0, 2},
          {-1, pf::kind::label, L"MS Access format. Click 'Next' to continue.", 2, 0, 2},
          {1115, pf::kind::button, L"&Load Settings...", 3, 0},
          {1320, pf::kind::link, L"Larkspur Data", 4, 0}};
}

bool welcome_page::page_init() {
  tk_trace(1, "welcome_page::page_init");
  ctl().set_title_font(1337);
  if (!link_made_) {
    ctl().set_link(1320, maker_web_address, L"Larkspur Data");
    link_made_ = true;
  }
  return true;
}

void welcome_page::on_help() { wizard_shell::instance().display_help(1011); }

void welcome_page::on_command(int id, pf::notify what) {
  if (id == 1115 && what == pf::notify::clicked) on_load();
}

void welcome_page::on_load() {
  tk_trace_w(1, L"welcome_page_t::on_load(%s)", extension_.c_str());
  pf::filter_list filter = profile_filter(extension_, 266);
  try {
    std::optional<std::wstring> path = open_file_dialog(filter, L"Select Profile", L"");
    if (path && !wizard_load_profile(*path))
      wizard_shell::instance().error(L"Cannot load the profile: " + *path);
  } catch (const tk_exception& e) {
    error_handler::instance().handle(e, false);
  }
}

gui_finish_page::gui_finish_page(const std::wstring& success_text, const std::wstring& error_text,
                                 const std::wstring& profile_extension)
    : wizard_page(116, wiz_finish_button),
      success_(success_text),
      error_(error_text),
      extension_(profile_extension) {}

std::vector<pf::control> gui_finish_page::layout() const {
  return {{1313, pf::kind::title, L"Conversion is Completed", 0, 0, 2},
          {1314, pf::kind::label, L"", 1, 0, 2},
          {1315, pf::kind::label, L"", 2, 0, 2},
          {1016, pf::kind::wrapping_multiline, L"", 3, 0, 2, 0, true},
          {1116, pf::kind::button, L"&Save Settings...", 4, 0}};
}

bool gui_finish_page::page_init() {
  tk_trace(1, "gui_finish_page::page_init");
  ctl().set_title_font(1313);
  wizard_shell& shell = wizard_shell::instance();
  shell.enable_button(pf::button_cancel, false);
  shell.enable_button(pf::button_help, false);
  const rowferry_convertor& conv = rowferry_convertor::instance();
  // A run that could not finish says so, and why, whatever else it reported.
  const bool failed = !conv.completed();
  ctl().set_text(1313, failed ? L"Conversion Failed" : L"Conversion is Completed");
  ctl().set_text(1315, finish_summary(conv.tables_converted.load(), conv.records_written.load(),
                                      conv.record_errors.load()));
  const std::vector<std::string> errors = shell.errors();
  if (!errors.empty()) {
    tk_trace(1, "Display errors");
    ctl().set_text(1314, error_);
    show_ctrl(1016, true);
    ctl().set_text(1016, L"");
    for (std::string text : errors) {
      for (char& c : text)
        if (c == '\n') c = ' ';
      ctl().edit_append(1016, tk_utf8_to_unicode(text) + L"\r\n\r\n");
    }
    if (const std::size_t more = shell.unlisted_errors())
      ctl().edit_append(1016, L"\u2026 and " + std::to_wstring(more) + L" more\r\n");
    ctl().edit_set_readonly(1016, true);
  } else {
    tk_trace(1, "Display success-message");
    ctl().set_text(1314, success_);
  }
  if (failed) ctl().set_text(1314, finish_failure_text(shell.run_failure()));
  return true;
}

void gui_finish_page::on_command(int id, pf::notify what) {
  if (id == 1116 && what == pf::notify::clicked) on_store();
  if (id == 1016 && what == pf::notify::setfocus && first_focus_) {
    tk_trace(1, "gui_finish_page::on_eb_focus");
    first_focus_ = false;
    ctl().edit_select_none(1016);
    wizard_shell::instance().sheet().focus_button(pf::button_finish);
  }
}

void gui_finish_page::on_store() {
  tk_trace_w(1, L"gui_finish_page_t::on_store(%s)", extension_.c_str());
  pf::filter_list filter = profile_filter(extension_, 141);
  std::optional<std::wstring> path = save_file_dialog(filter, L"Select Profile", L"", extension_);
  if (!path) return;
  // A failure is reported in a box of its own: the run's error list and its do-not-show setting stay as they are.
  bool stored = false;
  try {
    stored = rowferry_convertor::instance().store_profile_file(*path);
  } catch (const tk_exception& e) {
    wizard_shell::instance().error(std::string(e.what()));
    return;
  }
  if (!stored) wizard_shell::instance().error(L"Cannot save the profile: " + *path);
}
