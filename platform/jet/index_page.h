// Index node pages: the reader and the builder of one B-tree page.
//
// Layout (offsets from the `jet::format` descriptor; Jet 4/ACE values, Jet 3 in brackets):
//
//   0   type: 04 leaf, 03 node (intermediate); then 01
//   2   free space (2): page size - (first entry offset + stored entry bytes)
//   4   owning TDEF page (4)
//   8   0 (4)                                        [absent in Jet 3]
//   12  previous page at this level (4)              [8]
//   16  next page at this level (4)                  [12]
//   20  tail page (4): a node's rightmost child, which no entry names; 0 on leaves  [16]
//   24  shared prefix length (2)                     [20, 1 byte]
//   26  node marker: 1 on node pages, 0 on leaves    [21]
//   27  entry mask (453 bytes)                       [22, 226 bytes]
//   480 entries, back to back                        [248]
//
// A leaf entry is `key, data page (3, big-endian), row (1)`; a node entry is the same followed by
// the child page (4, big-endian), where key and row pointer are a copy of the last entry below
// that child. Bit i of the mask (byte i/8, bit i%8, least significant first) is set when an entry
// ends at stored byte i, so the number of set bits is the number of entries. With a prefix length
// p > 0, every entry after the first omits its first p bytes, which equal the first entry's.
// Entries are in strictly ascending unsigned byte order of the whole entry (key, then row pointer).
//
// The builder writes prefix length 0 (always valid) and the node marker Access writes; the reader
// accepts either, expands prefixes and refuses a page whose structure is damaged.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <span>
#include <vector>

#include "platform/jet/format.h"
#include "platform/jet/types.h"

namespace jet {

struct index_entry {
  bytes key;
  uint32_t page = 0;   // data page of the row
  uint8_t row = 0;     // row number on that page
  uint32_t child = 0;  // node entries only: the child page

  // Order of entries in an index: key, then data page, then row.
  friend bool operator<(const index_entry& a, const index_entry& b) {
    if (a.key != b.key) return a.key < b.key;
    if (a.page != b.page) return a.page < b.page;
    return a.row < b.row;
  }
  friend bool operator==(const index_entry& a, const index_entry& b) = default;
};

// An entry whose key lives elsewhere (an arena): what the builders need, without a copy of the key.
struct index_entry_ref {
  std::span<const uint8_t> key;
  uint32_t page = 0;
  uint8_t row = 0;
  uint32_t child = 0;

  friend bool operator<(const index_entry_ref& a, const index_entry_ref& b) {
    const int c = compare_keys(a.key, b.key);
    if (c != 0) return c < 0;
    if (a.page != b.page) return a.page < b.page;
    return a.row < b.row;
  }
  // Unsigned byte order; a key sorts before every longer key it starts.
  static int compare_keys(std::span<const uint8_t> a, std::span<const uint8_t> b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    if (n > 0) {
      if (const int c = std::memcmp(a.data(), b.data(), n); c != 0) return c < 0 ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
  }
};

inline index_entry_ref as_ref(const index_entry& e) { return {e.key, e.page, e.row, e.child}; }

struct index_page {
  bool leaf = true;
  uint32_t owner = 0;  // TDEF page of the table
  uint32_t prev = 0;
  uint32_t next = 0;
  uint32_t tail = 0;
  std::vector<index_entry> entries;  // whole keys (prefixes expanded)

  // Filled by the reader only, for checks:
  uint32_t stored_free_space = 0;   // the page's free-space field
  uint32_t stored_entry_bytes = 0;  // bytes the entries occupy on the page (after prefix compression)
  uint32_t prefix_length = 0;
  uint8_t node_marker = 0;
};

// Bytes one entry takes on a page written without prefix compression.
inline size_t index_entry_size(const index_entry& e, bool leaf) { return e.key.size() + (leaf ? 4 : 8); }
inline size_t index_entry_size(const index_entry_ref& e, bool leaf) { return e.key.size() + (leaf ? 4 : 8); }

// Bytes available for entries on one page (limited by the page and by the entry mask).
size_t index_page_capacity(const format& f);

// Decodes an index page. `page_number` is used in error messages only. Throws jet::error (corrupt)
// when the page is not an index page or its header, mask and entries do not fit together.
index_page read_index_page(const format& f, std::span<const uint8_t> page, uint32_t page_number = 0);

// The same, handing the entries to `fn` one at a time instead (each key valid during the call only);
// the page returned holds no entries.
index_page read_index_page_entries(const format& f, std::span<const uint8_t> page, uint32_t page_number,
                                   const std::function<void(const index_entry_ref&)>& fn);

// Encodes an index page (prefix length 0) from the header fields of `header` (its own entries are
// ignored) and `entries`. Throws jet::error when the entries do not fit.
std::vector<uint8_t> build_index_page(const format& f, const index_page& header,
                                      std::span<const index_entry> entries);
std::vector<uint8_t> build_index_page(const format& f, const index_page& header,
                                      std::span<const index_entry_ref> entries);
inline std::vector<uint8_t> build_index_page(const format& f, const index_page& page) {
  return build_index_page(f, page, page.entries);
}

// Gives an index page other page numbers: those of the pages at its side (previous, next), its tail and,
// on a node page, the child page that ends each entry. A leaf entry's data page is no page of the tree
// and stays as it is. Number v becomes `real[v - 1]`; 0 (no page) stays 0. This is how a tree built
// in memory under the numbers 1..n is written where the file's next pages are. Throws jet::error
// (corrupt) when the page is not an index page, its mask does not fit it or a number is beyond `real`.
void relocate_index_page(const format& f, std::span<uint8_t> page, std::span<const uint32_t> real,
                         uint32_t page_number = 0);

}  // namespace jet
