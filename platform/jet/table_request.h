// Turning a requested table (columns, indexes, description) into a table definition and its
// property blob; used for new tables in new and in existing files alike.
#pragma once

#include <string>
#include <vector>

#include "platform/jet/database.h"
#include "platform/jet/properties.h"
#include "platform/jet/table_writer.h"

namespace jet {

// Checks an object or field name the way Access does (3125 when it cannot be used; in Jet 3 also
// for a character the database code page cannot hold).
void check_name(const format& f, const std::wstring& name);

// Validates the request (3264, 3190, 3125, 3191, 3259, 3626, 3284, 3283, 3631, 3265) and
// builds the definition; `rules` receives the row rules by column number.
table_def define_table(const format& f, const std::vector<column_spec>& columns, const std::vector<index_spec>& indexes,
                       std::vector<column_rules>& rules);
// Validates one index over the table's columns (3264, 3631, 3265, 3259, 3191) and builds its
// physical index: columns, directions and flags.
index_def define_index(const format& f, const table_def& t, const index_spec& s);
property_blob table_properties(const std::vector<column_spec>& columns, const std::wstring& description);

}  // namespace jet
