// Browser, help pages and sound (see ui_desktop.h).
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QUrl>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ui/ui_desktop.h"

namespace pf {

namespace {

std::function<bool(const std::string&)> g_opener;

std::string program_folder() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  std::string path(buffer, static_cast<std::size_t>(n));
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool is_file(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool open_url(const std::string& url) {
  if (g_opener) return g_opener(url);
  return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

std::string help_folder() {
  const std::string bin = program_folder();
  for (const std::string& folder : {bin + "/help", bin + "/../share/rowferry/help"})
    if (is_file(folder + "/index.html")) return folder;
  return {};
}

std::string help_path(unsigned topic) {
  const std::string folder = help_folder();
  if (folder.empty()) return {};
  std::string page = folder + "/" + std::to_string(topic) + ".html";
  if (topic == 0 || !is_file(page)) page = folder + "/index.html";
  return QDir::cleanPath(QString::fromStdString(page)).toStdString();
}

std::string help_url(unsigned topic) {
  const std::string page = help_path(topic);
  if (page.empty()) return {};
  return QUrl::fromLocalFile(QString::fromStdString(page)).toString().toStdString();
}

void beep() { QApplication::beep(); }

namespace test {
void set_url_opener(std::function<bool(const std::string&)> opener) { g_opener = std::move(opener); }
}  // namespace test

}  // namespace pf
