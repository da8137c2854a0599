// Dialogs from control tables (see ui_dialog.h).
#include <QDialog>

#include "platform/ui/ui_build.h"
#include "platform/ui/ui_desktop.h"
#include "platform/ui/ui_dialog.h"
#include "platform/ui/ui_modal.h"

namespace pf {

namespace {

class escape_dialog : public QDialog {
 public:
  explicit escape_dialog(QWidget* parent) : QDialog(parent) {}
  std::function<void()> on_escape;

  // Escape and the close box arrive here; the owner decides what they mean.
  void reject() override {
    if (on_escape) on_escape();
  }
  void finish(int result) { QDialog::done(result); }
};

}  // namespace

struct dialog::impl {
  escape_dialog window{modal_owner()};
  std::unique_ptr<controls> ctl;
  int escape_command = 0;
};

dialog::dialog(const std::vector<control>& table, int escape_command) : body_(std::make_unique<impl>()) {
  body_->escape_command = escape_command;
  body_->ctl = std::make_unique<controls>(build_controls(&body_->window, table));
  body_->window.setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  // Wide enough that a message reads in a few full lines rather than many short ones.
  body_->window.setMinimumWidth(380);
  impl* raw = body_.get();
  body_->window.on_escape = [raw] {
    if (raw->escape_command != 0) raw->ctl->body().fire(raw->escape_command, notify::clicked);
  };
}

dialog::~dialog() = default;

controls& dialog::ctl() { return *body_->ctl; }

void dialog::set_caption(const std::wstring& caption) { body_->window.setWindowTitle(to_q(caption)); }

int dialog::run_modal(const std::function<void()>& on_init) {
  if (on_init) on_init();
  announce_modal(&body_->window);
  return body_->window.exec();
}

void dialog::end(int result) { body_->window.finish(result); }

}  // namespace pf
