// A new ACE (.accdb) file against the Access 2007 blank: the same catalog rows, system table
// definitions, permissions and properties for everything the engine itself makes (Access adds its
// own containers, navigation-pane and storage tables when it first opens a file; those are left out).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "platform/jet/catalog.h"
#include "platform/jet/database.h"
#include "platform/jet/reader.h"
#include "platform/jet/reader_oracles.h"
#include "platform/jet/test_scratch.h"
#include "platform/jet/value_codec.h"
#include "platform/jet/verifier.h"

namespace jet {
namespace {

std::string describe_column(const column_def& c) {
  std::string s = to_utf8(c.name) + " type " + std::to_string(int(c.type)) + " number " + std::to_string(c.number) +
                  " slot " + std::to_string(c.var_index) + " flags " + std::to_string(c.flags) + " ext " +
                  std::to_string(c.ext_flags) + " length " + std::to_string(c.length);
  if (c.type == column_type::decimal)
    s += " precision " + std::to_string(c.precision) + " scale " + std::to_string(c.scale);
  else
    s += " sort " + std::to_string(c.sort_order) + "/" + std::to_string(c.sort_version);
  if (c.is_fixed()) s += " offset " + std::to_string(c.fixed_offset);
  return s;
}

std::vector<std::string> describe_table(const table_def& t) {
  std::vector<std::string> out;
  out.push_back(std::string("system ") + (t.system ? "yes" : "no") + " columns " + std::to_string(t.columns.size()));
  for (const auto& c : t.columns) out.push_back(describe_column(c));
  for (const auto& ix : t.indexes) {
    std::string s = "index flags " + std::to_string(ix.flags) + " on";
    for (const auto& ic : ix.columns) s += " " + std::to_string(ic.column_number) + (ic.ascending ? "+" : "-");
    out.push_back(s);
  }
  for (const auto& li : t.logical_indexes)
    out.push_back("logical " + to_utf8(li.name) + " " + std::to_string(li.number) + " -> " + std::to_string(li.physical) +
                  " type " + std::to_string(int(li.type)));
  return out;
}

TEST(AceBlank, MatchesTheAccessBlankInCatalogDefinitionsPermissionsAndProperties) {
  scratch_folder s;
  const std::string path = s.file("blank.accdb");
  database::create(path, generation::ace)->close();
  auto ours = database_reader::open(path);
  auto access = database_reader::open(sample_path("jackcess/empty2007.accdb"));

  EXPECT_EQ(ours->header().version, 2);
  EXPECT_EQ(ours->header().sort_order, 1033);
  EXPECT_EQ(ours->header().sort_version, 0);
  EXPECT_EQ(ours->fmt().gen, generation::ace);
  verify_report r = verify_file(path);
  EXPECT_TRUE(r.ok()) << r.text();
  EXPECT_TRUE(r.notes.empty()) << r.text();
  EXPECT_EQ(oracle::run({"mdb-ver", path}).out, "ACE12\n");

  // Catalog rows: every row of ours is in the Access blank with the same parent, type, flags and
  // owner; what the Access blank has beyond ours is exactly what Access adds.
  std::set<std::wstring> ours_names;
  for (const auto& e : ours->objects()) {
    SCOPED_TRACE(to_utf8(e.name));
    ours_names.insert(e.name);
    auto it = std::find_if(access->objects().begin(), access->objects().end(),
                           [&](const catalog_entry& a) { return a.name == e.name; });
    ASSERT_NE(it, access->objects().end());
    EXPECT_EQ(e.parent_id, it->parent_id);
    EXPECT_EQ(e.type, it->type);
    EXPECT_EQ(e.flags, it->flags);
    EXPECT_TRUE(e.owner == it->owner);
    EXPECT_TRUE(e.lv_prop.empty());
    if (e.is_table()) {
      EXPECT_TRUE(ours->properties(e.name).columns.empty());
    }
  }
  std::set<std::wstring> access_only;
  for (const auto& a : access->objects())
    if (!ours_names.count(a.name)) access_only.insert(a.name);
  EXPECT_EQ(access_only, (std::set<std::wstring>{L"DataAccessPages", L"Forms", L"Modules", L"Reports", L"Scripts",
                                                 L"SysRel", L"AccessLayout", L"SummaryInfo", L"UserDefined",
                                                 L"MSysNavPaneGroupCategories", L"MSysNavPaneGroups",
                                                 L"MSysNavPaneGroupToObjects", L"MSysAccessStorage",
                                                 L"MSysNavPaneObjectIDs"}));
  EXPECT_EQ(ours->objects().size(), 18u);

  // System table definitions (column blocks, physical and logical indexes), table by table.
  for (const auto& name : ours->table_names(true)) {
    SCOPED_TRACE(to_utf8(name));
    EXPECT_EQ(describe_table(ours->table(name)), describe_table(access->table(name)));
  }

  // Permissions: each of our rows is one the Access blank has (Access adds rows for its own
  // workgroup SIDs on top, and gives the Tables container broader rights).
  auto aces = [](const database_reader& db) {
    std::multiset<std::string> out;
    table_def t = db.table(L"MSysACEs");
    std::map<uint32_t, std::wstring> names;
    for (const auto& e : db.objects()) names[e.id] = e.name;
    auto cursor = db.rows(t);
    std::vector<value> row;
    while (cursor.next(row)) {
      const bytes& sid = row[aces_col::sid].as_binary();
      out.insert(to_utf8(names[uint32_t(row[aces_col::object_id].as_long())]) + " sid " +
                 std::to_string(sid.size() == 2 ? sid[0] * 256 + sid[1] : -1) + " acm " +
                 std::to_string(row[aces_col::acm].as_long()) + (row[aces_col::inheritable].as_bool() ? " inherit" : ""));
    }
    return out;
  };
  auto ours_aces = aces(*ours), access_aces = aces(*access);
  for (const auto& a : ours_aces) {
    if (a.rfind("Tables ", 0) == 0) continue;
    EXPECT_TRUE(access_aces.count(a)) << a;
  }
  EXPECT_EQ(ours_aces.size(), 16u + 2u * 10u);
}

}  // namespace
}  // namespace jet
