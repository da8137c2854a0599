// What the wizard tests share: the wizard run in this process with its real pages and engines, a throwaway
// MariaDB server holding the demo database, a scratch folder for the settings store and the Access files, and
// helpers that act on the page in front the way a user would.
#pragma once

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QWizard>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "GUI2/rwf_shel.h"
#include "TK/tk_utils.h"
#include "tests/support/e2e_test_support.h"
#include "platform/ui/ui_desktop.h"
#include "platform/ui/ui_test_support.h"

namespace wiz_test {

using tt_e2e::expect_sound;

inline QWizard* wizard(QWidget* w) { return static_cast<QWizard*>(w); }

// The dialog id of the page in front.
inline int page(QWidget* w) { return wizard(w)->currentPage()->objectName().mid(4).toInt(); }

template <class T>
T* on_page(QWidget* w, int id) {
  T* found = wizard(w)->currentPage()->findChild<T*>(QString::number(id));
  EXPECT_NE(found, nullptr) << "control " << id << " on page " << page(w);
  return found;
}

inline std::string text_of(QWidget* w, int id) {
  QWidget* c = wizard(w)->currentPage()->findChild<QWidget*>(QString::number(id));
  if (auto* e = qobject_cast<QLineEdit*>(c)) return e->text().toStdString();
  if (auto* e = qobject_cast<QPlainTextEdit*>(c)) return e->toPlainText().toStdString();
  if (auto* l = qobject_cast<QLabel*>(c)) return l->text().toStdString();
  ADD_FAILURE() << "no text control " << id;
  return {};
}

// Replaces the text of an edit by typing.
inline void type(QWidget* w, int id, const std::string& text) {
  auto* e = on_page<QLineEdit>(w, id);
  e->setFocus();
  e->selectAll();
  QTest::keyClick(e, Qt::Key_Delete);
  QTest::keyClicks(e, QString::fromStdString(text));
}

inline void click(QWidget* w, int id) {
  QWidget* c = id >= 12323 || id == 2 || id == 9 ? w->findChild<QWidget*>(QString::number(id))
                                                  : wizard(w)->currentPage()->findChild<QWidget*>(QString::number(id));
  ASSERT_NE(c, nullptr) << id;
  ASSERT_TRUE(c->isEnabled()) << "button " << id << " is disabled";
  ui_test::click(c->parentWidget(), id);
}

inline std::vector<std::string> items(QWidget* w, int id) {
  std::vector<std::string> out;
  auto* l = on_page<QListWidget>(w, id);
  for (int i = 0; i < l->count(); ++i) out.push_back(l->item(i)->text().toStdString());
  return out;
}

// Clicks the item with that text (ctrl adds it to the selection), or double-clicks it.
inline void pick(QWidget* w, int id, const std::string& item, bool ctrl = false, bool twice = false) {
  auto* l = on_page<QListWidget>(w, id);
  for (int i = 0; i < l->count(); ++i)
    if (l->item(i)->text().toStdString() == item) {
      l->scrollToItem(l->item(i));
      const QPoint at = l->visualItemRect(l->item(i)).center();
      QTest::mouseClick(l->viewport(), Qt::LeftButton, ctrl ? Qt::ControlModifier : Qt::NoModifier, at);
      if (twice) QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, at);
      return;
    }
  ADD_FAILURE() << "no item " << item << " in " << id;
}

// Chooses an item of a drop-down list with the keyboard.
inline void choose(QWidget* w, int id, int index) {
  auto* c = on_page<QComboBox>(w, id);
  c->setFocus();
  while (c->currentIndex() < index) QTest::keyClick(c, Qt::Key_Down);
  while (c->currentIndex() > index) QTest::keyClick(c, Qt::Key_Up);
}

class wizard_fixture : public tt_e2e::rwfagent_fixture {
 protected:
  wizard_fixture() {
    ui_test::app();
    ui_test::clear();
    setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
    pf::test::set_url_opener([this](const std::string& url) {
      urls.push_back(url);
      return true;
    });
  }
  ~wizard_fixture() override {
    pf::test::set_url_opener(nullptr);
    EXPECT_EQ(ui_test::pending(), 0u) << "answers left for windows that never opened";
    EXPECT_TRUE(ui_test::unexpected().empty()) << ui_test::unexpected().front();
  }

  // Runs the wizard (command line as given) with drive acting in it; the exit status.
  int run(std::function<void(QWidget*)> drive, const std::string& command_line = "") {
    if (drive) ui_test::expect_modal(std::move(drive));
    return rwf_wizard_run(command_line, rwf_real_engines());
  }

  // From the welcome page to the databases page, connected to the test server.
  void to_databases(QWidget* w) {
    const tt_test::mariadb_facts& f = server.facts();
    click(w, 12324);
    EXPECT_EQ(page(w), 123);
    click(w, 1330);
    type(w, 1012, f.user);
    type(w, 1013, f.password);
    type(w, 1014, f.host);
    type(w, 1015, std::to_string(f.port));
    click(w, 12324);
    EXPECT_EQ(page(w), 105);
  }

  // From the databases page to the tables page with the demo database and dest as destination.
  void to_tables(QWidget* w, const std::string& dest, int format = 1) {
    pick(w, 1317, "tabletide_demo");
    choose(w, 1302, format);
    type(w, 1004, dest);
    click(w, 12324);
    EXPECT_EQ(page(w), 127);
  }

  // A profile for a quick launch against the test server: source src, destination dest (Access 2000, mode 0),
  // and the items to convert, each "name" for a table or "name=SELECT ..." for a query. Its path.
  std::string quick_profile(const std::string& src, const std::string& dest, const std::vector<std::string>& items) {
    const tt_test::mariadb_facts& f = server.facts();
    std::string text = "[Generic settings]\r\nsrc=" + src + "\r\ndest=" + dest + "\r\nmode=0\r\n";
    text += "[MySQL settings]\r\nhost=" + f.host + "\r\nuser=" + f.user + "\r\npassword=" + f.password +
            "\r\nport=" + std::to_string(f.port) + "\r\n";
    text += "[MS Access settings]\r\ndestination format=1\r\n[Selected Tables]\r\n";
    for (const std::string& item : items) text += item + "\r\n";
    const std::string path = dir.file("quick" + std::to_string(++profiles_) + ".rwf");
    tk_write_file(path, text);
    return path;
  }

  // Waits on the progress page until the finish page is in front.
  void wait_for_finish(QWidget* w) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return page(w) == 116; }, 120000));
  }

  std::vector<std::string> urls;
  int profiles_ = 0;
};

}  // namespace wiz_test
