// The connection page against servers that cannot be reached: the advice for a refused or dropped connection, a
// window that stays alive (busy cursor, painting, Cancel) while an unreachable host keeps it waiting and a Cancel
// that ends the attempt with the window, and the port box that takes what the console's --port takes.
#include <QCursor>
#include <QTimer>
#include <chrono>
#include <memory>
#include <optional>

#include "GUI2/wizard_test_support.h"

namespace {

using namespace wiz_test;

class WizardConnect : public wizard_fixture {
 protected:
  // On the connection page with Remote chosen and the test server's account; port as given.
  void fill(QWidget* w, const std::string& host, const std::string& port) {
    const tt_test::mariadb_facts& f = server.facts();
    click(w, 12324);
    click(w, 1330);
    type(w, 1012, f.user);
    type(w, 1013, f.password);
    type(w, 1014, host);
    type(w, 1015, port);
  }
};

TEST_F(WizardConnect, ARefusedOrDroppedConnectionGivesTheAdvice) {
  tt_e2e::loopback_socket refused(false);
  tt_e2e::hanging_up_server hangs_up;
  std::vector<std::string> boxes;
  run([&](QWidget* w) {
    fill(w, "127.0.0.1", std::to_string(refused.port));
    ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
    click(w, 12324);
    EXPECT_EQ(page(w), 123);
    type(w, 1015, std::to_string(hangs_up.port()));
    ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
    click(w, 12324);
    EXPECT_EQ(page(w), 123);
    ui_test::expect_modal(ui_test::answer_box(boxes, "Yes"));
    click(w, 2);
  });
  const std::string advice =
      "Tabletide 6.1 Error|Cannot connect to the MySQL server. Check to verify that MySQL server is launched and the "
      "correct host/port values were given.";
  EXPECT_EQ(boxes, (std::vector<std::string>{advice, advice,
                                             "Tabletide 6.1 Question|Are you sure you want to exit the wizard?"}));
}

// Cancel gives the attempt itself up, not only the window: the process ends at once although the host would keep
// the attempt waiting for the whole connect timeout (10 seconds); the test gives it 5.
TEST_F(WizardConnect, WhileAHostKeepsItWaitingTheWindowStaysAliveAndCancelEndsTheAttempt) {
  // A server that takes the connection and never greets.
  tt_e2e::loopback_socket silent(true);
  std::vector<std::string> boxes;
  bool busy = false, next_off = true, painted = false, still_queued = false;
  std::optional<tt_e2e::deadline> limit;
  const int status = run([&](QWidget* w) {
    fill(w, "127.0.0.1", std::to_string(silent.port));
    // Runs while Next waits for the connection.
    QTimer::singleShot(0, w, [&, w] {
      busy = QApplication::overrideCursor() != nullptr && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
      next_off = w->findChild<QWidget*>("12324")->isEnabled() || on_page<QWidget>(w, 1014)->isEnabled();
      painted = !w->grab().isNull();
      ui_test::expect_modal([&](QWidget* box) {
        // The question itself takes clicks with the usual pointer.
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
        boxes.push_back(ui_test::box_text(box));
        limit.emplace(std::chrono::seconds(5), "The wizard left while it connected");
        ui_test::press(box, "Yes");
      });
      click(w, 2);
    });
    click(w, 12324);
    pollfd queued = {silent.fd, POLLIN, 0};
    still_queued = poll(&queued, 1, 0) == 1;
  });
  limit.reset();
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(busy);
  EXPECT_FALSE(next_off);
  EXPECT_TRUE(painted);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(boxes, std::vector<std::string>{"Are you sure you want to exit the wizard?"});
  // The server still holds the attempt in its queue, and finds it closed by the program.
  ASSERT_TRUE(still_queued);
  const int client = accept(silent.fd, nullptr, nullptr);
  ASSERT_GE(client, 0);
  char byte = 0;
  EXPECT_EQ(recv(client, &byte, 1, MSG_DONTWAIT), 0);
  close(client);
}

TEST_F(WizardConnect, ThePortIsAPlainNumberFromOneTo65535) {
  const std::vector<std::string> refused = {"3399x", "1n", "0", "65536", "03306", " 3306"};
  std::vector<std::string> boxes, expected;
  for (const std::string& port : refused) expected.push_back("Tabletide 6.1 Error|Invalid port number: '" + port + "'");
  run([&](QWidget* w) {
    fill(w, server.facts().host, "");
    for (const std::string& port : refused) {
      type(w, 1015, port);
      ui_test::expect_modal(ui_test::answer_box(boxes, "OK"));
      click(w, 12324);
      EXPECT_EQ(page(w), 123) << port;
    }
    type(w, 1015, std::to_string(server.facts().port));
    click(w, 12324);
    EXPECT_EQ(page(w), 105);
    ui_test::expect_modal([](QWidget* box) { ui_test::press(box, "Yes"); });
    click(w, 2);
  });
  EXPECT_EQ(boxes, expected);
}

}  // namespace
