// Opening existing databases; the session over the original or its working copy.
#include "platform/jet/existing_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/jet/error.h"
#include "platform/jet/header.h"

namespace jet {

std::string format_name(uint8_t version) {
  switch (version) {
    case 0: return "Access 97 (Jet 3)";
    case 1: return "Access 2000 (Jet 4)";
    case 2: return "Access 2007 (ACE 12)";
    case 3: return "Access 2010 (ACE 14)";
    case 4: return "Access 2013 (ACE 15)";
    case 5: return "Access 2016 (ACE 16)";
    case 6: return "Access 2019 (ACE 17)";
  }
  return "unknown version " + std::to_string(version);
}

std::unique_ptr<existing_file> existing_file::open(const std::string& path, const open_options& options, double now) {
  std::unique_ptr<existing_file> db(new existing_file());
  db->now_ = now;
  db->path_ = path;
  db->options_ = options;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) throw_error(dao_error::file_not_found, path);
    throw error(dao_error::cannot_open, error_text(dao_error::cannot_open, path));
  }
  db->lock_fd_ = fd;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    throw error(dao_error::cannot_open, error_text(dao_error::cannot_open, path));
  if (::flock(fd, (options.exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) throw_error(dao_error::file_in_use, path);
  db->exclusive_locked_ = options.exclusive;

  std::vector<uint8_t> first(4096, 0);
  ssize_t n = ::pread(fd, first.data(), first.size(), 0);
  if (n < 0x20 || !looks_like_access_header(first.data(), size_t(n))) throw_error(dao_error::unrecognized_format, path);
  first.resize(size_t(n));
  uint8_t version = first[0x14];
  const format* f = format::for_version_byte(version);
  if (!f)
    throw error(dao_error::unrecognized_format, "Unrecognized database format '" + path + "' (" + format_name(version) +
                                                    " files cannot be read).");
  if (first.size() < f->page_size) throw_corrupt(path + "' (shorter than its header page");
  header_info h = read_header(first, path);
  if (h.db_key != 0) {
    if (options.password.empty()) throw_error(dao_error::invalid_password);
    throw error(dao_error::unrecognized_format,
                "Unrecognized database format '" + path + "' (the file is encrypted; encrypted files cannot be read).");
  }
  // Jet compares database passwords exactly (case matters).
  if (h.password != options.password) throw_error(dao_error::invalid_password);
  if (!options.read_only && f->gen != generation::jet4)
    throw error(dao_error::unrecognized_format, "Unrecognized database format '" + path + "' (" + format_name(version) +
                                                    " files can be read but not changed).");
  db->reader_ = database_reader::open(path);
  return db;
}

void existing_file::release_lock() {
  if (lock_fd_ >= 0) ::close(lock_fd_);  // closing the descriptor drops the lock
  lock_fd_ = -1;
}

}  // namespace jet
