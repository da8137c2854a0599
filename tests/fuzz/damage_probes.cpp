// The probes behind the fuzz targets (contract in damage_probes.h).
#include "tests/fuzz/damage_probes.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <vector>

#include "UDB/udb_prof.h"
#include "console/rwf_tabfile.h"
#include "platform/jet/catalog_listing.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"
#include "platform/jet/reader.h"
#include "platform/jet/value_codec.h"
#include "platform/jet/verifier.h"

namespace tt_fuzz {

namespace {

// A folder of this process's own for the input files, removed when the process ends.
class input_folder {
 public:
  input_folder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tt-fuzz-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
    path_ = tmpl;
  }
  ~input_folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  // Writes the bytes to a fresh file of the folder and returns its path.
  std::string write(const std::string& name, const uint8_t* data, size_t size) const {
    std::string path = path_ + "/" + name;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) std::filesystem::remove_all(entry, ignored);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) std::abort();
    for (size_t done = 0; done < size;) {
      ssize_t n = ::write(fd, data + done, size - done);
      if (n <= 0) std::abort();
      done += size_t(n);
    }
    ::close(fd);
    return path;
  }

 private:
  std::string path_;
};

const input_folder& folder() {
  static input_folder f;
  return f;
}

// Runs one step; the first engine error of the probe is its outcome, and later steps still run.
void step(std::string& outcome, const std::function<void()>& fn) {
  try {
    fn();
  } catch (const jet::error& e) {
    if (outcome.empty()) outcome = e.what();
  }
}

// A value the column takes, or null when "1" does not convert to its type.
jet::value sample_value(const jet::format& f, const jet::column_def& c) {
  try {
    return jet::coerce(f, c, jet::value::text(L"1"));
  } catch (const jet::error&) {
    return jet::value();
  }
}

}  // namespace

std::string probe_access_read(const uint8_t* data, size_t size) {
  const std::string path = folder().write("input.mdb", data, size);
  std::string outcome;
  step(outcome, [&] {
    auto db = jet::database_reader::open(path);
    step(outcome, [&] { jet::list_objects(*db); });
    step(outcome, [&] { jet::list_queries(*db); });
    step(outcome, [&] { jet::list_relationships(*db); });
    for (const auto& name : db->table_names(true)) {
      step(outcome, [&] {
        jet::table_def t = db->table(name);
        db->properties(name);
        std::vector<jet::value> row;
        for (auto cursor = db->rows(t); cursor.next(row);) {
        }
      });
    }
  });
  jet::verify_report report = jet::verify_file(path);
  if (outcome.empty() && !report.ok()) outcome = report.problems.front();
  return outcome;
}

std::string probe_access_edit(const uint8_t* data, size_t size) {
  const std::string path = folder().write("input.mdb", data, size);
  std::string outcome;
  step(outcome, [&] {
    auto db = jet::database::open(path);
    step(outcome, [&] { db->queries(); });
    step(outcome, [&] { db->relationships(); });
    std::vector<std::wstring> tables;
    for (const auto& o : db->objects())
      if (o.kind == jet::object_kind::local_table) tables.push_back(o.name);
    for (const auto& name : tables) {
      step(outcome, [&] {
        size_t handle = db->table_handle(name);
        const jet::table_def& t = db->table(handle);
        std::vector<jet::value> row(std::max<size_t>(t.max_columns, t.columns.size()));
        for (const auto& c : t.columns)
          if (c.number < row.size() && !c.is_autonumber()) row[c.number] = sample_value(db->fmt(), c);
        db->append_row(handle, row);
      });
    }
    step(outcome, [&] {
      size_t added = db->add_table(L"ProbeTable", {{.name = L"Id", .type = jet::column_type::long_integer},
                                                   {.name = L"Name", .type = jet::column_type::text, .size = 20}},
                                   {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true}});
      db->append_row(added, {jet::value::long_integer(1), jet::value::text(L"one")});
    });
    if (!tables.empty()) step(outcome, [&] { db->delete_table(tables.front()); });
    db->close();
  });
  return outcome;
}

std::string probe_profile(const uint8_t* data, size_t size) {
  udb_profile profile;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  bool read = profile.read(in);
  udb_profile again;
  std::istringstream text(profile.to_text());
  again.read(text);
  return read ? std::string() : "the profile was not read whole";
}

std::string probe_table_list(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  std::vector<std::wstring> names;
  return rwf_read_table_list(in, names) ? std::string() : "the table list was not read whole";
}

}  // namespace tt_fuzz
