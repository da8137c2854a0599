// The header page (page 0).
//
//   0x00  00 01 00 00, "Standard Jet DB\0", version byte (0x14)
//   0x18  region XORed with a fixed RC4 key stream (key C7 DA 39 6B): code page (0x3C), database key
//         (0x3E, 0 = not encrypted), password (0x42, UTF-16LE XORed with the creation date's integer
//         part), per-database bytes (0x6A), sort order (0x6E), creation date (0x72)
//   0x98  constant 1620 and "4.0"; page end − 0x200: a constant block.
//
// A new file takes the whole decoded header of the reference blank of its generation (Jet 4: the
// engine-made blank; ACE: the Access 2007 blank; Jet 3: an Access 97 database, whose header holds no
// creation date and no password date mask) and changes only the password. The reference's creation date, its per-database bytes and the owner SIDs of the catalog
// belong together (they cannot be derived) and are kept as one set: `reference_blank`.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/jet/error.h"
#include "platform/jet/format.h"

namespace jet {

// Constants of one engine-made blank database that must stay together.
struct reference_blank {
  double creation_date;           // header 0x72
  std::array<uint8_t, 2> sid_s1;  // owner of the containers and the Jet system tables
  std::array<uint8_t, 2> sid_s2;  // owner of MSysDb and of every new object
  std::array<uint8_t, 2> sid_s3;
  std::array<uint8_t, 2> sid_s4;
  // Jet 3: the 102-byte SID of the workgroup's administrators, which Access 97 gives rights beside
  // S2 and S3; empty for the engine-made Jet 4 blank.
  std::vector<uint8_t> sid_admins;
  std::vector<uint8_t> decoded_header;  // the whole page 0, unmasked
};

const reference_blank& reference_for(const format& f);

// The RC4 key stream that masks the header region (`n` bytes).
std::vector<uint8_t> header_key_stream(size_t n);

// Builds page 0 for a new file. `password` may be empty (at most 20 characters).
std::vector<uint8_t> build_header(const format& f, const std::wstring& password = std::wstring());

struct header_info {
  const format* fmt = nullptr;  // null when the version or the sort version is unsupported
  uint8_t version = 0;
  uint16_t code_page = 0;
  uint32_t db_key = 0;
  uint16_t sort_order = 0;
  uint8_t sort_version = 0;
  double creation_date = 0;
  std::wstring password;
};

// Decodes page 0. Throws jet::error 3343 when the page is not a Jet/ACE header.
header_info read_header(const std::vector<uint8_t>& page0, const std::string& file_name);

// Whether a file's first bytes are those of a Jet or ACE header.
bool looks_like_access_header(const uint8_t* first_bytes, size_t n);

// Reads and decodes the header page of an open file: 3343 when it is not an Access file or its
// version cannot be read (naming the format), 3049 when it is shorter than its header page.
// `fmt` is null when the file uses a sort version we have no collation for.
header_info sniff_file(int fd, const std::string& path);

}  // namespace jet
