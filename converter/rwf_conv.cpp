// The converter's classes: construction, flags, the current item's name and the trace-file switch.
#include "converter/rwf_conv.h"

#include "TK/tk_log.h"
#include "platform/registry/registry.h"
#include "UDB/udb_db.h"
#include "TK/tk_texts.h"
#include "platform/system/files.h"

#include <unistd.h>

namespace {

constexpr const char* settings_key_path = "Software\\Larkspur Data\\Tabletide";

}  // namespace

tk_converter::tk_converter() { tk_trace(2, "tk_converter::ctor"); }

tk_converter::~tk_converter() = default;

void tk_converter::set_silent(bool value) { silent.store(value); }

void tk_converter::set_logfile(const std::string& name) {
  tk_trace(1, "tk_convertor::set_logfile(%s)", name.c_str());
  if (!tk_logger::exists()) return;
  logfile = name;
  if (name.empty()) {
    tk_trace(1, "Filename is empty");
    return;
  }
  sys_path_kind kind = sys_stat_kind(name);
  if (kind == sys_path_kind::folder) throw tk_exception(tk_msg_logfile_is_path, 1);
  if (kind == sys_path_kind::file && (sys_is_read_only(name) || !sys_may_access(name, W_OK)))
    throw tk_exception(tk_msg_logfile_read_only, 1);
  std::string folder = sys_folder_of(name);
  if (sys_stat_kind(folder) != sys_path_kind::folder) throw tk_exception(tk_msg_logfile_no_path, 1);
  if (!sys_may_access(folder, W_OK | X_OK)) throw tk_exception(tk_msg_logfile_cannot_create, 1);
  if (logfile_held_) pending_logfile_ = name;
  else tk_logger::instance().enable(name);
}

void tk_converter::hold_logfile(bool hold) {
  logfile_held_ = hold;
  if (hold || pending_logfile_.empty()) return;
  if (tk_logger::exists()) tk_logger::instance().enable(pending_logfile_);
  pending_logfile_.clear();
}

udb_converter::udb_converter() { tk_trace(2, "udb_converter::ctor"); }

udb_converter::~udb_converter() = default;

void udb_converter::set_mode(int32_t value) {
  tk_trace(1, "udb_converter::set_mode(%d)", value);
  mode = value;
}

std::wstring udb_converter::current_name() const {
  std::lock_guard<std::mutex> lock(name_mutex_);
  return current_name_;
}

void udb_converter::set_current_name(const std::wstring& name) {
  std::lock_guard<std::mutex> lock(name_mutex_);
  current_name_ = name;
}

rowferry_convertor::rowferry_convertor(converter_build build)
    : settings_key(settings_key_path),
      destination_format(build == converter_build::wizard ? format_access_2000 : format_not_given),
      build_(build) {
  if (build_ == converter_build::wizard) serialize(false);
}

rowferry_convertor::~rowferry_convertor() {
  if (build_ == converter_build::wizard) serialize(true);
}

bool rowferry_convertor::serialize(bool store) {
  tk_trace(1, "serialize( %d )", store ? 1 : 0);
  if (settings_key.create(HKEY_CURRENT_USER, settings_key_path) != 0) return false;
  if (!store) {
    blob2memo = false;
    destination_format = format_access_2000;
    port = "3306";
    skip_idx = false;
    tab_def = false;
  }
  int format = destination_format;
  // Every value is walked even after one failed, so that one bad value does not stop the others.
  bool all = true;
  all &= settings_key.serialize_bool("blob2memo", blob2memo, store);
  all &= settings_key.serialize_wstring("dest", dest, store);
  all &= settings_key.serialize_int("format", format, store);
  all &= settings_key.serialize_string("host", host, store);
  all &= settings_key.serialize_string("port", port, store);
  all &= settings_key.serialize_string("pswd", password, store);
  all &= settings_key.serialize_bool("skip_idx", skip_idx, store);
  all &= settings_key.serialize_wstring("src", src, store);
  all &= settings_key.serialize_bool("tab_def", tab_def, store);
  all &= settings_key.serialize_string("user", user, store);
  // Only the three formats there are: any other number (a store edited by hand) would leave the wizard's format
  // box empty and write an Access 95/97 file nobody chose, so the default stays, as when nothing is stored.
  if (format >= format_access_97 && format <= format_access_2007) destination_format = format;
  else all = false;
  settings_key.close();
  return all;
}

void rowferry_convertor::stop_now() {
  tk_trace(2, "rowferry_convertor::stop_now");
  request_stop();  // first: whatever fails once the connection is gone is then taken for the stop
  abandon_source();
}

rwf_front_end& rowferry_convertor::front_end() const {
  if (front_end_ == nullptr) throw tk_mail_assertion("rwf_conv", 120);
  return *front_end_;
}

bool rowferry_convertor::test_query(const std::wstring& sql) { return mysql_converter_impl::test_query(src, sql); }

void rowferry_convertor::get_all_tables(std::vector<std::wstring>& list) {
  tk_trace(2, "rowferry_convertor::get_all_tables");
  std::unique_ptr<udb_database> database = source_engine().open_db(src);
  list.assign(database->get_tables().begin(), database->get_tables().end());
}
