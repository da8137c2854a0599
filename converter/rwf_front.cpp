// The defaults of a run's front end; see rwf_front.h.
#include "converter/rwf_front.h"

#include "TK/tk_errco.h"
#include "TK/tk_utils.h"

rwf_front_end::~rwf_front_end() = default;

void rwf_front_end::run_started() {}

void rwf_front_end::stored_as(const std::wstring&, const std::wstring&) {}

void rwf_front_end::before_commit() {}

std::string rwf_missing_table_text(const std::wstring& name, bool is_view) {
  return "Table " + tk_to_utf8(name) + (is_view ? " is a view; views are not converted" : " not exists");
}

void rwf_front_end::missing_table(const std::wstring& name, bool is_view) {
  report(tk_exception(rwf_missing_table_text(name, is_view), 0), false);
}

bool rwf_front_end::shows_progress() const { return true; }

bool rwf_front_end::convert_all_when_empty() const { return false; }

void rwf_front_end::report(const tk_exception& e, bool may_return) { error_handler::instance().handle(e, may_return); }

void rwf_front_end::std_error(const std::string& text) { report(tk_exception(text, 1), true); }
