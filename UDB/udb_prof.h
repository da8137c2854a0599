// The profile file: the saved settings and table and query selections of a conversion (extension "rwf").
//
// File format: UTF-8 text, one entry per line, each line ended by CR LF when written (a reader accepts CR LF and
// LF alike, and skips a UTF-8 byte-order mark at the start of the file):
//   "[" name "]"      a section header; later lines belong to that section (a repeated header continues it)
//   key "=" value     a pair; the first "=" separates, later ones belong to the value; blanks around key and
//                     value are dropped
//   anything else     a bare line: kept as read in the section's raw lines, and as the pair (line, ""); it is
//                     written back once, as it was read, where its pair stands
// Empty lines are skipped. There is no quoting: a value cannot hold a line break (the writer turns each CR LF,
// LF or CR into one blank), and a key cannot hold "=" or start or end with a blank.
//
// Sections and keys compare exactly (case-sensitive). Sections are kept ordered by character code and written in
// that order, whatever order they were read in; pairs keep the order they were added in, duplicates included
// (get_value answers the first). Four sections always exist, so they are always written: "Available Queries",
// "Selected Tables", "Selected Views" and "Generic settings".
//
// The writer replaces the file as a whole (it writes a new file beside it and renames it over the old one), so a
// failed write leaves the old profile as it was. New profiles are readable by their owner only: they may hold a
// password.
#pragma once

#include <istream>
#include <map>
#include <string>
#include <utility>
#include <vector>

class udb_profile {
 public:
  using pair_list = std::vector<std::pair<std::wstring, std::wstring>>;
  using line_list = std::vector<std::wstring>;

  // Section names the profile always holds.
  static constexpr const wchar_t* available_queries_section = L"Available Queries";
  static constexpr const wchar_t* selected_tables_section = L"Selected Tables";
  static constexpr const wchar_t* selected_views_section = L"Selected Views";
  static constexpr const wchar_t* generic_settings_section = L"Generic settings";

  udb_profile();

  // Appends the pair to the section, creating the section when absent.
  void set_value(const std::wstring& section, const std::wstring& key, const std::wstring& value);
  // The value of the first pair of the section whose key is key; empty text when the section or key is missing.
  std::wstring get_value(const std::wstring& section, const std::wstring& key) const;

  const pair_list& get_available_queries() const;
  const pair_list& get_selected_tables() const;
  const pair_list& get_selected_views() const;

  // Reads the file into this profile (adding to what it holds).
  // Throws tk_exception (level 1) when no file is at path. Returns false when the file cannot be opened or read,
  // or when a line other than a section header comes before the first header (what was read until then stays);
  // true otherwise.
  bool load(const std::wstring& path);
  // Writes the profile to path, replacing the file. Returns false when the file cannot be created; throws
  // tk_exception (level 1) when writing it fails (a full disk), leaving an existing file unchanged.
  bool store(const std::wstring& path) const;

  // The reader and the writer on streams and strings; load and store are these plus the file handling.
  bool read(std::istream& in);
  std::string to_text() const;

  const std::map<std::wstring, pair_list>& sections() const { return sections_; }
  const std::map<std::wstring, line_list>& raw_sections() const { return raw_sections_; }

 private:
  std::map<std::wstring, pair_list> sections_;
  std::map<std::wstring, line_list> raw_sections_;
};
