// The databases page (see rwf_filpg.h).
#include "GUI2/rwf_filpg.h"

#include <climits>

#include "GUI2/g_f_dlg.h"
#include "GUI2/g_wiz_sh.h"
#include "SQL/sql_engi.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "common/over_dlg.h"
#include "converter/dao_destination.h"
#include "converter/rwf_conv.h"
#include "converter/rwf_dest.h"
#include "platform/system/files.h"

namespace {

// Paths may be as long as the system allows.
constexpr int path_limit = PATH_MAX;

std::wstring extension_for(int32_t format) { return format == format_access_2007 ? L".accdb" : L".mdb"; }

}  // namespace

sel_file_page::sel_file_page() : wizard_page(105, wiz_back_button | wiz_next_button) {}

std::vector<pf::control> sel_file_page::layout() const {
  // "Format:" shares its combo box's row, so the two sit level.
  return {{-1, pf::kind::label, L"My&SQL database name:", 0, 0},
          {1317, pf::kind::single_listbox, L"", 1, 0, 1, 0, false, 5},
          {-1, pf::kind::label, L"&Format:", 1, 1},
          {1302, pf::kind::combo, L"", 1, 2},
          {1228, pf::kind::check, L"&Do not migrate the data", 2, 1, 2},
          {1226, pf::kind::check, L"S&kip converting indexes", 3, 1, 2},
          {1204, pf::kind::check, L"Convert BLOB to &Memo", 4, 1, 2},
          {-1, pf::kind::label, L"MS &Access destination database name:", 6, 0, 3},
          {1004, pf::kind::edit, L"", 7, 0, 2, path_limit},
          {1103, pf::kind::button, L"Browse...", 7, 2}};
}

bool sel_file_page::page_init() {
  rowferry_convertor& conv = rowferry_convertor::instance();
  ctl().set_checked(1228, conv.tab_def);
  ctl().set_checked(1226, conv.skip_idx);
  ctl().set_checked(1204, conv.blob2memo);
  ctl().list_reset(1317);
  if (!formats_filled_) {
    for (const wchar_t* item : {L"MS Access 95/97", L"MS Access 2000", L"MS Access 2010"}) ctl().combo_add(1302, item);
    formats_filled_ = true;
  }
  ctl().combo_set_current(1302, conv.destination_format);
  for (const std::wstring& name : sql_engine::instance().get_contents()) ctl().list_add(1317, name);

  const std::wstring src = conv.src;
  std::wstring dest = conv.dest;
  if (!src.empty()) {
    const int found = ctl().list_find_prefix(1317, src);
    if (found < 0) {
      if (ctl().list_count(1317) > 0) ctl().list_select(1317, 0, true);
      return true;
    }
    ctl().list_select(1317, found, true);
    if (dest.empty()) dest = src + extension_for(conv.destination_format);
  } else if (dest.empty()) {
    return true;
  }
  ctl().set_text(1004, dest);
  return true;
}

void sel_file_page::on_command(int id, pf::notify what) {
  if (id == 1317 && what == pf::notify::selchange) on_select();
  if (what != pf::notify::clicked) return;
  if (id == 1228 || id == 1226 || id == 1204) invert_chbox(id);
  if (id == 1103) on_browse();
}

void sel_file_page::on_select() {
  const std::vector<int> selected = ctl().list_selected(1317);
  if (selected.empty()) return;
  rowferry_convertor& conv = rowferry_convertor::instance();
  ctl().set_text(1004, make_default_dest(ctl().text(1004), ctl().list_text(1317, selected.front()),
                                         extension_for(conv.destination_format), false));
  // A new source database starts without a selection.
  conv.table_list.clear();
  conv.selected_items.clear();
  conv.selected_views.clear();
  conv.available_queries.clear();
}

void sel_file_page::on_browse() {
  const pf::filter_list filter = {{L"MS Access Databases (.mdb;.accdb)", L"*.mdb;*.accdb"},
                                  {L"All Files (*.*)", L"*.*"}};
  const int32_t format = rowferry_convertor::instance().destination_format;
  std::optional<std::wstring> path = save_file_dialog(filter, L"Select destination MS Access database",
                                                      ctl().text(1004), format == format_access_2007 ? L"accdb" : L"mdb");
  if (path) ctl().set_text(1004, *path);
}

void sel_file_page::store_file_info() {
  tk_trace(1, "sel_file_page::store_file_info");
  if (!rowferry_convertor::exists()) throw tk_mail_assertion("rwf_shel", 272);
  rowferry_convertor& conv = rowferry_convertor::instance();
  conv.destination_format = ctl().combo_current(1302);
  tk_trace(1, "format=%d", conv.destination_format);
  conv.tab_def = ctl().is_checked(1228);
  conv.skip_idx = ctl().is_checked(1226);
  conv.blob2memo = ctl().is_checked(1204);
  const std::vector<int> selected = ctl().list_selected(1317);
  conv.src = selected.empty() ? std::wstring() : ctl().list_text(1317, selected.front());
  conv.dest = ctl().text(1004);
}

int sel_file_page::on_back() {
  try {
    store_file_info();
  } catch (const tk_exception& e) {
    wizard_shell::instance().error(std::string(e.what()));
    return -1;
  }
  return 0;
}

int sel_file_page::on_next() {
  wizard_shell& shell = wizard_shell::instance();
  rowferry_convertor& conv = rowferry_convertor::instance();
  try {
    store_file_info();
    if (conv.src.empty()) {
      shell.message(L"You should select MySQL database");
      return -1;
    }
    if (conv.dest.empty()) {
      shell.message(L"You should enter MS Access database name");
      return -1;
    }
    common_check_dest(conv.dest);
    if (sys_stat_kind(tk_to_utf8(conv.dest)) != sys_path_kind::file) return 0;
    overwrite_dlg2 dialog(
        L"The destination database already exists. Select one of the\noptions below. Click 'Help' button for more "
        L"information.",
        1012, shell.title() + L" Warning", [&shell](uint32_t topic) { shell.display_help(topic); });
    if (dialog.run_modal() != 1) return -1;
    if (dialog.mode() != mode_overwrite_database) dao_destination().file_generation(conv.dest);
    tk_trace(1, "udb_converter::set_mode(%d)", dialog.mode());
    conv.set_mode(dialog.mode());
  } catch (const tk_exception& e) {
    shell.error(std::string(e.what()));
    return -1;
  }
  return 0;
}

void sel_file_page::on_help() { wizard_shell::instance().display_help(1013); }
