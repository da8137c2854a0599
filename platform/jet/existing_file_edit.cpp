// Changes to an existing database: new tables, rows appended to existing tables, deleted tables.
//
// Rows appended to a table keep its stored rows and long values where they are (see start_appending);
// every other change rewrites what it touches as a whole, the way the writer builds a new table: the rows
// of the table (old ones streamed from the file, then the new ones) go through a table writer that
// builds fresh data pages, long values, index trees, usage maps and the TDEF (on the table's own
// TDEF page, so its catalog Id stays); the pages the table owned before are given back. System
// tables are rewritten the same way when catalog rows are added or removed, which keeps their
// indexes complete. Pages given back by one change are reused by the next ones; the global usage
// map is written at close.
#include <algorithm>
#include <cwctype>
#include <exception>
#include <set>
#include <sys/file.h>
#include <system_error>
#include <thread>

#include "platform/jet/byte_order.h"
#include "platform/jet/catalog.h"
#include "platform/jet/data_page.h"
#include "platform/jet/error.h"
#include "platform/jet/existing_file.h"
#include "platform/jet/global_map.h"
#include "platform/jet/index_key.h"
#include "platform/jet/index_scan.h"
#include "platform/jet/properties.h"
#include "platform/jet/table_pages.h"
#include "platform/jet/table_request.h"
#include "platform/jet/table_writer.h"
#include "platform/jet/tdef_reader.h"
#include "platform/jet/value_codec.h"
#include "platform/jet/verifier.h"

namespace jet {


// Hands out pages given back by earlier changes first (lowest first), then new pages at the end.
class existing_file::recycler : public page_allocator {
 public:
  explicit recycler(working_copy& file) : file_(file) {}
  uint32_t allocate() override {
    if (!reusable_.empty()) {
      uint32_t p = *reusable_.begin();
      reusable_.erase(reusable_.begin());
      reused_.insert(p);
      return p;
    }
    return file_.allocate();
  }
  void write(uint32_t page, std::span<const uint8_t> bytes) override { file_.write(page, bytes); }
  std::set<uint32_t> reusable_;
  std::set<uint32_t> reused_;  // pages handed out again: what they hold now was written in this session

 private:
  working_copy& file_;
};

// New pages at the end of the file only.
class existing_file::end_pages : public page_allocator {
 public:
  explicit end_pages(working_copy& file) : file_(file) {}
  uint32_t allocate() override { return file_.allocate(); }
  void write(uint32_t page, std::span<const uint8_t> bytes) override { file_.write(page, bytes); }

 private:
  working_copy& file_;
};

// Whether each index tree of a table reads back whole, and the pages the table owns.
struct existing_file::table_survey {
  std::vector<uint8_t> sound;  // by physical index
  table_pages pages;
};

// The working copy and the survey of the table rows are coming for, made on another thread.
struct existing_file::preparation {
  std::thread worker;
  std::unique_ptr<working_copy> copy;
  std::exception_ptr failure;  // what stopped the copy
  uint32_t tdef_page = 0;
  std::unique_ptr<table_survey> survey;
};

namespace {

// The trees of a large table are checked on other cores while its pages are listed.
void survey_table(const format& f, const page_source& copy, const table_def& def, uint32_t tdef_page,
                  std::vector<uint8_t>& sound, table_pages& pages) {
  sound.assign(def.indexes.size(), 0);
  auto check_tree = [&](size_t i) {
    try {
      const index_def& ix = def.indexes[i];
      sound[i] = ix.root_page != 0 && check_index_tree(f, copy, ix.root_page, tdef_page).problems.empty();
    } catch (...) {
      sound[i] = 0;  // unreadable: the table is rewritten whole
    }
  };
  std::vector<std::thread> checks;
  for (size_t i = 0; i < def.indexes.size(); ++i) {
    if (def.row_count < 1000) {
      check_tree(i);
      continue;
    }
    try {
      checks.emplace_back(check_tree, i);
    } catch (const std::system_error&) {
      check_tree(i);  // no thread to be had
    }
  }
  try {
    pages = pages_of_table(f, copy, tdef_page);
  } catch (...) {
    for (auto& c : checks) c.join();
    throw;
  }
  for (auto& c : checks) c.join();
}

}  // namespace

struct existing_file::open_table {
  std::wstring name;
  uint32_t tdef_page = 0;
  table_def def;                          // as written last
  std::unique_ptr<table_writer> writer;   // while rows are being added
  std::vector<bool> required;             // by column number: Required property
  std::vector<bool> no_zero_length;       // by column number: AllowZeroLength false
  std::vector<uint16_t> ruled;            // numbers of the columns with either rule
  table_pages old_pages;                  // what the table owned before the writer took it over
  std::unique_ptr<end_pages> new_rows;    // where rows appended in place go
};

existing_file::existing_file() = default;

existing_file::~existing_file() {
  if (!closed_) abandon();
  drop_preparation();
  release_lock();
}

void existing_file::prepare_appending(size_t handle) {
  if (closed_ || options_.read_only || failed_ || copy_ || preparation_ || !change_refusal_.empty()) return;
  if (handle >= tables_.size() || tables_[handle]->name.empty() || tables_[handle]->writer) return;
  const catalog_entry* entry = reader_->find_table(tables_[handle]->name);
  if (!entry || entry->is_system()) return;  // refused at the first row, before any copy
  auto p = std::make_unique<preparation>();
  p->tdef_page = tables_[handle]->tdef_page;
  // The original cannot change meanwhile: this session's lock keeps every other writer out. The table is
  // surveyed while the copy is made (the copy reads what it has not copied yet from the original).
  const format* f = &fmt();
  try {
    p->worker = std::thread([p = p.get(), f, path = path_] {
      try {
        p->copy = working_copy::start(path, f->page_size, f->max_file_size);
      } catch (...) {
        p->failure = std::current_exception();  // the first change meets it, as it would have made the copy
        return;
      }
      try {
        auto survey = std::make_unique<table_survey>();
        survey_table(*f, *p->copy, read_tdef(*f, *p->copy, p->tdef_page), p->tdef_page, survey->sound, survey->pages);
        p->survey = std::move(survey);
      } catch (...) {
        // The first row surveys the table again and meets the problem there.
      }
    });
  } catch (const std::system_error&) {
    return;  // no thread to be had: the copy is made at the first change
  }
  preparation_ = std::move(p);
}

std::unique_ptr<working_copy> existing_file::take_prepared_copy() {
  if (!preparation_) return nullptr;
  std::unique_ptr<preparation> p = std::move(preparation_);
  if (p->worker.joinable()) p->worker.join();
  if (p->failure) std::rethrow_exception(p->failure);
  prepared_survey_ = std::move(p->survey);
  prepared_survey_tdef_ = p->tdef_page;
  return std::move(p->copy);
}

void existing_file::drop_preparation() {
  if (!preparation_) return;
  if (preparation_->worker.joinable()) preparation_->worker.join();
  preparation_.reset();  // deletes a copy no change has used
}

void existing_file::check_writable() {
  if (closed_) throw_error(dao_error::object_invalid);
  if (options_.read_only)
    throw error(dao_error::cannot_open, "Cannot update. Database or object is read-only ('" + path_ + "').");
  if (failed_) throw error(dao_error::io_error, "The database could not be written and its changes have been given up.");
}

void existing_file::begin_changes() {
  check_writable();
  if (copy_) return;
  if (!exclusive_locked_) {
    if (::flock(lock_fd_, LOCK_EX | LOCK_NB) != 0) throw_error(dao_error::file_in_use, path_);
    exclusive_locked_ = true;
  }
  // New pages go where a damaged file's surviving indexes or maps may still point, and pages given back are
  // those its maps name: a change could only make the damage worse. The original is checked once, while a
  // working copy prepared ahead is still being made.
  if (!structure_checked_) {
    std::vector<std::string> problems = check_structure(*reader_);
    if (!problems.empty()) damage_ = problems.front();
    structure_checked_ = true;
  }
  if (!damage_.empty())
    throw error(dao_error::corrupt, "The database '" + path_ + "' is damaged and cannot be changed: " + damage_ +
                                        (damage_.back() == '.' ? "" : "."));
  const format& f = fmt();
  copy_ = take_prepared_copy();
  if (!copy_) copy_ = working_copy::start(path_, f.page_size, f.max_file_size);
  alloc_ = std::make_unique<recycler>(*copy_);
  original_pages_ = copy_->page_count();
  auto g = read_global_free(f, *copy_);
  original_free_ = std::move(g.free);
  global_bitmaps_ = std::move(g.bitmap_pages);
  // The reader stays on the original, the same bytes, while the copy may still be under way: rows are
  // appended to new pages meanwhile. Every other change reads the copy (`change`), and so does everything
  // after a table is finished.
}

void existing_file::reopen_reader() {
  copy_->sync_length();
  reader_ = database_reader::open(copy_->temp_path());
  reader_on_original_ = false;
  stored_defs_.clear();
  objects_.reset();
  relationships_.reset();
}

const table_def& existing_file::stored_def(uint32_t tdef_page) {
  auto it = stored_defs_.find(tdef_page);
  if (it == stored_defs_.end()) it = stored_defs_.emplace(tdef_page, reader_->table_at(tdef_page)).first;
  return it->second;
}

void existing_file::change(const std::function<void()>& fn) {
  begin_changes();
  if (reader_on_original_) {
    try {
      reopen_reader();  // once the copy is complete
    } catch (...) {
      failed_ = true;  // no copy to change
      throw;
    }
  }
  try {
    fn();
    modified_ = true;
    reopen_reader();
  } catch (const error&) {
    // A refusal found before anything was written leaves the session usable; anything else may have
    // left the copy half-changed: it is given up, and the original stays as it was.
    if (written_in_change_) failed_ = true;
    written_in_change_ = false;
    throw;
  } catch (...) {
    failed_ = true;
    throw;
  }
  written_in_change_ = false;
}

void existing_file::give_back(const table_pages& pages, bool with_definition) {
  for (uint32_t p : pages.pages) alloc_->reusable_.insert(p);
  if (with_definition)
    for (uint32_t p : pages.definition) alloc_->reusable_.insert(p);
  else
    for (size_t i = 1; i < pages.definition.size(); ++i) alloc_->reusable_.insert(pages.definition[i]);
  // A map page whose rows all belonged to given-back maps is free too.
  for (uint32_t rp : pages.map_rows) released_map_rows_[row_pointer_page(rp)].insert(uint8_t(rp & 0xFF));
  for (auto it = released_map_rows_.begin(); it != released_map_rows_.end();) {
    const uint32_t page = it->first;
    auto bytes = copy_->read(page);
    auto info = read_data_page(fmt(), bytes, page);
    // Nothing marks the rows that earlier sessions gave back: on a map page the file held before this session,
    // a row lives only while some table's definition points at it.
    const std::set<uint32_t>* inherited =
        page < original_pages_ && !alloc_->reused_.count(page) ? inherited_map_rows() : nullptr;
    size_t live = 0;
    for (size_t r = 0; r < info.rows.size(); ++r)
      if (!info.rows[r].deleted && !it->second.count(uint8_t(r)) &&
          (!inherited || inherited->count(make_row_pointer(page, uint8_t(r)))))
        ++live;
    if (live == 0) {
      alloc_->reusable_.insert(page);
      it = released_map_rows_.erase(it);
    } else {
      ++it;
    }
  }
}

const std::set<uint32_t>* existing_file::inherited_map_rows() {
  if (!inherited_map_rows_known_) {
    inherited_map_rows_known_ = true;
    try {
      // Every table's maps, the catalog's own included. Only rows on pages this session has not written are
      // asked about, and no row is added to such a page later: the set stays true for them.
      std::set<uint32_t> tdefs = {msysobjects_tdef_page};
      for (const auto& e : reader_->objects())
        if (e.type == object_type_table) tdefs.insert(e.id);
      std::set<uint32_t> rows;
      for (uint32_t t : tdefs)
        for (uint32_t rp : map_rows_of(read_tdef(fmt(), *copy_, t))) rows.insert(rp);
      inherited_map_rows_ = std::move(rows);
    } catch (const error&) {
      inherited_map_rows_known_ = true;  // a definition cannot be read: no inherited page is freed
      inherited_map_rows_.reset();
    }
  }
  return inherited_map_rows_ ? &*inherited_map_rows_ : nullptr;
}

// Rewrites a table whole: the rows `keep` accepts (it may change them), then `extra`.
void existing_file::rewrite_table(uint32_t tdef_page, const std::function<bool(std::vector<value>&)>& keep,
                                  const std::vector<std::vector<value>>& extra,
                                  const std::function<void(table_def&)>& redefine) {
  const format& f = fmt();
  table_pages old = pages_of_table(f, *copy_, tdef_page);
  table_def def = read_tdef(f, *copy_, tdef_page);
  table_def fresh = def;
  fresh.row_count = 0;
  if (redefine) redefine(fresh);
  written_in_change_ = true;
  table_writer w(f, *alloc_, fresh, {}, room());
  auto cursor = reader_->rows(def);
  std::vector<value> row;
  while (cursor.next(row)) {
    if (!keep(row)) continue;
    w.append(row);
  }
  for (const auto& r : extra) w.append(r);
  map_page_writer maps(f, *alloc_);
  w.finish(maps);
  maps.flush();
  give_back(old, false);
  for (auto& t : tables_)
    if (t->tdef_page == tdef_page && !t->writer) t->def = w.def();  // handles see the new definition
}

std::function<bool(uint64_t)> existing_file::room() {
  return [this](uint64_t n) { return copy_->has_room_for(n + 8); };
}

const catalog_entry* existing_file::find_object(const std::wstring& name) const {
  for (const auto& e : reader_->objects())
    if (e.parent_id == tables_container_id && same_name(e.name, name)) return &e;
  return nullptr;
}

bytes existing_file::new_owner() const {
  for (const auto& e : reader_->objects())
    if (e.parent_id == databases_container_id && !e.owner.empty()) return e.owner;  // MSysDb's owner
  return new_object_owner(fmt());
}

std::vector<std::vector<value>> existing_file::new_ace_rows(uint32_t id, uint32_t container) {
  // One full-rights row for each SID that holds rights on the object's container, as for new files.
  table_def def = reader_->table(L"MSysACEs");
  const column_def* c_id = def.find_column(L"ObjectId");
  const column_def* c_sid = def.find_column(L"SID");
  std::vector<std::vector<value>> out;
  std::vector<bytes> seen;
  if (!c_id || !c_sid) return out;
  auto cursor = reader_->rows(def);
  std::vector<value> row;
  while (cursor.next(row)) {
    const value& oid = row[c_id->number];
    const value& sid = row[c_sid->number];
    if (oid.kind_of() != value::kind::long_integer || uint32_t(oid.as_long()) != container) continue;
    if (sid.kind_of() != value::kind::binary) continue;
    if (std::find(seen.begin(), seen.end(), sid.as_binary()) != seen.end()) continue;
    seen.push_back(sid.as_binary());
    std::vector<value> r(def.max_columns > def.columns.size() ? def.max_columns : def.columns.size());
    auto set = [&](const wchar_t* name, value v) {
      if (const column_def* c = def.find_column(name)) r[c->number] = std::move(v);
    };
    set(L"ObjectId", value::long_integer(int32_t(id)));
    set(L"SID", value::binary(sid.as_binary()));
    set(L"ACM", value::long_integer(1048575));
    set(L"FInheritable", value::boolean(false));
    out.push_back(std::move(r));
  }
  return out;
}

size_t existing_file::add_table(const std::wstring& name, const std::vector<column_spec>& columns,
                                const std::vector<index_spec>& indexes, const std::wstring& description) {
  check_writable();
  const format& f = fmt();
  check_name(f, name);
  if (find_object(name)) throw_error(dao_error::table_exists, to_utf8(name));
  std::vector<column_rules> rules;
  table_def def = define_table(f, columns, indexes, rules);
  bytes props = encode_properties(f, table_properties(columns, description));
  size_t handle = 0;
  change([&] {
    def.tdef_page = alloc_->allocate();
    auto t = std::make_unique<open_table>();
    t->name = name;
    t->tdef_page = def.tdef_page;
    t->def = def;
    t->writer = std::make_unique<table_writer>(f, *alloc_, def, rules, room(), index_sort_options{path()});
    // Rules are enforced by the writer for a new table.
    double now = now_;
    uint32_t id = def.tdef_page;
    bytes owner = new_owner();
    auto aces = new_ace_rows(id, tables_container_id);
    // Until the table is finished its TDEF page holds nothing: write it now so that the catalog
    // never names an empty page.
    {
      table_def empty = def;
      written_in_change_ = true;
      table_writer w(f, *alloc_, empty, {}, room());
      map_page_writer maps(f, *alloc_);
      w.finish(maps);
      maps.flush();
      t->old_pages = pages_of_table(f, *copy_, id);
    }
    rewrite_table(msysobjects_tdef_page, [](std::vector<value>&) { return true; },
                  {object_row(id, tables_container_id, name, object_type_table, now, 0, owner, props)});
    uint32_t aces_page = reader_->find_table(L"MSysACEs") ? reader_->find_table(L"MSysACEs")->id : msysaces_tdef_page;
    rewrite_table(aces_page, [](std::vector<value>&) { return true; }, aces);
    handle = tables_.size();
    tables_.push_back(std::move(t));
  });
  return handle;
}

size_t existing_file::table_handle(const std::wstring& name) {
  for (size_t i = 0; i < tables_.size(); ++i)
    if (same_name(tables_[i]->name, name)) return i;
  const catalog_entry* e = reader_->find_table(name);
  if (!e) throw_error(dao_error::field_not_found);
  auto t = std::make_unique<open_table>();
  t->name = e->name;
  t->tdef_page = e->id;
  t->def = reader_->table_at(e->id);
  tables_.push_back(std::move(t));
  return tables_.size() - 1;
}

const table_def& existing_file::table(size_t handle) const {
  if (handle >= tables_.size()) throw_error(dao_error::field_not_found);
  const auto& t = *tables_[handle];
  return t.writer ? t.writer->def() : t.def;
}

void existing_file::check_rewritable(const table_def& def, const std::string& refusal) const {
  const format& f = fmt();
  for (const auto& ix : def.indexes)
    for (const auto& ic : ix.columns) {
      const column_def* c = def.column_by_number(ic.column_number);
      if (!c || !is_indexable_column(f, *c))
        throw error(dao_error::not_supported, refusal + ": one of its indexes uses a sort order this engine does not know.");
    }
  for (const auto& c : def.columns)
    if (!is_known_column_type(uint8_t(c.type)) || c.type == column_type::complex)
      throw error(dao_error::not_supported,
                  refusal + ": its field '" + to_utf8(c.name) + "' is of a type this engine cannot write.");
}

void existing_file::start_appending(open_table& t) {
  const format& f = fmt();
  // The catalog tables are the engine's own: rows are added to them only through catalog changes.
  const catalog_entry* entry = reader_->find_table(t.name);
  if (entry && entry->is_system())
    throw error(dao_error::not_supported, "Rows cannot be added to the system table '" + to_utf8(t.name) + "'.");
  table_def def = read_tdef(f, *copy_, t.tdef_page);
  check_rewritable(def, "Rows cannot be added to '" + to_utf8(t.name) + "'");
  uint32_t ncols = std::max<uint32_t>(def.max_columns, uint32_t(def.columns.size()));
  t.required.assign(ncols, false);
  t.no_zero_length.assign(ncols, false);
  if (entry && !entry->lv_prop.empty()) {
    property_blob blob = decode_properties(f, entry->lv_prop);
    for (const auto& c : def.columns) {
      const property_set* ps = blob.column(c.name);
      if (!ps) continue;
      auto flag = [&](const wchar_t* n) {
        const property* p = ps->find(n);
        if (!p) return false;
        if (p->data.kind_of() == value::kind::boolean) return p->data.as_bool();
        if (p->data.kind_of() == value::kind::byte) return p->data.as_byte() != 0;
        return false;
      };
      t.required[c.number] = flag(L"Required") && c.type != column_type::boolean && !c.is_autonumber();
      const property* z = ps->find(L"AllowZeroLength");
      t.no_zero_length[c.number] = z && is_text_type(c.type) && !flag(L"AllowZeroLength");
    }
  }
  t.ruled.clear();
  for (const auto& c : def.columns)
    if (c.number < ncols && (t.required[c.number] || t.no_zero_length[c.number])) t.ruled.push_back(c.number);
  // The keys other tables refer to, before rows are added to them.
  for (const auto& li : def.logical_indexes)
    if (li.type == logical_index_type::foreign_key && li.relationship_role == 1)
      referenced_keys(t.tdef_page, li.physical, true);
  // Rows are appended in place when every index tree can be read back whole: the stored rows, their
  // long values and their index entries stay as they are. Otherwise the table is rewritten whole.
  // The survey made with the working copy serves while the copy is still the original.
  std::vector<uint8_t> sound;
  if (prepared_survey_ && prepared_survey_tdef_ == t.tdef_page && copy_->bytes_written() == 0) {
    sound = std::move(prepared_survey_->sound);
    t.old_pages = std::move(prepared_survey_->pages);
  } else {
    survey_table(f, *copy_, def, t.tdef_page, sound, t.old_pages);
  }
  prepared_survey_.reset();
  const bool in_place = std::all_of(sound.begin(), sound.end(), [](uint8_t ok) { return ok != 0; });
  table_def fresh = def;
  if (!in_place) fresh.row_count = 0;
  written_in_change_ = true;
  t.writer = std::make_unique<table_writer>(f, *alloc_, fresh, std::vector<column_rules>{}, room(),
                                            index_sort_options{path()});
  if (in_place) {
    kept_table kept;
    kept.file = copy_.get();
    kept.data = t.old_pages.data;
    kept.data_with_room = t.old_pages.data_with_room;
    kept.lv_owned = t.old_pages.lv_owned;
    kept.lv_with_room = t.old_pages.lv_with_room;
    t.new_rows = std::make_unique<end_pages>(*copy_);
    kept.new_data_pages = t.new_rows.get();
    // What stays is not given back when the table is finished: only the index trees, the maps and
    // the definition's continuation pages are replaced.
    std::vector<uint32_t> stays = kept.data;
    for (const auto& [column, pages] : kept.lv_owned) stays.insert(stays.end(), pages.begin(), pages.end());
    std::sort(stays.begin(), stays.end());
    std::erase_if(t.old_pages.pages, [&](uint32_t p) { return std::binary_search(stays.begin(), stays.end(), p); });
    t.writer->keep_existing(std::move(kept));
    return;
  }
  auto cursor = reader_->rows(def);
  std::vector<value> row;
  while (cursor.next(row)) t.writer->append(std::move(row));
}

std::set<bytes>& existing_file::referenced_keys(uint32_t tdef_page, uint32_t physical, bool rebuild) {
  auto at = std::make_pair(tdef_page, physical);
  auto it = referenced_keys_.find(at);
  if (it != referenced_keys_.end() && !rebuild) return it->second;
  std::set<bytes>& keys = referenced_keys_[at];
  keys.clear();
  table_def def = reader_->table_at(tdef_page);
  if (physical >= def.indexes.size()) return keys;
  const index_def& ix = def.indexes[physical];
  std::vector<value> row;
  for (auto cursor = reader_->rows(def); cursor.next(row);)
    if (auto k = relationship_key(fmt(), def, ix, row, def, ix)) keys.insert(std::move(*k));
  return keys;
}

void existing_file::check_references(const open_table& t, const std::vector<value>& row) {
  const table_def& def = t.writer->def();
  for (const auto& li : def.logical_indexes) {
    if (li.type != logical_index_type::foreign_key || li.relationship_role != 2) continue;
    if (li.physical >= def.indexes.size()) continue;
    const table_def& other = stored_def(li.other_tdef);
    auto back = std::find_if(other.logical_indexes.begin(), other.logical_indexes.end(),
                             [&](const logical_index_def& o) { return int32_t(o.number) == li.other_index; });
    if (back == other.logical_indexes.end() || back->physical >= other.indexes.size()) continue;
    auto k = relationship_key(fmt(), def, def.indexes[li.physical], row, other, other.indexes[back->physical]);
    if (!k) continue;  // a null foreign key refers to nothing
    if (!referenced_keys(li.other_tdef, back->physical, false).count(*k)) {
      std::wstring name;
      for (const auto& e : reader_->objects())
        if (e.id == li.other_tdef && e.is_table()) name = e.name;
      throw_error(dao_error::related_record_required, to_utf8(name));
    }
  }
}

void existing_file::append_to(size_t handle, const std::vector<value>& values, std::vector<value>* take) {
  check_writable();
  if (handle >= tables_.size()) throw_error(dao_error::field_not_found);
  open_table& t = *tables_[handle];
  if (t.name.empty()) throw_error(dao_error::field_not_found);  // the table was deleted
  begin_changes();
  if (!t.writer) {
    try {
      start_appending(t);
    } catch (...) {
      t.writer.reset();
      if (written_in_change_) failed_ = true;
      written_in_change_ = false;
      throw;
    }
    written_in_change_ = false;
    modified_ = true;
  }
  const table_def& def = t.writer->def();
  if (values.size() > std::max<size_t>(def.max_columns, def.columns.size())) throw_error(dao_error::field_not_found);
  // Column rules of an existing table come from its properties (a new table's writer has its own); only the
  // columns that have one are looked at.
  for (uint16_t number : t.ruled) {
    const column_def* c = def.column_by_number(number);
    column_def unnamed;
    check_rules(c ? *c : unnamed, {.required = bool(t.required[number]), .allow_zero_length = !t.no_zero_length[number]},
                number < values.size() ? values[number] : value());
  }
  check_references(t, values);
  // Keys that other tables may refer to once the row is in, taken from the values as given (a writer working on
  // the row in place changes them).
  std::vector<std::pair<std::set<bytes>*, bytes>> new_keys;
  for (auto& [at, keys] : referenced_keys_) {
    if (at.first != t.tdef_page || at.second >= def.indexes.size()) continue;
    const index_def& ix = def.indexes[at.second];
    if (auto k = relationship_key(fmt(), def, ix, values, def, ix)) new_keys.emplace_back(&keys, std::move(*k));
  }
  try {
    if (take)
      t.writer->append(std::move(*take));
    else
      t.writer->append(values);
  } catch (const error& e) {
    if (e.number() == dao_error::disk_full || e.number() == dao_error::io_error) failed_ = true;
    throw;
  }
  for (auto& [keys, k] : new_keys) keys->insert(std::move(k));
}

void existing_file::finish_table(size_t handle) {
  if (handle >= tables_.size()) throw_error(dao_error::field_not_found);
  open_table& t = *tables_[handle];
  if (!t.writer) return;
  check_writable();
  try {
    map_page_writer maps(fmt(), *alloc_);
    t.writer->finish(maps);
    maps.flush();
    t.def = t.writer->def();
    t.writer.reset();
    give_back(t.old_pages, false);
    t.old_pages = {};
    reopen_reader();
  } catch (...) {
    failed_ = true;
    throw;
  }
}

void existing_file::delete_table(const std::wstring& name) {
  check_writable();
  const catalog_entry* e = find_object(name);
  if (!e || (e->type != object_type_table && e->type != object_type_odbc_link && e->type != object_type_access_link))
    throw_error(dao_error::field_not_found);
  if (e->type == object_type_table && e->is_system())
    throw error(dao_error::not_supported, "System table '" + to_utf8(name) + "' cannot be deleted.");
  const std::wstring stored_name = e->name;
  const uint32_t id = e->id;
  const bool local = e->type == object_type_table;
  // A multi-value or attachment field keeps its values in a hidden table listed in MSysComplexColumns;
  // deleting only the visible table would leave them behind, so the table stays.
  if (local)
    for (const auto& c : reader_->table_at(id).columns)
      if (c.type == column_type::complex)
        throw error(dao_error::not_supported, "Table '" + to_utf8(stored_name) + "' cannot be deleted: its field '" +
                                                  to_utf8(c.name) + "' holds multi-value or attachment data.");
  // A table that takes part in a relationship stays, as in Access: deleting it would take the relationship
  // (and the other table's foreign-key index) with it, which the user never asked for.
  std::string related;
  for (const auto& r : list_relationships(*reader_))
    if (same_name(r.table, stored_name) || same_name(r.referenced_table, stored_name))
      related += (related.empty() ? "'" : ", '") + to_utf8(r.name) + "'";
  if (!related.empty())
    throw error(dao_error::part_of_relationship, "Cannot delete the table '" + to_utf8(stored_name) +
                                                     "'. It is part of one or more relationships: " + related + ".");
  // A table created or filled in this session is finished first: its pages are then known.
  finish_open_writer(id);
  change([&] {
    table_pages pages;
    if (local) pages = pages_of_table(fmt(), *copy_, id);
    // The catalog tables' key columns; a damaged file may lack them.
    auto column_of = [&](uint32_t tdef_page, const wchar_t* table, const wchar_t* name) {
      const table_def def = reader_->table_at(tdef_page);
      const column_def* c = def.find_column(name);
      if (!c) throw_corrupt(to_utf8(table) + " lacks its column " + to_utf8(name));
      return c->number;
    };
    auto cell = [](const std::vector<value>& row, uint16_t number) -> const value& {
      static const value null_value;
      return number < row.size() ? row[number] : null_value;
    };
    const uint16_t c_id = column_of(msysobjects_tdef_page, L"MSysObjects", L"Id");
    rewrite_table(msysobjects_tdef_page, [&](std::vector<value>& row) {
      const value& v = cell(row, c_id);
      return !(v.kind_of() == value::kind::long_integer && uint32_t(v.as_long()) == id);
    }, {});
    if (const catalog_entry* aces = reader_->find_table(L"MSysACEs")) {
      const uint16_t c = column_of(aces->id, L"MSysACEs", L"ObjectId");
      rewrite_table(aces->id, [&](std::vector<value>& row) {
        const value& v = cell(row, c);
        return !(v.kind_of() == value::kind::long_integer && uint32_t(v.as_long()) == id);
      }, {});
    }
    if (local) give_back(pages, true);
    for (size_t i = 0; i < tables_.size(); ++i)
      if (tables_[i]->tdef_page == id) tables_[i]->name.clear();  // the handle no longer names a table
  });
}

void existing_file::finish_open_writer(uint32_t tdef_page) {
  for (size_t i = 0; i < tables_.size(); ++i)
    if (tables_[i]->tdef_page == tdef_page && tables_[i]->writer) finish_table(i);
}

void existing_file::close() {
  if (closed_) return;
  try {
    drop_preparation();  // still there: nothing was changed
    if (copy_ && !failed_) {
      for (size_t i = 0; i < tables_.size(); ++i) finish_table(i);
    }
    if (failed_) throw error(dao_error::io_error, "The database could not be written and its changes have been given up.");
    if (copy_ && modified_) {
      const format& f = fmt();
      std::set<uint32_t> reusable = alloc_->reusable_;
      uint32_t original = original_pages_;
      const auto& was_free = original_free_;
      write_global_map(f, *copy_, *copy_, global_bitmaps_, [&](uint32_t p) {
        if (reusable.count(p)) return true;
        return p < original && p < was_free.size() && was_free[p];
      });
      copy_->commit();
    } else if (copy_) {
      copy_->abandon();
    }
    copy_.reset();
  } catch (...) {
    abandon();
    throw;
  }
  closed_ = true;
  release_lock();
}

void existing_file::abandon() {
  if (closed_) return;
  drop_preparation();
  for (auto& t : tables_) t->writer.reset();
  if (copy_) copy_->abandon();
  copy_.reset();
  closed_ = true;
  release_lock();
}

}  // namespace jet
