// The abstract engine, database and recordset through which the conversion run drives both database engines.
//
// An engine opens or creates a database; a database lists, creates and opens tables; a recordset reads or writes
// the rows of one table or query. Engines derive from these classes and override what they need; every operation
// they do not override keeps the default body given here, and those defaults are behaviour of the system (for
// example, a database that cannot run statements answers empty_table with an internal error).
//
// Ownership: create_db and open_db return a database the caller owns; create_table, get_table, get_query and
// do_query2 return a recordset the caller owns and must destroy before the database (a recordset points to its
// database). get_item returns a record the recordset owns, valid until the recordset moves; get_key returns a
// record the caller owns.
//
// Internal errors (tk_mail_assertion) raised here: create_table of a partition ("udb_db", 50), do_query2 on a
// database that cannot run statements ("udb_db", 111). Table names compare ignoring case unless the database was
// made case-sensitive.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "UDB/udb_idx.h"
#include "UDB/udb_names.h"
#include "UDB/udb_rec.h"
#include "UDB/udb_rel.h"

class udb_database;
class udb_recordset;

// A part of a table's rows that a server keeps apart (a partition). No engine of this system makes a table of one,
// so it carries nothing yet.
struct udb_partition {};

// Engine settings by name, such as "engine" (the MySQL table type) and "character set".
using udb_engine_properties = std::map<std::wstring, std::wstring>;
// (view name, SQL text) pairs.
using udb_view_list = std::vector<std::pair<std::wstring, std::wstring>>;

class udb_engine {
 public:
  virtual ~udb_engine();

  virtual std::unique_ptr<udb_database> create_db(const std::wstring& path) = 0;
  virtual std::unique_ptr<udb_database> open_db(const std::wstring& name, int32_t mode,
                                                const std::wstring& password) = 0;
  // Deletes the database file; a failure raises tk_exception_ex (level 1) with the system's text.
  virtual void db_delete(const std::wstring& path);
  // True when a file (not a folder) is at path.
  virtual bool is_db_exist(const std::wstring& path);
  // Keeps the pointer (not owned); null until set.
  virtual void set_properties(const udb_engine_properties* properties);

  const udb_engine_properties* get_properties() const { return properties_; }

 protected:
  const udb_engine_properties* properties_ = nullptr;
};

class udb_database {
 public:
  udb_database(std::wstring name, int32_t mode, int32_t case_sensitive);
  virtual ~udb_database();
  udb_database(const udb_database&) = delete;
  udb_database& operator=(const udb_database&) = delete;

  // A new table of one partition. No engine makes one: the default is an internal error ("udb_db", 50).
  virtual std::unique_ptr<udb_recordset> create_table(const udb_partition& partition);
  // A new table of that schema and those indexes, open for appending rows.
  virtual std::unique_ptr<udb_recordset> create_table(const std::wstring& name, const udb_schema& schema,
                                                      const udb_indexes& indexes) = 0;
  // Default: nothing.
  virtual void create_index(const std::wstring& table, int32_t flag, const udb_index& index);
  // create_index for each index in list order.
  virtual void create_indexes(const std::wstring& table, int32_t flag, const udb_indexes& indexes);
  // Default: nothing.
  virtual void create_views(const udb_view_list& views);
  // Removes the first matching name from the table-name list; false when there is none.
  virtual bool delete_tab(const std::wstring& name);
  // Runs "delete from " + name through do_query2 (the recordset it returns is dropped).
  virtual void empty_table(const std::wstring& name);
  // A recordset over the result of the query sql, presented under the name.
  virtual std::unique_ptr<udb_recordset> get_query(const std::wstring& name, const std::wstring& sql,
                                                   int32_t flag) = 0;
  // Empties the list.
  static void clear_name_list(udb_name_list& list);
  // A recordset over the table.
  virtual std::unique_ptr<udb_recordset> get_table(const std::wstring& name, int32_t flag) = 0;
  // A recordset over the result of the statement. Default: internal error ("udb_db", 111).
  virtual std::unique_ptr<udb_recordset> do_query2(const std::wstring& sql);
  // Runs the statement; true when it succeeded.
  virtual bool query(const std::wstring& sql) = 0;
  // Default: nothing.
  virtual void create_relationships(const udb_relationships& relationships);
  // Ends the use of the database: a destination writes what is pending and raises when it cannot. Destroying a
  // destination that was not closed gives its pending changes up. Default: nothing.
  virtual void close();
  // The names of the database's tables.
  const udb_name_list& get_tables() const { return tables; }
  // True when a table of that name is in the table-name list.
  bool is_table_exist(const std::wstring& name) const;
  // The tables of the list a name stands for: the one of exactly that name, else every one that matches it as
  // the database compares names (ignoring case unless case-sensitive); empty when none does.
  std::vector<std::wstring> tables_named(const std::wstring& name) const;
  // True when a view of that name is in the view list.
  bool is_view(const std::wstring& name) const;

  int32_t mode = 0;  // open-mode flags; their meaning belongs to each engine
  std::wstring name;
  int32_t case_sensitive = 0;  // 0: table names compare ignoring case
  udb_view_list views;
  udb_name_list tables;
  udb_names_map names_map;
  udb_relationships relationships;

 protected:
  bool same_table_name(const std::wstring& a, const std::wstring& b) const;
};

class udb_recordset {
 public:
  // A recordset of the database over a table (query empty) or over the result of a query.
  udb_recordset(udb_database* database, std::wstring table_name, std::wstring query = std::wstring());
  explicit udb_recordset(std::wstring table_name);
  virtual ~udb_recordset();
  udb_recordset(const udb_recordset&) = delete;
  udb_recordset& operator=(const udb_recordset&) = delete;

  virtual void append_record(const udb_record& record) = 0;
  // Sends rows that append_record still holds back (an engine that writes rows in batches); a failure to write
  // them raises. Callers flush before destroying a recordset they appended to. Default: nothing.
  virtual void flush();
  // Updates the row the key text names from the record. Default: nothing.
  virtual void update2(const udb_record& record, const std::wstring& key);
  // Updates the row of the record's key. Default: nothing.
  virtual void update1(const udb_record& record);
  // The current row, owned by the recordset; default null.
  virtual udb_record* get_item();
  // Default true.
  virtual bool is_eof();
  // True when the recordset is the result of a query.
  bool is_query() const { return !query_text.empty(); }
  // Default: nothing.
  virtual void move_to(int32_t n);
  virtual void next();
  // Moves back one row; returns the new position (default: nothing, 0).
  virtual int32_t prev();
  virtual void reset();
  // Deletes the row the key text (or the record's key) names. Default: nothing.
  virtual void delete_key(const std::wstring& key);
  virtual void delete_key(const udb_record& record);

  // A new record holding copies of the record's fields that make up the primary or unique key, in key order;
  // null when the record lacks one of them. Without a key: tk_exception (level 1).
  std::unique_ptr<udb_record> get_key(const udb_record& record) const;
  // The WHERE condition that selects the row of a key text ("<name>value</name>..."); an empty key gives empty
  // text. A name that is no column of the schema raises tk_exception (level 0).
  std::wstring get_filter_subquery(const std::wstring& key) const;
  // Adds the index unless one of that name is already there; the first primary index, or else the first unique
  // one, becomes the key.
  void add_index(const udb_index& index);

  std::wstring query_text;
  std::wstring table_name;
  int32_t key_index = -1;  // position of the key in indexes; -1 = none
  udb_schema schema;
  udb_indexes indexes;
  udb_database* database = nullptr;  // not owned
};
