// Build-time generator of the Access text collation tables.
//
// usage: tt_sort_order_gen <sort-order folder> <output .cpp>
//
// Reads the "General legacy" (Jet 4 / ACE 12), "General" (ACE 14+) and "General 97" (Jet 3) code
// tables from the sort-order folder and writes one C++ source holding them as compact tables:
//
//   pool   bytes; one record per distinct entry:
//            [kind] [n1] n1 bytes [n2] n2 bytes [flag]
//          kind: 0 ignored, 1 simple, 2 international, 3 unprintable, 4 modifier, 5 flagged
//          international, 6 significant (General 97); the first field holds the inline bytes (the
//          code of an unprintable character, the increment of a modifier), the second the extra
//          bytes; flag is the raw third field of a flagged entry (0 empty, 1 "1").
//   index  one pool offset per code unit (0000-FFFF; surrogates point at the ignored record and are
//          computed at run time) or, for General 97, per code-page-1252 byte;
//   map    General 97 only: (Unicode code point, code-page byte) pairs sorted by code point.
//
// Any malformed or missing input stops the build with a message naming the file and its folder.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string g_folder;

[[noreturn]] void fail(const std::string& file, int line, const std::string& what) {
  std::fprintf(stderr, "tt_sort_order_gen: %s/%s", g_folder.c_str(), file.c_str());
  if (line > 0) std::fprintf(stderr, ", line %d", line);
  std::fprintf(stderr, ": %s\n", what.c_str());
  std::exit(1);
}

std::vector<std::string> read_lines(const std::string& file) {
  std::ifstream in(g_folder + "/" + file, std::ios::binary);
  if (!in) fail(file, 0, "cannot open the Access sort-order table (is the shared data folder present?)");
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A field of hex digits; an odd count means a leading zero was dropped.
std::string parse_hex(const std::string& field, const std::string& file, int line) {
  std::string digits = (field.size() % 2) ? "0" + field : field;
  std::string out;
  for (size_t i = 0; i < digits.size(); i += 2) {
    int hi = hex_digit(digits[i]), lo = hex_digit(digits[i + 1]);
    if (hi < 0 || lo < 0) fail(file, line, "bad hexadecimal field '" + field + "'");
    out.push_back(static_cast<char>(hi * 16 + lo));
  }
  return out;
}

std::vector<std::string> split(const std::string& s) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : s) {
    if (c == ',') {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  parts.push_back(cur);
  return parts;
}

struct table_builder {
  std::string pool;
  std::map<std::string, uint32_t> seen;
  std::vector<uint32_t> index;

  uint32_t add(const std::string& record) {
    auto it = seen.find(record);
    if (it != seen.end()) return it->second;
    uint32_t off = static_cast<uint32_t>(pool.size());
    pool += record;
    seen.emplace(record, off);
    return off;
  }
};

std::string record(int kind, const std::string& f1, const std::string& f2, int flag) {
  std::string r;
  r.push_back(static_cast<char>(kind));
  r.push_back(static_cast<char>(f1.size()));
  r += f1;
  r.push_back(static_cast<char>(f2.size()));
  r += f2;
  r.push_back(static_cast<char>(flag));
  return r;
}

std::string parse_entry(const std::string& text, const std::string& file, int line, bool allow_g) {
  if (text.empty()) fail(file, line, "empty entry");
  char prefix = text[0];
  std::vector<std::string> f = split(text.substr(1));
  auto need = [&](size_t lo, size_t hi) {
    if (f.size() < lo || f.size() > hi) fail(file, line, "wrong number of fields in '" + text + "'");
  };
  auto field = [&](size_t i) { return i < f.size() ? parse_hex(f[i], file, line) : std::string(); };
  switch (prefix) {
    case 'X':
      if (text.size() != 1) fail(file, line, "unexpected fields after X");
      return record(0, "", "", 0);
    case 'S':
      need(1, 1);
      return record(1, field(0), "", 0);
    case 'I':
      need(2, 2);
      return record(2, field(0), field(1), 0);
    case 'U':
      need(1, 1);
      return record(3, field(0), "", 0);
    case 'P': {
      need(1, 1);
      std::string m = field(0);
      if (m.size() != 1) fail(file, line, "a modifier must be one byte");
      return record(4, m, "", 0);
    }
    case 'Z': {
      need(2, 3);
      std::string fl = f.size() > 2 ? f[2] : "";
      if (fl != "" && fl != "1") fail(file, line, "unknown flag in '" + text + "'");
      return record(5, field(0), field(1), fl == "1" ? 1 : 0);
    }
    case 'G':
      if (!allow_g) break;
      need(1, 1);
      return record(6, field(0), "", 0);
    default:
      break;
  }
  fail(file, line, "unknown entry '" + text + "'");
}

table_builder build_unicode(const std::string& base_file, const std::string& ext_file) {
  table_builder t;
  std::vector<std::string> base = read_lines(base_file);
  std::vector<std::string> ext = read_lines(ext_file);
  if (base.size() != 256) fail(base_file, 0, "expected 256 lines, found " + std::to_string(base.size()));
  if (ext.size() != 63232) fail(ext_file, 0, "expected 63232 lines, found " + std::to_string(ext.size()));
  t.index.assign(65536, 0);
  uint32_t ignored = t.add(record(0, "", "", 0));
  for (int i = 0; i < 256; ++i) t.index[i] = t.add(parse_entry(base[i], base_file, i + 1, false));
  for (int i = 0; i < 63232; ++i) {
    uint32_t unit = 0x100 + i;
    if (unit >= 0xD800) unit += 0x800;
    t.index[unit] = t.add(parse_entry(ext[i], ext_file, i + 1, false));
  }
  for (uint32_t s = 0xD800; s < 0xE000; ++s) t.index[s] = ignored;
  return t;
}

void emit(std::ostream& out, const std::string& name, const table_builder& t,
          const std::vector<std::pair<uint32_t, uint32_t>>& map) {
  out << "static const unsigned char " << name << "_pool[] = {";
  for (size_t i = 0; i < t.pool.size(); ++i) {
    if (i % 24 == 0) out << "\n ";
    out << static_cast<unsigned>(static_cast<unsigned char>(t.pool[i])) << ',';
  }
  out << "\n};\n";
  out << "static const std::uint32_t " << name << "_index[] = {";
  for (size_t i = 0; i < t.index.size(); ++i) {
    if (i % 16 == 0) out << "\n ";
    out << t.index[i] << ',';
  }
  out << "\n};\n";
  if (!map.empty()) {
    out << "static const collation_mapping " << name << "_map[] = {";
    for (auto& [from, to] : map) out << "\n {" << from << ", " << to << "},";
    out << "\n};\n";
  }
  out << "const collation_table " << name << " = {" << name << "_pool, sizeof " << name << "_pool, "
      << name << "_index, " << t.index.size() << ", "
      << (map.empty() ? "nullptr" : name + "_map") << ", " << map.size() << "};\n\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tt_sort_order_gen <sort-order folder> <output .cpp>\n");
    return 2;
  }
  g_folder = argv[1];

  table_builder legacy = build_unicode("index_codes_genleg.txt", "index_codes_ext_genleg.txt");
  table_builder general = build_unicode("index_codes_gen.txt", "index_codes_ext_gen.txt");

  table_builder g97;
  {
    const std::string file = "index_codes_gen_97.txt";
    std::vector<std::string> lines = read_lines(file);
    if (lines.size() != 256) fail(file, 0, "expected 256 lines, found " + std::to_string(lines.size()));
    g97.index.assign(256, 0);
    for (int i = 0; i < 256; ++i) g97.index[i] = g97.add(parse_entry(lines[i], file, i + 1, true));
  }
  std::vector<std::pair<uint32_t, uint32_t>> map97;
  {
    const std::string file = "index_mappings_ext_gen_97.txt";
    std::vector<std::string> lines = read_lines(file);
    std::map<uint32_t, uint32_t> sorted;
    int n = 0;
    for (const std::string& l : lines) {
      ++n;
      if (l.empty()) continue;
      unsigned long from = 0, to = 0;
      char tail = 0;
      if (std::sscanf(l.c_str(), "%lu,%lu%c", &from, &to, &tail) != 2 || from <= 0xFF || from > 0xFFFF ||
          to > 0xFF)
        fail(file, n, "expected 'code point,byte' in decimal, found '" + l + "'");
      sorted[static_cast<uint32_t>(from)] = static_cast<uint32_t>(to);
    }
    if (sorted.empty()) fail(file, 0, "no mappings found");
    map97.assign(sorted.begin(), sorted.end());
  }

  std::ostringstream out;
  out << "// Generated by tt_sort_order_gen from the Access \"General\" sort-order tables of the Jackcess project\n"
         "// (Apache License 2.0; platform/jet/sort_order_data/LICENSE.txt and NOTICE.txt). Do not edit: regenerate\n"
         "// with the tt_regenerate_sort_order target.\n"
      << "#include \"platform/jet/sort_order_tables.h\"\n\n"
      << "namespace jet::detail {\n\n";
  emit(out, "general_legacy_table", legacy, {});
  emit(out, "general_table", general, {});
  emit(out, "general_97_table", g97, map97);
  out << "}  // namespace jet::detail\n";

  std::string tmp = std::string(argv[2]) + ".tmp";
  {
    std::ofstream f(tmp, std::ios::binary);
    f << out.str();
    if (!f) {
      std::fprintf(stderr, "tt_sort_order_gen: cannot write %s\n", tmp.c_str());
      return 1;
    }
  }
  if (std::rename(tmp.c_str(), argv[2]) != 0) {
    std::fprintf(stderr, "tt_sort_order_gen: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
