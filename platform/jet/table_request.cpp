// Turning a requested table into its definition and property blob.
#include "platform/jet/table_request.h"

#include "platform/jet/error.h"
#include "platform/jet/index_key.h"
#include "platform/jet/value_codec.h"

namespace jet {

void check_name(const format& f, const std::wstring& name) {
  bool ok = !name.empty() && name.size() <= f.max_name_length && name[0] != L' ';
  for (wchar_t c : name)
    if (c < 0x20 || c == L'.' || c == L'!' || c == L'`' || c == L'[' || c == L']') ok = false;
  // A Jet 3 name is stored in the code page: a character it lacks would become '?' and two names
  // could become one, so such a name is not accepted.
  if (ok && !f.unicode_text && decode_text(f, encode_text(f, name, false)) != name) ok = false;
  if (!ok) throw_error(dao_error::invalid_name, to_utf8(name));
}

index_def define_index(const format& f, const table_def& t, const index_spec& s) {
  if (s.fields.empty()) throw_error(dao_error::no_fields);
  if (s.fields.size() > f.max_index_columns) throw_error(dao_error::too_many_index_fields, to_utf8(s.name));
  index_def ix;
  for (const auto& fld : s.fields) {
    const column_def* c = t.find_column(fld.column);
    if (!c) throw_error(dao_error::field_not_found);
    // Memo and OLE fields cannot be indexed.
    if (is_long_value_type(c->type) || !is_indexable_column(f, *c)) throw_error(dao_error::invalid_field_type);
    for (const auto& other : ix.columns)
      if (other.column_number == c->number) throw_error(dao_error::duplicate_field);
    ix.columns.push_back({c->number, fld.ascending});
  }
  ix.flags = f.index_flags_always;
  if (s.primary || s.unique) ix.flags |= index_flag::unique;
  if (s.primary || s.required) ix.flags |= index_flag::required;
  if (s.ignore_nulls && !s.primary) ix.flags |= index_flag::ignore_nulls;
  return ix;
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
    // Jet 3 has no decimal field (nor any type ACE added): refused, never stored as another kind.
    if (s.type == column_type::decimal && f.gen == generation::jet3)
      throw error(dao_error::invalid_field_type,
                  "Invalid field data type: field '" + to_utf8(s.name) + "' is a decimal field, which Access 95/97 "
                  "databases cannot hold.");
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
        c.length = uint16_t((s.size ? s.size : f.max_text_chars) * f.text_bytes_per_char);
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
    index_def ix = define_index(f, t, s);
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

}  // namespace jet
