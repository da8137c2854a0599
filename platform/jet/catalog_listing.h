// What an existing database holds, as a catalog: the objects of its Tables container with their kind,
// its stored queries and its relationships.
//
// MSysObjects rows of the Tables container (ParentId 0x0F000001) are tables and queries:
//   Type 1 local table, 6 table linked from another Access file, 4 ODBC-linked table, 5 query.
//   Flags 0x80000000 / 0x00000002 mark system and hidden system objects (the MSys* tables).
// Stored queries are not kept as text: MSysQueries holds one row per clause element, keyed by
// (ObjectId, Attribute, Order); `list_queries` rebuilds SQL text from them for the common shapes
// (select, with joins, WHERE, GROUP BY, HAVING, ORDER BY; action queries best effort). The text is
// for listing only: spacing and brackets are ours, not Access's.
// MSysRelationships holds one row per column pair (szRelationship, grbit, ccolumn, icolumn,
// szObject/szColumn = the referencing side, szReferencedObject/szReferencedColumn = the referenced
// side); `list_relationships` groups them by name in icolumn order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/jet/reader.h"

namespace jet {

enum class object_kind : uint8_t { local_table, linked_table, odbc_table, query, system_table };

struct catalog_object {
  std::wstring name;
  object_kind kind = object_kind::local_table;
  int16_t type = 0;       // MSysObjects.Type
  uint32_t flags = 0;     // MSysObjects.Flags
  uint32_t id = 0;        // MSysObjects.Id (the TDEF page of a local table)
  std::wstring connect;       // linked tables: the connect string (";DATABASE=..." or "ODBC;...")
  std::wstring foreign_name;  // linked tables: the table's name in its own database
};

// Tables (local, linked, system) and queries, in catalog order.
std::vector<catalog_object> list_objects(const database_reader& db);

namespace relationship_flag {
inline constexpr uint32_t one_to_one = 0x00000001;
inline constexpr uint32_t not_enforced = 0x00000002;
inline constexpr uint32_t cascade_update = 0x00000100;
inline constexpr uint32_t cascade_delete = 0x00001000;
}  // namespace relationship_flag

struct relationship {
  std::wstring name;
  uint32_t grbit = 0;
  std::wstring table;                          // the referencing ("many") side
  std::vector<std::wstring> columns;
  std::wstring referenced_table;               // the referenced ("one") side
  std::vector<std::wstring> referenced_columns;
  bool enforced() const { return (grbit & relationship_flag::not_enforced) == 0; }
};

std::vector<relationship> list_relationships(const database_reader& db);

enum class query_kind : uint8_t {
  select, crosstab, delete_, update, append, make_table, data_definition, pass_through, union_, unknown
};

struct stored_query {
  std::wstring name;
  uint32_t flags = 0;  // MSysObjects.Flags
  query_kind kind = query_kind::unknown;
  std::wstring sql;    // reconstructed text (empty when the rows hold nothing to rebuild it from)
};

std::vector<stored_query> list_queries(const database_reader& db);

}  // namespace jet
