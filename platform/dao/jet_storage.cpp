// The storage of an Access file, over the Access database engine platform/jet.
//
// Files are written by jet::database: a new file appears at its path when the database is closed; an
// existing file is changed in a working copy that replaces it at close, so a failure leaves it as it was.
// Tables are addressed by the engine's handles, whether they were in the file or made in this session;
// rows are handed over by column number.

#include "platform/dao/storage.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>

#include "platform/dao/errors.h"
#include "platform/dao/state.h"
#include "platform/jet/catalog_listing.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/index_key.h"
#include "platform/jet/index_seek.h"
#include "platform/jet/row_reader.h"
#include "platform/jet/byte_order.h"
#include "platform/jet/reader.h"
#include "platform/system/codepage.h"

namespace dao {

namespace {

[[noreturn]] void not_supported(const std::wstring& what) {
  throw error(err::operation_not_supported,
              L"Operation is not supported for this type of object. " + what, true);
}

// Columns in the order DAO lists them: by column number.
std::vector<const jet::column_def*> ordered(const jet::table_def& t) {
  std::vector<const jet::column_def*> out;
  for (const auto& c : t.columns) out.push_back(&c);
  std::stable_sort(out.begin(), out.end(), [](auto* a, auto* b) { return a->number < b->number; });
  return out;
}

// A row of the engine (values by column number) in schema order.
void in_schema_order(const std::vector<const jet::column_def*>& order, const std::vector<jet::value>& values, row& out) {
  out.clear();
  for (const jet::column_def* c : order) out.push_back(c->number < values.size() ? values[c->number] : jet::value::null());
}

// The rows of a stored table in storage order, one data page in memory at a time.
class table_scan : public row_stream {
 public:
  table_scan(const jet::database_reader& reader, jet::table_def t)
      : table_(std::move(t)), order_(ordered(table_)), cursor_(reader.rows(table_)) {}
  bool next(row& out) override {
    if (!cursor_.next(values_)) return false;
    in_schema_order(order_, values_, out);
    return true;
  }
  int64_t row_id() const override { return cursor_.row_pointer(); }

 private:
  jet::table_def table_;
  std::vector<const jet::column_def*> order_;
  jet::database_reader::row_cursor cursor_;
  std::vector<jet::value> values_;
};

// The rows an index finds from a key on, while their keys start with `prefix` and do not pass `high`: one leaf
// page and one row in memory at a time.
class index_rows : public row_stream {
 public:
  index_rows(const jet::database_reader& reader, jet::table_def t, const jet::index_def& index, jet::bytes from,
             jet::bytes prefix, std::optional<jet::bytes> high)
      : reader_(reader), table_(std::move(t)), order_(ordered(table_)),
        seek_(reader.fmt(), reader.pages(), index.root_page, from), prefix_(std::move(prefix)), high_(std::move(high)) {}
  bool next(row& out) override {
    const jet::index_entry* e = seek_.next();
    if (!e || !starts_with(e->key, prefix_)) return false;
    if (high_ && jet::index_entry_ref::compare_keys(e->key, *high_) > 0 && !starts_with(e->key, *high_)) return false;
    id_ = jet::make_row_pointer(e->page, e->row);
    std::vector<uint8_t> bytes = reader_.row_bytes(id_);
    values_ = jet::read_row(reader_.fmt(), table_, bytes, [&](uint32_t p) { return reader_.pages().read(p); });
    in_schema_order(order_, values_, out);
    return true;
  }
  int64_t row_id() const override { return id_; }

 private:
  static bool starts_with(const jet::bytes& key, const jet::bytes& prefix) {
    return key.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), key.begin());
  }
  const jet::database_reader& reader_;
  jet::table_def table_;
  std::vector<const jet::column_def*> order_;
  jet::index_seek seek_;
  jet::bytes prefix_;
  std::optional<jet::bytes> high_;
  std::vector<jet::value> values_;
  uint32_t id_ = 0;
};

// ---------------------------------------------------------------------------------------------- files

class file_storage : public storage {
 public:
  file_storage(std::unique_ptr<jet::database> db, bool created) : db_(std::move(db)), created_(created) {}

  file_format format() const override { return db_->gen(); }
  bool read_only() const override { return db_->read_only(); }

  std::vector<catalog_entry> tables() override {
    // TableDefs asks for the list once per item it hands out: it is made once per change of the tables.
    if (tables_) return *tables_;
    std::vector<catalog_entry> out;
    if (!created_) {
      for (const jet::catalog_object& o : db_->objects()) {
        uint32_t attributes = 0;
        switch (o.kind) {
          case jet::object_kind::local_table: break;
          case jet::object_kind::linked_table: attributes = table_attached; break;
          case jet::object_kind::odbc_table: attributes = table_attached_odbc; break;
          case jet::object_kind::system_table: attributes = table_system; break;
          case jet::object_kind::query: continue;
        }
        if (!added(o.name)) out.push_back({o.name, attributes});
      }
    }
    for (const auto& t : added_) out.push_back({t.schema.name, 0});
    tables_ = out;
    return out;
  }

  std::vector<query_entry> queries() override {
    std::vector<query_entry> out;
    if (created_) return out;
    for (const jet::stored_query& q : db_->queries()) out.push_back({q.name, !q.sql.empty(), q.sql});
    return out;
  }

  table_schema describe(const std::wstring& name) override {
    if (const session_table* t = added(name)) return t->schema;
    return describe_stored(name);
  }
  uint32_t row_count(const std::wstring& name) override {
    if (const session_table* t = added(name)) return db_->row_count(t->handle);
    return db_->row_count(db_->table_handle(stored_name(name)));
  }
  std::vector<row> read_rows(const std::wstring& name) override {
    std::vector<row> out;
    auto rows = scan(name);
    row r;
    while (rows->next(r)) out.push_back(std::move(r));
    return out;
  }
  std::unique_ptr<row_stream> scan(const std::wstring& name) override {
    if (added(name)) not_supported(L"The rows of a table being written cannot be read back before the file is closed.");
    return std::make_unique<table_scan>(reader(), stored(name));
  }
  jet::sort_order_kind text_order() const override { return db_->fmt().text_sort; }

  std::unique_ptr<row_stream> seek(const std::wstring& name, const index_probe& probe) override {
    if (created_ || added(name)) return nullptr;
    jet::table_def t = stored(name);
    // The index as describe() numbers them: logical indexes over an existing physical one.
    const jet::index_def* x = nullptr;
    size_t n = 0;
    for (const jet::logical_index_def& l : t.logical_indexes) {
      if (l.physical >= t.indexes.size()) continue;
      if (n++ == probe.index) x = &t.indexes[l.physical];
    }
    if (!x || x->root_page == 0 || probe.equal.size() > x->columns.size()) return nullptr;
    const jet::format& f = reader().fmt();
    auto part = [&](size_t i, const jet::value& v, jet::bytes& out) {
      const jet::column_def* c = t.column_by_number(x->columns[i].column_number);
      if (!c || !jet::is_indexable_column(f, *c)) return false;
      jet::append_column_key(out, f, *c, x->columns[i].ascending, v);
      return true;
    };
    jet::bytes prefix;
    try {
      for (size_t i = 0; i < probe.equal.size(); ++i)
        if (!part(i, probe.equal[i], prefix)) return nullptr;
      jet::bytes from = prefix;
      std::optional<jet::bytes> high;
      size_t k = probe.equal.size();
      // A range on the next column narrows the walk where that column ascends (a descending one is walked whole).
      if (k < x->columns.size() && x->columns[k].ascending) {
        if (probe.low && !part(k, *probe.low, from)) return nullptr;
        if (probe.high) {
          high = prefix;
          if (!part(k, *probe.high, *high)) return nullptr;
        }
      }
      return std::make_unique<index_rows>(reader(), t, *x, from, prefix, high);
    } catch (const jet::error&) {
      return nullptr;  // a value the key cannot hold: the caller scans
    }
  }

  void create_table(const table_schema& s) override {
    appending_.reset();
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
    tables_.reset();
    size_t handle = db_->add_table(s.name, columns, indexes);
    session_table t{s, handle};
    // Sizes as the engine stores them (text and binary of size 0 are 255 wide).
    for (column_spec& c : t.schema.columns)
      if ((c.type == jet::column_type::text || c.type == jet::column_type::binary) && c.size == 0) c.size = 255;
    added_.push_back(std::move(t));
  }

  void delete_table(const std::wstring& name) override {
    appending_.reset();
    tables_.reset();
    db_->delete_table(added(name) ? name : stored_name(name));
    for (size_t i = 0; i < added_.size(); ++i)
      if (jet::same_name(added_[i].schema.name, name)) added_.erase(added_.begin() + static_cast<std::ptrdiff_t>(i));
  }

  void prepare_append(const std::wstring& name) override {
    if (created_ || added(name)) return;
    try {
      db_->prepare_appending(db_->table_handle(stored_name(name)));
    } catch (const jet::error&) {
      // No such table: the first row says so.
    } catch (const dao::error&) {
    }
  }

  void append_row(const std::wstring& name, const row& values) override {
    const appending_target& target = target_for(name, values.size());
    // The engine takes values by column number; the row holds them in column-number order.
    if (target.in_order) {
      db_->append_row(target.handle, values);
      return;
    }
    std::vector<jet::value> by_number(target.width);
    for (size_t i = 0; i < target.numbers.size(); ++i)
      if (target.numbers[i] < by_number.size()) by_number[target.numbers[i]] = values[i];
    db_->append_row(target.handle, std::move(by_number));
  }

  void append_row(const std::wstring& name, row&& values) override {
    const appending_target& target = target_for(name, values.size());
    if (target.in_order) {
      db_->append_row(target.handle, std::move(values));
      return;
    }
    // The values move to their column numbers and back again when the engine refuses the row.
    std::vector<jet::value> by_number(target.width);
    for (size_t i = 0; i < target.numbers.size(); ++i)
      if (target.numbers[i] < by_number.size()) by_number[target.numbers[i]] = std::move(values[i]);
    try {
      db_->append_row(target.handle, std::move(by_number));
    } catch (...) {
      for (size_t i = 0; i < target.numbers.size(); ++i)
        if (target.numbers[i] < by_number.size()) values[i] = std::move(by_number[target.numbers[i]]);
      throw;
    }
  }

  void add_index(const std::wstring& name, const index_spec& x) override {
    appending_.reset();
    if (created_) not_supported(L"Indexes are added to tables of a database once it has been written and opened again.");
    session_table* t = added(name);
    jet::index_spec j;
    j.name = x.name;
    for (const std::wstring& col : x.columns) j.fields.push_back({col, true});
    j.primary = x.primary;
    j.unique = x.unique || x.primary;
    db_->add_index(name, j);
    if (t) t->schema.indexes.push_back(x);
  }

  void delete_index(const std::wstring& name, const std::wstring& index) override {
    appending_.reset();
    if (created_) not_supported(L"Indexes are deleted from tables of a database once it has been written and opened again.");
    db_->delete_index(name, index);
    if (session_table* t = added(name))
      std::erase_if(t->schema.indexes, [&](const index_spec& x) { return jet::same_name(x.name, index); });
  }

  void add_relation(const relation_spec& r) override {
    appending_.reset();
    if (created_) not_supported(L"Relationships are added to a database once it has been written and opened again.");
    jet::relationship_spec j;
    j.name = r.name;
    j.table = r.foreign_table;  // the engine finds tables ignoring case and refuses missing ones (3265)
    j.referenced_table = r.table;
    for (const relation_field& f : r.fields) {
      j.columns.push_back(f.foreign_name);
      j.referenced_columns.push_back(f.name);
    }
    j.grbit = static_cast<uint32_t>(r.attributes);  // DAO's attribute bits are those the file stores
    db_->add_relationship(j);
  }

  void flush() override {}
  void close() override { db_->close(); }

 private:
  struct session_table {
    table_schema schema;
    size_t handle;
  };
  // The table rows were last appended to; forgotten whenever a table, an index or a relationship is added or a
  // table deleted.
  struct appending_target {
    std::wstring name;
    size_t handle = 0;
    std::vector<size_t> numbers;  // the column number of each value of a row
    size_t width = 0;             // the engine's row width
    bool in_order = false;        // numbers are 0, 1, ... width - 1: a row goes to the engine as it is
  };
  std::optional<appending_target> appending_;
  // Rows come one table at a time: the table's handle and column order are found once, not per row.
  const appending_target& target_for(const std::wstring& name, size_t count) {
    if (!appending_ || !jet::same_name(appending_->name, name)) {
      const session_table* t = added(name);
      appending_target target;
      target.name = name;
      target.handle = t ? t->handle : db_->table_handle(stored_name(name));
      const jet::table_def& def = db_->table(target.handle);
      for (const jet::column_def* c : ordered(def)) target.numbers.push_back(c->number);
      target.width = std::max<size_t>(def.max_columns, def.columns.size());
      target.in_order = target.width == target.numbers.size();
      for (size_t i = 0; i < target.numbers.size() && target.in_order; ++i) target.in_order = target.numbers[i] == i;
      appending_ = std::move(target);
    }
    if (appending_->numbers.size() != count) fail(err::invalid_argument);
    return *appending_;
  }
  // The tables as `tables()` lists them; forgotten whenever a table is added or deleted.
  std::optional<std::vector<catalog_entry>> tables_;
  const session_table* added(const std::wstring& name) const {
    for (const auto& t : added_)
      if (jet::same_name(t.schema.name, name)) return &t;
    return nullptr;
  }
  session_table* added(const std::wstring& name) {
    return const_cast<session_table*>(std::as_const(*this).added(name));
  }
  const jet::database_reader& reader() const { return db_->reader(); }
  // The name as the catalogue spells it, of a table that was in the file when it was opened.
  std::wstring stored_name(const std::wstring& name) const {
    if (!created_)
      for (const jet::catalog_object& o : db_->objects())
        if (o.kind != jet::object_kind::query && jet::same_name(o.name, name)) return o.name;
    fail(err::input_table_not_found, name);
  }
  jet::table_def stored(const std::wstring& name) const { return reader().table(stored_name(name)); }

  table_schema describe_stored(const std::wstring& name) const {
    const jet::table_def t = stored(name);
    table_schema s;
    s.name = stored_name(name);
    jet::property_blob props = reader().properties(s.name);
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

  std::unique_ptr<jet::database> db_;
  bool created_;
  std::vector<session_table> added_;
};

// A damaged file is named as the user named it: the engine below often knows only the bytes it read, or the
// working copy's name. Every call into the file passes a damaged-file error on with the file's name.
template <class F>
auto naming(const std::string& path, F&& body) -> decltype(body()) {
  try {
    return body();
  } catch (jet::error& e) {
    e.name_file(path);
    throw;
  }
}

class named_stream : public row_stream {
 public:
  named_stream(std::unique_ptr<row_stream> rows, const std::string& path) : rows_(std::move(rows)), path_(path) {}
  bool next(row& out) override {
    return naming(path_, [&] { return rows_->next(out); });
  }
  int64_t row_id() const override { return rows_->row_id(); }

 private:
  std::unique_ptr<row_stream> rows_;
  std::string path_;
};

class named_storage : public storage {
 public:
  named_storage(const std::string& path, const std::function<std::unique_ptr<storage>()>& open)
      : path_(path), file_(naming(path_, open)) {}

  file_format format() const override { return file_->format(); }
  bool read_only() const override { return file_->read_only(); }
  std::vector<catalog_entry> tables() override {
    return naming(path_, [&] { return file_->tables(); });
  }
  std::vector<query_entry> queries() override {
    return naming(path_, [&] { return file_->queries(); });
  }
  table_schema describe(const std::wstring& table) override {
    return naming(path_, [&] { return file_->describe(table); });
  }
  uint32_t row_count(const std::wstring& table) override {
    return naming(path_, [&] { return file_->row_count(table); });
  }
  std::vector<row> read_rows(const std::wstring& table) override {
    return naming(path_, [&] { return file_->read_rows(table); });
  }
  std::unique_ptr<row_stream> scan(const std::wstring& table) override {
    return named(naming(path_, [&] { return file_->scan(table); }));
  }
  std::unique_ptr<row_stream> seek(const std::wstring& table, const index_probe& probe) override {
    return named(naming(path_, [&] { return file_->seek(table, probe); }));
  }
  jet::sort_order_kind text_order() const override { return file_->text_order(); }
  void create_table(const table_schema& schema) override {
    naming(path_, [&] { file_->create_table(schema); });
  }
  void delete_table(const std::wstring& table) override {
    naming(path_, [&] { file_->delete_table(table); });
  }
  void append_row(const std::wstring& table, const row& values) override {
    naming(path_, [&] { file_->append_row(table, values); });
  }
  void append_row(const std::wstring& table, row&& values) override {
    naming(path_, [&] { file_->append_row(table, std::move(values)); });
  }
  void prepare_append(const std::wstring& table) override {
    naming(path_, [&] { file_->prepare_append(table); });
  }
  void add_index(const std::wstring& table, const index_spec& index) override {
    naming(path_, [&] { file_->add_index(table, index); });
  }
  void delete_index(const std::wstring& table, const std::wstring& index) override {
    naming(path_, [&] { file_->delete_index(table, index); });
  }
  void add_relation(const relation_spec& relation) override {
    naming(path_, [&] { file_->add_relation(relation); });
  }
  void flush() override {
    naming(path_, [&] { file_->flush(); });
  }
  void close() override {
    naming(path_, [&] { file_->close(); });
  }

 private:
  std::unique_ptr<row_stream> named(std::unique_ptr<row_stream> rows) const {
    if (!rows) return rows;
    return std::make_unique<named_stream>(std::move(rows), path_);
  }
  std::string path_;
  std::unique_ptr<storage> file_;
};

}  // namespace

std::unique_ptr<row_stream> storage::scan(const std::wstring& table) {
  class all_rows : public row_stream {
   public:
    explicit all_rows(std::vector<row> rows) : rows_(std::move(rows)) {}
    bool next(row& out) override {
      if (at_ >= rows_.size()) return false;
      out = rows_[at_++];
      return true;
    }
    int64_t row_id() const override { return static_cast<int64_t>(at_); }

   private:
    std::vector<row> rows_;
    size_t at_ = 0;
  };
  return std::make_unique<all_rows>(read_rows(table));
}

std::unique_ptr<storage> open_storage(const std::wstring& path, bool read_only, bool exclusive,
                                      const std::wstring& password) {
  jet::open_options options;
  options.read_only = read_only;
  options.exclusive = exclusive;
  options.password = password;
  const std::string name = sys_wide_to_utf8(path);
  return std::make_unique<named_storage>(
      name, [&] { return std::make_unique<file_storage>(jet::database::open(name, options), false); });
}

std::unique_ptr<storage> create_storage(const std::wstring& path, file_format format) {
  const std::string name = sys_wide_to_utf8(path);
  return std::make_unique<named_storage>(
      name, [&] { return std::make_unique<file_storage>(jet::database::create(name, format), true); });
}

}  // namespace dao
