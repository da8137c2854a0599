// Destination checks and names; see rwf_dest.h.
#include "converter/rwf_dest.h"

#include <unistd.h>

#include <cwctype>

#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "converter/rwf_conv.h"
#include "platform/system/atomic_file.h"
#include "platform/system/files.h"

void common_check_dest(const std::wstring& path) {
  tk_trace_w(1, L"common_check_dest(%s)", path.c_str());
  std::string narrow = tk_to_ansi(path);
  sys_path_kind kind = sys_stat_kind(narrow);
  if (kind == sys_path_kind::folder) throw tk_exception("Destination name should specify a file, not folder.", 1);
  if (kind == sys_path_kind::file && (sys_is_read_only(narrow) || !sys_may_access(narrow, W_OK)))
    throw tk_exception("Destination name specifies an existing read-only file.", 1);
  std::string folder = sys_folder_of(narrow);
  if (sys_stat_kind(folder) != sys_path_kind::folder)
    throw tk_exception("Destination path does not exist.\nPlease verify the correct path was given.", 1);
  if (!sys_may_access(folder, W_OK | X_OK))
    throw tk_exception(
        "Cannot create or write into the destination file.\nRun the program as Administrator or change folder.", 1);
}

std::wstring make_default_dest(const std::wstring& path, const std::wstring& name, const std::wstring& extension,
                               bool keep) {
  if (keep) return name;
  std::wstring folder;
  std::size_t slash = path.rfind(L'/');
  if (slash != std::wstring::npos) {
    folder = path.substr(0, slash + 1);
  } else {
    std::string cwd = sys_current_dir();
    folder = tk_utf8_to_unicode(cwd);
    if (folder.empty() || folder.back() != L'/') folder += L'/';
  }
  std::wstring ext = extension;
  if (!ext.empty() && ext[0] != L'.') ext.insert(ext.begin(), L'.');
  return folder + name + ext;
}

bool path_ends_with(const std::wstring& text, const std::wstring& suffix, bool exact) {
  if (suffix.empty()) return true;
  if (text.size() < suffix.size()) return false;
  std::size_t start = text.size() - suffix.size();
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    wchar_t a = text[start + i], b = suffix[i];
    if (exact ? a != b : std::towlower(a) != std::towlower(b)) return false;
  }
  return true;
}

std::string file_name_folder(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void rowferry_convertor::check_dest() {
  tk_trace_w(1, L"rowferry_convertor::check_dest(%s)", dest.c_str());
  // A symbolic link stands for its target: that is the file the run writes, in that file's folder.
  common_check_dest(tk_utf8_to_unicode(sys_final_target(tk_to_utf8(dest))));
  // In mode 0 an existing destination is replaced only once the new file has been written (see the run), so a
  // run that fails early leaves it as it was.
  if (sys_stat_kind(tk_to_ansi(dest)) == sys_path_kind::file) tk_trace(1, "Destination already exists");
}
