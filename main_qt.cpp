// SPDX-License-Identifier: MIT
// The Linux program: the selector window over /etc/hosts. A start-up read failure shows its box
// instead of the window and ends the program with status 2.
#include <QApplication>

#include "form1.h"
#include "form1_window.h"
#include "hosts_path.h"
#include "message_box.h"
#include "posix_hosts_store.h"
#include "program_icon.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setWindowIcon(ProgramIcon());
  QGuiApplication::setDesktopFileName(QStringLiteral("linesel"));

  PosixHostsStore store(HostsPath());
  Form1Window window;
  Form1 form(window, store);
  window.OnSave([&form] { form.Command1_Click(); });
  if (const auto error = form.Form_Load()) {
    ShowStartupError(*error);
    return 2;
  }
  window.show();
  return QApplication::exec();
}
