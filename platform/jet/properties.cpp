// Property blob codec.
#include "platform/jet/properties.h"

#include <algorithm>

#include "platform/jet/byte_order.h"
#include "platform/jet/error.h"
#include "platform/jet/value_codec.h"

namespace jet {

namespace {


std::vector<uint8_t> name_bytes(const format& f, const std::wstring& s) { return encode_text(f, s, false); }

std::vector<uint8_t> value_bytes(const format& f, const property& p) {
  std::vector<uint8_t> out;
  const value& v = p.data;
  switch (v.kind_of()) {
    case value::kind::null: break;
    case value::kind::boolean: out.push_back(v.as_bool() ? 1 : 0); break;
    case value::kind::byte: out.push_back(v.as_byte()); break;
    case value::kind::integer: append_u16(out, uint16_t(v.as_integer())); break;
    case value::kind::long_integer: append_u32(out, uint32_t(v.as_long())); break;
    case value::kind::text: out = name_bytes(f, v.as_text()); break;
    case value::kind::binary: out = v.as_binary(); break;
    case value::kind::guid: out.assign(v.as_guid().bytes.begin(), v.as_guid().bytes.end()); break;
    default: throw_error(dao_error::conversion_error);
  }
  return out;
}

void put_chunk(std::vector<uint8_t>& out, uint16_t type, const std::vector<uint8_t>& body) {
  append_u32(out, uint32_t(body.size() + 6));
  append_u16(out, type);
  out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

const property* property_set::find(const std::wstring& n) const {
  for (const auto& p : items)
    if (same_name(p.name, n)) return &p;
  return nullptr;
}

const property_set* property_blob::column(const std::wstring& n) const {
  for (const auto& c : columns)
    if (same_name(c.name, n)) return &c;
  return nullptr;
}

bool property_blob::empty() const {
  if (!object.items.empty()) return false;
  for (const auto& c : columns)
    if (!c.items.empty()) return false;
  return true;
}

std::vector<uint8_t> encode_properties(const format& f, const property_blob& blob) {
  std::vector<std::wstring> names;
  auto name_index = [&](const std::wstring& n) {
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == n) return uint16_t(i);
    names.push_back(n);
    return uint16_t(names.size() - 1);
  };
  auto set_body = [&](const property_set& s) {
    std::vector<uint8_t> body;
    auto nb = name_bytes(f, s.name);
    append_u32(body, uint32_t(6 + nb.size()));
    append_u16(body, uint16_t(nb.size()));
    body.insert(body.end(), nb.begin(), nb.end());
    for (const auto& p : s.items) {
      auto vb = value_bytes(f, p);
      append_u16(body, uint16_t(8 + vb.size()));
      body.push_back(p.ddl ? 1 : 0);
      body.push_back(uint8_t(p.type));
      append_u16(body, name_index(p.name));
      append_u16(body, uint16_t(vb.size()));
      body.insert(body.end(), vb.begin(), vb.end());
    }
    return body;
  };
  std::vector<uint8_t> chunks;
  // The object's own properties first, then one chunk per column.
  put_chunk(chunks, property_chunk::object, set_body(blob.object));
  for (const auto& c : blob.columns)
    if (!c.items.empty()) put_chunk(chunks, property_chunk::column, set_body(c));
  std::vector<uint8_t> list;
  for (const auto& n : names) {
    auto nb = name_bytes(f, n);
    append_u16(list, uint16_t(nb.size()));
    list.insert(list.end(), nb.begin(), nb.end());
  }
  std::vector<uint8_t> out(f.property_magic.begin(), f.property_magic.end());
  put_chunk(out, property_chunk::name_list, list);
  out.insert(out.end(), chunks.begin(), chunks.end());
  return out;
}

property_blob decode_properties(const format& f, std::span<const uint8_t> b) {
  auto bad = [](const char* what) { throw_corrupt(std::string("bad property blob: ") + what); };
  if (b.size() < 4 || !std::equal(f.property_magic.begin(), f.property_magic.end(), b.begin())) bad("no header");
  property_blob blob;
  std::vector<std::wstring> names;
  size_t at = 4;
  bool object_seen = false;
  while (at + 6 <= b.size()) {
    uint32_t len = get_u32(b.data() + at);
    uint16_t type = get_u16(b.data() + at + 4);
    if (len < 6 || at + len > b.size()) bad("chunk length");
    std::span<const uint8_t> c = b.subspan(at + 6, len - 6);
    at += len;
    if (type == property_chunk::name_list) {
      size_t i = 0;
      while (i + 2 <= c.size()) {
        uint16_t n = get_u16(c.data() + i);
        if (i + 2 + n > c.size()) bad("name list");
        names.push_back(decode_text(f, c.subspan(i + 2, n)));
        i += 2 + n;
      }
      continue;
    }
    if (type != property_chunk::object && type != property_chunk::column) continue;  // chunks of other kinds are not ours to read
    if (c.size() < 6) bad("property chunk");
    uint32_t block = get_u32(c.data());
    uint16_t nlen = get_u16(c.data() + 4);
    if (block < 6 || block > c.size() || 6u + nlen > block) bad("name block");
    property_set s;
    s.name = decode_text(f, c.subspan(6, nlen));
    size_t i = block;
    while (i + 8 <= c.size()) {
      uint16_t elen = get_u16(c.data() + i);
      if (elen < 8 || i + elen > c.size()) bad("entry length");
      property p;
      p.ddl = (c[i + 2] & 1) != 0;
      p.type = column_type(c[i + 3]);
      uint16_t ni = get_u16(c.data() + i + 4);
      uint16_t vlen = get_u16(c.data() + i + 6);
      if (8u + vlen > elen || ni >= names.size()) bad("entry");
      p.name = names[ni];
      auto v = c.subspan(i + 8, vlen);
      switch (p.type) {
        case column_type::boolean: p.data = value::boolean(vlen && v[0] != 0); break;
        case column_type::byte: p.data = vlen ? value::byte(v[0]) : value(); break;
        case column_type::integer: p.data = vlen >= 2 ? value::integer(get_i16(v.data())) : value(); break;
        case column_type::long_integer: p.data = vlen >= 4 ? value::long_integer(get_i32(v.data())) : value(); break;
        case column_type::text: case column_type::memo: p.data = value::text(decode_text(f, v)); break;
        default: p.data = value::binary(bytes(v.begin(), v.end())); break;
      }
      s.items.push_back(std::move(p));
      i += elen;
    }
    if (type == property_chunk::object && !object_seen) {
      blob.object = std::move(s);
      object_seen = true;
    } else {
      blob.columns.push_back(std::move(s));
    }
  }
  return blob;
}

}  // namespace jet
