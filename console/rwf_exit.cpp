// Early end and output streams of the console program; see rwf_exit.h.
#include "console/rwf_exit.h"

#include "TK/tk_log.h"
#include "converter/rwf_conv.h"

rwf_streams& rwf_console() {
  static rwf_streams streams{stdout, stderr};
  return streams;
}

rwf_streams set_rwf_streams(rwf_streams streams) {
  rwf_streams previous = rwf_console();
  rwf_console() = streams;
  return previous;
}

void rwf_write_line(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

void fatal_exit(const std::string& message) {
  tk_trace(3, "%s", message.c_str());
  bool silent = rowferry_convertor::exists() && rowferry_convertor::instance().is_silent();
  if (!silent) rwf_write_line(rwf_console().err, message);
  throw rwf_exit{rwf_exit_failure};
}
