// The error handler: where a caught tk_exception becomes what the user sees, and the error-code maps that give
// engine errors a friendlier text.
//
// Text of an error (levels 0 and 1): "<context>: " when a context is set, then the map's text for the
// exception's code, or else the exception's own text. The context stays until it is set again.
//
// What happens next depends on the program:
// - With a user interface registered (set_ui; the wizard), level 2 shows the internal-error dialog and ends the
//   process with exit code -1 whatever button was used ("Copy to clipboard" and "Send bug" act first); level 1
//   shows an error box; level 0 asks Continue or Abort. "Do not show this dialog box again" silences levels 0
//   and 1 for the rest of the run; the trace and the window's error list still get the text.
// - Without one (the console program), level 2 prints "Internal error: <text>" to standard output, even when
//   quiet, and ends the process with -1; level 1 prints "Error:\n<text>\n" unless quiet and ends the process
//   with -1; level 0 prints the same and returns. The do-not-show-again flag is the console's quiet flag.
// Every process end goes through tk_exit_process, so open files are flushed and closed first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "TK/tk_singl.h"

// One row of a static error-code table; only the low 32 bits of the code are used.
struct tk_error_entry {
  int64_t code;
  const char* text;
};

// Engine error tables: code = 0x400000 + MySQL error number, 0x10000 + DAO error number.
extern const tk_error_entry tk_mysql_error_table[];
extern const int tk_mysql_error_count;  // 14
extern const tk_error_entry tk_dao_error_table[];
extern const int tk_dao_error_count;  // 8

// Error code -> text. When a code is loaded twice, the first text stays.
class tk_error_converter : public std::map<int32_t, std::string> {
 public:
  tk_error_converter(int count, const tk_error_entry* table);
  // A null table is an internal error.
  void load_map(int count, const tk_error_entry* table);
  // The text for the code, or "" when the map has none.
  std::string convert(int32_t code) const;
};

// Results of the two dialogs.
constexpr int tk_dlg_ok = 1;             // internal error: OK
constexpr int tk_dlg_copy = 1108;        // internal error: Copy to clipboard
constexpr int tk_dlg_send_bug = 1112;    // internal error: Send bug
constexpr int tk_dlg_abort = 1;          // recoverable error: Abort
constexpr int tk_dlg_continue = 2;       // recoverable error: Continue (also Escape and the close box)

// What the error handler needs of a program's user interface. The wizard implements it; calls may come from
// the conversion's worker thread, so an implementation must carry them over to its window thread and block the
// caller until they return, and must answer at once (Abort / closed) once the worker has been asked to stop.
class tk_error_ui {
 public:
  virtual ~tk_error_ui();
  // True once the main window exists.
  virtual bool is_initialized() const = 0;
  // The main window's title ("" when none).
  virtual std::wstring window_title() const = 0;
  // The window's list of error texts (the handler lists 20 at most).
  virtual std::size_t error_count() const = 0;
  virtual void add_error(const std::wstring& text) = 0;
  // An error that the full list could not take (the window says how many more there were). Default: nothing.
  virtual void unlisted_error();
  // An error box with the text.
  virtual void error(const std::wstring& text) = 0;
  virtual void display_help(uint32_t topic) = 0;
  // The internal-error dialog: caption window_title() + " Error" (or "Error"), error icon, the text, buttons
  // "Send bug" (default), "OK", "Copy to clipboard"; Escape and the close box do nothing. Returns tk_dlg_ok,
  // tk_dlg_copy or tk_dlg_send_bug. The handler itself copies or mails the text afterwards.
  virtual int internal_error_dialog(const std::wstring& text) = 0;
  // The recoverable-error dialog: the text, buttons "Continue" (default) and "Abort", and the check box
  // "&Do not show this dialog box again" (initially clear), whose final state goes to do_not_show_again.
  // Returns tk_dlg_abort or tk_dlg_continue (also for Escape, the close box, or a dialog that failed to open).
  virtual int continue_dialog(const std::wstring& text, bool& do_not_show_again) = 0;
};

class error_handler : public tk_singleton<error_handler> {
 public:
  // Registers the singleton and loads the first table (the DAO table).
  error_handler(int count, const tk_error_entry* table);
  virtual ~error_handler();

  // Adds a further table (the MySQL table).
  void load_err_map(int count, const tk_error_entry* table);

  void set_context(const std::wstring& context);
  // Context "<name>, record #<n>".
  void set_record_context(const std::wstring& name, long long record);
  const std::string& context() const { return context_; }

  bool do_not_show_again() const { return do_not_show_again_; }
  void set_do_not_show_again(bool quiet) { do_not_show_again_ = quiet; }

  // The user interface to report through; null (the default) means the console.
  void set_ui(tk_error_ui* ui) { ui_ = ui; }
  tk_error_ui* ui() const { return ui_; }

  // Reports e as its level says (see above). may_return false means the caller cannot go on after the error,
  // so Abort throws tk_final_exception.
  void handle(const tk_exception& e, bool may_return);

  // The text of an error as levels 0 and 1 report it, before line feeds become blanks.
  std::string compose(const tk_exception& e) const;
  const tk_error_converter& error_map() const { return map_; }

 private:
  void handle_console(const tk_exception& e);
  void handle_ui(const tk_exception& e, bool may_return);

  std::string context_;
  bool do_not_show_again_ = false;
  std::map<int32_t, uint32_t> help_topics_;  // no entries are ever added: level 1 opens no help
  tk_error_converter map_;
  tk_error_ui* ui_ = nullptr;
};

// The level a handler acts on: 1 and 2 as they are, everything else 0.
inline int tk_effective_level(int32_t level) { return level == 1 || level == 2 ? level : 0; }
