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
//
// Writing (sql_tabw.cpp). Record fields are matched to the table's columns by name (through the field-name
// validator's safe names, ignoring case), each value written for its own column; a record lacking a column of
// the table (or, when it has fewer fields than the table, holding a field the table lacks) raises a level-0
// tk_exception. Rows are appended:
//   - batched while the engine allows it: rows with the same column list join one multi-row INSERT of up to
//     1,000,000 bytes, sent when the next row would pass that size or has another column list, by flush(), by
//     an update or delete of the table, or by the destructor. A batch the server refuses raises sql_exception
//     when it is sent (flush() is how a caller learns about the last one; the destructor can only trace it);
//   - one by one after the engine met a row of more than 1,000,000 bytes (from then on, for every table of the
//     engine): an INSERT per row, whose values above 1 MiB travel as long data of a prepared statement; a row
//     larger than the server's max_allowed_packet raises "Row size exceeds 'max_allowed_packet'" (level 0).
// INSERT is plain (REPLACE with database mode bit 0x100): duplicates and refused values are errors, never
// skipped. Updates and deletes (by the record's key, by a key text, by all the record's fields) raise every
// failure; a NULL field matches with IS NULL.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SQL/sql_db.h"
#include "SQL/sql_recs.h"
#include "UDB/udb_vali.h"

class sql_engine;

// The MySQL column name of each field of a record: its name when the server accepts it, else its safe name.
class sql_field_finder {
 public:
  sql_field_finder(sql_engine& engine, const udb_record& record);
  // The position of the field whose name equals name (ignoring case), or -1.
  int get_field_idx(const std::wstring& name) const;
  const std::wstring& name(std::size_t i) const { return names_[i]; }

 private:
  std::unique_ptr<udb_validator> validator_;
  std::vector<std::wstring> names_;
};

class sql_table : public sql_recordset {
 public:
  sql_table(sql_database* database, const std::wstring& table_name, udb_relationships* relationships,
            int32_t mode);
  // Sends a pending batch; a failure is traced (call flush() first to learn of it).
  ~sql_table() override;

  void append_record(const udb_record& record) override;
  // Sends the pending batch; a failure raises sql_exception (the batch is dropped).
  void flush() override;
  void update1(const udb_record& record) override;
  void update2(const udb_record& record, const std::wstring& key) override;
  void delete_key(const std::wstring& key) override;
  void delete_key(const udb_record& record) override;

  int64_t appended_count() const { return appended_; }

 private:
  void initialize(int32_t mode);
  void read_columns();
  void read_indexes();
  void read_foreign_keys();

  // The column list "(`a`, `b`" and the value list "1, 'x'" of a record.
  void build_lists(const udb_record& record, bool placeholders, std::string& columns, std::string& values,
                   std::vector<sql_long_param>* long_params);
  void fast_append(const udb_record& record);
  void slow_append(const udb_record& record);
  // The assignments or conditions "`c`=literal" (or "`c` IS NULL" when null_is) of the record's fields that
  // are columns of the table: all of them, those of the key, or the others.
  enum class field_choice { all, key, non_key };
  std::string where_or_set(const udb_record& record, field_choice which, const char* separator, bool null_is);

  std::string pending_;       // the batch not sent yet
  std::string pending_head_;  // its INSERT head with the column list
  int64_t pending_rows_ = 0;
  bool restarted_ = false;  // a batch was sent for the next row: its statement has no blank before VALUES
  int64_t appended_ = 0;
};
