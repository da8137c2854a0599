// The page interfaces the structure builders and readers work against.
//
// `page_allocator` hands out new page numbers (always at the end of the file: a page once used is
// never given out again) and takes the finished bytes of a page. `page_source` reads a page back.
// The database's page file implements both; tests can implement them over a vector of pages.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace jet {

class page_allocator {
 public:
  virtual ~page_allocator() = default;
  // A fresh page number. The page's bytes are undefined until `write` is called for it.
  virtual uint32_t allocate() = 0;
  // Stores the whole page (`bytes.size()` must equal the page size).
  virtual void write(uint32_t page, std::span<const uint8_t> bytes) = 0;
};

class page_source {
 public:
  virtual ~page_source() = default;
  // Number of pages in the file.
  virtual uint32_t page_count() const = 0;
  // The bytes of `page`; throws jet::error when the page is beyond the end of the file.
  virtual std::vector<uint8_t> read(uint32_t page) const = 0;
};

}  // namespace jet
