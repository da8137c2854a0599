// Indexes added to tables of existing files: built over the rows already stored (checked by the
// verifier, mdbtools and mdb-reader), usable by a relationship in the same session, and refused
// without a trace when the rows or the definition do not allow them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/reader.h"
#include "platform/jet/reader_oracles.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/verifier.h"

namespace jet {
namespace {

namespace fs = std::filesystem;

const logical_index_def* logical(const table_def& t, const std::wstring& name) {
  for (const auto& li : t.logical_indexes)
    if (li.name == name) return &li;
  return nullptr;
}

// A file with a table "People" of 300 rows: Code unique ignoring case, Town repeating, Note null in
// every third row, Name equal to Code but for one row that repeats "p7" in other letters.
std::string make_people(const scratch_folder& s, generation gen = generation::jet4) {
  const std::string path = s.file(gen == generation::ace ? "people.accdb" : "people.mdb");
  auto db = database::create(path, gen);
  size_t t = db->add_table(L"People",
                           {{.name = L"Id", .type = column_type::long_integer},
                            {.name = L"Code", .type = column_type::text, .size = 10},
                            {.name = L"Town", .type = column_type::text, .size = 20},
                            {.name = L"Note", .type = column_type::text, .size = 20},
                            {.name = L"Name", .type = column_type::text, .size = 10},
                            {.name = L"Bio", .type = column_type::memo}},
                           {});
  for (int i = 0; i < 300; ++i) {
    std::wstring code = L"p" + std::to_wstring(i);
    db->append_row(t, {value::long_integer(i), value::text(code), value::text(L"town" + std::to_wstring(i % 7)),
                       i % 3 == 0 ? value() : value::text(L"n" + std::to_wstring(i)),
                       value::text(i == 299 ? std::wstring(L"P7") : code), value::text(L"bio")});
  }
  db->close();
  return path;
}

// The same in an Access 2000 and an Access 2007 file.
class AddIndexIn : public ::testing::TestWithParam<generation> {};
INSTANTIATE_TEST_SUITE_P(Formats, AddIndexIn, ::testing::Values(generation::jet4, generation::ace));

TEST_P(AddIndexIn, BuildsTheIndexOverTheStoredRowsAndARelationshipUsesIt) {
  scratch_folder s;
  const std::string path = make_people(s, GetParam());
  {
    auto db = database::open(path);
    size_t visits = db->add_table(L"Visits", {{.name = L"Person", .type = column_type::text, .size = 10}}, {});
    db->append_row(visits, {value::text(L"p12")});
    EXPECT_EQ(error_of([&] {
      db->add_relationship({.name = L"PeopleVisits", .table = L"Visits", .columns = {L"Person"},
                            .referenced_table = L"People", .referenced_columns = {L"Code"}});
    }), dao_error::no_unique_index);
    db->add_index(L"people", {.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true});
    db->add_index(L"People", {.name = L"ByTown", .fields = {{L"Town"}, {L"Id", false}}});
    db->add_index(L"People", {.name = L"ByCode", .fields = {{L"Code"}}, .unique = true});
    // A unique index whose only null keys are in rows it ignores.
    db->add_index(L"People", {.name = L"ByNote", .fields = {{L"Note"}}, .unique = true, .ignore_nulls = true});
    // The same columns and flags as an existing index: a tree of its own.
    db->add_index(L"People", {.name = L"ByCode2", .fields = {{L"Code"}}, .unique = true});
    const table_def& t = db->table(db->table_handle(L"People"));
    ASSERT_EQ(t.logical_indexes.size(), 5u);
    EXPECT_EQ(t.indexes.size(), 5u);
    EXPECT_EQ(logical(t, L"PrimaryKey")->type, logical_index_type::primary_key);
    db->add_relationship({.name = L"PeopleVisits", .table = L"Visits", .columns = {L"Person"},
                          .referenced_table = L"People", .referenced_columns = {L"Code"}});
    db->close();
  }
  verify_report r = verify_file(path);
  EXPECT_TRUE(r.ok()) << r.text();
  auto db = database::open(path, {.read_only = true});
  EXPECT_EQ(db->gen(), GetParam());
  table_def t = db->reader().table(L"People");
  EXPECT_EQ(t.row_count, 300u);
  ASSERT_EQ(db->relationships().size(), 1u);
  EXPECT_EQ(db->relationships()[0].referenced_columns, std::vector<std::wstring>{L"Code"});
  for (const auto& ix : t.indexes) EXPECT_EQ(ix.entry_count, ix.ignores_nulls() ? 200u : 300u);
  const index_def& town = t.indexes.at(logical(t, L"ByTown")->physical);
  ASSERT_EQ(town.columns.size(), 2u);
  EXPECT_FALSE(town.columns[1].ascending);
  EXPECT_FALSE(town.is_unique());

  auto schema = oracle::run({"mdb-schema", "--indexes", "-T", "People", path, "mysql"}).out;
  for (const char* line : {"ADD PRIMARY KEY (`Id`);", "ADD INDEX `ByTown` (`Town`, `Id` DESC);",
                           "ADD UNIQUE INDEX `ByCode` (`Code`);", "ADD UNIQUE INDEX `ByNote` (`Note`);",
                           "ADD UNIQUE INDEX `ByCode2` (`Code`);"})
    EXPECT_NE(schema.find(std::string("ALTER TABLE `People` ") + line), std::string::npos) << line << "\n" << schema;
  EXPECT_NE(oracle::run({"mdb-schema", "--relations", path, "mysql"})
                .out.find("ALTER TABLE `Visits` ADD CONSTRAINT `Visits_Person_fk` FOREIGN KEY (`Person`) REFERENCES "
                          "`People`(`Code`)"),
            std::string::npos);
  EXPECT_EQ(oracle::mdb_export(path, "People").size(), 300u);
  EXPECT_EQ(oracle::mdb_reader_dump(path, {"People"}).at(0).rows.size(), 300u);
}

TEST(AddIndex, RefusalsLeaveTheFileAsItWas) {
  scratch_folder s;
  const std::string path = make_people(s);
  const std::string before = slurp(path);
  {
    auto db = database::open(path);
    auto add = [&](const index_spec& ix, const std::wstring& table = L"People") {
      return error_of([&] { db->add_index(table, ix); });
    };
    // Equal keys: "P7" and "p7" are the same key to Access.
    EXPECT_EQ(add({.name = L"ByName", .fields = {{L"Name"}}, .unique = true}), dao_error::duplicate_key);
    EXPECT_EQ(add({.name = L"ByTown", .fields = {{L"Town"}}, .primary = true}), dao_error::duplicate_key);
    EXPECT_EQ(add({.name = L"ByNote", .fields = {{L"Note"}}, .primary = true}), dao_error::index_null);
    EXPECT_EQ(add({.name = L"ByNote", .fields = {{L"Note"}}, .required = true}), dao_error::index_null);
    EXPECT_EQ(add({.name = L"Nowhere", .fields = {{L"Missing"}}}), dao_error::field_not_found);
    EXPECT_EQ(add({.name = L"X", .fields = {{L"Id"}}}, L"NoSuchTable"), dao_error::field_not_found);
    EXPECT_EQ(add({.name = L"OnMemo", .fields = {{L"Bio"}}}), dao_error::invalid_field_type);
    EXPECT_EQ(add({.name = L"Twice", .fields = {{L"Id"}, {L"id"}}}), dao_error::duplicate_field);
    EXPECT_EQ(add({.name = L"Empty", .fields = {}}), dao_error::no_fields);
    EXPECT_EQ(add({.name = L"Bad.Name", .fields = {{L"Id"}}}), dao_error::invalid_name);
    EXPECT_EQ(add({.name = L"Ix", .fields = {{L"Id"}}}, L"MSysObjects"), dao_error::not_supported);
    db->close();
  }
  EXPECT_TRUE(slurp(path) == before);
  EXPECT_EQ(s.entries(), 1u);
  {
    // A table with multi-value or attachment fields cannot be rewritten intact.
    const std::string complex = s.file("complex.accdb");
    fs::copy_file(sample_path("jackcess/complexDataTestV2007.accdb"), complex);
    const std::string complex_before = slurp(complex);
    auto db = database::open(complex);
    EXPECT_EQ(error_of([&] { db->add_index(L"Table1", {.name = L"ById", .fields = {{L"id"}}}); }),
              dao_error::not_supported);
    db->close();
    EXPECT_TRUE(slurp(complex) == complex_before);
    fs::remove(complex);
  }
  {
    // After a refusal the session goes on; names and primary keys already there are refused too.
    auto db = database::open(path);
    EXPECT_EQ(error_of([&] { db->add_index(L"People", {.name = L"ByName", .fields = {{L"Name"}}, .unique = true}); }),
              dao_error::duplicate_key);
    db->add_index(L"People", {.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true});
    EXPECT_EQ(error_of([&] { db->add_index(L"People", {.name = L"primarykey", .fields = {{L"Code"}}}); }),
              dao_error::index_exists);
    EXPECT_EQ(error_of([&] { db->add_index(L"People", {.name = L"Other", .fields = {{L"Code"}}, .primary = true}); }),
              dao_error::primary_key_exists);
    db->close();
  }
  verify_report r = verify_file(path);
  EXPECT_TRUE(r.ok()) << r.text();
}

TEST(AddIndex, AnAccessMadeTableGetsAUniqueIndexAndARelationshipOverIt) {
  scratch_folder s;
  const std::string path = s.file("index.mdb");
  fs::copy_file(sample_path("jackcess/indexTestV2000.mdb"), path);
  {
    auto db = database::open(path);
    size_t t3 = db->add_table(L"Towns", {{.name = L"Code", .type = column_type::text, .size = 10},
                                         {.name = L"Table2Data", .type = column_type::text, .size = 50}},
                              {});
    db->append_row(t3, {value::text(L"a"), value::text(L"foo1")});
    db->append_row(t3, {value::text(L"b"), value()});
    // Table2's "data" has no unique index yet: the relationship needs one first.
    relationship_spec r{.name = L"Table2Towns", .table = L"Towns", .columns = {L"Table2Data"},
                        .referenced_table = L"Table2", .referenced_columns = {L"data"}};
    EXPECT_EQ(error_of([&] { db->add_relationship(r); }), dao_error::no_unique_index);
    db->add_index(L"Table2", {.name = L"ui_data", .fields = {{L"data"}}, .unique = true});
    db->add_relationship(r);
    db->close();
  }
  verify_report report = verify_file(path);
  EXPECT_TRUE(report.ok()) << report.text();
  auto db = database::open(path, {.read_only = true});
  auto rels = db->relationships();
  EXPECT_TRUE(std::any_of(rels.begin(), rels.end(), [](const relationship& r) {
    return r.name == L"Table2Towns" && r.referenced_columns == std::vector<std::wstring>{L"data"};
  }));
  auto schema = oracle::run({"mdb-schema", "--relations", path, "mysql"}).out;
  EXPECT_NE(schema.find("ALTER TABLE `Towns` ADD CONSTRAINT `Towns_Table2Data_fk` FOREIGN KEY (`Table2Data`) "
                        "REFERENCES `Table2`(`data`)"),
            std::string::npos)
      << schema;
  EXPECT_EQ(oracle::mdb_reader_dump(path, {"Table2"}).at(0).rows.size(), 3u);
}

}  // namespace
}  // namespace jet
