// The engine-neutral description of data: a row travels as a udb_record (a list of udb_field values), a table's
// structure as a udb_schema (a list of t_ftd column descriptors). Engines fill them when they read and consume
// them when they write; the conversion run compares a source schema with an existing destination schema
// (udb_schema::conform_to) before it merges rows into an existing table.
//
// Ownership: a record owns its fields (it deletes them when it is reset or destroyed, through their virtual
// destructors, so engine field classes may derive from udb_field); a record cannot be copied. A schema holds its
// descriptors by value. Lookups by name ignore case (TK/tk_nocase.h) and return the first match. A lookup that finds
// nothing never fails: find_field answers false, get_field/get_field1/get_field2 return an empty object that
// cannot be written, and the find_* forms return null.
//
// Sub-kind codes (t_ftd::reserved), whose meaning depends on vartype:
//   VT_DATE: 1 date and time, 2 date only, 3 time only, 9 default is the current date and time, 10 default is the
//            current date, 11 default is the current time
//   VT_I8/VT_UI8: 1 signed 64-bit, 2 unsigned 64-bit
//   VT_BSTR: 2 or 8 geometry text, 16 fixed-width text; 1 with size 38 a GUID text
//   binary kinds: 8 store as memo text in Access
//   any: 0 none, 101 Access attachment field
// A code not listed is carried along unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "OLE/ole_var.h"

// Column sub-kinds (t_ftd::reserved).
enum : int32_t {
  udb_kind_none = 0,
  udb_kind_datetime = 1,
  udb_kind_date = 2,
  udb_kind_time = 3,
  udb_kind_default_now = 9,
  udb_kind_default_date = 10,
  udb_kind_default_time = 11,
  udb_kind_signed64 = 1,
  udb_kind_unsigned64 = 2,
  udb_kind_guid_text = 1,
  udb_kind_geometry = 2,
  udb_kind_geometry_alt = 8,
  udb_kind_fixed_text = 16,
  udb_kind_binary_as_memo = 8,
  udb_kind_attachment = 101,
};

// Type classes of column types: the numbers (VT_INT and VT_UINT not among them) and the byte strings.
bool udb_is_numeric_type(VARTYPE vt);
bool udb_is_binary_type(VARTYPE vt);

// One named cell value: the value (its VARIANT type is the field's type), the column's declared size, its name
// and whether the column refuses NULL or numbers itself.
class udb_field : public ole_variant {
 public:
  udb_field();
  udb_field(std::wstring name, uint32_t size, const ole_variant& value, bool not_null, bool auto_increment);
  udb_field(const udb_field& that);
  udb_field& operator=(const udb_field& that);
  ~udb_field() override;

  // The type of the value; engine fields may answer a column type for a value that is still empty.
  virtual VARTYPE get_type() const;
  // For a one-dimensional byte array, its element count; else, when get_type() is VT_BSTR, the length of the
  // held text in characters (0 when the value holds no text); else the declared size.
  uint32_t get_size() const;
  const std::wstring& get_name() const { return name; }

  uint32_t size = 0;
  std::wstring name;
  bool b_not_null = false;
  bool auto_increment = false;
};

// One row: an ordered list of fields, which it owns. Entries may be null (an engine that could not build a cell).
class udb_record {
 public:
  udb_record();
  virtual ~udb_record();
  udb_record(const udb_record&) = delete;
  udb_record& operator=(const udb_record&) = delete;
  udb_record(udb_record&&) noexcept;
  udb_record& operator=(udb_record&&) noexcept;

  void push_back(std::unique_ptr<udb_field> field);
  std::size_t size() const { return fields_.size(); }
  bool empty() const { return fields_.empty(); }
  // The entry at i (null for a null entry); at() throws std::out_of_range "invalid vector subscript" past the end.
  udb_field* operator[](std::size_t i) const { return fields_[i].get(); }
  udb_field* at(std::size_t i) const;
  std::vector<std::unique_ptr<udb_field>>::const_iterator begin() const { return fields_.begin(); }
  std::vector<std::unique_ptr<udb_field>>::const_iterator end() const { return fields_.end(); }

  bool find_field(const std::wstring& name) const;
  // The first field of that name, or an empty field (shared, read-only) when there is none.
  const udb_field& get_field(const std::wstring& name) const;
  // The first field of that name, or null.
  udb_field* find(const std::wstring& name) const;
  // Sum of get_size() over the fields whose get_type() is not VT_EMPTY; null entries are skipped.
  uint32_t get_total_size() const;
  // Deletes every field and empties the record.
  void reset();

 private:
  std::vector<std::unique_ptr<udb_field>> fields_;
};

// The descriptor of one column.
struct t_ftd {
  t_ftd();
  // From a field: size, type, name and flags of the field; no native type, no description.
  t_ftd(const udb_field& field, const ole_variant& def_value, int32_t reserved);
  t_ftd(int32_t size, std::wstring name, VARTYPE vartype, bool not_null, bool auto_increment,
        const ole_variant& def_value, int32_t reserved, std::wstring native_type);

  // Same column type: VT_DECIMAL and VT_CY count as one type; two texts must also have the same size.
  bool operator==(const t_ftd& that) const;
  // May a column described by this (the source) be copied into the column that (the destination)?
  bool conform_to(const t_ftd& that) const;

  int32_t size = 0;  // characters for text, bytes for binary; 0 = unlimited or unknown
  // Text whose character set holds characters outside the Basic Multilingual Plane: each may take two UTF-16
  // units in a destination that counts those.
  bool beyond_bmp = false;
  int32_t precision = 0;
  int32_t scale = 0;
  std::wstring name;
  VARTYPE vartype = VT_EMPTY;
  std::wstring native_type;  // when set, the column's type text for a MySQL destination
  bool auto_increment = false;
  bool b_not_null = false;
  ole_variant def_value;  // VT_EMPTY = no default
  int32_t reserved = 0;   // sub-kind, see above
  std::wstring description;
};

// The columns of one table or query, in order.
class udb_schema {
 public:
  udb_schema();
  virtual ~udb_schema();
  udb_schema(const udb_schema&);
  udb_schema& operator=(const udb_schema&);
  udb_schema(udb_schema&&) noexcept;
  udb_schema& operator=(udb_schema&&) noexcept;

  void push_back(t_ftd column) { columns_.push_back(std::move(column)); }
  std::size_t size() const { return columns_.size(); }
  bool empty() const { return columns_.empty(); }
  const t_ftd& operator[](std::size_t i) const { return columns_[i]; }
  t_ftd& operator[](std::size_t i) { return columns_[i]; }
  // Throw std::out_of_range "invalid vector subscript" past the end.
  const t_ftd& at(std::size_t i) const;
  t_ftd& at(std::size_t i);
  std::vector<t_ftd>::const_iterator begin() const { return columns_.begin(); }
  std::vector<t_ftd>::const_iterator end() const { return columns_.end(); }
  std::vector<t_ftd>::iterator begin() { return columns_.begin(); }
  std::vector<t_ftd>::iterator end() { return columns_.end(); }
  void clear() { columns_.clear(); }

  bool find_field(const std::wstring& name) const;
  // The descriptor of that name, or an empty descriptor (shared, read-only) when there is none.
  const t_ftd& get_field1(const std::wstring& name) const;
  const t_ftd& get_field2(const std::wstring& name) const;
  // The descriptor of that name, or null: the form to refine a descriptor in place.
  t_ftd* find_descriptor(const std::wstring& name);
  const t_ftd* find_descriptor(const std::wstring& name) const;
  // The size of that column, or -1 when there is none.
  int32_t get_field_size(const std::wstring& name) const;
  // The vartype of that column, or VT_NULL when there is none.
  VARTYPE get_field_type(const std::wstring& name) const;

  // May rows of this (the source) be copied into a table of schema that (the destination)? Both must have as
  // many columns, and each source column must conform to its destination column, taken at the same position or,
  // when by_name, of the same name.
  bool conform_to(const udb_schema& that, bool by_name) const;

  // The highest auto-number value the source table held when its schema was read (0 when unknown).
  int32_t last_autonumber = 0;

 private:
  std::vector<t_ftd> columns_;
};
