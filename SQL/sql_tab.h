// The record set of one stored MySQL table, with its structure read from the server's catalogue.
//
// Construction reads, besides the column metadata of the rows (sql_recordset):
//   - SHOW COLUMNS: refines the column descriptors: text kinds and sizes, FLOAT(M,D) as an exact decimal,
//     defaults (literals only; CURRENT_TIMESTAMP in any spelling marks a date column's default as "now";
//     other expression defaults are dropped), zero-date defaults (the column then accepts NULL);
//   - SHOW INDEX (unless the mode has no bit but 0x20 and 0x40): the index list, which also fixes the record key
//     (an index with a functional part, one without a column, is skipped);
//   - SHOW CREATE TABLE (servers from 3.23.44): the foreign keys, appended to the database's relationship list.
// On MariaDB from 10.2.7 the defaults are taken from information_schema, where string literals are quoted
// and so can be told from expressions; on other servers SHOW COLUMNS' Extra column marks expressions.
// A failing statement raises sql_exception and the table is not opened.
#pragma once

#include <cstdint>
#include <string>

#include "SQL/sql_recs.h"

class sql_table : public sql_recordset {
 public:
  sql_table(sql_database* database, const std::wstring& table_name, udb_relationships* relationships,
            int32_t mode);
  ~sql_table() override;

 private:
  void initialize(int32_t mode);
  void read_columns();
  void read_indexes();
  void read_foreign_keys();
};
