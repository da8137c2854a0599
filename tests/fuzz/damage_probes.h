// What the fuzz targets do with one input, and what the test build replays over the inputs kept from them.
//
// Each probe feeds its input to one reader of outside data the way the programs use it and returns how that
// ended: an empty text when the input was taken as sound, otherwise the error the reader reported (a damaged
// Access file is a jet::error; the text parsers take any bytes). A crash, a hang or any other exception is a
// fault of the reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tt_fuzz {

// The bytes as an Access file opened read-only: its catalog listed (objects, queries, relationships), every table
// (system tables too) defined, its properties decoded and every row read; then the strict verifier over it.
std::string probe_access_read(const uint8_t* data, size_t size);

// The bytes as an Access file opened for changes, as a conversion into an existing file uses it: the catalog
// listed, a row appended to every user table, a new table with a row added, the first user table deleted, and
// the changes committed.
std::string probe_access_edit(const uint8_t* data, size_t size);

// The bytes as a profile file, read, written out and read back.
std::string probe_profile(const uint8_t* data, size_t size);

// The bytes as a table-list file.
std::string probe_table_list(const uint8_t* data, size_t size);

}  // namespace tt_fuzz
