// Relationship descriptions and relationship names; see udb_rel.h.
#include "UDB/udb_rel.h"

#include <algorithm>

#include "TK/tk_log.h"
#include "TK/tk_nocase.h"

namespace {

std::wstring blanks_to_underscores(std::wstring text) {
  std::replace(text.begin(), text.end(), L' ', L'_');
  return text;
}

}  // namespace

udb_relationship::udb_relationship(std::wstring name, std::wstring second_name, std::wstring table,
                                   std::wstring ref_table, udb_name_list fk_flds, udb_name_list pk_flds,
                                   std::wstring rules)
    : name(std::move(name)),
      second_name(std::move(second_name)),
      table(std::move(table)),
      ref_table(std::move(ref_table)),
      rules(std::move(rules)),
      fk_flds(std::move(fk_flds)),
      pk_flds(std::move(pk_flds)) {}

udb_relationship::udb_relationship(std::wstring table, std::wstring ref_table, udb_name_list fk_flds,
                                   udb_name_list pk_flds, std::wstring rules)
    : name(L"FK_" + blanks_to_underscores(ref_table) + L"_" + blanks_to_underscores(table)),
      table(std::move(table)),
      ref_table(std::move(ref_table)),
      rules(std::move(rules)),
      fk_flds(std::move(fk_flds)),
      pk_flds(std::move(pk_flds)) {}

bool udb_relationships::is_acceptable_name(const std::wstring& name) const {
  tk_trace_w(2, L"udb_relationships::is_acceptable_name(%s)", name.c_str());
  return std::none_of(begin(), end(), [&](const udb_relationship& r) { return tk_equal_nocase(r.name, name); });
}

std::wstring udb_relationships::gen_relship_name(const udb_relationship& relationship) const {
  tk_trace(2, "udb_relationships::gen_relship_name");
  static const wchar_t* const suffixes[] = {L"_", L"1", L"_", L"2", L"_", L"3"};
  std::wstring candidate = L"FK_" + relationship.ref_table + L"_" + relationship.table;
  for (std::size_t attempt = 0; !is_acceptable_name(candidate); ++attempt) {
    tk_trace_w(2, L"%s is not acceptable as a FK name", candidate.c_str());
    candidate += suffixes[attempt % 6];
  }
  return candidate;
}
