// The argument cursor of the console program; see tk_cmdli.h.
#include "console/tk_cmdli.h"

#include <cstring>

#include "TK/tk_singl.h"

TCmdLine::~TCmdLine() = default;

ansi_cmd_line::ansi_cmd_line(int argc, char** argv, const cmd_option* table)
    : table_(table), cursor_(argv + 1), left_(argc > 1 ? argc - 1 : 0) {
  if (table_ == nullptr) throw tk_mail_assertion("tk_cmdli", 41);
  if (left_ > 0) classify();
}

ansi_cmd_line::~ansi_cmd_line() = default;

bool ansi_cmd_line::has_more() const { return left_ > 0; }

void ansi_cmd_line::next() {
  if (!has_more()) throw tk_mail_assertion("tk_cmdli", 60);
  ++cursor_;
  --left_;
  if (left_ > 0) classify();
}

void ansi_cmd_line::blank_value() {
  if (left_ <= 0 || *cursor_ == nullptr) return;
  // value_ points behind the matched prefix inside *cursor_, which is argv's own writable memory.
  char* value = *cursor_ + (value_ - *cursor_);
  const std::size_t length = std::strlen(value);
  if (length == 0) return;
  std::memset(value, 0, length);
  value[0] = 'x';
}

const char* ansi_cmd_line::unknown(unsigned index) const {
  if (index >= unknown_count_ || index >= max_kept_unknown) return nullptr;
  return unknown_[index];
}

void ansi_cmd_line::classify() {
  const char* arg = *cursor_ != nullptr ? *cursor_ : "";
  for (const cmd_option* entry = table_;; ++entry) {
    std::size_t n = std::strlen(entry->prefix);
    if (std::strncmp(arg, entry->prefix, n) != 0) continue;
    value_ = arg + n;
    if (n > 0) {
      id_ = entry->id;
    } else {
      id_ = -1;
      if (unknown_count_ < max_kept_unknown) unknown_[unknown_count_] = arg;
      ++unknown_count_;
    }
    return;
  }
}
