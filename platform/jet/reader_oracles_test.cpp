// The reader oracles (helpers for other tests) and a check that they run here.
#include "platform/jet/reader_oracles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace jet::oracle {

program_result run(const std::vector<std::string>& argv) {
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  posix_spawn_file_actions_adddup2(&fa, err[1], 2);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  int rc = ::posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  ::close(out[1]);
  ::close(err[1]);
  program_result r;
  if (rc != 0) {
    ::close(out[0]);
    ::close(err[0]);
    r.err = "cannot start " + argv[0];
    return r;
  }
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open_fds = 2;
  char buf[65536];
  while (open_fds > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        (i == 0 ? r.out : r.err).append(buf, size_t(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_fds;
      }
    }
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::string from_hex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(char(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

namespace {

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  while (true) {
    size_t at = s.find(sep, start);
    out.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) break;
    start = at + 1;
  }
  return out;
}

}  // namespace

std::vector<reader_table> mdb_reader_dump(const std::string& file, const std::vector<std::string>& tables) {
  std::vector<std::string> argv = {"node", std::string(TT_SOURCE_DIR) + "/tools/readers/dump.mjs", file};
  argv.insert(argv.end(), tables.begin(), tables.end());
  program_result r = run(argv);
  if (r.exit_code != 0) throw std::runtime_error("mdb-reader failed on " + file + ": " + r.err);
  std::vector<reader_table> out;
  for (const auto& line : split(r.out, '\n')) {
    if (line.empty()) continue;
    auto f = split(line, '\t');
    if (f[0] == "T" && f.size() >= 3) {
      out.push_back({});
      out.back().name = f[1];
      out.back().row_count = std::stoll(f[2]);
    } else if (f[0] == "C" && f.size() >= 4 && !out.empty()) {
      out.back().columns.push_back({f[1], f[2], std::stoi(f[3])});
    } else if (f[0] == "R" && !out.empty()) {
      out.back().rows.emplace_back();
    } else if (f[0] == "V" && f.size() >= 3 && !out.empty() && !out.back().rows.empty()) {
      reader_value v;
      v.kind = f[1].empty() ? 'n' : f[1][0];
      v.payload = v.kind == 's' ? from_hex(f[2]) : f[2];
      out.back().rows.back().push_back(v);
    }
  }
  return out;
}

std::vector<std::vector<std::string>> mdb_export(const std::string& file, const std::string& table) {
  program_result r = run({"mdb-export", "-H", "-Q", "-d", "\x1f", "-R", "\x1e", "-0", "\x02", "-b", "hex", "-T",
                          "%Y-%m-%d %H:%M:%S", file, table});
  if (r.exit_code != 0) throw std::runtime_error("mdb-export failed on " + file + ": " + r.err);
  std::vector<std::vector<std::string>> rows;
  for (const auto& rec : split(r.out, '\x1e')) {
    if (rec.empty()) continue;
    rows.push_back(split(rec, '\x1f'));
  }
  return rows;
}

namespace {

const std::string kSample = std::string(TT_TEST_DATA_DIR) + "/access-format/jackcess/fixedNumericTestV2000.mdb";

TEST(ReaderOracles, BothReadersRunOnAnAccessFile) {
  auto tables = mdb_reader_dump(kSample);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].name, "test");
  EXPECT_EQ(tables[0].row_count, 1);
  ASSERT_EQ(tables[0].rows.size(), 1u);
  EXPECT_EQ(tables[0].rows[0][0].payload, "some data");
  auto rows = mdb_export(kSample, "test");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "some data");
  EXPECT_EQ(run({"mdb-ver", kSample}).out, "JET4\n");
  EXPECT_NE(run({"no-such-program-here"}).exit_code, 0);
}

}  // namespace
}  // namespace jet::oracle
