// Opening existing files: every sample read-only with its catalog, passwords, refusals that leave
// the file as it was, locks.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/reader.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/value_codec.h"
#include "platform/jet/verifier.h"

namespace jet {
namespace {

namespace fs = std::filesystem;

int open_error(const std::string& path, const open_options& o, std::string* text = nullptr) {
  try {
    database::open(path, o);
  } catch (const error& e) {
    if (text) *text = e.what();
    return e.number();
  }
  return 0;
}

std::vector<std::string> all_samples() {
  std::vector<std::string> out;
  for (const char* dir : {"jackcess", "mdb-reader"})
    for (const auto& e : fs::directory_iterator(sample_path(dir))) {
      std::string ext = e.path().extension().string();
      if (ext == ".mdb" || ext == ".accdb") out.push_back(e.path().string());
    }
  std::sort(out.begin(), out.end());
  return out;
}

const catalog_object* find(const std::vector<catalog_object>& v, const std::wstring& name) {
  for (const auto& o : v)
    if (o.name == name) return &o;
  return nullptr;
}

TEST(OpenExisting, EverySampleOpensReadOnlyWithItsCatalog) {
  int opened = 0;
  for (const std::string& path : all_samples()) {
    SCOPED_TRACE(path);
    std::string before = slurp(path);
    uint8_t version = uint8_t(before.at(0x14));
    open_options o;
    o.read_only = true;
    if (path.find("with-password") != std::string::npos) o.password = L"password";
    if (path.find("V2010_with-password") != std::string::npos) {
      // The encrypted ACE file cannot be decrypted.
      EXPECT_EQ(open_error(path, o), dao_error::unrecognized_format);
      continue;
    }
    auto db = database::open(path, o);
    EXPECT_EQ(db->version_byte(), version);
    EXPECT_EQ(db->gen(), version == 0 ? generation::jet3 : version == 1 ? generation::jet4 : generation::ace);
    EXPECT_TRUE(db->read_only());
    auto objects = db->objects();
    const catalog_object* msys = find(objects, L"MSysObjects");
    ASSERT_NE(msys, nullptr);
    EXPECT_EQ(msys->kind, object_kind::system_table);
    EXPECT_EQ(msys->id, 2u);
    for (const auto& o2 : objects)
      if (o2.kind == object_kind::local_table) {
        EXPECT_NO_THROW(db->reader().table(o2.name)) << to_utf8(o2.name);
      }
    EXPECT_NO_THROW(db->queries());
    EXPECT_NO_THROW(db->relationships());
    db->close();
    EXPECT_TRUE(slurp(path) == before);
    ++opened;
  }
  EXPECT_GE(opened, 20);
}

TEST(OpenExisting, ListsTablesQueriesAndRelationships) {
  open_options ro;
  ro.read_only = true;
  {
    auto db = database::open(sample_path("jackcess/indexTestV2000.mdb"), ro);
    auto objects = db->objects();
    for (const wchar_t* t : {L"Table1", L"Table2", L"Table3"}) {
      const catalog_object* o = find(objects, t);
      ASSERT_NE(o, nullptr);
      EXPECT_EQ(o->kind, object_kind::local_table);
      EXPECT_EQ(o->type, 1);
    }
    auto rels = db->relationships();
    auto it = std::find_if(rels.begin(), rels.end(), [](const relationship& r) { return r.name == L"Table2Table1"; });
    ASSERT_NE(it, rels.end());
    EXPECT_EQ(it->table, L"Table1");
    EXPECT_EQ(it->referenced_table, L"Table2");
    EXPECT_TRUE(it->enforced());
    EXPECT_TRUE(it->grbit & relationship_flag::cascade_delete);
    ASSERT_EQ(it->columns.size(), 1u);
    ASSERT_EQ(it->referenced_columns.size(), 1u);
    it = std::find_if(rels.begin(), rels.end(), [](const relationship& r) { return r.name == L"Table3Table1"; });
    ASSERT_NE(it, rels.end());
    EXPECT_TRUE(it->grbit & relationship_flag::cascade_update);
  }
  {
    auto db = database::open(sample_path("jackcess/queryTestV2000.mdb"), ro);
    auto queries = db->queries();
    ASSERT_EQ(queries.size(), 9u);
    auto q = [&](const std::wstring& name) -> const stored_query& {
      for (const auto& x : queries)
        if (x.name == name) return x;
      ADD_FAILURE() << to_utf8(name);
      return queries.front();
    };
    const stored_query& select = q(L"SelectQuery");
    EXPECT_EQ(select.kind, query_kind::select);
    for (const wchar_t* part : {L"SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3\nFROM (",
                                L"INNER JOIN Table2 ON (Table3.col1 = Table2.col1) AND (Table3.col1 = Table2.col2)",
                                L"\nWHERE (((Table2.col2)=\"foo\"", L"\nORDER BY Table2.col1;"})
      EXPECT_NE(select.sql.find(part), std::wstring::npos) << to_utf8(select.sql) << " lacks " << to_utf8(part);
    EXPECT_EQ(q(L"UpdateQuery").kind, query_kind::update);
    EXPECT_EQ(q(L"UpdateQuery").sql.rfind(L"PARAMETERS [User Name] Text;\nUPDATE Table1 SET ", 0), 0u)
        << to_utf8(q(L"UpdateQuery").sql);
    EXPECT_EQ(q(L"AppendQuery").kind, query_kind::append);
    EXPECT_EQ(q(L"AppendQuery").sql.rfind(L"INSERT INTO ", 0), 0u) << to_utf8(q(L"AppendQuery").sql);
    EXPECT_EQ(q(L"DeleteQuery").kind, query_kind::delete_);
    EXPECT_EQ(q(L"MakeTableQuery").kind, query_kind::make_table);
    EXPECT_NE(q(L"MakeTableQuery").sql.find(L" INTO "), std::wstring::npos);
    EXPECT_EQ(q(L"CrosstabQuery").kind, query_kind::crosstab);
    EXPECT_EQ(q(L"CrosstabQuery").sql.rfind(L"TRANSFORM ", 0), 0u) << to_utf8(q(L"CrosstabQuery").sql);
    EXPECT_EQ(q(L"UnionQuery").kind, query_kind::union_);
    EXPECT_NE(q(L"UnionQuery").sql.find(L"UNION"), std::wstring::npos) << to_utf8(q(L"UnionQuery").sql);
    EXPECT_EQ(q(L"PassthroughQuery").kind, query_kind::pass_through);
    EXPECT_FALSE(q(L"PassthroughQuery").sql.empty());
    EXPECT_EQ(q(L"DataDefinitionQuery").kind, query_kind::data_definition);
    EXPECT_FALSE(q(L"DataDefinitionQuery").sql.empty());
    auto objects = db->objects();
    EXPECT_EQ(std::count_if(objects.begin(), objects.end(), [](const catalog_object& o) { return o.kind == object_kind::query; }), 9);
  }
}

TEST(OpenExisting, DatabasePassword) {
  const std::string path = sample_path("mdb-reader/V2000_with-password.mdb");
  open_options o;
  o.read_only = true;
  std::string text;
  EXPECT_EQ(open_error(path, o, &text), dao_error::invalid_password);
  EXPECT_EQ(text, "Not a valid password.");
  o.password = L"Password";  // Jet compares passwords with case
  EXPECT_EQ(open_error(path, o), dao_error::invalid_password);
  o.password = L"password";
  auto db = database::open(path, o);
  EXPECT_NE(find(db->objects(), L"Table1"), nullptr);
  // A file without a password refuses one.
  open_options wrong;
  wrong.read_only = true;
  wrong.password = L"password";
  EXPECT_EQ(open_error(sample_path("jackcess/adox_jet4.mdb"), wrong), dao_error::invalid_password);
  // An encrypted file asks for its password first.
  EXPECT_EQ(open_error(sample_path("mdb-reader/V2010_with-password.accdb"), {.read_only = true}), dao_error::invalid_password);
}

TEST(OpenExisting, RefusalsNameTheProblemAndTouchNothing) {
  scratch_folder s;
  std::string text;
  EXPECT_EQ(open_error(s.file("missing.mdb"), {}, &text), dao_error::file_not_found);
  EXPECT_EQ(text, "Could not find file '" + s.file("missing.mdb") + "'.");
  { std::ofstream(s.file("text.mdb")) << "this is no database, just some words that fill a line or two.\n"; }
  EXPECT_EQ(open_error(s.file("text.mdb"), {}), dao_error::unrecognized_format);
  {
    std::string head = slurp(sample_path("jackcess/adox_jet4.mdb")).substr(0, 1000);
    std::ofstream(s.file("short.mdb"), std::ios::binary) << head;
  }
  int n = open_error(s.file("short.mdb"), {.read_only = true});
  EXPECT_TRUE(n == dao_error::corrupt || n == dao_error::unrecognized_format) << n;

  // A text sort order we have no collation for: read, never changed.
  fs::copy_file(sample_path("jackcess/empty2010.accdb"), s.file("sort.accdb"));
  {
    std::fstream io(s.file("sort.accdb"), std::ios::in | std::ios::out | std::ios::binary);
    const size_t at = 0x71;  // the sort version byte, inside the masked region
    char b = 0;
    io.seekg(at);
    io.read(&b, 1);
    b = char(uint8_t(b) ^ 1 ^ 2);  // version 1 -> 2
    io.seekp(at);
    io.write(&b, 1);
  }
  std::string before = slurp(s.file("sort.accdb"));
  EXPECT_EQ(open_error(s.file("sort.accdb"), {.read_only = false}, &text), dao_error::unrecognized_format);
  EXPECT_NE(text.find("sort order"), std::string::npos) << text;
  EXPECT_NE(text.find("ACE 14"), std::string::npos) << text;
  EXPECT_EQ(open_error(s.file("sort.accdb"), {.read_only = true}), 0);
  EXPECT_TRUE(slurp(s.file("sort.accdb")) == before);
  EXPECT_EQ(s.entries(), 3u);  // no working copy left behind
}

TEST(OpenExisting, OpenForChangesWithoutChangesLeavesTheFileAsItWas) {
  scratch_folder s;
  fs::copy_file(sample_path("jackcess/indexTestV2000.mdb"), s.file("a.mdb"));
  std::string before = slurp(s.file("a.mdb"));
  auto db = database::open(s.file("a.mdb"));
  EXPECT_FALSE(db->read_only());
  EXPECT_EQ(db->reader().read_all(L"Table1").size(), 4u);
  db->close();
  db->close();  // idempotent
  EXPECT_TRUE(slurp(s.file("a.mdb")) == before);
  EXPECT_EQ(s.entries(), 1u);
}

TEST(OpenExisting, ExclusiveOpenKeepsOthersOut) {
  scratch_folder s;
  fs::copy_file(sample_path("jackcess/adox_jet4.mdb"), s.file("a.mdb"));
  {
    auto a = database::open(s.file("a.mdb"), {.read_only = true});
    auto b = database::open(s.file("a.mdb"), {.read_only = true});  // shared opens coexist
    EXPECT_EQ(open_error(s.file("a.mdb"), {.read_only = true, .exclusive = true}), dao_error::file_in_use);
  }
  auto x = database::open(s.file("a.mdb"), {.exclusive = true});
  std::string text;
  EXPECT_EQ(open_error(s.file("a.mdb"), {.read_only = true}, &text), dao_error::file_in_use);
  EXPECT_EQ(text, "Could not use '" + s.file("a.mdb") + "'; file already in use.");
  x->close();
  EXPECT_EQ(open_error(s.file("a.mdb"), {.read_only = true}), 0);
}

// The catalog, the relationships and the definitions of referenced tables are read once per reading
// of the working copy; every change in the session must still be seen by the next call.
TEST(OpenExisting, WhatIsReadOnceFollowsEveryChangeOfTheSession) {
  scratch_folder s;
  const std::string path = s.file("session.mdb");
  fs::copy_file(sample_path("jackcess/adox_jet4.mdb"), path);
  {
    auto db = database::open(path);
    const size_t objects_before = db->objects().size();
    const size_t relationships_before = db->relationships().size();
    const std::vector<column_spec> id_and_name = {{.name = L"Id", .type = column_type::long_integer},
                                                  {.name = L"Name", .type = column_type::text, .size = 10}};
    const std::vector<index_spec> by_id = {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true}};
    size_t parents = db->add_table(L"Parents", id_and_name, by_id);
    ASSERT_NE(find(db->objects(), L"Parents"), nullptr);
    EXPECT_EQ(db->objects().size(), objects_before + 1);
    for (int i = 1; i <= 3; ++i) db->append_row(parents, {value::long_integer(i), value::text(L"p" + std::to_wstring(i))});
    size_t kids = db->add_table(L"Kids", {{.name = L"Id", .type = column_type::long_integer},
                                          {.name = L"Parent", .type = column_type::long_integer}}, by_id);
    db->append_row(kids, {value::long_integer(1), value::long_integer(1)});
    db->add_relationship({.name = L"ParentsKids", .table = L"Kids", .columns = {L"Parent"},
                          .referenced_table = L"Parents", .referenced_columns = {L"Id"}});
    ASSERT_EQ(db->relationships().size(), relationships_before + 1);
    // Rows after the relationship are checked against the table made in this session, also against
    // a row added to it after the check first looked at it.
    EXPECT_EQ(error_of([&] { db->append_row(kids, {value::long_integer(2), value::long_integer(9)}); }),
              dao_error::related_record_required);
    db->append_row(parents, {value::long_integer(9), value::text(L"p9")});
    db->append_row(kids, {value::long_integer(2), value::long_integer(9)});
    // An index added in the session takes the rows appended after it.
    db->add_index(L"Kids", {.name = L"ByParent", .fields = {{L"Parent"}}});
    db->append_row(kids, {value::long_integer(3), value::long_integer(2)});
    EXPECT_EQ(error_of([&] { db->append_row(kids, {value::long_integer(4), value::long_integer(8)}); }),
              dao_error::related_record_required);
    // A table made and related in the session cannot be deleted; one made and deleted leaves the catalog.
    db->add_table(L"Scratch", id_and_name, by_id);
    db->add_relationship({.name = L"ParentsScratch", .table = L"Scratch", .columns = {L"Id"},
                          .referenced_table = L"Parents", .referenced_columns = {L"Id"}});
    EXPECT_EQ(error_of([&] { db->delete_table(L"Scratch"); }), dao_error::part_of_relationship);
    EXPECT_EQ(db->relationships().size(), relationships_before + 2);
    db->add_table(L"Loose", id_and_name, by_id);
    db->delete_table(L"Loose");
    EXPECT_EQ(find(db->objects(), L"Loose"), nullptr);
    EXPECT_NE(find(db->objects(), L"Scratch"), nullptr);
    // Its name is free again.
    size_t again = db->add_table(L"loose", id_and_name, by_id);
    db->append_row(again, {value::long_integer(1), value::text(L"again")});
    EXPECT_NE(find(db->objects(), L"loose"), nullptr);
    db->close();
  }
  verify_report r = verify_file(path);
  EXPECT_TRUE(r.ok()) << r.text();
  auto db = database::open(path, {.read_only = true});
  EXPECT_EQ(db->reader().read_all(L"Parents").size(), 4u);
  EXPECT_EQ(db->reader().read_all(L"Kids").size(), 3u);
  EXPECT_EQ(db->reader().read_all(L"loose").size(), 1u);
  table_def kids = db->reader().table(L"Kids");
  EXPECT_TRUE(std::any_of(kids.logical_indexes.begin(), kids.logical_indexes.end(),
                          [](const logical_index_def& li) { return li.name == L"ByParent"; }));
}

}  // namespace
}  // namespace jet
