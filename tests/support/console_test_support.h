// Helpers of the console tests: captured console streams, and the converter the options fill.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "console/rwf_exit.h"
#include "converter/rwf_conv.h"

// Sends the console's two streams to temporary files while alive.
class captured_console {
 public:
  captured_console();
  ~captured_console();
  std::string out() const;
  std::string err() const;

 private:
  std::FILE* out_;
  std::FILE* err_;
  rwf_streams previous_;
};

// Runs parse_cmd_line over the arguments (the program name is added) with a fresh console converter.
struct parse_result {
  bool returned = false;  // parse_cmd_line returned (value in ready)
  bool ready = false;
  int exit_code = 0;      // rwf_exit code when it ended the program
  std::string out, err;
};

class cmdline_fixture {
 public:
  cmdline_fixture() : conv(converter_build::console) {}
  parse_result parse(std::vector<std::string> args);
  rowferry_convertor conv;
};
