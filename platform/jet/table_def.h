// The table definition model: what a TDEF holds, independent of its on-disk layout.
//
// `column_def` is one column block (+ name), `index_def` one physical index block (the B-tree: its
// columns, flags, usage map and root page), `logical_index_def` one logical index block (+ name): the
// named index the user sees, pointing at a physical index (several may share one). `table_def` holds
// them all plus the header counters. tdef_builder writes this model to TDEF pages, tdef_reader reads
// it back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/jet/types.h"

namespace jet {

// Object and field names compare without regard to case, as Access compares them. The folding is
// fixed (every letter of Latin, Greek and Cyrillic with another case), never taken from the process locale.
// Every layer that compares Access names (DAO, the access adapter) uses these.
bool same_name(std::wstring_view a, std::wstring_view b);
// The name folded: two names are the same name when their folded forms are equal (for sets and maps).
std::wstring folded_name(std::wstring_view name);

struct column_def {
  std::wstring name{};
  column_type type = column_type::long_integer;
  uint16_t number = 0;       // position in the null mask (includes deleted columns)
  uint16_t var_index = 0;    // variable columns: slot; fixed columns: number of variable columns before it
  uint16_t ordinal = 0;      // the second column ordinal of the block (meaning unknown; 0 in system tables)
  uint8_t flags = 0;         // column_flag bits
  uint8_t ext_flags = 0;     // column_ext_flag bits
  uint16_t fixed_offset = 0; // offset in the row's fixed area (fixed columns only)
  uint16_t length = 0;       // bytes (text: 2 × characters in Jet 4)
  uint16_t sort_order = 0x0409;  // text sort order id (every column carries it)
  uint8_t sort_version = 0;
  uint8_t precision = 0;     // decimal only
  uint8_t scale = 0;         // decimal only
  // Long-value columns: the owned and free-space usage maps (row pointers).
  uint32_t lv_owned_map = 0;
  uint32_t lv_free_map = 0;

  bool is_fixed() const { return (flags & 0x01) != 0; }
  bool is_autonumber() const { return (flags & 0x04) != 0; }
};

struct index_column {
  uint16_t column_number = 0;  // the column's `number`
  bool ascending = true;
  friend bool operator==(const index_column&, const index_column&) = default;
};

// A physical index: one B-tree.
struct index_def {
  std::vector<index_column> columns{};  // 1 to 10
  uint8_t flags = 0;                  // index_flag bits
  uint32_t usage_map = 0;             // row pointer of the index's usage map
  uint32_t root_page = 0;
  uint32_t entry_count = 0;           // statistics block: entries in the index
  uint32_t distinct_count = 0;        // statistics block: distinct keys

  bool is_unique() const { return (flags & 0x01) != 0; }
  bool ignores_nulls() const { return (flags & 0x02) != 0; }
  bool is_required() const { return (flags & 0x08) != 0; }
};

enum class logical_index_type : uint8_t { other = 0, primary_key = 1, foreign_key = 2 };

// The side of a relationship a foreign-key logical index stands for.
namespace relationship_role {
inline constexpr uint8_t none = 0;
inline constexpr uint8_t referenced = 1;
inline constexpr uint8_t referencing = 2;
}  // namespace relationship_role

struct logical_index_def {
  std::wstring name{};
  uint32_t number = 0;          // logical index number
  uint32_t physical = 0;        // index into table_def::indexes
  uint8_t relationship_role = 0;  // 1 referenced side, 2 referencing side, 0 none
  int32_t other_index = -1;     // logical index number in the other table
  uint32_t other_tdef = 0;      // TDEF page of the other table
  uint8_t cascade_update = 4;   // 4 on every index outside a relationship
  uint8_t cascade_delete = 4;
  logical_index_type type = logical_index_type::other;
};

struct table_def {
  uint32_t tdef_page = 0;
  bool system = false;                 // table type 0x53 instead of 0x4E
  uint32_t row_count = 0;
  uint32_t autonumber_last = 0;        // last AutoNumber value issued
  uint16_t max_columns = 0;            // highest column count ever (= columns.size() for new tables)
  uint32_t owned_map = 0;              // row pointer
  uint32_t free_map = 0;               // row pointer
  std::vector<column_def> columns;     // in block order
  std::vector<index_def> indexes;      // physical
  std::vector<logical_index_def> logical_indexes;
  // Block order of the long-value map list (column numbers); empty = columns in block order.
  std::vector<uint16_t> lv_list_order;

  const column_def* find_column(const std::wstring& name) const;
  const column_def* column_by_number(uint16_t number) const;
  uint16_t variable_column_count() const;
};

}  // namespace jet
