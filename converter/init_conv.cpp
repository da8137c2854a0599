// The scope of one conversion run; see init_conv.h.
#include "converter/init_conv.h"

#include <ctime>

#include "TK/tk_log.h"
#include "converter/rwf_front.h"

namespace {

void stamp(const char* what) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  tk_trace(3, "Conversion %s on %02d/%02d/%04d at %02d:%02d:%02d", what, local.tm_mday, local.tm_mon + 1,
           local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
}

}  // namespace

init_conversion::init_conversion(std::atomic<bool>& done, rwf_front_end& front_end) : done_(done) {
  tk_trace(2, "init_conversion::ctor");
  done_.store(false, std::memory_order_release);
  stamp("started");
  front_end.run_started();
}

init_conversion::~init_conversion() {
  tk_trace(2, "init_conversion::dtor");
  stamp("ended");
  done_.store(true, std::memory_order_release);
}
