// "Copy to clipboard" in the internal-error dialog, on a real X display: the text must still be on the clipboard
// after the program has ended, since ending is what the program does next. The program is this test binary run
// again as a child (the internal-error path through the real handler, dialog and clipboard helper); the display
// is a private Xvfb started for the test, and xclip reads the clipboard back once the child is gone.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "GUI2/g_err_dlg.h"
#include "TK/tk_errco.h"
#include "TK/tk_report.h"
#include "TK/tk_singl.h"
#include "tests/support/e2e_test_support.h"
#include "platform/system/spawn.h"
#include "platform/ui/ui_test_support.h"

namespace {

const char kChildVariable[] = "TT_CLIPBOARD_CHILD";
const char kErrorText[] = "Internal error: \ncode=c11b0a4d";

// A private X server on a display number it picks itself (-displayfd); stopped when the object goes, so also
// when the test fails. It does not reset when its last client leaves (-noreset), as a desktop's display never
// does: the program is its only client and ends just as the helper connects, and a reset then would drop the
// helper's connection and the selection with it.
class private_display {
 public:
  private_display() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[1], 3);  // dup2 leaves the copy open across exec
      const int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
      ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-noreset", "-nolisten", "tcp", "-screen", "0", "800x600x24",
               static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    std::string number;
    char c;
    while (pid_ > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (!number.empty()) name_ = ":" + number;
  }
  ~private_display() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  private_display(const private_display&) = delete;
  private_display& operator=(const private_display&) = delete;

  // ":N", or empty when the server did not start.
  const std::string& name() const { return name_; }
  // True while the server runs.
  bool alive() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

// The clipboard of that display as xclip reads it; status 0 when it holds text.
tt_e2e::program_result clipboard_of(const std::string& display) {
  return tt_e2e::run_program({"/usr/bin/xclip", "-o", "-selection", "clipboard"}, {"DISPLAY=" + display});
}

TEST(WizardClipboard, TheCopiedInternalErrorOutlivesTheProgram) {
  if (std::getenv(kChildVariable)) {
    // The child: the wizard's error handler meets an internal error; the user copies it and the program ends.
    ui_test::app();
    ui_test::expect_modal([](QWidget* d) {
      EXPECT_EQ(ui_test::box_text(d), kErrorText);
      ui_test::press(d, "Copy to clipboard");
    });
    // The real helper, started as the program starts it; its start is told on standard error, so that a failure
    // below says whether it ever ran.
    tk_set_spawn_function([](const std::vector<std::string>& argv, const std::string* input) {
      const int rc = sys_spawn_detached(argv, input);
      std::fprintf(stderr, "clipboard helper %s started: %d\n", argv.empty() ? "" : argv[0].c_str(), rc);
      return rc;
    });
    error_handler handler(tk_dao_error_count, tk_dao_error_table);
    wizard_error_ui error_ui;
    handler.set_ui(&error_ui);
    handler.handle(tk_exception(kErrorText, 2), false);
    ADD_FAILURE() << "the program went on after an internal error";
    return;
  }
  if (!sys_program_available("Xvfb") || !sys_program_available("xclip"))
    GTEST_SKIP() << "Xvfb and xclip are needed (scripts/setup.sh installs them)";

  private_display display;
  ASSERT_FALSE(display.name().empty()) << "Xvfb did not start";
  // Nothing on the clipboard yet, so whatever is there afterwards came from the child.
  ASSERT_NE(clipboard_of(display.name()).status, 0);

  const tt_e2e::program_result child =
      tt_e2e::run_program({"/proc/self/exe", "--gtest_filter=WizardClipboard.TheCopiedInternalErrorOutlivesTheProgram"},
                          {std::string(kChildVariable) + "=1", "TT_UI_TEST_PLATFORM=xcb", "DISPLAY=" + display.name(),
                           "WAYLAND_DISPLAY="});
  EXPECT_EQ(child.status, 255) << child.out << child.err;
  EXPECT_NE(child.err.find(kErrorText), std::string::npos) << child.err;

  // The helper takes the selection on its own time after being started, which on a machine busy with other
  // tests can take seconds; then the text must be there, exactly, with the program long gone.
  tt_e2e::program_result read = clipboard_of(display.name());
  for (int i = 0; i < 300 && read.status != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    read = clipboard_of(display.name());
  }
  EXPECT_EQ(read.status, 0) << read.err << "\nclipboard helpers running:\n"
                            << tt_e2e::run_program({"/usr/bin/pgrep", "-a", "xclip"}).out
                            << "\nthe display's server is " << (display.alive() ? "running" : "gone")
                            << "\nthe child's standard error:\n" << child.err;
  EXPECT_EQ(read.out, kErrorText);
}

}  // namespace
