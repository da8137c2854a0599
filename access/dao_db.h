// The open Access file: `dao_database` reads its catalogue (tables, stored queries, and on request its
// relationships), creates tables with fields and indexes through the two initialisers, opens tables and
// query texts as recordsets, tests queries, deletes tables and writes relationships.
//
// Open-mode bits: 0x01 read-only (creation and deletion refused), 0x08 append (creating an existing table
// opens it), 0x20/0x40 skip reading relationships, 0x80 skip reading queries. Table names compare ignoring
// case. Recordsets it returns must be deleted before it.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "OLE/ole_ptr.h"
#include "UDB/udb_db.h"
#include "access/dao_engi.h"
#include "platform/dao/dao.h"

class dao_database : public udb_database {
 public:
  dao_database(const std::wstring& path, DAODatabase* database, int32_t mode);
  ~dao_database() override;

  std::unique_ptr<udb_recordset> create_table(const std::wstring& name, const udb_schema& schema,
                                              const udb_indexes& indexes) override;
  bool delete_tab(const std::wstring& name) override;
  std::unique_ptr<udb_recordset> get_query(const std::wstring& name, const std::wstring& sql,
                                           int32_t flag) override;
  // Null for a linked or system table.
  std::unique_ptr<udb_recordset> get_table(const std::wstring& name, int32_t flag) override;
  // True when the statement opens.
  bool query(const std::wstring& sql) override { return test_query(sql); }
  bool test_query(const std::wstring& sql);
  void create_relationships(const udb_relationships& list) override;
  // Closes the DAO database, which writes the file (dao_exception when it cannot). Destroyed without it, the
  // database gives its changes up: a new file never appears, an existing one stays as it was.
  void close() override;

  // The number of rows a SELECT text returns.
  uint32_t get_records_count(const std::wstring& sql);
  // Reads the relationships stored in the file into `relationships`.
  void init_fkeys();
  // A name for a new unique index of the table: "ui_" + table (cut to 49) + the local time "%y%m%d%H%M%S",
  // at most 64 characters.
  static std::wstring gen_ui_name(const std::wstring& table);
  static std::wstring gen_ui_name(const std::wstring& table, const std::tm& local_time);
  // Access's internal navigation-pane tables, never relationship ends.
  static bool is_system_table(const std::wstring& name);

  DAODatabase* dao() const { return database_.get(); }

 private:
  void init_views();
  // A temporary QueryDef over the text, opened with these arguments (dao_exception on failure).
  ole_com_ptr<DAORecordset> open_statement(const std::wstring& sql, VARIANT type, int32_t options);

  ole_com_ptr<DAODatabase> database_;
  ole_com_ptr<DAOQueryDefs> query_defs_;
  ole_com_ptr<DAOTableDefs> table_defs_;
  bool closed_ = false;
  bool text_in_code_page_ = false;  // an Access 95/97 file: text in its code page, not UTF-16
};

// The two rewrites of an Access query text towards MySQL syntax: every occurrence (ignoring case), or only
// whole names used as a function or a word.
std::wstring replace_function_call(const std::wstring& text, const std::wstring& what, const std::wstring& with);
std::wstring replace_function_call2(const std::wstring& text, const std::wstring& what, const std::wstring& with);
// The whole rewrite of a stored query's text.
std::wstring rewrite_access_query(const std::wstring& sql);

// The destination columns of a new table, made from the source schema with Access-safe names.
class dao_schema_initializer : public udb_schema {
 public:
  // text_in_code_page: the file stores text one byte per character (Access 95/97), not as UTF-16.
  dao_schema_initializer(_DAOTableDef* table, const udb_schema& source, bool text_in_code_page = false);
  void initialize();
  static std::wstring quote_def_value(const std::wstring& text);
  // Source name -> destination name of the renamed columns.
  const std::map<std::wstring, std::wstring>& renamings() const { return validator_.mapped_pairs(); }
  bool text_in_code_page() const { return text_in_code_page_; }

 private:
  void put_default(_DAOField* field, const t_ftd& column, short dao_type);

  _DAOTableDef* table_;
  dao_fn_validator validator_;
  bool text_in_code_page_;
};

// The indexes of a new table, with destination names and columns; those Access cannot build are left out.
class dao_indexes_initializer {
 public:
  dao_indexes_initializer(_DAOTableDef* table, const dao_schema_initializer& schema, const udb_indexes& source,
                          const std::map<std::wstring, std::wstring>& renamings);
  void initialize();
  const std::vector<udb_index>& indexes() const { return list_; }

 private:
  _DAOTableDef* table_;
  std::vector<udb_index> list_;
  dao_in_validator validator_;
  const dao_schema_initializer& schema_;
  const std::map<std::wstring, std::wstring>& renamings_;
};
