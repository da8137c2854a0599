// Foreign keys from SHOW CREATE TABLE (see sql_fkp.h).
#include "SQL/sql_fkp.h"

#include "TK/tk_log.h"
#include "TK/tk_utils.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

void skip_blanks(const std::string& s, std::size_t& pos) {
  while (pos < s.size() && is_blank(s[pos])) ++pos;
}

// Matches a keyword (ASCII, any case) at pos and moves past it.
bool take_keyword(const std::string& s, std::size_t& pos, const char* keyword) {
  std::size_t i = pos;
  for (const char* k = keyword; *k; ++k, ++i) {
    if (i >= s.size()) return false;
    char c = s[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != *k) return false;
  }
  pos = i;
  return true;
}

// Reads one identifier at pos: back-quoted (a doubled back-quote inside is one back-quote) or bare (up to a
// blank, comma, point or parenthesis). `raw` receives the text as written, `name` the identifier itself.
bool take_identifier(const std::string& s, std::size_t& pos, std::string& name, std::string* raw = nullptr) {
  name.clear();
  const std::size_t start = pos;
  if (pos < s.size() && s[pos] == '`') {
    ++pos;
    for (;;) {
      if (pos >= s.size()) return false;
      if (s[pos] == '`') {
        if (pos + 1 < s.size() && s[pos + 1] == '`') {
          name += '`';
          pos += 2;
          continue;
        }
        ++pos;
        break;
      }
      name += s[pos++];
    }
  } else {
    while (pos < s.size() && !is_blank(s[pos]) && s[pos] != ',' && s[pos] != '.' && s[pos] != '(' &&
           s[pos] != ')')
      name += s[pos++];
    if (name.empty()) return false;
  }
  if (raw) *raw = s.substr(start, pos - start);
  return true;
}

// Reads "( name, name ... )" at pos into the list.
bool take_column_list(const std::string& s, std::size_t& pos, std::vector<std::string>& names) {
  skip_blanks(s, pos);
  if (pos >= s.size() || s[pos] != '(') return false;
  ++pos;
  for (;;) {
    skip_blanks(s, pos);
    std::string name;
    if (!take_identifier(s, pos, name)) return false;
    names.push_back(name);
    skip_blanks(s, pos);
    if (pos >= s.size()) return false;
    if (s[pos] == ')') {
      ++pos;
      return true;
    }
    if (s[pos] != ',') return false;
    ++pos;
  }
}

udb_name_list to_wide(const std::vector<std::string>& names) {
  udb_name_list out;
  for (const auto& n : names) out.push_back(tk_utf8_to_unicode(n));
  return out;
}

}  // namespace

sql_fk_parser::sql_fk_parser(const std::wstring& table, const std::string& create_text) : table_(table) {
  tk_trace(2, "sql_fk_parser::ctor(%s)", create_text.c_str());
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = create_text.find('\n', start);
    chunks_.push_back(create_text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

void sql_fk_parser::do_parse(udb_relationships& relationships) const {
  tk_trace(2, "sql_fk_parser::do_parse");
  tk_trace(2, "Got %d chunks", static_cast<int>(chunks_.size()));
  for (std::size_t n = 0; n < chunks_.size(); ++n) {
    const std::string& line = chunks_[n];
    std::size_t pos = 0;
    skip_blanks(line, pos);
    if (!take_keyword(line, pos, "CONSTRAINT") || pos >= line.size() || !is_blank(line[pos])) continue;
    tk_trace(1, "Processing FK chunk #%d", static_cast<int>(n));
    skip_blanks(line, pos);
    std::string name, raw_name;
    if (!take_identifier(line, pos, name, &raw_name)) continue;
    skip_blanks(line, pos);
    if (!take_keyword(line, pos, "FOREIGN")) {
      tk_trace(1, "FOREIGN KEY is not found");
      continue;
    }
    skip_blanks(line, pos);
    if (!take_keyword(line, pos, "KEY")) continue;
    std::vector<std::string> fk_columns, pk_columns;
    if (!take_column_list(line, pos, fk_columns)) continue;
    skip_blanks(line, pos);
    if (!take_keyword(line, pos, "REFERENCES")) {
      tk_trace(1, "REFERENCES is not found");
      continue;
    }
    skip_blanks(line, pos);
    std::string ref_table;
    if (!take_identifier(line, pos, ref_table)) continue;
    if (pos < line.size() && line[pos] == '.') {  // `other_db`.`table`: keep the table
      ++pos;
      if (!take_identifier(line, pos, ref_table)) continue;
    }
    if (!take_column_list(line, pos, pk_columns)) continue;
    std::string rules = line.substr(pos);
    rules = tk_trim(tk_rtrim(rules));
    while (!rules.empty() && (rules.back() == '\r' || rules.back() == '\t')) rules.pop_back();
    if (!rules.empty() && rules.back() == ',') rules.pop_back();
    rules = tk_trim(rules);
    tk_trace(2, "Got FK name: %s", raw_name.c_str());
    tk_trace(2, "Got PK table: %s", ref_table.c_str());
    tk_trace(2, "Got FK rule: %s", rules.c_str());
    relationships.push_back(udb_relationship(tk_utf8_to_unicode(raw_name), L"", table_, tk_utf8_to_unicode(ref_table),
                                             to_wide(fk_columns), to_wide(pk_columns), tk_utf8_to_unicode(rules)));
  }
}

bool sql_fk_parser::get_columns(const std::string& text, udb_name_list& columns) {
  tk_trace(1, "sql_fk_parser::get_columns");
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] != '`') {
      ++pos;
      continue;
    }
    std::string name;
    if (!take_identifier(text, pos, name)) break;
    tk_trace(1, "GOT FK COLUMN: %s", name.c_str());
    columns.push_back(tk_utf8_to_unicode(name));
  }
  return true;
}
