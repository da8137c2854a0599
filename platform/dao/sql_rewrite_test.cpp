// The rewrite of Access SQL: what it prints for Access's operators and literals, and the DAO errors of what it
// cannot read.
#include "platform/dao/sql_rewrite.h"

#include <gtest/gtest.h>

#include "platform/dao/errors.h"

namespace dao {
namespace {

int error_of(const std::wstring& sql) {
  try {
    rewrite_select(sql);
  } catch (const error& e) {
    return e.number();
  }
  return 0;
}

TEST(SqlRewrite, AccessOperatorsBecomeFunctionsAndCollatedComparisons) {
  EXPECT_EQ(rewrite_select(L"SELECT * FROM [Order Details]").text, "SELECT * FROM [Order Details]");
  EXPECT_EQ(rewrite_select(L"select a & \"it's\" from t").text,
            "SELECT (acc_concat([a], 'it''s')) COLLATE access_text AS [Expr1000] FROM [t]");
  EXPECT_EQ(rewrite_select(L"SELECT x FROM t WHERE x <> 1 AND y Mod 2 = 0").text,
            "SELECT [x] FROM [t] WHERE (([x] <> (1) COLLATE access_text) AND (acc_mod([y], 2) = (0) COLLATE "
            "access_text))");
  // Where its value is used, a comparison is Access's -1 or 0.
  EXPECT_EQ(rewrite_select(L"SELECT (a = 1) + 0 FROM t").text,
            "SELECT (acc_add((-(([a] = (1) COLLATE access_text))), 0)) COLLATE access_text AS [Expr1000] FROM [t]");
  // # dates are date numbers; ! is the member operator; True is -1; brackets keep keywords as names.
  EXPECT_EQ(rewrite_select(L"SELECT t!a FROM t WHERE d = #1/2/2000# OR [select] = True").text,
            "SELECT [t].[a] FROM [t] WHERE (([d] = (36527.0) COLLATE access_text) OR ([select] = ((-1)) COLLATE "
            "access_text))");
  EXPECT_EQ(rewrite_select(L"SELECT 7 \\ 2, 2 ^ 3, 7 / 2 FROM t").text,
            "SELECT (acc_intdiv(7, 2)) COLLATE access_text AS [Expr1000], (acc_pow(2, 3)) COLLATE access_text AS [Expr1001], "
            "(acc_div(7, 2)) COLLATE access_text AS [Expr1002] FROM [t]");
  EXPECT_EQ(rewrite_select(L"SELECT DISTINCTROW a FROM t WITH OWNERACCESS OPTION;").text, "SELECT [a] FROM [t]");
  EXPECT_EQ(rewrite_select(L"SELECT Left$(a, 1) FROM t WHERE a Not Like 'x*' And b Is Not Null").text,
            "SELECT (acc_left([a], 1)) COLLATE access_text AS [Expr1000] FROM [t] WHERE ((NOT acc_like([a], 'x*')) AND ([b] "
            "IS NOT NULL))");
  // IIf chooses before it evaluates; GROUP BY groups by each value's key.
  EXPECT_EQ(rewrite_select(L"SELECT a FROM t WHERE IIf(b = 0, 0, 1 / b) > 0 GROUP BY a").text,
            "SELECT [a] FROM [t] WHERE (CASE WHEN ([b] = (0) COLLATE access_text) THEN 0 ELSE acc_div(1, [b]) END > (0) "
            "COLLATE access_text) GROUP BY acc_sort_key([a])");
}

TEST(SqlRewrite, TopHidesItsOrderValuesOutermostAndLimitsInside) {
  rewritten_sql r = rewrite_select(L"SELECT TOP 5 a FROM t ORDER BY b DESC");
  EXPECT_TRUE(r.has_top);
  EXPECT_EQ(r.top, 5);
  EXPECT_EQ(r.hidden_columns, 1u);
  EXPECT_EQ(r.text, "SELECT [a], [b] AS [__tt_key0] FROM [t] ORDER BY [b] COLLATE access_text DESC");
  EXPECT_EQ(r.single_table, L"t");
  rewritten_sql in = rewrite_select(L"SELECT a FROM t WHERE a IN (SELECT TOP 2 a FROM u)");
  EXPECT_FALSE(in.has_top);
  EXPECT_NE(in.text.find("LIMIT 2"), std::string::npos);
  EXPECT_EQ(counted_statement(L"select count(*) from (SELECT TOP 1 a FROM t ORDER BY a);"),
            L"SELECT TOP 1 a FROM t ORDER BY a");
  EXPECT_FALSE(counted_statement(L"select count(*) from (SELECT a FROM t) AS x"));
  EXPECT_EQ(rewrite_select(L"SELECT a FROM t INNER JOIN u ON t.k = u.k").single_table, L"");
  EXPECT_EQ(rewrite_select(L"SELECT Count(*) FROM t").single_table, L"");
  EXPECT_EQ(rewrite_select(L"SELECT a, DateAdd('d', 1, b), Now() FROM t").date_columns,
            (std::vector<bool>{false, true, true}));
  EXPECT_TRUE(rewrite_select(L"SELECT *, Now() FROM t").date_columns.empty());
}

TEST(SqlRewrite, WhatAccessRefusesGetsAccessNumbers) {
  EXPECT_EQ(error_of(L""), err::syntax_expected_select);
  EXPECT_EQ(error_of(L"frobnicate"), err::syntax_expected_select);
  EXPECT_EQ(error_of(L"DELETE FROM t"), err::invalid_operation);
  EXPECT_EQ(error_of(L"SELECT a INTO b FROM t"), err::invalid_operation);
  EXPECT_EQ(error_of(L"PARAMETERS p Long; SELECT a FROM t WHERE a = p"), err::too_few_parameters);
  EXPECT_EQ(error_of(L"SELECT * FROM"), err::syntax_from);
  EXPECT_EQ(error_of(L"SELECT * FROM t INNER JOIN u"), err::syntax_from);
  EXPECT_EQ(error_of(L"SELECT * FROM [t"), err::syntax_from);
  EXPECT_EQ(error_of(L"SELECT a b c FROM t"), err::syntax_in_expression);
  EXPECT_EQ(error_of(L"SELECT a FROM t WHERE a = = 1"), err::syntax_in_expression);
  EXPECT_EQ(error_of(L"SELECT a FROM t WHERE d = #not a date#"), err::syntax_in_expression);
  EXPECT_EQ(error_of(L"SELECT a FROM t WHERE s = 'open"), err::syntax_in_expression);
  EXPECT_EQ(error_of(L"SELECT a FROM t ORDER a"), err::syntax_select);
  EXPECT_EQ(error_of(L"SELECT a FROM t; SELECT 1"), err::characters_after_end);
  EXPECT_EQ(error_of(L"SELECT Frob(a) FROM t"), err::undefined_function);
  EXPECT_EQ(error_of(L"SELECT a, Count(*) FROM t"), err::not_in_aggregate);
  EXPECT_EQ(error_of(L"SELECT a, b FROM t GROUP BY a"), err::not_in_aggregate);
  EXPECT_EQ(error_of(L"SELECT t.a & b, Sum(c) FROM t GROUP BY A, t.b"), 0);
  EXPECT_EQ(error_of(L"SELECT a + 1, Max(b) FROM t GROUP BY a + 1"), 0);
  EXPECT_EQ(error_of(L"SELECT a, (SELECT Max(x) FROM u WHERE u.y = t.a) FROM t GROUP BY a"), 0);
  EXPECT_EQ(error_of(L"SELECT a, a - (SELECT Avg(x) FROM u) FROM t"), 0);
  try {
    rewrite_select(L"SELECT a + FROM t");
    FAIL();
  } catch (const error& e) {
    EXPECT_EQ(e.description(), L"Syntax error (missing operator) in query expression 'a +'.");
  }
}

// Runs of one operator and chains of IIf reach the evaluator flat, whatever their length; the nesting read is bounded.
TEST(SqlRewrite, RunsAndChainsArePrintedFlatAndDepthIsBounded) {
  EXPECT_EQ(rewrite_select(L"SELECT a FROM t WHERE a = 1 OR a = 2 OR a = 3").text,
            "SELECT [a] FROM [t] WHERE (([a] = (1) COLLATE access_text) OR ([a] = (2) COLLATE access_text) OR ([a] = "
            "(3) COLLATE access_text))");
  EXPECT_EQ(rewrite_select(L"SELECT a - 1 - 2 + 3 - 4, a & b & c FROM t").text,
            "SELECT (acc_add(([a] - 1 - 2), 3, (-(4))))" + std::string(" COLLATE access_text") +
                " AS [Expr1000], (acc_concat([a], [b], [c])) COLLATE access_text AS [Expr1001] FROM [t]");
  std::string chain = rewrite_select(L"SELECT IIf(a = 1, 'x', IIf(a = 2, 'y', IIf(a = 3, IIf(b, 'z', 'w'), 'v'))) "
                                     L"FROM t").text;
  EXPECT_EQ(chain.find("CASE", chain.find("CASE") + 1), std::string::npos) << chain;  // one CASE
  std::wstring deep = L"SELECT " + std::wstring(300, L'(') + L"a" + std::wstring(300, L')') + L" FROM t";
  EXPECT_EQ(error_of(deep), err::query_too_complex);
  EXPECT_EQ(error_of(L"SELECT DISTINCT a FROM t ORDER BY b"), err::order_by_conflicts_with_distinct);
  EXPECT_EQ(error_of(L"SELECT DISTINCT a AS x, b FROM t ORDER BY x, 2, b"), 0);
  rewritten_sql top = rewrite_select(L"SELECT TOP 2 a, b AS n FROM t ORDER BY 2, n, a + b DESC");
  EXPECT_EQ(top.top_keys, (std::vector<int>{1, -1, -1}));
  EXPECT_EQ(top.hidden_columns, 2u);
}

}  // namespace
}  // namespace dao
