// What the conversion run needs of the program that started it: where its progress lines and errors go.
//
// The console program writes them to its standard streams; the wizard to its log box and dialogs. The run calls
// no window and no stream itself. The defaults here report through the error handler, which is right for the
// wizard; the console overrides what it prints differently.
#pragma once

#include <string>

#include "TK/tk_singl.h"

class rwf_front_end {
 public:
  virtual ~rwf_front_end();

  // The run has started (the wizard starts its progress timer here). Default: nothing.
  virtual void run_started();
  // A progress line: "Converting database ..." or "Converting table ...", without a line end.
  virtual void progress(const std::wstring& line) = 0;
  // False when progress lines are shown nowhere: the run then need not count a table's rows for its line.
  // Default true.
  virtual bool shows_progress() const;
  // The item called name is stored in the destination as the table called table (a name the destination
  // refuses, or one that another table of the source has). Default: nothing.
  virtual void stored_as(const std::wstring& name, const std::wstring& table);
  // The run has converted every item and is about to write its result into the destination, the last point at
  // which it can still be given up; it goes on when this returns (and ends as stopped if a stop was asked for
  // meanwhile). Default: returns at once.
  virtual void before_commit();
  // A table of the selection that the source database does not have, or has as a view (views are not
  // converted). The item is skipped either way. Default: a level-0 error of rwf_missing_table_text for that item,
  // through report.
  virtual void missing_table(const std::wstring& name, bool is_view);
  // True when a run with nothing selected converts every table of the source. Default false.
  virtual bool convert_all_when_empty() const;
  // An error caught at a boundary of the run. may_return false: the run cannot go on when the user aborts, so
  // Abort raises tk_final_exception. Default: the error handler's handle.
  virtual void report(const tk_exception& e, bool may_return);
  // An error ended the run that is none of the error handler's: a standard exception (not a tk_exception), or the
  // source failing for good (a server error once a table's rows stream, the server lost). Default: reported as a
  // level-1 error.
  virtual void std_error(const std::string& text);
};

// "Table <name> not exists", or for a view "Table <name> is a view; views are not converted".
std::string rwf_missing_table_text(const std::wstring& name, bool is_view);
