// Runs the whole test binary under the locale named by TT_TEST_LOCALE (the build registers it a second time with
// a comma-decimal locale), so every table also proves that no text depends on the process locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>

namespace {

class locale_environment : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* name = std::getenv("TT_TEST_LOCALE");
    if (name == nullptr || *name == '\0') return;
    ASSERT_NE(std::setlocale(LC_ALL, name), nullptr) << "locale " << name << " is not installed (scripts/setup.sh)";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",") << "expected a comma-decimal locale";
  }
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new locale_environment);

}  // namespace
