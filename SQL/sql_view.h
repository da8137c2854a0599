// View texts written into a MySQL database: the SQL of a view made in another database is brought into
// MySQL's dialect before CREATE VIEW.
//
// `collapse_blanks` turns every run of blanks, tabs and line breaks outside quoted literals and back-quoted
// names into one blank.
// `sql_view_converter::check_isnull_for_replace` tells whether the call starting at a position has exactly two
// arguments (a two-argument ISNULL is MySQL's IFNULL; MySQL's own ISNULL takes one).
// `sql_refine_view_in` applies, in order: collapse_blanks; the names map's renamings (bare names through its
// global replace, back-quoted names by their mapped name, literals untouched); "[" and "]"
// as back quotes; the function names isnull → ifnull (two arguments), getdate → curdate, len( → length(,
// datediff(unit, a, b) → TIMESTAMPDIFF(UNIT, a, b) (units day, week, month, quarter, year, hour, minute, second
// and their interval codes 'd', 'ww', 'm', 'q', 'yyyy', 'h', 'n', 's'; any other unit stays for the server to
// refuse), dateadd → date_add and replicate → repeat (where the call has two
// arguments); then a closing ";". Brackets and function names are rewritten only outside quoted literals and
// only where a name starts (so a literal '[x]' or a column my_len( stay as they are).
#pragma once

#include <cstddef>
#include <string>

class udb_names_map;

std::wstring collapse_blanks(const std::wstring& text);

class sql_view_converter {
 public:
  // position: where the function name starts in text, or -1.
  static bool check_isnull_for_replace(const std::wstring& text, std::ptrdiff_t position);
};

std::wstring sql_refine_view_in(const std::wstring& text, const udb_names_map& names);
