// SPDX-License-Identifier: MIT
#include "program_icon.h"

#include "icon_sizes.h"

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : IconSizes) {
    icon.addFile(QStringLiteral(":/icons/linesel-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}
