// The storage of an Access file, over the Access database engine platform/jet.
//
// The engine's database interface is not available yet: opening and creating files are refused with DAO
// errors that name what is missing, so callers report a clear error and no file is touched.
#include "platform/dao/storage.h"

#include "platform/dao/errors.h"

namespace dao {

namespace {
const wchar_t* format_name(file_format f) {
  switch (f) {
    case file_format::jet3: return L"Access 95/97 (Jet 3)";
    case file_format::jet4: return L"Access 2000 (Jet 4)";
    case file_format::ace: return L"Access 2007 and later (ACE)";
  }
  return L"Access";
}
}  // namespace

std::unique_ptr<storage> open_storage(const std::wstring& path, bool, bool, const std::wstring&) {
  throw error(err::operation_not_supported,
              L"Operation is not supported for this type of object. The Access database engine cannot open '" +
                  path + L"' yet.",
              true);
}

std::unique_ptr<storage> create_storage(const std::wstring& path, file_format format) {
  throw error(err::operation_not_supported,
              std::wstring(L"Operation is not supported for this type of object. Creating ") + format_name(format) +
                  L" files is not supported by this Access database engine yet.",
              true);
}

}  // namespace dao
