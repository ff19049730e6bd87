// SPDX-License-Identifier: MIT
// The Windows program from start to end: reads the hosts file, shows Form1 or, when the file
// cannot be read, an error box instead of the window, and runs the event loop.
#pragma once

#include <windows.h>

// Exit codes: 0 saved or closed without saving, 1 the save failed, 2 the program could not start.
int RunLineSelector(HINSTANCE instance, int show_command);
