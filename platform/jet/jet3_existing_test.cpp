// Changing existing Access 95/97 (Jet 3) files, an Access-made one and one of ours: new tables with
// indexes, rows appended to a stored table, an index added, an enforced relationship and a table
// deleted. The file keeps its format and every index holds exactly the keys of its rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/jet/catalog_listing.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/index_key.h"
#include "platform/jet/index_scan.h"
#include "platform/jet/new_file.h"
#include "platform/jet/reader.h"
#include "platform/jet/reader_oracles.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/value_codec.h"
#include "platform/jet/verifier.h"

namespace jet {
namespace {

namespace fs = std::filesystem;

// Every index of every user table holds exactly the keys of the table's rows, in a sound tree.
void expect_complete_indexes(const std::string& path) {
  auto db = database_reader::open(path);
  for (const auto& name : db->table_names()) {
    SCOPED_TRACE(to_utf8(name));
    table_def t = db->table(name);
    auto rows = db->read_all(name);
    EXPECT_EQ(t.row_count, rows.size());
    for (size_t i = 0; i < t.indexes.size(); ++i) {
      SCOPED_TRACE("index " + std::to_string(i));
      const index_def& ix = t.indexes[i];
      std::vector<bytes> got;
      index_tree_report r = check_index_tree(db->fmt(), db->pages(), ix.root_page, t.tdef_page,
                                             [&](const index_entry& e) { got.push_back(e.key); });
      EXPECT_TRUE(r.problems.empty()) << r.problems.front();
      std::vector<bytes> want;
      for (const auto& row : rows)
        if (has_index_entry(t, ix, row)) want.push_back(encode_key(db->fmt(), t, ix, row));
      std::sort(got.begin(), got.end());
      std::sort(want.begin(), want.end());
      EXPECT_TRUE(got == want);
    }
  }
}

void change_file(const std::string& path) {
  {
    auto db = database::open(path);
    EXPECT_EQ(db->fmt().gen, generation::jet3);
    size_t customers = db->add_table(
        L"Customers", {{.name = L"Code", .type = column_type::text, .size = 10}, {.name = L"Name", .type = column_type::text}},
        {{.name = L"PrimaryKey", .fields = {{L"Code"}}, .primary = true}});
    for (int i = 0; i < 300; ++i)
      db->append_row(customers, {value::text(L"C" + std::to_wstring(i)), value::text(L"Caf\u00e9 \u00e0 la carte " + std::to_wstring(i))});
    size_t orders = db->add_table(L"Orders",
                                  {{.name = L"Id", .type = column_type::long_integer, .autonumber = true},
                                   {.name = L"Customer", .type = column_type::text, .size = 10},
                                   {.name = L"Amount", .type = column_type::currency},
                                   {.name = L"Note", .type = column_type::memo}},
                                  {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true},
                                   {.name = L"ByAmount", .fields = {{L"Amount", false}}}});
    for (int i = 0; i < 900; ++i)
      db->append_row(orders, {value(), value::text(L"C" + std::to_wstring(i % 300)), value::currency({i * 1234}),
                              i % 50 ? value() : value::text(std::wstring(3000, L'n'))});
    db->add_table(L"Scratch", {{.name = L"X", .type = column_type::long_integer}}, {});
    db->close();
  }
  {
    auto db = database::open(path);
    db->add_index(L"Orders", {.name = L"ByCustomer", .fields = {{L"Customer"}}});
    db->add_relationship({.name = L"CustomersOrders", .table = L"Orders", .columns = {L"Customer"},
                          .referenced_table = L"Customers", .referenced_columns = {L"Code"}});
    size_t orders = db->table_handle(L"Orders");
    db->append_row(orders, {value(), value::text(L"C7"), value::currency({1}), value()});
    EXPECT_EQ(error_of([&] { db->append_row(orders, {value(), value::text(L"nobody"), value(), value()}); }),
              dao_error::related_record_required);
    db->delete_table(L"Scratch");
    db->close();
  }
  EXPECT_EQ(oracle::run({"mdb-ver", path}).out, "JET3\n");
  EXPECT_EQ(slurp(path)[0x14], 0);
  EXPECT_EQ(oracle::mdb_export(path, "Orders").size(), 901u);
  EXPECT_EQ(oracle::mdb_export(path, "Customers").size(), 300u);
  auto tables = oracle::run({"mdb-tables", "-1", path});
  EXPECT_EQ(tables.out.find("Scratch"), std::string::npos);
  auto db = database_reader::open(path);
  auto relationships = list_relationships(*db);
  ASSERT_EQ(relationships.size(), 1u);
  EXPECT_EQ(relationships[0].name, L"CustomersOrders");
  EXPECT_TRUE(relationships[0].enforced());
  EXPECT_EQ(db->read_all(L"Orders").size(), 901u);
  expect_complete_indexes(path);
  verify_report r = verify_file(path);
  EXPECT_TRUE(r.ok()) << r.text();
}

TEST(ChangeExistingJet3, AnAccess97FileTakesTablesRowsIndexesRelationshipsAndDeletions) {
  scratch_folder s;
  const std::string path = s.file("access97.mdb");
  fs::copy_file(sample_path("jackcess/delTestV1997.mdb"), path);
  // The Jet 3 engine lists MSysObjects' long-value columns alphabetically; rewrites keep that list.
  const std::vector<uint16_t> lv_list = database_reader::open(path)->table(L"MSysObjects").lv_list_order;
  EXPECT_EQ(lv_list, (std::vector<uint16_t>{9, 8, 13, 16, 15, 14, 12}));
  {
    // Rows appended to a table Access made.
    auto db = database::open(path);
    size_t t = db->table_handle(L"Table");
    db->append_row(t, {value::text(L"added"), value::text(L"\u00fcber \u03a9")});
    db->close();
  }
  auto rows = oracle::mdb_export(path, "Table");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2][0], "added");
  EXPECT_EQ(rows[2][1], to_utf8(L"\u00fcber ?"));
  change_file(path);
  EXPECT_EQ(oracle::mdb_export(path, "Table").size(), 3u);
  EXPECT_EQ(database_reader::open(path)->table(L"MSysObjects").lv_list_order, lv_list);
}

TEST(ChangeExistingJet3, OurOwnFileTakesTablesRowsIndexesRelationshipsAndDeletions) {
  scratch_folder s;
  const std::string path = s.file("ours.mdb");
  new_file::create(path, format::jet3(), {})->close();
  change_file(path);
}

}  // namespace
}  // namespace jet
