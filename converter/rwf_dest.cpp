// Destination checks and names; see rwf_dest.h.
#include "converter/rwf_dest.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cwctype>

#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "converter/rwf_conv.h"
#include "platform/system/atomic_file.h"
#include "platform/system/files.h"

void common_check_dest(const std::wstring& path) {
  tk_trace_w(1, L"common_check_dest(%s)", path.c_str());
  std::string narrow = tk_to_ansi(path);
  // What the name stands for is settled here, before the run reads anything: a name the system refuses (too
  // long, a loop of links) or a file that is no regular file would otherwise only fail when the finished file is
  // moved into place.
  struct stat st {};
  if (::stat(narrow.c_str(), &st) != 0 && errno != ENOENT && errno != ENOTDIR)
    throw tk_exception_ex(errno, "Cannot use the destination name: ", 1);
  if (const char* special = S_ISFIFO(st.st_mode) ? "a FIFO"
                            : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                            : S_ISSOCK(st.st_mode)                       ? "a socket"
                                                                         : nullptr)
    throw tk_exception(std::string("Destination name specifies ") + special + ", not a file.", 1);
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

std::string dest_final_target(const std::string& dest) {
  const std::string link = sys_refused_link(dest);
  if (link.empty()) return sys_final_target(dest);
  throw tk_exception("The symbolic link '" + link +
                         "' belongs to another user in a shared folder (sticky and writable by everyone); the "
                         "destination is not written through it.",
                     1);
}

namespace {

// The path a file will have, with every link and "." or ".." resolved as far as the file system holds it.
std::string resolved_path(const std::string& path) {
  std::string absolute;
  if (sys_absolute_path(path, absolute) != 0) absolute = path;
  const std::string target = sys_final_target(absolute);
  if (char* real = ::realpath(target.c_str(), nullptr)) {
    std::string out(real);
    std::free(real);
    return out;
  }
  const std::string folder = sys_folder_of(target);
  char* real = ::realpath(folder.c_str(), nullptr);
  if (real == nullptr) return target;
  std::string out(real);
  std::free(real);
  return (out == "/" ? out : out + "/") + target.substr(target.rfind('/') + 1);
}

}  // namespace

bool names_same_file(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  return resolved_path(a) == resolved_path(b);
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
  common_check_dest(tk_utf8_to_unicode(dest_final_target(tk_to_utf8(dest))));
  // In mode 0 an existing destination is replaced only once the new file has been written (see the run), so a
  // run that fails early leaves it as it was.
  if (sys_stat_kind(tk_to_ansi(dest)) == sys_path_kind::file) tk_trace(1, "Destination already exists");
}
