// Lookups on the table definition model.
#include "platform/jet/table_def.h"


namespace jet {

namespace {

wchar_t fold(wchar_t c) {
  uint32_t u = uint32_t(c);
  if (u < 0x80) return (u >= 'a' && u <= 'z') ? wchar_t(u - 32) : c;
  if ((u >= 0xE0 && u <= 0xFE && u != 0xF7)) return wchar_t(u - 32);
  if (u == 0xFF) return wchar_t(0x178);
  if ((u >= 0x100 && u <= 0x137) || (u >= 0x14A && u <= 0x177)) return wchar_t(u & ~1u);
  if ((u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E)) return (u & 1u) ? c : wchar_t(u - 1);
  if (u >= 0x3B1 && u <= 0x3C9 && u != 0x3C2) return wchar_t(u - 32);
  if (u >= 0x430 && u <= 0x44F) return wchar_t(u - 32);
  if (u >= 0x450 && u <= 0x45F) return wchar_t(u - 80);
  return c;
}

}  // namespace

bool same_name(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

std::wstring folded_name(std::wstring_view name) {
  std::wstring out(name);
  for (wchar_t& c : out) c = fold(c);
  return out;
}

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
