// `dao_recordset`: a DAO Recordset over one table (with its schema and indexes read back from the file) or
// over a query text (schema only), appending rows and reading them.
//
// Appending: one AddNew, one value per column (matched by position) and one Update per row; a refused row raises
// dao_exception (level 0) and the recordset goes on; a text too long for its Text field is refused naming the
// column, its length in UTF-16 units and the field's size before DAO's own text. Each destination column's place in the recordset is found by
// its name once, at the first row; a column the recordset does not list is addressed by its name at every row
// (so DAO refuses each record as it would).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "OLE/ole_ptr.h"
#include "UDB/udb_db.h"
#include "access/dao_rec.h"
#include "platform/dao/dao.h"

class dao_recordset : public udb_recordset {
 public:
  // The table form (every table the run writes) and the query form.
  dao_recordset(udb_database* database, const std::wstring& name, DAORecordset* recordset, _DAOTableDef* table);
  dao_recordset(udb_database* database, const std::wstring& name, const std::wstring& query,
                DAORecordset* recordset, _DAOQueryDef* query_def, uint32_t count);
  ~dao_recordset() override;

  void append_record(const udb_record& record) override;
  udb_record* get_item() override;
  bool is_eof() override { return end_ != VARIANT_FALSE; }
  void next() override;
  int32_t prev() override;
  void reset() override;

  uint32_t record_count() const { return count_; }

 private:
  void init_schema(_DAOTableDef* table);
  void init_schema(_DAOQueryDef* query);
  void init_indexes(_DAOTableDef* table);
  void resolve_items();

  uint32_t count_ = 0;
  VARIANT_BOOL end_ = VARIANT_TRUE;
  std::unique_ptr<dao_record> current_;
  std::vector<ole_variant> items_;  // per schema column: its position in the recordset, or its name
  ole_com_ptr<DAORecordset> recordset_;
  ole_com_ptr<_DAOTableDef> table_;
  ole_com_ptr<_DAOQueryDef> query_;
};
