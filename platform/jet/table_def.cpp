// Lookups on the table definition model.
#include "platform/jet/table_def.h"

#include <cwctype>

namespace jet {

namespace {
bool same_name(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towupper(wint_t(a[i])) != std::towupper(wint_t(b[i]))) return false;
  return true;
}
}  // namespace

const column_def* table_def::find_column(const std::wstring& name) const {
  for (const auto& c : columns)
    if (same_name(c.name, name)) return &c;
  return nullptr;
}

const column_def* table_def::column_by_number(uint16_t number) const {
  for (const auto& c : columns)
    if (c.number == number) return &c;
  return nullptr;
}

uint16_t table_def::variable_column_count() const {
  uint16_t n = 0;
  for (const auto& c : columns)
    if (!c.is_fixed()) ++n;
  return n;
}

}  // namespace jet
