// A new Access 95/97 (Jet 3) file against an Access 97 database (delTestV1997.mdb): the same system
// table definitions byte for byte, apart from what depends on the rows and the page layout (row
// counts, index statistics, usage maps, index roots) and the bytes the engine leaves as junk; the same
// catalog rows and permissions for everything the engine itself makes (Access adds its own
// containers, tables and properties when it first opens a file; those are left out).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/jet/byte_order.h"
#include "platform/jet/database.h"
#include "platform/jet/format.h"
#include "platform/jet/new_file.h"
#include "platform/jet/reader_oracles.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/verifier.h"

namespace jet {
namespace {

const std::string kAccess97 = std::string(TT_TEST_DATA_DIR) + "/access-format/jackcess/delTestV1997.mdb";

// The definition on a single TDEF page, with the fields that depend on rows and layout set to zero.
std::vector<uint8_t> comparable_tdef(const format& f, const std::string& file, uint32_t page) {
  std::string all = slurp(file);
  std::vector<uint8_t> d(all.begin() + long(page) * f.page_size, all.begin() + long(page + 1) * f.page_size);
  EXPECT_EQ(get_u32(d.data() + f.tdef_next_page_offset), 0u);
  d.resize(get_u32(d.data() + f.tdef_length_offset));
  auto zero = [&](size_t at, size_t n) { std::fill(d.begin() + long(at), d.begin() + long(at + n), 0); };
  zero(f.tdef_row_count_offset, 4);
  zero(f.tdef_owned_map_offset, 4);
  zero(f.tdef_free_map_offset, 4);
  const uint32_t ncols = get_u16(d.data() + f.tdef_columns_offset);
  const uint32_t nphysical = get_u32(d.data() + f.tdef_physical_index_count_offset);
  const uint32_t nlogical = get_u32(d.data() + f.tdef_logical_index_count_offset);
  size_t at = f.tdef_header_size;
  zero(at, nphysical * f.index_stats_size);
  at += nphysical * f.index_stats_size;
  for (uint32_t i = 0; i < ncols; ++i, at += f.column_block_size)
    if ((d[at + f.column_flags_offset] & column_flag::fixed) == 0) zero(at + f.column_fixed_offset_offset, 2);
  for (uint32_t i = 0; i < ncols; ++i) at += f.name_length_size + d[at];
  for (uint32_t i = 0; i < nphysical; ++i, at += f.physical_index_block_size) {
    for (uint32_t s = 0; s < tdef_const::index_slots; ++s) {
      const size_t slot = at + f.physical_index_columns_offset + tdef_const::index_slot_size * s;
      if (get_u16(d.data() + slot) == tdef_const::unused_slot) d[slot + 2] = 0;
    }
    zero(at + f.physical_index_map_offset, 4);
    zero(at + f.physical_index_root_offset, 4);
  }
  at += nlogical * f.logical_index_block_size;
  for (uint32_t i = 0; i < nlogical; ++i) at += f.name_length_size + d[at];
  while (at + 2 <= d.size() && get_u16(d.data() + at) != tdef_const::end_marker) {
    zero(at + 2, 8);
    at += 10;
  }
  return d;
}

TEST(Jet3Blank, SystemTablesAreDefinedAsAccess97DefinesThem) {
  scratch_folder s;
  const std::string path = s.file("blank.mdb");
  new_file::create(path, format::jet3(), {})->close();
  const format& f = format::jet3();
  for (uint32_t page = 2; page <= 5; ++page) {
    SCOPED_TRACE("TDEF page " + std::to_string(page));
    EXPECT_EQ(comparable_tdef(f, path, page), comparable_tdef(f, kAccess97, page));
  }
}

// Catalog rows by name (Id, ParentId, Name, Type, Owner, Flags) and permission rows in file order.
std::map<std::string, std::vector<std::string>> catalog_rows(const std::string& file) {
  std::map<std::string, std::vector<std::string>> out;
  for (const auto& r : oracle::mdb_export(file, "MSysObjects")) out[r[2]] = {r[0], r[1], r[2], r[3], r[6], r[7]};
  return out;
}

TEST(Jet3Blank, CatalogRowsAndPermissionsAreThoseOfAccess97) {
  scratch_folder s;
  const std::string path = s.file("blank.mdb");
  new_file::create(path, format::jet3(), {})->close();
  verify_report r = verify_file(path);
  EXPECT_TRUE(r.ok()) << r.text();
  EXPECT_TRUE(r.notes.empty()) << r.text();
  auto ours = catalog_rows(path), access = catalog_rows(kAccess97);
  EXPECT_EQ(ours.size(), 8u);
  for (const auto& [name, row] : ours) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(access.count(name));
    EXPECT_EQ(row, access[name]);
  }
  // The permissions of the engine's objects, in Access 97's order; Access's own objects follow them.
  auto our_aces = oracle::mdb_export(path, "MSysACEs");
  auto access_aces = oracle::mdb_export(kAccess97, "MSysACEs");
  ASSERT_EQ(our_aces.size(), 23u);
  ASSERT_GT(access_aces.size(), our_aces.size());
  for (size_t i = 0; i < our_aces.size(); ++i) EXPECT_EQ(our_aces[i], access_aces[i]) << "row " << i;
}

// A new table gets the owner and the permissions Access 97 gave the table it made in the same file.
TEST(Jet3Blank, ANewTableHasTheOwnerAndPermissionsAccess97Gives) {
  scratch_folder s;
  const std::string path = s.file("table.mdb");
  {
    auto db = new_file::create(path, format::jet3(), {});
    db->add_table(L"Table", {{.name = L"a", .type = column_type::text, .size = 50}}, {});
    db->close();
  }
  auto ours = catalog_rows(path), access = catalog_rows(kAccess97);
  ASSERT_TRUE(ours.count("Table"));
  EXPECT_EQ(ours["Table"][4], access["Table"][4]);  // owner
  EXPECT_EQ(ours["Table"][5], "0");                 // flags
  auto aces_of = [](const std::string& file, const std::string& id) {
    std::vector<std::vector<std::string>> out;
    for (auto& r : oracle::mdb_export(file, "MSysACEs"))
      if (r[0] == id) out.push_back({r[1], r[2], r[3]});
    return out;
  };
  auto our_aces = aces_of(path, ours["Table"][0]);
  EXPECT_EQ(our_aces.size(), 3u);
  EXPECT_EQ(our_aces, aces_of(kAccess97, access["Table"][0]));
}

}  // namespace
}  // namespace jet
