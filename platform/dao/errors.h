// DAO error numbers and texts (the engine's table), the error the DAO layer raises internally, and the Errors list content.
//
// Every failing DAO call reports one error: its number n travels as the HRESULT 0x800A0000 + n, and the
// engine's Errors collection is replaced by a list holding that one error (number, description, source).
// Calls that succeed leave the list as it was. Inside the layer a failure is a `dao::error` (or a
// `jet::error` from the engine below, which carries the same kind of number); the boundary of each call
// turns it into the HRESULT and the list entry.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/jet/error.h"

namespace dao {

// The numbers of DAO errors, named: the engine's table (platform/jet/error.h) holds them and their texts.
namespace err = jet::dao_error;

// The HRESULT of DAO error n.
constexpr int32_t hresult_of(int number) { return static_cast<int32_t>(0x800A0000u + static_cast<uint32_t>(number)); }

// DAO's description of error n; `name` fills the place where the text names an object.
std::wstring error_text(int number, const std::wstring& name = std::wstring());

class error : public std::runtime_error {
 public:
  // The text DAO gives for the number, naming `name` where it names an object.
  explicit error(int number, const std::wstring& name = std::wstring());
  // A number with a description of the caller's own.
  error(int number, const std::wstring& description, bool /*own_text*/);
  int number() const { return number_; }
  const std::wstring& description() const { return description_; }

 private:
  int number_;
  std::wstring description_;
};

[[noreturn]] void fail(int number, const std::wstring& name = std::wstring());

// One entry of the Errors collection.
struct error_entry {
  int32_t number = 0;
  std::wstring description;
  std::wstring source;  // the object kind that failed, as DAO names it ("DAO.Database", ...)
};

// The Errors list of one engine, shared by every object made under it.
class error_list {
 public:
  // Replaces the list by one entry and returns the HRESULT of the number.
  int32_t replace(int number, const std::wstring& description, const std::wstring& source);
  const std::vector<error_entry>& entries() const { return entries_; }

 private:
  std::vector<error_entry> entries_;
};

using error_list_ptr = std::shared_ptr<error_list>;

// Runs `body` as one DAO call: returns 0 (S_OK) when it completes, else the failure's HRESULT after replacing
// `errors` by the failure (dao::error, jet::error, allocation failure; anything else is error 3001).
template <class F>
int32_t guarded(const error_list_ptr& errors, const wchar_t* source, F&& body);

// The part of `guarded` that classifies the exception in flight.
int32_t record_current_exception(error_list& errors, const wchar_t* source);

template <class F>
int32_t guarded(const error_list_ptr& errors, const wchar_t* source, F&& body) {
  try {
    body();
    return 0;
  } catch (...) {
    return record_current_exception(*errors, source);
  }
}

}  // namespace dao
