// How a run ends, as the wizard tells it: the finish page's title, reason and summary line for a run that went
// through and for one that could not finish, the error list past its 20 entries, the log line for a name stored
// under a safe one, a SELECT that fails mid-table, and Cancel while the run finishes (the run does not replace the
// destination while the user is being asked).
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <dirent.h>

#include <chrono>
#include <optional>

#include "GUI2/wizard_test_support.h"
#include "converter/rwf_conv.h"

namespace {

using namespace wiz_test;

class WizardOutcome : public wizard_fixture {
 protected:
  // The text of a control of the page with that dialog id (shown or not).
  static std::string page_text(QWidget* w, int dialog, int id) {
    QWidget* c = w->findChild<QWidget*>("page" + QString::number(dialog))->findChild<QWidget*>(QString::number(id));
    if (auto* e = qobject_cast<QPlainTextEdit*>(c)) return e->toPlainText().toStdString();
    if (auto* l = qobject_cast<QLabel*>(c)) return l->text().toStdString();
    ADD_FAILURE() << "no text control " << id;
    return {};
  }

  // Names in the scratch folder that hold text.
  std::vector<std::string> files_with(const std::string& text) {
    std::vector<std::string> found;
    if (DIR* folder = opendir(dir.path().c_str())) {
      while (dirent* entry = readdir(folder))
        if (std::string(entry->d_name).find(text) != std::string::npos) found.push_back(entry->d_name);
      closedir(folder);
    }
    std::sort(found.begin(), found.end());
    return found;
  }

};

TEST_F(WizardOutcome, ARunThatWentThroughCountsWhatItWroteAndLogsASafeName) {
  const std::string file = dir.file("good.mdb");
  const std::string long_name(70, 'q');
  std::string title, summary, log, status_label;
  bool status_fits = false;
  const int status = run(
      [&](QWidget* w) {
        wait_for_finish(w);
        title = text_of(w, 1313);
        summary = text_of(w, 1315);
        log = page_text(w, 106, 1016);
        // The status line still names the last item, cut to the width of its label.
        auto* label = w->findChild<QWidget*>("page106")->findChild<QLabel*>("1323");
        status_label = label->text().toStdString();
        status_fits = label->fontMetrics().horizontalAdvance(label->text()) <= label->width();
        click(w, 12325);
      },
      quick_profile("tabletide_demo", file, {"tags", long_name + "=SELECT * FROM tags"}));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(title, "Conversion is Completed");
  EXPECT_EQ(summary, "Tables converted: 2, rows written: 8, record errors: 0");
  const std::vector<std::string> tables = tt_e2e::mdb_tables(file);
  ASSERT_EQ(tables.size(), 2u);
  const std::string stored = tables[0] == "tags" ? tables[1] : tables[0];
  EXPECT_NE(stored, long_name);
  EXPECT_NE(log.find("Converting table " + long_name + " (4 records)\nStored as table '" + stored + "'\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("Stored as table 'tags'"), std::string::npos);
  EXPECT_EQ(status_label.rfind("Processing table 'qqq", 0), 0u) << status_label;
  EXPECT_EQ(status_label.substr(status_label.size() - 3), "\u2026");
  EXPECT_TRUE(status_fits);
  expect_sound(file);
}

TEST_F(WizardOutcome, AnUnknownDatabaseAfterContinueEndsAsAFailedConversion) {
  std::vector<std::string> boxes;
  std::string title, reason, summary;
  const int status = run(
      [&](QWidget* w) {
        ui_test::expect_modal([&](QWidget* d) {
          boxes.push_back(ui_test::box_text(d));
          ui_test::press(d, "Continue");
        });
        wait_for_finish(w);
        title = text_of(w, 1313);
        reason = text_of(w, 1314);
        summary = text_of(w, 1315);
        click(w, 12325);
      },
      quick_profile("no_such_db", dir.file("never.mdb"), {"tags"}));
  EXPECT_EQ(status, 255);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("no_such_db"), std::string::npos) << boxes[0];
  EXPECT_EQ(title, "Conversion Failed");
  EXPECT_EQ(reason, "The conversion failed: " + boxes[0] + ". Click 'Finish' to exit the wizard.");
  EXPECT_EQ(summary, "Tables converted: 0, rows written: 0, record errors: 0");
  EXPECT_FALSE(tk_file_exists(dir.file("never.mdb")));
}

// A server error once a table's rows stream ends the run as an ordinary error: one error box, the finish page's
// "Conversion Failed" with the error as the reason, and the destination as it was; the next item never starts.
TEST_F(WizardOutcome, ASelectThatFailsMidTableEndsAsAFailedConversionAndKeepsTheFile) {
  const std::string dest = dir.file("kept.mdb");
  ASSERT_EQ(agent({"--src=tabletide_demo", "--dest=" + dest, "--acc_ver=1"}).status, 0);
  const std::string before = tk_read_file(dest);
  // Fails at its 3,000th row, after the 2,999 before it were sent.
  const std::string failing =
      "broken=SELECT seq, (SELECT 1 UNION SELECT 2 FROM DUAL WHERE seq = 3000) AS f FROM seq_1_to_5000";
  const std::string error =
      "broken: Reading table broken failed after 2999 rows had arrived: Subquery returns more than 1 row";
  std::vector<std::string> boxes;
  std::string title, reason, summary, log;
  const int status = run(
      [&](QWidget* w) {
        ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
        wait_for_finish(w);
        title = text_of(w, 1313);
        reason = text_of(w, 1314);
        summary = text_of(w, 1315);
        log = page_text(w, 106, 1016);
        click(w, 12325);
      },
      quick_profile("tabletide_demo", dest, {failing, "tags"}));
  EXPECT_EQ(status, 255);
  EXPECT_EQ(boxes, std::vector<std::string>{"Tabletide 6.1 Error|" + error});
  EXPECT_EQ(title, "Conversion Failed");
  EXPECT_EQ(reason, "The conversion failed: " + error + ". Click 'Finish' to exit the wizard.");
  EXPECT_EQ(summary.rfind("Tables converted: 0, rows written: ", 0), 0u) << summary;
  EXPECT_EQ(log.find("Converting table tags"), std::string::npos) << log;
  EXPECT_EQ(tk_read_file(dest), before);
  EXPECT_EQ(files_with("kept"), std::vector<std::string>{"kept.mdb"});
}

TEST_F(WizardOutcome, NothingConvertedFailsAndTheListSaysHowManyMoreThereWere) {
  std::vector<std::string> items;
  for (int i = 10; i < 32; ++i) items.push_back("q" + std::to_string(i) + "=SELECT * FROM no_such_table");
  std::string title, reason, listed;
  bool wraps = false;
  const int status = run(
      [&](QWidget* w) {
        // The first error: do not show the others.
        ui_test::expect_modal([&](QWidget* d) {
          ui_test::control<QCheckBox>(d, 1222)->click();
          ui_test::press(d, "Continue");
        });
        wait_for_finish(w);
        title = text_of(w, 1313);
        reason = text_of(w, 1314);
        listed = text_of(w, 1016);
        wraps = on_page<QPlainTextEdit>(w, 1016)->lineWrapMode() == QPlainTextEdit::WidgetWidth;
        click(w, 12325);
      },
      quick_profile("tabletide_demo", dir.file("nothing.mdb"), items));
  EXPECT_EQ(status, 255);
  EXPECT_EQ(title, "Conversion Failed");
  EXPECT_EQ(reason,
            "The conversion failed: Nothing could be converted: the destination file was left as it was. Click "
            "'Finish' to exit the wizard.");
  // 22 items failed and the run with them: 20 are listed.
  EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 41);
  EXPECT_EQ(listed.rfind("q10: ", 0), 0u) << listed;
  const std::string more = "\u2026 and 3 more\n";
  EXPECT_EQ(listed.substr(listed.size() - more.size()), more);
  EXPECT_TRUE(wraps);
}

TEST_F(WizardOutcome, CancelWhileTheRunFinishesHoldsItsResultUntilAnswered) {
  const std::string dest = dir.file("old.mdb");
  ASSERT_EQ(agent({"--src=tabletide_demo", "--dest=" + dest, "--acc_ver=1"}).status, 0);
  const std::string before = tk_read_file(dest);
  for (const char* answer : {"Yes", "No"}) {
    SCOPED_TRACE(answer);
    bool held = false;
    std::string unchanged_while_asked;
    // Once answered, the run ends and the wizard with it in a moment; a run still held after the answer would
    // keep the wizard waiting for ever.
    std::optional<tt_e2e::deadline> limit;
    const int status = run(
        [&](QWidget* w) {
          ASSERT_EQ(page(w), 106);
          ui_test::expect_modal([&](QWidget* box) {
            rowferry_convertor& conv = rowferry_convertor::instance();
            // The run goes on while the question is open and converts every item...
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return conv.tables_total.load() == 2 && conv.current_table.load() == 2; }, 60000));
            // ...but does not end: it would replace the destination.
            held = !QTest::qWaitFor([&] { return conv.is_done(); }, 1000);
            unchanged_while_asked = tk_read_file(dest);
            limit.emplace(std::chrono::seconds(10), std::string("The wizard answered ") + answer);
            ui_test::press(box, answer);
          });
          click(w, 2);
          if (std::string(answer) == "No") {
            wait_for_finish(w);
            click(w, 12325);
          }
        },
        quick_profile("tabletide_demo", dest, {"slow=SELECT SLEEP(1) AS pause", "tags"}));
    limit.reset();
    EXPECT_TRUE(held);
    EXPECT_EQ(unchanged_while_asked, before);
    if (std::string(answer) == "Yes") {
      EXPECT_EQ(status, 255);
      EXPECT_EQ(tk_read_file(dest), before);
    } else {
      EXPECT_EQ(status, 0);
      EXPECT_EQ(tt_e2e::mdb_tables(dest), (std::vector<std::string>{"slow", "tags"}));
      expect_sound(dest);
    }
    // Nothing is left beside the destination.
    EXPECT_EQ(files_with("old"), std::vector<std::string>{"old.mdb"});
  }
}

}  // namespace
