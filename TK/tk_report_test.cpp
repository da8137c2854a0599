#include "TK/tk_report.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/tk_test_support.h"

namespace {

// Points PATH at a folder of stand-in helper programs, and sets the display variables, for one test.
class desktop_env {
 public:
  explicit desktop_env(const std::string& bin) {
    save("PATH");
    save("DISPLAY");
    save("WAYLAND_DISPLAY");
    ::setenv("PATH", bin.c_str(), 1);
  }
  ~desktop_env() {
    for (const auto& [name, value] : saved_) {
      if (value.second) ::setenv(name.c_str(), value.first.c_str(), 1);
      else ::unsetenv(name.c_str());
    }
  }

 private:
  void save(const std::string& name) {
    const char* v = std::getenv(name.c_str());
    saved_.emplace_back(name, std::make_pair(std::string(v ? v : ""), v != nullptr));
  }
  std::vector<std::pair<std::string, std::pair<std::string, bool>>> saved_;
};

void add_program(const std::string& bin, const std::string& name) {
  const std::string path = bin + "/" + name;
  tk_write_file(path, "#!/bin/sh\nexit 0\n");
  ::chmod(path.c_str(), 0755);
}

}  // namespace

TEST(Report, ClipboardHelperFollowsTheSession) {
  tk_scratch_dir dir;
  desktop_env env(dir.path());
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  EXPECT_TRUE(tk_clipboard_command().empty());

  ::setenv("DISPLAY", ":0", 1);
  EXPECT_TRUE(tk_clipboard_command().empty());  // nothing installed
  add_program(dir.path(), "xsel");
  EXPECT_EQ(tk_clipboard_command(), (std::vector<std::string>{"xsel", "--clipboard", "--input"}));
  add_program(dir.path(), "xclip");
  EXPECT_EQ(tk_clipboard_command(), (std::vector<std::string>{"xclip", "-selection", "clipboard", "-i"}));

  ::setenv("WAYLAND_DISPLAY", "wayland-0", 1);
  EXPECT_EQ(tk_clipboard_command()[0], "xclip");  // wl-copy missing: the X11 helper still works
  add_program(dir.path(), "wl-copy");
  EXPECT_EQ(tk_clipboard_command(), (std::vector<std::string>{"wl-copy"}));
}

TEST(Report, ClipboardFeedsTheTextAsUtf8) {
  tk_scratch_dir dir;
  desktop_env env(dir.path());
  add_program(dir.path(), "wl-copy");
  ::setenv("WAYLAND_DISPLAY", "wayland-0", 1);
  std::vector<std::string> argv;
  std::string input;
  tk_set_spawn_function([&](const std::vector<std::string>& a, const std::string* in) {
    argv = a;
    input = in ? *in : "<none>";
    return 0;
  });
  tk_copy_to_clipboard2(L"Internal error: \ncode=\u4e2d");
  tk_set_spawn_function(nullptr);
  EXPECT_EQ(argv, (std::vector<std::string>{"wl-copy"}));
  EXPECT_EQ(input, "Internal error: \ncode=\xe4\xb8\xad");
}

TEST(Report, MailLinkIsPercentEncoded) {
  EXPECT_EQ(tk_bug_mail_url("Tabletide & Co?", "a=b\r\nc\nd \xc3\xa4~._-"),
            "mailto:support@larkspur-data.example?subject=Bug%20report%20on%20Tabletide%20%26%20Co%3F"
            "&body=a%3Db%0D%0Ac%0D%0Ad%20%C3%A4~._-");
  EXPECT_EQ(tk_bug_mail_url("", ""), "mailto:support@larkspur-data.example?subject=Bug%20report%20on%20&body=");
}

TEST(Report, MissingMailProgramDoesNothing) {
  tk_scratch_dir dir;
  desktop_env env(dir.path());  // no xdg-open on this PATH
  tk_send_bug("Tabletide", "text");  // must simply return
  SUCCEED();
}
