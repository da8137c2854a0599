// The wizard's pages driven through their real widgets: validation and flow, Back and Next, vetoes, the Cancel
// question, help topics, the dialogs, and the faults the wizard guards against.
#include <QFileDialog>
#include <QRadioButton>
#include <thread>

#include "GUI2/g_f_dlg.h"
#include "GUI2/rwf_progpg.h"
#include "GUI2/wizard_test_support.h"
#include "platform/ui/ui_app.h"
#include "platform/ui/ui_test.h"

namespace {

using namespace wiz_test;

// Types text into a multi-line edit, line ends as Return.
void type_lines(QPlainTextEdit* edit, const std::string& text) {
  std::size_t start = 0;
  while (true) {
    std::size_t end = text.find('\n', start);
    QTest::keyClicks(edit, QString::fromStdString(text.substr(start, end - start)));
    if (end == std::string::npos) return;
    QTest::keyClick(edit, Qt::Key_Return);
    start = end + 1;
  }
}

class Wizard : public wizard_fixture {
 protected:
  std::string help_page(std::size_t i) const {
    if (i >= urls.size()) return "none";
    const std::string& url = urls[i];
    return url.substr(url.rfind('/') + 1);
  }
};

TEST_F(Wizard, CancelAsksFirstAndNoKeepsThePage) {
  std::vector<std::string> boxes;
  const int status = run([&](QWidget* w) {
    // The window carries the program's icon.
    EXPECT_FALSE(w->windowIcon().isNull());
    EXPECT_EQ(w->windowIcon().pixmap(32, 32).toImage(), pf::test::icon(pf::icon_program).pixmap(32, 32).toImage());
    ui_test::expect_modal(ui_test::answer_box(boxes, "No"));
    click(w, 2);
    EXPECT_EQ(page(w), 103);
    // Escape is Cancel too; Return answers the default, No.
    ui_test::expect_modal([&](QWidget* box) {
      boxes.push_back(ui_test::box_text(box));
      QTest::keyClick(box, Qt::Key_Return);
    });
    QTest::keyClick(w, Qt::Key_Escape);
    EXPECT_EQ(page(w), 103);
    ui_test::expect_modal(ui_test::answer_box(boxes, "Yes"));
    click(w, 2);
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(boxes, (std::vector<std::string>{"Tabletide 6.1 Question|Are you sure you want to exit the wizard?",
                                             "Are you sure you want to exit the wizard?",
                                             "Tabletide 6.1 Question|Are you sure you want to exit the wizard?"}));
}

TEST_F(Wizard, HelpAndF1OpenTheTopicOfEachPage) {
  std::vector<std::string> boxes;
  run([&](QWidget* w) {
    click(w, 9);
    QTest::keyClick(w, Qt::Key_F1);
    to_databases(w);
    click(w, 9);
    to_tables(w, dir.file("help.mdb"));
    QTest::keyClick(w, Qt::Key_F1);
    click(w, 12323);
    click(w, 12323);
    QTest::keyClick(w, Qt::Key_F1);
    ui_test::expect_modal(ui_test::answer_box(boxes, "Yes"));
    click(w, 2);
  });
  ASSERT_EQ(urls.size(), 5u);
  EXPECT_EQ(help_page(0), "1011.html");
  EXPECT_EQ(help_page(1), "1011.html");
  EXPECT_EQ(help_page(2), "1013.html");
  EXPECT_EQ(help_page(3), "1015.html");
  EXPECT_EQ(help_page(4), "1010.html");
  EXPECT_EQ(urls[0].rfind("file:///", 0), 0u);
}

TEST_F(Wizard, TheConnectionPageExplainsFailuresAndStaysWithTheSettingsStored) {
  std::vector<std::string> boxes;
  run([&](QWidget* w) {
    const tt_test::mariadb_facts& f = server.facts();
    click(w, 12324);
    click(w, 1330);
    type(w, 1012, f.user);
    type(w, 1013, "wrong password");
    type(w, 1014, f.host);
    type(w, 1015, std::to_string(f.port));
    ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
    click(w, 12324);
    EXPECT_EQ(page(w), 123);
    type(w, 1015, "abc");
    ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
    click(w, 12324);
    EXPECT_EQ(page(w), 123);
    // Back stores what the page holds, and the page shows it again.
    click(w, 12323);
    click(w, 12324);
    EXPECT_EQ(text_of(w, 1015), "abc");
    EXPECT_EQ(text_of(w, 1013), "wrong password");
    // Local: the host and port boxes are off and what they hold is not used.
    click(w, 1329);
    EXPECT_FALSE(on_page<QLineEdit>(w, 1014)->isEnabled());
    type(w, 1013, f.password);
    ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
    click(w, 12324);  // no local server on the default socket here
    click(w, 12323);
    click(w, 12324);
    EXPECT_TRUE(on_page<QRadioButton>(w, 1329)->isChecked());
    EXPECT_EQ(text_of(w, 1015), "abc");
    ui_test::expect_modal(ui_test::answer_box(boxes, "Yes"));
    click(w, 2);
  });
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0],
            "Tabletide 6.1 Error|Access denied. Verify the user name and password are correct, and you have the "
            "necessary privileges to connect to the target MySQL server.");
  EXPECT_EQ(boxes[1], "Tabletide 6.1 Error|Invalid port number: 'abc'");
  EXPECT_EQ(boxes[2].rfind("Tabletide 6.1 Error|", 0), 0u);
}

TEST_F(Wizard, TheDatabasesPageChecksInOrderAndAsksAboutAnExistingFile) {
  std::vector<std::string> boxes;
  const std::string not_access = dir.file("notes.mdb");
  tk_write_file(not_access, "just text");
  run([&](QWidget* w) {
    to_databases(w);
    EXPECT_NE(items(w, 1317).size(), 0u);
    // Nothing chosen yet.
    ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
    click(w, 12324);
    pick(w, 1317, "tabletide_demo");
    // Choosing the database named the destination after it.
    EXPECT_NE(text_of(w, 1004).find("tabletide_demo.mdb"), std::string::npos);
    type(w, 1004, "");
    ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
    click(w, 12324);
    type(w, 1004, dir.file("missing/x.mdb"));
    ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
    click(w, 12324);
    // An existing file: Cancel stays and leaves it; Merge needs an Access file.
    type(w, 1004, not_access);
    ui_test::expect_modal([&](QWidget* d) {
      boxes.push_back(ui_test::box_caption(d) + "|" + ui_test::box_text(d));
      EXPECT_TRUE(ui_test::control<QRadioButton>(d, 1329)->isChecked());
      ui_test::click(d, 9);  // help, the dialog stays
      ui_test::press(d, "Cancel");
    });
    click(w, 12324);
    EXPECT_EQ(page(w), 105);
    ui_test::expect_modal([&](QWidget* d) {
      ui_test::click(d, 1332);
      ui_test::press(d, "OK");
    });
    ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
    click(w, 12324);
    EXPECT_EQ(page(w), 105);
    // Overwrite the entire database: on to the tables, the file still there until a run replaces it.
    ui_test::expect_modal([&](QWidget* d) { ui_test::press(d, "OK"); });
    click(w, 12324);
    EXPECT_EQ(page(w), 127);
    ui_test::expect_modal(ui_test::answer_box(boxes, "Yes"));
    click(w, 2);
  });
  EXPECT_EQ(tk_read_file(not_access), "just text");
  ASSERT_EQ(boxes.size(), 6u);
  EXPECT_EQ(boxes[0], "Tabletide 6.1 Message|You should select MySQL database");
  EXPECT_EQ(boxes[1], "Tabletide 6.1 Message|You should enter MS Access database name");
  EXPECT_EQ(boxes[2],
            "Tabletide 6.1 Error|Destination path does not exist. Please verify the correct path was given.");
  EXPECT_EQ(boxes[3],
            "Tabletide 6.1 Warning|The destination database already exists. Select one of the options below. Click "
            "'Help' button for more information.");
  EXPECT_EQ(boxes[4].rfind("Tabletide 6.1 Error|", 0), 0u);
  EXPECT_EQ(boxes[5], "Tabletide 6.1 Question|Are you sure you want to exit the wizard?");
  ASSERT_EQ(urls.size(), 1u);
  EXPECT_NE(urls[0].find("1012.html"), std::string::npos);
}

TEST_F(Wizard, ABrowsedAccdbFileKeepsItsNameWhateverTheFormat) {
  const pf::filter_list filter = {{L"MS Access Databases (.mdb;.accdb)", L"*.mdb;*.accdb"}, {L"All Files (*.*)", L"*.*"}};
  EXPECT_EQ(with_default_extension(L"/d/x.accdb", L".mdb", filter), L"/d/x.accdb");
  EXPECT_EQ(with_default_extension(L"/d/X.ACCDB", L".mdb", filter), L"/d/X.ACCDB");
  EXPECT_EQ(with_default_extension(L"/d/x", L".mdb", filter), L"/d/x.mdb");
  const pf::filter_list profiles = {{L"Profile Files (.rwf)", L"*.rwf"}, {L"All Files (*.*)", L"*.*"}};
  EXPECT_EQ(with_default_extension(L"/d/x.rwf.bak", L".rwf", profiles), L"/d/x.rwf.bak");
  EXPECT_EQ(with_default_extension(L"/d/x.txt", L".rwf", profiles), L"/d/x.txt.rwf");

  const std::string chosen = dir.file("x.accdb");
  std::vector<std::string> boxes;
  run([&](QWidget* w) {
    to_databases(w);
    choose(w, 1302, 1);
    ui_test::expect_modal([&](QWidget* dialog) {
      EXPECT_EQ(dialog->windowTitle().toStdString(), "Select destination MS Access database");
      static_cast<QFileDialog*>(dialog)->selectFile(QString::fromStdString(chosen));
      QTest::keyClick(dialog, Qt::Key_Return);
    });
    click(w, 1103);
    EXPECT_EQ(text_of(w, 1004), chosen);
    ui_test::expect_modal(ui_test::answer_box(boxes, "Yes"));
    click(w, 2);
  });
}

TEST_F(Wizard, TheTablesPageShowsExactlyWhatWillBeConverted) {
  std::vector<std::string> boxes;
  auto add_query = [](const std::string& name, const std::string& sql) {
    return [name, sql](QWidget* d) {
      auto* n = ui_test::control<QLineEdit>(d, 1019);
      n->selectAll();
      QTest::keyClicks(n, QString::fromStdString(name));
      auto* q = ui_test::control<QPlainTextEdit>(d, 1020);
      q->selectAll();
      QTest::keyClicks(q, QString::fromStdString(sql));
      ui_test::press(d, "OK");
    };
  };
  run([&](QWidget* w) {
    to_databases(w);
    to_tables(w, dir.file("t.mdb"));
    EXPECT_EQ(items(w, 1317), (std::vector<std::string>{"customers", "order_lines", "orders", "products", "tags"}));
    // Several at once: they move and the item after the last moved one is selected.
    pick(w, 1317, "customers");
    pick(w, 1317, "orders", true);
    click(w, 1101);
    EXPECT_EQ(items(w, 1318), (std::vector<std::string>{"customers", "orders"}));
    EXPECT_EQ(items(w, 1317), (std::vector<std::string>{"order_lines", "products", "tags"}));
    auto* left = on_page<QListWidget>(w, 1317);
    EXPECT_TRUE(left->item(1)->isSelected());
    // The query dialog: its checks in order, then a duplicate name asks again with what was typed.
    ui_test::expect_modal([&](QWidget* d) {
      EXPECT_EQ(d->windowTitle().toStdString(), "Add Query");
      ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
      ui_test::press(d, "OK");  // no name
      QTest::keyClicks(ui_test::control<QLineEdit>(d, 1019), "Customers");
      ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
      ui_test::press(d, "OK");  // no statement
      type_lines(ui_test::control<QPlainTextEdit>(d, 1020), " \n ");
      ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
      ui_test::press(d, "OK");  // blanks only
      ui_test::control<QPlainTextEdit>(d, 1020)->clear();
      type_lines(ui_test::control<QPlainTextEdit>(d, 1020), "\n  select name from customers");
      ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
      ui_test::press(d, "Test Query");
      ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));  // duplicate name
      ui_test::expect_modal([&](QWidget* again) {
        EXPECT_EQ(ui_test::control<QLineEdit>(again, 1019)->text().toStdString(), "Customers");
        EXPECT_EQ(ui_test::control<QPlainTextEdit>(again, 1020)->toPlainText().toStdString(),
                  "select name from customers");
        add_query("names", "select name from customers")(again);
      });
      ui_test::press(d, "OK");
    });
    click(w, 1114);
    EXPECT_EQ(items(w, 1318), (std::vector<std::string>{"customers", "names", "orders"}));
    // Back and Next again: the query is shown once, and the tables are chosen again.
    click(w, 12323);
    click(w, 12324);
    EXPECT_EQ(items(w, 1318), (std::vector<std::string>{"names"}));
    // A query moved back to the left goes with its statement, and comes back with it.
    pick(w, 1318, "names");
    click(w, 1111);
    EXPECT_EQ(items(w, 1318), std::vector<std::string>{});
    pick(w, 1317, "names", false, true);
    EXPECT_EQ(items(w, 1318), (std::vector<std::string>{"names"}));
    // Editing by double-click replaces the pair.
    ui_test::expect_modal([&](QWidget* d) {
      EXPECT_EQ(ui_test::control<QPlainTextEdit>(d, 1020)->toPlainText().toStdString(), "select name from customers");
      add_query("renamed", "SELECT name, 1 AS one FROM customers")(d);
    });
    pick(w, 1318, "names", false, true);
    EXPECT_EQ(items(w, 1318), (std::vector<std::string>{"renamed"}));
    pick(w, 1317, "tags", false, true);
    click(w, 12324);
    EXPECT_EQ(page(w), 106);
    wait_for_finish(w);
    click(w, 12325);
  });
  ASSERT_EQ(boxes.size(), 5u);
  EXPECT_EQ(boxes[0], "Tabletide 6.1 Message|Table name is empty!");
  EXPECT_EQ(boxes[1], "Tabletide 6.1 Error|Query is empty!");
  EXPECT_EQ(boxes[2], "Tabletide 6.1 Error|The query must start with SELECT.");
  EXPECT_EQ(boxes[3], "Tabletide 6.1 Message|The query is correct.");
  EXPECT_EQ(boxes[4], "Tabletide 6.1 Message|Duplicate table name. Try again.");
  // Exactly the two on the right were converted.
  EXPECT_EQ(tt_e2e::mdb_tables(dir.file("t.mdb")), (std::vector<std::string>{"renamed", "tags"}));
}

TEST_F(Wizard, AnotherDatabaseStartsWithoutTheOldQueriesAndNoSelectionAsks) {
  std::vector<std::string> boxes;
  run([&](QWidget* w) {
    to_databases(w);
    to_tables(w, dir.file("q.mdb"));
    ui_test::expect_modal([&](QWidget* d) {
      QTest::keyClicks(ui_test::control<QLineEdit>(d, 1019), "old");
      QTest::keyClicks(ui_test::control<QPlainTextEdit>(d, 1020), "SELECT 1 AS one");
      ui_test::press(d, "OK");
    });
    click(w, 1114);
    click(w, 12323);
    pick(w, 1317, "mysql");
    pick(w, 1317, "tabletide_demo");
    type(w, 1004, dir.file("q.mdb"));
    click(w, 12324);
    EXPECT_EQ(items(w, 1318), std::vector<std::string>{});
    // Nothing selected: the question; No stays, Yes goes on with nothing.
    ui_test::expect_modal(ui_test::answer_box(boxes, "No"));
    click(w, 12324);
    EXPECT_EQ(page(w), 127);
    ui_test::expect_modal(ui_test::answer_box(boxes, "Yes"));
    click(w, 12324);
    wait_for_finish(w);
    click(w, 12325);
  });
  EXPECT_EQ(boxes, (std::vector<std::string>{"Tabletide 6.1 Question|There are no tables selected. Continue anyway?",
                                             "Tabletide 6.1 Question|There are no tables selected. Continue anyway?"}));
  EXPECT_EQ(tt_e2e::mdb_tables(dir.file("q.mdb")), std::vector<std::string>{});
}

TEST_F(Wizard, RunErrorsAreAskedOnTheWindowThreadAndListedOnTheLastPageWhichCannotBeCancelled) {
  std::vector<std::string> boxes;
  bool on_ui = false;
  std::string finish_text, listed;
  const std::string profile_dir = dir.file("not-a-profile.rwf");
  tk_write_file(profile_dir, "this is no profile\n");
  run([&](QWidget* w) {
    // A failed Load Settings before the run is not one of the run's errors.
    ui_test::expect_modal([&](QWidget* dialog) {
      static_cast<QFileDialog*>(dialog)->selectFile(QString::fromStdString(profile_dir));
      QTest::keyClick(dialog, Qt::Key_Return);
    });
    ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
    click(w, 1115);
    to_databases(w);
    to_tables(w, dir.file("e.mdb"));
    ui_test::expect_modal([&](QWidget* d) {
      QTest::keyClicks(ui_test::control<QLineEdit>(d, 1019), "broken");
      QTest::keyClicks(ui_test::control<QPlainTextEdit>(d, 1020), "SELECT * FROM no_such_table");
      ui_test::press(d, "OK");
    });
    click(w, 1114);
    pick(w, 1317, "tags", false, true);
    ui_test::expect_modal([&](QWidget* d) {
      on_ui = pf::on_ui_thread();
      boxes.push_back(ui_test::box_caption(d) + "|" + ui_test::box_text(d));
      ui_test::press(d, "Continue");
    });
    click(w, 12324);
    wait_for_finish(w);
    finish_text = text_of(w, 1314);
    listed = text_of(w, 1016);
    // Only Finish is left: Cancel and Help are off, Escape and the close box do nothing.
    EXPECT_FALSE(w->findChild<QWidget*>("2")->isEnabled());
    EXPECT_FALSE(w->findChild<QWidget*>("9")->isEnabled());
    QTest::keyClick(w, Qt::Key_Escape);
    w->close();
    EXPECT_EQ(page(w), 116);
    EXPECT_TRUE(w->isVisible());
    click(w, 12325);
  });
  EXPECT_TRUE(on_ui);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "Tabletide 6.1 Error|Cannot load the profile: " + profile_dir);
  EXPECT_EQ(boxes[1].rfind("Tabletide 6.1 Error|broken: ", 0), 0u) << boxes[1];
  EXPECT_EQ(finish_text, "There were some errors while converting the database. Click 'Finish' to exit the wizard.");
  EXPECT_EQ(listed, boxes[1].substr(std::string("Tabletide 6.1 Error|").size()) + "\n\n");
  EXPECT_EQ(tt_e2e::mdb_tables(dir.file("e.mdb")), std::vector<std::string>{"tags"});
}

TEST(WizardProgress, PercentAndStatusText) {
  EXPECT_EQ(progress_percent(3, 1, 200, 50), 41);
  EXPECT_EQ(progress_percent(0, 0, 10, 5), 0);
  EXPECT_EQ(progress_percent(4, 2, 0, 0), 50);
  EXPECT_EQ(progress_percent(1, 1, 10, 20), 300);  // the bar shows it full
  EXPECT_EQ(progress_status(L""), L"");
  EXPECT_EQ(progress_status(L"orders"), L"Processing table 'orders'");
  const std::wstring shortened = progress_status(std::wstring(2047, L'q'));
  EXPECT_EQ(shortened.size(), 255u);
  EXPECT_EQ(shortened.substr(shortened.size() - 4), L"...'");
}

}  // namespace
