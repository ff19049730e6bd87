// SPDX-License-Identifier: MIT
// The program's message boxes: modal, one OK button, no icon, the title and text exactly as given.
#pragma once

#include <string_view>

#include "hosts_store.h"

class QWidget;

// Returns when the box is closed.
void ShowMessageBox(QWidget* parent, std::string_view title, std::string_view text);

// The box shown instead of the window when the hosts file cannot be read at start-up.
void ShowStartupError(const OsError& error);
