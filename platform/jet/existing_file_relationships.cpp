// Relationships written into an existing database.
//
// A relationship is one MSysRelationships row per column pair, a catalog row (Type 8 in the
// Relationships container, with a synthetic negative Id following the highest one in use) and its
// permission rows. An enforced relationship also gets a logical index of type "foreign key" in both
// tables, pointing at each other: in the referencing table it is named like the relationship and
// uses a physical index over the foreign-key columns (an existing one with exactly those columns,
// or a new non-unique one); in the referenced table it is named ".rC" (or the next free such name)
// and shares the physical index of the unique key it refers to. Both tables are rewritten whole, so
// a new index is built with an entry for every row.
#include <algorithm>
#include <cwctype>
#include <set>

#include "platform/jet/catalog.h"
#include "platform/jet/error.h"
#include "platform/jet/existing_file.h"
#include "platform/jet/index_key.h"
#include "platform/jet/table_request.h"
#include "platform/jet/value_codec.h"

namespace jet {

namespace {

uint8_t cascade_byte(bool on) { return on ? 1 : 0; }

}  // namespace

void existing_file::add_relationship(const relationship_spec& r) {
  check_writable();
  const format& f = fmt();
  check_name(f, r.name);
  for (const auto& e : reader_->objects())
    if (e.parent_id == relationships_container_id && same_name(e.name, r.name)) throw_error(dao_error::object_exists, to_utf8(r.name));
  for (const auto& old : list_relationships(*reader_))
    if (same_name(old.name, r.name)) throw_error(dao_error::object_exists, to_utf8(r.name));
  const catalog_entry* many = reader_->find_table(r.table);
  const catalog_entry* one = reader_->find_table(r.referenced_table);
  if (!many || !one) throw_error(dao_error::field_not_found);
  if (r.columns.empty() || r.columns.size() != r.referenced_columns.size() || r.columns.size() > f.max_index_columns)
    throw_error(dao_error::relationship_mismatch);
  const uint32_t many_page = many->id, one_page = one->id;
  const std::wstring many_name = many->name, one_name = one->name;
  finish_open_writer(many_page);
  finish_open_writer(one_page);
  table_def many_def = reader_->table_at(many_page);
  table_def one_def = reader_->table_at(one_page);

  std::vector<uint16_t> many_cols, one_cols;
  for (size_t i = 0; i < r.columns.size(); ++i) {
    const column_def* a = many_def.find_column(r.columns[i]);
    const column_def* b = one_def.find_column(r.referenced_columns[i]);
    if (!a || !b) throw_error(dao_error::field_not_found);
    if (a->type != b->type) throw_error(dao_error::relationship_mismatch);
    many_cols.push_back(a->number);
    one_cols.push_back(b->number);
  }
  auto index_over = [](const table_def& t, const std::vector<uint16_t>& cols, bool unique) -> int {
    for (size_t i = 0; i < t.indexes.size(); ++i) {
      const index_def& ix = t.indexes[i];
      if (unique && !ix.is_unique()) continue;
      if (ix.columns.size() != cols.size()) continue;
      bool match = true;
      for (size_t k = 0; k < cols.size(); ++k)
        if (ix.columns[k].column_number != cols[k] || !ix.columns[k].ascending) match = false;
      if (match) return int(i);
    }
    return -1;
  };
  const bool enforced = (r.grbit & relationship_flag::not_enforced) == 0;
  int one_physical = index_over(one_def, one_cols, true);
  if (enforced && one_physical < 0) throw_error(dao_error::no_unique_index);

  if (enforced) {
    // Every referencing row whose key is complete must find its row on the other side, matched the
    // way the other side's unique index compares its values.
    const index_def& one_ix = one_def.indexes[size_t(one_physical)];
    index_def many_ix;
    for (uint16_t c : many_cols) many_ix.columns.push_back({c, true});
    std::set<bytes> keys;
    std::vector<value> row;
    for (auto cursor = reader_->rows(one_def); cursor.next(row);)
      if (auto k = relationship_key(f, one_def, one_ix, row, one_def, one_ix)) keys.insert(std::move(*k));
    for (auto cursor = reader_->rows(many_def); cursor.next(row);) {
      auto k = relationship_key(f, many_def, many_ix, row, one_def, one_ix);
      if (k && !keys.count(*k)) throw_error(dao_error::related_record_required, to_utf8(one_name));
    }
  }

  change([&] {
    // The catalog row and its permissions.
    int64_t highest = -1;
    for (const auto& e : reader_->objects())
      if (e.id & 0x80000000u) highest = std::max<int64_t>(highest, e.id);
    uint32_t id = highest < 0 ? 0x80000000u : uint32_t(highest + 1);
    auto aces = new_ace_rows(id, relationships_container_id);
    std::vector<value> object = object_row(id, relationships_container_id, r.name, object_type_relationship, now_, 0, new_owner());
    rewrite_table(msysobjects_tdef_page, [](std::vector<value>&) { return true; }, {object});
    if (const catalog_entry* a = reader_->find_table(L"MSysACEs")) rewrite_table(a->id, [](std::vector<value>&) { return true; }, aces);

    // One MSysRelationships row per column pair.
    const catalog_entry* rel = reader_->find_table(L"MSysRelationships");
    if (!rel) throw_corrupt("the file has no MSysRelationships table");
    table_def rel_def = reader_->table_at(rel->id);
    std::vector<std::vector<value>> rows;
    for (size_t i = 0; i < r.columns.size(); ++i) {
      std::vector<value> row(std::max<size_t>(rel_def.max_columns, rel_def.columns.size()));
      auto set = [&](const wchar_t* name, value v) {
        if (const column_def* c = rel_def.find_column(name)) row[c->number] = std::move(v);
      };
      set(L"szRelationship", value::text(r.name));
      set(L"grbit", value::long_integer(int32_t(r.grbit)));
      set(L"ccolumn", value::long_integer(int32_t(r.columns.size())));
      set(L"icolumn", value::long_integer(int32_t(i)));
      set(L"szObject", value::text(many_name));
      set(L"szColumn", value::text(many_def.column_by_number(many_cols[i])->name));
      set(L"szReferencedObject", value::text(one_name));
      set(L"szReferencedColumn", value::text(one_def.column_by_number(one_cols[i])->name));
      rows.push_back(std::move(row));
    }
    rewrite_table(rel->id, [](std::vector<value>&) { return true; }, rows);
    if (!enforced) return;

    // Foreign-key logical indexes on both sides, pointing at each other.
    auto next_number = [](const table_def& t) {
      uint32_t n = 0;
      for (const auto& li : t.logical_indexes) n = std::max(n, li.number + 1);
      return n;
    };
    uint32_t many_number = next_number(many_def);
    uint32_t one_number = next_number(one_def);
    if (many_page == one_page) one_number = many_number + 1;  // a table referring to itself
    std::wstring back_name;
    for (wchar_t c = L'C'; c <= L'Z' && back_name.empty(); ++c) {
      std::wstring candidate = std::wstring(L".r") + c;
      bool used = false;
      for (const auto& li : one_def.logical_indexes) used = used || same_name(li.name, candidate);
      if (!used) back_name = candidate;
    }
    if (back_name.empty()) throw_error(dao_error::too_many_indexes, to_utf8(one_name));
    const uint8_t on_update = cascade_byte(r.grbit & relationship_flag::cascade_update);
    const uint8_t on_delete = cascade_byte(r.grbit & relationship_flag::cascade_delete);
    auto add_many_side = [&](table_def& t) {
      int physical = index_over(t, many_cols, false);
      if (physical < 0) {
        if (t.indexes.size() >= f.max_indexes) throw_error(dao_error::too_many_indexes, to_utf8(many_name));
        index_def ix;
        for (uint16_t c : many_cols) ix.columns.push_back({c, true});
        ix.flags = f.index_flags_always;
        t.indexes.push_back(ix);
        physical = int(t.indexes.size() - 1);
      }
      logical_index_def li;
      li.name = r.name;
      li.number = many_number;
      li.physical = uint32_t(physical);
      li.relationship_role = relationship_role::referencing;
      li.other_index = int32_t(one_number);
      li.other_tdef = one_page;
      li.cascade_update = on_update;
      li.cascade_delete = on_delete;
      li.type = logical_index_type::foreign_key;
      t.logical_indexes.push_back(li);
    };
    auto add_one_side = [&](table_def& t) {
      logical_index_def li;
      li.name = back_name;
      li.number = one_number;
      li.physical = uint32_t(one_physical);
      li.relationship_role = relationship_role::referenced;
      li.other_index = int32_t(many_number);
      li.other_tdef = many_page;
      li.cascade_update = on_update;
      li.cascade_delete = on_delete;
      li.type = logical_index_type::foreign_key;
      t.logical_indexes.push_back(li);
    };
    if (many_page == one_page) {
      rewrite_table(many_page, [](std::vector<value>&) { return true; }, {}, [&](table_def& t) {
        add_many_side(t);
        add_one_side(t);
      });
    } else {
      rewrite_table(many_page, [](std::vector<value>&) { return true; }, {}, add_many_side);
      rewrite_table(one_page, [](std::vector<value>&) { return true; }, {}, add_one_side);
    }
  });
}

}  // namespace jet
