#include "converter/mysql_settings.h"

#include <gtest/gtest.h>

namespace {

TEST(MysqlSettings, PortNumbers) {
  EXPECT_EQ(mysql_port_number("3306"), 3306);
  EXPECT_EQ(mysql_port_number("  3307abc"), 3307);
  EXPECT_EQ(mysql_port_number("+1"), 1);
  EXPECT_EQ(mysql_port_number("65535"), 65535);
  for (const char* bad : {"", "0", "abc", "-5", "65536", "70000", "99999999999999999999"})
    EXPECT_EQ(mysql_port_number(bad), 0) << bad;
}

TEST(MysqlSettings, StoreTrimsAndDefaultsThePort) {
  mysql_converter_impl m;
  EXPECT_EQ(m.port, "3306");
  m.store_mysql_settings("  h ", " u", "p w ", "  ");
  EXPECT_EQ(m.host, "h");
  EXPECT_EQ(m.user, "u");
  EXPECT_EQ(m.password, "p w");
  EXPECT_EQ(m.port, "3306");
  m.store_mysql_settings("", "", "", " 3310 ");
  EXPECT_EQ(m.port, "3310");
}

}  // namespace
