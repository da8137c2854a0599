// The conversion run of rowferry_convertor.
#include "converter/rwf_conv.h"

#include "TK/tk_log.h"

void rowferry_convertor::operator()() {
  tk_trace(2, "rowferry_convertor::operator()");
  throw tk_exception("The conversion engines are not part of this build yet.", 1);
}

bool rowferry_convertor::test_query(const std::wstring&) { return false; }
