// Indexes added to a table of an existing database.
//
// A new index is a logical index (its name, number and kind: primary key or other) over a new
// physical index (the B-tree, its columns and flags) in the table's TDEF. A physical index is never
// shared with an existing one: mdbtools lists a logical index that shares its tree without columns.
// The table is then rewritten whole (existing_file_edit.cpp), which builds every tree with
// an entry for every row. The rows are checked before anything is written, so a refused index leaves
// the session usable and the file as it was.
#include "platform/jet/catalog.h"
#include "platform/jet/error.h"
#include "platform/jet/existing_file.h"
#include "platform/jet/index_key.h"
#include "platform/jet/index_sorter.h"
#include "platform/jet/table_request.h"
#include "platform/jet/value_codec.h"

namespace jet {

void existing_file::add_index(const std::wstring& table_name, const index_spec& s) {
  check_writable();
  const format& f = fmt();
  const catalog_entry* entry = reader_->find_table(table_name);
  if (!entry) throw_error(dao_error::field_not_found);
  if (entry->is_system())
    throw error(dao_error::not_supported, "Indexes cannot be added to the system table '" + to_utf8(entry->name) + "'.");
  const uint32_t page = entry->id;
  const std::wstring stored_name = entry->name;
  finish_open_writer(page);
  const table_def def = reader_->table_at(page);
  check_rewritable(def, "An index cannot be added to '" + to_utf8(stored_name) + "'");

  check_name(f, s.name);
  for (const auto& li : def.logical_indexes) {
    if (same_name(li.name, s.name)) throw_error(dao_error::index_exists);
    if (s.primary && li.type == logical_index_type::primary_key) throw_error(dao_error::primary_key_exists);
  }
  if (def.logical_indexes.size() >= f.max_indexes) throw_error(dao_error::too_many_indexes, to_utf8(stored_name));

  const index_def ix = define_index(f, def, s);
  if (def.indexes.size() >= f.max_indexes) throw_error(dao_error::too_many_indexes, to_utf8(stored_name));

  // The rows must fit the new index: no null in a required one, no key twice in a unique one.
  if (ix.flags & (index_flag::unique | index_flag::required)) {
    // The keys seen so far, within the memory budget of a table's index entries.
    index_sorter keys(true, default_index_budget, path());
    std::vector<value> row;
    for (auto cursor = reader_->rows(def); cursor.next(row);) {
      const bool all_null = all_index_columns_null(def, ix, row);
      if (ix.flags & index_flag::required) {
        for (const auto& ic : ix.columns) {
          const column_def* c = def.column_by_number(ic.column_number);
          if (c->type != column_type::boolean && (ic.column_number >= row.size() || row[ic.column_number].is_null()))
            throw_error(dao_error::index_null);
        }
      }
      if (!(ix.flags & index_flag::unique) || all_null || !has_index_entry(def, ix, row)) continue;
      const bytes key = encode_key(f, def, ix, row);
      if (keys.contains(key)) throw_error(dao_error::duplicate_key);
      keys.make_room(key);
      keys.add(key, 0);
    }
  }

  change([&] {
    rewrite_table(page, [](std::vector<value>&) { return true; }, {}, [&](table_def& t) {
      t.indexes.push_back(ix);
      uint32_t number = 0;
      for (const auto& li : t.logical_indexes) number = std::max(number, li.number + 1);
      logical_index_def li;
      li.name = s.name;
      li.number = number;
      li.physical = uint32_t(t.indexes.size() - 1);
      li.type = s.primary ? logical_index_type::primary_key : logical_index_type::other;
      t.logical_indexes.push_back(li);
    });
  });
}

}  // namespace jet
