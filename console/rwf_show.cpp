// rwf_show: lists the tables of an Access file with their row counts and column counts, as this project's own
// Access engine reads them back. Used by the demo to show what a conversion wrote.
// usage: rwf_show <file.mdb|file.accdb>
#include <cstdio>
#include <exception>

#include "TK/tk_utils.h"
#include "access/dao_db.h"
#include "access/dao_engi.h"
#include "access/dao_recs.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: rwf_show <file.mdb|file.accdb>\n");
    return 2;
  }
  try {
    std::wstring path = tk_utf8_to_unicode(argv[1]);
    dao_engine engine(0);
    engine.set_version(dao_engine::get_acc_version(path));
    std::unique_ptr<udb_database> database = engine.open_db(path, 1, L"");
    std::printf("  %-24s %8s %8s %8s\n", "table", "rows", "columns", "indexes");
    for (const std::wstring& name : database->get_tables()) {
      std::unique_ptr<udb_recordset> table = database->get_table(name, 1);
      if (table == nullptr) continue;
      auto* rows = dynamic_cast<dao_recordset*>(table.get());
      std::printf("  %-24s %8u %8zu %8zu\n", tk_to_utf8(name).c_str(),
                  rows != nullptr ? rows->record_count() : 0u, table->schema.size(), table->indexes.size());
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "rwf_show: %s\n", e.what());
    return 1;
  }
}
