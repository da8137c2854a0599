// Indexes added to a table of an existing database.
//
// A new index is a logical index (its name, number and kind: primary key or other) over a new
// physical index (the B-tree, its columns and flags) in the table's TDEF. A physical index is never
// shared with an existing one: mdbtools lists a logical index that shares its tree without columns.
// Access numbers a table's own indexes first, each over the physical index of its own rank, and the
// foreign-key entries of its relationships after them; readers such as mdbtools find an index's columns
// that way. A new index therefore takes the number and physical place after the table's own indexes, and
// the foreign-key entries (with the physical indexes only they use, and the numbers other tables refer to
// them by) move up by one; a deleted index leaves its place the same way. The tables are then rewritten
// whole (existing_file_edit.cpp), which builds every tree with an entry for every row. The rows are
// checked before anything is written, so a refused index leaves the session usable and the file as it was.
#include <algorithm>
#include <set>

#include "platform/jet/catalog.h"
#include "platform/jet/error.h"
#include "platform/jet/existing_file.h"
#include "platform/jet/index_key.h"
#include "platform/jet/index_sorter.h"
#include "platform/jet/table_request.h"
#include "platform/jet/value_codec.h"

namespace jet {

namespace {

// Moves the logical numbers of `page`'s indexes from `from` on by `by` in the references of `t` to them, and
// when `t` is that table, the numbers themselves.
void move_numbers(table_def& t, uint32_t tdef_page, uint32_t page, uint32_t from, int by) {
  for (auto& li : t.logical_indexes) {
    if (tdef_page == page && li.number >= from) li.number = uint32_t(int64_t(li.number) + by);
    if (li.type == logical_index_type::foreign_key && li.other_tdef == page && li.other_index >= int32_t(from))
      li.other_index += by;
  }
}

// The tables other than `page` whose foreign-key entries refer to its indexes numbered from `from` on.
std::set<uint32_t> referring_tables(const table_def& def, uint32_t page, uint32_t from) {
  std::set<uint32_t> out;
  for (const auto& li : def.logical_indexes)
    if (li.type == logical_index_type::foreign_key && li.number >= from && li.other_tdef != page) out.insert(li.other_tdef);
  return out;
}

}  // namespace

existing_file::indexed_table existing_file::table_for_index(const std::wstring& name, const std::string& change) {
  check_writable();
  const catalog_entry* entry = reader_->find_table(name);
  if (!entry) throw_error(dao_error::field_not_found);
  if (entry->is_system())
    throw error(dao_error::not_supported, "Indexes cannot be " + change + " the system table '" + to_utf8(entry->name) + "'.");
  indexed_table t{entry->id, entry->name, {}};
  finish_open_writer(t.page);
  t.def = reader_->table_at(t.page);
  check_rewritable(t.def, "An index cannot be " + change + " '" + to_utf8(t.name) + "'");
  return t;
}

void existing_file::add_index(const std::wstring& table_name, const index_spec& s) {
  const format& f = fmt();
  const indexed_table table = table_for_index(table_name, "added to");
  const uint32_t page = table.page;
  const std::wstring& stored_name = table.name;
  const table_def& def = table.def;

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

  // The place after the table's own indexes.
  uint32_t number = 0, physical = 0;
  for (const auto& li : def.logical_indexes)
    if (li.type != logical_index_type::foreign_key) {
      number = std::max(number, li.number + 1);
      physical = std::max(physical, li.physical + 1);
    }
  const std::set<uint32_t> partners = referring_tables(def, page, number);
  for (uint32_t p : partners) finish_open_writer(p);
  auto keep_all = [](std::vector<value>&) { return true; };
  change([&] {
    rewrite_table(page, keep_all, {}, [&](table_def& t) {
      move_numbers(t, page, page, number, 1);
      for (auto& li : t.logical_indexes)
        if (li.physical >= physical) ++li.physical;
      t.indexes.insert(t.indexes.begin() + physical, ix);
      logical_index_def li;
      li.name = s.name;
      li.number = number;
      li.physical = physical;
      li.type = s.primary ? logical_index_type::primary_key : logical_index_type::other;
      t.logical_indexes.push_back(li);
      std::stable_sort(t.logical_indexes.begin(), t.logical_indexes.end(),
                       [](const logical_index_def& a, const logical_index_def& b) { return a.number < b.number; });
    });
    for (uint32_t p : partners) rewrite_table(p, keep_all, {}, [&](table_def& t) { move_numbers(t, p, page, number, 1); });
  });
  std::erase_if(referenced_keys_, [&](const auto& k) { return k.first.first == page; });  // physical numbers moved
}

void existing_file::delete_index(const std::wstring& table_name, const std::wstring& index_name) {
  const indexed_table table = table_for_index(table_name, "deleted from");
  const uint32_t page = table.page;
  const std::wstring& stored_name = table.name;
  const table_def& def = table.def;
  auto gone = std::find_if(def.logical_indexes.begin(), def.logical_indexes.end(),
                           [&](const logical_index_def& li) { return same_name(li.name, index_name); });
  if (gone == def.logical_indexes.end()) throw_error(dao_error::field_not_found);
  // Another index over the same tree keeps it; a relationship's keeps the index too.
  bool shared = false, related = gone->type == logical_index_type::foreign_key;
  for (const auto& li : def.logical_indexes)
    if (li.physical == gone->physical && li.number != gone->number) {
      shared = true;
      related = related || li.type == logical_index_type::foreign_key;
    }
  if (related)
    throw error(dao_error::not_supported, "The index '" + to_utf8(gone->name) + "' of '" + to_utf8(stored_name) +
                                              "' is used by a relationship and cannot be deleted.");
  const uint32_t number = gone->number, physical = gone->physical;
  const std::set<uint32_t> partners = referring_tables(def, page, number + 1);
  for (uint32_t p : partners) finish_open_writer(p);
  auto keep_all = [](std::vector<value>&) { return true; };
  change([&] {
    rewrite_table(page, keep_all, {}, [&](table_def& t) {
      std::erase_if(t.logical_indexes, [&](const logical_index_def& li) { return li.number == number; });
      move_numbers(t, page, page, number + 1, -1);
      if (shared) return;
      t.indexes.erase(t.indexes.begin() + physical);
      for (auto& li : t.logical_indexes)
        if (li.physical > physical) --li.physical;
    });
    for (uint32_t p : partners) rewrite_table(p, keep_all, {}, [&](table_def& t) { move_numbers(t, p, page, number + 1, -1); });
  });
  std::erase_if(referenced_keys_, [&](const auto& k) { return k.first.first == page; });
}

}  // namespace jet
