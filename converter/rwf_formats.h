// The Access file formats this build can write, and the message that refuses the others.
#pragma once

#include <cstdint>
#include <string>

// Empty when files of the destination format (0 Access 95/97, 1 Access 2000, 2 Access 2007 and later) can be
// written; otherwise the text that tells the user so, naming the format.
std::string rwf_format_refusal(int32_t destination_format);
