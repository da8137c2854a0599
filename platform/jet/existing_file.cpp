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

  header_info h = sniff_file(fd, path);
  const std::string version_name = format_name(h.version);
  if (h.db_key != 0) {
    if (options.password.empty()) throw_error(dao_error::invalid_password);
    throw error(dao_error::unrecognized_format,
                "Unrecognized database format '" + path + "' (the file is encrypted; encrypted files cannot be read).");
  }
  // Jet compares database passwords exactly (case matters).
  if (h.password != options.password) throw_error(dao_error::invalid_password);
  // What would keep a change from leaving the file intact. Such a file can still be read.
  if (!h.fmt)
    db->change_refusal_ = "its text sort order (version " + std::to_string(h.sort_version) +
                          ") is one this engine has no collation for; it can be read but not changed";
  else if (h.sort_order != h.fmt->sort_order_id)
    db->change_refusal_ = "its text sort order (" + std::to_string(h.sort_order) +
                          ") is one this engine has no collation for; it can be read but not changed";
  if (!options.read_only && !db->change_refusal_.empty())
    throw error(dao_error::unrecognized_format,
                "Unrecognized database format '" + path + "' (" + version_name + ": " + db->change_refusal_ + ").");
  db->reader_ = database_reader::open(path);
  return db;
}

const database_reader& existing_file::reader() const {
  if (closed_) throw_error(dao_error::object_invalid);
  return *reader_;
}

std::vector<catalog_object> existing_file::objects() const {
  const database_reader& r = reader();
  if (!objects_) objects_ = list_objects(r);
  return *objects_;
}

std::vector<relationship> existing_file::relationships() const {
  const database_reader& r = reader();
  if (!relationships_) relationships_ = list_relationships(r);
  return *relationships_;
}

void existing_file::release_lock() {
  if (lock_fd_ >= 0) ::close(lock_fd_);  // closing the descriptor drops the lock
  lock_fd_ = -1;
}

}  // namespace jet
