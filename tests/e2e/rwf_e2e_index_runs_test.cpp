// RWFAGENT end to end: a table whose index keys do not fit the memory a conversion gives them. Its keys go out to
// sorted run files beside the destination while the rows are copied; the file written is complete and sound, and
// no run file outlives the run: not when it ends, not when a signal stops it, and when it is killed outright, the
// next run on the destination removes them.
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/support/e2e_test_support.h"
#include "platform/system/atomic_file.h"

namespace {

using namespace tt_e2e;
namespace fs = std::filesystem;

const std::string wide_seed = std::string(TT_SOURCE_DIR) + "/tests/fixtures/wide_keys_table.sql";

std::vector<std::string> folder_names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

size_t temporaries_of(const std::string& folder, const std::string& dest_name) {
  size_t n = 0;
  for (const std::string& name : folder_names(folder))
    if (sys_is_temporary_name_of(name, dest_name)) ++n;
  return n;
}

class RwfagentIndexRuns : public rwfagent_fixture {
 protected:
  RwfagentIndexRuns() { tt_test::shared_mariadb({wide_seed}); }

  std::unique_ptr<program_process> start(const std::string& dest) {
    const tt_test::mariadb_facts& f = server.facts();
    return std::make_unique<program_process>(
        std::vector<std::string>{RWFAGENT_PATH, "--mysqlh=" + f.host, "--port=" + std::to_string(f.port),
                                 "--mysqlu=" + f.user, "--mysqlp=" + f.password, "--src=tt_wide",
                                 "--dest=" + dir.file(dest), "--acc_ver=1"},
        std::vector<std::string>{"HOME=" + home});
  }

  // Waits until the run has a run file beside the file it writes (two temporaries of the destination); false
  // when the run ended first.
  bool wait_for_run_file(program_process& run, const std::string& dest) {
    while (temporaries_of(dir.path(), dest) < 2) {
      int status = 0;
      if (waitpid(run.pid(), &status, WNOHANG) != 0) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
};

TEST_F(RwfagentIndexRuns, KeysBeyondTheBudgetGoToRunFilesAndTheFileIsComplete) {
  auto run = start("wide.mdb");
  ASSERT_TRUE(wait_for_run_file(*run, "wide.mdb")) << run->finish().out;
  program_result r = run->finish();
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(folder_names(dir.path()), (std::vector<std::string>{"home", "wide.mdb"}));
  expect_sound(dir.file("wide.mdb"));
  expect_same_rows(dir.file("wide.mdb"), "tt_wide", "wide");
}

TEST_F(RwfagentIndexRuns, SignalsAndKillsLeaveNoRunFileBehind) {
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(strsignal(signal));
    auto run = start("sig.mdb");
    ASSERT_TRUE(wait_for_run_file(*run, "sig.mdb")) << run->finish().out;
    kill(run->pid(), signal);
    program_result r = run->finish();
    EXPECT_EQ(r.status, 255) << r.out << r.err;
    EXPECT_EQ(r.err, "The conversion was stopped; the destination file was left as it was.\n");
    EXPECT_EQ(folder_names(dir.path()), std::vector<std::string>{"home"});
  }

  // Killed outright, a run leaves its files; the next run on the destination removes them.
  auto run = start("sig.mdb");
  ASSERT_TRUE(wait_for_run_file(*run, "sig.mdb")) << run->finish().out;
  kill(run->pid(), SIGKILL);
  EXPECT_EQ(run->finish().status, 128 + SIGKILL);
  EXPECT_EQ(temporaries_of(dir.path(), "sig.mdb"), 2u);
  tk_write_file(dir.file("tags.txt"), "tags\n");
  program_result r = agent({"--src=tabletide_demo", "--dest=" + dir.file("sig.mdb"), "--acc_ver=1",
                            "--tab_file=" + dir.file("tags.txt")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(folder_names(dir.path()), (std::vector<std::string>{"home", "sig.mdb", "tags.txt"}));
  expect_sound(dir.file("sig.mdb"));
}

}  // namespace
