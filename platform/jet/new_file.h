// A new database file being written from scratch (the writer behind `database::create`).
//
// The file is written under a temporary name in the destination folder (page_file.h) and renamed
// into place by `close()`; until then the destination does not exist. System tables are written
// through table writers like user tables; their rows grow with every table added and they are
// finished at close, the global usage map last. A write that fails (full disk, I/O error) gives the
// file up: nothing more is written and the destination is never created.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/jet/database.h"
#include "platform/jet/catalog.h"
#include "platform/jet/page_file.h"
#include "platform/jet/prepared_tree.h"
#include "platform/jet/table_writer.h"
#include "platform/jet/usage_map.h"

namespace jet {

class new_file final : public database {
 public:
  // `f` is the descriptor of the generation to write (Jet 4 or ACE).
  static std::unique_ptr<new_file> create(const std::string& path, const format& f, const create_options& options);
  ~new_file() override;

  const format& fmt() const override { return *f_; }
  const std::string& path() const override { return path_; }
  bool read_only() const override { return false; }

  std::vector<catalog_object> objects() const override;
  std::vector<stored_query> queries() const override { return {}; }
  std::vector<relationship> relationships() const override { return {}; }
  const database_reader& reader() const override;

  size_t add_table(const std::wstring& name, const std::vector<column_spec>& columns,
                   const std::vector<index_spec>& indexes, const std::wstring& description = std::wstring()) override;
  size_t table_handle(const std::wstring& name) override;
  const table_def& table(size_t handle) const override;
  using database::append_row;
  void append_row(size_t handle, const std::vector<value>& values) override;
  void append_row(size_t handle, std::vector<value>&& values) override;
  void finish_table(size_t handle) override;
  // A new file has no stored table to delete (3265) and takes no relationships and no indexes
  // beside those its tables are made with (3251).
  void delete_table(const std::wstring& name) override;
  void add_relationship(const relationship_spec& r) override;
  void add_index(const std::wstring& table, const index_spec& index) override;
  void delete_index(const std::wstring& table, const std::wstring& index) override;

  void close() override;
  void abandon() override;
  uint64_t bytes_written() const override { return file_ ? file_->bytes_written() : 0; }
  // How many index trees of the tables finished so far were built ahead (tests and benchmarks).
  size_t trees_built_ahead() const { return trees_built_ahead_; }

 private:
  new_file() = default;
  // The writer of a table about to take a row of `count` values (refusals as append_row's).
  table_writer& writer_for_row(size_t handle, size_t count);
  // Runs `fn`; a failed write marks the file failed (it will be dropped, never renamed into place).
  template <typename F>
  auto guarded(F&& fn);
  std::function<bool(uint64_t)> room();
  table_writer& system_table_writer(system_table which);

  const format* f_ = nullptr;
  std::string path_;
  std::unique_ptr<page_file> file_;
  double now_ = 0;
  index_sort_options index_sort_;
  // Shared by the user tables' trees built ahead.
  std::unique_ptr<tree_budget> trees_;
  struct system_writer {
    system_table which;
    std::unique_ptr<table_writer> writer;
  };
  std::vector<system_writer> system_;
  struct user_table {
    std::wstring name;
    std::unique_ptr<table_writer> writer;
    table_def def;  // the definition after finishing (the writer is released)
  };
  std::vector<user_table> tables_;
  // The table rows were last appended to: when rows go to another table, or a table is added, its index
  // entries are sorted ahead on other cores (tables are mostly written one after the other).
  size_t writing_ = SIZE_MAX;
  void sort_ahead_of_last();
  std::unique_ptr<map_page_writer> user_maps_;
  size_t trees_built_ahead_ = 0;
  bool closed_ = false;
  bool failed_ = false;
};

}  // namespace jet
