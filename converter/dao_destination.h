// The Access destination of a conversion: the converter's view of the Access engine (access/dao_engi.h).
//
// One object per run: it builds the engine, which registers itself as the dao_engine singleton for the rest of
// the Access engine. Existing files are opened exclusively for appending to their tables, without reading their
// relationships.
#pragma once

#include "access/dao_engi.h"
#include "converter/rwf_engines.h"

class dao_destination : public rwf_destination_engine {
 public:
  dao_destination();
  ~dao_destination() override;

  int32_t file_generation(const std::wstring& path) override;
  // A generation the engine cannot serve raises tk_exception level 1 naming the format.
  void set_version(int32_t generation) override;
  std::unique_ptr<udb_database> create_db(const std::wstring& path) override;
  std::unique_ptr<udb_database> open_db(const std::wstring& path) override;
  std::unique_ptr<udb_validator> table_name_validator() override;
  // DAO's own errors concern the record being appended, except those about the file itself.
  bool is_record_error(const tk_exception& e) const override;
  // Disk full, disk or network error, damaged or foreign file, file in use, file that cannot be opened.
  bool is_file_error(const tk_exception& e) const override;

 private:
  dao_engine engine_;
};
