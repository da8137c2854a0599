// The clauses of a CREATE TABLE statement for a MySQL destination.
//
// `sql_schema` is a schema that keeps a row within MySQL's 65,535-byte row limit. It knows the most bytes a
// character takes in the table's character set (4, utf8mb4, unless told). Short text columns, those that can be
// a VARCHAR in it (sql_text_fits_varchar), count their characters at that width plus 3 bytes (their length
// bytes and the row's null flags); other columns count their size (below 5,592,405). When the total passes the
// limit, the largest short text columns (the newest first among equal sizes) become unlimited text (size 0)
// until it fits. A longer text column is no VARCHAR at all: it becomes a TEXT type (get_sql_native_type2).
//
// `sql_schema_initializer` rebuilds a source schema under names the server accepts (the field-name validator
// of the server's family; renamings are kept in `names()`) and gives one clause per column:
//   `name` TYPE [CHARACTER SET cs] [NOT NULL] [DEFAULT literal] [AUTO_INCREMENT] [COMMENT '...']
// NOT NULL also for primary-key columns; no DEFAULT for auto-increment, binary, or text columns that are no
// VARCHAR in the table's character set (size 0, or too long for one: a TEXT type); AUTO_INCREMENT only for integer
// kinds, and only one per table (a second is an internal error).
//
// `sql_indexes_initializer` renames the source indexes (index-name validator) and their columns (the
// renamings above) and gives one clause per index: PRIMARY KEY (...), UNIQUE `n` (...) or INDEX `n` (...).
// Indexes without columns, with more than 16 columns, over binary or long text columns (size 0 or above 768),
// over a column the table lacks, or whose key takes more than 3,072 bytes (256 before 4.1.0; a text column
// counts its characters times the most bytes a character of the table's character set takes, as the schema
// knows it, any other column its size) are left out with a trace; at most 63 (15 before 4.1.0) are handled. An auto-increment column in no
// index gets INDEX `c` (`c`). Column and index names that differ from an earlier one only in case get a safe
// name, as the server takes them for one name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "UDB/udb_db.h"
#include "UDB/udb_names.h"
#include "UDB/udb_vali.h"

class sql_engine;

class sql_schema : public udb_schema {
 public:
  explicit sql_schema(unsigned bytes_per_char = 4);
  // Appends the column and applies the row rule.
  void push_back(t_ftd column);
  uint32_t total_size() const { return total_; }
  unsigned text_width() const { return width_; }

 private:
  uint32_t text_bytes(int32_t characters) const { return static_cast<uint32_t>(characters) * width_ + 3; }

  unsigned width_;
  uint32_t total_ = 0;
  std::vector<std::size_t> lobs_;  // positions of short text columns, largest first
};

class sql_schema_initializer {
 public:
  // auto_increment receives the name of the table's auto-increment column when the clauses are made.
  sql_schema_initializer(sql_engine& engine, const std::wstring& table, const udb_schema& source,
                         const udb_indexes& indexes, std::wstring& auto_increment);

  // Appends one clause per column.
  void get_init_chunks(std::vector<std::wstring>& chunks);

  const sql_schema& schema() const { return schema_; }
  // Source column name to its new name, for the renamed columns.
  const udb_names_map::name_map& names() const { return names_; }

 private:
  sql_engine& engine_;
  std::wstring table_;
  sql_schema schema_;
  std::vector<std::wstring> source_names_;  // per column of schema_, its name in the source
  std::wstring& auto_increment_;
  const udb_indexes& indexes_;
  std::unique_ptr<udb_validator> validator_;
  udb_names_map::name_map names_;
};

class sql_indexes_initializer {
 public:
  sql_indexes_initializer(sql_engine& engine, const udb_indexes& source, const udb_names_map::name_map& names,
                          const sql_schema& schema, const std::wstring& auto_increment);

  // Appends one clause per index that can be made.
  void get_init_chunks(std::vector<std::wstring>& chunks);

  const udb_indexes& indexes() const { return indexes_; }

 private:
  sql_engine& engine_;
  udb_indexes indexes_;
  const sql_schema& schema_;
  std::wstring auto_increment_;
};
