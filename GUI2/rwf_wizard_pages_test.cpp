// The framework under the wizard's pages, with pages of its own: each page is asked before it is left and may
// stay, and the shell puts the icon it is given on the window.
#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QWizard>
#include <string>
#include <vector>

#include "GUI2/g_wiz_pg.h"
#include "GUI2/g_wiz_sh.h"
#include "platform/ui/ui_test.h"
#include "platform/ui/ui_test_support.h"

namespace {

// A page without controls that records when it becomes active and when it is about to be left.
class recording_page : public wizard_page {
 public:
  recording_page(int id, std::vector<std::string>& log)
      : wizard_page(id, wiz_back_button | wiz_next_button | wiz_finish_button), log_(log) {}
  std::vector<pf::control> layout() const override { return {}; }
  bool page_init() override {
    log_.push_back(std::to_string(dialog_id()) + " shown");
    return true;
  }
  bool on_kill_active() override {
    log_.push_back(std::to_string(dialog_id()) + (stay ? " stays" : " left"));
    return !stay;
  }
  bool stay = false;

 private:
  std::vector<std::string>& log_;
};

QImage picture(const QIcon& icon) { return icon.pixmap(32, 32).toImage(); }

TEST(WizardPages, APageIsAskedBeforeItIsLeftAndMayStay) {
  ui_test::app();
  ui_test::clear();
  std::vector<std::string> log;
  wizard_shell shell(L"Pages", pf::icon_program, 311, 312);
  recording_page first(103, log), second(123, log), last(116, log);
  for (recording_page* p : {&first, &second, &last}) p->attach(shell.sheet(), pf::page_style{});
  ui_test::expect_modal([&](QWidget* w) {
    ui_test::click(w, pf::button_next);
    second.stay = true;
    ui_test::click(w, pf::button_next);
    ui_test::click(w, pf::button_back);
    shell.sheet().select_page(103);
    EXPECT_EQ(shell.sheet().current_page(), 123);
    second.stay = false;
    ui_test::click(w, pf::button_back);
    shell.sheet().select_page(116);
    EXPECT_EQ(shell.sheet().current_page(), 116);
    // The window carries the icon the shell was given.
    EXPECT_FALSE(w->windowIcon().isNull());
    EXPECT_EQ(picture(w->windowIcon()), picture(pf::test::icon(pf::icon_program)));
    ui_test::click(w, pf::button_finish);
  });
  EXPECT_EQ(shell.sheet().run_modal(), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"103 shown", "103 left", "123 shown", "123 stays", "123 stays",
                                           "123 stays", "123 left", "103 shown", "103 left", "116 shown"}));
  EXPECT_TRUE(ui_test::unexpected().empty());
}

TEST(WizardPages, AShellGivenNoIconLeavesTheWindowWithoutOne) {
  ui_test::app();
  ui_test::clear();
  std::vector<std::string> log;
  wizard_shell shell(L"Pages", 0, 311, 312);
  recording_page only(103, log);
  only.attach(shell.sheet(), pf::page_style{});
  bool checked = false;
  ui_test::expect_modal([&](QWidget* w) {
    checked = true;
    EXPECT_TRUE(w->windowIcon().isNull() || picture(w->windowIcon()) != picture(pf::test::icon(pf::icon_program)));
    ui_test::click(w, pf::button_finish);
  });
  EXPECT_EQ(shell.sheet().run_modal(), 1);
  EXPECT_TRUE(checked);
}

}  // namespace
