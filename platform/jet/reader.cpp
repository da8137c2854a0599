// Database reader.
#include "platform/jet/reader.h"

#include <algorithm>
#include <cwctype>
#include <fcntl.h>
#include <unistd.h>

#include "platform/jet/byte_order.h"
#include "platform/jet/catalog.h"
#include "platform/jet/data_page.h"
#include "platform/jet/error.h"
#include "platform/jet/page_file.h"
#include "platform/jet/row_reader.h"
#include "platform/jet/tdef_reader.h"
#include "platform/jet/usage_map.h"
#include "platform/jet/value_codec.h"

namespace jet {

bool is_system_table(const std::wstring& name, uint32_t flags) {
  if ((flags & (object_flag::system | object_flag::hidden_system)) != 0) return true;
  static const wchar_t prefix[] = L"MSYS";
  if (name.size() < 4) return false;
  for (size_t i = 0; i < 4; ++i)
    if (std::towupper(wint_t(name[i])) != wint_t(prefix[i])) return false;
  return true;
}

bool catalog_entry::is_table() const { return type == object_type_table && parent_id == tables_container_id; }

int64_t catalog_number(const value& v) {
  switch (v.kind_of()) {
    case value::kind::boolean: return v.as_bool() ? 1 : 0;
    case value::kind::byte: return v.as_byte();
    case value::kind::integer: return v.as_integer();
    case value::kind::long_integer: return v.as_long();
    case value::kind::big_integer: return v.as_big();
    case value::kind::binary: {
      int64_t n = 0;
      const bytes& b = v.as_binary();
      for (size_t i = std::min<size_t>(b.size(), 8); i-- > 0;) n = (n << 8) | b[i];
      return n;
    }
    default: return 0;
  }
}

std::wstring catalog_text(const value& v) { return v.kind_of() == value::kind::text ? v.as_text() : std::wstring(); }

database_reader::~database_reader() = default;

std::unique_ptr<database_reader> database_reader::open(const std::string& path) {
  header_info h;
  {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      if (errno == ENOENT) throw error(dao_error::not_valid_path, "Could not find file '" + path + "'.");
      throw error(dao_error::cannot_open, error_text(dao_error::cannot_open, path));
    }
    try {
      h = sniff_file(fd, path);
    } catch (...) {
      ::close(fd);
      throw;
    }
    ::close(fd);
  }
  // A sort version we have no collation for does not stop reading (only index keys depend on it).
  const format* f = h.fmt ? h.fmt : format::for_version_byte(h.version);
  std::unique_ptr<database_reader> db(new database_reader());
  db->f_ = f;
  db->path_ = path;
  db->header_ = h;
  if (db->header_.db_key != 0)
    throw error(dao_error::unrecognized_format, "Unrecognized database format '" + path + "' (the file is encrypted).");
  db->src_ = page_file::open(path, f->page_size);
  if (db->src_->page_count() < 3) throw_corrupt("the file is too short");

  // The catalog.
  table_def objects = read_tdef(*f, *db->src_, msysobjects_tdef_page);
  auto col = [&](const wchar_t* name) -> int {
    const column_def* c = objects.find_column(name);
    return c ? c->number : -1;
  };
  int c_id = col(L"Id"), c_parent = col(L"ParentId"), c_name = col(L"Name"), c_type = col(L"Type"),
      c_flags = col(L"Flags"), c_owner = col(L"Owner"), c_prop = col(L"LvProp"), c_dc = col(L"DateCreate"),
      c_du = col(L"DateUpdate"), c_connect = col(L"Connect"), c_foreign = col(L"ForeignName");
  if (c_id < 0 || c_parent < 0 || c_name < 0 || c_type < 0) throw_corrupt("MSysObjects lacks its columns");
  auto cursor = db->rows(objects);
  std::vector<value> row;
  while (cursor.next(row)) {
    catalog_entry e;
    auto get = [&](int c) -> const value& {
      static const value null_value;
      return c >= 0 && size_t(c) < row.size() ? row[size_t(c)] : null_value;
    };
    auto binary = [&](int c) { return get(c).kind_of() == value::kind::binary ? get(c).as_binary() : bytes(); };
    auto date = [&](int c) { return get(c).kind_of() == value::kind::datetime ? get(c).as_datetime().days : 0.0; };
    e.id = uint32_t(catalog_number(get(c_id)));
    e.parent_id = uint32_t(catalog_number(get(c_parent)));
    e.name = catalog_text(get(c_name));
    e.type = int16_t(catalog_number(get(c_type)));
    e.flags = uint32_t(catalog_number(get(c_flags)));
    e.owner = binary(c_owner);
    e.lv_prop = binary(c_prop);
    e.date_create = date(c_dc);
    e.date_update = date(c_du);
    e.connect = catalog_text(get(c_connect));
    e.foreign_name = catalog_text(get(c_foreign));
    db->objects_.push_back(std::move(e));
  }
  return db;
}

std::vector<std::wstring> database_reader::table_names(bool include_system) const {
  std::vector<std::wstring> out;
  for (const auto& e : objects_)
    if (e.is_table() && (include_system || !e.is_system())) out.push_back(e.name);
  return out;
}

const catalog_entry* database_reader::find_table(const std::wstring& name) const {
  for (const auto& e : objects_)
    if (e.is_table() && same_name(e.name, name)) return &e;
  return nullptr;
}

table_def database_reader::table(const std::wstring& name) const {
  const catalog_entry* e = find_table(name);
  if (!e) throw error(dao_error::field_not_found, "The table '" + to_utf8(name) + "' does not exist.");
  return table_at(e->id);
}

table_def database_reader::table_at(uint32_t tdef_page) const { return read_tdef(*f_, *src_, tdef_page); }

property_blob database_reader::properties(const std::wstring& name) const {
  const catalog_entry* e = find_table(name);
  if (!e || e->lv_prop.empty()) return {};
  return decode_properties(*f_, e->lv_prop);
}

std::vector<uint32_t> database_reader::data_pages(const table_def& t) const {
  auto map_row = row_bytes(t.owned_map);
  std::vector<uint32_t> pages = read_usage_map(*f_, map_row, *src_);
  std::vector<uint32_t> out;
  for (uint32_t p : pages) {
    if (p >= src_->page_count()) continue;
    auto bytes = src_->read(p);
    if (bytes[0] == page_type::data && get_u32(bytes.data() + f_->data_owner_offset) == t.tdef_page) out.push_back(p);
  }
  return out;
}

std::vector<uint8_t> database_reader::row_bytes(uint32_t rp) const {
  for (int hop = 0; hop < 4; ++hop) {
    uint32_t page = row_pointer_page(rp);
    if (page == 0 || page >= src_->page_count())
      throw_corrupt("row pointer to page " + std::to_string(page));
    auto bytes = src_->read(page);
    auto info = read_data_page(*f_, bytes, page);
    uint32_t row = row_pointer_row(rp);
    if (row >= info.rows.size()) throw_corrupt("row " + std::to_string(row) + " missing on page " + std::to_string(page));
    const row_slot& s = info.rows[row];
    if (s.overflow) {
      if (s.length < 4) throw_corrupt("short overflow pointer");
      rp = get_u32(bytes.data() + s.offset);
      continue;
    }
    return std::vector<uint8_t>(bytes.begin() + s.offset, bytes.begin() + s.offset + s.length);
  }
  throw_corrupt("overflow chain too long");
}

database_reader::row_cursor::row_cursor(const database_reader& db, table_def t) : db_(db), t_(std::move(t)) {
  pages_ = db_.data_pages(t_);
}

bool database_reader::row_cursor::next(std::vector<value>& row) {
  const format& f = *db_.f_;
  auto read_page = [&](uint32_t p) { return db_.src_->read(p); };
  while (true) {
    if (!loaded_ || row_index_ >= rows_on_page_) {
      if (page_index_ >= pages_.size()) return false;
      page_number_ = pages_[page_index_++];
      page_ = db_.src_->read(page_number_);
      slots_ = read_data_page(f, page_, page_number_).rows;
      rows_on_page_ = slots_.size();
      row_index_ = 0;
      loaded_ = true;
      continue;  // the page may hold no rows
    }
    const row_slot& s = slots_[row_index_];
    uint32_t number = uint32_t(row_index_++);
    if (s.deleted) continue;
    uint32_t rp = make_row_pointer(page_number_, uint8_t(number));
    if (s.overflow) {
      auto bytes = db_.row_bytes(rp);
      row = read_row(f, t_, bytes, read_page);
    } else {
      row = read_row(f, t_, std::span<const uint8_t>(page_).subspan(s.offset, s.length), read_page);
    }
    last_ = rp;
    return true;
  }
}

std::vector<std::vector<value>> database_reader::read_all(const std::wstring& name) const {
  auto cursor = rows(table(name));
  std::vector<std::vector<value>> out;
  std::vector<value> row;
  while (cursor.next(row)) out.push_back(row);
  return out;
}

}  // namespace jet
