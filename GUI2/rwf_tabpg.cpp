// The tables page and the Add Query dialog (see rwf_tabpg.h).
#include "GUI2/rwf_tabpg.h"

#include <algorithm>

#include "GUI2/g_wiz_sh.h"
#include "TK/tk_errco.h"
#include "TK/tk_log.h"
#include "TK/tk_nocase.h"
#include "TK/tk_report.h"
#include "TK/tk_utils.h"
#include "platform/ui/ui_dialog.h"

namespace {

constexpr int left_list = 1317;
constexpr int right_list = 1318;
// The dialog's edits take as much as the dialog reads.
constexpr int name_limit = 2047;
constexpr int statement_limit = 9999;

named_text_list::iterator find_pair(named_text_list& list, const std::wstring& name) {
  return std::find_if(list.begin(), list.end(), [&](const named_text& p) { return p.first == name; });
}

}  // namespace

// ---- sel_tables_page ------------------------------------------------------------------------------------------

sel_tables_page::sel_tables_page(const std::wstring& question, bool reorder)
    : wizard_page(127, wiz_back_button | wiz_next_button), reorder_(reorder), question_(question) {
  tk_trace(1, "sel_tables_page::ctor(b_reorder=%d)", reorder ? 1 : 0);
}

std::vector<pf::control> sel_tables_page::layout() const {
  // Each caption comes right before its list, which makes it the list's label (its mnemonic moves there).
  return {{1337, pf::kind::label, L"", 0, 0, 3},
          {1334, pf::kind::label, L"", 1, 0},
          {left_list, pf::kind::listbox, L"", 2, 0, 1, 0, false, 7},
          {1312, pf::kind::label, L"", 1, 2},
          {right_list, pf::kind::listbox, L"", 2, 2, 1, 0, false, 7},
          {1101, pf::kind::button, L"A&dd >", 2, 1},
          {1102, pf::kind::button, L"Add a&ll >", 3, 1},
          {1111, pf::kind::button, L"< &Remove", 4, 1},
          {1110, pf::kind::button, L"< Re&move all", 5, 1},
          // Alt+A belongs to "&Available tables".
          {1114, pf::kind::button, L"Add &Query", 6, 1, 1, 0, true},
          {1117, pf::kind::button, L"^", 7, 1, 1, 0, true},
          {1118, pf::kind::button, L"v", 8, 1, 1, 0, true}};
}

void sel_tables_page::on_command(int id, pf::notify what) {
  if (what == pf::notify::dblclk && id == left_list) on_add();
  if (what != pf::notify::clicked) return;
  switch (id) {
    case 1101:
      on_add();
      break;
    case 1102:
      on_add_all();
      break;
    case 1111:
      on_delete();
      break;
    case 1110:
      on_del_all();
      break;
    case 1117:
      on_move_up();
      break;
    case 1118:
      on_move_down();
      break;
    case 1114:
      on_add_query();
      break;
    default:
      break;
  }
}

void sel_tables_page::do_page_init() {
  tk_trace(1, "sel_tables_page::do_page_init");
  ctl().list_reset(left_list);
  ctl().list_reset(right_list);
  for (const std::wstring& name : tables_) ctl().list_add(left_list, name);
  if (ctl().list_count(left_list) > 0) {
    tk_trace(1, "Highlight 1st row");
    ctl().list_select(left_list, 0, true);
  }
  if (reorder_) {
    tk_trace(1, "Activating re-order buttons");
    show_ctrl(1117, true);
    show_ctrl(1118, true);
  }
}

void sel_tables_page::move_right(int index) {
  const std::wstring name = ctl().list_text(left_list, index);
  ctl().list_add(right_list, name);
  ctl().list_delete(left_list, index);
  if (is_query(name)) do_add_query(name);
}

void sel_tables_page::move_left(int index) {
  const std::wstring name = ctl().list_text(right_list, index);
  ctl().list_add(left_list, name);
  ctl().list_delete(right_list, index);
  if (is_query(name)) do_remove_query(name);
}

void sel_tables_page::clear_sel(int list) {
  tk_trace(1, "sel_tables_page::clear_sel");
  ctl().list_clear_selection(list);
}

void sel_tables_page::move_selected(int from, int to) {
  const bool right = from == left_list;
  const std::vector<int> selected = ctl().list_selected(from);
  tk_trace(1, "n_sel=%d", static_cast<int>(selected.size()));
  // Nothing selected: nothing moves and both selections stay.
  if (selected.empty()) return;
  const int moved = static_cast<int>(selected.size());
  for (int k = 0; k < moved; ++k) {
    tk_trace(1, right ? "Adding item #%d" : "Deleting item #%d", selected[k]);
    // Earlier moves have shifted the later items up by one each.
    if (right) move_right(selected[k] - k);
    else move_left(selected[k] - k);
  }
  const int remaining = ctl().list_count(from);
  if (remaining > 0) {
    ctl().list_clear_selection(from);
    ctl().list_select(from, std::min(selected.back() - moved + 1, remaining - 1), true);
  } else {
    clear_sel(to);
    ctl().focus(to);
    ctl().list_select(to, 0, true);
  }
}

void sel_tables_page::on_add() {
  tk_trace(1, "sel_tables_page::on_add");
  move_selected(left_list, right_list);
}

void sel_tables_page::on_delete() {
  tk_trace(1, "sel_tables_page::on_delete");
  move_selected(right_list, left_list);
}

void sel_tables_page::on_add_all() {
  tk_trace(1, "sel_tables_page::on_add_all");
  while (ctl().list_count(left_list) > 0) move_right(0);
  ctl().focus(right_list);
  ctl().list_set_current(right_list, 0);
}

void sel_tables_page::on_del_all() {
  tk_trace(1, "sel_tables_page::on_del_all");
  while (ctl().list_count(right_list) > 0) move_left(0);
  ctl().focus(left_list);
  ctl().list_set_current(left_list, 0);
}

void sel_tables_page::on_move_up() {
  tk_trace(1, "sel_tables_page::on_move_up");
  const int current = ctl().list_current(right_list);
  if (current > 0) move_current(current);
}

void sel_tables_page::on_move_down() {
  tk_trace(1, "sel_tables_page::on_move_down");
  const int current = ctl().list_current(right_list);
  if (current >= 0 && current + 1 < ctl().list_count(right_list)) move_current(current);
}

// The lists keep their names sorted, so an item put back lands where the order puts it.
void sel_tables_page::move_current(int current) {
  const std::wstring name = ctl().list_text(right_list, current);
  ctl().list_delete(right_list, current);
  ctl().list_set_current(right_list, ctl().list_add(right_list, name));
}

bool sel_tables_page::check_selection() {
  if (ctl().list_count(left_list) > 0 && ctl().list_count(right_list) == 0 && !question_.empty() &&
      !wizard_shell::instance().question(question_, true))
    return false;
  tables_.clear();
  for (int i = 0; i < ctl().list_count(right_list); ++i) {
    const std::wstring name = ctl().list_text(right_list, i);
    if (!is_query(name)) tables_.push_back(name);
  }
  return true;
}

void sel_tables_page::add_queries(const named_text_list& pairs) {
  for (const named_text& pair : pairs) {
    const int found = ctl().list_find(left_list, pair.first, false);
    if (found >= 0) move_right(found);
  }
}

bool sel_tables_page::is_query(const std::wstring&) const { return false; }
void sel_tables_page::do_add_query(const std::wstring&) {}
void sel_tables_page::do_remove_query(const std::wstring&) {}
void sel_tables_page::on_add_query() {}

// ---- sel_tables_page_ex ---------------------------------------------------------------------------------------

void sel_tables_page_ex::add_queries(const named_text_list& pairs) {
  for (const named_text& pair : pairs) {
    if (!pair.second.empty() && ctl().list_find(left_list, pair.first, true) < 0 &&
        ctl().list_find(right_list, pair.first, true) < 0) {
      ctl().list_add(right_list, pair.first);
      selected_.push_back(pair);
      continue;
    }
    tk_trace_w(1, L"Processing '%s'", pair.first.c_str());
    const int found = ctl().list_find(left_list, pair.first, false);
    if (found >= 0) move_right(found);
  }
}

bool sel_tables_page_ex::is_query(const std::wstring& name) const {
  auto has = [&](const named_text_list& list) {
    return std::any_of(list.begin(), list.end(), [&](const named_text& p) { return p.first == name; });
  };
  return has(selected_) || has(available_);
}

void sel_tables_page_ex::do_add_query(const std::wstring& name) {
  tk_trace_w(1, L"sel_tables_page_ex::do_add_query(%s)", name.c_str());
  if (find_pair(selected_, name) != selected_.end()) return;
  auto found = find_pair(available_, name);
  if (found == available_.end()) return;
  tk_trace_w(1, L"Adding pair: '%s','%s'", found->first.c_str(), found->second.c_str());
  selected_.push_back(*found);
  available_.erase(found);
}

void sel_tables_page_ex::do_remove_query(const std::wstring& name) {
  auto found = find_pair(selected_, name);
  if (found == selected_.end()) return;
  available_.push_back(*found);
  selected_.erase(found);
}

void sel_tables_page_ex::on_add_query() {
  tk_trace(1, "sel_tables_page::on_add_query");
  std::wstring name, statement;
  for (;;) {
    set_query_dlg dialog(name, statement);
    if (dialog.run_modal() != 1) return;
    name = dialog.name();
    statement = dialog.statement();
    if (ctl().list_find(right_list, name, true) < 0) {
      ctl().list_add(right_list, name);
      selected_.emplace_back(name, statement);
      return;
    }
    wizard_shell::instance().message(L"Duplicate table name. Try again.");
  }
}

void sel_tables_page_ex::on_edit_query() {
  tk_trace(1, "sel_tables_page_ex::on_edit_query");
  const std::vector<int> selected = ctl().list_selected(right_list);
  int current = ctl().list_current(right_list);
  if (current < 0 && !selected.empty()) current = selected.front();
  if (current < 0) {
    tk_trace(1, "Nothing is selected!");
    return;
  }
  const std::wstring name = ctl().list_text(right_list, current);
  auto found = find_pair(selected_, name);
  if (found == selected_.end()) {
    tk_trace(1, "It's not a query, show type mapping");
    show_type_mapping(name);
    return;
  }
  set_query_dlg dialog(found->first, found->second);
  if (dialog.run_modal() != 1) return;
  selected_.erase(found);
  selected_.emplace_back(dialog.name(), dialog.statement());
  ctl().list_delete(right_list, current);
  ctl().list_add(right_list, dialog.name());
}

void sel_tables_page_ex::show_type_mapping(const std::wstring&) {}

void sel_tables_page_ex::on_command(int id, pf::notify what) {
  if (id == right_list && what == pf::notify::dblclk) {
    on_edit_query();
    return;
  }
  sel_tables_page::on_command(id, what);
}

void sel_tables_page_ex::on_help() { wizard_shell::instance().display_help(1015); }

// ---- rwf_sel_tables_page --------------------------------------------------------------------------------------

bool rwf_sel_tables_page::page_init() {
  ctl().set_text(1337, L"Select MySQL tables to convert into MS Access format.");
  ctl().set_text(1334, L"&Available tables:");
  ctl().set_text(1312, L"&Selected tables:");
  rowferry_convertor& conv = rowferry_convertor::instance();
  conv.get_all_tables(tables_);
  do_page_init();
  show_ctrl(1114, true);
  // The page's queries are rebuilt from the converter on every entry, never added to what the page held.
  selected_.clear();
  available_.clear();
  add_queries(conv.selected_items);
  available_ = conv.available_queries;
  for (const named_text& pair : available_)
    if (!pair.second.empty() && ctl().list_find(left_list, pair.first, true) < 0) ctl().list_add(left_list, pair.first);
  return true;
}

int rwf_sel_tables_page::on_next() {
  if (!check_selection()) return -1;
  rowferry_convertor& conv = rowferry_convertor::instance();
  conv.table_list = tables_;
  conv.selected_items = selected_;
  conv.available_queries = available_;
  return 0;
}

int rwf_sel_tables_page::on_back() {
  // The queries go with the user; the next entry shows them again (the tables are chosen again from the list).
  rowferry_convertor& conv = rowferry_convertor::instance();
  conv.selected_items = selected_;
  conv.available_queries = available_;
  return 0;
}

// ---- set_query_dlg --------------------------------------------------------------------------------------------

set_query_dlg::set_query_dlg(const std::wstring& name, const std::wstring& statement)
    : name_(name), statement_(statement) {
  tk_trace(1, "set_query_dlg::set_query_dlg");
}

bool set_query_dlg::check_select(std::wstring& statement) {
  const std::size_t start = statement.find_first_not_of(L"\t\n\r ");
  statement = start == std::wstring::npos ? std::wstring() : statement.substr(start);
  return statement.size() >= 6 && tk_equal_nocase(statement.substr(0, 6), L"SELECT");
}

int set_query_dlg::run_modal() {
  wizard_shell& shell = wizard_shell::instance();
  pf::dialog d({{-1, pf::kind::label, L"&Store as Table:", 0, 0},
                {1019, pf::kind::edit, L"", 0, 1, 4, name_limit},
                {-1, pf::kind::label, L"&Query:", 1, 0},
                {1020, pf::kind::multiline, L"", 1, 1, 4, statement_limit},
                {1, pf::kind::default_button, L"OK", 2, 1},
                {2, pf::kind::button, L"Cancel", 2, 2},
                {129, pf::kind::button, L"&Test Query", 2, 3},
                {9, pf::kind::button, L"Help", 2, 4}},
               2);
  d.set_caption(L"Add Query");
  d.ctl().set_handler([&](int id, pf::notify what) {
    if (what != pf::notify::clicked) return;
    page_guard(0, [&] {
      if (id == 2) {
        tk_trace(1, "set_query_dlg::on_cancel");
        d.end(2);
      } else if (id == 9) {
        shell.display_help(1025);
      } else if (id == 129) {
        std::wstring statement = d.ctl().text(1020);
        std::wstring copy = statement;
        if (!check_select(copy)) {
          shell.error(std::wstring(L"The query must start with SELECT."));
        } else if (rowferry_convertor::instance().test_query(statement)) {
          shell.message(L"The query is correct.");
        } else {
          shell.error(L"You have an error in your query syntax. Make sure that it is a correct SQL SELECT-statement.\n"
                      L"If the error persists, please write to " +
                      tk_utf8_to_unicode(tk_support_address) + L".");
        }
      } else if (id == 1) {
        tk_trace(1, "set_query_dlg::on_ok");
        std::wstring name = d.ctl().text(1019);
        if (name.empty()) {
          shell.message(L"Table name is empty!");
          return 0;
        }
        std::wstring statement = d.ctl().text(1020);
        if (!statement.empty() && !check_select(statement)) {
          shell.error(std::wstring(L"The query must start with SELECT."));
          return 0;
        }
        if (statement.empty()) {
          shell.error(std::wstring(L"Query is empty!"));
          return 0;
        }
        name_ = name;
        statement_ = statement;
        d.end(1);
      }
      return 0;
    });
  });
  return d.run_modal([&] {
    tk_trace(1, "set_query_dlg::on_init");
    d.ctl().set_text(1019, name_);
    d.ctl().set_text(1020, statement_);
  });
}
