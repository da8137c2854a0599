// The wizard at the keyboard and on the screen: one mnemonic per control in every page and dialog, Alt+letter
// reaching its control, Tab leaving the query box (Ctrl+Tab types a tab), Help without a browser, and the layout
// points a small screen shows up: the side picture's height, "Format:" level with its combo box, a file filter
// that names its patterns once.
#include <QAbstractButton>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <map>
#include <sys/stat.h>

#include "GUI2/wizard_test_support.h"

namespace {

using namespace wiz_test;

// The mnemonic letters of the controls shown in a window (its buttons, check boxes, radios and labels), with
// the first letter found twice, or "" when every letter is there once.
std::string twice(QWidget* window, std::string* letters = nullptr) {
  std::map<QChar, QString> seen;
  std::string found;
  auto take = [&](const QString& text) {
    for (int i = 0; i + 1 < text.size(); ++i) {
      if (text[i] != '&') continue;
      if (text[i + 1] == '&') {
        ++i;
        continue;
      }
      const QChar key = text[i + 1].toLower();
      if (seen.count(key) && found.empty())
        found = QString("'%1' in \"%2\" and \"%3\"").arg(key).arg(seen[key], text).toStdString();
      seen[key] = text;
      if (letters) *letters += key.toLatin1();
    }
  };
  for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
    if (b->isVisible()) take(b->text());
  for (QLabel* l : window->findChildren<QLabel*>())
    if (l->isVisible() && l->textFormat() != Qt::RichText) take(l->text());
  return found;
}

class WizardKeys : public wizard_fixture {};

TEST_F(WizardKeys, EveryPageAndDialogGivesEachControlItsOwnMnemonic) {
  const std::string existing = dir.file("there.mdb");
  ASSERT_EQ(agent({"--src=tabletide_demo", "--dest=" + existing, "--acc_ver=1"}).status, 0);
  std::map<std::string, std::string> found;  // window -> the letter found twice
  std::string tables_letters;
  // Checks a window that opens, then leaves it with the button.
  auto check = [&](const std::string& name, const QString& button) {
    return [&found, name, button](QWidget* d) {
      found[name] = twice(d);
      ui_test::press(d, button);
    };
  };
  const int status = run([&](QWidget* w) {
    found["welcome"] = twice(w);
    ui_test::expect_modal(check("question", "No"));
    click(w, 2);
    to_databases(w);
    found["databases"] = twice(w);
    click(w, 12323);
    found["connection"] = twice(w);
    click(w, 12324);
    pick(w, 1317, "tabletide_demo");
    type(w, 1004, existing);
    ui_test::expect_modal(check("existing file", "OK"));
    click(w, 12324);
    ASSERT_EQ(page(w), 127);
    found["tables"] = twice(w, &tables_letters);
    // Alt+A goes to the list of available tables, Alt+Q to Add Query.
    w->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(w));
    // Keys go where the focus is, as a keyboard's do.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::AltModifier);
    EXPECT_TRUE(on_page<QWidget>(w, 1317)->hasFocus());
    ui_test::expect_modal([&](QWidget* d) {
      found["add query"] = twice(d);
      QTest::keyClicks(ui_test::control<QLineEdit>(d, 1019), "broken");
      QTest::keyClicks(ui_test::control<QPlainTextEdit>(d, 1020), "SELECT * FROM no_such_table");
      ui_test::press(d, "OK");
    });
    // A button's mnemonic presses it as a click shown briefly would: the dialog opens a moment later.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return items(w, 1318) == std::vector<std::string>{"broken"}; }, 10000));
    pick(w, 1317, "tags", false, true);
    ui_test::expect_modal([&, answer = check("continue or abort", "Continue")](QWidget* d) {
      found["progress"] = twice(w);
      answer(d);
    });
    click(w, 12324);
    wait_for_finish(w);
    found["finish"] = twice(w);
    click(w, 12325);
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(found.size(), 10u);
  for (const auto& [window, letter] : found) EXPECT_EQ(letter, "") << window;
  // The tables page's own letters, and those of Back, Next and Help.
  std::sort(tables_letters.begin(), tables_letters.end());
  EXPECT_EQ(tables_letters, "abdhlmnqrs");
}

TEST_F(WizardKeys, TabLeavesTheQueryBoxAndCtrlTabTypesATab) {
  std::string after_tab, after_ctrl_tab;
  bool left = false;
  run([&](QWidget* w) {
    to_databases(w);
    to_tables(w, dir.file("tab.mdb"));
    ui_test::expect_modal([&](QWidget* d) {
      auto* query = ui_test::control<QPlainTextEdit>(d, 1020);
      query->setFocus();
      QTest::keyClicks(query, "SELECT 1");
      QTest::keyClick(query, Qt::Key_Tab);
      after_tab = query->toPlainText().toStdString();
      left = !query->hasFocus();
      query->setFocus();
      QTest::keyClick(query, Qt::Key_Tab, Qt::ControlModifier);
      QTest::keyClicks(query, "AS one");
      after_ctrl_tab = query->toPlainText().toStdString();
      ui_test::press(d, "Cancel");
    });
    click(w, 1114);
    ui_test::expect_modal([](QWidget* box) { ui_test::press(box, "Yes"); });
    click(w, 2);
  });
  EXPECT_EQ(after_tab, "SELECT 1");
  EXPECT_TRUE(left);
  EXPECT_EQ(after_ctrl_tab, "SELECT 1\tAS one");
}

TEST_F(WizardKeys, HelpWithoutABrowserNamesThePage) {
  pf::test::set_url_opener([](const std::string&) { return false; });
  std::vector<std::string> boxes;
  run([&](QWidget* w) {
    ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
    click(w, 9);
    ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
    QTest::keyClick(w, Qt::Key_F1);
    ui_test::expect_modal(ui_test::answer_box(boxes, "Yes"));
    click(w, 2);
  });
  const std::string page = pf::help_path(1011);
  struct stat st {};
  EXPECT_EQ(stat(page.c_str(), &st), 0) << page;
  EXPECT_EQ(page.substr(page.size() - 15), "/help/1011.html");
  const std::string said =
      "Tabletide 6.1 Message|No web browser could be started to show the help. Open this page with a web browser:\n\n" +
      page;
  EXPECT_EQ(boxes,
            (std::vector<std::string>{said, said, "Tabletide 6.1 Question|Are you sure you want to exit the wizard?"}));
}

TEST_F(WizardKeys, TheSidePictureFillsItsPageFormatSitsLevelAndFiltersNameTheirPatternsOnce) {
  std::vector<int> picture, page_height;
  int format_offset = 99;
  QStringList filters;
  run([&](QWidget* w) {
    for (QSize size : {QSize(560, 400), QSize(900, 720)}) {
      w->resize(size);
      QApplication::processEvents();
      QWidget* side = wizard(w)->currentPage()->findChild<QWidget*>("watermark");
      ASSERT_NE(side, nullptr);
      picture.push_back(side->height());
      page_height.push_back(wizard(w)->currentPage()->height());
    }
    to_databases(w);
    QLabel* format = nullptr;
    for (QLabel* l : wizard(w)->currentPage()->findChildren<QLabel*>())
      if (l->text() == "&Format:") format = l;
    ASSERT_NE(format, nullptr);
    QWidget* combo = on_page<QWidget>(w, 1302);
    format_offset = format->mapTo(w, format->rect().center()).y() - combo->mapTo(w, combo->rect().center()).y();
    ui_test::expect_modal([&](QWidget* dialog) {
      filters = static_cast<QFileDialog*>(dialog)->nameFilters();
      static_cast<QFileDialog*>(dialog)->reject();
    });
    click(w, 1103);
    ui_test::expect_modal([](QWidget* box) { ui_test::press(box, "Yes"); });
    click(w, 2);
  });
  ASSERT_EQ(picture.size(), 2u);
  EXPECT_EQ(picture[0], page_height[0]);
  EXPECT_EQ(picture[1], page_height[1]);
  EXPECT_GT(picture[1], picture[0]);
  EXPECT_LE(std::abs(format_offset), 2);
  EXPECT_EQ(filters, (QStringList{"MS Access Databases (*.mdb *.accdb)", "All Files (*)"}));
}

}  // namespace
