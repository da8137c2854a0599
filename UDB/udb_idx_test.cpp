#include "UDB/udb_idx.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

enum kind { plain, unique, constraint, primary };

udb_index make(const std::wstring& name, kind k, udb_name_list columns) {
  return udb_index(name, k == unique || k == primary, k == primary, std::move(columns), k == constraint);
}

struct merge_case {
  kind existing;
  kind added;
  bool replaced;  // the existing entry took the added index's kind and columns
};

TEST(IndexList, MergeByNameKeepsTheStrongerKind) {
  const merge_case cases[] = {
      {primary, primary, false},     {primary, constraint, false}, {primary, unique, false},
      {primary, plain, false},       {constraint, primary, true},  {unique, primary, true},
      {plain, primary, true},        {constraint, constraint, false}, {constraint, unique, false},
      {constraint, plain, false},    {unique, constraint, true},   {plain, constraint, true},
      {unique, unique, false},       {unique, plain, false},       {plain, unique, true},
      {plain, plain, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "existing " << c.existing << ", added " << c.added);
    udb_indexes list;
    list.push_back(make(L"ix_other", plain, {L"z"}));
    list.push_back(make(L"IX", c.existing, {L"a"}));
    list.push_back(make(L"ix", c.added, {L"b", L"c"}));
    ASSERT_EQ(list.size(), 2u);
    const udb_index& merged = list[1];
    EXPECT_EQ(merged.name, L"IX");  // the entry keeps its name and place
    const udb_index want = make(L"IX", c.replaced ? c.added : c.existing, c.replaced ? udb_name_list{L"b", L"c"}
                                                                                     : udb_name_list{L"a"});
    EXPECT_EQ(merged.primary, want.primary);
    EXPECT_EQ(merged.unique, want.unique);
    EXPECT_EQ(merged.unique_constraint, want.unique_constraint);
    EXPECT_EQ(merged.columns, want.columns);
  }
}

TEST(IndexList, LookupsFindNothingWithoutHandingOutAnEntry) {
  udb_indexes list;
  EXPECT_EQ(list.get_index(L"missing"), nullptr);
  EXPECT_TRUE(list.is_acceptable_name(L"missing"));
  list.push_back(make(L"PK", primary, {L"id"}));
  ASSERT_NE(list.get_index(L"pk"), nullptr);
  list.get_index(L"pk")->columns.push_back(L"id2");  // the catalogue reader adds columns one by one
  EXPECT_EQ(list[0].columns, (udb_name_list{L"id", L"id2"}));
  EXPECT_FALSE(list.is_acceptable_name(L"Pk"));
  EXPECT_THROW(list.at(1), std::out_of_range);
  try {
    list.at(5);
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "invalid vector subscript");
  }
}

TEST(IndexList, StartsWithFields) {
  const udb_index ix = make(L"ix", unique, {L"A", L"B", L"C"});
  EXPECT_TRUE(ix.starts_with_fields({}));
  EXPECT_TRUE(ix.starts_with_fields({L"a", L"b"}));
  EXPECT_TRUE(ix.starts_with_fields({L"a", L"b", L"c"}));
  EXPECT_FALSE(ix.starts_with_fields({L"b", L"a"}));
  EXPECT_FALSE(ix.starts_with_fields({L"a", L"b", L"c", L"d"}));
  EXPECT_FALSE(make(L"empty", plain, {}).starts_with_fields({L"a"}));
  EXPECT_TRUE(make(L"empty", plain, {}).starts_with_fields({}));
}

TEST(IndexList, IndexOnFieldsAndIndexFields) {
  udb_indexes list;
  list.push_back(make(L"ix_name", plain, {L"name", L"city"}));
  list.push_back(make(L"PRIMARY", primary, {L"id"}));
  EXPECT_TRUE(list.has_index_on_fields({L"NAME"}, false));
  EXPECT_FALSE(list.has_index_on_fields({L"name"}, true));
  EXPECT_TRUE(list.has_index_on_fields({L"id"}, true));
  EXPECT_FALSE(list.has_index_on_fields({L"city"}, false));

  EXPECT_TRUE(list.is_idx_field(L"city", false));
  EXPECT_FALSE(list.is_idx_field(L"CITY", false));  // exact comparison
  EXPECT_FALSE(list.is_idx_field(L"city", true));
  EXPECT_TRUE(list.is_idx_field(L"id", true));
}

}  // namespace
