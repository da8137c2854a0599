// Recogniser of the three statement shapes the DAO layer executes.
#include "platform/dao/statement.h"

#include <cwctype>

#include "platform/dao/errors.h"

namespace dao {
namespace {

struct token {
  enum class type { word, name, punct, end };  // name = a bracketed name, never a keyword
  type what = type::end;
  std::wstring text;
};

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f' || c == L'\v'; }
bool is_word_char(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_' ||
         c == L'$' || c > 0x7F;
}

std::vector<token> lex(const std::wstring& sql) {
  std::vector<token> out;
  size_t i = 0;
  while (i < sql.size()) {
    wchar_t c = sql[i];
    if (is_blank(c)) {
      ++i;
    } else if (c == L'[') {
      size_t close = sql.find(L']', i + 1);
      if (close == std::wstring::npos || close == i + 1) fail(err::syntax_select);
      out.push_back({token::type::name, sql.substr(i + 1, close - i - 1)});
      i = close + 1;
    } else if (is_word_char(c)) {
      size_t j = i;
      while (j < sql.size() && is_word_char(sql[j])) ++j;
      out.push_back({token::type::word, sql.substr(i, j - i)});
      i = j;
    } else if (c == L'(' || c == L')' || c == L',' || c == L'*' || c == L';') {
      out.push_back({token::type::punct, std::wstring(1, c)});
      ++i;
    } else {
      fail(err::syntax_select);
    }
  }
  out.push_back({token::type::end, L""});
  return out;
}

bool same_ascii_nocase(const std::wstring& a, const wchar_t* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return i == a.size() && !b[i];
}

class parser {
 public:
  explicit parser(std::vector<token> t) : t_(std::move(t)) {}

  statement parse_top() {
    if (!is_keyword(L"select")) fail(err::syntax_expected_select);
    statement s = parse_select();
    if (is_punct(L';')) ++pos_;
    if (t_[pos_].what != token::type::end) fail(err::characters_after_end);
    return s;
  }

 private:
  bool is_keyword(const wchar_t* k) const {
    return t_[pos_].what == token::type::word && same_ascii_nocase(t_[pos_].text, k);
  }
  bool is_punct(wchar_t c) const { return t_[pos_].what == token::type::punct && t_[pos_].text[0] == c; }
  void expect_keyword(const wchar_t* k, int number) {
    if (!is_keyword(k)) fail(number);
    ++pos_;
  }
  void expect_punct(wchar_t c, int number) {
    if (!is_punct(c)) fail(number);
    ++pos_;
  }
  bool is_reserved() const {
    static const wchar_t* const words[] = {L"select", L"from", L"order", L"by", L"where", L"group", L"having"};
    for (const wchar_t* w : words)
      if (is_keyword(w)) return true;
    return false;
  }
  std::wstring take_name(int number) {
    const token& k = t_[pos_];
    if (k.what == token::type::name || (k.what == token::type::word && !is_reserved())) {
      ++pos_;
      return k.text;
    }
    fail(number);
  }

  statement parse_select() {
    expect_keyword(L"select", err::syntax_select);
    statement s;
    if (is_keyword(L"count") && t_[pos_ + 1].what == token::type::punct && t_[pos_ + 1].text == L"(") {
      pos_ += 2;
      expect_punct(L'*', err::syntax_select);
      expect_punct(L')', err::syntax_select);
      expect_keyword(L"from", err::syntax_select);
      expect_punct(L'(', err::syntax_from);
      s.what = statement::kind::count;
      s.inner = std::make_shared<statement>(parse_select());
      expect_punct(L')', err::syntax_from);
      return s;
    }
    if (is_punct(L'*')) {
      ++pos_;
    } else {
      s.columns.push_back(take_name(err::syntax_select));
      while (is_punct(L',')) {
        ++pos_;
        s.columns.push_back(take_name(err::syntax_select));
      }
    }
    expect_keyword(L"from", err::syntax_select);
    s.table = take_name(err::syntax_from);
    if (is_keyword(L"order")) {
      ++pos_;
      expect_keyword(L"by", err::syntax_select);
      s.order_by = take_name(err::syntax_select);
    }
    if (!is_punct(L')') && !is_punct(L';') && t_[pos_].what != token::type::end) fail(err::syntax_select);
    return s;
  }

  std::vector<token> t_;
  size_t pos_ = 0;
};

}  // namespace

statement parse_statement(const std::wstring& sql) { return parser(lex(sql)).parse_top(); }

}  // namespace dao
