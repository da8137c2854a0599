// Test helper: runs the independent readers (mdbtools, the npm package mdb-reader) on a file and
// parses what they print, so tests can compare it with what was written. Programs are started with
// posix_spawn (no shell); tools/readers must have been set up (scripts/setup.sh runs npm ci there).
#pragma once

#include <string>
#include <vector>

namespace jet::oracle {

struct program_result {
  int exit_code = -1;
  std::string out;
  std::string err;
};

// Runs argv[0] (looked up in PATH) with the arguments; captures stdout and stderr.
program_result run(const std::vector<std::string>& argv);

struct reader_value {
  char kind = 'n';      // n null, b boolean, f number, s text (UTF-8), x bytes (hex), d date (ms), c/q/g/B text
  std::string payload;  // text already decoded from hex for kind 's'
};

struct reader_table {
  std::string name;
  long long row_count = 0;
  struct column {
    std::string name, type;
    int size = 0;
  };
  std::vector<column> columns;
  std::vector<std::vector<reader_value>> rows;
};

// Every user table (or the named ones) as mdb-reader returns them. Throws std::runtime_error when the
// reader fails (its error output in the message).
std::vector<reader_table> mdb_reader_dump(const std::string& file, const std::vector<std::string>& tables = {});

// mdb-export of one table: rows of fields (binary as hex, dates as "%Y-%m-%d %H:%M:%S", null as "\x02").
std::vector<std::vector<std::string>> mdb_export(const std::string& file, const std::string& table);

// Hex text of UTF-8 bytes and back.
std::string from_hex(const std::string& hex);

}  // namespace jet::oracle
