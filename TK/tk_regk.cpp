// Settings-store key wrapper (see tk_regk.h).
#include "TK/tk_regk.h"

#include <cstring>
#include <vector>

#include "TK/tk_log.h"
#include "TK/tk_singl.h"
#include "platform/system/codepage.h"

tk_reg_key::tk_reg_key(const char* path) : path_(path ? path : "") {}

tk_reg_key::~tk_reg_key() { close(); }

long tk_reg_key::create(HKEY root, const char* sub_key, const char* /*class_name*/, DWORD /*options*/,
                        DWORD /*access*/, void* /*security*/, DWORD* disposition) {
  if (!root) throw tk_mail_assertion("tk_regk", 64);
  std::unique_ptr<reg_key> key;
  const long rc = reg_key::open(root, sub_key ? sub_key : "", key, disposition);
  if (rc != ERROR_SUCCESS) return rc;
  key_ = std::move(key);
  return ERROR_SUCCESS;
}

long tk_reg_key::close() {
  key_.reset();
  return ERROR_SUCCESS;
}

long tk_reg_key::get_value(DWORD& value, const char* name) {
  if (!name) throw tk_mail_assertion("tk_regk", 98);
  tk_trace(2, "tk_reg_key::get_value(ulong, %s)", name);
  if (!key_) return ERROR_INVALID_HANDLE;
  DWORD type = 0, number = 0;
  std::string text;
  const long rc = key_->query(name, type, number, text);
  if (rc != ERROR_SUCCESS) return rc;
  tk_trace(1, "type=%d, size=%d", static_cast<int>(type), type == REG_DWORD ? 4 : static_cast<int>(text.size() + 1));
  if (type != REG_DWORD) return ERROR_INVALID_DATA;
  value = number;
  return ERROR_SUCCESS;
}

namespace {

// Copies text and a terminator into a caller's buffer of *size bytes, or asks for the size.
template <class C>
long copy_out(const std::basic_string<C>& text, C* buffer, DWORD* size) {
  const std::size_t need = (text.size() + 1) * sizeof(C);
  const DWORD have = *size;
  *size = static_cast<DWORD>(need);
  if (!buffer) return ERROR_SUCCESS;
  if (have < need) return ERROR_MORE_DATA;
  std::memcpy(buffer, text.data(), text.size() * sizeof(C));
  buffer[text.size()] = 0;
  return ERROR_SUCCESS;
}

// The text value of name (UTF-8); ERROR_INVALID_DATA when the value is no text.
long query_text(reg_key* key, const char* name, std::string& text) {
  if (!key) return ERROR_INVALID_HANDLE;
  DWORD type = 0, number = 0;
  const long rc = key->query(name, type, number, text);
  if (rc != ERROR_SUCCESS) return rc;
  return type == REG_SZ ? ERROR_SUCCESS : ERROR_INVALID_DATA;
}

}  // namespace

long tk_reg_key::get_value(char* buffer, const char* name, DWORD* size) {
  if (!size) throw tk_mail_assertion("tk_regk", 115);
  if (!name) throw tk_mail_assertion("tk_regk", 116);
  tk_trace(2, "tk_reg_key::get_value(LPSTR, %s)", name);
  std::string text;
  const long rc = query_text(key_.get(), name, text);
  return rc != ERROR_SUCCESS ? rc : copy_out(text, buffer, size);
}

long tk_reg_key::get_value(wchar_t* buffer, const char* name, DWORD* size) {
  if (!size) throw tk_mail_assertion("tk_regk", 132);
  if (!name) throw tk_mail_assertion("tk_regk", 133);
  tk_trace(2, "tk_reg_key::get_value(LPWSTR, %s)", name);
  std::string text;
  const long rc = query_text(key_.get(), name, text);
  return rc != ERROR_SUCCESS ? rc : copy_out(sys_utf8_to_wide(text), buffer, size);
}

long tk_reg_key::set_value(DWORD value, const char* name) {
  if (!key_) throw tk_mail_assertion("tk_regk", 149);
  if (!name) return ERROR_INVALID_PARAMETER;
  return key_->set_dword(name, value);
}

long tk_reg_key::set_value(const char* text, const char* name) {
  if (!text) throw tk_mail_assertion("tk_regk", 156);
  if (!key_) throw tk_mail_assertion("tk_regk", 157);
  if (!name) return ERROR_INVALID_PARAMETER;
  return key_->set_string(name, text);
}

long tk_reg_key::set_value(const wchar_t* text, const char* name) {
  if (!text) throw tk_mail_assertion("tk_regk", 164);
  if (!key_) throw tk_mail_assertion("tk_regk", 165);
  if (!name) return ERROR_INVALID_PARAMETER;
  return key_->set_string(name, sys_wide_to_utf8(text));
}

bool tk_reg_key::serialize_bool(const char* name, bool& value, bool store) {
  if (!key_) return false;
  if (store) return set_value(static_cast<DWORD>(value ? 1 : 0), name) == ERROR_SUCCESS;
  DWORD v = 0;
  if (get_value(v, name) != ERROR_SUCCESS) return false;
  value = v != 0;
  return true;
}

bool tk_reg_key::serialize_int(const char* name, int& value, bool store) {
  if (!key_) return false;
  if (store) return set_value(static_cast<DWORD>(value), name) == ERROR_SUCCESS;
  DWORD v = 0;
  if (get_value(v, name) != ERROR_SUCCESS) return false;
  value = static_cast<int>(v);
  return true;
}

namespace {

// Two-step read (size, then contents), taken up to the first NUL; false for missing, empty or failed reads.
template <class C>
bool load_text(tk_reg_key& key, const char* name, std::basic_string<C>& value) {
  DWORD size = 0;
  if (key.get_value(static_cast<C*>(nullptr), name, &size) != ERROR_SUCCESS) return false;
  std::vector<C> buf(size / sizeof(C) + 1, 0);
  if (key.get_value(buf.data(), name, &size) != ERROR_SUCCESS) return false;
  std::basic_string<C> text(buf.data());
  if (text.empty()) return false;
  value = std::move(text);
  return true;
}

}  // namespace

bool tk_reg_key::serialize_string(const char* name, std::string& value, bool store) {
  if (!key_) return false;
  if (store) return set_value(value.c_str(), name) == ERROR_SUCCESS;
  return load_text(*this, name, value);
}

bool tk_reg_key::serialize_wstring(const char* name, std::wstring& value, bool store) {
  if (!key_) return false;
  if (store) return set_value(value.c_str(), name) == ERROR_SUCCESS;
  return load_text(*this, name, value);
}
