// Checks and names of the destination file, called by both programs before a run.
#pragma once

#include <string>

// Raises tk_exception level 1 with the first of these that applies to path:
//   an existing folder         "Destination name should specify a file, not folder."
//   an existing read-only file "Destination name specifies an existing read-only file."
//   a missing folder           "Destination path does not exist.\nPlease verify the correct path was given."
//   a folder the user may not write into
//                              "Cannot create or write into the destination file.\nRun the program as
//                               Administrator or change folder."
void common_check_dest(const std::wstring& path);

// name unchanged when keep is true; otherwise the folder of path (or, when path has no folder, the working
// folder) joined with name and extension (a leading "." is added when extension lacks one).
std::wstring make_default_dest(const std::wstring& path, const std::wstring& name, const std::wstring& extension,
                               bool keep);

// True when text ends with suffix, exactly or ignoring case; an empty suffix always matches.
bool path_ends_with(const std::wstring& text, const std::wstring& suffix, bool exact);

// The folder part of a split narrow file name (everything up to and including the last '/'; empty when none).
std::string file_name_folder(const std::string& path);
