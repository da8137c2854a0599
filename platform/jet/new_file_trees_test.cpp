// The index trees of tables a new file has left are built ahead, on other cores, and written at close
// where they would have been built there: the file is the same, byte for byte, whether any tree, some
// or none were built ahead.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/index_scan.h"
#include "platform/jet/new_file.h"
#include "platform/jet/page_file.h"
#include "platform/jet/reader.h"
#include "platform/jet/reader_oracles.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/verifier.h"

namespace jet {
namespace {

constexpr double kNow = 45000.5;  // the same creation stamps in every file

const std::vector<column_spec> customer_columns = {{.name = L"Id", .type = column_type::long_integer},
                                                   {.name = L"Name", .type = column_type::text, .size = 60},
                                                   {.name = L"Email", .type = column_type::text, .size = 120}};
const std::vector<index_spec> customer_indexes = {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true},
                                                  {.name = L"Name", .fields = {{L"Name"}}},
                                                  {.name = L"Email", .fields = {{L"Email"}}, .unique = true}};
const std::vector<column_spec> order_columns = {{.name = L"Id", .type = column_type::long_integer},
                                                {.name = L"Customer", .type = column_type::long_integer},
                                                {.name = L"Note", .type = column_type::text, .size = 255}};
// Notes of 240 characters: a few keys a page and a tree of three levels or more.
const std::vector<index_spec> order_indexes = {
    {.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true},
    {.name = L"Customer", .fields = {{L"Customer"}, {L"Id", false}}},
    {.name = L"Note", .fields = {{L"Note"}}, .unique = true}};

std::vector<value> customer(int32_t i) {
  return {value::long_integer(i), value::text(L"name " + std::to_wstring(i % 97)),
          value::text(L"m" + std::to_wstring((uint32_t(i) * 7919u) % 100003u) + L"@example.com")};
}
std::vector<value> order(int32_t i) {
  const int32_t id = int32_t((uint32_t(i) * 104729u) % 1000003u);  // ids out of order
  std::wstring note = std::to_wstring((uint32_t(i) * 31u) % 9973u) + L" " + std::to_wstring(i);
  note.resize(240, L'x');
  return {value::long_integer(id), value::long_integer(i % 311), value::text(note)};
}

struct written {
  std::string bytes;
  size_t built_ahead = 0;
  uint32_t customers = 0, orders = 0;
};

// Tables left and taken up again (rows go Customers, Orders, Customers, Tiny, Orders, Last,
// Customers), one never written to, and the last one, taken up again, still current at close.
written write_file(const std::string& path, generation g, std::optional<size_t> tree_memory) {
  create_options options;
  options.now = kNow;
  options.tree_memory = tree_memory;
  auto db = new_file::create(path, *format::for_generation(g), options);
  const size_t customers = db->add_table(L"Customers", customer_columns, customer_indexes);
  const size_t orders = db->add_table(L"Orders", order_columns, order_indexes);
  const size_t tiny = db->add_table(L"Tiny", customer_columns, customer_indexes);
  db->add_table(L"Empty", customer_columns, customer_indexes);
  const size_t last = db->add_table(L"Last", order_columns, order_indexes);
  written w;
  int32_t c = 0, o = 0;
  for (; c < 1500; ++c) db->append_row(customers, customer(c));
  for (; o < 1200; ++o) db->append_row(orders, order(o));
  for (; c < 3000; ++c) db->append_row(customers, customer(c));  // taken up again
  db->append_row(tiny, customer(1));
  for (; o < 2500; ++o) db->append_row(orders, order(o));  // taken up again
  for (int32_t i = 0; i < 40; ++i) db->append_row(last, order(i));
  for (; c < 3100; ++c) db->append_row(customers, customer(c));  // its trees built ahead would lack these
  db->close();
  w.bytes = slurp(path);
  w.built_ahead = db->trees_built_ahead();
  w.customers = uint32_t(c);
  w.orders = uint32_t(o);
  return w;
}

class NewFileTrees : public ::testing::TestWithParam<generation> {};

TEST_P(NewFileTrees, TreesBuiltAheadLeaveTheFileAsBuildingThemAtClose) {
  scratch_folder dir;
  const std::string ext = GetParam() == generation::ace ? ".accdb" : ".mdb";
  const written at_close = write_file(dir.file("at_close" + ext), GetParam(), 0);
  const written ahead = write_file(dir.file("ahead" + ext), GetParam(), std::nullopt);
  const written some = write_file(dir.file("some" + ext), GetParam(), size_t(48) << 10);

  EXPECT_EQ(at_close.built_ahead, 0u);
  // The trees of Orders, Tiny and Last; not Empty's (never left) nor those of Customers (current at close).
  EXPECT_EQ(ahead.built_ahead, 9u);
  EXPECT_GT(some.built_ahead, 0u);
  EXPECT_LT(some.built_ahead, 9u);
  EXPECT_TRUE(ahead.bytes == at_close.bytes) << "the files differ";
  EXPECT_TRUE(some.bytes == at_close.bytes) << "the files differ";

  const std::string path = dir.file("ahead" + ext);
  const verify_report report = verify_file(path);
  EXPECT_TRUE(report.ok()) << report.text();
  auto reader = database_reader::open(path);
  const table_def orders = reader->table(L"Orders");
  EXPECT_EQ(orders.row_count, ahead.orders);
  for (const index_def& ix : orders.indexes) EXPECT_EQ(ix.entry_count, ahead.orders);
  // The notes' tree has node levels above node levels.
  const format& f = *format::for_generation(GetParam());
  auto pages = page_file::open(path, f.page_size);
  uint32_t depth = 0;
  for (const index_def& ix : orders.indexes) {
    const index_tree_report tree = check_index_tree(f, *pages, ix.root_page, orders.tdef_page);
    EXPECT_TRUE(tree.problems.empty()) << tree.problems.front();
    depth = std::max(depth, tree.depth);
  }
  EXPECT_GE(depth, 3u);
  for (const index_def& ix : reader->table(L"Customers").indexes) EXPECT_EQ(ix.entry_count, ahead.customers);

  // The independent readers.
  EXPECT_EQ(oracle::mdb_export(path, "Customers").size(), ahead.customers);
  EXPECT_EQ(oracle::mdb_export(path, "Orders").size(), ahead.orders);
  for (const auto& t : oracle::mdb_reader_dump(path)) {
    const long long expected = t.name == "Customers" ? ahead.customers
                               : t.name == "Orders"  ? ahead.orders
                               : t.name == "Tiny"    ? 1
                               : t.name == "Last"    ? 40
                                                     : 0;
    EXPECT_EQ(t.row_count, expected) << t.name;
    EXPECT_EQ(t.rows.size(), size_t(expected)) << t.name;
  }
}

// A key too large for an index page is found while its tree is built: on another core for a table
// left, yet close raises the same error as when the tree is built there, and the file is not made.
TEST_P(NewFileTrees, ARowWhoseKeyNoIndexPageCanHoldIsRefusedAndTheFileKept) {
  scratch_folder dir;
  std::vector<column_spec> columns;
  index_spec wide{.name = L"Wide"};
  for (int k = 0; k < 10; ++k) {
    columns.push_back({.name = L"T" + std::to_wstring(k), .type = column_type::text, .size = 255});
    wide.fields.push_back({L"T" + std::to_wstring(k)});
  }
  for (std::optional<size_t> tree_memory : {std::optional<size_t>(0), std::optional<size_t>()}) {
    SCOPED_TRACE(tree_memory ? "built at close" : "built ahead");
    create_options options;
    options.now = kNow;
    options.tree_memory = tree_memory;
    const std::string path = dir.file(tree_memory ? "at_close.mdb" : "ahead.mdb");
    auto db = new_file::create(path, *format::for_generation(GetParam()), options);
    const size_t t = db->add_table(L"Wide", columns, {wide});
    const size_t next = db->add_table(L"Next", customer_columns, customer_indexes);
    db->append_row(t, std::vector<value>(10, value::text(L"short")));
    // Accented capitals take more than a byte of key each: 10 columns of them pass an index page. The row is
    // refused when it is appended, as any other record error, rather than failing the tree at close.
    const size_t length = GetParam() == generation::jet3 ? 150 : 200;
    try {
      db->append_row(t, std::vector<value>(10, value::text(std::wstring(length, L'\u00C9'))));
      ADD_FAILURE() << "the row was taken";
    } catch (const error& e) {
      EXPECT_EQ(e.number(), 3001);
      EXPECT_NE(std::string(e.what()).find("longer than an index page can hold"), std::string::npos) << e.what();
    }
    db->append_row(t, std::vector<value>(10, value::text(L"after")));
    db->append_row(next, customer(1));  // Wide is left: its tree is built ahead when memory allows
    db->close();
    EXPECT_TRUE(verify_file(path).ok());
    EXPECT_EQ(oracle::mdb_export(path, "Wide").size(), 2u);
    EXPECT_EQ(oracle::mdb_export(path, "Next").size(), 1u);
  }
  EXPECT_TRUE(slurp(dir.file("at_close.mdb")) == slurp(dir.file("ahead.mdb"))) << "the files differ";
}

INSTANTIATE_TEST_SUITE_P(Generations, NewFileTrees,
                         ::testing::Values(generation::jet3, generation::jet4, generation::ace),
                         [](const auto& info) {
                           return info.param == generation::jet3 ? "Jet3" : info.param == generation::jet4 ? "Jet4" : "Ace";
                         });

}  // namespace
}  // namespace jet
