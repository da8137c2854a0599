// RWFAGENT overwriting tables (--mode=1) in Access files whose tables take part in relationships: such a table is
// refused as Access refuses to delete it, reported naming the relationship and kept as it was, with its
// relationship; the other tables of the run go on. Files made by Access in every generation, and files this
// program wrote whose relationships were added through DAO's Relations.Append.
#include <filesystem>

#include "TK/tk_errco.h"
#include "access/dao_db.h"
#include "access/dao_engi.h"
#include "tests/support/e2e_test_support.h"
#include "platform/jet/database.h"

namespace {

using namespace tt_e2e;
using RwfagentRelatedTables = rwfagent_fixture;

std::vector<std::wstring> relationship_names(const std::string& file) {
  std::vector<std::wstring> names;
  for (const auto& r : jet::database::open(file, {.read_only = true})->relationships()) names.push_back(r.name);
  return names;
}

std::string refused(const std::string& table, const std::string& relationships) {
  return "Error:\n" + table + ": Cannot delete the table '" + table +
         "'. It is part of one or more relationships: " + relationships + ".\n";
}

TEST_F(RwfagentRelatedTables, TablesOfRelationshipsInFilesMadeByAccessAreKept) {
  server.exec("DROP DATABASE IF EXISTS e2e_related; CREATE DATABASE e2e_related");
  server.exec("CREATE TABLE Table2 (id INT NOT NULL PRIMARY KEY); INSERT INTO Table2 VALUES (100)", "e2e_related");
  server.exec("CREATE TABLE fresh (id INT NOT NULL PRIMARY KEY); INSERT INTO fresh VALUES (1), (2)", "e2e_related");
  tk_write_file(dir.file("list.txt"), "Table2\nfresh\n");
  for (const char* sample : {"indexTestV1997.mdb", "indexTestV2000.mdb", "indexTestV2007.accdb"}) {
    SCOPED_TRACE(sample);
    const std::string file = dir.file(sample);
    std::filesystem::copy_file(std::string(TT_TEST_DATA_DIR) + "/access-format/jackcess/" + sample, file);
    const auto rows = mdb_export(file, "Table2");
    const auto relationships = relationship_names(file);
    const std::vector<std::string> notes = jet::verify_file(file).notes;

    program_result r = agent({"--src=e2e_related", "--dest=" + file, "--acc_ver=1", "--mode=1", "--tab_file=" + dir.file("list.txt")});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Converting database e2e_related (2 tables)\n" + refused("Table2", "'Table2Table1'") +
                         "Converting table fresh (2 records)\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(mdb_export(file, "Table2"), rows);
    EXPECT_EQ(relationship_names(file), relationships);
    expect_same_rows(file, "e2e_related", "fresh");
    expect_sound_since(file, notes);
  }
  server.exec("DROP DATABASE e2e_related");
}

TEST_F(RwfagentRelatedTables, TablesOfRelationshipsAppendedThroughDaoAreKept) {
  server.exec("DROP DATABASE IF EXISTS e2e_related_dao; CREATE DATABASE e2e_related_dao");
  server.exec("CREATE TABLE customers (id INT NOT NULL PRIMARY KEY, name VARCHAR(20) NULL); "
              "INSERT INTO customers VALUES (1, 'Ann'), (2, 'Bo')",
              "e2e_related_dao");
  server.exec("CREATE TABLE orders (id INT NOT NULL PRIMARY KEY, customer INT NULL); "
              "INSERT INTO orders VALUES (10, 1), (11, 2)",
              "e2e_related_dao");
  server.exec("CREATE TABLE notes (id INT NOT NULL PRIMARY KEY); INSERT INTO notes VALUES (1)", "e2e_related_dao");
  for (int acc_ver : {0, 1, 2}) {
    SCOPED_TRACE(acc_ver);
    const std::string file = dir.file("dao" + std::to_string(acc_ver) + (acc_ver == 2 ? ".accdb" : ".mdb"));
    program_result r = agent({"--src=e2e_related_dao", "--dest=" + file, "--acc_ver=" + std::to_string(acc_ver)});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    {  // orders.customer -> customers.id, written by Relations.Append
      error_handler handler{tk_dao_error_count, tk_dao_error_table};
      dao_engine engine{0};
      engine.set_version(acc_ver == 0 ? 1 : acc_ver == 1 ? 0 : 3);
      auto db = engine.open_db(std::filesystem::path(file).wstring(), 0x68, L"");
      udb_relationships list;
      list.push_back(udb_relationship(L"customers_orders", L"", L"orders", L"customers", {L"customer"}, {L"id"}, L""));
      db->create_relationships(list);
      db->close();
    }
    ASSERT_EQ(relationship_names(file), std::vector<std::wstring>{L"customers_orders"});
    { SCOPED_TRACE("after append"); expect_sound(file); }

    // Both tables of the relationship are refused and kept; the third is written anew.
    server.exec("INSERT INTO customers VALUES (3, 'Cy'); INSERT INTO notes VALUES (2)", "e2e_related_dao");
    r = agent({"--src=e2e_related_dao", "--dest=" + file, "--acc_ver=1", "--mode=1"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "Converting database e2e_related_dao (3 tables)\n" + refused("customers", "'customers_orders'") +
                         "Converting table notes (2 records)\n" + refused("orders", "'customers_orders'"));
    EXPECT_EQ(mdb_export(file, "customers").size(), 2u);
    EXPECT_EQ(mdb_reader_rows(file, "orders").size(), 2u);
    expect_same_rows(file, "e2e_related_dao", "notes", acc_ver == 0);
    EXPECT_EQ(relationship_names(file), std::vector<std::wstring>{L"customers_orders"});
    expect_sound(file);

    // Nothing but such tables: nothing converted, and the file is left byte for byte.
    const std::string before = tk_read_file(file);
    tk_write_file(dir.file("list.txt"), "orders\n");
    r = agent({"--src=e2e_related_dao", "--dest=" + file, "--acc_ver=1", "--mode=1", "--tab_file=" + dir.file("list.txt")});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "Converting database e2e_related_dao (1 tables)\n" + refused("orders", "'customers_orders'") +
                         "Error:\nNothing could be converted: the destination file was left as it was.\n");
    EXPECT_TRUE(tk_read_file(file) == before);
    server.exec("DELETE FROM customers WHERE id = 3; DELETE FROM notes WHERE id = 2", "e2e_related_dao");
  }
  server.exec("DROP DATABASE e2e_related_dao");
}

}  // namespace
