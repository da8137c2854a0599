// SELECT statements over a real file of each format: rows, their order and types, TOP with ties, appending
// through a one-table query, and the errors Access gives.
#include "platform/dao/sql_query.h"

#include <gtest/gtest.h>

#include "platform/dao/errors.h"
#include "platform/jet/test_scratch.h"
#include "platform/oleaut/vardate.h"

namespace dao {
namespace {

double day(int y, int m, int d) {
  DATE out = 0;
  oa_serial_from_parts(y, m, d, 0, 0, 0, 0, &out);
  return out;
}

// A file of the given format holding `people` (indexed on id and on name) and `pets`, opened again for reading.
std::unique_ptr<storage> sample(const std::string& path, file_format format) {
  auto s = create_storage(std::wstring(path.begin(), path.end()), format);
  table_schema people;
  people.name = L"People";
  auto col = [](const wchar_t* n, jet::column_type t, uint32_t size = 0) {
    column_spec c;
    c.name = n;
    c.type = t;
    c.size = size;
    return c;
  };
  people.columns = {col(L"id", jet::column_type::long_integer), col(L"name", jet::column_type::text, 50),
                    col(L"pay", jet::column_type::currency), col(L"born", jet::column_type::datetime),
                    col(L"member", jet::column_type::boolean)};
  people.indexes = {{L"PrimaryKey", {L"id"}, true, true, false}, {L"by_name", {L"name"}, false, false, false}};
  s->create_table(people);
  const wchar_t* names[] = {L"ann", L"Bob", L"cy", L"ANN", L"dee", L"Eve"};
  for (int i = 0; i < 6; ++i)
    s->append_row(L"People", {jet::value::long_integer(i + 1), jet::value::text(names[i]),
                              jet::value::currency({(i % 3 + 1) * 15000}), jet::value::datetime({day(1990 + i, 3, 1)}),
                              jet::value::boolean(i % 2 == 0)});
  table_schema pets;
  pets.name = L"Pets";
  pets.columns = {col(L"owner", jet::column_type::long_integer), col(L"kind", jet::column_type::text, 20)};
  s->create_table(pets);
  s->append_row(L"Pets", {jet::value::long_integer(1), jet::value::text(L"cat")});
  s->append_row(L"Pets", {jet::value::long_integer(1), jet::value::text(L"dog")});
  s->append_row(L"Pets", {jet::value::long_integer(3), jet::value::null()});
  s->close();
  return open_storage(std::wstring(path.begin(), path.end()), false, false, L"");
}

std::wstring cell(const jet::value& v) {
  using k = jet::value::kind;
  switch (v.kind_of()) {
    case k::null: return L"Null";
    case k::text: return v.as_text();
    case k::long_integer: return std::to_wstring(v.as_long());
    case k::boolean: return v.as_bool() ? L"True" : L"False";
    case k::currency: return std::to_wstring(v.as_currency().scaled);
    case k::double_: return std::to_wstring(v.as_double());
    case k::datetime: return std::to_wstring(static_cast<long>(v.as_datetime().days));
    default: return L"?";
  }
}

std::wstring rows_of(storage& s, const std::wstring& sql) {
  query_result q = run_query(s, sql, true);
  std::wstring out;
  for (const row& r : q.rows) {
    for (size_t i = 0; i < r.size(); ++i) out += (i ? L"," : L"") + cell(r[i]);
    out += L";";
  }
  return out;
}

int error_of(storage& s, const std::wstring& sql) {
  try {
    run_query(s, sql, true);
  } catch (const error& e) {
    return e.number();
  }
  return 0;
}

class SqlQuery : public ::testing::TestWithParam<file_format> {
 protected:
  void SetUp() override { store = sample(dir.file("q.db"), GetParam()); }
  jet::scratch_folder dir;
  std::unique_ptr<storage> store;
};

TEST_P(SqlQuery, FiltersSortsAndGroupsAsAccess) {
  storage& s = *store;
  EXPECT_EQ(rows_of(s, L"SELECT id FROM People WHERE id > 3 ORDER BY id DESC"), L"6;5;4;");
  // Text compares and sorts ignoring case, in the file's order.
  EXPECT_EQ(rows_of(s, L"SELECT id FROM People WHERE name = 'ANN' ORDER BY id"), L"1;4;");
  EXPECT_EQ(rows_of(s, L"SELECT name FROM People WHERE id <= 3 ORDER BY name DESC"), L"cy;Bob;ann;");
  EXPECT_EQ(rows_of(s, L"SELECT count(*) FROM People"), L"6;");
  EXPECT_EQ(rows_of(s, L"SELECT name, Count(*) AS n FROM People GROUP BY name HAVING Count(*) > 1"), L"ann,2;");
  EXPECT_EQ(rows_of(s, L"SELECT Sum(pay) FROM People WHERE member"), L"90000;");  // Currency: 9 exactly
  EXPECT_EQ(rows_of(s, L"SELECT [People].[name] & '/' & Pets!kind FROM People INNER JOIN Pets ON People.id = "
                       L"Pets.owner ORDER BY Pets.kind"),
            L"cy/;ann/cat;ann/dog;");
  EXPECT_EQ(rows_of(s, L"SELECT DISTINCT owner FROM Pets WHERE kind Is Null Or kind Like 'C*' ORDER BY 1"), L"1;3;");
  EXPECT_EQ(rows_of(s, L"SELECT id FROM People WHERE born Between #1/1/1992# And #12/31/1993# ORDER BY id"), L"3;4;");
  EXPECT_EQ(rows_of(s, L"SELECT id FROM People WHERE id In (SELECT owner FROM Pets) ORDER BY id;"), L"1;3;");
  EXPECT_EQ(rows_of(s, L"SELECT id FROM People WHERE Year(born) = 1995 AND NOT member"), L"6;");
}

TEST_P(SqlQuery, ColumnsKeepTheirSourceTypes) {
  query_result q = run_query(*store, L"SELECT pay, born, member, id * 2 AS twice, Count(*) FROM People GROUP BY "
                                     L"pay, born, member, id",
                             true);
  ASSERT_EQ(q.columns.size(), 5u);
  EXPECT_EQ(q.columns[0].type, jet::column_type::currency);
  EXPECT_EQ(q.columns[1].type, jet::column_type::datetime);
  EXPECT_EQ(q.columns[2].type, jet::column_type::boolean);
  EXPECT_EQ(q.columns[3].type, jet::column_type::long_integer);
  EXPECT_EQ(q.columns[3].name, L"twice");
  EXPECT_EQ(q.columns[4].name, L"Expr1000");
  EXPECT_EQ(q.rows[0][2].kind_of(), jet::value::kind::boolean);
  // Aggregates of one column keep its type where Access keeps it.
  query_result a = run_query(*store, L"SELECT Max(born), Sum(pay), First(name), Avg(id) FROM People", true);
  ASSERT_EQ(a.columns.size(), 4u);
  EXPECT_EQ(a.columns[0].type, jet::column_type::datetime);
  EXPECT_EQ(a.columns[1].type, jet::column_type::currency);
  EXPECT_EQ(a.rows[0][1].as_currency().scaled, 180000);
  EXPECT_EQ(a.columns[2].type, jet::column_type::text);
  EXPECT_EQ(a.columns[3].type, jet::column_type::double_);
  EXPECT_EQ(run_query(*store, L"SELECT TOP 1 Max(pay) AS m, name FROM People GROUP BY name ORDER BY Max(pay) DESC",
                      true).rows.size(), 2u);  // cy and Eve tie at 4.5
  // Only the columns: the rows are not read.
  query_result shape = run_query(*store, L"SELECT name FROM People", false);
  EXPECT_TRUE(shape.rows.empty());
  EXPECT_EQ(shape.columns[0].type, jet::column_type::text);
  EXPECT_EQ(shape.table, L"People");
}

TEST_P(SqlQuery, TopKeepsTiesAndPercent) {
  storage& s = *store;
  // pay: 1.5, 3, 4.5, 1.5, 3, 4.5 — the second row kept ties with the third and fourth.
  EXPECT_EQ(rows_of(s, L"SELECT TOP 2 id FROM People ORDER BY pay, name"), L"1;4;");
  EXPECT_EQ(rows_of(s, L"SELECT TOP 3 id FROM People ORDER BY pay"), L"1;4;2;5;");
  EXPECT_EQ(rows_of(s, L"SELECT TOP 50 PERCENT id FROM People ORDER BY id DESC"), L"6;5;4;");
  EXPECT_EQ(rows_of(s, L"select count(*) from (SELECT TOP 3 id FROM People ORDER BY pay)"), L"4;");
  EXPECT_EQ(rows_of(s, L"SELECT id FROM People WHERE id IN (SELECT TOP 2 id FROM People ORDER BY id DESC)"), L"5;6;");
}

TEST_P(SqlQuery, RefusalsCarryAccessNumbers) {
  storage& s = *store;
  EXPECT_EQ(error_of(s, L"SELECT * FROM Nowhere"), err::input_table_not_found);
  EXPECT_EQ(error_of(s, L"SELECT nothing FROM People"), err::too_few_parameters);
  try {
    run_query(s, L"SELECT id FROM People WHERE name = [Which name?] OR People.nope = [Which name?] OR [other] > 1", true);
    FAIL();
  } catch (const error& e) {
    EXPECT_EQ(e.description(), L"Too few parameters. Expected 3.");
  }
  EXPECT_EQ(error_of(s, L"SELECT id FROM People, Pets WHERE owner = id AND id = 1 AND kind = name AND "
                        L"People.id = Pets.owner AND 1 = 1 AND id = id"),
            0);
  EXPECT_EQ(error_of(s, L"SELECT Frob(id) FROM People"), err::undefined_function);
  EXPECT_EQ(error_of(s, L"DELETE FROM People"), err::invalid_operation);
  EXPECT_EQ(error_of(s, L"SELECT Left(name) FROM People"), err::syntax_in_expression);
  EXPECT_EQ(error_of(s, L"SELECT id FROM People WHERE CInt(name) = 1"), err::type_mismatch_in_criteria);
}

TEST_P(SqlQuery, TheFileLooksRowsUpThroughItsIndexes) {
  auto ids = [&](const index_probe& p) {
    std::unique_ptr<row_stream> rows = store->seek(L"People", p);
    std::wstring out;
    row r;
    while (rows && rows->next(r)) out += std::to_wstring(r[0].as_long()) + L";";
    return rows ? out : L"no index";
  };
  index_probe by_name;
  by_name.index = 1;
  by_name.equal = {jet::value::text(L"ANN")};
  EXPECT_EQ(ids(by_name), L"1;4;");  // the key ignores case, as Access compares
  index_probe range;
  range.low = jet::value::long_integer(3);
  range.high = jet::value::long_integer(5);
  EXPECT_EQ(ids(range), L"3;4;5;");
  index_probe one;
  one.equal = {jet::value::long_integer(6)};
  EXPECT_EQ(ids(one), L"6;");
  one.equal = {jet::value::long_integer(60)};
  EXPECT_EQ(ids(one), L"");
}

INSTANTIATE_TEST_SUITE_P(Formats, SqlQuery,
                         ::testing::Values(file_format::jet3, file_format::jet4, file_format::ace));

}  // namespace
}  // namespace dao
