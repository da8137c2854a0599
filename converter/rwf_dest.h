// Checks and names of the destination file, called by both programs before a run.
#pragma once

#include <string>

// Raises tk_exception level 1 with the first of these that applies to path:
//   a name the system refuses  "Cannot use the destination name: " and the system's reason (a name too long, a
//                              loop of symbolic links, a folder that may not be searched)
//   a FIFO, device or socket   "Destination name specifies a FIFO, not a file." ("a device", "a socket")
//   an existing folder         "Destination name should specify a file, not folder."
//   an existing read-only file "Destination name specifies an existing read-only file."
//   a missing folder           "Destination path does not exist.\nPlease verify the correct path was given."
//   a folder the user may not write into
//                              "Cannot create or write into the destination file.\nRun the program as
//                               Administrator or change folder."
void common_check_dest(const std::wstring& path);

// The file the narrow destination path stands for (sys_final_target): the one a run checks, locks and writes.
// Raises tk_exception level 1 when the path leads through a symbolic link that another user owns in a shared
// sticky folder (see sys_refused_link): "The symbolic link '<link>' belongs to another user in a shared folder
// (sticky and writable by everyone); the destination is not written through it."
std::string dest_final_target(const std::string& dest);

// True when the two narrow paths name one file: the same file through symbolic or hard links, or two spellings of
// one path. A path that does not exist yet (its final target, for a link) is compared by its resolved folder and
// its name.
bool names_same_file(const std::string& a, const std::string& b);

// name unchanged when keep is true; otherwise the folder of path (or, when path has no folder, the working
// folder) joined with name and extension (a leading "." is added when extension lacks one).
std::wstring make_default_dest(const std::wstring& path, const std::wstring& name, const std::wstring& extension,
                               bool keep);

// True when text ends with suffix, exactly or ignoring case; an empty suffix always matches.
bool path_ends_with(const std::wstring& text, const std::wstring& suffix, bool exact);

// The folder part of a split narrow file name (everything up to and including the last '/'; empty when none).
std::string file_name_folder(const std::string& path);
