// Writes a table definition to TDEF pages.
//
//   page header: 02 01, [2] free space − 8, [4] next TDEF page (0 = last)
//   8   [4] length of the logical definition   12 [4] 1625   16 [4] row count   20 [4] last AutoNumber
//   24  01   40 table type (4E user, 53 system)   41 [2] highest column count   43 [2] variable columns
//   45  [2] columns   47 [4] logical indexes   51 [4] physical indexes   55 [4] owned map   59 [4] free map
//   63  index statistics (12 bytes per physical index), column blocks (25 bytes), column names
//       ([2] byte length + UTF-16LE), physical index blocks (52), logical index blocks (28), logical
//       index names, the long-value map list ([2] column, [4] owned map, [4] free map; then FF FF)
// A definition longer than a page continues on further TDEF pages, each adding its bytes after its
// own 8-byte header. Offsets come from the format descriptor. Jet 3 has shorter blocks without the
// constants 1625/1923 (8-byte statistics, 18-byte columns with the code page, 39-byte physical and
// 20-byte logical index blocks), names as [1] length + code-page bytes, and "VC" instead of the free
// space at byte 2 of every TDEF page.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/jet/format.h"
#include "platform/jet/page_io.h"
#include "platform/jet/table_def.h"

namespace jet {

// The logical definition (first page header included, continuation headers excluded).
std::vector<uint8_t> encode_tdef(const format& f, const table_def& t);

// Writes `t` starting at page `t.tdef_page`; continuation pages come from `alloc` and are returned.
std::vector<uint32_t> write_tdef(const format& f, const table_def& t, page_allocator& alloc);

// Bytes the logical definition of `t` takes (to refuse definitions that cannot be written).
uint32_t tdef_size(const format& f, const table_def& t);

}  // namespace jet
