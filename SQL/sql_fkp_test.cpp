// Tests of the foreign-key reader over SHOW CREATE TABLE texts.
#include "SQL/sql_fkp.h"

#include <gtest/gtest.h>

namespace {

udb_relationships parse(const std::wstring& table, const std::string& text) {
  udb_relationships list;
  sql_fk_parser(table, text).do_parse(list);
  return list;
}

TEST(SqlFkParser, ReadsSimpleAndCompositeKeysWithTheirRules) {
  const std::string text =
      "CREATE TABLE `child` (\n"
      "  `id` int(11) NOT NULL,\n"
      "  `ca` int(11) DEFAULT NULL COMMENT 'CONSTRAINT x FOREIGN KEY (`a`) REFERENCES `t` (`b`)',\n"
      "  PRIMARY KEY (`id`),\n"
      "  KEY `fk_child_parent` (`ca`,`cb`),\n"
      "  CONSTRAINT `fk_child_int` FOREIGN KEY (`other_id`) REFERENCES `types_int` (`id`),\n"
      "  CONSTRAINT `fk_child_parent` FOREIGN KEY (`ca`, `cb`) REFERENCES `parent` (`pa`, `pb`) ON DELETE CASCADE "
      "ON UPDATE CASCADE\n"
      ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4";
  udb_relationships list = parse(L"child", text);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].name, L"`fk_child_int`");
  EXPECT_EQ(list[0].table, L"child");
  EXPECT_EQ(list[0].ref_table, L"types_int");
  EXPECT_EQ(list[0].fk_flds, udb_name_list({L"other_id"}));
  EXPECT_EQ(list[0].pk_flds, udb_name_list({L"id"}));
  EXPECT_EQ(list[0].rules, L"");
  EXPECT_EQ(list[1].name, L"`fk_child_parent`");
  EXPECT_EQ(list[1].fk_flds, udb_name_list({L"ca", L"cb"}));
  EXPECT_EQ(list[1].pk_flds, udb_name_list({L"pa", L"pb"}));
  EXPECT_EQ(list[1].rules, L"ON DELETE CASCADE ON UPDATE CASCADE");
  EXPECT_TRUE(list[1].second_name.empty());
}

TEST(SqlFkParser, LowerCaseKeywordsTrailingCommaAndAwkwardNames) {
  const std::string text =
      "  constraint `fk ab` foreign key (`a``1`, `b c`) references `par``ent` (`x`, `ü`) on delete set null,\n"
      "  CONSTRAINT fk_bare FOREIGN KEY (a) REFERENCES other_db.parent (x)\n";
  udb_relationships list = parse(L"t", text);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].name, L"`fk ab`");
  EXPECT_EQ(list[0].ref_table, L"par`ent");
  EXPECT_EQ(list[0].fk_flds, udb_name_list({L"a`1", L"b c"}));
  EXPECT_EQ(list[0].pk_flds, udb_name_list({L"x", L"ü"}));
  EXPECT_EQ(list[0].rules, L"on delete set null");
  EXPECT_EQ(list[1].name, L"fk_bare");
  EXPECT_EQ(list[1].ref_table, L"parent");
  EXPECT_EQ(list[1].fk_flds, udb_name_list({L"a"}));
}

TEST(SqlFkParser, IncompleteConstraintsAddNothing) {
  EXPECT_TRUE(parse(L"t", "").empty());
  EXPECT_TRUE(parse(L"t", "  CONSTRAINT `c` CHECK (`a` > 0),").empty());
  EXPECT_TRUE(parse(L"t", "  CONSTRAINT `c` FOREIGN KEY (`a`) REFERENCES `p`").empty());
  EXPECT_TRUE(parse(L"t", "  CONSTRAINT `c` FOREIGN KEY (`a`)").empty());
  EXPECT_TRUE(parse(L"t", "  CONSTRAINT `c").empty());
}

TEST(SqlFkParser, GetColumnsCollectsBackQuotedNames) {
  udb_name_list names;
  EXPECT_TRUE(sql_fk_parser::get_columns("(`a`, `b``c`, `d e`)", names));
  EXPECT_EQ(names, udb_name_list({L"a", L"b`c", L"d e"}));
}

}  // namespace
