// The table-list file; see rwf_tabfile.h.
#include "console/rwf_tabfile.h"

#include <fstream>

#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "console/rwf_exit.h"
#include "converter/rwf_conv.h"
#include "platform/system/files.h"

bool rwf_read_table_list(std::istream& in, std::vector<std::wstring>& names) {
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (names.empty() && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    if (line.empty()) continue;
    names.push_back(tk_utf8_to_unicode(line));
  }
  return !in.bad();
}

void process_tab_file(const std::string& path) {
  tk_trace(1, "process_tab_file(%s)", path.c_str());
  if (sys_stat_kind(path) != sys_path_kind::file)
    fatal_exit("Table names file does not exist.\nPlease verify the correct path/name was given.");
  std::ifstream in(path, std::ios::binary);
  std::vector<std::wstring> names;
  if (!in.is_open() || !rwf_read_table_list(in, names))
    fatal_exit("Cannot read the table names file.\nPlease verify it is a readable file.");
  rowferry_convertor& conv = rowferry_convertor::instance();
  conv.table_list = std::move(names);
  conv.table_list_given = true;
}
