// The generation descriptor: every size, offset and limit that differs between Jet 3, Jet 4 and ACE.
//
// Code that reads or writes a structure of the file takes its offsets from a `jet::format` and never
// from a literal, so that adding a generation means adding one descriptor. Offsets are in bytes from
// the start of the page (page structures) or from the start of the block (TDEF blocks).
//
// `jet3()` (Access 95/97: 2 KB pages, one-byte lengths and offsets, code-page text), `jet4()` and
// `ace(version, sort_version)` (the Jet 4 structures under ACE version bytes 2-6).
//
// A field a generation does not have holds the offset 0 (`format::absent`): no optional field can sit
// at offset 0 of its structure, which always holds a type byte or a length. Code that reads or writes an
// optional field tests for it (`format::has(f.column_ext_flags_offset)`).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace jet {

// The file formats, from the user's choice down to the engine: Access 95/97 (.mdb, Jet 3), Access
// 2000 (.mdb, Jet 4), Access 2007 and later (.accdb, ACE).
enum class generation : uint8_t { jet3, jet4, ace };

// "Access 95/97 (Jet 3)", "Access 2000 (Jet 4)", "Access 2007 and later (ACE)".
const char* generation_name(generation g);
// The name of a file's format from its header version byte ("Access 2010 (ACE 14)", ...).
std::string format_name(uint8_t version_byte);

// Collation used for text index keys.
enum class sort_order_kind : uint8_t {
  general_97,      // Jet 3
  general_legacy,  // Jet 4 and ACE with sort version 0
  general,         // ACE 14+ with sort version 1
};

struct format {
  static constexpr uint32_t absent = 0;
  static constexpr bool has(uint32_t offset) { return offset != absent; }

  generation gen;
  uint8_t version_byte;          // header byte 0x14
  uint32_t page_size;

  // ---- header page (page 0)
  uint32_t header_magic_offset;         // "Standard Jet DB\0" / "Standard ACE DB\0"
  const char* header_magic;             // the 16 bytes there
  uint32_t header_version_offset;       // 0x14
  uint32_t header_mask_offset;          // start of the RC4-masked region (0x18)
  uint32_t header_mask_length;          // 126 (Jet 3) / 128
  uint32_t header_code_page_offset;     // 0x3C
  uint32_t header_db_key_offset;        // 0x3E
  uint32_t header_password_offset;      // 0x42
  uint32_t header_password_length;      // 20 / 40
  uint32_t header_sort_order_offset;    // 2-byte sort order id: 0x6E (Jet 3: 0x3A)
  uint32_t header_sort_version_offset;  // 0x71: 0 General legacy, 1 General (absent in Jet 3)
  uint32_t header_create_date_offset;   // 0x72 (absent in Jet 3)
  bool header_password_date_masked;     // Jet 4/ACE XOR the password with the creation date
  bool header_engine_tail;              // Jet 4/ACE: 1620 and "4.0" at 0x98 (zeros in Jet 3)

  // ---- text
  bool unicode_text;          // UTF-16LE (Jet 4/ACE) or code-page bytes (Jet 3)
  uint16_t code_page;         // 1252
  uint16_t sort_order_id;     // 0x0409 (General)
  uint8_t sort_version;       // 0 = General legacy
  sort_order_kind text_sort;  // collation for text keys

  // ---- data pages
  uint32_t data_free_space_offset;   // 2
  uint32_t data_owner_offset;        // 4
  uint32_t data_row_count_offset;    // 12 (Jet 3: 8)
  uint32_t data_row_table_offset;    // 14 (Jet 3: 10): first entry of the row offset table
  uint32_t max_rows_per_page;        // 255
  uint32_t max_row_size;             // 4060 (Jet 3: 2012)
  uint32_t row_count_field_size;     // bytes of the column count, the variable offsets, the end-of-data
                                     // offset and the slot count in a row: 2 (Jet 3: 1)
  bool row_jump_table;               // Jet 3: one-byte offsets hold the true offset modulo 256, and rows
                                     // of 256 bytes or more carry a jump table before the slot count

  // ---- long values
  uint32_t lv_inline_max;       // largest value stored inside the row: 64
  uint32_t lv_single_max;       // largest value stored as one LVAL row: 4076 (Jet 3: 2032)
  uint32_t lv_chain_piece_max;  // data bytes per chained LVAL row (after the 4-byte link): 4072 (Jet 3: 2028)

  // ---- usage maps
  uint32_t usage_map_inline_bytes;  // bitmap size of a new inline map: 64 (Jet 3: 128)
  uint32_t global_map_row1_bytes;   // the all-zero second row of page 1: 69 (Jet 3: 133)

  // ---- table definition
  uint32_t tdef_free_space_offset;         // 2; absent in Jet 3, whose TDEF pages hold "VC" there
  const char* tdef_page_tag;               // Jet 3: "VC" (the 2 bytes at offset 2); nullptr otherwise
  uint32_t tdef_next_page_offset;          // 4
  uint32_t tdef_page_header_size;          // 8: bytes skipped on continuation pages
  uint32_t tdef_length_offset;             // 8
  uint32_t tdef_row_count_offset;          // 16 (Jet 3: 12)
  uint32_t tdef_autonumber_offset;         // 20 (Jet 3: 16)
  uint32_t tdef_table_type_offset;         // 40 (Jet 3: 20)
  uint32_t tdef_max_columns_offset;        // 41
  uint32_t tdef_var_columns_offset;        // 43
  uint32_t tdef_columns_offset;            // 45
  uint32_t tdef_logical_index_count_offset;   // 47
  uint32_t tdef_physical_index_count_offset;  // 51
  uint32_t tdef_owned_map_offset;          // 55
  uint32_t tdef_free_map_offset;           // 59
  uint32_t tdef_header_size;               // 63 (Jet 3: 43): first variable block
  bool tdef_block_magics;                  // Jet 4/ACE: the constants 1625 (table header at 12, column
                                           // and logical index blocks) and 1923 (physical index
                                           // blocks) and the 01 at 24; none of them in Jet 3
  uint32_t index_stats_size;               // 12 (Jet 3: 8)
  uint32_t column_block_size;              // 25 (Jet 3: 18)
  uint32_t column_type_offset;             // 0
  uint32_t column_number_offset;           // 5 (Jet 3: 1)
  uint32_t column_var_index_offset;        // 7 (Jet 3: 3)
  uint32_t column_ordinal_offset;          // 9 (Jet 3: 5)
  uint32_t column_jet3_one_offset;         // Jet 3: 7, 2 bytes 01 00 (meaning unknown); absent otherwise
  uint32_t column_sort_order_offset;       // 11 (Jet 3: 9)
  uint32_t column_precision_offset;        // 11: decimal precision, then scale (instead of the sort order)
  uint32_t column_sort_version_offset;     // 14 (absent in Jet 3)
  uint32_t column_code_page_offset;        // Jet 3: 11, 2 bytes; absent otherwise
  uint32_t column_flags_offset;            // 15 (Jet 3: 13)
  uint32_t column_ext_flags_offset;        // 16 (absent in Jet 3)
  uint32_t column_fixed_offset_offset;     // 21 (Jet 3: 14)
  uint32_t column_length_offset;           // 23 (Jet 3: 16)
  uint32_t text_bytes_per_char;            // text column lengths count bytes: 2 per character (Jet 3: 1)
  uint32_t name_length_size;               // 2 (Jet 3: 1)
  uint32_t physical_index_block_size;      // 52 (Jet 3: 39)
  uint32_t physical_index_columns_offset;  // 4 (Jet 3: 0): 10 slots of [2] column, [1] order
  uint32_t physical_index_map_offset;      // 34
  uint32_t physical_index_root_offset;     // 38
  uint32_t physical_index_flags_offset;    // 46 (Jet 3: 38)
  uint8_t index_flags_always;              // index_flag::jet4_always (Jet 3: 0)
  uint32_t logical_index_block_size;       // 28 (Jet 3: 20)
  uint32_t logical_index_number_offset;    // 4 (Jet 3: 0)
  uint32_t logical_index_physical_offset;  // 8 (Jet 3: 4)
  uint32_t logical_index_role_offset;      // 12 (Jet 3: 8)
  uint32_t logical_index_other_offset;     // 13 (Jet 3: 9)
  uint32_t logical_index_other_page_offset;  // 17 (Jet 3: 13)
  uint32_t logical_index_cascade_update_offset;  // 21 (Jet 3: 17)
  uint32_t logical_index_cascade_delete_offset;  // 22 (Jet 3: 18)
  uint32_t logical_index_type_offset;      // 23 (Jet 3: 19)

  // ---- index pages
  uint32_t index_free_space_offset;   // 2
  uint32_t index_owner_offset;        // 4
  uint32_t index_prev_offset;         // 12 (Jet 3: 8)
  uint32_t index_next_offset;         // 16 (Jet 3: 12)
  uint32_t index_tail_offset;         // 20 (Jet 3: 16)
  uint32_t index_prefix_offset;       // 24 (Jet 3: 20)
  uint32_t index_prefix_size;         // 2 (Jet 3: 1)
  uint32_t index_node_marker_offset;  // 26 (Jet 3: 21)
  uint32_t index_mask_offset;         // 27 (Jet 3: 22)
  uint32_t index_mask_size;           // 453 (Jet 3: 226)
  uint32_t index_first_entry_offset;  // 480 (Jet 3: 248)

  // ---- limits (refused with the DAO error numbers of jet::error)
  uint32_t max_columns;         // 255
  uint32_t max_indexes;         // 32
  uint32_t max_index_columns;   // 10
  uint32_t max_name_length;     // 64 characters
  uint32_t max_text_chars;      // 255
  uint32_t max_binary_bytes;    // 255
  uint64_t max_file_size;       // 2 GiB (Jet 3: 1 GiB)

  // ---- property blobs
  std::array<uint8_t, 4> property_magic;  // "MR2\0" (Jet 3: "KKD\0")

  static const format& jet3();
  static const format& jet4();
  // The descriptor of an ACE file with header version byte 2 (Access 2007) to 6 (2019 and later);
  // `sort_version` is the header's (0 General legacy, 1 General of Access 2010 and later).
  static const format& ace(uint8_t version, uint8_t sort_version = 0);

  // The descriptor for a header version byte (0x14) and sort version byte (0x71); nullptr when the
  // generation or the sort version is not supported.
  static const format* for_version_byte(uint8_t version, uint8_t sort_version = 0);
  // The descriptor new files of a generation are written with (ACE: version byte 2, the format
  // Access 2007 writes and every later Access opens; Jet 3: Access 97 with code page 1252).
  static const format* for_generation(generation g);

};

// Constant values of structures that the format fixes (Jet 4 and ACE share them).
namespace page_type {
inline constexpr uint8_t header = 0x00;
inline constexpr uint8_t data = 0x01;
inline constexpr uint8_t tdef = 0x02;
inline constexpr uint8_t index_node = 0x03;
inline constexpr uint8_t index_leaf = 0x04;
inline constexpr uint8_t usage_bitmap = 0x05;
}  // namespace page_type

// Physical index flags (TDEF physical index block).
namespace index_flag {
inline constexpr uint8_t unique = 0x01;
inline constexpr uint8_t ignore_nulls = 0x02;
inline constexpr uint8_t required = 0x08;
inline constexpr uint8_t jet4_always = 0x80;  // set on every Jet 4 / ACE index, never in Jet 3
}  // namespace index_flag

// Column flags (TDEF column block).
namespace column_flag {
inline constexpr uint8_t fixed = 0x01;
inline constexpr uint8_t updatable = 0x02;
inline constexpr uint8_t autonumber = 0x04;
inline constexpr uint8_t system = 0x10;
inline constexpr uint8_t owner_sid = 0x20;
inline constexpr uint8_t autonumber_guid = 0x40;
inline constexpr uint8_t hyperlink = 0x80;
}  // namespace column_flag

namespace column_ext_flag {
inline constexpr uint8_t compressed_unicode = 0x01;
inline constexpr uint8_t attachment = 0x10;  // the fields of ACE attachment tables
}

// Entries of a data page's row offset table: flags in the top bits, the row's offset below.
namespace row_slot_bits {
inline constexpr uint16_t deleted = 0x8000;
inline constexpr uint16_t overflow = 0x4000;  // the row holds the row pointer of where the row lives now
inline constexpr uint16_t offset_mask = 0x1FFF;
}  // namespace row_slot_bits

// Chunk types of a property blob (after its magic): the list of property names, the object's own
// properties, and one chunk per column.
namespace property_chunk {
inline constexpr uint16_t object = 0x0000;
inline constexpr uint16_t column = 0x0001;
inline constexpr uint16_t name_list = 0x0080;
}  // namespace property_chunk

// Owner field of long-value pages: the ASCII bytes "LVAL".
inline constexpr uint32_t lval_owner = 0x4C41564C;

// Usage map rows: a type byte, then an inline bitmap after its start page, or the page numbers of
// bitmap pages (each a 4-byte page header, then bits).
namespace usage_map_layout {
inline constexpr uint8_t inline_map = 0x00;
inline constexpr uint8_t reference_map = 0x01;
inline constexpr uint32_t start_page_offset = 1;     // inline: first page the bits stand for
inline constexpr uint32_t inline_bits_offset = 5;
inline constexpr uint32_t reference_pages_offset = 1;  // reference: 4-byte page numbers
inline constexpr uint32_t bitmap_page_header = 4;      // bitmap pages: type, 01, 2 unused bytes
inline constexpr uint8_t bitmap_page_marker = 0x01;
}  // namespace usage_map_layout

// Long-value field headers: a 4-byte length word whose top bits say where the value is, then the row
// pointer of the first (or only) LVAL row; chained rows begin with the pointer of the next row.
namespace long_value_layout {
inline constexpr uint32_t kind_mask = 0xC0000000u;
inline constexpr uint32_t inline_value = 0x80000000u;  // the value follows the header in the row
inline constexpr uint32_t single_row = 0x40000000u;    // one LVAL row holds it
inline constexpr uint32_t chained = 0x00000000u;       // a chain of LVAL rows
inline constexpr uint32_t row_pointer_offset = 4;
inline constexpr uint32_t chain_link_size = 4;
}  // namespace long_value_layout

// Table types (TDEF byte at tdef_table_type_offset).
namespace table_type {
inline constexpr uint8_t system = 0x53;  // 'S': MSysObjects, MSysACEs, MSysQueries, MSysRelationships
inline constexpr uint8_t user = 0x4E;    // 'N': every other table (the ACE system tables too)
}  // namespace table_type

// Constant bytes of a TDEF that no reader interprets but every engine-made file carries.
namespace tdef_const {
inline constexpr uint8_t page_marker = 0x01;     // byte 1 of every TDEF page ("VC" in Jet 3)
inline constexpr uint32_t magic_offset = 12;     // table header: 1625
inline constexpr uint32_t magic_value = 1625;    // also the first 4 bytes of column and logical blocks
inline constexpr uint32_t index_magic = 1923;    // first 4 bytes of a physical index block
inline constexpr uint32_t flag24_offset = 24;    // table header: always 01
inline constexpr uint8_t flag24_value = 0x01;
inline constexpr uint32_t column_magic_offset = 1;
inline constexpr uint32_t index_entry_count_offset = 0;     // index statistics block
inline constexpr uint32_t index_distinct_count_offset = 4;
inline constexpr uint32_t index_slots = 10;                 // column slots of a physical index block
inline constexpr uint32_t index_slot_size = 3;              // [2] column number, [1] order
inline constexpr uint16_t unused_slot = 0xFFFF;
inline constexpr uint16_t end_marker = 0xFFFF;             // closes the long-value list
}  // namespace tdef_const

}  // namespace jet
