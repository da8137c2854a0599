// New Access 95/97 (Jet 3) files: the blank file, tables filled with every Jet 3 field type, long
// rows (jump tables), long values on 2 KB pages, indexes, and what Jet 3 cannot hold. Each file is
// read back by mdbtools and mdb-reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/index_key.h"
#include "platform/jet/index_scan.h"
#include "platform/jet/new_file.h"
#include "platform/jet/page_io.h"
#include "platform/jet/reader_oracles.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/value_codec.h"
#include "platform/jet/verifier.h"

namespace jet {
namespace {

// The pages of a written file.
class file_pages : public page_source {
 public:
  file_pages(const std::string& path, uint32_t page_size) : all_(slurp(path)), size_(page_size) {}
  uint32_t page_count() const override { return uint32_t(all_.size() / size_); }
  std::vector<uint8_t> read(uint32_t page) const override {
    if (page >= page_count()) throw_corrupt("page beyond the end of the file");
    return std::vector<uint8_t>(all_.begin() + long(page) * size_, all_.begin() + long(page + 1) * size_);
  }

 private:
  std::string all_;
  uint32_t size_;
};

// Our strict verifier finds nothing to report.
void expect_sound(const std::string& path) {
  verify_report r = verify_file(path);
  EXPECT_TRUE(r.ok()) << r.text();
  EXPECT_TRUE(r.notes.empty()) << r.text();
}

std::vector<std::string> lines(const std::string& s) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at < s.size()) {
    size_t nl = s.find('\n', at);
    if (nl == std::string::npos) nl = s.size();
    out.push_back(s.substr(at, nl - at));
    at = nl + 1;
  }
  return out;
}

TEST(Jet3Write, BlankFileIsAJet3FileTheReadersOpen) {
  scratch_folder s;
  const std::string path = s.file("blank.mdb");
  new_file::create(path, format::jet3(), {})->close();
  expect_sound(path);
  EXPECT_EQ(oracle::run({"mdb-ver", path}).out, "JET3\n");
  EXPECT_EQ(slurp(path).size() % 2048, 0u);
  auto tables = oracle::run({"mdb-tables", "-S", "-1", path});
  EXPECT_EQ(tables.exit_code, 0) << tables.err;
  EXPECT_EQ(lines(tables.out), (std::vector<std::string>{"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}));
  EXPECT_EQ(oracle::mdb_export(path, "MSysObjects").size(), 8u);
  EXPECT_EQ(oracle::mdb_export(path, "MSysACEs").size(), 23u);
  EXPECT_TRUE(oracle::mdb_reader_dump(path).empty());
}

std::vector<column_spec> jet3_columns() {
  return {
      {.name = L"Yes", .type = column_type::boolean},
      {.name = L"Byte", .type = column_type::byte},
      {.name = L"Int", .type = column_type::integer},
      {.name = L"Long", .type = column_type::long_integer},
      {.name = L"Single", .type = column_type::single},
      {.name = L"Double", .type = column_type::double_},
      {.name = L"Money", .type = column_type::currency},
      {.name = L"When", .type = column_type::datetime},
      {.name = L"Bin", .type = column_type::binary, .size = 255},
      {.name = L"Text", .type = column_type::text, .size = 255, .allow_zero_length = true},
      {.name = L"Memo", .type = column_type::memo, .allow_zero_length = true},
      {.name = L"Ole", .type = column_type::ole},
      {.name = L"Guid", .type = column_type::guid},
      {.name = L"Note", .type = column_type::text, .size = 255, .default_value = L"\"n\u00e9ant\"",
       .description = L"Caf\u00e9 notes", .format_text = L">"},
  };
}

bytes counting_bytes(size_t n, uint8_t start) {
  bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = uint8_t(start + i * 7);
  return b;
}

std::wstring letters(size_t n) {
  std::wstring s;
  for (size_t i = 0; i < n; ++i) s.push_back(wchar_t(L'a' + i % 26));
  return s;
}

// Rows around the Jet 3 limits: 2 KB pages (long values of one row up to 2,032 bytes, chains beyond),
// rows of 256 bytes and more (jump tables), code-page text.
std::vector<std::vector<value>> jet3_rows() {
  guid g;
  for (int i = 0; i < 16; ++i) g.bytes[i] = uint8_t(0x10 * i + 1);
  return {
      {value::boolean(false), value::byte(0), value::integer(-32768), value::long_integer(INT32_MIN),
       value::single(-1.5f), value::double_(-0.1), value::currency({-12345}), value::datetime({36526.5}),
       value::binary({0x01, 0x00, 0x7F}), value::text(L"Gr\u00fc\u00dfe \u20ac"), value::text(L""),
       value::binary({}), value::guid(g), value()},
      // A row of about 1,900 bytes: offsets beyond 256 on several boundaries.
      {value::boolean(true), value::byte(255), value::integer(32767), value::long_integer(INT32_MAX),
       value::single(3.25f), value::double_(3.141592653589793), value::currency({INT64_MAX}),
       value::datetime({2958465.5}), value::binary(counting_bytes(255, 3)), value::text(letters(255)),
       value::text(std::wstring(64, L'm')), value::binary(counting_bytes(700, 5)), value::guid(guid{}),
       value::text(letters(254))},
      {value(), value(), value(), value(), value(), value(), value(), value(), value(), value(), value(), value(),
       value(), value()},
      // Long values: one LVAL row (2,032 bytes), a chain (2,033 and 9,000 bytes).
      {value::boolean(true), value::byte(1), value::integer(-1), value::long_integer(0), value::single(0.0f),
       value::double_(1e300), value::currency({10000}), value::datetime({-1.25}), value::binary({0xFF}),
       value::text(L"x"), value::text(letters(2033)), value::binary(counting_bytes(2032, 9)), value(),
       value::text(L"y")},
      {value::boolean(false), value::byte(2), value::integer(2), value::long_integer(2), value::single(2.0f),
       value::double_(2.0), value::currency({20000}), value::datetime({2.0}), value(), value::text(letters(200)),
       value::text(letters(9000)), value::binary(counting_bytes(9000, 11)), value::guid(g), value::text(letters(60))},
  };
}

// Text as it reads back from a Jet 3 file: '?' for every character code page 1252 cannot hold.
std::wstring through_1252(const value& v) { return v.as_text(); }

TEST(Jet3Write, EveryFieldTypeReadsBackInMdbtoolsAndMdbReader) {
  scratch_folder s;
  const std::string path = s.file("types.mdb");
  {
    auto db = new_file::create(path, format::jet3(), {});
    size_t t = db->add_table(L"AllTypes", jet3_columns(), {}, L"Every Jet 3 field type \u00e0 97");
    for (const auto& row : jet3_rows()) db->append_row(t, row);
    db->close();
  }
  expect_sound(path);
  auto expected = jet3_rows();
  auto exported = oracle::mdb_export(path, "AllTypes");
  ASSERT_EQ(exported.size(), expected.size());
  const std::string null_mark = "\x02";
  for (size_t r = 0; r < expected.size(); ++r) {
    SCOPED_TRACE("row " + std::to_string(r));
    const auto& e = expected[r];
    const auto& got = exported[r];
    ASSERT_EQ(got.size(), e.size());
    EXPECT_EQ(got[0], !e[0].is_null() && e[0].as_bool() ? "1" : "0");
    EXPECT_EQ(got[1], e[1].is_null() ? null_mark : std::to_string(e[1].as_byte()));
    EXPECT_EQ(got[2], e[2].is_null() ? null_mark : std::to_string(e[2].as_integer()));
    EXPECT_EQ(got[3], e[3].is_null() ? null_mark : std::to_string(e[3].as_long()));
    for (size_t c : {size_t(9), size_t(13)}) {
      EXPECT_EQ(got[c], e[c].is_null() || e[c].as_text().empty() ? null_mark : to_utf8(through_1252(e[c])))
          << "column " << c;
    }
  }

  // The property blob ("KKD", code-page names and values) as mdbtools reads it.
  auto props = oracle::run({"mdb-prop", path, "AllTypes"});
  ASSERT_EQ(props.exit_code, 0) << props.err;
  for (const wchar_t* want : {L"\tDescription: Every Jet 3 field type \u00e0 97", L"name: Note",
                                   L"\tDefaultValue: \"n\u00e9ant\"", L"\tDescription: Caf\u00e9 notes", L"\tFormat: >",
                                   L"\tRequired: no"})
    EXPECT_NE(props.out.find(to_utf8(want)), std::string::npos) << to_utf8(want) << "\n" << props.out;

  auto dump = oracle::mdb_reader_dump(path);
  ASSERT_EQ(dump.size(), 1u);
  ASSERT_EQ(dump[0].rows.size(), expected.size());
  for (size_t r = 0; r < expected.size(); ++r) {
    SCOPED_TRACE("row " + std::to_string(r));
    for (size_t c = 0; c < expected[r].size(); ++c) {
      SCOPED_TRACE("column " + std::to_string(c));
      const value& v = expected[r][c];
      const oracle::reader_value& g = dump[0].rows[r][c];
      if (v.is_null()) {
        if (c != 0) {
          EXPECT_EQ(g.kind, 'n');
        }
        continue;
      }
      switch (v.kind_of()) {
        case value::kind::boolean: EXPECT_EQ(g.payload, v.as_bool() ? "1" : "0"); break;
        case value::kind::byte: EXPECT_EQ(std::stod(g.payload), v.as_byte()); break;
        case value::kind::integer: EXPECT_EQ(std::stod(g.payload), v.as_integer()); break;
        case value::kind::long_integer: EXPECT_EQ(std::stod(g.payload), v.as_long()); break;
        case value::kind::single: EXPECT_EQ(float(std::stod(g.payload)), v.as_single()); break;
        case value::kind::double_: EXPECT_EQ(std::strtod(g.payload.c_str(), nullptr), v.as_double()); break;
        case value::kind::text: EXPECT_EQ(g.payload, to_utf8(through_1252(v))); break;
        case value::kind::binary:
          EXPECT_TRUE(oracle::from_hex(g.payload) == std::string(v.as_binary().begin(), v.as_binary().end()));
          break;
        default: EXPECT_NE(g.kind, 'n'); break;
      }
    }
  }
}

// A table of 3,000 rows with a primary key, a composite index with a descending part and a unique
// index that ignores nulls: every tree is sound on 2 KB pages (several levels), holds exactly the keys
// of the rows (General 97 order for text) and mdbtools lists the indexes.
TEST(Jet3Write, IndexesHoldEveryRowInSoundTrees) {
  scratch_folder s;
  const std::string path = s.file("indexes.mdb");
  const std::vector<column_spec> columns = {
      {.name = L"Id", .type = column_type::long_integer, .autonumber = true},
      {.name = L"Name", .type = column_type::text, .size = 50},
      {.name = L"Born", .type = column_type::datetime},
      {.name = L"Code", .type = column_type::text, .size = 10},
  };
  const std::vector<index_spec> indexes = {
      {.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true},
      {.name = L"ByName", .fields = {{L"Name"}, {L"Born", false}}},
      {.name = L"Code", .fields = {{L"Code"}}, .unique = true, .ignore_nulls = true},
  };
  const std::vector<std::wstring> names = {L"\u00c9mile", L"emile", L"Zo\u00eb", L"\u00e6sir", L"O'Brien",
                                           L"\u20acuro", L"Stra\u00dfe", L"strasse", L"10", L"9"};
  std::vector<std::vector<value>> rows;
  for (int i = 0; i < 3000; ++i) {
    rows.push_back({value::long_integer(i + 1), value::text(names[i % names.size()] + std::to_wstring(i % 37)),
                    value::datetime({36000.0 + i * 0.37}),
                    i % 3 ? value::text(L"C" + std::to_wstring(i)) : value()});
  }
  table_def def;
  {
    auto db = new_file::create(path, format::jet3(), {});
    size_t t = db->add_table(L"People", columns, indexes);
    for (const auto& r : rows) {
      std::vector<value> in = r;
      in[0] = value();  // the AutoNumber is issued by the table
      db->append_row(t, in);
    }
    db->finish_table(t);
    def = db->table(t);
    db->close();
  }
  expect_sound(path);
  const format& f = format::jet3();
  file_pages file(path, f.page_size);
  ASSERT_EQ(def.indexes.size(), 3u);
  for (size_t i = 0; i < def.indexes.size(); ++i) {
    SCOPED_TRACE("index " + std::to_string(i));
    const index_def& ix = def.indexes[i];
    EXPECT_EQ(ix.flags & index_flag::jet4_always, 0);
    index_tree_report report = check_index_tree(f, file, ix.root_page, def.tdef_page);
    EXPECT_TRUE(report.problems.empty()) << report.problems.front();
    std::vector<bytes> want;
    for (const auto& r : rows)
      if (has_index_entry(def, ix, r)) want.push_back(encode_key(f, def, ix, r));
    std::sort(want.begin(), want.end());
    std::vector<bytes> got;
    for (const index_entry& e : read_index_entries(f, file, ix.root_page)) got.push_back(e.key);
    EXPECT_EQ(got.size(), i == 2 ? 2000u : 3000u);
    EXPECT_TRUE(got == want);
  }
  EXPECT_GE(check_index_tree(f, file, def.indexes[1].root_page, def.tdef_page).pages.size(), 10u);
  auto schema = oracle::run({"mdb-schema", "--indexes", "-T", "People", path, "postgres"});
  ASSERT_EQ(schema.exit_code, 0) << schema.err;
  for (const char* want : {"PRIMARY KEY (\"id\")", "CREATE INDEX \"people_byname_idx\" ON \"people\" (\"name\", \"born\" DESC)",
                           "CREATE UNIQUE INDEX \"people_code_idx\" ON \"people\" (\"code\")"})
    EXPECT_NE(schema.out.find(want), std::string::npos) << want << "\n" << schema.out;
  EXPECT_EQ(oracle::mdb_export(path, "People").size(), 3000u);
}

// What Jet 3 cannot hold is refused with the error Access gives, and the file stays sound: a decimal
// field, a text field over 255 characters, a name over 64 characters, a text value over its field
// size, a row over 2,012 bytes (the table takes the next row) and text outside code page 1252, which
// is stored as '?' like the Jet 3 engine stores it (the index holds the key of what is stored).
TEST(Jet3Write, WhatJet3CannotHoldIsRefusedOrStoredAsQuestionMarks) {
  scratch_folder s;
  const std::string path = s.file("limits.mdb");
  auto db = new_file::create(path, format::jet3(), {});
  auto refused = [&](const std::vector<column_spec>& columns) {
    return error_of([&] { db->add_table(L"Refused", columns, {}); });
  };
  EXPECT_EQ(refused({{.name = L"Amount", .type = column_type::decimal}}), dao_error::invalid_field_type);
  EXPECT_EQ(refused({{.name = L"Long", .type = column_type::text, .size = 256}}), dao_error::invalid_field_type);
  EXPECT_EQ(refused({{.name = std::wstring(65, L'n'), .type = column_type::long_integer}}), dao_error::invalid_name);
  EXPECT_EQ(error_of([&] { db->add_table(std::wstring(65, L't'), {{.name = L"X"}}, {}); }), dao_error::invalid_name);
  // Names are stored in the code page: one with a character it lacks would read back as another name.
  EXPECT_EQ(error_of([&] { db->add_table(L"\u03a9mega", {{.name = L"X"}}, {}); }), dao_error::invalid_name);
  EXPECT_EQ(refused({{.name = L"\u4e16", .type = column_type::long_integer}}), dao_error::invalid_name);
  EXPECT_EQ(error_of([&] {
              db->add_table(L"Refused", {{.name = L"X"}}, {{.name = L"By\u0416", .fields = {{L"X"}}}});
            }),
            dao_error::invalid_name);
  EXPECT_EQ(error_of([&] { db->add_table(L"Caf\u00e9 \u20ac", {{.name = L"\u00c6sir"}}, {}); }), 0);

  std::vector<column_spec> columns = {{.name = L"Name", .type = column_type::text, .size = 20}};
  std::vector<index_spec> indexes = {{.name = L"Name", .fields = {{L"Name"}}, .unique = true}};
  for (int i = 0; i < 8; ++i)
    columns.push_back({.name = L"Wide" + std::to_wstring(i), .type = column_type::text, .size = 255});
  size_t t = db->add_table(L"Kept", columns, indexes);
  std::vector<value> too_long = {value::text(std::wstring(21, L'x'))};
  EXPECT_EQ(error_of([&] { db->append_row(t, too_long); }), dao_error::field_too_small);
  std::vector<value> too_large = {value::text(L"big")};
  for (int i = 0; i < 8; ++i) too_large.push_back(value::text(letters(255)));
  EXPECT_EQ(error_of([&] { db->append_row(t, too_large); }), dao_error::record_too_large);
  db->append_row(t, {value::text(L"\u03a9mega \u20ac \u4e16")});
  // Stored as "?mega € ?": a second value that is the same once stored is a duplicate key.
  EXPECT_EQ(error_of([&] { db->append_row(t, {value::text(L"?mega \u20ac \u754c")}); }), dao_error::duplicate_key);
  std::vector<value> widest = {value::text(L"wide")};
  for (int i = 0; i < 7; ++i) widest.push_back(value::text(letters(255)));
  db->append_row(t, widest);
  db->close();
  expect_sound(path);

  auto rows = oracle::mdb_export(path, "Kept");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], "?mega \u20ac ?");
  EXPECT_EQ(rows[1][7], to_utf8(letters(255)));
  auto dump = oracle::mdb_reader_dump(path, {"Kept"});
  ASSERT_EQ(dump.size(), 1u);
  EXPECT_EQ(dump[0].rows.at(0).at(0).payload, "?mega \u20ac ?");
  EXPECT_EQ(oracle::run({"mdb-tables", "-1", path}).out, to_utf8(L"Caf\u00e9 \u20ac\nKept\n"));
}

// The file size limit comes from the descriptor (1 GB for Jet 3): rows that would take the file past
// it are refused with 3001 and the file written so far stays sound. Shown on a descriptor with a
// smaller limit, which the engine enforces the same way.
TEST(Jet3Write, TheFileSizeLimitRefusesRowsAndKeepsTheFile) {
  const format& jet3 = format::jet3();
  EXPECT_EQ(jet3.max_file_size, uint64_t(1) << 30);
  format small = jet3;
  small.max_file_size = 256 * 1024;
  scratch_folder s;
  const std::string path = s.file("small.mdb");
  auto db = new_file::create(path, small, {});
  size_t t = db->add_table(L"Blobs", {{.name = L"Data", .type = column_type::ole}}, {});
  int written = 0, refused = 0;
  for (int i = 0; i < 40; ++i) {
    int e = error_of([&] { db->append_row(t, {value::binary(counting_bytes(10000, uint8_t(i)))}); });
    if (e == 0) ++written;
    else if (e == dao_error::invalid_argument) ++refused;
    else ADD_FAILURE() << "error " << e;
  }
  EXPECT_GT(written, 5);
  EXPECT_GT(refused, 0);
  db->close();
  EXPECT_LE(slurp(path).size(), small.max_file_size);
  expect_sound(path);
  EXPECT_EQ(oracle::mdb_export(path, "Blobs").size(), size_t(written));
  EXPECT_EQ(oracle::mdb_reader_dump(path).at(0).rows.size(), size_t(written));
}

// A table of fixed-size fields only: its rows carry no variable offsets at all.
TEST(Jet3Write, ATableOfFixedFieldsOnlyReadsBack) {
  scratch_folder s;
  const std::string path = s.file("fixed.mdb");
  {
    auto db = new_file::create(path, format::jet3(), {});
    size_t t = db->add_table(L"Fixed", {{.name = L"Id", .type = column_type::long_integer, .autonumber = true},
                                        {.name = L"Flag", .type = column_type::boolean},
                                        {.name = L"Amount", .type = column_type::double_}},
                             {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true}});
    for (int i = 0; i < 500; ++i) db->append_row(t, {value(), value::boolean(i % 2 == 0), i % 7 ? value::double_(i / 4.0) : value()});
    db->close();
  }
  expect_sound(path);
  auto rows = oracle::mdb_export(path, "Fixed");
  ASSERT_EQ(rows.size(), 500u);
  EXPECT_EQ(rows[9], (std::vector<std::string>{"10", "0", "2.25"}));
  auto dump = oracle::mdb_reader_dump(path);
  ASSERT_EQ(dump.size(), 1u);
  ASSERT_EQ(dump[0].rows.size(), 500u);
  EXPECT_EQ(dump[0].rows[7][0].payload, "8");
  EXPECT_EQ(dump[0].rows[7][2].kind, 'n');
}

// A file larger than an inline global usage map reaches (about 32 MB of 2 KB pages): the map spills
// to bitmap pages and every reader still reads every row.
TEST(Jet3Write, AFileBeyondTheInlineGlobalMapReadsBack) {
  scratch_folder s;
  const std::string path = s.file("large.mdb");
  constexpr int kRows = 12000;
  {
    auto db = new_file::create(path, format::jet3(), {});
    size_t t = db->add_table(L"Blobs", {{.name = L"Id", .type = column_type::long_integer},
                                        {.name = L"Data", .type = column_type::ole}},
                             {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true}});
    for (int i = 0; i < kRows; ++i)
      db->append_row(t, {value::long_integer(i), value::binary(counting_bytes(3000, uint8_t(i)))});
    db->close();
  }
  EXPECT_GT(slurp(path).size(), 34u * 1024 * 1024);
  expect_sound(path);
  EXPECT_EQ(oracle::mdb_export(path, "Blobs").size(), size_t(kRows));
  auto dump = oracle::mdb_reader_dump(path);
  ASSERT_EQ(dump.size(), 1u);
  EXPECT_EQ(dump[0].rows.size(), size_t(kRows));
}

}  // namespace
}  // namespace jet
