// Changing existing files: tables created in Access's and in our files, rows appended to existing
// tables (old and new rows and every index checked by the verifier and both independent readers),
// tables deleted, and failures that leave the original byte for byte as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/reader.h"
#include "platform/jet/reader_oracles.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/value_codec.h"
#include "platform/jet/verifier.h"

namespace jet {
namespace {

namespace fs = std::filesystem;

void expect_sound(const std::string& path) {
  verify_report r = verify_file(path);
  EXPECT_TRUE(r.ok()) << r.text();
}

// A row by column name, placed by the columns' numbers.
std::vector<value> row_of(const table_def& t, std::vector<std::pair<std::wstring, value>> fields) {
  std::vector<value> row(std::max<size_t>(t.max_columns, t.columns.size()));
  for (auto& [name, v] : fields) {
    const column_def* c = t.find_column(name);
    if (!c) throw std::runtime_error("no column " + to_utf8(name));
    row[c->number] = std::move(v);
  }
  return row;
}

std::vector<std::string> column_of(const std::vector<std::vector<std::string>>& rows, size_t i) {
  std::vector<std::string> out;
  for (const auto& r : rows) out.push_back(r.at(i));
  std::sort(out.begin(), out.end());
  return out;
}

TEST(ChangeExisting, AppendsToAnAccessTableKeepingEveryIndexComplete) {
  scratch_folder s;
  const std::string path = s.file("index.mdb");
  fs::copy_file(sample_path("jackcess/indexTestV2000.mdb"), path);
  {
    auto db = database::open(path);
    size_t t1 = db->table_handle(L"Table1");
    const table_def def = db->table(t1);
    EXPECT_EQ(db->row_count(t1), 4u);
    db->append_row(t1, row_of(def, {{L"id", value::long_integer(4)}, {L"otherfk1", value::long_integer(2)},
                                    {L"otherfk2", value::long_integer(13)}, {L"data", value::text(L"new4")},
                                    {L"otherfk3", value::long_integer(0)}}));
    // The primary key already holds 3 (an old row): refused, and the table stays usable.
    EXPECT_EQ(error_of([&] {
      db->append_row(t1, row_of(def, {{L"id", value::long_integer(3)}, {L"data", value::text(L"dup")}}));
    }), dao_error::duplicate_key);
    db->append_row(t1, row_of(def, {{L"id", value::long_integer(5)}, {L"otherfk1", value::long_integer(0)},
                                    {L"otherfk2", value::long_integer(10)}, {L"data", value::text(L"new5")},
                                    {L"otherfk3", value::long_integer(0)}}));
    EXPECT_EQ(db->row_count(t1), 6u);
    db->close();
  }
  expect_sound(path);
  auto rows = oracle::mdb_export(path, "Table1");
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(column_of(rows, 3), (std::vector<std::string>{"baz0", "baz11", "baz11-2", "baz13", "new4", "new5"}));
  auto dump = oracle::mdb_reader_dump(path, {"Table1", "Table2"});
  ASSERT_EQ(dump.size(), 2u);
  EXPECT_EQ(dump[0].rows.size(), 6u);
  EXPECT_EQ(dump[1].rows.size(), 3u);  // the other tables are as they were
  // The relationships and queries of the file are still there.
  auto db = database::open(path, {.read_only = true});
  EXPECT_EQ(db->relationships().size(), 4u);
}

TEST(ChangeExisting, AppendsLongValuesToAWideAccessTable) {
  scratch_folder s;
  const std::string path = s.file("wide.mdb");
  fs::copy_file(sample_path("jackcess/test2V2000.mdb"), path);
  std::vector<std::vector<value>> before;
  {
    auto db = database::open(path);
    before = db->reader().read_all(L"MSP_PROJECTS");
    size_t t = db->table_handle(L"MSP_PROJECTS");
    std::vector<value> row = before.at(0);
    const table_def& def = db->table(t);
    for (const auto& c : def.columns)
      if (c.type == column_type::memo) row[c.number] = value::text(std::wstring(3000, L'm'));
    // Unique keys of the copy would clash: give each indexed column a fresh value.
    for (const auto& c : def.columns)
      if (c.name == L"PROJ_ID") row[c.number] = value::long_integer(4242);
      else if (c.name == L"PROJ_NAME") row[c.number] = value::text(L"Second project");
    db->append_row(t, row);
    db->close();
  }
  expect_sound(path);
  auto db = database::open(path, {.read_only = true});
  auto after = db->reader().read_all(L"MSP_PROJECTS");
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0], before[0]);  // the old row, its 22,970-byte OLE value included
  EXPECT_EQ(oracle::mdb_export(path, "MSP_PROJECTS").size(), 2u);
  EXPECT_EQ(oracle::mdb_reader_dump(path, {"MSP_PROJECTS"}).at(0).rows.size(), 2u);
}

TEST(ChangeExisting, AppendsToATableWeWroteContinuingItsAutoNumber) {
  scratch_folder s;
  const std::string path = s.file("ours.mdb");
  {
    auto db = database::create(path);
    db->add_table(L"People",
                  {{.name = L"Id", .type = column_type::long_integer, .autonumber = true},
                   {.name = L"Name", .type = column_type::text, .size = 40, .required = true, .allow_zero_length = false},
                   {.name = L"Note", .type = column_type::memo}},
                  {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true},
                   {.name = L"ByName", .fields = {{L"Name"}}, .unique = true}});
    db->append_row(L"People", {value(), value::text(L"Ann"), value::text(L"first")});
    db->append_row(L"People", {value::long_integer(10), value::text(L"Bob"), value()});
    db->close();
  }
  {
    auto db = database::open(path);
    size_t t = db->table_handle(L"People");
    EXPECT_EQ(db->table(t).autonumber_last, 10u);
    db->append_row(t, {value(), value::text(L"Cy"), value::text(std::wstring(5000, L'x'))});
    EXPECT_EQ(error_of([&] { db->append_row(t, {value(), value::text(L"Ann"), value()}); }), dao_error::duplicate_key);
    EXPECT_EQ(error_of([&] { db->append_row(t, {value(), value(), value()}); }), dao_error::required_null);
    EXPECT_EQ(error_of([&] { db->append_row(t, {value(), value::text(L""), value()}); }), dao_error::zero_length);
    db->append_row(t, {value(), value::text(L"Dee"), value()});
    // Finished and appended to again: the rules hold as before.
    db->finish_table(t);
    EXPECT_EQ(error_of([&] { db->append_row(t, {value(), value(), value::text(L"n")}); }), dao_error::required_null);
    EXPECT_EQ(error_of([&] { db->append_row(t, {value(), value::text(L""), value()}); }), dao_error::zero_length);
    db->close();
  }
  expect_sound(path);
  auto rows = oracle::mdb_export(path, "People");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(column_of(rows, 0), (std::vector<std::string>{"1", "10", "11", "12"}));
  auto dump = oracle::mdb_reader_dump(path, {"People"});
  ASSERT_EQ(dump.size(), 1u);
  EXPECT_EQ(dump[0].rows.size(), 4u);
}

TEST(ChangeExisting, CreatesTablesInAnEngineBlankAndInAnAccessFile) {
  for (const char* sample : {"jackcess/adox_jet4.mdb", "jackcess/empty.mdb", "jackcess/indexTestV2000.mdb"}) {
    SCOPED_TRACE(sample);
    scratch_folder s;
    const std::string path = s.file("new.mdb");
    fs::copy_file(sample_path(sample), path);
    {
      auto db = database::open(path);
      EXPECT_EQ(error_of([&] {
        db->add_table(L"MSysObjects", {{.name = L"A", .type = column_type::long_integer}}, {});
      }), dao_error::table_exists);
      size_t h = db->add_table(L"Orders",
                               {{.name = L"Id", .type = column_type::long_integer, .autonumber = true},
                                {.name = L"Item", .type = column_type::text, .size = 30},
                                {.name = L"Amount", .type = column_type::currency}},
                               {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true}}, L"orders of the day");
      for (int i = 0; i < 500; ++i)
        db->append_row(h, {value(), value::text(L"item " + std::to_wstring(i)), value::currency({i * 10000})});
      db->add_table(L"Empty One", {{.name = L"X", .type = column_type::double_}}, {});
      db->close();
    }
    expect_sound(path);
    auto db = database::open(path, {.read_only = true});
    auto objects = db->objects();
    EXPECT_TRUE(std::any_of(objects.begin(), objects.end(), [](const catalog_object& o) {
      return o.name == L"Orders" && o.kind == object_kind::local_table;
    }));
    EXPECT_EQ(db->reader().read_all(L"Orders").size(), 500u);
    EXPECT_EQ(db->reader().properties(L"Orders").object.find(L"Description")->data, value::text(L"orders of the day"));
    auto tables = oracle::run({"mdb-tables", "-1", path}).out;
    EXPECT_NE(tables.find("Orders\n"), std::string::npos) << tables;
    EXPECT_NE(tables.find("Empty One\n"), std::string::npos) << tables;
    EXPECT_EQ(oracle::mdb_export(path, "Orders").size(), 500u);
    EXPECT_EQ(oracle::mdb_reader_dump(path, {"Orders"}).at(0).rows.size(), 500u);
  }
}

TEST(ChangeExisting, DeletesTables) {
  scratch_folder s;
  const std::string path = s.file("del.mdb");
  fs::copy_file(sample_path("jackcess/test2V2000.mdb"), path);
  {
    auto db = database::open(path);
    EXPECT_EQ(error_of([&] { db->delete_table(L"NoSuchTable"); }), dao_error::field_not_found);
    EXPECT_EQ(error_of([&] { db->delete_table(L"MSysObjects"); }), dao_error::not_supported);
    EXPECT_EQ(error_of([&] { db->append_row(db->table_handle(L"MSysACEs"), {}); }), dao_error::not_supported);
    db->delete_table(L"MSP_PROJECTS");
    EXPECT_EQ(db->reader().find_table(L"MSP_PROJECTS"), nullptr);
    db->close();
  }
  expect_sound(path);
  EXPECT_EQ(oracle::run({"mdb-tables", "-1", path}).out.find("MSP_PROJECTS"), std::string::npos);

  // A table that relationships name is refused, naming them, and the file keeps it with its relationships.
  const std::string rel = s.file("rel.mdb");
  fs::copy_file(sample_path("jackcess/indexTestV2000.mdb"), rel);
  const std::string before = slurp(rel);
  {
    auto db = database::open(rel);
    try {
      db->delete_table(L"table1");
      ADD_FAILURE() << "deleted";
    } catch (const error& e) {
      EXPECT_EQ(e.number(), dao_error::part_of_relationship);
      EXPECT_STREQ(e.what(), "Cannot delete the table 'Table1'. It is part of one or more relationships: "
                             "'Table2Table1', 'Table3Table1'.");
    }
    db->close();
  }
  EXPECT_TRUE(slurp(rel) == before);

  // Delete, then create the table anew (the run's "overwrite" mode).
  const std::string again = s.file("again.mdb");
  fs::copy_file(sample_path("jackcess/overflowTestV2000.mdb"), again);
  {
    auto db = database::open(again);
    size_t old = db->table_handle(L"Table1");
    db->delete_table(L"Table1");
    EXPECT_EQ(error_of([&] { db->append_row(old, {value::text(L"gone")}); }), dao_error::field_not_found);
    size_t h = db->add_table(L"Table1", {{.name = L"A", .type = column_type::text, .size = 10}}, {});
    db->append_row(h, {value::text(L"fresh")});
    db->close();
  }
  expect_sound(again);
  auto rows = oracle::mdb_export(again, "Table1");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "fresh");
}

TEST(ChangeExisting, FailuresLeaveTheOriginalAsItWas) {
  scratch_folder s;
  const std::string path = s.file("a.mdb");
  fs::copy_file(sample_path("jackcess/indexTestV2000.mdb"), path);
  const std::string before = slurp(path);
  {  // abandoned after a refused row
    auto db = database::open(path);
    size_t t = db->table_handle(L"Table2");
    db->append_row(t, {value::long_integer(7), value::text(L"x")});
    EXPECT_EQ(error_of([&] { db->append_row(t, {value::long_integer(7), value::text(L"y")}); }), dao_error::duplicate_key);
    db->abandon();
  }
  EXPECT_TRUE(slurp(path) == before);
  EXPECT_EQ(s.entries(), 1u);
  {  // read-only sessions refuse changes
    auto db = database::open(path, {.read_only = true});
    EXPECT_EQ(error_of([&] { db->append_row(db->table_handle(L"Table2"), {value::long_integer(8)}); }),
              dao_error::cannot_open);
    EXPECT_EQ(error_of([&] { db->delete_table(L"Table3"); }), dao_error::cannot_open);
  }
  EXPECT_TRUE(slurp(path) == before);
  // A write that fails half-way (the disk fills up while a table is rewritten).
  {
    auto db = database::open(path);
    size_t t = db->add_table(L"Big", {{.name = L"Text", .type = column_type::memo}}, {});
    int number = error_with_file_size_limit(fs::file_size(path) + 64 * 1024, [&] {
      for (int i = 0; i < 200; ++i) db->append_row(t, {value::text(std::wstring(4000, wchar_t(L'a' + i % 26)))});
      db->close();
    });
    EXPECT_EQ(number, dao_error::disk_full);
    EXPECT_NE(error_of([&] { db->close(); }), 0);
  }
  EXPECT_TRUE(slurp(path) == before);
  EXPECT_EQ(s.entries(), 1u);
  // No room for the working copy itself: the change fails, and so does every later one.
  {
    auto db = database::open(path);
    const std::vector<column_spec> one = {{.name = L"A", .type = column_type::long_integer}};
    int number = error_with_file_size_limit(fs::file_size(path) / 2, [&] { db->add_table(L"Extra", one, {}); });
    EXPECT_EQ(number, dao_error::disk_full);
    EXPECT_EQ(error_of([&] { db->add_table(L"Extra", one, {}); }), dao_error::io_error);
    EXPECT_NE(error_of([&] { db->close(); }), 0);
  }
  EXPECT_TRUE(slurp(path) == before);
  EXPECT_EQ(s.entries(), 1u);
}

TEST(ChangeExisting, WritesRelationshipsWithTheirForeignKeyIndexes) {
  scratch_folder s;
  const std::string path = s.file("rel.mdb");
  fs::copy_file(sample_path("jackcess/adox_jet4.mdb"), path);
  {
    auto db = database::open(path);
    size_t c = db->add_table(L"Customers",
                             {{.name = L"Id", .type = column_type::long_integer},
                              {.name = L"Name", .type = column_type::text, .size = 20}},
                             {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true}});
    size_t o = db->add_table(L"Orders",
                             {{.name = L"Id", .type = column_type::long_integer, .autonumber = true},
                              {.name = L"Customer", .type = column_type::long_integer},
                              {.name = L"Code", .type = column_type::text, .size = 5}},
                             {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true}});
    for (int i = 1; i <= 3; ++i) db->append_row(c, {value::long_integer(i), value::text(L"c" + std::to_wstring(i))});
    for (int i = 0; i < 20; ++i) db->append_row(o, {value(), value::long_integer(1 + i % 3), value::text(L"x")});
    db->append_row(o, {value(), value(), value::text(L"none")});  // no customer: allowed
    db->close();
  }
  const std::string before = slurp(path);
  {  // refusals change nothing
    auto db = database::open(path);
    relationship_spec bad{.name = L"Bad", .table = L"Orders", .columns = {L"Code"},
                          .referenced_table = L"Customers", .referenced_columns = {L"Id"}};
    EXPECT_EQ(error_of([&] { db->add_relationship(bad); }), dao_error::relationship_mismatch);
    bad.columns = {L"Customer"};
    bad.referenced_table = L"Orders";
    bad.referenced_columns = {L"Customer"};
    EXPECT_EQ(error_of([&] { db->add_relationship(bad); }), dao_error::no_unique_index);
    bad.columns = {L"Id"};  // order ids 1..21 against customers 1..3
    bad.referenced_table = L"Customers";
    bad.referenced_columns = {L"Id"};
    EXPECT_EQ(error_of([&] { db->add_relationship(bad); }), dao_error::related_record_required);
    db->close();
  }
  EXPECT_TRUE(slurp(path) == before);
  {
    auto db = database::open(path);
    size_t orders = db->table_handle(L"Orders");
    EXPECT_EQ(db->table(orders).logical_indexes.size(), 1u);
    db->add_relationship({.name = L"CustomersOrders", .table = L"Orders", .columns = {L"Customer"},
                          .referenced_table = L"Customers", .referenced_columns = {L"Id"},
                          .grbit = relationship_flag::cascade_delete});
    EXPECT_EQ(db->table(orders).logical_indexes.size(), 2u);  // the handle sees the new foreign-key index
    db->add_relationship({.name = L"Loose", .table = L"Orders", .columns = {L"Code"}, .referenced_table = L"Customers",
                          .referenced_columns = {L"Name"}, .grbit = relationship_flag::not_enforced});
    EXPECT_EQ(error_of([&] {
      db->add_relationship({.name = L"loose", .table = L"Orders", .columns = {L"Code"},
                            .referenced_table = L"Customers", .referenced_columns = {L"Name"},
                            .grbit = relationship_flag::not_enforced});
    }), dao_error::object_exists);
    db->close();
  }
  expect_sound(path);
  auto db = database::open(path, {.read_only = true});
  auto rels = db->relationships();
  ASSERT_EQ(rels.size(), 2u);
  EXPECT_EQ(rels[0].name, L"CustomersOrders");
  EXPECT_EQ(rels[0].table, L"Orders");
  EXPECT_EQ(rels[0].columns, std::vector<std::wstring>{L"Customer"});
  EXPECT_EQ(rels[0].referenced_table, L"Customers");
  EXPECT_EQ(rels[0].grbit, relationship_flag::cascade_delete);
  EXPECT_FALSE(rels[1].enforced());
  table_def orders = db->reader().table(L"Orders"), customers = db->reader().table(L"Customers");
  auto fk = std::find_if(orders.logical_indexes.begin(), orders.logical_indexes.end(),
                         [](const logical_index_def& li) { return li.name == L"CustomersOrders"; });
  ASSERT_NE(fk, orders.logical_indexes.end());
  EXPECT_EQ(fk->type, logical_index_type::foreign_key);
  EXPECT_EQ(fk->relationship_role, 2);
  EXPECT_EQ(fk->other_tdef, customers.tdef_page);
  EXPECT_EQ(fk->cascade_delete, 1);
  EXPECT_EQ(fk->cascade_update, 0);
  ASSERT_EQ(orders.indexes.at(fk->physical).columns.size(), 1u);
  EXPECT_EQ(orders.indexes.at(fk->physical).columns[0].column_number, orders.find_column(L"Customer")->number);
  auto back = std::find_if(customers.logical_indexes.begin(), customers.logical_indexes.end(),
                           [](const logical_index_def& li) { return li.name == L".rC"; });
  ASSERT_NE(back, customers.logical_indexes.end());
  EXPECT_EQ(back->relationship_role, 1);
  EXPECT_EQ(back->other_tdef, orders.tdef_page);
  EXPECT_EQ(uint32_t(back->other_index), fk->number);
  EXPECT_EQ(uint32_t(fk->other_index), back->number);
  EXPECT_EQ(back->physical, customers.logical_indexes[0].physical);  // shares the primary key
  auto schema = oracle::run({"mdb-schema", "--relations", path, "postgres"}).out;
  EXPECT_NE(schema.find("FOREIGN KEY"), std::string::npos) << schema;
  EXPECT_EQ(oracle::mdb_reader_dump(path, {"Orders"}).at(0).rows.size(), 21u);
}

TEST(ChangeExisting, NewRowsKeepEnforcedRelationships) {
  scratch_folder s;
  const std::string path = s.file("ri.mdb");
  fs::copy_file(sample_path("jackcess/indexTestV2000.mdb"), path);
  {
    auto db = database::open(path);
    size_t t1 = db->table_handle(L"Table1"), t2 = db->table_handle(L"Table2");
    const table_def def = db->table(t1);
    auto child = [&](int id, std::optional<int> fk1) {
      return row_of(def, {{L"id", value::long_integer(id)},
                          {L"otherfk1", fk1 ? value::long_integer(*fk1) : value()},
                          {L"otherfk2", value::long_integer(10)},
                          {L"otherfk3", value::long_integer(0)}});
    };
    // Table1.otherfk1 refers to Table2.id (0, 1, 2).
    EXPECT_EQ(error_of([&] { db->append_row(t1, child(10, 7)); }), dao_error::related_record_required);
    db->append_row(t1, child(11, std::nullopt));  // no reference at all
    db->append_row(t2, {value::long_integer(7), value::text(L"seven")});
    db->append_row(t1, child(12, 7));  // refers to the row just added
    db->close();
  }
  expect_sound(path);
  EXPECT_EQ(oracle::mdb_export(path, "Table1").size(), 6u);
}

TEST(ChangeExisting, EnforcedRelationshipsMatchTextTheWayItsIndexDoes) {
  // Text keys match in the column's collation: case and trailing blanks do not count, accents do.
  scratch_folder s;
  const std::string path = s.file("text_ri.mdb");
  fs::copy_file(sample_path("jackcess/adox_jet4.mdb"), path);
  {
    auto db = database::open(path);
    size_t parents = db->add_table(L"Parents", {{.name = L"Code", .type = column_type::text, .size = 10}},
                                   {{.name = L"PrimaryKey", .fields = {{L"Code"}}, .primary = true}});
    size_t children = db->add_table(L"Children",
                                    {{.name = L"Id", .type = column_type::long_integer},
                                     {.name = L"Parent", .type = column_type::text, .size = 10}},
                                    {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true}});
    db->append_row(parents, {value::text(L"ABC")});
    db->append_row(parents, {value::text(L"Café")});
    db->append_row(children, {value::long_integer(1), value::text(L"abc")});
    db->append_row(children, {value::long_integer(2), value::text(L"Abc  ")});
    db->append_row(children, {value::long_integer(3), value::text(L"CAFE")});
    db->close();
  }
  const std::string unrelated = slurp(path);
  {  // "CAFE" is not "Café" for the index: the relationship is refused and nothing changes
    auto db = database::open(path);
    EXPECT_EQ(error_of([&] {
      db->add_relationship({.name = L"ParentsChildren", .table = L"Children", .columns = {L"Parent"},
                            .referenced_table = L"Parents", .referenced_columns = {L"Code"}});
    }), dao_error::related_record_required);
    db->close();
  }
  EXPECT_TRUE(slurp(path) == unrelated);
  {
    auto db = database::open(path);
    size_t parents = db->table_handle(L"Parents");
    db->append_row(parents, {value::text(L"cafe")});
    db->add_relationship({.name = L"ParentsChildren", .table = L"Children", .columns = {L"Parent"},
                          .referenced_table = L"Parents", .referenced_columns = {L"Code"}});
    db->close();
  }
  {
    auto db = database::open(path);
    size_t children = db->table_handle(L"Children"), parents = db->table_handle(L"Parents");
    db->append_row(children, {value::long_integer(4), value::text(L"aBc")});
    db->append_row(children, {value::long_integer(5), value::text(L"CAFE ")});
    db->append_row(children, {value::long_integer(6), value()});
    EXPECT_EQ(error_of([&] { db->append_row(children, {value::long_integer(7), value::text(L"ábc")}); }),
              dao_error::related_record_required);
    EXPECT_EQ(error_of([&] { db->append_row(children, {value::long_integer(8), value::text(L"xyz")}); }),
              dao_error::related_record_required);
    db->append_row(parents, {value::text(L"Xyz")});  // a parent added in this session counts at once
    db->append_row(children, {value::long_integer(9), value::text(L"xyz ")});
    db->close();
  }
  expect_sound(path);
  auto rows = oracle::mdb_reader_dump(path, {"Children"}).at(0).rows;
  EXPECT_EQ(rows.size(), 7u);
}

}  // namespace
}  // namespace jet
