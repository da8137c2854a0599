// The tables page (127, "Step 3 of 4"): the source database's tables on the left, the ones to convert on the
// right, and SELECT statements the user names as tables (queries), kept as (name, statement) pairs beside the
// lists: the selected queries (named on the right) and the available ones (named on the left). A pair with an
// empty statement stands for a table.
//
// The right list is exactly what the run will convert: on entry the page's queries are rebuilt from the
// converter; Back hands the page's queries to the converter (so queries added and left behind are shown again,
// and converted only after Next); Next stores the tables and queries on the right.
#pragma once

#include <string>
#include <vector>

#include "GUI2/g_wiz_pg.h"
#include "converter/rwf_conv.h"

class sel_tables_page : public wizard_page {
 public:
  // question: asked by Next when names are available but none is selected; reorder shows the up/down buttons.
  sel_tables_page(const std::wstring& question, bool reorder);
  std::vector<pf::control> layout() const override;
  void on_command(int id, pf::notify what) override;

  void do_page_init();
  void on_add();
  void on_delete();
  void on_add_all();
  void on_del_all();
  void on_move_up();
  void on_move_down();
  void clear_sel(int list);
  // False (stay) when the user answers No to the question.
  bool check_selection();

  virtual void add_queries(const named_text_list& pairs);
  virtual bool is_query(const std::wstring& name) const;
  virtual void do_add_query(const std::wstring& name);
  virtual void do_remove_query(const std::wstring& name);
  virtual void on_add_query();

 protected:
  void move_right(int index);
  void move_left(int index);
  // Moves the selected items of one list to the other and selects what follows them.
  void move_selected(int from, int to);
  void move_current(int current);

  bool reorder_;
  std::vector<std::wstring> tables_;
  std::wstring question_;
};

class sel_tables_page_ex : public sel_tables_page {
 public:
  using sel_tables_page::sel_tables_page;
  void add_queries(const named_text_list& pairs) override;
  bool is_query(const std::wstring& name) const override;
  void do_add_query(const std::wstring& name) override;
  void do_remove_query(const std::wstring& name) override;
  void on_add_query() override;
  void on_edit_query();
  virtual void show_type_mapping(const std::wstring& name);
  void on_command(int id, pf::notify what) override;
  void on_help() override;

  const named_text_list& available_queries() const { return available_; }

 protected:
  named_text_list selected_;
  named_text_list available_;
};

class rwf_sel_tables_page : public sel_tables_page_ex {
 public:
  using sel_tables_page_ex::sel_tables_page_ex;
  bool page_init() override;
  int on_next() override;
  int on_back() override;
};

// The Add Query dialog (128): a name and a SELECT statement. run_modal gives 1 (OK) or 2 (Cancel); after OK,
// name() and statement() hold the entries, the statement without its leading blanks and line ends.
class set_query_dlg {
 public:
  set_query_dlg(const std::wstring& name, const std::wstring& statement);
  int run_modal();
  const std::wstring& name() const { return name_; }
  const std::wstring& statement() const { return statement_; }

  // False when statement, after its leading blanks and line ends, is shorter than 6 characters or does not begin
  // with SELECT (ignoring case); statement then holds the text without those blanks.
  static bool check_select(std::wstring& statement);

 private:
  std::wstring name_;
  std::wstring statement_;
};
