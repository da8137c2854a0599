// Access's functions and operators as functions of the evaluator (SQLite), with Access's rules.
//
// Registered under the names the rewrite prints (sql_rewrite.h): acc_<name> for each Access function (but IIf,
// Switch and Choose, which the rewrite prints as CASE expressions), the
// aggregates acc_first, acc_last, acc_stdev, acc_stdevp, acc_var, acc_varp, and the operators acc_add (+: two texts
// are joined), acc_concat (&),
// acc_like (Like), acc_div (/), acc_intdiv (\), acc_mod (Mod), acc_pow (^), and what the rewrite's own expressions
// use: acc_truth (a condition's truth, Null kept), acc_choice (Choose's index), acc_bounds and acc_quantified (a
// subquery's rows summed up once, and x compared with ALL or ANY of them), acc_datetext (a date's general text,
// as & and CStr give it: "1/1/2021", "5/24/2005 10:53:30 PM", "10:30:00 AM"). Rules kept from Access:
//   - Null in, Null out, except where Access says otherwise: Nz, IsNull, IIf and & (Null & "x" is "x");
//   - true is -1 (acc_like alone answers 1 or 0: the rewrite prints it as a condition); text comparisons inside functions (InStr, Like) ignore case;
//     StrComp compares in the file's text order (case-blind) unless asked for a binary comparison;
//   - dates are date numbers (days since 1899-12-30, the time as the fraction); a text where a date is
//     expected is read as a date; a text where a number is expected is read as a number or refused
//     ("Data type mismatch in criteria expression.", 3464);
//   - Round, CInt, CLng and the operands of \ and Mod round half to even; / always divides as reals.
// Functions that depend on the clock (Date, Time, Now) read the local time once per call.
#pragma once

#include <string>

#include "platform/jet/format.h"

struct sqlite3;

namespace dao {

// `order` is the file's text order, by which StrComp compares texts (as the collation `access_text` does).
void register_functions(sqlite3* db, jet::sort_order_kind order = jet::sort_order_kind::general_legacy);

// The text of a number as Access converts it (CStr): integers in decimal, reals with 15 significant digits.
std::wstring access_number_text(double v);

// A date text as Access reads it (a #date# literal, CDate): the forms VarDateFromStr reads (month before day,
// or a four-digit year first), a 12-hour clock time with AM or PM, and a month (by number or name) and a day
// without a year (this year).
bool access_date_from_text(const std::wstring& text, double* out);

// Access's Like: * any run, ? one character, # one digit, [abc] [a-z] [!abc] one character of (or not of) a
// list; case does not count.
bool access_like(const std::wstring& text, const std::wstring& pattern);

}  // namespace dao
