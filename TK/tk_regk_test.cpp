#include "TK/tk_regk.h"

#include <gtest/gtest.h>

#include "TK/tk_singl.h"
#include "tests/support/tk_test_support.h"

namespace {

class RegKey : public ::testing::Test {
 protected:
  void SetUp() override { reg_set_store_root(dir_.path()); }
  void TearDown() override { reg_set_store_root(""); }
  void open(tk_reg_key& key) {
    ASSERT_EQ(key.create(HKEY_CURRENT_USER, key.path().c_str(), nullptr, 0, KEY_ALL_ACCESS, nullptr, nullptr), 0);
  }
  tk_scratch_dir dir_;
};

std::string assertion_text(const char* file, unsigned line) { return tk_mail_assertion(file, line).what(); }

}  // namespace

TEST_F(RegKey, TypedHelpersRoundTrip) {
  {
    tk_reg_key key("Software\\Larkspur Data\\Tabletide");
    open(key);
    bool b = true;
    int n = -5;
    std::string host = "db.example";
    std::wstring pass = L" p=\\w\n\u00e4\u4e2d ";
    EXPECT_TRUE(key.serialize_bool("Blob2Memo", b, true));
    EXPECT_TRUE(key.serialize_int("Port", n, true));
    EXPECT_TRUE(key.serialize_string("Host", host, true));
    EXPECT_TRUE(key.serialize_wstring("Password", pass, true));
    std::string empty;
    EXPECT_TRUE(key.serialize_string("Empty", empty, true));
  }
  tk_reg_key key("Software\\Larkspur Data\\Tabletide");
  open(key);
  bool b = false;
  int n = 0;
  std::string host, empty = "keep";
  std::wstring pass;
  EXPECT_TRUE(key.serialize_bool("Blob2Memo", b, false));
  EXPECT_TRUE(b);
  EXPECT_TRUE(key.serialize_int("Port", n, false));
  EXPECT_EQ(n, -5);
  EXPECT_TRUE(key.serialize_string("host", host, false));
  EXPECT_EQ(host, "db.example");
  EXPECT_TRUE(key.serialize_wstring("Password", pass, false));
  EXPECT_EQ(pass, L" p=\\w\n\u00e4\u4e2d ");
  // Narrow and wide calls meet in the same value.
  std::string pass_narrow;
  EXPECT_TRUE(key.serialize_string("Password", pass_narrow, false));
  EXPECT_EQ(pass_narrow, " p=\\w\n\xc3\xa4\xe4\xb8\xad ");
  // Missing and empty values leave the variable alone.
  EXPECT_FALSE(key.serialize_string("Empty", empty, false));
  EXPECT_EQ(empty, "keep");
  std::wstring missing = L"prev";
  EXPECT_FALSE(key.serialize_wstring("Missing", missing, false));
  EXPECT_EQ(missing, L"prev");
  int wrong_type = 9;
  EXPECT_FALSE(key.serialize_int("Host", wrong_type, false));
  EXPECT_EQ(wrong_type, 9);
}

TEST_F(RegKey, RawCallsSizesAndCodes) {
  tk_reg_key key("Software\\A");
  open(key);
  ASSERT_EQ(key.set_value(L"\u4e2d", "w"), 0);
  DWORD size = 0;
  EXPECT_EQ(key.get_value(static_cast<char*>(nullptr), "w", &size), 0);
  EXPECT_EQ(size, 4u);  // three bytes and the terminator
  char small[2];
  size = sizeof small;
  EXPECT_EQ(key.get_value(small, "w", &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);
  wchar_t wide[2];
  size = sizeof wide;
  EXPECT_EQ(key.get_value(wide, "w", &size), 0);
  EXPECT_EQ(std::wstring(wide), L"\u4e2d");
  DWORD d = 7;
  EXPECT_EQ(key.get_value(d, "none"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(d, 7u);
}

TEST_F(RegKey, MisuseIsAnInternalError) {
  tk_reg_key key("Software\\A");
  DWORD d = 0;
  DWORD size = 0;
  auto code_of = [](auto&& call) -> std::string {
    try {
      call();
    } catch (const tk_mail_assertion& e) {
      return e.what();
    }
    return "no assertion";
  };
  EXPECT_EQ(code_of([&] { key.create(nullptr, "Software\\A"); }), assertion_text("tk_regk", 64));
  EXPECT_EQ(code_of([&] { key.get_value(d, nullptr); }), assertion_text("tk_regk", 98));
  EXPECT_EQ(code_of([&] { key.get_value(static_cast<char*>(nullptr), "x", nullptr); }),
            assertion_text("tk_regk", 115));
  EXPECT_EQ(code_of([&] { key.get_value(static_cast<char*>(nullptr), nullptr, &size); }),
            assertion_text("tk_regk", 116));
  EXPECT_EQ(code_of([&] { key.get_value(static_cast<wchar_t*>(nullptr), "x", nullptr); }),
            assertion_text("tk_regk", 132));
  EXPECT_EQ(code_of([&] { key.set_value(DWORD{1}, "x"); }), assertion_text("tk_regk", 149));
  EXPECT_EQ(code_of([&] { key.set_value(static_cast<const char*>(nullptr), "x"); }), assertion_text("tk_regk", 156));
  EXPECT_EQ(code_of([&] { key.set_value("v", "x"); }), assertion_text("tk_regk", 157));
  EXPECT_EQ(code_of([&] { key.set_value(L"v", "x"); }), assertion_text("tk_regk", 165));
  // The typed helpers answer false with no key open.
  int n = 1;
  EXPECT_FALSE(key.serialize_int("x", n, true));
  EXPECT_FALSE(key.serialize_int("x", n, false));
}

TEST_F(RegKey, FailedCreateKeepsTheHeldKey) {
  tk_reg_key key("Software\\A");
  open(key);
  EXPECT_NE(key.create(HKEY_CURRENT_USER, "Software\\..\\escape"), 0);
  EXPECT_TRUE(key.is_open());
  EXPECT_EQ(key.set_value(DWORD{5}, "still"), 0);
  EXPECT_EQ(key.close(), 0);
  EXPECT_FALSE(key.is_open());
}
