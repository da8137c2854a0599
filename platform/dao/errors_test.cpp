// Error numbers, texts and the call boundary that fills the Errors list.
#include "platform/dao/errors.h"

#include <gtest/gtest.h>

namespace dao {
namespace {

TEST(DaoErrors, HresultCarriesTheDaoNumber) {
  EXPECT_EQ(static_cast<uint32_t>(hresult_of(3022)), 0x800A0BCEu);
  EXPECT_EQ(static_cast<uint32_t>(hresult_of(3633)), 0x800A0E31u);
  EXPECT_LT(hresult_of(3022), 0);
}

TEST(DaoErrors, TextsNameTheObject) {
  EXPECT_EQ(error_text(err::file_not_found, L"/tmp/x.mdb"), L"Could not find file '/tmp/x.mdb'.");
  EXPECT_EQ(error_text(err::required_null, L"id").substr(0, 40), L"The field 'id' cannot contain a Null val");
  EXPECT_EQ(error_text(err::item_not_found), L"Item not found in this collection.");
  EXPECT_NE(error_text(4242).find(L"4242"), std::wstring::npos);
  // One table for the engine and DAO: numbers DAO raises itself for catalogue objects read as the engine
  // words them (they had no text of their own before), names beyond ASCII included.
  EXPECT_EQ(error_text(err::no_fields), L"No field defined--cannot append TableDef or Index.");
  EXPECT_EQ(error_text(err::duplicate_field), L"Cannot define field more than once.");
  EXPECT_EQ(error_text(err::zero_length, L"\u00c9t\u00e9"), L"Field '\u00c9t\u00e9' cannot be a zero-length string.");
  EXPECT_EQ(error_text(err::aggregate_not_allowed),
            L"You tried to use an aggregate function in a place where it is not allowed.");
}

TEST(DaoErrors, FailingCallReplacesTheListAndSuccessLeavesIt) {
  auto errors = std::make_shared<error_list>();
  EXPECT_EQ(guarded(errors, L"DAO.Field", [] {}), 0);
  EXPECT_TRUE(errors->entries().empty());

  EXPECT_EQ(guarded(errors, L"DAO.Recordset", [] { fail(err::duplicate_key); }), hresult_of(3022));
  ASSERT_EQ(errors->entries().size(), 1u);
  EXPECT_EQ(errors->entries()[0].number, 3022);
  EXPECT_EQ(errors->entries()[0].source, L"DAO.Recordset");

  EXPECT_EQ(guarded(errors, L"DAO.Field", [] {}), 0);
  ASSERT_EQ(errors->entries().size(), 1u);
  EXPECT_EQ(errors->entries()[0].number, 3022);

  EXPECT_EQ(guarded(errors, L"DAO.TableDefs", [] { throw error(3010, L"Table 't' already exists.", true); }),
            hresult_of(3010));
  ASSERT_EQ(errors->entries().size(), 1u);
  EXPECT_EQ(errors->entries()[0].description, L"Table 't' already exists.");
}

TEST(DaoErrors, ForeignExceptionsStillReportAnError) {
  auto errors = std::make_shared<error_list>();
  int32_t hr = guarded(errors, L"DAO.Database", [] { throw std::runtime_error("disk went away"); });
  EXPECT_LT(hr, 0);
  ASSERT_EQ(errors->entries().size(), 1u);
  EXPECT_EQ(errors->entries()[0].description, L"disk went away");
}

}  // namespace
}  // namespace dao
