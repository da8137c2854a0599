// Custom-conversion hooks: the place where a rule could give a column its own type text or a value its own
// literal when a table is written. This system defines no rule, so every column and value takes the engines'
// own conversion: is_acceptable1/2 answer false and handle1 answers empty text. handle2 must only be called
// for a field that is_acceptable2 accepted; called otherwise it is an internal error ("udb_rule", 88).
#pragma once

#include <string>

#include "UDB/udb_rec.h"

class udb_custom_conversion {
 public:
  // Does a rule give this column its type text?
  static bool is_acceptable1(const t_ftd& descriptor);
  // The column type text of the first rule that accepts the descriptor; empty text when none does.
  static std::wstring handle1(const t_ftd& descriptor);
  // Does a rule give this value its literal?
  static bool is_acceptable2(const udb_field& field);
  // The value text of the first rule that accepts the field.
  static std::wstring handle2(const udb_field& field);
};
