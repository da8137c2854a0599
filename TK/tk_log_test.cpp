#include "TK/tk_log.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <regex>

#include "tests/support/tk_test_support.h"

TEST(Trace, NothingWithoutAnEnabledLogger) {
  tk_scratch_dir dir;
  const std::string f = dir.file("t.log");
  tk_trace(3, "no logger %d", 1);
  {
    tk_logger log(f.c_str(), false, 1, false);
    tk_trace(3, "disabled");
    tk_trace_w(3, L"disabled");
  }
  EXPECT_FALSE(tk_file_exists(f));
}

TEST(Trace, EmptiesTheFileOnceAndWritesLines) {
  tk_scratch_dir dir;
  const std::string f = dir.file("t.log");
  tk_write_file(f, std::string(1024, 'o'));
  tk_logger log(nullptr, false, 3, false);
  log.enable(f);
  tk_trace(2, "dropped");
  EXPECT_EQ(tk_read_file(f), "");  // a dropped line still empties the file
  tk_trace(3, "Converting database %s (%d tables)\r\n", "shop", 3);
  tk_trace(3, "Error:\n%s", "bad");
  EXPECT_EQ(tk_read_file(f), "Converting database shop (3 tables)\r\n\r\nError:\nbad\r\n");

  // Switching to another file later does not empty it: truncation happens once per process.
  const std::string g = dir.file("u.log");
  tk_write_file(g, "old\r\n");
  log.enable(g);
  tk_trace(3, "new");
  EXPECT_EQ(tk_read_file(g), "old\r\nnew\r\n");
}

// A line that will not be written costs no work: its arguments are not even evaluated. A line of the threshold
// is, and a second, unregistered logger going away ends tracing as its registration does.
TEST(Trace, ArgumentsOfADroppedLineAreNotEvaluated) {
  tk_scratch_dir dir;
  const std::string f = dir.file("t.log");
  int evaluated = 0;
  auto costly = [&evaluated] {
    ++evaluated;
    return "x";
  };
  tk_trace(3, "%s", costly());
  {
    tk_logger log(f.c_str(), true, 2, false);
    tk_trace(1, "%s", costly());
    tk_trace_w(1, L"%d", evaluated++);
    EXPECT_EQ(evaluated, 0);
    tk_trace(2, "kept %s", costly());
    EXPECT_EQ(evaluated, 1);
    EXPECT_EQ(tk_read_file(f), "kept x\r\n");
    { tk_logger second(dir.file("u.log").c_str(), true, 1, false); }
    tk_trace(3, "%s", costly());
  }
  EXPECT_EQ(evaluated, 1);
  EXPECT_EQ(tk_read_file(f), "kept x\r\n");
}

TEST(Trace, EnabledAtConstructionEmptiesAtOnce) {
  tk_scratch_dir dir;
  const std::string f = dir.file("t.log");
  tk_write_file(f, "stale");
  tk_logger log(f.c_str(), true, 1, false);
  EXPECT_TRUE(log.truncated());
  EXPECT_EQ(tk_read_file(f), "");
}

TEST(Trace, WideLinesAreUtf8AndTakeWideStrings) {
  tk_scratch_dir dir;
  const std::string f = dir.file("t.log");
  tk_logger log(f.c_str(), true, 1, false);
  const std::wstring table = L"Bestellungen \u00fc\u4e2d\U0001F600";
  tk_trace_w(1, L"Processing table '%s' (%d)", table.c_str(), 5);
  tk_trace_w(1, L"%c|%5s|%-3s|%%|%I64d|%I64u", L'\u00e9', L"ab", L"x", static_cast<long long>(-1) << 40,
             18446744073709551615ull);
  EXPECT_EQ(tk_read_file(f),
            "Processing table 'Bestellungen \xc3\xbc\xe4\xb8\xad\xf0\x9f\x98\x80' (5)\r\n"
            "\xc3\xa9|   ab|x  |%|-1099511627776|18446744073709551615\r\n");
}

TEST(Trace, OverlongWideLineIsCut) {
  tk_scratch_dir dir;
  const std::string f = dir.file("t.log");
  tk_logger log(f.c_str(), true, 1, false);
  const std::wstring ascii(20000, L'a');
  tk_trace_w(1, L"%s", ascii.c_str());
  EXPECT_EQ(tk_read_file(f), std::string(10239, 'a') + "\r\n");

  // Two-byte characters: the UTF-8 form is cut below 10240 bytes on a character boundary.
  tk_logger* l = tk_logger::get_instance();
  const std::string g = dir.file("u.log");
  l->enable(g);
  const std::wstring umlauts(6000, L'\u00fc');
  tk_trace_w(1, L"%s", umlauts.c_str());
  const std::string got = tk_read_file(g);
  EXPECT_EQ(got.size(), 5119u * 2 + 2);
  EXPECT_EQ(got.substr(got.size() - 4), "\xc3\xbc\r\n");
}

TEST(Trace, TimestampsAndErrno) {
  tk_scratch_dir dir;
  const std::string f = dir.file("t.log");
  tk_logger log(f.c_str(), true, 1, true);
  errno = ENOSPC;
  tk_trace(1, "stamped");
  tk_trace_w(1, L"wide");
  EXPECT_EQ(errno, ENOSPC);
  EXPECT_TRUE(std::regex_match(tk_read_file(f), std::regex("\\d\\d:\\d\\d:\\d\\d stamped\r\n"
                                                           "\\d\\d:\\d\\d:\\d\\d wide\r\n")));
}

TEST(Trace, NumbersIgnoreTheProcessLocale) {
  tk_scratch_dir dir;
  const std::string f = dir.file("t.log");
  tk_logger log(f.c_str(), true, 1, false);
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old ? old : "C";
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 locale missing";
  tk_trace(1, "%.2f", 1.5);
  tk_trace_w(1, L"%.2f", 2.5);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(tk_read_file(f), "1.50\r\n2.50\r\n");
}

TEST(Trace, DefaultFileNameIsProgramPathWithLog) {
  const std::string name = tk_logger::default_file_name();
  EXPECT_EQ(name.substr(name.size() - 14), "tt_tk_test.log");
}
