// Writing a file so that its destination only ever holds the old file or the complete new one.
//
// The new file is written under a temporary name in the destination's folder (so that the final move is a
// rename on one file system) and moved into place when it is complete. Temporary names look like
//
//   .<destination name, cut to fit>.<process id>.<six random letters or digits>.tmp
//
// and always fit NAME_MAX however long the destination's name is. While its process lives, a temporary file is
// held under an exclusive flock; `sys_remove_stale_temporaries` removes the temporary files of a destination whose
// process is gone (killed, or the machine lost power), so the next writer of a destination cleans up after them.
// It removes only what is provably such a file: a name of exactly that form for that destination, a process id
// that no longer runs, no lock held, and content that begins as the program's working files begin. Anything else
// of a similar name is somebody else's and stays as it is.
//
// Moving into place never overwrites a file it does not expect: a new file refuses a destination that appeared
// meanwhile (renameat2 RENAME_NOREPLACE, else link and unlink), and a replacement exchanges the two files
// atomically and checks that the file it took out is the one it meant to replace (else it puts it back).
//
// A destination that is a symbolic link stands for its target: the target is written and replaced, the link stays
// (save a link another user left in a shared folder: see sys_refused_link).
//
// Every function returns 0 or an errno value; EEXIST means "a file appeared at (or replaced) the destination
// meanwhile". Dependency-free: the jet engine and every layer above it share this one implementation.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <string_view>

// The path a destination stands for: a symbolic link (or a chain of them) is followed to its final target, which
// need not exist yet; any other path is returned as it is. A link that `sys_refused_link` names is not followed:
// the path of that link is returned, and what is done there goes by the system's own rules.
std::string sys_final_target(const std::string& path);

// The link on the way from `path` to its final target that is not followed for this user, or nothing: one in a
// sticky folder that every user may write to, owned neither by this user nor by the folder's owner (the rule the
// kernel applies to such links). Another user may have put it there to have the file it points to replaced.
std::string sys_refused_link(const std::string& path);

// A fresh temporary name for `dest` (in its folder, not created).
std::string sys_temporary_name(const std::string& dest);

// The name of the lock file of `dest` (see destination_lock.h): ".<destination name, cut to fit>.lock" in its
// folder. Two names that share their first 249 bytes share a lock file.
std::string sys_lock_file_name(const std::string& dest);

// True when `name` (a file name without folder) is exactly a temporary name made for a destination whose file
// name is `dest_name` (cut to fit as `sys_temporary_name` cuts it), or a temporary name made by the same process
// for such a temporary file.
bool sys_is_temporary_name_of(std::string_view name, std::string_view dest_name);

// What the program's working files that are not Access files (the sorted index entries of a run) begin with.
inline constexpr std::string_view sys_working_file_mark("\x7FTabletide working file\n", 24);

// True when `first`, the first bytes of a file, begin as the program's working files begin: with an Access
// file's header (a new file, or the copy of an existing one) or with `sys_working_file_mark`.
bool sys_begins_as_working_file(std::string_view first);

// Removes the temporary files made for `dest` by processes that no longer exist (see above). Returns how many
// were removed.
int sys_remove_stale_temporaries(const std::string& dest);

// Moves `from` to `to` when nothing exists at `to` (EEXIST otherwise), then makes the move durable.
int sys_move_new(const std::string& from, const std::string& to);

// Moves `from` over `to` when `to` is still the file described by `expected` (same device, inode, size and
// modification time); EEXIST when another file has taken its place or it was changed. The new file gets `expected`'s permission bits, and its owner and group where
// the process may set them. The move is made durable.
int sys_move_replacing(const std::string& from, const std::string& to, const struct stat& expected);

// A temporary file being written for a destination. Removed by the destructor unless it was moved into place.
class sys_temporary_file {
 public:
  sys_temporary_file() = default;
  ~sys_temporary_file();
  sys_temporary_file(const sys_temporary_file&) = delete;
  sys_temporary_file& operator=(const sys_temporary_file&) = delete;

  // Creates the file (read and write, `mode` before the umask) for `dest`'s final target.
  int create(const std::string& dest, mode_t mode = 0666);

  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  // The final target of the destination given to `create`.
  const std::string& destination() const { return dest_; }

  // Flushes the file to disk and moves it into place as a new file (sys_move_new) or over the file `expected`
  // describes (sys_move_replacing). On success the object is empty; on failure the file is still here.
  int commit_new();
  int commit_replacing(const struct stat& expected);
  // The same, replacing whatever is at the destination: for files the program alone writes (its settings).
  int commit_over();

  // Closes and removes the file.
  void discard();

 private:
  int finish_writing();
  int fd_ = -1;
  std::string path_;
  std::string dest_;
};

// Writes `data` to `path` through a temporary file that replaces the old file (whatever it is) when complete; a
// new file gets `mode` (not masked by the umask: settings files are made private on purpose).
int sys_write_file_replacing(const std::string& path, std::string_view data, mode_t mode);
