// Every index of every Jet 4 and ACE sample file written by Access or the Jet engine, re-encoded
// from the rows with our key encoder and compared byte for byte with the stored entries; every tree
// also passes the strict structural check.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "platform/jet/btree_builder.h"
#include "platform/jet/byte_order.h"
#include "platform/jet/data_page.h"
#include "platform/jet/error.h"
#include "platform/jet/header.h"
#include "platform/jet/index_key.h"
#include "platform/jet/index_scan.h"
#include "platform/jet/index_test_support.h"
#include "platform/jet/row_reader.h"
#include "platform/jet/tdef_reader.h"
#include "platform/jet/test_hex.h"
#include "platform/jet/usage_map.h"
#include "platform/jet/value_codec.h"

namespace jet {
namespace {

struct sample_file {
  std::string name;
  format f;
  scratch_pages pages;
};

// The row bytes at a position (nullopt for a deleted row); overflow pointers are followed. Access
// marks the target of an overflow pointer deleted (so that a page scan skips it): the flag is
// ignored there.
std::optional<std::vector<uint8_t>> row_at(const sample_file& s, uint32_t page, uint8_t row, int depth = 0) {
  std::vector<uint8_t> bytes = s.pages.read(page);
  data_page_info info = read_data_page(s.f, bytes, page);
  if (row >= info.rows.size()) throw_corrupt("row " + std::to_string(row) + " missing on page " + std::to_string(page));
  const row_slot& slot = info.rows[row];
  if (slot.deleted && depth == 0) return std::nullopt;
  if (slot.overflow) {
    if (depth > 4) throw_corrupt("overflow chain too long");
    uint32_t rp = get_u32(bytes.data() + slot.offset);
    return row_at(s, row_pointer_page(rp), row_pointer_row(rp), depth + 1);
  }
  return std::vector<uint8_t>(bytes.begin() + slot.offset, bytes.begin() + slot.offset + slot.length);
}

std::vector<value> decode(const sample_file& s, const table_def& t, const std::vector<uint8_t>& row) {
  std::vector<value> v = read_row(s.f, t, row, [&](uint32_t p) { return s.pages.read(p); });
  // Access stores some numeric columns of its own tables as variable-length data (no "fixed" flag);
  // the row reader hands those over as bytes.
  for (const column_def& c : t.columns) {
    value& x = v[c.number];
    if (!c.is_fixed() && is_fixed_type(c.type) && x.kind_of() == value::kind::binary &&
        x.as_binary().size() == fixed_type_size(c.type)) {
      x = decode_fixed(c, x.as_binary().data());
    }
  }
  return v;
}

// Positions of the table's live rows: every row on its owned data pages that is not deleted and
// is not the target of another row's overflow pointer.
std::vector<std::pair<uint32_t, uint8_t>> live_rows(const sample_file& s, const table_def& t) {
  auto map_row = row_at(s, row_pointer_page(t.owned_map), row_pointer_row(t.owned_map));
  if (!map_row) throw_corrupt("owned map row deleted");
  std::vector<std::pair<uint32_t, uint8_t>> rows;
  std::set<std::pair<uint32_t, uint8_t>> targets;
  for (uint32_t p : read_usage_map(s.f, *map_row, s.pages)) {
    if (p >= s.pages.page_count()) continue;
    std::vector<uint8_t> bytes = s.pages.read(p);
    if (bytes[0] != page_type::data || get_u32(bytes.data() + s.f.data_owner_offset) != t.tdef_page) continue;
    data_page_info info = read_data_page(s.f, bytes, p);
    for (size_t r = 0; r < info.rows.size(); ++r) {
      if (info.rows[r].deleted) continue;
      rows.emplace_back(p, uint8_t(r));
      if (info.rows[r].overflow) {
        uint32_t rp = get_u32(bytes.data() + info.rows[r].offset);
        targets.emplace(row_pointer_page(rp), row_pointer_row(rp));
      }
    }
  }
  std::erase_if(rows, [&](const auto& pr) { return targets.count(pr) != 0; });
  return rows;
}

// Table TDEF pages from MSysObjects (type 1 rows).
std::vector<std::pair<std::wstring, uint32_t>> tables_of(const sample_file& s) {
  table_def catalog = read_tdef(s.f, s.pages, 2);
  const column_def* id = catalog.find_column(L"Id");
  const column_def* type = catalog.find_column(L"Type");
  const column_def* name = catalog.find_column(L"Name");
  std::vector<std::pair<std::wstring, uint32_t>> out;
  for (auto [page, row] : live_rows(s, catalog)) {
    std::optional<std::vector<uint8_t>> bytes = row_at(s, page, row);
    if (!bytes) continue;
    std::vector<value> v = decode(s, catalog, *bytes);
    if (v[type->number].is_null() || v[type->number].as_integer() != 1) continue;
    out.emplace_back(v[name->number].as_text(), uint32_t(v[id->number].as_long()));
  }
  return out;
}

struct tally {
  int indexes = 0;
  int text_indexes = 0;
  size_t entries = 0;
  std::set<column_type> types;
};

void check_file(const std::string& name, tally& total) {
  SCOPED_TRACE(name);
  scratch_pages pages = scratch_pages::from_file(sample_path(name), 4096);
  std::vector<uint8_t> header = pages.read(0);
  const uint8_t version = header[0x14];
  ASSERT_GE(version, 1) << "Jet 4 and ACE samples only";
  const format* f = format::for_version_byte(version);
  ASSERT_NE(f, nullptr);
  sample_file s{name, *f, std::move(pages)};
  const int before = total.indexes;
  for (const auto& [table_name, tdef_page] : tables_of(s)) {
    table_def t = read_tdef(s.f, s.pages, tdef_page);
    if (t.indexes.empty()) continue;
    std::vector<std::pair<uint32_t, uint8_t>> rows = live_rows(s, t);
    std::vector<std::vector<value>> values;
    for (auto [p, r] : rows) {
      std::optional<std::vector<uint8_t>> bytes = row_at(s, p, r);
      ASSERT_TRUE(bytes.has_value());
      values.push_back(decode(s, t, *bytes));
    }
    for (size_t ix = 0; ix < t.indexes.size(); ++ix) {
      const index_def& index = t.indexes[ix];
      std::string where = std::string(table_name.begin(), table_name.end()) + " index " + std::to_string(ix);
      SCOPED_TRACE(where);
      bool text = false;
      for (const index_column& ic : index.columns) {
        const column_def* c = t.column_by_number(ic.column_number);
        ASSERT_NE(c, nullptr);
        total.types.insert(c->type);
        text = text || is_text_type(c->type);
      }
      index_tree_report report = check_index_tree(s.f, s.pages, index.root_page, tdef_page);
      EXPECT_TRUE(report.problems.empty()) << report.problems.front();

      std::vector<index_entry> expected;
      for (size_t i = 0; i < rows.size(); ++i) {
        if (!has_index_entry(t, index, values[i])) continue;
        expected.push_back({encode_key(s.f, t, index, values[i]), rows[i].first, rows[i].second, 0});
      }
      sort_index_entries(expected);
      std::vector<index_entry> stored = read_index_entries(s.f, s.pages, index.root_page);
      ASSERT_EQ(stored.size(), expected.size());
      for (size_t i = 0; i < stored.size(); ++i) {
        ASSERT_EQ(to_hex(stored[i].key), to_hex(expected[i].key)) << "entry " << i;
        ASSERT_EQ(stored[i].page, expected[i].page);
        ASSERT_EQ(stored[i].row, expected[i].row);
      }
      ++total.indexes;
      if (text) ++total.text_indexes;
      total.entries += stored.size();
    }
  }
  EXPECT_GT(total.indexes, before);
}

TEST(IndexSamplesTest, EveryStoredKeyIsReproducedFromItsRow) {
  tally total;
  const std::string dir = std::string(TT_TEST_DATA_DIR) + "/access-format/";
  for (const char* sub : {"jackcess", "mdb-reader"}) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir + sub)) {
      std::string file = e.path().filename().string();
      if (file.ends_with(".mdb") || file.ends_with(".accdb")) names.push_back(std::string(sub) + "/" + file);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      scratch_pages probe = scratch_pages::from_file(sample_path(name), 4096);
      std::vector<uint8_t> header = probe.read(0);
      if (header[0x14] == 0) continue;  // Jet 3: its rows are not read here
      // An ACE file with a password is encrypted as a whole: its pages cannot be read.
      if (header[0x14] >= 2 && (read_header(header, name).db_key != 0 || probe.read(2)[0] != page_type::tdef)) continue;
      check_file(name, total);
    }
  }
  // What the run covered (the samples hold far more than these minimums).
  EXPECT_GE(total.indexes, 300);
  EXPECT_GE(total.text_indexes, 100);
  for (column_type t : {column_type::text, column_type::long_integer, column_type::byte, column_type::binary,
                        column_type::big_integer}) {
    EXPECT_TRUE(total.types.count(t)) << column_type_name(t);
  }

}

}  // namespace
}  // namespace jet
