// The usage text of the console program; see rwf_usage.h.
#include "console/rwf_usage.h"

#include "TK/tk_utils.h"

namespace {

constexpr int version_major = 6;
constexpr int version_minor = 1;

// Option lines: three blanks, the option, its description from column 19; continuations aligned below it.
constexpr const char* option_lines[] = {
    "   --acc_ver=...  format version for the destination MS Access database",
    "                  (0 - MS Access 95/97, 1 - MS Access 2000,",
    "                   2 - MS Access 2010)",
    "   --dest=...     MS Access database name",
    "   --help         display this help message and exit",
    "   --logfile=...  path to the file where execution trace will be written",
    "   --mode=...     how to process an existing MS Access database",
    "                  (0 - overwrite the entire database, 1 - overwrite existing",
    "                  tables only, 2 - skip existing tables, 3 - merge)",
    "   --mysqlh=...   MySQL server IP address or network name",
    "   --mysqlu=...   MySQL user name",
    "   --mysqlp=...   MySQL user password",
    "   --port=...     MySQL port",
    "   --profile=...  path to the file to load conversion settings from",
    "   --silent       disable program output",
    "   --skip_idx     skip converting indexes",
    "   --src=...      MySQL database name",
    "   --tab_def      convert table definitions only",
    "   --tab_file=... file containing the list of tables to convert",
    "                  (one table name per line)",
};

constexpr const char* note_lines[] = {
    "   1) You can omit 'mysqlh' parameter to connect local MySQL server.",
    "   2) It is necessary to specify 'port' parameter only if it differs from",
    "      the default MySQL port 3306.",
    "   3) If you omit 'tab_file' parameter, all database tables will be converted",
    "   4) If you omit 'mode' parameter, default mode 'overwrite the entire",
    "      database' will be used.",
    "   5) Command line parameters that contain spaces must be enclosed in quotes",
    "      (for example --dest=\"my database.accdb\")",
};

}  // namespace

std::string rwf_usage_text() {
  std::string text = tk_format("RWFAGENT v%d.%d\n", version_major, version_minor);
  text += "Usage: RWFAGENT.EXE OPTIONS\n\n";
  for (const char* line : option_lines) text.append(line).append("\n");
  text += "\nNOTES:";
  for (const char* line : note_lines) text.append("\n").append(line);
  return text;
}
