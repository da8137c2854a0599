// The foreign keys of one table, read from the text SHOW CREATE TABLE returns.
//
// Each line of that text that is a constraint definition,
//   CONSTRAINT `name` FOREIGN KEY (`a`, `b`) REFERENCES `parent` (`x`, `y`) ON DELETE CASCADE,
// becomes one udb_relationship: the constraint name as written (back-quotes included), this table, the
// referenced table (without back-quotes and without a database prefix), the column lists in order and the
// rule text after the referenced columns (blanks trimmed, a final comma dropped). Keywords match in any letter
// case; names may be back-quoted (a doubled back-quote inside stands for one) or bare. Lines that are not
// constraint definitions (columns, keys, table options, a comment that mentions a constraint) add nothing,
// and so does a line that breaks off before its referenced columns.
#pragma once

#include <string>
#include <vector>

#include "UDB/udb_rel.h"

class sql_fk_parser {
 public:
  // table: the table whose SHOW CREATE TABLE text this is; create_text: that text (UTF-8).
  sql_fk_parser(const std::wstring& table, const std::string& create_text);

  // Appends the table's foreign keys to the list, in the order of the text.
  void do_parse(udb_relationships& relationships) const;

  // Appends the names of a column list text such as "(`a`, `b``c`)" to the list; returns true.
  static bool get_columns(const std::string& text, udb_name_list& columns);

 private:
  std::wstring table_;
  std::vector<std::string> chunks_;  // the text split at line feeds
};
