// The MySQL part of the converter: the connection settings (narrow UTF-8 texts) and the dump settings that
// profiles carry, with their profile keys under "MySQL settings".
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "converter/rwf_engines.h"

class udb_profile;

// Settings of a MySQL dump; this program only keeps them from a profile and writes them back.
struct dump_options {
  dump_options();
  int32_t line_break = 0;
  bool new_version = true;
  bool add_lock_to_insert = true;
  bool insert_comments = true;
  bool create_database = false;
  bool create_table = true;
  std::string text1;
  std::string text2;
};

// The port number a port text names, read as the C library's atoi reads it (leading blanks, an optional sign,
// digits; anything after them is ignored). 0 when the text names no port in 1 to 65535.
int mysql_port_number(const std::string& port);

class mysql_converter_impl {
 public:
  mysql_converter_impl();
  virtual ~mysql_converter_impl();

  // Stores the four settings with the blanks at both ends removed; an empty port becomes "3306".
  void store_mysql_settings(const std::string& host, const std::string& user, const std::string& password,
                            const std::string& port);

  bool load_profile(const udb_profile& profile);
  bool store_profile(udb_profile& profile) const;

  // The MySQL engine the converter reads from (owned). The program sets it once, before connecting.
  void set_source_engine(std::unique_ptr<rwf_source_engine> engine);
  rwf_source_engine& source_engine() const;
  // Gives the source's connection up at once (rwf_source_engine::abandon_reading), from any thread, also while
  // the engine is being set. Asked before there is an engine (a stop as the program starts), it gives up the
  // engine set next, so that its first connection fails at once instead of running its course.
  void abandon_source();

  // Connects the source engine with the stored settings. A port text that names no port in 1 to 65535 raises
  // tk_exception level 1 "Invalid port number"; the engine's own errors (authentication, an unreachable server)
  // leave as they are.
  void connect_mysql_server();
  // True when sql runs on the source database src; every error gives false and is not reported.
  bool test_query(const std::wstring& src, const std::wstring& sql);

  dump_options dump;
  std::string host;
  std::string user;
  std::string password;
  std::string port = "3306";

 private:
  std::unique_ptr<rwf_source_engine> source_;
  std::atomic<rwf_source_engine*> abandonable_{nullptr};  // source_, for abandon_source on other threads
  std::atomic<bool> abandoned_{false};                     // abandon_source was called
};
