// In-memory engines for the run's tests; see run_engines_test_support.h.
#include "tests/support/run_engines_test_support.h"

#include "TK/tk_errco.h"
#include "tests/support/tk_test_support.h"
#include "TK/tk_utils.h"
#include "UDB/udb_vali.h"

namespace {

std::vector<std::unique_ptr<fake_store>>& all_stores() {
  static std::vector<std::unique_ptr<fake_store>> stores;
  return stores;
}

class fake_recordset : public udb_recordset {
 public:
  fake_recordset(udb_database* db, const std::wstring& name, fake_table* table, std::wstring query = L"")
      : udb_recordset(db, name, std::move(query)), table_(table) {
    schema = table->schema;
    indexes = table->indexes;
  }
  void append_record(const udb_record& record) override {
    std::vector<std::wstring> row;
    for (std::size_t i = 0; i < record.size(); ++i) row.push_back(record[i]->to_wstring());
    for (const auto& cell : row)
      if (cell == L"reject") throw fake_record_error();
    table_->rows.push_back(row);
  }
  udb_record* get_item() override {
    record_.reset();
    const auto& row = table_->rows.at(pos_);
    for (std::size_t i = 0; i < row.size(); ++i)
      record_.push_back(std::make_unique<udb_field>(schema[i].name, 50, ole_variant(row[i]), false, false));
    return &record_;
  }
  bool is_eof() override { return pos_ >= table_->rows.size(); }
  void next() override { ++pos_; }
  void reset() override { pos_ = 0; }
  std::size_t count() const { return table_->rows.size(); }

 private:
  fake_table* table_;
  std::size_t pos_ = 0;
  udb_record record_;
};

class fake_database : public udb_database {
 public:
  fake_database(fake_store* store, std::wstring name) : udb_database(std::move(name), 0, 0), store_(store) {
    for (const auto& [table, _] : store->tables) tables.push_back(table);
  }
  std::unique_ptr<udb_recordset> create_table(const std::wstring& name, const udb_schema& schema,
                                              const udb_indexes& idx) override {
    for (const t_ftd& col : schema)
      if (col.name == L"boom") throw tk_exception("cannot create", 0);
    auto it = store_->tables.find(name);
    if (it == store_->tables.end()) {
      fake_table table;
      table.schema = schema;
      table.indexes = idx;
      it = store_->tables.emplace(name, std::move(table)).first;
      tables.push_back(name);
      fake_access::index_counts()[name] = idx.size();
    }
    return std::make_unique<fake_recordset>(this, name, &it->second);
  }
  bool delete_tab(const std::wstring& name) override {
    store_->tables.erase(name);
    return udb_database::delete_tab(name);
  }
  std::unique_ptr<udb_recordset> get_query(const std::wstring& name, const std::wstring& sql, int32_t) override {
    const std::wstring from = L"SELECT * FROM ";
    if (sql.compare(0, from.size(), from) != 0) throw tk_exception("query failed", 0);
    return get_table(sql.substr(from.size()), 1);
  }
  std::unique_ptr<udb_recordset> get_table(const std::wstring& name, int32_t) override {
    auto it = store_->tables.find(name);
    if (it == store_->tables.end()) throw tk_mail_assertion("fake_db", 1);
    return std::make_unique<fake_recordset>(this, name, &it->second);
  }
  bool query(const std::wstring& sql) override { return sql == L"SELECT 1"; }

 private:
  fake_store* store_;
};

}  // namespace

fake_table make_table(const std::vector<std::wstring>& cols, std::vector<std::vector<std::wstring>> rows,
                      bool with_index) {
  fake_table t;
  for (const auto& c : cols) t.schema.push_back(t_ftd(50, c, VT_BSTR, false, false, ole_variant(), 0, L""));
  if (with_index) t.indexes.push_back(udb_index(L"pk", true, true, {cols.at(0)}));
  t.rows = std::move(rows);
  return t;
}

fake_record_error::fake_record_error() : tk_exception("duplicate", 0) { code = tk_dao_code_offset + 3022; }

void fake_source::connect(const std::string&, const std::string&, const std::string&, int p) { port = p; }

std::unique_ptr<udb_database> fake_source::open_db(const std::wstring& name) {
  if (name != L"shop") {
    tk_exception e("Unknown database '" + tk_to_utf8(name) + "'", 0);
    e.code = tk_mysql_code_offset + 1049;
    throw e;
  }
  return std::make_unique<fake_database>(store_, name);
}

int64_t fake_source::record_count(udb_recordset& recordset) {
  ++counts;
  return static_cast<int64_t>(static_cast<fake_recordset&>(recordset).count());
}

uint64_t fake_source::rows_read(udb_recordset& recordset) {
  return static_cast<fake_recordset&>(recordset).count();  // all in memory from the start
}

fake_store* fake_access::store_of(const std::string& path) {
  std::string text = tk_read_file(path);
  if (text.compare(0, 8, "FAKEMDB ") != 0) return nullptr;
  std::size_t id = std::stoul(text.substr(8));
  return id < all_stores().size() ? all_stores()[id].get() : nullptr;
}

std::map<std::wstring, std::size_t>& fake_access::index_counts() {
  static std::map<std::wstring, std::size_t> counts;
  return counts;
}

int32_t fake_access::file_generation(const std::wstring& path) {
  fake_store* store = store_of(tk_to_utf8(path));
  if (store == nullptr) throw tk_exception("File '" + tk_to_utf8(path) + "' does not comply with MS Access format.", 1);
  return store->generation;
}

std::unique_ptr<udb_database> fake_access::create_db(const std::wstring& path) {
  all_stores().push_back(std::make_unique<fake_store>());
  all_stores().back()->generation = version;
  tk_write_file(tk_to_utf8(path), "FAKEMDB " + std::to_string(all_stores().size() - 1));
  return std::make_unique<fake_database>(all_stores().back().get(), path);
}

std::unique_ptr<udb_database> fake_access::open_db(const std::wstring& path) {
  fake_store* store = store_of(tk_to_utf8(path));
  if (store == nullptr) throw tk_exception("not an Access file", 1);
  return std::make_unique<fake_database>(store, path);
}

std::unique_ptr<udb_validator> fake_access::table_name_validator() {
  auto v = std::make_unique<udb_validator>(64);
  for (wchar_t c : std::wstring(L".!`[]")) v->add_illegal_char(c);
  return v;
}

bool fake_access::is_record_error(const tk_exception& e) const {
  return dynamic_cast<const fake_record_error*>(&e) != nullptr;
}

void recording_front_end::report(const tk_exception& e, bool) {
  std::string context = error_handler::exists() ? error_handler::instance().context() : "";
  errors.push_back(context + "|" + e.what());
  if (tk_effective_level(e.level) != 0) throw fake_program_end{};
}
