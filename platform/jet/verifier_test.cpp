// The verifier finds each kind of damage it promises to find.
#include "platform/jet/verifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/jet/byte_order.h"
#include "platform/jet/catalog.h"
#include "platform/jet/database.h"
#include "platform/jet/index_scan.h"
#include "platform/jet/new_file.h"
#include "platform/jet/reader.h"
#include "platform/jet/test_scratch.h"

namespace jet {
namespace {

class VerifierTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.file("v.mdb");
    auto db = database::create(path_);
    size_t t = db->add_table(L"T",
                             {{.name = L"Id", .type = column_type::long_integer, .autonumber = true},
                              {.name = L"Name", .type = column_type::text, .size = 20},
                              {.name = L"Memo", .type = column_type::memo, .allow_zero_length = true}},
                             {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true},
                              {.name = L"ByName", .fields = {{L"Name"}}}});
    for (int i = 0; i < 300; ++i)
      db->append_row(t, {value(), value::text(L"name " + std::to_wstring(i)), value::text(std::wstring(i * 20, L'm'))});
    db->close();
    auto r = database_reader::open(path_);
    def_ = r->table(L"T");
    data_page_ = r->data_pages(def_).front();
  }

  // Changes bytes of the file in place.
  void poke(uint64_t offset, std::vector<uint8_t> bytes) {
    std::fstream io(path_, std::ios::in | std::ios::out | std::ios::binary);
    io.seekp(std::streamoff(offset));
    io.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  std::vector<uint8_t> peek(uint64_t offset, size_t n) {
    std::ifstream in(path_, std::ios::binary);
    in.seekg(std::streamoff(offset));
    std::vector<uint8_t> b(n);
    in.read(reinterpret_cast<char*>(b.data()), std::streamsize(n));
    return b;
  }
  // A finding of the check itself, not of a verification that stopped on an error nobody caught.
  bool mentions(const verify_report& r, const std::string& what) {
    for (const auto& p : r.problems)
      if (p.find(what) != std::string::npos && p.rfind("verification stopped", 0) != 0) return true;
    return false;
  }
  void poke_u32(uint64_t offset, uint32_t v) { poke(offset, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); }
  uint32_t peek_u32(uint64_t offset) { return get_u32(peek(offset, 4).data()); }
  uint64_t page_at(uint32_t page) const { return uint64_t(page) * f_.page_size; }
  // Where the row at a row pointer starts in the file.
  uint64_t row_at(uint32_t rp) {
    uint32_t slot = get_u16(peek(page_at(row_pointer_page(rp)) + f_.data_row_table_offset + 2 * row_pointer_row(rp), 2).data());
    return page_at(row_pointer_page(rp)) + (slot & 0x1FFF);
  }
  // Where physical index `i`'s block starts on the (one-page) definition of T.
  uint64_t index_block_at(size_t i) {
    uint64_t at = page_at(def_.tdef_page) + f_.tdef_header_size + def_.indexes.size() * f_.index_stats_size +
                  def_.columns.size() * f_.column_block_size;
    for (size_t c = 0; c < def_.columns.size(); ++c) at += f_.name_length_size + get_u16(peek(at, 2).data());
    return at + i * f_.physical_index_block_size;
  }
  // Where the Id of the catalog row naming `id` lies.
  uint64_t catalog_id_at(uint32_t id) {
    auto r = database_reader::open(path_);
    table_def objects = r->table_at(msysobjects_tdef_page);
    const column_def* id_column = nullptr;
    for (const auto& c : objects.columns)
      if (c.name == L"Id") id_column = &c;
    auto cursor = r->rows(objects);
    std::vector<value> row;
    while (cursor.next(row))
      if (row[id_column->number].as_long() == int32_t(id))
        return row_at(cursor.row_pointer()) + f_.row_count_field_size + id_column->fixed_offset;
    ADD_FAILURE() << "no catalog row names " << id;
    return 0;
  }
  // The entries of an index's root leaf, with the file offset of each.
  std::vector<std::pair<index_entry, uint64_t>> root_leaf_entries(size_t i) {
    auto r = database_reader::open(path_);
    uint64_t at = page_at(def_.indexes[i].root_page) + f_.index_first_entry_offset;
    std::vector<std::pair<index_entry, uint64_t>> out;
    for (const index_entry& e : read_index_entries(f_, r->pages(), def_.indexes[i].root_page)) {
      out.push_back({e, at});
      at += e.key.size() + 4;
    }
    return out;
  }

  const format& f_ = format::jet4();
  scratch_folder dir_;
  std::string path_;
  table_def def_;
  uint32_t data_page_ = 0;
};

TEST_F(VerifierTest, OurFileIsSound) {
  auto r = verify_file(path_);
  EXPECT_TRUE(r.ok()) << r.text();
  EXPECT_TRUE(r.notes.empty()) << r.text();
}

TEST_F(VerifierTest, FindsAUsedPageMarkedFree) {
  // Page 1 row 0 is the global map: set the bit of the table's first data page.
  auto page1 = peek(f_.page_size, f_.page_size);
  uint32_t row0 = get_u16(page1.data() + f_.data_row_table_offset);
  uint64_t at = f_.page_size + row0 + 5 + data_page_ / 8;
  poke(at, {uint8_t(peek(at, 1)[0] | (1u << (data_page_ % 8)))});
  EXPECT_TRUE(mentions(verify_file(path_), "marked free"));
}

TEST_F(VerifierTest, FindsAWrongIndexKey) {
  uint64_t leaf = uint64_t(def_.indexes[1].root_page) * f_.page_size;
  auto bytes = peek(leaf, 1);
  ASSERT_TRUE(bytes[0] == page_type::index_leaf || bytes[0] == page_type::index_node);
  // Change the first key byte after the start byte of the first entry on the root page.
  uint64_t at = leaf + f_.index_first_entry_offset + 1;
  poke(at, {uint8_t(peek(at, 1)[0] ^ 0x01)});
  auto r = verify_file(path_);
  EXPECT_FALSE(r.ok());
}

// Each check, alone: the damage it is there for is reported in its own words, so no check can go
// missing unnoticed behind another that happens to catch the same file.
TEST_F(VerifierTest, FindsAKeyChangedInPlace) {
  // The last key of the primary key grows by one: still in order, but no longer its row's key.
  auto entries = root_leaf_entries(0);
  ASSERT_EQ(entries.size(), 300u);
  const auto& [last, at] = entries.back();
  const uint64_t byte = at + last.key.size() - 1;
  poke(byte, {uint8_t(peek(byte, 1)[0] + 1)});
  auto r = verify_file(path_);
  ASSERT_EQ(r.problems.size(), 1u) << r.text();
  EXPECT_TRUE(mentions(r, "index 'PrimaryKey': the entry of row " + std::to_string(last.page) + ":" +
                              std::to_string(last.row) + " does not match the key re-encoded from the row"))
      << r.text();
}

TEST_F(VerifierTest, FindsADuplicateKeyInAUniqueIndex) {
  auto entries = root_leaf_entries(0);
  ASSERT_TRUE(def_.indexes[0].is_unique());
  ASSERT_EQ(entries[0].first.key.size(), entries[1].first.key.size());
  poke(entries[1].second, entries[0].first.key);  // still ascending: the row pointer orders them
  auto r = verify_file(path_);
  EXPECT_TRUE(mentions(r, "index 'PrimaryKey': unique index holds a duplicate key")) << r.text();
}

TEST_F(VerifierTest, FindsIndexEntriesForRowsThatAreGone) {
  // Row 0 of the first data page marked deleted: both indexes still hold its entry.
  const uint64_t slot = page_at(data_page_) + f_.data_row_table_offset;
  poke(slot, {peek(slot, 1)[0], uint8_t(peek(slot + 1, 1)[0] | 0x80)});
  auto r = verify_file(path_);
  EXPECT_TRUE(mentions(r, "index 'ByName': an entry names row " + std::to_string(data_page_) +
                              ":0, which holds no row with a key in this index"))
      << r.text();
}

TEST_F(VerifierTest, FindsAnIndexUsageMapMissingAPageAndDamageInTheTree) {
  const uint32_t root = def_.indexes[0].root_page;
  const uint64_t map = row_at(def_.indexes[0].usage_map);
  const uint32_t start = peek_u32(map + 1);
  poke(map + 5 + (root - start) / 8, {uint8_t(peek(map + 5 + (root - start) / 8, 1)[0] & ~(1u << ((root - start) % 8)))});
  EXPECT_TRUE(mentions(verify_file(path_), "index 'PrimaryKey': usage map does not list exactly the pages of the tree"));
  poke_u32(page_at(root) + 4, 7);  // the tree's owner
  EXPECT_TRUE(mentions(verify_file(path_), "index 'PrimaryKey': index page " + std::to_string(root) + ": owned by page 7"));
}

TEST_F(VerifierTest, FindsTwoIndexesOnOneTree) {
  poke_u32(index_block_at(1) + f_.physical_index_root_offset, def_.indexes[0].root_page);
  EXPECT_TRUE(mentions(verify_file(path_), "page " + std::to_string(def_.indexes[0].root_page) + " is used by both"));
}

TEST_F(VerifierTest, FindsDamagedUsageMaps) {
  const std::string original = slurp(path_);
  auto reset = [&] { std::ofstream(path_, std::ios::binary | std::ios::trunc) << original; };
  const uint64_t map = row_at(def_.owned_map);
  poke(map, {7});
  EXPECT_TRUE(mentions(verify_file(path_), "table 'T': bad usage map"));
  reset();
  poke_u32(page_at(row_pointer_page(def_.owned_map)) + f_.data_owner_offset, 9);
  EXPECT_TRUE(mentions(verify_file(path_), "table 'T': its usage map lies on a page not owned by 0"));
  reset();
  poke_u32(page_at(def_.tdef_page) + f_.tdef_owned_map_offset, 0x7FFF00);
  auto r = verify_file(path_);
  EXPECT_TRUE(mentions(r, "usage-map rows uses page 32767 beyond the end of the file")) << r.text();
  EXPECT_TRUE(mentions(r, "table 'T': cannot read its usage map")) << r.text();
  reset();
  poke_u32(map + 1, 0x100000);  // start page far beyond the file
  EXPECT_TRUE(mentions(verify_file(path_), "table 'T': owned map names page " + std::to_string(0x100000 + data_page_) +
                                               " beyond the file"));
}

TEST_F(VerifierTest, FindsMapsListingPagesOfAnotherKind) {
  const std::string original = slurp(path_);
  auto reset = [&] { std::ofstream(path_, std::ios::binary | std::ios::trunc) << original; };
  const column_def& memo = def_.columns[2];
  std::vector<uint32_t> lval;
  {
    auto r = database_reader::open(path_);
    lval = read_usage_map(f_, r->row_bytes(memo.lv_owned_map), r->pages());
  }
  // The memo's pages sit in a reference map (its first bitmap page covers page 0 on), the table's
  // maps are inline from page 0.
  ASSERT_GT(lval.size(), 10u);
  const uint64_t lv_map = row_at(memo.lv_owned_map);
  ASSERT_EQ(peek(lv_map, 1)[0], usage_map_layout::reference_map);
  const uint64_t lv_bits = page_at(peek_u32(lv_map + 1)) + 4;
  auto set_bit = [&](uint64_t bits, uint32_t page) {
    poke(bits + page / 8, {uint8_t(peek(bits + page / 8, 1)[0] | (1u << (page % 8)))});
  };
  ASSERT_EQ(peek_u32(row_at(def_.owned_map) + 1), 0u);
  set_bit(row_at(def_.owned_map) + 5, lval.front());
  EXPECT_TRUE(mentions(verify_file(path_), "table 'T': owned map lists page " + std::to_string(lval.front()) +
                                               ", which is not one of its data pages"));
  reset();
  set_bit(lv_bits, data_page_);
  EXPECT_TRUE(mentions(verify_file(path_), "table 'T' column 'Memo': long-value map lists page " +
                                               std::to_string(data_page_) + ", which is not an LVAL page"));
  reset();
  ASSERT_NE(memo.lv_free_map, 0u);
  ASSERT_EQ(peek_u32(row_at(memo.lv_free_map) + 1), 0u);
  set_bit(row_at(memo.lv_free_map) + 5, def_.tdef_page);
  EXPECT_TRUE(mentions(verify_file(path_), "column 'Memo': long-value free map lists page " +
                                               std::to_string(def_.tdef_page) + " it does not own"));
  reset();
  // The long-value pages dropped from their column's map: rows point at pages nobody owns.
  poke(lv_bits, std::vector<uint8_t>(f_.page_size - 4, 0));
  auto r = verify_file(path_);
  EXPECT_TRUE(mentions(r, "long value of 'Memo' on page " + std::to_string(lval.front()) + ", which the column does not own"));
  EXPECT_TRUE(mentions(r, "page " + std::to_string(lval.front()) + " is neither free nor owned by any object"));
  EXPECT_TRUE(mentions(r, std::to_string(lval.size() - 10) + " more pages neither free nor owned"));
}

TEST_F(VerifierTest, FindsDamagedPagesRowsAndDefinitions) {
  const std::string original = slurp(path_);
  auto reset = [&] { std::ofstream(path_, std::ios::binary | std::ios::trunc) << original; };
  poke(page_at(data_page_) + f_.data_row_count_offset, {0xFF, 0x0F});
  EXPECT_TRUE(mentions(verify_file(path_), "page " + std::to_string(data_page_) + ": row count beyond the page"));
  reset();
  // Row 0's column count claims more columns than the table has.
  const uint64_t row = row_at(make_row_pointer(data_page_, 0));
  poke(row, {0xFF, 0x00});
  auto r = verify_file(path_);
  EXPECT_TRUE(mentions(r, "table 'T' row " + std::to_string(data_page_) + ":0: ")) << r.text();
  reset();
  poke(page_at(def_.tdef_page), {page_type::data});
  EXPECT_TRUE(mentions(verify_file(path_), "table 'T': "));
}

TEST_F(VerifierTest, FindsAWrongCatalogAndGlobalMap) {
  const std::string original = slurp(path_);
  auto reset = [&] { std::ofstream(path_, std::ios::binary | std::ios::trunc) << original; };
  poke_u32(catalog_id_at(msysaces_tdef_page), def_.tdef_page);
  auto r = verify_file(path_);
  EXPECT_TRUE(mentions(r, "two catalog rows name TDEF page " + std::to_string(def_.tdef_page))) << r.text();
  EXPECT_TRUE(mentions(r, "the catalog lacks the system table at page " + std::to_string(msysaces_tdef_page)));
  reset();
  poke_u32(catalog_id_at(def_.tdef_page), 0x7FFF00);
  EXPECT_TRUE(mentions(verify_file(path_), "table 'T' names page 8388352"));
  reset();
  poke_u32(page_at(1) + f_.data_owner_offset, 0);
  EXPECT_TRUE(mentions(verify_file(path_), "page 1 is not the global usage map"));
  reset();
  poke(page_at(1) + f_.data_row_count_offset, {0, 0});
  EXPECT_TRUE(mentions(verify_file(path_), "global usage map: page 1 holds no map"));
  reset();
  poke(page_at(1) + get_u16(peek(page_at(1) + f_.data_row_table_offset, 2).data()), {7});
  EXPECT_TRUE(mentions(verify_file(path_), "global usage map: unknown usage map type 7"));
  reset();
  std::filesystem::resize_file(path_, f_.max_file_size + f_.page_size);  // sparse: nothing is written
  EXPECT_TRUE(mentions(verify_file(path_), "the file is larger than its format allows"));
}

TEST_F(VerifierTest, NotesAnAutoNumberCounterAboveTheRowsAndStaleIndexStatistics) {
  poke_u32(page_at(def_.tdef_page) + f_.tdef_autonumber_offset, 999);
  poke_u32(page_at(def_.tdef_page) + f_.tdef_header_size + tdef_const::index_entry_count_offset, 5);
  auto r = verify_file(path_);
  EXPECT_TRUE(r.ok()) << r.text();
  ASSERT_EQ(r.notes.size(), 2u) << r.text();
  EXPECT_EQ(r.notes[0], "table 'T': AutoNumber counter 999, largest value 300");
  EXPECT_EQ(r.notes[1], "table 'T' index 'PrimaryKey': statistics say 5 entries, the tree holds 300");
}

TEST_F(VerifierTest, FindsAWrongFreeSpaceField) {
  uint64_t at = uint64_t(data_page_) * f_.page_size + f_.data_free_space_offset;
  poke(at, {0x00, 0x00});
  EXPECT_TRUE(mentions(verify_file(path_), "free space field"));
}

TEST_F(VerifierTest, FindsAnAutoNumberCounterBelowTheRows) {
  uint64_t at = uint64_t(def_.tdef_page) * f_.page_size + f_.tdef_autonumber_offset;
  poke(at, {5, 0, 0, 0});
  EXPECT_TRUE(mentions(verify_file(path_), "AutoNumber counter"));
}

TEST_F(VerifierTest, NotesAStaleRowCount) {
  uint64_t at = uint64_t(def_.tdef_page) * f_.page_size + f_.tdef_row_count_offset;
  poke(at, {7, 0, 0, 0});
  auto r = verify_file(path_);
  EXPECT_TRUE(r.ok()) << r.text();
  ASSERT_FALSE(r.notes.empty());
  EXPECT_NE(r.notes[0].find("7 rows"), std::string::npos);
}

TEST_F(VerifierTest, FindsAFreeSpaceMapNamingAPageTheTableDoesNotOwn) {
  // The table's free-space map names its TDEF page, which is not one of its data pages.
  uint32_t free_map = def_.free_map;
  uint64_t row_at = uint64_t(row_pointer_page(free_map)) * f_.page_size;
  auto page = peek(row_at, f_.page_size);
  uint32_t offset = get_u16(page.data() + f_.data_row_table_offset + 2 * row_pointer_row(free_map));
  uint32_t index_page = def_.tdef_page;
  poke(row_at + offset + 1, {0, 0, 0, 0});  // start page 0
  poke(row_at + offset + 5 + index_page / 8, {uint8_t(1u << (index_page % 8))});
  auto r = verify_file(path_);
  EXPECT_TRUE(mentions(r, "does not own")) << r.text();
}

TEST(Verifier, EveryJet4SampleIsSoundAndWhatIsNoAccessFileIsRecognised) {
  for (const char* name : {"jackcess/adox_jet4.mdb", "jackcess/emptyJet4.mdb", "jackcess/empty.mdb",
                           "jackcess/bigIndexTestV2000.mdb", "jackcess/compIndexTestV2000.mdb",
                           "jackcess/delColTestV2000.mdb", "jackcess/fixedNumericTestV2000.mdb",
                           "jackcess/indexTestV2000.mdb", "jackcess/overflowTestV2000.mdb",
                           "jackcess/queryTestV2000.mdb", "jackcess/test2V2000.mdb",
                           "jackcess/testUnicodeCompV2003.mdb", "mdb-reader/V2000_with-password.mdb"}) {
    auto r = verify_file(sample_path(name));
    EXPECT_TRUE(r.ok()) << name << "\n" << r.text();
  }
  scratch_folder s;
  std::ofstream(s.file("junk.mdb")) << std::string(8192, 'x');
  auto junk = verify_file(s.file("junk.mdb"));
  EXPECT_FALSE(junk.ok());
  EXPECT_TRUE(junk.unsupported);
}

// The structure a change builds on: every Access sample of every generation we can change has it (so no file
// Access made is refused for it), while an entry naming a row that is gone or a file cut short does not.
TEST(CheckStructure, AccessFilesPassDamagedOnesAreNamed) {
  for (const auto& e : std::filesystem::directory_iterator(sample_path("jackcess"))) {
    if (e.path().extension() != ".mdb" && e.path().extension() != ".accdb") continue;
    SCOPED_TRACE(e.path().string());
    auto r = database_reader::open(e.path().string());
    EXPECT_EQ(check_structure(*r), std::vector<std::string>{});
  }
  scratch_folder dir;
  const std::string path = dir.file("s.mdb");
  {
    auto db = database::create(path);
    size_t t = db->add_table(L"T", {{.name = L"Id", .type = column_type::long_integer}},
                             {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true}});
    for (int i = 0; i < 2000; ++i) db->append_row(t, {value::long_integer(i)});
    db->close();
  }
  const std::string whole = slurp(path);
  auto problems = [&](const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return check_structure(*database_reader::open(path));
  };
  EXPECT_EQ(problems(whole), std::vector<std::string>{});
  // The last data page's row count cut to one: the index still names the rows that were there.
  uint32_t last = 0;
  {
    auto r = database_reader::open(path);
    last = r->data_pages(r->table(L"T")).back();
  }
  std::string fewer = whole;
  fewer[size_t(last) * 4096 + format::jet4().data_row_count_offset] = 1;
  fewer[size_t(last) * 4096 + format::jet4().data_row_count_offset + 1] = 0;
  auto mentions = [](const std::vector<std::string>& found, const std::string& what) {
    return std::any_of(found.begin(), found.end(), [&](const std::string& p) { return p.find(what) != std::string::npos; });
  };
  EXPECT_TRUE(mentions(problems(fewer), "which the table does not hold"));
  EXPECT_TRUE(mentions(problems(whole.substr(0, whole.size() - 4096)), "beyond the end of the file"));
}

// The rules of Jet 3 files: a long row's jump table, the tag of definition pages, index flags without
// the Jet 4 bit.
TEST(VerifierJet3, FindsAWrongJumpTableAMissingPageTagAndJet4IndexFlags) {
  scratch_folder dir;
  const std::string path = dir.file("j3.mdb");
  {
    auto db = new_file::create(path, format::jet3(), {});
    size_t t = db->add_table(L"Wide",
                             {{.name = L"Id", .type = column_type::long_integer},
                              {.name = L"A", .type = column_type::text, .size = 200},
                              {.name = L"B", .type = column_type::text, .size = 200}},
                             {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true}});
    db->append_row(t, {value::long_integer(1), value::text(std::wstring(200, L'a')), value::text(std::wstring(150, L'b'))});
    db->close();
  }
  const format& f = format::jet3();
  const std::string original = slurp(path);
  auto reset = [&] { std::ofstream(path, std::ios::binary | std::ios::trunc) << original; };
  auto poke = [&](uint64_t at, uint8_t b) {
    std::fstream io(path, std::ios::in | std::ios::out | std::ios::binary);
    io.seekp(std::streamoff(at));
    io.put(char(b));
  };
  auto mentions = [&](const std::string& what) {
    verify_report r = verify_file(path);
    for (const auto& p : r.problems)
      if (p.find(what) != std::string::npos) return true;
    ADD_FAILURE() << r.text();
    return false;
  };
  verify_report sound = verify_file(path);
  ASSERT_TRUE(sound.ok()) << sound.text();
  EXPECT_TRUE(sound.notes.empty()) << sound.text();

  table_def def;
  uint32_t page = 0, row_start = 0, row_end = f.page_size;
  {
    auto r = database_reader::open(path);
    def = r->table(L"Wide");
    page = r->data_pages(def).front();
    auto bytes = r->pages().read(page);
    row_start = get_u16(bytes.data() + f.data_row_table_offset) & 0x1FFF;
  }
  const uint32_t row_length = row_end - row_start;
  ASSERT_GE(row_length, 256u);  // one jump byte, right before the slot count and the 1-byte null mask
  const uint64_t jump = uint64_t(page) * f.page_size + row_end - 1 - 1 - 1;
  EXPECT_EQ(uint8_t(original[jump]), 2);  // slot 2 (B) is the first entry beyond 256
  poke(jump, 0xFF);  // the end of the data would fall before B's start
  EXPECT_TRUE(mentions("table 'Wide' row " + std::to_string(page) + ":0: "));

  reset();
  poke(uint64_t(def.tdef_page) * f.page_size + 2, 0);
  EXPECT_TRUE(mentions("lacks the page tag"));

  reset();
  size_t flags = f.tdef_header_size + def.indexes.size() * f.index_stats_size + def.columns.size() * f.column_block_size;
  for (const column_def& c : def.columns) flags += f.name_length_size + c.name.size();
  flags += f.physical_index_flags_offset;
  ASSERT_EQ(uint8_t(original[uint64_t(def.tdef_page) * f.page_size + flags]), def.indexes[0].flags);
  poke(uint64_t(def.tdef_page) * f.page_size + flags, uint8_t(def.indexes[0].flags | index_flag::jet4_always));
  EXPECT_TRUE(mentions("not those of its format"));
}

}  // namespace
}  // namespace jet
