// The start-up of rowferry: the error handler, the converter with the last-used settings, the wizard shell and
// its pages, and the quick launch.
//
// Without a profile on the command line the wizard opens at its welcome page. With one (the whole command line is
// the profile's path) the settings are loaded from it, the server connected and the destination checked, and the
// wizard opens at the progress page with the run started. A quick launch whose profile cannot be read says
// "Cannot load the profile: <path>" and ends without connecting or touching any file.
//
// Exit status: 0 after Finish when the run went through (it may have reported records or tables), and after
// Cancel before any run; 255 when the run could not finish (an error or Cancel ended it) and when a quick launch
// failed before its run.
#pragma once

#include <functional>
#include <string>

class rowferry_convertor;

struct rwf_wizard_setup {
  // Gives the converter its MySQL engine and its Access engine factory.
  std::function<void(rowferry_convertor&)> engines;
};

// Runs the wizard with the window system already started; command_line is the program's arguments joined.
int rwf_wizard_run(const std::string& command_line, const rwf_wizard_setup& setup);

// The real engines (the MySQL client library and our Access engine).
rwf_wizard_setup rwf_real_engines();
