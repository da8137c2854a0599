// The converter's settings in a profile file (extension "rwf"), read by both programs and written by the wizard.
//
// Sections and keys:
//   "Generic settings"    src, dest, logfile, skip indexes, only definitions, mode
//   "MySQL settings"      host, user, password, port, dump line break and the five dump flags
//   "MS Access settings"  destination format
//   "Selected Tables"     one entry per item to convert: name=SQL text for a query, the bare name for a table
//   "Available Queries"   name=SQL text
//   "Selected Views"      name=definition
// Loading adds to the lists (it never clears them) and leaves a field unchanged when its key is missing or empty,
// except the MySQL host and password, which are always taken (a missing host means the local server). A mode
// other than "0" to "3", or a destination format other than "0" to "2", refuses the whole profile (tk_exception,
// level 1) before anything is taken from it.
// Flags are written "1" or "0". The password is kept in plain text, as the file format has it; the profile writer
// makes new files readable by their owner only.
#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "UDB/udb_prof.h"
#include "converter/rwf_conv.h"

namespace {

const std::wstring generic = udb_profile::generic_settings_section;
const std::wstring mysql_section = L"MySQL settings";
const std::wstring access_section = L"MS Access settings";

std::wstring flag_text(bool value) { return value ? L"1" : L"0"; }

// SQL text on one line: each CR LF, then each remaining LF, then each remaining CR becomes one blank.
std::wstring one_line(const std::wstring& sql) {
  tk_wstring text(sql);
  text.replace_all(L"\r\n", L" ");
  text.replace_all(L"\n", L" ");
  text.replace_all(L"\r", L" ");
  return text;
}

// A dump flag: true only for exactly "1"; an empty value leaves it unchanged.
void load_dump_flag(const udb_profile& profile, const wchar_t* key, bool& flag) {
  std::wstring value = profile.get_value(mysql_section, key);
  if (!value.empty()) flag = value == L"1";
}

}  // namespace

bool udb_converter::load_profile(const udb_profile& profile) {
  tk_trace(2, "udb_converter::load_profile");
  // Only the four modes there are. Any other value is refused before anything is taken from the profile: a run
  // in an unknown or a silently kept mode could replace a file the user meant to merge into.
  std::wstring mode_text = profile.get_value(generic, L"mode");
  if (!mode_text.empty() && (mode_text.size() != 1 || mode_text[0] < L'0' || mode_text[0] > L'3'))
    throw tk_exception("Invalid merge/overwrite mode in the profile: '" + tk_to_utf8(mode_text) + "'", 1);
  for (const named_text& item : profile.get_selected_tables()) {
    tk_trace_w(2, item.second.empty() ? L"Loading table '%s'" : L"Loading query '%s'", item.first.c_str());
    selected_items.push_back(item);
  }
  for (const named_text& query : profile.get_available_queries()) available_queries.push_back(query);
  for (const named_text& view : profile.get_selected_views()) selected_views.push_back(view);

  std::wstring value = profile.get_value(generic, L"src");
  if (!value.empty()) {
    src = value;
    tk_trace_w(2, L"source='%s'", src.c_str());
  }
  value = profile.get_value(generic, L"dest");
  if (!value.empty()) {
    dest = value;
    tk_trace_w(2, L"dest='%s'", dest.c_str());
  }
  value = profile.get_value(generic, L"logfile");
  if (!value.empty()) {
    std::string name = tk_to_ansi(value);
    tk_trace(1, "Logfile=%s", name.c_str());
    set_logfile(name);
  }
  value = profile.get_value(generic, L"only definitions");
  if (!value.empty()) tab_def = value != L"0";
  if (!mode_text.empty()) mode = mode_text[0] - L'0';
  value = profile.get_value(generic, L"skip indexes");
  if (!value.empty()) skip_idx = value != L"0";
  return true;
}

bool udb_converter::store_profile(udb_profile& profile) const {
  tk_trace(2, "udb_converter::store_profile");
  for (const named_text& query : available_queries) {
    tk_trace_w(2, L"Available Query: (%s,%s)", query.first.c_str(), query.second.c_str());
    profile.set_value(udb_profile::available_queries_section, query.first, query.second);
  }
  for (const named_text& item : selected_items) {
    tk_trace_w(2, L"Selected Query: (%s,%s)", item.first.c_str(), item.second.c_str());
    profile.set_value(udb_profile::selected_tables_section, item.first, one_line(item.second));
  }
  for (const named_text& view : selected_views) {
    tk_trace_w(2, L"Selected View: (%s,%s)", view.first.c_str(), view.second.c_str());
    profile.set_value(udb_profile::selected_views_section, view.first, view.second);
  }
  profile.set_value(generic, L"src", src);
  profile.set_value(generic, L"dest", dest);
  profile.set_value(generic, L"logfile", tk_utf8_to_unicode(logfile));
  profile.set_value(generic, L"skip indexes", flag_text(skip_idx));
  profile.set_value(generic, L"only definitions", flag_text(tab_def));
  profile.set_value(generic, L"mode", std::wstring(1, static_cast<wchar_t>(L'0' + mode)));
  return true;
}

bool mysql_converter_impl::load_profile(const udb_profile& profile) {
  tk_trace(2, "mysql_converter_impl::load_profile");
  host = tk_to_utf8(profile.get_value(mysql_section, L"host"));
  std::wstring value = profile.get_value(mysql_section, L"user");
  if (!value.empty()) user = tk_to_utf8(value);
  password = tk_to_utf8(profile.get_value(mysql_section, L"password"));
  value = profile.get_value(mysql_section, L"port");
  if (!value.empty()) port = tk_to_utf8(value);
  value = profile.get_value(mysql_section, L"dump line break");
  if (!value.empty()) dump.line_break = value == L"1" ? 1 : 0;
  load_dump_flag(profile, L"dump new version", dump.new_version);
  load_dump_flag(profile, L"dump add lock to insert", dump.add_lock_to_insert);
  load_dump_flag(profile, L"dump insert comments", dump.insert_comments);
  load_dump_flag(profile, L"dump create database", dump.create_database);
  load_dump_flag(profile, L"dump create table", dump.create_table);
  return true;
}

bool mysql_converter_impl::store_profile(udb_profile& profile) const {
  tk_trace(2, "mysql_converter_impl::store_profile");
  profile.set_value(mysql_section, L"host", tk_utf8_to_unicode(host));
  profile.set_value(mysql_section, L"user", tk_utf8_to_unicode(user));
  profile.set_value(mysql_section, L"password", tk_utf8_to_unicode(password));
  profile.set_value(mysql_section, L"port", tk_utf8_to_unicode(port));
  profile.set_value(mysql_section, L"dump line break", dump.line_break == 1 ? L"1" : L"0");
  profile.set_value(mysql_section, L"dump new version", flag_text(dump.new_version));
  profile.set_value(mysql_section, L"dump add lock to insert", flag_text(dump.add_lock_to_insert));
  profile.set_value(mysql_section, L"dump insert comments", flag_text(dump.insert_comments));
  profile.set_value(mysql_section, L"dump create database", flag_text(dump.create_database));
  profile.set_value(mysql_section, L"dump create table", flag_text(dump.create_table));
  return true;
}

bool rowferry_convertor::load_profile_file(const std::wstring& path) {
  udb_profile profile;
  if (!profile.load(path)) return false;
  return load_profile(profile);
}

bool rowferry_convertor::load_profile(const udb_profile& profile) {
  // Only the three formats there are, as --acc_ver takes them: any other value would quietly write an Access 95/97
  // file the user did not ask for.
  const std::string value = tk_to_utf8(profile.get_value(access_section, L"destination format"));
  const int format = tk_small_number(value, format_access_2007);  // -1 for an empty value too
  if (!value.empty() && format < 0)
    throw tk_exception("Invalid format specification in the profile: '" + value + "'", 1);
  if (!udb_converter::load_profile(profile) || !mysql_converter_impl::load_profile(profile)) return false;
  if (format >= 0) destination_format = format;
  return true;
}

bool rowferry_convertor::store_profile_file(const std::wstring& path) const {
  udb_profile profile;
  if (!store_profile(profile)) return false;
  return profile.store(path);
}

bool rowferry_convertor::store_profile(udb_profile& profile) const {
  if (!udb_converter::store_profile(profile) || !mysql_converter_impl::store_profile(profile)) return false;
  profile.set_value(access_section, L"destination format",
                    destination_format == 2 ? L"2" : destination_format == 1 ? L"1" : L"0");
  return true;
}
