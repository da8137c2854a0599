// Appending 1,000,000 rows of a typical mixed 12-column table (integers, text, date, double, memo,
// a primary key and one text index) to a new Jet 4 (.mdb) or ACE (.accdb) database; prints rows per
// second, bytes written and the peak memory of the process.
//
// usage: jet_append_bench [rows] [folder] [mdb|accdb]
//        (defaults: 1000000, the system's temporary folder, mdb)
// The file is removed afterwards unless JET_BENCH_KEEP is set.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>

#include "platform/jet/database.h"

int main(int argc, char** argv) {
  using namespace jet;
  long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
  std::filesystem::path folder = argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path();
  const bool ace = argc > 3 && std::string(argv[3]) == "accdb";
  std::string path = (folder / (ace ? "jet_append_bench.accdb" : "jet_append_bench.mdb")).string();
  std::filesystem::remove(path);

  auto start = std::chrono::steady_clock::now();
  auto db = database::create(path, ace ? generation::ace : generation::jet4);
  size_t t = db->add_table(
      L"Orders",
      {{.name = L"Id", .type = column_type::long_integer},
       {.name = L"CustomerId", .type = column_type::long_integer},
       {.name = L"Name", .type = column_type::text, .size = 50},
       {.name = L"City", .type = column_type::text, .size = 30},
       {.name = L"Created", .type = column_type::datetime},
       {.name = L"Amount", .type = column_type::double_},
       {.name = L"Quantity", .type = column_type::integer},
       {.name = L"Price", .type = column_type::currency},
       {.name = L"Active", .type = column_type::boolean},
       {.name = L"Notes", .type = column_type::memo, .allow_zero_length = true},
       {.name = L"Code", .type = column_type::text, .size = 10},
       {.name = L"Score", .type = column_type::single}},
      {{.name = L"PrimaryKey", .fields = {{L"Id"}}, .primary = true}, {.name = L"ByName", .fields = {{L"Name"}}}});
  static const wchar_t* cities[] = {L"Berlin", L"Z\u00fcrich", L"Lyon", L"Porto", L"Oslo", L"Graz"};
  std::vector<value> row(12);
  for (long i = 0; i < rows; ++i) {
    row[0] = value::long_integer(int32_t(i + 1));
    row[1] = value::long_integer(int32_t(i % 50000));
    row[2] = value::text(L"Customer " + std::to_wstring((i * 7919) % 1000003));
    row[3] = value::text(cities[i % 6]);
    row[4] = value::datetime({43000 + double(i) / 1440.0});
    row[5] = value::double_(double(i) * 1.25);
    row[6] = value::integer(int16_t(i % 1000));
    row[7] = value::currency({int64_t(i) * 125});
    row[8] = value::boolean(i % 2 == 0);
    row[9] = i % 10 == 0 ? value::text(std::wstring(200 + i % 300, L'n')) : value::text(L"short note");
    row[10] = value::text(L"K" + std::to_wstring(i % 100000));
    row[11] = value::single(float(i % 100) / 4.0f);
    db->append_row(t, row);
  }
  db->close();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  struct rusage ru;
  ::getrusage(RUSAGE_SELF, &ru);
  std::printf("format: %s\nrows: %ld\nseconds: %.2f\nrows per second: %.0f\nbytes written: %llu (file %llu)\npeak memory: %.1f MB\n",
              ace ? "accdb (ACE 12)" : "mdb (Jet 4)", rows, seconds, double(rows) / seconds, (unsigned long long)db->bytes_written(),
              (unsigned long long)std::filesystem::file_size(path), double(ru.ru_maxrss) / 1024.0);
  if (!std::getenv("JET_BENCH_KEEP")) std::filesystem::remove(path);
  return 0;
}
