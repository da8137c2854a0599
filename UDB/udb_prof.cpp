// Reader and writer of the profile file; see udb_prof.h for the format.
#include "UDB/udb_prof.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "TK/tk_fname.h"
#include "TK/tk_log.h"
#include "TK/tk_singl.h"
#include "TK/tk_utils.h"
#include "platform/system/atomic_file.h"

namespace {

const char* const msg_profile_missing = "Profile does not exist. Please verify the correct path/name was given.";
const char* const utf8_bom = "\xEF\xBB\xBF";

// A key or value as it may stand on one line: each CR LF, LF or CR becomes one blank.
std::wstring one_line(const std::wstring& text) {
  if (text.find_first_of(L"\r\n") == std::wstring::npos) return text;
  std::wstring out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r') {
      if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      out += L' ';
    } else if (text[i] == L'\n') {
      out += L' ';
    } else {
      out += text[i];
    }
  }
  return out;
}

void append_line(std::string& out, const std::wstring& line) {
  out += tk_to_utf8(line);
  out += "\r\n";
}

// Writes all of data to fd; false with errno set on failure.
bool write_all(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

udb_profile::udb_profile() {
  sections_[available_queries_section];
  sections_[selected_tables_section];
  sections_[selected_views_section];
  sections_[generic_settings_section];
}

void udb_profile::set_value(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
  sections_[section].emplace_back(key, value);
}

std::wstring udb_profile::get_value(const std::wstring& section, const std::wstring& key) const {
  auto it = sections_.find(section);
  if (it == sections_.end()) return std::wstring();
  for (const auto& pair : it->second) {
    if (pair.first == key) return pair.second;
  }
  return std::wstring();
}

const udb_profile::pair_list& udb_profile::get_available_queries() const {
  return sections_.at(available_queries_section);
}

const udb_profile::pair_list& udb_profile::get_selected_tables() const {
  return sections_.at(selected_tables_section);
}

const udb_profile::pair_list& udb_profile::get_selected_views() const {
  return sections_.at(selected_views_section);
}

bool udb_profile::read(std::istream& in) {
  std::string bytes;
  std::wstring section;
  bool in_section = false;
  bool first = true;
  while (std::getline(in, bytes)) {
    // CR LF ends a line as LF does (a profile written on Windows); a lone CR inside a line is kept.
    if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
    if (first && bytes.compare(0, 3, utf8_bom) == 0) bytes.erase(0, 3);
    first = false;

    std::wstring line = tk_utf8_to_unicode(bytes);
    std::wstring trimmed = tk_wtrim(line);
    if (trimmed.empty()) continue;

    if (trimmed.size() >= 2 && trimmed.front() == L'[' && trimmed.back() == L']') {
      section = trimmed.substr(1, trimmed.size() - 2);
      in_section = true;
      sections_[section];
      tk_trace_w(1, L"Section [%s]", section.c_str());
      continue;
    }
    if (!in_section) {
      tk_trace_w(2, L"Line before any section: %s", trimmed.c_str());
      return false;
    }
    std::size_t eq = trimmed.find(L'=');
    if (eq != std::wstring::npos) {
      sections_[section].emplace_back(tk_wtrim(trimmed.substr(0, eq)), tk_wtrim(trimmed.substr(eq + 1)));
    } else {
      raw_sections_[section].push_back(line);
      sections_[section].emplace_back(trimmed, std::wstring());
    }
  }
  return !in.bad();
}

std::string udb_profile::to_text() const {
  std::string out;
  // A bare line that was read is also one of its section's pairs: it is written once, where its pair stands, as
  // it was read. Raw lines only the raw list holds still follow under a repeated header.
  std::map<std::wstring, std::size_t> raw_written;
  for (const auto& [name, pairs] : sections_) {
    append_line(out, L"[" + one_line(name) + L"]");
    const bool bare_keys = name == selected_tables_section;
    auto raw = raw_sections_.find(name);
    std::size_t& next_raw = raw_written[name];
    for (const auto& [key, value] : pairs) {
      if (value.empty() && raw != raw_sections_.end() && next_raw < raw->second.size() &&
          tk_wtrim(raw->second[next_raw]) == key) {
        append_line(out, one_line(raw->second[next_raw++]));
      } else if (bare_keys && value.empty()) {
        append_line(out, one_line(key));
      } else {
        append_line(out, one_line(key) + L"=" + one_line(value));
      }
    }
    append_line(out, std::wstring());
  }
  for (const auto& [name, lines] : raw_sections_) {
    const std::size_t done = raw_written.count(name) ? raw_written[name] : 0;
    if (done >= lines.size()) continue;
    append_line(out, L"[" + one_line(name) + L"]");
    for (std::size_t i = done; i < lines.size(); ++i) append_line(out, one_line(lines[i]));
  }
  return out;
}

bool udb_profile::load(const std::wstring& path) {
  tk_trace_w(2, L"udb_profile::load(%s)", path.c_str());
  const std::string narrow = tk_to_ansi(path);
  if (!tk_is_file_exist1(narrow.c_str(), tk_file_exists_mode)) throw tk_exception(msg_profile_missing, 1);
  std::ifstream in(narrow, std::ios::binary);
  if (!in.is_open()) {
    tk_trace(2, "Cannot open profile %s", narrow.c_str());
    return false;
  }
  return read(in);
}

bool udb_profile::store(const std::wstring& path) const {
  tk_trace_w(2, L"udb_profile::store(%s)", path.c_str());
  const std::string narrow = tk_to_ansi(path);
  const std::string text = to_text();

  // A profile the user made read-only stays as it is.
  if (tk_is_file_exist1(narrow.c_str(), tk_file_exists_mode) &&
      !tk_is_file_exist1(narrow.c_str(), tk_file_writable_mode)) {
    tk_trace(2, "Profile %s is read-only", narrow.c_str());
    return false;
  }
  // Write a new file beside the old one and move it over it only when it is complete, so that a full disk or
  // an I/O error never leaves a cut profile behind. It is readable by the owner only: it may hold a password.
  sys_temporary_file temp;
  if (int err = temp.create(narrow, 0600)) {
    tk_trace(2, "Cannot create a file beside %s (errno %d)", narrow.c_str(), err);
    return false;
  }
  if (!write_all(temp.fd(), text) || ::fchmod(temp.fd(), 0600) != 0 || ::fsync(temp.fd()) != 0)
    throw tk_exception_ex(errno, "Cannot write the profile file: ", 1);
  if (int err = temp.commit_over()) {
    tk_trace(2, "Cannot replace %s (errno %d)", narrow.c_str(), err);
    return false;
  }
  return true;
}
