// The per-user settings store that stands in for the current user's registry hive.
//
// Location: a key path "Software\A\B" is the file <root>/tabletide/A/B.reg, where <root> is
// $XDG_CONFIG_HOME, else $HOME/.config (a leading "Software" component is dropped, each further "\" is a folder
// level, and the last component names the file). reg_set_store_root overrides <root>, for tests.
// Folders are created with mode 0700 and files with mode 0600: the store may hold a password in plain text.
//
// File format: UTF-8 text; lines starting with '#' are comments; every other line is one value,
//     <name>=dword:<decimal>        or        <name>=sz:<text>
// in the order the values were first set. In names and texts, "\\" stands for a backslash, "\n" for a line
// feed and "\r" for a carriage return; in names "\=" stands for '=' and a leading "\#" for '#'. Everything else
// is literal, blanks at either end included. Names compare ignoring ASCII case, as registry value names do.
// Malformed lines are skipped.
//
// Writing: every change rewrites the whole file through a temporary file in the same folder, then renames it
// over the old one, so a crash leaves either the old or the new file, never a mix.
//
// Results are Win32-style codes: 0 success, 2 value or key missing, 5 access denied, 6 invalid handle,
// 13 wrong value type, 87 invalid parameter, 234 buffer too small.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/system/win_types.h"

struct reg_root;
typedef reg_root* HKEY;
// The only root this store offers.
extern const HKEY HKEY_CURRENT_USER;

// Overrides the folder that holds the store ("" restores the environment's choice).
void reg_set_store_root(const std::string& folder);
// The file that holds a key path under HKEY_CURRENT_USER, or "" when the path or the environment gives none.
std::string reg_key_file(const std::string& key_path);

class reg_key {
 public:
  // Opens the key, creating its folder (not yet its file) when needed. disposition, when given, receives
  // REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
  static long open(HKEY root, const std::string& key_path, std::unique_ptr<reg_key>& out, DWORD* disposition);

  // The value's type (REG_DWORD or REG_SZ) and data (the number, or the UTF-8 text). 2 when missing.
  long query(const std::string& name, DWORD& type, DWORD& number, std::string& text) const;
  long set_dword(const std::string& name, DWORD value);
  long set_string(const std::string& name, const std::string& utf8);

  const std::string& file() const { return file_; }

 private:
  struct value {
    std::string name;
    DWORD type;
    DWORD number;
    std::string text;
  };
  explicit reg_key(std::string file) : file_(std::move(file)) {}
  void load();
  long save() const;
  value* find(const std::string& name);
  const value* find(const std::string& name) const;

  std::string file_;
  std::vector<value> values_;
};
