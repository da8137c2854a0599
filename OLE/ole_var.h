// ole_variant: the one value type of the system. Every cell read from MySQL and every value written to Access
// travels as one.
//
// It wraps a VARIANT (platform/oleaut) and adds: 64-bit integers kept beside it (VT_I8 in i64_value, VT_UI8 in
// ui64_value; the VARIANT's llVal/ullVal hold a copy), dates kept as an ole_date with microseconds beside the
// VARIANT's serial, byte arrays made from and printed as hexadecimal text, and type changes with rules of their
// own. Binary values are VT_ARRAY|VT_UI1 (also VT_BLOB / VT_BLOB_OBJECT): a one-dimensional byte array with lower
// bound 0; an empty array is a zero-length binary value, not NULL. Booleans are -1 (true) and 0 (false).
//
// Texts: narrow text is UTF-8 (the "ANSI code page" of this system), wide text is one wchar_t per code point.
// Every number text is locale-free: '.' as decimal point, no grouping.
//
// VT_DATE: the ole_date and the serial agree. A date that has no serial (a year below 100, an impossible date, a
// negative time) never becomes a VT_DATE value: it becomes VT_EMPTY (NULL). A MySQL zero date is day zero (0.0)
// and a TIME value is a duration from day zero; see ole_date.h.
//
// Failures: impossible conversions raise ole_cast_exception (level 0), unsupported kinds ole_type_exception
// (level 1), both from OLE/ole_misc.h; a failed platform allocation is an internal error (tk_mail_assertion).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "OLE/ole_date.h"
#include "OLE/ole_misc.h"
#include "platform/oleaut/types.h"

// Binary values hold at most this many bytes in their hexadecimal and text forms.
constexpr std::size_t ole_max_binary_text = 120000000;

class ole_variant {
 public:
  ole_variant();
  ole_variant(const ole_variant& that);
  ole_variant(ole_variant&& that) noexcept;
  ole_variant(short value);                    // VT_I2
  ole_variant(unsigned short value);           // VT_UI2
  ole_variant(int value);                      // VT_I4
  ole_variant(unsigned int value);             // VT_UI4
  ole_variant(long value);                     // VT_I8
  ole_variant(unsigned long value);            // VT_UI8
  ole_variant(long long value);                // VT_I8
  ole_variant(unsigned long long value);       // VT_UI8
  ole_variant(signed char value);              // VT_I1
  ole_variant(unsigned char value);            // VT_UI1
  ole_variant(float value);                    // VT_R4
  ole_variant(double value);                   // VT_R8
  ole_variant(bool value);                     // VT_BOOL
  ole_variant(const CY& value);                // VT_CY
  ole_variant(const DECIMAL& value);           // VT_DECIMAL
  ole_variant(const ole_date& value);          // VT_DATE, or VT_EMPTY when the date has no serial value
  ole_variant(const std::wstring& text);       // VT_BSTR
  ole_variant(const wchar_t* text);            // VT_BSTR of a NUL-terminated text (null: empty text)
  ole_variant(const std::string& text);        // VT_BSTR from UTF-8
  ole_variant(const char* text);               // VT_BSTR from NUL-terminated UTF-8 (null: empty text)
  ole_variant(const std::vector<uint8_t>& bytes);  // VT_ARRAY|VT_UI1
  // A copy of a platform string, all its characters (embedded NULs included).
  static ole_variant from_bstr(BSTR text);
  // A copy of a platform value (VT_I8/VT_UI8 from llVal/ullVal; VT_DATE gets its ole_date from the serial).
  static ole_variant from_variant(const VARIANT& value);
  virtual ~ole_variant();

  ole_variant& operator=(const ole_variant& that);
  ole_variant& operator=(ole_variant&& that) noexcept;
  ole_variant& operator=(const std::vector<uint8_t>& bytes);
  // Exchanges the two values whole (tag, payload, the 64-bit integers and the date); nothing is copied.
  void swap(ole_variant& that) noexcept;

  VARTYPE vt() const { return variant.vt; }
  bool is_empty() const { return variant.vt == VT_EMPTY || variant.vt == VT_NULL; }

  // Make the value a VT_BSTR text (from UTF-8, or wide).
  void attach_string(std::string_view text);
  void attach_wstring(std::wstring_view text);
  // Make the value a VT_ARRAY|VT_UI1 of these bytes (zero bytes give an empty binary value).
  void attach_binary(const std::vector<uint8_t>& bytes);
  void attach_binary(const void* bytes, std::size_t count);
  // Make the value a byte array of `size` elements: a held one-dimensional byte array is resized (its content
  // kept), anything else is replaced by a new zeroed array.
  void allocate_safe_array(uint32_t size);

  // Changes the kind in place (the rules are in ole_var_change.cpp's change_type). Raises ole_cast_exception.
  void change_type(VARTYPE new_type);

  // A value of `type` from text. An empty text gives VT_EMPTY (an empty text for VT_BSTR). Numbers read by the
  // C rules ("12abc" is 12; ',' is read as '.' for floating, currency and decimal kinds), except that an integer
  // beyond the range of its kind raises ole_cast_exception instead of wrapping or clamping; a VT_DECIMAL text that
  // does not fit a DECIMAL exactly becomes a VT_R8; binary kinds read hexadecimal ("0x0A1b", "\x0a", "0A1B");
  // VT_DATE reads an ole_date (VT_EMPTY when it has no serial value); VT_BOOL reads "1", "yes", "t", "true" /
  // "0", "no", "f", "false" in any case, else a non-zero integer is true. Other kinds convert the text with
  // VariantChangeType; failure raises ole_type_exception.
  static ole_variant from_string(std::string_view text, VARTYPE type);
  // The same value taken into this one in place (no temporary): what `*this = from_string(text, type)` gives. After a
  // text that raises, the value is not to be used.
  void assign_string(std::string_view text, VARTYPE type);
  static ole_variant from_wstring(std::wstring_view text, VARTYPE type);

  // Text forms: integers in decimal, VT_R4 "%.6e", VT_R8 "%.16e" (NaN prints "0"), currency and decimals exact,
  // dates by ole_date::to_string(6), booleans "1"/"0", binary "0x" and two upper-case hex digits per byte (empty
  // for no bytes), VT_EMPTY/VT_NULL and other kinds the empty text.
  virtual std::string to_string() const;
  // The text itself for VT_BSTR, the hexadecimal form for binary, to_string() widened otherwise.
  virtual std::wstring to_wstring() const;

  // True for a non-zero number (NaN included; decimals and currency compared exactly with zero) and for
  // VT_BOOL -1; false for every other kind.
  bool to_bool() const;
  // The value as a 32-bit integer: doubles truncated toward zero, currency and decimals rounded half to even,
  // booleans 1/0, other kinds 0. A value outside the 32-bit range raises ole_cast_exception.
  int32_t to_long() const;

  // Text (as UTF-8) or binary (as hexadecimal) from `position` (characters or bytes), at most `length` of them,
  // written with a terminator into buffer[0, capacity); fewer are taken when the buffer is short. Returns the
  // number of bytes written for a text, or of source bytes for a binary; 0 for other kinds and past the end.
  std::size_t get_at(char* buffer, std::size_t capacity, std::size_t position, std::size_t length) const;
  // The value's bytes: a binary value's own array (valid while the value holds it), or a text's UTF-8 in
  // *storage. Returns the byte count; 0 for VT_EMPTY/VT_NULL. Other kinds are an internal error.
  std::size_t get_bytes(const uint8_t** data, std::string* storage) const;
  // The element count of a one-dimensional array, else 0.
  static std::size_t get_safe_array_size(const SAFEARRAY* array);

  int64_t i64_value = 0;   // the value while the tag is VT_I8
  uint64_t ui64_value = 0;  // the value while the tag is VT_UI8
  ole_date date;            // the value while the tag is VT_DATE
  VARIANT variant;          // tag and payload

 private:
  void init();
  void clear();
  // Frees the payload and leaves the tag VT_BSTR with no string yet, for a new string to be attached.
  void clear_for_string();
  void copy_from(const ole_variant& that);
  void move_from(ole_variant& that) noexcept;
  void set_i64(int64_t value);
  void set_ui64(uint64_t value);
  void set_date(const ole_date& value);
  void change_from_64(VARTYPE new_type);
  void change_to_64(VARTYPE new_type);
  void change_to_small_int(VARTYPE new_type);
  void change_binary_to_text();
  void change_to_binary();
  std::vector<uint8_t> own_bytes() const;
};

// True for the numeric tags VT_I2, I4, R4, R8, CY, BOOL, DECIMAL, I1, UI1, UI2, UI4, I8, UI8, INT, UINT.
bool is_numeric_vartype(VARTYPE type);
// True for VT_DATE and VT_BSTR.
bool is_date_or_string_vt(VARTYPE type);
// True for the binary tags VT_BLOB, VT_BLOB_OBJECT and VT_ARRAY|VT_UI1.
bool is_binary_vartype(VARTYPE type);
