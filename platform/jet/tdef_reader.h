// Reads a table definition from its TDEF page chain (the layout tdef_builder.h describes).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/jet/format.h"
#include "platform/jet/page_io.h"
#include "platform/jet/table_def.h"

namespace jet {

// Throws jet::error (corrupt) naming the page when the chain or a block is damaged.
// `chain` (optional) receives every TDEF page of the definition.
table_def read_tdef(const format& f, const page_source& src, uint32_t page, std::vector<uint32_t>* chain = nullptr);

}  // namespace jet
