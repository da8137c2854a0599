// Not a test: writes a picture of every page and dialog of the wizard for review (scripts/wizard_screens.sh runs
// it with --gtest_also_run_disabled_tests and TT_SCREENS_DIR set).
#include <QPixmap>

#include "GUI2/g_err_dlg.h"
#include "GUI2/wizard_test_support.h"

namespace {

using namespace wiz_test;

class Screens : public wizard_fixture {
 protected:
  void shot(QWidget* window, const std::string& name) {
    const char* folder = std::getenv("TT_SCREENS_DIR");
    ASSERT_NE(folder, nullptr);
    QTest::qWait(50);
    EXPECT_TRUE(window->grab().save(QString::fromStdString(std::string(folder) + "/" + name + ".png")));
  }
};

TEST_F(Screens, DISABLED_EveryPageAndDialog) {
  const std::string existing = dir.file("tabletide_demo.mdb");
  ASSERT_EQ(agent({"--src=tabletide_demo", "--dest=" + existing, "--acc_ver=1"}).status, 0);
  run([&](QWidget* w) {
    w->resize(720, 520);
    shot(w, "01-welcome-103");
    // Help where no browser can be started.
    pf::test::set_url_opener([](const std::string&) { return false; });
    ui_test::expect_modal([&](QWidget* box) {
      shot(box, "01b-help-without-browser");
      ui_test::press(box, "OK");
    });
    QTest::keyClick(w, Qt::Key_F1);
    pf::test::set_url_opener([](const std::string&) { return true; });
    ui_test::expect_modal([&](QWidget* box) {
      shot(box, "02-cancel-question");
      ui_test::press(box, "No");
    });
    click(w, 2);
    const tt_test::mariadb_facts& f = server.facts();
    click(w, 12324);
    click(w, 1330);
    type(w, 1012, f.user);
    type(w, 1013, f.password);
    type(w, 1014, f.host);
    type(w, 1015, std::to_string(f.port));
    shot(w, "03-connection-123");
    click(w, 12324);
    pick(w, 1317, "tabletide_demo");
    type(w, 1004, existing);
    shot(w, "04-databases-105");
    ui_test::expect_modal([&](QWidget* d) {
      shot(d, "05-existing-file-121");
      ui_test::press(d, "OK");
    });
    click(w, 12324);
    pick(w, 1317, "customers");
    click(w, 1101);
    ui_test::expect_modal([&](QWidget* d) {
      // A long name, as the status line and the error texts show it.
      QTest::keyClicks(ui_test::control<QLineEdit>(d, 1019),
                       "broken_query_whose_name_is_much_longer_than_the_status_line_of_the_progress_page_can_show");
      QTest::keyClicks(ui_test::control<QPlainTextEdit>(d, 1020), "SELECT * FROM no_such_table");
      shot(d, "07-add-query-128");
      ui_test::press(d, "OK");
    });
    click(w, 1114);
    shot(w, "06-tables-127");
    ui_test::expect_modal([&](QWidget* d) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return !text_of(w, 1323).empty(); }, 5000));
      shot(w, "08-progress-106");
      shot(d, "09-continue-abort-115");
      ui_test::press(d, "Continue");
    });
    click(w, 12324);
    wait_for_finish(w);
    shot(w, "10-finish-116");
    click(w, 12325);
  });
  // A run that cannot finish: a quick launch whose source database is not on the server.
  run(
      [&](QWidget* w) {
        w->resize(720, 520);
        ui_test::expect_modal([](QWidget* d) { ui_test::press(d, "Continue"); });
        wait_for_finish(w);
        shot(w, "10b-finish-failed-116");
        click(w, 12325);
      },
      quick_profile("no_such_db", dir.file("never.mdb"), {"tags"}));
  ui_test::expect_modal([&](QWidget* d) {
    shot(d, "11-internal-error-114");
    ui_test::press(d, "OK");
  });
  wizard_error_ui().internal_error_dialog(L"Internal error: \ncode=2e2e5c47554932");
}

}  // namespace
