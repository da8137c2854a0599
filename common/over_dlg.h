// The question asked when the destination file exists: what to do with it.
//
// Options, in this order, giving the conversion mode 0-3: "&Overwrite the entire database", "Overwrite existing
// &tables only", "&Skip existing tables", "&Merge". The first is checked when the dialog opens. OK gives 1 with the
// chosen mode, Cancel (also Escape and the close box) 2; Help opens the dialog's help topic and leaves it open.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class overwrite_dlg2 {
 public:
  // caption: the program title + " Warning"; help: opens a help topic.
  overwrite_dlg2(const std::wstring& message, uint32_t help_topic, const std::wstring& caption,
                 std::function<void(uint32_t)> help);
  int run_modal();
  int32_t mode() const { return mode_; }

 private:
  std::wstring message_;
  uint32_t help_topic_;
  std::wstring caption_;
  std::function<void(uint32_t)> help_;
  int32_t mode_ = 0;
};
