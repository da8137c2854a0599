// rowferry: the conversion wizard. Usage: rowferry [profile path]
#include <cstdio>

#include "GUI2/rwf_shel.h"
#include "platform/ui/ui_app.h"

int main(int argc, char** argv) {
  // Without a display the toolkit would abort before anything could be said.
  if (!pf::display_available()) {
    std::fputs(pf::no_display_text, stderr);
    return 255;
  }
  pf::application app(argc, argv);
  const int status = rwf_wizard_run(pf::command_line(argc, argv), rwf_real_engines());
  return status;
}
