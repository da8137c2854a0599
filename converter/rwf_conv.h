// The converter: the one object that holds every setting of a conversion and performs it.
//
// Class family, as both programs use it:
//   tk_converter          the run's flags and the source, destination and trace-file names
//   udb_converter         the destination mode, the progress counters and the lists of items to convert
//   mysql_converter_impl  the MySQL connection settings (mysql_settings.h)
//   rowferry_convertor    all of the above plus the destination format, BLOB-to-memo, the settings store, profile
//                         loading and storing, the destination checks and the run; registered as a singleton
//
// Progress: tables_total, current_table, current_name, records_total, current_record, the summary counts and done
// are written only by the run and may be read from another thread while it goes on: the numbers and done are atomics (done is set
// last, with release order), the current name is read through a guarded copy.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "TK/tk_regk.h"
#include "TK/tk_singl.h"
#include "TK/tk_threa.h"
#include "converter/mysql_settings.h"

class rwf_front_end;
class udb_database;
class udb_profile;

// What to do with a destination file that exists already.
enum conversion_mode : int32_t {
  mode_overwrite_database = 0,
  mode_overwrite_tables = 1,
  mode_skip_tables = 2,
  mode_merge = 3,
};

// Access file formats the user chooses from: 0 Access 95/97, 1 Access 2000, 2 Access 2007 and later.
enum destination_format_code : int32_t {
  format_not_given = -1,
  format_access_97 = 0,
  format_access_2000 = 1,
  format_access_2007 = 2,
};

// A named item: (name, SQL text) for the items to convert and the profile's queries, (name, definition) for views.
using named_text = std::pair<std::wstring, std::wstring>;
using named_text_list = std::vector<named_text>;

// The run is the thread functor's operator(); a stop request (request_stop) is looked at between records and
// between tables. A stop between records gives the source's connection up instead of reading the rest of the rows;
// rowferry_convertor::stop_now gives it up at once, for a run that waits on the server.
class tk_converter : public tk_thread_functor {
 public:
  tk_converter();
  ~tk_converter() override;

  // The console prints nothing while silent.
  virtual void set_silent(bool silent);
  bool is_silent() const { return silent.load(); }
  bool is_done() const { return done.load(std::memory_order_acquire); }

  // Checks the trace-file name and switches the trace log to it. Does nothing without a logger; an empty name is
  // stored and leaves the logger as it is. Raises tk_exception level 1 for an existing folder, a read-only file,
  // a missing folder, or a folder the user may not write into.
  // While the trace file is held (hold_logfile(true)), a name that passes the checks becomes the pending one
  // instead of being switched on; hold_logfile(false) switches the log to the pending name, if any. The console
  // holds it while it reads its options, so that a trace file naming one of the user's files is refused before
  // a line is written into it.
  void set_logfile(const std::string& name);
  void hold_logfile(bool hold);
  const std::string& pending_logfile() const { return pending_logfile_; }

  std::atomic<bool> done{false};
  std::atomic<bool> silent{false};
  std::wstring src;
  std::wstring dest;
  std::string logfile;

 private:
  bool logfile_held_ = false;
  std::string pending_logfile_;
};

class udb_converter : public tk_converter {
 public:
  udb_converter();
  ~udb_converter() override;

  // True when sql runs on the source database.
  virtual bool test_query(const std::wstring& sql) = 0;

  void set_mode(int32_t value);

  // The name of the item the run works on (a copy, safe to take from another thread).
  std::wstring current_name() const;
  void set_current_name(const std::wstring& name);

  // True when the last run went through to its end and finished its destination file (it may have reported and
  // skipped records or tables); false while running and after a run that an error ended.
  bool completed() const { return completed_.load(std::memory_order_acquire); }
  void set_completed(bool value) { completed_.store(value, std::memory_order_release); }

  // The lists and the generic settings of a profile; see rwf_profile.cpp for the keys.
  bool load_profile(const udb_profile& profile);
  bool store_profile(udb_profile& profile) const;

  int32_t mode = mode_overwrite_database;
  std::atomic<uint32_t> tables_total{0};
  std::atomic<uint32_t> current_table{0};
  // The source's record count of the current item; the count may be unknown and is then all ones (-1).
  std::atomic<uint64_t> records_total{0};
  std::atomic<uint64_t> current_record{0};
  // What the last run achieved, for its summary: items that arrived in the destination (structure only when
  // the data is not migrated; not those skipped as existing), records written, and records reported as errors.
  std::atomic<uint32_t> tables_converted{0};
  std::atomic<uint64_t> records_written{0};
  std::atomic<uint64_t> record_errors{0};
  std::vector<std::wstring> table_list;
  // A table list was given (the console's --tab_file, the profile of the wizard's quick launch): the run converts
  // what it names, and when it names nothing ends as a run whose every item failed, never converting every table
  // of the source in its place nor writing an empty file.
  bool table_list_given = false;
  named_text_list selected_items;
  named_text_list selected_views;
  named_text_list available_queries;
  bool tab_def = false;
  bool skip_idx = false;

 protected:
  std::atomic<bool> completed_{false};

 private:
  mutable std::mutex name_mutex_;
  std::wstring current_name_;
};

// The base of objects that keep settings in the per-user settings store.
class tk_serializer {};

// Settings kept only for writing back to the registry-like store and profiles: the wizard builds one that loads
// and stores the last-used settings, the console one that touches no store.
enum class converter_build { console, wizard };

class rowferry_convertor : public udb_converter,
                           public mysql_converter_impl,
                           public tk_serializer,
                           public tk_singleton<rowferry_convertor> {
 public:
  explicit rowferry_convertor(converter_build build);
  ~rowferry_convertor() override;

  void operator()() override;
  bool test_query(const std::wstring& sql) override;

  // The last-used settings in the per-user store (key HKEY_CURRENT_USER "Software\Larkspur Data\Tabletide"):
  // store false loads them (each field first gets its default, a missing value leaves it so, as does a format
  // other than 0 to 2), true stores them.
  // False when the key cannot be opened (nothing is touched then) or a value could not be read or written.
  // The wizard's converter loads in its constructor and stores in its destructor; the console's never calls it.
  bool serialize(bool store);

  // Profiles: load_profile_file reads the file (a missing file raises the reader's level-1 error) and applies it;
  // false when the file cannot be read or parsed. store_profile_file writes all settings to path.
  bool load_profile_file(const std::wstring& path);
  bool load_profile(const udb_profile& profile);
  bool store_profile_file(const std::wstring& path) const;
  bool store_profile(udb_profile& profile) const;

  // Checks the destination before a run (common_check_dest, rwf_dest.h); an existing file is kept here in every
  // mode: in mode 0 the run replaces it only once the new file is complete.
  void check_dest();

  converter_build build() const { return build_; }

  // Asks the run to stop and gives the source's connection up at once, so that the stop waits neither for the
  // server (a statement it is still working on, rows that do not come) nor for the rest of a table's rows: the
  // run ends, leaving the destination as it was. From any thread but a signal handler's.
  void stop_now();

  // Builds the Access engine of each run (on the run's thread). Must be set before a run.
  void set_destination_factory(rwf_destination_factory factory) { destination_factory_ = std::move(factory); }

  // Replaces list with the names of the source database's tables.
  void get_all_tables(std::vector<std::wstring>& list);

  // Where the run sends its progress lines and errors (not owned; must be set before a run).
  void set_front_end(rwf_front_end* front_end) { front_end_ = front_end; }
  rwf_front_end& front_end() const;

  tk_reg_key settings_key;
  int32_t destination_format;
  bool blob2memo = false;

 private:
  void run();
  // True when the item arrived (or was skipped as the mode says), false when it failed and was reported.
  bool convert_item(const named_text& item, const std::wstring& dest_name, udb_database& source,
                    udb_database& target, rwf_destination_engine& access, rwf_source_engine& mysql);

  converter_build build_;
  rwf_destination_factory destination_factory_;
  rwf_front_end* front_end_ = nullptr;
};
