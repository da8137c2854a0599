// The generations of the Access engine, as the engine object and the run number them.
#pragma once

#include <cstdint>

enum access_generation : int32_t {
  access_generation_jet4 = 0,    // Access 2000
  access_generation_jet3 = 1,    // Access 95/97
  access_generation_jet3_b = 2,  // Access 95/97 again: a second engine row for Jet 3 that no caller picks
  access_generation_ace = 3,     // Access 2007 and later
  access_generation_none = 4,    // no engine chosen yet
};
