#include "UDB/udb_rel.h"

#include <gtest/gtest.h>

namespace {

TEST(Relationships, NamingConstructorReplacesBlanks) {
  udb_relationship r(L"order details", L"my orders", {L"order_id"}, {L"id"}, L" ON DELETE CASCADE");
  EXPECT_EQ(r.name, L"FK_my_orders_order_details");
  EXPECT_EQ(r.table, L"order details");
  EXPECT_EQ(r.ref_table, L"my orders");
  EXPECT_EQ(r.fk_flds, udb_name_list{L"order_id"});
  EXPECT_EQ(r.pk_flds, udb_name_list{L"id"});
  EXPECT_EQ(r.rules, L" ON DELETE CASCADE");
  EXPECT_TRUE(r.second_name.empty());
}

TEST(Relationships, GeneratedNamesAccumulateSuffixes) {
  udb_relationships list;
  udb_relationship r(L"b", L"a", {}, {}, L"");
  const std::wstring expected[] = {L"FK_a_b",       L"FK_a_b_",       L"FK_a_b_1",       L"FK_a_b_1_",
                                   L"FK_a_b_1_2",   L"FK_a_b_1_2_",   L"FK_a_b_1_2_3",   L"FK_a_b_1_2_3_",
                                   L"FK_a_b_1_2_3_1"};
  for (const auto& want : expected) {
    std::wstring got = list.gen_relship_name(r);
    EXPECT_EQ(got, want);
    udb_relationship taken = r;
    taken.name = got;
    list.push_back(taken);
  }
}

TEST(Relationships, TakenNamesCompareIgnoringCaseAndKeepBlanks) {
  udb_relationships list;
  list.push_back(udb_relationship(L"fk_A_B", L"", L"x", L"y", {}, {}, L""));
  list.push_back(udb_relationship(L"FK_a_b_", L"", L"x", L"y", {}, {}, L""));
  EXPECT_EQ(list.gen_relship_name(udb_relationship(L"b", L"a", {}, {}, L"")), L"FK_a_b_1");
  EXPECT_EQ(list.gen_relship_name(udb_relationship(L"my b", L"a", {}, {}, L"")), L"FK_a_my b");
  EXPECT_FALSE(list.is_acceptable_name(L"FK_A_B_"));
}

}  // namespace
