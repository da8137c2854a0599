// An existing database opened for reading or for changes.
//
// Opening reads the header page: a file that does not exist is 3024, one that is not an Access file
// 3343, a damaged one 3049; the database password given must equal the one in the header (3031
// otherwise; an encrypted file with no password given is 3031 too). Every generation the reader
// knows can be read; changes are allowed only in generations the writer writes (Jet 4): any other is
// refused with 3343 naming its format, before anything is written.
//
// Locks (flock on the original): an exclusive open holds an exclusive lock, any other open a shared
// one; the first change takes the exclusive lock (3045 while another session has the file open).
//
// Before the first change the file's structure is checked (check_structure in verifier.h): a damaged file is
// refused with 3049 naming what is wrong, and every later change with it, so that no change builds on pages a
// damaged file's maps or indexes still point to. The original stays as it was.
//
// Changes go to a working copy (working_copy.h) made at the first change, or on another thread ahead
// of it once the caller has said that rows are coming (`prepare_appending`); the reader is then
// reopened over the copy. `close` renames the copy over the original when something was changed;
// `abandon` or the destructor without `close` delete the copy and leave the original byte for byte
// as it was. A change that fails half-way gives the copy up: the session refuses further changes
// (3043) and the original stays untouched.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/jet/catalog_listing.h"
#include "platform/jet/database.h"
#include "platform/jet/reader.h"
#include "platform/jet/table_pages.h"
#include "platform/jet/working_copy.h"

namespace jet {

class existing_file final : public database {
 public:
  // `now` dates the catalog rows of new tables (days since 1899-12-30).
  static std::unique_ptr<existing_file> open(const std::string& path, const open_options& options, double now);
  ~existing_file() override;

  const format& fmt() const override { return reader_->fmt(); }
  const std::string& path() const override { return path_; }
  bool read_only() const override { return options_.read_only; }
  const database_reader& reader() const override;
  // The catalog is listed once per reading of the file (or of its working copy, read again after
  // every change), however often it is asked for.
  std::vector<catalog_object> objects() const override;
  std::vector<stored_query> queries() const override { return list_queries(reader()); }
  std::vector<relationship> relationships() const override;

  // Tables are addressed by handles, as in a new file; a handle stands for an existing table or for
  // one created in this session alike. Rows go to a table writer that keeps the table's stored rows
  // and long values where they are: new rows go onto new pages, unique keys are checked against the
  // stored index trees, and each index is rebuilt from its stored entries merged with the new ones
  // (a table whose index trees cannot be read back whole is rewritten whole instead, its stored
  // rows taken first). The table is written when it is finished (`finish_table`, `delete_table` of
  // it, or `close`). New
  // rows of an existing table are checked against its Required and AllowZeroLength properties and
  // against the enforced relationships it is the referencing side of (3201).
  size_t add_table(const std::wstring& name, const std::vector<column_spec>& columns,
                   const std::vector<index_spec>& indexes, const std::wstring& description = std::wstring()) override;
  size_t table_handle(const std::wstring& name) override;
  const table_def& table(size_t handle) const override;
  // Makes the working copy on another thread when no change has been made yet, and reads the table's
  // index trees and pages there for its first row (used when nothing has been written meanwhile).
  void prepare_appending(size_t handle) override;
  using database::append_row;
  void append_row(size_t handle, const std::vector<value>& values) override { append_to(handle, values, nullptr); }
  void append_row(size_t handle, std::vector<value>&& values) override { append_to(handle, values, &values); }
  void finish_table(size_t handle) override;
  void delete_table(const std::wstring& name) override;
  // Adds a relationship between two tables of the file (see relationship_spec in database.h).
  void add_relationship(const relationship_spec& r) override;
  // Adds an index to a table of the file, built over its rows (existing_file_indexes.cpp).
  void add_index(const std::wstring& table, const index_spec& index) override;
  void delete_index(const std::wstring& table, const std::wstring& index) override;

  void close() override;
  void abandon() override;
  bool closed() const { return closed_; }
  uint64_t bytes_written() const override { return copy_ ? copy_->bytes_written() : 0; }

 private:
  // Appends `values` to the table; the writer works on `*take` (the same row) in place when it is given.
  void append_to(size_t handle, const std::vector<value>& values, std::vector<value>* take);
  class recycler;
  class end_pages;
  struct open_table;
  struct table_survey;
  struct preparation;
  existing_file();
  void release_lock();
  void check_writable();
  void begin_changes();
  void reopen_reader();
  // Runs one change; a failure after something was written gives the working copy up.
  void change(const std::function<void()>& fn);
  void give_back(const table_pages& pages, bool with_definition);
  void rewrite_table(uint32_t tdef_page, const std::function<bool(std::vector<value>&)>& keep,
                     const std::vector<std::vector<value>>& extra,
                     const std::function<void(table_def&)>& redefine = {});
  std::vector<std::vector<value>> new_ace_rows(uint32_t id, uint32_t container);
  void finish_open_writer(uint32_t tdef_page);
  std::function<bool(uint64_t)> room();
  const catalog_entry* find_object(const std::wstring& name) const;
  bytes new_owner() const;
  // Refuses (3251, `refusal` + the reason) a table whose rewrite could not keep it intact: an index
  // over a sort order we have no collation for, a field of a type we cannot write.
  void check_rewritable(const table_def& def, const std::string& refusal) const;
  void start_appending(open_table& t);
  // The stored table an index is added to or deleted from (`change`: "added to", "deleted from"), its rows
  // written if they were being added: 3265 when there is none, 3251 a system table or one check_rewritable refuses.
  struct indexed_table {
    uint32_t page;
    std::wstring name;
    table_def def;
  };
  indexed_table table_for_index(const std::wstring& name, const std::string& change);
  // Waits for the work `prepare_appending` started; its working copy (null when there is none, rethrowing the
  // error that stopped it) and survey are handed over to the session.
  std::unique_ptr<working_copy> take_prepared_copy();
  // Waits for that work and drops what it made.
  void drop_preparation();
  std::set<bytes>& referenced_keys(uint32_t tdef_page, uint32_t physical, bool rebuild);
  // The stored definition of the table at a TDEF page, read once per reading of the working copy: every row
  // appended to a table with enforced relationships looks at the tables it refers to.
  const table_def& stored_def(uint32_t tdef_page);
  void check_references(const open_table& t, const std::vector<value>& row);

  std::string path_;
  open_options options_;
  int lock_fd_ = -1;
  bool exclusive_locked_ = false;
  std::unique_ptr<database_reader> reader_;
  bool reader_on_original_ = true;  // not yet reopened over the working copy
  std::unique_ptr<working_copy> copy_;
  bool modified_ = false;
  bool closed_ = false;
  bool failed_ = false;             // a change failed half-way: the copy is given up at close
  bool written_in_change_ = false;  // the change under way has written pages
  double now_ = 0;
  std::unique_ptr<recycler> alloc_;
  uint32_t original_pages_ = 0;
  std::vector<bool> original_free_;     // the global map's free bits as opened
  std::vector<uint32_t> global_bitmaps_;
  std::map<uint32_t, std::set<uint8_t>> released_map_rows_;  // map page -> rows of given-back maps
  // The usage-map rows the tables' definitions point at, read once when first needed (null: unreadable).
  const std::set<uint32_t>* inherited_map_rows();
  bool inherited_map_rows_known_ = false;
  std::optional<std::set<uint32_t>> inherited_map_rows_;
  std::vector<std::unique_ptr<open_table>> tables_;
  // Keys of the rows of tables that enforced relationships refer to: (TDEF page, physical index).
  std::map<std::pair<uint32_t, uint32_t>, std::set<bytes>> referenced_keys_;
  std::map<uint32_t, table_def> stored_defs_;  // cleared whenever the working copy is read again
  mutable std::optional<std::vector<catalog_object>> objects_;  // likewise
  mutable std::optional<std::vector<relationship>> relationships_;  // likewise
  std::string change_refusal_;  // why the file cannot be changed (empty when it can)
  bool structure_checked_ = false;  // the original's structure was checked before the first change
  std::string damage_;              // what that check found wrong (empty when nothing)
  std::unique_ptr<preparation> preparation_;  // work started ahead of the first change
  // The survey made with the working copy, for the first table rows are appended to (valid while nothing has
  // been written to the copy).
  std::unique_ptr<table_survey> prepared_survey_;
  uint32_t prepared_survey_tdef_ = 0;
};

}  // namespace jet
