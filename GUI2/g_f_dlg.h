// The open and save file dialogs of the wizard.
//
// The initial path is split into its folder (where the dialog opens; the home folder when there is none) and its
// file name. The save dialog does not ask before an existing file is chosen; it appends the default extension to
// the chosen name unless the name already ends in one of the extensions its filters list (compared ignoring case)
// or holds the default extension anywhere, so "x.accdb" chosen where ".mdb" is the default stays "x.accdb".
#pragma once

#include <optional>
#include <string>

#include "platform/ui/ui_boxes.h"

std::optional<std::wstring> open_file_dialog(const pf::filter_list& filters, const std::wstring& title,
                                             const std::wstring& initial_path);

// default_extension with or without its leading "."; an empty one is an internal error.
std::optional<std::wstring> save_file_dialog(const pf::filter_list& filters, const std::wstring& title,
                                             const std::wstring& initial_path, const std::wstring& default_extension);

// The save dialog's rule for the chosen path (see above); extension begins with ".".
std::wstring with_default_extension(const std::wstring& path, const std::wstring& extension,
                                    const pf::filter_list& filters);
