// The global usage map of an existing file: page 1, row 0; a set bit means the page is free.
//
// `read_global_free` returns the free bits of the pages the file has. `write_global_map` writes
// row 0 anew for the file as it is now, keeping page 1's other rows as they were: an inline map
// from page 0 while the page holds one, otherwise a reference map whose bitmap pages are the old
// map's bitmap pages first, then pages from `alloc`. Bits past the end of the file are set.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/jet/format.h"
#include "platform/jet/page_io.h"

namespace jet {

struct global_map_state {
  std::vector<bool> free;               // by page number, for the pages of the file
  std::vector<uint32_t> bitmap_pages;   // a reference map's bitmap pages (owned by the map)
};

global_map_state read_global_free(const format& f, const page_source& src);

// `is_free(p)` for each page of the file. Pages of the file must not change size meanwhile.
void write_global_map(const format& f, page_allocator& alloc, const page_source& src,
                      const std::vector<uint32_t>& old_bitmap_pages, const std::function<bool(uint32_t)>& is_free);

}  // namespace jet
