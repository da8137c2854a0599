// The storage of an Access file, over the Access database engine platform/jet.
//
// A new file is written by jet::database: tables are created and filled in one session and the file
// appears at its path when the database is closed. An existing file is read by jet::database_reader;
// the engine cannot change existing files yet, so creating, filling or deleting tables there is refused
// with a DAO error that says so, and the file is left as it was.
#include "platform/dao/storage.h"

#include <algorithm>
#include <cwctype>

#include "platform/dao/errors.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/reader.h"
#include "platform/system/codepage.h"

namespace dao {

namespace {

const wchar_t* format_name(file_format f) {
  switch (f) {
    case file_format::jet3: return L"Access 95/97 (Jet 3)";
    case file_format::jet4: return L"Access 2000 (Jet 4)";
    case file_format::ace: return L"Access 2007 and later (ACE)";
  }
  return L"Access";
}

[[noreturn]] void not_supported(const std::wstring& what) {
  throw error(err::operation_not_supported,
              L"Operation is not supported for this type of object. " + what, true);
}

bool same(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

// ---------------------------------------------------------------------------------------------- new files

class writer_storage : public storage {
 public:
  explicit writer_storage(std::unique_ptr<jet::database> db) : db_(std::move(db)) {}

  file_format format() const override { return file_format::jet4; }
  bool read_only() const override { return false; }

  std::vector<catalog_entry> tables() override {
    std::vector<catalog_entry> out;
    for (const auto& t : tables_) out.push_back({t.schema.name, 0});
    return out;
  }
  std::vector<query_entry> queries() override { return {}; }

  table_schema describe(const std::wstring& name) override { return find(name).schema; }
  uint32_t row_count(const std::wstring& name) override { return db_->row_count(find(name).handle); }
  std::vector<row> read_rows(const std::wstring&) override {
    not_supported(L"The rows of a file being written cannot be read back before it is closed.");
  }

  void create_table(const table_schema& s) override {
    std::vector<jet::column_spec> columns;
    for (const column_spec& c : s.columns) {
      jet::column_spec j;
      j.name = c.name;
      j.type = c.type;
      j.size = c.type == jet::column_type::text || c.type == jet::column_type::binary ? c.size : 0;
      j.required = c.required;
      j.allow_zero_length = c.allow_zero_length;
      j.default_value = c.default_value;
      j.autonumber = c.autonumber;
      j.description = c.has_description ? c.description : std::wstring();
      j.format_text = c.has_format ? c.format : std::wstring();
      j.compressed_unicode = true;  // as Access makes new text fields
      columns.push_back(std::move(j));
    }
    std::vector<jet::index_spec> indexes;
    for (const index_spec& x : s.indexes) {
      jet::index_spec j;
      j.name = x.name;
      for (const std::wstring& col : x.columns) j.fields.push_back({col, true});
      j.primary = x.primary;
      j.unique = x.unique || x.primary;
      indexes.push_back(std::move(j));
    }
    size_t handle = db_->add_table(s.name, columns, indexes);
    table t{s, handle};
    // Sizes as the engine stores them (text and binary of size 0 are 255 wide).
    for (column_spec& c : t.schema.columns)
      if ((c.type == jet::column_type::text || c.type == jet::column_type::binary) && c.size == 0) c.size = 255;
    tables_.push_back(std::move(t));
  }

  void delete_table(const std::wstring& name) override {
    find(name);
    not_supported(L"Tables cannot be deleted from a file while it is being written.");
  }

  void append_row(const std::wstring& name, const row& values) override { db_->append_row(find(name).handle, values); }

  void flush() override {}
  void close() override { db_->close(); }

 private:
  struct table {
    table_schema schema;
    size_t handle;
  };
  table& find(const std::wstring& name) {
    for (auto& t : tables_)
      if (same(t.schema.name, name)) return t;
    fail(err::input_table_not_found, name);
  }

  std::unique_ptr<jet::database> db_;
  std::vector<table> tables_;
};

// ---------------------------------------------------------------------------------------------- existing files

class reader_storage : public storage {
 public:
  reader_storage(std::unique_ptr<jet::database_reader> db, bool read_only)
      : db_(std::move(db)), read_only_(read_only) {}

  file_format format() const override {
    switch (db_->fmt().gen) {
      case jet::generation::jet3: return file_format::jet3;
      case jet::generation::jet4: return file_format::jet4;
      case jet::generation::ace: return file_format::ace;
    }
    return file_format::jet4;
  }
  bool read_only() const override { return read_only_; }

  std::vector<catalog_entry> tables() override {
    std::vector<catalog_entry> out;
    for (const jet::catalog_entry& e : db_->objects()) {
      if (e.parent_id != 0x0F000001u) continue;
      uint32_t attributes = 0;
      if (e.type == 6) attributes = table_attached;
      else if (e.type == 4) attributes = table_attached_odbc;
      else if (e.type != 1) continue;
      if (e.is_system()) attributes |= table_system;
      out.push_back({e.name, attributes});
    }
    return out;
  }

  std::vector<query_entry> queries() override {
    // The engine lists stored queries but does not rebuild their SQL text.
    std::vector<query_entry> out;
    for (const jet::catalog_entry& e : db_->objects())
      if (e.type == 5) out.push_back({e.name, false, std::wstring()});
    return out;
  }

  table_schema describe(const std::wstring& name) override {
    const jet::table_def t = definition(name);
    table_schema s;
    s.name = entry(name).name;
    jet::property_blob props = db_->properties(s.name);
    for (const jet::column_def* c : ordered(t)) {
      column_spec spec;
      spec.name = c->name;
      spec.type = c->type;
      if (c->type == jet::column_type::text) spec.size = db_->fmt().unicode_text ? c->length / 2u : c->length;
      else if (c->type == jet::column_type::binary) spec.size = c->length;
      spec.autonumber = c->is_autonumber();
      if (const jet::property_set* p = props.column(c->name)) {
        auto flag = [&](const wchar_t* n, bool& out) {
          if (const jet::property* x = p->find(n))
            out = x->data.kind_of() == jet::value::kind::boolean ? x->data.as_bool()
                  : x->data.kind_of() == jet::value::kind::byte  ? x->data.as_byte() != 0
                                                                 : out;
        };
        auto text = [&](const wchar_t* n, std::wstring& out) {
          const jet::property* x = p->find(n);
          if (!x || x->data.kind_of() != jet::value::kind::text) return false;
          out = x->data.as_text();
          return true;
        };
        flag(L"Required", spec.required);
        flag(L"AllowZeroLength", spec.allow_zero_length);
        text(L"DefaultValue", spec.default_value);
        spec.has_description = text(L"Description", spec.description);
        spec.has_format = text(L"Format", spec.format);
      }
      s.columns.push_back(std::move(spec));
    }
    for (const jet::logical_index_def& l : t.logical_indexes) {
      if (l.physical >= t.indexes.size()) continue;
      const jet::index_def& p = t.indexes[l.physical];
      index_spec x;
      x.name = l.name;
      for (const jet::index_column& ic : p.columns)
        if (const jet::column_def* c = t.column_by_number(ic.column_number)) x.columns.push_back(c->name);
      x.primary = l.type == jet::logical_index_type::primary_key;
      x.foreign = l.type == jet::logical_index_type::foreign_key;
      x.unique = p.is_unique() || x.primary;
      s.indexes.push_back(std::move(x));
    }
    return s;
  }

  uint32_t row_count(const std::wstring& name) override { return definition(name).row_count; }

  std::vector<row> read_rows(const std::wstring& name) override {
    const jet::table_def t = definition(name);
    std::vector<const jet::column_def*> order = ordered(t);
    std::vector<row> out;
    auto cursor = db_->rows(t);
    std::vector<jet::value> values;
    while (cursor.next(values)) {
      row r;
      for (const jet::column_def* c : order)
        r.push_back(c->number < values.size() ? values[c->number] : jet::value::null());
      out.push_back(std::move(r));
    }
    return out;
  }

  void create_table(const table_schema&) override { refuse_change(); }
  void delete_table(const std::wstring& name) override {
    entry(name);
    refuse_change();
  }
  void append_row(const std::wstring&, const row&) override { refuse_change(); }
  void flush() override {}
  void close() override {}

 private:
  const jet::catalog_entry& entry(const std::wstring& name) {
    for (const jet::catalog_entry& e : db_->objects())
      if (e.parent_id == 0x0F000001u && same(e.name, name)) return e;
    fail(err::input_table_not_found, name);
  }
  jet::table_def definition(const std::wstring& name) { return db_->table(entry(name).name); }
  // Columns in the order DAO lists them: by column number.
  static std::vector<const jet::column_def*> ordered(const jet::table_def& t) {
    std::vector<const jet::column_def*> out;
    for (const auto& c : t.columns) out.push_back(&c);
    std::stable_sort(out.begin(), out.end(), [](auto* a, auto* b) { return a->number < b->number; });
    return out;
  }
  [[noreturn]] void refuse_change() {
    if (read_only_) fail(err::read_only);
    if (db_->fmt().gen == jet::generation::ace && db_->fmt().version_byte >= 3)
      fail(err::unrecognized_format, sys_utf8_to_wide(db_->path()));
    not_supported(L"The Access database engine cannot change an existing Access file yet.");
  }

  std::unique_ptr<jet::database_reader> db_;
  bool read_only_;
};

}  // namespace

std::unique_ptr<storage> open_storage(const std::wstring& path, bool read_only, bool, const std::wstring&) {
  return std::make_unique<reader_storage>(jet::database_reader::open(sys_wide_to_utf8(path)), read_only);
}

std::unique_ptr<storage> create_storage(const std::wstring& path, file_format format) {
  if (format != file_format::jet4)
    not_supported(std::wstring(L"Creating ") + format_name(format) +
                  L" files is not supported by this Access database engine yet.");
  return std::make_unique<writer_storage>(jet::database::create(sys_wide_to_utf8(path), jet::generation::jet4));
}

}  // namespace dao
