// Header page codec and the constants of the reference blanks (Jet 3, Jet 4, ACE).
#include "platform/jet/header.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

#include "platform/jet/byte_order.h"
#include "platform/jet/error.h"
#include "platform/jet/value_codec.h"

namespace jet {

namespace {

// The decoded masked region (0x18-0x97) of the engine-made Jet 4 blank. Its creation date, the
// bytes at 0x6A and the SIDs below were made together by the engine and are kept together.
constexpr uint8_t kJet4Region[128] = {
    0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
    0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0xE4, 0x04, 0x00, 0x00, 0x00, 0x00, 0x59, 0xA5, 0x00, 0x00, 0x59, 0xA5,
    0x00, 0x00, 0x59, 0xA5, 0x00, 0x00, 0x59, 0xA5, 0x00, 0x00, 0x59, 0xA5, 0x00, 0x00, 0x59, 0xA5,
    0x00, 0x00, 0x59, 0xA5, 0x00, 0x00, 0x59, 0xA5, 0x00, 0x00, 0x59, 0xA5, 0x00, 0x00, 0x59, 0xA5,
    0x00, 0x00, 0x1C, 0x26, 0x00, 0x00, 0x09, 0x04, 0x00, 0x00, 0x3E, 0x85, 0xD3, 0x3B, 0x3E, 0xAB,
    0xE4, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

// The decoded masked region of the Access 2007 blank (the ACE 12 reference), with its own creation
// date, per-database bytes and SIDs.
constexpr uint8_t kAce12Region[128] = {
    0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
    0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0xE4, 0x04, 0x00, 0x00, 0x00, 0x00, 0x32, 0x9D, 0x00, 0x00, 0x32, 0x9D,
    0x00, 0x00, 0x32, 0x9D, 0x00, 0x00, 0x32, 0x9D, 0x00, 0x00, 0x32, 0x9D, 0x00, 0x00, 0x32, 0x9D,
    0x00, 0x00, 0x32, 0x9D, 0x00, 0x00, 0x32, 0x9D, 0x00, 0x00, 0x32, 0x9D, 0x00, 0x00, 0x32, 0x9D,
    0x00, 0x00, 0xA6, 0x11, 0x00, 0x00, 0x09, 0x04, 0x00, 0x00, 0xE6, 0xCE, 0x87, 0x81, 0x53, 0xA6,
    0xE3, 0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

// The decoded masked region (0x18-0x95) of an Access 97 database: the code page, the sort order at
// 0x3A, the byte at 0x38 and the per-database bytes at 0x56. Jet 3 keeps no creation date here and
// stores no SID under a per-file key: its four short SIDs are the same in every Access 97 file.
constexpr uint8_t kJet3Region[126] = {
    0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
    0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x01, 0x00, 0x09, 0x04, 0xE4, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1E, 0x25,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

// The workgroup administrators' SID of the same Access 97 database, which holds rights on the
// system tables and containers beside the short SIDs.
constexpr uint8_t kJet3AdminsSid[102] = {
    0x01, 0xC5, 0x54, 0x32, 0x43, 0x62, 0x02, 0x84, 0x1B, 0xDF, 0x56, 0x1A, 0x17, 0x23, 0x6A, 0x4B,
    0x11, 0xFF, 0x2E, 0x1D, 0xB3, 0xA0, 0x58, 0x06, 0x30, 0x66, 0x94, 0xBB, 0xCD, 0x5A, 0x29, 0xED,
    0xBB, 0xDF, 0x56, 0x1A, 0x17, 0x23, 0x6A, 0x4B, 0x11, 0xDF, 0x56, 0x1A, 0x17, 0x23, 0x6A, 0x4B,
    0x11, 0xDF, 0x56, 0x1A, 0x17, 0x23, 0x6A, 0x4B, 0x11, 0xAD, 0xC3, 0xB2, 0xBC, 0xCB, 0x7C, 0xE7,
    0xD6, 0xEA, 0x33, 0xA3, 0xA5, 0x55, 0xE5, 0xFB, 0x96, 0xDF, 0x56, 0x1A, 0x17, 0x23, 0x6A, 0x4B,
    0x11, 0xDF, 0x56, 0x1A, 0x17, 0x23, 0x6A, 0x4B, 0x11, 0xDF, 0x56, 0x1A, 0x17, 0x23, 0x6A, 0x4B,
    0x11, 0xDF, 0x56, 0x1A, 0x17, 0x23,
};

// Fixed bytes outside the masked region.
constexpr uint8_t kPageTypeBytes[4] = {0x00, 0x01, 0x00, 0x00};
constexpr uint32_t kEngineTailOffset = 0x98;
constexpr uint8_t kEngineTail[8] = {0x54, 0x06, 0x00, 0x00, 0x34, 0x2E, 0x30, 0x00};  // 1620 and "4.0"
constexpr uint32_t kEndBlockSize = 0x200;  // the page-end block: pairs 00 01 after a 4-byte head

struct reference_source {
  const uint8_t* region;
  std::array<uint8_t, 2> s1, s2, s3, s4;
  std::array<uint8_t, 4> end_block_head;
  std::vector<uint8_t> admins_sid;
};

reference_blank make_reference(const format& f, const reference_source& src) {
  reference_blank r;
  r.sid_s1 = src.s1;
  r.sid_s2 = src.s2;
  r.sid_s3 = src.s3;
  r.sid_s4 = src.s4;
  r.sid_admins = src.admins_sid;
  std::vector<uint8_t> p(f.page_size, 0);
  std::memcpy(p.data(), kPageTypeBytes, sizeof kPageTypeBytes);
  std::memcpy(p.data() + f.header_magic_offset, f.header_magic, 16);
  p[f.header_version_offset] = f.version_byte;
  std::memcpy(p.data() + f.header_mask_offset, src.region, f.header_mask_length);
  if (f.header_engine_tail) std::memcpy(p.data() + kEngineTailOffset, kEngineTail, sizeof kEngineTail);
  for (uint32_t i = f.page_size - kEndBlockSize; i < f.page_size; i += 2) { p[i] = 0x00; p[i + 1] = 0x01; }
  std::memcpy(p.data() + f.page_size - kEndBlockSize, src.end_block_head.data(), src.end_block_head.size());
  r.creation_date = format::has(f.header_create_date_offset) ? get_f64(p.data() + f.header_create_date_offset) : 0;
  r.decoded_header = std::move(p);
  return r;
}

}  // namespace

const reference_blank& reference_for(const format& f) {
  // Jet 4: the engine-made blank. ACE: the Access 2007 blank (no engine-made ACE blank is public).
  static const reference_blank jet4 =
      make_reference(format::jet4(), {kJet4Region, {0x65, 0x89}, {0x64, 0x8B}, {0x65, 0x8B}, {0x65, 0x8E},
                                      {0x01, 0x01, 0x00, 0x01}, {}});
  static const reference_blank ace12 =
      make_reference(format::ace(2), {kAce12Region, {0x52, 0xA6}, {0x53, 0xA4}, {0x52, 0xA4}, {0x52, 0xA1},
                                      {0x1E, 0x01, 0x7A, 0x01}, {}});
  if (f.gen == generation::jet3) {
    static const reference_blank jet3 = make_reference(
        format::jet3(), {kJet3Region, {0x02, 0x03}, {0x03, 0x01}, {0x02, 0x01}, {0x02, 0x04}, {0x01, 0x01, 0x09, 0x01},
            std::vector<uint8_t>(std::begin(kJet3AdminsSid), std::end(kJet3AdminsSid))});
    return jet3;
  }
  return f.gen == generation::ace ? ace12 : jet4;
}

std::vector<uint8_t> header_key_stream(size_t n) {
  uint8_t s[256];
  for (int i = 0; i < 256; ++i) s[i] = uint8_t(i);
  const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
  uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = uint8_t(j + s[i] + key[i % 4]);
    std::swap(s[i], s[j]);
  }
  std::vector<uint8_t> out(n);
  uint8_t a = 0, b = 0;
  for (size_t k = 0; k < n; ++k) {
    a = uint8_t(a + 1);
    b = uint8_t(b + s[a]);
    std::swap(s[a], s[b]);
    out[k] = s[uint8_t(s[a] + s[b])];
  }
  return out;
}

namespace {

void apply_mask(const format& f, std::vector<uint8_t>& page) {
  auto ks = header_key_stream(f.header_mask_length);
  for (uint32_t i = 0; i < f.header_mask_length; ++i) page[f.header_mask_offset + i] ^= ks[i];
}

// The password field's date mask: the creation date's integer part, four bytes repeated.
std::array<uint8_t, 4> date_mask(const format& f, const std::vector<uint8_t>& decoded) {
  std::array<uint8_t, 4> m{};
  if (!f.header_password_date_masked) return m;
  double d = get_f64(decoded.data() + f.header_create_date_offset);
  // A damaged header may hold any bits here: a date outside the 32-bit range masks with zero.
  const bool in_range = d > -2147483649.0 && d < 2147483648.0;  // false for NaN too
  put_u32(m.data(), in_range ? uint32_t(int32_t(d)) : 0u);
  return m;
}

}  // namespace

std::vector<uint8_t> build_header(const format& f, const std::wstring& password) {
  const reference_blank& ref = reference_for(f);
  std::vector<uint8_t> p = ref.decoded_header;
  uint32_t max_chars = f.header_password_length / (f.unicode_text ? 2 : 1);
  if (password.size() > max_chars) throw_error(dao_error::invalid_argument);
  auto mask = date_mask(f, p);
  const std::vector<uint8_t> code_page_password = f.unicode_text ? std::vector<uint8_t>() : encode_text(f, password, false);
  for (uint32_t i = 0; i < f.header_password_length; ++i) {
    uint8_t b = 0;
    if (f.unicode_text) {
      size_t ch = i / 2;
      if (ch < password.size()) b = uint8_t(uint32_t(password[ch]) >> (8 * (i % 2)));
    } else if (i < code_page_password.size()) {
      b = code_page_password[i];
    }
    p[f.header_password_offset + i] = b ^ mask[i % 4];
  }
  apply_mask(f, p);
  return p;
}

namespace {

// Where the magic text and the version byte sit in every generation.
constexpr uint32_t kMagicOffset = 4;
constexpr uint32_t kVersionOffset = 0x14;

}  // namespace

bool looks_like_access_header(const uint8_t* b, size_t n) {
  if (n <= kVersionOffset) return false;
  return std::memcmp(b, kPageTypeBytes, sizeof kPageTypeBytes) == 0 &&
         (std::memcmp(b + kMagicOffset, "Standard Jet DB", 16) == 0 ||
          std::memcmp(b + kMagicOffset, "Standard ACE DB", 16) == 0);
}

header_info read_header(const std::vector<uint8_t>& page0, const std::string& file_name) {
  header_info h;
  if (!looks_like_access_header(page0.data(), page0.size())) throw_error(dao_error::unrecognized_format, file_name);
  h.version = page0[kVersionOffset];
  const format* generic = format::for_version_byte(h.version);
  if (!generic || page0.size() < generic->page_size) return h;
  std::vector<uint8_t> p = page0;
  apply_mask(*generic, p);
  if (format::has(generic->header_sort_version_offset)) h.sort_version = p[generic->header_sort_version_offset];
  // The descriptor follows the header's sort version (ACE files of Access 2010 and later may use the
  // newer General order); none when the file uses a sort version we have no collation for.
  h.fmt = format::for_version_byte(h.version, h.sort_version);
  const format& f = *generic;
  h.code_page = get_u16(p.data() + f.header_code_page_offset);
  h.db_key = get_u32(p.data() + f.header_db_key_offset);
  h.sort_order = get_u16(p.data() + f.header_sort_order_offset);
  if (format::has(f.header_create_date_offset)) h.creation_date = get_f64(p.data() + f.header_create_date_offset);
  auto mask = date_mask(f, p);
  std::vector<uint8_t> pw(f.header_password_length);
  for (uint32_t i = 0; i < f.header_password_length; ++i) pw[i] = p[f.header_password_offset + i] ^ mask[i % 4];
  if (f.unicode_text) {
    for (uint32_t i = 0; i + 1 < pw.size(); i += 2) {
      wchar_t c = wchar_t(get_u16(pw.data() + i));
      if (c == 0) break;
      h.password.push_back(c);
    }
  } else if (h.code_page == f.code_page) {  // other code pages are refused when the file is opened
    const size_t len = size_t(std::find(pw.begin(), pw.end(), uint8_t(0)) - pw.begin());
    h.password = decode_text(f, std::span<const uint8_t>(pw.data(), len));
  }
  return h;
}

}  // namespace jet

namespace jet {

header_info sniff_file(int fd, const std::string& path) {
  // The first page decides the generation (and with it the page size).
  std::vector<uint8_t> first(format::jet4().page_size, 0);
  ssize_t n = ::pread(fd, first.data(), first.size(), 0);
  if (n < 0 || !looks_like_access_header(first.data(), size_t(n))) throw_error(dao_error::unrecognized_format, path);
  first.resize(size_t(n));
  uint8_t version = first[kVersionOffset];
  if (!format::for_version_byte(version))
    throw error(dao_error::unrecognized_format, "Unrecognized database format '" + path + "' (" + format_name(version) +
                                                    " files cannot be read).");
  if (first.size() < format::for_version_byte(version)->page_size) throw_corrupt("the file is shorter than its header page");
  header_info h = read_header(first, path);
  // Jet 3 text is stored in the database code page; only the one the descriptor names is readable.
  if (h.fmt && !h.fmt->unicode_text && h.code_page != h.fmt->code_page)
    throw error(dao_error::unrecognized_format, "Unrecognized database format '" + path + "' (its text is in code page " +
                                                    std::to_string(h.code_page) + ", which this engine cannot read).");
  return h;
}

}  // namespace jet
