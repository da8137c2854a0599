// The trace log writers (see tk_log.h).
#include "TK/tk_log.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "TK/tk_utils.h"
#include "platform/system/codepage.h"

namespace {

// Size limits of one wide line: printed text and its UTF-8 form, each with room for a terminator.
constexpr std::size_t kWideChars = 10240;
constexpr std::size_t kWideBytes = 10240;

// Restores errno when a trace call ends, so that a caller can still read the error it is about to report.
class errno_keeper {
 public:
  errno_keeper() : saved_(errno) {}
  ~errno_keeper() { errno = saved_; }

 private:
  int saved_;
};

// Steps 1-4 of writing a line: the logger, the once-per-process truncation, the level test, the file.
FILE* open_line(int level, tk_logger*& logger) {
  if (!tk_logger::exists()) return nullptr;
  logger = tk_logger::get_instance();
  if (!logger->enabled()) return nullptr;
  logger->truncate_once();
  if (level < logger->threshold()) return nullptr;
  FILE* f = std::fopen(logger->file_name().c_str(), "ab");
  if (!f) return nullptr;
  if (logger->timestamps()) {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    if (::localtime_r(&now, &tm)) std::fprintf(f, "%02d:%02d:%02d ", tm.tm_hour, tm.tm_min, tm.tm_sec);
  }
  return f;
}

void close_line(FILE* f, const tk_logger* logger) {
  if (logger->crlf()) std::fputs("\r\n", f);
  std::fclose(f);
}

}  // namespace

tk_logger::tk_logger(const char* file_name, bool enabled, int32_t threshold, bool timestamps)
    : threshold_(threshold), enabled_(false), timestamps_(timestamps) {
  // The logger is registered before this body runs; it stays disabled until its fields are complete, so that
  // traces made while finding the default name are dropped.
  file_name_ = file_name ? std::string(file_name) : default_file_name();
  enabled_ = enabled;
  if (enabled_) truncate_once();
  refresh_floor();
}

tk_logger::~tk_logger() {
  // Destroying any logger clears the registration (tk_singleton): no trace is written after this.
  tk_trace_floor.store(INT_MAX, std::memory_order_relaxed);
}

void tk_logger::refresh_floor() {
  if (!exists() || get_instance() != this) return;
  const int floor = !enabled_ ? INT_MAX : !truncated_.load() ? INT_MIN : threshold_;
  tk_trace_floor.store(floor, std::memory_order_relaxed);
}

std::string tk_logger::default_file_name() {
  std::string path;
  try {
    path = tk_get_module_file_name();
  } catch (const tk_exception&) {
    return "RWFAGENT.log";
  }
  const auto slash = path.rfind('/');
  const auto dot = path.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.resize(dot);
  return path + ".log";
}

void tk_logger::enable(const std::string& file_name) {
  file_name_ = file_name;
  enabled_ = true;
  refresh_floor();
}

void tk_logger::truncate_once() {
  if (truncated_.exchange(true)) return;
  if (FILE* f = std::fopen(file_name_.c_str(), "wb")) std::fclose(f);
  refresh_floor();
}

void tk_trace_line(int level, const char* format, ...) {
  errno_keeper keep;
  tk_logger* logger = nullptr;
  FILE* f = open_line(level, logger);
  if (!f) return;
  if (format) {
    tk_classic_locale scope;
    va_list args;
    va_start(args, format);
    std::vfprintf(f, format, args);
    va_end(args);
  }
  close_line(f, logger);
}

void tk_trace_line_w(int level, const wchar_t* format, ...) {
  errno_keeper keep;
  tk_logger* logger = nullptr;
  FILE* f = open_line(level, logger);
  if (!f) return;
  if (format) {
    wchar_t wide[kWideChars];
    va_list args;
    va_start(args, format);
    tk_vswprintf_ms(wide, kWideChars, format, args);  // cut to kWideChars - 1 when longer
    va_end(args);
    std::string utf8;
    utf8.reserve(256);
    for (const wchar_t* p = wide; *p; ++p) {
      sys_append_utf8(utf8, static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(*p)));
      if (utf8.size() >= kWideBytes) break;
    }
    const std::size_t keep_bytes = sys_utf8_cut(utf8.data(), utf8.size(), kWideBytes - 1);
    std::fwrite(utf8.data(), 1, keep_bytes, f);
  }
  close_line(f, logger);
}
