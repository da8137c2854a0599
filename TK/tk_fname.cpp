// Paths and file tests (see tk_fname.h).
#include "TK/tk_fname.h"

#include <unistd.h>

#include "TK/tk_log.h"
#include "TK/tk_singl.h"
#include "TK/tk_utils.h"
#include "platform/system/codepage.h"
#include "platform/system/files.h"

namespace {

struct parts {
  std::string ext, name, dir;
};

parts split_absolute(const std::string& path) {
  parts p;
  const auto slash = path.rfind('/');
  p.dir = path.substr(0, slash + 1);  // slash is never npos for an absolute path
  const std::string last = path.substr(slash + 1);
  const auto dot = last.rfind('.');
  if (dot == std::string::npos) {
    p.name = last;
  } else {
    p.name = last.substr(0, dot);
    p.ext = last.substr(dot);
  }
  return p;
}

// Shared by both file-name classes; the failure codes differ.
parts split_path(const char* path, unsigned absolute_failure_line) {
  if (*path == '\0') {
    parts p = split_absolute(tk_get_module_file_name());
    p.name.clear();
    return p;
  }
  std::string absolute;
  if (sys_absolute_path(path, absolute) != 0) throw tk_mail_assertion("tk_fname", absolute_failure_line);
  return split_absolute(absolute);
}

bool file_exist(const std::string& path, int mode) {
  if (mode == tk_file_exists_mode) return sys_stat_kind(path) == sys_path_kind::file;
  if (mode == tk_file_writable_mode) return sys_stat_kind(path) == sys_path_kind::file && !sys_is_read_only(path);
  const int err = sys_create_empty_file(path);
  if (err != 0) throw tk_exception_ex(err, std::string(), 1);
  return true;
}

bool path_exist(const std::string& path) {
  if (path.empty()) return true;  // the program's own folder
  return sys_stat_kind(path) == sys_path_kind::folder && sys_may_access(path, X_OK);
}

bool file_writable(const std::string& path, DWORD access) {
  int mode = 0;
  if (access & (GENERIC_READ | GENERIC_ALL)) mode |= R_OK;
  if (access & (GENERIC_WRITE | GENERIC_ALL)) mode |= W_OK;
  if (access & (GENERIC_EXECUTE | GENERIC_ALL)) mode |= X_OK;
  const sys_path_kind kind = sys_stat_kind(path);
  if (kind == sys_path_kind::missing) return false;
  if (kind == sys_path_kind::folder && (mode & W_OK)) mode |= X_OK;  // creating files needs entering too
  return sys_may_access(path, mode == 0 ? F_OK : mode);
}

}  // namespace

tk_file_name::tk_file_name(const char* path) {
  if (!path) throw tk_mail_assertion("tk_fname", 31);
  initialize(path);
}

tk_file_name::tk_file_name(const wchar_t* path) {
  if (!path) throw tk_mail_assertion("tk_fname", 31);
  initialize(sys_wide_to_utf8(path).c_str());
}

void tk_file_name::initialize(const char* path) {
  tk_trace(2, "tk_file_name::ctor(%s)", path);
  parts p = split_path(path, 39);
  ext = std::move(p.ext);
  name = std::move(p.name);
  dir = std::move(p.dir);
}

tk_file_wname::tk_file_wname(const wchar_t* path) {
  if (!path) throw tk_mail_assertion("tk_fname", 83);
  initialize(path);
}

void tk_file_wname::initialize(const wchar_t* path) {
  tk_trace_w(2, L"tk_file_wname::initialize(%s)", path);
  const std::string narrow = sys_wide_to_utf8(path);
  parts p = split_path(narrow.c_str(), 91);
  ext = sys_utf8_to_wide(p.ext);
  name = sys_utf8_to_wide(p.name);
  dir = sys_utf8_to_wide(p.dir);
}

bool tk_is_file_exist1(const char* path, int mode) {
  if (!path) return false;
  tk_trace(2, "tk_is_file_exist1(%s,%d)", path, mode);
  return file_exist(path, mode);
}

bool tk_is_file_exist2(const wchar_t* path, int mode) {
  if (!path) return false;
  tk_trace_w(2, L"tk_is_file_exist2(%s,%08X)", path, static_cast<unsigned>(mode));
  return file_exist(sys_wide_to_utf8(path), mode);
}

bool tk_is_path_exist(const char* path) {
  if (!path) return false;
  tk_trace(2, "tk_is_path_exist(%s)", path);
  return path_exist(path);
}

bool tk_is_path_exist(const wchar_t* path) {
  if (!path) return false;
  std::string narrow;
  if (!tk_unicode_to_ansi2(path, narrow)) return false;
  tk_trace(2, "tk_is_path_exist(%s)", narrow.c_str());
  return path_exist(narrow);
}

bool tk_is_file_writable(const char* path, DWORD access) {
  if (!path) return false;
  return file_writable(path, access);
}

bool tk_is_file_writable_w(const wchar_t* path, DWORD access) {
  if (!path) return false;
  return file_writable(sys_wide_to_utf8(path), access);
}

tk_temp_chdir::tk_temp_chdir(const char* path) {
  tk_trace(2, "tk_temp_chdir::ctor");
  if (!path || *path == '\0') {
    initialize(tk_get_module_dir().c_str());
  } else {
    initialize(path);
  }
}

void tk_temp_chdir::initialize(const char* path) {
  tk_trace(2, "tk_temp_chdir::initialize(%s)", path ? path : "");
  tk_trace(2, "Step #1");
  previous_ = sys_current_dir();
  if (previous_.empty()) {
    tk_trace(2, "_getcwd failed");
    changed_ = false;
    return;
  }
  tk_trace(2, "Step #2");
  if (!path || ::chdir(path) != 0) {
    tk_trace(2, "_chdir failed");
    changed_ = false;
    return;
  }
  changed_ = true;
}

tk_temp_chdir::~tk_temp_chdir() {
  tk_trace(2, "tk_temp_chdir::dtor");
  if (changed_ && ::chdir(previous_.c_str()) != 0) tk_trace(2, "_chdir failed");
  tk_trace(2, "tk_temp_chdir::dtor - at the END");
}

uint32_t get_dll_version(const wchar_t* library) {
  std::wstring name = library ? library : L"";
  tk_wstring lower(name);
  lower.to_lower();
  if (lower == L"comctl32.dll") return 0x00060000u;
  tk_trace(2, "get_dll_version failed to load DLL");
  return 0;
}
