// The MySQL connection page (see rwf_sqlpg.h).
#include "GUI2/rwf_sqlpg.h"

#include "GUI2/g_wiz_sh.h"
#include "SQL/sql_engi.h"
#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "converter/rwf_conv.h"
#include "platform/ui/ui_app.h"

namespace {
// Every text of the page is read with at most this many characters, so the edits take no more.
constexpr int text_limit = 259;
constexpr uint32_t help_page = 1010;
constexpr uint32_t help_auth = 1014;
}  // namespace

sql_settings_page2::sql_settings_page2() : wizard_page(123, wiz_back_button | wiz_next_button) {}

sql_settings_page2::~sql_settings_page2() {
  if (thread_.joinable()) thread_.join();
}

void sql_settings_page2::connect_waiting() {
  if (thread_.joinable()) thread_.join();
  auto state = std::make_shared<attempt>();
  rowferry_convertor& conv = rowferry_convertor::instance();
  thread_ = std::thread([state, &conv] {
    try {
      conv.connect_mysql_server();
    } catch (...) {
      state->failure = std::current_exception();
    }
    state->finished.store(true, std::memory_order_release);
  });
  // Nothing on the page changes while the settings it stored are in use; Cancel and Help stay.
  static const int inputs[] = {1329, 1330, 1012, 1013, 1014, 1015};
  std::vector<bool> enabled;
  for (int id : inputs) {
    enabled.push_back(ctl().is_enabled(id));
    ctl().enable(id, false);
  }
  pf::sheet& sheet = wizard_shell::instance().sheet();
  sheet.set_wizard_buttons(0);
  connecting_ = true;
  pf::wait_busy([&] { return state->finished.load(std::memory_order_acquire) || abandoned_; });
  connecting_ = false;
  if (abandoned_) throw tk_final_exception();
  sheet.set_wizard_buttons(wiz_back_button | wiz_next_button);
  for (std::size_t i = 0; i < enabled.size(); ++i) ctl().enable(inputs[i], enabled[i]);
  if (state->failure) std::rethrow_exception(state->failure);
}

bool sql_settings_page2::on_cancel() {
  if (!wizard_page::on_cancel()) return false;
  if (connecting_) {
    abandoned_ = true;
    // The attempt itself is given up too, so that the window and the process end together.
    rowferry_convertor::instance().abandon_source();
  }
  return true;
}

std::vector<pf::control> sql_settings_page2::layout() const {
  return {{-1, pf::kind::group, L" Access mode ", 0, 0, 3},
          {1329, pf::kind::radio, L"&Local", 1, 0},
          {1330, pf::kind::radio, L"&Remote", 1, 1},
          {-1, pf::kind::label, L"&User name:", 2, 0},
          {1012, pf::kind::edit, L"", 2, 1, 1, text_limit},
          {-1, pf::kind::label, L"User pa&ssword:", 3, 0},
          {1013, pf::kind::password, L"", 3, 1, 1, text_limit},
          {-1, pf::kind::label, L"H&ost:", 4, 0},
          {1014, pf::kind::edit, L"", 4, 1, 1, text_limit},
          {-1, pf::kind::label, L"(it could be network name or IP address)", 4, 2},
          {-1, pf::kind::label, L"&Port:", 5, 0},
          {1015, pf::kind::edit, L"", 5, 1, 1, text_limit},
          {-1, pf::kind::label, L"(default MySQL port is 3306)", 5, 2}};
}

bool sql_settings_page2::page_init() {
  tk_trace(1, "sql_settings_page2::page_init");
  rowferry_convertor& conv = rowferry_convertor::instance();
  ctl().set_text(1012, tk_utf8_to_unicode(conv.user));
  ctl().set_text(1013, tk_utf8_to_unicode(conv.password));
  if (conv.host.empty()) {
    ctl().set_checked(1329, true);
    enable_ctrl(1014, false);
    enable_ctrl(1015, false);
  } else {
    ctl().set_checked(1330, true);
    enable_ctrl(1014, true, true);
    enable_ctrl(1015, true, true);
    ctl().set_text(1014, tk_utf8_to_unicode(conv.host));
    ctl().set_text(1015, tk_utf8_to_unicode(conv.port));
  }
  return true;
}

void sql_settings_page2::on_command(int id, pf::notify what) {
  if (what != pf::notify::clicked) return;
  if (id == 1329) {
    enable_ctrl(1014, false);
    enable_ctrl(1015, false);
  } else if (id == 1330) {
    enable_ctrl(1014, true, true);
    enable_ctrl(1015, true, true);
  }
}

void sql_settings_page2::store_settings() {
  tk_trace(1, "sql_settings_page2::store_settings");
  std::string host;
  std::string port = "3306";
  if (ctl().is_checked(1330)) {
    host = tk_to_utf8(ctl().text(1014));
    port = tk_to_utf8(ctl().text(1015));
  }
  rowferry_convertor::instance().store_mysql_settings(host, tk_to_utf8(ctl().text(1012)), tk_to_utf8(ctl().text(1013)),
                                                      port);
}

int sql_settings_page2::on_back() {
  store_settings();
  return 0;
}

int sql_settings_page2::on_next() {
  tk_trace(1, "sql_settings_page2::on_next");
  store_settings();
  wizard_shell& shell = wizard_shell::instance();
  // The port box takes what the console's --port takes: a plain number from 1 to 65535 (empty means 3306).
  const std::string port = tk_to_utf8(ctl().text(1015));
  if (ctl().is_checked(1330) && !port.empty() && tk_small_number(port, 65535) < 1) {
    shell.error(tk_format("Invalid port number: '%s'", port.c_str()));
    ctl().focus(1015);
    return -1;
  }
  try {
    connect_waiting();
  } catch (const tk_final_exception&) {
    return -1;  // the user left the wizard while it connected
  } catch (const sql_auth_not_supported_exception& e) {
    shell.error(std::string(e.what()));
    shell.display_help(help_auth);
    return -1;
  } catch (const tk_exception& e) {
    const std::string mapped = tk_error_converter(tk_mysql_error_count, tk_mysql_error_table).convert(e.code);
    shell.error(mapped.empty() ? std::string(e.what()) : mapped);
    const int low = e.code & 0xFFFF;
    if (low == 1249 || low == 1250) shell.display_help(help_auth);
    return -1;
  }
  return 0;
}

void sql_settings_page2::on_help() { wizard_shell::instance().display_help(help_page); }
