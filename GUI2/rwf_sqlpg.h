// The MySQL connection page (123, "Step 1 of 4"): local or remote server, user, password, host and port. Next
// stores the settings, refuses a port that is not a plain number from 1 to 65535 as the console does ("Invalid
// port number: '<text>'"), and connects; a failed connection is explained (the MySQL error map's text, else the
// server's own) and the page stays, the settings stored. Back stores them too.
//
// The connection is made on a thread of its own while the page waits with the busy cursor, so the window keeps
// painting however long an unreachable host takes. Cancel meanwhile asks the usual question; Yes gives the
// attempt up and ends the wait, and the wizard closes (the page's destructor waits for the attempt, which ends at
// once).
#pragma once

#include <atomic>
#include <exception>
#include <memory>
#include <thread>

#include "GUI2/g_wiz_pg.h"

class sql_settings_page2 : public wizard_page {
 public:
  sql_settings_page2();
  ~sql_settings_page2() override;
  std::vector<pf::control> layout() const override;
  bool page_init() override;
  void on_command(int id, pf::notify what) override;
  int on_next() override;
  int on_back() override;
  void on_help() override;
  bool on_cancel() override;
  void store_settings();
  bool connecting() const { return connecting_; }

 private:
  // Connects with the stored settings on the connecting thread and waits for it; what it threw leaves here.
  void connect_waiting();

  struct attempt {
    std::atomic<bool> finished{false};
    std::exception_ptr failure;
  };
  std::thread thread_;
  bool connecting_ = false;
  bool abandoned_ = false;
};
