// The strict verifier: proves that a file is sound, page by page.
//
// Checks: the header decodes; every page is either free in the global map or owned by exactly one
// object (header, global map, a TDEF chain, map-row pages, usage bitmap pages, a table's data pages,
// a long-value column's LVAL pages, an index's pages), and no owned page is marked free; each
// table's owned map lists data pages of that table, its free-space map is a subset of it; data page
// free-space fields agree with their offsets; every row decodes (long values included); TDEF row
// counts and AutoNumber counters agree with the rows; every index tree is sound (masks, free space,
// order, links, node keys; see index_scan.h), its usage map lists exactly its pages, and it holds
// exactly one entry per row whose key equals the key re-encoded from the row; unique indexes hold no
// duplicate keys; catalog Ids name TDEF pages. Rows stay within the generation's size and, in Jet 3,
// carry the jump table their offsets call for; Jet 3 definition pages carry their tag; index flags
// are those of the generation; the file is within the generation's size limit.
//
// Findings that Access itself leaves in its files (stale row counts, index statistics and
// AutoNumber counters above the largest value) are reported as notes, not problems: files written by
// this library must have neither, Access-made files may have notes.
#pragma once

#include <string>
#include <vector>

namespace jet {

struct verify_report {
  std::vector<std::string> problems;
  std::vector<std::string> notes;
  bool unsupported = false;  // a generation this library cannot read (reported in problems[0])
  bool ok() const { return problems.empty(); }
  std::string text() const;
};

verify_report verify_file(const std::string& path);

class database_reader;

// The structure a change to an existing file builds on, checked by the same rules as verify_file leaving the
// rows out: every page an object uses lies inside the file and belongs to that object alone, every usage map
// lists pages of the kind and owner it claims, every table of the catalog has a readable definition, every
// index tree is listed exactly by its usage map and names only rows its table holds (a tree that is otherwise
// unsound is one a change rebuilds), and the global
// map marks free exactly the pages no object owns. About one read of every page of the file. Returns the
// problems found, in the verifier's words; none for a sound file.
std::vector<std::string> check_structure(const database_reader& db);

}  // namespace jet
