// Dialog templates and their controls, as the wizard's pages and dialogs see them: every control is named by a
// numeric id and reached through that id, and no Qt type appears here.
//
// A template is a list of controls, each placed in a grid cell (row, column, column span, row span). Texts are used as they
// stand; "&" marks the mnemonic letter as usual. A label whose next control in the table is an input field becomes
// that field's buddy, so its mnemonic moves the focus there.
//
// Notifications reach the handler only when the user acts: changes made through this interface (selecting a list
// item, setting a text, checking a box) are silent, so a page that fills its controls on entry does not see its
// own changes as user input.
//
// List boxes keep their items in the order of the installed name order (set_name_order; case-insensitive by
// default), never in Qt's own code-point order. Edits refuse text beyond their limit instead of cutting it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pf {

enum class kind {
  label,           // static text, wrapped at its width (a single line feed reads as a blank: see flowing_text)
  elided,          // one line of static text, cut with "…" where it is wider than the control
  title,           // static text in the larger title font
  button,          // push button
  default_button,  // push button that Return presses
  group,           // a group box caption (a framed line above the controls that follow)
  check,           // check box that the owner toggles itself (a click only notifies)
  radio,           // radio button; every radio of one template forms one group
  edit,            // one-line edit
  password,        // one-line edit that hides what is typed
  multiline,       // multi-line edit; Return makes a new line, Tab moves on (Ctrl+Tab types a tab)
  wrapping_multiline,  // the same, its long lines wrapped at its width
  listbox,         // sorted list box with extended multiple selection
  single_listbox,  // sorted list box with one selected item
  combo,           // drop-down list
  progress,        // progress bar, 0 to 100
  link,            // hyperlink: text is the caption; set_link gives its address
  icon_warning,    // the system's warning (exclamation) icon
  icon_error,      // the system's error icon
};

// What the user did to a control.
enum class notify { clicked, selchange, dblclk, setfocus };

struct control {
  int id;  // -1 for a control no one refers to
  kind type;
  std::wstring text;
  int row = 0;
  int col = 0;
  int span = 1;
  int max_length = 0;  // edits: the most characters the control takes; 0 = no limit of ours
  bool hidden = false;
  int row_span = 1;
};

using command_handler = std::function<void(int id, notify what)>;

// A text as wrapped static text shows it: a single line feed becomes a blank (none after a blank), so that the
// text wraps at the control's width and not at breaks made for another width; an empty line (two line feeds)
// stays. In a label, a word longer than 40 characters (a long table name) may also break after every 40.
std::wstring flowing_text(const std::wstring& text);

// Order of list-box items: negative, zero or positive as a sorts before, with or after b.
using name_order = std::function<int(const std::wstring& a, const std::wstring& b)>;
void set_name_order(name_order order);

class controls {
 public:
  struct impl;
  explicit controls(std::shared_ptr<impl> body);
  ~controls();

  bool has(int id) const;
  std::wstring text(int id) const;
  void set_text(int id, const std::wstring& text);
  void enable(int id, bool on);
  bool is_enabled(int id) const;
  void show(int id, bool on);
  bool is_shown(int id) const;  // not hidden (the window itself may not be visible)
  void focus(int id);
  bool has_focus(int id) const;
  void set_title_font(int id);

  bool is_checked(int id) const;
  void set_checked(int id, bool on);

  // List boxes.
  int list_add(int id, const std::wstring& text);  // index where the item went
  void list_delete(int id, int index);
  void list_reset(int id);
  int list_count(int id) const;
  std::wstring list_text(int id, int index) const;
  int list_find_prefix(int id, const std::wstring& prefix) const;  // ignoring case; -1 when none
  int list_find(int id, const std::wstring& text, bool ignore_case) const;
  std::vector<int> list_selected(int id) const;  // ascending
  void list_select(int id, int index, bool on);
  void list_clear_selection(int id);
  int list_current(int id) const;  // -1 when none
  void list_set_current(int id, int index);

  // Drop-down lists.
  void combo_add(int id, const std::wstring& text);
  int combo_current(int id) const;
  void combo_set_current(int id, int index);

  // Edits.
  void edit_append(int id, const std::wstring& text);  // at the end, scrolled into view
  void edit_set_readonly(int id, bool on);
  void edit_set_limit(int id, int max_length);
  void edit_select_none(int id);

  void set_progress(int id, int value);  // clamped to 0..100
  void set_link(int id, const std::string& url, const std::wstring& caption);

  void set_handler(command_handler handler);

  impl& body() const { return *body_; }

 private:
  std::shared_ptr<impl> body_;
};

}  // namespace pf
