// The shared table of message texts that more than one part of the program shows to the user. Texts are narrow
// UTF-8 and are shown exactly as they stand here.
#pragma once

// Exceptions without a text of their own, and the opening of every internal-error text.
inline constexpr const char* tk_msg_unknown_exception = "Unknown exception";
inline constexpr const char* tk_msg_internal_error = "Internal error: \ncode=";

// Checks of a log file name chosen by the user.
inline constexpr const char* tk_msg_logfile_is_path = "Logfile name specifies an existing path.";
inline constexpr const char* tk_msg_logfile_read_only = "Logfile name specifies an existing read-only file.";
inline constexpr const char* tk_msg_logfile_no_path =
    "Logfile path does not exist.\nPlease verify the correct path was given.";
inline constexpr const char* tk_msg_logfile_cannot_create =
    "Cannot create log file. Make sure you have sufficient\nprivileges to create files in the directory.";

// Prefixes of the text-conversion failures; the system's error text follows.
inline constexpr const char* tk_msg_cannot_convert_utf8 = "Cannot convert to UTF8 string: ";
inline constexpr const char* tk_msg_cannot_convert_ansi = "Cannot convert to ANSI string: ";
inline constexpr const char* tk_msg_cannot_convert_unicode = "Cannot convert to UNICODE string: ";

// Conversion failures of the value layer.
inline constexpr const char* tk_msg_ole_cast = "Cannot cast from source type to destination type";
inline constexpr const char* tk_msg_ole_type = "The operating type is not supported yet";

// The date-and-time layouts the value layer reads, in the order it tries them: year, month, day, hour, minute,
// then the seconds with their fraction as text.
inline constexpr const char* tk_fmt_date_dash = "%hd-%hd-%hd %hd:%hd:%s";
inline constexpr const char* tk_fmt_date_slash = "%hd/%hd/%hd %hd:%hd:%s";
inline constexpr const char* tk_fmt_date_dot = "%hd.%hd.%hd %hd:%hd:%s";
