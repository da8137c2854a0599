// Inside the ui layer: the Qt widgets behind a control table (ui_controls.h).
#pragma once

#include <QString>
#include <QWidget>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/ui/ui_controls.h"

namespace pf {

QString to_q(const std::wstring& text);
std::wstring from_q(const QString& text);

struct controls::impl {
  QWidget* root = nullptr;
  std::map<int, QWidget*> widgets;
  std::map<int, int> limits;
  std::set<int> flowing;  // wrapped labels, whose texts are shown flowing (flowing_text)
  command_handler handler;
  int silent = 0;  // > 0 while this layer changes controls itself

  QWidget* get(int id) const;
  void fire(int id, notify what);
};

// Builds the controls of the table onto root (with a grid layout) and returns their handle.
std::shared_ptr<controls::impl> build_controls(QWidget* root, const std::vector<control>& table);

}  // namespace pf
