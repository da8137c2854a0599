// DAO error numbers and texts, the error the DAO layer raises internally, and the Errors list content.
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

namespace dao {

// Numbers of the errors the DAO layer raises itself (the storage engine raises its own, same numbering).
namespace err {
inline constexpr int invalid_argument = 3001;
inline constexpr int update_without_addnew = 3020;
inline constexpr int no_current_record = 3021;
inline constexpr int duplicate_key = 3022;
inline constexpr int file_not_found = 3024;
inline constexpr int read_only = 3027;
inline constexpr int not_valid_path = 3044;
inline constexpr int too_few_parameters = 3061;
inline constexpr int syntax_in_expression = 3075;
inline constexpr int ambiguous_field = 3079;
inline constexpr int undefined_function = 3085;
inline constexpr int not_in_aggregate = 3122;
inline constexpr int type_mismatch_in_criteria = 3464;
inline constexpr int overflow = 6;
inline constexpr int division_by_zero = 11;
inline constexpr int invalid_use_of_null = 94;
inline constexpr int input_table_not_found = 3078;
inline constexpr int syntax_expected_select = 3129;
inline constexpr int syntax_from = 3131;
inline constexpr int syntax_select = 3141;
inline constexpr int characters_after_end = 3142;
inline constexpr int field_too_small = 3163;
inline constexpr int operation_not_supported = 3251;
inline constexpr int item_not_found = 3265;
inline constexpr int property_not_found = 3270;
inline constexpr int required_null = 3314;
inline constexpr int unrecognized_format = 3343;
inline constexpr int numeric_overflow = 3349;
inline constexpr int relation_without_fields = 3366;
inline constexpr int already_in_collection = 3367;
inline constexpr int object_invalid = 3420;
inline constexpr int conversion_error = 3421;
inline constexpr int invalid_operation = 3219;
inline constexpr int type_mismatch = 13;          // DAO's "Type mismatch." for a wrong argument kind
inline constexpr int invalid_procedure_call = 5;  // "Invalid procedure call or argument." (null pointers)
inline constexpr int no_such_interface = 430;     // "Class does not support Automation or does not support
                                                  //  expected interface."
}  // namespace err

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
