// Reading the Access 97 (Jet 3) samples: every table cell for cell as mdb-reader and mdbtools read them,
// every index walked in key order over every row, the stored queries and relationships as the Access
// 2000 copies of the same samples hold them, and the verifier's verdict.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>

#include "platform/jet/byte_order.h"
#include "platform/jet/catalog_listing.h"
#include "platform/jet/database.h"
#include "platform/jet/header.h"
#include "platform/jet/index_key.h"
#include "platform/jet/index_scan.h"
#include "platform/jet/reader.h"
#include "platform/jet/reader_oracles.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/value_codec.h"
#include "platform/jet/verifier.h"

namespace jet {
namespace {

const char* const kJet3Samples[] = {"jackcess/testV1997.mdb",       "jackcess/delTestV1997.mdb",
                                    "jackcess/indexTestV1997.mdb",  "jackcess/compIndexTestV1997.mdb",
                                    "jackcess/queryTestV1997.mdb",  "jackcess/testIndexCodesV1997.mdb"};

// mdb-reader's text for a currency (four decimals) and a GUID (lower case, Windows field order).
std::string currency_text(int64_t scaled) {
  const uint64_t m = scaled < 0 ? uint64_t(0) - uint64_t(scaled) : uint64_t(scaled);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%s%llu.%04llu", scaled < 0 ? "-" : "", (unsigned long long)(m / 10000),
                (unsigned long long)(m % 10000));
  return buf;
}

std::string guid_text(const guid& g) {
  const auto& b = g.bytes;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[3], b[2],
                b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return buf;
}

// What differs between our cell and mdb-reader's; empty when they are the same cell.
std::string reader_difference(const value& v, const oracle::reader_value& g) {
  auto differs = [&](bool d) { return d ? describe(v) + " vs " + std::string(1, g.kind) + ":" + g.payload : std::string(); };
  if (v.is_null()) return differs(g.kind != 'n');
  if (g.kind == 'n') return differs(true);
  switch (v.kind_of()) {
    case value::kind::boolean: return differs(g.payload != (v.as_bool() ? "1" : "0"));
    case value::kind::byte: return differs(std::stod(g.payload) != v.as_byte());
    case value::kind::integer: return differs(std::stod(g.payload) != v.as_integer());
    case value::kind::long_integer: return differs(std::stod(g.payload) != v.as_long());
    case value::kind::single: return differs(float(std::stod(g.payload)) != v.as_single());
    case value::kind::double_: return differs(std::strtod(g.payload.c_str(), nullptr) != v.as_double());
    case value::kind::currency: return differs(g.payload != currency_text(v.as_currency().scaled));
    case value::kind::guid: return differs(g.payload != guid_text(v.as_guid()));
    case value::kind::datetime: {
      // mdb-reader turns the day count into milliseconds since 1970 (UTC).
      const double days = v.as_datetime().days;
      double ms = std::round((days - 25569.0) * 86400000.0);
      if (days < 0)
        ms = std::round((std::trunc(days) - 25569.0) * 86400000.0 - std::fabs(days - std::trunc(days)) * 86400000.0);
      return differs(std::fabs(std::stod(g.payload) - ms) > 1.0);
    }
    case value::kind::text: {
      // mdb-reader reads the five bytes code page 1252 leaves unassigned as U+FFFD; we read them as
      // Windows does (U+0081, U+008D, U+008F, U+0090, U+009D), so that they are written back unchanged.
      std::wstring t = v.as_text();
      for (wchar_t& c : t)
        if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) c = 0xFFFD;
      return differs(g.payload != to_utf8(t));
    }
    case value::kind::binary:
      return differs(oracle::from_hex(g.payload) != std::string(v.as_binary().begin(), v.as_binary().end()));
    default: return differs(true);
  }
}

// What differs from the cell as mdb-export prints it (text in UTF-8, whole numbers, yes/no as 0/1,
// null as \x02); other kinds are left to the mdb-reader comparison.
std::string export_difference(const value& v, const std::string& got) {
  std::string want;
  switch (v.kind_of()) {
    case value::kind::null: want = "\x02"; break;
    case value::kind::boolean: want = v.as_bool() ? "1" : "0"; break;
    case value::kind::byte: want = std::to_string(v.as_byte()); break;
    case value::kind::integer: want = std::to_string(v.as_integer()); break;
    case value::kind::long_integer: want = std::to_string(v.as_long()); break;
    case value::kind::text: {
      // mdbtools prints text as a C string (up to a NUL: Access ends its DDL query texts with one); an
      // empty text reads as null.
      const std::wstring t = v.as_text().substr(0, v.as_text().find(L'\0'));
      want = t.empty() ? "\x02" : to_utf8(t);
      break;
    }
    default: return {};
  }
  return want == got ? std::string() : describe(v) + " vs " + got;
}

// Pairs our rows with the oracle's: rows are matched cell for cell, in the same position where they
// can be (the readers agree on the order of rows except where a row was moved to another page, which
// they list at the end), else with any unmatched row. Reports each row without a match.
template <typename Theirs, typename Diff>
void expect_same_rows(const table_def& def, const std::vector<std::vector<value>>& ours, const std::vector<Theirs>& theirs,
                      const Diff& cell_difference, const char* oracle_name) {
  ASSERT_EQ(ours.size(), theirs.size()) << oracle_name;
  auto row_difference = [&](size_t r, size_t o) {
    if (theirs[o].size() != def.columns.size()) return std::string("column count");
    for (size_t c = 0; c < def.columns.size(); ++c) {
      std::string d = cell_difference(ours[r][def.columns[c].number], theirs[o][c]);
      if (!d.empty()) return to_utf8(def.columns[c].name) + ": " + d;
    }
    return std::string();
  };
  std::vector<bool> used(theirs.size(), false);
  std::vector<size_t> unmatched;
  for (size_t r = 0; r < ours.size(); ++r) {
    if (row_difference(r, r).empty()) used[r] = true;
    else unmatched.push_back(r);
  }
  for (size_t r : unmatched) {
    bool found = false;
    for (size_t o = 0; o < theirs.size() && !found; ++o)
      if (!used[o] && row_difference(r, o).empty()) used[o] = found = true;
    EXPECT_TRUE(found) << oracle_name << ": row " << r << " has no match; in place: " << row_difference(r, r);
  }
}

TEST(ReadJet3, EveryTableOfEverySampleReadsAsBothOraclesReadIt) {
  size_t cells = 0, export_skipped = 0, long_values = 0, longest_value = 0;
  std::set<value::kind> kinds;
  for (const char* name : kJet3Samples) {
    SCOPED_TRACE(name);
    const std::string path = sample_path(name);
    auto db = database_reader::open(path);
    EXPECT_EQ(db->fmt().gen, generation::jet3);
    EXPECT_EQ(db->header().code_page, 1252);
    // System tables included: their long values (property blobs, Access's modules) come from LVAL pages.
    const auto names = db->table_names(true);
    std::vector<std::string> utf8_names;
    for (const auto& n : names) utf8_names.push_back(to_utf8(n));
    const auto dump = oracle::mdb_reader_dump(path, utf8_names);
    ASSERT_EQ(names.size(), dump.size());
    ASSERT_GT(names.size(), db->table_names().size());
    for (size_t t = 0; t < names.size(); ++t) {
      auto found = std::find_if(dump.begin(), dump.end(),
                                [&](const oracle::reader_table& d) { return d.name == to_utf8(names[t]); });
      ASSERT_NE(found, dump.end()) << to_utf8(names[t]);
      const oracle::reader_table& theirs = *found;
      SCOPED_TRACE(theirs.name);
      const table_def def = db->table(names[t]);
      EXPECT_EQ(def.row_count, uint32_t(theirs.row_count));
      ASSERT_EQ(def.columns.size(), theirs.columns.size());
      const auto rows = db->read_all(names[t]);
      ASSERT_EQ(rows.size(), theirs.rows.size());
      // mdb-export's output is split at control characters, which the text tables of testIndexCodesV1997
      // hold (every byte value): those tables are compared with mdb-reader only.
      bool separators = false;
      for (const auto& row : rows) {
        for (const value& v : row) {
          if (v.kind_of() == value::kind::text && v.as_text().find_first_of(L"\x1e\x1f\x02") != std::wstring::npos) {
            separators = true;
          }
        }
      }
      if (separators) ++export_skipped;
      const auto exported = separators ? std::vector<std::vector<std::string>>() : oracle::mdb_export(path, theirs.name);
      for (size_t c = 0; c < def.columns.size(); ++c) ASSERT_EQ(to_utf8(def.columns[c].name), theirs.columns[c].name);
      expect_same_rows(def, rows, theirs.rows, reader_difference, "mdb-reader");
      if (!separators) expect_same_rows(def, rows, exported, export_difference, "mdb-export");
      for (const auto& row : rows) {
        for (const column_def& col : def.columns) {
          const value& v = row[col.number];
          kinds.insert(v.kind_of());
          ++cells;
          if (is_long_value_type(col.type) && !v.is_null()) {
            const size_t n = v.kind_of() == value::kind::text ? v.as_text().size() : v.as_binary().size();
            if (n > db->fmt().lv_inline_max) ++long_values;
            longest_value = std::max(longest_value, n);
          }
        }
      }
    }
  }
  EXPECT_GE(cells, 4500u) << cells;
  EXPECT_GE(long_values, 10u);
  EXPECT_GT(longest_value, format::jet3().lv_single_max);  // chained over several LVAL rows
  EXPECT_EQ(export_skipped, 4u);  // two text tables of testIndexCodesV1997 and their descending twins
  for (value::kind k : {value::kind::null, value::kind::boolean, value::kind::byte, value::kind::integer,
                        value::kind::long_integer, value::kind::single, value::kind::double_, value::kind::currency,
                        value::kind::datetime, value::kind::guid, value::kind::text})
    EXPECT_TRUE(kinds.count(k)) << int(k);
}

// Text outside ASCII comes from code page 1252: testIndexCodesV1997 holds the bytes 0x01-0xFF.
TEST(ReadJet3, TextIsReadFromTheDatabaseCodePage) {
  auto db = database_reader::open(sample_path("jackcess/testIndexCodesV1997.mdb"));
  std::set<wchar_t> seen;
  std::vector<value> row;
  for (const std::wstring& name : db->table_names()) {
    auto cursor = db->rows(db->table(name));
    while (cursor.next(row))
      for (const value& v : row)
        if (v.kind_of() == value::kind::text) seen.insert(v.as_text().begin(), v.as_text().end());
  }
  for (wchar_t c : {L'\u00e9', L'\u00df', L'\u00ff', L'\u20ac', L'\u2122', L'\u0152', L'\u0178'})
    EXPECT_TRUE(seen.count(c)) << int(c);
  for (wchar_t c : seen) EXPECT_TRUE(c < 0x80 || encode_text(db->fmt(), std::wstring(1, c), false)[0] != '?') << int(c);
}

// Every index of every table: the walk yields each live row once (ignore-nulls indexes skip the rows
// whose indexed columns are all null), in ascending key order, with the key encoded from that row.
TEST(ReadJet3, EveryIndexWalksEveryRowInKeyOrder) {
  size_t indexes = 0, entries = 0;
  for (const char* name : kJet3Samples) {
    SCOPED_TRACE(name);
    auto db = database_reader::open(sample_path(name));
    for (const std::wstring& table : db->table_names(true)) {
      SCOPED_TRACE(to_utf8(table));
      const table_def def = db->table(table);
      std::map<uint32_t, std::vector<value>> rows;  // by row pointer
      auto cursor = db->rows(def);
      std::vector<value> row;
      while (cursor.next(row)) rows[cursor.row_pointer()] = row;
      for (size_t i = 0; i < def.indexes.size(); ++i) {
        SCOPED_TRACE("index " + std::to_string(i));
        const index_def& ix = def.indexes[i];
        const std::vector<index_entry> walked = read_index_entries(db->fmt(), db->pages(), ix.root_page);
        std::set<uint32_t> expected;
        for (const auto& [rp, values] : rows) {
          if (has_index_entry(def, ix, values)) expected.insert(rp);
        }
        std::set<uint32_t> found;
        for (size_t k = 0; k < walked.size(); ++k) {
          const index_entry& e = walked[k];
          if (k > 0) {
            EXPECT_TRUE(walked[k - 1] < e) << "entry " << k;
          }
          const uint32_t rp = make_row_pointer(e.page, e.row);
          EXPECT_TRUE(found.insert(rp).second);
          ASSERT_TRUE(rows.count(rp)) << "entry " << k << " names no live row";
          EXPECT_TRUE(encode_key(db->fmt(), def, ix, rows[rp]) == e.key) << "entry " << k;
        }
        EXPECT_TRUE(found == expected);
        ++indexes;
        entries += walked.size();
      }
    }
  }
  EXPECT_GE(indexes, 130u);
  EXPECT_GE(entries, 4000u);
}

// The Access 2000 copies of the query and relationship samples hold the same objects.
TEST(ReadJet3, QueriesAndRelationshipsEqualThoseOfTheAccess2000Copies) {
  auto q97 = list_queries(*database_reader::open(sample_path("jackcess/queryTestV1997.mdb")));
  auto q2000 = list_queries(*database_reader::open(sample_path("jackcess/queryTestV2000.mdb")));
  auto by_name = [](const stored_query& a, const stored_query& b) { return a.name < b.name; };
  std::sort(q97.begin(), q97.end(), by_name);
  std::sort(q2000.begin(), q2000.end(), by_name);
  ASSERT_EQ(q97.size(), 9u);
  ASSERT_EQ(q97.size(), q2000.size());
  std::set<query_kind> kinds;
  for (size_t i = 0; i < q97.size(); ++i) {
    SCOPED_TRACE(to_utf8(q97[i].name));
    EXPECT_EQ(q97[i].name, q2000[i].name);
    EXPECT_EQ(q97[i].kind, q2000[i].kind);
    EXPECT_EQ(q97[i].flags, q2000[i].flags);
    EXPECT_EQ(to_utf8(q97[i].sql), to_utf8(q2000[i].sql));
    EXPECT_FALSE(q97[i].sql.empty());
    kinds.insert(q97[i].kind);
  }
  EXPECT_EQ(kinds.size(), 9u);

  auto r97 = list_relationships(*database_reader::open(sample_path("jackcess/indexTestV1997.mdb")));
  auto r2000 = list_relationships(*database_reader::open(sample_path("jackcess/indexTestV2000.mdb")));
  // Access 2000 adds the relationships of its navigation pane tables.
  std::erase_if(r2000, [](const relationship& r) { return r.table.rfind(L"MSys", 0) == 0; });
  auto rel_by_name = [](const relationship& a, const relationship& b) { return a.name < b.name; };
  std::sort(r97.begin(), r97.end(), rel_by_name);
  std::sort(r2000.begin(), r2000.end(), rel_by_name);
  ASSERT_EQ(r97.size(), 2u);
  ASSERT_EQ(r97.size(), r2000.size());
  for (size_t i = 0; i < r97.size(); ++i) {
    EXPECT_EQ(r97[i].name, r2000[i].name);
    EXPECT_EQ(r97[i].grbit, r2000[i].grbit);
    EXPECT_EQ(r97[i].table, r2000[i].table);
    EXPECT_EQ(r97[i].columns, r2000[i].columns);
    EXPECT_EQ(r97[i].referenced_table, r2000[i].referenced_table);
    EXPECT_EQ(r97[i].referenced_columns, r2000[i].referenced_columns);
    EXPECT_TRUE(r97[i].enforced());
  }
  // The foreign-key logical indexes of both sides, as in the Access 2000 copy.
  auto db97 = database_reader::open(sample_path("jackcess/indexTestV1997.mdb"));
  auto db2000 = database_reader::open(sample_path("jackcess/indexTestV2000.mdb"));
  for (const wchar_t* table : {L"Table1", L"Table2", L"Table3"}) {
    const table_def a = db97->table(table), b = db2000->table(table);
    ASSERT_EQ(a.logical_indexes.size(), b.logical_indexes.size());
    for (size_t i = 0; i < a.logical_indexes.size(); ++i) {
      EXPECT_EQ(a.logical_indexes[i].name, b.logical_indexes[i].name);
      EXPECT_EQ(a.logical_indexes[i].type, b.logical_indexes[i].type);
      EXPECT_EQ(a.logical_indexes[i].relationship_role, b.logical_indexes[i].relationship_role);
      EXPECT_EQ(a.logical_indexes[i].cascade_update, b.logical_indexes[i].cascade_update);
      EXPECT_EQ(a.logical_indexes[i].cascade_delete, b.logical_indexes[i].cascade_delete);
    }
  }
}

// Table and column properties ("KKD" blobs in the catalog) decode with their names and values.
TEST(ReadJet3, PropertiesOfTheCatalogDecode) {
  int blobs = 0;
  for (const char* name : kJet3Samples) {
    auto db = database_reader::open(sample_path(name));
    for (const catalog_entry& e : db->objects()) {
      if (e.lv_prop.empty()) continue;
      SCOPED_TRACE(to_utf8(e.name));
      property_blob blob = decode_properties(db->fmt(), e.lv_prop);
      ++blobs;
      for (const property_set& s : blob.columns)
        for (const property& p : s.items) EXPECT_FALSE(p.name.empty());
    }
  }
  EXPECT_GE(blobs, 6);
}

// The strict verifier's second reading finds nothing: the samples carry no stale counters.
TEST(ReadJet3, TheVerifierFindsEverySampleSound) {
  for (const char* name : kJet3Samples) {
    verify_report r = verify_file(sample_path(name));
    EXPECT_TRUE(r.ok()) << name << "\n" << r.text();
    EXPECT_TRUE(r.notes.empty()) << name << "\n" << r.text();
  }
}

// An existing Jet 3 file opens through the engine for reading, with its catalog, queries and
// relationships; a file whose text is in a code page we have no table for is refused by name.
TEST(ReadJet3, ExistingFileOpensForReadingAndAnotherCodePageIsRefused) {
  open_options ro;
  ro.read_only = true;
  auto db = database::open(sample_path("jackcess/indexTestV1997.mdb"), ro);
  EXPECT_EQ(db->gen(), generation::jet3);
  EXPECT_EQ(db->relationships().size(), 2u);
  EXPECT_EQ(db->reader().read_all(L"Table1").size(), 4u);
  db->close();

  scratch_folder s;
  const std::string path = s.file("cp1251.mdb");
  std::string bytes = slurp(sample_path("jackcess/delTestV1997.mdb"));
  // The code page lies in the masked header region: change it through the mask.
  const format& f = format::jet3();
  const auto ks = header_key_stream(f.header_mask_length);
  const size_t at = f.header_code_page_offset;
  bytes[at] = char(uint8_t(0xE3) ^ ks[at - f.header_mask_offset]);  // 1251 = E3 04
  std::ofstream(path, std::ios::binary) << bytes;
  std::string text;
  try {
    database_reader::open(path);
    ADD_FAILURE();
  } catch (const error& e) {
    EXPECT_EQ(e.number(), dao_error::unrecognized_format);
    EXPECT_NE(std::string(e.what()).find("code page 1251"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace jet
