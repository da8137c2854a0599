// Name validators of a MySQL destination (see sql_vali.h) and the engine's factories for them.
#include "SQL/sql_vali.h"

#include "SQL/sql_engi.h"
#include "TK/tk_log.h"
#include "TK/tk_nocase.h"
#include "TK/tk_utils.h"

namespace {

constexpr uint32_t k_max_name = 64;
// The first 8 are refused in every name, all 14 in table names.
constexpr wchar_t k_illegal[] = L"`\"'^*\\;+|:<>?/";
constexpr std::size_t k_illegal_in_fields = 8;

// The reserved words of servers before 4.1.0.
constexpr const wchar_t* k_reserved[] = {
    L"add", L"all", L"alter", L"and", L"as", L"asc", L"between", L"bigint", L"binary", L"blob", L"both", L"by",
    L"cascade", L"case", L"char", L"character", L"change", L"column", L"columns", L"constraint", L"create",
    L"cross", L"current_date", L"current_time", L"current_timestamp", L"database", L"databases", L"day_hour",
    L"day_minute", L"day_second", L"dec", L"decimal", L"default", L"delayed", L"delete", L"desc", L"describe",
    L"distinct", L"distinctrow", L"double", L"drop", L"else", L"escaped", L"enclosed", L"explain", L"exists",
    L"fields", L"float", L"float4", L"float8", L"foreign", L"from", L"for", L"grant", L"group", L"having",
    L"high_priority", L"hour_minute", L"hour_second", L"ignore", L"in", L"index", L"infile", L"inner", L"insert",
    L"insert_id", L"int", L"int1", L"int2", L"int3", L"int4", L"int8", L"integer", L"interval", L"into", L"if",
    L"is", L"join", L"key", L"keys", L"kill", L"last_insert_id", L"leading", L"left", L"like", L"lines", L"limit",
    L"load", L"lock", L"long", L"longblob", L"longtext", L"low_priority", L"match", L"mediumblob", L"mediumtext",
    L"mediumint", L"middleint", L"minute_second", L"natural", L"numeric", L"not", L"null", L"on", L"optimize",
    L"option", L"optionally", L"or", L"order", L"outer", L"outfile", L"partial", L"precision", L"primary",
    L"procedure", L"privileges", L"read", L"real", L"regexp", L"rename", L"replace", L"restrict", L"returns",
    L"revoke", L"rlike", L"select", L"set", L"show", L"smallint", L"soname", L"sql_big_tables",
    L"sql_big_selects", L"sql_low_priority_updates", L"sql_log_off", L"sql_log_update", L"sql_select_limit",
    L"sql_small_result", L"sql_big_result", L"sql_warnings", L"straight_join", L"starting", L"table", L"tables",
    L"terminated", L"then", L"tinyblob", L"tinytext", L"tinyint", L"trailing", L"to", L"usage", L"use", L"using",
    L"unique", L"unlock", L"unsigned", L"update", L"values", L"varchar", L"varying", L"varbinary", L"with",
    L"write", L"when", L"where", L"year_month", L"zerofill", L""};

// The server's names hold characters of the Basic Multilingual Plane only (and no NUL).
bool outside_bmp(wchar_t c) { return c == 0 || static_cast<uint32_t>(c) > 0xFFFF; }

bool old_name_char(wchar_t c) { return c == L'_' || c == L'$' || tk_is_alnum(c); }

bool digits_only(const std::wstring& name) {
  for (wchar_t c : name)
    if (c < L'0' || c > L'9') return false;
  return true;
}

void add_record_names(udb_validator& v, const udb_record& record) {
  tk_trace(2, "Record size=%d", static_cast<int>(record.size()));
  for (std::size_t i = 0; i < record.size(); ++i) {
    tk_trace(1, "Process record[%d]", static_cast<int>(i));
    if (record[i]) v.add_existing_name(record[i]->get_name());
  }
}

void add_schema_names(udb_validator& v, const udb_schema& schema) {
  tk_trace(2, "Schema size=%d", static_cast<int>(schema.size()));
  for (std::size_t i = 0; i < schema.size(); ++i) {
    tk_trace(1, "Process schema[%d]", static_cast<int>(i));
    v.add_existing_name(schema[i].name);
  }
}

void add_index_names(udb_validator& v, const udb_indexes& indexes) {
  for (const udb_index& index : indexes) v.add_existing_name(index.name);
}

void add_names(udb_validator& v, const udb_name_list& names1, const udb_name_list& names2) {
  for (const std::wstring& n : names1) v.add_existing_name(n);
  for (const std::wstring& n : names2) v.add_existing_name(n);
}

}  // namespace

// ---- Servers from 4.1.0 on ----------------------------------------------------------------------------------------

sql_new_validator::sql_new_validator(bool table_names) : udb_validator(k_max_name) {
  tk_trace(2, "sql_new_validator::ctor");
  const std::size_t n = table_names ? sizeof k_illegal / sizeof k_illegal[0] - 1 : k_illegal_in_fields;
  for (std::size_t i = 0; i < n; ++i) add_illegal_char(k_illegal[i]);
}

bool sql_new_validator::is_acceptable(const std::wstring& name) const {
  tk_trace_w(2, L"sql_new_validator::is_acceptable(%s)", name.c_str());
  if (name.empty() || name.size() > k_max_name) {
    tk_trace(1, "Invalid length");
    return false;
  }
  if (name.front() == L' ' || name.back() == L' ') {
    tk_trace(1, "ID cannot starts or ends with ' '");
    return false;
  }
  for (wchar_t c : name) {
    if (outside_bmp(c)) {
      tk_trace(1, "The name holds a character outside the BMP");
      return false;
    }
  }
  return udb_validator::is_acceptable(name);
}

std::wstring sql_new_validator::get_safe_name(const std::wstring& name) const {
  tk_trace_w(2, L"sql_new_validator::get_safe_name(%s)", name.c_str());
  std::wstring safe = tk_wtrim(name);
  for (wchar_t& c : safe)
    if (outside_bmp(c)) c = L'_';
  return udb_validator::get_safe_name(safe);
}

sql_new_fn_validator::sql_new_fn_validator(const udb_record& record) : sql_new_validator(false) {
  tk_trace(2, "sql_new_fn_validator::ctor( const udb_record& )");
  add_record_names(*this, record);
  tk_trace(2, "sql_new_fn_validator::ctor - end");
}

sql_new_fn_validator::sql_new_fn_validator(const udb_schema& schema) : sql_new_validator(false) {
  tk_trace(2, "sql_new_fn_validator::ctor( const udb_schema& )");
  add_schema_names(*this, schema);
  tk_trace(2, "sql_new_fn_validator::ctor - end");
}

sql_new_in_validator::sql_new_in_validator(const udb_indexes& indexes) : sql_new_validator(false) {
  tk_trace(2, "sql_new_in_validator::ctor");
  add_index_names(*this, indexes);
}

sql_new_tn_validator::sql_new_tn_validator(const udb_name_list& names1, const udb_name_list& names2)
    : sql_new_validator(true) {
  tk_trace(2, "sql_new_tn_validator::ctor");
  add_names(*this, names1, names2);
}

// ---- Servers before 4.1.0 -----------------------------------------------------------------------------------------

sql_old_validator::sql_old_validator() : udb_validator(k_max_name) {
  tk_trace(2, "sql_old_validator::ctor");
  for (const wchar_t* const* w = k_reserved; **w; ++w) add_restricted_name(*w);
}

bool sql_old_validator::is_acceptable(const std::wstring& name) const {
  tk_trace_w(2, L"sql_old_validator::is_acceptable(%s)", name.c_str());
  if (!udb_validator::is_acceptable(name)) return false;
  for (wchar_t c : name) {
    if (!old_name_char(c)) {
      tk_trace_w(2, L"Name contains invalid symbol: '%c'", c);
      return false;
    }
  }
  if (digits_only(name)) {
    tk_trace(2, "Name consists of digits only");
    return false;
  }
  return true;
}

std::wstring sql_old_validator::get_safe_name(const std::wstring& name) const {
  tk_trace_w(2, L"sql_old_validator::get_safe_name(%s)", name.c_str());
  std::wstring safe = name;
  for (wchar_t& c : safe)
    if (!old_name_char(c)) c = L'_';
  if (!safe.empty() && digits_only(safe)) safe[0] = L'_';
  return udb_validator::get_safe_name(safe);
}

sql_old_fn_validator::sql_old_fn_validator(const udb_record& record) {
  tk_trace(2, "sql_old_fn_validator::ctor( const udb_record& )");
  add_record_names(*this, record);
}

sql_old_fn_validator::sql_old_fn_validator(const udb_schema& schema) {
  tk_trace(2, "sql_old_fn_validator::ctor( const udb_schema& )");
  add_schema_names(*this, schema);
}

sql_old_in_validator::sql_old_in_validator(const udb_indexes& indexes) {
  tk_trace(2, "sql_old_in_validator::ctor");
  add_index_names(*this, indexes);
}

sql_old_tn_validator::sql_old_tn_validator(const udb_name_list& names1, const udb_name_list& names2) {
  tk_trace(2, "sql_old_tn_validator::ctor");
  add_names(*this, names1, names2);
}

// ---- The engine's factories -------------------------------------------------------------------------------------

std::unique_ptr<udb_validator> sql_engine::create_fn_validator(const udb_record& record) const {
  tk_trace(1, "sql_engine::create_fn_validator( const udb_record& )");
  if (is_old_version()) return std::make_unique<sql_old_fn_validator>(record);
  return std::make_unique<sql_new_fn_validator>(record);
}

std::unique_ptr<udb_validator> sql_engine::create_fn_validator(const udb_schema& schema) const {
  tk_trace(1, "sql_engine::create_fn_validator( const udb_schema& )");
  if (is_old_version()) return std::make_unique<sql_old_fn_validator>(schema);
  return std::make_unique<sql_new_fn_validator>(schema);
}

std::unique_ptr<udb_validator> sql_engine::create_in_validator(const udb_indexes& indexes) const {
  tk_trace(1, "sql_engine::create_in_validator");
  if (is_old_version()) return std::make_unique<sql_old_in_validator>(indexes);
  return std::make_unique<sql_new_in_validator>(indexes);
}

std::unique_ptr<udb_validator> sql_engine::create_tn_validator(const udb_name_list& names1,
                                                               const udb_name_list& names2) const {
  tk_trace(1, "sql_engine::create_tn_validator");
  if (is_old_version()) return std::make_unique<sql_old_tn_validator>(names1, names2);
  return std::make_unique<sql_new_tn_validator>(names1, names2);
}
