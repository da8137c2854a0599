// The conversion run of rowferry_convertor: one source database into one Access file.
//
// Road: create the Access engine; pick the generation (an existing file's own in modes 1-3, else the chosen
// format's); open the source; open the existing destination (modes 1-3) or create a new file; give every table of
// the source and every SELECT item its destination name; then, item by item (queries and profile items first,
// then the table list), open the source recordset, skip or drop an existing table of its destination name as the
// mode says, create the table (or open it for appending), test the structures in merge mode, and copy the rows.
//
// Destination names do not depend on what a run converts: they are formed from the source's whole list of tables
// (see destination_names), so that a later run in any mode finds each table under the name an earlier one gave
// it, and never mixes two source tables in one.
//
// A new file is written under a hidden temporary name beside the destination and renamed over it only when the
// run has gone through: a run that fails, or that the user aborts, leaves an existing destination as it was and
// leaves no half-written file behind. From its start to its end the run holds the destination's lock file
// (destination_lock.h), so a second run on the same destination is refused whether the file exists or not.
//
// Error boundaries, innermost first: one record (a source value that cannot be converted or a record the
// destination refuses: the run goes on with the next record), one item (any tk_exception: the item is counted and
// the run goes on with the next one, unless the source failed once the item's table was created, which ends the
// run), the run (the run ends). A stop request or Abort ends the run through tk_final_exception; an error raised
// after a stop request is taken for the stop's doing and not reported.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <set>
#include <string>

#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "UDB/udb_db.h"
#include "UDB/udb_vali.h"
#include "converter/init_conv.h"
#include "converter/rwf_conv.h"
#include "converter/rwf_dest.h"
#include "converter/rwf_engines.h"
#include "converter/rwf_front.h"
#include "platform/system/atomic_file.h"
#include "platform/system/destination_lock.h"
#include "platform/system/files.h"

namespace {

// The generation a new file of the chosen format is written in.
int32_t generation_of(int32_t destination_format) {
  switch (destination_format) {
    case format_access_2000:
      return access_generation_jet4;
    case format_access_2007:
      return access_generation_ace;
    default:
      return access_generation_jet3;
  }
}

// What a run says when another run writes its destination: the text the Access engine gives for a file it
// finds locked.
tk_exception in_use(const std::string& dest) {
  return tk_exception("Could not use '" + dest + "'; file already in use.", 1);
}

// The destination of a run that writes a new file (mode 0, or any mode when no file is there yet). The new file is
// written under a temporary name beside the destination and moved into place by commit, which never overwrites a
// file it does not expect: an old file is replaced only while it is still the one that was locked at the start
// (keeping its permission bits and, where the process may, its owner), and a file that appeared meanwhile where
// there was none stays as it is. The old file is held under an exclusive flock for the whole run, the lock that a
// run in modes 1-3 takes too, so two runs never write one destination at once.
class new_destination {
 public:
  explicit new_destination(const std::string& dest) : dest_(dest) {
    lock_fd_ = ::open(dest_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (lock_fd_ >= 0) {
      if (::fstat(lock_fd_, &old_) != 0 || !S_ISREG(old_.st_mode)) {
        ::close(lock_fd_);
        lock_fd_ = -1;
      } else if (::flock(lock_fd_, LOCK_EX | LOCK_NB) != 0) {
        throw in_use(dest_);
      }
    }
    path_ = sys_temporary_name(dest_);
  }
  ~new_destination() {
    if (!committed_) ::unlink(path_.c_str());
    if (lock_fd_ >= 0) ::close(lock_fd_);
  }
  new_destination(const new_destination&) = delete;
  new_destination& operator=(const new_destination&) = delete;

  // Where the engine writes the new file.
  std::wstring path() const { return tk_utf8_to_unicode(path_); }

  void commit() {
    int err = lock_fd_ >= 0 ? sys_move_replacing(path_, dest_, old_) : sys_move_new(path_, dest_);
    if (err == EEXIST)
      throw tk_exception("Another file took the place of '" + dest_ +
                             "' while the conversion ran; it was left as it is and the new file was not kept.",
                         1);
    if (err != 0) throw tk_exception_ex(err, "Cannot replace the destination file: ", 1);
    committed_ = true;
  }

 private:
  std::string dest_;
  std::string path_;
  int lock_fd_ = -1;
  struct stat old_ {};
  bool committed_ = false;
};

// The source failed in a way that ends the run: a server error once a table's rows stream, or the server lost.
// Not the program's fault: the run reports it as the error that ended it, never as an internal error.
class source_failure : public tk_exception {
 public:
  explicit source_failure(const std::string& text) : tk_exception(text, 1) {}
};

void set_context(const std::wstring& context) {
  if (error_handler::exists()) error_handler::instance().set_context(context);
}

// Gives each of the names its destination name, in two passes over the list: first every name Access takes as it
// stands keeps it (of names that differ only in case, the first), then the others get safe names in list order.
// A name handed out is never handed out again by the validator.
std::vector<std::wstring> name_in_turn(udb_validator& names, const std::vector<std::wstring>& from) {
  std::vector<std::wstring> to(from.size());
  std::vector<bool> kept(from.size(), false);
  for (std::size_t i = 0; i < from.size(); ++i) {
    if (!names.is_acceptable(from[i])) continue;
    to[i] = from[i];
    kept[i] = true;
    names.add_restricted_name(from[i]);
  }
  for (std::size_t i = 0; i < from.size(); ++i) {
    if (kept[i]) continue;
    to[i] = names.get_safe_name(from[i]);
    tk_trace_w(2, L"Store generated table name '%s'", to[i].c_str());
    names.add_existing_name(to[i]);
    names.add_restricted_name(to[i]);
  }
  return to;
}

// The destination name of each item, or empty for a table the source lacks or has more than once when case is
// ignored (the item then fails before its name is needed).
//
// The names are formed from the source's whole list of tables in the server's order, whether this run converts
// them or not, and only then from the SELECT items in their order. So a table has the same destination name in
// every run of the same source, whatever the table list, the profile or the mode, and a generated name can change
// only when the source gains or loses a table whose name collides with it. No SELECT item takes a name that a table
// of the source has or is given. The destination's own tables play no part.
std::vector<std::wstring> destination_names(rwf_destination_engine& access, const udb_database& source,
                                            const named_text_list& items) {
  std::unique_ptr<udb_validator> names = access.table_name_validator();
  const std::vector<std::wstring> tables(source.get_tables().begin(), source.get_tables().end());
  for (const std::wstring& table : tables) names->add_existing_name(table);
  const std::vector<std::wstring> table_names = name_in_turn(*names, tables);
  std::map<std::wstring, std::wstring> of_table;
  for (std::size_t i = 0; i < tables.size(); ++i) of_table.emplace(tables[i], table_names[i]);

  std::vector<std::wstring> queries;
  for (const named_text& item : items)
    if (!item.second.empty()) queries.push_back(item.first);
  const std::vector<std::wstring> query_names = name_in_turn(*names, queries);

  std::vector<std::wstring> result;
  std::size_t query = 0;
  for (const named_text& item : items) {
    if (!item.second.empty()) {
      result.push_back(query_names[query++]);
      continue;
    }
    const std::vector<std::wstring> found = source.tables_named(item.first);
    result.push_back(found.size() == 1 ? of_table.at(found[0]) : std::wstring());
  }
  return result;
}

}  // namespace

void rowferry_convertor::operator()() {
  tk_trace(2, "rowferry_convertor::operator()");
  rwf_front_end& out = front_end();
  completed_.store(false, std::memory_order_release);
  tables_converted.store(0);
  records_written.store(0);
  record_errors.store(0);
  init_conversion scope(done, out);
  try {
    run();
    completed_.store(true, std::memory_order_release);
  } catch (const tk_final_exception&) {
    // The user chose Abort (or asked the run to stop): nothing more to say.
  } catch (const source_failure& e) {
    if (!stop_requested()) out.std_error(e.message);
  } catch (const tk_exception& e) {
    // After a stop the error is what the stop did (the source's connection given up), not one to report.
    if (!stop_requested()) out.report(e, true);
  } catch (const std::exception& e) {
    out.std_error(e.what());
  }
}

void rowferry_convertor::run() {
  if (destination_factory_ == nullptr) throw tk_mail_assertion("rwf_run", 96);
  rwf_source_engine& mysql = source_engine();
  rwf_front_end& out = front_end();

  if (stop_requested()) throw tk_final_exception();  // stopped while the program was connecting
  std::unique_ptr<rwf_destination_engine> access = destination_factory_();
  if (access == nullptr) throw tk_mail_assertion("rwf_run", 101);
  // A symbolic link stands for its target: the target is written and replaced, the link stays. One that another
  // user put in a shared folder since the destination was checked is refused as it is there.
  const std::string target_path = dest_final_target(tk_to_utf8(dest));
  // Held for the whole run, before anything is read or written: a second run on the destination is refused even
  // while the file does not exist yet (the flock on an existing file below only covers a file that is there).
  sys_destination_lock lock;
  if (int err = lock.acquire(target_path)) {
    if (err == EWOULDBLOCK) throw in_use(target_path);
    throw tk_exception_ex(err, "Cannot make the lock file beside the destination: ", 1);
  }
  // What a run that was killed (or a machine that lost power) left beside this destination goes first.
  if (int removed = sys_remove_stale_temporaries(target_path))
    tk_trace(2, "Removed %d temporary files of ended runs", removed);
  bool existing = mode != mode_overwrite_database && sys_stat_kind(target_path) == sys_path_kind::file;
  access->set_version(existing ? access->file_generation(dest) : generation_of(destination_format));

  tk_trace(2, "sql_engine::set_blob_to_text(%d)", blob2memo ? 1 : 0);
  mysql.set_blob_to_text(blob2memo);
  std::unique_ptr<udb_database> source = mysql.open_db(src);

  std::unique_ptr<new_destination> fresh;
  std::unique_ptr<udb_database> target;
  if (existing) {
    target = access->open_db(dest);
  } else {
    fresh = std::make_unique<new_destination>(target_path);
    // The trace names the file the user asked for; the hidden name it is written under until it is whole follows.
    tk_trace_w(3, L"Creating MS Access database '%s' (written as '%s' until it is complete)", dest.c_str(),
               fresh->path().c_str());
    target = access->create_db(fresh->path());
  }

  if (out.convert_all_when_empty() && !table_list_given && table_list.empty() && selected_items.empty())
    table_list.assign(source->get_tables().begin(), source->get_tables().end());

  // A source table named twice (in the list, or in the list and the profile, or in spellings that differ only
  // in case and stand for one table) is converted once, under the first spelling.
  named_text_list items;
  std::set<named_text> seen;
  auto select = [&](const named_text& item) {
    named_text key = item;
    if (item.second.empty()) {
      const std::vector<std::wstring> found = source->tables_named(item.first);
      if (found.size() == 1) key.first = found[0];
    }
    if (seen.insert(key).second) items.push_back(item);
  };
  for (const named_text& item : selected_items) select(item);
  for (const std::wstring& name : table_list) select(named_text(name, std::wstring()));
  selected_items = std::move(items);
  const std::vector<std::wstring> destination = destination_names(*access, *source, selected_items);

  // The count is of what can be converted: queries, and the tables the source has.
  uint32_t present = 0;
  for (const named_text& item : selected_items)
    if (!item.second.empty() || source->is_table_exist(item.first)) ++present;
  tables_total.store(present);
  current_table.store(0);
  std::wstring line = tk_wformat(L"Converting database %s (%d tables)\r\n", src.c_str(), static_cast<int>(present));
  tk_trace_w(3, L"%s", line.c_str());
  out.progress(line.substr(0, line.size() - 2));

  const std::size_t count = selected_items.size();
  std::size_t failed = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (stop_requested()) throw tk_final_exception();
    named_text item = selected_items[i];
    if (!convert_item(item, destination[i], *source, *target, *access, mysql)) ++failed;
  }
  if (stop_requested()) throw tk_final_exception();
  // What follows concerns the whole run, not the last item.
  set_context(L"");
  // Every item was reported as failed, or a table list named none: an empty (or unchanged) file is no result,
  // and the destination stays.
  if (failed == count && (count > 0 || table_list_given))
    throw tk_exception("Nothing could be converted: the destination file was left as it was.", 1);

  out.before_commit();
  if (stop_requested()) throw tk_final_exception();
  target->close();  // writes the destination file; destroyed without it, the file is given up
  target.reset();
  if (fresh) fresh->commit();
  source.reset();
  access.reset();
}

bool rowferry_convertor::convert_item(const named_text& item, const std::wstring& dest_name, udb_database& source,
                                      udb_database& target, rwf_destination_engine& access,
                                      rwf_source_engine& mysql) {
  const std::wstring& name = item.first;
  const std::wstring& sql = item.second;
  set_current_name(name);
  tk_trace_w(2, L"Processing table %s", name.c_str());
  records_total.store(0);
  current_record.store(0);
  std::unique_ptr<udb_recordset> from;
  std::unique_ptr<udb_recordset> to;
  try {
    // A table the source no longer has (a stale list or profile), or a view, is the user's error, not the
    // program's; it is not among the tables the run counts.
    if (sql.empty() && !source.is_table_exist(name)) {
      front_end().missing_table(name, source.is_view(name));
      return false;
    }
    from = sql.empty() ? source.get_table(name, 1) : source.get_query(name, sql, 1);
    if (dest_name.empty()) throw tk_mail_assertion("rwf_run", 250);

    if (target.is_table_exist(dest_name)) {
      if (mode == mode_skip_tables) {
        current_table.fetch_add(1);
        return true;
      }
      if (mode == mode_overwrite_tables) target.delete_tab(dest_name);
    }
    udb_indexes indexes;
    if (!skip_idx) indexes = from->indexes;
    to = target.create_table(dest_name, from->schema, indexes);
    if (mode == mode_merge && !from->schema.conform_to(to->schema, false))
      throw tk_exception("The structure of data source does not conform to the destination table.", 0);

    tk_trace(1, "Table structure has been written");
    // From here on the destination holds the table. An error of the source before the last row (the server's own,
    // or a lost connection) ends the run, so that no table is kept with only the rows that came before the error;
    // the message says how many had arrived, those of a block the error cut short included.
    const auto from_source = [&](const auto& step) {
      try {
        step();
      } catch (const tk_exception& e) {
        if (stop_requested()) throw tk_final_exception();
        const uint64_t arrived = mysql.rows_read(*from);
        throw source_failure("Reading table " + tk_to_utf8(name) + " failed after " + std::to_string(arrived) +
                             (arrived == 1 ? " row had" : " rows had") + " arrived: " + e.message);
      }
    };
    // The count serves only the progress line (and the wizard's bar). Where that line is shown nowhere and no
    // trace is written, the statement is not sent: the server would read the whole table for it.
    if (front_end().shows_progress() || tk_trace_wanted(3)) {
      int64_t total = 0;
      from_source([&] { total = source_engine().record_count(*from); });
      records_total.store(static_cast<uint64_t>(total));
      std::wstring line = tk_wformat(L"Converting table %s (%I64d records)\r\n", name.c_str(), total);
      tk_trace_w(3, L"%s", line.c_str());
      front_end().progress(line.substr(0, line.size() - 2));
    }
    if (dest_name != name) front_end().stored_as(name, dest_name);
    if (tab_def) {
      current_table.fetch_add(1);
      tables_converted.fetch_add(1);
      return true;
    }

    from_source([&] { from->reset(); });
    while (!from->is_eof()) {
      if (stop_requested()) {
        // Nothing more is read: the connection is given up rather than the rest of the rows read to their end,
        // which for a large table would hold the stop for as long as the run had taken.
        mysql.abandon_reading();
        throw tk_final_exception();
      }
      uint64_t number = current_record.load() + 1;
      tk_trace(1, "Converting %llu record", static_cast<unsigned long long>(number));
      try {
        udb_record* record = from->get_item();
        if (record == nullptr) throw tk_mail_assertion("rwf_run", 200);
        to->append_record(*record);
        records_written.fetch_add(1);
      } catch (const tk_exception& e) {
        if (!access.is_record_error(e) && !source_engine().is_record_error(e)) throw;
        record_errors.fetch_add(1);
        tk_trace(2, "mode=%d, error=%d", mode, e.code);
        if (error_handler::exists()) error_handler::instance().set_record_context(name, static_cast<long long>(number));
        front_end().report(e, false);
      }
      from_source([&] { from->next(); });
      current_record.fetch_add(1);
    }
    tk_trace(2, "Table #%u has been processed", current_table.load());
    to.reset();
    from.reset();
    current_table.fetch_add(1);
    tables_converted.fetch_add(1);
    return true;
  } catch (const tk_exception& e) {
    to.reset();
    from.reset();
    if (stop_requested()) throw tk_final_exception();
    // Without the server, or with a destination that can no longer be written, no later item can succeed: the
    // run ends (and the destination is left as it was). So it does after an error that leaves a table partly
    // read, and after an internal error (level 2).
    set_context(name);
    if (e.level == 2 || dynamic_cast<const source_failure*>(&e) != nullptr) throw;
    if (mysql.is_connection_lost(e)) throw source_failure(e.message);
    if (access.is_file_error(e)) throw;
    front_end().report(e, false);
    current_table.fetch_add(1);
    return false;
  }
}
