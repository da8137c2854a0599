// Handing an internal-error text to the user's desktop: onto the clipboard, or into a prepared bug-report mail.
//
// Both work through helper programs started without a shell, so that they outlive this process (which ends right
// after an internal error): the clipboard through wl-copy (Wayland) or xclip / xsel (X11), the mail through
// xdg-open and a mailto: link to the support address. When no helper is installed nothing happens; the outcome is
// never shown to the user.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The recipient of bug reports.
inline constexpr const char* tk_support_address = "support@larkspur-data.example";

// Puts the text on the clipboard (as UTF-8 text).
void tk_copy_to_clipboard2(const std::wstring& text);
// Opens the user's mail program with subject "Bug report on " + title and the text as body.
void tk_send_bug(const std::string& title, const std::string& text);

// The helper command for the clipboard in this session, or empty when there is none: wl-copy when
// WAYLAND_DISPLAY is set, else xclip or xsel when DISPLAY is set, each only when installed.
std::vector<std::string> tk_clipboard_command();
// mailto:<support address>?subject=...&body=... with every byte outside the unreserved set percent-encoded and
// line breaks in the body as %0D%0A.
std::string tk_bug_mail_url(const std::string& title, const std::string& text);

// The function that starts helper programs (argv, optional standard input; returns 0 or an errno). Replaceable
// for tests; an empty function restores the real one.
using tk_spawn_function = std::function<int(const std::vector<std::string>&, const std::string*)>;
void tk_set_spawn_function(tk_spawn_function spawn);
