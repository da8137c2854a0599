// The conversion run of rowferry_convertor.
#include "converter/rwf_conv.h"

#include "TK/tk_log.h"
#include "converter/rwf_front.h"

void rowferry_convertor::operator()() {
  tk_trace(2, "rowferry_convertor::operator()");
  completed_.store(false);
  front_end().report(tk_exception("The conversion engines are not part of this build yet.", 1), true);
  done.store(true, std::memory_order_release);
}

bool rowferry_convertor::test_query(const std::wstring&) { return false; }
