// The Jet 3 descriptor against the Access 97 samples: every offset it names is where the samples keep
// that field, and the block sizes add up to each table definition's stored length.
#include "platform/jet/format.h"

#include <gtest/gtest.h>

#include "platform/jet/byte_order.h"
#include "platform/jet/header.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/types.h"

namespace jet {
namespace {

const char* const kJet3Samples[] = {"testV1997.mdb",       "delTestV1997.mdb",   "indexTestV1997.mdb",
                                    "compIndexTestV1997.mdb", "queryTestV1997.mdb", "testIndexCodesV1997.mdb"};

std::string sample_bytes(const char* name) {
  return slurp(std::string(TT_TEST_DATA_DIR) + "/access-format/jackcess/" + name);
}

const uint8_t* page_of(const format& f, const std::string& file, uint32_t page) {
  return reinterpret_cast<const uint8_t*>(file.data()) + size_t(page) * f.page_size;
}

// The logical definition: the first page, then each continuation page after its header.
std::vector<uint8_t> tdef_bytes(const format& f, const std::string& file, uint32_t page) {
  const uint8_t* p = page_of(f, file, page);
  const uint32_t length = get_u32(p + f.tdef_length_offset);
  std::vector<uint8_t> d(p, p + f.page_size);
  for (uint32_t next = get_u32(p + f.tdef_next_page_offset); next != 0;) {
    const uint8_t* c = page_of(f, file, next);
    d.insert(d.end(), c + f.tdef_page_header_size, c + f.page_size);
    next = get_u32(c + f.tdef_next_page_offset);
  }
  d.resize(length);
  return d;
}

TEST(Jet3Format, HeaderFieldsSitWhereTheSamplesKeepThem) {
  const format& f = format::jet3();
  for (const char* name : kJet3Samples) {
    SCOPED_TRACE(name);
    const std::string file = sample_bytes(name);
    ASSERT_EQ(file.size() % f.page_size, 0u);
    std::vector<uint8_t> p(file.begin(), file.begin() + f.page_size);
    EXPECT_EQ(p[f.header_version_offset], f.version_byte);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&p[f.header_magic_offset])), f.header_magic);
    const auto ks = header_key_stream(f.header_mask_length);
    for (uint32_t i = 0; i < f.header_mask_length; ++i) p[f.header_mask_offset + i] ^= ks[i];
    // The constant start of the decoded region, and the fields after it.
    EXPECT_EQ(p[0x18 + 4], 0x01);
    EXPECT_EQ(p[0x18 + 20], 0x05);
    EXPECT_EQ(get_u16(&p[f.header_code_page_offset]), f.code_page);
    EXPECT_EQ(get_u16(&p[f.header_sort_order_offset]), f.sort_order_id);
    EXPECT_EQ(get_u32(&p[f.header_db_key_offset]), 0u);
    for (uint32_t i = 0; i < f.header_password_length; ++i) EXPECT_EQ(p[f.header_password_offset + i], 0);
    // Bytes 0x96 and 0x97 are outside the 126-byte mask: left as stored (zero).
    EXPECT_EQ(file[0x96], 0);
    EXPECT_EQ(file[0x97], 0);
  }
}

// Walks the whole definition of every table in the catalog's first TDEF pages with nothing but the
// descriptor: the walk must end exactly at the long-value list's end marker, at the stored length.
TEST(Jet3Format, TableDefinitionBlocksAddUpToTheStoredLength) {
  const format& f = format::jet3();
  for (const char* name : kJet3Samples) {
    SCOPED_TRACE(name);
    const std::string file = sample_bytes(name);
    int tables = 0;
    for (uint32_t page = 1; page < file.size() / f.page_size; ++page) {
      const uint8_t* p = page_of(f, file, page);
      if (p[0] != page_type::tdef || p[1] != 0x01) continue;
      if (page != 2 && get_u32(p + f.tdef_length_offset) < f.tdef_header_size) continue;  // continuation
      if (p[f.tdef_table_type_offset] != table_type::system && p[f.tdef_table_type_offset] != table_type::user) continue;
      SCOPED_TRACE(page);
      ++tables;
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(p) + 2, 2), f.tdef_page_tag);
      const std::vector<uint8_t> d = tdef_bytes(f, file, page);
      const uint32_t ncols = get_u16(&d[f.tdef_columns_offset]);
      const uint32_t nvar = get_u16(&d[f.tdef_var_columns_offset]);
      const uint32_t nlogical = get_u32(&d[f.tdef_logical_index_count_offset]);
      const uint32_t nphysical = get_u32(&d[f.tdef_physical_index_count_offset]);
      ASSERT_LE(ncols, f.max_columns);
      size_t at = f.tdef_header_size + nphysical * f.index_stats_size;
      uint32_t var_seen = 0, lv_columns = 0;
      for (uint32_t i = 0; i < ncols; ++i, at += f.column_block_size) {
        const uint8_t* b = &d[at];
        const uint8_t flags = b[f.column_flags_offset];
        if (!(flags & column_flag::fixed)) ++var_seen;
        if (b[f.column_type_offset] == uint8_t(column_type::memo) || b[f.column_type_offset] == uint8_t(column_type::ole))
          ++lv_columns;
        EXPECT_LT(get_u16(b + f.column_number_offset), get_u16(&d[f.tdef_max_columns_offset]));
        EXPECT_EQ(get_u16(b + f.column_sort_order_offset), f.sort_order_id);
        EXPECT_EQ(get_u16(b + f.column_code_page_offset), f.code_page);
        EXPECT_EQ(b[f.column_jet3_one_offset + 1], 0);
        if (b[f.column_type_offset] == uint8_t(column_type::text)) {
          EXPECT_LE(get_u16(b + f.column_length_offset), f.max_text_chars * f.text_bytes_per_char);
        }
      }
      EXPECT_EQ(var_seen, nvar);
      for (uint32_t i = 0; i < ncols; ++i) {
        const uint32_t n = d[at];  // one-byte length, then code-page bytes
        ASSERT_EQ(f.name_length_size, 1u);
        EXPECT_GE(n, 1u);
        EXPECT_LE(n, f.max_name_length);
        at += f.name_length_size + n;
      }
      for (uint32_t i = 0; i < nphysical; ++i, at += f.physical_index_block_size) {
        const uint8_t* b = &d[at];
        const uint32_t root = get_u32(b + f.physical_index_root_offset);
        const uint8_t* r = page_of(f, file, root);
        EXPECT_TRUE(r[0] == page_type::index_leaf || r[0] == page_type::index_node);
        EXPECT_EQ(get_u32(r + f.index_owner_offset), page);
        EXPECT_EQ(b[f.physical_index_flags_offset] & index_flag::jet4_always, 0);
      }
      for (uint32_t i = 0; i < nlogical; ++i, at += f.logical_index_block_size)
        EXPECT_LT(get_u32(&d[at + f.logical_index_physical_offset]), nphysical);
      for (uint32_t i = 0; i < nlogical; ++i) at += f.name_length_size + d[at];
      at += lv_columns * 10;
      ASSERT_EQ(at + 2, d.size());
      EXPECT_EQ(get_u16(&d[at]), tdef_const::end_marker);
    }
    EXPECT_GE(tables, 4);
  }
}

// Data pages: the row count and the offset table where the descriptor says, rows ending at the page end.
TEST(Jet3Format, DataPageRowTableAsTheSamplesHoldIt) {
  const format& f = format::jet3();
  const std::string file = sample_bytes("testV1997.mdb");
  int pages = 0;
  for (uint32_t page = 1; page < file.size() / f.page_size; ++page) {
    const uint8_t* p = page_of(f, file, page);
    if (p[0] != page_type::data || p[1] != 0x01) continue;
    const uint32_t rows = get_u16(p + f.data_row_count_offset);
    if (rows == 0) continue;
    ++pages;
    uint32_t lowest = f.page_size;
    for (uint32_t r = 0; r < rows; ++r) lowest = std::min<uint32_t>(lowest, get_u16(p + f.data_row_table_offset + 2 * r) & 0x1FFF);
    EXPECT_EQ(get_u16(p + f.data_free_space_offset), lowest - (f.data_row_table_offset + 2 * rows)) << page;
  }
  EXPECT_GT(pages, 5);
}

TEST(Jet3Format, GenerationValuesAndLimits) {
  const format& f = format::jet3();
  EXPECT_EQ(f.gen, generation::jet3);
  EXPECT_FALSE(f.unicode_text);
  EXPECT_EQ(f.text_sort, sort_order_kind::general_97);
  EXPECT_EQ(f.max_row_size, 2012u);
  EXPECT_EQ(f.max_file_size, uint64_t(1) << 30);
  EXPECT_EQ(f.index_first_entry_offset, f.index_mask_offset + f.index_mask_size);
  EXPECT_EQ(f.lv_chain_piece_max + long_value_layout::chain_link_size, f.lv_single_max);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.property_magic.data())), "KKD");
  EXPECT_FALSE(format::has(f.column_ext_flags_offset));
  EXPECT_FALSE(format::has(f.header_create_date_offset));
  EXPECT_TRUE(format::has(format::jet4().column_ext_flags_offset));
  EXPECT_EQ(format::jet4().header_sort_version_offset, format::jet4().header_sort_order_offset + 3);
  // A Jet 3 header has no sort version: any second argument gives the one descriptor.
  EXPECT_EQ(format::for_version_byte(0), &format::jet3());
}

}  // namespace
}  // namespace jet
