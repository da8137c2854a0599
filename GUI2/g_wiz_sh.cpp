// The wizard shell (see g_wiz_sh.h).
#include "GUI2/g_wiz_sh.h"

#include "GUI2/g_wiz_pg.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "platform/ui/ui_app.h"
#include "platform/ui/ui_boxes.h"
#include "platform/ui/ui_desktop.h"

namespace {

int show_box(const std::wstring& text, const wchar_t* suffix, pf::icon kind, pf::buttons set, bool default_second) {
  if (pf::closing() && !pf::on_ui_thread()) return set == pf::buttons::yes_no ? pf::id_no : pf::id_ok;
  int answer = pf::id_ok;
  pf::run_on_ui([&] {
    const bool initialised = wizard_shell::is_initialized();
    const std::wstring caption = initialised ? wizard_shell::instance().title() + L" " + suffix : std::wstring(suffix);
    answer = pf::message_box(text, caption, kind, set, default_second, initialised);
  });
  return answer;
}

}  // namespace

void shell_box_error(const std::wstring& text) { show_box(text, L"Error", pf::icon::error, pf::buttons::ok, false); }

wizard_shell::wizard_shell(const std::wstring& title, int icon_id, int watermark_id, int header_id)
    : icon_id_(icon_id), title_(title) {
  tk_trace_w(1, L"wizard_shell::ctor(%s)", title.c_str());
}

wizard_shell::~wizard_shell() {
  tk_trace(1, "wizard_shell::dtor");
  kill_timer();
}

void wizard_shell::initialize_if() {
  tk_trace(1, "wizard_shell::initialize_if");
  if (initialized_) return;
  sheet_.set_caption(title_);
  sheet_.set_icon(icon_id_);
  sheet_.center();
  initialized_ = true;
}

bool wizard_shell::is_initialized() {
  tk_trace(1, "wizard_shell::is_initialized");
  if (!exists()) {
    tk_trace(1, "Before return false");
    return false;
  }
  tk_trace(1, "Singleton has been initialized");
  return instance().initialized_;
}

void wizard_shell::error(const std::wstring& text) {
  tk_trace_w(1, L"wizard_shell::error(%s)", text.c_str());
  show_box(text, L"Error", pf::icon::error, pf::buttons::ok, false);
  tk_trace_w(3, L"%s", text.c_str());
}

void wizard_shell::error(const std::string& text) { error(tk_utf8_to_unicode(text)); }

void wizard_shell::message(const std::wstring& text) {
  tk_trace_w(1, L"wizard_shell::message(%s)", text.c_str());
  show_box(text, L"Message", pf::icon::information, pf::buttons::ok, false);
}

bool wizard_shell::question(const std::wstring& text, bool default_no) {
  return show_box(text, L"Question", pf::icon::question, pf::buttons::yes_no, default_no) == pf::id_yes;
}

void wizard_shell::display_help(uint32_t topic) {
  tk_trace(1, "wizard_shell::display_help(%d)", static_cast<int>(topic));
  const std::string url = pf::help_url(topic);
  if (url.empty()) {
    error(std::wstring(L"Help file does not exist. Reinstall the program."));
    return;
  }
  bool opened = false;
  pf::run_on_ui([&] { opened = pf::open_url(url); });
  if (opened) return;
  // Without a browser the user can still open the page: say where it is.
  tk_trace(1, "No program opened %s", url.c_str());
  message(L"No web browser could be started to show the help. Open this page with a web browser:\n\n" +
          tk_utf8_to_unicode(pf::help_path(topic)));
}

void wizard_shell::display_help() {
  tk_trace(1, "wizard_shell::display_help");
  display_help(0);
}

void wizard_shell::write_log(const std::wstring& text) {
  tk_trace_w(1, L"wizard_shell::write_log(%s)", text.c_str());
  if (pf::closing() && !pf::on_ui_thread()) return;
  pf::run_on_ui([&] {
    if (active_page_ == nullptr) return;
    if (!active_page_->has_control(1016)) {
      tk_trace(1, "Editbox failed to be initialized");
      return;
    }
    active_page_->ctl().edit_append(1016, text);
  });
}

void wizard_shell::set_timer(int interval_ms) {
  pf::run_on_ui([&] {
    if (timer_running_) throw tk_mail_assertion("g_wiz_sh", 281);
    sheet_.start_timer(interval_ms);
    timer_running_ = true;
  });
}

void wizard_shell::kill_timer() {
  pf::run_on_ui([&] {
    if (!timer_running_) return;
    sheet_.stop_timer();
    timer_running_ = false;
  });
}

void wizard_shell::enable_button(int id, bool on) {
  tk_trace(1, "wizard_shell::enable_button(%08X)", static_cast<unsigned>(id));
  sheet_.enable_button(id, on);
}

std::vector<std::string> wizard_shell::errors() const {
  std::lock_guard<std::mutex> guard(errors_lock_);
  return errors_;
}

void wizard_shell::add_error(const std::string& text) {
  std::lock_guard<std::mutex> guard(errors_lock_);
  if (errors_.size() < 20) errors_.push_back(text);
}

std::size_t wizard_shell::unlisted_errors() const {
  std::lock_guard<std::mutex> guard(errors_lock_);
  return unlisted_;
}

void wizard_shell::add_unlisted_error() {
  std::lock_guard<std::mutex> guard(errors_lock_);
  ++unlisted_;
}

std::string wizard_shell::run_failure() const {
  std::lock_guard<std::mutex> guard(errors_lock_);
  return failure_;
}

void wizard_shell::set_run_failure(const std::string& text) {
  std::lock_guard<std::mutex> guard(errors_lock_);
  failure_ = text;
}

void wizard_shell::clear_errors() {
  std::lock_guard<std::mutex> guard(errors_lock_);
  errors_.clear();
  unlisted_ = 0;
  failure_.clear();
}
