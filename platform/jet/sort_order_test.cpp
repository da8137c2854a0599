#include "platform/jet/sort_order.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/jet/test_hex.h"

namespace jet {
namespace {

bytes key(sort_order_kind order, std::wstring_view text, bool ascending = true) {
  bytes out(1, ascending ? 0x7F : 0x80);
  append_text_key(order, text, ascending, out);
  return out;
}

// Keys copied from index leaf pages written by Access and the Jet engine.
TEST(SortOrderTest, GeneralLegacyMatchesAccessKeys) {
  EXPECT_EQ(to_hex(key(sort_order_kind::general_legacy, L"MSysObjects")),
            "7F 60 6B 76 6B 64 4C 5B 51 4D 6D 6B 01 00");
  EXPECT_EQ(to_hex(key(sort_order_kind::general_legacy, L"Tables")), "7F 6D 4A 4C 5E 51 6B 01 00");
  EXPECT_EQ(to_hex(key(sort_order_kind::general_legacy, L"\u00FCmlaut")), "7F 6F 60 5E 4A 6F 6D 01 13 00");
  EXPECT_EQ(to_hex(key(sort_order_kind::general_legacy, L"\u00E4\u00E4kk\u00F6si\u00E4")),
            "7F 4A 4A 5C 5C 64 6B 59 4A 01 13 13 02 02 13 02 02 13 00");
  EXPECT_EQ(to_hex(key(sort_order_kind::general_legacy, L"\u041C\u0438\u0440")), "7F 79 43 79 3B 79 48 01 00");
  EXPECT_EQ(to_hex(key(sort_order_kind::general_legacy, L"漢字仮名交じり文")),
            "7F C0 B6 AC AC A0 0D A5 47 9F BE 7F 13 7F 43 B6 F6 01 02 02 02 02 02 03 01 01 FF 02 80 FF 80 00");
}

TEST(SortOrderTest, GeneralMatchesAccessKeys) {
  EXPECT_EQ(to_hex(key(sort_order_kind::general, L"Tables")),
            "7F 0E 99 0E 02 0E 09 0E 48 0E 21 0E 91 01 00");
  // An astral-plane character becomes a surrogate pair with computed codes.
  EXPECT_EQ(to_hex(key(sort_order_kind::general, L"a\U0001F600a")), "7F 0E 02 B0 3F B6 FC 0E 02 01 02 3F 3F 00");
}

TEST(SortOrderTest, General97MatchesAccessKeys) {
  EXPECT_EQ(to_hex(key(sort_order_kind::general_97, L"AADAA")), "7F 60 60 64 60 60 00");
  EXPECT_EQ(to_hex(key(sort_order_kind::general_97, L"AA\u00C1AA")), "7F 60 60 60 60 60 02 24 00");
  EXPECT_EQ(to_hex(key(sort_order_kind::general_97, L"AA\u00DFAA")), "7F 60 60 76 76 60 60 00");
  std::string cp = std::string("AA") + '\x81' + "AA";
  bytes out = {0x7F};
  append_text_key_cp1252(cp, true, out);
  EXPECT_EQ(to_hex(out), "7F 60 60 10 60 60 00");
  // The euro sign is byte 0x80 in code page 1252; its key is that byte's entry.
  EXPECT_EQ(general_97_byte(U'\u20AC'), 0x80);
  EXPECT_EQ(general_97_byte(U'\u0416'), -1);
  std::string euro_bytes = "\x80";
  jet::bytes from_bytes = {0x7F};
  append_text_key_cp1252(euro_bytes, true, from_bytes);
  EXPECT_EQ(key(sort_order_kind::general_97, L"\u20AC"), from_bytes);
}

TEST(SortOrderTest, CaseTrailingSpacesAndLengthLimitAreNotPartOfTheKey) {
  for (sort_order_kind o : {sort_order_kind::general_97, sort_order_kind::general_legacy, sort_order_kind::general}) {
    EXPECT_EQ(key(o, L"Hello"), key(o, L"hELLO"));
    EXPECT_EQ(key(o, L"abc"), key(o, L"abc   "));
    EXPECT_NE(key(o, L"abc"), key(o, L"  abc"));
    std::wstring long_a(255, L'x');
    EXPECT_EQ(key(o, long_a), key(o, long_a + L"yz"));
    EXPECT_NE(key(o, long_a.substr(1) + L"y"), key(o, long_a));
  }
}

TEST(SortOrderTest, DescendingKeysInvertTheAscendingOrder) {
  for (sort_order_kind o : {sort_order_kind::general_97, sort_order_kind::general_legacy, sort_order_kind::general}) {
    std::vector<std::wstring> words = {L"", L"a", L"ab", L"\u00E4b", L"b", L"ba", L"z\u00FC", L"1", L"x'y"};
    for (const auto& a : words) {
      for (const auto& b : words) {
        bytes ka = key(o, a), kb = key(o, b);
        bytes da = key(o, a, false), db = key(o, b, false);
        if (ka < kb) {
          EXPECT_GT(da, db) << "order " << int(o);
        }
        if (ka == kb) {
          EXPECT_EQ(da, db);
        }
      }
    }
  }
  // Descending text: everything of the value inverted, then the closing 00.
  EXPECT_EQ(to_hex(key(sort_order_kind::general_legacy, L"Tables", false)), "80 92 B5 B3 A1 AE 94 FE FF 00");
}

TEST(SortOrderTest, GeneratedTablesHoldEveryEntryKind) {
  // Entry counts of the base tables (256 characters each), as the data files define them.
  struct expect {
    sort_order_kind order;
    std::map<collation_kind, int> counts;
  };
  const expect all[] = {
      {sort_order_kind::general_legacy,
       {{collation_kind::simple, 134}, {collation_kind::international, 59}, {collation_kind::unprintable, 62},
        {collation_kind::ignored, 1}}},
      {sort_order_kind::general,
       {{collation_kind::simple, 133}, {collation_kind::international, 92}, {collation_kind::unprintable, 29},
        {collation_kind::ignored, 2}}},
      {sort_order_kind::general_97,
       {{collation_kind::simple, 181}, {collation_kind::international, 56}, {collation_kind::significant, 18},
        {collation_kind::ignored, 1}}},
  };
  for (const expect& e : all) {
    std::map<collation_kind, int> got;
    for (int u = 0; u < 256; ++u) ++got[collation_lookup(e.order, static_cast<char16_t>(u)).kind];
    EXPECT_EQ(got, e.counts) << "order " << int(e.order);
  }
  // The extension tables: modifiers and flagged entries only occur above U+00FF.
  std::map<collation_kind, int> legacy_ext;
  for (unsigned u = 0x100; u <= 0xFFFF; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    ++legacy_ext[collation_lookup(sort_order_kind::general_legacy, static_cast<char16_t>(u)).kind];
  }
  EXPECT_EQ(legacy_ext[collation_kind::simple], 41641);
  EXPECT_EQ(legacy_ext[collation_kind::international], 1792);
  EXPECT_EQ(legacy_ext[collation_kind::unprintable], 37);
  EXPECT_EQ(legacy_ext[collation_kind::modifier], 306);
  EXPECT_EQ(legacy_ext[collation_kind::flagged], 276);
  EXPECT_EQ(legacy_ext[collation_kind::ignored], 19180);
  collation_entry a = collation_lookup(sort_order_kind::general_legacy, u'A');
  EXPECT_EQ(a.kind, collation_kind::simple);
  EXPECT_EQ(to_hex(a.inline_bytes), "4A");
}

TEST(SortOrderTest, ColumnSortValueSelectsTheCollation) {
  EXPECT_EQ(sort_order_for_column(true, 1033, 0), sort_order_kind::general_97);
  EXPECT_EQ(sort_order_for_column(false, 1033, 0), sort_order_kind::general_legacy);
  EXPECT_EQ(sort_order_for_column(false, 1033, 1), sort_order_kind::general);
  EXPECT_EQ(sort_order_for_column(false, 1053, 0), std::nullopt);  // a national order
  EXPECT_EQ(sort_order_for_column(false, 1033, 7), std::nullopt);
}

}  // namespace
}  // namespace jet

namespace jet {
namespace {

// The build-time generator names the folder, the file and the line of whatever is wrong.
TEST(SortOrderTest, GeneratorRefusesMissingOrDamagedTables) {
  namespace fs = std::filesystem;
  const std::string gen = std::string(TT_BINARY_DIR) + "/platform/jet/tt_sort_order_gen";
  const fs::path dir = fs::path(TT_BINARY_DIR) / "sort_order_gen_test";
  fs::remove_all(dir);
  fs::create_directories(dir);
  auto run = [&](std::string& err) {
    const std::string out = (dir / "out.cpp").string(), log = (dir / "log.txt").string();
    int rc = std::system((gen + " " + dir.string() + " " + out + " 2>" + log).c_str());
    std::ifstream in(log);
    err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return rc;
  };
  std::string err;
  EXPECT_NE(run(err), 0);
  EXPECT_NE(err.find(dir.string() + "/index_codes_genleg.txt"), std::string::npos) << err;

  // The tables themselves are not part of the tree (only their generated form is); the rest of the check needs
  // them, from a configure with -DTT_SORT_ORDER_DIR=<folder>.
  const fs::path src = TT_SORT_ORDER_DIR;
  if (src.empty() || !fs::exists(src / "index_codes_genleg.txt")) GTEST_SKIP() << "no sort-order tables given";
  for (const char* f : {"index_codes_genleg.txt", "index_codes_ext_genleg.txt", "index_codes_gen.txt",
                        "index_codes_ext_gen.txt", "index_codes_gen_97.txt", "index_mappings_ext_gen_97.txt"}) {
    fs::copy_file(src / f, dir / f);
  }
  EXPECT_EQ(run(err), 0) << err;
  {
    std::ofstream damage(dir / "index_codes_gen.txt", std::ios::app);
    damage << "Q12\n";
  }
  EXPECT_NE(run(err), 0);
  EXPECT_NE(err.find("index_codes_gen.txt"), std::string::npos) << err;
  fs::remove_all(dir);
}

}  // namespace
}  // namespace jet
