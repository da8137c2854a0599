#include "platform/jet/index_sorter.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/jet/byte_order.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/verifier.h"

namespace jet {
namespace {

struct entry {
  bytes key;
  uint32_t row_pointer;
  friend bool operator<(const entry& a, const entry& b) {
    const int c = index_entry_ref::compare_keys(a.key, b.key);
    return c != 0 ? c < 0 : a.row_pointer < b.row_pointer;
  }
  friend bool operator==(const entry&, const entry&) = default;
};

std::vector<entry> merged(index_sorter& s) {
  std::vector<entry> out;
  s.sort();
  s.merge([&](const index_entry_ref& e) {
    EXPECT_EQ(e.child, 0u);
    out.push_back({bytes(e.key.begin(), e.key.end()), make_row_pointer(e.page, e.row)});
  });
  return out;
}

// `lead` bytes of `fill`, then n big-endian, so that keys of one lead order as their numbers do.
bytes numbered_key(size_t lead, uint8_t fill, uint32_t n) {
  bytes key(lead + 4, fill);
  for (size_t i = 0; i < 4; ++i) key[lead + i] = uint8_t(n >> (24 - 8 * i));
  return key;
}

// Every entry added, in the order given, as the table writer adds them.
void add_all(index_sorter& s, const std::vector<entry>& entries) {
  for (const entry& e : entries) {
    s.make_room(e.key);
    s.add(e.key, e.row_pointer);
  }
}

// The merge gives exactly the entries of `all`, in the order of one sort.
void expect_merged_in_order(index_sorter& s, std::vector<entry> all) {
  std::sort(all.begin(), all.end());
  const std::vector<entry> got = merged(s);
  ASSERT_EQ(got.size(), all.size());
  EXPECT_TRUE(got == all);
}

// Names in `folder` that are temporaries of `dest_name`.
size_t temporaries(const std::string& folder, const std::string& dest_name) {
  size_t n = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (sys_is_temporary_name_of(e.path().filename().string(), dest_name)) ++n;
  return n;
}

TEST(IndexSorterTest, RunsOnDiskMergeIntoTheOrderOfOneSortInMemory) {
  scratch_folder dir;
  std::mt19937 rng(7);
  std::vector<entry> all;
  for (uint32_t i = 0; i < 20000; ++i) {
    // Duplicates, keys that start other keys, empty keys and a few longer than an arena block.
    bytes key(rng() % 5 == 0 ? 0 : 1 + rng() % 40, 0);
    for (auto& b : key) b = uint8_t('a' + rng() % 3);
    if (i % 2000 == 7) key.assign(6000 + i % 3, uint8_t(0x7F));
    all.push_back({key, make_row_pointer(100 + i / 50, uint8_t(i % 50))});
  }
  index_sorter small(false, 16 << 10, dir.file("t.mdb"));
  index_sorter big(false, size_t(1) << 30, dir.file("t.mdb"));
  add_all(small, all);
  add_all(big, all);
  EXPECT_GT(small.runs(), 20u);
  EXPECT_EQ(big.runs(), 0u);
  // The budget holds: a run goes out before memory would pass it (a key longer than it excepted).
  EXPECT_LE(small.memory_bytes(), size_t(16 << 10) + 6002);
  EXPECT_EQ(temporaries(dir.path(), "t.mdb"), 1u);
  expect_merged_in_order(small, all);
  expect_merged_in_order(big, all);
  EXPECT_EQ(small.size(), all.size());
}

// The sort in memory settles most comparisons on a key's first 8 bytes; keys that agree there are
// compared in full. Keys made to tie there: long common starts differing late, keys that are starts of
// others with zero bytes after them (a short key's padding looks like zero bytes), bytes above 0x7F
// (descending columns store inverted bytes), empty keys, and equal keys whose rows arrive out of order,
// which keep row-pointer order.
TEST(IndexSorterTest, KeysThatTieOnTheirFirstBytesSortAsWholeKeys) {
  scratch_folder dir;
  std::mt19937 rng(11);
  const bytes stem = {0x41, 0x00, 0x42, 0xFF, 0x80, 0x7F, 0x00, 0x01, 0x43, 0x44, 0x45, 0x46};
  std::vector<entry> all;
  for (uint32_t i = 0; i < 6000; ++i) {
    bytes key(stem.begin(), stem.begin() + ptrdiff_t(rng() % (stem.size() + 1)));
    const size_t tail = rng() % 4 == 0 ? 0 : rng() % 30;
    for (size_t j = 0; j < tail; ++j) {
      const uint32_t pick = rng() % 4;
      key.push_back(pick == 0 ? 0x00 : pick == 1 ? 0xFF : uint8_t(0x7E + rng() % 4));
    }
    // Row pointers in no particular order, so that equal keys must be put in row order.
    const uint32_t n = (i * 2654435761u) % 6000;
    all.push_back({key, make_row_pointer(100 + n / 50, uint8_t(n % 50))});
  }
  for (uint32_t i = 0; i < 50; ++i) all.push_back({bytes(40, 0xFF), make_row_pointer(500 - i, 3)});
  for (uint32_t i = 0; i < 50; ++i) all.push_back({bytes{}, make_row_pointer(600 - i, 4)});
  index_sorter s(false, size_t(1) << 30, dir.file("p.mdb"));
  add_all(s, all);
  EXPECT_EQ(s.runs(), 0u);
  expect_merged_in_order(s, all);
}

// Keys that arrive in order (an AutoNumber, a table read in its key's order) make runs that follow one
// another, which the merge reads in turn; equal keys may straddle two runs, and their rows keep their
// order. Once one run starts before the previous one ended, every run is merged again.
TEST(IndexSorterTest, RunsOfKeysThatArriveInOrderMergeLikeAnyOthers) {
  scratch_folder dir;
  auto key_of = [](uint32_t n) { return numbered_key(2, 0, n); };
  for (const bool restart : {false, true}) {
    SCOPED_TRACE(restart ? "a later run starts among the earlier keys" : "every run follows the one before");
    std::vector<entry> all;
    for (uint32_t i = 0; i < 30000; ++i) all.push_back({key_of(i / 3), make_row_pointer(100 + i / 40, uint8_t(i % 40))});
    // Equal keys with rows out of order, within memory: they still come out in row order.
    all.push_back({key_of(20000), make_row_pointer(2000, 9)});
    all.push_back({key_of(20000), make_row_pointer(2000, 2)});
    if (restart)
      for (uint32_t i = 0; i < 3000; ++i) all.push_back({key_of(i * 7), make_row_pointer(3000 + i / 40, uint8_t(i % 40))});
    index_sorter s(false, 16 << 10, dir.file(restart ? "r.mdb" : "o.mdb"));
    add_all(s, all);
    EXPECT_GT(s.runs(), 10u);
    expect_merged_in_order(s, all);
  }
}

TEST(IndexSorterTest, UniqueKeysAreFoundInMemoryAndInEveryRun) {
  scratch_folder dir;
  auto key = [](uint32_t i) { return numbered_key(8, 0x7F, i); };
  index_sorter s(true, 8 << 10, dir.file("u.mdb"));
  uint32_t rp = 0x100;
  // Keys in order first (a primary key read in its own order), then out of order, then in order again.
  std::vector<uint32_t> order;
  for (uint32_t i = 0; i < 3000; ++i) order.push_back(2 * i);
  std::mt19937 rng(3);
  std::vector<uint32_t> shuffled;
  for (uint32_t i = 3000; i < 6000; ++i) shuffled.push_back(2 * i);
  std::shuffle(shuffled.begin(), shuffled.end(), rng);
  order.insert(order.end(), shuffled.begin(), shuffled.end());
  for (uint32_t i = 6000; i < 7000; ++i) order.push_back(2 * i);
  for (size_t n = 0; n < order.size(); ++n) {
    const bytes k = key(order[n]);
    ASSERT_FALSE(s.contains(k)) << order[n];
    s.make_room(k);
    s.add(k, rp++);
    if (n % 97 == 0) {
      // Every key so far is there, wherever it now lies; the odd numbers between them are not.
      for (size_t m = 0; m <= n; m += 13) EXPECT_TRUE(s.contains(key(order[m]))) << order[m];
      EXPECT_FALSE(s.contains(key(order[n] + 1)));
    }
  }
  EXPECT_GT(s.runs(), 5u);
  for (uint32_t i = 0; i < 7000; ++i) {
    EXPECT_TRUE(s.contains(key(2 * i))) << 2 * i;
    EXPECT_FALSE(s.contains(key(2 * i + 1))) << 2 * i + 1;
  }
  EXPECT_FALSE(s.contains(bytes{}));
  EXPECT_FALSE(s.contains(bytes(13, 0x7F)));
}

// A sorter sorted ahead of its table's finish takes entries again: the unique keys it held before are
// still found, the new ones too, and the merge gives every entry in order.
TEST(IndexSorterTest, EntriesAddedAfterASortAreFoundAndMergedInOrder) {
  scratch_folder dir;
  auto key = [](uint32_t i) {
    bytes k(6, 0x41);
    put_u32(k.data() + 2, i * 2654435761u);  // scattered: the keys come out of order
    return k;
  };
  index_sorter s(true, size_t(1) << 30, dir.file("r.mdb"));
  std::vector<entry> all;
  uint32_t rp = 0x200;
  for (uint32_t round = 0; round < 3; ++round) {
    for (uint32_t i = round * 500; i < round * 500 + 500; ++i) {
      const bytes k = key(i);
      ASSERT_FALSE(s.contains(k)) << i;
      s.make_room(k);
      s.add(k, rp);
      all.push_back({k, rp++});
    }
    EXPECT_TRUE(s.needs_sort());
    s.sort();
    EXPECT_FALSE(s.needs_sort());
    s.reopen();
    for (uint32_t i = 0; i < round * 500 + 500; i += 7) EXPECT_TRUE(s.contains(key(i))) << i;
    EXPECT_FALSE(s.contains(key(round * 500 + 500)));
  }
  expect_merged_in_order(s, all);
}

TEST(IndexSorterTest, RunFilesLieBesideTheDestinationOrInTheTemporaryFolderAndGoWithTheSorter) {
  scratch_folder dir;
  const bytes k(100, 0x41);
  // A run file a killed process left for the destination: removed when the next one is made.
  pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);
  const std::string stale = dir.file(".t.mdb." + std::to_string(child) + ".AbC123.tmp");
  std::ofstream(stale) << sys_working_file_mark << "left by a killed run";
  {
    index_sorter s(false, 4 << 10, dir.file("t.mdb"));
    for (uint32_t i = 0; i < 200; ++i) {
      s.make_room(k);
      s.add(k, i);
    }
    ASSERT_GT(s.runs(), 0u);
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_EQ(std::filesystem::path(s.run_path()).parent_path(), std::filesystem::path(dir.path()));
    EXPECT_EQ(temporaries(dir.path(), "t.mdb"), 1u);
    EXPECT_EQ(merged(s).size(), 200u);
  }
  EXPECT_EQ(dir.entries(), 0u);

  // Without a destination: the temporary folder.
  scratch_folder tmp;
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", tmp.path().c_str(), 1);
  {
    index_sorter s(false, 4 << 10, "");
    for (uint32_t i = 0; i < 200; ++i) {
      s.make_room(k);
      s.add(k, i);
    }
    EXPECT_EQ(tmp.entries(), 1u);
  }
  EXPECT_EQ(tmp.entries(), 0u);
  if (old) ::setenv("TMPDIR", saved.c_str(), 1);
  else ::unsetenv("TMPDIR");

  // A folder where nothing can be written: the disk or I/O error of the engine, nothing half done.
  index_sorter s(false, 4 << 10, dir.file("missing/t.mdb"));
  s.make_room(k);
  s.add(k, 1);
  int number = 0;
  for (int i = 0; i < 200 && number == 0; ++i) number = error_of([&] { s.make_room(k); s.add(k, 2); });
  EXPECT_EQ(number, dao_error::io_error);
}

// A table whose index entries go out to disk is written byte for byte as one whose entries stay in
// memory, refuses the same duplicates (keys that went out to disk included), and leaves no run file
// behind, whether it is closed or given up.
TEST(IndexSorterTest, SpilledAndInMemoryTablesWriteTheSameFile) {
  scratch_folder dir;
  std::vector<column_spec> columns = {{.name = L"Id", .type = column_type::long_integer},
                                      {.name = L"Code", .type = column_type::text, .size = 60},
                                      {.name = L"City", .type = column_type::text, .size = 40, .allow_zero_length = true}};
  std::vector<index_spec> indexes = {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true},
                                     {.name = L"Code", .fields = {{L"Code", false}}, .unique = true},
                                     {.name = L"City", .fields = {{L"City"}, {L"Id", false}}}};
  std::mt19937 rng(11);
  std::vector<int32_t> ids(6000);
  for (size_t i = 0; i < ids.size(); ++i) ids[i] = int32_t(i < 4000 ? i : 10000 - i);  // in order, then not
  std::vector<std::wstring> codes;
  for (size_t i = 0; i < ids.size(); ++i) codes.push_back(L"code " + std::to_wstring((i * 7919) % 6007) + L" ä");
  const std::vector<std::wstring> cities = {L"Zürich", L"zurich", L"Åre", L"Oslo", L"", L"Bern"};

  size_t most_runs = 0;
  auto write = [&](const std::string& name, size_t memory, bool close) {
    create_options options;
    options.now = 45000.5;
    options.index_memory = memory;
    auto db = database::create(dir.file(name), generation::jet4, options);
    db->add_table(L"T", columns, indexes);
    std::vector<int> refused;
    for (size_t i = 0; i < ids.size(); ++i) {
      value city = i % 11 == 0 ? value::null() : value::text(cities[i % cities.size()]);
      db->append_row(L"T", {value::long_integer(ids[i]), value::text(codes[i]), city});
      if (i % 500 == 499) {
        // A repeated primary key and a repeated code (differing only in case), long since gone to disk.
        refused.push_back(error_of([&] {
          db->append_row(L"T", {value::long_integer(ids[i / 3]), value::text(L"new"), value::null()});
        }));
        refused.push_back(error_of([&] {
          db->append_row(L"T", {value::long_integer(90000 + int32_t(i)), value::text(L"CODE" + codes[i / 2].substr(4)),
                                value::null()});
        }));
      }
      most_runs = std::max(most_runs, temporaries(dir.path(), name) - 1);
    }
    if (close) db->close();
    else db->abandon();
    return refused;
  };
  const std::vector<int> in_memory = write("memory.mdb", 0, true);
  EXPECT_EQ(most_runs, 0u);
  const std::vector<int> spilled = write("spilled.mdb", 24 << 10, true);
  EXPECT_EQ(most_runs, 3u);  // one run file per index
  EXPECT_EQ(in_memory, std::vector<int>(in_memory.size(), dao_error::duplicate_key));
  EXPECT_EQ(spilled, in_memory);
  EXPECT_EQ(slurp(dir.file("spilled.mdb")), slurp(dir.file("memory.mdb")));
  EXPECT_TRUE(verify_file(dir.file("spilled.mdb")).ok()) << verify_file(dir.file("spilled.mdb")).text();
  write("given_up.mdb", 24 << 10, false);
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"memory.mdb", "spilled.mdb"}));
}

// Rows that go to one table, then another, then back to the first: each table's entries are sorted ahead
// when the rows move on, and a table taken up again still refuses keys it held before (in its in-order
// primary key and its scattered unique index alike), takes new ones, and every tree holds every entry.
TEST(IndexSorterTest, ATableTakenUpAgainAfterItsEntriesWereSortedAheadIsComplete) {
  scratch_folder dir;
  const std::vector<column_spec> columns = {{.name = L"Id", .type = column_type::long_integer},
                                            {.name = L"Code", .type = column_type::text, .size = 40},
                                            {.name = L"Group", .type = column_type::long_integer}};
  const std::vector<index_spec> indexes = {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true},
                                           {.name = L"Code", .fields = {{L"Code"}}, .unique = true},
                                           {.name = L"Group", .fields = {{L"Group"}, {L"Id", false}}}};
  auto code = [](int32_t i) { return L"c" + std::to_wstring((uint32_t(i) * 7919u) % 100003u); };
  auto row = [&](int32_t i) { return std::vector<value>{value::long_integer(i), value::text(code(i)), value::long_integer(i % 17)}; };
  auto db = database::create(dir.file("turns.mdb"), generation::jet4);
  db->add_table(L"T", columns, indexes);
  db->add_table(L"U", columns, indexes);
  std::vector<int> refused;
  int32_t next_t = 0, next_u = 0;
  for (int turn = 0; turn < 4; ++turn) {
    for (int n = 0; n < 700; ++n) db->append_row(L"T", row(next_t++));
    for (int n = 0; n < 300; ++n) db->append_row(L"U", row(next_u++));
    // Back on T: a code and an id it took before this turn, each refused, then new rows again.
    refused.push_back(error_of([&] {
      db->append_row(L"T", {value::long_integer(100000 + turn), value::text(code(next_t / 3)), value::null()});
    }));
    refused.push_back(error_of([&] { db->append_row(L"T", row(next_t / 2)); }));
  }
  db->add_table(L"V", columns, indexes);  // a table added sorts the last one ahead too
  for (int n = 0; n < 50; ++n) db->append_row(L"U", row(next_u++));
  refused.push_back(error_of([&] { db->append_row(L"U", row(7)); }));
  db->close();
  EXPECT_EQ(refused, std::vector<int>(refused.size(), dao_error::duplicate_key));
  const verify_report report = verify_file(dir.file("turns.mdb"));
  EXPECT_TRUE(report.ok()) << report.text();
  auto reader = database_reader::open(dir.file("turns.mdb"));
  EXPECT_EQ(reader->table(L"T").row_count, uint32_t(next_t));
  EXPECT_EQ(reader->table(L"U").row_count, uint32_t(next_u));
  for (const index_def& ix : reader->table(L"T").indexes) EXPECT_EQ(ix.entry_count, uint32_t(next_t));
}

}  // namespace
}  // namespace jet
