// In-memory engines for the run's tests: a source database of text tables, and an Access stand-in whose "file"
// on disk names an in-memory store, so that creating, renaming and reopening destination files behave as on disk.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "UDB/udb_db.h"
#include "converter/rwf_engines.h"
#include "converter/rwf_front.h"

struct fake_table {
  udb_schema schema;
  udb_indexes indexes;
  std::vector<std::vector<std::wstring>> rows;
};

struct fake_store {
  std::map<std::wstring, fake_table> tables;
  int32_t generation = -1;
};

// A table of text columns named by cols, holding rows.
fake_table make_table(const std::vector<std::wstring>& cols, std::vector<std::vector<std::wstring>> rows,
                      bool with_index = true);

// An append that the destination refuses: a cell holding "reject".
class fake_record_error : public tk_exception {
 public:
  fake_record_error();
};

class fake_source : public rwf_source_engine {
 public:
  explicit fake_source(fake_store* store) : store_(store) {}
  void connect(const std::string& host, const std::string& user, const std::string& password, int port) override;
  void set_blob_to_text(bool value) override { blob_to_text = value; }
  // "shop" is the one database; any other name is unknown.
  std::unique_ptr<udb_database> open_db(const std::wstring& name) override;
  int64_t record_count(udb_recordset& recordset) override;
  uint64_t rows_read(udb_recordset& recordset) override;

  bool blob_to_text = false;
  int counts = 0;  // record_count calls
  int port = 0;

 private:
  fake_store* store_;
};

class fake_access : public rwf_destination_engine {
 public:
  int32_t file_generation(const std::wstring& path) override;
  void set_version(int32_t generation) override { version = last_version() = generation; }
  std::unique_ptr<udb_database> create_db(const std::wstring& path) override;
  std::unique_ptr<udb_database> open_db(const std::wstring& path) override;
  std::unique_ptr<udb_validator> table_name_validator() override;
  bool is_record_error(const tk_exception& e) const override;

  // The store a destination file names, or null.
  static fake_store* store_of(const std::string& path);
  // Indexes passed to create_table, by table name.
  static std::map<std::wstring, std::size_t>& index_counts();
  // The generation the last engine was set to (it outlives the engine).
  static int32_t& last_version() {
    static int32_t v = -1;
    return v;
  }

  int32_t version = -1;
};

// Records what the run tells its program.
class recording_front_end : public rwf_front_end {
 public:
  void progress(const std::wstring& line) override { lines.push_back(line); }
  bool shows_progress() const override { return shown; }
  void missing_table(const std::wstring& name, bool) override { missing.push_back(name); }
  bool convert_all_when_empty() const override { return all_when_empty; }
  // "<context>|<text>" for each error; a level-1 error ends the run as the console does (by unwinding).
  void report(const tk_exception& e, bool may_return) override;
  void std_error(const std::string& text) override { errors.push_back("std|" + text); }

  bool all_when_empty = true;
  bool shown = true;
  std::vector<std::wstring> lines;
  std::vector<std::wstring> missing;
  std::vector<std::string> errors;
};

// What recording_front_end throws for an error that ends the program.
struct fake_program_end {};
