// The texts a MySQL destination's statements are made of: value literals, column types and column defaults.
//
// Every text literal is escaped by the client library for the connection's character set and sql_mode (see
// sql_client::escape_string) and written in single quotes, so quotes, backslashes and NUL bytes are safe under
// the default sql_mode as under NO_BACKSLASH_ESCAPES and ANSI_QUOTES; statements are sent with their length.
// Bytes are written as hexadecimal literals (X'', the empty value, included). A value given as text for a
// numeric column must be a plain number (sign, digits, point, exponent), else a level-0 tk_exception names it;
// a floating value that is not a number (NaN) is refused the same way, whatever the column.
//
// Literals for a column (`sql_value_literal`) follow the column's kind: an empty value is NULL; numbers bare;
// dates in the column's form (DATE 'YYYY-MM-DD', TIME 'H:MM:SS[.ffffff]' with hours beyond 24 kept,
// otherwise 'YYYY-MM-DD HH:MM:SS[.ffffff]'); geometry through ST_GeomFromText; a GUID column (text of size 38,
// sub-kind 1) takes the GUID found in its text; bytes for binary columns (a text's UTF-8 bytes); text for text
// columns (a binary value's bytes as they are).
#pragma once

#include <cstdint>
#include <string>

#include "UDB/udb_rec.h"

class sql_client;

// Values larger than this (in the field's size: characters of a text, bytes of a binary) travel as long data
// of a prepared statement instead of as a literal.
constexpr uint32_t sql_long_data_threshold = 0x100000;

// The literal of a value for a statement, by the value's own kind: NULL for an empty value, bytes as 0x...
// (X'' when there are none), other kinds as to_mysql_str(text, kind).
std::string to_mysql_str(sql_client& client, const ole_variant& value);
// The literal of a text of a kind: NULL for VT_EMPTY/VT_NULL; '' for an empty text; a date re-printed with its
// fraction; binary kinds: 0x and hexadecimal digits, or digits alone, stand bare; numeric kinds must be plain
// numbers and stand bare; everything else is an escaped, quoted string.
std::string to_mysql_str(sql_client& client, const std::wstring& text, VARTYPE vartype);
std::wstring to_mysql_wstr(sql_client& client, const std::wstring& text, VARTYPE vartype);

// The literal of a value for the column it is written to (see above).
std::string sql_value_literal(sql_client& client, const ole_variant& value, const t_ftd& column);

// The value text for an INSERT: "?" when placeholders are allowed and the value exceeds the long-data
// threshold (it then travels through a prepared statement); else the custom conversion's text when a rule
// accepts the field; else sql_value_literal. A null field or descriptor is an internal error.
std::string get_fld_append_str(sql_client& client, const udb_field* field, const t_ftd* descriptor,
                               bool placeholder_allowed);

// True when a text column of that many characters can be a VARCHAR in a character set whose characters take up
// to bytes_per_char bytes: at most 21,845 characters, and their bytes, with the column's two length bytes and a
// byte of the row's null flags, within the server's 65,535-byte row (16,383 characters in utf8mb4, 21,844 in utf8).
bool sql_text_fits_varchar(int64_t characters, unsigned bytes_per_char);

// The MySQL column type of a descriptor (bare: without lengths and precisions). A text column of bytes_per_char
// bytes a character (the table's character set) is a VARCHAR where it fits one (above), else the smallest of TEXT,
// MEDIUMTEXT and LONGTEXT that holds its characters at that width; size 0 is LONGTEXT. binary_text appends BINARY
// to VARCHAR, TEXT and MEDIUMTEXT. A kind without a MySQL type is an internal error.
std::wstring get_sql_native_type2(const t_ftd& descriptor, bool bare, bool binary_text = false,
                                  unsigned bytes_per_char = 4);

// The DEFAULT literal of a column, or empty text for none: CURRENT_TIMESTAMP / CURRENT_DATE() / CURRENT_TIME()
// for the "now" sub-kinds; texts quoted; integers and floating numbers only when the whole text is that number;
// dates in single quotes in the column's form. A null column is an internal error.
std::wstring make_mysql_def_val(sql_client& client, const t_ftd* column);
