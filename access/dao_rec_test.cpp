// Fields and records of the Access engine: the type mappings, DAO's day zero in date texts, and the integer
// kinds turned into kinds DAO stores.
#include "access/dao_rec.h"

#include <gtest/gtest.h>

#include "access/dao_db.h"
#include "access/dao_recs.h"
#include "platform/dao/memory_storage_test_support.h"

namespace {

t_ftd column(VARTYPE vt, int32_t size, int32_t reserved = 0) {
  return t_ftd(size, L"c", vt, false, false, ole_variant(), reserved, L"");
}

TEST(DaoRec, NativeTypesOfColumnKinds) {
  EXPECT_EQ(dao_field::get_native_type(column(VT_BSTR, 0)), dbMemo);
  EXPECT_EQ(dao_field::get_native_type(column(VT_BSTR, 1)), dbText);
  EXPECT_EQ(dao_field::get_native_type(column(VT_BSTR, 255)), dbText);
  EXPECT_EQ(dao_field::get_native_type(column(VT_BSTR, 256)), dbMemo);
  EXPECT_EQ(dao_field::get_native_type(column(VT_ARRAY_UI1, 16, udb_kind_binary_as_memo)), dbMemo);
  EXPECT_EQ(dao_field::get_native_type(column(VT_BLOB, 255)), dbBinary);
  EXPECT_EQ(dao_field::get_native_type(column(VT_BLOB_OBJECT, 256)), dbLongBinary);
  EXPECT_EQ(dao_field::get_native_type(column(VT_UI4, 4)), dbDouble);
  EXPECT_EQ(dao_field::get_native_type(column(VT_UI2, 2)), dbLong);
  EXPECT_EQ(dao_field::get_native_type(column(VT_I1, 1)), dbInteger);
  EXPECT_THROW(dao_field::get_native_type(column(VT_INT, 4)), ole_type_exception);
  EXPECT_EQ(dao_field::get_vartype(dbDecimal), VT_R8);
  EXPECT_EQ(dao_field::get_vartype(dbTime), VT_DATE);
  EXPECT_EQ(dao_field::get_vartype(dbGUID), VT_ARRAY_UI1);
  EXPECT_EQ(dao_field::get_vartype(dbAttachment), VT_ARRAY_UI1);
}

TEST(DaoRec, IntegerKindsDaoCannotStore) {
  EXPECT_EQ(dao_get_valid_variant(ole_variant(static_cast<signed char>(-5))).vt(), VT_I2);
  EXPECT_EQ(dao_get_valid_variant(ole_variant(static_cast<signed char>(-5))).to_long(), -5);
  ole_variant u2 = dao_get_valid_variant(ole_variant(static_cast<unsigned short>(65535)));
  EXPECT_EQ(u2.vt(), VT_I4);
  EXPECT_EQ(u2.to_long(), 65535);
  ole_variant big = dao_get_valid_variant(ole_variant(9007199254740993ULL));
  EXPECT_EQ(big.vt(), VT_R8);
  EXPECT_EQ(big.variant.dblVal, 9007199254740992.0);
  EXPECT_EQ(dao_get_valid_variant(ole_variant(L"x")).vt(), VT_EMPTY);
}

TEST(DaoRec, DayZeroReadsAsZeroDateOrPureTime) {
  dao_engine engine(0);
  engine.set_version(0);
  DAODatabase* d = nullptr;
  ASSERT_EQ(engine.db_engine()->attach_storage(L"m", std::make_unique<dao::memory_storage>(), &d), S_OK);
  dao_database db(L"m", d, 114);
  d->Release();
  udb_schema s;
  s.push_back(t_ftd(8, L"when", VT_DATE, false, false, ole_variant(), 0, L""));
  auto rs = db.create_table(L"t", s, udb_indexes());
  for (const char* text : {"0000-00-00 10:30:00", "0000-00-00 00:00:00", "2020-01-02 03:04:05"}) {
    udb_record r;
    r.push_back(std::make_unique<udb_field>(L"when", 8, ole_variant(ole_date(std::string(text))), false, false));
    rs->append_record(r);
  }
  rs.reset();
  auto q = db.get_query(L"q", L"SELECT * FROM [t]", 1);
  std::vector<std::string> texts;
  for (; !q->is_eof(); q->next()) texts.push_back(q->get_item()->at(0)->to_string());
  EXPECT_EQ(texts, (std::vector<std::string>{"0000-00-00 10:30:00", "00:00:00", "2020-01-02 03:04:05"}));
}

}  // namespace
