// How the console program ends early, and where it writes.
//
// Every "end the process with exit code -1" of the console program throws rwf_exit instead of ending the process
// in place: main catches it and returns 255 after everything above it has unwound, so an open destination file is
// closed consistently first. rwf_exit derives from nothing the conversion run catches (neither std::exception nor
// tk_exception), so no error boundary can swallow it.
//
// The console's two streams are replaceable so that tests can read what a run wrote; they default to stdout and
// stderr. Lines end with "\n".
#pragma once

#include <cstdio>
#include <string>

struct rwf_exit {
  int code;
};

// Exit status of every early end: the -1 of the program's contract, as the shell sees it.
inline constexpr int rwf_exit_failure = 255;

struct rwf_streams {
  std::FILE* out;
  std::FILE* err;
};

// The streams in use; set_rwf_streams replaces them and returns the previous pair.
rwf_streams& rwf_console();
rwf_streams set_rwf_streams(rwf_streams streams);

// Writes text and "\n" to the stream and flushes it.
void rwf_write_line(std::FILE* stream, const std::string& text);

// Traces message at level 3, writes it and a line end to standard error unless the converter is silent, then
// throws rwf_exit{255}.
[[noreturn]] void fatal_exit(const std::string& message);
