// The Access destination of a conversion; see dao_destination.h.
#include "converter/dao_destination.h"

namespace {

// Open mode of an existing destination: exclusive (0x10: no other run or program may use the file while this run
// changes it), append to its tables (0x08), skip its relationships (0x20, 0x40).
constexpr int32_t append_mode = 104 | 0x10;

// DAO errors about the file itself rather than a record or a table: disk full, disk or network error, damaged
// file, not an Access file, file in use, file cannot be opened.
bool is_file_error_number(int32_t code) {
  switch (code - tk_dao_code_offset) {
    case 3035: case 3043: case 3049: case 3343: case 3045: case 3051:
      return true;
    default:
      return false;
  }
}

}  // namespace

dao_destination::dao_destination() : engine_(0) {}

dao_destination::~dao_destination() = default;

int32_t dao_destination::file_generation(const std::wstring& path) { return dao_engine::get_acc_version(path); }

void dao_destination::set_version(int32_t generation) {
  try {
    engine_.set_version(generation);
  } catch (const dao_required_exception&) {
    // There is no runtime to install on this system: say plainly which format cannot be written.
    throw tk_exception("This version cannot write databases of this MS Access format.", 1);
  }
}

std::unique_ptr<udb_database> dao_destination::create_db(const std::wstring& path) { return engine_.create_db(path); }

std::unique_ptr<udb_database> dao_destination::open_db(const std::wstring& path) {
  return engine_.open_db(path, append_mode, L"");
}

std::unique_ptr<udb_validator> dao_destination::table_name_validator() {
  auto names = std::make_unique<dao_tn_validator>(std::vector<std::wstring>{}, std::vector<std::wstring>{});
  if (engine_.db_engine() && engine_.db_engine()->format() == dao::file_format::jet3) names->hold_names_in_code_page();
  return names;
}

bool dao_destination::is_record_error(const tk_exception& e) const {
  return dynamic_cast<const dao_exception*>(&e) != nullptr && !is_file_error(e);
}

bool dao_destination::is_file_error(const tk_exception& e) const {
  return dynamic_cast<const dao_exception*>(&e) != nullptr && is_file_error_number(e.code);
}
