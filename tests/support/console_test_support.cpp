// Helpers of the console tests; see console_test_support.h.
#include "tests/support/console_test_support.h"

#include "console/rwf_cmdline.h"

namespace {

std::string read_all(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  std::fseek(f, 0, SEEK_END);
  return text;
}

}  // namespace

captured_console::captured_console()
    : out_(std::tmpfile()), err_(std::tmpfile()), previous_(set_rwf_streams({out_, err_})) {}

captured_console::~captured_console() {
  set_rwf_streams(previous_);
  std::fclose(out_);
  std::fclose(err_);
}

std::string captured_console::out() const { return read_all(out_); }
std::string captured_console::err() const { return read_all(err_); }

parse_result cmdline_fixture::parse(std::vector<std::string> args) {
  args.insert(args.begin(), "RWFAGENT");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  parse_result result;
  captured_console console;
  try {
    result.ready = parse_cmd_line(static_cast<int>(args.size()), argv.data());
    result.returned = true;
  } catch (const rwf_exit& e) {
    result.exit_code = e.code;
  }
  result.out = console.out();
  result.err = console.err();
  return result;
}
