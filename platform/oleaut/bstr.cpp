// BSTR storage: one heap block per text: a size_t character count, then the characters and a NUL.
#include "platform/oleaut/bstr.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr std::size_t kHeader = sizeof(std::size_t);
static_assert(kHeader % alignof(OLECHAR) == 0, "the characters stay aligned after the count");

std::size_t* header_of(BSTR text) { return reinterpret_cast<std::size_t*>(reinterpret_cast<char*>(text) - kHeader); }

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, std::size_t length) {
  if (length > (std::numeric_limits<std::size_t>::max() - kHeader) / sizeof(OLECHAR) - 1) return nullptr;
  char* block = static_cast<char*>(std::malloc(kHeader + (length + 1) * sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &length, sizeof length);
  BSTR result = reinterpret_cast<BSTR>(block + kHeader);
  if (text != nullptr && length > 0) {
    std::memcpy(result, text, length * sizeof(OLECHAR));
  } else {
    std::memset(result, 0, length * sizeof(OLECHAR));
  }
  result[length] = L'\0';
  return result;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  return SysAllocStringLen(text, std::wcslen(text));
}

BSTR oa_alloc_bstr(std::wstring_view text) { return SysAllocStringLen(text.data(), text.size()); }

void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(header_of(text));
}

std::size_t SysStringLen(BSTR text) {
  if (text == nullptr) return 0;
  std::size_t length;
  std::memcpy(&length, header_of(text), sizeof length);
  return length;
}
