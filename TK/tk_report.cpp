// Clipboard and bug-report mail (see tk_report.h).
#include "TK/tk_report.h"

#include <cstdlib>
#include <mutex>

#include "TK/tk_log.h"
#include "platform/system/codepage.h"
#include "platform/system/spawn.h"

namespace {

std::mutex g_spawn_lock;
tk_spawn_function g_spawn;

int spawn(const std::vector<std::string>& argv, const std::string* input) {
  tk_spawn_function f;
  {
    std::lock_guard<std::mutex> guard(g_spawn_lock);
    f = g_spawn;
  }
  return f ? f(argv, input) : sys_spawn_detached(argv, input);
}

bool env_set(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

void percent_encode(std::string& out, const std::string& text, bool line_breaks) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (line_breaks && (c == '\r' || c == '\n')) {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "%0D%0A";
    } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
               c == '.' || c == '_' || c == '~') {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(kDigits[c >> 4]);
      out.push_back(kDigits[c & 0x0F]);
    }
  }
}

}  // namespace

void tk_set_spawn_function(tk_spawn_function f) {
  std::lock_guard<std::mutex> guard(g_spawn_lock);
  g_spawn = std::move(f);
}

std::vector<std::string> tk_clipboard_command() {
  if (env_set("WAYLAND_DISPLAY") && sys_program_available("wl-copy")) return {"wl-copy"};
  if (env_set("DISPLAY")) {
    if (sys_program_available("xclip")) return {"xclip", "-selection", "clipboard", "-i"};
    if (sys_program_available("xsel")) return {"xsel", "--clipboard", "--input"};
  }
  return {};
}

std::string tk_bug_mail_url(const std::string& title, const std::string& text) {
  std::string url = "mailto:";
  url += tk_support_address;
  url += "?subject=";
  percent_encode(url, "Bug report on " + title, false);
  url += "&body=";
  percent_encode(url, text, true);
  return url;
}

void tk_copy_to_clipboard2(const std::wstring& text) {
  tk_trace_w(2, L"tk_copy_to_clipboard2(%s)", text.c_str());
  const std::vector<std::string> command = tk_clipboard_command();
  if (command.empty()) {
    tk_trace(2, "no clipboard helper available");
    return;
  }
  const std::string utf8 = sys_wide_to_utf8(text);
  const int rc = spawn(command, &utf8);
  tk_trace(2, "clipboard helper %s returns %d", command[0].c_str(), rc);
}

void tk_send_bug(const std::string& title, const std::string& text) {
  tk_trace(2, "tk_send_bug(%s|%s)", title.c_str(), text.c_str());
  const int rc = spawn({"xdg-open", tk_bug_mail_url(title, text)}, nullptr);
  if (rc != 0) tk_trace(2, "Failed to start xdg-open (%d)", rc);
}
