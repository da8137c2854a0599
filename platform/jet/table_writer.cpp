// Row appending and table finishing.
#include "platform/jet/table_writer.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "platform/jet/btree_builder.h"
#include "platform/jet/byte_order.h"
#include "platform/jet/error.h"
#include "platform/jet/index_key.h"
#include "platform/jet/row_builder.h"
#include "platform/jet/tdef_builder.h"
#include "platform/jet/usage_map.h"
#include "platform/jet/value_codec.h"

namespace jet {

uint32_t reserved_allocator::allocate() {
  if (reserved_.empty()) return base_.allocate();
  uint32_t p = reserved_.front();
  reserved_.pop_front();
  return p;
}

uint32_t map_page_writer::add(const std::vector<uint8_t>& row) {
  if (!page_.empty() && !page_.fits(uint32_t(row.size()))) flush();
  if (page_.empty()) {
    page_number_ = alloc_.allocate();
    pages_.push_back(page_number_);
  }
  return make_row_pointer(page_number_, page_.add(row));
}

void map_page_writer::flush() {
  if (page_.empty()) return;
  alloc_.write(page_number_, page_.bytes());
  page_.reset();
}

// The entries of one index, keys packed into an arena until the tree is built.
struct table_writer::pending_index {
  std::vector<uint8_t> arena;
  struct ref {
    uint64_t offset;
    uint32_t length;
    uint32_t row_pointer;
  };
  std::vector<ref> refs;
  std::unique_ptr<key_set> unique;
};

table_writer::table_writer(const format& f, page_allocator& alloc, table_def def, std::vector<column_rules> rules,
                           std::function<bool(uint64_t)> has_room)
    : f_(f), alloc_(alloc), data_alloc_(alloc), def_(std::move(def)), rules_(std::move(rules)),
      has_room_(std::move(has_room)), page_(f, def_.tdef_page) {
  uint32_t ncols = std::max<uint32_t>(def_.max_columns, uint32_t(def_.columns.size()));
  rules_.resize(ncols);
  index_reserved_.resize(def_.indexes.size());
  for (const auto& ix : def_.indexes) {
    auto p = std::make_unique<pending_index>();
    if (ix.is_unique()) p->unique = std::make_unique<key_set>();
    pending_.push_back(std::move(p));
  }
}

table_writer::~table_writer() = default;

long_value_store& table_writer::lv_store(const column_def& c) {
  auto& slot = lv_[c.number];
  if (!slot) slot = std::make_unique<long_value_store>(f_, alloc_);
  return *slot;
}

void table_writer::flush_data_page() {
  if (page_.empty()) return;
  alloc_.write(page_number_, page_.bytes());
  last_page_free_ = page_.free_space();
  page_.reset();
}

namespace {

bool all_columns_null(const index_def& ix, const std::vector<value>& row) {
  for (const auto& ic : ix.columns)
    if (ic.column_number < row.size() && !row[ic.column_number].is_null()) return false;
  return true;
}

}  // namespace

void table_writer::append(std::vector<value> row) {
  if (finished_) throw error(dao_error::object_invalid, error_text(dao_error::object_invalid));
  uint32_t ncols = std::max<uint32_t>(def_.max_columns, uint32_t(def_.columns.size()));
  row.resize(ncols);

  // Values in the column types; AutoNumber fills in or moves its counter past explicit values.
  uint32_t autonumber = def_.autonumber_last;
  for (const auto& c : def_.columns) {
    value& v = row[c.number];
    v = coerce(f_, c, v);
    if (c.type == column_type::boolean && v.is_null()) v = value::boolean(false);
    if (c.is_autonumber() && c.type == column_type::long_integer) {
      if (v.is_null()) {
        if (autonumber == 0x7FFFFFFFu) throw_error(dao_error::numeric_overflow);
        v = value::long_integer(int32_t(++autonumber));
      } else if (v.as_long() > 0 && uint32_t(v.as_long()) > autonumber) {
        autonumber = uint32_t(v.as_long());
      }
    }
  }
  for (const auto& c : def_.columns) {
    const value& v = row[c.number];
    const column_rules& r = rules_[c.number];
    if (r.required && v.is_null()) throw_error(dao_error::required_null, to_utf8(c.name));
    if (!r.allow_zero_length && is_text_type(c.type) && !v.is_null() && v.as_text().empty())
      throw_error(dao_error::zero_length, to_utf8(c.name));
  }

  // Keys: refuse nulls in required indexes and duplicates in unique ones before writing anything.
  std::vector<bytes> keys(def_.indexes.size());
  std::vector<bool> has_entry(def_.indexes.size(), false);
  for (size_t i = 0; i < def_.indexes.size(); ++i) {
    const index_def& ix = def_.indexes[i];
    if (ix.is_required())
      for (const auto& ic : ix.columns)
        if (row[ic.column_number].is_null()) throw_error(dao_error::index_null);
    if (!has_index_entry(def_, ix, row)) continue;
    has_entry[i] = true;
    keys[i] = encode_key(f_, def_, ix, row);
    if (pending_[i]->unique && !all_columns_null(ix, row) && pending_[i]->unique->contains(keys[i]))
      throw_error(dao_error::duplicate_key);
  }
  // Room in the file: the data page and every long value out of the row.
  uint64_t pages = 1;
  for (const auto& c : def_.columns)
    if (is_long_value_type(c.type) && !row[c.number].is_null()) {
      uint64_t len = is_text_type(c.type) ? uint64_t(row[c.number].as_text().size()) * 4 : row[c.number].as_binary().size();
      pages += len > f_.lv_inline_max ? lv_store(c).pages_needed(len) : 0;
    }
  if (has_room_ && !has_room_(pages)) throw_error(dao_error::invalid_argument);

  std::vector<uint8_t> bytes_ = build_row(f_, def_, row, [&](const column_def& c) -> long_value_store& { return lv_store(c); });
  if (!page_.empty() && !page_.fits(uint32_t(bytes_.size()))) flush_data_page();
  if (page_.empty()) {
    page_number_ = data_alloc_.allocate();
    data_pages_.push_back(page_number_);
  }
  uint8_t row_number = page_.add(bytes_);
  uint32_t rp = make_row_pointer(page_number_, row_number);

  for (size_t i = 0; i < def_.indexes.size(); ++i) {
    if (!has_entry[i]) continue;
    pending_index& p = *pending_[i];
    p.refs.push_back({p.arena.size(), uint32_t(keys[i].size()), rp});
    p.arena.insert(p.arena.end(), keys[i].begin(), keys[i].end());
    if (p.unique && !all_columns_null(def_.indexes[i], row)) p.unique->insert(keys[i]);
  }
  def_.autonumber_last = autonumber;
  ++def_.row_count;
}

void table_writer::finish(map_page_writer& maps) {
  if (finished_) return;
  flush_data_page();
  for (auto& [n, s] : lv_) s->flush();

  // Index trees.
  std::vector<std::vector<uint32_t>> index_pages(def_.indexes.size());
  for (size_t i = 0; i < def_.indexes.size(); ++i) {
    pending_index& p = *pending_[i];
    auto key_of = [&](const pending_index::ref& r) {
      return std::span<const uint8_t>(p.arena.data() + r.offset, r.length);
    };
    std::sort(p.refs.begin(), p.refs.end(), [&](const pending_index::ref& a, const pending_index::ref& b) {
      auto ka = key_of(a), kb = key_of(b);
      int c = std::memcmp(ka.data(), kb.data(), std::min(ka.size(), kb.size()));
      if (c != 0) return c < 0;
      if (ka.size() != kb.size()) return ka.size() < kb.size();
      return a.row_pointer < b.row_pointer;  // page, then row
    });
    std::vector<index_entry> entries;
    entries.reserve(p.refs.size());
    uint32_t distinct = 0;
    for (size_t k = 0; k < p.refs.size(); ++k) {
      auto key = key_of(p.refs[k]);
      if (k == 0 || !std::equal(key.begin(), key.end(), entries.back().key.begin(), entries.back().key.end())) ++distinct;
      index_entry e;
      e.key.assign(key.begin(), key.end());
      e.page = row_pointer_page(p.refs[k].row_pointer);
      e.row = row_pointer_row(p.refs[k].row_pointer);
      entries.push_back(std::move(e));
    }
    std::vector<uint8_t>().swap(p.arena);
    std::vector<pending_index::ref>().swap(p.refs);
    p.unique.reset();
    reserved_allocator ia(alloc_, index_reserved_[i]);
    btree_result tree = build_btree(f_, ia, def_.tdef_page, entries);
    index_def& ix = def_.indexes[i];
    ix.root_page = tree.root;
    ix.entry_count = engine_stats_ ? 0 : uint32_t(entries.size());
    ix.distinct_count = distinct;
    index_pages[i] = tree.pages;
  }

  // Usage maps: owned and free-space pages of the table, the LV columns' pages, each index's pages.
  std::vector<uint32_t> bitmap_pages;
  def_.owned_map = maps.add(build_usage_map(f_, data_pages_, alloc_, bitmap_pages));
  std::vector<uint32_t> with_room;
  if (!data_pages_.empty() && last_page_free_ > 0) with_room.push_back(data_pages_.back());
  def_.free_map = maps.add(build_usage_map(f_, with_room, alloc_, bitmap_pages));
  std::vector<column_def*> lv_cols;
  for (auto& c : def_.columns)
    if (is_long_value_type(c.type)) lv_cols.push_back(&c);
  std::sort(lv_cols.begin(), lv_cols.end(), [](const column_def* a, const column_def* b) { return a->number < b->number; });
  for (column_def* c : lv_cols) {
    auto it = lv_.find(c->number);
    std::vector<uint32_t> owned = it == lv_.end() ? std::vector<uint32_t>{} : it->second->pages();
    std::vector<uint32_t> room = it == lv_.end() ? std::vector<uint32_t>{} : it->second->pages_with_room();
    c->lv_owned_map = maps.add(build_usage_map(f_, owned, alloc_, bitmap_pages));
    c->lv_free_map = maps.add(build_usage_map(f_, room, alloc_, bitmap_pages));
  }
  for (size_t i = 0; i < def_.indexes.size(); ++i)
    def_.indexes[i].usage_map = maps.add(build_usage_map(f_, index_pages[i], alloc_, bitmap_pages));

  write_tdef(f_, def_, alloc_);
  lv_.clear();
  pending_.clear();
  finished_ = true;
}

}  // namespace jet
