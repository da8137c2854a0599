// Reading an index tree from a key on: its leaf entries in key order, from the first whose key is not below a
// given key, one leaf page in memory at a time.
//
// The walk descends from the root to the leaf that holds that first entry (a node entry is a copy of the last
// leaf entry below its child, so the child to take is the one of the first node entry not below the key, or
// the node's tail), then follows the leaves' next-page links. A page that is not an index page of the walk's
// kind, lies beyond the file or is met twice stops it with jet::error (corrupt).
#pragma once

#include <cstdint>

#include "platform/jet/format.h"
#include "platform/jet/index_page.h"
#include "platform/jet/page_io.h"
#include "platform/jet/types.h"

namespace jet {

class index_seek {
 public:
  // `root` 0 stands for a tree without entries.
  index_seek(const format& f, const page_source& file, uint32_t root, const bytes& from);

  // The next leaf entry (valid until the next call), nullptr after the last.
  const index_entry* next();

 private:
  index_page load(uint32_t page) const;

  const format& f_;
  const page_source& file_;
  index_page leaf_;
  size_t pos_ = 0;
  uint32_t leaves_read_ = 0;
  bool done_ = false;
};

}  // namespace jet
