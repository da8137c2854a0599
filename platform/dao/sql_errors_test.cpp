// Evaluator messages as DAO errors.
#include "platform/dao/sql_errors.h"

#include <gtest/gtest.h>

namespace dao {
namespace {

TEST(SqlErrors, EvaluatorMessagesBecomeDaoErrors) {
  EXPECT_EQ(missing_table("no such table: main.Orders"), L"Orders");
  EXPECT_EQ(missing_table("no such column: x"), L"");
  error e = evaluator_error("no such table: Orders", L"");
  EXPECT_EQ(e.number(), 3078);
  EXPECT_EQ(e.description(), L"The Microsoft Jet database engine cannot find the input table or query 'Orders'. Make "
                             L"sure it exists and that its name is spelled correctly.");
  EXPECT_EQ(evaluator_error("no such column: t.x", L"").description(), L"Too few parameters. Expected 1.");
  EXPECT_EQ(evaluator_error("ambiguous column name: id", L"").number(), 3079);
  EXPECT_EQ(evaluator_error("wrong number of arguments to function acc_left()", L"Left(a)").description(),
            L"Syntax error (missing operator) in query expression 'Left(a)'.");
  EXPECT_EQ(evaluator_error(function_error(3464), L"").description(), L"Data type mismatch in criteria expression.");
  error own = evaluator_error("access error 3049 The file is damaged.", L"");
  EXPECT_EQ(own.number(), 3049);
  EXPECT_EQ(own.description(), L"The file is damaged.");
}

}  // namespace
}  // namespace dao
