// The file's tables and stored queries as the evaluator's tables: declared on demand, typed values, index
// look-ups chosen for equalities on an index's leading columns.
#include "platform/dao/sql_vtab.h"

#include <gtest/gtest.h>

#include "platform/dao/errors.h"
#include "platform/dao/memory_storage_test_support.h"
#include "platform/dao/sql_query.h"

namespace dao {
namespace {

// Tables in memory that record each index look-up asked of them (and scan instead).
class probed_storage : public memory_storage {
 public:
  std::vector<index_probe> probes;
  std::unique_ptr<row_stream> seek(const std::wstring& table, const index_probe& probe) override {
    probes.push_back(probe);
    return nullptr;
  }
};

std::unique_ptr<probed_storage> orders() {
  auto s = std::make_unique<probed_storage>();
  table_schema t;
  t.name = L"Orders";
  auto col = [](const wchar_t* n, jet::column_type type) {
    column_spec c;
    c.name = n;
    c.type = type;
    return c;
  };
  t.columns = {col(L"id", jet::column_type::long_integer), col(L"customer", jet::column_type::text),
               col(L"day", jet::column_type::datetime), col(L"paid", jet::column_type::boolean)};
  t.indexes = {{L"PrimaryKey", {L"id"}, true, true, false}, {L"by_customer_day", {L"customer", L"day"}, false, false, false}};
  s->create_table(t);
  for (int i = 1; i <= 4; ++i)
    s->append_row(L"Orders", {jet::value::long_integer(i), jet::value::text(i % 2 ? L"ann" : L"bob"),
                              jet::value::datetime({45000.0 + i}), jet::value::boolean(i > 2)});
  s->queries_.push_back({L"Paid Orders", true, L"SELECT id, customer FROM Orders WHERE paid ORDER BY id"});
  s->queries_.push_back({L"Broken", true, L"SELECT FROM"});
  return s;
}

TEST(SqlTables, EqualitiesOnLeadingIndexColumnsAskForALookUp) {
  auto s = orders();
  EXPECT_EQ(run_query(*s, L"SELECT id FROM Orders WHERE id = 3", true).rows.size(), 1u);
  ASSERT_EQ(s->probes.size(), 1u);
  EXPECT_EQ(s->probes[0].index, 0u);
  ASSERT_EQ(s->probes[0].equal.size(), 1u);
  EXPECT_EQ(s->probes[0].equal[0].as_long(), 3);

  s->probes.clear();
  EXPECT_EQ(run_query(*s, L"SELECT id FROM Orders WHERE customer = 'ANN' AND day > 45002", true).rows.size(), 1u);
  ASSERT_EQ(s->probes.size(), 1u);
  EXPECT_EQ(s->probes[0].index, 1u);
  EXPECT_EQ(s->probes[0].equal[0].as_text(), L"ANN");
  ASSERT_TRUE(s->probes[0].low);
  EXPECT_EQ(s->probes[0].low->as_datetime().days, 45002);

  // No condition on a leading column, or a value the column cannot hold: the table is scanned.
  s->probes.clear();
  EXPECT_EQ(run_query(*s, L"SELECT id FROM Orders WHERE day > 45002", true).rows.size(), 2u);
  EXPECT_EQ(run_query(*s, L"SELECT id FROM Orders WHERE id = 2.5", true).rows.size(), 0u);
  EXPECT_TRUE(s->probes.empty());
}

TEST(SqlTables, ValuesComeTypedAndQueriesAreViews) {
  auto s = orders();
  query_result q = run_query(*s, L"SELECT paid, day, paid + 0 AS n FROM Orders WHERE id = 4", true);
  ASSERT_EQ(q.rows.size(), 1u);
  EXPECT_EQ(q.rows[0][0].kind_of(), jet::value::kind::boolean);
  EXPECT_EQ(q.rows[0][1].as_datetime().days, 45004);
  EXPECT_EQ(q.rows[0][2].as_long(), -1);  // Yes is -1
  query_result v = run_query(*s, L"SELECT * FROM [paid orders] WHERE customer = 'Bob'", true);
  ASSERT_EQ(v.rows.size(), 1u);
  EXPECT_EQ(v.rows[0][0].as_long(), 4);
  EXPECT_EQ(v.columns[1].type, jet::column_type::text);
  EXPECT_TRUE(v.table.empty());  // a query over a query takes no rows
  try {
    run_query(*s, L"SELECT * FROM Broken", true);
    FAIL();
  } catch (const error& e) {
    EXPECT_EQ(e.number(), err::syntax_select);
  }
}

TEST(SqlTables, StoredQueriesKeepTheirDates) {
  auto s = orders();
  s->queries_.push_back({L"Due", true, L"SELECT id, day + 30 AS due, 'from ' & day AS since FROM Orders"});
  query_result all = run_query(*s, L"SELECT * FROM Due WHERE id = 1", true);
  ASSERT_EQ(all.rows.size(), 1u);
  EXPECT_EQ(all.columns[1].type, jet::column_type::datetime);
  EXPECT_EQ(all.rows[0][1].as_datetime().days, 45031);
  EXPECT_EQ(all.rows[0][2].as_text(), L"from 3/16/2023");
  query_result joined = run_query(
      *s, L"SELECT 'due ' & d.due, d.due - o.day, o.* FROM Due AS d INNER JOIN Orders AS o ON d.id = o.id WHERE o.id = 1",
      true);
  ASSERT_EQ(joined.rows.size(), 1u);
  EXPECT_EQ(joined.rows[0][0].as_text(), L"due 4/15/2023");
  EXPECT_EQ(joined.columns[1].type, jet::column_type::double_);  // the difference of two dates is a number
  EXPECT_EQ(joined.rows[0][1].as_double(), 30);
  EXPECT_EQ(joined.columns[4].type, jet::column_type::datetime);
}

}  // namespace
}  // namespace dao
