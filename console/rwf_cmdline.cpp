// The options of the console program; see rwf_cmdline.h.
#include "console/rwf_cmdline.h"

#include <cstring>
#include <cwctype>
#include <vector>

#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "console/rwf_exit.h"
#include "console/rwf_tabfile.h"
#include "console/rwf_usage.h"
#include "console/tk_cmdli.h"
#include "converter/rwf_conv.h"
#include "converter/rwf_dest.h"
#include "platform/system/files.h"

namespace {

const cmd_option option_table[] = {
    {opt_acc_ver, "--acc_ver="}, {opt_dest, "--dest="},       {opt_help, "--help"},
    {opt_logfile, "--logfile="}, {opt_mode, "--mode="},       {opt_mysqlh, "--mysqlh="},
    {opt_mysqlu, "--mysqlu="},   {opt_mysqlp, "--mysqlp="},   {opt_port, "--port="},
    {opt_profile, "--profile="}, {opt_silent, "--silent"},    {opt_skip_idx, "--skip_idx"},
    {opt_src, "--src="},         {opt_tab_def, "--tab_def"},  {opt_tab_file, "--tab_file="},
    {0, ""},
};

bool ends_with_nocase(const std::wstring& text, const std::wstring& suffix) {
  if (text.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i)
    if (std::towlower(text[text.size() - suffix.size() + i]) != std::towlower(suffix[i])) return false;
  return true;
}

// The destination as "--dest=" gives it: absolute, with its Access extension kept, else without an extension
// (stem, to which the format's extension is added once all options are known).
struct dest_option {
  std::wstring path;   // the path as it stands after the option
  bool needs_extension = false;
  bool extension_dropped = false;  // the name had another extension, which the Access one replaces
};

dest_option make_dest(const std::string& value) {
  std::string absolute;
  if (sys_absolute_path(value, absolute) != 0) absolute = value;
  std::wstring path;
  if (!tk_ansi_to_unicode(absolute.c_str(), path)) path = tk_utf8_to_unicode(absolute);
  std::size_t slash = path.rfind(L'/');
  std::wstring file = slash == std::wstring::npos ? path : path.substr(slash + 1);
  if (file.empty() || file == L"." || file == L".." || sys_stat_kind(absolute) == sys_path_kind::folder)
    throw tk_exception("Destination name should specify a file, not folder.", 1);
  dest_option result;
  if (ends_with_nocase(file, L".mdb") || ends_with_nocase(file, L".accdb")) {
    result.path = path;
    return result;
  }
  std::size_t dot = file.rfind(L'.');
  result.extension_dropped = dot != std::wstring::npos && dot > 0;
  if (result.extension_dropped) path.erase(path.size() - (file.size() - dot));
  result.path = path;
  result.needs_extension = true;
  return result;
}

// The prefix of a flag option (one that takes no value), or nullptr for an option that takes one.
const char* flag_prefix(int32_t id) {
  for (const cmd_option* entry = option_table; entry->prefix[0] != '\0'; ++entry) {
    if (entry->id != id) continue;
    std::size_t n = std::strlen(entry->prefix);
    return entry->prefix[n - 1] == '=' ? nullptr : entry->prefix;
  }
  return nullptr;
}

// A file the run reads or writes, with the option that named it.
struct named_file {
  std::string path;
  std::string option;
};

// The trace file is emptied by its first line: one that is also the destination, a profile or a table list would
// be lost to it, so that is refused before a line is written.
void refuse_trace_over(const named_file& trace, const std::vector<named_file>& files) {
  for (const named_file& file : files)
    if (names_same_file(trace.path, file.path))
      fatal_exit(tk_format("Options %s and %s name the same file '%s': the trace would overwrite it.",
                           trace.option.c_str(), file.option.c_str(), file.path.c_str()));
}

}  // namespace

bool parse_cmd_line(int argc, char** argv) {
  tk_trace(1, "parse_cmd_line");
  for (int i = 1; i < argc; ++i) {
    // The password never reaches the trace.
    bool password = std::string(argv[i]).compare(0, 9, "--mysqlp=") == 0;
    tk_trace(1, "parameter #%d: %s", i, password ? "--mysqlp=***" : argv[i]);
  }
  rowferry_convertor& conv = rowferry_convertor::instance();
  conv.store_mysql_settings("", "", "", "3306");
  bool usage = false;
  dest_option dest;
  bool dest_given = false;
  // The trace file is switched on only once every option is read and it names none of the files below.
  conv.hold_logfile(true);
  named_file trace;
  std::vector<named_file> inputs;
  std::string dest_option_name = "--dest=";

  for (ansi_cmd_line cmd(argc, argv, option_table); cmd.has_more(); cmd.next()) {
    const std::string value = cmd.value();
    // A flag followed by "=" and a value ("--tab_def=0") would otherwise switch the flag on, the opposite of
    // what it seems to say; the prefix rule still lets "--silently" count as "--silent".
    if (const char* flag = flag_prefix(cmd.id()); flag != nullptr && value.find('=') != std::string::npos)
      fatal_exit(tk_format("Option %s takes no value: '%s'", flag, cmd.argument()));
    switch (cmd.id()) {
      case opt_acc_ver: {
        tk_trace(2, "\tgot format version: %s", value.c_str());
        int number = tk_small_number(value, 2);
        if (number < 0) fatal_exit("Invalid format specification");
        conv.destination_format = number;
        break;
      }
      case opt_dest:
        if (value.empty()) {
          usage = true;
          break;
        }
        dest = make_dest(value);
        dest_given = true;
        dest_option_name = "--dest=";
        conv.dest = dest.path + (dest.needs_extension ? L".mdb" : L"");
        tk_trace_w(1, L"parse_cmd_line - got dest %s", conv.dest.c_str());
        break;
      case opt_help:
        fatal_exit(rwf_usage_text());
      case opt_logfile:
        tk_trace(1, "parse_cmd_line - got logfile %s", value.c_str());
        conv.set_logfile(value);
        trace = {conv.pending_logfile(), "--logfile="};
        break;
      case opt_mode: {
        int number = tk_small_number(value, 3);
        if (number < 0) fatal_exit("Invalid merge/overwrite mode");
        tk_trace(2, "\tgot mode %d", number);
        conv.set_mode(number);
        break;
      }
      // The connection options act where they stand, like every other option: after "--profile=" they
      // override the profile's connection, before it the profile's values replace them.
      case opt_mysqlh:
        conv.host = tk_trim(value);
        break;
      case opt_mysqlu:
        conv.user = tk_trim(value);
        break;
      case opt_mysqlp:
        conv.password = tk_trim(value);
        // As the MySQL client does: the password leaves the process's visible command line once it is read.
        cmd.blank_value();
        break;
      case opt_port:
        // The whole text must be the port: "3399abc" or " 3399" would otherwise reach another port or none.
        if (tk_small_number(value, 65535) < 1) fatal_exit(tk_format("Invalid port number: '%s'", cmd.argument()));
        conv.port = value;
        break;
      case opt_profile: {
        std::wstring path = tk_ansi_to_unicode_acp(value);
        tk_trace_w(1, L"parse_cmd_line - got profile %s", path.c_str());
        // A profile that cannot be parsed must not let the run go on with other settings than the user saved.
        const std::string trace_before = conv.pending_logfile();
        const std::wstring dest_before = conv.dest;
        if (!conv.load_profile_file(path)) fatal_exit(tk_format("Cannot read profile '%s'", value.c_str()));
        inputs.push_back({value, "--profile="});
        if (conv.pending_logfile() != trace_before) trace = {conv.pending_logfile(), "--profile= (its logfile)"};
        if (conv.dest != dest_before) {
          dest_option_name = "--profile= (its dest)";
          dest_given = false;
        }
        break;
      }
      case opt_silent:
        tk_trace(1, "parse_cmd_line - silent mode is ON");
        conv.set_silent(true);
        if (error_handler::exists()) error_handler::instance().set_do_not_show_again(true);
        break;
      case opt_skip_idx:
        tk_trace(2, "\tskip converting indexes");
        conv.skip_idx = true;
        break;
      case opt_src:
        conv.src = tk_ansi_to_unicode_acp(value);
        tk_trace_w(1, L"parse_cmd_line - got src %s", conv.src.c_str());
        break;
      case opt_tab_def:
        tk_trace(2, "\tconvert table definitions only");
        conv.tab_def = true;
        break;
      case opt_tab_file:
        tk_trace(2, "\tparse_cmd_line - got tab_file %s", value.c_str());
        process_tab_file(value);
        inputs.push_back({value, "--tab_file="});
        break;
      default:
        usage = true;
        break;
    }
  }
  if (usage) return false;

  // The extension follows the format, whichever of the two options came first, unless a later profile replaced
  // the destination.
  if (dest_given && dest.needs_extension && conv.destination_format == format_access_2007)
    conv.dest = dest.path + L".accdb";

  if (conv.src.empty()) fatal_exit("You should enter source MySQL database name");
  if (conv.dest.empty()) fatal_exit("You should enter destination MS Access database name");
  if (conv.destination_format == format_not_given)
    fatal_exit("You should specify MS Access format version (use '--acc_ver' option)");

  if (!conv.pending_logfile().empty()) {
    inputs.push_back({tk_to_utf8(conv.dest), dest_option_name});
    refuse_trace_over(trace, inputs);
  }
  conv.hold_logfile(false);
  // The file written is not the one the user named ("shop.2024" writes, and may replace, "shop.mdb"): say which
  // one before anything happens to it.
  if (dest_given && dest.extension_dropped) {
    const std::string line = "Destination file: " + tk_to_utf8(conv.dest);
    tk_trace(3, "%s", line.c_str());
    if (!conv.is_silent()) rwf_write_line(rwf_console().out, line);
  }
  return true;
}
