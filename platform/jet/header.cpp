// Header page codec and the Jet 4 reference blank's constants.
#include "platform/jet/header.h"

#include <cstring>

#include "platform/jet/byte_order.h"
#include "platform/jet/error.h"

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

reference_blank make_jet4_reference() {
  const format& f = format::jet4();
  reference_blank r;
  r.sid_s1 = {0x65, 0x89};
  r.sid_s2 = {0x64, 0x8B};
  r.sid_s3 = {0x65, 0x8B};
  r.sid_s4 = {0x65, 0x8E};
  std::vector<uint8_t> p(f.page_size, 0);
  const uint8_t start[4] = {0x00, 0x01, 0x00, 0x00};
  std::memcpy(p.data(), start, 4);
  std::memcpy(p.data() + f.header_magic_offset, "Standard Jet DB", 16);
  p[f.header_version_offset] = f.version_byte;
  std::memcpy(p.data() + f.header_mask_offset, kJet4Region, sizeof kJet4Region);
  // Outside the mask: 1620 and "4.0".
  const uint8_t tail[8] = {0x54, 0x06, 0x00, 0x00, 0x34, 0x2E, 0x30, 0x00};
  std::memcpy(p.data() + 0x98, tail, 8);
  // The page-end block: pairs 00 01, the first byte 01.
  for (uint32_t i = f.page_size - 0x200; i < f.page_size; i += 2) { p[i] = 0x00; p[i + 1] = 0x01; }
  p[f.page_size - 0x200] = 0x01;
  r.creation_date = get_f64(p.data() + f.header_create_date_offset);
  r.decoded_header = std::move(p);
  return r;
}

}  // namespace

const reference_blank& reference_for(const format& f) {
  static const reference_blank jet4 = make_jet4_reference();
  (void)f;  // only Jet 4 so far
  return jet4;
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
  put_u32(m.data(), uint32_t(int32_t(d)));
  return m;
}

}  // namespace

std::vector<uint8_t> build_header(const format& f, const std::wstring& password) {
  const reference_blank& ref = reference_for(f);
  std::vector<uint8_t> p = ref.decoded_header;
  uint32_t max_chars = f.header_password_length / (f.unicode_text ? 2 : 1);
  if (password.size() > max_chars) throw_error(dao_error::invalid_argument);
  auto mask = date_mask(f, p);
  for (uint32_t i = 0; i < f.header_password_length; ++i) {
    uint8_t b = 0;
    if (f.unicode_text) {
      size_t ch = i / 2;
      if (ch < password.size()) b = uint8_t(uint32_t(password[ch]) >> (8 * (i % 2)));
    } else if (i < password.size()) {
      b = uint8_t(password[i]);
    }
    p[f.header_password_offset + i] = b ^ mask[i % 4];
  }
  apply_mask(f, p);
  return p;
}

bool looks_like_access_header(const uint8_t* b, size_t n) {
  if (n < 0x15) return false;
  return b[0] == 0 && b[1] == 1 && b[2] == 0 && b[3] == 0 &&
         (std::memcmp(b + 4, "Standard Jet DB", 16) == 0 || std::memcmp(b + 4, "Standard ACE DB", 16) == 0);
}

header_info read_header(const std::vector<uint8_t>& page0, const std::string& file_name) {
  header_info h;
  if (!looks_like_access_header(page0.data(), page0.size())) throw_error(dao_error::unrecognized_format, file_name);
  h.version = page0[0x14];
  h.fmt = format::for_version_byte(h.version);
  if (!h.fmt || page0.size() < h.fmt->page_size) return h;
  const format& f = *h.fmt;
  std::vector<uint8_t> p = page0;
  apply_mask(f, p);
  h.code_page = get_u16(p.data() + f.header_code_page_offset);
  h.db_key = get_u32(p.data() + f.header_db_key_offset);
  h.sort_order = get_u16(p.data() + f.header_sort_order_offset);
  h.sort_version = p[f.header_sort_order_offset + 3];
  h.creation_date = get_f64(p.data() + f.header_create_date_offset);
  auto mask = date_mask(f, p);
  std::vector<uint8_t> pw(f.header_password_length);
  for (uint32_t i = 0; i < f.header_password_length; ++i) pw[i] = p[f.header_password_offset + i] ^ mask[i % 4];
  if (f.unicode_text) {
    for (uint32_t i = 0; i + 1 < pw.size(); i += 2) {
      wchar_t c = wchar_t(get_u16(pw.data() + i));
      if (c == 0) break;
      h.password.push_back(c);
    }
  } else {
    for (uint8_t c : pw) { if (!c) break; h.password.push_back(wchar_t(c)); }
  }
  return h;
}

}  // namespace jet
