// Tests of the MySQL engine's pure helpers: version packing, quoting, type and size mapping, defaults.
#include "SQL/sql_util.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

sql_column column(int type, uint64_t length, unsigned flags = 0, unsigned charsetnr = 45, unsigned decimals = 0) {
  sql_column c;
  c.name = "c";
  c.type = type;
  c.length = length;
  c.flags = flags;
  c.charsetnr = charsetnr;
  c.decimals = decimals;
  return c;
}

TEST(SqlVersion, PacksMajorMinorPatchWhateverFollows) {
  uint32_t v = 0;
  ASSERT_TRUE(sql_parse_server_version("5.7.44-log", v));
  EXPECT_EQ(v, 0x0005072Cu);
  ASSERT_TRUE(sql_parse_server_version("8.0.36", v));
  EXPECT_EQ(v, 0x00080024u);
  ASSERT_TRUE(sql_parse_server_version("10.11.19-MariaDB-0+deb12u1", v));
  EXPECT_EQ(v, 0x000A0B13u);
  ASSERT_TRUE(sql_parse_server_version("11.4.2-MariaDB", v));
  EXPECT_EQ(v, 0x000B0402u);
  // A library that keeps the replication prefix still gives the MariaDB server's own version.
  ASSERT_TRUE(sql_parse_server_version("5.5.5-10.11.19-MariaDB-0+deb12u1", v));
  EXPECT_EQ(v, 0x000A0B13u);
  ASSERT_TRUE(sql_parse_server_version("4.0.27", v));
  EXPECT_EQ(v, 0x04001Bu);
  ASSERT_TRUE(sql_parse_server_version("3.23.44", v));
  EXPECT_EQ(v, sql_version_3_23_44);
  // A part above 255 cannot spill into its neighbour.
  ASSERT_TRUE(sql_parse_server_version("5.7.300", v));
  EXPECT_EQ(v, 0x000507FFu);
}

TEST(SqlVersion, RejectsTextsWithoutThreeNumbers) {
  uint32_t v = 7;
  EXPECT_FALSE(sql_parse_server_version("", v));
  EXPECT_FALSE(sql_parse_server_version("5.7", v));
  EXPECT_FALSE(sql_parse_server_version("MariaDB 10.11.2", v));
  EXPECT_FALSE(sql_parse_server_version("5..1", v));
  EXPECT_EQ(v, 7u);
}

TEST(SqlQuoting, BackQuotesNamesAndDoublesBackQuotesInside) {
  EXPECT_EQ(sql_quote_name(L""), L"");
  EXPECT_EQ(sql_quote_name(L"t"), L"`t`");
  EXPECT_EQ(sql_quote_name(L"odd name"), L"`odd name`");
  EXPECT_EQ(sql_quote_name(L"back`tick"), L"`back``tick`");
  EXPECT_EQ(sql_quote_name(L"`x"), L"```x`");
  EXPECT_EQ(sql_quote_name(L"Größe_表"), L"`Größe_表`");
  EXPECT_EQ(sql_quote_name(std::wstring(64, L'a')).size(), 66u);
  EXPECT_EQ(sql_quote_name(std::wstring(65, L'a')), L"`" + std::wstring(63, L'a') + L"`");
  EXPECT_EQ(sql_quote_name_utf8("a`b"), "`a``b`");
}

TEST(SqlQuoting, LiteralsAreHexSoNoCharacterEndsThem) {
  EXPECT_EQ(sql_hex_literal(""), "X''");
  EXPECT_EQ(sql_hex_literal("it's"), "X'69742773'");
  EXPECT_EQ(sql_hex_literal(std::string("\\\0", 2)), "X'5C00'");
}

TEST(SqlTypes, IntegersByWidthAndSign) {
  EXPECT_EQ(get_vartype(column(sql_type_tiny, 4), false), VT_I1);
  EXPECT_EQ(get_vartype(column(sql_type_tiny, 3, sql_flag_unsigned), false), VT_UI1);
  EXPECT_EQ(get_vartype(column(sql_type_short, 6), false), VT_I2);
  EXPECT_EQ(get_vartype(column(sql_type_short, 5, sql_flag_unsigned), false), VT_UI2);
  EXPECT_EQ(get_vartype(column(sql_type_int24, 8, sql_flag_unsigned), false), VT_I4);
  EXPECT_EQ(get_vartype(column(sql_type_long, 11), false), VT_I4);
  EXPECT_EQ(get_vartype(column(sql_type_long, 10, sql_flag_unsigned), false), VT_UI4);
  EXPECT_EQ(get_vartype(column(sql_type_longlong, 20), false), VT_I8);
  EXPECT_EQ(get_vartype(column(sql_type_longlong, 20, sql_flag_unsigned), false), VT_UI8);
  EXPECT_EQ(sql_column_subkind(column(sql_type_longlong, 20)), 1);
  EXPECT_EQ(sql_column_subkind(column(sql_type_longlong, 20, sql_flag_unsigned)), 2);
  EXPECT_EQ(get_vartype(column(sql_type_year, 4, sql_flag_unsigned), false), VT_UI2);
}

TEST(SqlTypes, BitOneIsAFlagAndWiderBitsKeepTheirNumber) {
  EXPECT_EQ(get_vartype(column(sql_type_bit, 1, sql_flag_unsigned), false), VT_BOOL);
  EXPECT_EQ(get_vartype(column(sql_type_bit, 2, sql_flag_unsigned), false), VT_UI1);
  EXPECT_EQ(get_vartype(column(sql_type_bit, 8, sql_flag_unsigned), false), VT_UI1);
  EXPECT_EQ(get_vartype(column(sql_type_bit, 16, sql_flag_unsigned), false), VT_UI2);
  EXPECT_EQ(get_vartype(column(sql_type_bit, 32, sql_flag_unsigned), false), VT_UI4);
  EXPECT_EQ(get_vartype(column(sql_type_bit, 64, sql_flag_unsigned), false), VT_UI8);
  EXPECT_EQ(sql_column_subkind(column(sql_type_bit, 64)), 2);
}

TEST(SqlTypes, BinaryIsDecidedByCharacterSetNotByTheBinaryFlag) {
  const VARTYPE bytes = static_cast<VARTYPE>(VT_ARRAY | VT_UI1);
  // BINARY(16): a STRING of charset 63.
  EXPECT_EQ(get_vartype(column(sql_type_string, 16, sql_flag_binary, 63), false), bytes);
  EXPECT_EQ(get_vartype(column(sql_type_var_string, 32, sql_flag_binary, 63), false), bytes);
  EXPECT_EQ(get_vartype(column(sql_type_blob, 65535, sql_flag_binary, 63), false), bytes);
  // With BLOB-to-memo the bytes are read as text.
  EXPECT_EQ(get_vartype(column(sql_type_blob, 65535, sql_flag_binary, 63), true), VT_BSTR);
  // _bin collations and MariaDB's JSON (utf8mb4_bin) carry the BINARY flag but hold text.
  EXPECT_EQ(get_vartype(column(sql_type_var_string, 80, sql_flag_binary, 46), false), VT_BSTR);
  EXPECT_EQ(get_vartype(column(sql_type_blob, 4294967295u, sql_flag_binary, 46), false), VT_BSTR);
  EXPECT_EQ(get_vartype(column(sql_type_blob, 262140, 0, 45), false), VT_BSTR);
  EXPECT_EQ(get_vartype(column(sql_type_json, 4294967295u, 0, 45), false), VT_BSTR);
  EXPECT_EQ(get_vartype(column(sql_type_geometry, 4294967295u, sql_flag_binary, 63), false), VT_BSTR);
}

TEST(SqlTypes, OtherKinds) {
  EXPECT_EQ(get_vartype(column(sql_type_float, 12), false), VT_R4);
  EXPECT_EQ(get_vartype(column(sql_type_double, 22), false), VT_R8);
  EXPECT_EQ(get_vartype(column(sql_type_newdecimal, 12, 0, 63, 2), false), VT_DECIMAL);
  for (int t : {sql_type_date, sql_type_datetime, sql_type_timestamp, sql_type_time})
    EXPECT_EQ(get_vartype(column(t, 19), false), VT_DATE) << t;
  EXPECT_EQ(sql_column_subkind(column(sql_type_datetime, 19)), 1);
  EXPECT_EQ(sql_column_subkind(column(sql_type_date, 10)), 2);
  EXPECT_EQ(sql_column_subkind(column(sql_type_time, 10)), 3);
  EXPECT_EQ(sql_column_subkind(column(sql_type_timestamp, 19)), 0);
  EXPECT_EQ(sql_column_subkind(column(sql_type_geometry, 0)), 2);
}

TEST(SqlTypes, TextSizesCountCharactersAndHugeLengthsMeanUnlimited) {
  // CHAR(100) under a utf8mb4 session: 400 bytes, 100 characters.
  EXPECT_EQ(sql_column_size(column(sql_type_string, 400, 0, 45), 4), 100);
  EXPECT_EQ(sql_column_size(column(sql_type_var_string, 300, 0, 33), 3), 100);
  // Binary sizes are bytes.
  EXPECT_EQ(sql_column_size(column(sql_type_string, 16, sql_flag_binary, 63), 1), 16);
  // LONGTEXT, LONGBLOB, JSON, GEOMETRY report 4294967295: unlimited, never negative.
  EXPECT_EQ(sql_column_size(column(sql_type_blob, 4294967295u, 0, 45), 4), 0);
  EXPECT_EQ(sql_column_size(column(sql_type_blob, 4294967295u, sql_flag_binary, 63), 1), 0);
  EXPECT_EQ(sql_column_size(column(sql_type_geometry, 4294967295u, sql_flag_binary, 63), 1), 0);
  EXPECT_EQ(sql_column_size(column(sql_type_blob, 3000000000u, sql_flag_binary, 63), 1), 0);
  EXPECT_EQ(sql_column_size(column(sql_type_long, 11), 4), 11);
}

TEST(SqlTypes, DecimalPrecisionCountsSignAndPoint) {
  int32_t p = 0, s = 0;
  sql_decimal_precision(column(sql_type_newdecimal, 12, 0, 63, 2), p, s);
  EXPECT_EQ(p, 10);
  EXPECT_EQ(s, 2);
  sql_decimal_precision(column(sql_type_newdecimal, 11, 0, 63, 0), p, s);
  EXPECT_EQ(p, 10);
  EXPECT_EQ(s, 0);
  // UNSIGNED has no sign place: DECIMAL(10,2) UNSIGNED reports 11.
  sql_decimal_precision(column(sql_type_newdecimal, 11, sql_flag_unsigned, 63, 2), p, s);
  EXPECT_EQ(p, 10);
  EXPECT_EQ(s, 2);
  sql_decimal_precision(column(sql_type_newdecimal, 67, 0, 63, 30), p, s);
  EXPECT_EQ(p, 65);
  EXPECT_EQ(s, 30);
}

TEST(SqlDefaults, CurrentTimestampInEverySpelling) {
  for (const char* t : {"CURRENT_TIMESTAMP", "current_timestamp()", "CURRENT_TIMESTAMP(3)", "now()", "NOW(6)",
                        "localtimestamp", "LOCALTIME()"})
    EXPECT_TRUE(sql_is_current_timestamp(t)) << t;
  for (const char* t : {"", "curdate()", "current_timestamp(x)", "now() + 1", "nowhere", "2001-01-01"})
    EXPECT_FALSE(sql_is_current_timestamp(t)) << t;
}

sql_default quoted(const char* text) { return sql_read_quoted_default(text, text ? std::strlen(text) : 0); }

TEST(SqlDefaults, QuotedFormTellsLiteralsFromExpressions) {
  EXPECT_EQ(quoted(nullptr).kind, sql_default_kind::none);
  EXPECT_EQ(quoted("NULL").kind, sql_default_kind::none);
  sql_default d = quoted("'NULL'");
  EXPECT_EQ(d.kind, sql_default_kind::literal);
  EXPECT_EQ(d.text, "NULL");
  d = quoted("'it''s'");
  EXPECT_EQ(d.kind, sql_default_kind::literal);
  EXPECT_EQ(d.text, "it's");
  d = quoted("''");
  EXPECT_EQ(d.kind, sql_default_kind::literal);
  EXPECT_EQ(d.text, "");
  d = quoted("'a\\\\b'");
  EXPECT_EQ(d.text, "a\\b");
  EXPECT_EQ(quoted("-17").kind, sql_default_kind::literal);
  EXPECT_EQ(quoted("1.500").text, "1.500");
  EXPECT_EQ(quoted("18446744073709551615").kind, sql_default_kind::literal);
  EXPECT_EQ(quoted("b'1'").kind, sql_default_kind::literal);
  EXPECT_EQ(quoted("current_timestamp(3)").kind, sql_default_kind::current_timestamp);
  EXPECT_EQ(quoted("(1 + 1)").kind, sql_default_kind::expression);
  EXPECT_EQ(quoted("concat('a','b')").kind, sql_default_kind::expression);
  EXPECT_EQ(quoted("curdate()").kind, sql_default_kind::expression);
}

TEST(SqlDefaults, PlainFormTrustsTheExtraColumn) {
  const char* abc = "abc";
  EXPECT_EQ(sql_read_plain_default(abc, 3, "").kind, sql_default_kind::literal);
  EXPECT_EQ(sql_read_plain_default(abc, 3, "DEFAULT_GENERATED").kind, sql_default_kind::expression);
  const char* ts = "CURRENT_TIMESTAMP";
  EXPECT_EQ(sql_read_plain_default(ts, 17, "DEFAULT_GENERATED on update CURRENT_TIMESTAMP").kind,
            sql_default_kind::current_timestamp);
  EXPECT_EQ(sql_read_plain_default(nullptr, 0, "").kind, sql_default_kind::none);
}

}  // namespace
