// The wizard window on QWizard (see ui_sheet.h).
//
// QWizard orders pages by id, so pages get the ids 0, 1, 2, ... in the order they are added. Its own Back button
// moves without asking anyone, so it is replaced by a button of ours that asks the page first. Escape, Cancel and
// the close box all end in reject(), where the page is asked. F1 does not reach QWizard's help signal, so the
// window sends it itself.
#include <QAbstractButton>
#include <QApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QKeyEvent>
#include <QStyle>
#include <QTimer>
#include <QWizard>
#include <QWizardPage>
#include <map>

#include "platform/ui/ui_build.h"
#include "platform/ui/ui_modal.h"
#include "platform/ui/ui_sheet.h"
#include "platform/ui/ui_test.h"

namespace pf {

page_events::~page_events() = default;

namespace {

// The side picture of the first and last page: drawn to the page's whole height, whatever the window's size.
class side_picture : public QWidget {
 public:
  explicit side_picture(QWidget* parent) : QWidget(parent) {
    setFixedWidth(164);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    setMinimumHeight(80);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0, QColor(0x1c, 0x4e, 0x80));
    fill.setColorAt(1, QColor(0x3f, 0x9c, 0xc4));
    p.fillRect(rect(), fill);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPointSize(15);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 30, width(), 40), Qt::AlignCenter, "Tabletide");
  }
};

// The small picture of the header.

QPixmap make_logo() {
  QPixmap picture(49, 49);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(0x2b, 0x74, 0xa8));
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(4, 4, 41, 41, 8, 8);
  p.setPen(Qt::white);
  QFont f = p.font();
  f.setPointSize(16);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRect(4, 4, 41, 41), Qt::AlignCenter, "T");
  return picture;
}

// The icon of an id: the program's is its logo at the desktop's large-icon size.
QIcon make_icon(int icon_id) {
  if (icon_id != icon_program) return QIcon();
  const int size = QApplication::style()->pixelMetric(QStyle::PM_LargeIconSize);
  return QIcon(make_logo().scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

class page_widget : public QWizardPage {
 public:
  page_events* events = nullptr;
  int dialog_id = 0;
  std::unique_ptr<controls> ctl;

  bool validatePage() override;
};

class wizard_window : public QWizard {
 public:
  std::map<int, page_widget*> pages;  // by QWizard id
  QAbstractButton* back_button = nullptr;
  bool in_transition = false;
  bool jumping = false;  // a jump by select_page or back from a refusing page: nobody is asked Next
  int previous_id = -1;

  // Makes the page current without asking the page in front Next (QWizard validates it on every jump).
  void jump_to(int id) {
    jumping = true;
    setCurrentId(id);
    jumping = false;
  }

  page_widget* current() const {
    auto found = pages.find(currentId());
    return found == pages.end() ? nullptr : found->second;
  }

  void reject() override {
    if (!button(QWizard::CancelButton)->isEnabled()) return;
    page_widget* page = current();
    if (page == nullptr || page->events->query_cancel()) QWizard::reject();
  }

  void close_now() { QWizard::reject(); }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_F1) {
      if (page_widget* page = current()) page->events->help();
      return;
    }
    QWizard::keyPressEvent(event);
  }
};

bool page_widget::validatePage() {
  auto* wizard = static_cast<wizard_window*>(this->wizard());
  if (wizard->jumping) return true;
  if (wizard->currentId() == wizard->pages.rbegin()->first) return events->wiz_finish();
  return events->wiz_next() == 0 && events->kill_active();
}

}  // namespace

namespace test {
QIcon icon(int icon_id) { return make_icon(icon_id); }
}  // namespace test

struct sheet::impl {
  wizard_window window;
  QTimer timer;
  QPixmap logo = make_logo();
  int next_id = 0;
};

sheet::sheet() : body_(std::make_unique<impl>()) {
  wizard_window& w = body_->window;
  w.setWizardStyle(QWizard::ModernStyle);
  w.setOption(QWizard::HaveHelpButton, true);
  w.setOption(QWizard::NoBackButtonOnStartPage, false);
  w.setOption(QWizard::NoBackButtonOnLastPage, false);
  w.setButtonText(QWizard::CustomButton1, "< &Back");
  w.setButtonText(QWizard::NextButton, "&Next >");
  w.setButtonText(QWizard::FinishButton, "&Finish");
  w.setButtonText(QWizard::CancelButton, "Cancel");
  w.setButtonText(QWizard::HelpButton, "&Help");
  w.setOption(QWizard::HaveCustomButton1, true);
  w.setButtonLayout({QWizard::Stretch, QWizard::CustomButton1, QWizard::NextButton, QWizard::FinishButton,
                     QWizard::CancelButton, QWizard::HelpButton});
  w.back_button = w.button(QWizard::CustomButton1);
  w.back_button->setObjectName("12323");
  w.button(QWizard::NextButton)->setObjectName("12324");
  w.button(QWizard::FinishButton)->setObjectName("12325");
  w.button(QWizard::CancelButton)->setObjectName("2");
  w.button(QWizard::HelpButton)->setObjectName("9");
  w.setPixmap(QWizard::LogoPixmap, body_->logo);
  set_main_window(&w);

  wizard_window* raw = &w;
  QObject::connect(&w, &QWizard::customButtonClicked, &w, [raw](int which) {
    if (which != QWizard::CustomButton1) return;
    page_widget* page = raw->current();
    if (page != nullptr && page->events->wiz_back() == 0 && page->events->kill_active()) raw->back();
  });
  QObject::connect(&w, &QWizard::helpRequested, &w, [raw] {
    if (page_widget* page = raw->current()) page->events->help();
  });
  QObject::connect(&w, &QWizard::currentIdChanged, &w, [raw](int id) {
    auto found = raw->pages.find(id);
    if (found == raw->pages.end()) return;
    page_widget* page = found->second;
    const int from = raw->previous_id;
    raw->previous_id = id;
    raw->button(QWizard::HelpButton)->setEnabled(page->property("has_help").toBool());
    if (!page->events->set_active() && from >= 0 && from != id) {
      // The page refused: go back to where the user came from.
      QPointer<wizard_window> guard(raw);
      QTimer::singleShot(0, raw, [guard, from] {
        if (guard) guard->jump_to(from);
      });
    }
  });
  QObject::connect(&body_->timer, &QTimer::timeout, &w, [raw] {
    if (page_widget* page = raw->current()) page->events->timer();
  });
}

sheet::~sheet() {
  body_->timer.stop();
  set_main_window(nullptr);
}

controls& sheet::add_page(int dialog_id, const std::vector<control>& table, const page_style& style,
                          page_events* events) {
  auto* page = new page_widget;
  page->events = events;
  page->dialog_id = dialog_id;
  page->setObjectName("page" + QString::number(dialog_id));
  page->setProperty("has_help", style.has_help);
  QWidget* content = page;
  if (style.hide_header) {
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(0, 0, 0, 0);
    auto* side = new side_picture(page);
    side->setObjectName("watermark");
    row->addWidget(side);
    content = new QWidget(page);
    row->addWidget(content, 1);
  } else {
    page->setTitle(to_q(style.title));
    page->setSubTitle(to_q(style.subtitle));
  }
  page->ctl = std::make_unique<controls>(build_controls(content, table));
  page->ctl->set_handler([events](int id, notify what) { events->command(id, what); });
  body_->window.setPage(body_->next_id++, page);
  body_->window.pages[body_->next_id - 1] = page;
  return *page->ctl;
}

int sheet::run_modal() {
  body_->window.previous_id = -1;
  body_->window.restart();
  announce_modal(&body_->window);
  return body_->window.exec() == QDialog::Accepted ? 1 : 0;
}

void sheet::close() { body_->window.close_now(); }

bool sheet::is_running() const { return body_->window.isVisible(); }

void sheet::set_caption(const std::wstring& caption) { body_->window.setWindowTitle(to_q(caption)); }

std::wstring sheet::caption() const { return from_q(body_->window.windowTitle()); }

void sheet::set_icon(int icon_id) { body_->window.setWindowIcon(make_icon(icon_id)); }

void sheet::center() {
  wizard_window& w = body_->window;
  if (QWidget* screen_owner = w.parentWidget()) w.move(screen_owner->geometry().center() - w.rect().center());
}

void sheet::set_wizard_buttons(int flags) {
  wizard_window& w = body_->window;
  w.back_button->setEnabled(flags & 1);
  w.button(QWizard::NextButton)->setEnabled(flags & 2);
  w.button(QWizard::FinishButton)->setEnabled(flags & 4);
}

namespace {
QAbstractButton* button_of(wizard_window& w, int id) {
  switch (id) {
    case button_cancel:
      return w.button(QWizard::CancelButton);
    case button_help:
      return w.button(QWizard::HelpButton);
    case button_back:
      return w.back_button;
    case button_next:
      return w.button(QWizard::NextButton);
    case button_finish:
      return w.button(QWizard::FinishButton);
    default:
      return nullptr;
  }
}
}  // namespace

void sheet::enable_button(int id, bool on) {
  if (QAbstractButton* b = button_of(body_->window, id)) b->setEnabled(on);
}

void sheet::focus_button(int id) {
  if (QAbstractButton* b = button_of(body_->window, id)) b->setFocus(Qt::OtherFocusReason);
}

void sheet::select_page(int dialog_id) {
  for (const auto& [id, page] : body_->window.pages)
    if (page->dialog_id == dialog_id) {
      page_widget* now = body_->window.current();
      if (now != nullptr && now != page && !now->events->kill_active()) return;
      body_->window.jump_to(id);
      return;
    }
}

int sheet::current_page() const {
  page_widget* page = body_->window.current();
  return page ? page->dialog_id : -1;
}

void sheet::start_timer(int interval_ms) { body_->timer.start(interval_ms); }

void sheet::stop_timer() { body_->timer.stop(); }

}  // namespace pf
