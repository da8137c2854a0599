// The renamings made while a database is written: source table name to destination table name, and per table,
// source field name to destination field name. Engines record a renaming when a name had to be replaced by a
// safe one, and use the map to rewrite the texts of views and queries that refer to the old names.
#pragma once

#include <map>
#include <string>

class udb_names_map {
 public:
  using name_map = std::map<std::wstring, std::wstring>;

  void add_tn_mapping(const std::wstring& src, const std::wstring& dst);
  // Stores the field renamings of a table, replacing any stored for it before.
  void add_fn_map(const std::wstring& table, const name_map& fields);

  // The destination name of a table (exact match when case_sensitive, else ignoring case); the name itself when
  // it was not renamed.
  std::wstring get_tn_mapped_name(const std::wstring& name, bool case_sensitive) const;
  // The destination name of a field of a table (both ignoring case); the field itself when not renamed.
  std::wstring get_fn_mapped_name(const std::wstring& table, const std::wstring& field) const;

  // Replaces, in text, every whole-word occurrence (ignoring case) of each source name of map, in key order, by
  // open + destination + close (open and close left out when the destination already starts or ends with them).
  // A word is a run of letters, digits, "_" and "$", so "t1" is not replaced inside "t10" or "t1_id".
  static std::wstring do_global_replace2(const std::wstring& text, const name_map& map, const std::wstring& open,
                                         const std::wstring& close);
  // do_global_replace2 with the table map, then with each table's field map in key order.
  std::wstring do_global_replace1(const std::wstring& text, const std::wstring& open,
                                  const std::wstring& close) const;

  const name_map& table_map() const { return tables_; }
  const std::map<std::wstring, name_map>& field_maps() const { return fields_; }

 private:
  name_map tables_;
  std::map<std::wstring, name_map> fields_;
};
