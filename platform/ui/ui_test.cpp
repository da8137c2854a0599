// The window layer driven as a user would: control tables, list order, sheet navigation and vetoes, boxes from
// another thread, file-dialog filters.
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QWizard>
#include <gtest/gtest.h>
#include <thread>

#include "platform/ui/ui_app.h"
#include "platform/ui/ui_boxes.h"
#include "platform/ui/ui_dialog.h"
#include "platform/ui/ui_sheet.h"
#include "platform/ui/ui_test_support.h"

namespace {

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui_test::app();
    ui_test::clear();
  }
  void TearDown() override {
    EXPECT_EQ(ui_test::pending(), 0u);
    EXPECT_TRUE(ui_test::unexpected().empty()) << ui_test::unexpected().front();
  }
};

TEST_F(UiTest, FiltersAreShownAsTheFileDialogReadsThem) {
  pf::filter_list filters = {{L"MS Access Databases (.mdb;.accdb)", L"*.mdb;*.accdb"}, {L"All Files (*.*)", L"*.*"}};
  EXPECT_EQ(pf::translate_filter(filters),
            (std::vector<std::wstring>{L"MS Access Databases (*.mdb *.accdb)", L"All Files (*)"}));
  EXPECT_EQ(pf::translate_filter({{L"Profile Files (.rwf)", L"*.rwf"}, {L"Text", L"*.txt;*.csv"}}),
            (std::vector<std::wstring>{L"Profile Files (*.rwf)", L"Text (*.txt *.csv)"}));
  // Static texts flow: a single line feed is a blank, an empty line stays.
  EXPECT_EQ(pf::flowing_text(L"one\ntwo.\n\nthree\n"), L"one two.\n\nthree ");
  EXPECT_EQ(pf::flowing_text(L"Internal error: \ncode=1"), L"Internal error: code=1");
  // A label lets a long word (a long table name) break every 40 characters.
  pf::dialog d({{7, pf::kind::label, L"", 0, 0}}, 0);
  d.ctl().set_text(7, L"a\n" + std::wstring(90, L'n') + L": x");
  EXPECT_EQ(d.ctl().text(7), L"a " + std::wstring(40, L'n') + L"\u200b" + std::wstring(40, L'n') + L"\u200b" +
                                 std::wstring(10, L'n') + L": x");
  EXPECT_EQ(pf::filter_extensions(filters), (std::vector<std::wstring>{L"mdb", L"accdb"}));
}

TEST_F(UiTest, ControlsChangedByTheProgramAreSilentAndUserActionsNotify) {
  std::vector<std::pair<int, pf::notify>> seen;
  pf::dialog d({{1, pf::kind::listbox, L"", 0, 0},
                {2, pf::kind::check, L"&Box", 1, 0},
                {3, pf::kind::progress, L"", 2, 0},
                {4, pf::kind::multiline, L"", 3, 0, 1, 10},
                {5, pf::kind::edit, L"", 4, 0, 1, 4},
                {6, pf::kind::button, L"OK", 5, 0}},
               0);
  d.ctl().set_handler([&](int id, pf::notify what) {
    seen.emplace_back(id, what);
    if (id == 6) d.end(42);
  });
  for (const wchar_t* name : {L"banana", L"Cherry", L"apple2", L"_x", L"Apple"}) d.ctl().list_add(1, name);
  d.ctl().list_select(1, 2, true);
  d.ctl().set_checked(2, true);
  EXPECT_TRUE(seen.empty());
  ui_test::expect_modal([&](QWidget* w) {
    auto* list = ui_test::control<QListWidget>(w, 1);
    std::vector<std::string> items;
    for (int i = 0; i < list->count(); ++i) items.push_back(list->item(i)->text().toStdString());
    EXPECT_EQ(items, (std::vector<std::string>{"_x", "Apple", "apple2", "banana", "Cherry"}));
    // A plain check box does not change on a click; the owner is told.
    auto* box = ui_test::control<QCheckBox>(w, 2);
    ui_test::click(w, 2);
    EXPECT_TRUE(box->isChecked());
    // The progress bar is full for any value above its range.
    d.ctl().set_progress(3, 141);
    EXPECT_EQ(ui_test::control<QProgressBar>(w, 3)->value(), 100);
    // Edits refuse what goes past their limit instead of cutting it.
    auto* edit = ui_test::control<QPlainTextEdit>(w, 4);
    edit->setFocus();
    QTest::keyClicks(edit, "0123456789");
    QTest::keyClicks(edit, "X");
    EXPECT_EQ(edit->toPlainText().toStdString(), "0123456789");
    auto* line = ui_test::control<QLineEdit>(w, 5);
    QTest::keyClicks(line, "abcdef");
    EXPECT_EQ(line->text().toStdString(), "abcd");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    ui_test::click(w, 6);
  });
  EXPECT_EQ(d.run_modal(nullptr), 42);
  EXPECT_EQ(d.ctl().list_selected(1), std::vector<int>{0});
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[0], std::make_pair(2, pf::notify::clicked));
  EXPECT_NE(std::find(seen.begin(), seen.end(), std::make_pair(1, pf::notify::selchange)), seen.end());
  EXPECT_EQ(seen.back(), std::make_pair(6, pf::notify::clicked));
}

TEST_F(UiTest, EscapeOnADialogSendsItsCommandOrNothing) {
  pf::dialog ignoring({{1, pf::kind::button, L"OK", 0, 0}}, 0);
  ignoring.ctl().set_handler([&](int id, pf::notify) { ignoring.end(id); });
  ui_test::expect_modal([](QWidget* w) {
    QTest::keyClick(w, Qt::Key_Escape);
    w->close();
    EXPECT_TRUE(w->isVisible());
    ui_test::click(w, 1);
  });
  EXPECT_EQ(ignoring.run_modal(nullptr), 1);

  pf::dialog continuing({{2, pf::kind::button, L"Continue", 0, 0}}, 2);
  continuing.ctl().set_handler([&](int id, pf::notify) { continuing.end(id); });
  ui_test::expect_modal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
  EXPECT_EQ(continuing.run_modal(nullptr), 2);
}

// A page that records what the sheet tells it and answers as it is told.
struct recording_page : pf::page_events {
  std::vector<std::string>& log;
  std::string name;
  int next = 0, back = 0;
  bool cancel = false, leave = true;
  explicit recording_page(std::vector<std::string>& l, std::string n) : log(l), name(std::move(n)) {}
  bool set_active() override {
    log.push_back(name + ":active");
    return true;
  }
  int wiz_next() override {
    log.push_back(name + ":next");
    return next;
  }
  int wiz_back() override {
    log.push_back(name + ":back");
    return back;
  }
  bool kill_active() override {
    log.push_back(name + ":leave");
    return leave;
  }
  bool wiz_finish() override {
    log.push_back(name + ":finish");
    return true;
  }
  bool query_cancel() override {
    log.push_back(name + ":cancel");
    return cancel;
  }
  void help() override { log.push_back(name + ":help"); }
  void timer() override {}
  void command(int, pf::notify) override {}
};

TEST_F(UiTest, TheSheetKeepsThePagesInTheOrderAddedAndAsksThemBeforeMoving) {
  std::vector<std::string> log;
  recording_page a(log, "103"), b(log, "123"), c(log, "116");
  pf::sheet sheet;
  pf::page_style header;
  header.title = L"Step 1 of 4";
  header.has_help = true;
  sheet.add_page(103, {}, {true, true, L"", L""}, &a);
  sheet.add_page(123, {}, header, &b);
  sheet.add_page(116, {}, {true, false, L"", L""}, &c);
  ui_test::expect_modal([&](QWidget* w) {
    auto* wizard = static_cast<QWizard*>(w);
    EXPECT_EQ(sheet.current_page(), 103);
    QTest::keyClick(w, Qt::Key_F1);
    ui_test::click(w, pf::button_next);
    EXPECT_EQ(sheet.current_page(), 123);
    b.back = -1;  // Back refused: stays
    ui_test::click(w, pf::button_back);
    EXPECT_EQ(sheet.current_page(), 123);
    b.back = 0;
    ui_test::click(w, pf::button_back);
    EXPECT_EQ(sheet.current_page(), 103);
    a.next = -1;
    ui_test::click(w, pf::button_next);
    EXPECT_EQ(sheet.current_page(), 103);
    a.next = 0;
    // A page that refuses to be left stays, after Next, Back or a jump alike.
    a.leave = false;
    ui_test::click(w, pf::button_next);
    sheet.select_page(116);
    EXPECT_EQ(sheet.current_page(), 103);
    a.leave = true;
    ui_test::click(w, pf::button_next);
    b.leave = false;
    ui_test::click(w, pf::button_back);
    EXPECT_EQ(sheet.current_page(), 123);
    b.leave = true;
    ui_test::click(w, pf::button_next);
    EXPECT_EQ(sheet.current_page(), 116);
    // With Cancel disabled, Escape and the close box do nothing.
    sheet.enable_button(pf::button_cancel, false);
    QTest::keyClick(w, Qt::Key_Escape);
    wizard->close();
    EXPECT_TRUE(w->isVisible());
    ui_test::click(w, pf::button_finish);
  });
  EXPECT_EQ(sheet.run_modal(), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"103:active", "103:help", "103:next", "103:leave", "123:active",
                                           "123:back", "123:back", "123:leave", "103:active", "103:next", "103:next",
                                           "103:leave", "103:leave", "103:next", "103:leave", "123:active",
                                           "123:back", "123:leave", "123:next", "123:leave", "116:active",
                                           "116:finish"}));
}

TEST_F(UiTest, CancelAsksThePageAndEscapeIsCancel) {
  std::vector<std::string> log;
  recording_page a(log, "103");
  pf::sheet sheet;
  sheet.add_page(103, {}, {true, true, L"", L""}, &a);
  ui_test::expect_modal([&](QWidget* w) {
    QTest::keyClick(w, Qt::Key_Escape);
    EXPECT_TRUE(w->isVisible());
    a.cancel = true;
    ui_test::click(w, pf::button_cancel);
  });
  EXPECT_EQ(sheet.run_modal(), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"103:active", "103:cancel", "103:cancel"}));
}

TEST_F(UiTest, ABoxAskedForByAWorkerIsShownOnTheWindowThreadAndAnswersTheWorker) {
  std::vector<std::string> boxes;
  int answer = 0;
  bool shown_on_ui = false;
  ui_test::expect_modal([&](QWidget* box) {
    shown_on_ui = pf::on_ui_thread();
    ui_test::answer_box(boxes, "Yes")(box);
  });
  std::thread worker([&] {
    pf::run_on_ui([&] { answer = pf::message_box(L"Go on?", L"Tabletide 6.1 Question", pf::icon::question,
                                                 pf::buttons::yes_no, true, true); });
  });
  EXPECT_TRUE(pf::wait_until([&] { return answer != 0; }, 10000));
  worker.join();
  EXPECT_TRUE(shown_on_ui);
  EXPECT_EQ(answer, pf::id_yes);
  EXPECT_EQ(boxes, std::vector<std::string>{"Tabletide 6.1 Question|Go on?"});
}

TEST_F(UiTest, NoIsTheDefaultAnswerWhenAsked) {
  ui_test::expect_modal([](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); });
  EXPECT_EQ(pf::message_box(L"Sure?", L"Question", pf::icon::question, pf::buttons::yes_no, true, false), pf::id_no);
}

}  // namespace
