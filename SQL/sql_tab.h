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
// Writing (sql_tabw.cpp; no program writes to MySQL yet: the converter reads from it only). Each record field is written to, and each key compared against, the column that
// create_table made for that field's name: the database's names map for this table says which source names
// were renamed; a name it does not hold (and every name of a table opened without one) takes the column of
// exactly that name, else the one matching it ignoring case. A record lacking a column of the table (or, when
// it has fewer fields than the table, holding a field the table lacks) raises a level-0 tk_exception. Rows are
// appended:
//   - batched while the engine allows it: rows with the same column list join one multi-row INSERT of up to
//     1,000,000 bytes, sent when the next row would pass that size or has another column list, by flush(), by
//     an update or delete of the table, or by the destructor. When the server refuses a batch, its rows are
//     sent again one by one, so that only the rows it refuses are lost; each of them is a record error naming
//     the row (its number among the rows appended to this object): reported through the error handler when
//     there is one (context "<table>, record #<n>"), else raised together by flush() as one level-0
//     tk_exception. A batch the destructor sends is handled the same way (without an error handler its
//     failures can only be traced). An error of the connection itself stops the retry: the rows not written
//     are raised as one error. A table whose storage engine has no transactions (MyISAM) keeps the rows the
//     refused statement wrote before the refused one, so its batch is not sent again: the refusal is raised
//     with the numbers of the batch's first and last rows;
//   - one by one after the engine met a row of more than 1,000,000 bytes (from then on, for every table of the
//     engine): an INSERT per row, whose values above 1 MiB travel as long data of a prepared statement; a row
//     larger than the server's max_allowed_packet raises "Row size exceeds 'max_allowed_packet'" (level 0).
// INSERT is plain (REPLACE with database mode bit 0x100): duplicates and refused values are errors, never
// skipped. Updates and deletes (by the record's key, by a key text, by all the record's fields) raise every
// failure; a NULL field matches with IS NULL. A key text names its columns as a record names its fields.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SQL/sql_db.h"
#include "SQL/sql_recs.h"
#include "UDB/udb_names.h"

class sql_engine;

// The column of each field of a record: the field's name through the table's renamings (source field name to
// column name, or null when the table has none), then the column of exactly that name, else the one matching it
// ignoring case (renamings are tried exactly first, ignoring case after the exact column).
class sql_field_finder {
 public:
  sql_field_finder(const udb_names_map::name_map* renamings, const udb_schema& schema, const udb_record& record);
  // The position of the field written to the column of that name (as the schema spells it), or -1.
  int get_field_idx(const std::wstring& column) const;
  // The column of field i, or null when the table has none for it.
  const t_ftd* column(std::size_t i) const { return columns_[i]; }
  // The column a name stands for, or null.
  static const t_ftd* resolve(const udb_names_map::name_map* renamings, const udb_schema& schema,
                              const std::wstring& name);
  // The renamings create_table recorded for a table (its name exactly, else ignoring case), or null.
  static const udb_names_map::name_map* renamings_of(const udb_names_map& names, const std::wstring& table);

 private:
  std::vector<const t_ftd*> columns_;
};

class sql_table : public sql_recordset {
 public:
  sql_table(sql_database* database, const std::wstring& table_name, udb_relationships* relationships,
            int32_t mode);
  // Sends a pending batch (see above).
  ~sql_table() override;

  void append_record(const udb_record& record) override;
  // Sends the pending batch (see above).
  void flush() override;
  void update1(const udb_record& record) override;
  void update2(const udb_record& record, const std::wstring& key) override;
  void delete_key(const std::wstring& key) override;
  void delete_key(const udb_record& record) override;


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
  // Sends the pending batch; when the server refuses it, its rows one by one (see above). in_destructor: the
  // error handler may not unwind the caller.
  void send_pending(bool in_destructor);
  // True when the table's storage engine undoes a whole refused statement (it has transactions).
  bool refused_batch_is_undone();
  // The renamings create_table recorded for this table, or null.
  const udb_names_map::name_map* renamings();
  // The assignments or conditions "`c`=literal" (or "`c` IS NULL" when null_is) of the record's fields that
  // are columns of the table: all of them, those of the key, or the others.
  enum class field_choice { all, key, non_key };
  std::string where_or_set(const udb_record& record, field_choice which, const char* separator, bool null_is);
  // The condition a key text makes, its names resolved as field names are.
  std::string key_filter(const std::wstring& key);

  struct pending_row {
    std::string values;  // "(1, 'x')"
    int64_t number;      // among the rows appended to this object, from 1
  };
  std::string pending_head_;  // the INSERT head with the column list of the batch not sent yet
  std::vector<pending_row> pending_;
  std::size_t pending_size_ = 0;  // the batch's statement length
  std::size_t pending_fields_ = 0;  // the field count of the batch's rows
  bool pending_restarted_ = false;  // sent for a row of another layout: no blank before VALUES
  bool restarted_ = false;  // a batch was sent for the next row
  int64_t appended_ = 0;
};
