// The table-list file of the console program: the names of the tables to convert, one per line.
//
// Format: lines ended by LF or CR LF (the last line may lack its end). The line end is not part of the name;
// empty lines are skipped; blanks belong to the name and nothing is trimmed. While no name has been read yet, a
// line starting with the UTF-8 byte-order mark EF BB BF loses those three bytes (a line holding only the mark is
// then an empty line); a mark on a later line stays part of that name. Text is UTF-8 with or without the mark
// (the ANSI code page of this system is UTF-8); invalid bytes become U+FFFD. Lines have no length limit.
#pragma once

#include <istream>
#include <string>
#include <vector>

// The names of the list, in file order. Returns false when the stream fails other than by reaching its end
// (names read until then are in names).
bool rwf_read_table_list(std::istream& in, std::vector<std::wstring>& names);

// Replaces the converter's table list with the names of the file at path and marks the list as given, so that a
// file naming no table (empty, blank lines, only a byte-order mark) converts nothing rather than every table.
// Ends the program through fatal_exit when path is not an existing file ("Table names file does not exist. ...") or
// cannot be read.
void process_tab_file(const std::string& path);
