// Text compared as Access compares it: the evaluator's collation `access_text`, made from the key encoder of
// the file's sort order (jet/sort_order.h). Two texts are equal when their index keys are, so case and
// trailing blanks do not count ('abc' = 'ABC '), and they sort as an index of the file sorts them.
#pragma once

#include "platform/jet/format.h"

struct sqlite3;

namespace dao {

// Registers `access_text` on the connection for the given sort order, and `acc_sort_key(x)`: a text's key under
// it as a blob (blobs compare as the texts do under `access_text`, so grouping or sorting by the key computes
// each value's key once instead of twice a comparison); any other value as it is.
void register_collation(sqlite3* db, jet::sort_order_kind order);

// The comparison itself (negative, zero, positive), on UTF-8 texts.
int compare_access_text(jet::sort_order_kind order, const char* a, int a_size, const char* b, int b_size);

}  // namespace dao
