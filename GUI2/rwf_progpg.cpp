// The progress page and the wizard's front end of the run (see rwf_progpg.h).
#include "GUI2/rwf_progpg.h"

#include "GUI2/g_wiz_sh.h"
#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "converter/rwf_conv.h"
#include "platform/ui/ui_app.h"

namespace {
constexpr int log_limit = 1000000;
constexpr int status_limit = 255;
// How long Cancel waits for the run to reach a point where it can stop.
constexpr int stop_wait_ms = 60000;
}  // namespace

int progress_percent(uint32_t total, uint32_t done, uint64_t records_total, uint64_t records_done) {
  if (total == 0) return 0;
  uint32_t percent = done * 100u / total;
  if (records_total != 0) percent += static_cast<uint32_t>((records_done * 100u / records_total) / total);
  return static_cast<int>(percent);
}

std::wstring progress_status(const std::wstring& name) {
  if (name.empty()) return {};
  std::wstring text = L"Processing table '" + name + L"'";
  if (text.size() > status_limit) {
    const std::size_t keep = status_limit - std::wstring(L"Processing table '...'").size();
    text = L"Processing table '" + name.substr(0, keep) + L"...'";
  }
  return text;
}

progress_page::progress_page(wizard_front_end& front)
    : wizard_page(106, wiz_back_button | wiz_next_button), tk_thread(0), front_(front) {}

progress_page::~progress_page() = default;

std::vector<pf::control> progress_page::layout() const {
  return {{-1, pf::kind::label, L"Database conversion is in progress. Please wait until the wizard completes", 0, 0},
          {-1, pf::kind::label, L"converting your MySQL database into MS Access format.", 1, 0},
          {1321, pf::kind::progress, L"", 2, 0},
          {1323, pf::kind::elided, L"", 3, 0},
          {1016, pf::kind::multiline, L"", 4, 0}};
}

tk_thread_functor* progress_page::create_functor() { return &rowferry_convertor::instance(); }

bool progress_page::page_init() {
  tk_trace(1, "progress_page::page_init");
  wizard_shell& shell = wizard_shell::instance();
  shell.sheet().set_wizard_buttons(0);
  ctl().set_progress(1321, 0);
  ctl().set_text(1016, L"");
  ctl().edit_set_limit(1016, log_limit);
  ctl().edit_set_readonly(1016, true);
  // The finish page lists the errors of this run only.
  shell.clear_errors();
  start();
  return true;
}

void progress_page::on_timer() {
  if (!rowferry_convertor::exists()) throw tk_mail_assertion("rwf_shel", 378);
  rowferry_convertor& conv = rowferry_convertor::instance();
  ctl().set_progress(1321, progress_percent(conv.tables_total.load(), conv.current_table.load(),
                                            conv.records_total.load(), conv.current_record.load()));
  const bool done = conv.is_done();
  ctl().set_text(1323, progress_status(conv.current_name()));
  // A run that ended while the user is asked whether to leave is shown once the question is answered.
  if (done && !asking_) {
    wizard_shell::instance().kill_timer();
    wait_for_worker();
    wizard_shell::instance().sheet().select_page(116);
  }
}

void progress_page::wait_for_worker() {
  pf::wait_until([this] { return !is_running(); }, stop_wait_ms);
  if (!is_running()) close();
}

void progress_page::on_help() { wizard_shell::instance().display_help(); }

bool progress_page::on_cancel() {
  front_.hold_commit(true);
  asking_ = true;
  bool leave = false;
  try {
    leave = wizard_page::on_cancel();
  } catch (...) {
    asking_ = false;
    front_.hold_commit(false);
    throw;
  }
  asking_ = false;
  const bool running = is_running();
  if (leave && running) {
    pf::set_closing(true);
    rowferry_convertor::instance().stop_now();
  }
  // The run goes on: to its end after No, to its stop after Yes.
  front_.hold_commit(false);
  if (!leave) return false;
  if (running) wait_for_worker();
  wizard_shell::instance().kill_timer();
  return true;
}

void wizard_front_end::run_started() {
  try {
    wizard_shell::instance().set_timer(200);
  } catch (const tk_exception& e) {
    error_handler::instance().handle(e, false);
  }
}

void wizard_front_end::progress(const std::wstring& line) { wizard_shell::instance().write_log(line + L"\r\n"); }

void wizard_front_end::stored_as(const std::wstring&, const std::wstring& table) {
  progress(L"Stored as table '" + table + L"'");
}

void wizard_front_end::hold_commit(bool hold) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    held_ = hold;
  }
  released_.notify_all();
}

void wizard_front_end::before_commit() {
  std::unique_lock<std::mutex> guard(lock_);
  released_.wait(guard, [this] { return !held_; });
}

void wizard_front_end::report(const tk_exception& e, bool may_return) {
  error_handler& handler = error_handler::instance();
  if (may_return && wizard_shell::exists()) {
    // The error that ended the run: the finish page says why the run failed.
    std::string why = handler.compose(e);
    for (char& c : why)
      if (c == '\n') c = ' ';
    wizard_shell::instance().set_run_failure(why);
  }
  if (tk_effective_level(e.level) == 2 && dynamic_cast<const tk_mail_assertion*>(&e) == nullptr) {
    tk_exception shown = e;
    shown.level = 1;
    handler.handle(shown, may_return);
    return;
  }
  handler.handle(e, may_return);
}
