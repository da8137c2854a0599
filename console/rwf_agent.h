// The console program's main road: build the trace logger, the error handler and the converter, read the
// options, connect to MySQL, check the destination, run the conversion, and give the exit status.
//
// Exit status: 0 when the run went through to its end, also when it reported and skipped records or tables;
// 255 (the -1 of the program's contract) for no argument, "--help", the usage text, an invalid option, a missing
// source, destination, format or table-list file, any error that reached this road (connection, authentication,
// destination checks, a profile that cannot be loaded), a run that never reached its tables or could not finish
// its destination file, and level-1 and level-2 errors.
#pragma once

#include <functional>

class rowferry_convertor;

// The two steps that need the database engines: connecting to the MySQL server and the conversion run.
struct rwf_agent_steps {
  std::function<void(rowferry_convertor&)> connect;
  std::function<void(rowferry_convertor&)> run;
};

int rwf_agent_main(int argc, char** argv, const rwf_agent_steps& steps);
