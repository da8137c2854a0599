// Relationships written into a real Access file by create_relationships: the unique index the referenced
// table lacks, then the relationship; read back by our own reader (init_fkeys), mdbtools and mdb-reader,
// and checked by the verifier. In append mode (8) nothing is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "access/dao_db.h"
#include "access/dao_recs.h"
#include "access/dao_test_support.h"
#include "platform/jet/database.h"
#include "platform/jet/reader.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/verifier.h"

namespace {

namespace fs = std::filesystem;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

t_ftd column(const wchar_t* name, VARTYPE vt, int32_t size) { return t_ftd(size, name, vt, false, false, ole_variant(), 0, L""); }

udb_record record(std::vector<ole_variant> values) {
  udb_record r;
  for (auto& v : values) r.push_back(std::make_unique<udb_field>(L"", 0, v, false, false));
  return r;
}

// Run over an Access 2000 file (generation 0) and an Access 2007 one (generation 3).
struct CreateRelationships : ::testing::TestWithParam<int> {
  jet::scratch_folder scratch;
  std::string path = scratch.file(GetParam() == 3 ? "shop.accdb" : "shop.mdb");
  error_handler handler{tk_dao_error_count, tk_dao_error_table};
  dao_engine engine{0};

  // customers(id PK, region, code; unique only over region, code, id) and orders(id, customer, region, code).
  void SetUp() override {
    engine.set_version(GetParam());
    auto db = engine.create_db(fs::path(path).wstring());
    udb_schema c;
    c.push_back(column(L"id", VT_I4, 4));
    c.push_back(column(L"region", VT_BSTR, 4));
    c.push_back(column(L"code", VT_BSTR, 8));
    udb_indexes cx;
    cx.push_back(udb_index(L"PRIMARY", true, true, {L"id"}));
    cx.push_back(udb_index(L"wide", true, false, {L"region", L"code", L"id"}));
    auto customers = db->create_table(L"customers", c, cx);
    for (int i = 1; i <= 4; ++i)
      customers->append_record(record({ole_variant(i), ole_variant(i % 2 ? L"N" : L"S"), ole_variant(L"c" + std::to_wstring(i / 2))}));
    customers.reset();
    udb_schema o;
    o.push_back(column(L"id", VT_I4, 4));
    o.push_back(column(L"customer", VT_I4, 4));
    o.push_back(column(L"region", VT_BSTR, 4));
    o.push_back(column(L"code", VT_BSTR, 8));
    auto orders = db->create_table(L"orders", o, udb_indexes());
    for (int i = 1; i <= 12; ++i) {
      int k = 1 + i % 4;
      orders->append_record(record({ole_variant(i), ole_variant(k), ole_variant(k % 2 ? L"N" : L"S"),
                                    ole_variant(L"c" + std::to_wstring(k / 2))}));
    }
    orders.reset();
    db->close();
  }

  static udb_relationships two_relationships() {
    udb_relationships list;
    list.push_back(udb_relationship(L"orders", L"customers", {L"customer"}, {L"id"}, L""));
    list.push_back(udb_relationship(L"FK_by_code", L"", L"orders", L"customers", {L"region", L"code"},
                                    {L"region", L"code"}, L""));
    return list;
  }
};

INSTANTIATE_TEST_SUITE_P(Formats, CreateRelationships, ::testing::Values(0, 3));

TEST_P(CreateRelationships, AppendModeOnlyTraces) {
  const std::string before = slurp(path);
  const std::string log = scratch.file("trace.log");
  {
    tk_logger logger(log.c_str(), true, 0, false);
    auto db = engine.open_db(fs::path(path).wstring(), 8, L"");
    ::testing::internal::CaptureStdout();
    db->create_relationships(two_relationships());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    db->close();
  }
  EXPECT_NE(slurp(log).find("Foreign keys are not converted in append mode"), std::string::npos);
  EXPECT_TRUE(slurp(path) == before);
}

TEST_P(CreateRelationships, WritesTheMissingUniqueIndexThenTheRelationships) {
  {
    auto db = engine.open_db(fs::path(path).wstring(), 0x68, L"");
    ::testing::internal::CaptureStdout();
    db->create_relationships(two_relationships());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");  // no error reported
    db->close();
  }
  jet::verify_report report = jet::verify_file(path);
  EXPECT_TRUE(report.ok()) << report.text();

  // The referenced pair got a unique index of its own ("ui_customers" + a time stamp); the primary key served
  // the single-column relationship.
  {
    auto reader = jet::database::open(path, {.read_only = true});
    EXPECT_EQ(reader->gen(), GetParam() == 3 ? jet::generation::ace : jet::generation::jet4);
    jet::table_def customers = reader->reader().table(L"customers");
    std::vector<std::wstring> names;
    for (const auto& li : customers.logical_indexes) names.push_back(li.name);
    ASSERT_EQ(std::count_if(names.begin(), names.end(), [](const std::wstring& n) { return n.rfind(L"ui_customers", 0) == 0; }), 1);
    auto ui = std::find_if(customers.logical_indexes.begin(), customers.logical_indexes.end(),
                           [](const jet::logical_index_def& li) { return li.name.rfind(L"ui_customers", 0) == 0; });
    EXPECT_EQ(ui->name.size(), std::wstring(L"ui_customers").size() + 12);
    const jet::index_def& ix = customers.indexes.at(ui->physical);
    EXPECT_TRUE(ix.is_unique());
    EXPECT_EQ(ix.columns.size(), 2u);
  }

  // Our own reader finds both, as the referencing table's foreign keys.
  {
    auto db = engine.open_db(fs::path(path).wstring(), 0x80, L"");
    auto* access = dynamic_cast<dao_database*>(db.get());
    ASSERT_NE(access, nullptr);
    ASSERT_EQ(access->relationships.size(), 2u);
    const udb_relationship* one = nullptr;
    const udb_relationship* pair = nullptr;
    for (const auto& r : access->relationships) (r.fk_flds.size() == 1 ? one : pair) = &r;
    ASSERT_TRUE(one && pair);
    EXPECT_EQ(one->table, L"orders");
    EXPECT_EQ(one->ref_table, L"customers");
    EXPECT_EQ(one->fk_flds, udb_name_list{L"customer"});
    EXPECT_EQ(one->pk_flds, udb_name_list{L"id"});
    EXPECT_EQ(pair->fk_flds, (udb_name_list{L"region", L"code"}));
    EXPECT_EQ(pair->pk_flds, (udb_name_list{L"region", L"code"}));
  }

  std::string schema = output_of({"mdb-schema", "--relations", path, "mysql"});
  EXPECT_NE(schema.find("FOREIGN KEY (`customer`) REFERENCES `customers`(`id`)"), std::string::npos) << schema;
  // mdbtools prints a relationship of two column pairs as one line per pair.
  EXPECT_NE(schema.find("FOREIGN KEY (`region`) REFERENCES `customers`(`region`)"), std::string::npos) << schema;
  EXPECT_NE(schema.find("FOREIGN KEY (`code`) REFERENCES `customers`(`code`)"), std::string::npos) << schema;
  // customers already held the first relationship's foreign-key entry when the unique index was added: the index
  // is numbered before that entry, as Access numbers them, and mdbtools finds its columns.
  size_t ui = schema.find("`ui_customers");
  ASSERT_NE(ui, std::string::npos) << schema;
  EXPECT_NE(schema.substr(ui, schema.find('\n', ui) - ui).find("(`region`, `code`)"), std::string::npos) << schema;
  // Every foreign-key entry names the entry of the other table that names it back.
  {
    auto reader = jet::database::open(path, {.read_only = true});
    for (const wchar_t* name : {L"customers", L"orders"}) {
      const uint32_t page = reader->reader().find_table(name)->id;
      for (const auto& li : reader->reader().table_at(page).logical_indexes) {
        if (li.type != jet::logical_index_type::foreign_key) continue;
        const jet::table_def other = reader->reader().table_at(li.other_tdef);
        auto back = std::find_if(other.logical_indexes.begin(), other.logical_indexes.end(),
                                 [&](const jet::logical_index_def& o) { return int32_t(o.number) == li.other_index; });
        ASSERT_NE(back, other.logical_indexes.end());
        EXPECT_EQ(back->type, jet::logical_index_type::foreign_key);
        EXPECT_EQ(back->other_tdef, page);
        EXPECT_EQ(back->other_index, int32_t(li.number));
      }
    }
  }
  int code = -1;
  std::string dump = output_of({"node", std::string(TT_SOURCE_DIR) + "/tools/readers/dump.mjs", path}, &code);
  EXPECT_EQ(code, 0) << "mdb-reader could not read the file";
  EXPECT_NE(dump.find("T\tcustomers\t4\n"), std::string::npos) << dump.substr(0, 300);
  EXPECT_NE(dump.find("T\torders\t12\n"), std::string::npos) << dump.substr(0, 300);
}

TEST_P(CreateRelationships, EachRefusedRelationshipIsReportedAndTheOthersWritten) {
  udb_relationships list;
  // (code, region) is unique in customers, so a unique index is made for it; no order's (region, code) is one.
  list.push_back(udb_relationship(L"FK_swapped", L"", L"orders", L"customers", {L"region", L"code"},
                                  {L"code", L"region"}, L""));
  // Orders ids 1..12 refer to customers 1..4 only: the rows break it.
  list.push_back(udb_relationship(L"FK_ids", L"", L"orders", L"customers", {L"id"}, {L"id"}, L""));
  // Customer codes repeat: no unique index can be built over them.
  list.push_back(udb_relationship(L"FK_codes", L"", L"orders", L"customers", {L"code"}, {L"code"}, L""));
  list.push_back(udb_relationship(L"orders", L"customers", {L"customer"}, {L"id"}, L""));
  {
    auto db = engine.open_db(fs::path(path).wstring(), 0x68, L"");
    ::testing::internal::CaptureStdout();
    db->create_relationships(list);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("FK_ids: You cannot add or change a record because a related record is required in table "
                       "'customers'."),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("FK_swapped: You cannot add or change a record because a related record is required in table "
                       "'customers'."),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("FK_codes: Duplicate field values being used for an unique index"), std::string::npos) << out;
    EXPECT_EQ(out.find("FK_customers_orders"), std::string::npos) << out;
    db->close();
  }
  jet::verify_report report = jet::verify_file(path);
  EXPECT_TRUE(report.ok()) << report.text();
  auto reader = jet::database::open(path, {.read_only = true});
  auto rels = reader->relationships();
  ASSERT_EQ(rels.size(), 1u);
  EXPECT_EQ(rels[0].name, L"FK_customers_orders");
  // Neither the index that could not be built nor the one made for the refused relationship is left behind.
  for (const auto& li : reader->reader().table(L"customers").logical_indexes) EXPECT_NE(li.name.rfind(L"ui_", 0), 0u);
}

}  // namespace
