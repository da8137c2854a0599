// The desktop around the program: opening addresses in the user's browser or mail program, the help pages
// shipped with the program, and the system sound.
#pragma once

#include <functional>
#include <string>

namespace pf {

// Opens a web address, file:// address or mailto: link with the user's preferred program (xdg-open). False when
// no program took it.
bool open_url(const std::string& url);

// The folder of the program's help pages: "help" beside the program (the build tree), else
// <prefix>/share/rowferry/help beside its bin folder (an installed program). Empty when neither holds index.html.
std::string help_folder();

// The path of a help page: <topic>.html in the help folder, or index.html when that page is missing or topic is 0.
// Empty when there is no help folder.
std::string help_path(unsigned topic);
// The same as a file:// address.
std::string help_url(unsigned topic);

// The system's alert sound.
void beep();

namespace test {
// Replaces what open_url does (tests record the address instead of starting a browser); empty restores it.
void set_url_opener(std::function<bool(const std::string&)> opener);
}  // namespace test

}  // namespace pf
