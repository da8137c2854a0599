// A scripted sql_client for the MySQL engine's unit tests: it reaches branches no live server here shows
// (servers before 4.1 and 5.0.1, a failing session statement, a stream that breaks in the middle).
//
// Every statement sent is recorded in `log`. A statement answers with the result scripted for it (exact
// text) or, when it is listed in `failing`, fails with that error; any other statement succeeds without rows.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "SQL/sql_client.h"

struct sql_fake_result_script {
  std::vector<sql_column> columns;
  std::vector<std::vector<const char*>> rows;  // null cells are SQL NULL
  int break_after = -1;                         // >= 0: the stream breaks after that many rows
  unsigned break_errno = 2013;
  std::string break_text = "Lost connection to MySQL server during query";
};

class sql_fake_client : public sql_client {
 public:
  std::vector<std::string> log;
  // Also receives every statement; outlives the client (to see what an engine sends while it is destroyed).
  std::shared_ptr<std::vector<std::string>> shared_log;
  std::map<std::string, sql_fake_result_script> results;
  std::map<std::string, std::pair<unsigned, std::string>> failing;
  std::string server_version = "10.11.19-MariaDB";
  bool refuse_connect = false;
  unsigned connect_errno = 1045;
  std::string connect_text = "Access denied for user 'u'@'localhost' (using password: YES)";
  bool select_ok = true;
  sql_fake_result_script table_list;  // mysql_list_tables
  int inits = 0;
  int closes = 0;
  int abandons = 0;
  // Escaping as a server in NO_BACKSLASH_ESCAPES mode wants it (quotes doubled) instead of backslashes.
  bool no_backslash_escapes = false;
  // Prepared statements: each step is logged as "PREPARE <text>", "BIND <b|s>...", "LONG <param> <bytes>",
  // "EXECUTE", "CLOSE STMT"; a step whose log text starts with `failing_statement_step` fails.
  std::string failing_statement_step;
  // The bytes sent as long data, per parameter, of the last prepared statement.
  std::map<unsigned, std::string> long_data;

  void init(const std::string&, unsigned) override {
    ++inits;
    set_error(0, "");
  }
  bool connect(const std::string& host, const std::string&, const std::string&, unsigned) override {
    log.push_back("CONNECT " + host);
    if (refuse_connect) {
      set_error(connect_errno, connect_text);
      return false;
    }
    return true;
  }
  void close() override {
    ++closes;
    if (shared_log) shared_log->push_back("CLOSE");
  }
  void abandon() override { ++abandons; }
  bool query(const std::string& statement) override {
    log.push_back(statement);
    if (shared_log) shared_log->push_back(statement);
    pending_.reset();
    auto f = failing.find(statement);
    if (f != failing.end()) {
      set_error(f->second.first, f->second.second);
      return false;
    }
    set_error(0, "");
    auto r = results.find(statement);
    if (r != results.end()) pending_ = std::make_unique<sql_fake_result_script>(r->second);
    return true;
  }
  std::unique_ptr<sql_result> use_result() override {
    if (!pending_) return nullptr;
    return std::make_unique<result>(this, std::move(pending_));
  }
  int next_result() override { return -1; }
  bool select_db(const std::string& name) override {
    log.push_back("USE " + name);
    if (!select_ok) set_error(1049, "Unknown database '" + name + "'");
    return select_ok;
  }
  std::unique_ptr<sql_result> list_tables() override {
    log.push_back("LIST TABLES");
    return std::make_unique<result>(this, std::make_unique<sql_fake_result_script>(table_list));
  }
  std::string server_info() override { return server_version; }
  unsigned max_bytes_per_char(unsigned charsetnr) override { return charsetnr == 63 ? 1 : 4; }
  unsigned error_number() override { return errno_; }
  std::string error_text() override { return error_; }

  bool escape_string(const std::string& text, std::string& escaped) override {
    escaped.clear();
    for (char c : text) {
      if (no_backslash_escapes) {
        if (c == '\'') escaped += '\'';
        escaped += c;
        continue;
      }
      switch (c) {
        case '\0': escaped += "\\0"; break;
        case '\n': escaped += "\\n"; break;
        case '\r': escaped += "\\r"; break;
        case '\x1A': escaped += "\\Z"; break;
        case '\'': case '"': case '\\': escaped += '\\'; escaped += c; break;
        default: escaped += c;
      }
    }
    return true;
  }
  std::unique_ptr<sql_statement> new_statement() override {
    long_data.clear();
    return std::make_unique<statement>(this);
  }

  void set_error(unsigned number, const std::string& text) {
    errno_ = number;
    error_ = text;
  }

 private:
  class statement : public sql_statement {
   public:
    explicit statement(sql_fake_client* owner) : owner_(owner) {}
    ~statement() override { owner_->log.push_back("CLOSE STMT"); }
    bool prepare(const std::string& text) override { return step("PREPARE " + text); }
    bool bind_long_data(const std::vector<bool>& binary) override {
      std::string text = "BIND";
      for (bool b : binary) text += b ? " b" : " s";
      return step(text);
    }
    bool send_long_data(unsigned parameter, const char* data, unsigned long length) override {
      if (!step("LONG " + std::to_string(parameter) + " " + std::to_string(length))) return false;
      owner_->long_data[parameter].append(data, length);
      return true;
    }
    bool execute() override { return step("EXECUTE"); }
    std::string error_text() override { return error_; }

   private:
    bool step(const std::string& text) {
      owner_->log.push_back(text);
      if (!owner_->failing_statement_step.empty() && text.rfind(owner_->failing_statement_step, 0) == 0) {
        error_ = "scripted failure of " + text;
        return false;
      }
      return true;
    }
    sql_fake_client* owner_;
    std::string error_;
  };

  class result : public sql_result {
   public:
    result(sql_fake_client* owner, std::unique_ptr<sql_fake_result_script> script)
        : owner_(owner), script_(std::move(script)) {}
    const std::vector<sql_column>& columns() const override { return script_->columns; }
    sql_fetch fetch(sql_row& row) override {
      if (script_->break_after >= 0 && next_ == static_cast<std::size_t>(script_->break_after)) {
        owner_->set_error(script_->break_errno, script_->break_text);
        return sql_fetch::error;
      }
      if (next_ >= script_->rows.size()) return sql_fetch::end;
      const auto& cells = script_->rows[next_++];
      row.cells = cells;
      row.lengths.clear();
      for (const char* c : cells) row.lengths.push_back(c ? std::char_traits<char>::length(c) : 0);
      return sql_fetch::row;
    }
    void clear_flags(std::size_t column) override { script_->columns.at(column).flags = 0; }

   private:
    sql_fake_client* owner_;
    std::unique_ptr<sql_fake_result_script> script_;
    std::size_t next_ = 0;
  };

  std::unique_ptr<sql_fake_result_script> pending_;
  unsigned errno_ = 0;
  std::string error_;
};

// A column description for scripts.
inline sql_column sql_fake_column(const std::string& name, int type, uint64_t length, unsigned flags = 0,
                                  unsigned charsetnr = 45, unsigned decimals = 0) {
  sql_column c;
  c.name = name;
  c.type = type;
  c.length = length;
  c.flags = flags;
  c.charsetnr = charsetnr;
  c.decimals = decimals;
  return c;
}
