// Pages kept in memory: a page_allocator and page_source for tests of the page-level codecs.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/jet/page_io.h"

namespace jet {

class memory_pages : public page_allocator, public page_source {
 public:
  explicit memory_pages(uint32_t page_size) : size_(page_size) {}
  uint32_t allocate() override {
    pages_.emplace_back(size_, 0);
    return uint32_t(pages_.size() - 1);
  }
  void write(uint32_t page, std::span<const uint8_t> b) override { pages_.at(page).assign(b.begin(), b.end()); }
  uint32_t page_count() const override { return uint32_t(pages_.size()); }
  std::vector<uint8_t> read(uint32_t page) const override { return pages_.at(page); }

 private:
  uint32_t size_;
  std::vector<std::vector<uint8_t>> pages_;
};

}  // namespace jet
