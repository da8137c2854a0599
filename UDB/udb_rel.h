// Foreign-key descriptions: a relationship between a table that holds foreign-key columns and the table they
// reference, and the list of a database's relationships with the generation of a free relationship name.
#pragma once

#include <string>
#include <vector>

#include "UDB/udb_idx.h"

struct udb_relationship {
  udb_relationship() = default;
  udb_relationship(std::wstring name, std::wstring second_name, std::wstring table, std::wstring ref_table,
                   udb_name_list fk_flds, udb_name_list pk_flds, std::wstring rules);
  // Named "FK_" + ref_table + "_" + table, blanks in both table names turned into "_".
  udb_relationship(std::wstring table, std::wstring ref_table, udb_name_list fk_flds, udb_name_list pk_flds,
                   std::wstring rules);

  std::wstring name;
  std::wstring second_name;  // carried along; empty in the relationships the engines build
  std::wstring table;        // holds the foreign key
  std::wstring ref_table;    // the referenced (primary-key) table
  std::wstring rules;        // appended to the constraint, such as " ON DELETE CASCADE"
  udb_name_list fk_flds;     // foreign-key columns
  udb_name_list pk_flds;     // referenced columns, in the same order
};

class udb_relationships : public std::vector<udb_relationship> {
 public:
  // True when no relationship of the list has that name (ignoring case).
  bool is_acceptable_name(const std::wstring& name) const;
  // "FK_" + ref_table + "_" + table (blanks kept); while that name is taken, the next suffix of the cycle
  // "_", "1", "_", "2", "_", "3" is appended (the suffixes accumulate: FK_a_b, FK_a_b_, FK_a_b_1, FK_a_b_1_ ...).
  std::wstring gen_relship_name(const udb_relationship& relationship) const;
};
