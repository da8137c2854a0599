// Index descriptions and the merge of an index list by name; see udb_idx.h.
#include "UDB/udb_idx.h"

#include <stdexcept>

#include "TK/tk_log.h"
#include "TK/tk_nocase.h"

udb_index::udb_index(std::wstring name, bool unique, bool primary, udb_name_list columns, bool unique_constraint)
    : name(std::move(name)),
      unique(unique),
      primary(primary),
      unique_constraint(unique_constraint),
      columns(std::move(columns)) {
  tk_trace_w(1, L"udb_index::ctor('%s',%d,%d)", this->name.c_str(), unique ? 1 : 0, primary ? 1 : 0);
}

bool udb_index::starts_with_fields(const udb_name_list& fields) const {
  tk_trace_w(2, L"udb_index(%s)::starts_with_fields", name.c_str());
  tk_trace(2, "this.size=%d, that.size=%d", static_cast<int>(columns.size()), static_cast<int>(fields.size()));
  if (columns.size() < fields.size()) return false;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!tk_equal_nocase(fields[i], columns[i])) {
      tk_trace_w(2, L"Field '%s' not found", fields[i].c_str());
      return false;
    }
  }
  return true;
}

void udb_indexes::push_back(const udb_index& index) {
  tk_trace_w(2, L"udb_indexes::push_back(%s)", index.name.c_str());
  udb_index* existing = get_index(index.name);
  if (existing == nullptr) {
    tk_trace(2, "Index does not exist, add it");
    list_.push_back(index);
    return;
  }
  // The existing entry keeps its name and place; a stronger new index lends it its kind and columns.
  auto take = [existing, &index] {
    existing->unique = index.unique;
    existing->primary = index.primary;
    existing->unique_constraint = index.unique_constraint;
    existing->columns = index.columns;
    existing->extras = index.extras;
  };
  if (existing->primary) {
    tk_trace(2, "Primary key with the same name exists, skip it.");
  } else if (index.primary) {
    tk_trace(2, "Upgrade existing index to primary key.");
    take();
  } else if (existing->unique_constraint) {
    tk_trace(2, "Unique constraint with the same name exists, skip it.");
  } else if (index.unique_constraint) {
    tk_trace(2, "Set unique constraint attributes for existing index.");
    take();
  } else if (existing->unique) {
    tk_trace(2, "Unique index with the same name exists, skip it.");
  } else if (index.unique) {
    tk_trace(2, "Set unique attribute for existing index.");
    take();
  }
}

udb_index* udb_indexes::get_index(const std::wstring& name) {
  return const_cast<udb_index*>(static_cast<const udb_indexes*>(this)->get_index(name));
}

const udb_index* udb_indexes::get_index(const std::wstring& name) const {
  tk_trace_w(2, L"udb_indexes::get_index(%s)", name.c_str());
  for (const auto& index : list_) {
    if (tk_equal_nocase(index.name, name)) return &index;
  }
  return nullptr;
}

bool udb_indexes::is_acceptable_name(const std::wstring& name) const {
  tk_trace_w(2, L"udb_indexes::is_acceptable_name(%s)", name.c_str());
  return get_index(name) == nullptr;
}

bool udb_indexes::has_index_on_fields(const udb_name_list& fields, bool unique_only) const {
  tk_trace(1, "udb_indexes::has_index_on_fields");
  for (const auto& index : list_) {
    if (unique_only && !index.unique && !index.primary) continue;
    if (index.starts_with_fields(fields)) return true;
  }
  return false;
}

bool udb_indexes::is_idx_field(const std::wstring& name, bool primary_only) const {
  tk_trace_w(2, L"udb_indexes::is_idx_field(%s)", name.c_str());
  for (const auto& index : list_) {
    if (primary_only && !index.primary) continue;
    for (const auto& column : index.columns) {
      if (column == name) {
        tk_trace(2, "index field");
        return true;
      }
    }
  }
  tk_trace(2, "non-index field");
  return false;
}

const udb_index& udb_indexes::at(std::size_t i) const {
  if (i >= list_.size()) throw std::out_of_range("invalid vector subscript");
  return list_[i];
}

udb_index& udb_indexes::at(std::size_t i) {
  if (i >= list_.size()) throw std::out_of_range("invalid vector subscript");
  return list_[i];
}
