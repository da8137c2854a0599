// The error handler's dialogs as the wizard shows them, and settings loaded on the first page.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <climits>
#include <thread>

#include "GUI2/g_err_dlg.h"
#include "GUI2/wizard_test_support.h"
#include "platform/ui/ui_app.h"

namespace {

using namespace wiz_test;

class WizardDialogs : public wizard_fixture {};

TEST_F(WizardDialogs, TheInternalErrorDialogIsLeftOnlyByItsButtons) {
  wizard_error_ui ui;
  for (const char* button : {"Copy to clipboard", "Send bug", "OK"}) {
    ui_test::expect_modal([&](QWidget* d) {
      // No shell yet: the plain caption.
      EXPECT_EQ(ui_test::box_caption(d), "Error");
      EXPECT_EQ(ui_test::box_text(d), "Internal error: code=1");
      QTest::keyClick(d, Qt::Key_Escape);
      d->close();
      EXPECT_TRUE(d->isVisible());
      ui_test::press(d, button);
    });
    const int result = ui.internal_error_dialog(L"Internal error: \ncode=1");
    EXPECT_EQ(result, std::string(button) == "OK" ? tk_dlg_ok : std::string(button) == "Send bug" ? tk_dlg_send_bug
                                                                                                  : tk_dlg_copy);
  }
}

TEST_F(WizardDialogs, TheContinueDialogAnswersTheThreadThatAskedAndKeepsItsCheckBox) {
  wizard_error_ui ui;
  int result = 0;
  bool quiet = false;
  bool on_ui = false;
  ui_test::expect_modal([&](QWidget* d) {
    on_ui = pf::on_ui_thread();
    ui_test::click(d, 1222);
    EXPECT_TRUE(ui_test::control<QCheckBox>(d, 1222)->isChecked());
    QTest::keyClick(d, Qt::Key_Escape);  // Escape is Continue
  });
  std::thread worker([&] { result = ui.continue_dialog(L"orders, record #3: bad value", quiet); });
  EXPECT_TRUE(pf::wait_until([&] { return result != 0; }, 10000));
  worker.join();
  EXPECT_TRUE(on_ui);
  EXPECT_EQ(result, tk_dlg_continue);
  EXPECT_TRUE(quiet);

  ui_test::expect_modal([&](QWidget* d) { ui_test::press(d, "Abort"); });
  EXPECT_EQ(ui.continue_dialog(L"again", quiet), tk_dlg_abort);
  EXPECT_FALSE(quiet);
}

TEST_F(WizardDialogs, LoadSettingsFillsThePagesThatFollow) {
  const tt_test::mariadb_facts& f = server.facts();
  const std::string profile = dir.file("shop.rwf");
  tk_write_file(profile, "[MySQL settings]\nhost=" + f.host + "\nport=" + std::to_string(f.port) + "\nuser=" + f.user +
                             "\npassword=" + f.password + "\n[Generic settings]\nsrc=tabletide_demo\n");
  run([&](QWidget* w) {
    // Cancelled: nothing changes.
    ui_test::expect_modal([](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); });
    click(w, 1115);
    click(w, 12324);
    EXPECT_EQ(text_of(w, 1014), "");
    click(w, 12323);
    ui_test::expect_modal([&](QWidget* d) {
      EXPECT_EQ(d->windowTitle().toStdString(), "Select Profile");
      static_cast<QFileDialog*>(d)->selectFile(QString::fromStdString(profile));
      QTest::keyClick(d, Qt::Key_Return);
    });
    click(w, 1115);
    click(w, 12324);
    EXPECT_EQ(text_of(w, 1014), f.host);
    EXPECT_EQ(text_of(w, 1015), std::to_string(f.port));
    EXPECT_EQ(text_of(w, 1012), f.user);
    click(w, 12324);
    ASSERT_EQ(page(w), 105);
    auto* list = on_page<QListWidget>(w, 1317);
    ASSERT_FALSE(list->selectedItems().isEmpty());
    EXPECT_EQ(list->selectedItems().front()->text().toStdString(), "tabletide_demo");
    std::vector<std::string> boxes;
    ui_test::expect_modal(ui_test::answer_box(boxes, "Yes"));
    click(w, 2);
  });
}

TEST_F(WizardDialogs, NoEntryIsCutInvisibly) {
  std::vector<std::string> boxes;
  run([&](QWidget* w) {
    to_databases(w);
    // Paths as long as the system allows.
    EXPECT_EQ(on_page<QLineEdit>(w, 1004)->maxLength(), PATH_MAX);
    to_tables(w, dir.file("limits.mdb"));
    ui_test::expect_modal([&](QWidget* d) {
      // The name takes what the dialog reads, and a statement beyond 9999 characters is refused, not cut.
      EXPECT_EQ(ui_test::control<QLineEdit>(d, 1019)->maxLength(), 2047);
      auto* statement = ui_test::control<QPlainTextEdit>(d, 1020);
      const QString longest = "SELECT '" + QString(9985, 'x') + "' AS x";
      ASSERT_EQ(longest.size(), 9999);
      statement->insertPlainText(longest);
      EXPECT_EQ(statement->toPlainText(), longest);
      statement->insertPlainText("y");
      EXPECT_EQ(statement->toPlainText(), longest);
      ui_test::press(d, "Cancel");
    });
    click(w, 1114);
    click(w, 12323);
    click(w, 12323);
    for (int id : {1012, 1013, 1014, 1015}) EXPECT_EQ(on_page<QLineEdit>(w, id)->maxLength(), 259) << id;
    ui_test::expect_modal(ui_test::answer_box(boxes, "Yes"));
    click(w, 2);
  });
}

TEST_F(WizardDialogs, TheFirstFocusOfTheErrorListMovesOnToFinish) {
  run([&](QWidget* w) {
    to_databases(w);
    to_tables(w, dir.file("focus.mdb"));
    ui_test::expect_modal([&](QWidget* d) {
      QTest::keyClicks(ui_test::control<QLineEdit>(d, 1019), "broken");
      QTest::keyClicks(ui_test::control<QPlainTextEdit>(d, 1020), "SELECT * FROM no_such_table");
      ui_test::press(d, "OK");
    });
    click(w, 1114);
    pick(w, 1317, "tags", false, true);
    ui_test::expect_modal([&](QWidget* d) { ui_test::press(d, "Continue"); });
    click(w, 12324);
    wait_for_finish(w);
    QApplication::setActiveWindow(w);
    QTest::qWait(20);
    auto* list = on_page<QPlainTextEdit>(w, 1016);
    EXPECT_TRUE(list->isVisible());
    EXPECT_TRUE(list->isReadOnly());
    // The box took the focus first as the page came up, and handed it on to Finish; later it keeps it.
    EXPECT_TRUE(w->findChild<QWidget*>("12325")->hasFocus());
    list->setFocus(Qt::TabFocusReason);
    QTest::qWait(20);
    EXPECT_TRUE(list->hasFocus());
    click(w, 12325);
  });
}

}  // namespace
