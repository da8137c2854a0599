// Message boxes and file dialogs (see ui_boxes.h).
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "platform/ui/ui_boxes.h"
#include "platform/ui/ui_build.h"
#include "platform/ui/ui_controls.h"
#include "platform/ui/ui_modal.h"
#include "platform/ui/ui_test.h"

namespace pf {

namespace {

std::function<void(QWidget*)> g_hook;
QPointer<QWidget> g_main;

std::optional<std::wstring> run_file_dialog(bool save, const filter_list& filters, const std::wstring& title,
                                            const std::wstring& folder, const std::wstring& name) {
  QFileDialog dialog(modal_owner(), to_q(title));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  QStringList names;
  for (const std::wstring& f : translate_filter(filters)) names << to_q(f);
  dialog.setNameFilters(names);
  dialog.setDirectory(folder.empty() ? QDir::homePath() : to_q(folder));
  if (!name.empty()) dialog.selectFile(to_q(name));
  announce_modal(&dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return from_q(dialog.selectedFiles().first());
}

}  // namespace

void announce_modal(QWidget* window) {
  if (!g_hook) return;
  QPointer<QWidget> target(window);
  QTimer::singleShot(0, window, [target] {
    if (target && g_hook) g_hook(target);
  });
}

QWidget* modal_owner() {
  if (QWidget* top = QApplication::activeModalWidget()) return top;
  return g_main;
}

void set_main_window(QWidget* window) { g_main = window; }

namespace test {
void set_modal_hook(std::function<void(QWidget*)> hook) { g_hook = std::move(hook); }
}  // namespace test

int message_box(const std::wstring& text, const std::wstring& caption, icon kind, buttons set, bool default_second,
                bool owned) {
  QMessageBox box(owned ? modal_owner() : nullptr);
  box.setWindowTitle(to_q(caption));
  box.setText(to_q(flowing_text(text)));
  switch (kind) {
    case icon::error:
      box.setIcon(QMessageBox::Critical);
      break;
    case icon::information:
      box.setIcon(QMessageBox::Information);
      break;
    case icon::question:
      box.setIcon(QMessageBox::Question);
      break;
    case icon::warning:
      box.setIcon(QMessageBox::Warning);
      break;
  }
  if (set == buttons::yes_no) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(default_second ? QMessageBox::No : QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  if (!owned) box.setWindowModality(Qt::ApplicationModal);
  // Asked while the window waits with the busy cursor: the box itself takes clicks.
  const bool busy = QApplication::overrideCursor() != nullptr;
  if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  announce_modal(&box);
  const int answer = box.exec();
  if (busy) QApplication::restoreOverrideCursor();
  if (set == buttons::yes_no) return answer == QMessageBox::Yes ? id_yes : id_no;
  return id_ok;
}

namespace {

// The patterns of one filter entry ("*.mdb;*.accdb").
std::vector<std::wstring> split_patterns(const std::wstring& patterns) {
  std::vector<std::wstring> out;
  std::size_t start = 0;
  while (start <= patterns.size()) {
    std::size_t end = patterns.find(L';', start);
    if (end == std::wstring::npos) end = patterns.size();
    if (end > start) out.push_back(patterns.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

}  // namespace

std::vector<std::wstring> translate_filter(const filter_list& filters) {
  std::vector<std::wstring> out;
  for (const auto& [description, patterns] : filters) {
    std::wstring list;
    for (const std::wstring& one : split_patterns(patterns)) list += (list.empty() ? L"" : L" ") + (one == L"*.*" ? L"*" : one);
    // "MS Access Databases (.mdb;.accdb)" names its patterns already: the dialog's own list takes their place.
    std::wstring name = description;
    const std::size_t open = name.rfind(L" (");
    if (!name.empty() && name.back() == L')' && open != std::wstring::npos) name.erase(open);
    out.push_back(name + L" (" + list + L")");
  }
  return out;
}

std::vector<std::wstring> filter_extensions(const filter_list& filters) {
  std::vector<std::wstring> out;
  for (const auto& [description, patterns] : filters)
    for (const std::wstring& one : split_patterns(patterns))
      if (one.rfind(L"*.", 0) == 0 && one != L"*.*") out.push_back(one.substr(2));
  return out;
}

std::optional<std::wstring> open_file(const filter_list& filters, const std::wstring& title, const std::wstring& folder,
                                      const std::wstring& name) {
  return run_file_dialog(false, filters, title, folder, name);
}

std::optional<std::wstring> save_file(const filter_list& filters, const std::wstring& title, const std::wstring& folder,
                                      const std::wstring& name) {
  return run_file_dialog(true, filters, title, folder, name);
}

}  // namespace pf
