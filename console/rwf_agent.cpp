// The console program's main road; see rwf_agent.h.
#include "console/rwf_agent.h"

#include <signal.h>

#include <atomic>

#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "console/rwf_cmdline.h"
#include "console/rwf_exit.h"
#include "console/rwf_report.h"
#include "console/rwf_usage.h"
#include "converter/rwf_conv.h"

namespace {

// The converter that SIGINT and SIGTERM ask to stop: the run then ends at the next record or table, gives its
// files up and leaves the destination as it was. The handler is reset by its first signal, so a second one ends
// the process at once (its temporary files are removed by the next run on the destination).
std::atomic<rowferry_convertor*> g_stoppable{nullptr};

extern "C" void on_stop_signal(int) {
  if (rowferry_convertor* conv = g_stoppable.load()) conv->request_stop_from_signal();
}

class stop_on_signals {
 public:
  explicit stop_on_signals(rowferry_convertor& conv) {
    g_stoppable.store(&conv);
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, &old_int_);
    sigaction(SIGTERM, &action, &old_term_);
  }
  ~stop_on_signals() {
    sigaction(SIGINT, &old_int_, nullptr);
    sigaction(SIGTERM, &old_term_, nullptr);
    g_stoppable.store(nullptr);
  }
  stop_on_signals(const stop_on_signals&) = delete;
  stop_on_signals& operator=(const stop_on_signals&) = delete;

 private:
  struct sigaction old_int_ {};
  struct sigaction old_term_ {};
};

int convert(int argc, char** argv, const rwf_agent_steps& steps, rowferry_convertor& conv) {
  if (argc <= 1) fatal_exit(rwf_usage_text());
  try {
    if (!parse_cmd_line(argc, argv)) fatal_exit(rwf_usage_text());
    stop_on_signals signals(conv);
    steps.connect(conv);
    conv.check_dest();
    steps.run(conv);
    if (!conv.completed() && conv.stop_requested() && !conv.is_silent())
      rwf_write_line(rwf_console().err, "The conversion was stopped; the destination file was left as it was.");
  } catch (const tk_exception& e) {
    // Whatever reached this road stopped the conversion before or outside its tables: report it, and never
    // give success for it.
    rwf_report_error(e);
    return rwf_exit_failure;
  } catch (const std::exception& e) {
    fatal_exit(e.what());
  }
  return conv.completed() ? 0 : rwf_exit_failure;
}

}  // namespace

int rwf_agent_main(int argc, char** argv, const rwf_agent_steps& steps) {
  tk_logger logger(nullptr, false, 3, false);
  error_handler handler(tk_dao_error_count, tk_dao_error_table);
  handler.load_err_map(tk_mysql_error_count, tk_mysql_error_table);
  rowferry_convertor conv(converter_build::console);
  console_front_end front;
  conv.set_front_end(&front);
  try {
    return convert(argc, argv, steps, conv);
  } catch (const rwf_exit& e) {
    return e.code;
  }
}
