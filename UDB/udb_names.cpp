// Names map lookups and the rewriting of statement texts after renamings; see udb_names.h.
#include "UDB/udb_names.h"

#include "TK/tk_log.h"
#include "TK/tk_nocase.h"

namespace {

bool is_word_char(wchar_t c) { return c == L'_' || c == L'$' || tk_is_alnum(c); }

bool starts_with(const std::wstring& text, const std::wstring& prefix) {
  return !prefix.empty() && text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool ends_with(const std::wstring& text, const std::wstring& suffix) {
  return !suffix.empty() && text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

void udb_names_map::add_tn_mapping(const std::wstring& src, const std::wstring& dst) {
  tk_trace_w(2, L"udb_names_map::add_tn_mapping(%s,%s)", src.c_str(), dst.c_str());
  tables_[src] = dst;
}

void udb_names_map::add_fn_map(const std::wstring& table, const name_map& fields) {
  tk_trace_w(2, L"udb_names_map::add_fn_map(%s)", table.c_str());
  fields_[table] = fields;
}

std::wstring udb_names_map::get_tn_mapped_name(const std::wstring& name, bool case_sensitive) const {
  tk_trace_w(2, L"udb_names_map::get_tn_mapped_name(%s)", name.c_str());
  for (const auto& [src, dst] : tables_) {
    tk_trace_w(2, L"Comparing with (%s,%s)", src.c_str(), dst.c_str());
    if (case_sensitive ? src == name : tk_equal_nocase(src, name)) {
      tk_trace_w(2, L"Got mapped name: %s", dst.c_str());
      return dst;
    }
  }
  return name;
}

std::wstring udb_names_map::get_fn_mapped_name(const std::wstring& table, const std::wstring& field) const {
  tk_trace_w(2, L"udb_names_map::get_fn_mapped_name(%s,%s)", table.c_str(), field.c_str());
  for (const auto& [name, fields] : fields_) {
    if (!tk_equal_nocase(name, table)) continue;
    for (const auto& [src, dst] : fields) {
      if (tk_equal_nocase(src, field)) {
        tk_trace_w(2, L"Got mapped name: %s", dst.c_str());
        return dst;
      }
    }
    return field;
  }
  tk_trace_w(2, L"Table '%s' not found", table.c_str());
  return field;
}

std::wstring udb_names_map::do_global_replace2(const std::wstring& text, const name_map& map,
                                               const std::wstring& open, const std::wstring& close) {
  tk_trace_w(2, L"udb_names_map::do_global_replace2(%s)", text.c_str());
  std::wstring result = text;
  for (const auto& [src, dst] : map) {
    if (src.empty()) continue;
    std::wstring replacement = (starts_with(dst, open) ? std::wstring() : open) + dst +
                               (ends_with(dst, close) ? std::wstring() : close);
    tk_trace_w(2, L"Testing pair ('%s','%s')", src.c_str(), replacement.c_str());
    std::size_t pos = tk_find_nocase(result, src, 0);
    while (pos != std::wstring::npos) {
      tk_trace_w(2, L"'%s' was found at pos=%d", src.c_str(), static_cast<int>(pos));
      const std::size_t after = pos + src.size();
      const bool joined = (pos > 0 && is_word_char(result[pos - 1])) ||
                          (after < result.size() && is_word_char(result[after]));
      if (joined) {
        pos = tk_find_nocase(result, src, after);
      } else {
        result.replace(pos, src.size(), replacement);
        pos = tk_find_nocase(result, src, pos + replacement.size());
      }
    }
  }
  return result;
}

std::wstring udb_names_map::do_global_replace1(const std::wstring& text, const std::wstring& open,
                                               const std::wstring& close) const {
  tk_trace_w(2, L"udb_names_map::do_global_replace1(%s)", text.c_str());
  std::wstring result = do_global_replace2(text, tables_, open, close);
  for (const auto& [table, fields] : fields_) result = do_global_replace2(result, fields, open, close);
  return result;
}
