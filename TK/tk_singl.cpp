// The exception family (see tk_singl.h).
#include "TK/tk_singl.h"

#include <cerrno>
#include <cstdio>

#include "TK/tk_log.h"
#include "TK/tk_texts.h"
#include "TK/tk_utils.h"
#include "platform/system/error_text.h"

tk_exception::tk_exception(const std::string& message_, int32_t level_)
    : message(message_.empty() ? std::string(tk_msg_unknown_exception) : message_), level(level_) {}

tk_exception::tk_exception(const char* message_, int32_t level_)
    : tk_exception(std::string(message_ ? message_ : ""), level_) {}

tk_exception::tk_exception(int32_t level_) : message(tk_msg_unknown_exception), level(level_) {}

tk_exception::tk_exception(const std::wstring& message_, int32_t level_) : level(level_) {
  std::string converted;
  if (tk_unicode_to_ansi2(message_.c_str(), converted)) message = converted;
}

tk_exception::tk_exception(const wchar_t* message_, int32_t level_) : level(level_) {
  std::string converted;
  if (tk_unicode_to_ansi2(message_, converted)) message = converted;
}

tk_exception::tk_exception(const char* format, const char* argument, int32_t level_) : level(level_) {
  // The printed text is limited to 65535 bytes; a longer one is cut on a character boundary.
  constexpr std::size_t kLimit = 65535;
  message = tk_format(format ? format : "", argument ? argument : "");
  if (message.size() > kLimit) message.resize(tk_utf8_cut(message, kLimit));
}

tk_exception::tk_exception(const char* format, const std::string& argument, int32_t level_)
    : tk_exception(format, argument.c_str(), level_) {}

tk_exception::tk_exception(int32_t code_, int32_t level_, const std::string& message_)
    : message(message_), code(code_), level(level_) {}

tk_exception::~tk_exception() = default;

const char* tk_exception::what() const noexcept { return message.c_str(); }

// errno is read as the delegating call's argument, before anything is built that could change it.
tk_exception_ex::tk_exception_ex() : tk_exception_ex(errno, std::string(), 1) {}

tk_exception_ex::tk_exception_ex(const std::string& prefix, int32_t level_) : tk_exception_ex(errno, prefix, level_) {}

tk_exception_ex::tk_exception_ex(int error_number, const std::string& prefix, int32_t level_)
    : tk_exception(level_) {
  init(error_number, prefix);
}

tk_exception_ex::~tk_exception_ex() = default;

void tk_exception_ex::init(int error_number, const std::string& prefix) {
  code = error_number;
  const std::string text = sys_error_text(error_number);
  if (text.empty()) return;  // message stays "Unknown exception"
  message = prefix + text;
  tk_trace(2, "GetLastError: %s", text.c_str());
}

std::string make_err_meggase(const char* source_file, unsigned line) {
  if (!source_file) source_file = "";
  tk_trace(2, "make_err_meggase(%s, %d)", source_file, static_cast<int>(line));
  // "<file>\<line>" holds at most 275 bytes.
  char text[276];
  std::snprintf(text, sizeof text, "%s\\%u", source_file, line);
  tk_trace(2, "result=%s", text);
  static const char kDigits[] = "0123456789abcdef";
  std::string out(tk_msg_internal_error);
  for (const char* p = text; *p; ++p) {
    const auto b = static_cast<unsigned char>(*p);
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0x0F]);
  }
  return out;
}

tk_mail_assertion::tk_mail_assertion(const char* source_file, unsigned line)
    : tk_exception(0, 2, make_err_meggase(source_file, line)) {
  tk_trace(2, "tk_mail_assertion::ctor(%s)", source_file ? source_file : "");
}

tk_mail_assertion::~tk_mail_assertion() = default;

tk_final_exception::tk_final_exception() { tk_trace(2, "tk_final_exception::ctor"); }

tk_final_exception::~tk_final_exception() = default;
