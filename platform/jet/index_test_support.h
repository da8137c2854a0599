// Test helpers for the index code: an in-memory page file and sample-file access.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/jet/error.h"
#include "platform/jet/page_io.h"

namespace jet {

// Pages kept in memory; page 0 is reserved (like the header page of a real file).
class scratch_pages : public page_allocator, public page_source {
 public:
  explicit scratch_pages(uint32_t page_size, uint32_t reserved = 1) : page_size_(page_size) {
    pages_.resize(reserved, std::vector<uint8_t>(page_size, 0));
  }
  // Loads a whole file.
  static scratch_pages from_file(const std::string& path, uint32_t page_size) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::vector<uint8_t> all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    scratch_pages m(page_size, 0);
    for (size_t off = 0; off + page_size <= all.size(); off += page_size) {
      m.pages_.emplace_back(all.begin() + off, all.begin() + off + page_size);
    }
    return m;
  }

  uint32_t allocate() override {
    pages_.emplace_back(page_size_, 0xEE);  // junk until written
    return uint32_t(pages_.size() - 1);
  }
  void write(uint32_t page, std::span<const uint8_t> bytes) override {
    if (page >= pages_.size() || bytes.size() != page_size_) throw std::runtime_error("bad page write");
    pages_[page].assign(bytes.begin(), bytes.end());
  }
  uint32_t page_count() const override { return uint32_t(pages_.size()); }
  std::vector<uint8_t> read(uint32_t page) const override {
    if (page >= pages_.size()) throw_corrupt("page beyond the end of the file");
    return pages_[page];
  }
  std::vector<uint8_t>& page(uint32_t n) { return pages_[n]; }

 private:
  uint32_t page_size_;
  std::vector<std::vector<uint8_t>> pages_;
};

inline std::string sample_path(const std::string& name) {
  return std::string(TT_TEST_DATA_DIR) + "/access-format/" + name;
}

}  // namespace jet
