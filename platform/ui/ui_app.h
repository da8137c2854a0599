// The program's window system: the application object, the command line it leaves to the program, and the
// hand-over of work from other threads to the window thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace pf {

// True when a window system can be reached: QT_QPA_PLATFORM, DISPLAY or WAYLAND_DISPLAY is set. Without one the
// toolkit would abort the process before the program could say why, so the program asks first.
bool display_available();

// The text the program prints when there is no display.
extern const char* const no_display_text;

class application {
 public:
  // argc/argv as main got them; the toolkit removes its own options (-style, -platform, ...) from them.
  application(int& argc, char** argv);
  ~application();
  application(const application&) = delete;
  application& operator=(const application&) = delete;

 private:
  struct impl;
  std::unique_ptr<impl> body_;
};

// The packed version (major << 16 | minor << 8 | patch) of the widget toolkit the program runs with.
unsigned gui_library_version();

// Program arguments after the toolkit's own, joined by single blanks (UTF-8).
std::string command_line(int argc, char** argv);

// Runs fn on the window thread and returns when it has run: directly when called there, else through the
// window thread's event queue while the caller waits. An exception from fn is thrown again in the caller.
void run_on_ui(const std::function<void()>& fn);
bool on_ui_thread();

// Closing state: set once the user has decided to leave while a worker still runs. Boxes and dialogs asked for by
// the worker are then answered at once without being shown.
void set_closing(bool on);
bool closing();

// Keeps the window thread's events flowing until done() answers true or bound_ms have passed; true when done.
bool wait_until(const std::function<bool()>& done, int bound_ms);

// The same without a bound, with the busy cursor shown meanwhile: the window keeps painting and its buttons
// answer while work on another thread goes on. A box asked for meanwhile shows the usual pointer.
void wait_busy(const std::function<bool()>& done);

}  // namespace pf
