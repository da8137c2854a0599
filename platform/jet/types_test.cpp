#include "platform/jet/types.h"

#include <gtest/gtest.h>

#include "platform/jet/format.h"

namespace jet {
namespace {

TEST(Types, FixedSizesFollowTheFormat) {
  EXPECT_EQ(fixed_type_size(column_type::byte), 1u);
  EXPECT_EQ(fixed_type_size(column_type::datetime), 8u);
  EXPECT_EQ(fixed_type_size(column_type::guid), 16u);
  EXPECT_EQ(fixed_type_size(column_type::decimal), 17u);
  EXPECT_FALSE(is_fixed_type(column_type::text));
  EXPECT_TRUE(is_long_value_type(column_type::memo));
  EXPECT_FALSE(is_known_column_type(0x0D));
}

TEST(Types, ValuesCompareByKindAndContent) {
  EXPECT_TRUE(value().is_null());
  EXPECT_EQ(value::long_integer(5), value::long_integer(5));
  EXPECT_NE(value::long_integer(5), value::integer(5));
  EXPECT_EQ(describe(value::text(L"a\u00fc")), "'a\\u{FC}'");
  EXPECT_EQ(value::text(L"x").kind_of(), value::kind::text);
}

TEST(Format, Jet4DescriptorHasThePageGeometry) {
  const format& f = format::jet4();
  EXPECT_EQ(f.page_size, 4096u);
  EXPECT_EQ(f.index_mask_offset + f.index_mask_size, f.index_first_entry_offset);
  EXPECT_EQ(format::for_version_byte(1), &f);
  EXPECT_EQ(format::for_version_byte(9), nullptr);
}

}  // namespace
}  // namespace jet
