// Custom-conversion hooks; see udb_rule.h. No rule exists, so each answer is "no rule applies".
#include "UDB/udb_rule.h"

#include "TK/tk_log.h"
#include "TK/tk_singl.h"

bool udb_custom_conversion::is_acceptable1(const t_ftd& descriptor) {
  tk_trace(2, "udb_custom_conversion::is_acceptable1");
  return false;
}

std::wstring udb_custom_conversion::handle1(const t_ftd& descriptor) {
  tk_trace(2, "udb_custom_conversion::handle1");
  return std::wstring();
}

bool udb_custom_conversion::is_acceptable2(const udb_field& field) {
  tk_trace(2, "udb_custom_conversion::is_acceptable2");
  return false;
}

std::wstring udb_custom_conversion::handle2(const udb_field& field) {
  tk_trace(2, "udb_custom_conversion::handle2");
  throw tk_mail_assertion("udb_rule", 88);
}
