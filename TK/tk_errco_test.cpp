#include "TK/tk_errco.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "TK/tk_log.h"
#include "TK/tk_report.h"
#include "tests/support/tk_test_support.h"
#include "TK/tk_utils.h"

namespace {

// A scripted user interface: records what it was asked and answers as told.
class fake_ui : public tk_error_ui {
 public:
  bool is_initialized() const override { return initialized; }
  std::wstring window_title() const override { return L"Tabletide"; }
  std::size_t error_count() const override { return errors.size(); }
  void add_error(const std::wstring& text) override { errors.push_back(text); }
  void unlisted_error() override { ++unlisted; }
  void error(const std::wstring& text) override { boxes.push_back(text); }
  void display_help(uint32_t) override { ++help; }
  int internal_error_dialog(const std::wstring& text) override {
    internal.push_back(text);
    return internal_answer;
  }
  int continue_dialog(const std::wstring& text, bool& do_not_show_again) override {
    questions.push_back(text);
    do_not_show_again = tick_box;
    return continue_answer;
  }

  bool initialized = true;
  std::vector<std::wstring> errors, boxes, internal, questions;
  int help = 0;
  int unlisted = 0;
  int internal_answer = tk_dlg_ok;
  int continue_answer = tk_dlg_continue;
  bool tick_box = false;
};

class ErrorHandler : public ::testing::Test {
 protected:
  ErrorHandler() : handler_(tk_dao_error_count, tk_dao_error_table) {
    handler_.load_err_map(tk_mysql_error_count, tk_mysql_error_table);
    handler_.set_ui(&ui_);
  }
  static tk_exception error(int32_t code, int32_t level, const char* text = "engine text") {
    tk_exception e(text, level);
    e.code = code;
    return e;
  }
  error_handler handler_;
  fake_ui ui_;
};

const wchar_t kBadNameOneLine[] =
    L"Orders: Not a valid MS Access database name. Use the following characters to compose new database name: "
    L"alphanumerics (A-Z, a-z, 0-9), underscore characters (_) and spaces.";

}  // namespace

TEST(ErrorMap, TablesAndLookups) {
  tk_error_converter map(tk_dao_error_count, tk_dao_error_table);
  map.load_map(tk_mysql_error_count, tk_mysql_error_table);
  EXPECT_EQ(tk_dao_error_count, 7);
  EXPECT_EQ(tk_mysql_error_count, 14);
  EXPECT_EQ(map.size(), 21u);
  std::set<std::string> texts;
  for (const auto& [code, text] : map) texts.insert(text);
  EXPECT_EQ(texts.size(), 14u);

  EXPECT_EQ(map.convert(4195349),
            "Access denied. Verify the user name and password are correct, and you have\nthe necessary privileges to "
            "connect to the target MySQL server.");
  EXPECT_EQ(map.convert(0x400000 + 2005), map.convert(0x400000 + 2003));
  EXPECT_EQ(map.convert(0x400000 + 2002), map.convert(0x400000 + 2003));
  EXPECT_EQ(map.convert(0x400000 + 2013), map.convert(0x400000 + 2003));
  EXPECT_EQ(map.convert(0x400000 + 1250), map.convert(0x400000 + 1249));
  EXPECT_EQ(map.convert(0x400000 + 1251), map.convert(0x400000 + 1249));
  EXPECT_EQ(map.convert(0x10000 + 3022), map.convert(0x400000 + 1062));
  EXPECT_EQ(map.convert(0x10000 + 3343), "");  // the engine's own text, which names the refused format, is shown
  EXPECT_EQ(map.convert(0x10000 + 3358), map.convert(0x10000 + 3173));
  EXPECT_EQ(map.convert(0x10000 + 3421),
            "Data type conversion error. Please contact support@larkspur-data.example\nfor the solution.");
  EXPECT_EQ(map.convert(0x400000 + 1071),
            "Primary key in the original database is too long.\nRestart the program with \"Skip converting "
            "indexes\"\ncheckbox selected in order to resolve the conflict.\n");
  EXPECT_EQ(map.convert(0), "");
  EXPECT_EQ(map.convert(1045), "");

  // The first text of a code stays; only the low 32 bits of a code count.
  const tk_error_entry extra[] = {{0x400000 + 1045, "later"}, {(int64_t{1} << 32) + 77, "low bits"}};
  map.load_map(2, extra);
  EXPECT_NE(map.convert(4195349), "later");
  EXPECT_EQ(map.convert(77), "low bits");
  try {
    map.load_map(1, nullptr);
    FAIL();
  } catch (const tk_exception& e) {
    EXPECT_STREQ(e.what(), "Internal error: \ncode=746b5f657272636f5c3433");
  }
}

TEST_F(ErrorHandler, LevelOneComposesContextAndMapText) {
  handler_.set_context(L"Orders");
  handler_.handle(error(0x10000 + 3055, 1), false);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0], kBadNameOneLine);
  EXPECT_EQ(ui_.errors, ui_.boxes);
  EXPECT_EQ(ui_.help, 0);
  EXPECT_EQ(handler_.context(), "Orders");  // not cleared

  handler_.set_context(L"");
  handler_.handle(error(0, 1, "plain\ntext"), false);
  EXPECT_EQ(ui_.boxes.back(), L"plain text");

  handler_.set_record_context(L"Bestellungen \u00e4", 12);
  EXPECT_EQ(handler_.context(), "Bestellungen \xc3\xa4, record #12");
  const std::wstring long_name(3000, L'n');
  handler_.set_record_context(long_name, 5000000000LL);
  EXPECT_EQ(handler_.context(), std::string(3000, 'n') + ", record #5000000000");
}

TEST_F(ErrorHandler, ListHoldsTwentyAndOnlyWhenInitialized) {
  ui_.initialized = false;
  handler_.handle(error(0, 1), false);
  EXPECT_TRUE(ui_.errors.empty());
  EXPECT_EQ(ui_.boxes.size(), 1u);
  ui_.initialized = true;
  for (int i = 0; i < 25; ++i) handler_.handle(error(0, 1), false);
  EXPECT_EQ(ui_.errors.size(), 20u);
  EXPECT_EQ(ui_.unlisted, 5);
  EXPECT_EQ(ui_.boxes.size(), 26u);
}

TEST_F(ErrorHandler, ContinueAbortAndDoNotShowAgain) {
  // Abort where the caller cannot go on: unwinds, and the ticked box is not kept.
  ui_.continue_answer = tk_dlg_abort;
  ui_.tick_box = true;
  EXPECT_THROW(handler_.handle(error(0, 0), false), tk_final_exception);
  EXPECT_FALSE(handler_.do_not_show_again());
  // Abort where the caller may return: returns and keeps the box.
  handler_.handle(error(0, 0), true);
  EXPECT_TRUE(handler_.do_not_show_again());
  EXPECT_EQ(ui_.questions.size(), 2u);

  // From now on levels 0 and 1 show nothing, but are still listed.
  const std::size_t listed = ui_.errors.size();
  handler_.handle(error(0, 0), false);
  handler_.handle(error(0, 1), false);
  handler_.handle(error(0, 7), false);  // unknown levels count as 0
  EXPECT_EQ(ui_.questions.size(), 2u);
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_EQ(ui_.errors.size(), listed + 3);
}

TEST_F(ErrorHandler, ContinueWithTheBoxTickedSilencesLaterErrors) {
  ui_.tick_box = true;
  handler_.handle(error(0, 0), false);
  EXPECT_TRUE(handler_.do_not_show_again());
  ui_.tick_box = false;
  handler_.handle(error(0, 0), false);
  EXPECT_EQ(ui_.questions.size(), 1u);
}

// ---- Process ends --------------------------------------------------------------------------------------------

namespace {

// Runs body with standard output going to the file out (inside a death-test child).
template <class F>
void with_stdout_to(const std::string& out, F body) {
  const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(fd, 1);
  ::close(fd);
  body();
}

}  // namespace

TEST(ErrorHandlerDeathTest, ConsoleLevelTwoPrintsEvenWhenQuietAndEnds) {
  tk_scratch_dir dir;
  const std::string log = dir.file("trace.log");
  const std::string out = dir.file("stdout.txt");
  tk_logger logger(log.c_str(), true, 3, false);
  error_handler handler(tk_dao_error_count, tk_dao_error_table);
  handler.set_do_not_show_again(true);  // --silent
  EXPECT_EXIT(with_stdout_to(out, [&] { handler.handle(tk_mail_assertion("..\\TK/tk_singl", 64), false); }),
              ::testing::ExitedWithCode(255), "");
  EXPECT_EQ(tk_read_file(out), "Internal error: Internal error: \ncode=2e2e5c544b2f746b5f73696e676c5c3634\n");
  EXPECT_EQ(tk_read_file(log), "Internal error:\nInternal error: \ncode=2e2e5c544b2f746b5f73696e676c5c3634\r\n");
}

TEST(ErrorHandlerDeathTest, ConsoleLevelOnePrintsAndEndsLevelZeroReturns) {
  tk_scratch_dir dir;
  const std::string log = dir.file("trace.log");
  const std::string out = dir.file("stdout.txt");
  tk_logger logger(log.c_str(), true, 3, false);
  error_handler handler(tk_dao_error_count, tk_dao_error_table);
  handler.load_err_map(tk_mysql_error_count, tk_mysql_error_table);
  handler.set_context(L"Orders");
  EXPECT_EXIT(with_stdout_to(out,
                             [&] {
                               tk_exception warn("a warning", 0);
                               handler.handle(warn, false);  // printed, returns
                               tk_exception e("ignored", 1);
                               e.code = 0x10000 + 3055;
                               handler.handle(e, false);
                             }),
              ::testing::ExitedWithCode(255), "");
  EXPECT_EQ(tk_read_file(out), "Error:\nOrders: a warning\nError:\n" + tk_to_utf8(kBadNameOneLine) + "\n");
  const std::string trace = tk_read_file(log);
  EXPECT_EQ(trace.substr(0, 30), "Error:\nOrders: a warning\r\nErro");
  EXPECT_NE(trace.find("Error:\nOrders: Not a valid MS Access database name. Use the following characters\nto"),
            std::string::npos);

  // Quiet: nothing on standard output, still the end of the process.
  handler.set_do_not_show_again(true);
  EXPECT_EXIT(with_stdout_to(out, [&] { handler.handle(tk_exception("x", 1), false); }),
              ::testing::ExitedWithCode(255), "");
  EXPECT_EQ(tk_read_file(out), "");
}

TEST(ErrorHandlerDeathTest, WizardLevelTwoEndsWhateverTheButton) {
  tk_scratch_dir dir;
  const std::string record = dir.file("spawned.txt");
  error_handler handler(tk_dao_error_count, tk_dao_error_table);
  fake_ui ui;
  handler.set_ui(&ui);
  ::setenv("DISPLAY", ":0", 1);
  // An X11 session with a clipboard helper installed.
  const char* path = std::getenv("PATH");
  const bool had_path = path != nullptr;
  const std::string saved_path = path ? path : "";
  tk_write_file(dir.file("xclip"), "#!/bin/sh\n");
  ::chmod(dir.file("xclip").c_str(), 0755);
  ::setenv("PATH", dir.path().c_str(), 1);
  // Spawned helpers are written down instead of started.
  tk_set_spawn_function([&](const std::vector<std::string>& argv, const std::string* input) {
    std::string line;
    for (const auto& a : argv) line += a + " ";
    tk_write_file(record, line + "<" + (input ? *input : std::string()) + ">");
    return 0;
  });
  for (int button : {tk_dlg_ok, tk_dlg_copy, tk_dlg_send_bug}) {
    ::unlink(record.c_str());
    ui.internal_answer = button;
    EXPECT_EXIT(handler.handle(tk_mail_assertion("tk_errco", 43), true), ::testing::ExitedWithCode(255), "");
    const std::string spawned = tk_read_file(record);
    if (button == tk_dlg_ok) {
      EXPECT_EQ(spawned, "");
    } else if (button == tk_dlg_send_bug) {
      EXPECT_EQ(spawned, "xdg-open mailto:support@larkspur-data.example?subject=Bug%20report%20on%20Tabletide"
                         "&body=Internal%20error%3A%20%0D%0Acode%3D746b5f657272636f5c3433 <>");
    } else {
      EXPECT_EQ(spawned, "xclip -selection clipboard -i <Internal error: \ncode=746b5f657272636f5c3433>");
    }
  }
  tk_set_spawn_function(nullptr);
  if (had_path) ::setenv("PATH", saved_path.c_str(), 1);
}
