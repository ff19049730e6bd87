// SPDX-License-Identifier: MIT
// The Windows program's entry: everything happens in RunLineSelector.
#include <windows.h>

#include "win32_app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  return RunLineSelector(instance, show_command);
}
