// The MySQL part of the converter; see mysql_settings.h.
#include "converter/mysql_settings.h"

#include "TK/tk_log.h"
#include "TK/tk_utils.h"
#include "UDB/udb_db.h"

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

void mysql_converter_impl::set_source_engine(std::unique_ptr<rwf_source_engine> engine) {
  abandonable_.store(nullptr);
  source_ = std::move(engine);
  abandonable_.store(source_.get());
  // A stop that came while there was no engine to give up. Between this and abandon_source each stores first
  // and looks second, so at least one of them sees the other: the engine is given up (at worst twice, which
  // does no harm).
  if (abandoned_.load() && source_) source_->abandon_reading();
}

void mysql_converter_impl::abandon_source() {
  abandoned_.store(true);
  if (rwf_source_engine* engine = abandonable_.load()) engine->abandon_reading();
}

rwf_source_engine& mysql_converter_impl::source_engine() const {
  if (source_ == nullptr) throw tk_mail_assertion("mysql_settings", 60);
  return *source_;
}

void mysql_converter_impl::connect_mysql_server() {
  tk_trace(2, "mysql_converter_impl::connect_mysql_server");
  int number = mysql_port_number(port);
  if (number == 0) throw tk_exception("Invalid port number", 1);
  source_engine().connect(host, user, password, number);
}

bool mysql_converter_impl::test_query(const std::wstring& src, const std::wstring& sql) {
  try {
    std::unique_ptr<udb_database> database = source_engine().open_db(src);
    return database->query(sql);
  } catch (const std::exception&) {
    return false;
  }
}
