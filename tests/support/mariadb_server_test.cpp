// Tests of the throwaway MariaDB server: reachable through the C client library as the known user, the
// anonymous accounts gone, seeds loaded, and no server left running after stop().
#include "tests/support/mariadb_server.h"

#include <gtest/gtest.h>
#include <mysql.h>
#include <signal.h>
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/mariadb_env.h"

namespace tt_test {
namespace {

TEST(MariadbServer, ConnectsThroughTheClientLibraryAndReportsItsVersion) {
  mariadb_server& server = shared_mariadb();
  const mariadb_facts& f = server.facts();
  ASSERT_GT(f.port, 0u);
  EXPECT_EQ(f.host, "127.0.0.1");

  MYSQL* m = mysql_init(nullptr);
  ASSERT_NE(m, nullptr);
  ASSERT_NE(mysql_real_connect(m, f.host.c_str(), f.user.c_str(), f.password.c_str(), nullptr, f.port, nullptr, 0),
            nullptr)
      << mysql_error(m);
  const std::string version = mysql_get_server_info(m);
  EXPECT_NE(version.find("MariaDB"), std::string::npos) << version;
  EXPECT_GE(mysql_get_server_version(m), 100000ul);
  EXPECT_EQ(version, f.version);
  mysql_close(m);

  // The process's HOME is the server's empty home, so no ~/.my.cnf can reach the code under test.
  EXPECT_EQ(std::string(std::getenv("HOME")), f.dir + "/home");
}

TEST(MariadbServer, HasOnlyTheKnownAccountsAndRefusesAWrongPassword) {
  mariadb_server& server = shared_mariadb();
  EXPECT_TRUE(server.query("SELECT Host FROM mysql.user WHERE User = ''").empty());

  const mariadb_facts& f = server.facts();
  MYSQL* m = mysql_init(nullptr);
  EXPECT_EQ(mysql_real_connect(m, f.host.c_str(), f.user.c_str(), "wrong", nullptr, f.port, nullptr, 0), nullptr);
  EXPECT_EQ(mysql_errno(m), 1045u);
  mysql_close(m);
}

TEST(MariadbServer, RunsStatementsAndReturnsCellsByteForByte) {
  mariadb_server& server = shared_mariadb();
  server.exec(
      "CREATE DATABASE IF NOT EXISTS harness_probe; USE harness_probe;"
      "CREATE OR REPLACE TABLE t (b VARBINARY(8), s VARCHAR(8) CHARACTER SET utf8mb4, n INT);"
      "INSERT INTO t VALUES (X'00FF0041', '\xF0\x9F\x98\x80', NULL)");
  auto rows = server.query("SELECT b, s, n FROM t", "harness_probe");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(*rows[0][0], std::string("\x00\xFF\x00\x41", 4));
  EXPECT_EQ(*rows[0][1], "\xF0\x9F\x98\x80");
  EXPECT_FALSE(rows[0][2].has_value());
  EXPECT_THROW(server.query("SELECT * FROM no_such_table", "harness_probe"), std::runtime_error);
}

TEST(MariadbServer, LoadsAnSqlFileAndStopsWithoutLeavingAProcess) {
  const std::string seed = std::filesystem::temp_directory_path() / ("tt-seed-" + std::to_string(::getpid()) + ".sql");
  std::ofstream(seed) << "CREATE DATABASE seeded;\nUSE seeded;\n"
                         "DELIMITER //\nCREATE PROCEDURE p() BEGIN SELECT 1; END//\nDELIMITER ;\n"
                         "CREATE TABLE t (a INT); INSERT INTO t VALUES (1),(2),(3);\n";
  mariadb_options options;
  options.seed_files = {seed};
  mariadb_server server = mariadb_server::start(options);
  auto rows = server.query("SELECT COUNT(*) FROM t", "seeded");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(*rows[0][0], "3");

  const int pid = server.pid();
  const std::string dir = server.facts().dir;
  server.stop();
  EXPECT_FALSE(server.running());
  EXPECT_NE(::kill(pid, 0), 0);
  EXPECT_FALSE(std::filesystem::exists(dir));
  std::filesystem::remove(seed);
}

TEST(MariadbServer, EachServerHoldsAReservedPortOutsideTheKernelsRange) {
  mariadb_options options;
  options.template_root = std::string(TT_BINARY_DIR) + "/mariadb-templates";
  mariadb_server first = mariadb_server::start(options);
  mariadb_server second = mariadb_server::start(options);
  unsigned ephemeral_low = 0;
  std::ifstream("/proc/sys/net/ipv4/ip_local_port_range") >> ephemeral_low;
  const unsigned port = first.facts().port;
  EXPECT_NE(port, second.facts().port);
  for (const mariadb_server* s : {&first, &second}) {
    EXPECT_LT(s->facts().port, ephemeral_low);
    EXPECT_EQ(*s->query("SELECT 1")[0][0], "1");
  }
  // The port stays reserved (to every process of the machine) while its server lives, and is given back when it
  // stops.
  const int lock = ::open(("/tmp/tt-mariadb-ports/" + std::to_string(port)).c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(lock, 0);
  EXPECT_NE(::flock(lock, LOCK_EX | LOCK_NB), 0);
  first.stop();
  EXPECT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
  ::close(lock);
}

TEST(MariadbServer, DetachedServerIsStoppedByItsFolder) {
  char tmpl[] = "/tmp/tt-detached-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  mariadb_options options;
  options.dir = dir;
  options.detached = true;
  int pid = 0;
  {
    mariadb_server server = mariadb_server::start(options);
    pid = server.pid();
    EXPECT_TRUE(std::filesystem::exists(dir + "/facts.env"));
    server.release();  // as the tool does: the server keeps running
  }
  EXPECT_EQ(::kill(pid, 0), 0);
  EXPECT_TRUE(mariadb_server::stop_by_dir(dir));
  EXPECT_NE(::kill(pid, 0), 0);
  EXPECT_FALSE(mariadb_server::stop_by_dir(dir));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tt_test
