// Local time for catalog dates.
#include "platform/jet/clock.h"

#include <ctime>
#include <sys/time.h>

namespace jet {

double local_now() {
  struct timeval tv;
  ::gettimeofday(&tv, nullptr);
  time_t secs = tv.tv_sec;
  struct tm lt;
  ::localtime_r(&secs, &lt);
  // Local wall-clock time as a day count since 1899-12-30 (25569 days before 1970-01-01).
  double seconds = double(secs) + double(lt.tm_gmtoff) + double(tv.tv_usec) / 1e6;
  return 25569.0 + seconds / 86400.0;
}

}  // namespace jet
