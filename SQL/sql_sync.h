// Key filters: the WHERE condition that selects the row a record key text names, for updating and deleting
// rows by key in a MySQL table.
//
// A key text is a sequence of elements <column>value</column> with no separators, values escaped with
// "&lt;", "&gt;" and "&amp;". Each element becomes `column`=value, joined by " and ": numbers stand bare (and
// must be numbers), binary values stand as hexadecimal literals (and must be "0x" and hexadecimal digits), every
// other value (text, dates) is unescaped and sent as a UTF-8 string built from its hexadecimal form, so no
// quote or backslash in a value can change the statement. A value that is not what its column holds raises a
// level-0 tk_exception. The column types come from the table's schema.
#pragma once

#include <functional>
#include <string>

class sql_database;
class udb_schema;
struct t_ftd;

class sql_sync {
 public:
  explicit sql_sync(sql_database& database);

  // Opens the table to learn its columns, then builds the condition (see above). An empty key gives "".
  std::wstring get_filter_subquery(const std::wstring& table_name, const std::wstring& key);

  // The condition over a known schema, each name of the key standing for the schema's column of that name
  // (ignoring case).
  static std::wstring build_filter(const udb_schema& schema, const std::wstring& key);
  // The same, the column of each name given by column_of (the name itself written when it gives none).
  static std::wstring build_filter(const std::wstring& key,
                                   const std::function<const t_ftd*(const std::wstring&)>& column_of);

 private:
  sql_database& database_;
};
