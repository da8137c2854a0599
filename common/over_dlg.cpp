// The existing-destination dialog (see over_dlg.h).
#include "common/over_dlg.h"

#include "TK/tk_log.h"
#include "TK/tk_singl.h"
#include "platform/ui/ui_desktop.h"
#include "platform/ui/ui_dialog.h"

overwrite_dlg2::overwrite_dlg2(const std::wstring& message, uint32_t help_topic, const std::wstring& caption,
                               std::function<void(uint32_t)> help)
    : message_(message), help_topic_(help_topic), caption_(caption), help_(std::move(help)) {
  tk_trace(1, "overwrite_dlg2::ctor");
}

int overwrite_dlg2::run_modal() {
  static const int radios[] = {1329, 1330, 1331, 1332};
  pf::dialog d({{-1, pf::kind::icon_warning, L"", 0, 0},
                {1320, pf::kind::label, message_, 0, 1, 3},
                {1329, pf::kind::radio, L"&Overwrite the entire database", 1, 1, 3},
                {1330, pf::kind::radio, L"Overwrite existing &tables only", 2, 1, 3},
                {1331, pf::kind::radio, L"&Skip existing tables", 3, 1, 3},
                {1332, pf::kind::radio, L"&Merge", 4, 1, 3},
                {1, pf::kind::default_button, L"OK", 5, 1},
                {2, pf::kind::button, L"Cancel", 5, 2},
                {9, pf::kind::button, L"Help", 5, 3}},
               2);
  bool none_checked = false;
  d.ctl().set_handler([&](int id, pf::notify what) {
    if (what != pf::notify::clicked) return;
    if (id == 9) {
      if (help_) help_(help_topic_);
    } else if (id == 2) {
      d.end(2);
    } else if (id == 1) {
      for (int32_t i = 0; i < 4; ++i)
        if (d.ctl().is_checked(radios[i])) {
          mode_ = i;
          d.end(1);
          return;
        }
      // Nothing may be thrown through the window system: the error is raised once the dialog has closed.
      none_checked = true;
      d.end(2);
    }
  });
  const int result = d.run_modal([&] {
    tk_trace(1, "overwrite_dlg2::on_init");
    d.set_caption(caption_);
    d.ctl().set_checked(1329, true);
    pf::beep();
  });
  if (none_checked) throw tk_mail_assertion("..\\common/over_dlg", 156);
  return result;
}
