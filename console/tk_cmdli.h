// The argument cursor of the console program: walks argv[1..] and classifies each argument by an option table.
//
// Classification: the first table entry whose prefix is a byte-wise, case-sensitive prefix of the argument wins,
// and the option's value is the rest of the argument behind that prefix. The table ends with the entry
// {0, ""}, whose empty prefix matches every argument: such an argument gets the id -1 and is kept in the list of
// unrecognised arguments. So "--silentX" counts as "--silent", and an option ending in "=" takes any text behind
// it, even an empty one. The first 20 unrecognised arguments are remembered; all are counted.
//
// The cursor points into argv: the value stays valid as long as argv does, and blank_value() writes into argv
// itself (the memory the system shows as the process's command line).
#pragma once

#include <cstdint>

// One row of an option table.
struct cmd_option {
  int32_t id;
  const char* prefix;
};

// An abstract cursor over command-line arguments.
class TCmdLine {
 public:
  virtual ~TCmdLine();
  // Consumes the current argument and classifies the next one. Calling it with nothing left is an internal error.
  virtual void next() = 0;
  // True while an argument is left.
  virtual bool has_more() const = 0;
};

class ansi_cmd_line : public TCmdLine {
 public:
  static constexpr unsigned max_kept_unknown = 20;

  // Starts at argv[1] with argc - 1 arguments left and classifies argv[1] when there is one.
  // table must end with the entry whose prefix is empty.
  ansi_cmd_line(int argc, char** argv, const cmd_option* table);
  ~ansi_cmd_line() override;

  void next() override;
  bool has_more() const override;

  // The id of the current argument's option, or -1 when it matched none.
  int32_t id() const { return id_; }
  // The current argument behind the matched prefix (the whole argument for an unrecognised one).
  const char* value() const { return value_; }
  // The current argument as given.
  const char* argument() const { return left_ > 0 ? *cursor_ : ""; }
  // Overwrites the current value in the argument's own memory: a non-empty value becomes "x" followed by zero
  // bytes, so a secret read from it no longer shows in the process list. Take a copy of the value first.
  void blank_value();

  // Unrecognised arguments seen so far: how many, and the first max_kept_unknown of them.
  unsigned unknown_count() const { return unknown_count_; }
  const char* unknown(unsigned index) const;

 private:
  void classify();

  const cmd_option* table_;
  const char* value_ = "";
  int32_t id_ = -1;
  unsigned unknown_count_ = 0;
  const char* unknown_[max_kept_unknown] = {};
  char** cursor_;
  int left_;
};
