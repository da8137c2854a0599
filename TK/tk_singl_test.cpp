#include "TK/tk_singl.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

struct first_base {
  virtual ~first_base() = default;
  int a = 1;
};
struct second_base {
  virtual void f() {}
  int b = 2;
};
// The singleton is not the first base, so its address differs from the object's.
struct registered : first_base, second_base, tk_singleton<registered> {
  int value = 7;
};

}  // namespace

TEST(Exception, TextsCodesAndLevels) {
  EXPECT_STREQ(tk_exception("", 1).what(), "Unknown exception");
  EXPECT_STREQ(tk_exception(std::string("boom"), 0).what(), "boom");
  tk_exception only_level(1);
  EXPECT_STREQ(only_level.what(), "Unknown exception");
  EXPECT_EQ(only_level.code, 0);
  EXPECT_EQ(only_level.level, 1);
  EXPECT_STREQ(tk_exception(L"gr\u00fc\u00df \u4e2d", 1).what(), "gr\xc3\xbc\xc3\x9f \xe4\xb8\xad");
  EXPECT_STREQ(tk_exception(std::wstring(), 1).what(), "");
  EXPECT_STREQ(tk_exception("Table '%s' not found", "Orders", 0).what(), "Table 'Orders' not found");

  // A copy thrown and caught keeps all three fields.
  try {
    tk_exception e("x", 2);
    e.code = 42;
    throw e;
  } catch (const tk_exception& e) {
    EXPECT_STREQ(e.what(), "x");
    EXPECT_EQ(e.code, 42);
    EXPECT_EQ(e.level, 2);
  }
}

TEST(Exception, FormatConstructorCutsInsteadOfOverflowing) {
  const std::string huge(70000, 'x');
  tk_exception e("<%s>", huge, 0);
  EXPECT_EQ(std::string(e.what()).size(), 65535u);
  EXPECT_EQ(std::string(e.what()).substr(0, 2), "<x");
}

TEST(Exception, SystemErrorText) {
  ASSERT_EQ(::open("/nonexistent/tt/file", O_RDONLY), -1);
  tk_exception_ex e;
  EXPECT_EQ(e.code, ENOENT);
  EXPECT_EQ(e.level, 1);
  EXPECT_STREQ(e.what(), "No such file or directory");

  errno = EACCES;
  tk_exception_ex p("Cannot open: ", 0);
  EXPECT_EQ(p.code, EACCES);
  EXPECT_EQ(p.level, 0);
  EXPECT_STREQ(p.what(), "Cannot open: Permission denied");

  tk_exception_ex explicit_errno(ENOSPC, "Write failed: ", 1);
  EXPECT_STREQ(explicit_errno.what(), "Write failed: No space left on device");
  EXPECT_EQ(explicit_errno.code, ENOSPC);
}

TEST(Exception, InternalErrorCodes) {
  tk_mail_assertion a("..\\TK/tk_singl", 64);
  EXPECT_STREQ(a.what(), "Internal error: \ncode=2e2e5c544b2f746b5f73696e676c5c3634");
  EXPECT_EQ(a.level, 2);
  EXPECT_EQ(a.code, 0);
  EXPECT_STREQ(tk_mail_assertion("tk_errco", 43).what(), "Internal error: \ncode=746b5f657272636f5c3433");
  // Over-long names are cut to the 275-byte text, not overflowed.
  const std::string long_name(400, 'a');
  const std::string msg = tk_mail_assertion(long_name.c_str(), 1).what();
  EXPECT_EQ(msg.size(), std::string("Internal error: \ncode=").size() + 2 * 275);
}

TEST(Exception, FinalExceptionIsNoError) {
  EXPECT_FALSE((std::is_base_of_v<tk_exception, tk_final_exception>));
  EXPECT_THROW(throw tk_final_exception(), std::exception);
}

TEST(Singleton, Lifecycle) {
  EXPECT_FALSE(registered::exists());
  try {
    registered::instance();
    FAIL();
  } catch (const tk_exception& e) {
    EXPECT_STREQ(e.what(), tk_mail_assertion("..\\TK/tk_singl", 64).what());
  }
  try {
    registered::get_instance();
    FAIL();
  } catch (const tk_exception& e) {
    EXPECT_STREQ(e.what(), tk_mail_assertion("..\\TK/tk_singl", 71).what());
  }
  {
    registered first;
    ASSERT_TRUE(registered::exists());
    EXPECT_EQ(registered::get_instance(), &first);
    EXPECT_EQ(registered::instance().value, 7);
    {
      registered second;
      EXPECT_EQ(registered::get_instance(), &first);  // the first stays registered
    }
    EXPECT_FALSE(registered::exists());  // destroying the second cleared it all the same
  }
  EXPECT_FALSE(registered::exists());
}
