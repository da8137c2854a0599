// System table definitions and blank-database rows.
#include "platform/jet/catalog.h"

#include <algorithm>
#include <cwctype>

#include "platform/jet/header.h"

namespace jet {

namespace {

struct col {
  const wchar_t* name;
  column_type type;
  uint8_t flags;
  uint16_t slot;
  uint16_t fixed_offset;
};

table_def make(const format& f, uint32_t page, const std::vector<col>& cols) {
  table_def t;
  t.tdef_page = page;
  t.system = true;
  uint16_t n = 0;
  for (const auto& c : cols) {
    column_def d;
    d.name = c.name;
    d.type = c.type;
    d.number = n++;
    d.var_index = c.slot;
    d.flags = c.flags;
    d.fixed_offset = c.fixed_offset;
    d.sort_order = f.sort_order_id;
    d.sort_version = f.sort_version;
    switch (c.type) {
      case column_type::text: case column_type::binary: d.length = uint16_t(f.unicode_text ? 510 : 255); break;
      case column_type::memo: case column_type::ole: d.length = 0; break;
      case column_type::boolean: d.length = 1; break;
      default: d.length = uint16_t(fixed_type_size(c.type)); break;
    }
    t.columns.push_back(d);
  }
  t.max_columns = n;
  // The Jet 4 engine stores these blocks alphabetically; the Jet 3 engine keeps them in column order
  // and only its long-value map list is alphabetical.
  auto lower = [](const std::wstring& s) {
    std::wstring r = s;
    for (auto& ch : r) ch = wchar_t(std::towlower(wint_t(ch)));
    return r;
  };
  auto by_name = [&](const column_def& a, const column_def& b) { return lower(a.name) < lower(b.name); };
  if (f.gen != generation::jet3) {
    std::stable_sort(t.columns.begin(), t.columns.end(), by_name);
  } else {
    std::vector<column_def> sorted = t.columns;
    std::stable_sort(sorted.begin(), sorted.end(), by_name);
    for (const auto& c : sorted)
      if (is_long_value_type(c.type)) t.lv_list_order.push_back(c.number);
  }
  return t;
}

void add_index(table_def& t, std::vector<uint16_t> cols, uint8_t flags) {
  index_def ix;
  for (uint16_t c : cols) ix.columns.push_back({c, true});
  ix.flags = flags;
  t.indexes.push_back(ix);
}

void add_logical(table_def& t, const wchar_t* name, uint32_t number, uint32_t physical, logical_index_type type) {
  logical_index_def li;
  li.name = name;
  li.number = number;
  li.physical = physical;
  li.type = type;
  t.logical_indexes.push_back(li);
}

bytes sid(const std::array<uint8_t, 2>& s) { return bytes(s.begin(), s.end()); }

}  // namespace

const wchar_t* system_table_name(system_table which) {
  switch (which) {
    case system_table::objects: return L"MSysObjects";
    case system_table::aces: return L"MSysACEs";
    case system_table::queries: return L"MSysQueries";
    case system_table::relationships: return L"MSysRelationships";
    case system_table::complex_columns: return L"MSysComplexColumns";
    case system_table::complex_unsigned_byte: return L"MSysComplexType_UnsignedByte";
    case system_table::complex_short: return L"MSysComplexType_Short";
    case system_table::complex_long: return L"MSysComplexType_Long";
    case system_table::complex_single: return L"MSysComplexType_IEEESingle";
    case system_table::complex_double: return L"MSysComplexType_IEEEDouble";
    case system_table::complex_guid: return L"MSysComplexType_GUID";
    case system_table::complex_decimal: return L"MSysComplexType_Decimal";
    case system_table::complex_text: return L"MSysComplexType_Text";
    case system_table::complex_attachment: return L"MSysComplexType_Attachment";
  }
  return L"";
}

std::vector<system_table> system_tables(const format& f) {
  std::vector<system_table> out = {system_table::objects, system_table::aces, system_table::queries,
                                   system_table::relationships};
  if (f.gen == generation::ace)
    for (auto t : {system_table::complex_columns, system_table::complex_unsigned_byte, system_table::complex_short,
                   system_table::complex_long, system_table::complex_single, system_table::complex_double,
                   system_table::complex_guid, system_table::complex_decimal, system_table::complex_text,
                   system_table::complex_attachment})
      out.push_back(t);
  return out;
}

table_def system_table_def(const format& f, system_table which, uint32_t tdef_page) {
  namespace cf = column_flag;
  constexpr uint8_t fixed = cf::fixed | cf::updatable | cf::system, var = cf::updatable | cf::system,
                    sidflags = cf::updatable | cf::system | cf::owner_sid;
  // The complex-type templates are ordinary ('N') tables whose columns carry no system flag.
  constexpr uint8_t ace_fixed = cf::fixed | cf::updatable, ace_var = cf::updatable;
  constexpr uint8_t ace_auto = fixed | cf::autonumber;
  const uint8_t jet4 = f.index_flags_always;
  using T = column_type;
  switch (which) {
    case system_table::objects: {
      table_def t = make(f, msysobjects_tdef_page,
                         {{L"Id", T::long_integer, fixed, 0, 0},
                          {L"ParentId", T::long_integer, fixed, 0, 4},
                          {L"Name", T::text, var, 0, 0},
                          {L"Type", T::integer, fixed, 1, 8},
                          {L"DateCreate", T::datetime, fixed, 1, 10},
                          {L"DateUpdate", T::datetime, fixed, 1, 18},
                          {L"Owner", T::binary, sidflags, 1, 0},
                          {L"Flags", T::long_integer, fixed, 2, 26},
                          {L"Database", T::memo, var, 2, 0},
                          {L"Connect", T::memo, var, 3, 0},
                          {L"ForeignName", T::text, var, 4, 0},
                          {L"RmtInfoShort", T::binary, var, 5, 0},
                          {L"RmtInfoLong", T::ole, var, 6, 0},
                          {L"Lv", T::ole, var, 7, 0},
                          {L"LvProp", T::ole, var, 8, 0},
                          {L"LvModule", T::ole, var, 9, 0},
                          {L"LvExtra", T::ole, var, 10, 0}});
      add_index(t, {objects_col::parent_id, objects_col::name}, jet4 | index_flag::unique);
      add_index(t, {objects_col::id}, jet4 | index_flag::unique);
      add_logical(t, L"Id", 1, 1, logical_index_type::primary_key);
      add_logical(t, L"ParentIdName", 0, 0, logical_index_type::other);
      return t;
    }
    case system_table::aces: {
      table_def t = make(f, msysaces_tdef_page,
                         {{L"ObjectId", T::long_integer, fixed, 0, 0},
                          {L"SID", T::binary, sidflags, 0, 0},
                          {L"ACM", T::long_integer, fixed, 1, 4},
                          {L"FInheritable", T::boolean, fixed, 1, 0}});
      add_index(t, {aces_col::object_id}, jet4 | index_flag::required);
      add_logical(t, L"ObjectId", 0, 0, logical_index_type::other);
      return t;
    }
    case system_table::queries: {
      std::vector<col> cols = {{L"ObjectId", T::long_integer, fixed, 0, 0},
                               {L"Attribute", T::byte, fixed, 0, 4},
                               {L"Order", T::binary, var, 0, 0},
                               {L"Name1", T::text, var, 1, 0},
                               {L"Name2", T::text, var, 2, 0},
                               {L"Expression", T::memo, var, 3, 0},
                               {L"Flag", T::integer, fixed, 4, 5}};
      // Jet 3 has no LvExtra column.
      if (f.gen != generation::jet3) cols.push_back({L"LvExtra", T::long_integer, fixed, 4, 7});
      table_def t = make(f, msysqueries_tdef_page, cols);
      add_index(t, {0, 1, 2}, jet4 | index_flag::unique);
      add_logical(t, L"ObjectIdAttribute", 0, 0, logical_index_type::primary_key);
      return t;
    }
    case system_table::relationships: {
      table_def t = make(f, msysrelationships_tdef_page,
                         {{L"szRelationship", T::text, var, 0, 0},
                          {L"grbit", T::long_integer, fixed, 1, 0},
                          {L"ccolumn", T::long_integer, fixed, 1, 4},
                          {L"icolumn", T::long_integer, fixed, 1, 8},
                          {L"szObject", T::text, var, 1, 0},
                          {L"szColumn", T::text, var, 2, 0},
                          {L"szReferencedObject", T::text, var, 3, 0},
                          {L"szReferencedColumn", T::text, var, 4, 0}});
      add_index(t, {0}, jet4 | index_flag::ignore_nulls);
      add_index(t, {4}, jet4 | index_flag::ignore_nulls);
      add_index(t, {6}, jet4 | index_flag::ignore_nulls);
      add_logical(t, L"szObject", 1, 1, logical_index_type::other);
      add_logical(t, L"szReferencedObject", 2, 2, logical_index_type::other);
      add_logical(t, L"szRelationship", 0, 0, logical_index_type::other);
      return t;
    }
    case system_table::complex_columns: {
      table_def t = make(f, tdef_page,
                         {{L"ColumnName", T::text, var, 0, 0},
                          {L"ComplexTypeObjectID", T::long_integer, fixed, 1, 0},
                          {L"FlatTableID", T::long_integer, fixed, 1, 4},
                          {L"ConceptualTableID", T::long_integer, fixed, 1, 8},
                          {L"ComplexID", T::long_integer, ace_auto, 1, 12}});
      t.system = false;
      add_index(t, {4}, jet4 | index_flag::unique | index_flag::ignore_nulls | index_flag::required);
      add_index(t, {3}, jet4 | index_flag::ignore_nulls | index_flag::required);
      add_index(t, {2}, jet4 | index_flag::ignore_nulls | index_flag::required);
      add_logical(t, L"IdxConceptualTableID", 1, 1, logical_index_type::other);
      add_logical(t, L"IdxFlatTableID", 2, 2, logical_index_type::other);
      add_logical(t, L"IdxID", 0, 0, logical_index_type::primary_key);
      return t;
    }
    case system_table::complex_attachment: {
      constexpr uint8_t attachment = column_ext_flag::attachment;
      table_def t = make(f, tdef_page,
                         {{L"FileURL", T::memo, ace_var, 0, 0},
                          {L"FileName", T::text, ace_var, 1, 0},
                          {L"FileType", T::text, ace_var, 2, 0},
                          {L"FileData", T::ole, ace_var, 3, 0},
                          {L"FileTimeStamp", T::datetime, ace_fixed, 4, 0},
                          {L"FileFlags", T::long_integer, ace_fixed, 4, 8}});
      t.system = false;
      for (auto& c : t.columns) c.ext_flags = attachment;
      return t;
    }
    default: {
      // One column `Value` of the kind the template stands for.
      column_type type = T::byte;
      switch (which) {
        case system_table::complex_short: type = T::integer; break;
        case system_table::complex_long: type = T::long_integer; break;
        case system_table::complex_single: type = T::single; break;
        case system_table::complex_double: type = T::double_; break;
        case system_table::complex_guid: type = T::guid; break;
        case system_table::complex_decimal: type = T::decimal; break;
        case system_table::complex_text: type = T::text; break;
        default: break;
      }
      // Decimal is stored as a variable column here, unlike in user tables.
      bool variable = type == T::decimal || type == T::text;
      table_def t = make(f, tdef_page, {{L"Value", type, variable ? ace_var : ace_fixed, 0, 0}});
      t.system = false;
      if (type == T::decimal) {
        // As the engine defines it: precision 18, scale 0, and a length of 9.
        t.columns[0].precision = 18;
        t.columns[0].scale = 0;
        t.columns[0].length = 9;
      }
      return t;
    }
  }
}

std::vector<value> object_row(uint32_t id, uint32_t parent, const std::wstring& name, int16_t type, double date,
                              uint32_t flags, const bytes& owner, const bytes& lv_prop) {
  std::vector<value> r(objects_col::count);
  r[objects_col::id] = value::long_integer(int32_t(id));
  r[objects_col::parent_id] = value::long_integer(int32_t(parent));
  r[objects_col::name] = value::text(name);
  r[objects_col::type] = value::integer(type);
  r[objects_col::date_create] = value::datetime({date});
  r[objects_col::date_update] = value::datetime({date});
  r[objects_col::flags] = value::long_integer(int32_t(flags));
  if (!owner.empty()) r[objects_col::owner] = value::binary(owner);
  if (!lv_prop.empty()) r[objects_col::lv_prop] = value::binary(lv_prop);
  return r;
}

std::vector<value> ace_row(uint32_t object_id, const bytes& s, int32_t acm, bool inheritable) {
  std::vector<value> r(aces_col::count);
  r[aces_col::object_id] = value::long_integer(int32_t(object_id));
  r[aces_col::sid] = value::binary(s);
  r[aces_col::acm] = value::long_integer(acm);
  r[aces_col::inheritable] = value::boolean(inheritable);
  return r;
}

std::vector<std::vector<value>> blank_object_rows(const format& f, double date,
                                                  const std::vector<uint32_t>& extra_tables) {
  const reference_blank& ref = reference_for(f);
  bytes s1 = sid(ref.sid_s1), s2 = sid(ref.sid_s2);
  std::vector<std::vector<value>> rows = {
      object_row(tables_container_id, root_container_id, L"Tables", object_type_container, date, system_object_flags, s1),
      object_row(databases_container_id, root_container_id, L"Databases", object_type_container, date, system_object_flags, s1),
      object_row(relationships_container_id, root_container_id, L"Relationships", object_type_container, date,
                 system_object_flags, s1),
      object_row(msysdb_id, databases_container_id, L"MSysDb", object_type_database, date, system_object_flags, s2),
      object_row(msysobjects_tdef_page, tables_container_id, L"MSysObjects", object_type_table, date, system_object_flags, s1),
      object_row(msysaces_tdef_page, tables_container_id, L"MSysACEs", object_type_table, date, system_object_flags, s1),
      object_row(msysqueries_tdef_page, tables_container_id, L"MSysQueries", object_type_table, date, system_object_flags, s1),
      object_row(msysrelationships_tdef_page, tables_container_id, L"MSysRelationships", object_type_table, date,
                 system_object_flags, s1),
  };
  // The ACE tables have no owner; the complex-type templates carry two more flag bits.
  auto extra = system_tables(f);
  for (size_t i = 4; i < extra.size() && i - 4 < extra_tables.size(); ++i)
    rows.push_back(object_row(extra_tables[i - 4], tables_container_id, system_table_name(extra[i]), object_type_table,
                              date, extra[i] == system_table::complex_columns ? system_object_flags
                                                                               : complex_type_object_flags,
                              {}));
  return rows;
}

std::vector<std::vector<value>> blank_ace_rows(const format& f, const std::vector<uint32_t>& extra_tables) {
  const reference_blank& ref = reference_for(f);
  bytes s2 = sid(ref.sid_s2), s3 = sid(ref.sid_s3), s4 = sid(ref.sid_s4);
  if (f.gen == generation::jet3) {
    // As an Access 97 database holds them: the Jet 4 set with inheritable full rights of S2 on the
    // Tables container, and rights of the administrators' SID on the system tables and containers.
    const bytes& admins = ref.sid_admins;
    return {
        ace_row(msysobjects_tdef_page, s2, 393216, false),
        ace_row(msysaces_tdef_page, s2, 393216, false),
        ace_row(msysqueries_tdef_page, s2, 393216, false),
        ace_row(msysrelationships_tdef_page, s2, 917504, false),
        ace_row(tables_container_id, s4, 983294, true),
        ace_row(tables_container_id, s2, 1048319, true),
        ace_row(relationships_container_id, s4, 983294, true),
        ace_row(relationships_container_id, s2, 393217, false),
        ace_row(databases_container_id, s2, 393216, false),
        ace_row(msysdb_id, s2, 393230, false),
        ace_row(msysdb_id, s3, 14, false),
        ace_row(msysdb_id, admins, 393230, false),
        ace_row(msysobjects_tdef_page, admins, 393300, false),
        ace_row(msysaces_tdef_page, admins, 393300, false),
        ace_row(msysqueries_tdef_page, admins, 393236, false),
        ace_row(msysqueries_tdef_page, s3, 20, false),
        ace_row(msysrelationships_tdef_page, admins, 393236, false),
        ace_row(msysrelationships_tdef_page, s3, 20, false),
        ace_row(msysobjects_tdef_page, s3, 20, false),
        ace_row(tables_container_id, admins, 1048319, true),
        ace_row(tables_container_id, s3, 1048319, true),
        ace_row(relationships_container_id, admins, 1048575, true),
        ace_row(relationships_container_id, s3, 1048575, true),
    };
  }
  std::vector<std::vector<value>> rows = {
      ace_row(msysobjects_tdef_page, s2, 393216, false),
      ace_row(msysaces_tdef_page, s2, 393216, false),
      ace_row(msysqueries_tdef_page, s2, 393216, false),
      ace_row(msysrelationships_tdef_page, s2, 917504, false),
      ace_row(tables_container_id, s4, 983294, true),
      ace_row(tables_container_id, s2, 393217, false),
      ace_row(relationships_container_id, s4, 983294, true),
      ace_row(relationships_container_id, s2, 393217, false),
      ace_row(databases_container_id, s2, 393216, false),
      ace_row(msysdb_id, s2, 393230, false),
      ace_row(msysdb_id, s3, 14, false),
      ace_row(msysqueries_tdef_page, s3, 20, false),
      ace_row(msysrelationships_tdef_page, s3, 20, false),
      ace_row(msysobjects_tdef_page, s3, 20, false),
      ace_row(tables_container_id, s3, 1048319, true),
      ace_row(relationships_container_id, s3, 1048575, true),
  };
  // The ACE tables: the rights the engine gives its own tables.
  for (uint32_t id : extra_tables) rows.push_back(ace_row(id, s2, 393216, false));
  for (uint32_t id : extra_tables) rows.push_back(ace_row(id, s3, 20, false));
  return rows;
}

std::vector<std::vector<value>> new_table_ace_rows(const format& f, uint32_t table_id) {
  const reference_blank& ref = reference_for(f);
  // Access 97: one row for each SID holding inheritable rights 1048319 on the Tables container, with
  // those rights, not inheritable.
  if (f.gen == generation::jet3)
    return {
        ace_row(table_id, sid(ref.sid_s2), 1048319, false),
        ace_row(table_id, ref.sid_admins, 1048319, false),
        ace_row(table_id, sid(ref.sid_s3), 1048319, false),
    };
  // One full-rights row for each SID that holds rights on the Tables container.
  return {
      ace_row(table_id, sid(ref.sid_s2), 1048575, false),
      ace_row(table_id, sid(ref.sid_s3), 1048575, false),
      ace_row(table_id, sid(ref.sid_s4), 1048575, false),
  };
}

bytes new_object_owner(const format& f) { return sid(reference_for(f).sid_s2); }

}  // namespace jet
