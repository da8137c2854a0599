// The widgets behind control tables (see ui_controls.h).
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTextCursor>

#include <algorithm>

#include "platform/ui/ui_build.h"
#include "platform/ui/ui_desktop.h"

namespace pf {

namespace {

name_order g_order;

int compare_names(const std::wstring& a, const std::wstring& b) {
  if (g_order) return g_order(a, b);
  return QString::compare(to_q(a), to_q(b), Qt::CaseInsensitive);
}

// A check box that a click does not toggle: the owner decides.
class plain_check : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

 protected:
  void nextCheckState() override {}
};

// Tells the owner when a widget gets the keyboard focus.
class focus_watch : public QObject {
 public:
  focus_watch(QObject* parent, controls::impl* body, int id) : QObject(parent), body_(body), id_(id) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusIn) body_->fire(id_, notify::setfocus);
    return QObject::eventFilter(watched, event);
  }

 private:
  controls::impl* body_;
  int id_;
};

// A multi-line edit in which Tab moves the focus on (Shift+Tab back) as everywhere else in a dialog; Ctrl+Tab types a
// tab character.
class tab_moving_edit : public QPlainTextEdit {
 public:
  using QPlainTextEdit::QPlainTextEdit;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Tab && (event->modifiers() & Qt::ControlModifier)) {
      if (!isReadOnly()) insertPlainText("\t");
      return;
    }
    if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) &&
        !(event->modifiers() & ~Qt::ShiftModifier)) {
      focusNextPrevChild(event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier));
      return;
    }
    QPlainTextEdit::keyPressEvent(event);
  }
  // Ctrl+Tab would otherwise be taken by the window before the edit sees it.
  bool event(QEvent* event) override {
    if (event->type() == QEvent::ShortcutOverride) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ControlModifier)) {
        event->accept();
        return true;
      }
    }
    return QPlainTextEdit::event(event);
  }
};

// One line of text cut with "…" at the right where the control is too narrow for it.
class elided_label : public QLabel {
 public:
  explicit elided_label(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setMinimumWidth(1);
  }
  void set_full_text(const QString& text) {
    full_ = text;
    refresh();
  }
  const QString& full_text() const { return full_; }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    refresh();
  }

 private:
  void refresh() { setText(fontMetrics().elidedText(full_, Qt::ElideRight, width())); }
  QString full_;
};

struct silence {
  explicit silence(controls::impl& b) : body(b) { ++body.silent; }
  ~silence() { --body.silent; }
  controls::impl& body;
};

// Controls that take the extra height of their page.
bool is_tall(kind k) {
  return k == kind::multiline || k == kind::wrapping_multiline || k == kind::listbox || k == kind::single_listbox;
}

bool is_input(kind k) {
  return k == kind::edit || k == kind::password || k == kind::multiline || k == kind::wrapping_multiline ||
         k == kind::listbox ||
         k == kind::single_listbox || k == kind::combo;
}

}  // namespace

void set_name_order(name_order order) { g_order = std::move(order); }

std::wstring flowing_text(const std::wstring& text) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    const bool paragraph =
        c == L'\n' && ((i > 0 && text[i - 1] == L'\n') || (i + 1 < text.size() && text[i + 1] == L'\n'));
    if (c != L'\n' || paragraph) out += c;
    else if (!out.empty() && out.back() != L' ') out += L' ';
  }
  return out;
}

namespace {

// A static text as a wrapped label shows it: flowing, and a word longer than 40 characters (a long table name)
// gets a zero-width space after every 40, where the line may break instead of running out of the window. Labels
// cannot be selected, so nothing copied from them carries these.
QString label_text(const std::wstring& text) {
  constexpr std::size_t long_word = 40;
  std::wstring out;
  std::size_t word = 0;
  for (wchar_t c : flowing_text(text)) {
    if (c == L' ' || c == L'\n') {
      word = 0;
    } else if (++word > long_word) {
      out += L'\u200b';
      word = 1;
    }
    out += c;
  }
  return to_q(out);
}

}  // namespace

QString to_q(const std::wstring& text) { return QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size())); }

std::wstring from_q(const QString& text) { return text.toStdWString(); }

QWidget* controls::impl::get(int id) const {
  auto found = widgets.find(id);
  return found == widgets.end() ? nullptr : found->second;
}

void controls::impl::fire(int id, notify what) {
  if (silent > 0 || !handler) return;
  handler(id, what);
}

std::shared_ptr<controls::impl> build_controls(QWidget* root, const std::vector<control>& table) {
  auto body = std::make_shared<controls::impl>();
  body->root = root;
  auto* grid = new QGridLayout(root);
  controls::impl* raw = body.get();
  QLabel* pending_buddy = nullptr;
  bool grows = false;
  int last_row = 0;
  for (const control& c : table) {
    QWidget* w = nullptr;
    const QString text = to_q(c.text);
    switch (c.type) {
      case kind::label:
      case kind::title: {
        auto* l = new QLabel(c.type == kind::label ? label_text(c.text) : text, root);
        l->setWordWrap(true);
        if (c.type == kind::title) {
          QFont f = l->font();
          f.setPointSize(13);
          l->setFont(f);
        }
        w = l;
        break;
      }
      case kind::elided: {
        auto* l = new elided_label(root);
        l->set_full_text(text);
        w = l;
        break;
      }
      case kind::button:
      case kind::default_button: {
        auto* b = new QPushButton(text, root);
        b->setAutoDefault(false);
        if (c.type == kind::default_button) b->setDefault(true);
        QObject::connect(b, &QPushButton::clicked, root, [raw, id = c.id] { raw->fire(id, notify::clicked); });
        w = b;
        break;
      }
      case kind::group: {
        auto* l = new QLabel(text.trimmed(), root);
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        w = l;
        break;
      }
      case kind::check: {
        auto* b = new plain_check(text, root);
        QObject::connect(b, &QCheckBox::clicked, root, [raw, id = c.id] { raw->fire(id, notify::clicked); });
        w = b;
        break;
      }
      case kind::radio: {
        auto* b = new QRadioButton(text, root);
        QObject::connect(b, &QRadioButton::clicked, root, [raw, id = c.id] { raw->fire(id, notify::clicked); });
        w = b;
        break;
      }
      case kind::edit:
      case kind::password: {
        auto* e = new QLineEdit(root);
        if (c.type == kind::password) e->setEchoMode(QLineEdit::Password);
        e->setMaxLength(c.max_length > 0 ? c.max_length : 32767);
        e->installEventFilter(new focus_watch(e, raw, c.id));
        w = e;
        break;
      }
      case kind::multiline:
      case kind::wrapping_multiline: {
        auto* e = new tab_moving_edit(root);
        e->setLineWrapMode(c.type == kind::multiline ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
        e->installEventFilter(new focus_watch(e, raw, c.id));
        // Text beyond the limit is refused: the edit goes back to what it held before.
        auto last = std::make_shared<QString>();
        QObject::connect(e, &QPlainTextEdit::textChanged, root, [raw, e, last, id = c.id] {
          auto limit = raw->limits.find(id);
          if (limit != raw->limits.end() && limit->second > 0 &&
              e->document()->characterCount() - 1 > limit->second) {
            QSignalBlocker block(e);
            e->setPlainText(*last);
            e->moveCursor(QTextCursor::End);
            QApplication::beep();
            return;
          }
          *last = e->toPlainText();
        });
        if (c.max_length > 0) body->limits[c.id] = c.max_length;
        w = e;
        break;
      }
      case kind::listbox:
      case kind::single_listbox: {
        auto* l = new QListWidget(root);
        l->setSelectionMode(c.type == kind::listbox ? QAbstractItemView::ExtendedSelection
                                                   : QAbstractItemView::SingleSelection);
        l->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        QObject::connect(l, &QListWidget::itemSelectionChanged, root,
                         [raw, id = c.id] { raw->fire(id, notify::selchange); });
        QObject::connect(l, &QListWidget::itemDoubleClicked, root,
                         [raw, id = c.id] { raw->fire(id, notify::dblclk); });
        w = l;
        break;
      }
      case kind::combo: {
        auto* b = new QComboBox(root);
        // Items come after the page is laid out: the box widens to its longest item then.
        b->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        w = b;
        break;
      }
      case kind::progress: {
        auto* p = new QProgressBar(root);
        p->setRange(0, 100);
        p->setValue(0);
        w = p;
        break;
      }
      case kind::link: {
        auto* l = new QLabel(text, root);
        l->setTextFormat(Qt::RichText);
        l->setTextInteractionFlags(Qt::TextBrowserInteraction);
        l->setOpenExternalLinks(false);
        QObject::connect(l, &QLabel::linkActivated, root, [](const QString& url) { open_url(url.toStdString()); });
        w = l;
        break;
      }
      case kind::icon_warning:
      case kind::icon_error: {
        auto* l = new QLabel(root);
        QStyle::StandardPixmap p =
            c.type == kind::icon_warning ? QStyle::SP_MessageBoxWarning : QStyle::SP_MessageBoxCritical;
        l->setPixmap(root->style()->standardIcon(p).pixmap(32, 32));
        // The icon keeps its size; the width left goes to the text beside it.
        l->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        l->setAlignment(Qt::AlignTop);
        w = l;
        break;
      }
    }
    if (c.id != -1) {
      w->setObjectName(QString::number(c.id));
      body->widgets[c.id] = w;
      if (c.type == kind::label) body->flowing.insert(c.id);
    }
    const bool tall = is_tall(c.type);
    if (pending_buddy && is_input(c.type)) {
      pending_buddy->setBuddy(w);
      // The caption of a box several lines high stands by its first line.
      if (tall) grid->setAlignment(pending_buddy, Qt::AlignTop);
    }
    pending_buddy = nullptr;
    if (c.type == kind::label) pending_buddy = static_cast<QLabel*>(w);
    if (c.hidden) w->hide();
    grid->addWidget(w, c.row, c.col, c.row_span, c.span);
    if (tall) grows = true;
    if (tall) grid->setRowStretch(c.row + c.row_span - 1, 1);
    last_row = std::max(last_row, c.row + c.row_span - 1);
  }
  // Extra height goes to the lists and edit boxes; a page without any keeps its controls together at the top.
  if (!grows) grid->setRowStretch(last_row + 1, 1);
  return body;
}

controls::controls(std::shared_ptr<impl> body) : body_(std::move(body)) {}
controls::~controls() = default;

namespace {

template <class T>
T* as(const controls::impl& body, int id) {
  return qobject_cast<T*>(body.get(id));
}

}  // namespace

bool controls::has(int id) const { return body_->get(id) != nullptr; }

std::wstring controls::text(int id) const {
  QWidget* w = body_->get(id);
  if (auto* e = qobject_cast<QLineEdit*>(w)) return from_q(e->text());
  if (auto* e = qobject_cast<QPlainTextEdit*>(w)) return from_q(e->toPlainText());
  if (auto* l = dynamic_cast<elided_label*>(w)) return from_q(l->full_text());
  if (auto* l = qobject_cast<QLabel*>(w)) return from_q(l->text());
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return from_q(b->text());
  if (auto* c = qobject_cast<QComboBox*>(w)) return from_q(c->currentText());
  return {};
}

void controls::set_text(int id, const std::wstring& text) {
  silence quiet(*body_);
  QWidget* w = body_->get(id);
  if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(to_q(text));
  else if (auto* e = qobject_cast<QPlainTextEdit*>(w)) e->setPlainText(to_q(text));
  else if (auto* l = dynamic_cast<elided_label*>(w)) l->set_full_text(to_q(text));
  else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(body_->flowing.count(id) ? label_text(text) : to_q(text));
  else if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(to_q(text));
}

void controls::enable(int id, bool on) {
  if (QWidget* w = body_->get(id)) w->setEnabled(on);
}
bool controls::is_enabled(int id) const {
  QWidget* w = body_->get(id);
  return w && w->isEnabled();
}
void controls::show(int id, bool on) {
  if (QWidget* w = body_->get(id)) w->setVisible(on);
}
bool controls::is_shown(int id) const {
  QWidget* w = body_->get(id);
  return w && !w->isHidden();
}
void controls::focus(int id) {
  if (QWidget* w = body_->get(id)) w->setFocus(Qt::OtherFocusReason);
}
bool controls::has_focus(int id) const {
  QWidget* w = body_->get(id);
  return w && w->hasFocus();
}
void controls::set_title_font(int id) {
  if (QWidget* w = body_->get(id)) {
    QFont f = w->font();
    f.setPointSize(13);
    w->setFont(f);
  }
}

bool controls::is_checked(int id) const {
  auto* b = as<QAbstractButton>(*body_, id);
  return b && b->isChecked();
}
void controls::set_checked(int id, bool on) {
  silence quiet(*body_);
  if (auto* b = as<QAbstractButton>(*body_, id)) b->setChecked(on);
}

int controls::list_add(int id, const std::wstring& text) {
  silence quiet(*body_);
  auto* l = as<QListWidget>(*body_, id);
  if (!l) return -1;
  int at = 0;
  while (at < l->count() && compare_names(from_q(l->item(at)->text()), text) <= 0) ++at;
  l->insertItem(at, to_q(text));
  return at;
}
void controls::list_delete(int id, int index) {
  silence quiet(*body_);
  auto* l = as<QListWidget>(*body_, id);
  if (l && index >= 0 && index < l->count()) delete l->takeItem(index);
}
void controls::list_reset(int id) {
  silence quiet(*body_);
  if (auto* l = as<QListWidget>(*body_, id)) l->clear();
}
int controls::list_count(int id) const {
  auto* l = as<QListWidget>(*body_, id);
  return l ? l->count() : 0;
}
std::wstring controls::list_text(int id, int index) const {
  auto* l = as<QListWidget>(*body_, id);
  if (!l || index < 0 || index >= l->count()) return {};
  return from_q(l->item(index)->text());
}
int controls::list_find_prefix(int id, const std::wstring& prefix) const {
  auto* l = as<QListWidget>(*body_, id);
  if (!l) return -1;
  for (int i = 0; i < l->count(); ++i)
    if (l->item(i)->text().startsWith(to_q(prefix), Qt::CaseInsensitive)) return i;
  return -1;
}
int controls::list_find(int id, const std::wstring& text, bool ignore_case) const {
  auto* l = as<QListWidget>(*body_, id);
  if (!l) return -1;
  for (int i = 0; i < l->count(); ++i)
    if (QString::compare(l->item(i)->text(), to_q(text), ignore_case ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0)
      return i;
  return -1;
}
std::vector<int> controls::list_selected(int id) const {
  std::vector<int> rows;
  auto* l = as<QListWidget>(*body_, id);
  if (!l) return rows;
  for (int i = 0; i < l->count(); ++i)
    if (l->item(i)->isSelected()) rows.push_back(i);
  return rows;
}
void controls::list_select(int id, int index, bool on) {
  silence quiet(*body_);
  auto* l = as<QListWidget>(*body_, id);
  if (!l || index < 0 || index >= l->count()) return;
  QSignalBlocker block(l);
  if (l->selectionMode() == QAbstractItemView::SingleSelection && on) l->setCurrentRow(index);
  l->item(index)->setSelected(on);
  if (on) l->scrollToItem(l->item(index));
  l->viewport()->update();
}
void controls::list_clear_selection(int id) {
  silence quiet(*body_);
  auto* l = as<QListWidget>(*body_, id);
  if (!l) return;
  QSignalBlocker block(l);
  l->clearSelection();
  l->viewport()->update();
}
int controls::list_current(int id) const {
  auto* l = as<QListWidget>(*body_, id);
  return l ? l->currentRow() : -1;
}
void controls::list_set_current(int id, int index) {
  silence quiet(*body_);
  auto* l = as<QListWidget>(*body_, id);
  if (!l) return;
  QSignalBlocker block(l);
  l->setCurrentRow(index, QItemSelectionModel::NoUpdate);
}

void controls::combo_add(int id, const std::wstring& text) {
  silence quiet(*body_);
  if (auto* c = as<QComboBox>(*body_, id)) c->addItem(to_q(text));
}
int controls::combo_current(int id) const {
  auto* c = as<QComboBox>(*body_, id);
  return c ? c->currentIndex() : -1;
}
void controls::combo_set_current(int id, int index) {
  silence quiet(*body_);
  if (auto* c = as<QComboBox>(*body_, id)) c->setCurrentIndex(index);
}

void controls::edit_append(int id, const std::wstring& text) {
  silence quiet(*body_);
  auto* e = as<QPlainTextEdit>(*body_, id);
  if (!e) return;
  QString add = to_q(text);
  add.remove(QChar('\r'));
  auto limit = body_->limits.find(id);
  if (limit != body_->limits.end() && limit->second > 0) {
    const int room = limit->second - (e->document()->characterCount() - 1);
    if (room <= 0) return;
    if (add.size() > room) add.truncate(room);
  }
  QSignalBlocker block(e);
  QTextCursor cursor = e->textCursor();
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(add);
  e->setTextCursor(cursor);
  e->ensureCursorVisible();
}
void controls::edit_set_readonly(int id, bool on) {
  if (auto* e = as<QPlainTextEdit>(*body_, id)) e->setReadOnly(on);
  else if (auto* e = as<QLineEdit>(*body_, id)) e->setReadOnly(on);
}
void controls::edit_set_limit(int id, int max_length) {
  if (auto* e = as<QLineEdit>(*body_, id)) e->setMaxLength(max_length);
  else body_->limits[id] = max_length;
}
void controls::edit_select_none(int id) {
  if (auto* e = as<QPlainTextEdit>(*body_, id)) {
    QTextCursor cursor = e->textCursor();
    cursor.clearSelection();
    e->setTextCursor(cursor);
    e->ensureCursorVisible();
  } else if (auto* e = as<QLineEdit>(*body_, id)) {
    e->deselect();
  }
}

void controls::set_progress(int id, int value) {
  if (auto* p = as<QProgressBar>(*body_, id)) p->setValue(value < 0 ? 0 : value > 100 ? 100 : value);
}

void controls::set_link(int id, const std::string& url, const std::wstring& caption) {
  if (auto* l = as<QLabel>(*body_, id)) {
    l->setText(QString("<a href=\"%1\">%2</a>")
                   .arg(QString::fromStdString(url).toHtmlEscaped(), to_q(caption).toHtmlEscaped()));
    l->show();
  }
}

void controls::set_handler(command_handler handler) { body_->handler = std::move(handler); }

}  // namespace pf
