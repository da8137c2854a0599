// The statement recogniser: the shapes the Access engine issues, and DAO's syntax errors for the rest.
#include "platform/dao/statement.h"

#include <gtest/gtest.h>

#include "platform/dao/errors.h"

namespace dao {
namespace {

int error_number_of(const std::wstring& sql) {
  try {
    parse_statement(sql);
  } catch (const error& e) {
    return e.number();
  }
  return 0;
}

TEST(DaoStatement, TableCursorKeepsBracketedNameVerbatim) {
  statement s = parse_statement(L"SELECT * FROM [Order Details]");
  EXPECT_EQ(s.what, statement::kind::select);
  EXPECT_EQ(s.table, L"Order Details");
  EXPECT_TRUE(s.columns.empty());
  EXPECT_TRUE(s.order_by.empty());
  // Keywords inside brackets are names; odd characters pass through.
  EXPECT_EQ(parse_statement(L"select *\r\n from [select];").table, L"select");
  EXPECT_EQ(parse_statement(L"SELECT * FROM [a.b-c 'd']").table, L"a.b-c 'd'");
}

TEST(DaoStatement, RelationshipQueryListsColumnsAndOrder) {
  statement s = parse_statement(
      L"SELECT szRelationship, szColumn, szObject, szReferencedObject, szReferencedColumn, grbit FROM "
      L"MSysRelationships ORDER BY szRelationship");
  EXPECT_EQ(s.table, L"MSysRelationships");
  ASSERT_EQ(s.columns.size(), 6u);
  EXPECT_EQ(s.columns[0], L"szRelationship");
  EXPECT_EQ(s.columns[5], L"grbit");
  EXPECT_EQ(s.order_by, L"szRelationship");
}

TEST(DaoStatement, CountWrapsAnInnerStatement) {
  statement s = parse_statement(L"select count(*) from (SELECT * FROM [t])");
  ASSERT_EQ(s.what, statement::kind::count);
  ASSERT_TRUE(s.inner);
  EXPECT_EQ(s.inner->table, L"t");
  statement nested = parse_statement(L"select count(*) from (select count(*) from (SELECT a FROM t))");
  ASSERT_TRUE(nested.inner && nested.inner->inner);
  EXPECT_EQ(nested.inner->inner->columns, std::vector<std::wstring>{L"a"});
}

TEST(DaoStatement, OtherShapesFailAsDaoSyntaxErrors) {
  EXPECT_EQ(error_number_of(L"DELETE FROM t"), err::syntax_expected_select);
  EXPECT_EQ(error_number_of(L""), err::syntax_expected_select);
  EXPECT_EQ(error_number_of(L"SELECT * FROM t WHERE a = 1"), err::syntax_select);
  EXPECT_EQ(error_number_of(L"SELECT a+b FROM t"), err::syntax_select);
  EXPECT_EQ(error_number_of(L"SELECT * FROM"), err::syntax_from);
  EXPECT_EQ(error_number_of(L"SELECT * FROM [t"), err::syntax_select);
  EXPECT_EQ(error_number_of(L"SELECT * FROM []"), err::syntax_select);
  EXPECT_EQ(error_number_of(L"select count(*) from (SELECT * FROM t"), err::syntax_from);
  EXPECT_EQ(error_number_of(L"select count(*) from (DELETE FROM t)"), err::syntax_select);
  EXPECT_EQ(error_number_of(L"SELECT * FROM t; SELECT 1"), err::characters_after_end);
  // A user query of the kind the Access reader rewrites is refused, not half-understood.
  EXPECT_EQ(error_number_of(L"SELECT IIf([a]<>1, Nz([b],0), 1) FROM t"), err::syntax_select);
}

}  // namespace
}  // namespace dao
