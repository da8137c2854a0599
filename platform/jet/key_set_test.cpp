#include "platform/jet/key_set.h"

#include <gtest/gtest.h>

#include <string>

namespace jet {
namespace {

std::vector<uint8_t> k(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(KeySetTest, RefusesDuplicatesAndForgetsErasedKeys) {
  key_set s;
  EXPECT_FALSE(s.contains(k("a")));
  EXPECT_TRUE(s.insert(k("a")));
  EXPECT_FALSE(s.insert(k("a")));
  EXPECT_TRUE(s.insert(k("ab")));
  EXPECT_TRUE(s.insert(k("")));
  EXPECT_FALSE(s.insert(k("")));
  EXPECT_EQ(s.size(), 3u);
  EXPECT_TRUE(s.erase(k("a")));
  EXPECT_FALSE(s.erase(k("a")));
  EXPECT_FALSE(s.contains(k("a")));
  EXPECT_TRUE(s.contains(k("ab")));
  EXPECT_TRUE(s.insert(k("a")));
  // Keys longer than an arena block are kept too.
  std::vector<uint8_t> huge(3u << 20, 0x5A);
  EXPECT_TRUE(s.insert(huge));
  EXPECT_TRUE(s.insert(k("after")));
  EXPECT_FALSE(s.insert(huge));
  EXPECT_TRUE(s.contains(k("after")));
  s.clear();
  EXPECT_EQ(s.size(), 0u);
  EXPECT_FALSE(s.contains(k("ab")));
  EXPECT_TRUE(s.insert(k("ab")));
}

TEST(KeySetTest, HoldsAMillionKeysLeanly) {
  key_set s;
  std::vector<uint8_t> key(20, 0x7F);
  auto make = [&](uint32_t i) {
    for (int b = 0; b < 4; ++b) key[16 + b] = uint8_t(i >> (8 * b));
    return std::span<const uint8_t>(key);
  };
  for (uint32_t i = 0; i < 1000000; ++i) ASSERT_TRUE(s.insert(make(i)));
  EXPECT_EQ(s.size(), 1000000u);
  for (uint32_t i = 0; i < 1000000; i += 97) EXPECT_FALSE(s.insert(make(i)));
  EXPECT_FALSE(s.contains(make(1000001)));
  // 21 bytes of arena per key plus a half-full table of 12-byte slots.
  EXPECT_LT(s.memory_bytes(), 64u << 20);
  // Erasing and re-inserting does not grow the table without bound.
  for (uint32_t round = 0; round < 3; ++round) {
    for (uint32_t i = 0; i < 200000; ++i) ASSERT_TRUE(s.erase(make(i)));
    for (uint32_t i = 0; i < 200000; ++i) ASSERT_TRUE(s.insert(make(i)));
  }
  EXPECT_EQ(s.size(), 1000000u);
  EXPECT_LT(s.memory_bytes(), 96u << 20);
}

}  // namespace
}  // namespace jet
