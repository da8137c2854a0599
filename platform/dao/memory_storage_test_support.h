// Test helper: an in-memory table store behind the DAO objects, with the checks an engine makes (a taken
// table name, unique keys, AutoNumber values), for tests of the layers above the file format.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/dao/errors.h"
#include "platform/dao/state.h"
#include "platform/dao/storage.h"

namespace dao {

// Tables in memory with the constraint checks an engine makes (existing name, unique keys).
class memory_storage : public storage {
 public:
  struct table {
    dao::table_schema schema;
    std::vector<dao::row> rows;
    uint32_t attributes = 0;
    int32_t next_number = 1;
  };
  std::vector<table> tables_;
  std::vector<dao::query_entry> queries_;
  std::vector<dao::relation_spec> relations_;
  bool read_only_ = false;
  int closes = 0;

  dao::file_format format_ = dao::file_format::jet4;
  dao::file_format format() const override { return format_; }
  bool read_only() const override { return read_only_; }
  std::vector<dao::catalog_entry> tables() override {
    std::vector<dao::catalog_entry> out;
    for (auto& t : tables_) out.push_back({t.schema.name, t.attributes});
    return out;
  }
  std::vector<dao::query_entry> queries() override { return queries_; }
  table& find(const std::wstring& name) {
    for (auto& t : tables_)
      if (jet::same_name(t.schema.name, name)) return t;
    dao::fail(dao::err::input_table_not_found, name);
  }
  dao::table_schema describe(const std::wstring& name) override { return find(name).schema; }
  uint32_t row_count(const std::wstring& name) override { return static_cast<uint32_t>(find(name).rows.size()); }
  std::vector<dao::row> read_rows(const std::wstring& name) override { return find(name).rows; }
  void create_table(const dao::table_schema& s) override {
    for (auto& t : tables_)
      if (jet::same_name(t.schema.name, s.name)) dao::fail(3010);
    tables_.push_back({s, {}, 0, 1});
  }
  void delete_table(const std::wstring& name) override {
    for (size_t i = 0; i < tables_.size(); ++i)
      if (jet::same_name(tables_[i].schema.name, name)) tables_.erase(tables_.begin() + static_cast<long>(i));
  }
  void append_row(const std::wstring& name, const dao::row& values) override {
    table& t = find(name);
    dao::row r = values;
    for (size_t i = 0; i < r.size(); ++i)
      if (t.schema.columns[i].autonumber && r[i].is_null()) r[i] = jet::value::long_integer(t.next_number++);
    for (const auto& x : t.schema.indexes) {
      if (!x.unique && !x.primary) continue;
      for (const auto& other : t.rows) {
        bool same = true;
        for (const auto& col : x.columns)
          for (size_t i = 0; i < r.size(); ++i)
            if (jet::same_name(t.schema.columns[i].name, col) && !(r[i] == other[i])) same = false;
        if (same) dao::fail(dao::err::duplicate_key);
      }
    }
    t.rows.push_back(r);
  }
  void add_index(const std::wstring& name, const dao::index_spec& x) override { find(name).schema.indexes.push_back(x); }
  void delete_index(const std::wstring& name, const std::wstring& index) override {
    std::erase_if(find(name).schema.indexes, [&](const dao::index_spec& x) { return jet::same_name(x.name, index); });
  }
  void add_relation(const dao::relation_spec& r) override { relations_.push_back(r); }
  void flush() override {}
  void close() override { ++closes; }
};

}  // namespace dao
