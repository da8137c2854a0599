// Every index of the Access 97 (Jet 3) samples: each stored entry re-encoded from the row it points
// to, with the General 97 collation for text. The rows are read by the few lines below, which know
// only what the keys need (the TDEF's columns and indexes, the row's fields); every tree also passes
// the strict structural check.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "platform/jet/btree_builder.h"
#include "platform/jet/byte_order.h"
#include "platform/jet/error.h"
#include "platform/jet/index_key.h"
#include "platform/jet/index_scan.h"
#include "platform/jet/index_test_support.h"
#include "platform/jet/test_hex.h"

namespace jet {
namespace {

struct jet3_file {
  const format& f = format::jet3();
  scratch_pages pages{2048};
};

// The logical definition: the first TDEF page, then what follows the 8-byte header of each
// continuation page.
std::vector<uint8_t> tdef_bytes(const jet3_file& j, uint32_t page) {
  std::vector<uint8_t> out;
  for (int n = 0; page != 0 && n < 16; ++n) {
    std::vector<uint8_t> p = j.pages.read(page);
    if (p[0] != page_type::tdef) throw_corrupt("not a TDEF page");
    out.insert(out.end(), p.begin() + (n == 0 ? 0 : 8), p.end());
    page = get_u32(p.data() + 4);
  }
  return out;
}

table_def read_jet3_tdef(const jet3_file& j, uint32_t page) {
  std::vector<uint8_t> d = tdef_bytes(j, page);
  table_def t;
  t.tdef_page = page;
  const uint16_t ncols = get_u16(&d[25]);
  const uint32_t nlogical = get_u32(&d[27]);
  const uint32_t nphysical = get_u32(&d[31]);
  size_t at = 43 + 8 * size_t(nphysical);
  for (uint16_t i = 0; i < ncols; ++i, at += 18) {
    column_def c;
    c.type = column_type(d[at]);
    c.number = get_u16(&d[at + 1]);
    c.var_index = get_u16(&d[at + 3]);
    c.sort_order = get_u16(&d[at + 9]);
    c.flags = d[at + 13];
    c.fixed_offset = get_u16(&d[at + 14]);
    c.length = get_u16(&d[at + 16]);
    t.columns.push_back(c);
  }
  for (column_def& c : t.columns) {
    const uint8_t len = d[at++];
    for (uint8_t k = 0; k < len; ++k) c.name.push_back(wchar_t(d[at++]));
  }
  for (uint32_t i = 0; i < nphysical; ++i, at += 39) {
    index_def ix;
    for (int s = 0; s < 10; ++s) {
      const uint16_t col = get_u16(&d[at + 3 * s]);
      if (col != 0xFFFF) ix.columns.push_back({col, d[at + 3 * s + 2] == 1});
    }
    ix.root_page = get_u32(&d[at + 34]);
    ix.flags = d[at + 38];
    t.indexes.push_back(ix);
  }
  (void)nlogical;
  return t;
}

// A row's bytes (overflow pointers followed; the target carries the deleted flag, which is ignored).
std::vector<uint8_t> jet3_row(const jet3_file& j, uint32_t page, uint8_t row, int depth = 0) {
  std::vector<uint8_t> p = j.pages.read(page);
  if (p[0] != page_type::data) throw_corrupt("index entry names a page that is not a data page");
  const uint16_t count = get_u16(&p[8]);
  if (row >= count) throw_corrupt("index entry names a missing row");
  const uint16_t raw = get_u16(&p[10 + 2 * row]);
  const uint32_t start = raw & 0x1FFF;
  const uint32_t end = row == 0 ? 2048 : (get_u16(&p[10 + 2 * (row - 1)]) & 0x1FFF);
  if ((raw & 0x8000) && depth == 0) throw_corrupt("index entry names a deleted row");
  if (raw & 0x4000) {
    if (depth > 4) throw_corrupt("overflow chain too long");
    const uint32_t rp = get_u32(&p[start]);
    return jet3_row(j, row_pointer_page(rp), row_pointer_row(rp), depth + 1);
  }
  return std::vector<uint8_t>(p.begin() + start, p.begin() + end);
}

// Values of a row by column number: fixed numbers, yes/no, GUID, text (code-page bytes) and binary.
std::vector<value> jet3_values(const table_def& t, const std::vector<uint8_t>& r) {
  const size_t ncols = r[0];
  const size_t mask_size = (ncols + 7) / 8;
  const size_t mask_at = r.size() - mask_size;
  auto present = [&](uint16_t n) { return n < ncols && (r[mask_at + n / 8] & (1u << (n % 8))) != 0; };
  // Offset table (1-byte offsets) with the jump table for rows of 256 bytes or more.
  const size_t nvar = r[mask_at - 1];
  const size_t jumps = (r.size() - 1) / 256;
  auto true_offset = [&](size_t i) {  // i = slot, nvar = end of data
    size_t off = r[mask_at - 2 - jumps - i];
    for (size_t k = 0; k < jumps; ++k) {
      if (r[mask_at - 2 - k] <= i) off += 256;
    }
    return off;
  };
  uint16_t max_number = 0;
  for (const column_def& c : t.columns) max_number = std::max<uint16_t>(max_number, c.number + 1);
  std::vector<value> out(max_number);
  for (const column_def& c : t.columns) {
    value& v = out[c.number];
    if (c.type == column_type::boolean) {
      v = value::boolean(present(c.number));
      continue;
    }
    if (!present(c.number)) continue;
    const uint8_t* b = nullptr;
    if (c.is_fixed()) {
      b = &r[1 + c.fixed_offset];
    } else if (is_fixed_type(c.type) && c.var_index < nvar) {
      // Access stores a few numeric columns of its own tables as variable-length data.
      b = &r[true_offset(c.var_index)];
    }
    if (b != nullptr) {
      switch (c.type) {
        case column_type::byte: v = value::byte(b[0]); break;
        case column_type::integer: v = value::integer(get_i16(b)); break;
        case column_type::long_integer: v = value::long_integer(get_i32(b)); break;
        case column_type::currency: v = value::currency({get_i64(b)}); break;
        case column_type::single: v = value::single(get_f32(b)); break;
        case column_type::double_: v = value::double_(get_f64(b)); break;
        case column_type::datetime: v = value::datetime({get_f64(b)}); break;
        case column_type::guid: {
          guid g;
          std::copy(b, b + 16, g.bytes.begin());
          v = value::guid(g);
          break;
        }
        case column_type::binary: v = value::binary(bytes(b, b + c.length)); break;
        default: throw_corrupt("unexpected fixed column type " + std::to_string(int(c.type)) + " flags " + std::to_string(c.flags));
      }
      continue;
    }
    if (c.var_index >= nvar) continue;
    const size_t from = true_offset(c.var_index), to = true_offset(c.var_index + 1);
    if (to < from || to > r.size()) throw_corrupt("bad variable offsets");
    if (c.type == column_type::text) {
      std::wstring s;
      for (size_t k = from; k < to; ++k) s.push_back(wchar_t(r[k]));  // each byte stands for itself
      v = value::text(s);
    } else if (c.type == column_type::binary) {
      v = value::binary(bytes(r.begin() + from, r.begin() + to));
    }  // memo and OLE values are not needed for keys here
  }
  return out;
}

TEST(IndexSamplesJet3Test, EveryStoredKeyIsReproducedFromItsRow) {
  int indexes = 0, text_indexes = 0, descending_text = 0, rebuilt_indexes = 0;
  size_t entries = 0;
  std::set<column_type> types;
  const std::string dir = std::string(TT_TEST_DATA_DIR) + "/access-format/jackcess/";
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    if (e.path().extension() == ".mdb") names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    jet3_file j;
    j.pages = scratch_pages::from_file(dir + name, 2048);
    if (j.pages.read(0)[0x14] != 0) continue;
    SCOPED_TRACE(name);
    // The catalog: MSysObjects (TDEF 2); its Id index (the second physical index) names every row.
    table_def catalog = read_jet3_tdef(j, 2);
    ASSERT_EQ(catalog.indexes.size(), 2u);
    std::vector<std::pair<std::wstring, uint32_t>> tables;
    const column_def* id = catalog.find_column(L"Id");
    const column_def* type = catalog.find_column(L"Type");
    const column_def* tname = catalog.find_column(L"Name");
    ASSERT_TRUE(id && type && tname);
    for (const index_entry& e : read_index_entries(j.f, j.pages, catalog.indexes[1].root_page)) {
      std::vector<value> v = jet3_values(catalog, jet3_row(j, e.page, e.row));
      if (!v[type->number].is_null() && v[type->number].as_integer() == 1) {
        tables.emplace_back(v[tname->number].as_text(), uint32_t(v[id->number].as_long()));
      }
    }
    ASSERT_GE(tables.size(), 4u);
    for (const auto& [table_name, tdef_page] : tables) {
      table_def t = read_jet3_tdef(j, tdef_page);
      for (size_t ix = 0; ix < t.indexes.size(); ++ix) {
        const index_def& index = t.indexes[ix];
        SCOPED_TRACE(std::string(table_name.begin(), table_name.end()) + " index " + std::to_string(ix));
        bool text = false, desc_text = false;
        for (const index_column& ic : index.columns) {
          const column_def* c = t.column_by_number(ic.column_number);
          ASSERT_NE(c, nullptr);
          types.insert(c->type);
          text = text || c->type == column_type::text;
          desc_text = desc_text || (c->type == column_type::text && !ic.ascending);
        }
        index_tree_report report = check_index_tree(j.f, j.pages, index.root_page, tdef_page);
        EXPECT_TRUE(report.problems.empty()) << report.problems.front();
        std::vector<index_entry> stored = read_index_entries(j.f, j.pages, index.root_page);
        for (size_t i = 0; i < stored.size(); ++i) {
          std::vector<value> v = jet3_values(t, jet3_row(j, stored[i].page, stored[i].row));
          EXPECT_TRUE(has_index_entry(t, index, v));
          ASSERT_EQ(to_hex(encode_key(j.f, t, index, v)), to_hex(stored[i].key)) << "entry " << i;
        }
        // The builder writes the same entries into a tree of its own, which reads back byte for byte.
        scratch_pages rebuilt(j.f.page_size);
        btree_result tree = build_btree(j.f, rebuilt, tdef_page, stored);
        index_tree_report ours = check_index_tree(j.f, rebuilt, tree.root, tdef_page);
        EXPECT_TRUE(ours.problems.empty()) << ours.problems.front();
        EXPECT_EQ(ours.pages.size(), tree.pages.size());
        EXPECT_TRUE(read_index_entries(j.f, rebuilt, tree.root) == stored);
        ++rebuilt_indexes;
        ++indexes;
        entries += stored.size();
        if (text) ++text_indexes;
        if (desc_text) ++descending_text;
      }
    }
  }
  // Every index of the six Access 97 samples, system tables included.
  EXPECT_EQ(indexes, 131);
  EXPECT_EQ(rebuilt_indexes, indexes);
  EXPECT_GE(text_indexes, 20);
  EXPECT_GE(descending_text, 1);
  for (column_type t : {column_type::text, column_type::long_integer, column_type::integer, column_type::byte,
                        column_type::boolean, column_type::datetime, column_type::double_, column_type::single,
                        column_type::currency, column_type::guid}) {
    EXPECT_TRUE(types.count(t)) << column_type_name(t);
  }
  EXPECT_EQ(entries, 4702u);
}

}  // namespace
}  // namespace jet
