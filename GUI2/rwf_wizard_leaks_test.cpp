// The sanitizer build's leak check over a run of the wizard: the tests run with the suppression file for system
// libraries, a whole conversion leaves nothing behind, and a leak in our own code is still found.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "GUI2/wizard_test_support.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

using namespace wiz_test;

class WizardLeaks : public wizard_fixture {};

TEST_F(WizardLeaks, ARunIsCleanWithTheSystemSuppressionsAndALeakOfOursStillFails) {
#if !defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "not a sanitizer build";
#else
  const char* options = std::getenv("LSAN_OPTIONS");
  ASSERT_NE(options, nullptr);
  EXPECT_NE(std::string(options).find(std::string("suppressions=") + TT_LSAN_SUPPRESSIONS), std::string::npos);

  const int status = run([&](QWidget* w) {
    to_databases(w);
    to_tables(w, dir.file("clean.mdb"));
    pick(w, 1317, "tags", false, true);
    click(w, 12324);
    wait_for_finish(w);
    click(w, 12325);
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);

  // A block of ours that nothing points to any more: its address is kept only scrambled, where the checker
  // cannot see it, so that the test can give it back afterwards.
  constexpr uintptr_t scramble = 0x5a5a5a5a5a5a5a5a;
  std::atomic<uintptr_t> hidden{0};
  std::thread([&] { hidden = reinterpret_cast<uintptr_t>(new char[4096]) ^ scramble; }).join();
  EXPECT_NE(__lsan_do_recoverable_leak_check(), 0);
  delete[] reinterpret_cast<char*>(hidden.load() ^ scramble);
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#endif
}

}  // namespace
