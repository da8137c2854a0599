// Base algorithms of name validation; see udb_vali.h.
#include "UDB/udb_vali.h"

#include "TK/tk_log.h"
#include "TK/tk_singl.h"
#include "TK/tk_utils.h"
#include "TK/tk_nocase.h"

udb_validator::udb_validator(uint32_t max_len) : max_len_(max_len) {
  tk_trace(2, "udb_validator::ctor");
}

udb_validator::~udb_validator() = default;

bool udb_validator::is_acceptable(const std::wstring& name) const {
  tk_trace_w(2, L"udb_validator::is_acceptable(%s)", name.c_str());
  if (max_len_ != 0 && name.size() > max_len_) {
    tk_trace(1, "The name is too long");
    return false;
  }
  for (const auto& restricted : restricted_) {
    if (tk_equal_nocase(name, restricted)) {
      tk_trace(2, "The name is restricted");
      return false;
    }
  }
  for (wchar_t c : illegal_) {
    if (name.find(c) != std::wstring::npos) {
      tk_trace_w(2, L"The name contains illegal: %c", c);
      return false;
    }
  }
  return true;
}

bool udb_validator::is_duplicated(const std::wstring& name) const {
  tk_trace_w(2, L"udb_validator::is_duplicated(%s)", name.c_str());
  for (const auto& existing : existing_) {
    tk_trace_w(1, L"Processing %s", existing.c_str());
    if (tk_equal_nocase(name, existing)) {
      tk_trace(2, "Name is duplicated");
      return true;
    }
  }
  return false;
}

std::wstring udb_validator::get_safe_name(const std::wstring& name) const {
  tk_trace_w(1, L"udb_validator::get_safe_name(%s)", name.c_str());
  std::wstring safe = tk_to_lower(name);
  if (max_len_ != 0 && safe.size() > max_len_) safe.resize(max_len_ - 1);
  for (wchar_t c : illegal_) {
    for (wchar_t& ch : safe) {
      if (ch == c) ch = L'_';
    }
  }
  if (is_acceptable(safe) && !is_duplicated(safe)) return safe;

  // Room for the five-digit counter. A maximum below 7 leaves none; the stem is then empty and the counters
  // alone are tried (they stay too long, so the search ends in the internal error below).
  if (max_len_ != 0 && safe.size() + 5 > max_len_) safe.resize(max_len_ > 6 ? max_len_ - 6 : 0);
  for (int n = 0; n <= 99999; ++n) {
    std::wstring candidate = safe + tk_wformat(L"%05d", n);
    if (is_acceptable(candidate) && !is_duplicated(candidate)) return candidate;
  }
  throw tk_mail_assertion("udb_vali", 55);
}

void udb_validator::add_existing_name(const std::wstring& name) {
  tk_trace_w(2, L"udb_validator::add_existing_name(%s)", name.c_str());
  existing_.push_back(name);
}

void udb_validator::add_restricted_name(const std::wstring& name) { restricted_.push_back(name); }

void udb_validator::add_illegal_char(wchar_t c) { illegal_ += c; }

void udb_validator::add_mapped_pair(const std::wstring& src, const std::wstring& dst) {
  tk_trace_w(2, L"udb_validator::add_mapped_pair(%s,%s)", src.c_str(), dst.c_str());
  mapped_[src] = dst;
}

std::optional<std::wstring> udb_validator::get_mapped_name(const std::wstring& src) const {
  for (const auto& [from, to] : mapped_) {
    if (tk_equal_nocase(from, src)) return to;
  }
  return std::nullopt;
}
