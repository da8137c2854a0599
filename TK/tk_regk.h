// A key of the per-user settings store (platform/registry), with the call shapes of a registry key wrapper and
// typed helpers that load or store one setting.
//
// Results are Win32-style codes (0 success, 2 missing, 234 buffer too small, ...). Sizes are in bytes: for the
// narrow text calls one byte per char, for the wide ones sizeof(wchar_t) per character; both count the
// terminator. A null buffer asks for the size only. Narrow and wide calls meet in the same UTF-8 value.
// Misuse (a null root, name or size holder; writing with no key open) is an internal error.
#pragma once

#include <memory>
#include <string>

#include "platform/registry/registry.h"
#include "platform/system/win_types.h"

class tk_reg_key {
 public:
  explicit tk_reg_key(const char* path);
  ~tk_reg_key();
  tk_reg_key(const tk_reg_key&) = delete;
  tk_reg_key& operator=(const tk_reg_key&) = delete;

  // Opens or creates the key sub_key under root. On failure the code is returned and the held key stays; on
  // success the held key is replaced. class_name, options, access and security are accepted for the call's shape
  // only: the store has one kind of key.
  long create(HKEY root, const char* sub_key, const char* class_name = nullptr, DWORD options = 0,
              DWORD access = KEY_ALL_ACCESS, void* security = nullptr, DWORD* disposition = nullptr);
  long close();
  bool is_open() const { return key_ != nullptr; }
  const std::string& path() const { return path_; }

  long get_value(DWORD& value, const char* name);
  long get_value(char* buffer, const char* name, DWORD* size);
  long get_value(wchar_t* buffer, const char* name, DWORD* size);
  long set_value(DWORD value, const char* name);
  long set_value(const char* text, const char* name);
  long set_value(const wchar_t* text, const char* name);

  // store true: write the value (a bool as DWORD 0 or 1, an int as a DWORD, texts as strings); true on success.
  // store false: read it into value; a missing value, an empty text or a failure returns false and leaves value
  // unchanged. With no key open both return false at once.
  bool serialize_bool(const char* name, bool& value, bool store);
  bool serialize_int(const char* name, int& value, bool store);
  bool serialize_string(const char* name, std::string& value, bool store);
  bool serialize_wstring(const char* name, std::wstring& value, bool store);

 private:
  std::string path_;
  std::unique_ptr<reg_key> key_;
};
