// The verifier finds each kind of damage it promises to find.
#include "platform/jet/verifier.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/jet/byte_order.h"
#include "platform/jet/database.h"
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
  bool mentions(const verify_report& r, const std::string& what) {
    for (const auto& p : r.problems)
      if (p.find(what) != std::string::npos) return true;
    return false;
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
