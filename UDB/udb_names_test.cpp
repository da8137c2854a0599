#include "UDB/udb_names.h"

#include <gtest/gtest.h>

namespace {

TEST(NamesMap, GlobalReplaceTouchesWholeNamesOnly) {
  const udb_names_map::name_map map{{L"t1", L"T_1"}};
  EXPECT_EQ(udb_names_map::do_global_replace2(L"select * from t1, t10", map, L"[", L"]"),
            L"select * from [T_1], t10");
  EXPECT_EQ(udb_names_map::do_global_replace2(L"select T1.a from T1 join x on T1.id=x.id", map, L"[", L"]"),
            L"select [T_1].a from [T_1] join x on [T_1].id=x.id");
  // Underscores and dollars belong to names: parts of longer names stay.
  EXPECT_EQ(udb_names_map::do_global_replace2(L"select t1_id, t1$x, x_t1 from t1", map, L"`", L"`"),
            L"select t1_id, t1$x, x_t1 from `T_1`");
  EXPECT_EQ(udb_names_map::do_global_replace2(L"t1", map, L"", L""), L"T_1");
  EXPECT_EQ(udb_names_map::do_global_replace2(L"", map, L"[", L"]"), L"");
}

TEST(NamesMap, GlobalReplaceDoesNotDoubleTheQuotes) {
  const udb_names_map::name_map map{{L"a", L"[b]"}, {L"c", L"[d"}};
  EXPECT_EQ(udb_names_map::do_global_replace2(L"a c", map, L"[", L"]"), L"[b] [d]");
  // A destination that contains its source is not replaced again.
  const udb_names_map::name_map grow{{L"x", L"x x"}};
  EXPECT_EQ(udb_names_map::do_global_replace2(L"x+x", grow, L"(", L")"), L"(x x)+(x x)");
}

TEST(NamesMap, MappedNames) {
  udb_names_map names;
  names.add_tn_mapping(L"Order Details", L"order_details");
  names.add_fn_map(L"Order Details", {{L"Unit Price", L"unit_price"}});
  EXPECT_EQ(names.get_tn_mapped_name(L"order details", false), L"order_details");
  EXPECT_EQ(names.get_tn_mapped_name(L"order details", true), L"order details");
  EXPECT_EQ(names.get_tn_mapped_name(L"Order Details", true), L"order_details");
  EXPECT_EQ(names.get_fn_mapped_name(L"ORDER DETAILS", L"unit price"), L"unit_price");
  EXPECT_EQ(names.get_fn_mapped_name(L"Order Details", L"qty"), L"qty");
  EXPECT_EQ(names.get_fn_mapped_name(L"missing", L"Unit Price"), L"Unit Price");

  names.add_tn_mapping(L"Orders", L"orders_1");
  names.add_fn_map(L"Orders", {{L"Qty", L"qty_1"}});
  EXPECT_EQ(names.do_global_replace1(L"select qty from orders where orders.qty > 1", L"`", L"`"),
            L"select `qty_1` from `orders_1` where `orders_1`.`qty_1` > 1");
  names.add_fn_map(L"Order Details", {});  // a later map replaces the earlier one
  EXPECT_EQ(names.get_fn_mapped_name(L"Order Details", L"Unit Price"), L"Unit Price");
}

}  // namespace
