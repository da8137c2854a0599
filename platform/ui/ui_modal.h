// Inside the ui layer: what every modal window goes through before it runs, so that tests can act in it the way
// a user would (see ui_test.h), and the window that owns it.
#pragma once

class QWidget;

namespace pf {

// Hands a modal window that is about to run to the test hook, if one is installed.
void announce_modal(QWidget* window);

// The window a new modal window belongs to: the modal window on top, else the main window, else none.
QWidget* modal_owner();

// The main window (the wizard), registered by the sheet while it exists.
void set_main_window(QWidget* window);

}  // namespace pf
