// Paths: splitting a file name into its parts, file and folder tests, a scoped change of the working folder,
// and the version of a system library.
//
// tk_file_name splits a path into ext (with its dot), drive (always empty on this system), name (without the
// extension) and dir (with leading and trailing '/'); drive + dir + name + ext rebuilds the absolute path.
// A relative path is made absolute against the working folder without touching the disk, so the file need not
// exist. The extension runs from the last '.' of the last component (".bashrc" has name "" and ext ".bashrc");
// a path ending in '/' has an empty name and ext. An empty text splits the running program's path and leaves
// name empty, so dir is the program's folder.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system/win_types.h"

class tk_file_name {
 public:
  explicit tk_file_name(const char* path);
  explicit tk_file_name(const std::string& path) : tk_file_name(path.c_str()) {}
  // The same split of a wide path; the parts are UTF-8.
  explicit tk_file_name(const wchar_t* path);

  std::string ext;
  std::string drive;
  std::string name;
  std::string dir;

 private:
  void initialize(const char* path);
};

class tk_file_wname {
 public:
  explicit tk_file_wname(const wchar_t* path);
  explicit tk_file_wname(const std::wstring& path) : tk_file_wname(path.c_str()) {}

  std::wstring ext;
  std::wstring drive;
  std::wstring name;
  std::wstring dir;

 private:
  void initialize(const wchar_t* path);
};

// Mode of tk_is_file_exist1/2.
constexpr int tk_file_exists_mode = 0x4000;   // exists and is not a folder
constexpr int tk_file_writable_mode = 1;      // ... and is not read-only (carries a write permission bit)
// Any other mode creates the file, EMPTYING an existing one, and answers true; failure raises tk_exception_ex.
bool tk_is_file_exist1(const char* path, int mode);
bool tk_is_file_exist2(const wchar_t* path, int mode);

// True when the path is a folder the process may enter. "" stands for the program's own folder (true).
// The working folder is not changed.
bool tk_is_path_exist(const char* path);
bool tk_is_path_exist(const wchar_t* path);

// True when the process (effective user and groups) holds the access (GENERIC_READ, GENERIC_WRITE,
// GENERIC_EXECUTE, GENERIC_ALL or a combination) on the file or folder; write access to a folder also needs the
// right to enter it. Every failure gives false.
bool tk_is_file_writable(const char* path, DWORD access);
bool tk_is_file_writable_w(const wchar_t* path, DWORD access);

// Changes the working folder for its lifetime ("" means the program's folder) and changes it back.
class tk_temp_chdir {
 public:
  explicit tk_temp_chdir(const char* path);
  ~tk_temp_chdir();
  tk_temp_chdir(const tk_temp_chdir&) = delete;
  tk_temp_chdir& operator=(const tk_temp_chdir&) = delete;

  void initialize(const char* path);
  bool changed() const { return changed_; }

 private:
  bool changed_ = false;
  std::string previous_;
};

// (major << 16) | minor of a system library. There are no such libraries here: the common-controls library the
// wizard asks about is reported as version 6.0, which the toolkit's widgets match; any other name gives 0.
uint32_t get_dll_version(const wchar_t* library);
