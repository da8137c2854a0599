// The console program's main road; see rwf_agent.h.
#include "console/rwf_agent.h"

#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "console/rwf_cmdline.h"
#include "console/rwf_exit.h"
#include "console/rwf_report.h"
#include "console/rwf_usage.h"
#include "converter/rwf_conv.h"

namespace {

int convert(int argc, char** argv, const rwf_agent_steps& steps, rowferry_convertor& conv) {
  if (argc <= 1) fatal_exit(rwf_usage_text());
  try {
    if (!parse_cmd_line(argc, argv)) fatal_exit(rwf_usage_text());
    steps.connect(conv);
    conv.check_dest();
    steps.run(conv);
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
