// SPDX-License-Identifier: MIT
// The program's icon, rendered from icons/linesel.svg at build time and compiled in.
#pragma once

#include <QIcon>

QIcon ProgramIcon();
