#include "platform/jet/sort_order.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

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

// The General 97 key worked out entry by entry from the collation table, as a reference for the
// key builder, which decodes the table once and packs keys in place.
bytes general_97_reference(std::string_view cp1252, bool ascending) {
  if (cp1252.size() > 255) cp1252 = cp1252.substr(0, 255);
  while (!cp1252.empty() && cp1252.back() == ' ') cp1252.remove_suffix(1);
  bytes main;
  std::vector<int> nib;
  std::size_t sig = 0;
  for (char ch : cp1252) {
    collation_entry e = collation_lookup(sort_order_kind::general_97, static_cast<unsigned char>(ch));
    if (e.kind != collation_kind::simple && e.kind != collation_kind::significant &&
        e.kind != collation_kind::international)
      continue;
    main.insert(main.end(), e.inline_bytes.begin(), e.inline_bytes.end());
    if (e.kind == collation_kind::significant) ++sig;
    if (e.kind != collation_kind::international) continue;
    if (nib.empty()) nib.push_back(0);
    nib.insert(nib.end(), sig, 2);
    sig = 0;
    nib.push_back(e.extra_bytes.empty() ? 0 : static_cast<unsigned char>(e.extra_bytes.back()) & 0x0F);
  }
  if (nib.empty()) {
    main.push_back(0);
  } else {
    nib.push_back(0);
    if (nib.size() % 2) nib.push_back(0);
    for (std::size_t i = 0; i < nib.size(); i += 2) main.push_back(static_cast<std::uint8_t>(nib[i] << 4 | nib[i + 1]));
  }
  if (!ascending)
    for (auto& b : main) b = static_cast<std::uint8_t>(~b);
  return main;
}

TEST(SortOrderTest, General97KeysAreTheCollationTablesEntriesPacked) {
  auto check = [](const std::string& cp1252) {
    for (bool ascending : {true, false}) {
      bytes out = {0x7F, 0x01};  // keys are appended after what the buffer holds
      append_text_key_cp1252(cp1252, ascending, out);
      bytes expected = {0x7F, 0x01};
      const bytes ref = general_97_reference(cp1252, ascending);
      expected.insert(expected.end(), ref.begin(), ref.end());
      ASSERT_EQ(to_hex(out), to_hex(expected)) << to_hex(bytes(cp1252.begin(), cp1252.end()));
    }
  };
  // Every byte alone and after an accented letter, and every pair of bytes.
  for (int a = 0; a < 256; ++a) {
    check(std::string(1, char(a)));
    check(std::string("\xC1") + char(a) + "b");
    for (int b = 0; b < 256; ++b) check(std::string{char(a), char(b)});
  }
  // Long texts of letters, accents, significant and ignored bytes and spaces, across the 255-character limit
  // (the accent nibbles are at their most when every character has one).
  std::mt19937 rng(97);
  const std::string alphabet = std::string("aAzZ09 -'\x81\x8D\xAD\xC1\xDF\xE9\xFC\xFF\x80\x9F\x01\x7F", 22);
  for (int i = 0; i < 3000; ++i) {
    std::string text(rng() % 300, ' ');
    for (char& c : text) c = (i % 7 == 0) ? char(rng() % 256) : alphabet[rng() % alphabet.size()];
    if (i % 5 == 0) text += "   ";
    check(text);
  }
  check(std::string(300, '\xE9'));
  check(std::string(254, 'a') + "\xE9\xE9");
  check(std::string(300, ' '));
  check("");
}

TEST(SortOrderTest, General97KeysOfWideTextAreThoseOfItsCodePageBytes) {
  // Characters without a byte are left out before the 255-byte limit applies; characters up to U+00FF are
  // their own bytes and the euro sign and its kin have theirs.
  std::mt19937 rng(1252);
  const std::wstring alphabet = L"aZ \u00e9\u00c1\u00ad\u0081\u20ac\u0152\u2122\u0416\u4e2d\U0001F600\u0080";
  for (int i = 0; i < 2000; ++i) {
    std::wstring text(rng() % 400, L' ');
    for (wchar_t& c : text) c = alphabet[rng() % alphabet.size()];
    std::string cp1252;
    for (wchar_t c : text) {
      int b = general_97_byte(static_cast<char32_t>(c));
      if (b >= 0) cp1252.push_back(char(b));
    }
    for (bool ascending : {true, false}) {
      bytes from_bytes;
      append_text_key_cp1252(cp1252, ascending, from_bytes);
      bytes from_text;
      append_text_key(sort_order_kind::general_97, text, ascending, from_text);
      ASSERT_EQ(from_text, from_bytes) << i;
    }
  }
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
