// Console reporting; see rwf_report.h.
#include "console/rwf_report.h"

#include <algorithm>

#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "console/rwf_exit.h"
#include "converter/rwf_conv.h"

namespace {

bool silent() { return rowferry_convertor::exists() && rowferry_convertor::instance().is_silent(); }

}  // namespace

void rwf_report_error(const tk_exception& e) {
  tk_trace(2, "error_handler::handle");
  int level = tk_effective_level(e.level);
  if (level == 2) {
    tk_trace(3, "Internal error:\n%s", e.what());
    rwf_write_line(rwf_console().out, std::string("Internal error: ") + e.what());
    throw rwf_exit{rwf_exit_failure};
  }
  std::string text = error_handler::exists() ? error_handler::instance().compose(e) : std::string(e.what());
  tk_trace(3, "Error:\n%s", text.c_str());
  std::replace(text.begin(), text.end(), '\n', ' ');
  bool quiet = error_handler::exists() && error_handler::instance().do_not_show_again();
  if (!quiet) rwf_write_line(rwf_console().out, "Error:\n" + text);
  if (level == 1) {
    tk_trace(1, "Got 1-level error");
    throw rwf_exit{rwf_exit_failure};
  }
  tk_trace(1, "Got 0-level error");
}

void console_front_end::progress(const std::wstring& line) {
  if (!silent()) rwf_write_line(rwf_console().out, tk_to_utf8(line));
}

bool console_front_end::shows_progress() const { return !silent(); }

void console_front_end::missing_table(const std::wstring& name, bool is_view) {
  if (!silent()) rwf_write_line(rwf_console().err, rwf_missing_table_text(name, is_view));
}

bool console_front_end::convert_all_when_empty() const { return true; }

void console_front_end::report(const tk_exception& e, bool) { rwf_report_error(e); }

void console_front_end::std_error(const std::string& text) {
  tk_trace(3, "ERROR:\n%s", text.c_str());
  if (!silent()) rwf_write_line(rwf_console().err, text);
}
