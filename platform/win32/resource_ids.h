// SPDX-License-Identifier: MIT
// Resource ids shared by the resource script and the code. Plain defines: windres reads this too.
#pragma once

// The first icon group is the one Explorer shows for the executable.
#define LINESEL_ICON 1
