// The shared throwaway MariaDB server of a test binary and the GoogleTest environment that stops it.
#include "tests/support/mariadb_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace tt_test {
namespace {

std::mutex g_mutex;
std::unique_ptr<mariadb_server> g_server;
std::vector<std::string> g_seeds;

void stop_at_exit() { stop_shared_mariadb(); }

class mariadb_environment : public ::testing::Environment {
 public:
  void TearDown() override { stop_shared_mariadb(); }
};

// Registered when this file is linked in, which happens exactly when a test calls shared_mariadb().
const bool g_registered = [] {
  ::testing::AddGlobalTestEnvironment(new mariadb_environment);
  return true;
}();

}  // namespace

mariadb_server& shared_mariadb(const std::vector<std::string>& seed_files) {
  std::lock_guard<std::mutex> lock(g_mutex);
  (void)g_registered;
  if (!g_server) {
    mariadb_options options;
    options.seed_files = seed_files;
#ifdef TT_MARIADB_TEMPLATE_ROOT
    options.template_root = TT_MARIADB_TEMPLATE_ROOT;
#endif
    g_server = std::make_unique<mariadb_server>(mariadb_server::start(options));
    g_seeds = seed_files;
    static const bool hooked = (std::atexit(stop_at_exit), true);
    (void)hooked;
    ::setenv("HOME", (g_server->facts().dir + "/home").c_str(), 1);
  }
  for (const auto& seed : seed_files) {
    if (std::find(g_seeds.begin(), g_seeds.end(), seed) != g_seeds.end()) continue;
    g_server->load_file(seed);
    g_seeds.push_back(seed);
  }
  return *g_server;
}

void stop_shared_mariadb() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_server) g_server->stop();
  g_server.reset();
  g_seeds.clear();
}

}  // namespace tt_test
