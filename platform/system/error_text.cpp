// strerror_r comes in two shapes (GNU: returns a pointer that may or may not be the buffer; XSI: returns an int
// and fills the buffer). The overloads below pick whichever the C library declares, so the code is correct with
// both and never uses the thread-unsafe strerror.
#include "platform/system/error_text.h"

#include <cerrno>
#include <cstring>

namespace {

// GNU form.
[[maybe_unused]] const char* pick(char* result, const char* /*buf*/) { return result; }
// XSI form.
[[maybe_unused]] const char* pick(int result, const char* buf) { return result == 0 ? buf : nullptr; }

}  // namespace

std::string sys_error_text(int err) {
  const int saved = errno;
  char buf[512];
  buf[0] = '\0';
  const char* text = pick(strerror_r(err, buf, sizeof buf), buf);
  std::string out = text ? text : "";
  errno = saved;
  return out;
}
