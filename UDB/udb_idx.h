// Index descriptions shared by both engines: one index (its name, kind and columns) and the index list of a
// table, which holds at most one index per name (names compare ignoring case).
//
// Merging by name: an index pushed under a name the list already holds does not add a second entry; the stronger
// kind wins, in the order primary key, unique constraint, unique index, plain index. When the new index is the
// stronger one the existing entry takes its kind and columns (keeping its place in the list); otherwise the
// existing entry stays as it is.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

using udb_name_list = std::vector<std::wstring>;

struct udb_index {
  udb_index() = default;
  udb_index(std::wstring name, bool unique, bool primary, udb_name_list columns = {},
            bool unique_constraint = false);

  // True when the index's first columns are the given ones, in order (ignoring case); an empty list is true.
  bool starts_with_fields(const udb_name_list& fields) const;

  std::wstring name;
  bool unique = false;
  bool primary = false;
  bool unique_constraint = false;
  udb_name_list columns;  // key columns in key order
  udb_name_list extras;   // carried along with the index for the engines' index builders
};

class udb_indexes {
 public:
  // Adds the index, or merges it into the index of the same name (see above).
  void push_back(const udb_index& index);

  // The index of that name (ignoring case), or null.
  udb_index* get_index(const std::wstring& name);
  const udb_index* get_index(const std::wstring& name) const;
  // True when no index of the list has that name, so an index may be added under it.
  bool is_acceptable_name(const std::wstring& name) const;
  // True when some index (some unique or primary one, when unique_only) starts with the fields.
  bool has_index_on_fields(const udb_name_list& fields, bool unique_only) const;
  // True when name (compared exactly) is a column of some index (of a primary one, when primary_only).
  bool is_idx_field(const std::wstring& name, bool primary_only) const;

  std::size_t size() const { return list_.size(); }
  bool empty() const { return list_.empty(); }
  const udb_index& operator[](std::size_t i) const { return list_[i]; }
  udb_index& operator[](std::size_t i) { return list_[i]; }
  // Throws std::out_of_range "invalid vector subscript" past the end.
  const udb_index& at(std::size_t i) const;
  udb_index& at(std::size_t i);
  std::vector<udb_index>::const_iterator begin() const { return list_.begin(); }
  std::vector<udb_index>::const_iterator end() const { return list_.end(); }
  void clear() { list_.clear(); }

 private:
  std::vector<udb_index> list_;
};
