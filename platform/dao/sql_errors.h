// The DAO error a failure of the evaluator (SQLite) stands for.
//
// The rewrite (sql_rewrite.h) refuses what Access refuses before the evaluator sees it; what remains are the
// questions only the file answers: a table or query that is not there (3078), a name that is no field (Access
// takes it for a parameter nobody gave: 3061), a field two tables have (3079), a function given the wrong number
// of arguments (3075), and the errors Access's functions raise themselves, which they report to the evaluator as
// a message tagged with their DAO number (`function_error`).
#pragma once

#include <string>

#include "platform/dao/errors.h"

namespace dao {

// The message an Access function hands to sqlite3_result_error for DAO error `number`.
std::string function_error(int number);

// The DAO error of an evaluator message (UTF-8); `statement` is the Access text that failed.
error evaluator_error(const std::string& message, const std::wstring& statement);

// The table or query an evaluator message says is missing ("no such table: x"), else empty.
std::wstring missing_table(const std::string& message);

}  // namespace dao
