// An index tree already in the file, read while rows are appended to its table in place.
//
// The rows already in the table keep their places, so the tree's leaf entries (encoded keys with
// row pointers) stay valid as they are: `next` hands them out one at a time in index order, to be
// merged with the new rows' entries into the rebuilt tree, and `contains` answers whether a key is
// already there, for unique indexes. Neither holds more than a bounded number of decoded pages: the
// walk one page per level, the look-up a bounded cache of node pages and the last leaf read. Keys
// outside the tree's key range are answered at once; the first look-up within it builds a filter of
// the tree's keys (key_filter.h, within `filter_bytes`), so that only keys that may be there descend
// the tree.
//
// The walk of a large tree (`expected_keys` of 1,000 or more) reads and decodes its leaves on another
// thread, a bounded number of leaves ahead of `next`, so that merging the entries does not wait for
// the file; a damaged page met there stops `next` with the same error.
//
// Look-ups rely on the shape every tree of this format has (index_scan.h checks it): a node entry is
// a copy of the last leaf entry below its child, and the node's tail holds what follows its last
// entry. Damaged pages stop either with jet::error (corrupt).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "platform/jet/format.h"
#include "platform/jet/index_page.h"
#include "platform/jet/key_filter.h"
#include "platform/jet/page_io.h"

namespace jet {

class existing_index {
 public:
  // `root` 0 stands for a tree without entries; `expected_keys` (the table's row count) sizes the
  // filter, which takes at most `filter_bytes`.
  existing_index(const format& f, const page_source& file, uint32_t root, size_t expected_keys, size_t filter_bytes);

  // Is there an entry with exactly this key?
  bool contains(std::span<const uint8_t> key);

  // The next leaf entry in index order (valid until the next call), nullptr after the last.
  const index_entry_ref* next();

  ~existing_index();
  existing_index(const existing_index&) = delete;
  existing_index& operator=(const existing_index&) = delete;

 private:
  struct leaf_entry {
    size_t offset;  // into the leaf's keys
    size_t length;
    uint32_t page;
    uint8_t row;
  };
  // One leaf page's entries, its keys back to back.
  struct leaf {
    std::vector<uint8_t> keys;
    std::vector<leaf_entry> entries;
  };
  struct frame {
    index_page page;  // a node page, decoded whole
    size_t pos = 0;
  };
  class read_ahead;
  index_page load(uint32_t page) const;
  // Reads a page of the walk: a node goes onto the walk, a leaf into `out` (true).
  bool visit(uint32_t page, leaf& out);
  // The walk's next leaf into `out`; false after the last.
  bool next_leaf(leaf& out);
  bool take_leaf();

  const format& f_;
  const page_source& file_;
  uint32_t pages_;  // the file's pages when the tree was opened: the tree lies within them
  uint32_t root_;
  size_t expected_keys_;
  size_t filter_bytes_;
  std::optional<bytes> first_key_;  // the smallest key (none: the tree is empty)
  std::optional<bytes> last_key_;   // the largest key
  key_filter filter_;               // built at the first look-up within the key range
  std::unordered_map<uint32_t, index_page> nodes_;
  uint32_t leaf_number_ = 0;
  index_page leaf_;
  // The walk (on the read-ahead thread while there is one).
  std::vector<frame> walk_;
  size_t depth_ = 0;  // frames of walk_ in use (the others keep their memory for the next pages)
  bool walking_ = false;
  // What `next` hands out.
  std::unique_ptr<read_ahead> ahead_;
  bool ahead_tried_ = false;
  leaf leaf_entries_;
  size_t pos_ = 0;
  index_entry_ref current_;
};

}  // namespace jet
