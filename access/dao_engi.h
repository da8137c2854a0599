// The Access engine: the engine object `dao_engine` (engine generation, creating and opening Access files),
// the format test of an existing file, DAO errors as `dao_exception`, the BSTR holder `dao_bstr`, the
// temporary-file guard `dao_generator`, and the Access name validators.
//
// Generations are numbered as access_generation (dao_generation.h) says. One engine object
// exists per run (it registers as the tk_singleton<dao_engine>); `dao_exception` reads the first error of its
// DBEngine's Errors collection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "OLE/ole_ptr.h"
#include "TK/tk_singl.h"
#include "UDB/udb_db.h"
#include "UDB/udb_vali.h"
#include "access/dao_generation.h"
#include "platform/dao/dao.h"

// A DAO failure: message = the first DAO error's description, code = 0x10000 + its number, level 0.
// When the error list cannot be read, construction throws tk_exception("Unknown exception", level 1) instead.
class dao_exception : public tk_exception {
 public:
  dao_exception();
  ~dao_exception() override;
};

// Raises dao_exception for a DAO call that failed.
inline void dao_check(HRESULT hr) {
  if (FAILED(hr)) throw dao_exception();
}

// The newest engine generation cannot be created (the run offers the download of the runtime).
class dao_required_exception {};

// Removes a temporary database (the path, and the path + ".ldb") when flagged.
class dao_generator {
 public:
  dao_generator();
  virtual ~dao_generator();
  std::string path;
  bool temporary = false;
};

// Owns one BSTR.
class dao_bstr {
 public:
  dao_bstr();
  explicit dao_bstr(const std::wstring& text);
  explicit dao_bstr(const std::string& text);
  virtual ~dao_bstr();
  dao_bstr(const dao_bstr&) = delete;
  dao_bstr& operator=(const dao_bstr&) = delete;
  operator BSTR() const;
  // The address of the held BSTR, for an out-parameter (the holder must be empty).
  BSTR* operator&() { return &value_; }
  std::wstring str() const;

 private:
  BSTR value_ = nullptr;
};

class dao_engine : public udb_engine, public tk_singleton<dao_engine> {
 public:
  explicit dao_engine(int32_t com_initialised_by_caller);
  ~dao_engine() override;

  // The generation an existing Access file needs (reads its version byte).
  static int32_t get_acc_version(const std::wstring& path);
  void set_version(int32_t generation);
  bool set_version_if(int32_t generation);

  std::unique_ptr<udb_database> create_db(const std::wstring& path) override;
  std::unique_ptr<udb_database> open_db(const std::wstring& path, int32_t mode,
                                        const std::wstring& password) override;

  int32_t generation() const { return generation_; }
  _DBEngine* db_engine() const { return engine_.get(); }

 private:
  void uninitialize();

  ole_com_ptr<_DBEngine> engine_;
  int32_t generation_ = access_generation_none;
  dao_generator generator_;
  int32_t com_initialised_by_caller_;
};

// Access names: at most 64 characters, no leading or trailing blank, none of ` ! [ ] . / ' and no control
// character (U+0000 to U+001F). Safe names replace each of those characters by "_" like the others, and stay
// within the 64 characters, counter included.
// An Access 95/97 file holds its names in its code page (1252): there a name with a character the code page
// lacks is not acceptable either, and its safe name has "_" for that character. (Stored as they stand, such
// names would all read back with '?' in its place, and two different names could become one.)
class dao_validator : public udb_validator {
 public:
  static constexpr uint32_t max_name_length = 64;
  dao_validator();
  bool is_acceptable(const std::wstring& name) const override;
  std::wstring get_safe_name(const std::wstring& name) const override;
  // Names are for an Access 95/97 file.
  void hold_names_in_code_page() { code_page_names_ = true; }

 protected:
  // The name without "[" and "]" and without blanks at both ends, and in an Access 95/97 file each character
  // its code page lacks as "_": what a safe name starts from.
  std::wstring safe_name_base(const std::wstring& name) const;

 private:
  bool code_page_names_ = false;
};

// Table names: also none beginning with "MSys" in any case, the prefix of Access's own system tables (a table
// named so would clash with one, or be taken for one and hidden); its safe name begins with "_".
class dao_tn_validator : public dao_validator {
 public:
  dao_tn_validator(const std::vector<std::wstring>& names, const std::vector<std::wstring>& more_names);
  bool is_acceptable(const std::wstring& name) const override;
  std::wstring get_safe_name(const std::wstring& name) const override;
};

class dao_fn_validator : public dao_validator {
 public:
  explicit dao_fn_validator(const udb_schema& schema);
};

class dao_in_validator : public dao_validator {
 public:
  explicit dao_in_validator(const udb_indexes& indexes);
};
