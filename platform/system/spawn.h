// Starting a helper program without a shell (so arbitrary text in its arguments is never interpreted), found
// through PATH. The helper runs on its own: it is not waited for and may outlive this process. Its standard
// output and error go to /dev/null; its standard input is /dev/null or, when given, a text fed to it. It inherits
// no other descriptor of this process.
#pragma once

#include <string>
#include <vector>

// Starts argv[0] with the arguments argv[1..]. When input is non-null, its bytes are written to the helper's
// standard input, which is then closed. Returns 0 when the helper was started, else an errno (ENOENT when the
// program is not installed). Never raises SIGPIPE in this process.
int sys_spawn_detached(const std::vector<std::string>& argv, const std::string* input = nullptr);

// True when a program of that name can be found through PATH (or the name is a path to an executable file).
bool sys_program_available(const std::string& name);
