// The database writer: the blank file against the engine's own, the refusals DAO reports, the
// temporary-file protocol.
#include "platform/jet/database.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <sys/resource.h>

#include "platform/jet/error.h"
#include "platform/jet/reader.h"
#include "platform/jet/tdef_builder.h"
#include "platform/jet/tdef_reader.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/verifier.h"

namespace jet {
namespace {

std::vector<uint8_t> file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int dao_number_of(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const error& e) {
    return e.number();
  }
  return 0;
}

TEST(Database, BlankFileMatchesTheEngineBlankPageByPage) {
  scratch_folder s;
  database::create(s.file("blank.mdb"))->close();
  auto ours = file_bytes(s.file("blank.mdb"));
  auto engine = file_bytes(sample_path("jackcess/adox_jet4.mdb"));
  ASSERT_EQ(ours.size(), engine.size());
  const format& f = format::jet4();
  auto page = [&](const std::vector<uint8_t>& b, uint32_t n) {
    return std::vector<uint8_t>(b.begin() + n * f.page_size, b.begin() + (n + 1) * f.page_size);
  };
  auto ours_db = database_reader::open(s.file("blank.mdb"));
  auto engine_db = database_reader::open(sample_path("jackcess/adox_jet4.mdb"));
  for (uint32_t n = 0; n < 16; ++n) {
    SCOPED_TRACE("page " + std::to_string(n));
    if (n >= 2 && n <= 5) {
      // Table definitions: equal once the bytes the engine leaves as junk are set aside.
      EXPECT_EQ(encode_tdef(f, read_tdef(f, ours_db->pages(), n)), encode_tdef(f, read_tdef(f, engine_db->pages(), n)));
    } else if (n == 14) {
      // The catalog rows: equal but for their dates.
      auto a = ours_db->objects();
      auto b = engine_db->objects();
      ASSERT_EQ(a.size(), b.size());
      for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].id, b[i].id);
        EXPECT_EQ(a[i].parent_id, b[i].parent_id);
        EXPECT_EQ(a[i].name, b[i].name);
        EXPECT_EQ(a[i].type, b[i].type);
        EXPECT_EQ(a[i].flags, b[i].flags);
        EXPECT_EQ(a[i].owner, b[i].owner);
      }
    } else {
      EXPECT_EQ(page(ours, n), page(engine, n));
    }
  }
  EXPECT_TRUE(verify_file(s.file("blank.mdb")).ok());
}

TEST(Database, FileAppearsOnlyWhenClosedAndAbandonLeavesNothing) {
  scratch_folder s;
  auto db = database::create(s.file("a.mdb"));
  db->add_table(L"T", {{.name = L"X", .type = column_type::long_integer}}, {});
  db->append_row(L"T", {value::long_integer(1)});
  EXPECT_FALSE(std::filesystem::exists(s.file("a.mdb")));
  db->close();
  db->close();  // idempotent
  EXPECT_TRUE(std::filesystem::exists(s.file("a.mdb")));
  EXPECT_EQ(s.entries(), 1u);
  auto perms = std::filesystem::status(s.file("a.mdb")).permissions();
  EXPECT_NE(perms & std::filesystem::perms::group_read, std::filesystem::perms::none);  // not left private

  auto gone = database::create(s.file("b.mdb"));
  gone->add_table(L"T", {{.name = L"X", .type = column_type::long_integer}}, {});
  gone->abandon();
  gone.reset();
  EXPECT_FALSE(std::filesystem::exists(s.file("b.mdb")));
  EXPECT_EQ(s.entries(), 1u);

  // Only close writes the file: a database dropped without it (a run that stopped or failed) leaves nothing.
  {
    auto dropped = database::create(s.file("c.mdb"));
    dropped->add_table(L"T", {{.name = L"X", .type = column_type::long_integer}}, {});
  }
  EXPECT_FALSE(std::filesystem::exists(s.file("c.mdb")));
  EXPECT_EQ(s.entries(), 1u);
  // An existing file changed and dropped without close stays byte for byte as it was.
  auto before = file_bytes(s.file("a.mdb"));
  {
    auto changed = database::open(s.file("a.mdb"));
    changed->append_row(changed->table_handle(L"T"), {value::long_integer(2)});
    changed->add_table(L"U", {{.name = L"X", .type = column_type::long_integer}}, {});
  }
  EXPECT_EQ(file_bytes(s.file("a.mdb")), before);
  EXPECT_EQ(s.entries(), 1u);
}

TEST(Database, RefusesBadDestinations) {
  scratch_folder s;
  database::create(s.file("x.mdb"))->close();
  auto before = file_bytes(s.file("x.mdb"));
  EXPECT_EQ(dao_number_of([&] { database::create(s.file("x.mdb")); }), dao_error::database_exists);
  EXPECT_EQ(file_bytes(s.file("x.mdb")), before);
  EXPECT_EQ(dao_number_of([&] { database::create(s.file("no/such/folder/x.mdb")); }), dao_error::not_valid_path);
  EXPECT_EQ(dao_number_of([&] { database::create(""); }), dao_error::not_valid_file_name);
  EXPECT_EQ(s.entries(), 1u);
}

TEST(Database, AFullDiskIsAnErrorAndLeavesTheDestinationAbsent) {
  scratch_folder s;
  struct rlimit old;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  int number = 0;
  {
    auto db = database::create(s.file("full.mdb"));
    db->add_table(L"T", {{.name = L"Memo", .type = column_type::memo}}, {});
    struct rlimit small = old;
    small.rlim_cur = 256 * 1024;  // writes past 256 KiB fail as on a full disk
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    number = dao_number_of([&] {
      for (int i = 0; i < 100; ++i) db->append_row(L"T", {value::text(std::wstring(8000, L'x'))});
      db->close();
    });
    ::setrlimit(RLIMIT_FSIZE, &old);
  }
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(number, dao_error::disk_full);
  EXPECT_FALSE(std::filesystem::exists(s.file("full.mdb")));
  EXPECT_EQ(s.entries(), 0u);
}

TEST(Database, TableDefinitionsAreValidatedBeforeAnythingIsWritten) {
  scratch_folder s;
  auto db = database::create(s.file("v.mdb"));
  auto col = [](const wchar_t* n, column_type t = column_type::long_integer) { return column_spec{.name = n, .type = t}; };
  db->add_table(L"Taken", {col(L"A")}, {});
  EXPECT_EQ(dao_number_of([&] { db->add_table(L"TAKEN", {col(L"A")}, {}); }), dao_error::table_exists);
  EXPECT_EQ(dao_number_of([&] { db->add_table(L"msysobjects", {col(L"A")}, {}); }), dao_error::table_exists);
  // Names compare without case in every locale, accented and Cyrillic letters included.
  db->add_table(L"Müller ж", {col(L"A")}, {});
  EXPECT_EQ(dao_number_of([&] { db->add_table(L"MÜLLER Ж", {col(L"A")}, {}); }), dao_error::table_exists);
  EXPECT_EQ(dao_number_of([&] { db->add_table(L"Muller ж", {col(L"A")}, {}); }), 0);
  EXPECT_EQ(dao_number_of([&] { db->add_table(L"a.b", {col(L"A")}, {}); }), dao_error::invalid_name);
  EXPECT_EQ(dao_number_of([&] { db->add_table(L" lead", {col(L"A")}, {}); }), dao_error::invalid_name);
  EXPECT_EQ(dao_number_of([&] { db->add_table(std::wstring(65, L'n'), {col(L"A")}, {}); }), dao_error::invalid_name);
  EXPECT_EQ(dao_number_of([&] { db->add_table(L"Tab\tle", {col(L"A")}, {}); }), dao_error::invalid_name);
  EXPECT_EQ(dao_number_of([&] { db->add_table(L"E", {}, {}); }), dao_error::no_fields);
  EXPECT_EQ(dao_number_of([&] { db->add_table(L"D", {col(L"A"), col(L"a")}, {}); }), dao_error::duplicate_field);
  std::vector<column_spec> many;
  for (int i = 0; i < 256; ++i) many.push_back(col((L"C" + std::to_wstring(i)).c_str()));
  EXPECT_EQ(dao_number_of([&] { db->add_table(L"Wide", many, {}); }), dao_error::too_many_fields);
  many.pop_back();
  EXPECT_EQ(dao_number_of([&] { db->add_table(L"Wide", many, {}); }), 0);
  EXPECT_EQ(dao_number_of([&] { db->add_table(L"M", {col(L"A", column_type::memo)}, {{.name = L"I", .fields = {{L"A"}}}}); }),
            dao_error::invalid_field_type);
  EXPECT_EQ(dao_number_of([&] { db->add_table(L"M", {col(L"A")}, {{.name = L"I", .fields = {{L"B"}}}}); }),
            dao_error::field_not_found);
  EXPECT_EQ(dao_number_of([&] {
              db->add_table(L"M", {col(L"A"), col(L"B")},
                            {{.name = L"P", .fields = {{L"A"}}, .primary = true}, {.name = L"Q", .fields = {{L"B"}}, .primary = true}});
            }),
            dao_error::primary_key_exists);
  EXPECT_EQ(dao_number_of([&] {
              db->add_table(L"M", {col(L"A"), col(L"B")}, {{.name = L"P", .fields = {{L"A"}}}, {.name = L"p", .fields = {{L"B"}}}});
            }),
            dao_error::index_exists);
  std::vector<column_spec> eleven;
  std::vector<index_field> fields;
  for (int i = 0; i < 11; ++i) {
    eleven.push_back(col((L"C" + std::to_wstring(i)).c_str()));
    fields.push_back({L"C" + std::to_wstring(i)});
  }
  EXPECT_EQ(dao_number_of([&] { db->add_table(L"M", eleven, {{.name = L"Big", .fields = fields}}); }),
            dao_error::too_many_index_fields);
  std::vector<index_spec> indexes;
  for (int i = 0; i < 33; ++i) indexes.push_back({.name = L"I" + std::to_wstring(i), .fields = {{L"C0"}}});
  EXPECT_EQ(dao_number_of([&] { db->add_table(L"M", eleven, indexes); }), dao_error::too_many_indexes);
  indexes.pop_back();
  EXPECT_EQ(dao_number_of([&] { db->add_table(L"M", eleven, indexes); }), 0);
  EXPECT_EQ(dao_number_of([&] { db->add_table(L"Auto", {{.name = L"A", .type = column_type::text, .autonumber = true}}, {}); }),
            dao_error::invalid_field_type);
  EXPECT_EQ(dao_number_of([&] { db->add_table(L"Long", {{.name = L"A", .type = column_type::text, .size = 256}}, {}); }),
            dao_error::invalid_field_type);
  db->close();
  auto r = database_reader::open(s.file("v.mdb"));
  EXPECT_EQ(r->table_names(), (std::vector<std::wstring>{L"Taken", L"Müller ж", L"Muller ж", L"Wide", L"M"}));
  EXPECT_EQ(r->table(L"M").logical_indexes.size(), 32u);
  EXPECT_TRUE(verify_file(s.file("v.mdb")).ok()) << verify_file(s.file("v.mdb")).text();
}

TEST(Database, RefusedRowsLeaveNoTraceAndTheTableStaysUsable) {
  scratch_folder s;
  auto db = database::create(s.file("r.mdb"));
  size_t t = db->add_table(
      L"People",
      {{.name = L"Id", .type = column_type::long_integer, .autonumber = true},
       {.name = L"Code", .type = column_type::text, .size = 5, .required = true},
       {.name = L"Mail", .type = column_type::text, .size = 40, .allow_zero_length = false},
       {.name = L"Small", .type = column_type::byte},
       {.name = L"Bio", .type = column_type::memo, .allow_zero_length = true}},
      {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true},
       {.name = L"CodeUnique", .fields = {{L"Code"}}, .unique = true},
       {.name = L"MailUnique", .fields = {{L"Mail"}}, .unique = true}});
  auto row = [](value id, const wchar_t* code, value mail, value small = value()) {
    return std::vector<value>{id, code ? value::text(code) : value(), mail, small, value()};
  };
  db->append_row(t, row(value(), L"abc", value::text(L"a@x")));
  db->append_row(t, row(value::long_integer(100), L"def", value()));
  db->append_row(t, row(value(), L"ghi", value()));  // unique index: any number of nulls
  EXPECT_EQ(dao_number_of([&] { db->append_row(t, row(value(), L"ABC", value())); }), dao_error::duplicate_key);  // case-blind
  EXPECT_EQ(dao_number_of([&] { db->append_row(t, row(value::long_integer(100), L"zzz", value())); }), dao_error::duplicate_key);
  EXPECT_EQ(dao_number_of([&] { db->append_row(t, row(value(), nullptr, value())); }), dao_error::required_null);
  EXPECT_EQ(dao_number_of([&] { db->append_row(t, row(value(), L"toolong", value())); }), dao_error::field_too_small);
  EXPECT_EQ(dao_number_of([&] { db->append_row(t, row(value(), L"jkl", value::text(L""))); }), dao_error::zero_length);
  EXPECT_EQ(dao_number_of([&] { db->append_row(t, row(value(), L"jkl", value(), value::integer(256))); }), dao_error::numeric_overflow);
  EXPECT_EQ(dao_number_of([&] { db->append_row(t, row(value(), L"jkl", value::long_integer(5))); }), dao_error::conversion_error);
  EXPECT_EQ(dao_number_of([&] {
              db->append_row(t, {value(), value::text(L"big"), value(), value(), value::text(std::wstring(3000, L'\u4e00'))});
              db->append_row(t, {value(), value::text(L"row"), value::text(std::wstring(40, L'\u4e00')), value(),
                                 value::text(std::wstring(2000, L'x'))});
            }),
            0);
  db->append_row(t, row(value(), L"end", value()));
  EXPECT_EQ(db->row_count(t), 6u);
  db->close();

  auto r = database_reader::open(s.file("r.mdb"));
  auto rows = r->read_all(L"People");
  ASSERT_EQ(rows.size(), 6u);
  // The AutoNumber moved past the explicit 100; refused rows used no numbers.
  EXPECT_EQ(rows[0][0], value::long_integer(1));
  EXPECT_EQ(rows[1][0], value::long_integer(100));
  EXPECT_EQ(rows[2][0], value::long_integer(101));
  EXPECT_EQ(rows[5][0], value::long_integer(104));
  EXPECT_EQ(r->table(L"People").autonumber_last, 104u);
  auto report = verify_file(s.file("r.mdb"));
  EXPECT_TRUE(report.ok()) << report.text();
  EXPECT_TRUE(report.notes.empty()) << report.text();
}

// Rows a caller keeps go through the writer's own reused copy: each row is written as given (a shorter row
// leaves the rest null, whatever the row before held), refused rows leave nothing behind, and the caller's
// values are not touched.
TEST(Database, RowsTheCallerKeepsAreWrittenAsGivenAndLeftUnchanged) {
  for (generation gen : {generation::jet3, generation::jet4, generation::ace}) {
    SCOPED_TRACE(int(gen));
    scratch_folder s;
    const std::string path = s.file(gen == generation::ace ? "k.accdb" : "k.mdb");
    auto db = database::create(path, gen);
    size_t t = db->add_table(L"Kept",
                             {{.name = L"Id", .type = column_type::long_integer, .autonumber = true},
                              {.name = L"Name", .type = column_type::text, .size = 50},
                              {.name = L"Amount", .type = column_type::double_},
                              {.name = L"Note", .type = column_type::memo}},
                             {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true},
                              {.name = L"NameUnique", .fields = {{L"Name"}}, .unique = true}});
    const std::wstring long_note(3000, L'n');
    const std::vector<std::vector<value>> given = {
        {value(), value::text(L"M\u00fcller and a rather longer name"), value::single(1.5f), value::text(long_note)},
        {value::long_integer(7)},
        {value(), value::text(L"b"), value::integer(3), value()},
        {value(), value::text(L"B"), value::double_(4), value::text(L"refused")},
        {value(), value::text(L"c"), value::byte(2), value::text(L"short")},
    };
    for (const auto& row : given) {
      const std::vector<value> before = row;
      const int number = dao_number_of([&] { db->append_row(t, row); });
      EXPECT_EQ(number, &row == &given[3] ? dao_error::duplicate_key : 0);
      EXPECT_EQ(row, before);
    }
    db->close();

    auto rows = database_reader::open(path)->read_all(L"Kept");
    const std::vector<std::vector<value>> expected = {
        {value::long_integer(1), value::text(L"M\u00fcller and a rather longer name"), value::double_(1.5),
         value::text(long_note)},
        {value::long_integer(7), value(), value(), value()},
        {value::long_integer(8), value::text(L"b"), value::double_(3), value()},
        {value::long_integer(9), value::text(L"c"), value::double_(2), value::text(L"short")},
    };
    EXPECT_EQ(rows, expected);
    auto report = verify_file(path);
    EXPECT_TRUE(report.ok()) << report.text();
  }
}

// Rows given up go to the writer without a copy, in a new file and in an opened one: the writer works on the
// caller's row in place (AutoNumber filled in, a Null Yes/No stored as No, a Jet 3 text as its code page has
// it), and a refused row comes back with its values.
TEST(Database, RowsGivenUpAreWrittenInPlaceAndARefusedOneComesBack) {
  for (generation gen : {generation::jet3, generation::jet4}) {
    SCOPED_TRACE(int(gen));
    scratch_folder s;
    const std::string path = s.file("g.mdb");
    const std::wstring name = L"\u03a9 \u20ac";  // Omega lies outside code page 1252, the euro sign inside
    const std::wstring stored = gen == generation::jet3 ? L"? \u20ac" : name;
    {
      auto db = database::create(path, gen);
      size_t t = db->add_table(L"Given",
                               {{.name = L"Id", .type = column_type::long_integer, .autonumber = true},
                                {.name = L"Name", .type = column_type::text, .size = 10},
                                {.name = L"Flag", .type = column_type::boolean}},
                               {{.name = L"NameUnique", .fields = {{L"Name"}}, .unique = true}});
      std::vector<value> row = {value(), value::text(name), value()};
      db->append_row(t, std::move(row));
      EXPECT_EQ(row, (std::vector<value>{value::long_integer(1), value::text(stored), value::boolean(false)}));
      db->close();
    }
    auto db = database::open(path);
    size_t t = db->table_handle(L"Given");
    std::vector<value> again = {value::long_integer(5), value::text(name), value::boolean(true)};
    EXPECT_EQ(dao_number_of([&] { db->append_row(t, std::move(again)); }), dao_error::duplicate_key);
    EXPECT_EQ(again, (std::vector<value>{value::long_integer(5), value::text(stored), value::boolean(true)}));
    again[1] = value::text(L"other");
    db->append_row(t, std::move(again));
    db->close();
    EXPECT_EQ(database_reader::open(path)->read_all(L"Given"),
              (std::vector<std::vector<value>>{{value::long_integer(1), value::text(stored), value::boolean(false)},
                                               {value::long_integer(5), value::text(L"other"), value::boolean(true)}}));
    auto report = verify_file(path);
    EXPECT_TRUE(report.ok()) << report.text();
  }
}

TEST(Database, ARowTooLargeIsRefused) {
  scratch_folder s;
  auto db = database::create(s.file("big.mdb"));
  std::vector<column_spec> cols;
  for (int i = 0; i < 20; ++i) cols.push_back({.name = L"T" + std::to_wstring(i), .type = column_type::text, .size = 255});
  size_t t = db->add_table(L"Wide", cols, {});
  std::vector<value> row(20, value::text(std::wstring(255, L'\u0416')));  // 510 bytes each, not compressible
  EXPECT_EQ(dao_number_of([&] { db->append_row(t, row); }), dao_error::record_too_large);
  row.resize(7);
  db->append_row(t, row);
  db->close();
  EXPECT_TRUE(verify_file(s.file("big.mdb")).ok());
}

}  // namespace
}  // namespace jet
