// The few SQL statements the DAO layer executes.
//
// DAO opens every cursor from the text of a QueryDef. This system only ever issues three shapes, and the
// engine underneath evaluates no general SQL, so the layer recognises exactly these and refuses the rest the
// way DAO refuses a statement it cannot parse (a syntax error number with DAO's text):
//   SELECT * FROM [table]                              a cursor over one table
//   SELECT c1, c2, ... FROM name [ORDER BY c]          named columns of one table, optionally sorted
//   select count(*) from (<one of the above>)          one row, one field: the inner statement's row count
// Keywords compare ignoring case; names are bare words or enclosed in square brackets; blanks, tabs and line
// breaks separate tokens; a trailing ';' is allowed.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace dao {

struct statement {
  enum class kind { select, count };
  kind what = kind::select;
  // select: the table, the column names (empty = every column, "*"), the ORDER BY column (empty = none).
  std::wstring table;
  std::vector<std::wstring> columns;
  std::wstring order_by;
  // count: the statement whose rows are counted.
  std::shared_ptr<statement> inner;
};

// Parses one statement; raises dao::error 3129 when the text is not a SELECT at all, 3141 for a SELECT of
// another shape, 3131 for a FROM clause it cannot read.
statement parse_statement(const std::wstring& sql);

}  // namespace dao
