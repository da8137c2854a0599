// The options of the console program and parse_cmd_line, which fills the converter singleton from them.
//
// Options act in the order given and a repeated option acts again, so the last one wins; an option after
// "--profile=" overrides the profile's value (the connection options too), one before it is overridden by a
// non-empty profile value (the profile's host and password always replace it, as a profile without them means
// the local server without a password).
//
// A flag option ("--help", "--silent", "--skip_idx", "--tab_def") written with "=" and a value ends the program
// naming the option; "--port=" takes exactly a number in 1 to 65535. The password of "--mysqlp=" is blanked in
// argv as soon as it is read.
//
// "--dest=" keeps an extension ".mdb" or ".accdb" (any case) as given; a path with another or no extension gets
// ".mdb", or ".accdb" when the destination format is 2 (whichever order the options came in). The path is made
// absolute. An empty "--dest=" is a usage error; a path naming a folder is refused. When another extension was
// replaced ("shop.2024" writes "shop.mdb"), "Destination file: <path>" is printed before the run.
//
// The trace file ("--logfile=", or a profile's "logfile") is switched on only once every option has been read, and
// never over a file the run uses: one that names the destination, a profile or a table-list file (also through a
// link) ends the program with a message naming both options before any file is touched.
#pragma once

#include <string>

// Option ids, in table order.
enum rwf_option_id : int {
  opt_acc_ver = 0,
  opt_dest,
  opt_help,
  opt_logfile,
  opt_mode,
  opt_mysqlh,
  opt_mysqlu,
  opt_mysqlp,
  opt_port,
  opt_profile,
  opt_silent,
  opt_skip_idx,
  opt_src,
  opt_tab_def,
  opt_tab_file,
};

// True when the converter is ready to run, false when the usage text must be shown (an unrecognised argument or
// an empty "--dest="). Ends the program through fatal_exit on an invalid value, "--help", a missing source,
// destination or format, a missing table-list file or an unreadable profile.
// Exceptions of the calls it makes (the trace-file checks, a missing profile) leave it.
bool parse_cmd_line(int argc, char** argv);
