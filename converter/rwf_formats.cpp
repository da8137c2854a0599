// The Access file formats this build can write; see rwf_formats.h.
#include "converter/rwf_formats.h"

std::string rwf_format_refusal(int32_t destination_format) {
  switch (destination_format) {
    case 0:
      return "This version cannot write MS Access 95/97 (Jet 3) databases yet.";
    default:
      return "";
  }
}
