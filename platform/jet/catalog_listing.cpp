// Catalog listing: objects, relationships and stored queries of an existing database.
#include "platform/jet/catalog_listing.h"

#include <algorithm>
#include <cwctype>
#include <map>

#include "platform/jet/catalog.h"
#include "platform/jet/error.h"

namespace jet {

namespace {

// A column of a system table looked up by name (their column numbers differ between files).
struct column_lookup {
  explicit column_lookup(const table_def& t) : t_(t) {}
  int operator()(const wchar_t* name) const {
    const column_def* c = t_.find_column(name);
    return c ? c->number : -1;
  }
  const table_def& t_;
};

const value& field(const std::vector<value>& row, int column) {
  static const value null_value;
  return column >= 0 && size_t(column) < row.size() ? row[size_t(column)] : null_value;
}


// The rows of a system table, or none when the file does not have it.
std::vector<std::vector<value>> system_rows(const database_reader& db, const wchar_t* name, table_def& def) {
  const catalog_entry* e = db.find_table(name);
  if (!e) return {};
  def = db.table_at(e->id);
  std::vector<std::vector<value>> rows;
  auto cursor = db.rows(def);
  std::vector<value> row;
  while (cursor.next(row)) rows.push_back(row);
  return rows;
}

}  // namespace

std::vector<catalog_object> list_objects(const database_reader& db) {
  std::vector<catalog_object> out;
  for (const catalog_entry& e : db.objects()) {
    if (e.parent_id != tables_container_id) continue;
    catalog_object o;
    o.type = e.type;
    switch (o.type) {
      case object_type_table: o.kind = object_kind::local_table; break;
      case object_type_odbc_link: o.kind = object_kind::odbc_table; break;
      case object_type_access_link: o.kind = object_kind::linked_table; break;
      case object_type_query: o.kind = object_kind::query; break;
      default: continue;
    }
    o.name = e.name;
    o.id = e.id;
    o.flags = e.flags;
    o.connect = e.connect;
    o.foreign_name = e.foreign_name;
    if (o.kind == object_kind::local_table && e.is_system()) o.kind = object_kind::system_table;
    out.push_back(std::move(o));
  }
  return out;
}

std::vector<relationship> list_relationships(const database_reader& db) {
  table_def def;
  auto rows = system_rows(db, L"MSysRelationships", def);
  column_lookup col(def);
  int c_name = col(L"szRelationship"), c_grbit = col(L"grbit"), c_index = col(L"icolumn"),
      c_object = col(L"szObject"), c_column = col(L"szColumn"), c_ref = col(L"szReferencedObject"),
      c_ref_column = col(L"szReferencedColumn");
  struct pair_row {
    int64_t position;
    std::wstring column, referenced_column;
  };
  std::vector<relationship> out;
  std::map<std::wstring, size_t> by_name;
  std::vector<std::vector<pair_row>> pairs;
  for (const auto& row : rows) {
    std::wstring name = catalog_text(field(row, c_name));
    auto it = by_name.find(name);
    if (it == by_name.end()) {
      relationship r;
      r.name = name;
      r.grbit = uint32_t(catalog_number(field(row, c_grbit)));
      r.table = catalog_text(field(row, c_object));
      r.referenced_table = catalog_text(field(row, c_ref));
      it = by_name.emplace(name, out.size()).first;
      out.push_back(std::move(r));
      pairs.emplace_back();
    }
    pairs[it->second].push_back({catalog_number(field(row, c_index)), catalog_text(field(row, c_column)),
                                 catalog_text(field(row, c_ref_column))});
  }
  for (size_t i = 0; i < out.size(); ++i) {
    std::stable_sort(pairs[i].begin(), pairs[i].end(),
                     [](const pair_row& a, const pair_row& b) { return a.position < b.position; });
    for (const auto& p : pairs[i]) {
      out[i].columns.push_back(p.column);
      out[i].referenced_columns.push_back(p.referenced_column);
    }
  }
  return out;
}

// ------------------------------------------------------------------------------------------------ queries

namespace {

struct query_row {
  int attribute = 0;
  bytes order;
  std::wstring name1, name2, expression;
  int64_t flag = 0;
};

const wchar_t* parameter_type(int64_t code) {
  switch (code) {
    case 1: return L"Bit";
    case 2: return L"Byte";
    case 3: return L"Short";
    case 4: return L"Long";
    case 5: return L"Currency";
    case 6: return L"IEEESingle";
    case 7: return L"IEEEDouble";
    case 8: return L"DateTime";
    case 9: return L"Binary";
    case 10: return L"Text";
    case 11: return L"LongBinary";
    case 12: return L"Memo";
    case 15: return L"Guid";
    default: return L"Value";
  }
}

std::wstring join(const std::vector<std::wstring>& parts, const std::wstring& sep) {
  std::wstring out;
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? sep : std::wstring()) + parts[i];
  return out;
}

// Table names are bracketed when they are not plain identifiers.
std::wstring table_ref(const std::wstring& name) {
  bool plain = !name.empty();
  for (wchar_t c : name)
    if (!(std::iswalnum(wint_t(c)) || c == L'_')) plain = false;
  return plain ? name : L"[" + name + L"]";
}

std::wstring rebuild_sql(query_kind kind, const std::vector<query_row>& rows) {
  std::wstring target, type_text;
  int64_t options = 0;
  std::wstring top;
  std::vector<std::wstring> params, tables, where, group, having, order, remote;
  std::vector<const query_row*> columns, joins, union_parts;
  for (const auto& r : rows) {
    switch (r.attribute) {
      case 1: target = r.name1; type_text = r.expression; break;
      case 2: params.push_back(table_ref(r.name1) + L" " + parameter_type(r.flag)); break;
      case 3: options = r.flag; top = r.name1; break;
      case 4: remote.push_back(r.name1); break;
      case 5:
        if (kind == query_kind::union_) union_parts.push_back(&r);
        else tables.push_back(table_ref(r.name1) + (r.name2.empty() ? std::wstring() : L" AS " + r.name2));
        break;
      case 6: columns.push_back(&r); break;
      case 7: joins.push_back(&r); break;
      case 8: where.push_back(r.expression); break;
      case 9: group.push_back(r.expression); break;
      case 10: having.push_back(r.expression); break;
      case 11: order.push_back(r.expression + (r.name1 == L"D" ? L" DESC" : L"")); break;
      default: break;
    }
  }
  if (kind == query_kind::data_definition || kind == query_kind::pass_through) return type_text;

  std::wstring prefix = params.empty() ? std::wstring() : L"PARAMETERS " + join(params, L", ") + L";\n";
  std::wstring tail;
  if (!order.empty()) tail += L"\nORDER BY " + join(order, L", ");

  if (kind == query_kind::union_) {
    std::vector<std::wstring> parts;
    for (const auto* p : union_parts) parts.push_back(p->expression);
    return prefix + join(parts, (options & 0x2) ? L"\nUNION " : L"\nUNION ALL ") + tail + L";";
  }

  // FROM: joins first (each joins its right table onto what came before), then the other tables.
  std::wstring from;
  std::vector<std::wstring> joined;
  auto in_joined = [&](const std::wstring& t) { return std::find(joined.begin(), joined.end(), t) != joined.end(); };
  // Several rows joining the same two tables the same way are one join with several conditions.
  struct join_group {
    const query_row* first;
    std::vector<std::wstring> conditions;
  };
  std::vector<join_group> groups;
  for (const auto* j : joins) {
    auto same = std::find_if(groups.begin(), groups.end(), [&](const join_group& g) {
      return g.first->flag == j->flag && ((g.first->name1 == j->name1 && g.first->name2 == j->name2) ||
                                          (g.first->name1 == j->name2 && g.first->name2 == j->name1));
    });
    if (same == groups.end()) groups.push_back({j, {j->expression}});
    else same->conditions.push_back(j->expression);
  }
  for (const auto& g : groups) {
    const query_row* j = g.first;
    const wchar_t* how = j->flag == 2 ? L" LEFT JOIN " : j->flag == 3 ? L" RIGHT JOIN " : L" INNER JOIN ";
    std::wstring on = g.conditions.front();
    if (g.conditions.size() > 1) {
      std::vector<std::wstring> wrapped;
      for (const auto& c : g.conditions) wrapped.push_back(L"(" + c + L")");
      on = join(wrapped, L" AND ");
    }
    if (from.empty()) {
      from = table_ref(j->name1) + how + table_ref(j->name2) + L" ON " + on;
    } else {
      const std::wstring& other = in_joined(j->name1) ? j->name2 : j->name1;
      from = L"(" + from + L")" + how + table_ref(other) + L" ON " + on;
    }
    joined.push_back(j->name1);
    joined.push_back(j->name2);
  }
  std::vector<std::wstring> from_parts;
  if (!from.empty()) from_parts.push_back(from);
  for (const auto& t : tables) {
    std::wstring bare = t.substr(0, t.find(L" AS "));
    if (bare.size() > 1 && bare.front() == L'[') bare = bare.substr(1, bare.size() - 2);
    if (!in_joined(bare)) from_parts.push_back(t);
  }
  std::wstring from_clause = from_parts.empty() ? std::wstring() : L"\nFROM " + join(from_parts, L", ");
  if (!remote.empty()) from_clause += L" IN '" + remote.front() + L"'";
  std::wstring filters;
  if (!where.empty()) filters += L"\nWHERE " + join(where, L" AND ");
  std::wstring grouping;
  if (!group.empty()) grouping += L"\nGROUP BY " + join(group, L", ");
  if (!having.empty()) grouping += L"\nHAVING " + join(having, L" AND ");

  std::vector<std::wstring> outputs, targets, values;
  std::wstring pivot, transform;
  for (const auto* c : columns) {
    std::wstring e = c->expression + (c->name1.empty() ? std::wstring() : L" AS " + c->name1);
    if (kind == query_kind::crosstab) {
      if (c->flag == 1) { pivot = c->expression; continue; }
      if (c->flag != 2) { transform = e; continue; }
    }
    outputs.push_back(e);
    targets.push_back(c->name2);
    values.push_back(c->expression);
  }
  std::wstring select_head = L"SELECT ";
  if (options & 0x2) select_head += L"DISTINCT ";
  if (options & 0x8) select_head += L"DISTINCTROW ";
  if (options & 0x10) select_head += L"TOP " + top + ((options & 0x20) ? L" PERCENT " : L" ");
  if (options & 0x1) outputs.insert(outputs.begin(), L"*");
  std::wstring list = join(outputs, L", ");

  switch (kind) {
    case query_kind::make_table:
      return prefix + select_head + list + L" INTO " + table_ref(target) + from_clause + filters + grouping + tail + L";";
    case query_kind::append: {
      std::vector<std::wstring> t, v;
      for (size_t i = 0; i < targets.size(); ++i) {
        t.push_back(targets[i]);
        v.push_back(outputs[i]);
      }
      return prefix + L"INSERT INTO " + table_ref(target) + (t.empty() ? std::wstring() : L" (" + join(t, L", ") + L")") +
             L"\n" + select_head + join(v, L", ") + from_clause + filters + grouping + tail + L";";
    }
    case query_kind::update: {
      std::vector<std::wstring> sets;
      for (size_t i = 0; i < targets.size(); ++i) sets.push_back(targets[i] + L" = " + values[i]);
      std::wstring tables_text = from_clause.size() > 6 ? from_clause.substr(6) : std::wstring();
      return prefix + L"UPDATE " + tables_text + L" SET " + join(sets, L", ") + filters + L";";
    }
    case query_kind::delete_:
      return prefix + L"DELETE " + list + from_clause + filters + L";";
    case query_kind::crosstab:
      return prefix + L"TRANSFORM " + transform + L"\n" + select_head + list + from_clause + filters + grouping +
             L"\nPIVOT " + pivot + L";";
    default:
      return prefix + select_head + list + from_clause + filters + grouping + tail + L";";
  }
}

query_kind kind_from_flags(uint32_t flags) {
  switch ((flags >> 4) & 0xF) {
    case 0: return query_kind::select;
    case 1: return query_kind::crosstab;
    case 2: return query_kind::delete_;
    case 3: return query_kind::update;
    case 4: return query_kind::append;
    case 5: return query_kind::make_table;
    case 6: return query_kind::data_definition;
    case 7: return query_kind::pass_through;
    case 8: return query_kind::union_;
    default: return query_kind::unknown;
  }
}

query_kind kind_from_type_row(int64_t code) {
  switch (code) {
    case 1: return query_kind::select;
    case 2: return query_kind::make_table;
    case 3: return query_kind::append;
    case 4: return query_kind::update;
    case 5: return query_kind::delete_;
    case 6: return query_kind::crosstab;
    case 7: return query_kind::data_definition;
    case 8: return query_kind::pass_through;
    case 9: return query_kind::union_;
    default: return query_kind::unknown;
  }
}

}  // namespace

std::vector<stored_query> list_queries(const database_reader& db) {
  std::vector<stored_query> out;
  std::vector<uint32_t> ids;
  for (const auto& o : list_objects(db)) {
    if (o.kind != object_kind::query) continue;
    stored_query q;
    q.name = o.name;
    q.flags = o.flags;
    q.kind = kind_from_flags(o.flags);
    out.push_back(std::move(q));
    ids.push_back(o.id);
  }
  if (out.empty()) return out;
  table_def def;
  auto rows = system_rows(db, L"MSysQueries", def);
  column_lookup col(def);
  int c_id = col(L"ObjectId"), c_attr = col(L"Attribute"), c_order = col(L"Order"), c_name1 = col(L"Name1"),
      c_name2 = col(L"Name2"), c_expr = col(L"Expression"), c_flag = col(L"Flag");
  std::map<uint32_t, std::vector<query_row>> by_id;
  for (const auto& row : rows) {
    query_row r;
    r.attribute = int(catalog_number(field(row, c_attr)));
    const value& o = field(row, c_order);
    if (o.kind_of() == value::kind::binary) r.order = o.as_binary();
    r.name1 = catalog_text(field(row, c_name1));
    r.name2 = catalog_text(field(row, c_name2));
    r.expression = catalog_text(field(row, c_expr));
    r.flag = catalog_number(field(row, c_flag));
    by_id[uint32_t(catalog_number(field(row, c_id)))].push_back(std::move(r));
  }
  for (size_t i = 0; i < out.size(); ++i) {
    auto it = by_id.find(ids[i]);
    if (it == by_id.end()) continue;
    auto& rows_of = it->second;
    std::stable_sort(rows_of.begin(), rows_of.end(), [](const query_row& a, const query_row& b) {
      return a.attribute != b.attribute ? a.attribute < b.attribute : a.order < b.order;
    });
    for (const auto& r : rows_of)
      if (r.attribute == 1 && out[i].kind == query_kind::unknown) out[i].kind = kind_from_type_row(r.flag);
    out[i].sql = rebuild_sql(out[i].kind, rows_of);
  }
  return out;
}

}  // namespace jet
