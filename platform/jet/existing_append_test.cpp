// Rows appended to tables that already hold rows, in Access's files of every generation and in ours:
// the stored rows and long values keep their pages byte for byte (still listed by the table's maps),
// the new rows and every index are complete (verifier, both independent readers), unique keys are
// refused per record against old and new rows alike, and a failure leaves the original as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/reader.h"
#include "platform/jet/reader_oracles.h"
#include "platform/jet/table_pages.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/usage_map.h"
#include "platform/jet/value_codec.h"
#include "platform/jet/verifier.h"

namespace jet {
namespace {

namespace fs = std::filesystem;

void expect_sound(const std::string& path) {
  verify_report r = verify_file(path);
  EXPECT_TRUE(r.ok()) << r.text();
}

// The bytes of every data and LVAL page of a table, by page number.
std::map<uint32_t, std::vector<uint8_t>> stored_pages(const database_reader& db, uint32_t tdef_page) {
  table_pages p = pages_of_table(db.fmt(), db.pages(), tdef_page);
  std::map<uint32_t, std::vector<uint8_t>> out;
  for (uint32_t n : p.data) out[n] = db.pages().read(n);
  for (const auto& [column, pages] : p.lv_owned)
    for (uint32_t n : pages) out[n] = db.pages().read(n);
  return out;
}

// What a table held before rows were appended to it.
struct table_before {
  uint32_t tdef_page = 0;
  std::vector<std::vector<value>> rows;
  std::map<uint32_t, std::vector<uint8_t>> pages;
};

// Every page a table stored before is still its own (listed by its maps) and unchanged.
void expect_pages_kept(const database_reader& db, const table_before& before) {
  std::map<uint32_t, std::vector<uint8_t>> now = stored_pages(db, before.tdef_page);
  for (const auto& [page, bytes] : before.pages) {
    auto it = now.find(page);
    ASSERT_NE(it, now.end()) << "page " << page << " is no longer the table's";
    EXPECT_TRUE(it->second == bytes) << "page " << page << " changed";
  }
}

// The file is sound, the table's stored pages are where they were, and the engine and both readers count `people`
// rows of People.
void expect_people_appended_in_place(const std::string& path, const table_before& before, size_t people) {
  expect_sound(path);
  auto r = database_reader::open(path);
  expect_pages_kept(*r, before);
  EXPECT_EQ(r->read_all(L"People").size(), people);
  EXPECT_EQ(oracle::mdb_export(path, "People").size(), people);
  EXPECT_EQ(oracle::mdb_reader_dump(path, {"People"}).at(0).rows.size(), people);
}

bool in_unique_index(const table_def& t, uint16_t column) {
  for (const auto& ix : t.indexes)
    if (ix.is_unique())
      for (const auto& ic : ix.columns)
        if (ic.column_number == column) return true;
  return false;
}

TEST(AppendInPlace, AccessTablesOfEveryGenerationKeepTheirRowsWhereTheyAre) {
  struct sample {
    const char* name;
    generation gen;
  };
  const sample samples[] = {
      {"jackcess/indexTestV1997.mdb", generation::jet3},   {"jackcess/testV1997.mdb", generation::jet3},
      {"jackcess/compIndexTestV1997.mdb", generation::jet3}, {"jackcess/indexTestV2000.mdb", generation::jet4},
      {"jackcess/test2V2000.mdb", generation::jet4},        {"jackcess/bigIndexTestV2000.mdb", generation::jet4},
      {"jackcess/overflowTestV2000.mdb", generation::jet4}, {"jackcess/compIndexTestV2000.mdb", generation::jet4},
      {"jackcess/indexTestV2007.accdb", generation::ace}, {"jackcess/binIdxTestV2010.accdb", generation::ace},
      {"mdb-reader/V2016-longtext.accdb", generation::ace},
  };
  std::map<generation, size_t> refused_duplicates;
  for (const sample& smp : samples) {
    SCOPED_TRACE(smp.name);
    scratch_folder s;
    const std::string path = s.file(fs::path(smp.name).filename().string());
    fs::copy_file(sample_path(smp.name), path);
    std::map<std::wstring, table_before> before;
    {
      auto r = database_reader::open(path);
      ASSERT_EQ(r->fmt().gen, smp.gen);
      for (const auto& name : r->table_names()) {
        const catalog_entry* e = r->find_table(name);
        if (!e || e->is_system()) continue;
        table_before& b = before[name];
        b.tdef_page = e->id;
        b.rows = r->read_all(name);
        b.pages = stored_pages(*r, e->id);
      }
    }
    // Copies of stored rows, with fresh values in the columns of unique indexes where the type
    // allows, and one exact copy (refused wherever a unique index holds its key).
    std::map<std::wstring, std::vector<std::vector<value>>> appended;
    {
      auto db = database::open(path);
      int32_t fresh = 900000;
      for (const auto& [name, b] : before) {
        SCOPED_TRACE(to_utf8(name));
        size_t t = db->table_handle(name);
        const table_def def = db->table(t);
        // Attempt 0 is the exact copy of the first row; the others change rows 0, 1, ...
        // An empty table gets one row of nulls but for its unique columns.
        const std::vector<value> nulls(std::max<size_t>(def.max_columns, def.columns.size()));
        for (size_t i = b.rows.empty() ? 1 : 0; i <= std::max<size_t>(b.rows.size(), 1) && i <= 40; ++i) {
          std::vector<value> row = b.rows.empty() ? nulls : b.rows[i == 0 ? 0 : i - 1];
          if (i > 0)
            for (const auto& c : def.columns) {
              if (!in_unique_index(def, c.number) && !c.is_autonumber()) continue;
              ++fresh;
              if (c.type == column_type::long_integer) row[c.number] = value::long_integer(fresh);
              else if (c.type == column_type::integer) row[c.number] = value::integer(int16_t(fresh % 30000));
              else if (c.type == column_type::text && c.length >= 16) row[c.number] = value::text(L"n" + std::to_wstring(fresh));
              else if (c.type == column_type::memo) row[c.number] = value::text(std::wstring(3000, L'm') + std::to_wstring(fresh));
            }
          int number = error_of([&] { db->append_row(t, row); });
          if (number == 0) {
            appended[name].push_back(row);
          } else {
            if (number == dao_error::duplicate_key) ++refused_duplicates[smp.gen];
            // Only refusals the rows themselves call for.
            EXPECT_TRUE(number == dao_error::duplicate_key || number == dao_error::related_record_required ||
                        number == dao_error::index_null || number == dao_error::not_supported)
                << "row " << i << ": error " << number;
          }
        }
      }
      db->close();
    }
    EXPECT_FALSE(appended.empty());
    expect_sound(path);
    auto r = database_reader::open(path);
    for (const auto& [name, b] : before) {
      SCOPED_TRACE(to_utf8(name));
      auto rows = r->read_all(name);
      const auto& added = appended[name];
      ASSERT_EQ(rows.size(), b.rows.size() + added.size());
      for (const auto& row : b.rows) EXPECT_NE(std::find(rows.begin(), rows.end(), row), rows.end());
      for (const auto& row : added) {
        std::vector<value> stored = row;
        stored.resize(rows.empty() ? stored.size() : rows[0].size());
        EXPECT_NE(std::find(rows.begin(), rows.end(), stored), rows.end());
      }
      expect_pages_kept(*r, b);
      EXPECT_EQ(oracle::mdb_export(path, to_utf8(name)).size(), rows.size());
      auto dump = oracle::mdb_reader_dump(path, {to_utf8(name)});
      ASSERT_EQ(dump.size(), 1u);
      EXPECT_EQ(dump[0].rows.size(), rows.size());
    }
  }
  // Copies of stored keys were refused in every generation.
  EXPECT_GT(refused_duplicates[generation::jet3], 0u);
  EXPECT_GT(refused_duplicates[generation::jet4], 0u);
  EXPECT_GT(refused_duplicates[generation::ace], 0u);
}

// A table of ours: a primary key, a unique name and a memo.
void make_people(const std::string& path, generation gen, int rows) {
  auto db = database::create(path, gen);
  db->add_table(L"People",
                {{.name = L"Id", .type = column_type::long_integer},
                 {.name = L"Name", .type = column_type::text, .size = 40},
                 {.name = L"Note", .type = column_type::memo}},
                {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true},
                 {.name = L"ByName", .fields = {{L"Name"}}, .unique = true}});
  for (int i = 0; i < rows; ++i)
    db->append_row(L"People", {value::long_integer(i), value::text(L"p" + std::to_wstring(i)),
                               i % 7 == 0 ? value::text(std::wstring(3000, wchar_t(L'a' + i % 26))) : value()});
  db->close();
}

table_before stored_table(const std::string& path, const std::wstring& name) {
  auto r = database_reader::open(path);
  table_before b;
  b.tdef_page = r->find_table(name)->id;
  b.rows = r->read_all(name);
  b.pages = stored_pages(*r, b.tdef_page);
  return b;
}

TEST(AppendInPlace, DuplicatesOfStoredAndOfNewRowsCostOnlyTheirRecord) {
  for (generation gen : {generation::jet3, generation::jet4, generation::ace}) {
    SCOPED_TRACE(generation_name(gen));
    scratch_folder s;
    const std::string path = s.file(gen == generation::ace ? "people.accdb" : "people.mdb");
    make_people(path, gen, 1200);  // large enough for its trees to be checked on other cores
    const table_before before = stored_table(path, L"People");
    const std::wstring long_note = std::wstring(5000, L'n') + L"end";
    {
      auto db = database::open(path);
      size_t t = db->table_handle(L"People");
      auto append = [&](int id, const std::wstring& name, value note = value()) {
        return error_of([&] { db->append_row(t, {value::long_integer(id), value::text(name), std::move(note)}); });
      };
      EXPECT_EQ(append(17, L"fresh"), dao_error::duplicate_key);  // a stored row's key
      EXPECT_EQ(append(5000, L"p499"), dao_error::duplicate_key);  // a stored row's unique name
      EXPECT_EQ(append(5000, L"new5000", value::text(long_note)), 0);
      EXPECT_EQ(append(5000, L"other"), dao_error::duplicate_key);    // a new row's key
      EXPECT_EQ(append(5001, L"new5000"), dao_error::duplicate_key);  // a new row's unique name
      EXPECT_EQ(append(-5, L"before all"), 0);
      EXPECT_EQ(append(6000, L"p2500"), 0);  // between stored names
      EXPECT_EQ(append(6001, L"p2500"), dao_error::duplicate_key);
      EXPECT_EQ(append(250, L"p250"), dao_error::duplicate_key);
      for (int i = 5001; i < 5300; ++i) EXPECT_EQ(append(i, L"new" + std::to_wstring(i), value::text(L"short")), 0);
      EXPECT_EQ(db->row_count(t), 1200u + 302u);
      db->close();
    }
    expect_sound(path);
    auto r = database_reader::open(path);
    expect_pages_kept(*r, before);
    auto rows = r->read_all(L"People");
    ASSERT_EQ(rows.size(), 1502u);
    for (const auto& row : before.rows) EXPECT_NE(std::find(rows.begin(), rows.end(), row), rows.end());
    auto with_long = std::find_if(rows.begin(), rows.end(), [](const std::vector<value>& row) { return row[0] == value::long_integer(5000); });
    ASSERT_NE(with_long, rows.end());
    EXPECT_EQ((*with_long)[2], value::text(long_note));
    auto exported = oracle::mdb_export(path, "People");
    ASSERT_EQ(exported.size(), 1502u);
    EXPECT_EQ(std::count_if(exported.begin(), exported.end(), [&](const std::vector<std::string>& row) {
                return row.at(1) == "new5000" && row.at(2) == to_utf8(long_note);
              }), 1);
    auto dump = oracle::mdb_reader_dump(path, {"People"});
    ASSERT_EQ(dump.size(), 1u);
    EXPECT_EQ(dump[0].rows.size(), 1502u);
  }
}

TEST(AppendInPlace, UsageMapsTurnIntoReferenceMapsWhenNewPagesLieFarOff) {
  for (generation gen : {generation::jet3, generation::jet4, generation::ace}) {
    SCOPED_TRACE(generation_name(gen));
    scratch_folder s;
    const std::string path = s.file(gen == generation::ace ? "far.accdb" : "far.mdb");
    make_people(path, gen, 40);
    {  // another table fills more pages than an inline map reaches
      auto db = database::open(path);
      const format& f = db->fmt();
      size_t big = db->add_table(L"Big", {{.name = L"Blob", .type = column_type::ole}}, {});
      const size_t rows = size_t(f.usage_map_inline_bytes) * 8 + 50;
      for (size_t i = 0; i < rows; ++i) db->append_row(big, {value::binary(bytes(f.page_size - 200, uint8_t(i)))});
      db->close();
    }
    const table_before before = stored_table(path, L"People");
    auto map_form = [&](const std::string& file, bool lv) {
      auto r = database_reader::open(file);
      table_def t = r->table(L"People");
      return row_at(r->fmt(), r->pages(), lv ? t.columns.at(2).lv_owned_map : t.owned_map).at(0);
    };
    EXPECT_EQ(map_form(path, false), 0);  // inline
    EXPECT_EQ(map_form(path, true), 0);
    {
      auto db = database::open(path);
      size_t t = db->table_handle(L"People");
      for (int i = 100; i < 400; ++i)
        db->append_row(t, {value::long_integer(i), value::text(L"far" + std::to_wstring(i)), value::text(std::wstring(2500, L'f'))});
      db->close();
    }
    EXPECT_EQ(map_form(path, false), 1);  // reference
    EXPECT_EQ(map_form(path, true), 1);
    expect_people_appended_in_place(path, before, 340);
  }
}

TEST(AppendInPlace, AFailureHalfWayLeavesTheOriginalAsItWas) {
  scratch_folder s;
  const std::string path = s.file("full.mdb");
  make_people(path, generation::jet4, 300);
  const std::string before = slurp(path);
  {
    auto db = database::open(path);
    size_t t = db->table_handle(L"People");
    int number = error_with_file_size_limit(fs::file_size(path) + 64 * 1024, [&] {
      for (int i = 1000; i < 1200; ++i)
        db->append_row(t, {value::long_integer(i), value::text(L"n" + std::to_wstring(i)),
                           value::text(std::wstring(4000, wchar_t(L'a' + i % 26)))});
      db->close();
    });
    EXPECT_EQ(number, dao_error::disk_full);
    EXPECT_NE(error_of([&] { db->close(); }), 0);
  }
  EXPECT_TRUE(slurp(path) == before);
  EXPECT_EQ(s.entries(), 1u);
}

TEST(AppendInPlace, RowsAnnouncedAheadGoInPlaceIntoTheCopyMadeMeanwhile) {
  for (generation gen : {generation::jet3, generation::jet4, generation::ace}) {
    SCOPED_TRACE(generation_name(gen));
    scratch_folder s;
    const std::string path = s.file(gen == generation::ace ? "ahead.accdb" : "ahead.mdb");
    make_people(path, gen, 1200);  // its trees are checked on other cores, after the copy
    const table_before before = stored_table(path, L"People");
    const std::string original = slurp(path);
    {
      auto db = database::open(path);
      size_t t = db->table_handle(L"People");
      db->prepare_appending(t);
      db->prepare_appending(t);  // said twice: one copy
      EXPECT_TRUE(slurp(path) == original);
      EXPECT_EQ(error_of([&] { db->append_row(t, {value::long_integer(7), value::text(L"fresh")}); }),
                dao_error::duplicate_key);
      EXPECT_EQ(error_of([&] { db->append_row(t, {value::long_integer(9000), value::text(L"p1199")}); }),
                dao_error::duplicate_key);
      for (int i = 5000; i < 5100; ++i)
        db->append_row(t, {value::long_integer(i), value::text(L"new" + std::to_wstring(i)), value::text(L"n")});
      EXPECT_EQ(s.entries(), 2u);  // the original and one working copy
      EXPECT_TRUE(slurp(path) == original);  // untouched until the session ends
      db->close();
    }
    EXPECT_EQ(s.entries(), 1u);
    expect_people_appended_in_place(path, before, 1300);
  }
}

TEST(AppendInPlace, RowsAnnouncedAfterAnotherChangeOrNeverWritten) {
  scratch_folder s;
  const std::string path = s.file("later.mdb");
  make_people(path, generation::jet4, 1200);
  const std::string original = slurp(path);
  // Announced, then nothing written (closed, abandoned, or just dropped): the original stays, no copy is left.
  for (int end = 0; end < 3; ++end) {
    auto db = database::open(path);
    db->prepare_appending(db->table_handle(L"People"));
    if (end == 0) db->close();
    if (end == 1) db->abandon();
    db.reset();
    EXPECT_TRUE(slurp(path) == original) << end;
    EXPECT_EQ(s.entries(), 1u) << end;
  }
  // Announced for one table, then another table added first: the table is looked at again in the copy as it
  // is by then, and its rows still go in place.
  const table_before before = stored_table(path, L"People");
  {
    auto db = database::open(path);
    size_t t = db->table_handle(L"People");
    db->prepare_appending(t);
    size_t other = db->add_table(L"Other", {{.name = L"N", .type = column_type::long_integer}},
                                 {{.name = L"PrimaryKey", .fields = {{L"N"}}, .primary = true}});
    db->append_row(other, {value::long_integer(1)});
    db->prepare_appending(t);  // a copy is there already: nothing to do
    for (int i = 5000; i < 5050; ++i) db->append_row(t, {value::long_integer(i), value::text(L"x" + std::to_wstring(i))});
    EXPECT_EQ(error_of([&] { db->append_row(t, {value::long_integer(5000), value::text(L"y")}); }),
              dao_error::duplicate_key);
    db->close();
  }
  expect_sound(path);
  auto r = database_reader::open(path);
  expect_pages_kept(*r, before);
  EXPECT_EQ(r->read_all(L"People").size(), 1250u);
  EXPECT_EQ(r->read_all(L"Other").size(), 1u);
  EXPECT_EQ(oracle::mdb_export(path, "People").size(), 1250u);
}

TEST(AppendInPlace, ACopyMadeAheadThatFailsFailsTheChangeAndLeavesTheOriginal) {
  scratch_folder s;
  const std::string path = s.file("ahead-full.mdb");
  make_people(path, generation::jet4, 1200);
  const std::string original = slurp(path);
  for (bool ahead : {true, false}) {  // the disk fills while the copy is made, whether announced or not
    SCOPED_TRACE(ahead ? "announced ahead" : "not announced");
    auto db = database::open(path);
    size_t t = db->table_handle(L"People");
    int number = error_with_file_size_limit(original.size() / 2, [&] {
      if (ahead) db->prepare_appending(t);
      db->append_row(t, {value::long_integer(5000), value::text(L"new")});
      db->close();  // the change is written at the latest here
    });
    EXPECT_EQ(number, dao_error::disk_full);
    db.reset();
    EXPECT_TRUE(slurp(path) == original);
    EXPECT_EQ(s.entries(), 1u);
  }
  EXPECT_TRUE(slurp(path) == original);
  EXPECT_EQ(s.entries(), 1u);
  {  // another session has the file open when the first row comes: refused, and accepted once it is gone
    auto db = database::open(path);
    size_t t = db->table_handle(L"People");
    db->prepare_appending(t);
    {
      auto other = database::open(path, {.read_only = true});
      EXPECT_EQ(error_of([&] { db->append_row(t, {value::long_integer(5000), value::text(L"new")}); }),
                dao_error::file_in_use);
    }
    EXPECT_TRUE(slurp(path) == original);
    db->append_row(t, {value::long_integer(5000), value::text(L"new")});
    db->close();
  }
  EXPECT_EQ(s.entries(), 1u);
  expect_sound(path);
  EXPECT_EQ(oracle::mdb_export(path, "People").size(), 1201u);
}

// A file whose structure is damaged refuses every change of the session, not only the first: the finding stands
// for the session, and nothing is written when it is closed.
TEST(AppendInPlace, ADamagedFileRefusesEveryChangeOfTheSession) {
  scratch_folder s;
  const std::string path = s.file("damaged.mdb");
  make_people(path, generation::jet4, 300);
  const table_before before = stored_table(path, L"People");
  uint32_t data_page = 0;
  for (const auto& [page, bytes] : before.pages)
    if (bytes[0] == page_type::data) data_page = page;
  ASSERT_NE(data_page, 0u);
  {  // one of the table's data pages is lost
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(std::streamoff(data_page) * 4096);
    f.write(std::string(4096, '\0').data(), 4096);
  }
  const std::string damaged = slurp(path);
  {
    auto db = database::open(path);
    const size_t t = db->table_handle(L"People");
    for (int attempt = 0; attempt < 2; ++attempt) {
      SCOPED_TRACE(attempt);
      EXPECT_EQ(error_of([&] { db->append_row(t, {value::long_integer(5000), value::text(L"new")}); }),
                dao_error::corrupt);
      EXPECT_EQ(error_of([&] { db->delete_table(L"People"); }), dao_error::corrupt);
    }
    error_of([&] { db->close(); });
  }
  EXPECT_TRUE(slurp(path) == damaged);
  EXPECT_EQ(s.entries(), 1u);
}

TEST(AppendInPlace, ATableWhoseIndexTreeIsDamagedIsRewrittenWhole) {
  // Whether its rows were announced ahead (the trees are then checked in the copy made meanwhile) or not.
  for (bool ahead : {false, true}) {
    SCOPED_TRACE(ahead ? "announced ahead" : "not announced");
    scratch_folder s;
    const std::string path = s.file("damaged.mdb");
    make_people(path, generation::jet4, 30);
    uint32_t root = 0;
    const table_before before = stored_table(path, L"People");
    {
      auto r = database_reader::open(path);
      root = r->table(L"People").indexes.at(1).root_page;
    }
    {  // the root leaf's free-space field no longer agrees with its entries
      std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
      f.seekp(std::streamoff(root) * 4096 + 2);
      f.put(char(0x01));
      f.put(char(0x00));
    }
    {
      auto db = database::open(path);
      size_t t = db->table_handle(L"People");
      if (ahead) db->prepare_appending(t);
      EXPECT_EQ(error_of([&] { db->append_row(t, {value::long_integer(3), value::text(L"x")}); }), dao_error::duplicate_key);
      db->append_row(t, {value::long_integer(31), value::text(L"p31")});
      db->close();
    }
    expect_sound(path);
    auto rows = oracle::mdb_export(path, "People");
    EXPECT_EQ(rows.size(), 31u);
    // The stored rows were taken into new pages rather than kept where they were.
    auto r = database_reader::open(path);
    for (const auto& [page, bytes] : stored_pages(*r, before.tdef_page)) EXPECT_EQ(before.pages.count(page), 0u) << page;
  }
}

}  // namespace
}  // namespace jet
