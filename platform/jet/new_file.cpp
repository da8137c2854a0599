// A new database file.
//
// Page layout (that of the engine's own blank database): 0 header, 1 global usage map, 2-5 the TDEFs
// of MSysObjects, MSysACEs, MSysQueries and MSysRelationships, 6 the usage-map rows of the system
// tables, 7-13 their index roots (MSysObjects 2, MSysACEs 1, MSysQueries 1, MSysRelationships 3), 14
// the first MSysObjects data page, 15 the first MSysACEs data page. An ACE file then has the TDEFs of
// its own system tables (MSysComplexColumns and the complex-type templates) on the next pages. User
// tables follow: each gets its TDEF page when it is added, data and LVAL pages as rows arrive, and
// its index, map and TDEF continuation pages when it is finished. The system tables, whose rows grow
// with every table added, are finished at close, then the global map is written last.
#include "platform/jet/new_file.h"

#include "platform/jet/catalog.h"
#include "platform/jet/clock.h"
#include "platform/jet/data_page.h"
#include "platform/jet/error.h"
#include "platform/jet/header.h"
#include "platform/jet/properties.h"
#include "platform/jet/table_request.h"
#include "platform/jet/value_codec.h"

namespace jet {

namespace {

// The fixed pages of the blank layout.
constexpr uint32_t kHeaderPage = 0;
constexpr uint32_t kGlobalMapPage = 1;
constexpr uint32_t kSystemMapPage = 6;
constexpr uint32_t kFixedPages = 16;
struct reserved_root {
  system_table table;
  uint32_t index;
  uint32_t page;
};
constexpr reserved_root kSystemRoots[] = {
    {system_table::objects, 0, 7},       {system_table::objects, 1, 8},       {system_table::aces, 0, 9},
    {system_table::queries, 0, 10},      {system_table::relationships, 0, 11}, {system_table::relationships, 1, 12},
    {system_table::relationships, 2, 13},
};
constexpr uint32_t kObjectsDataPage = 14;
constexpr uint32_t kAcesDataPage = 15;

const char* const kGivenUp = "The database could not be written and has been given up.";

}  // namespace

template <typename F>
auto new_file::guarded(F&& fn) {
  if (failed_) throw error(dao_error::io_error, kGivenUp);
  try {
    return fn();
  } catch (const error& e) {
    if (e.number() == dao_error::disk_full || e.number() == dao_error::io_error) failed_ = true;
    throw;
  }
}

std::function<bool(uint64_t)> new_file::room() {
  return [this](uint64_t n) { return file_->has_room_for(n + 8); };
}

table_writer& new_file::system_table_writer(system_table which) {
  for (auto& s : system_)
    if (s.which == which) return *s.writer;
  throw_error(dao_error::object_invalid);
}

std::unique_ptr<new_file> new_file::create(const std::string& path, const format& f, const create_options& options) {
  std::unique_ptr<new_file> db(new new_file());
  db->f_ = &f;
  db->path_ = path;
  db->now_ = options.now ? *options.now : local_now();
  db->index_sort_.destination = path;
  if (options.index_memory > 0) db->index_sort_.budget = options.index_memory;
  db->trees_ = std::make_unique<tree_budget>(options.tree_memory.value_or(default_tree_budget));
  auto header = build_header(f, options.password);  // refuses a bad password before any file exists
  db->file_ = page_file::create(path, f.page_size, f.max_file_size);
  page_file& file = *db->file_;
  for (uint32_t i = 0; i < kFixedPages; ++i) file.allocate();
  file.write(kHeaderPage, header);

  std::vector<uint32_t> extra_pages;  // TDEF pages of the system tables after the first four
  for (system_table which : system_tables(f)) {
    uint32_t page = 0;
    if (which > system_table::relationships) extra_pages.push_back(page = file.allocate());
    table_def def = system_table_def(f, which, page);
    std::vector<column_rules> rules(def.columns.size());
    auto w = std::make_unique<table_writer>(f, file, def, rules, db->room());
    w->set_engine_statistics(true);
    db->system_.push_back({which, std::move(w)});
  }
  for (const auto& r : kSystemRoots) db->system_table_writer(r.table).reserve_index_page(r.index, r.page);
  db->system_table_writer(system_table::objects).reserve_data_page(kObjectsDataPage);
  db->system_table_writer(system_table::aces).reserve_data_page(kAcesDataPage);
  for (auto& row : blank_object_rows(f, db->now_, extra_pages))
    db->system_table_writer(system_table::objects).append(std::move(row));
  for (auto& row : blank_ace_rows(f, extra_pages)) db->system_table_writer(system_table::aces).append(std::move(row));
  db->user_maps_ = std::make_unique<map_page_writer>(f, file);
  return db;
}

// Only close() writes the file: a database dropped without it (a run that stopped or failed) leaves nothing.
new_file::~new_file() { abandon(); }

const database_reader& new_file::reader() const { throw_error(dao_error::object_invalid); }

std::vector<catalog_object> new_file::objects() const {
  std::vector<catalog_object> out;
  for (size_t i = 0; i < tables_.size(); ++i) {
    catalog_object o;
    o.name = tables_[i].name;
    o.kind = object_kind::local_table;
    o.type = object_type_table;
    o.id = table(i).tdef_page;
    out.push_back(std::move(o));
  }
  return out;
}

size_t new_file::add_table(const std::wstring& name, const std::vector<column_spec>& columns,
                           const std::vector<index_spec>& indexes, const std::wstring& description) {
  if (closed_) throw_error(dao_error::object_invalid);
  const format& f = *f_;
  check_name(f, name);
  for (system_table which : system_tables(f))
    if (same_name(name, system_table_name(which))) throw_error(dao_error::table_exists, to_utf8(name));
  for (const auto& t : tables_)
    if (same_name(t.name, name)) throw_error(dao_error::table_exists, to_utf8(name));
  std::vector<column_rules> rules;
  table_def def = define_table(f, columns, indexes, rules);
  sort_ahead_of_last();
  bytes props = encode_properties(f, table_properties(columns, description));
  if (!file_->has_room_for(8)) throw_error(dao_error::invalid_argument);
  def.tdef_page = guarded([&] { return file_->allocate(); });
  user_table t;
  t.name = name;
  t.writer = std::make_unique<table_writer>(f, *file_, def, rules, room(), index_sort_);
  t.writer->prepare_trees_within(trees_.get());
  guarded([&] {
    system_table_writer(system_table::objects)
        .append(object_row(def.tdef_page, tables_container_id, name, object_type_table, now_, 0, new_object_owner(f),
                           props));
    for (auto& row : new_table_ace_rows(f, def.tdef_page))
      system_table_writer(system_table::aces).append(std::move(row));
  });
  tables_.push_back(std::move(t));
  return tables_.size() - 1;
}

size_t new_file::table_handle(const std::wstring& name) {
  for (size_t i = 0; i < tables_.size(); ++i)
    if (same_name(tables_[i].name, name)) return i;
  throw_error(dao_error::field_not_found);
}

const table_def& new_file::table(size_t handle) const {
  const auto& t = tables_.at(handle);
  return t.writer ? t.writer->def() : t.def;
}

void new_file::add_relationship(const relationship_spec&) {
  if (closed_) throw_error(dao_error::object_invalid);
  throw_error(dao_error::not_supported);
}

void new_file::add_index(const std::wstring&, const index_spec&) {
  if (closed_) throw_error(dao_error::object_invalid);
  throw_error(dao_error::not_supported);
}

void new_file::delete_index(const std::wstring&, const std::wstring&) {
  if (closed_) throw_error(dao_error::object_invalid);
  throw_error(dao_error::not_supported);
}

void new_file::delete_table(const std::wstring&) {
  if (closed_) throw_error(dao_error::object_invalid);
  throw_error(dao_error::field_not_found);  // a new file has no stored table to delete
}

table_writer& new_file::writer_for_row(size_t handle, size_t count) {
  if (closed_) throw_error(dao_error::object_invalid);
  if (handle >= tables_.size()) throw_error(dao_error::field_not_found);
  auto& t = tables_[handle];
  if (!t.writer) throw_error(dao_error::object_invalid);
  if (count > t.writer->def().columns.size()) throw_error(dao_error::field_not_found);
  if (handle != writing_) {
    sort_ahead_of_last();
    writing_ = handle;
  }
  return *t.writer;
}

// Values arrive by position; the columns of a new table are numbered by position too.
void new_file::append_row(size_t handle, const std::vector<value>& values) {
  table_writer& w = writer_for_row(handle, values.size());
  guarded([&] { w.append(values); });
}

void new_file::append_row(size_t handle, std::vector<value>&& values) {
  table_writer& w = writer_for_row(handle, values.size());
  guarded([&] { w.append(std::move(values)); });
}

void new_file::sort_ahead_of_last() {
  if (writing_ >= tables_.size()) return;
  if (auto& w = tables_[writing_].writer) w->sort_ahead();
  writing_ = SIZE_MAX;
}

void new_file::finish_table(size_t handle) {
  auto& t = tables_.at(handle);
  if (!t.writer) return;
  guarded([&] {
    try {
      t.writer->finish(*user_maps_);
    } catch (...) {
      // A table half finished (trees partly built, entries released) cannot be finished again.
      failed_ = true;
      throw;
    }
  });
  t.def = t.writer->def();
  trees_built_ahead_ += t.writer->trees_built_ahead();
  t.writer.reset();
}

void new_file::close() {
  if (closed_) return;
  try {
    if (failed_) throw error(dao_error::io_error, kGivenUp);
    for (size_t i = 0; i < tables_.size(); ++i) finish_table(i);
    user_maps_->flush();
    const format& f = *f_;
    page_file& file = *file_;
    reserved_allocator map_alloc(file, {kSystemMapPage});
    map_page_writer system_maps(f, map_alloc);
    for (auto& s : system_) s.writer->finish(system_maps);
    system_maps.flush();

    // Page 1: the global map (row 0: set bits = free pages) and an all-zero second map row.
    std::vector<uint32_t> bitmap_pages;
    auto row0 = build_global_map_row(f, file, file, bitmap_pages);
    std::vector<uint8_t> row1(f.global_map_row1_bytes, 0);
    data_page_builder page1(f, kGlobalMapPage);
    page1.add(row0);
    page1.add(row1);
    file.write(kGlobalMapPage, page1.bytes());
    file.commit();
    closed_ = true;
  } catch (...) {
    abandon();
    throw;
  }
}

void new_file::abandon() {
  if (closed_) return;
  if (file_) file_->abandon();
  closed_ = true;
}

}  // namespace jet
