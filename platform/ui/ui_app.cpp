// Application object, thread hand-over and closing state (see ui_app.h).
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <exception>

#include "platform/ui/ui_app.h"

namespace pf {

namespace {
std::atomic<bool> g_closing{false};

bool set_in_env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}
}  // namespace

const char* const no_display_text =
    "Failed to initialize GUI library: no display is available (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
    "Start rowferry in a graphical session, or convert with RWFAGENT on the command line.\n";

bool display_available() {
  return set_in_env("QT_QPA_PLATFORM") || set_in_env("DISPLAY") || set_in_env("WAYLAND_DISPLAY");
}

struct application::impl {
  impl(int& argc, char** argv) : app(argc, argv) {}
  QApplication app;
};

application::application(int& argc, char** argv) : body_(std::make_unique<impl>(argc, argv)) {}
application::~application() = default;

unsigned gui_library_version() {
  const QStringList parts = QString::fromLatin1(qVersion()).split('.');
  unsigned packed = 0;
  for (int i = 0; i < 3; ++i) packed = packed << 8 | (i < parts.size() ? parts[i].toUInt() & 0xFF : 0);
  return packed;
}

std::string command_line(int argc, char** argv) {
  std::string line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    line += argv[i];
  }
  return line;
}

bool on_ui_thread() {
  return QCoreApplication::instance() != nullptr && QThread::currentThread() == QCoreApplication::instance()->thread();
}

void run_on_ui(const std::function<void()>& fn) {
  if (on_ui_thread() || QCoreApplication::instance() == nullptr) {
    fn();
    return;
  }
  std::exception_ptr failure;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [&] {
        try {
          fn();
        } catch (...) {
          failure = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (failure) std::rethrow_exception(failure);
}

void set_closing(bool on) { g_closing.store(on); }
bool closing() { return g_closing.load(); }

bool wait_until(const std::function<bool()>& done, int bound_ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() >= bound_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

void wait_busy(const std::function<bool()>& done) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  wait_until(done, INT_MAX);
  QApplication::restoreOverrideCursor();
}

}  // namespace pf
