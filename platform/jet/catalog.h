// The catalog: the system tables (the four of Jet, and those ACE adds) and the rows of a blank
// database.
//
// MSysObjects (TDEF page 2) lists every object: containers (Tables 0x0F000001, Databases 0x0F000002,
// Relationships 0x0F000003), MSysDb (0x10000000) and one row per table whose Id is its TDEF page.
// MSysACEs holds the permissions (ObjectId, SID, ACM, FInheritable). MSysQueries and
// MSysRelationships are empty in a new database. The Jet 4 engine stores the column blocks and
// logical index blocks of these tables in alphabetical order while the column numbers follow the
// definition order below; the Jet 3 engine keeps the columns in definition order (MSysQueries has no
// LvExtra there). The owner SIDs and the permissions come from the reference blank (header.h): in
// Jet 3, those of an Access 97 database, with its administrators' SID.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/jet/format.h"
#include "platform/jet/table_def.h"
#include "platform/jet/types.h"

namespace jet {

// The engine's system tables: the four of every file, then those ACE adds (complex fields: the
// column list and one template table per kind of multi-value field, and attachments).
enum class system_table : uint8_t {
  objects, aces, queries, relationships,
  complex_columns, complex_unsigned_byte, complex_short, complex_long, complex_single, complex_double,
  complex_guid, complex_decimal, complex_text, complex_attachment,
};

// The system tables of a new file of a generation, in catalog order.
std::vector<system_table> system_tables(const format& f);
inline constexpr uint32_t tables_container_id = 0x0F000001;
inline constexpr uint32_t databases_container_id = 0x0F000002;
inline constexpr uint32_t relationships_container_id = 0x0F000003;
inline constexpr uint32_t root_container_id = 0x0F000000;
inline constexpr uint32_t msysdb_id = 0x10000000;
inline constexpr uint32_t system_object_flags = 0x80000000;
// Flags of the ACE complex-type template tables (system, and two bits the engine sets on them).
inline constexpr uint32_t complex_type_object_flags = 0x80030000;

// TDEF pages of the system tables in a new file.
inline constexpr uint32_t msysobjects_tdef_page = 2;
inline constexpr uint32_t msysaces_tdef_page = 3;
inline constexpr uint32_t msysqueries_tdef_page = 4;
inline constexpr uint32_t msysrelationships_tdef_page = 5;

// The definition of a system table (no usage maps or roots yet). The four Jet tables sit on their
// fixed TDEF pages; the others on `tdef_page`.
table_def system_table_def(const format& f, system_table which, uint32_t tdef_page = 0);
const wchar_t* system_table_name(system_table which);

// MSysObjects column numbers.
namespace objects_col {
inline constexpr uint16_t id = 0, parent_id = 1, name = 2, type = 3, date_create = 4, date_update = 5, owner = 6,
                          flags = 7, database = 8, connect = 9, foreign_name = 10, rmt_info_short = 11,
                          rmt_info_long = 12, lv = 13, lv_prop = 14, lv_module = 15, lv_extra = 16, count = 17;
}
namespace aces_col {
inline constexpr uint16_t object_id = 0, sid = 1, acm = 2, inheritable = 3, count = 4;
}

// MSysObjects.Type values.
inline constexpr int16_t object_type_table = 1;
inline constexpr int16_t object_type_database = 2;
inline constexpr int16_t object_type_container = 3;
inline constexpr int16_t object_type_odbc_link = 4;
inline constexpr int16_t object_type_query = 5;
inline constexpr int16_t object_type_access_link = 6;
inline constexpr int16_t object_type_relationship = 8;

// A MSysObjects row (values by column number).
std::vector<value> object_row(uint32_t id, uint32_t parent, const std::wstring& name, int16_t type, double date,
                              uint32_t flags, const bytes& owner, const bytes& lv_prop = {});
// A MSysACEs row.
std::vector<value> ace_row(uint32_t object_id, const bytes& sid, int32_t acm, bool inheritable);

// The catalog rows of a blank database, in the engine's order; `extra_tables` are the TDEF pages of
// the system tables after the first four (system_tables(f) order).
std::vector<std::vector<value>> blank_object_rows(const format& f, double date,
                                                  const std::vector<uint32_t>& extra_tables = {});
std::vector<std::vector<value>> blank_ace_rows(const format& f, const std::vector<uint32_t>& extra_tables = {});
// The MSysACEs rows of a new user table (one per SID holding rights on the Tables container).
std::vector<std::vector<value>> new_table_ace_rows(const format& f, uint32_t table_id);
// The owner SID of new objects.
bytes new_object_owner(const format& f);

}  // namespace jet
