// The database writer.
//
// Page layout of a new file (that of the engine's own blank database): 0 header, 1 global usage
// map, 2-5 the TDEFs of MSysObjects, MSysACEs, MSysQueries and MSysRelationships, 6 the usage-map
// rows of the system tables, 7-13 their index roots (MSysObjects 2, MSysACEs 1, MSysQueries 1,
// MSysRelationships 3), 14 the first MSysObjects data page, 15 the first MSysACEs data page. User
// tables follow: each gets its TDEF page when it is added, data and LVAL pages as rows arrive, and
// its index, map and TDEF continuation pages when it is finished. The system tables, whose rows grow
// with every table added, are finished at close, then the global map is written last.
#include "platform/jet/database.h"

#include <ctime>
#include <sys/time.h>

#include "platform/jet/catalog.h"
#include "platform/jet/data_page.h"
#include "platform/jet/error.h"
#include "platform/jet/existing_file.h"
#include "platform/jet/header.h"
#include "platform/jet/index_key.h"
#include "platform/jet/page_file.h"
#include "platform/jet/properties.h"
#include "platform/jet/table_request.h"
#include "platform/jet/table_writer.h"
#include "platform/jet/usage_map.h"
#include "platform/jet/value_codec.h"

namespace jet {

namespace {


double local_now() {
  struct timeval tv;
  ::gettimeofday(&tv, nullptr);
  time_t secs = tv.tv_sec;
  struct tm lt;
  ::localtime_r(&secs, &lt);
  // Local wall-clock time as a day count since 1899-12-30 (25569 days before 1970-01-01).
  double seconds = double(secs) + double(lt.tm_gmtoff) + double(tv.tv_usec) / 1e6;
  return 25569.0 + seconds / 86400.0;
}

}  // namespace

void check_name(const format& f, const std::wstring& name) {
  bool ok = !name.empty() && name.size() <= f.max_name_length && name[0] != L' ';
  for (wchar_t c : name)
    if (c < 0x20 || c == L'.' || c == L'!' || c == L'`' || c == L'[' || c == L']') ok = false;
  if (!ok) throw_error(dao_error::invalid_name, to_utf8(name));
}

struct database::impl {
  const format* f = nullptr;
  std::string path;
  std::unique_ptr<page_file> file;
  double now = 0;
  std::unique_ptr<table_writer> system[4];
  struct user_table {
    std::wstring name;
    std::unique_ptr<table_writer> writer;
    table_def def;  // the definition after finishing (the writer is released)
  };
  std::vector<user_table> tables;
  std::unique_ptr<existing_file> existing;  // set when an existing file was opened
  std::unique_ptr<map_page_writer> user_maps;
  bool closed = false;
  bool failed = false;  // a write failed: the file can no longer be completed

  // Runs `fn`; a failed write marks the database failed (it will be dropped, never renamed into place).
  template <typename F>
  auto guarded(F&& fn) {
    if (failed) throw error(dao_error::io_error, "The database could not be written and has been given up.");
    try {
      return fn();
    } catch (const error& e) {
      if (e.number() == dao_error::disk_full || e.number() == dao_error::io_error) failed = true;
      throw;
    }
  }

  table_writer& objects() { return *system[0]; }
  table_writer& aces() { return *system[1]; }
  std::function<bool(uint64_t)> room() {
    return [this](uint64_t n) { return file->has_room_for(n + 8); };
  }
};

database::database(std::unique_ptr<impl> p) : p_(std::move(p)) {}

database::~database() {
  if (!p_ || p_->closed) return;
  try {
    close();
  } catch (...) {
    abandon();
  }
}

const format& database::fmt() const { return *p_->f; }
const std::string& database::path() const { return p_->path; }
uint64_t database::bytes_written() const {
  if (p_->existing) return p_->existing->bytes_written();
  return p_->file ? p_->file->bytes_written() : 0;
}

std::unique_ptr<database> database::open(const std::string& path, const open_options& options) {
  auto p = std::make_unique<impl>();
  p->now = local_now();
  p->existing = existing_file::open(path, options, p->now);
  p->f = &p->existing->fmt();
  p->path = path;
  return std::unique_ptr<database>(new database(std::move(p)));
}

bool database::read_only() const { return p_->existing && p_->existing->read_only(); }

const database_reader& database::reader() const {
  if (!p_->existing || p_->closed) throw_error(dao_error::object_invalid);
  return p_->existing->reader();
}

std::vector<catalog_object> database::objects() const {
  if (p_->existing) return list_objects(reader());
  std::vector<catalog_object> out;
  for (size_t i = 0; i < p_->tables.size(); ++i) {
    catalog_object o;
    o.name = p_->tables[i].name;
    o.kind = object_kind::local_table;
    o.type = object_type_table;
    o.id = table(i).tdef_page;
    out.push_back(std::move(o));
  }
  return out;
}

std::vector<stored_query> database::queries() const {
  if (p_->existing) return list_queries(reader());
  return {};
}

std::vector<relationship> database::relationships() const {
  if (p_->existing) return list_relationships(reader());
  return {};
}

std::unique_ptr<database> database::create(const std::string& path, generation gen, const create_options& options) {
  if (gen != generation::jet4)
    throw error(dao_error::unrecognized_format,
                "Unrecognized database format '" + path + "' (only Access 2000 databases can be created).");
  const format& f = format::jet4();
  auto p = std::make_unique<impl>();
  p->f = &f;
  p->path = path;
  p->now = options.now ? *options.now : local_now();
  auto header = build_header(f, options.password);  // refuses a bad password before any file exists
  p->file = page_file::create(path, f.page_size, f.max_file_size);
  page_file& file = *p->file;
  for (int i = 0; i < 16; ++i) file.allocate();
  file.write(0, header);

  const system_table which[4] = {system_table::objects, system_table::aces, system_table::queries,
                                 system_table::relationships};
  for (int i = 0; i < 4; ++i) {
    table_def def = system_table_def(f, which[i]);
    std::vector<column_rules> rules(def.columns.size());
    p->system[i] = std::make_unique<table_writer>(f, file, def, rules, p->room());
    p->system[i]->set_engine_statistics(true);
  }
  // Index roots 7-13 and the first data pages 14, 15, as in the engine's blank.
  p->system[0]->reserve_index_page(0, 7);
  p->system[0]->reserve_index_page(1, 8);
  p->system[1]->reserve_index_page(0, 9);
  p->system[2]->reserve_index_page(0, 10);
  p->system[3]->reserve_index_page(0, 11);
  p->system[3]->reserve_index_page(1, 12);
  p->system[3]->reserve_index_page(2, 13);
  p->system[0]->reserve_data_page(14);
  p->system[1]->reserve_data_page(15);
  for (auto& row : blank_object_rows(f, p->now)) p->objects().append(std::move(row));
  for (auto& row : blank_ace_rows(f)) p->aces().append(std::move(row));
  p->user_maps = std::make_unique<map_page_writer>(f, file);
  return std::unique_ptr<database>(new database(std::move(p)));
}

// Builds the definition of a new user table from its specification (validated here).
table_def define_table(const format& f, const std::vector<column_spec>& columns, const std::vector<index_spec>& indexes,
                       std::vector<column_rules>& rules) {
  if (columns.empty()) throw_error(dao_error::no_fields);
  if (columns.size() > f.max_columns) throw_error(dao_error::too_many_fields);
  table_def t;
  uint16_t fixed_offset = 0, var_count = 0;
  bool has_autonumber = false;
  for (size_t i = 0; i < columns.size(); ++i) {
    const column_spec& s = columns[i];
    check_name(f, s.name);
    for (size_t j = 0; j < i; ++j)
      if (same_name(columns[j].name, s.name)) throw_error(dao_error::duplicate_field);
    column_def c;
    c.name = s.name;
    c.type = s.type;
    c.number = uint16_t(i);
    c.ordinal = uint16_t(i);
    c.sort_order = f.sort_order_id;
    c.sort_version = f.sort_version;
    switch (s.type) {
      case column_type::boolean: case column_type::byte: case column_type::integer: case column_type::long_integer:
      case column_type::currency: case column_type::single: case column_type::double_: case column_type::datetime:
      case column_type::guid: case column_type::decimal:
        c.flags = column_flag::fixed | column_flag::updatable;
        c.length = s.type == column_type::boolean ? 1 : uint16_t(fixed_type_size(s.type));
        break;
      case column_type::text:
        if (s.size > f.max_text_chars) throw_error(dao_error::invalid_field_type);
        c.flags = column_flag::updatable;
        c.length = uint16_t((s.size ? s.size : f.max_text_chars) * (f.unicode_text ? 2 : 1));
        break;
      case column_type::binary:
        if (s.size > f.max_binary_bytes) throw_error(dao_error::invalid_field_type);
        c.flags = column_flag::updatable;
        c.length = uint16_t(s.size ? s.size : f.max_binary_bytes);
        break;
      case column_type::memo: case column_type::ole:
        c.flags = column_flag::updatable;
        c.length = 0;
        break;
      default:
        throw_error(dao_error::invalid_field_type);
    }
    if (s.type == column_type::decimal) {
      if (s.precision < 1 || s.precision > 28 || s.scale > s.precision) throw_error(dao_error::invalid_field_type);
      c.precision = s.precision;
      c.scale = s.scale;
    }
    if (s.autonumber) {
      if (s.type != column_type::long_integer || has_autonumber) throw_error(dao_error::invalid_field_type);
      has_autonumber = true;
      c.flags |= column_flag::autonumber;
    }
    if (is_text_type(s.type) && s.compressed_unicode && f.unicode_text) c.ext_flags = column_ext_flag::compressed_unicode;
    if (c.is_fixed()) {
      c.fixed_offset = fixed_offset;
      c.var_index = var_count;
      fixed_offset = uint16_t(fixed_offset + fixed_type_size(s.type));
    } else {
      c.var_index = var_count++;
    }
    column_rules r;
    r.required = s.required && s.type != column_type::boolean;
    r.allow_zero_length = s.allow_zero_length || !is_text_type(s.type);
    rules.push_back(r);
    t.columns.push_back(c);
  }
  t.max_columns = uint16_t(columns.size());

  if (indexes.size() > f.max_indexes) throw_error(dao_error::too_many_indexes);
  bool has_primary = false;
  for (size_t i = 0; i < indexes.size(); ++i) {
    const index_spec& s = indexes[i];
    check_name(f, s.name);
    for (size_t j = 0; j < i; ++j)
      if (same_name(indexes[j].name, s.name)) throw_error(dao_error::index_exists);
    if (s.primary) {
      if (has_primary) throw_error(dao_error::primary_key_exists);
      has_primary = true;
    }
    if (s.fields.empty()) throw_error(dao_error::no_fields);
    if (s.fields.size() > f.max_index_columns) throw_error(dao_error::too_many_index_fields, to_utf8(s.name));
    index_def ix;
    for (const auto& fld : s.fields) {
      const column_def* c = t.find_column(fld.column);
      if (!c) throw_error(dao_error::field_not_found);
      // Jet 4 cannot index memo and OLE fields.
      if (is_long_value_type(c->type) || !is_indexable_column(f, *c)) throw_error(dao_error::invalid_field_type);
      for (const auto& other : ix.columns)
        if (other.column_number == c->number) throw_error(dao_error::duplicate_field);
      ix.columns.push_back({c->number, fld.ascending});
    }
    ix.flags = index_flag::jet4_always;
    if (s.primary || s.unique) ix.flags |= index_flag::unique;
    if (s.primary || s.required) ix.flags |= index_flag::required;
    if (s.ignore_nulls && !s.primary) ix.flags |= index_flag::ignore_nulls;
    t.indexes.push_back(ix);
    logical_index_def li;
    li.name = s.name;
    li.number = uint32_t(i);
    li.physical = uint32_t(i);
    li.type = s.primary ? logical_index_type::primary_key : logical_index_type::other;
    t.logical_indexes.push_back(li);
  }
  return t;
}

property_blob table_properties(const std::vector<column_spec>& columns, const std::wstring& description) {
  property_blob blob;
  if (!description.empty()) blob.object.items.push_back({L"Description", column_type::text, true, value::text(description)});
  for (const auto& s : columns) {
    property_set ps;
    ps.name = s.name;
    if (!s.default_value.empty())
      ps.items.push_back({L"DefaultValue", column_type::memo, true, value::text(s.default_value)});
    ps.items.push_back({L"Required", column_type::boolean, true, value::boolean(s.required)});
    if (is_text_type(s.type))
      ps.items.push_back({L"AllowZeroLength", column_type::boolean, true, value::boolean(s.allow_zero_length)});
    if (!s.format_text.empty()) ps.items.push_back({L"Format", column_type::text, true, value::text(s.format_text)});
    if (!s.description.empty()) ps.items.push_back({L"Description", column_type::text, true, value::text(s.description)});
    blob.columns.push_back(std::move(ps));
  }
  return blob;
}

size_t database::add_table(const std::wstring& name, const std::vector<column_spec>& columns,
                           const std::vector<index_spec>& indexes, const std::wstring& description) {
  if (p_->closed) throw_error(dao_error::object_invalid);
  if (p_->existing) return p_->existing->add_table(name, columns, indexes, description);
  const format& f = *p_->f;
  check_name(f, name);
  const system_table which[4] = {system_table::objects, system_table::aces, system_table::queries,
                                 system_table::relationships};
  for (auto w : which)
    if (same_name(name, system_table_name(w))) throw_error(dao_error::table_exists, to_utf8(name));
  for (const auto& t : p_->tables)
    if (same_name(t.name, name)) throw_error(dao_error::table_exists, to_utf8(name));
  std::vector<column_rules> rules;
  table_def def = define_table(f, columns, indexes, rules);
  bytes props = encode_properties(f, table_properties(columns, description));
  if (!p_->file->has_room_for(8)) throw_error(dao_error::invalid_argument);
  def.tdef_page = p_->guarded([&] { return p_->file->allocate(); });
  impl::user_table t;
  t.name = name;
  t.writer = std::make_unique<table_writer>(f, *p_->file, def, rules, p_->room());
  p_->guarded([&] {
    p_->objects().append(object_row(def.tdef_page, tables_container_id, name, object_type_table, p_->now, 0,
                                    new_object_owner(f), props));
    for (auto& row : new_table_ace_rows(f, def.tdef_page)) p_->aces().append(std::move(row));
  });
  p_->tables.push_back(std::move(t));
  return p_->tables.size() - 1;
}

size_t database::table_handle(const std::wstring& name) const {
  if (p_->existing) return p_->existing->table_handle(name);
  for (size_t i = 0; i < p_->tables.size(); ++i)
    if (same_name(p_->tables[i].name, name)) return i;
  throw_error(dao_error::field_not_found);
}

const table_def& database::table(size_t handle) const {
  if (p_->existing) return p_->existing->table(handle);
  const auto& t = p_->tables.at(handle);
  return t.writer ? t.writer->def() : t.def;
}

uint32_t database::row_count(size_t handle) const {
  if (p_->existing) return p_->existing->row_count(handle);
  return table(handle).row_count;
}

void database::add_relationship(const relationship_spec& r) {
  if (p_->closed) throw_error(dao_error::object_invalid);
  if (!p_->existing) throw_error(dao_error::not_supported);
  p_->existing->add_relationship(r);
}

void database::delete_table(const std::wstring& name) {
  if (p_->closed) throw_error(dao_error::object_invalid);
  if (!p_->existing) throw_error(dao_error::field_not_found);  // a new file has no table to delete yet
  p_->existing->delete_table(name);
}

void database::append_row(size_t handle, const std::vector<value>& values) {
  if (p_->closed) throw_error(dao_error::object_invalid);
  if (p_->existing) return p_->existing->append_row(handle, values);
  if (handle >= p_->tables.size()) throw_error(dao_error::field_not_found);
  auto& t = p_->tables[handle];
  if (!t.writer) throw_error(dao_error::object_invalid);
  const table_def& def = t.writer->def();
  if (values.size() > def.columns.size()) throw_error(dao_error::field_not_found);
  // Values arrive by position; the columns of a new table are numbered by position too.
  p_->guarded([&] { t.writer->append(values); });
}

void database::finish_table(size_t handle) {
  if (p_->existing) return p_->existing->finish_table(handle);
  auto& t = p_->tables.at(handle);
  if (!t.writer) return;
  p_->guarded([&] {
    try {
      t.writer->finish(*p_->user_maps);
    } catch (...) {
      // A table half finished (trees partly built, entries released) cannot be finished again.
      p_->failed = true;
      throw;
    }
  });
  t.def = t.writer->def();
  t.writer.reset();
}

void database::close() {
  if (!p_ || p_->closed) return;
  if (p_->existing) {
    p_->closed = true;
    p_->existing->close();
    return;
  }
  try {
    if (p_->failed) throw error(dao_error::io_error, "The database could not be written and has been given up.");
    for (size_t i = 0; i < p_->tables.size(); ++i) finish_table(i);
    p_->user_maps->flush();
    const format& f = *p_->f;
    page_file& file = *p_->file;
    reserved_allocator map_alloc(file, {6});
    map_page_writer system_maps(f, map_alloc);
    for (auto& s : p_->system) s->finish(system_maps);
    system_maps.flush();

    // Page 1: the global map (row 0: set bits = free pages) and an all-zero second map row.
    std::vector<uint32_t> bitmap_pages;
    auto row0 = build_global_map_row(f, file, file, bitmap_pages);
    std::vector<uint8_t> row1(f.global_map_row1_bytes, 0);
    data_page_builder page1(f, 1);
    page1.add(row0);
    page1.add(row1);
    file.write(1, page1.bytes());
    file.commit();
    p_->closed = true;
  } catch (...) {
    abandon();
    throw;
  }
}

void database::abandon() {
  if (!p_ || p_->closed) return;
  if (p_->existing) {
    p_->existing->abandon();
    p_->closed = true;
    return;
  }
  if (p_->file) p_->file->abandon();
  p_->closed = true;
}

}  // namespace jet
