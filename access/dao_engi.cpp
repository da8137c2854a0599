// The Access engine object, the file-format test, DAO errors, and the Access name validators.
#include "access/dao_engi.h"

#include <cstdio>

#include "TK/tk_log.h"
#include "TK/tk_nocase.h"
#include "access/dao_db.h"
#include "platform/jet/code_page.h"
#include "platform/oleaut/bstr.h"
#include "platform/oleaut/variant.h"
#include "platform/system/codepage.h"

namespace {

// The engine generations and the file format each one makes.
struct engine_class {
  int32_t generation;
  dao::file_format format;
};
const engine_class dao_engine_classes[] = {
    {access_generation_jet3_b, dao::file_format::jet3},
    {access_generation_jet3, dao::file_format::jet3},
    {access_generation_jet4, dao::file_format::jet4},
    {access_generation_ace, dao::file_format::ace},
};

// The text as a file in code page 1252 holds it: one character for each, '?' for those the code page lacks.
std::wstring as_code_page_holds_it(const std::wstring& text) {
  return jet::decode_code_page(1252, jet::encode_code_page(1252, text));
}

const char* const failed_to_load =
    "Failed to load Data Access Objects (DAO) support library.\nMicrosoft Access installation is required to "
    "proceed with\nthe application.\n";

}  // namespace

// ---------------------------------------------------------------------------------------------- dao_exception

dao_exception::dao_exception() : tk_exception(0, 0, "Unknown exception") {
  tk_trace(2, "dao_exception::dao_exception");
  dao_engine* engine = dao_engine::get_instance();
  _DBEngine* e = engine->db_engine();
  DAOErrors* list = nullptr;
  if (e == nullptr || FAILED(e->get_Errors(&list)) || list == nullptr) {
    tk_trace(1, "Failed on step #1");
    throw tk_exception("Unknown exception", 1);
  }
  ole_com_ptr<DAOErrors> errors;
  errors.attach(list);
  ole_com_ptr<DAOError> first;
  VARIANT zero;
  VariantInit(&zero);
  zero.vt = VT_I4;
  zero.lVal = 0;
  if (FAILED(errors->get_Item(zero, first.put())) || !first) {
    tk_trace(1, "Failed on step #2");
    throw tk_exception("Unknown exception", 1);
  }
  dao_bstr description;
  if (FAILED(first->get_Description(&description))) {
    tk_trace(1, "Failed on step #3");
    throw tk_exception("Unknown exception", 1);
  }
  message = sys_wide_to_utf8(description.str());
  tk_trace(2, "Got error: %s", message.c_str());
  int32_t number = 0;
  if (FAILED(first->get_Number(&number))) {
    tk_trace(1, "Failed on step #4");
    throw tk_exception("Unknown exception", 1);
  }
  code = static_cast<int32_t>((static_cast<uint32_t>(number) & 0xFFFFu) | 0x10000u);
  tk_trace(2, "Got error code: %08X", static_cast<unsigned>(code));
}

dao_exception::~dao_exception() = default;

// ---------------------------------------------------------------------------------------------- dao_generator

dao_generator::dao_generator() { tk_trace(2, "dao_generator::ctor"); }

dao_generator::~dao_generator() {
  tk_trace(2, "dao_generator::dtor");
  if (temporary) {
    std::remove((path + ".ldb").c_str());
    std::remove(path.c_str());
  }
}

// ---------------------------------------------------------------------------------------------- dao_bstr

dao_bstr::dao_bstr() = default;

dao_bstr::dao_bstr(const std::wstring& text) {
  tk_trace_w(1, L"dao_bstr::ctor( wstring=%s )", text.c_str());
  value_ = SysAllocStringLen(text.data(), text.size());
  if (!value_) throw tk_mail_assertion("dao_engi", 60);
}

dao_bstr::dao_bstr(const std::string& text) {
  tk_trace(1, "dao_bstr::ctor( string=%s )", text.c_str());
  std::wstring wide = sys_utf8_to_wide(text);
  value_ = SysAllocStringLen(wide.data(), wide.size());
  if (!value_) throw tk_mail_assertion("dao_engi", 67);
}

dao_bstr::~dao_bstr() { SysFreeString(value_); }

dao_bstr::operator BSTR() const {
  tk_trace(1, "dao_bstr::operator BSTR");
  return value_;
}

std::wstring dao_bstr::str() const { return std::wstring(oa_bstr_view(value_)); }

// ---------------------------------------------------------------------------------------------- dao_engine

dao_engine::dao_engine(int32_t com_initialised_by_caller) : com_initialised_by_caller_(com_initialised_by_caller) {
  // No COM apartment exists on this platform: the DAO objects are plain objects of the calling thread, so
  // there is nothing to initialise whatever the caller's flag says.
  tk_trace(2, "dao_engine::ctor");
}

dao_engine::~dao_engine() {
  tk_trace(2, "dao_engine::dtor");
  uninitialize();
}

void dao_engine::uninitialize() {
  if (generation_ == access_generation_none) return;
  tk_trace(2, "dao_engine::uninitialize");
  engine_.reset();
  generation_ = access_generation_none;
}

int32_t dao_engine::get_acc_version(const std::wstring& path) {
  tk_trace_w(2, L"dao_engine::get_acc_version(%s)", path.c_str());
  std::string narrow = sys_wide_to_utf8(path);
  const std::string refusal = "File '%s' does not comply with MS Access format.";
  FILE* f = std::fopen(narrow.c_str(), "rb");
  if (!f) throw tk_exception(refusal.c_str(), narrow, 1);
  int byte = EOF;
  if (std::fseek(f, 0, SEEK_END) == 0 && std::ftell(f) >= 21 && std::fseek(f, 20, SEEK_SET) == 0)
    byte = std::fgetc(f);
  std::fclose(f);
  switch (byte) {
    case 0:
      tk_trace(2, "This is MS Access 7.0/97 file");
      return access_generation_jet3;
    case 1:
      tk_trace(2, "This is MS Access 2000 file");
      return access_generation_jet4;
    case 2: case 3: case 4: case 5: case 6:
      // 2 is Access 2007; 3 to 6 are the files of Access 2010 to 365, all of the ACE generation.
      tk_trace(2, "This is MS Access 2007+ file");
      return access_generation_ace;
  }
  throw tk_exception(refusal.c_str(), narrow, 1);
}

void dao_engine::set_version(int32_t generation) {
  tk_trace(2, "dao_engine::set_version(%d)", generation);
  if (set_version_if(generation)) return;
  if (generation == access_generation_ace) throw dao_required_exception();
  throw tk_exception(failed_to_load, 1);
}

bool dao_engine::set_version_if(int32_t generation) {
  tk_trace(2, "dao_engine::set_version_if(%d)", generation);
  uninitialize();
  const engine_class* row = nullptr;
  for (const engine_class& c : dao_engine_classes)
    if (c.generation == generation) {
      row = &c;
      break;
    }
  if (!row) throw tk_mail_assertion("dao_engi", 441);
  HRESULT hr = DAOCreateEngine(row->format, engine_.put());
  if (FAILED(hr) || !engine_) {
    tk_trace(2, "CoCreateInstance failed: hr=%08X\n", static_cast<unsigned>(hr));
    engine_.reset();
    return false;
  }
  tk_trace(2, "CoCreateInstance succeeded!");
  generation_ = row->generation;
  return true;
}

std::unique_ptr<udb_database> dao_engine::create_db(const std::wstring& path) {
  tk_trace_w(2, L"dao_engine::create_db (%s)", path.c_str());
  if (generation_ == access_generation_none) throw tk_mail_assertion("dao_engi", 163);
  if (!engine_) throw tk_mail_assertion("dao_engi", 166);
  dao_bstr name(path);
  dao_bstr locale(std::wstring(L";LANGID=0x0409;CP=1252;COUNTRY=0"));
  VARIANT option;
  VariantInit(&option);
  option.vt = VT_I4;
  option.lVal = 0;
  ole_com_ptr<DAODatabase> db;
  HRESULT hr = engine_->CreateDatabase(name, locale, option, db.put());
  tk_trace(2, "CreateDatabase returns %08X", static_cast<unsigned>(hr));
  if (hr == static_cast<HRESULT>(0x800A0E31u)) {
    throw tk_exception(
        "Failed to load Data Access Objects (DAO) support library.\n%s installation is required to proceed\nwith "
        "the application.\n",
        generation_ == access_generation_jet4 ? "Microsoft Access 2000" : "Microsoft Access 95/97", 1);
  }
  if (FAILED(hr)) throw dao_exception();
  if (!db) throw tk_exception("Unknown exception", 1);
  return std::make_unique<dao_database>(path, db.get(), 114);
}

std::unique_ptr<udb_database> dao_engine::open_db(const std::wstring& path, int32_t mode,
                                                  const std::wstring& password) {
  tk_trace_w(2, L"dao_engine::open_db(%s, mode=%d)", path.c_str(), mode);
  tk_trace_w(3, L"Opening MS Access database '%s'", path.c_str());
  if (generation_ == access_generation_none) throw tk_mail_assertion("dao_engi", 239);
  if (!engine_) throw tk_mail_assertion("dao_engi", 242);
  VARIANT exclusive, read_only, connect;
  VariantInit(&exclusive);
  exclusive.vt = VT_BOOL;
  exclusive.boolVal = (mode & 0x10) ? VARIANT_TRUE : VARIANT_FALSE;
  VariantInit(&read_only);
  read_only.vt = VT_BOOL;
  read_only.boolVal = (mode & 0x01) ? VARIANT_TRUE : VARIANT_FALSE;
  dao_bstr connect_text(password.empty() ? std::wstring() : L";pwd=" + password);
  VariantInit(&connect);
  connect.vt = VT_BSTR;
  connect.bstrVal = connect_text;
  dao_bstr name(path);
  tk_trace(2, "Open database using DAO engine");
  ole_com_ptr<DAODatabase> db;
  HRESULT hr = engine_->OpenDatabase(name, exclusive, read_only, connect, db.put());
  if (FAILED(hr)) throw dao_exception();
  if (!db) throw tk_exception("Unknown exception", 1);
  tk_trace(2, "Right after OpenDatabase call");
  return std::make_unique<dao_database>(path, db.get(), mode);
}

// ---------------------------------------------------------------------------------------------- validators

dao_validator::dao_validator() : udb_validator(max_name_length) {
  for (wchar_t c : std::wstring(L"`![]./'")) add_illegal_char(c);
  // Access refuses control characters in names (a TAB in a MySQL name is legal there).
  for (wchar_t c = 0; c < 0x20; ++c) add_illegal_char(c);
  tk_trace(1, "dao_validator::ctor");
}

bool dao_validator::is_acceptable(const std::wstring& name) const {
  tk_trace_w(2, L"dao_validator::is_acceptable(%s)", name.c_str());
  if (name.empty() || name.front() == L' ' || name.back() == L' ') return false;
  if (code_page_names_ && as_code_page_holds_it(name) != name) return false;
  return udb_validator::is_acceptable(name);
}

std::wstring dao_validator::safe_name_base(const std::wstring& name) const {
  std::wstring s;
  for (wchar_t c : name)
    if (c != L'[' && c != L']') s.push_back(c);
  size_t b = s.find_first_not_of(L' ');
  size_t e = s.find_last_not_of(L' ');
  s = b == std::wstring::npos ? std::wstring() : s.substr(b, e - b + 1);
  if (code_page_names_) {
    const std::wstring held = as_code_page_holds_it(s);
    for (size_t i = 0; i < s.size(); ++i)
      if (held[i] != s[i]) s[i] = L'_';
  }
  return s;
}

std::wstring dao_validator::get_safe_name(const std::wstring& name) const {
  tk_trace_w(2, L"dao_validator::get_safe_name(%s)", name.c_str());
  return udb_validator::get_safe_name(safe_name_base(name));
}

namespace {

bool has_system_prefix(const std::wstring& name) {
  return name.size() >= 4 && tk_equal_nocase(std::wstring_view(name).substr(0, 4), L"MSys");
}

}  // namespace

dao_tn_validator::dao_tn_validator(const std::vector<std::wstring>& names, const std::vector<std::wstring>& more) {
  for (const auto& n : names) add_existing_name(n);
  for (const auto& n : more) add_existing_name(n);
  tk_trace(1, "dao_tn_validator::ctor");
}

bool dao_tn_validator::is_acceptable(const std::wstring& name) const {
  if (has_system_prefix(name)) {
    tk_trace(2, "The name is reserved for system tables");
    return false;
  }
  return dao_validator::is_acceptable(name);
}

std::wstring dao_tn_validator::get_safe_name(const std::wstring& name) const {
  tk_trace_w(2, L"dao_tn_validator::get_safe_name(%s)", name.c_str());
  std::wstring s = safe_name_base(name);
  // Counters go behind the name, so the prefix itself must change.
  if (has_system_prefix(s)) s.insert(0, L"_");
  return udb_validator::get_safe_name(s);
}

dao_fn_validator::dao_fn_validator(const udb_schema& schema) {
  for (const t_ftd& c : schema) add_existing_name(c.name);
  tk_trace(1, "dao_fn_validator::ctor");
}

dao_in_validator::dao_in_validator(const udb_indexes& indexes) {
  add_illegal_char(L':');
  for (const udb_index& x : indexes) add_existing_name(x.name);
  tk_trace(1, "dao_in_validator::ctor");
}
