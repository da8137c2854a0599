// Name validation: may a name (of a table, field, index or view) be used in the destination database, and if
// not, which safe name stands in for it.
//
// A validator holds the destination's rules: a maximum length in characters (0 = no limit), reserved names,
// characters a name may not contain, and the names already taken. Engines derive a validator per kind of name,
// fill the lists and may override is_acceptable and get_safe_name; their overrides end in the base algorithms
// here, and get_safe_name always asks is_acceptable and is_duplicated through the virtual calls, so an engine's
// own rules apply to every candidate it tries.
//
// All name comparisons ignore case (TK/tk_nocase.h). A safe name is always lower case. The validator never adds the
// name it hands out to the taken names: the caller does that when it uses the name.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

class udb_validator {
 public:
  explicit udb_validator(uint32_t max_len);
  virtual ~udb_validator();

  // Length within max_len, not a restricted name, and none of the illegal characters.
  virtual bool is_acceptable(const std::wstring& name) const;
  // Equal to a name already taken.
  virtual bool is_duplicated(const std::wstring& name) const;
  // The name, lower-cased, cut to max_len - 1 characters when longer than max_len, with each illegal character
  // replaced by "_"; when that is still not acceptable or taken, the first acceptable and free name of the form
  // stem + five-digit counter ("%s%05d"), the stem cut to leave room for the counter. Running out of counters is
  // an internal error.
  virtual std::wstring get_safe_name(const std::wstring& name) const;

  void add_existing_name(const std::wstring& name);
  void add_restricted_name(const std::wstring& name);
  void add_illegal_char(wchar_t c);
  // Records that the source name src was given the destination name dst.
  void add_mapped_pair(const std::wstring& src, const std::wstring& dst);
  // The destination name recorded for src (compared ignoring case), if any.
  std::optional<std::wstring> get_mapped_name(const std::wstring& src) const;

  uint32_t max_len() const { return max_len_; }
  const std::vector<std::wstring>& existing_names() const { return existing_; }
  const std::vector<std::wstring>& restricted_names() const { return restricted_; }
  const std::wstring& illegal_chars() const { return illegal_; }
  const std::map<std::wstring, std::wstring>& mapped_pairs() const { return mapped_; }

 protected:
  uint32_t max_len_;
  std::map<std::wstring, std::wstring> mapped_;
  std::wstring illegal_;  // in list order
  std::vector<std::wstring> restricted_;
  std::vector<std::wstring> existing_;
};
