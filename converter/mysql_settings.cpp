// The MySQL part of the converter; see mysql_settings.h.
#include "converter/mysql_settings.h"

#include "TK/tk_log.h"
#include "TK/tk_utils.h"

dump_options::dump_options() { tk_trace(2, "dump_options::ctor1"); }

int mysql_port_number(const std::string& port) {
  std::size_t i = 0;
  while (i < port.size() && (port[i] == ' ' || (port[i] >= '\t' && port[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < port.size() && (port[i] == '+' || port[i] == '-')) negative = port[i++] == '-';
  long value = 0;
  bool any = false;
  for (; i < port.size() && port[i] >= '0' && port[i] <= '9'; ++i) {
    any = true;
    value = value * 10 + (port[i] - '0');
    if (value > 65535) return 0;
  }
  if (!any || negative || value < 1) return 0;
  return static_cast<int>(value);
}

mysql_converter_impl::mysql_converter_impl() { tk_trace(2, "mysql_converter_impl::ctor"); }

mysql_converter_impl::~mysql_converter_impl() { tk_trace(2, "mysql_converter_impl::dtor"); }

void mysql_converter_impl::store_mysql_settings(const std::string& new_host, const std::string& new_user,
                                                const std::string& new_password, const std::string& new_port) {
  // The password is never traced.
  tk_trace(2, "mysql_converter_impl::store_mysql_settings(%s,%s,%s,%s)", new_host.c_str(), new_user.c_str(),
           new_password.empty() ? "" : "***", new_port.c_str());
  host = tk_trim(new_host);
  user = tk_trim(new_user);
  password = tk_trim(new_password);
  port = tk_trim(new_port);
  if (port.empty()) port = "3306";
}
