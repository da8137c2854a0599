// Window test helpers (see ui_test_support.h).
#include "platform/ui/ui_test_support.h"

#include <QDialog>
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QPushButton>
#include <cstdlib>
#include <deque>
#include <memory>

#include "platform/ui/ui_test.h"

namespace ui_test {

namespace {
std::deque<std::function<void(QWidget*)>> g_answers;
std::vector<std::string> g_unexpected;
}  // namespace

QApplication& app() {
  // Never destroyed: the toolkit's own statics are gone by the time static objects are.
  static QApplication* instance = [] {
    // Offscreen unless a test that needs a real display server (the clipboard) names another platform.
    const char* platform = std::getenv("TT_UI_TEST_PLATFORM");
    setenv("QT_QPA_PLATFORM", platform && *platform ? platform : "offscreen", 1);
    static int argc = 1;
    static char name[] = "tt_ui_test";
    static char* argv[] = {name, nullptr};
    auto* a = new QApplication(argc, argv);
    pf::test::set_modal_hook([](QWidget* window) {
      if (!g_answers.empty()) {
        auto answer = std::move(g_answers.front());
        g_answers.pop_front();
        answer(window);
        return;
      }
      g_unexpected.push_back(box_caption(window) + "|" + box_text(window));
      if (auto* box = qobject_cast<QMessageBox*>(window)) {
        if (box->escapeButton()) box->escapeButton()->click();
        else box->done(0);
      } else if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->done(0);
      }
    });
    return a;
  }();
  return *instance;
}

void expect_modal(std::function<void(QWidget*)> answer) { g_answers.push_back(std::move(answer)); }
std::size_t pending() { return g_answers.size(); }
void clear() {
  g_answers.clear();
  g_unexpected.clear();
}
std::vector<std::string> unexpected() { return g_unexpected; }

std::string box_text(QWidget* box) {
  if (auto* b = qobject_cast<QMessageBox*>(box)) return b->text().toStdString();
  if (auto* label = box->findChild<QLabel*>("1320")) return label->text().toStdString();
  return {};
}

std::string box_caption(QWidget* box) { return box->windowTitle().toStdString(); }

void press(QWidget* window, const QString& button_text) {
  for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
    QString plain = b->text();
    plain.remove('&');
    QString wanted = button_text;
    wanted.remove('&');
    if (plain == wanted && b->isVisible()) {
      QTest::mouseClick(b, Qt::LeftButton);
      return;
    }
  }
  ADD_FAILURE_AT("ui_test_support", 0);
}

void click(QWidget* root, int id) {
  auto* w = control<QAbstractButton>(root, id);
  if (w == nullptr) {
    ADD_FAILURE_AT("ui_test_support", id);
    return;
  }
  // Check boxes and radio buttons take clicks on their mark and text only, at the left.
  if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(8, w->height() / 2));
  else
    QTest::mouseClick(w, Qt::LeftButton);
}

std::function<void(QWidget*)> answer_box(std::vector<std::string>& log, const QString& button) {
  return [&log, button](QWidget* box) {
    log.push_back(box_caption(box) + "|" + box_text(box));
    press(box, button);
  };
}

}  // namespace ui_test
