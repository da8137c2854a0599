// Usage maps: which pages an object owns (or, for the global map, which pages are free).
//
// A map is one row on a data page:
//   inline (type 0):    00, [4] start page, bitmap; bit k (LSB first) stands for page start + k
//   reference (type 1): 01, then [4] page numbers of bitmap pages (0 = none); bitmap page i starts
//                       05 01 00 00 and its remaining bits cover pages i × (page size − 4) × 8 onwards
// New maps are inline when the pages fit the inline bitmap (start rounded down to a multiple of 8),
// otherwise reference maps with enough slots to reach the format's file size limit. The global map
// (page 1, row 0) is an inline map from page 0 in which a set bit means the page is free.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/jet/format.h"
#include "platform/jet/page_io.h"

namespace jet {

// Builds the map row for `pages` (any order, no duplicates). A reference map's bitmap pages are
// allocated from `alloc`, written, and appended to `bitmap_pages`.
std::vector<uint8_t> build_usage_map(const format& f, std::vector<uint32_t> pages, page_allocator& alloc,
                                     std::vector<uint32_t>& bitmap_pages);

// Number of bitmap pages a reference map for `pages` would need (0 when an inline map is used).
uint32_t usage_map_bitmap_pages_needed(const format& f, const std::vector<uint32_t>& pages);

// The pages a map row lists, ascending. Reference maps read their bitmap pages from `src`.
// `bitmap_pages` (optional) receives the bitmap pages a reference map uses.
std::vector<uint32_t> read_usage_map(const format& f, std::span<const uint8_t> row, const page_source& src,
                                     std::vector<uint32_t>* bitmap_pages = nullptr);

// Row 0 of page 1. Every page of the file is in use (pages are never freed); bits past the end of the
// file are set (free). Files too large for an inline row on page 1 get a reference map whose bitmap
// pages are allocated from `alloc` (they become part of the file before the row is built).
std::vector<uint8_t> build_global_map_row(const format& f, page_allocator& alloc, const page_source& file,
                                          std::vector<uint32_t>& bitmap_pages);
// Largest file (in pages) an inline global map on page 1 describes.
uint32_t global_map_max_pages(const format& f);

}  // namespace jet
