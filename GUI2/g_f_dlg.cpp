// File dialogs (see g_f_dlg.h).
#include "GUI2/g_f_dlg.h"

#include "TK/tk_nocase.h"
#include "TK/tk_singl.h"
#include "TK/tk_log.h"

namespace {

std::pair<std::wstring, std::wstring> split_path(const std::wstring& path) {
  std::size_t slash = path.rfind(L'/');
  if (slash == std::wstring::npos) return {std::wstring(), path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

bool ends_with_nocase(const std::wstring& text, const std::wstring& suffix) {
  return text.size() >= suffix.size() && tk_equal_nocase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace

std::optional<std::wstring> open_file_dialog(const pf::filter_list& filters, const std::wstring& title,
                                             const std::wstring& initial_path) {
  auto [folder, name] = split_path(initial_path);
  return pf::open_file(filters, title, folder, name);
}

std::optional<std::wstring> save_file_dialog(const pf::filter_list& filters, const std::wstring& title,
                                             const std::wstring& initial_path, const std::wstring& default_extension) {
  if (default_extension.empty()) throw tk_mail_assertion("g_f_dlg", 111);
  const std::wstring extension = default_extension[0] == L'.' ? default_extension : L"." + default_extension;
  auto [folder, name] = split_path(initial_path);
  std::optional<std::wstring> chosen = pf::save_file(filters, title, folder, name);
  if (!chosen) return chosen;
  return with_default_extension(*chosen, extension, filters);
}

std::wstring with_default_extension(const std::wstring& path, const std::wstring& extension,
                                    const pf::filter_list& filters) {
  const std::wstring name = split_path(path).second;
  for (const std::wstring& listed : pf::filter_extensions(filters))
    if (ends_with_nocase(name, L"." + listed)) return path;
  if (name.find(extension) != std::wstring::npos) return path;
  return path + extension;
}
