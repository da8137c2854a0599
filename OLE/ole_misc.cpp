// Exceptions, trace guard, reference counts and GUID extraction of the value layer.
#include "OLE/ole_misc.h"

#include "TK/tk_log.h"
#include "TK/tk_texts.h"
#include "TK/tk_utils.h"

ole_cast_exception::ole_cast_exception() : tk_exception(tk_msg_ole_cast, 0) {}
ole_cast_exception::~ole_cast_exception() = default;

ole_type_exception::ole_type_exception() : tk_exception(tk_msg_ole_type, 1) {}
ole_type_exception::~ole_type_exception() = default;

bool ole_trace_on(int level) {
  if (!tk_trace_wanted(level) || !tk_logger::exists()) return false;
  const tk_logger* logger = tk_logger::get_instance();
  return logger->enabled() && level >= logger->threshold();
}

uint32_t get_com_ref_count(IUnknown* object) {
  if (object == nullptr) throw tk_mail_assertion("ole_misc", 14);
  object->AddRef();
  return object->Release();
}

namespace {

bool is_guid_char(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F') || c == L'-';
}

bool guid_chars_at(const std::wstring& text, std::size_t from) {
  if (from + 36 > text.size()) return false;
  for (std::size_t i = from; i < from + 36; ++i) {
    if (!is_guid_char(text[i])) return false;
  }
  return true;
}

}  // namespace

ole_guid_extractor::ole_guid_extractor(const std::string& text) { extract(tk_utf8_to_unicode(text)); }

ole_guid_extractor::ole_guid_extractor(const std::wstring& text) { extract(text); }

void ole_guid_extractor::extract(const std::wstring& input) {
  if (ole_trace_on(1)) tk_trace(1, "ole_guid_extractor::ctor(%s)", tk_to_utf8(input).c_str());
  if (input.size() >= 91) {
    tk_trace(1, "Text is too long for GUID(1)");
    return;
  }
  text = tk_wtrim(input);
  if (text.size() <= 35) {
    tk_trace(1, "Text is too short for GUID");
    return;
  }
  if (text.size() >= 46) {
    tk_trace(1, "Text is too long for GUID(2)");
    return;
  }
  if (text.size() == 36) {
    tk_trace(1, "Checking simple form (1)");
    valid = guid_chars_at(text, 0);
    if (!valid) tk_trace(1, "Simple form (1) of GUID is NOT valid");
    position = valid ? 0 : -1;
    return;
  }
  if (text.size() == 38 && text.front() == L'{' && text.back() == L'}') {
    tk_trace(1, "Checking simple form (2)");
    valid = guid_chars_at(text, 1);
    if (!valid) tk_trace(1, "Simple form (2) of GUID is NOT valid");
    position = valid ? 1 : -1;
    return;
  }
  std::size_t lower = text.find(L"guid");
  std::size_t upper = text.find(L"GUID");
  tk_trace(1, "Locating 'guid' (%d : %d)", lower == std::wstring::npos ? -1 : static_cast<int>(lower),
           upper == std::wstring::npos ? -1 : static_cast<int>(upper));
  std::size_t word = lower != std::wstring::npos ? lower : upper;
  if (word == std::wstring::npos) return;
  // The first '{' after the word with room for a GUID after it; its 36 characters must be those of a GUID.
  for (std::size_t i = word + 4; i < text.size(); ++i) {
    if (text[i] != L'{' || text.size() - (i + 1) < 36) continue;
    if (guid_chars_at(text, i + 1)) {
      position = static_cast<int32_t>(i + 1);
      valid = true;
      tk_trace(1, "GUID is valid");
    }
    return;
  }
}

std::wstring ole_guid_extractor::get_wguid() const {
  if (!valid) return std::wstring();
  return text.substr(static_cast<std::size_t>(position), 36);
}

std::string ole_guid_extractor::get_guid() const { return tk_to_ansi(get_wguid()); }
