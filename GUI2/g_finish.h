// The first and last pages of the wizard.
//
// Welcome (103): "Load Settings..." reads a profile into the converter; the pages that follow show its settings.
// A profile that cannot be read is reported ("Cannot load the profile: <path>" when it is not a profile the
// program can read) and changes nothing.
//
// Finish (116): the result of the run: the success text, or the error text with the run's errors listed below it
// (20 of them, then "… and <n> more"); a run that could not finish is titled "Conversion Failed" and says why
// (the error that ended it). One summary line counts the tables converted, rows written and record errors.
// Only Finish is left usable; Escape and the close box do nothing here. "Save Settings..." writes every setting
// to a profile.
#pragma once

#include <string>

#include "GUI2/g_wiz_pg.h"
#include "platform/ui/ui_boxes.h"

// The profile filter: "Profile Files (.<ext>)" / "*.<ext>", "All Files (*.*)" / "*.*". An extension that is not
// 3 or 4 characters long is an internal error (g_finish, line).
pf::filter_list profile_filter(const std::wstring& extension, unsigned line);

// Loads a profile into the converter: false when the path names a folder or a file that is not a profile (nothing is changed then); a missing file raises the loader's level-1 error.
bool wizard_load_profile(const std::wstring& path);

// The maker's web address behind the welcome page's link.
extern const char* const maker_web_address;

class welcome_page : public wizard_page {
 public:
  explicit welcome_page(const std::wstring& profile_extension);
  std::vector<pf::control> layout() const override;
  bool page_init() override;
  void on_help() override;
  void on_command(int id, pf::notify what) override;
  void on_load();

 private:
  std::wstring extension_;
  bool link_made_ = false;
};

class gui_finish_page : public wizard_page {
 public:
  gui_finish_page(const std::wstring& success_text, const std::wstring& error_text,
                  const std::wstring& profile_extension);
  std::vector<pf::control> layout() const override;
  bool page_init() override;
  void on_command(int id, pf::notify what) override;
  void on_store();

 private:
  bool first_focus_ = true;
  std::wstring success_;
  std::wstring error_;
  std::wstring extension_;
};
