// Small pure helpers of the MySQL engine: the server version, identifier quoting, the mapping from the
// client library's column descriptions to variant types and sizes, and the reading of column defaults as the
// server prints them.
//
// Binary data is recognised by character set, not by the BINARY flag: a string or blob column holds bytes
// exactly when its character-set number is 63 (columns with a _bin collation, MariaDB's JSON among them,
// carry the BINARY flag too but hold text).
#pragma once

#include <cstdint>
#include <string>

#include "SQL/sql_client.h"
#include "platform/oleaut/types.h"

// ---- Server version ---------------------------------------------------------------------------------------------

// Versions are packed as major << 16 | minor << 8 | patch (5.7.44 = 0x0005072C, 10.11.19 = 0x000A0B13).
constexpr uint32_t sql_version_4_1_0 = 0x040100;   // back-quoted identifiers, new validators
constexpr uint32_t sql_version_5_0_1 = 0x050001;   // the table list through SHOW FULL TABLES
constexpr uint32_t sql_version_3_23_44 = 0x03172C; // foreign keys in SHOW CREATE TABLE
constexpr uint32_t sql_version_mariadb_10_2_7 = 0x0A0207;  // quoted literal defaults in information_schema

// Reads "major.minor.patch" from the start of a server's version text (whatever follows is ignored) into the
// packed form. A "5.5.5-" prefix that some client libraries keep in front of a MariaDB version is skipped.
// Each part is limited to 255 so that no part spills into the next. False when three numbers are not there.
bool sql_parse_server_version(const std::string& text, uint32_t& packed);

// ---- Identifiers ------------------------------------------------------------------------------------------------

// The name in back-quotes, each back-quote inside doubled; a name longer than 64 characters is cut to its first
// 63 first (the server's identifier limit). An empty name stays empty.
std::wstring sql_quote_name(const std::wstring& name);
// The same for a UTF-8 name.
std::string sql_quote_name_utf8(const std::string& name);
// A string literal for a statement, written as a hexadecimal literal (X'616263'), so that no quote, backslash
// or NUL in the text can end it early whatever the session's sql_mode; it compares byte for byte.
std::string sql_hex_literal(const std::string& utf8_text);

// True for a plain number: an optional sign, digits with at most one point, an optional exponent.
bool sql_is_plain_number(const std::string& text);

// ---- Column types -----------------------------------------------------------------------------------------------

// True for a string or blob column (CHAR, VARCHAR, BINARY, VARBINARY, TEXT and BLOB kinds) that holds bytes.
bool sql_is_binary_column(const sql_column& column);
// True for the string and blob type codes (249-254 and VARCHAR 15).
bool sql_is_string_type(int type);

// The variant type of a column's values: integers by width and sign, FLOAT/DOUBLE as R4/R8, DECIMAL as
// VT_DECIMAL, dates and times as VT_DATE, YEAR as VT_UI2, BIT(1) as VT_BOOL and BIT(n > 1) as the narrowest
// unsigned integer that holds n bits, binary string/blob columns as VT_ARRAY|VT_UI1 (VT_BSTR when
// blob_to_text), everything else (text, ENUM, SET, JSON, GEOMETRY read as text) as VT_BSTR.
VARTYPE get_vartype(const sql_column& column, bool blob_to_text);

// The declared size of a column: characters for text (the byte length divided by the most bytes one character
// takes in the column's character set), bytes for binary, the display width for numbers. Lengths that do not fit
// a signed 32-bit size (LONGTEXT, LONGBLOB, JSON, GEOMETRY report 4294967295) are 0: unlimited.
int32_t sql_column_size(const sql_column& column, unsigned max_bytes_per_char);

// Precision and scale of a DECIMAL column from its display length (the sign and the point take a place each).
void sql_decimal_precision(const sql_column& column, int32_t& precision, int32_t& scale);

// The sub-kind code of a column (the `reserved` of its descriptor): DATETIME 1, DATE 2, TIME 3, BIGINT 1 or
// (UNSIGNED) 2, an unsigned 64-bit BIT 2, GEOMETRY 2, else 0.
int32_t sql_column_subkind(const sql_column& column);

// ---- Defaults ---------------------------------------------------------------------------------------------------

enum class sql_default_kind {
  none,               // no default (NULL)
  literal,            // a constant: `text` holds its value as the server means it (quotes removed)
  current_timestamp,  // CURRENT_TIMESTAMP in any of its spellings
  expression,         // any other expression: not a value the destination can hold
};

struct sql_default {
  sql_default_kind kind = sql_default_kind::none;
  std::string text;  // UTF-8
};

// True for CURRENT_TIMESTAMP, NOW, LOCALTIME and LOCALTIMESTAMP, in any case, bare or followed by "()" or "(n)".
bool sql_is_current_timestamp(const std::string& text);

// A default as information_schema.COLUMNS.COLUMN_DEFAULT gives it on MariaDB 10.2.7 and later: string literals
// in single quotes ('' inside for a quote), numbers and bit literals bare, NULL (the cell) for none, anything
// else an expression.
sql_default sql_read_quoted_default(const char* cell, std::size_t length);

// A default as SHOW COLUMNS gives it (literals unquoted) with the Extra column: MySQL 8 marks expression
// defaults with DEFAULT_GENERATED there; the CURRENT_TIMESTAMP family is recognised by its text.
sql_default sql_read_plain_default(const char* cell, std::size_t length, const std::string& extra);
