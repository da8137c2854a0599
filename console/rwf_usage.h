// The usage text of the console program, shown for no argument, "--help" and an unrecognised argument.
// Lines are separated by "\n"; the text has no line end after its last line (the writer adds one).
#pragma once

#include <string>

std::string rwf_usage_text();
