// DAO error texts and the boundary that turns failures into HRESULTs and Errors entries.
#include "platform/dao/errors.h"

#include <new>

#include "platform/jet/error.h"
#include "platform/system/codepage.h"

namespace dao {

std::wstring error_text(int n, const std::wstring& name) {
  if (auto text = jet::known_error_text(n, sys_wide_to_utf8(name))) return sys_utf8_to_wide(*text);
  return L"Reserved error (" + std::to_wstring(n) + L"); there is no message for this error.";
}

namespace {
std::string narrow_for_what(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return s;
}
}  // namespace

error::error(int number, const std::wstring& name)
    : std::runtime_error(narrow_for_what(error_text(number, name))), number_(number),
      description_(error_text(number, name)) {}

error::error(int number, const std::wstring& description, bool)
    : std::runtime_error(narrow_for_what(description)), number_(number), description_(description) {}

void fail(int number, const std::wstring& name) { throw error(number, name); }

int32_t error_list::replace(int number, const std::wstring& description, const std::wstring& source) {
  entries_.clear();
  entries_.push_back(error_entry{number, description, source});
  return hresult_of(number);
}

int32_t record_current_exception(error_list& errors, const wchar_t* source) {
  try {
    throw;
  } catch (const error& e) {
    return errors.replace(e.number(), e.description(), source);
  } catch (const jet::error& e) {
    // The engine's refusals carry DAO's number and text already.
    return errors.replace(e.number(), sys_utf8_to_wide(e.what()), source);
  } catch (const std::bad_alloc&) {
    return errors.replace(3035, L"System resource exceeded.", source);
  } catch (const std::exception& e) {
    return errors.replace(err::invalid_argument, sys_utf8_to_wide(e.what()), source);
  }
}

}  // namespace dao
