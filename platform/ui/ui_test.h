// Test access to the ui layer: every modal window (message box, file dialog, the program's own dialogs) is handed
// to the installed hook right after it has started to run, so that a test can read it and press its buttons with
// QTest as a user would. Not used by the program itself.
#pragma once

#include <functional>

class QIcon;
class QWidget;

namespace pf::test {

// hook(window) runs inside the window's modal loop; an empty hook removes it.
void set_modal_hook(std::function<void(QWidget*)> hook);

// The icon the window layer gives an icon id (sheet::set_icon); a null icon for an id it has none for.
QIcon icon(int icon_id);

}  // namespace pf::test
