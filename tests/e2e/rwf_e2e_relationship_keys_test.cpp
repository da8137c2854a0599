// RWFAGENT merging rows into an Access file whose tables are tied by an enforced relationship over text: a
// referencing value finds its row the way the referenced table's index compares text (case and trailing blanks do
// not count), so only values with no such row are refused.
#include "tests/support/e2e_test_support.h"
#include "platform/jet/database.h"

namespace {

using namespace tt_e2e;
using RwfagentRelationshipKeys = rwfagent_fixture;

TEST_F(RwfagentRelationshipKeys, MergedRowsFindTheirParentInTheIndexCollation) {
  server.exec("DROP DATABASE IF EXISTS e2e_ri");
  server.exec("CREATE DATABASE e2e_ri");
  server.exec("CREATE TABLE parents (code VARCHAR(10) NOT NULL PRIMARY KEY)", "e2e_ri");
  server.exec("INSERT INTO parents VALUES ('ABC'), ('Café')", "e2e_ri");
  server.exec("CREATE TABLE children (id INT NOT NULL PRIMARY KEY, parent VARCHAR(10) NULL)", "e2e_ri");
  server.exec("INSERT INTO children VALUES (1, 'ABC')", "e2e_ri");
  const std::string file = dir.file("ri.mdb");
  program_result r = agent({"--src=e2e_ri", "--dest=" + file, "--acc_ver=1"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  {  // the relationship as Access keeps it: enforced, children.parent -> parents.code
    auto db = jet::database::open(file);
    db->add_relationship({.name = L"parentschildren", .table = L"children", .columns = {L"parent"},
                          .referenced_table = L"parents", .referenced_columns = {L"code"}});
    db->close();
  }

  server.exec("DELETE FROM children", "e2e_ri");
  server.exec("INSERT INTO children VALUES (2, 'abc'), (3, 'Abc  '), (4, 'abd'), (5, 'CAFÉ'), (6, 'cafe'), (7, NULL)",
              "e2e_ri");
  tk_write_file(dir.file("list.txt"), "children\n");
  r = agent({"--src=e2e_ri", "--dest=" + file, "--acc_ver=1", "--mode=3", "--tab_file=" + dir.file("list.txt")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  const std::string refused =
      "You cannot add or change a record because a related record is required in table 'parents'.\n";
  EXPECT_EQ(r.out,
            "Converting database e2e_ri (1 tables)\n"
            "Converting table children (6 records)\n"
            "Error:\nchildren, record #3: " + refused +
            "Error:\nchildren, record #5: " + refused);
  EXPECT_EQ(r.err, "");
  auto rows = mdb_export(file, "children");
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, (std::vector<std::vector<std::string>>{
                      {"1", "ABC"}, {"2", "abc"}, {"3", "Abc  "}, {"5", "CAFÉ"}, {"7", "\x02"}}));
  EXPECT_EQ(mdb_reader_rows(file, "children").size(), 5u);
  expect_sound(file);
  server.exec("DROP DATABASE e2e_ri");
}

}  // namespace
