// Column types and the engine's own value type.
//
// `column_type` holds the type codes exactly as the TDEF column block stores them. `value` is what
// rows are made of: one of null, yes/no, the integer widths, single, double, currency (an int64
// counting 1/10,000), date/time (days since 1899-12-30 as a double), decimal (sign, scale and a
// 96-bit magnitude), GUID (16 bytes in the row's layout), text (wide string) or bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace jet {

enum class column_type : uint8_t {
  boolean = 0x01,
  byte = 0x02,
  integer = 0x03,
  long_integer = 0x04,
  currency = 0x05,
  single = 0x06,
  double_ = 0x07,
  datetime = 0x08,
  binary = 0x09,
  text = 0x0A,
  ole = 0x0B,
  memo = 0x0C,
  guid = 0x0F,
  decimal = 0x10,
  complex = 0x12,
  big_integer = 0x13,
};

// True for the types whose value lives in the row's fixed area (yes/no lives in the null mask).
bool is_fixed_type(column_type t);
// Bytes a fixed type occupies in the fixed area (0 for yes/no and for variable types).
uint32_t fixed_type_size(column_type t);
// True for memo and OLE: values are long values (12-byte header in the row).
bool is_long_value_type(column_type t);
// True for types whose values are text (text, memo).
bool is_text_type(column_type t);
// A short English name of the type ("Long", "Text", ...), for messages and dumps.
const char* column_type_name(column_type t);
// True when `code` is a type code this library knows.
bool is_known_column_type(uint8_t code);

struct currency {
  int64_t scaled = 0;  // value × 10,000
  friend bool operator==(const currency&, const currency&) = default;
};

struct datetime {
  double days = 0;  // days since 1899-12-30; time of day is the fraction (sign follows the day)
  friend bool operator==(const datetime&, const datetime&) = default;
};

struct decimal {
  bool negative = false;
  uint8_t scale = 0;                  // digits after the point
  std::array<uint32_t, 3> magnitude{};  // unscaled value: [0] most significant 32 bits ... [2] least
  friend bool operator==(const decimal&, const decimal&) = default;
};

struct guid {
  std::array<uint8_t, 16> bytes{};  // Windows layout: Data1, Data2, Data3 little-endian, then Data4
  friend bool operator==(const guid&, const guid&) = default;
};

using bytes = std::vector<uint8_t>;

class value {
 public:
  // The alternatives, in this order; `kind()` returns the index.
  enum class kind : uint8_t {
    null, boolean, byte, integer, long_integer, big_integer, single, double_, currency, datetime,
    decimal, guid, text, binary,
  };
  using storage = std::variant<std::monostate, bool, uint8_t, int16_t, int32_t, int64_t, float, double,
                               jet::currency, jet::datetime, jet::decimal, jet::guid, std::wstring, bytes>;

  value() = default;
  static value null() { return value(); }
  static value boolean(bool b) { return value(storage(std::in_place_index<1>, b)); }
  static value byte(uint8_t v) { return value(storage(std::in_place_index<2>, v)); }
  static value integer(int16_t v) { return value(storage(std::in_place_index<3>, v)); }
  static value long_integer(int32_t v) { return value(storage(std::in_place_index<4>, v)); }
  static value big_integer(int64_t v) { return value(storage(std::in_place_index<5>, v)); }
  static value single(float v) { return value(storage(std::in_place_index<6>, v)); }
  static value double_(double v) { return value(storage(std::in_place_index<7>, v)); }
  static value currency(jet::currency v) { return value(storage(std::in_place_index<8>, v)); }
  static value datetime(jet::datetime v) { return value(storage(std::in_place_index<9>, v)); }
  static value decimal(jet::decimal v) { return value(storage(std::in_place_index<10>, v)); }
  static value guid(jet::guid v) { return value(storage(std::in_place_index<11>, v)); }
  static value text(std::wstring v) { return value(storage(std::in_place_index<12>, std::move(v))); }
  static value binary(bytes v) { return value(storage(std::in_place_index<13>, std::move(v))); }

  kind kind_of() const { return static_cast<kind>(data_.index()); }
  bool is_null() const { return data_.index() == 0; }

  bool as_bool() const { return std::get<1>(data_); }
  uint8_t as_byte() const { return std::get<2>(data_); }
  int16_t as_integer() const { return std::get<3>(data_); }
  int32_t as_long() const { return std::get<4>(data_); }
  int64_t as_big() const { return std::get<5>(data_); }
  float as_single() const { return std::get<6>(data_); }
  double as_double() const { return std::get<7>(data_); }
  jet::currency as_currency() const { return std::get<8>(data_); }
  jet::datetime as_datetime() const { return std::get<9>(data_); }
  const jet::decimal& as_decimal() const { return std::get<10>(data_); }
  const jet::guid& as_guid() const { return std::get<11>(data_); }
  const std::wstring& as_text() const { return std::get<12>(data_); }
  const bytes& as_binary() const { return std::get<13>(data_); }

  const storage& data() const { return data_; }
  friend bool operator==(const value& a, const value& b) { return a.data_ == b.data_; }

 private:
  explicit value(storage s) : data_(std::move(s)) {}
  storage data_;
};

// The value kind a column of type `t` stores (null for unknown types).
value::kind natural_kind(column_type t);

// A readable rendering of a value for messages and test failures ("Null", "42", "'abc'", "0x0102").
std::string describe(const value& v);

}  // namespace jet
