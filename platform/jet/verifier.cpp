// Verifier.
#include "platform/jet/verifier.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <set>

#include "platform/jet/byte_order.h"
#include "platform/jet/catalog.h"
#include "platform/jet/data_page.h"
#include "platform/jet/error.h"
#include "platform/jet/index_key.h"
#include "platform/jet/index_scan.h"
#include "platform/jet/long_value.h"
#include "platform/jet/reader.h"
#include "platform/jet/row_reader.h"
#include "platform/jet/table_def.h"
#include "platform/jet/tdef_reader.h"
#include "platform/jet/usage_map.h"
#include "platform/jet/value_codec.h"

namespace jet {

std::string verify_report::text() const {
  std::string out;
  for (const auto& p : problems) out += "problem: " + p + "\n";
  for (const auto& n : notes) out += "note: " + n + "\n";
  return out;
}

namespace {

class verifier {
 public:
  // `rows`: also decode every row and compare the indexes with the keys of the rows; without it only the
  // structure is checked (see check_structure).
  verifier(const database_reader& db, bool rows) : db_(db), f_(db.fmt()), src_(db.pages()), rows_(rows) {}

  void run(verify_report& r);

 private:
  void problem(const std::string& s) { report_->problems.push_back(s); }
  void note(const std::string& s) { report_->notes.push_back(s); }
  // Records that `owner` uses `page`; map-row pages may be shared by many maps.
  void claim(uint32_t page, const std::string& owner, bool shared_kind = false);
  std::vector<uint32_t> map_pages(uint32_t row_pointer, const std::string& what);
  void check_table(const catalog_entry* entry, uint32_t tdef_page);
  static std::string index_label(const table_def& t, const std::string& what, size_t physical);
  // The tree's own problems (rows included), its usage map against its pages, and the pages claimed for the index.
  void check_index_pages(const std::string& iw, const index_def& ix, uint32_t tdef_page, const index_tree_report& tree);
  // The page's row slots, or nothing when it cannot be read as a data page (reported). The page's owner is
  // checked by the caller, which picks the page by it.
  std::optional<data_page_info> check_data_page(uint32_t page, const std::vector<uint8_t>& bytes);

  const database_reader& db_;
  const format& f_;
  const page_source& src_;
  const bool rows_;
  verify_report* report_ = nullptr;
  std::map<uint32_t, std::string> owner_of_;
  std::set<uint32_t> shared_pages_;
};

void verifier::claim(uint32_t page, const std::string& owner, bool shared_kind) {
  if (page >= src_.page_count()) {
    problem(owner + " uses page " + std::to_string(page) + " beyond the end of the file");
    return;
  }
  auto it = owner_of_.find(page);
  if (it == owner_of_.end()) {
    owner_of_[page] = owner;
    if (shared_kind) shared_pages_.insert(page);
    return;
  }
  if (shared_kind && shared_pages_.count(page)) return;
  if (it->second == owner) return;
  problem("page " + std::to_string(page) + " is used by both " + it->second + " and " + owner);
}

std::vector<uint32_t> verifier::map_pages(uint32_t rp, const std::string& what) {
  if (rp == 0) return {};  // no map (Access leaves some free-space maps out)
  uint32_t page = row_pointer_page(rp);
  claim(page, "usage-map rows", true);
  std::vector<uint8_t> row;
  try {
    row = db_.row_bytes(rp);
  } catch (const error& e) {
    problem(what + ": cannot read its usage map: " + e.what());
    return {};
  }
  auto bytes = src_.read(page);
  if (get_u32(bytes.data() + f_.data_owner_offset) != 0) problem(what + ": its usage map lies on a page not owned by 0");
  std::vector<uint32_t> bitmaps;
  std::vector<uint32_t> pages;
  try {
    pages = read_usage_map(f_, row, src_, &bitmaps);
  } catch (const error& e) {
    problem(what + ": bad usage map: " + e.what());
  }
  for (uint32_t b : bitmaps) claim(b, what + " (usage bitmap)");
  return pages;
}

std::optional<data_page_info> verifier::check_data_page(uint32_t page, const std::vector<uint8_t>& bytes) {
  try {
    auto info = read_data_page(f_, bytes, page);
    uint32_t lowest = f_.page_size;
    for (const auto& s : info.rows) lowest = std::min(lowest, s.offset);
    uint32_t expected = lowest - (f_.data_row_table_offset + 2 * uint32_t(info.rows.size()));
    if (info.free_space != expected)
      problem("page " + std::to_string(page) + ": free space field " + std::to_string(info.free_space) + ", expected " +
              std::to_string(expected));
    return info;
  } catch (const error& e) {
    problem(e.what());
    return std::nullopt;
  }
}

std::string verifier::index_label(const table_def& t, const std::string& what, size_t physical) {
  for (const auto& li : t.logical_indexes)
    if (li.physical == physical) return what + " index '" + to_utf8(li.name) + "'";
  return what + " index " + std::to_string(physical);
}

void verifier::check_index_pages(const std::string& iw, const index_def& ix, uint32_t tdef_page,
                                 const index_tree_report& tree) {
  // A change rewrites a table whose tree it cannot read back whole: for the structure, only the tree's pages
  // count.
  if (rows_)
    for (const auto& pr : tree.problems) problem(iw + ": " + pr);
  std::vector<uint32_t> listed = map_pages(ix.usage_map, iw);
  for (uint32_t p : listed) {
    if (p >= src_.page_count()) {
      problem(iw + ": usage map lists page " + std::to_string(p) + " beyond the end of the file");
      break;
    }
    auto bytes = src_.read(p);
    if ((bytes[0] != page_type::index_node && bytes[0] != page_type::index_leaf) ||
        get_u32(bytes.data() + f_.index_owner_offset) != tdef_page) {
      problem(iw + ": usage map lists page " + std::to_string(p) + ", which is not one of its index pages");
      break;
    }
  }
  std::vector<uint32_t> tree_pages = tree.pages;
  std::sort(listed.begin(), listed.end());
  std::sort(tree_pages.begin(), tree_pages.end());
  if (listed != tree_pages) problem(iw + ": usage map does not list exactly the pages of the tree");
  for (uint32_t p : tree_pages) claim(p, iw);
}

void verifier::check_table(const catalog_entry* entry, uint32_t tdef_page) {
  std::string name = entry ? to_utf8(entry->name) : "table at page " + std::to_string(tdef_page);
  std::string what = "table '" + name + "'";
  table_def t;
  std::vector<uint32_t> chain;
  try {
    t = read_tdef(f_, src_, tdef_page, &chain);
  } catch (const error& e) {
    problem(what + ": " + e.what());
    return;
  }
  for (uint32_t p : chain) claim(p, what + " (definition)");
  // Marks of the generation: Jet 3 tags every definition page ("VC"); every index of a Jet 4/ACE file
  // carries flag 0x80, no Jet 3 index does.
  if (f_.tdef_page_tag)
    for (uint32_t p : chain) {
      auto bytes = src_.read(p);
      if (std::memcmp(bytes.data() + 2, f_.tdef_page_tag, 2) != 0)
        problem(what + ": definition page " + std::to_string(p) + " lacks the page tag");
    }
  for (size_t i = 0; i < t.indexes.size(); ++i)
    if ((t.indexes[i].flags & index_flag::jet4_always) != f_.index_flags_always)
      problem(what + ": index " + std::to_string(i) + " has flags " + std::to_string(t.indexes[i].flags) +
              ", not those of its format");

  // Data pages.
  std::vector<uint32_t> owned = map_pages(t.owned_map, what);
  std::vector<uint32_t> free_pages = map_pages(t.free_map, what + " (free-space map)");
  std::set<uint32_t> owned_set(owned.begin(), owned.end());
  for (uint32_t p : free_pages)
    if (!owned_set.count(p)) problem(what + ": free-space map lists page " + std::to_string(p) + " it does not own");
  std::vector<uint32_t> data_pages;
  std::map<uint32_t, std::vector<bool>> live_rows;  // by data page: which row slots hold a row
  for (uint32_t p : owned) {
    if (p >= src_.page_count()) { problem(what + ": owned map names page " + std::to_string(p) + " beyond the file"); continue; }
    auto bytes = src_.read(p);
    if (bytes[0] != page_type::data || get_u32(bytes.data() + f_.data_owner_offset) != tdef_page) {
      problem(what + ": owned map lists page " + std::to_string(p) + ", which is not one of its data pages");
      continue;
    }
    claim(p, what + " (data)");
    if (auto info = check_data_page(p, bytes); info && !rows_) {
      std::vector<bool>& live = live_rows[p];
      for (const row_slot& s : info->rows) live.push_back(!s.deleted);
    }
    data_pages.push_back(p);
  }
  // Long-value columns.
  std::map<uint16_t, std::set<uint32_t>> lv_pages;
  for (const auto& c : t.columns) {
    if (!is_long_value_type(c.type)) continue;
    std::string cw = what + " column '" + to_utf8(c.name) + "'";
    auto lv_owned = map_pages(c.lv_owned_map, cw + " (long values)");
    auto lv_free = map_pages(c.lv_free_map, cw + " (long values, free space)");
    std::set<uint32_t> s(lv_owned.begin(), lv_owned.end());
    for (uint32_t p : lv_free)
      if (!s.count(p)) problem(cw + ": long-value free map lists page " + std::to_string(p) + " it does not own");
    for (uint32_t p : lv_owned) {
      if (p >= src_.page_count()) continue;
      auto bytes = src_.read(p);
      if (bytes[0] != page_type::data || get_u32(bytes.data() + f_.data_owner_offset) != lval_owner) {
        problem(cw + ": long-value map lists page " + std::to_string(p) + ", which is not an LVAL page");
        continue;
      }
      claim(p, cw + " (long values)");
      check_data_page(p, bytes);
    }
    lv_pages[c.number] = std::move(s);
  }

  if (!rows_) {
    // The indexes: trees listed exactly by their usage maps, whose entries name rows of the table.
    for (size_t i = 0; i < t.indexes.size(); ++i) {
      const std::string iw = index_label(t, what, i);
      std::string missing;
      index_tree_report tree = check_index_tree(f_, src_, t.indexes[i].root_page, tdef_page, [&](const index_entry& e) {
        auto page = live_rows.find(e.page);
        if (missing.empty() && (page == live_rows.end() || e.row >= page->second.size() || !page->second[e.row]))
          missing = iw + ": an entry names row " + std::to_string(e.page) + ":" + std::to_string(e.row) +
                    ", which the table does not hold";
      });
      check_index_pages(iw, t.indexes[i], tdef_page, tree);
      if (!missing.empty()) problem(missing);
    }
    return;
  }

  // Rows: decode each, collect expected index entries and AutoNumber values.
  std::vector<std::vector<index_entry>> expected(t.indexes.size());
  std::vector<bool> can_encode(t.indexes.size(), true);
  for (size_t i = 0; i < t.indexes.size(); ++i)
    for (const auto& ic : t.indexes[i].columns) {
      const column_def* c = t.column_by_number(ic.column_number);
      if (!c || !is_indexable_column(f_, *c)) can_encode[i] = false;
    }
  uint32_t rows = 0;
  int64_t max_auto = 0;
  const column_def* auto_col = nullptr;
  for (const auto& c : t.columns)
    if (c.is_autonumber() && c.type == column_type::long_integer) auto_col = &c;
  auto read_page = [&](uint32_t p) { return src_.read(p); };
  for (uint32_t p : data_pages) {
    auto bytes = src_.read(p);
    data_page_info info;
    try {
      info = read_data_page(f_, bytes, p);
    } catch (const error&) {
      continue;  // reported above
    }
    for (size_t r = 0; r < info.rows.size(); ++r) {
      const row_slot& s = info.rows[r];
      if (s.deleted) continue;
      uint32_t rp = make_row_pointer(p, uint8_t(r));
      std::vector<value> row;
      try {
        std::vector<uint8_t> raw = s.overflow ? db_.row_bytes(rp)
                                              : std::vector<uint8_t>(bytes.begin() + s.offset, bytes.begin() + s.offset + s.length);
        auto fields = split_row(f_, t, raw);
        if (std::string frame = row_frame_problem(f_, t, raw); !frame.empty())
          problem(what + " row " + std::to_string(p) + ":" + std::to_string(r) + ": " + frame);
        for (const auto& c : t.columns) {
          if (!is_long_value_type(c.type) || !fields[c.number].present || fields[c.number].bytes.size() < lv_header_size) continue;
          uint32_t word = get_u32(fields[c.number].bytes.data());
          if ((word & long_value_layout::kind_mask) != long_value_layout::inline_value) {
            uint32_t lvp = row_pointer_page(get_u32(fields[c.number].bytes.data() + long_value_layout::row_pointer_offset));
            if (!lv_pages[c.number].count(lvp))
              problem(what + " row " + std::to_string(row_pointer_page(rp)) + ":" + std::to_string(row_pointer_row(rp)) + ": long value of '" +
                      to_utf8(c.name) + "' on page " + std::to_string(lvp) + ", which the column does not own");
          }
        }
        row = read_row(f_, t, raw, read_page);
      } catch (const error& e) {
        problem(what + " row " + std::to_string(p) + ":" + std::to_string(r) + ": " + e.what());
        continue;
      }
      ++rows;
      if (auto_col && auto_col->number < row.size() && !row[auto_col->number].is_null())
        max_auto = std::max<int64_t>(max_auto, row[auto_col->number].as_long());
      for (size_t i = 0; i < t.indexes.size(); ++i) {
        if (!can_encode[i] || !has_index_entry(t, t.indexes[i], row)) continue;
        try {
          index_entry e;
          e.key = encode_key(f_, t, t.indexes[i], row);
          e.page = p;
          e.row = uint8_t(r);
          expected[i].push_back(std::move(e));
        } catch (const error& e) {
          problem(what + ": cannot encode the key of row " + std::to_string(p) + ":" + std::to_string(r) + ": " + e.what());
          can_encode[i] = false;
        }
      }
    }
  }
  if (rows != t.row_count)
    note(what + ": definition says " + std::to_string(t.row_count) + " rows, the pages hold " + std::to_string(rows));
  if (auto_col) {
    if (max_auto > int64_t(t.autonumber_last))
      problem(what + ": AutoNumber counter " + std::to_string(t.autonumber_last) + " is below the largest value " +
              std::to_string(max_auto));
    else if (max_auto != int64_t(t.autonumber_last))
      note(what + ": AutoNumber counter " + std::to_string(t.autonumber_last) + ", largest value " + std::to_string(max_auto));
  }

  // Indexes.
  for (size_t i = 0; i < t.indexes.size(); ++i) {
    const index_def& ix = t.indexes[i];
    const std::string iw = index_label(t, what, i);
    std::vector<index_entry> found;
    index_tree_report tree = check_index_tree(f_, src_, ix.root_page, tdef_page,
                                              [&](const index_entry& e) { found.push_back(e); });
    check_index_pages(iw, ix, tdef_page, tree);
    if (ix.is_unique())
      for (size_t k = 1; k < found.size(); ++k)
        if (found[k].key == found[k - 1].key) {
          // Rows whose indexed columns are all null may repeat in a unique index.
          bool all_null = true;
          for (size_t b = 0, c = 0; c < ix.columns.size() && b < found[k].key.size(); ++c) {
            uint8_t flag = found[k].key[b];
            if (flag != key_null_ascending && flag != key_null_descending) { all_null = false; break; }
            ++b;
          }
          if (!all_null) { problem(iw + ": unique index holds a duplicate key"); break; }
        }
    if (!can_encode[i]) {
      note(iw + ": keys not re-encoded (column type or sort order not supported)");
      continue;
    }
    // Entries and rows are matched by the row they name, so that a finding names a row (which stays where it is
    // while rows are added) rather than a position in the index. The first mismatch is reported.
    std::map<uint32_t, const bytes*> keys_of_rows;
    for (const index_entry& e : expected[i]) keys_of_rows.emplace(make_row_pointer(e.page, e.row), &e.key);
    auto row_text = [](uint32_t rp) { return std::to_string(row_pointer_page(rp)) + ":" + std::to_string(row_pointer_row(rp)); };
    bool matched = true;
    for (const index_entry& e : found) {
      const uint32_t rp = make_row_pointer(e.page, e.row);
      auto it = keys_of_rows.find(rp);
      if (it == keys_of_rows.end() || *it->second != e.key) {
        problem(iw + (it == keys_of_rows.end() ? ": an entry names row " + row_text(rp) + ", which holds no row with a key in this index"
                                               : ": the entry of row " + row_text(rp) +
                                                     " does not match the key re-encoded from the row"));
        matched = false;
        break;
      }
      keys_of_rows.erase(it);
    }
    if (matched && !keys_of_rows.empty()) problem(iw + ": row " + row_text(keys_of_rows.begin()->first) + " has no entry");
    if (ix.entry_count != 0 && ix.entry_count != found.size())
      note(iw + ": statistics say " + std::to_string(ix.entry_count) + " entries, the tree holds " + std::to_string(found.size()));
  }
}

void verifier::run(verify_report& r) {
  report_ = &r;
  uint32_t n = src_.page_count();
  if (uint64_t(n) * f_.page_size > f_.max_file_size)
    problem("the file is larger than its format allows (" + std::to_string(f_.max_file_size) + " bytes)");
  claim(0, "the header");
  claim(1, "the global usage map");
  auto page1 = src_.read(1);
  if (page1[0] != page_type::data || get_u32(page1.data() + f_.data_owner_offset) != 1)
    problem("page 1 is not the global usage map");

  // Tables: the system tables and every table of the catalog.
  std::set<uint32_t> done;
  for (const auto& e : db_.objects()) {
    if (e.type != object_type_table) continue;
    if (!done.insert(e.id).second) { problem("two catalog rows name TDEF page " + std::to_string(e.id)); continue; }
    if (e.id == 0 || e.id >= n) { problem("table '" + to_utf8(e.name) + "' names page " + std::to_string(e.id)); continue; }
    check_table(&e, e.id);
  }
  for (uint32_t sys : {msysobjects_tdef_page, msysaces_tdef_page, msysqueries_tdef_page, msysrelationships_tdef_page})
    if (!done.count(sys)) problem("the catalog lacks the system table at page " + std::to_string(sys));

  // The global map: owned pages must not be free, every other page must be.
  std::vector<uint8_t> row0;
  try {
    auto info = read_data_page(f_, page1, 1);
    if (info.rows.empty()) throw_corrupt("page 1 holds no map");
    row0.assign(page1.begin() + info.rows[0].offset, page1.begin() + info.rows[0].offset + info.rows[0].length);
  } catch (const error& e) {
    problem(std::string("global usage map: ") + e.what());
    return;
  }
  std::vector<uint32_t> bitmaps;
  std::vector<uint32_t> free_list;
  try {
    free_list = read_usage_map(f_, row0, src_, &bitmaps);
  } catch (const error& e) {
    problem(std::string("global usage map: ") + e.what());
  }
  for (uint32_t b : bitmaps) claim(b, "the global usage map (bitmap)");
  std::vector<bool> is_free(n, false);
  for (uint32_t p : free_list)
    if (p < n) is_free[p] = true;
  uint32_t unaccounted = 0;
  for (uint32_t p = 0; p < n; ++p) {
    bool owned = owner_of_.count(p) != 0;
    if (owned && is_free[p]) problem("page " + std::to_string(p) + " (" + owner_of_[p] + ") is marked free in the global map");
    if (!owned && !is_free[p]) {
      if (++unaccounted <= 10) problem("page " + std::to_string(p) + " is neither free nor owned by any object");
    }
  }
  if (unaccounted > 10) problem(std::to_string(unaccounted - 10) + " more pages neither free nor owned");
}

}  // namespace

verify_report verify_file(const std::string& path) {
  verify_report r;
  std::unique_ptr<database_reader> db;
  try {
    db = database_reader::open(path);
  } catch (error& e) {
    e.name_file(path);
    r.problems.push_back(e.what());
    r.unsupported = e.number() == dao_error::unrecognized_format;
    return r;
  }
  try {
    verifier v(*db, true);
    v.run(r);
  } catch (const std::exception& e) {
    r.problems.push_back(std::string("verification stopped: ") + e.what());
  }
  return r;
}

std::vector<std::string> check_structure(const database_reader& db) {
  verify_report r;
  try {
    verifier v(db, false);
    v.run(r);
  } catch (const std::exception& e) {
    r.problems.push_back(std::string("the check stopped: ") + e.what());
  }
  return r.problems;
}

}  // namespace jet
