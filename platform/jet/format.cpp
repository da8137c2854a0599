// Generation descriptors: the facts of the Jet 3 file format (Access 95/97) and of the Jet 4 format
// (Access 2000-2003), which ACE keeps.
#include "platform/jet/format.h"

#include <array>

#include "platform/jet/error.h"

namespace jet {

namespace {

format make_jet4() {
  format f{};
  f.gen = generation::jet4;
  f.version_byte = 1;
  f.page_size = 4096;

  f.header_magic_offset = 0x04;
  f.header_magic = "Standard Jet DB";
  f.header_version_offset = 0x14;
  f.header_mask_offset = 0x18;
  f.header_mask_length = 128;
  f.header_code_page_offset = 0x3C;
  f.header_db_key_offset = 0x3E;
  f.header_password_offset = 0x42;
  f.header_password_length = 40;
  f.header_sort_order_offset = 0x6E;
  f.header_sort_version_offset = 0x71;
  f.header_create_date_offset = 0x72;
  f.header_password_date_masked = true;
  f.header_engine_tail = true;

  f.unicode_text = true;
  f.code_page = 1252;
  f.sort_order_id = 0x0409;
  f.sort_version = 0;
  f.text_sort = sort_order_kind::general_legacy;

  f.data_free_space_offset = 2;
  f.data_owner_offset = 4;
  f.data_row_count_offset = 12;
  f.data_row_table_offset = 14;
  f.max_rows_per_page = 255;
  f.max_row_size = 4060;
  f.row_count_field_size = 2;
  f.row_jump_table = false;

  f.lv_inline_max = 64;
  f.lv_single_max = 4076;
  f.lv_chain_piece_max = 4072;

  f.usage_map_inline_bytes = 64;
  f.global_map_row1_bytes = 69;

  f.tdef_free_space_offset = 2;
  f.tdef_page_tag = nullptr;
  f.tdef_next_page_offset = 4;
  f.tdef_page_header_size = 8;
  f.tdef_length_offset = 8;
  f.tdef_row_count_offset = 16;
  f.tdef_autonumber_offset = 20;
  f.tdef_table_type_offset = 40;
  f.tdef_max_columns_offset = 41;
  f.tdef_var_columns_offset = 43;
  f.tdef_columns_offset = 45;
  f.tdef_logical_index_count_offset = 47;
  f.tdef_physical_index_count_offset = 51;
  f.tdef_owned_map_offset = 55;
  f.tdef_free_map_offset = 59;
  f.tdef_header_size = 63;
  f.tdef_block_magics = true;
  f.index_stats_size = 12;
  f.column_block_size = 25;
  f.column_type_offset = 0;
  f.column_number_offset = 5;
  f.column_var_index_offset = 7;
  f.column_ordinal_offset = 9;
  f.column_jet3_one_offset = format::absent;
  f.column_sort_order_offset = 11;
  f.column_precision_offset = 11;
  f.column_sort_version_offset = 14;
  f.column_code_page_offset = format::absent;
  f.column_flags_offset = 15;
  f.column_ext_flags_offset = 16;
  f.column_fixed_offset_offset = 21;
  f.column_length_offset = 23;
  f.text_bytes_per_char = 2;
  f.name_length_size = 2;
  f.physical_index_block_size = 52;
  f.physical_index_columns_offset = 4;
  f.physical_index_map_offset = 34;
  f.physical_index_root_offset = 38;
  f.physical_index_flags_offset = 46;
  f.index_flags_always = index_flag::jet4_always;
  f.logical_index_block_size = 28;
  f.logical_index_number_offset = 4;
  f.logical_index_physical_offset = 8;
  f.logical_index_role_offset = 12;
  f.logical_index_other_offset = 13;
  f.logical_index_other_page_offset = 17;
  f.logical_index_cascade_update_offset = 21;
  f.logical_index_cascade_delete_offset = 22;
  f.logical_index_type_offset = 23;

  f.index_free_space_offset = 2;
  f.index_owner_offset = 4;
  f.index_prev_offset = 12;
  f.index_next_offset = 16;
  f.index_tail_offset = 20;
  f.index_prefix_offset = 24;
  f.index_prefix_size = 2;
  f.index_node_marker_offset = 26;
  f.index_mask_offset = 27;
  f.index_mask_size = 453;
  f.index_first_entry_offset = 480;

  f.max_columns = 255;
  f.max_indexes = 32;
  f.max_index_columns = 10;
  f.max_name_length = 64;
  f.max_text_chars = 255;
  f.max_binary_bytes = 255;
  f.max_file_size = uint64_t(2) * 1024 * 1024 * 1024;

  f.property_magic = {'M', 'R', '2', 0};
  return f;
}


// Jet 3 (Access 95/97): 2 KB pages, single-byte lengths, offsets and names, text in the database code
// page, and shorter TDEF blocks without the Jet 4 constants.
format make_jet3() {
  format f{};
  f.gen = generation::jet3;
  f.version_byte = 0;
  f.page_size = 2048;

  f.header_magic_offset = 0x04;
  f.header_magic = "Standard Jet DB";
  f.header_version_offset = 0x14;
  f.header_mask_offset = 0x18;
  f.header_mask_length = 126;
  f.header_code_page_offset = 0x3C;
  f.header_db_key_offset = 0x3E;
  f.header_password_offset = 0x42;
  f.header_password_length = 20;
  f.header_sort_order_offset = 0x3A;
  f.header_sort_version_offset = format::absent;
  f.header_create_date_offset = format::absent;
  f.header_password_date_masked = false;
  f.header_engine_tail = false;

  f.unicode_text = false;
  f.code_page = 1252;
  f.sort_order_id = 0x0409;
  f.sort_version = 0;
  f.text_sort = sort_order_kind::general_97;

  f.data_free_space_offset = 2;
  f.data_owner_offset = 4;
  f.data_row_count_offset = 8;
  f.data_row_table_offset = 10;
  f.max_rows_per_page = 255;
  f.max_row_size = 2012;
  f.row_count_field_size = 1;
  f.row_jump_table = true;

  f.lv_inline_max = 64;
  f.lv_single_max = 2032;
  f.lv_chain_piece_max = 2028;

  f.usage_map_inline_bytes = 128;
  f.global_map_row1_bytes = 133;

  f.tdef_free_space_offset = format::absent;
  f.tdef_page_tag = "VC";
  f.tdef_next_page_offset = 4;
  f.tdef_page_header_size = 8;
  f.tdef_length_offset = 8;
  f.tdef_row_count_offset = 12;
  f.tdef_autonumber_offset = 16;
  f.tdef_table_type_offset = 20;
  f.tdef_max_columns_offset = 21;
  f.tdef_var_columns_offset = 23;
  f.tdef_columns_offset = 25;
  f.tdef_logical_index_count_offset = 27;
  f.tdef_physical_index_count_offset = 31;
  f.tdef_owned_map_offset = 35;
  f.tdef_free_map_offset = 39;
  f.tdef_header_size = 43;
  f.tdef_block_magics = false;
  f.index_stats_size = 8;
  f.column_block_size = 18;
  f.column_type_offset = 0;
  f.column_number_offset = 1;
  f.column_var_index_offset = 3;
  f.column_ordinal_offset = 5;
  f.column_jet3_one_offset = 7;
  f.column_sort_order_offset = 9;
  f.column_precision_offset = 11;
  f.column_sort_version_offset = format::absent;
  f.column_code_page_offset = 11;
  f.column_flags_offset = 13;
  f.column_ext_flags_offset = format::absent;
  f.column_fixed_offset_offset = 14;
  f.column_length_offset = 16;
  f.text_bytes_per_char = 1;
  f.name_length_size = 1;
  f.physical_index_block_size = 39;
  f.physical_index_columns_offset = 0;
  f.physical_index_map_offset = 30;
  f.physical_index_root_offset = 34;
  f.physical_index_flags_offset = 38;
  f.index_flags_always = 0;
  f.logical_index_block_size = 20;
  f.logical_index_number_offset = 0;
  f.logical_index_physical_offset = 4;
  f.logical_index_role_offset = 8;
  f.logical_index_other_offset = 9;
  f.logical_index_other_page_offset = 13;
  f.logical_index_cascade_update_offset = 17;
  f.logical_index_cascade_delete_offset = 18;
  f.logical_index_type_offset = 19;

  f.index_free_space_offset = 2;
  f.index_owner_offset = 4;
  f.index_prev_offset = 8;
  f.index_next_offset = 12;
  f.index_tail_offset = 16;
  f.index_prefix_offset = 20;
  f.index_prefix_size = 1;
  f.index_node_marker_offset = 21;
  f.index_mask_offset = 22;
  f.index_mask_size = 226;
  f.index_first_entry_offset = 248;

  f.max_columns = 255;
  f.max_indexes = 32;
  f.max_index_columns = 10;
  f.max_name_length = 64;
  f.max_text_chars = 255;
  f.max_binary_bytes = 255;
  f.max_file_size = uint64_t(1) * 1024 * 1024 * 1024;

  f.property_magic = {'K', 'K', 'D', 0};
  return f;
}

}  // namespace

const format& format::jet3() {
  static const format f = make_jet3();
  return f;
}

const format& format::jet4() {
  static const format f = make_jet4();
  return f;
}

// ACE files (Access 2007 and later) keep the Jet 4 page structures; they differ in the version byte,
// in new column types and in the collation that newer files may choose (the header says which).
const format& format::ace(uint8_t version, uint8_t sort_version) {
  static const auto formats = [] {
    std::array<format, 10> all{};
    for (uint8_t v = 2; v <= 6; ++v)
      for (uint8_t s = 0; s <= 1; ++s) {
        format f = make_jet4();
        f.gen = generation::ace;
        f.version_byte = v;
        f.header_magic = "Standard ACE DB";
        f.sort_version = s;
        f.text_sort = s == 0 ? sort_order_kind::general_legacy : sort_order_kind::general;
        all[size_t(v - 2) * 2 + s] = f;
      }
    return all;
  }();
  if (version < 2 || version > 6 || sort_version > 1) throw_error(dao_error::unrecognized_format);
  return formats[size_t(version - 2) * 2 + sort_version];
}

const format* format::for_version_byte(uint8_t version, uint8_t sort_version) {
  if (version == 0) return &jet3();  // Jet 3 has no sort version byte
  if (version == 1) return &jet4();
  if (version >= 2 && version <= 6 && sort_version <= 1) return &ace(version, sort_version);
  return nullptr;
}

const format* format::for_generation(generation g) {
  switch (g) {
    case generation::jet4: return &jet4();
    case generation::ace: return &ace(2);
    case generation::jet3: return &jet3();
  }
  return nullptr;
}

const char* generation_name(generation g) {
  switch (g) {
    case generation::jet3: return "Access 95/97 (Jet 3)";
    case generation::jet4: return "Access 2000 (Jet 4)";
    case generation::ace: return "Access 2007 and later (ACE)";
  }
  return "Access";
}

std::string format_name(uint8_t version) {
  switch (version) {
    case 0: return "Access 97 (Jet 3)";
    case 1: return "Access 2000 (Jet 4)";
    case 2: return "Access 2007 (ACE 12)";
    case 3: return "Access 2010 (ACE 14)";
    case 4: return "Access 2013 (ACE 15)";
    case 5: return "Access 2016 (ACE 16)";
    case 6: return "Access 2019 (ACE 17)";
  }
  return "unknown version " + std::to_string(version);
}

}  // namespace jet
