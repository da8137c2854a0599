// What the window tests share: one offscreen application per test program, and a queue of answers for the
// modal windows a test expects (each answer is run inside its window's modal loop, like a user in front of it).
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

namespace ui_test {

// The application (platform offscreen, or TT_UI_TEST_PLATFORM when set), made on first use.
QApplication& app();

// Queues the answer to the next modal window. A modal window with no queued answer is recorded in unexpected()
// and closed (a message box with its escape button, a dialog rejected).
void expect_modal(std::function<void(QWidget*)> answer);
std::size_t pending();
void clear();
// Texts of the modal windows nobody expected ("<title>|<text>").
std::vector<std::string> unexpected();

// The message box's text and caption; its button with that text pressed (with the mouse).
std::string box_text(QWidget* box);
std::string box_caption(QWidget* box);
void press(QWidget* window, const QString& button_text);
// The control whose objectName is the id.
template <class T>
T* control(QWidget* root, int id) {
  return root->findChild<T*>(QString::number(id));
}
void click(QWidget* root, int id);
// A message-box answer: records "caption|text" into log and presses the button.
std::function<void(QWidget*)> answer_box(std::vector<std::string>& log, const QString& button);

}  // namespace ui_test
