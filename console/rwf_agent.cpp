// The console program's main road; see rwf_agent.h.
#include "console/rwf_agent.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <iterator>
#include <thread>

#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "console/rwf_cmdline.h"
#include "console/rwf_exit.h"
#include "console/rwf_report.h"
#include "console/rwf_usage.h"
#include "converter/rwf_conv.h"

namespace {

// SIGINT, SIGTERM and SIGHUP ask the run to stop: it ends without waiting for the server, gives its files up and
// leaves the destination as it was. The handler only marks the stop and wakes a thread of its own, which gives the
// source's connection up (nothing a handler may do), so that a run waiting on a server that sends nothing ends at
// once. The handler is reset by its first signal, so a second one ends the process at once (its temporary files
// are removed by the next run on the destination).
std::atomic<rowferry_convertor*> g_stoppable{nullptr};
std::atomic<int> g_wake_fd{-1};

extern "C" void on_stop_signal(int) {
  const int saved = errno;
  if (rowferry_convertor* conv = g_stoppable.load()) conv->request_stop_from_signal();
  const int fd = g_wake_fd.load();
  const char stop = 's';
  if (fd >= 0 && ::write(fd, &stop, 1) < 0) {
    // The pipe is full: a stop is waiting there already.
  }
  errno = saved;
}

class stop_on_signals {
 public:
  explicit stop_on_signals(rowferry_convertor& conv) : conv_(conv) {
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
    if (wake_[0] >= 0) {
      // The reading end waits: only the writing end must never block a handler.
      ::fcntl(wake_[0], F_SETFL, ::fcntl(wake_[0], F_GETFL) & ~O_NONBLOCK);
      watcher_ = std::thread([this] { watch(); });
    }
    g_wake_fd.store(wake_[1]);
    g_stoppable.store(&conv);
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (std::size_t i = 0; i < std::size(signals_); ++i) sigaction(signals_[i], &action, &old_[i]);
  }
  ~stop_on_signals() {
    for (std::size_t i = 0; i < std::size(signals_); ++i) sigaction(signals_[i], &old_[i], nullptr);
    g_stoppable.store(nullptr);
    g_wake_fd.store(-1);
    if (watcher_.joinable()) {
      const char quit = 'q';
      while (::write(wake_[1], &quit, 1) < 0 && errno == EINTR) {
      }
      watcher_.join();
    }
    for (int fd : wake_)
      if (fd >= 0) ::close(fd);
  }
  stop_on_signals(const stop_on_signals&) = delete;
  stop_on_signals& operator=(const stop_on_signals&) = delete;

 private:
  void watch() {
    char byte = 0;
    for (;;) {
      const ssize_t n = ::read(wake_[0], &byte, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0 || byte == 'q') return;
      conv_.stop_now();
    }
  }

  static constexpr int signals_[] = {SIGINT, SIGTERM, SIGHUP};
  rowferry_convertor& conv_;
  int wake_[2] = {-1, -1};
  std::thread watcher_;
  struct sigaction old_[std::size(signals_)] {};
};

void say_stopped(const rowferry_convertor& conv) {
  if (!conv.is_silent())
    rwf_write_line(rwf_console().err, "The conversion was stopped; the destination file was left as it was.");
}

int convert(int argc, char** argv, const rwf_agent_steps& steps, rowferry_convertor& conv) {
  if (argc <= 1) fatal_exit(rwf_usage_text());
  try {
    if (!parse_cmd_line(argc, argv)) fatal_exit(rwf_usage_text());
    stop_on_signals signals(conv);
    steps.connect(conv);
    conv.check_dest();
    steps.run(conv);
    if (!conv.completed() && conv.stop_requested()) say_stopped(conv);
  } catch (const tk_exception& e) {
    // Whatever reached this road stopped the conversion before or outside its tables: report it, and never
    // give success for it. After a stop it is the stop's doing (a connection given up while it was made).
    if (conv.stop_requested()) {
      say_stopped(conv);
      return rwf_exit_failure;
    }
    rwf_report_error(e);
    return rwf_exit_failure;
  } catch (const std::exception& e) {
    fatal_exit(e.what());
  }
  return conv.completed() ? 0 : rwf_exit_failure;
}

}  // namespace

int rwf_agent_main(int argc, char** argv, const rwf_agent_steps& steps) {
  tk_logger logger(nullptr, false, 3, false);
  error_handler handler(tk_dao_error_count, tk_dao_error_table);
  handler.load_err_map(tk_mysql_error_count, tk_mysql_error_table);
  rowferry_convertor conv(converter_build::console);
  console_front_end front;
  conv.set_front_end(&front);
  try {
    return convert(argc, argv, steps, conv);
  } catch (const rwf_exit& e) {
    return e.code;
  }
}
