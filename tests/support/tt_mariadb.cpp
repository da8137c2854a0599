// tt_mariadb: runs a throwaway MariaDB server for shell scripts (end-to-end tests, the demo).
//
//   tt_mariadb start <dir> [seed.sql...]   starts a server in <dir>, prints its facts as shell assignments
//                                          (also written to <dir>/facts.env) and returns, leaving it running
//   tt_mariadb stop <dir>                  stops the server started in <dir>
//
// With TT_MARIADB_TEMPLATES naming a folder, seeded data folders are cached there (the first start with given
// seed files loads them; later starts copy the result), as the tests' servers do.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "tests/support/mariadb_server.h"

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (argc < 3 || (command != "start" && command != "stop")) {
    std::fprintf(stderr, "usage: tt_mariadb start <dir> [seed.sql...]\n       tt_mariadb stop <dir>\n");
    return 2;
  }
  try {
    if (command == "stop") {
      if (!tt_test::mariadb_server::stop_by_dir(argv[2])) {
        std::fprintf(stderr, "tt_mariadb: no server is running in %s\n", argv[2]);
        return 1;
      }
      return 0;
    }
    tt_test::mariadb_options options;
    options.dir = argv[2];
    options.detached = true;
    if (const char* templates = std::getenv("TT_MARIADB_TEMPLATES")) options.template_root = templates;
    for (int i = 3; i < argc; ++i) options.seed_files.push_back(argv[i]);
    tt_test::mariadb_server server = tt_test::mariadb_server::start(options);
    const tt_test::mariadb_facts& f = server.facts();
    std::printf("MARIADB_HOST=%s\nMARIADB_PORT=%u\nMARIADB_USER=%s\nMARIADB_PASSWORD='%s'\nMARIADB_SOCKET=%s\n"
                "MARIADB_DIR=%s\nMARIADB_PID=%d\n",
                f.host.c_str(), f.port, f.user.c_str(), f.password.c_str(), f.socket.c_str(), f.dir.c_str(),
                server.pid());
    server.release();
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tt_mariadb: %s\n", e.what());
    return 1;
  }
}
