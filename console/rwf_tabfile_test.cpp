#include "console/rwf_tabfile.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/tk_test_support.h"
#include "tests/support/console_test_support.h"

namespace {

std::vector<std::wstring> read_list(const std::string& bytes) {
  std::istringstream in(bytes);
  std::vector<std::wstring> names;
  EXPECT_TRUE(rwf_read_table_list(in, names));
  return names;
}

using names = std::vector<std::wstring>;

TEST(TableList, LinesEmptyLinesBlanksAndLineEnds) {
  EXPECT_EQ(read_list("a\r\n\r\nb\n\n c \n   \nlast"), (names{L"a", L"b", L" c ", L"   ", L"last"}));
  EXPECT_EQ(read_list(""), names{});
  // Only one CR is part of the line end.
  EXPECT_EQ(read_list("x\r\r\n"), names{L"x\r"});
}

TEST(TableList, ByteOrderMarkBeforeTheFirstNameOnly) {
  EXPECT_EQ(read_list("\xEF\xBB\xBF\xC3\x84rger\r\nb"), (names{L"\u00C4rger", L"b"}));
  // A mark alone on the first line leaves an empty line; a mark after a name belongs to the next name.
  EXPECT_EQ(read_list("\xEF\xBB\xBF\r\n\na\n\xEF\xBB\xBF" "b"), (names{L"a", L"\uFEFFb"}));
}

TEST(TableList, LongLinesAndInvalidBytes) {
  std::string longname(300, 'n');
  longname += "\xE4\xB8\xAD";  // a three-byte character past byte 254
  EXPECT_EQ(read_list(longname + "\n"), names{std::wstring(300, L'n') + L"\u4E2D"});
  EXPECT_EQ(read_list("a\xFF" "b\n"), names{L"a\uFFFDb"});
}

TEST(TableList, ProcessReplacesTheConverterListOrEndsTheProgram) {
  tk_scratch_dir dir;
  cmdline_fixture f;
  f.conv.table_list = {L"old"};
  f.conv.selected_items = {{L"q", L"SELECT 1"}};
  tk_write_file(dir.file("list.txt"), "t1\r\nt2\r\n");
  process_tab_file(dir.file("list.txt"));
  EXPECT_EQ(f.conv.table_list, (names{L"t1", L"t2"}));
  EXPECT_EQ(f.conv.selected_items.size(), 1u);

  for (const std::string& path : {dir.file("missing.txt"), dir.path()}) {
    captured_console console;
    try {
      process_tab_file(path);
      ADD_FAILURE() << "no exit for " << path;
    } catch (const rwf_exit& e) {
      EXPECT_EQ(e.code, 255);
    }
    EXPECT_EQ(console.err(), "Table names file does not exist.\nPlease verify the correct path/name was given.\n");
  }
  EXPECT_EQ(f.conv.table_list, (names{L"t1", L"t2"}));
}

}  // namespace
