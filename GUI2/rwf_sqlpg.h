// The MySQL connection page (123, "Step 1 of 4"): local or remote server, user, password, host and port. Next
// stores the settings and connects; a failed connection is explained (the MySQL error map's text, else the
// server's own) and the page stays, the settings stored. Back stores them too.
#pragma once

#include "GUI2/g_wiz_pg.h"

class sql_settings_page2 : public wizard_page {
 public:
  sql_settings_page2();
  std::vector<pf::control> layout() const override;
  bool page_init() override;
  void on_command(int id, pf::notify what) override;
  int on_next() override;
  int on_back() override;
  void on_help() override;
  void store_settings();
};
