// The MySQL source against a throwaway MariaDB server holding the demo database, and a whole run from it.
#include "converter/sql_source.h"

#include <gtest/gtest.h>

#include "TK/tk_errco.h"
#include "tests/support/tk_test_support.h"
#include "TK/tk_utils.h"
#include "converter/rwf_conv.h"
#include "tests/support/run_engines_test_support.h"
#include "tests/support/mariadb_env.h"

namespace {

const std::string demo_sql = std::string(TT_SOURCE_DIR) + "/demo/demo.sql";

class SqlSource : public ::testing::Test {
 protected:
  SqlSource()
      : server(tt_test::shared_mariadb({demo_sql})),
        handler(tk_dao_error_count, tk_dao_error_table),
        conv(converter_build::console) {
    handler.load_err_map(tk_mysql_error_count, tk_mysql_error_table);
    conv.set_source_engine(std::make_unique<sql_source>());
    conv.set_destination_factory([] { return std::make_unique<fake_access>(); });
    conv.set_front_end(&front);
    const tt_test::mariadb_facts& f = server.facts();
    conv.store_mysql_settings(f.host, f.user, f.password, std::to_string(f.port));
    conv.src = L"tabletide_demo";
    conv.dest = tk_utf8_to_unicode(dir.file("demo.mdb"));
    conv.destination_format = format_access_2000;
  }

  tt_test::mariadb_server& server;
  tk_scratch_dir dir;
  error_handler handler;
  recording_front_end front;
  rowferry_convertor conv;
};

TEST_F(SqlSource, ConnectionErrorsCarryTheServersNumbers) {
  conv.password = "wrong";
  try {
    conv.connect_mysql_server();
    FAIL() << "connected with a wrong password";
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.code, tk_mysql_code_offset + 1045);
    EXPECT_EQ(handler.compose(e).rfind("Access denied. Verify the user name and password are correct", 0), 0u);
  }
  conv.password = server.facts().password;
  conv.connect_mysql_server();
  conv.src = L"no_such_db";
  std::vector<std::wstring> tables;
  EXPECT_THROW(conv.get_all_tables(tables), tk_exception);
  EXPECT_FALSE(conv.test_query(L"SELECT 1"));
}

TEST_F(SqlSource, ListsTablesAndTestsQueries) {
  conv.connect_mysql_server();
  std::vector<std::wstring> tables;
  conv.get_all_tables(tables);
  // Base tables only: the view is not listed.
  EXPECT_EQ(tables, (std::vector<std::wstring>{L"customers", L"order_lines", L"orders", L"products", L"tags"}));
  EXPECT_TRUE(conv.test_query(L"SELECT name FROM customers"));
  EXPECT_FALSE(conv.test_query(L"SELECT nothing FROM nowhere"));
}

TEST_F(SqlSource, WholeRunReadsEveryRow) {
  conv.connect_mysql_server();
  conv.selected_items = {{L"paid", L"SELECT order_id, total FROM orders WHERE status = 'paid'"}};
  conv.table_list = {L"customers", L"order_lines", L"gone"};
  conv();
  EXPECT_TRUE(conv.completed());
  EXPECT_TRUE(front.errors.empty()) << front.errors.front();
  EXPECT_EQ(front.missing, std::vector<std::wstring>{L"gone"});
  // The missing table is not counted.
  EXPECT_EQ(front.lines, (std::vector<std::wstring>{L"Converting database tabletide_demo (3 tables)",
                                                     L"Converting table paid (2 records)",
                                                     L"Converting table customers (6 records)",
                                                     L"Converting table order_lines (7 records)"}));
  fake_store* out = fake_access::store_of(dir.file("demo.mdb"));
  ASSERT_NE(out, nullptr);
  const fake_table& customers = out->tables.at(L"customers");
  ASSERT_EQ(customers.rows.size(), 6u);
  EXPECT_EQ(customers.rows[0][1], L"J\u00FCrgen Gr\u00F6\u00DFe");
  EXPECT_EQ(customers.rows[5][3], L"\u0391\u03B8\u03AE\u03BD\u03B1");
  EXPECT_EQ(out->tables.at(L"paid").rows.size(), 2u);
  EXPECT_EQ(out->tables.at(L"order_lines").rows.size(), 7u);
  EXPECT_FALSE(out->tables.at(L"customers").indexes.empty());
}

}  // namespace
