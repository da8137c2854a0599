// File-system questions and small operations in the form the toolkit needs them: what a path names, whether it
// is read-only, whether the process may access it, the running program's path, lexical absolute paths, and
// creating an empty file. Paths are narrow UTF-8 text. None of these functions changes the working folder.
#pragma once

#include <string>
#include <string_view>

enum class sys_path_kind { missing, file, folder };

// What the path names (following symbolic links). Anything that exists and is not a folder counts as a file.
sys_path_kind sys_stat_kind(const std::string& path);

// True when the path exists and carries none of the write permission bits (what "chmod a-w" leaves). This is a
// property of the file, like a read-only attribute, and holds for every user, root included.
bool sys_is_read_only(const std::string& path);

// True when the process, with its effective user and groups, may access the path in the given mode (R_OK, W_OK,
// X_OK or a combination, as for access(2)). Honours ACLs and read-only mounts. Any failure gives false.
bool sys_may_access(const std::string& path, int mode);

// The absolute path of the running program, from /proc/self/exe. Returns 0, or the errno of the failure.
int sys_program_path(std::string& out);

// The working folder, or empty (with errno set) when it cannot be had.
std::string sys_current_dir();

// An absolute form of path made without touching the disk: a relative path is put after the working folder, then
// "." and ".." components and repeated slashes are resolved lexically. A trailing slash is kept. The path need
// not exist. Returns 0, or the errno of the failure (only when the working folder cannot be had).
int sys_absolute_path(std::string_view path, std::string& out);

// The folder that holds path (everything before the last '/'), made absolute; "/" for a file in the root.
std::string sys_folder_of(const std::string& path);

// Creates the file, or empties it when it exists (read and write access, mode 0666 before the umask).
// Returns 0, or the errno of the failure.
int sys_create_empty_file(const std::string& path);
