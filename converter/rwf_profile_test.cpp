#include <gtest/gtest.h>

#include "tests/support/tk_test_support.h"
#include "TK/tk_utils.h"
#include "UDB/udb_prof.h"
#include "platform/registry/registry.h"
#include "converter/rwf_conv.h"

namespace {

// Points the per-user settings store at a scratch folder while alive, so no test touches the user's own.
struct scoped_store_root {
  explicit scoped_store_root(const std::string& folder) { reg_set_store_root(folder); }
  ~scoped_store_root() { reg_set_store_root(""); }
};

udb_profile parse(const std::string& text) {
  udb_profile p;
  std::istringstream in(text);
  EXPECT_TRUE(p.read(in));
  return p;
}

TEST(Profile, ReadRules) {
  rowferry_convertor conv(converter_build::console);
  conv.user = "kept";
  conv.host = "gone";
  conv.password = "gone";
  conv.mode = 1;
  conv.tab_def = true;
  udb_profile p = parse(
      "[Generic settings]\nsrc=shop\ndest=\nonly definitions=0\nskip indexes=no\n"
      "[MySQL settings]\nport=3310\ndump new version=0\ndump create database=1\ndump line break=2\n"
      "[MS Access settings]\ndestination format=0\n"
      "[Selected Tables]\nt1\nq=SELECT a FROM t\n[Available Queries]\nq=SELECT a FROM t\n"
      "[Selected Views]\nv=SELECT 1\n");
  ASSERT_TRUE(conv.load_profile(p));
  EXPECT_EQ(conv.src, L"shop");
  EXPECT_EQ(conv.dest, L"");
  EXPECT_EQ(conv.mode, 1);  // no mode key: unchanged
  EXPECT_FALSE(conv.tab_def);
  EXPECT_TRUE(conv.skip_idx);
  EXPECT_EQ(conv.host, "");  // always taken: the local server
  EXPECT_EQ(conv.password, "");
  EXPECT_EQ(conv.user, "kept");
  EXPECT_EQ(conv.port, "3310");
  EXPECT_FALSE(conv.dump.new_version);
  EXPECT_TRUE(conv.dump.create_database);
  EXPECT_TRUE(conv.dump.create_table);
  EXPECT_EQ(conv.dump.line_break, 0);
  EXPECT_EQ(conv.destination_format, 0);
  ASSERT_EQ(conv.selected_items.size(), 2u);
  EXPECT_EQ(conv.selected_items[0], (named_text{L"t1", L""}));
  EXPECT_EQ(conv.available_queries.size(), 1u);
  EXPECT_EQ(conv.selected_views.size(), 1u);

  // Loading again adds the lists once more; a mode outside 0-3 refuses the profile before anything is taken.
  ASSERT_TRUE(conv.load_profile(parse("[Selected Tables]\nt1\nq=SELECT 1\n")));
  EXPECT_EQ(conv.selected_items.size(), 4u);
  for (const char* bad : {"9", "12", "x", "-1"}) {
    EXPECT_THROW(conv.load_profile(parse(std::string("[Generic settings]\nsrc=other\nmode=") + bad +
                                         "\n[Selected Tables]\nt2\n")),
                 tk_exception)
        << bad;
    EXPECT_EQ(conv.mode, 1);
    EXPECT_EQ(conv.src, L"shop");
    EXPECT_EQ(conv.selected_items.size(), 4u);
  }
  // So does a destination format outside 0-2.
  for (const char* bad : {"9", "3", "-1", "abc", "1x", "01"}) {
    EXPECT_THROW(conv.load_profile(parse(std::string("[Generic settings]\nsrc=other\n[MS Access settings]\n"
                                                     "destination format=") +
                                         bad + "\n[Selected Tables]\nt2\n")),
                 tk_exception)
        << bad;
    EXPECT_EQ(conv.src, L"shop");
    EXPECT_EQ(conv.destination_format, 0);
    EXPECT_EQ(conv.selected_items.size(), 4u);
  }
  ASSERT_TRUE(conv.load_profile(parse("[Generic settings]\nmode=3\n")));
  EXPECT_EQ(conv.mode, 3);
  // Without the Access section the format stays.
  EXPECT_EQ(conv.destination_format, 0);
}

TEST(Profile, StoreAndLoadBack) {
  tk_scratch_dir dir;
  std::wstring path = tk_utf8_to_unicode(dir.file("p.rwf"));
  scoped_store_root store(dir.path());
  rowferry_convertor a(converter_build::wizard);
  a.src = L"b\u00E4ckerei";
  a.dest = L"/tmp/out.accdb";
  a.mode = 3;
  a.skip_idx = true;
  a.destination_format = 2;
  a.store_mysql_settings("h\xC3\xB6st", "u", "p=w", "3310");
  a.selected_items = {{L"t", L""}, {L"q", L"SELECT *\r\nFROM t\nWHERE\rx"}};
  a.available_queries = {{L"q", L"SELECT 1"}};
  ASSERT_TRUE(a.store_profile_file(path));
  std::string first = tk_read_file(dir.file("p.rwf"));
  ASSERT_TRUE(a.store_profile_file(path));
  EXPECT_EQ(tk_read_file(dir.file("p.rwf")), first);
  EXPECT_EQ(a.selected_items[1].second, L"SELECT *\r\nFROM t\nWHERE\rx");

  rowferry_convertor b(converter_build::console);
  ASSERT_TRUE(b.load_profile_file(path));
  EXPECT_EQ(b.src, a.src);
  EXPECT_EQ(b.dest, a.dest);
  EXPECT_EQ(b.mode, 3);
  EXPECT_TRUE(b.skip_idx);
  EXPECT_FALSE(b.tab_def);
  EXPECT_EQ(b.destination_format, 2);
  EXPECT_EQ(b.host, "h\xC3\xB6st");
  EXPECT_EQ(b.password, "p=w");
  EXPECT_EQ(b.port, "3310");
  ASSERT_EQ(b.selected_items.size(), 2u);
  EXPECT_EQ(b.selected_items[1], (named_text{L"q", L"SELECT * FROM t WHERE x"}));
  EXPECT_EQ(b.available_queries, a.available_queries);
}

}  // namespace
