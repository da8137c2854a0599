// The start-up of rowferry (see rwf_shel.h).
#include "GUI2/rwf_shel.h"

#include <memory>

#include "GUI2/g_err_dlg.h"
#include "GUI2/g_finish.h"
#include "GUI2/g_wiz_sh.h"
#include "GUI2/rwf_filpg.h"
#include "GUI2/rwf_progpg.h"
#include "GUI2/rwf_sqlpg.h"
#include "GUI2/rwf_tabpg.h"
#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "converter/dao_destination.h"
#include "converter/rwf_conv.h"
#include "converter/sql_source.h"
#include "platform/ui/ui_app.h"

namespace {

constexpr int exit_failed = 255;
constexpr unsigned minimum_toolkit = 0x060000;

pf::page_style header(const wchar_t* title, const wchar_t* subtitle) {
  pf::page_style style;
  style.has_help = true;
  style.title = title;
  style.subtitle = subtitle;
  return style;
}

// Reports what start-up or the quick launch threw.
void report(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const tk_final_exception&) {
  } catch (const tk_exception& e) {
    error_handler::instance().handle(e, true);
  } catch (const std::exception& e) {
    if (wizard_shell::exists()) wizard_shell::instance().error(std::string(e.what()));
    else shell_box_error(tk_utf8_to_unicode(e.what()));
  }
}

}  // namespace

rwf_wizard_setup rwf_real_engines() {
  rwf_wizard_setup setup;
  setup.engines = [](rowferry_convertor& conv) {
    conv.set_source_engine(std::make_unique<sql_source>());
    conv.set_destination_factory([] { return std::make_unique<dao_destination>(); });
  };
  return setup;
}

int rwf_wizard_run(const std::string& command_line, const rwf_wizard_setup& setup) {
  pf::set_closing(false);
  error_handler handler(tk_dao_error_count, tk_dao_error_table);
  handler.load_err_map(tk_mysql_error_count, tk_mysql_error_table);
  wizard_error_ui error_ui;
  handler.set_ui(&error_ui);

  tk_trace(1, "gui_initialize");
  const unsigned version = pf::gui_library_version();
  tk_trace(1, "Qt version=%X", version);
  if (version < minimum_toolkit) {
    shell_box_error(L"Incorrect version of the Qt library. Qt 6 or later is required to proceed with the application.");
    return exit_failed;
  }
  tk_trace(1, "gui_initialize - end");

  int result = 0;
  bool quick = false;
  try {
    rowferry_convertor conv(converter_build::wizard);
    wizard_front_end front;
    conv.set_front_end(&front);
    if (setup.engines) setup.engines(conv);
    const std::wstring profile = tk_utf8_to_unicode(command_line);
    quick = !profile.empty();
    try {
      if (quick) {
        tk_trace_w(2, L"QUICK LAUNCH: profile=%s", profile.c_str());
        if (!wizard_load_profile(profile)) {
          shell_box_error(L"Cannot load the profile: " + profile);
          return exit_failed;
        }
        // The profile's items are the run's list: one that names none converts nothing, and does not replace the
        // destination with an empty file.
        conv.table_list_given = true;
      }
      const std::wstring title = L"Tabletide 6.1";
      wizard_shell shell(title, pf::icon_program, 311, 312);
      welcome_page welcome(L"rwf");
      sql_settings_page2 connection;
      sel_file_page databases;
      rwf_sel_tables_page tables(L"There are no tables selected. Continue anyway?", false);
      progress_page progress(front);
      gui_finish_page finish(
          L"Wizard has converted your MySQL database into\nMS Access format successfully.\n\nClick 'Finish' to exit "
          L"the wizard.",
          L"There were some errors while converting the database.\nClick 'Finish' to exit the wizard.", L"rwf");
      if (!quick) {
        welcome.attach(shell.sheet(), {true, true, L"", L""});
        connection.attach(shell.sheet(), header(L"Step 1 of 4", L"MySQL server connection settings"));
        databases.attach(shell.sheet(), header(L"Step 2 of 4", L"Select databases"));
        tables.attach(shell.sheet(), header(L"Step 3 of 4", L"Select tables to convert"));
      } else {
        conv.connect_mysql_server();
        conv.check_dest();
      }
      progress.attach(shell.sheet(), header(L"Step 4 of 4", L"Database converting is in progress"));
      finish.attach(shell.sheet(), {true, false, L"", L""});
      shell.sheet().run_modal();
      if (conv.is_done()) result = conv.completed() ? 0 : exit_failed;
      else result = 0;
      if (quick && !conv.completed()) result = exit_failed;
    } catch (...) {
      report(std::current_exception());
      result = exit_failed;
    }
  } catch (...) {
    report(std::current_exception());
    result = exit_failed;
  }
  handler.set_ui(nullptr);
  return result;
}
