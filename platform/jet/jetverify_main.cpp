// jetverify <file>...: checks Access database files strictly; exit status 0 when every file is sound.
#include <cstdio>

#include "platform/jet/verifier.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: jetverify <file.mdb>...\n");
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    jet::verify_report r = jet::verify_file(argv[i]);
    std::printf("%s: %s\n", argv[i], r.ok() ? "sound" : r.unsupported ? "cannot be read" : "NOT SOUND");
    std::fputs(r.text().c_str(), stdout);
    if (!r.ok()) status = 1;
  }
  return status;
}
