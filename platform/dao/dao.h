// The DAO object model: the engine, its databases, the catalogue collections, recordsets, errors and
// properties, with the interface names, methods and argument shapes of the published DAO interfaces that
// the Access engine calls, over this system's own Access database engine.
//
// Shape (as COM): every object counts references (AddRef/Release; the out-parameter of a creating call
// takes the one reference the object is born with), answers QueryInterface for its own interface id and
// IUnknown/IDispatch, and every method returns an HRESULT: S_OK, or 0x800A0000 + the DAO error number after
// replacing the engine's Errors collection with that one error. Successful calls leave Errors alone.
// Arguments are VARIANTs and BSTRs as in DAO; out-parameter BSTRs and VARIANTs belong to the caller.
//
// Only the calls this system makes exist; everything else of DAO is absent. Statements are Access SELECT statements
// (platform/dao/sql_query.h). Objects below a database become invalid (3420) once it is closed.
//
// Engines are made per file format (`DAOCreateEngine`): Jet 3 (Access 95/97 .mdb), Jet 4 (Access 2000
// .mdb) and ACE (.accdb). CreateDatabase makes a file of the engine's format; OpenDatabase opens any.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dao/object.h"
#include "platform/dao/storage.h"
#include "platform/oleaut/types.h"

// DAO constants used by callers.
inline constexpr short dbBoolean = 1, dbByte = 2, dbInteger = 3, dbLong = 4, dbCurrency = 5, dbSingle = 6,
                       dbDouble = 7, dbDate = 8, dbBinary = 9, dbText = 10, dbLongBinary = 11, dbMemo = 12,
                       dbGUID = 15, dbBigInt = 16, dbVarBinary = 17, dbChar = 18, dbNumeric = 19,
                       dbDecimal = 20, dbFloat = 21, dbTime = 22, dbTimeStamp = 23, dbAttachment = 101;
inline constexpr int32_t dbFixedField = 0x1, dbVariableField = 0x2, dbAutoIncrField = 0x10,
                         dbUpdatableField = 0x20;
inline constexpr int32_t dbOpenTable = 1, dbOpenDynaset = 2, dbOpenSnapshot = 4;
inline constexpr int32_t dbDenyWrite = 1, dbReadOnly = 4, dbAppendOnly = 8;
inline constexpr int32_t dbUpdateRegular = 1;

// Interface ids (this layer's own values).
extern const IID IID__DBEngine, IID_DAODatabase, IID_DAOTableDefs, IID__DAOTableDef, IID_DAOQueryDefs,
    IID__DAOQueryDef, IID_DAOFields, IID__DAOField, IID_DAOIndexes, IID__DAOIndex, IID_DAOIndexFields,
    IID_DAORelations, IID__DAORelation, IID_DAORecordset, IID_DAOErrors, IID_DAOError, IID_DAOProperties,
    IID_DAOProperty;

class DAODatabase;
class DAOTableDefs;
class _DAOTableDef;
class DAOQueryDefs;
class _DAOQueryDef;
class DAOFields;
class _DAOField;
class DAOIndexes;
class _DAOIndex;
class DAOIndexFields;
class DAORelations;
class _DAORelation;
class DAORecordset;
class DAOErrors;
class DAOError;
class DAOProperties;
class DAOProperty;

namespace dao {
struct database_state;
struct tabledef_state;
struct field_state;
struct index_state;
struct relation_state;
struct cursor;
using database_ptr = std::shared_ptr<database_state>;

// Names of tables, fields, indexes and relationships compare as the engine compares them (case-blind beyond
// ASCII), so that a caller finds by name what the engine would refuse as a duplicate.
bool same_name(std::wstring_view a, std::wstring_view b);
// A text's length as a Jet 4 or ACE text field counts it: UTF-16 units.
size_t text_units(const std::wstring& s);
}  // namespace dao

class _DBEngine : public dao::object {
 public:
  explicit _DBEngine(dao::file_format format);
  dao::file_format format() const { return format_; }

  // Name = the file path; Locale = the connect-style locale text (the sort order and code page are those of
  // the format: General, code page 1252); Option = VT_I4 0 or VT_EMPTY (no version or encryption option).
  HRESULT CreateDatabase(BSTR Name, BSTR Locale, VARIANT Option, DAODatabase** out);
  // Options = exclusive (VT_BOOL), ReadOnly (VT_BOOL), Connect = "" or ";pwd=<password>".
  HRESULT OpenDatabase(BSTR Name, VARIANT Options, VARIANT ReadOnly, VARIANT Connect, DAODatabase** out);
  HRESULT get_Errors(DAOErrors** out);

  // Opens a database over a storage the caller made (a file opened by other means, or a test's storage).
  HRESULT attach_storage(const std::wstring& path, std::unique_ptr<dao::storage> store, DAODatabase** out);

 private:
  const wchar_t* source() const override { return L"DAO.DBEngine"; }
  dao::file_format format_;
};

// Makes the engine of one file format (the stand-in of creating the DBEngine component).
HRESULT DAOCreateEngine(dao::file_format format, _DBEngine** out);

class DAOErrors : public dao::object {
 public:
  explicit DAOErrors(dao::error_list_ptr errors);
  HRESULT get_Count(short* out);
  HRESULT get_Item(VARIANT Item, DAOError** out);

 private:
  const wchar_t* source() const override { return L"DAO.Errors"; }
};

class DAOError : public dao::object {
 public:
  DAOError(dao::error_list_ptr errors, dao::error_entry entry);
  HRESULT get_Number(int32_t* out);
  HRESULT get_Description(BSTR* out);
  HRESULT get_Source(BSTR* out);

 private:
  const wchar_t* source() const override { return L"DAO.Error"; }
  dao::error_entry entry_;
};

class DAODatabase : public dao::object {
 public:
  explicit DAODatabase(dao::database_ptr db);
  ~DAODatabase() override;

  HRESULT get_Name(BSTR* out);
  // The version of the file's format: "3.0" Jet 3 (Access 95/97), "4.0" Jet 4 (Access 2000), "12.0" ACE.
  HRESULT get_Version(BSTR* out);
  HRESULT get_TableDefs(DAOTableDefs** out);
  HRESULT get_QueryDefs(DAOQueryDefs** out);
  HRESULT get_Relations(DAORelations** out);
  // A new, unappended TableDef (Attributes 0 only; SourceTableName and Connect must be empty).
  HRESULT CreateTableDef(VARIANT Name, VARIANT Attributes, VARIANT SourceTableName, VARIANT Connect,
                         _DAOTableDef** out);
  // Name "" makes a temporary QueryDef (never stored); a named QueryDef cannot be created here (3251).
  HRESULT CreateQueryDef(VARIANT Name, VARIANT SQLText, _DAOQueryDef** out);
  HRESULT CreateRelation(VARIANT Name, VARIANT Table, VARIANT ForeignTable, VARIANT Attributes,
                         _DAORelation** out);
  // Writes everything and ends the database; every object under it becomes invalid. A second Close fails.
  HRESULT Close();

 private:
  const wchar_t* source() const override { return L"DAO.Database"; }
  dao::database_ptr db_;
};

class DAOTableDefs : public dao::object {
 public:
  explicit DAOTableDefs(dao::database_ptr db);
  HRESULT get_Count(short* out);
  // Item: VT_I2/VT_I4 position or VT_BSTR name (ignoring case); 3265 when there is none.
  HRESULT get_Item(VARIANT Item, _DAOTableDef** out);
  // Creates the table of a TableDef made by CreateTableDef; nothing is written when it is refused.
  HRESULT Append(IDispatch* Object);
  HRESULT Delete(BSTR Name);

 private:
  const wchar_t* source() const override { return L"DAO.TableDefs"; }
  dao::database_ptr db_;
};

class _DAOTableDef : public dao::object {
 public:
  _DAOTableDef(dao::database_ptr db, std::shared_ptr<dao::tabledef_state> state);
  HRESULT get_Name(BSTR* out);
  HRESULT get_Attributes(int32_t* out);
  HRESULT get_RecordCount(int32_t* out);
  HRESULT get_Fields(DAOFields** out);
  HRESULT get_Indexes(DAOIndexes** out);
  // Type is a DAO type constant; Size counts characters (text) or bytes (binary).
  HRESULT CreateField(VARIANT Name, VARIANT Type, VARIANT Size, _DAOField** out);
  HRESULT CreateIndex(VARIANT Name, _DAOIndex** out);

  const std::shared_ptr<dao::tabledef_state>& state() const { return state_; }

 private:
  const wchar_t* source() const override { return L"DAO.TableDef"; }
  dao::database_ptr db_;
  std::shared_ptr<dao::tabledef_state> state_;
};

class DAOQueryDefs : public dao::object {
 public:
  explicit DAOQueryDefs(dao::database_ptr db);
  HRESULT get_Count(short* out);
  HRESULT get_Item(VARIANT Item, _DAOQueryDef** out);

 private:
  const wchar_t* source() const override { return L"DAO.QueryDefs"; }
  dao::database_ptr db_;
};

class _DAOQueryDef : public dao::object {
 public:
  // A stored query (has_sql false when its text cannot be rebuilt) or a temporary one.
  _DAOQueryDef(dao::database_ptr db, std::wstring name, std::wstring sql, bool has_sql);
  HRESULT get_Name(BSTR* out);
  HRESULT get_SQL(BSTR* out);
  // The columns the statement returns (Name, Type, Size, DefaultValue, Properties).
  HRESULT get_Fields(DAOFields** out);
  // Type: dbOpenDynaset (VT_I2 or VT_I4); Options: dbAppendOnly, dbReadOnly, dbDenyWrite or 0.
  HRESULT OpenRecordset(VARIANT Type, VARIANT Options, DAORecordset** out);

 private:
  const wchar_t* source() const override { return L"DAO.QueryDef"; }
  dao::database_ptr db_;
  std::wstring name_, sql_;
  bool has_sql_;
};

class DAOFields : public dao::object {
 public:
  // The fields of a TableDef, an Index, a Relation, a QueryDef or the current row of a Recordset.
  DAOFields(dao::database_ptr db, std::vector<dao::ref<_DAOField>> fields, bool appendable,
            std::shared_ptr<dao::tabledef_state> owner = nullptr);
  HRESULT get_Count(short* out);
  HRESULT get_Item(VARIANT Item, _DAOField** out);
  HRESULT Append(IDispatch* Object);

  std::vector<dao::ref<_DAOField>>& items() { return fields_; }

 private:
  const wchar_t* source() const override { return L"DAO.Fields"; }
  dao::database_ptr db_;
  std::vector<dao::ref<_DAOField>> fields_;
  bool appendable_;
  std::shared_ptr<dao::tabledef_state> owner_;
};

class _DAOField : public dao::object {
 public:
  _DAOField(dao::database_ptr db, std::shared_ptr<dao::field_state> state);
  HRESULT get_Name(BSTR* out);
  HRESULT get_Type(short* out);
  HRESULT get_Size(int32_t* out);
  HRESULT get_Attributes(int32_t* out);
  HRESULT put_Attributes(int32_t value);
  HRESULT get_Required(VARIANT_BOOL* out);
  HRESULT put_Required(VARIANT_BOOL value);
  HRESULT get_AllowZeroLength(VARIANT_BOOL* out);
  HRESULT put_AllowZeroLength(VARIANT_BOOL value);
  // The stored expression text (VT_BSTR; "" when none).
  HRESULT get_DefaultValue(VARIANT* out);
  // A text is stored as the expression; numbers, booleans and dates become their literal text; a byte
  // array is refused (3421): Access has no default for binary fields.
  HRESULT put_DefaultValue(VARIANT value);
  // The value in the current row (recordset fields only; 3219 elsewhere, leaving *out VT_EMPTY).
  HRESULT get_Value(VARIANT* out);
  HRESULT get_Properties(DAOProperties** out);
  HRESULT put_ForeignName(BSTR value);
  HRESULT get_ForeignName(BSTR* out);

  const std::shared_ptr<dao::field_state>& state() const { return state_; }

 private:
  const wchar_t* source() const override { return L"DAO.Field"; }
  dao::database_ptr db_;
  std::shared_ptr<dao::field_state> state_;
};

class DAOIndexes : public dao::object {
 public:
  DAOIndexes(dao::database_ptr db, std::shared_ptr<dao::tabledef_state> owner);
  HRESULT get_Count(short* out);
  HRESULT get_Item(VARIANT Item, _DAOIndex** out);
  // An unappended TableDef takes the index into its definition; a stored table gets it built over its
  // rows at once: 3284 name taken, 3283 second primary key, 3264 no fields, 3027 read-only, then the
  // engine's refusals (3265 missing field, 3022 equal keys in a unique index, ...), which change nothing.
  HRESULT Append(IDispatch* Object);
  // Deletes an index of a stored table (or takes it out of an unappended TableDef): 3265 when there is none,
  // 3027 read-only, then the engine's refusals (an index a relationship uses).
  HRESULT Delete(BSTR Name);

 private:
  const wchar_t* source() const override { return L"DAO.Indexes"; }
  dao::database_ptr db_;
  std::shared_ptr<dao::tabledef_state> owner_;
};

class _DAOIndex : public dao::object {
 public:
  _DAOIndex(dao::database_ptr db, std::shared_ptr<dao::index_state> state);
  HRESULT get_Name(BSTR* out);
  HRESULT get_Primary(VARIANT_BOOL* out);
  HRESULT put_Primary(VARIANT_BOOL value);
  HRESULT get_Unique(VARIANT_BOOL* out);
  HRESULT put_Unique(VARIANT_BOOL value);
  HRESULT get_Foreign(VARIANT_BOOL* out);
  // A VT_DISPATCH holding the index's DAOIndexFields.
  HRESULT get_Fields(VARIANT* out);
  HRESULT CreateField(VARIANT Name, VARIANT Type, VARIANT Size, _DAOField** out);

  const std::shared_ptr<dao::index_state>& state() const { return state_; }

 private:
  const wchar_t* source() const override { return L"DAO.Index"; }
  dao::database_ptr db_;
  std::shared_ptr<dao::index_state> state_;
};

class DAOIndexFields : public dao::object {
 public:
  DAOIndexFields(dao::database_ptr db, std::shared_ptr<dao::index_state> state);
  HRESULT get_Count(short* out);
  // A VT_DISPATCH holding the field.
  HRESULT get_Item(VARIANT Item, VARIANT* out);
  HRESULT Append(IDispatch* Object);

 private:
  const wchar_t* source() const override { return L"DAO.IndexFields"; }
  dao::database_ptr db_;
  std::shared_ptr<dao::index_state> state_;
};

class DAORelations : public dao::object {
 public:
  explicit DAORelations(dao::database_ptr db);
  // Writes the relationship of a Relation made by CreateRelation into the file: 3367 appended already,
  // 3366 no fields, 3027 read-only, then the engine's refusals (3012, 3265, 3368, 3173, 3201); a refused
  // relationship changes nothing.
  HRESULT Append(IDispatch* Object);

 private:
  const wchar_t* source() const override { return L"DAO.Relations"; }
  dao::database_ptr db_;
};

class _DAORelation : public dao::object {
 public:
  _DAORelation(dao::database_ptr db, std::shared_ptr<dao::relation_state> state);
  HRESULT get_Name(BSTR* out);
  HRESULT get_Fields(DAOFields** out);
  HRESULT CreateField(VARIANT Name, VARIANT Type, VARIANT Size, _DAOField** out);

  const std::shared_ptr<dao::relation_state>& state() const { return state_; }
  DAOFields& fields() { return *fields_.get(); }

 private:
  const wchar_t* source() const override { return L"DAO.Relation"; }
  dao::database_ptr db_;
  std::shared_ptr<dao::relation_state> state_;
  dao::ref<DAOFields> fields_;
};

class DAORecordset : public dao::object {
 public:
  DAORecordset(dao::database_ptr db, std::shared_ptr<dao::cursor> cursor);
  ~DAORecordset() override;
  // Starts a new row (a pending one is dropped); every column starts Null.
  HRESULT AddNew();
  // Item: the column name (VT_BSTR, ignoring case) or position; the value is converted to the column's type
  // at once: 3421 not convertible, 3349 out of range, 3163 too long.
  HRESULT put_Collect(VARIANT Item, VARIANT Value);
  HRESULT get_Collect(VARIANT Item, VARIANT* out);
  // Stores the pending row: 3020 without AddNew, 3314 Null in a required field, then the engine's checks.
  HRESULT Update(int32_t UpdateType, VARIANT_BOOL Force);
  HRESULT get_EOF(VARIANT_BOOL* out);
  HRESULT get_BOF(VARIANT_BOOL* out);
  HRESULT get_RecordCount(int32_t* out);
  HRESULT MoveFirst();
  HRESULT MoveNext();
  HRESULT MovePrevious();
  HRESULT get_Fields(DAOFields** out);
  HRESULT Close();

 private:
  const wchar_t* source() const override { return L"DAO.Recordset"; }
  dao::database_ptr db_;
  std::shared_ptr<dao::cursor> cursor_;
};

class DAOProperties : public dao::object {
 public:
  DAOProperties(dao::database_ptr db, std::shared_ptr<dao::field_state> field);
  HRESULT get_Count(short* out);
  // Item: the property name; 3270 when the field has no such property.
  HRESULT get_Item(VARIANT Item, DAOProperty** out);

 private:
  const wchar_t* source() const override { return L"DAO.Properties"; }
  dao::database_ptr db_;
  std::shared_ptr<dao::field_state> field_;
};

class DAOProperty : public dao::object {
 public:
  DAOProperty(dao::database_ptr db, std::wstring name, VARIANT value);
  ~DAOProperty() override;
  HRESULT get_Name(BSTR* out);
  HRESULT get_Value(VARIANT* out);

 private:
  const wchar_t* source() const override { return L"DAO.Property"; }
  dao::database_ptr db_;
  std::wstring name_;
  VARIANT value_;
};
