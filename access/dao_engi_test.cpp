// The Access engine object: file-format detection, engine generations, DAO errors as exceptions, and the
// Access name validators.
#include "access/dao_engi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "TK/tk_errco.h"
#include "platform/dao/memory_storage_test_support.h"
#include "platform/system/codepage.h"
#include "platform/oleaut/variant.h"

namespace {

namespace fs = std::filesystem;

std::wstring temp_file(const std::string& name, const std::string& bytes) {
  fs::path p = fs::temp_directory_path() / ("tt_dao_engi_" + std::to_string(::getpid()) + "_" + name);
  std::ofstream(p, std::ios::binary) << bytes;
  return p.wstring();
}

int32_t level_of_format_error(const std::wstring& path) {
  try {
    dao_engine::get_acc_version(path);
  } catch (const tk_exception& e) {
    EXPECT_NE(e.message.find("does not comply with MS Access format."), std::string::npos) << e.message;
    return e.level;
  }
  return -1;
}

TEST(DaoEngine, FormatByteOfEverySample) {
  const fs::path samples = fs::path(TT_TEST_DATA_DIR) / "access-format";
  int seen = 0;
  for (const auto& entry : fs::recursive_directory_iterator(samples)) {
    std::string ext = entry.path().extension().string();
    if (ext != ".mdb" && ext != ".accdb") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    char header[21] = {};
    in.read(header, 21);
    int byte = static_cast<unsigned char>(header[20]);
    int expected = byte == 0 ? 1 : byte == 1 ? 0 : 3;  // 2 (Access 2007) to 6 (365) are all ACE files
    EXPECT_EQ(dao_engine::get_acc_version(entry.path().wstring()), expected) << entry.path();
    ++seen;
  }
  EXPECT_GE(seen, 29);
}

TEST(DaoEngine, FormatByteRefusals) {
  std::string twenty(20, '\0');
  EXPECT_EQ(level_of_format_error(temp_file("short", twenty)), 1);
  EXPECT_EQ(level_of_format_error(temp_file("empty", "")), 1);
  EXPECT_EQ(level_of_format_error(L"/nonexistent/folder/x.mdb"), 1);
  std::string header(21, '\0');
  header[20] = 7;
  EXPECT_EQ(level_of_format_error(temp_file("seven", header)), 1);
  header[20] = 0;
  EXPECT_EQ(dao_engine::get_acc_version(temp_file("jet3", header)), 1);
  header[20] = 1;
  EXPECT_EQ(dao_engine::get_acc_version(temp_file("jet4", header)), 0);
  header[20] = 2;
  EXPECT_EQ(dao_engine::get_acc_version(temp_file("ace", header)), 3);
  header[20] = 5;
  EXPECT_EQ(dao_engine::get_acc_version(temp_file("ace2016", header)), 3);
  // Files Access made: Access 97 needs generation 1, Access 2000 generation 0, Access 2007 and later 3.
  const std::string samples = std::string(TT_TEST_DATA_DIR) + "/access-format/jackcess/";
  for (const char* name : {"testV1997.mdb", "delTestV1997.mdb", "queryTestV1997.mdb"})
    EXPECT_EQ(dao_engine::get_acc_version(sys_utf8_to_wide(samples + name)), 1) << name;
  EXPECT_EQ(dao_engine::get_acc_version(sys_utf8_to_wide(samples + "emptyJet4.mdb")), 0);
  EXPECT_EQ(dao_engine::get_acc_version(sys_utf8_to_wide(samples + "empty2019.accdb")), 3);
}

TEST(DaoEngine, GenerationsAndSingleton) {
  dao_engine engine(0);
  EXPECT_EQ(&dao_engine::instance(), &engine);
  EXPECT_EQ(engine.generation(), 4);
  EXPECT_THROW(engine.create_db(L"/tmp/x.mdb"), tk_mail_assertion);
  engine.set_version(0);
  EXPECT_EQ(engine.generation(), 0);
  EXPECT_EQ(engine.db_engine()->format(), dao::file_format::jet4);
  _DBEngine* first = engine.db_engine();
  first->AddRef();
  engine.set_version(3);  // releases the first engine before making the next
  EXPECT_EQ(first->Release(), 0u);
  EXPECT_EQ(engine.db_engine()->format(), dao::file_format::ace);
  engine.set_version(2);
  EXPECT_EQ(engine.db_engine()->format(), dao::file_format::jet3);
  EXPECT_THROW(engine.set_version(7), tk_mail_assertion);
  EXPECT_EQ(engine.generation(), 4);
}

TEST(DaoEngine, DaoErrorsBecomeExceptionsWithTheirNumber) {
  dao_engine engine(0);
  engine.set_version(0);
  // No error recorded yet: the list cannot be read, which is a level-1 "Unknown exception".
  try {
    dao_exception e;
    ADD_FAILURE();
  } catch (const dao_exception&) {
    ADD_FAILURE();
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.level, 1);
    EXPECT_EQ(e.message, "Unknown exception");
  }
  DAODatabase* db = nullptr;
  ASSERT_EQ(engine.db_engine()->attach_storage(L"m", std::make_unique<dao::memory_storage>(), &db), S_OK);
  DAOTableDefs* tds = nullptr;
  ASSERT_EQ(db->get_TableDefs(&tds), S_OK);
  VARIANT name;
  VariantInit(&name);
  name.vt = VT_I4;
  name.lVal = 9;
  _DAOTableDef* t = nullptr;
  ASSERT_LT(tds->get_Item(name, &t), 0);
  dao_exception e;
  EXPECT_EQ(e.code, 0x10000 + 3265);
  EXPECT_EQ(e.level, 0);
  EXPECT_EQ(e.message, "Item not found in this collection.");
  tds->Release();
  db->Release();

  // A 3022 reaches the user through the error handler's DAO map.
  error_handler handler(tk_dao_error_count, tk_dao_error_table);
  tk_exception duplicate("raw", 0);
  duplicate.code = 0x10BCE;
  EXPECT_NE(handler.compose(duplicate), "raw");
}

TEST(DaoEngine, CreatingAnAccess97DatabaseWritesAJet3File) {
  const fs::path file = fs::temp_directory_path() / "tt_dao_engi_jet3.mdb";
  fs::remove(file);
  {
    dao_engine engine(0);
    engine.set_version(1);
    std::unique_ptr<udb_database> db = engine.create_db(file.wstring());
    ASSERT_TRUE(db);
    db->close();
  }
  EXPECT_EQ(dao_engine::get_acc_version(file.wstring()), 1);
  fs::remove(file);
}

TEST(DaoValidators, NamesAccessRefuses) {
  dao_validator v;
  EXPECT_FALSE(v.is_acceptable(L""));
  EXPECT_FALSE(v.is_acceptable(L" a"));
  EXPECT_FALSE(v.is_acceptable(L"a "));
  EXPECT_TRUE(v.is_acceptable(L"Order Details"));
  EXPECT_FALSE(v.is_acceptable(L"a.b"));
  EXPECT_EQ(v.get_safe_name(L"[Orders]"), L"orders");
  EXPECT_EQ(v.get_safe_name(L" a!b "), L"a_b");

  udb_indexes indexes;
  indexes.push_back(udb_index(L"by_name", false, false, {L"name"}));
  dao_in_validator iv(indexes);
  EXPECT_FALSE(iv.is_acceptable(L"a:b"));
  EXPECT_TRUE(v.is_acceptable(L"a:b"));

  dao_tn_validator tv({L"orders"}, {L"Customers"});
  EXPECT_TRUE(tv.is_duplicated(L"Customers"));
  EXPECT_EQ(tv.get_safe_name(L"[Orders]"), L"orders00000");

  // Control characters are replaced like the other refused characters.
  EXPECT_FALSE(v.is_acceptable(L"a\tb"));
  EXPECT_EQ(v.get_safe_name(L"A\tb\x1f"), L"a_b_");
  // The system tables' prefix, in any case, never reaches the destination; counters keep the prefix changed.
  EXPECT_FALSE(tv.is_acceptable(L"msysObjects"));
  EXPECT_TRUE(v.is_acceptable(L"MSysObjects"));  // a column may be called so
  EXPECT_EQ(tv.get_safe_name(L"MSysObjects"), L"_msysobjects");
  tv.add_existing_name(L"_msysobjects");
  EXPECT_EQ(tv.get_safe_name(L" [MSysObjects]"), L"_msysobjects00000");
  // Safe names stay within 64 characters, counter included.
  const std::wstring long_name(64, L'N');
  EXPECT_TRUE(tv.is_acceptable(long_name));
  EXPECT_FALSE(tv.is_acceptable(long_name + L"n"));
  tv.add_existing_name(long_name);
  EXPECT_EQ(tv.get_safe_name(std::wstring(64, L'n')), std::wstring(58, L'n') + L"00000");
  EXPECT_EQ(tv.get_safe_name(std::wstring(70, L'x')), std::wstring(63, L'x'));
}

TEST(DaoValidators, NamesOfAnAccess97FileHoldOnlyCharactersOfItsCodePage) {
  dao_tn_validator tv({}, {});
  dao_validator v;
  // In an Access 2000 or later file every character is held.
  EXPECT_TRUE(tv.is_acceptable(L"Gr\u00F6\u00DFe_\u8868"));
  tv.hold_names_in_code_page();
  v.hold_names_in_code_page();
  // Code page 1252 holds Latin-1, the euro sign and the typographic quotes, not Greek, CJK or emoji.
  for (const wchar_t* held : {L"Gr\u00F6\u00DFe", L"\u20AC price", L"\u201Cq\u201D", L"what?", L"caf\u00E9"}) {
    EXPECT_TRUE(tv.is_acceptable(held)) << held;
    EXPECT_TRUE(v.is_acceptable(held)) << held;
  }
  for (const wchar_t* lacked : {L"Gr\u00F6\u00DFe_\u8868", L"\u03A9mega", L"smile \U0001F600"}) {
    EXPECT_FALSE(tv.is_acceptable(lacked)) << lacked;
    EXPECT_FALSE(v.is_acceptable(lacked)) << lacked;
  }
  // The safe name has "_" for each lacking character, like for the characters Access refuses.
  EXPECT_EQ(tv.get_safe_name(L"Gr\u00F6\u00DFe_\u8868"), L"gr\u00F6\u00DFe__");
  EXPECT_EQ(v.get_safe_name(L"[\u03A9mega] "), L"_mega");
  EXPECT_EQ(tv.get_safe_name(L"MSys\u8868"), L"_msys_");
  // Two names that differ only in lacking characters end as two names.
  tv.add_existing_name(L"a_");
  EXPECT_EQ(tv.get_safe_name(L"a\u5B57"), L"a_00000");
}

}  // namespace
