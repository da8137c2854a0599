// The file-backed per-user settings store (see registry.h).
#include "platform/registry/registry.h"
#include "platform/system/atomic_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::mutex g_root_lock;
std::string g_root_override;

long from_errno(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

bool iequal(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string escape(const std::string& s, bool is_name) {
  std::string out;
  // A name must not start a comment line.
  if (is_name && !s.empty() && s[0] == '#') out += "\\#";
  for (std::size_t i = (is_name && !s.empty() && s[0] == '#') ? 1 : 0; i < s.size(); ++i) {
    const char c = s[i];
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '=':
        if (is_name) {
          out += "\\=";
          break;
        }
        [[fallthrough]];
      default: out.push_back(c);
    }
  }
  return out;
}

// Reads an escaped text from line[pos...] up to an unescaped stop character (or the end when stop is 0).
// Returns false for a malformed escape or a missing stop character.
bool unescape(const std::string& line, std::size_t& pos, char stop, std::string& out) {
  out.clear();
  while (pos < line.size()) {
    const char c = line[pos++];
    if (stop && c == stop) return true;
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (pos >= line.size()) return false;
    const char e = line[pos++];
    if (e == '\\') out.push_back('\\');
    else if (e == 'n') out.push_back('\n');
    else if (e == 'r') out.push_back('\r');
    else if (e == '=' || e == '#') out.push_back(e);
    else return false;
  }
  return stop == 0;
}

int make_folders(const std::string& folder) {
  std::string partial;
  std::size_t pos = 0;
  while (pos <= folder.size()) {
    std::size_t next = folder.find('/', pos);
    if (next == std::string::npos) next = folder.size();
    partial = folder.substr(0, next);
    if (!partial.empty() && ::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    pos = next + 1;
  }
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0) return errno;
  return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

std::string store_root() {
  {
    std::lock_guard<std::mutex> guard(g_root_lock);
    if (!g_root_override.empty()) return g_root_override;
  }
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home && *home == '/') return std::string(home) + "/.config";
  return std::string();
}

}  // namespace

const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u));

void reg_set_store_root(const std::string& folder) {
  std::lock_guard<std::mutex> guard(g_root_lock);
  g_root_override = folder;
}

std::string reg_key_file(const std::string& key_path) {
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (pos <= key_path.size()) {
    std::size_t next = key_path.find('\\', pos);
    if (next == std::string::npos) next = key_path.size();
    std::string part = key_path.substr(pos, next - pos);
    if (!part.empty()) {
      if (part == "." || part == ".." || part.find('/') != std::string::npos ||
          part.find('\0') != std::string::npos)
        return std::string();
      parts.push_back(part);
    }
    pos = next + 1;
  }
  if (!parts.empty() && iequal(parts.front(), "Software")) parts.erase(parts.begin());
  if (parts.empty()) return std::string();
  const std::string root = store_root();
  if (root.empty()) return std::string();
  std::string file = root + "/tabletide";
  for (const auto& p : parts) file += "/" + p;
  return file + ".reg";
}

long reg_key::open(HKEY root, const std::string& key_path, std::unique_ptr<reg_key>& out, DWORD* disposition) {
  if (root != HKEY_CURRENT_USER) return ERROR_INVALID_HANDLE;
  const std::string file = reg_key_file(key_path);
  if (file.empty()) return ERROR_PATH_NOT_FOUND;
  const int err = make_folders(file.substr(0, file.rfind('/')));
  if (err != 0) return from_errno(err);
  std::unique_ptr<reg_key> key(new reg_key(file));
  struct stat st;
  const bool existed = ::stat(file.c_str(), &st) == 0;
  // A store that exists but cannot be read is not opened: writing to it would replace values it still holds.
  if (existed && ::access(file.c_str(), R_OK) != 0) return ERROR_ACCESS_DENIED;
  key->load();
  if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  out = std::move(key);
  return ERROR_SUCCESS;
}

void reg_key::load() {
  values_.clear();
  const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  std::string data;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    data.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  std::size_t start = 0;
  while (start < data.size()) {
    std::size_t end = data.find('\n', start);
    if (end == std::string::npos) end = data.size();
    const std::string line = data.substr(start, end - start);
    start = end + 1;
    if (line.empty() || line[0] == '#') continue;
    std::size_t pos = 0;
    value v;
    if (!unescape(line, pos, '=', v.name) || v.name.empty()) continue;
    const std::string rest = line.substr(pos);
    if (rest.rfind("dword:", 0) == 0) {
      const std::string digits = rest.substr(6);
      if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos)
        continue;
      const unsigned long long n = std::strtoull(digits.c_str(), nullptr, 10);
      if (n > 0xFFFFFFFFull) continue;
      v.type = REG_DWORD;
      v.number = static_cast<DWORD>(n);
    } else if (rest.rfind("sz:", 0) == 0) {
      std::size_t p = pos + 3;
      if (!unescape(line, p, 0, v.text)) continue;
      v.type = REG_SZ;
      v.number = 0;
    } else {
      continue;
    }
    if (value* old = find(v.name)) *old = v;
    else values_.push_back(v);
  }
}

long reg_key::save() const {
  std::string data = "# Tabletide settings. Written by the program; edits are kept only while it is not running.\n";
  for (const auto& v : values_) {
    data += escape(v.name, true);
    if (v.type == REG_DWORD) data += "=dword:" + std::to_string(v.number) + "\n";
    else data += "=sz:" + escape(v.text, false) + "\n";
  }
  // Settings are private to the user (0600); the old file is only replaced by a complete new one.
  if (const int err = sys_write_file_replacing(file_, data, 0600))
    return err == ENOSPC ? 112 /* ERROR_DISK_FULL */ : from_errno(err);
  return ERROR_SUCCESS;
}

reg_key::value* reg_key::find(const std::string& name) {
  for (auto& v : values_)
    if (iequal(v.name, name)) return &v;
  return nullptr;
}

const reg_key::value* reg_key::find(const std::string& name) const {
  for (const auto& v : values_)
    if (iequal(v.name, name)) return &v;
  return nullptr;
}

long reg_key::query(const std::string& name, DWORD& type, DWORD& number, std::string& text) const {
  const value* v = find(name);
  if (!v) return ERROR_FILE_NOT_FOUND;
  type = v->type;
  number = v->number;
  text = v->text;
  return ERROR_SUCCESS;
}

long reg_key::set_dword(const std::string& name, DWORD number) {
  if (name.empty()) return ERROR_INVALID_PARAMETER;
  const auto saved = values_;
  if (value* v = find(name)) {
    v->type = REG_DWORD;
    v->number = number;
    v->text.clear();
  } else {
    values_.push_back(value{name, REG_DWORD, number, std::string()});
  }
  const long rc = save();
  if (rc != ERROR_SUCCESS) values_ = saved;
  return rc;
}

long reg_key::set_string(const std::string& name, const std::string& utf8) {
  if (name.empty()) return ERROR_INVALID_PARAMETER;
  const auto saved = values_;
  if (value* v = find(name)) {
    v->type = REG_SZ;
    v->number = 0;
    v->text = utf8;
  } else {
    values_.push_back(value{name, REG_SZ, 0, utf8});
  }
  const long rc = save();
  if (rc != ERROR_SUCCESS) values_ = saved;
  return rc;
}
