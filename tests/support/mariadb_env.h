// The one throwaway MariaDB server of a test binary.
//
// shared_mariadb() starts the server on first use (so tests that need none pay nothing) from the template
// cache in the build folder, seeded with the given .sql files; later calls return the same server, loading
// any seed file it does not hold yet. A GoogleTest environment registered by this library kills the server
// when the tests end, an atexit handler kills it on every other normal exit, and the kernel kills it when
// the test process dies abruptly. The process's HOME is pointed at the server's empty home folder, so no
// ~/.my.cnf of the machine reaches the code under test.
#pragma once

#include <string>
#include <vector>

#include "tests/support/mariadb_server.h"

namespace tt_test {

mariadb_server& shared_mariadb(const std::vector<std::string>& seed_files = {});

// Stops the shared server now (normally left to the environment).
void stop_shared_mariadb();

}  // namespace tt_test
