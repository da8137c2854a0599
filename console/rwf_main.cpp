// RWFAGENT: converts one MySQL database into an Access file from command-line options or a saved profile.
// Usage, options, exit statuses: rwf_usage.cpp and rwf_agent.h.
#include <cstdio>
#include <memory>

#include "console/rwf_agent.h"
#include "converter/dao_destination.h"
#include "converter/rwf_conv.h"
#include "converter/sql_source.h"

int main(int argc, char** argv) {
  // Progress lines reach a pipe as they are written.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  rwf_agent_steps steps;
  steps.connect = [](rowferry_convertor& conv) {
    conv.set_source_engine(std::make_unique<sql_source>());
    conv.set_destination_factory([] { return std::make_unique<dao_destination>(); });
    conv.connect_mysql_server();
  };
  steps.run = [](rowferry_convertor& conv) { conv(); };
  return rwf_agent_main(argc, argv, steps);
}
