// The text of a system error number (errno), as the C library gives it, without a line end.
#pragma once

#include <string>

// The system's text for err, e.g. "No such file or directory". Empty when the C library has no text for it.
// Does not change errno.
std::string sys_error_text(int err);
