// One value of one DAO field (`dao_field`), one row as a list of them (`dao_record`), the mappings between
// variant kinds and DAO field types, and `dao_get_valid_variant`, which turns the integer kinds DAO does not
// store (VT_I1, VT_UI2, VT_UI4, VT_I8, VT_UI8) into kinds it does, through their text.
#pragma once

#include <memory>
#include <string>

#include "OLE/ole_ptr.h"
#include "UDB/udb_rec.h"
#include "platform/dao/dao.h"

class dao_field : public udb_field {
 public:
  // Reads name, size, type, required, attributes and the current value of the DAO field.
  explicit dao_field(_DAOField* field);
  ~dao_field() override;

  // The DAO field type of a column description (ole_type_exception for a kind Access cannot hold).
  static short get_native_type(const t_ftd& column);
  // The size of the DAO field for the column. Text sizes count UTF-16 units: a column whose characters may lie
  // outside the BMP gets two units per character, up to the 255 a Text field holds (Text or Memo is still
  // decided by its characters).
  static int32_t get_native_size(const t_ftd& column);
  // The variant kind of a DAO field type.
  static VARTYPE get_vartype(short dao_type);

  VARTYPE get_type() const override;
  // Text forms; DAO's day zero 1899-12-30 prints as 0000-00-00 (a bare day zero as the time 00:00:00).
  std::string to_string() const override;
  std::wstring to_wstring() const override;

 private:
  ole_com_ptr<_DAOField> field_;
};

class dao_record : public udb_record {
 public:
  explicit dao_record(DAOFields* fields);
  ~dao_record() override;

 private:
  ole_com_ptr<DAOFields> fields_;
};

ole_variant dao_get_valid_variant(const ole_variant& value);
