#include "console/rwf_agent.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "tests/support/tk_test_support.h"
#include "tests/support/console_test_support.h"
#include "converter/rwf_front.h"

namespace {

struct agent_result {
  int code;
  std::string out, err;
};

class Agent : public ::testing::Test {
 protected:
  agent_result run(std::vector<std::string> args, const rwf_agent_steps& steps) {
    args.insert(args.begin(), "RWFAGENT");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    captured_console console;
    int code = rwf_agent_main(static_cast<int>(args.size()), argv.data(), steps);
    return {code, console.out(), console.err()};
  }
  std::vector<std::string> good_args() { return {"--src=shop", "--dest=" + dir.file("out.mdb"), "--acc_ver=1"}; }

  tk_scratch_dir dir;
  bool connected = false;
  bool ran = false;
  rwf_agent_steps ok_steps{[this](rowferry_convertor&) { connected = true; },
                           [this](rowferry_convertor& c) {
                             ran = true;
                             c.front_end().progress(L"Converting database shop (1 tables)");
                             c.set_completed(true);
                           }};
};

TEST_F(Agent, CompleteRunExitsZero) {
  agent_result r = run(good_args(), ok_steps);
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(connected && ran);
  EXPECT_EQ(r.out, "Converting database shop (1 tables)\n");
  EXPECT_EQ(r.err, "");
  ran = false;
  std::vector<std::string> args = good_args();
  args.push_back("--silent");
  r = run(args, ok_steps);
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(ran);
  EXPECT_EQ(r.out + r.err, "");
}

TEST_F(Agent, ErrorsDuringTheRun) {
  // A level-0 item error is printed and the run goes on to its end.
  bool unwound = false;
  rwf_agent_steps steps{[](rowferry_convertor&) {},
                        [&](rowferry_convertor& c) {
                          error_handler::instance().set_context(L"orders");
                          c.front_end().report(tk_exception("first line\nsecond line", 0), false);
                          c.front_end().missing_table(L"gone", false);
                          c.set_completed(true);
                        }};
  agent_result r = run(good_args(), steps);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "Error:\norders: first line second line\n");
  EXPECT_EQ(r.err, "Table gone not exists\n");

  // A level-1 error ends the program, but only after the run has unwound.
  steps.run = [&](rowferry_convertor& c) {
    struct guard {
      bool& flag;
      ~guard() { flag = true; }
    } g{unwound};
    c.front_end().report(tk_exception("disk full", 1), false);
    ADD_FAILURE() << "the run went on after a level-1 error";
  };
  r = run(good_args(), steps);
  EXPECT_EQ(r.code, 255);
  EXPECT_TRUE(unwound);
  EXPECT_EQ(r.out, "Error:\ndisk full\n");

  // An internal error is printed even when silent; a run that did not finish its file never gives 0.
  steps.run = [](rowferry_convertor& c) { c.front_end().report(tk_mail_assertion("rwf_run", 1), false); };
  std::vector<std::string> args = good_args();
  args.push_back("--silent");
  r = run(args, steps);
  EXPECT_EQ(r.code, 255);
  EXPECT_EQ(r.out.rfind("Internal error: Internal error: \ncode=", 0), 0u);
  steps.run = [](rowferry_convertor& c) { c.front_end().std_error("bad_alloc"); };
  r = run(good_args(), steps);
  EXPECT_EQ(r.code, 255);
  EXPECT_EQ(r.err, "bad_alloc\n");
}

TEST_F(Agent, TraceFileHoldsErrorsButNoPassword) {
  tk_write_file(dir.file("run.log"), std::string(1024, 'x'));
  rwf_agent_steps steps{[](rowferry_convertor&) { throw tk_exception("cannot connect", 1); }, {}};
  agent_result r = run({"--logfile=" + dir.file("run.log"), "--mysqlp=s3cr3t", "--src=shop",
                        "--dest=" + dir.file("out.mdb"), "--acc_ver=1"},
                       steps);
  EXPECT_EQ(r.code, 255);
  std::string log = tk_read_file(dir.file("run.log"));
  EXPECT_EQ(log, "Error:\ncannot connect\r\n");
  EXPECT_EQ(log.find("s3cr3t"), std::string::npos);
}

}  // namespace
