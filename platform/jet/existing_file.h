// An existing database opened for reading or for changes.
//
// Opening reads the header page: a file that does not exist is 3024, one that is not an Access file
// 3343, a damaged one 3049; the database password given must equal the one in the header (3031
// otherwise; an encrypted file with no password given is 3031 too). Every generation the reader
// knows can be read; changes are allowed only in generations the writer writes (Jet 4): any other is
// refused with 3343 naming its format, before anything is written.
//
// Locks (flock on the original): an exclusive open holds an exclusive lock, any other open a shared
// one; the first change takes the exclusive lock (3045 while another session has the file open).
//
// Changes go to a working copy (working_copy.h) made at the first change; the reader is then
// reopened over the copy. `close` renames the copy over the original when something was changed;
// `abandon` or the destructor without `close` delete the copy and leave the original byte for byte
// as it was. A change that fails half-way gives the copy up: the session refuses further changes
// (3043) and the original stays untouched.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/jet/catalog_listing.h"
#include "platform/jet/database.h"
#include "platform/jet/reader.h"
#include "platform/jet/working_copy.h"

namespace jet {

class existing_file {
 public:
  static std::unique_ptr<existing_file> open(const std::string& path, const open_options& options);
  ~existing_file();

  const format& fmt() const { return reader_->fmt(); }
  const std::string& path() const { return path_; }
  bool read_only() const { return options_.read_only; }
  const database_reader& reader() const { return *reader_; }

  // Tables are addressed by handles, as in a new file; a handle stands for an existing table or for
  // one created in this session alike.
  size_t add_table(const std::wstring& name, const std::vector<column_spec>& columns,
                   const std::vector<index_spec>& indexes, const std::wstring& description);
  size_t table_handle(const std::wstring& name);
  const table_def& table(size_t handle) const;
  uint32_t row_count(size_t handle) const { return table(handle).row_count; }
  void append_row(size_t handle, const std::vector<value>& values);
  void finish_table(size_t handle);
  void delete_table(const std::wstring& name);

  void close();
  void abandon();
  bool closed() const { return closed_; }
  uint64_t bytes_written() const { return bytes_written_; }

 private:
  existing_file() = default;
  void release_lock();

  std::string path_;
  open_options options_;
  int lock_fd_ = -1;
  bool exclusive_locked_ = false;
  std::unique_ptr<database_reader> reader_;
  std::unique_ptr<working_copy> copy_;
  bool modified_ = false;
  bool closed_ = false;
  uint64_t bytes_written_ = 0;
};

// A short English name of a file's format ("Access 2000 (Jet 4)", "Access 2007 (ACE 12)", ...).
std::string format_name(uint8_t version_byte);

}  // namespace jet
