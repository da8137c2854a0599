// How the console program reports: errors as "Error:" blocks on standard output, progress lines on standard
// output, missing tables and failures of the run on standard error.
//
// Error text (levels 0 and 1): "<context>: " when the error handler has a context, then the error map's text for
// the code or the exception's own text, every line feed turned into a blank; printed as "Error:\n<text>\n"
// unless quiet ("--silent"). Level 2: "Internal error: <text>\n", printed even when quiet. Levels 1 and 2 then
// end the program with exit status 255 by unwinding (rwf_exit), so the destination file is closed first; level 0
// returns and the run goes on.
#pragma once

#include <string>

#include "TK/tk_singl.h"
#include "converter/rwf_front.h"

// Reports e as above; returns only for level 0.
void rwf_report_error(const tk_exception& e);

class console_front_end : public rwf_front_end {
 public:
  // Unless silent: the line and "\n" on standard output.
  void progress(const std::wstring& line) override;
  // Not when silent.
  bool shows_progress() const override;
  // Unless silent: "Table <name> not exists\n" on standard error. No error is raised.
  void missing_table(const std::wstring& name, bool is_view) override;
  // A console run without a table list or profile converts every table.
  bool convert_all_when_empty() const override;
  // rwf_report_error: the run goes on after a level-0 error; levels 1 and 2 end the program.
  void report(const tk_exception& e, bool may_return) override;
  // Traced, and unless silent written to standard error.
  void std_error(const std::string& text) override;
};
