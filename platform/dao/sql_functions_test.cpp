// Access's functions on the evaluator: Access's results and its Null rules.
#include "platform/dao/sql_functions.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include "platform/dao/sql_collation.h"

namespace dao {
namespace {

// The text of the one value an expression gives ("Null" for Null, "error" when it fails).
class Functions : public ::testing::Test {
 protected:
  Functions() {
    sqlite3_open(":memory:", &db_);
    register_functions(db_);
  }
  ~Functions() override { sqlite3_close(db_); }
  std::string eval(const std::string& expr) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, ("SELECT " + expr).c_str(), -1, &st, nullptr) != SQLITE_OK) return "prepare";
    std::string out = "error";
    if (sqlite3_step(st) == SQLITE_ROW)
      out = sqlite3_column_type(st, 0) == SQLITE_NULL ? "Null" : reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    return out;
  }
  sqlite3* db_ = nullptr;
};

TEST_F(Functions, TextFunctions) {
  EXPECT_EQ(eval("acc_left('abc', 2) || acc_right('abc', 2) || acc_mid('abcdef', 2, 3) || acc_mid('abc', 5)"), "abbcbcd");
  EXPECT_EQ(eval("acc_instr('Hello', 'L')"), "3");
  EXPECT_EQ(eval("acc_instr(4, 'Hello', 'l')"), "4");
  EXPECT_EQ(eval("acc_instr(1, 'Hello', 'L', 0)"), "0");
  EXPECT_EQ(eval("acc_ucase('abçωж') || acc_lcase('XYÉ') || '[' || acc_trim('  a b ') || ']'"), "ABÇΩЖxyé[a b]");
  EXPECT_EQ(eval("'[' || acc_space(2) || acc_string(3, 'xy') || acc_string(2, 65) || ']'"), "[  xxxAA]");
  EXPECT_EQ(eval("acc_replace('aXbxc', 'x', '-')"), "aXb-c");
  EXPECT_EQ(eval("acc_strcomp('abc', 'ABC') || acc_strcomp('a', 'b') || acc_strcomp('a', 'A', 0)"), "0-11");
  EXPECT_EQ(eval("acc_asc('A') || acc_chr(66) || acc_len('four')"), "65B4");
  EXPECT_EQ(eval("acc_val(' 1 2.5abc') || '|' || acc_str(5) || '|' || acc_str(-1.5) || '|' || acc_cstr(0.1)"),
            "12.5| 5|-1.5|0.1");
}

TEST_F(Functions, NullRules) {
  EXPECT_EQ(eval("acc_len(NULL)"), "Null");
  EXPECT_EQ(eval("acc_left(NULL, 1)"), "Null");
  EXPECT_EQ(eval("acc_concat(NULL, 'x') || acc_concat(1.5, NULL)"), "x1.5");
  EXPECT_EQ(eval("acc_concat(NULL, NULL)"), "Null");
  EXPECT_EQ(eval("acc_nz(NULL, 7) || acc_nz(3) || '[' || acc_nz(NULL) || ']'"), "73[]");
  EXPECT_EQ(eval("acc_isnull(NULL) || acc_isnull(0)"), "-10");
  EXPECT_EQ(eval("acc_truth(NULL)"), "Null");
  EXPECT_EQ(eval("acc_truth('x')"), "error");
  EXPECT_EQ(eval("acc_datetext(NULL)"), "Null");
  EXPECT_EQ(eval("acc_isnumeric(NULL) || acc_isdate(NULL)"), "00");
  EXPECT_EQ(eval("acc_cint(NULL)"), "Null");
  EXPECT_EQ(eval("acc_like(NULL, '*')"), "Null");
}

TEST_F(Functions, NumbersRoundHalfToEven) {
  EXPECT_EQ(eval("acc_round(2.5) || ' ' || acc_round(3.5) || ' ' || acc_round(2.675, 2) || ' ' || acc_round(-1.5)"),
            "2.0 4.0 2.68 -2.0");
  EXPECT_EQ(eval("acc_cint(2.5) || acc_cint(3.5) || acc_clng(-2.5)"), "24-2");
  EXPECT_EQ(eval("acc_cint(40000)"), "error");
  EXPECT_EQ(eval("acc_int(-2.5) || ' ' || acc_fix(-2.5) || ' ' || acc_abs(-3) || acc_sgn(-0.1) || acc_sqr(9)"),
            "-3.0 -2.0 3-13.0");
  EXPECT_EQ(eval("acc_intdiv(7.5, 2) || ' ' || acc_mod(-7, 3) || ' ' || acc_mod(5.5, 2) || ' ' || acc_div(7, 2)"),
            "4 -1 0 3.5");
  EXPECT_EQ(eval("acc_div(1, 0)"), "error");
  EXPECT_EQ(eval("acc_add('ab', 'c') || ' ' || acc_add('2', 3) || ' ' || acc_add(2, 3) || ' ' || acc_add(1.5, 1)"),
            "abc 5.0 5 2.5");
  EXPECT_EQ(eval("acc_add(NULL, 'x')"), "Null");
  EXPECT_EQ(eval("acc_add('x', 1)"), "error");
  EXPECT_EQ(eval("acc_ccur(1.23456) || ' ' || acc_cbool(5) || ' ' || acc_cdbl('2.5')"), "1.2346 -1 2.5");
  EXPECT_EQ(eval("acc_cdbl('abc')"), "error");
}

TEST_F(Functions, Dates) {
  // 2024-02-29 is date number 45351.
  EXPECT_EQ(eval("acc_dateserial(2024, 2, 29)"), "45351.0");
  EXPECT_EQ(eval("acc_dateserial(2024, 14, 0)"), "45688.0");  // rolls into 2025-01-31
  EXPECT_EQ(eval("acc_year(45351.75) || acc_month(45351) || acc_day(45351) || acc_hour(45351.75) || acc_weekday(45351)"),
            "2024229185");
  EXPECT_EQ(eval("acc_format(acc_dateadd('m', 1, 45322), 'yyyy-mm-dd')"), "2024-02-29");  // Jan 31 + 1 month
  EXPECT_EQ(eval("acc_format(acc_dateadd('yyyy', 1, 45351), 'yyyy-mm-dd')"), "2025-02-28");
  EXPECT_EQ(eval("acc_datediff('d', 45351, 45361) || acc_datediff('m', 45351, 45383) || acc_datediff('yyyy', 45351, 45658)"),
            "1021");
  EXPECT_EQ(eval("acc_datepart('q', 45351) || acc_datepart('y', 45351)"), "160");
  EXPECT_EQ(eval("acc_timeserial(18, 30, 0)"), "0.770833333333333");
  EXPECT_EQ(eval("acc_year('2024-06-01')"), "2024");
  EXPECT_EQ(eval("acc_cdate('6/1/2024')"), "45444.0");
}

TEST_F(Functions, WeeksTextsOfDatesAndTheirChecks) {
  // 2024-01-01 (45292) is a Monday; 2027-01-01 (46388) a Friday.
  EXPECT_EQ(eval("acc_datepart('w', 45292) || acc_datepart('w', 45292, 2) || acc_weekday(45292, 0)"), "212");
  EXPECT_EQ(eval("acc_datepart('ww', 45292) || ' ' || acc_datepart('ww', 46388, 2, 2) || ' ' || "
                 "acc_datepart('ww', 45292, 1, 3)"),
            "1 53 53");
  EXPECT_EQ(eval("acc_datepart('w', 45292, 8)"), "error");
  EXPECT_EQ(eval("acc_format(45292, 'w ww') || '|' || acc_format(46388, 'ww', 2, 2)"), "2 1|53");
  EXPECT_EQ(eval("acc_format('abc', '>') || acc_format('ABC', '<') || acc_format('ab', '(@@@)') || "
                 "acc_format('ab', '!@@@') || '|' || acc_format('abcd', '&&')"),
            "ABCabc( ab)ab |abcd");
  EXPECT_EQ(eval("acc_datetext(45351) || '|' || acc_datetext(45351.5) || '|' || acc_datetext(0.75) || '|' || "
                 "acc_datetext('x')"),
            "2/29/2024|2/29/2024 12:00:00 PM|6:00:00 PM|x");
  EXPECT_EQ(eval("acc_instrrev('abcabc', 'bc') || acc_instrrev('abcabc', 'bc', 5) || acc_instrrev('abc', 'x') || "
                 "acc_instrrev('ABC', 'b', -1, 0)"),
            "5200");
  EXPECT_EQ(eval("acc_isnumeric(' -1,234.5e2 ') || acc_isnumeric('&HFF') || acc_isnumeric('1x') || acc_isnumeric('') || "
                 "acc_isnumeric(3)"),
            "-1-100-1");
  EXPECT_EQ(eval("acc_isdate('2/29/2024 10:00 PM') || acc_isdate('2/30/2024') || acc_isdate(45351)"), "-100");
  EXPECT_EQ(eval("acc_datevalue('2/29/2024 6:00 PM') || ' ' || acc_timevalue('2/29/2024 6:00 PM')"), "45351.0 0.75");
  double d = 0;
  EXPECT_TRUE(access_date_from_text(L"5/24/2005 10:00:00 PM", &d));
  EXPECT_DOUBLE_EQ(d, 38496 + 22.0 / 24);
  EXPECT_TRUE(access_date_from_text(L"12:30 am", &d));
  EXPECT_DOUBLE_EQ(d, 0.5 / 24);
  EXPECT_TRUE(access_date_from_text(L"10PM", &d));
  EXPECT_DOUBLE_EQ(d, 22.0 / 24);
  EXPECT_FALSE(access_date_from_text(L"13:00 PM", &d));
  EXPECT_TRUE(access_date_from_text(L"2/28", &d));  // this year's
  EXPECT_EQ(eval("acc_month(acc_cdate('2/28 6 AM')) || acc_day(acc_cdate('2/3'))"), "23");
}

TEST_F(Functions, Formats) {
  EXPECT_EQ(eval("acc_format(45351.5, 'dd.mm.yyyy hh:nn')"), "29.02.2024 12:00");
  EXPECT_EQ(eval("acc_format(45351, 'Long Date')"), "Thursday, February 29, 2024");
  EXPECT_EQ(eval("acc_format(45351, 'Short Date') || ' ' || acc_format(45351, 'mmm d')"), "2/29/2024 Feb 29");
  EXPECT_EQ(eval("acc_format(1234.5, 'Standard') || ' ' || acc_format(1234.5, 'Currency') || ' ' || "
                 "acc_format(0.256, 'Percent')"),
            "1,234.50 $1,234.50 25.60%");
  EXPECT_EQ(eval("acc_format(3.14159, '0.00') || ' ' || acc_format(7, '000') || ' ' || acc_format(-1, 'Yes/No')"),
            "3.14 007 Yes");
}

TEST_F(Functions, AggregatesAndLike) {
  sqlite3_exec(db_, "CREATE TABLE v(x); INSERT INTO v VALUES (2),(4),(NULL),(4),(5),(7),(9)", nullptr, nullptr, nullptr);
  EXPECT_EQ(eval("acc_first(x) || ' ' || acc_last(x) FROM v"), "2 9");
  EXPECT_EQ(eval("acc_varp(x) || ' ' || acc_stdevp(x) FROM v"), "5.13888888888889 2.26691175145591");
  EXPECT_EQ(eval("acc_var(x) FROM (SELECT 1 AS x)"), "Null");
  EXPECT_TRUE(access_like(L"Hello", L"h*O"));
  EXPECT_TRUE(access_like(L"a1c", L"a#c"));
  EXPECT_FALSE(access_like(L"abc", L"a#c"));
  EXPECT_TRUE(access_like(L"b", L"[a-c]"));
  EXPECT_FALSE(access_like(L"b", L"[!a-c]"));
  EXPECT_TRUE(access_like(L"a*b", L"a[*]b"));
  EXPECT_TRUE(access_like(L"xyz", L"?y*"));
  EXPECT_FALSE(access_like(L"xyz", L"?y"));
}

TEST(Collation, CaseAndTrailingBlanksDoNotCount) {
  for (auto order : {jet::sort_order_kind::general_legacy, jet::sort_order_kind::general, jet::sort_order_kind::general_97}) {
    EXPECT_EQ(compare_access_text(order, "abc", 3, "ABC ", 4), 0);
    EXPECT_LT(compare_access_text(order, "abc", 3, "abd", 3), 0);
    EXPECT_GT(compare_access_text(order, "Zoe", 3, "\xC3\xA4pfel", 6), 0);  // ä sorts with a, before z
    EXPECT_GT(compare_access_text(order, "b", 1, "A", 1), 0);
  }
}

}  // namespace
}  // namespace dao
