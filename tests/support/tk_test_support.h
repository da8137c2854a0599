// Helpers shared by the toolkit's tests: a scratch folder that is removed afterwards, and whole-file reads.
#pragma once

#include <string>

class tk_scratch_dir {
 public:
  tk_scratch_dir();
  ~tk_scratch_dir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The whole file as bytes; empty when it cannot be read.
std::string tk_read_file(const std::string& path);
void tk_write_file(const std::string& path, const std::string& bytes);
bool tk_file_exists(const std::string& path);
