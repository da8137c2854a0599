// The error handler and the error-code maps (see tk_errco.h).
#include "TK/tk_errco.h"

#include <cstdio>

#include "TK/tk_exit.h"
#include "TK/tk_log.h"
#include "TK/tk_report.h"
#include "TK/tk_utils.h"
#include "platform/system/codepage.h"

namespace {

constexpr const char* kAccessDeniedWrite =
    "Access denied. Ask your system administrator to grant you\nthe necessary privileges to write into the database.";
constexpr const char* kAccessDeniedConnect =
    "Access denied. Verify the user name and password are correct, and you have\nthe necessary privileges to "
    "connect to the target MySQL server.";
constexpr const char* kDuplicate =
    "Duplicate field values being used for an unique index were found.\nSee 'Troubleshooting' article of the "
    "product documentation\nfor solution.";
constexpr const char* kKeyTooLong =
    "Primary key in the original database is too long.\nRestart the program with \"Skip converting indexes\"\n"
    "checkbox selected in order to resolve the conflict.\n";
constexpr const char* kNotAllowed =
    "You are not allowed to connect to the destination MySQL server.\nAsk your system administrator to grant you "
    "necessary privileges\nto create new databases on target MySQL server.";
constexpr const char* kInUse =
    "Failed to overwrite MySQL database. It is being used by\nanother application. Specify a different destination "
    "name.";
constexpr const char* kCannotConnect =
    "Cannot connect to the MySQL server. Check to verify that MySQL server\nis launched and the correct host/port "
    "values were given.";
constexpr const char* kTooBig =
    "Transferred value is too big. Increase MySQL max packet size and try\nagain. See 'Troubleshooting' article of "
    "the product documentation.";
constexpr const char* kAuthProtocol =
    "The program does not support authentication protocol requested by server.\nSee 'Troubleshooting' article of "
    "the product documentation.";

constexpr const char* kBadName =
    "Not a valid MS Access database name. Use the following characters\nto compose new database name: "
    "alphanumerics (A-Z, a-z, 0-9),\nunderscore characters (_) and spaces.";
constexpr const char* kAccount =
    "Not a valid account name or password has been specified\nin MS Access user-level security settings";
constexpr const char* kRelations =
    "Cannot extract relationships information. See 'Troubleshooting'\narticle of the product documentation for "
    "solution.";
constexpr const char* kWorkgroup =
    "Invalid workgroup information file. Return to the previous\nwizard page and verify the correct path was given.";
constexpr const char* kConversion =
    "Data type conversion error. Please contact support@larkspur-data.example\nfor the solution.";

constexpr int64_t my(int n) { return tk_mysql_code_offset + n; }
constexpr int64_t dao(int n) { return tk_dao_code_offset + n; }

std::wstring to_wide(const std::string& s) { return sys_utf8_to_wide(s); }

}  // namespace

const tk_error_entry tk_mysql_error_table[] = {
    {my(1044), kAccessDeniedWrite}, {my(1045), kAccessDeniedConnect}, {my(1062), kDuplicate},
    {my(1071), kKeyTooLong},        {my(1130), kNotAllowed},          {my(1051), kInUse},
    {my(2003), kCannotConnect},     {my(2005), kCannotConnect},       {my(2006), kTooBig},
    {my(1249), kAuthProtocol},      {my(1250), kAuthProtocol},        {my(1251), kAuthProtocol},
    // This client library reports a refused TCP connection as 2002 (where others give 2003), and a server that
    // drops the connection before its greeting as 2013: both are the unreachable-server case.
    {my(2002), kCannotConnect},     {my(2013), kCannotConnect},
};
const int tk_mysql_error_count = static_cast<int>(sizeof tk_mysql_error_table / sizeof tk_mysql_error_table[0]);

// 3343 (a format the engine refuses) and 3049 (a damaged file) have no row: the engine's own text names the
// file and, where it knows them, its format and why it cannot be read or changed, or what is damaged, which a
// generic text would hide.
const tk_error_entry tk_dao_error_table[] = {
    {dao(3055), kBadName},   {dao(3022), kDuplicate},
    {dao(3029), kAccount},    {dao(3112), kRelations}, {dao(3173), kWorkgroup},
    {dao(3358), kWorkgroup},  {dao(3421), kConversion},
};
const int tk_dao_error_count = static_cast<int>(sizeof tk_dao_error_table / sizeof tk_dao_error_table[0]);

// ---- tk_error_converter ---------------------------------------------------------------------------------------

tk_error_converter::tk_error_converter(int count, const tk_error_entry* table) {
  tk_trace(2, "tk_error_converter::ctor (map size=%d)", count);
  load_map(count, table);
}

void tk_error_converter::load_map(int count, const tk_error_entry* table) {
  tk_trace(2, "tk_error_converter::load_map (map size=%d)", count);
  if (!table) throw tk_mail_assertion("tk_errco", 43);
  for (int i = 0; i < count; ++i) {
    const auto key = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(table[i].code)));
    emplace(key, table[i].text ? table[i].text : "");  // emplace keeps the first text
  }
}

std::string tk_error_converter::convert(int32_t code) const {
  tk_trace(2, "tk_error_converter::convert(%d)", code);
  const auto it = find(code);
  if (it == end()) {
    tk_trace(1, "Error message not found!");
    return std::string();
  }
  tk_trace(1, "Error message has been found: %s", it->second.c_str());
  return it->second;
}

// ---- error_handler --------------------------------------------------------------------------------------------

tk_error_ui::~tk_error_ui() = default;

void tk_error_ui::unlisted_error() {}

error_handler::error_handler(int count, const tk_error_entry* table) : map_(count, table) {
  tk_trace(2, "error_handler::ctor");
}

error_handler::~error_handler() = default;

void error_handler::load_err_map(int count, const tk_error_entry* table) {
  tk_trace(2, "error_handler::load_err_map");
  map_.load_map(count, table);
}

void error_handler::set_context(const std::wstring& context) { context_ = sys_wide_to_utf8(context); }

void error_handler::set_record_context(const std::wstring& name, long long record) {
  // The whole name is kept, however long: a cut name could point at the wrong table.
  context_ = sys_wide_to_utf8(tk_wformat(L"%s, record #%lld", name.c_str(), record));
}

std::string error_handler::compose(const tk_exception& e) const {
  std::string text;
  if (!context_.empty()) text = context_ + ": ";
  const std::string mapped = map_.convert(e.code);
  text += mapped.empty() ? std::string(e.what()) : mapped;
  return text;
}

void error_handler::handle(const tk_exception& e, bool may_return) {
  tk_trace(2, "error_handler::handle");
  if (ui_) handle_ui(e, may_return);
  else handle_console(e);
}

void error_handler::handle_console(const tk_exception& e) {
  const int level = tk_effective_level(e.level);
  if (level == 2) {
    tk_trace(3, "Internal error:\n%s", e.what());
    std::fputs("Internal error: ", stdout);
    std::fputs(e.what(), stdout);
    std::fputs("\n", stdout);
    tk_exit_process(-1);
  }
  std::string text = compose(e);
  tk_trace(3, "Error:\n%s", text.c_str());
  for (auto& c : text)
    if (c == '\n') c = ' ';
  if (!do_not_show_again_) {
    std::fputs("Error:\n", stdout);
    std::fputs(text.c_str(), stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
  }
  if (level == 1) {
    tk_trace(1, "Got 1-level error");
    tk_exit_process(-1);
  }
  tk_trace(1, "Got 0-level error");
}

void error_handler::handle_ui(const tk_exception& e, bool may_return) {
  const int level = tk_effective_level(e.level);
  if (level == 2) {
    tk_trace(3, "Internal error:\n%s", e.what());
    const std::wstring text = to_wide(e.what());
    const int result = ui_->internal_error_dialog(text);
    if (result == tk_dlg_copy) {
      tk_copy_to_clipboard2(text);
    } else if (result == tk_dlg_send_bug) {
      const std::string title = ui_->is_initialized() ? sys_wide_to_utf8(ui_->window_title()) : std::string();
      tk_send_bug(title, e.what());
    }
    tk_exit_process(-1);
  }
  std::string text = compose(e);
  tk_trace(3, "Error:\n%s", text.c_str());
  for (auto& c : text)
    if (c == '\n') c = ' ';
  const std::wstring wide = to_wide(text);
  if (ui_->is_initialized()) {
    if (ui_->error_count() < 20) ui_->add_error(wide);
    else ui_->unlisted_error();
  }

  if (level == 1) {
    tk_trace(1, "Got 1-level error");
    if (!do_not_show_again_) {
      tk_trace(1, "Step 1");
      ui_->error(wide);
    }
    tk_trace(1, "Step 2");
    const auto topic = help_topics_.find(e.code);
    if (topic != help_topics_.end()) ui_->display_help(topic->second);
    return;
  }

  tk_trace(1, "Got 0-level error");
  if (do_not_show_again_) return;
  tk_trace(1, "dlg_error_continue::ctor");
  bool box = false;
  const int result = ui_->continue_dialog(wide, box);
  if (result == tk_dlg_abort && !may_return) throw tk_final_exception();
  do_not_show_again_ = box;
}
