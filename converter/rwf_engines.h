// The two database engines as the converter drives them: the MySQL source and the Access destination.
//
// The converter talks to the engines only through these two classes, so that each engine's particulars stay in
// its adapter: the source's record count, the destination's file generations and its table-name rules, and which
// of its errors concern one record only. The program builds the adapters over the real engines; the run creates
// a new destination engine for each run (it lives on the run's thread).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "access/dao_generation.h"

class tk_exception;
class udb_database;
class udb_recordset;
class udb_validator;

class rwf_source_engine {
 public:
  virtual ~rwf_source_engine();
  // Connects to the server (host, user and password UTF-8; an empty host is the local server).
  virtual void connect(const std::string& host, const std::string& user, const std::string& password,
                       int port) = 0;
  // Delivers BLOB columns as text from now on when value is true.
  virtual void set_blob_to_text(bool value) = 0;
  // Opens the database for reading; an unknown database raises the engine's error.
  virtual std::unique_ptr<udb_database> open_db(const std::wstring& name) = 0;
  // The number of rows of a recordset of this engine; -1 when unknown.
  virtual int64_t record_count(udb_recordset& recordset) = 0;
  // The rows of the recordset's stream that the server has delivered so far, also those not taken yet and those
  // that arrived before the stream broke.
  virtual uint64_t rows_read(udb_recordset& recordset) = 0;
  // True for an error that concerns the one record being read (a value that cannot be converted): the run then
  // goes on with the next record. None by default.
  virtual bool is_record_error(const tk_exception& e) const;
  // True when the error says the connection to the server is gone: no later item can be read. None by default.
  virtual bool is_connection_lost(const tk_exception& e) const;
  // The run is stopping: the connection is given up at once, from any thread, so that neither the rest of the
  // rows nor a statement the server is still working on is waited for (the source cannot be read again
  // afterwards). Nothing by default.
  virtual void abandon_reading();
};


class rwf_destination_engine {
 public:
  virtual ~rwf_destination_engine();
  // The generation an existing Access file was written in; a file that is no Access database raises the
  // engine's error.
  virtual int32_t file_generation(const std::wstring& path) = 0;
  // Chooses the generation of the files to create and open.
  virtual void set_version(int32_t generation) = 0;
  // A new, empty database file at path.
  virtual std::unique_ptr<udb_database> create_db(const std::wstring& path) = 0;
  // An existing file, opened for appending to its tables.
  virtual std::unique_ptr<udb_database> open_db(const std::wstring& path) = 0;
  // A validator of table names under the destination's rules, with no names taken yet.
  virtual std::unique_ptr<udb_validator> table_name_validator() = 0;
  // True for an error that concerns the one record being appended (the run then goes on with the next record).
  virtual bool is_record_error(const tk_exception& e) const = 0;
  // True when the error says the destination file cannot be read, written or locked (a full disk, an I/O error, a
  // damaged file, another user): no later item can succeed. None by default.
  virtual bool is_file_error(const tk_exception& e) const;
};

using rwf_destination_factory = std::function<std::unique_ptr<rwf_destination_engine>()>;
