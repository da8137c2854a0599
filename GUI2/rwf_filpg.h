// The databases page (105, "Step 2 of 4"): the source database from the server's list, the Access format, three
// switches and the destination file.
//
// On entry the page shows the converter's settings: the stored source database is looked up by its beginning
// (ignoring case), and an empty destination is derived from it. Choosing another database (the user's choice
// only) renames the destination after it and empties the converter's table and query lists.
//
// Next checks, in order: a database chosen, a destination given, the destination usable (common_check_dest); an
// existing destination asks what to do with it (overwrite_dlg2): Cancel stays; to overwrite the entire database
// the file is left in place until the run has written its replacement, so that a run that fails or is stopped
// keeps it; the other modes need a file the Access engine can read.
#pragma once

#include "GUI2/g_wiz_pg.h"

class sel_file_page : public wizard_page {
 public:
  sel_file_page();
  std::vector<pf::control> layout() const override;
  bool page_init() override;
  void on_command(int id, pf::notify what) override;
  int on_next() override;
  int on_back() override;
  void on_help() override;
  void store_file_info();

 private:
  void on_browse();
  void on_select();
  bool formats_filled_ = false;
};
