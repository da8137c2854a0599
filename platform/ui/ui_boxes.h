// Message boxes and the open and save file dialogs.
//
// Boxes are modal to the window the user works in (a dialog open over the wizard, else the wizard); an unowned
// box (owned false) has no parent. Results use the classic numbers: OK 1, Cancel 2, Yes 6, No 7.
//
// File-dialog filters come as (description, patterns) pairs with patterns separated by ";", as in
// ("MS Access Databases (.mdb;.accdb)", "*.mdb;*.accdb"); they are shown as "description (p1 p2)", "*.*" meaning
// every file, a bracketed end of the description giving way to the patterns ("MS Access Databases (*.mdb *.accdb)").
// The save dialog neither asks before choosing an existing file nor appends an extension: the caller's rules decide.
// A box's text is shown flowing (flowing_text in ui_controls.h).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pf {

enum class icon { error, information, question, warning };
enum class buttons { ok, yes_no };

constexpr int id_ok = 1;
constexpr int id_cancel = 2;
constexpr int id_yes = 6;
constexpr int id_no = 7;

// default_second: the second button (No) is the default.
int message_box(const std::wstring& text, const std::wstring& caption, icon kind, buttons set, bool default_second,
                bool owned);

using filter_list = std::vector<std::pair<std::wstring, std::wstring>>;

// The filter as the file dialog takes it, one entry per line.
std::vector<std::wstring> translate_filter(const filter_list& filters);
// The patterns of every filter without "*." in front ("mdb", "accdb"; "*.*" gives nothing).
std::vector<std::wstring> filter_extensions(const filter_list& filters);

// folder empty: the user's home folder. The chosen path, or nothing when the user cancelled.
std::optional<std::wstring> open_file(const filter_list& filters, const std::wstring& title, const std::wstring& folder,
                                      const std::wstring& name);
std::optional<std::wstring> save_file(const filter_list& filters, const std::wstring& title, const std::wstring& folder,
                                      const std::wstring& name);

}  // namespace pf
