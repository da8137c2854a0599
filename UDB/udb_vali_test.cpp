#include "UDB/udb_vali.h"

#include <gtest/gtest.h>

#include "TK/tk_singl.h"

namespace {

TEST(Validator, AcceptsWithinTheRules) {
  udb_validator v(64);
  v.add_restricted_name(L"Select");
  v.add_illegal_char(L'.');
  v.add_illegal_char(L'!');
  EXPECT_TRUE(v.is_acceptable(std::wstring(64, L'a')));
  EXPECT_FALSE(v.is_acceptable(std::wstring(65, L'a')));
  EXPECT_FALSE(v.is_acceptable(L"SELECT"));
  EXPECT_TRUE(v.is_acceptable(L"selected"));
  EXPECT_FALSE(v.is_acceptable(L"a.b"));
  EXPECT_FALSE(v.is_acceptable(L"hey!"));
  EXPECT_TRUE(v.is_acceptable(L""));  // emptiness is the engines' rule, not the base's

  udb_validator unlimited(0);
  EXPECT_TRUE(unlimited.is_acceptable(std::wstring(5000, L'x')));
  EXPECT_EQ(unlimited.get_safe_name(std::wstring(5000, L'X')), std::wstring(5000, L'x'));
}

TEST(Validator, SafeNamesAreLowerCaseCutAndCleaned) {
  udb_validator v(64);
  v.add_illegal_char(L' ');
  const std::wstring original = L"Order Details";
  EXPECT_EQ(v.get_safe_name(original), L"order_details");
  EXPECT_EQ(original, L"Order Details");
  EXPECT_EQ(v.get_safe_name(std::wstring(65, L'A')), std::wstring(63, L'a'));
  EXPECT_EQ(v.get_safe_name(L"\u00C4RGER"), L"\u00E4rger");
}

TEST(Validator, DuplicatesGetACounter) {
  udb_validator v(64);
  v.add_existing_name(L"orders");
  EXPECT_TRUE(v.is_duplicated(L"ORDERS"));
  EXPECT_FALSE(v.is_duplicated(L"orders2"));
  EXPECT_EQ(v.get_safe_name(L"Orders"), L"orders00000");
  v.add_existing_name(L"orders00000");
  EXPECT_EQ(v.get_safe_name(L"Orders"), L"orders00001");

  udb_validator short_names(10);
  short_names.add_existing_name(L"abcdefgh");
  EXPECT_EQ(short_names.get_safe_name(L"abcdefgh"), L"abcd00000");
  short_names.add_existing_name(L"abcde");
  EXPECT_EQ(short_names.get_safe_name(L"abcde"), L"abcde00000");  // fits in 10 as it is

  udb_validator restricted(0);
  restricted.add_restricted_name(L"table");
  EXPECT_EQ(restricted.get_safe_name(L"Table"), L"table00000");
}

// An engine's own rule refuses names that end in "0"; the base must ask it for every candidate.
class no_trailing_zero : public udb_validator {
 public:
  no_trailing_zero() : udb_validator(0) {}
  bool is_acceptable(const std::wstring& name) const override {
    return (name.empty() || name.back() != L'0') && udb_validator::is_acceptable(name);
  }
};

TEST(Validator, CandidatesGoThroughTheEnginesRules) {
  no_trailing_zero v;
  v.add_existing_name(L"t");
  EXPECT_EQ(v.get_safe_name(L"T"), L"t00001");
  v.add_existing_name(L"t00001");
  EXPECT_EQ(v.get_safe_name(L"t"), L"t00002");
}

class refuses_everything : public udb_validator {
 public:
  explicit refuses_everything(uint32_t max_len) : udb_validator(max_len) {}
  bool is_acceptable(const std::wstring&) const override { return false; }
};

TEST(Validator, RunningOutOfCountersIsAnInternalError) {
  refuses_everything v(0);
  try {
    v.get_safe_name(L"x");
    FAIL() << "no exception";
  } catch (const tk_mail_assertion& e) {
    EXPECT_EQ(e.level, 2);
    EXPECT_EQ(e.message, make_err_meggase("udb_vali", 55));
  }
  // A maximum that leaves no room for the counter ends the same way instead of looping or cutting wrongly.
  udb_validator tiny(3);
  tiny.add_existing_name(L"ab");
  EXPECT_THROW(tiny.get_safe_name(L"ab"), tk_mail_assertion);
}

TEST(Validator, MappedPairs) {
  udb_validator v(0);
  v.add_mapped_pair(L"Order Details", L"order_details");
  EXPECT_EQ(v.get_mapped_name(L"ORDER DETAILS").value_or(L"?"), L"order_details");
  EXPECT_FALSE(v.get_mapped_name(L"orders").has_value());
}

}  // namespace
